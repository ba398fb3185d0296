// mvarc zadd / zdelete / zlist: the zip writer component (TZipEngine) from the
// command line.
// Also reached by "mvarc add -E" and "mvarc delete -E".
//   zadd ARCHIVE [-l LEVEL] [-p PW] [-r] [-u|-f|-o] [-s SPLITSIZE] [-m] FILES...
//     -l pack level 0..9 (default 6); -p password; -r recurse into folders;
//     -u update (default: replace), -f freshen; -s block files of SPLITSIZE bytes;
//     -m move (delete the sources after success). A folder argument adds its files.
//   zdelete ARCHIVE SPECS...   (names or masks of entries)
//   zlist ARCHIVE              (one stored name per line, as the component reads them)
#include "Command.h"

#include "platform/FileSystem.h"
#include "zipwriter/ZipEngine.h"

#include <iostream>

namespace {

int Fail(const std::exception& e) {
    std::cerr << "mvarc: " << e.what() << "\n";
    return 1;
}

int RunZAdd(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << "usage: mvarc zadd ARCHIVE [-l LEVEL] [-p PW] [-r] [-u|-f] [-s SIZE] [-m] FILES...\n";
        return 2;
    }
    mv::TZipEngine z;
    z.SetStorePaths(true);
    z.SetZipAction(mv::TZipAction::zaReplace);
    z.SetAddDirEntriesOnRecurse(true);
    std::vector<std::string> files;
    std::string archive;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto next = [&]() -> std::string { return i + 1 < args.size() ? args[++i] : std::string(); };
        if (a == "-l")
            z.SetPackLevel(std::stoi(next()));
        else if (a == "-p")
            z.SetPassword(next());
        else if (a == "-r")
            z.SetRecurse(true);
        else if (a == "-u")
            z.SetZipAction(mv::TZipAction::zaUpdate);
        else if (a == "-f")
            z.SetZipAction(mv::TZipAction::zaFreshen);
        else if (a == "-m")
            z.SetDispose(true);
        else if (a == "-s") {
            long long size = std::stoll(next());
            z.MultiZipInfo().SetBlockSize(size);
            z.MultiZipInfo().SetFirstBlockSize(size);
            z.SetMultiMode(mv::TMultiMode::mmBlocks);
        } else if (a == "-t")
            next(); // the archive type: always ZIP here
        else if (archive.empty())
            archive = a;
        else
            files.push_back(a);
    }
    if (archive.empty()) {
        std::cerr << "usage: mvarc zadd ARCHIVE [-l LEVEL] [-p PW] [-r] [-u|-f] [-s SIZE] [-m] FILES...\n";
        return 2;
    }
    z.SetZipName(archive);
    std::vector<std::string> lines;
    for (const auto& f : files) {
        if (mv::platform::IsDirectory(f)) {
            std::string d = f.back() == '/' ? f : f + "/";
            lines.push_back(d); // its folder entry
            lines.push_back(d + "*");
        } else {
            lines.push_back(f);
        }
    }
    z.SetFilesList(lines);
    // A file named that is missing or skipped fails the command.
    int failed = 0;
    z.OnNoSuchFile = [&failed](mv::TObject*, const std::string& n) {
        ++failed;
        std::cerr << "mvarc: no such file: " << n << "\n";
    };
    z.OnSkippingFile = [&failed](mv::TObject*, int reason, const std::string& n, int, bool&) {
        ++failed;
        std::cerr << "mvarc: skipped (" << reason << "): " << n << "\n";
    };
    try {
        int n = z.Zip();
        std::cout << n << " files added to " << z.ZipName() << "\n";
    } catch (const std::exception& e) {
        return Fail(e);
    }
    return failed ? 1 : 0;
}

int RunZDelete(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        std::cerr << "usage: mvarc zdelete ARCHIVE SPECS...\n";
        return 2;
    }
    mv::TZipEngine z;
    z.SetZipName(args[0]);
    std::vector<std::string> specs(args.begin() + 1, args.end());
    // Names as mvarc delete takes them: the stored names, "/" between folders.
    z.SetFilesList(specs);
    int deleted = 0;
    z.OnDeleteEntry = [&](mv::TObject*, const std::string&, bool&) { ++deleted; };
    try {
        z.DeleteEntries();
        std::cout << deleted << " entries deleted from " << z.ZipName() << "\n";
    } catch (const std::exception& e) {
        return Fail(e);
    }
    return 0;
}

int RunZList(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::cerr << "usage: mvarc zlist ARCHIVE\n";
        return 2;
    }
    mv::TZipEngine z;
    z.SetZipName(args[0]);
    try {
        for (int i = 0; i < z.Count(); ++i) std::cout << z.Entry(i).FullName() << "\n";
    } catch (const std::exception& e) {
        return Fail(e);
    }
    return 0;
}

mvarc::CommandRegistrar addRegistrar("zadd", RunZAdd,
                                     "zadd ARCHIVE [-l LEVEL] [-p PW] [-r] [-u|-f] [-s SIZE] [-m] FILES...");
mvarc::CommandRegistrar deleteRegistrar("zdelete", RunZDelete, "zdelete ARCHIVE SPECS...");
mvarc::CommandRegistrar listRegistrar("zlist", RunZList, "zlist ARCHIVE");

} // namespace
