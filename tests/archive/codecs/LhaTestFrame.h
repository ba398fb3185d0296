#pragma once
// Test-only helpers for the LZH codec tests: a minimal level-0 LHA member
// writer (so streams of ours can be checked by lhasa, 7z and jlha), a reader
// of the first member of a level-0 archive (so streams made by jlha can be
// fed to our decoders), and a bit writer for hand-made hostile streams.
#include "tests/support/TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lhatest {

inline uint16_t Crc16(const std::vector<uint8_t>& data) {
    uint16_t crc = 0;
    for (uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

// One level-0 member followed by the end byte.
inline std::vector<uint8_t> WrapLevel0(const std::string& method, const std::string& name,
                                       const std::vector<uint8_t>& packed,
                                       const std::vector<uint8_t>& original) {
    std::vector<uint8_t> h;
    h.push_back(0);
    h.push_back(0);
    for (char c : method) h.push_back(uint8_t(c));
    Put32(h, uint32_t(packed.size()));
    Put32(h, uint32_t(original.size()));
    Put32(h, 0x5A216000u); // 2025-01-01 12:00
    h.push_back(0x20);
    h.push_back(0);
    h.push_back(uint8_t(name.size()));
    for (char c : name) h.push_back(uint8_t(c));
    uint16_t crc = Crc16(original);
    h.push_back(uint8_t(crc));
    h.push_back(uint8_t(crc >> 8));
    h[0] = uint8_t(h.size() - 2);
    unsigned sum = 0;
    for (size_t i = 2; i < h.size(); ++i) sum += h[i];
    h[1] = uint8_t(sum);
    h.insert(h.end(), packed.begin(), packed.end());
    h.push_back(0);
    return h;
}

struct TMember {
    std::string method;
    std::vector<uint8_t> packed;
    uint32_t size = 0;
    uint16_t crc = 0;
};

// The first member of a level-0 or level-1 archive (level 1: the packed size
// includes the extended headers, which are skipped).
inline TMember FirstMember(const std::vector<uint8_t>& a, size_t at = 0) {
    TMember m;
    size_t hs = a.at(at);
    m.method.assign(a.begin() + long(at) + 2, a.begin() + long(at) + 7);
    uint32_t packed = a.at(at + 7) | a.at(at + 8) << 8 | a.at(at + 9) << 16 | uint32_t(a.at(at + 10)) << 24;
    m.size = a.at(at + 11) | a.at(at + 12) << 8 | a.at(at + 13) << 16 | uint32_t(a.at(at + 14)) << 24;
    int level = a.at(at + 20);
    size_t nameLen = a.at(at + 21);
    m.crc = uint16_t(a.at(at + 22 + nameLen) | a.at(at + 23 + nameLen) << 8);
    size_t data = at + 2 + hs;
    if (level == 1) {
        size_t next = a.at(data - 2) | a.at(data - 1) << 8;
        while (next) {
            size_t sz = next;
            next = a.at(data + sz - 2) | a.at(data + sz - 1) << 8;
            data += sz;
            packed -= uint32_t(sz);
        }
    }
    m.packed.assign(a.begin() + long(data), a.begin() + long(data + packed));
    return m;
}

// Makes a one-file archive with jlha ("lha <command> a.lzh f") and returns its bytes.
inline std::vector<uint8_t> MakeWithJlha(const mvtest::TempDir& dir, const std::string& command,
                                         const std::vector<uint8_t>& data) {
    mvtest::WriteFileBytes(dir / "f", data);
    std::filesystem::remove(dir / "a.lzh");
    auto r = mvtest::Run("lha " + command + " a.lzh f </dev/null", dir.Path());
    if (r.exitCode != 0) return {};
    return mvtest::ReadFileBytes(dir / "a.lzh");
}

// Most-significant-bit-first writer for hand-made streams.
class TBitWriter {
public:
    void Put(int n, uint32_t v) {
        for (int i = n - 1; i >= 0; --i) {
            acc = uint8_t(acc << 1 | ((v >> i) & 1));
            if (++count == 8) {
                bytes.push_back(acc);
                count = 0;
                acc = 0;
            }
        }
    }
    std::vector<uint8_t> Finish() {
        if (count) bytes.push_back(uint8_t(acc << (8 - count)));
        count = 0;
        acc = 0;
        return bytes;
    }

private:
    std::vector<uint8_t> bytes;
    uint8_t acc = 0;
    int count = 0;
};

// Text, random and zero runs together.
inline std::vector<uint8_t> MixedBytes(size_t n, uint32_t seed) {
    std::vector<uint8_t> out;
    uint32_t part = 0;
    while (out.size() < n) {
        size_t k = std::min<size_t>(n - out.size(), 20000 + (part * 7919) % 30000);
        std::vector<uint8_t> p = (part % 3 == 0)   ? mvtest::TextBytes(k, seed + part)
                                 : (part % 3 == 1) ? mvtest::RandomBytes(k / 8, seed + part)
                                                   : std::vector<uint8_t>(k / 4, uint8_t(part));
        out.insert(out.end(), p.begin(), p.end());
        ++part;
    }
    out.resize(n);
    return out;
}

} // namespace lhatest
