// Fuzz target: the pattern engine against a naive search. The first byte picks
// the case mode and the pattern length; the pattern follows, the rest is the
// text. Any difference traps.
#include "archive/search/PatternSearch.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
uint8_t Fold(uint8_t c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c + 32) : c;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t mode = data[0] & 1;
    size_t m = (data[0] >> 1) % 17;
    if (m > size - 1) m = size - 1;
    const std::string pat(reinterpret_cast<const char*>(data + 1), m);
    const uint8_t* text = data + 1 + m;
    const size_t n = size - 1 - m;

    std::vector<int64_t> naive;
    if (m > 0 && m <= n)
        for (size_t i = 0; i + m <= n; ++i) {
            size_t j = 0;
            for (; j < m; ++j) {
                uint8_t a = text[i + j], b = static_cast<uint8_t>(pat[j]);
                if (mode == 0) {
                    a = Fold(a);
                    b = Fold(b);
                }
                if (a != b) break;
            }
            if (j == m) naive.push_back(static_cast<int64_t>(i) + 1);
        }

    mv::ArcSearchObj engine;
    engine.Prepare(pat, 0, mode);
    const bool found = engine.SearchBuffer(text, static_cast<int64_t>(n));
    if (found != !naive.empty() || engine.Matches() != naive) __builtin_trap();
    return 0;
}
