#pragma once
// mvbench: each benchmark file registers a section that measures our code and
// the references (zlib, libdeflate) on the same buffers in the same run and
// prints one table of speeds and ratios. Output is checked before it is timed:
// a speed figure for wrong output means nothing.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mvbench {

struct Section {
    std::string name;
    std::function<void(bool quick)> run;
};

std::vector<Section>& Sections();

struct SectionRegistrar {
    SectionRegistrar(std::string name, std::function<void(bool quick)> run) {
        Sections().push_back({std::move(name), std::move(run)});
    }
};

// Runs fn `reps` times and returns the median seconds of one run.
double MedianSeconds(int reps, const std::function<void()>& fn);

// MB/s for `bytes` processed in `seconds` (MB = 10^6 bytes).
inline double MBps(uint64_t bytes, double seconds) {
    return seconds > 0 ? bytes / seconds / 1e6 : 0.0;
}

// Inputs present on every Debian machine, no downloads: text (common licences
// concatenated), a tar-like mix of /usr/include headers, seeded random bytes, zeros.
struct Corpus {
    std::string name;
    std::vector<uint8_t> data;
};
std::vector<Corpus> StandardCorpora(bool quick);

// The standard corpora interleaved in 256 KiB pieces: 4 MiB with quick, else 64 MiB.
std::vector<uint8_t> InterleavedCorpora(bool quick);

// Median seconds of running a shell command `reps` times; -1 when it failed.
double TimeCommand(const std::string& command, int reps);

// Prints one row of a table: a label and columns.
void PrintRow(const std::vector<std::string>& cells, const std::vector<int>& widths);
std::string Fixed(double v, int decimals);

} // namespace mvbench
