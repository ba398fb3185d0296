#pragma once
// A small encoder for the crunched ARC methods (5, 6, 7), so tests have data no
// tool here writes: the optional run-length step, then 12-bit LZW codes over
// the hashed 4,096-entry table, two codes in three bytes.
#include <cstdint>
#include <vector>

namespace arctest {

inline std::vector<uint8_t> RunLength(const std::vector<uint8_t>& d) {
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < d.size()) {
        const uint8_t c = d[i];
        if (c == 0x90) {
            out.push_back(0x90);
            out.push_back(0);
            ++i;
            continue;
        }
        size_t n = 1;
        while (i + n < d.size() && d[i + n] == c && n < 255) ++n;
        out.push_back(c);
        if (n >= 3) {
            out.push_back(0x90);
            out.push_back(static_cast<uint8_t>(n));
        } else {
            n = 1;
        }
        i += n;
    }
    return out;
}

inline std::vector<uint8_t> Crunch(const std::vector<uint8_t>& data, int method) {
    const std::vector<uint8_t> d = method == 5 ? data : RunLength(data);
    const bool newHash = method == 7;
    struct E {
        bool used = false;
        uint16_t next = 0, pred = 0;
        uint8_t foll = 0;
    };
    std::vector<E> tab(4096);
    int left = 4096;
    auto hash = [&](uint16_t pred, uint8_t f) -> uint32_t {
        const uint16_t sum = static_cast<uint16_t>(pred + f);
        if (newHash) return (uint32_t(sum) * 15073u) & 0xFFF;
        const uint32_t x = sum | 0x800u;
        return ((x * x) >> 6) & 0xFFF;
    };
    auto add = [&](uint16_t pred, uint8_t f) {
        uint32_t s = hash(pred, f);
        if (tab[s].used) {
            while (tab[s].next) s = tab[s].next;
            uint32_t p = (s + 101) & 0xFFF;
            while (tab[p].used) p = (p + 1) & 0xFFF;
            tab[s].next = static_cast<uint16_t>(p);
            s = p;
        }
        tab[s].used = true;
        tab[s].next = 0;
        tab[s].pred = pred;
        tab[s].foll = f;
        --left;
    };
    auto find = [&](uint16_t pred, uint8_t f) -> int {
        uint32_t s = hash(pred, f);
        for (int guard = 0; guard < 5000 && tab[s].used; ++guard) {
            if (tab[s].pred == pred && tab[s].foll == f) return int(s);
            if (!tab[s].next) break;
            s = tab[s].next;
        }
        return -1;
    };
    for (int b = 0; b < 256; ++b) add(0xFFFF, uint8_t(b));
    std::vector<int> codes;
    if (!d.empty()) {
        int w = find(0xFFFF, d[0]);
        for (size_t i = 1; i < d.size(); ++i) {
            const int wc = find(uint16_t(w), d[i]);
            if (wc >= 0) {
                w = wc;
                continue;
            }
            codes.push_back(w);
            if (left > 0) add(uint16_t(w), d[i]);
            w = find(0xFFFF, d[i]);
        }
        codes.push_back(w);
    }
    std::vector<uint8_t> out;
    for (size_t i = 0; i < codes.size(); i += 2) {
        const int a = codes[i];
        out.push_back(uint8_t(a >> 4));
        if (i + 1 < codes.size()) {
            const int b = codes[i + 1];
            out.push_back(uint8_t((a & 0xF) << 4 | b >> 8));
            out.push_back(uint8_t(b));
        } else {
            out.push_back(uint8_t((a & 0xF) << 4));
        }
    }
    return out;
}

} // namespace arctest
