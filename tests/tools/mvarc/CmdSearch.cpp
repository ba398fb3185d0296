// mvarc search ARCHIVE|FILE EXPRESSION [options]: searches the members of an
// archive (or a plain file) for an expression of words and phrases. Prints one
// line per hit: archive, member and offset inside the member, separated by tabs;
// then "match<TAB>MEMBER" for each member that satisfies the expression. Errors
// print "error N: text". Exit code 0 when something matched, 1 when nothing did.
//   -c            case-sensitive
//   -m MODE       asc (default), bin, dec, hex, oct
//   -b N / -e N   offset range inside each member in which a hit counts
//   -t TYPE       arcs (archives only), all (default), raw (every file as data)
//   -p PASSWORD   offered to encrypted members
//   -f SPEC       search only members matching SPEC (repeatable)
#include "Command.h"

#include "archive/framework/ArcErrors.h"
#include "archive/search/ArcSearch.h"

#include <iostream>

namespace {

int SearchCommand(const std::vector<std::string>& args) {
    std::vector<std::string> rest;
    mv::TArcSearch search;
    std::vector<std::string> specs, passwords;
    mv::TArcSearchType type = mv::TArcSearchType::stAllFiles;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "-c") {
            search.SetSearchCase(mv::TArcSearchCase::scSensitive);
        } else if (a == "-m" && hasValue) {
            const std::string m = args[++i];
            if (m == "asc")
                search.SetSearchMode(mv::TArcSearchMode::smAsc);
            else if (m == "bin")
                search.SetSearchMode(mv::TArcSearchMode::smBin);
            else if (m == "dec")
                search.SetSearchMode(mv::TArcSearchMode::smDec);
            else if (m == "hex")
                search.SetSearchMode(mv::TArcSearchMode::smHex);
            else if (m == "oct")
                search.SetSearchMode(mv::TArcSearchMode::smOct);
            else
                return std::cerr << "unknown mode " << m << "\n", 2;
        } else if (a == "-b" && hasValue) {
            search.SetOffsetBegin(std::stoll(args[++i]));
        } else if (a == "-e" && hasValue) {
            search.SetOffsetEnd(std::stoll(args[++i]));
        } else if (a == "-t" && hasValue) {
            const std::string t = args[++i];
            if (t == "arcs")
                type = mv::TArcSearchType::stArcsOnly;
            else if (t == "all")
                type = mv::TArcSearchType::stAllFiles;
            else if (t == "raw")
                type = mv::TArcSearchType::stRawData;
            else
                return std::cerr << "unknown type " << t << "\n", 2;
        } else if (a == "-p" && hasValue) {
            passwords.push_back(args[++i]);
        } else if (a == "-f" && hasValue) {
            specs.push_back(args[++i]);
        } else {
            rest.push_back(a);
        }
    }
    if (rest.size() != 2) {
        std::cerr
            << "usage: mvarc search ARCHIVE|FILE EXPRESSION [-c] [-m asc|bin|dec|hex|oct] [-b N] [-e N] "
               "[-t arcs|all|raw] [-p PASSWORD] [-f SPEC]\n";
        return 2;
    }
    search.SetSearchType(type);
    search.SetArchiveFile(rest[0]);
    search.SetSearchText(rest[1]);
    search.SetPasswords(passwords);
    if (!specs.empty()) search.SetFileSpec(specs);
    search.OnError = [](mv::TObject*, const std::string& fn, const std::string&, const std::string&,
                        int code) {
        std::cerr << "error " << code << ": " << mv::ArcErrorMessage(code) << " (" << fn << ")\n";
    };
    search.OnHit = [](mv::TObject*, const std::string& file, int64_t offset, const std::string& member) {
        std::cout << file << '\t' << member << '\t' << offset << '\n';
    };
    const bool found = search.Search();
    for (const auto& m : search.FoundFiles()) std::cout << "match\t" << m << '\n';
    if (found && search.FoundFiles().empty()) std::cout << "match\t" << rest[0] << '\n';
    std::cerr << "searched " << search.FilesSearched() << " files, " << search.BytesSearched() << " bytes, "
              << search.HitsCounted() << " hits\n";
    return found ? 0 : 1;
}

mvarc::CommandRegistrar
    registrar("search", SearchCommand,
              "search ARCHIVE|FILE EXPRESSION [-c] [-m MODE] [-b N] [-e N] [-t TYPE] [-p PW] [-f SPEC]");

} // namespace
