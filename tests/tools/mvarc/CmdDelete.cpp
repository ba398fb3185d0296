// mvarc delete ARCHIVE FILESPEC...
// Deletes the entries that match the specifications (a specification with a
// folder matches whole stored paths, one without matches names) through the
// writer of the archive's type (by its extension, else zip).
#include "Command.h"

#include "archive/framework/ArcErrors.h"
#include "archive/writers/WriterFactory.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace {

int Delete(const std::vector<std::string>& args) {
    // -E: the same command through the zip writer component (CmdZipEngine.cpp).
    if (std::find(args.begin(), args.end(), "-E") != args.end()) {
        std::vector<std::string> rest;
        for (const auto& a : args)
            if (a != "-E") rest.push_back(a);
        return mvarc::Commands().at("zdelete").run(rest);
    }
    if (args.size() < 2) {
        std::cerr << "usage: mvarc delete ARCHIVE FILESPEC...\n";
        return 2;
    }
    std::string ext = std::filesystem::path(args[0]).extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    auto writer = mv::MakeWriter(ext);
    if (!writer) writer = mv::MakeWriter("zip");
    writer->SetArchiveFile(std::filesystem::absolute(args[0]).lexically_normal().string());
    writer->SetSwitch(mv::TSwitch::swDelete);
    for (size_t i = 1; i < args.size(); ++i) {
        std::string spec = args[i];
        std::replace(spec.begin(), spec.end(), '/', '\\');
        writer->FileSpecList().push_back(spec);
    }
    int failures = 0;
    writer->OnError = [&](mv::TObject*, const std::string& fn, const std::string& msg, const std::string&,
                          int code) {
        ++failures;
        std::cerr << "mvarc: error " << code << ": " << mv::ArcErrorMessage(code) << " (" << fn
                  << (msg.empty() ? "" : ": " + msg) << ")\n";
    };
    int count = writer->Compress();
    std::cout << count << " deleted\n";
    return failures ? 1 : 0;
}

mvarc::CommandRegistrar reg("delete", Delete, "delete ARCHIVE [-E] FILESPEC...");

} // namespace
