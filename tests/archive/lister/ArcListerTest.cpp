// The lister against the real world: every listable archive of the corpus lists
// the names, sizes and CRCs of its manifest row, and archives made here by the
// peer tools list the files that went in.
#include "tests/archive/lister/ListerTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

using namespace mvtest;

namespace {

struct ManifestMember {
    std::string name;
    bool hasSize = false;
    uint64_t size = 0;
    uint32_t crc = 0;
};

struct ManifestRow {
    std::string path, format, features, listing;
    std::vector<ManifestMember> members;
};

// The manifest's listing column: "name|size|crc32" items separated by "; ", with
// notes after the CRC ("[m1 solid]"), directories as "name/" and links as "name|symlink|".
std::vector<ManifestRow> ReadRows() {
    std::ifstream in(CorpusDir() / "MANIFEST.tsv");
    std::vector<ManifestRow> rows;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> c;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t')) c.push_back(cell);
        if (c.size() < 10) continue;
        ManifestRow row{c[0], c[1], c[2], c[9], {}};
        std::string item;
        std::stringstream ls(c[9]);
        while (std::getline(ls, item, ';')) {
            while (!item.empty() && item.front() == ' ') item.erase(item.begin());
            if (!item.empty() && item.front() == '(') {
                // "(volume 2 entries) name|..." carries a note in front; "(later volume; ..." no entry
                auto close = item.find(')');
                if (close == std::string::npos) continue;
                if (close + 1 < item.size() && item[close + 1] == ' ') item.erase(0, close + 2);
            }
            if (item.empty()) continue;
            ManifestMember m;
            auto p1 = item.find('|');
            m.name = item.substr(0, p1);
            if (p1 != std::string::npos) {
                auto p2 = item.find('|', p1 + 1);
                std::string size =
                    item.substr(p1 + 1, p2 == std::string::npos ? std::string::npos : p2 - p1 - 1);
                if (!size.empty() && std::isdigit(static_cast<unsigned char>(size[0]))) {
                    m.hasSize = true;
                    m.size = std::stoull(size);
                    if (p2 != std::string::npos)
                        m.crc = static_cast<uint32_t>(std::stoul(item.substr(p2 + 1, 8), nullptr, 16));
                }
            }
            for (char& ch : m.name)
                if (ch == '\\') ch = '/';
            row.members.push_back(m);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

bool Has(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

} // namespace

// One table-driven test over the whole corpus.
TEST(ArcListerCorpus, EveryListableArchiveListsItsManifestRow) {
    auto rows = ReadRows();
    ASSERT_GT(rows.size(), 100u);
    // rows the lister cannot list, with the error it reports
    const std::map<std::string, int> refused = {
        {"rar/rar3_hpsw.rar", 25290}, // headers encrypted: names need the password
        {"rar/rar5_hpsw.rar", 25290}, //
    };
    // the format records no CRC-32 of the entry (CRC-16, a header checksum, or none)
    const std::vector<std::string> noCrc32 = {"lha", "zoo", "arc", "tar", "cab", "uue", "compress", "msgz"};
    int listed = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        std::string path = (CorpusDir() / row.path).string();
        ListResult r = ListArchive(path);
        if (!mv::IsValidArcType(r.type)) {
            // the type detection does not place it: the lister refuses it clearly
            EXPECT_FALSE(r.ok);
            EXPECT_FALSE(r.errors.empty());
            continue;
        }
        if (Has(row.listing, "(later volume")) continue; // listed through the set's first volume
        auto ref = refused.find(row.path);
        if (ref != refused.end()) {
            EXPECT_FALSE(r.completed);
            ASSERT_FALSE(r.errors.empty());
            EXPECT_EQ(r.errors.front(), ref->second);
            continue;
        }
        EXPECT_TRUE(r.ok);
        EXPECT_TRUE(r.completed);
        ++listed;
        if (row.format == "msgz") {
            EXPECT_EQ(r.entries.size(), 3u);
            continue;
        }
        if (row.format == "gzip" || row.format == "compress") {
            ASSERT_EQ(r.entries.size(), 1u);
            // one member whose trailer is at the end of the file: its size and CRC
            if (row.format == "gzip" && !Has(row.features, "several") && !Has(row.features, "trailing")) {
                ASSERT_FALSE(row.members.empty());
                EXPECT_EQ(uint64_t(r.entries[0].unpacked), row.members[0].size);
                EXPECT_EQ(r.entries[0].crc, row.members[0].crc);
            }
            continue;
        }
        bool checkCrc = std::find(noCrc32.begin(), noCrc32.end(), row.format) == noCrc32.end();
        bool volumes = Has(row.path, "multi.arj") || Has(row.path, "split.ace");
        // DOS tools store ARC names in capitals; the manifest's tool showed them in small letters
        bool foldCase = row.format == "arc";
        auto key = [&](std::string n) {
            if (foldCase)
                for (char& ch : n) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            return n;
        };
        std::map<std::string, const Listed*> ours;
        for (const auto& e : r.entries) ours[key(e.name)] = &e;
        std::map<std::string, bool> expectedNames;
        for (const auto& m : row.members) {
            expectedNames[key(m.name)] = true;
            if (!m.hasSize) continue; // a folder or a link
            SCOPED_TRACE(m.name);
            auto it = ours.find(key(m.name));
            if (it == ours.end()) {
                ADD_FAILURE() << "missing entry";
                continue;
            }
            if (row.format != "uue") {
                EXPECT_EQ(uint64_t(it->second->unpacked), m.size);
            }
            // an entry cut over volumes keeps the CRC of its last part in ARJ
            if (checkCrc && !Has(row.path, "multi.arj")) {
                EXPECT_EQ(it->second->crc, m.crc);
            }
        }
        // anything else we list is a folder (or belongs to a following volume)
        for (const auto& e : r.entries) {
            if (expectedNames.count(key(e.name)) || volumes) continue;
            bool folder = e.unpacked == 0 && ((e.attr & 0x10) || e.method == "Dir" || e.name.back() == '/' ||
                                              e.method == "Unknown" || expectedNames.count(e.name + "/"));
            EXPECT_TRUE(folder) << "unexpected entry " << e.name;
        }
    }
    EXPECT_GT(listed, 80);
}

// The command-line listing of archives whose names live outside the fixed
// header fields (a GNU long-name record, LHA level-3 extended headers): every
// member of the manifest row shows with its full name and its size, as the
// readers extract it.
TEST(ArcListerCorpus, MvarcListShowsFullNamesAndSizes) {
    const std::vector<std::string> paths = {"tar/gnutar_longnames.tar", "lha/lhaos2_h3_lh5.lzh"};
    auto rows = ReadRows();
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        auto row =
            std::find_if(rows.begin(), rows.end(), [&](const ManifestRow& r) { return r.path == path; });
        ASSERT_NE(row, rows.end());
        RunResult r = mvtest::Run(Quote(MvarcPath()) + " list " + Quote((CorpusDir() / path).string()));
        ASSERT_EQ(r.exitCode, 0) << r.output;
        // "name<TAB>size<TAB>packed<TAB>..." per entry, then the "total" line
        std::map<std::string, uint64_t> listed;
        std::stringstream lines(r.output);
        std::string line;
        while (std::getline(lines, line)) {
            const auto tab = line.find('\t');
            if (tab == std::string::npos || line.compare(0, tab, "total") == 0) continue;
            std::string name = line.substr(0, tab);
            for (char& ch : name)
                if (ch == '\\') ch = '/';
            listed[name] = std::stoull(line.substr(tab + 1));
        }
        int members = 0;
        for (const auto& m : row->members) {
            if (!m.hasSize) continue; // links are no entries of the listing
            ++members;
            SCOPED_TRACE(m.name);
            ASSERT_TRUE(listed.count(m.name)) << r.output;
            EXPECT_EQ(listed[m.name], m.size);
        }
        EXPECT_GT(members, 0);
        EXPECT_EQ(listed.size(), size_t(members)) << r.output;
    }
}

// ---------------------------------------------------------------- archives made here by the peers

namespace {

struct PeerCase {
    const char* name;
    const char* tool;
    const char* command; // run in a folder holding the input files; makes "out.<ext>"
    const char* archive;
    bool crc32;      // the format records the CRC-32 of each entry
    bool dirsListed; // the format's folders show up as entries
};

// Printed by its name, so the test names stay the same from build to build.
void PrintTo(const PeerCase& c, std::ostream* os) {
    *os << c.name;
}

void MakeInputs(const TempDir& dir) {
    fs::create_directories(dir / "in/sub");
    WriteFileBytes(dir / "in/alpha.txt", TextBytes(3000, 1));
    WriteFileBytes(dir / "in/sub/beta.bin", RandomBytes(70000, 2));
    WriteFileBytes(dir / "in/empty.dat", {});
}

const std::vector<std::pair<std::string, std::vector<uint8_t>>>& InputFiles() {
    static const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
        {"alpha.txt", TextBytes(3000, 1)}, {"sub/beta.bin", RandomBytes(70000, 2)}, {"empty.dat", {}}};
    return files;
}

} // namespace

class ArcListerPeers : public ::testing::TestWithParam<PeerCase> {};

TEST_P(ArcListerPeers, ListsTheFilesThatWentIn) {
    const PeerCase& c = GetParam();
    MV_REQUIRE_TOOL(c.tool);
    TempDir dir;
    MakeInputs(dir);
    auto run = mvtest::Run(c.command, dir / "in");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ListResult r = ListArchive((dir / "in" / c.archive).string());
    ASSERT_TRUE(r.ok) << c.name;
    EXPECT_TRUE(r.completed);
    EXPECT_TRUE(r.errors.empty());
    for (const auto& [name, data] : InputFiles()) {
        SCOPED_TRACE(name);
        const Listed* found = nullptr;
        for (const auto& e : r.entries)
            if (e.name == name) found = &e;
        ASSERT_NE(found, nullptr) << "not listed";
        EXPECT_EQ(uint64_t(found->unpacked), data.size());
        if (c.crc32) {
            EXPECT_EQ(found->crc, ReferenceCrc32(data.data(), data.size()));
        }
    }
    for (const auto& e : r.entries) {
        bool input = false;
        for (const auto& f : InputFiles()) input |= f.first == e.name;
        if (!input) {
            EXPECT_TRUE(c.dirsListed && e.unpacked == 0) << "unexpected " << e.name;
        }
    }
    // Filenum runs 1, 2, 3 over the reported entries
    for (size_t i = 0; i < r.entries.size(); ++i) EXPECT_EQ(r.entries[i].filenum, int(i + 1));
    EXPECT_EQ(r.totalsCount, int(r.entries.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Peers, ArcListerPeers,
    ::testing::Values(
        PeerCase{"zip", "zip", "zip -qr out.zip alpha.txt sub empty.dat", "out.zip", true, false},
        PeerCase{"zip_stored", "zip", "zip -q0r out.zip alpha.txt sub empty.dat", "out.zip", true, false},
        PeerCase{"7z_zip", "7z", "7z a -tzip -bd out.zip alpha.txt sub empty.dat >/dev/null", "out.zip", true,
                 false},
        PeerCase{"arj_m0", "arj", "arj a -m0 -r -y out.arj alpha.txt sub/beta.bin empty.dat >/dev/null",
                 "out.arj", true, true},
        PeerCase{"arj_m1", "arj", "arj a -m1 -r -y out.arj alpha.txt sub/beta.bin empty.dat >/dev/null",
                 "out.arj", true, true},
        PeerCase{"arj_m2", "arj", "arj a -m2 -r -y out.arj alpha.txt sub/beta.bin empty.dat >/dev/null",
                 "out.arj", true, true},
        PeerCase{"arj_m3", "arj", "arj a -m3 -r -y out.arj alpha.txt sub/beta.bin empty.dat >/dev/null",
                 "out.arj", true, true},
        PeerCase{"arj_m4", "arj", "arj a -m4 -r -y out.arj alpha.txt sub/beta.bin empty.dat >/dev/null",
                 "out.arj", true, true},
        PeerCase{"arj_volumes", "arj",
                 "arj a -m0 -v30k -y out.arj alpha.txt sub/beta.bin empty.dat >/dev/null; test -f out.a01",
                 "out.arj", false, true},
        PeerCase{"lha_level0", "lha", "lha a0 out.lzh alpha.txt sub/beta.bin empty.dat >/dev/null", "out.lzh",
                 false, true},
        PeerCase{"lha_level1", "lha", "lha a1 out.lzh alpha.txt sub/beta.bin empty.dat >/dev/null", "out.lzh",
                 false, true},
        PeerCase{"lha_level2", "lha", "lha a2 out.lzh alpha.txt sub/beta.bin empty.dat >/dev/null", "out.lzh",
                 false, true},
        PeerCase{"gcab", "gcab", "gcab -c out.cab alpha.txt sub/beta.bin empty.dat", "out.cab", false, false},
        PeerCase{"gcab_zip", "gcab", "gcab -cz out.cab alpha.txt sub/beta.bin empty.dat", "out.cab", false,
                 false},
        PeerCase{"tar_v7", "tar", "tar --format=v7 -cf out.tar alpha.txt sub empty.dat", "out.tar", false,
                 true},
        PeerCase{"tar_ustar", "tar", "tar --format=ustar -cf out.tar alpha.txt sub empty.dat", "out.tar",
                 false, true},
        PeerCase{"tar_gnu", "tar", "tar --format=gnu -cf out.tar alpha.txt sub empty.dat", "out.tar", false,
                 true},
        PeerCase{"tar_pax", "tar", "tar --format=pax -cf out.tar alpha.txt sub empty.dat", "out.tar", false,
                 true}),
    [](const auto& info) { return std::string(info.param.name); });

// One-file formats: gzip, compress and uuencode list the file that went in.
TEST(ArcListerPeersSingle, GzipCompressUuencode) {
    TempDir dir;
    auto data = TextBytes(50000, 7);
    WriteFileBytes(dir / "data.txt", data);
    uint32_t crc = ReferenceCrc32(data.data(), data.size());
    if (RequireTool("gzip")) {
        ASSERT_EQ(
            mvtest::Run("gzip -c data.txt > named.gz && gzip -nc data.txt > plain.gz", dir.Path()).exitCode,
            0);
        ListResult r = ListArchive((dir / "named.gz").string());
        ASSERT_TRUE(r.completed);
        ASSERT_EQ(r.entries.size(), 1u);
        EXPECT_EQ(r.entries[0].name, "data.txt");
        EXPECT_EQ(uint64_t(r.entries[0].unpacked), data.size());
        EXPECT_EQ(r.entries[0].crc, crc);
        r = ListArchive((dir / "plain.gz").string());
        ASSERT_EQ(r.entries.size(), 1u);
        EXPECT_EQ(r.entries[0].name, "plain"); // no stored name: the archive's name up to its last dot
        EXPECT_EQ(r.entries[0].crc, crc);
    }
    if (RequireTool("compress")) {
        ASSERT_EQ(mvtest::Run("compress -c data.txt > data.txt.Z", dir.Path()).exitCode, 0);
        ListResult r = ListArchive((dir / "data.txt.Z").string());
        ASSERT_TRUE(r.completed);
        ASSERT_EQ(r.entries.size(), 1u);
        EXPECT_EQ(r.entries[0].name, "data.txt");
        EXPECT_EQ(r.entries[0].method, "LzwMAGIC");
    }
    if (RequireTool("uuencode")) {
        ASSERT_EQ(mvtest::Run("uuencode data.txt stored-name.txt > data.uue", dir.Path()).exitCode, 0);
        ListResult r = ListArchive((dir / "data.uue").string());
        ASSERT_TRUE(r.completed);
        ASSERT_EQ(r.entries.size(), 1u);
        EXPECT_EQ(r.entries[0].name, "stored-name.txt");
    }
}

// Long names: ustar prefix, GNU long-name records and pax paths keep the whole path.
TEST(ArcListerPeersSingle, TarLongNames) {
    MV_REQUIRE_TOOL("tar");
    TempDir dir;
    std::string deep = "in";
    for (int i = 0; i < 6; ++i) deep += "/folder-with-a-rather-long-name-" + std::to_string(i);
    fs::create_directories(dir / deep);
    WriteFileBytes(dir / (deep + "/file-with-a-long-name-too.txt"), TextBytes(100, 3));
    std::string stored = deep + "/file-with-a-long-name-too.txt";
    ASSERT_GT(stored.size(), 200u);
    for (const char* format : {"gnu", "pax", "ustar"}) {
        SCOPED_TRACE(format);
        std::string name = std::string(format) + ".tar";
        auto run = mvtest::Run(std::string("tar --format=") + format + " -cf " + name + " " + Quote(stored),
                               dir.Path());
        if (std::string(format) == "ustar" && run.exitCode != 0) continue; // too long for ustar
        ASSERT_EQ(run.exitCode, 0) << run.output;
        ListResult r = ListArchive((dir / name).string());
        ASSERT_TRUE(r.completed);
        ASSERT_EQ(r.entries.size(), 1u);
        EXPECT_EQ(r.entries[0].name, stored);
        EXPECT_EQ(r.entries[0].unpacked, 100);
    }
}
