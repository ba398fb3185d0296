// The installer's own rules (codes, arguments, names) and what it does with a
// container holding entries that would land outside the target.
#include "app/packager/stub/SfxContainer.h"
#include "app/packager/stub/SfxRun.h"
#include "archive/framework/Crc.h"
#include "archive/framework/ZipRecords.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace mv::sfx {
namespace fs = mvtest::fs;
namespace {

using mvtest::TempDir;

TEST(SfxStub, FolderCodes) {
    ::setenv("HOME", "/home/u", 1);
    ::setenv("XDG_DATA_HOME", "/home/u/.data", 1);
    ::setenv("TMPDIR", "/scratch", 1);
    struct Row {
        std::string in, out;
    };
    const Row rows[] = {
        {"%e", "/opt/inst"},           {"%e\\sub", "/opt/inst/sub"},     {"%t/x", "/scratch/x"},
        {"%s", "/home/u/.local/lib"},  {"%w", "/home/u/.data"},          {"%v\\Apps", "/home/u/Apps"},
        {"%p\\Tool", "/home/u/.local/opt/Tool"}, {"100%%", "100%"},     {"%q stays", "%q stays"},
        {"plain", "plain"},
    };
    for (const Row& r : rows) EXPECT_EQ(ExpandFolderCodes(r.in, "/opt/inst"), r.out) << r.in;
    const std::string random = ExpandFolderCodes("/tmp/%r", "");
    EXPECT_EQ(random.size(), 5u + 8u);
    EXPECT_NE(random, ExpandFolderCodes("/tmp/%r", ""));
    ::unsetenv("TMPDIR");
}

TEST(SfxStub, MessageCodes) {
    const std::map<char, std::string> v = {{'d', "/dest"}, {'f', "a.txt"}, {'e', "107"}, {'n', "2"}};
    EXPECT_EQ(ExpandMessageCodes("Error #%e in %f under %d, disk %n, 5%%", v),
              "Error #107 in a.txt under /dest, disk 2, 5%");
    EXPECT_EQ(ExpandMessageCodes("%s on %x", v), " on %x");
}

TEST(SfxStub, ArgumentsSplitLikeAShellWithoutOne) {
    EXPECT_EQ(SplitArguments("  -a  'b c' \"d \\\"e\\\"\" f\\ g $HOME;ls "),
              (std::vector<std::string>{"-a", "b c", "d \"e\"", "f g", "$HOME;ls"}));
    EXPECT_TRUE(SplitArguments("   ").empty());
    EXPECT_EQ(SplitArguments("''"), std::vector<std::string>{""});
}

TEST(SfxStub, EntryNamesAndDesktopIds) {
    struct Row {
        std::string stored, safe;
    };
    const Row rows[] = {{"a/b.txt", "a/b.txt"}, {"a\\b.txt", "a/b.txt"}, {"./a//b", "a/b"},
                        {"../x", ""},           {"/etc/x", ""},          {"a/../../x", ""},
                        {"C:\\x", ""},          {"dir/", "dir"}};
    for (const Row& r : rows) EXPECT_EQ(SafeEntryName(r.stored), r.safe) << r.stored;
    EXPECT_EQ(DesktopId("My Tools 2.0!"), "my-tools-2-0");
    EXPECT_EQ(DesktopId("***"), "installer");
}

// A container made by hand: the stub, the settings block and a stored zip
// whose names are given as they stand.
void WriteContainer(const fs::path& out, const std::vector<std::pair<std::string, std::string>>& entries,
                    const std::map<std::string, std::string>& settings) {
    std::vector<uint8_t> file = mvtest::ReadFileBytes(fs::path(MV_SFX_STUB_DIR) / "VzSfx16.bin");
    std::vector<uint8_t> block = {'M', 'V', 'S', 'F', 'X', '1', 0};
    for (const auto& [k, v] : settings) {
        const std::string field = k + "=" + std::to_string(v.size()) + ":" + v + "\n";
        block.insert(block.end(), field.begin(), field.end());
    }
    const size_t blockAt = file.size();
    file.insert(file.end(), block.begin(), block.end());
    std::vector<uint8_t> central;
    for (const auto& [name, data] : entries) {
        TZipLocalHeader h;
        h.VersionNeeded = 10;
        h.Crc32 = Crc32Of(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        h.CompressedSize = h.UncompressedSize = static_cast<uint32_t>(data.size());
        h.NameLength = static_cast<uint16_t>(name.size());
        h.DosDateTime = 0x5A210000;
        TZipCentralRecord c;
        c.VersionMadeBy = 0x0314;
        c.VersionNeeded = 10;
        c.Crc32 = h.Crc32;
        c.CompressedSize = c.UncompressedSize = h.UncompressedSize;
        c.NameLength = h.NameLength;
        c.DosDateTime = h.DosDateTime;
        c.ExternalAttributes = 0100644u << 16;
        c.LocalHeaderOffset = static_cast<uint32_t>(file.size());
        uint8_t raw[ZipCentralRecordSize];
        WriteZipLocalHeader(h, raw);
        file.insert(file.end(), raw, raw + ZipLocalHeaderSize);
        file.insert(file.end(), name.begin(), name.end());
        file.insert(file.end(), data.begin(), data.end());
        WriteZipCentralRecord(c, raw);
        central.insert(central.end(), raw, raw + ZipCentralRecordSize);
        central.insert(central.end(), name.begin(), name.end());
    }
    char locator[80];
    std::snprintf(locator, sizeof locator, "MVSFX1 %zu %zu %08X", blockAt, block.size(),
                  Crc32Of(block.data(), block.size()));
    const std::string comment = locator;
    TZipEndRecord end;
    end.EntriesOnDisk = end.EntriesTotal = static_cast<uint16_t>(entries.size());
    end.CentralSize = static_cast<uint32_t>(central.size());
    end.CentralOffset = static_cast<uint32_t>(file.size());
    end.CommentLength = static_cast<uint16_t>(comment.size());
    file.insert(file.end(), central.begin(), central.end());
    uint8_t raw[ZipEndRecordSize];
    WriteZipEndRecord(end, raw);
    file.insert(file.end(), raw, raw + ZipEndRecordSize);
    file.insert(file.end(), comment.begin(), comment.end());
    mvtest::WriteFileBytes(out, file);
    fs::permissions(out, fs::perms::owner_all);
}

TEST(SfxStub, EntriesThatWouldLeaveTheTargetAreRefused) {
    TempDir dir;
    fs::create_directories(dir / "deep/target");
    WriteContainer(dir / "hostile.run",
                   {{"ok.txt", "fine"}, {"../evil.txt", "x"}, {"/tmp/mv-sfx-abs.txt", "x"},
                    {"sub/../../../evil2.txt", "x"}, {"sub\\inner.txt", "inner"}},
                   {{"message.1", "Error #%e"}, {"button.0", "OK"}});
    const auto r = mvtest::Run(mvtest::Quote((dir / "hostile.run").string()) + " --quiet --target " +
                               mvtest::Quote((dir / "deep/target").string()));
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_EQ(mvtest::ReadFileBytes(dir / "deep/target/ok.txt").size(), 4u);
    EXPECT_EQ(mvtest::ReadFileBytes(dir / "deep/target/sub/inner.txt").size(), 5u);
    EXPECT_FALSE(fs::exists(dir / "deep/evil.txt"));
    EXPECT_FALSE(fs::exists(dir / "evil2.txt"));
    EXPECT_FALSE(fs::exists("/tmp/mv-sfx-abs.txt"));
}

TEST(SfxStub, ADamagedContainerIsAClearError) {
    TempDir dir;
    WriteContainer(dir / "a.run", {{"a.txt", "data"}}, {});
    auto bytes = mvtest::ReadFileBytes(dir / "a.run");
    bytes[bytes.size() - 30] ^= 0xFF; // inside the end record's locator area
    bytes.erase(bytes.end() - 5, bytes.end()); // and cut the comment short
    mvtest::WriteFileBytes(dir / "a.run", bytes);
    fs::permissions(dir / "a.run", fs::perms::owner_all);
    const auto r = mvtest::Run(mvtest::Quote((dir / "a.run").string()) + " --quiet --target " +
                               mvtest::Quote(dir.Path().string()));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("installer"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(dir / "a.txt"));
}

} // namespace
} // namespace mv::sfx
