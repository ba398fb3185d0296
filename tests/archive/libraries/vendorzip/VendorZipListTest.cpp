// Listing through the vendor zip library: event 1 field by field against
// zipinfo and unzip -v, the codes of archives that are no zip or hold nothing,
// and the event traces of a three-file archive zipped, listed, tested and
// extracted.
#include "VendorZipTestSupport.h"

#include <map>
#include <sys/stat.h>

namespace {

using namespace mv;
using namespace vztest;

struct ZipinfoRow {
    std::string perms, size, type, csize, when, name;
};

std::map<std::string, ZipinfoRow> ZipinfoRows(const fs::path& zip) {
    std::map<std::string, ZipinfoRow> rows;
    for (const auto& line : Lines(mvtest::Run("zipinfo -l -T " + Quote(zip.string())).output)) {
        std::istringstream in(line);
        std::vector<std::string> t;
        for (std::string w; in >> w;) t.push_back(w);
        if (t.size() != 9 || t[0].size() != 10) continue;
        rows[t[8]] = {t[0], t[3], t[4], t[5], t[7], t[8]};
    }
    return rows;
}

std::map<std::string, std::string> UnzipCrcs(const fs::path& zip) {
    std::map<std::string, std::string> crcs;
    for (const auto& line : Lines(mvtest::Run("unzip -v " + Quote(zip.string())).output)) {
        std::istringstream in(line);
        std::vector<std::string> t;
        for (std::string w; in >> w;) t.push_back(w);
        if (t.size() == 8 && t[6].size() == 8 &&
            t[6].find_first_not_of("0123456789abcdef") == std::string::npos)
            crcs[t[7]] = t[6];
    }
    return crcs;
}

TEST(VendorZipList, EventOneEqualsZipinfoFieldByField) {
    VZ_NEED_TOOL("zip");
    VZ_NEED_TOOL("zipinfo");
    VZ_NEED_TOOL("unzip");
    Tree t;
    mvtest::WriteFileText(t.src() / "ro.txt", "read only\n");
    fs::create_directories(t.src() / "empty");
    ::chmod((t.src() / "ro.txt").c_str(), 0444);
    // Even seconds: the DOS time of the entries and the extended time zipinfo shows agree.
    ASSERT_EQ(mvtest::Run("find " + Quote(t.src().string()) + " -exec touch -d '2024-03-05 10:20:30' {} +")
                  .exitCode,
              0);
    const std::string cd = "cd " + Quote(t.src().string()) + " && ";
    // Deflated, stored, encrypted, folders, a read-only file and a comment.
    ASSERT_EQ(mvtest::Run(cd + "zip -q -r ../z.zip a.txt sub empty ro.txt && zip -q -0 ../z.zip b.bin && "
                               "zip -q -P pw ../z.zip sub/c.txt && echo 'the comment' | zip -q -z ../z.zip")
                  .exitCode,
              0);
    const fs::path zip = t.dir / "z.zip";
    Vz vz;
    VzSetZipFilenameA(vz.h, zip.string().c_str());
    std::vector<TVzListingBlock> blocks;
    vz.Answer = [&](uint32_t e, void* b) {
        if (e == vzev::Listing) blocks.push_back(*static_cast<TVzListingBlock*>(b));
    };
    EXPECT_EQ(VzListZipContents(vz.h), 0);
    const auto rows = ZipinfoRows(zip);
    const auto crcs = UnzipCrcs(zip);
    ASSERT_EQ(blocks.size(), rows.size()) << vz.Dump();
    for (const auto& b : blocks) {
        const std::string name = NameField(b.Name);
        SCOPED_TRACE(name);
        ASSERT_TRUE(rows.count(name));
        const auto& r = rows.at(name);
        EXPECT_EQ(std::to_string(b.FileSize), r.size);
        EXPECT_EQ(std::to_string(b.PackedSize), r.csize);
        char when[32];
        std::snprintf(when, sizeof when, "%04d%02d%02d.%02d%02d%02d", b.Modified.wYear, b.Modified.wMonth,
                      b.Modified.wDay, b.Modified.wHour, b.Modified.wMinute, b.Modified.wSecond);
        EXPECT_EQ(when, r.when);
        EXPECT_EQ(b.Encrypted, std::isupper(static_cast<unsigned char>(r.type[0])) ? 1u : 0u);
        const bool dir = r.perms[0] == 'd';
        EXPECT_EQ(b.NotShown, dir ? 1u : 0u);
        EXPECT_EQ((b.Attributes & 0x10) != 0, dir);
        EXPECT_EQ((b.Attributes & 0x01) != 0, r.perms[2] == '-');
        if (!dir) {
            char crc[16];
            std::snprintf(crc, sizeof crc, "%08x", b.Crc);
            EXPECT_EQ(crc, crcs.at(name));
            EXPECT_NEAR(b.Ratio,
                        b.FileSize ? std::max(0, 100 - int(int64_t(b.PackedSize) * 100 / b.FileSize)) : 0, 1);
        }
    }
}

TEST(VendorZipList, CodesOfArchivesThatAreNoZipOrHoldNothing) {
    mvtest::TempDir dir;
    mvtest::WriteFileText(dir / "text.zip", "just some text, no archive at all\n");
    std::vector<uint8_t> end(22, 0);
    end[0] = 'P', end[1] = 'K', end[2] = 5, end[3] = 6;
    mvtest::WriteFileBytes(dir / "empty.zip", end);
    struct Case {
        const char* file;
        int16_t code;
    } cases[] = {
        {"text.zip", vzr::NotAZip}, {"empty.zip", vzr::NothingToDo}, {"missing.zip", vzr::ZipReadError}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Vz vz;
        VzSetZipFilenameA(vz.h, (dir / c.file).string().c_str());
        EXPECT_EQ(VzListZipContents(vz.h), c.code);
        EXPECT_EQ(VzTestZipFile(vz.h, 1), c.code);
        EXPECT_TRUE(vz.Of(vzev::Listing).empty());
    }
}

// Runs of progress events collapse into their last one, whose fields are
// checked apart; the rest of the trace is compared line by line.
std::vector<std::string> Collapsed(const Vz& vz) {
    std::vector<std::string> out;
    for (size_t i = 0; i < vz.events.size(); ++i) {
        if (vz.events[i] == vzev::Progress && i + 1 < vz.events.size() && vz.events[i + 1] == vzev::Progress)
            continue;
        std::string line = vz.trace[i];
        if (vz.events[i] == vzev::Progress) line = line.substr(0, line.find(" pct="));
        out.push_back(line);
    }
    return out;
}

TEST(VendorZipTrace, ThreeFilesZippedListedTestedAndExtracted) {
    Tree t;
    const std::string zip = t.d("t.zip");
    Vz vz;
    VzSetZipFilenameA(vz.h, zip.c_str());
    const std::string files = t.s("a.txt") + "\r\n" + t.s("b.bin") + "\r\n" + t.s("sub/c.txt") + "\r\n";
    VzSetFilesToProcessA(vz.h, files.c_str());
    VzSetPreservePaths(vz.h, 0);
    std::vector<int32_t> operations;
    std::vector<int16_t> percents;
    vz.Answer = [&](uint32_t e, void* b) {
        operations.push_back(VzGetCurrentOperation(vz.h));
        if (e == vzev::Progress) percents.push_back(static_cast<TVzProgressBlock*>(b)->Percent);
    };
    ASSERT_EQ(VzZip(vz.h), 0) << vz.Dump();
    EXPECT_EQ(Collapsed(vz), (std::vector<std::string>{
                                 "12 total=53000 out=0",
                                 "4 a.txt from=" + t.s("a.txt"),
                                 "9 " + t.s("a.txt") + " size=20000 cont=0",
                                 "10 done=20000",
                                 "4 b.bin from=" + t.s("b.bin"),
                                 "9 " + t.s("b.bin") + " size=30000 cont=0",
                                 "10 done=50000",
                                 "4 c.txt from=" + t.s("sub/c.txt"),
                                 "9 " + t.s("sub/c.txt") + " size=3000 cont=0",
                                 "10 done=53000",
                             }));
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);
    const std::string last = vz.Of(vzev::Progress).back();
    const int out = std::stoi(last.substr(last.find("out=") + 4));
    EXPECT_GT(out, 30000); // the random file does not shrink
    EXPECT_LT(out, static_cast<int>(fs::file_size(zip)));
    for (int32_t op : operations) EXPECT_EQ(op, vzop::Adding);
    EXPECT_EQ(VzGetCurrentOperation(vz.h), vzop::Idle);

    auto crcOf = [&](const std::string& n) {
        auto bytes = mvtest::ReadFileBytes(t.src() / n);
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08X", mvtest::ReferenceCrc32(bytes.data(), bytes.size()));
        return std::string(crc);
    };
    vz.Clear();
    operations.clear();
    ASSERT_EQ(VzListZipContents(vz.h), 0);
    std::vector<std::string> listed;
    for (auto l : vz.trace)
        listed.push_back(l.erase(l.find(" packed="), l.find(" crc=") - l.find(" packed=")));
    EXPECT_EQ(listed, (std::vector<std::string>{
                          "1 a.txt size=20000 crc=" + crcOf("a.txt") + " enc=0 hidden=0",
                          "1 b.bin size=30000 crc=" + crcOf("b.bin") + " enc=0 hidden=0",
                          "1 c.txt size=3000 crc=" + crcOf("sub/c.txt") + " enc=0 hidden=0",
                      }));
    for (int32_t op : operations) EXPECT_EQ(op, vzop::Listing);

    const std::vector<std::string> reading = {
        "2 a.txt", "9 a.txt size=20000 cont=0", "10 done=20000",
        "2 b.bin", "9 b.bin size=30000 cont=0", "10 done=50000",
        "2 c.txt", "9 c.txt size=3000 cont=0",  "10 done=53000",
    };
    vz.Clear();
    operations.clear();
    ASSERT_EQ(VzTestZipFile(vz.h, 1), 0);
    EXPECT_EQ(Collapsed(vz), reading);
    for (int32_t op : operations) EXPECT_EQ(op, vzop::Testing);

    vz.Clear();
    operations.clear();
    VzSetUnzipToFolderA(vz.h, t.d("out").c_str());
    VzSetFilesToProcessA(vz.h, "");
    ASSERT_EQ(VzUnzip(vz.h), 0);
    EXPECT_EQ(Collapsed(vz), reading);
    for (int32_t op : operations) EXPECT_EQ(op, vzop::Extracting);
}

} // namespace
