// Search of a large plain file for a 12-byte phrase: our search (the archive
// search component reading the file in blocks) against grep -F -c on the same
// file in the same run. Every phrase stands on a line of its own, so grep's line
// count and our hit count must agree before any time is printed.
#include "Bench.h"

#include "archive/search/ArcSearch.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>

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
    int64_t ours = 0;
    const double tOurs = mvbench::MedianSeconds(quick ? 1 : 3, [&] {
        mv::TArcSearch s;
        s.SetSearchType(mv::TArcSearchType::stRawData);
        s.SetArchiveFile(path);
        s.SetSearchText(phrase);
        s.SetSearchCase(mv::TArcSearchCase::scSensitive);
        s.OnHit = [&](mv::TObject*, const std::string&, int64_t, const std::string&) {};
        s.Search();
        ours = s.HitsCounted();
    });
    long grepCount = -1;
    const double tGrep = mvbench::MedianSeconds(quick ? 1 : 3, [&] {
        FILE* p = popen(("grep -F -c " + phrase + " " + path).c_str(), "r");
        if (!p) return;
        if (std::fscanf(p, "%ld", &grepCount) != 1) grepCount = -1;
        pclose(p);
    });
    std::filesystem::remove(path);
    std::cout << "file " << mvbench::Fixed(mb / 1e6, 1) << " MB, phrase planted " << planted << " times\n";
    if (ours != planted || grepCount != planted) {
        std::cout << "MISMATCH: ours " << ours << ", grep " << grepCount << "\n";
        return;
    }
    mvbench::PrintRow({"search", "MB/s", "seconds"}, {22, 10, 10});
    mvbench::PrintRow(
        {"ours (case exact)", mvbench::Fixed(mvbench::MBps(mb, tOurs), 0), mvbench::Fixed(tOurs, 3)},
        {22, 10, 10});
    mvbench::PrintRow({"grep -F -c", mvbench::Fixed(mvbench::MBps(mb, tGrep), 0), mvbench::Fixed(tGrep, 3)},
                      {22, 10, 10});
}

mvbench::SectionRegistrar registrar("search", Run);

} // namespace
