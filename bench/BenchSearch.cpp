// Search of a large plain file for a 12-byte phrase: our search (the archive
// search component reading the file in blocks) against grep -F -c on the same
// file in the same run, with case distinction and without it (grep -i). Every
// phrase stands on a line of its own, so grep's line count and our hit count
// must agree before any time is printed.
#include "Bench.h"

#include "archive/search/ArcSearch.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void Run(bool quick) {
    const std::string phrase = "Zanzibar-qux"; // 12 bytes
    const size_t target = quick ? (40u << 20) : (200u << 20);
    std::vector<uint8_t> text;
    for (const auto& c : mvbench::StandardCorpora(true))
        if (c.name.find("text") != std::string::npos) text = c.data;
    if (text.empty()) text.assign(1 << 20, 'a');
    const std::string path =
        (std::filesystem::temp_directory_path() / ("mvbench-search-" + std::to_string(getpid()) + ".txt"))
            .string();
    int64_t planted = 0;
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return;
        size_t written = 0;
        while (written < target) {
            std::fwrite(text.data(), 1, text.size(), f);
            const std::string line = "\n" + phrase + "\n";
            std::fwrite(line.data(), 1, line.size(), f);
            written += text.size() + line.size();
            ++planted;
        }
        std::fclose(f);
    }
    const double mb = static_cast<double>(std::filesystem::file_size(path));
    // our whole plain-file search: reading the blocks, scanning, reporting each hit
    auto ours = [&](bool exact, int64_t& hits) {
        return mvbench::MedianSeconds(quick ? 1 : 3, [&] {
            mv::TArcSearch s;
            s.SetSearchType(mv::TArcSearchType::stRawData);
            s.SetArchiveFile(path);
            s.SetSearchText(phrase);
            s.SetSearchCase(exact ? mv::TArcSearchCase::scSensitive : mv::TArcSearchCase::scInsensitive);
            s.OnHit = [&](mv::TObject*, const std::string&, int64_t, const std::string&) {};
            s.Search();
            hits = s.HitsCounted();
        });
    };
    auto grep = [&](const std::string& options, long& count) {
        return mvbench::MedianSeconds(quick ? 1 : 3, [&] {
            count = -1;
            FILE* p = popen(("grep " + options + " " + phrase + " " + path).c_str(), "r");
            if (!p) return;
            if (std::fscanf(p, "%ld", &count) != 1) count = -1;
            pclose(p);
        });
    };
    int64_t oursExact = 0, oursFolded = 0;
    long grepExact = -1, grepFolded = -1;
    const double tOursExact = ours(true, oursExact);
    const double tGrepExact = grep("-F -c", grepExact);
    const double tOursFolded = ours(false, oursFolded);
    const double tGrepFolded = grep("-F -i -c", grepFolded);
    std::filesystem::remove(path);
    std::cout << "file " << mvbench::Fixed(mb / 1e6, 1) << " MB, phrase planted " << planted << " times\n";
    if (oursExact != planted || grepExact != planted || oursFolded != planted || grepFolded != planted) {
        std::cout << "MISMATCH: ours " << oursExact << " and " << oursFolded << " without case, grep "
                  << grepExact << " and " << grepFolded << " with -i\n";
        return;
    }
    const std::vector<int> widths{22, 10, 10, 16};
    mvbench::PrintRow({"search", "MB/s", "seconds", "speed vs grep"}, widths);
    auto row = [&](const std::string& name, double t, double tGrep) {
        mvbench::PrintRow({name, mvbench::Fixed(mvbench::MBps(mb, t), 0), mvbench::Fixed(t, 3),
                           mvbench::Fixed(t > 0 ? tGrep / t : 0, 2) + "x"},
                          widths);
    };
    row("ours (case exact)", tOursExact, tGrepExact);
    row("grep -F -c", tGrepExact, tGrepExact);
    row("ours (without case)", tOursFolded, tGrepFolded);
    row("grep -F -i -c", tGrepFolded, tGrepFolded);
}

mvbench::SectionRegistrar registrar("search", Run);

} // namespace
