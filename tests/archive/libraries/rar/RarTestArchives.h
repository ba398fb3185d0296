#pragma once
// Writing small RAR archives by hand for the decoder tests (no tool here writes RAR):
// an MSB-first bit writer for compressed streams, RAR 2.9 and RAR5 archives around a
// packed member, and the checks that our library and the peers (unar, bsdtar) give
// back the member's bytes.
#include "archive/libraries/rar/RarCrc.h"
#include "archive/libraries/rar/Unrar.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace rartest {

class BitWriter {
public:
    void Put(uint64_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            cur = uint8_t((cur << 1) | ((value >> i) & 1));
            if (++bits == 8) {
                bytes.push_back(cur);
                cur = 0;
                bits = 0;
            }
        }
    }
    void Align() {
        if (bits) Put(0, 8 - bits);
    }
    // Pads the last byte; answers how many bits of it are used (1..8).
    int Finish() {
        int used = bits == 0 ? 8 : bits;
        Align();
        return used;
    }
    size_t BitCount() const { return bytes.size() * 8 + bits; }
    std::vector<uint8_t> bytes;

private:
    uint8_t cur = 0;
    int bits = 0;
};

inline void Append(std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
}

// ---------------------------------------------------------------- RAR5

inline std::vector<uint8_t> VInt(uint64_t v) {
    std::vector<uint8_t> out;
    do {
        uint8_t b = v & 0x7f;
        v >>= 7;
        out.push_back(uint8_t(b | (v ? 0x80 : 0)));
    } while (v);
    return out;
}

inline std::vector<uint8_t> Header5(uint64_t type, uint64_t flags, const std::vector<uint8_t>& body,
                                    uint64_t dataSize) {
    std::vector<uint8_t> inner = VInt(type);
    Append(inner, VInt(flags));
    if (flags & 2) Append(inner, VInt(dataSize));
    Append(inner, body);
    std::vector<uint8_t> s = VInt(inner.size());
    Append(s, inner);
    uint32_t crc = mv::unrar::Crc32(0, s.data(), s.size());
    std::vector<uint8_t> out = {uint8_t(crc), uint8_t(crc >> 8), uint8_t(crc >> 16), uint8_t(crc >> 24)};
    Append(out, s);
    return out;
}

// A RAR5 archive of one Unix member "data.bin": `compression` is the member's
// compression information (algorithm, method, dictionary).
inline std::vector<uint8_t> Archive5(const std::vector<uint8_t>& packed, uint64_t unpSize, uint32_t crc,
                                     uint64_t compression) {
    std::vector<uint8_t> a = {'R', 'a', 'r', '!', 0x1a, 0x07, 0x01, 0x00};
    Append(a, Header5(1, 0, VInt(0), 0));
    std::vector<uint8_t> body = VInt(0x04); // CRC present
    Append(body, VInt(unpSize));
    Append(body, VInt(0644));
    for (int i = 0; i < 4; ++i) body.push_back(uint8_t(crc >> (8 * i)));
    Append(body, VInt(compression));
    Append(body, VInt(1)); // Unix
    Append(body, VInt(8));
    for (char c : std::string("data.bin")) body.push_back(uint8_t(c));
    Append(a, Header5(2, 2, body, packed.size()));
    Append(a, packed);
    Append(a, Header5(5, 0, VInt(0), 0));
    return a;
}

// ---------------------------------------------------------------- RAR 1.5-4

inline std::vector<uint8_t> Block4(uint8_t type, uint16_t flags, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> raw = {type, uint8_t(flags), uint8_t(flags >> 8), uint8_t(7 + body.size()),
                                uint8_t((7 + body.size()) >> 8)};
    Append(raw, body);
    uint32_t crc = mv::unrar::Crc32(0, raw.data(), raw.size()) & 0xffff;
    std::vector<uint8_t> out = {uint8_t(crc), uint8_t(crc >> 8)};
    Append(out, raw);
    return out;
}

// A RAR 1.5-4 archive of one Unix member `name` holding `data` packed with unpack
// `version`; `dictionaryFlags` is the dictionary size field of the member flags.
inline std::vector<uint8_t> Archive29(const std::vector<uint8_t>& packed, const std::vector<uint8_t>& data,
                                      const std::string& name, uint16_t dictionaryFlags,
                                      uint8_t version = 29) {
    auto le32 = [](std::vector<uint8_t>& v, uint32_t x) {
        for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
    };
    std::vector<uint8_t> a = {'R', 'a', 'r', '!', 0x1a, 0x07, 0x00};
    Append(a, Block4(0x73, 0, std::vector<uint8_t>(6, 0)));
    std::vector<uint8_t> body;
    le32(body, uint32_t(packed.size()));
    le32(body, uint32_t(data.size()));
    body.push_back(3); // Unix
    le32(body, mv::unrar::Crc32(0, data.data(), data.size()));
    le32(body, 0x5a210000); // 2025-01-01
    body.push_back(version);
    body.push_back(0x33);
    body.push_back(uint8_t(name.size()));
    body.push_back(0);
    le32(body, 0100644);
    body.insert(body.end(), name.begin(), name.end());
    Append(a, Block4(0x74, uint16_t(0x8000 | dictionaryFlags), body));
    Append(a, packed);
    Append(a, Block4(0x7b, 0x4000, {}));
    return a;
}

// ---------------------------------------------------------------- checks

// Tests the first member of `archive` with our library: its size and CRC must match.
inline void ExpectWeDecode(const std::filesystem::path& archive, const std::vector<uint8_t>& data) {
    using namespace mv::unrar;
    static uint32_t crc;
    static uint64_t bytes;
    RAROpenArchiveData od;
    od.ArcName = archive.string();
    RarHandle h = RAROpenArchive(&od);
    ASSERT_NE(h, nullptr);
    RARSetProcessDataProc(h, [](unsigned char* p, int n) {
        crc = Crc32(crc, p, size_t(n));
        bytes += uint64_t(n);
        return 1;
    });
    RARHeaderData hd;
    ASSERT_EQ(RARReadHeader(h, &hd), RAR_SUCCESS);
    crc = 0;
    bytes = 0;
    EXPECT_EQ(RARProcessFile(h, RAR_TEST), RAR_SUCCESS);
    EXPECT_EQ(bytes, data.size());
    EXPECT_EQ(crc, hd.FileCRC);
    RARCloseArchive(h);
}

// Extracts `archive` with the peers asked for into folders beside it; member `name`
// must hold `data`.
inline void ExpectPeersExtract(const std::filesystem::path& archive, const std::string& name,
                               const std::vector<uint8_t>& data, bool unar, bool bsdtar) {
    std::filesystem::path dir = archive.parent_path();
    if (unar) {
        auto r = mvtest::Run("unar -q -f -o " + mvtest::Quote((dir / "u").string()) + " " +
                             mvtest::Quote(archive.string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_TRUE(mvtest::ReadFileBytes(dir / "u" / name) == data) << "unar";
    }
    if (bsdtar) {
        std::filesystem::create_directories(dir / "b");
        auto r = mvtest::Run("bsdtar -xf " + mvtest::Quote(archive.string()), dir / "b");
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_TRUE(mvtest::ReadFileBytes(dir / "b" / name) == data) << "bsdtar";
    }
}

} // namespace rartest
