// mvarc add ARCHIVE [-t TYPE] [-l LEVEL] [-p PASSWORD] [-r] [--hidden|--no-hidden] FILES...
// Adds files to a new or existing archive through the writer of the type (by
// default the archive's extension, else zip). A folder named on the command
// line stands for every file in it (and, with -r, below it). Files that differ
// from an entry of the same name replace it. Hidden (dot) files and folders are
// taken, as the writers' default attribute choice says (--hidden); --no-hidden
// leaves them out.
#include "Command.h"

#include "archive/framework/ArcErrors.h"
#include "archive/framework/ArcFileAttr.h"
#include "archive/writers/WriterFactory.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>

namespace {

std::string TypeFromExtension(const std::string& archive) {
    std::string ext = std::filesystem::path(archive).extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

int Add(const std::vector<std::string>& args) {
    // -E: the same command through the zip writer component (CmdZipEngine.cpp).
    if (std::find(args.begin(), args.end(), "-E") != args.end()) {
        std::vector<std::string> rest;
        for (const auto& a : args) {
            // The component has no attribute choice: it always takes hidden files.
            if (a == "--no-hidden") {
                std::cerr << "mvarc: --no-hidden is not available with -E\n";
                return 2;
            }
            if (a != "-E" && a != "--hidden") rest.push_back(a);
        }
        return mvarc::Commands().at("zadd").run(rest);
    }
    std::string archive, type, password, method;
    int level = -1;
    bool recurse = false;
    int hidden = -1; // -1: the writer's default
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "-t" || a == "-l" || a == "-p" || a == "-m") && i + 1 < args.size()) {
            const std::string& v = args[++i];
            if (a == "-t")
                type = v;
            else if (a == "-m")
                method = v;
            else if (a == "-l")
                level = std::stoi(v);
            else
                password = v;
        } else if (a == "-r") {
            recurse = true;
        } else if (a == "--hidden" || a == "--no-hidden") {
            hidden = a == "--hidden" ? 1 : 0;
        } else if (archive.empty()) {
            archive = a;
        } else {
            files.push_back(a);
        }
    }
    if (archive.empty() || files.empty()) {
        std::cerr << "usage: mvarc add ARCHIVE [-t zip|jar|lha|gzip|tar|tgz|bh|cab] [-m none|mszip|lzx] [-l "
                     "LEVEL] [-p PASSWORD] "
                     "[-r] [--hidden|--no-hidden] FILES...\n";
        return 2;
    }
    if (type.empty()) type = TypeFromExtension(archive);
    auto writer = mv::MakeWriter(type);
    if (!writer) writer = mv::MakeWriter(type = "zip");
    writer->SetArchiveFile(std::filesystem::absolute(archive).lexically_normal().string());
    writer->SetRecurseDirs(recurse);
    if (hidden >= 0) writer->FileAttribute().SetftHidden(hidden == 1);
    writer->SetPassword(password);
    if (level == 0) {
        writer->SetCompressMethod(mv::TCompressMethod::cmStore);
    } else if (level > 0) {
        writer->SetCompressMethod(mv::TCompressMethod::cmDeflate);
        writer->SetDeflateLevel(static_cast<uint8_t>(level > 9 ? 9 : level));
    }
    if (!method.empty()) {
        // Cabinet compression: none, mszip, lzx or quantum.
        static const std::map<std::string, mv::TCompressMethod> methods = {
            {"none", mv::TCompressMethod::cmStore},
            {"mszip", mv::TCompressMethod::cmMsZip},
            {"lzx", mv::TCompressMethod::cmLzx},
            {"quantum", mv::TCompressMethod::cmQuantum}};
        auto it = methods.find(method);
        if (it == methods.end()) {
            std::cerr << "mvarc: unknown method " << method << "\n";
            return 2;
        }
        writer->SetCompressMethod(it->second);
    }
    for (const auto& f : files) {
        std::string path = std::filesystem::absolute(f).lexically_normal().string();
        if (mv::platform::IsDirectory(path)) path += "/*";
        writer->FileSpecList().push_back(path);
    }
    writer->OnReplaceFile = [](mv::TObject*, const std::string&, const std::string&, mv::TDateTime,
                               mv::TDateTime, int64_t, int64_t, int, int, bool& replace) { replace = true; };
    int failures = 0;
    writer->OnError = [&](mv::TObject*, const std::string& fn, const std::string& msg, const std::string&,
                          int code) {
        ++failures;
        std::cerr << "mvarc: error " << code << ": " << mv::ArcErrorMessage(code) << " (" << fn
                  << (msg.empty() ? "" : ": " + msg) << ")\n";
    };
    int count = writer->Compress();
    std::cout << count << " added\n";
    return failures ? 1 : 0;
}

mvarc::CommandRegistrar reg("add", Add,
                            "add ARCHIVE [-E] [-t zip|jar|lha|gzip|tar|tgz|bh|cab] [-m none|mszip|lzx] [-l "
                            "LEVEL] [-p PASSWORD] [-r] [--hidden|--no-hidden] FILES...");

} // namespace
