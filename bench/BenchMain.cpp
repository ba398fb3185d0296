#include "Bench.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace mvbench {

std::vector<Section>& Sections() {
    static std::vector<Section> sections;
    return sections;
}

double MedianSeconds(int reps, const std::function<void()>& fn) {
    std::vector<double> t;
    for (int i = 0; i < reps; ++i) {
        auto a = std::chrono::steady_clock::now();
        fn();
        auto b = std::chrono::steady_clock::now();
        t.push_back(std::chrono::duration<double>(b - a).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

static void AppendFiles(std::vector<uint8_t>& out, const std::filesystem::path& dir, size_t limit,
                        const std::string& suffix) {
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && (suffix.empty() || it->path().string().ends_with(suffix)))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        if (out.size() >= limit) break;
        std::ifstream in(f, std::ios::binary);
        out.insert(out.end(), std::istreambuf_iterator<char>(in), {});
    }
    if (out.size() > limit) out.resize(limit);
}

std::vector<Corpus> StandardCorpora(bool quick) {
    size_t size = quick ? (1u << 20) : (16u << 20);
    std::vector<Corpus> out;
    Corpus text{"text", {}};
    AppendFiles(text.data, "/usr/share/common-licenses", size, "");
    while (!text.data.empty() && text.data.size() < size)
        text.data.insert(text.data.end(), text.data.begin(),
                         text.data.begin() + std::min(text.data.size(), size - text.data.size()));
    out.push_back(std::move(text));
    Corpus src{"headers", {}};
    AppendFiles(src.data, "/usr/include", size, ".h");
    out.push_back(std::move(src));
    Corpus rnd{"random", std::vector<uint8_t>(size)};
    uint32_t x = 12345;
    for (auto& b : rnd.data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    out.push_back(std::move(rnd));
    out.push_back({"zeros", std::vector<uint8_t>(size)});
    out.erase(std::remove_if(out.begin(), out.end(), [](const Corpus& c) { return c.data.empty(); }),
              out.end());
    return out;
}

std::vector<uint8_t> InterleavedCorpora(bool quick) {
    auto corpora = StandardCorpora(quick);
    const size_t want = quick ? (4u << 20) : (64u << 20);
    const size_t piece = 256 * 1024;
    std::vector<uint8_t> out;
    size_t at = 0;
    while (out.size() < want && !corpora.empty()) {
        for (auto& c : corpora) {
            size_t from = at % c.data.size();
            size_t k = std::min(piece, c.data.size() - from);
            out.insert(out.end(), c.data.begin() + long(from), c.data.begin() + long(from + k));
        }
        at += piece;
    }
    out.resize(std::min(out.size(), want));
    return out;
}

double TimeCommand(const std::string& command, int reps) {
    bool ok = true;
    double t = MedianSeconds(reps, [&] { ok = ok && std::system(command.c_str()) == 0; });
    return ok ? t : -1;
}

void PrintRow(const std::vector<std::string>& cells, const std::vector<int>& widths) {
    for (size_t i = 0; i < cells.size(); ++i) {
        int w = i < widths.size() ? widths[i] : 12;
        std::printf(i == 0 ? "%-*s" : "%*s", w, cells[i].c_str());
    }
    std::printf("\n");
}

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

} // namespace mvbench

int main(int argc, char** argv) {
    bool quick = false;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else
            only = argv[i];
    }
    for (const auto& s : mvbench::Sections()) {
        if (!only.empty() && s.name != only) continue;
        std::cout << "\n== " << s.name << (quick ? " (quick)" : "") << "\n";
        s.run(quick);
    }
    return 0;
}
