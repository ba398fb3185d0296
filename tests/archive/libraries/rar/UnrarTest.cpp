// Our RAR library against the real-archive corpus (every RAR generation it holds:
// RAR 1.5, 2.0, 2.9 solid, volumes, AES encrypted data and headers, RAR5 solid,
// encrypted and self-extracting), and against damaged and hostile archives.
#include "archive/libraries/rar/Unrar.h"
#include "archive/libraries/rar/RarCrc.h"
#include "archive/libraries/rar/RarUnpack.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace mv::unrar;
namespace fs = std::filesystem;

namespace {

// The callbacks are plain functions; tests steer them through these globals.
uint32_t gCrc = 0;
uint64_t gBytes = 0;
int gDataAnswer = 1;
int gVolumeAnswer = 1;
std::vector<std::pair<std::string, int>> gVolumeCalls;
std::string gVolumeReplacement;

int DataProc(unsigned char* p, int n) {
    gCrc = Crc32(gCrc, p, size_t(n));
    gBytes += uint64_t(n);
    return gDataAnswer;
}

int VolumeProc(char* name, int mode) {
    gVolumeCalls.emplace_back(name, mode);
    if (mode == RAR_VOL_ASK && !gVolumeReplacement.empty()) {
        std::snprintf(name, kVolumeNameSize, "%s", gVolumeReplacement.c_str());
        gVolumeReplacement.clear();
    }
    return gVolumeAnswer;
}

void ResetGlobals() {
    gCrc = 0;
    gBytes = 0;
    gDataAnswer = 1;
    gVolumeAnswer = 1;
    gVolumeCalls.clear();
    gVolumeReplacement.clear();
}

std::string ListName(const RARHeaderData& h) {
    std::string n = h.FileNameW.empty() ? h.FileName : h.FileNameW;
    std::replace(n.begin(), n.end(), '\\', '/');
    return n;
}

// The RAR rows of the corpus manifest: path, password and expected listing.
struct RarRow {
    std::string path, password;
    struct Member {
        std::string name;
        uint64_t size;
        uint32_t crc;
    };
    std::vector<Member> listing;
};

std::vector<RarRow> RarRows() {
    std::vector<RarRow> rows;
    std::ifstream in(mvtest::CorpusDir() / "MANIFEST.tsv");
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> c;
        size_t start = 0;
        for (;;) {
            size_t tab = line.find('\t', start);
            c.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (c.size() < 10 || c[0].rfind("rar/", 0) != 0) continue;
        RarRow row{c[0], c[6], {}};
        std::stringstream ls(c[9]);
        std::string item;
        while (std::getline(ls, item, ';')) {
            while (!item.empty() && item.front() == ' ') item.erase(item.begin());
            size_t p2 = item.rfind('|');
            if (p2 == std::string::npos || p2 == 0) continue;
            size_t p1 = item.rfind('|', p2 - 1);
            if (p1 == std::string::npos) continue;
            row.listing.push_back({item.substr(0, p1), std::stoull(item.substr(p1 + 1, p2 - p1 - 1)),
                                   uint32_t(std::stoul(item.substr(p2 + 1), nullptr, 16))});
        }
        rows.push_back(row);
    }
    return rows;
}

struct Outcome {
    std::string name;
    uint64_t size;
    uint32_t headerCrc;
    int kind;
    int result;
    uint32_t dataCrc;
    uint64_t dataBytes;
};

// Opens, walks and processes every member with one operation; returns the end code.
int RunArchive(const fs::path& path, const std::string& password, int operation,
               std::vector<Outcome>& outcomes) {
    RAROpenArchiveData od;
    od.ArcName = path.string();
    RarHandle h = RAROpenArchive(&od);
    if (!h) return od.OpenResult;
    RARSetProcessDataProc(h, DataProc);
    RARSetChangeVolProc(h, VolumeProc);
    if (!password.empty()) RARSetPassword(h, password.c_str());
    RARHeaderData hd;
    int r;
    while ((r = RARReadHeader(h, &hd)) == RAR_SUCCESS) {
        gCrc = 0;
        gBytes = 0;
        std::string name = ListName(hd);
        int op = (hd.Flags & RHDF_DIRECTORY) == RHDF_DIRECTORY ? RAR_SKIP : operation;
        int p = RARProcessFile(h, op);
        outcomes.push_back({name, hd.UnpSize, hd.FileCRC, hd.CrcKind, p, gCrc, gBytes});
    }
    RARCloseArchive(h);
    return r;
}

} // namespace

// Every RAR of the corpus lists as its manifest row says and decodes byte-exactly
// into the data callback, except the member enciphered with the RAR 2.0 cipher,
// which ends with its clear code.
TEST(Unrar, CorpusListsAndDecodesByteExactly) {
    int archives = 0;
    for (const auto& entry : RarRows()) {
        if (entry.listing.empty()) continue;
        SCOPED_TRACE(entry.path);
        ++archives;
        ResetGlobals();
        std::vector<Outcome> outcomes;
        int end = RunArchive(mvtest::CorpusDir() / entry.path, entry.password, RAR_TEST, outcomes);
        EXPECT_EQ(end, ERAR_END_ARCHIVE);
        bool refusedCipher = entry.path.find("rar20_psw") != std::string::npos;
        size_t files = 0;
        for (const auto& m : entry.listing) {
            auto it = std::find_if(outcomes.begin(), outcomes.end(),
                                   [&](const Outcome& o) { return o.name == m.name; });
            ASSERT_NE(it, outcomes.end()) << m.name;
            ++files;
            EXPECT_EQ(it->size, m.size) << m.name;
            if (refusedCipher) {
                EXPECT_EQ(it->result, ERAR_UNKNOWN_FORMAT) << m.name;
                continue;
            }
            ASSERT_EQ(it->result, RAR_SUCCESS) << m.name;
            EXPECT_EQ(it->dataBytes, m.size) << m.name;
            if (it->kind == kCrcPlain) {
                EXPECT_EQ(it->dataCrc, m.crc) << m.name;
                EXPECT_EQ(it->headerCrc, m.crc) << m.name;
            } else if (it->dataCrc != m.crc) {
                EXPECT_EQ(it->kind, kCrcByLibrary) << m.name;
                EXPECT_EQ(it->headerCrc, m.crc) << m.name; // the keyed form the archive lists
            }
        }
        EXPECT_EQ(files, entry.listing.size());
    }
    EXPECT_GE(archives, 12);
}

// The library writes no file: decoded bytes go to the data callback only.
TEST(Unrar, TestModeFeedsTheCallbackAndWritesNothing) {
    ResetGlobals();
    mvtest::TempDir dir;
    fs::copy_file(mvtest::CorpusDir() / "rar/rar2x_sc.rar", dir / "a.rar");
    std::vector<Outcome> outcomes;
    EXPECT_EQ(RunArchive(dir / "a.rar", "", RAR_TEST, outcomes), ERAR_END_ARCHIVE);
    ASSERT_EQ(outcomes.size(), 5u);
    for (const auto& o : outcomes) {
        EXPECT_EQ(o.result, RAR_SUCCESS);
        EXPECT_EQ(o.dataBytes, o.size);
        EXPECT_EQ(o.dataCrc, o.headerCrc);
    }
    size_t count = 0;
    for (auto& p : fs::directory_iterator(dir.Path())) (void)p, ++count;
    EXPECT_EQ(count, 1u);
}

TEST(Unrar, WrongPasswordsAreTold) {
    struct Case {
        const char* file;
        bool failsAtHeader;
    } cases[] = {{"rar/rar3_hpsw.rar", true}, {"rar/rar5_hpsw.rar", true}, {"rar/rar5_psw.rar", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ResetGlobals();
        std::vector<Outcome> outcomes;
        int end = RunArchive(mvtest::CorpusDir() / c.file, "wrong", RAR_TEST, outcomes);
        if (c.failsAtHeader) {
            EXPECT_EQ(end, ERAR_BAD_PASSWORD);
        } else {
            ASSERT_FALSE(outcomes.empty());
            for (const auto& o : outcomes) EXPECT_EQ(o.result, ERAR_BAD_PASSWORD);
        }
    }
    // Without any password an encrypted member is refused the same way.
    ResetGlobals();
    std::vector<Outcome> outcomes;
    RunArchive(mvtest::CorpusDir() / "rar/rar5_psw.rar", "", RAR_TEST, outcomes);
    ASSERT_FALSE(outcomes.empty());
    EXPECT_EQ(outcomes[0].result, ERAR_BAD_PASSWORD);
}

// A set of three volumes: the callback hears of each opened volume; a missing or
// refused volume ends the member with 21.
TEST(Unrar, VolumesAreFollowedAndRefusalsStop) {
    mvtest::TempDir dir;
    for (const char* part : {"rar3_vols.part1.rar", "rar3_vols.part2.rar", "rar3_vols.part3.rar"})
        fs::copy_file(mvtest::CorpusDir() / "rar" / part, dir / part);
    {
        ResetGlobals();
        std::vector<Outcome> outcomes;
        EXPECT_EQ(RunArchive(dir / "rar3_vols.part1.rar", "", RAR_TEST, outcomes), ERAR_END_ARCHIVE);
        ASSERT_EQ(gVolumeCalls.size(), 2u);
        EXPECT_EQ(gVolumeCalls[0].second, RAR_VOL_NOTIFY);
        EXPECT_EQ(fs::path(gVolumeCalls[1].first).filename(), "rar3_vols.part3.rar");
    }
    {
        ResetGlobals();
        gVolumeAnswer = 0; // refuse
        std::vector<Outcome> outcomes;
        RunArchive(dir / "rar3_vols.part1.rar", "", RAR_TEST, outcomes);
        ASSERT_FALSE(outcomes.empty());
        EXPECT_EQ(outcomes[0].result, ERAR_BROKEN_VOLUMES);
    }
    // A missing volume is asked for; the callback may name another file.
    fs::create_directories(dir / "elsewhere");
    fs::rename(dir / "rar3_vols.part2.rar", dir / "elsewhere" / "rar3_vols.part2.rar");
    fs::rename(dir / "rar3_vols.part3.rar", dir / "elsewhere" / "rar3_vols.part3.rar");
    {
        ResetGlobals();
        gVolumeReplacement = (dir / "elsewhere" / "rar3_vols.part2.rar").string();
        std::vector<Outcome> outcomes;
        RunArchive(dir / "rar3_vols.part1.rar", "", RAR_TEST, outcomes);
        ASSERT_GE(gVolumeCalls.size(), 2u);
        EXPECT_EQ(gVolumeCalls[0].second, RAR_VOL_ASK);
        EXPECT_EQ(gVolumeCalls[1].second, RAR_VOL_NOTIFY);
        ASSERT_EQ(outcomes.size(), 2u);
        EXPECT_EQ(outcomes[0].result, RAR_SUCCESS);
        EXPECT_EQ(outcomes[0].dataCrc, 0x509ad74cu);
    }
    {
        ResetGlobals();
        gVolumeAnswer = 0;
        std::vector<Outcome> outcomes;
        RunArchive(dir / "rar3_vols.part1.rar", "", RAR_TEST, outcomes);
        ASSERT_FALSE(outcomes.empty());
        EXPECT_EQ(outcomes[0].result, ERAR_BROKEN_VOLUMES);
        ASSERT_FALSE(gVolumeCalls.empty());
        EXPECT_EQ(gVolumeCalls[0].second, RAR_VOL_ASK);
    }
}

// A data callback answering 0 stops the member.
TEST(Unrar, DataCallbackStopsTheMember) {
    ResetGlobals();
    RAROpenArchiveData od;
    od.ArcName = (mvtest::CorpusDir() / "rar/rar15_sc.rar").string();
    RarHandle h = RAROpenArchive(&od);
    ASSERT_NE(h, nullptr);
    RARSetProcessDataProc(h, DataProc);
    RARHeaderData hd;
    ASSERT_EQ(RARReadHeader(h, &hd), RAR_SUCCESS); // EXE directory
    ASSERT_EQ(RARProcessFile(h, RAR_SKIP), RAR_SUCCESS);
    ASSERT_EQ(RARReadHeader(h, &hd), RAR_SUCCESS);
    gDataAnswer = 0;
    EXPECT_NE(RARProcessFile(h, RAR_TEST), RAR_SUCCESS);
    RARCloseArchive(h);
}

TEST(Unrar, NextVolumeNames) {
    struct Case {
        const char* in;
        bool newNumbering;
        const char* out;
    } cases[] = {
        {"/a/x.part1.rar", true, "/a/x.part2.rar"},
        {"/a/x.part09.rar", true, "/a/x.part10.rar"},
        {"/a/x.part99.rar", true, "/a/x.part100.rar"},
        {"/a/x.rar", false, "/a/x.r00"},
        {"/a/x.r00", false, "/a/x.r01"},
        {"/a/x.r99", false, "/a/x.s00"},
        {"/a/X.RAR", false, "/a/X.R00"},
    };
    for (const auto& c : cases) EXPECT_EQ(RarNextVolumeName(c.in, c.newNumbering), c.out) << c.in;
}

// Truncated and corrupted copies of every corpus RAR end with result codes, never a
// crash or a hang, and never more output than declared.
TEST(Unrar, DamagedArchivesFailCleanly) {
    mvtest::TempDir dir;
    const std::vector<int> allowed = {RAR_SUCCESS,      ERAR_END_ARCHIVE,    ERAR_NO_MEMORY,   ERAR_BAD_DATA,
                                      ERAR_BAD_ARCHIVE, ERAR_UNKNOWN_FORMAT, ERAR_EOPEN,       ERAR_ECREATE,
                                      ERAR_EREAD,       ERAR_BROKEN_VOLUMES, ERAR_BAD_PASSWORD};
    for (const char* name : {"rar15_sc.rar", "rar2x_sc.rar", "rar3_solid.rar", "rar5_solid.rar",
                             "rar15_comment.rar", "rar3_subdirs.rar", "rar5_sfx.exe"}) {
        auto original = mvtest::ReadFileBytes(mvtest::CorpusDir() / "rar" / name);
        std::vector<std::vector<uint8_t>> variants;
        for (size_t cut : {size_t(7), size_t(20), size_t(40), original.size() / 3, original.size() / 2,
                           original.size() - 1})
            if (cut < original.size()) variants.emplace_back(original.begin(), original.begin() + long(cut));
        uint32_t seed = 12345;
        for (int k = 0; k < 12; ++k) {
            auto v = original;
            for (int j = 0; j < 3; ++j) {
                seed = seed * 1103515245u + 12345u;
                size_t at = (seed >> 8) % v.size();
                v[at] = uint8_t(v[at] ^ (1u << (seed & 7)));
            }
            variants.push_back(v);
        }
        for (size_t i = 0; i < variants.size(); ++i) {
            SCOPED_TRACE(std::string(name) + " variant " + std::to_string(i));
            mvtest::WriteFileBytes(dir / "damaged.rar", variants[i]);
            ResetGlobals();
            std::vector<Outcome> outcomes;
            int end = RunArchive(dir / "damaged.rar", "", RAR_TEST, outcomes);
            EXPECT_NE(std::find(allowed.begin(), allowed.end(), end), allowed.end()) << end;
            for (const auto& o : outcomes) {
                EXPECT_NE(std::find(allowed.begin(), allowed.end(), o.result), allowed.end()) << o.result;
                EXPECT_LE(o.dataBytes, o.size);
            }
        }
    }
}

// Hand-made hostile archives (tests/fixtures/hostile/README.md) end with their codes.
TEST(Unrar, HostileFixturesEndWithTheirCodes) {
    struct Case {
        const char* file;
        int end;         // result of the header walk
        int firstResult; // result of testing the first member (-1: no member)
    } cases[] = {
        {"rar4_huge_sizes.rar", ERAR_END_ARCHIVE, ERAR_EREAD},
        {"rar4_header_size_zero.rar", ERAR_BAD_DATA, -1},
        {"rar29_bomb_truncated.rar", ERAR_END_ARCHIVE, ERAR_BAD_DATA},
        {"rar5_huge_dictionary.rar", ERAR_END_ARCHIVE, ERAR_BAD_DATA},
        {"rar5_header_size_huge.rar", ERAR_EREAD, -1},
        {"rar4_dotdot_name.rar", ERAR_END_ARCHIVE, RAR_SUCCESS},
    };
    // A damaged member whose matches reach past the window: the walk and the data fail cleanly.
    {
        ResetGlobals();
        std::vector<Outcome> outcomes;
        EXPECT_EQ(RunArchive(mvtest::FixtureDir() / "hostile" / "rar20_distance_past_window.rar", "",
                             RAR_TEST, outcomes),
                  ERAR_END_ARCHIVE);
        ASSERT_EQ(outcomes.size(), 3u);
        EXPECT_NE(outcomes[2].result, RAR_SUCCESS);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ResetGlobals();
        std::vector<Outcome> outcomes;
        EXPECT_EQ(RunArchive(mvtest::FixtureDir() / "hostile" / c.file, "", RAR_TEST, outcomes), c.end);
        if (c.firstResult < 0) {
            EXPECT_TRUE(outcomes.empty());
        } else {
            ASSERT_EQ(outcomes.size(), 1u);
            EXPECT_EQ(outcomes[0].result, c.firstResult);
            EXPECT_LE(outcomes[0].dataBytes, 16u);
        }
    }
}

// Listing walks headers only: skipping in a solid archive decodes nothing, and a
// member after a skipped one cannot be decoded from a listing handle.
TEST(Unrar, ListModeNeverDecodes) {
    ResetGlobals();
    RAROpenArchiveData od;
    od.ArcName = (mvtest::CorpusDir() / "rar/rar3_solid.rar").string();
    od.OpenMode = RAR_OM_LIST;
    RarHandle h = RAROpenArchive(&od);
    ASSERT_NE(h, nullptr);
    RARSetProcessDataProc(h, DataProc);
    RARHeaderData hd;
    ASSERT_EQ(RARReadHeader(h, &hd), RAR_SUCCESS);
    EXPECT_EQ(RARProcessFile(h, RAR_SKIP), RAR_SUCCESS);
    EXPECT_EQ(gBytes, 0u);
    ASSERT_EQ(RARReadHeader(h, &hd), RAR_SUCCESS);
    EXPECT_EQ(RARProcessFile(h, RAR_TEST), ERAR_BAD_DATA);
    EXPECT_EQ(RARReadHeader(h, &hd), ERAR_END_ARCHIVE);
    RARCloseArchive(h);
}
