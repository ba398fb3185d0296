// mvarc extract ARCHIVE DIR [-p PASSWORD] [FILESPEC...]: extracts the members
// that match the file specifications (all by default) into DIR, overwriting
// files there. Each error prints its number and text; the exit code is 0 when
// none was reported and no member failed, 1 otherwise, 2 for a type no reader
// extracts.
#include "Command.h"
#include "ReaderSetup.h"

#include "archive/framework/ArcErrors.h"
#include "archive/framework/SharedRoutines.h"

#include <iostream>

namespace {

int ExtractCommand(const std::vector<std::string>& args) {
    mvarc::ReaderOptions options;
    std::vector<std::string> rest;
    if (!mvarc::ParseReaderArgs(args, options, rest) || rest.size() < 2) {
        std::cerr << "usage: mvarc extract ARCHIVE DIR [-p PASSWORD] [FILESPEC...]\n";
        return 2;
    }
    options.specs.assign(rest.begin() + 2, rest.end());
    int errors = 0;
    auto reader = mvarc::SetUpReader(rest[0], options, errors);
    if (!reader) return 2;
    reader->SetExtractDir(rest[1]);
    reader->SetConfirmOverwrites(false);
    reader->SetOverwriteMode(mv::TOverwriteMode::omOverwrite);
    try {
        reader->Extract();
    } catch (const std::exception&) {
        if (!errors) ++errors;
    }
    std::cout << "extracted " << reader->ExtractedCount() << " of " << reader->FileCount() << " members";
    if (reader->FailedCount()) std::cout << ", " << reader->FailedCount() << " failed";
    std::cout << "\n";
    return errors || reader->FailedCount() ? 1 : 0;
}

mvarc::CommandRegistrar registrar("extract", ExtractCommand,
                                  "extract ARCHIVE DIR [-p PASSWORD] [FILESPEC...]");

} // namespace

namespace mvarc {

bool ParseReaderArgs(const std::vector<std::string>& args, ReaderOptions& options,
                     std::vector<std::string>& rest) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-p") {
            if (i + 1 >= args.size()) return false;
            options.hasPassword = true;
            options.password = args[++i];
        } else {
            rest.push_back(args[i]);
        }
    }
    return true;
}

std::unique_ptr<mv::TUnBase> SetUpReader(const std::string& archive, const ReaderOptions& options,
                                         int& errors) {
    mv::TArcType type = mv::TArcType::atNA;
    auto reader = mv::NewReaderFor(archive, &type);
    if (!reader) {
        std::cerr << "mvarc: no reader for " << archive << " (type " << mv::ArcTypeName(type) << ")\n";
        return nullptr;
    }
    mv::TUnBase* r = reader.get();
    auto& specs = r->FileSpecList();
    specs.clear();
    for (const auto& s : options.specs) specs.push_back(mv::SlashToBackslash(s));
    if (specs.empty()) specs.push_back("*.*");
    r->OnError = [&errors](mv::TObject*, const std::string& fn, const std::string& msgEx, const std::string&,
                           int code) {
        ++errors;
        std::cerr << "error " << code << ": " << mv::ArcErrorMessage(code);
        if (!msgEx.empty()) std::cerr << " (" << msgEx << ")";
        if (!fn.empty()) std::cerr << ": " << fn;
        std::cerr << "\n";
    };
    // The password of the command line is offered once; without one, nothing is offered.
    r->SetPasswordAttempts(1);
    const bool has = options.hasPassword;
    const std::string password = options.password;
    r->OnGetPassword = [has, password](mv::TObject*, const std::string&, std::string& answer,
                                       bool& tryAgain) {
        tryAgain = has;
        answer = password;
    };
    // The parts of a split set are taken from beside the archive.
    r->OnNextVolume = [](mv::TObject*, std::string&, const std::string&, bool exists, bool& cancel) {
        cancel = !exists;
    };
    return reader;
}

} // namespace mvarc
