#pragma once
// Members of the corpus' old PKZIP archives, found by their local headers, for the
// method decoder tests (the ZIP reader is tested on its own).
#include "tests/support/TestSupport.h"

#include <string>
#include <vector>

namespace mvtest {

struct RawZipMember {
    std::string name;
    uint16_t flags = 0, method = 0;
    uint32_t crc = 0;
    uint64_t unpackedSize = 0;
    std::vector<uint8_t> data;
};

inline std::vector<RawZipMember> RawZipMembers(const fs::path& archive) {
    auto bytes = ReadFileBytes(archive);
    auto u16 = [&](size_t p) { return static_cast<uint16_t>(bytes[p] | bytes[p + 1] << 8); };
    auto u32 = [&](size_t p) {
        return static_cast<uint32_t>(u16(p) | static_cast<uint32_t>(u16(p + 2)) << 16);
    };
    std::vector<RawZipMember> out;
    size_t p = 0;
    while (p + 30 <= bytes.size() && u32(p) == 0x04034B50) {
        RawZipMember m;
        m.flags = u16(p + 6);
        m.method = u16(p + 8);
        m.crc = u32(p + 14);
        const uint32_t packed = u32(p + 18);
        m.unpackedSize = u32(p + 22);
        const size_t nameLen = u16(p + 26), extraLen = u16(p + 28);
        const size_t data = p + 30 + nameLen + extraLen;
        if (data + packed > bytes.size()) break;
        m.name.assign(bytes.begin() + p + 30, bytes.begin() + p + 30 + nameLen);
        m.data.assign(bytes.begin() + data, bytes.begin() + data + packed);
        out.push_back(std::move(m));
        p = data + packed;
    }
    return out;
}

} // namespace mvtest
