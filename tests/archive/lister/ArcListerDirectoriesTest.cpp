// ARC-family archives with directory records (method 30 opens a directory,
// the 2-byte method 31 record closes it): the lister lists every member under
// its directory path, as the ARC reader extracts it, whatever the archive's
// extension makes of its type.
#include "tests/archive/lister/ListerTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mvtest;

namespace {

struct Record {
    std::string name;
    uint8_t method;
    std::string data; // stored as is (method 2)
};

void Put(std::vector<uint8_t>& v, uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

std::vector<uint8_t> Build(const std::vector<Record>& records) {
    std::vector<uint8_t> out;
    for (const auto& r : records) {
        out.push_back(0x1A);
        out.push_back(r.method);
        if (r.method == 31) continue;
        std::string name = r.name;
        name.resize(13, '\0');
        out.insert(out.end(), name.begin(), name.end());
        Put(out, static_cast<uint32_t>(r.data.size()), 4);
        Put(out, 0x2A21, 2); // date
        Put(out, 0x6000, 2); // time
        Put(out, 0, 2);      // CRC-16 (not checked by a listing)
        Put(out, static_cast<uint32_t>(r.data.size()), 4);
        out.insert(out.end(), r.data.begin(), r.data.end());
    }
    out.push_back(0x1A);
    out.push_back(0);
    return out;
}

} // namespace

TEST(ArcListerDirectories, MembersListUnderTheirDirectoryPaths) {
    const std::vector<Record> records = {
        {"TOP.TXT", 2, "top"}, {"SUB", 30, ""},       {"DEEP", 30, ""}, {"IN.TXT", 2, "inner"},
        {"", 31, ""},          {"MID.TXT", 2, "mid"}, {"", 31, ""},     {"LAST.TXT", 2, "the last one"},
    };
    const std::vector<std::pair<std::string, int64_t>> expected = {
        {"TOP.TXT", 3}, {"SUB/DEEP/IN.TXT", 5}, {"SUB/MID.TXT", 3}, {"LAST.TXT", 12}};
    for (const char* file : {"HAND.ARC", "HAND.PAK"}) {
        SCOPED_TRACE(file);
        TempDir dir;
        WriteFileBytes(dir / file, Build(records));
        ListResult r = ListArchive((dir / file).string());
        EXPECT_TRUE(r.ok);
        EXPECT_TRUE(r.completed);
        ASSERT_EQ(r.entries.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(r.entries[i].name, expected[i].first);
            EXPECT_EQ(r.entries[i].unpacked, expected[i].second);
        }
    }
}
