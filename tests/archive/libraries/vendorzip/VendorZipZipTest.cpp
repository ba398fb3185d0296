// Writing through the vendor zip library: archives the peers accept at every
// level and with a password, the choice of files (masks, excluded names and
// attributes, renamed stored names), updates and removals that leave the other
// entries byte-identical, abort and re-entrant calls, parts of a split set,
// the preview, refusals of what does not fit, and the self-extracting container.
#include "VendorZipTestSupport.h"

#include "zipwriter/ZipEngine.h"

#include <sys/stat.h>

namespace {

using namespace mv;
using namespace vztest;

// The stored name of a path with paths kept: the absolute path without its "/".
std::string Stored(const std::string& path) {
    return path.substr(1);
}

std::vector<std::string> PeerNames(const fs::path& zip) {
    return Lines(mvtest::Run("zipinfo -1 " + Quote(zip.string())).output);
}

// The raw bytes of every entry (local header to the end of its data), by name.
std::map<std::string, std::vector<uint8_t>> RawEntries(const fs::path& zip) {
    auto bytes = mvtest::ReadFileBytes(zip);
    TZipEngine z;
    z.SetZipName(zip.string());
    std::map<std::string, std::vector<uint8_t>> out;
    for (int i = 0; i < z.Count(); ++i) {
        const auto& e = z.Entry(i);
        size_t off = e.LocalHeaderOffset;
        size_t len = 30 + (bytes[off + 26] | bytes[off + 27] << 8) +
                     (bytes[off + 28] | bytes[off + 29] << 8) + e.CompressedSize;
        out[e.FullName()] = std::vector<uint8_t>(bytes.begin() + off, bytes.begin() + off + len);
    }
    return out;
}

TEST(VendorZipZip, PeersAcceptEveryLevelWithAndWithoutPassword) {
    VZ_NEED_TOOL("bsdtar");
    VZ_NEED_TOOL("unzip");
    VZ_NEED_TOOL("7z");
    VZ_NEED_TOOL("zipinfo");
    Tree t;
    for (int level : {0, 1, 6, 9})
        for (const std::string pw : {"", "pa ss"}) {
            SCOPED_TRACE("level " + std::to_string(level) + " password '" + pw + "'");
            const fs::path zip = t.dir / ("l" + std::to_string(level) + (pw.empty() ? "" : "e") + ".zip");
            Vz vz;
            VzSetZipFilenameA(vz.h, zip.string().c_str());
            VzSetFilesToProcessA(vz.h, t.src().string().c_str()); // a folder: all below it
            VzSetCompressionLevel(vz.h, level);
            VzSetEncryptionPasswordA(vz.h, pw.c_str());
            ASSERT_EQ(VzZip(vz.h), 0) << vz.Dump();
            ExpectPeersAccept(zip, pw);
            // Folders are not stored (excluded attribute 16 by default); paths are kept.
            EXPECT_EQ(PeerNames(zip), (std::vector<std::string>{Stored(t.s("a.txt")), Stored(t.s("b.bin")),
                                                                Stored(t.s("sub/c.txt"))}));
            const fs::path out = t.dir / "out";
            fs::remove_all(out);
            ASSERT_EQ(mvtest::Run("unzip -q -j " + (pw.empty() ? "" : "-P " + Quote(pw) + " ") +
                                  Quote(zip.string()) + " -d " + Quote(out.string()))
                          .exitCode,
                      0);
            EXPECT_EQ(mvtest::ReadFileBytes(out / "c.txt"), mvtest::ReadFileBytes(t.src() / "sub/c.txt"));
            if (level == 0) {
                EXPECT_EQ(fs::file_size(zip) > 53000u, true);
            }
        }
}

TEST(VendorZipZip, MasksExclusionsAttributesAndRenamedNames) {
    Tree t;
    mvtest::WriteFileText(t.src() / ".hidden", "h");
    mvtest::WriteFileText(t.src() / "ro.txt", "r");
    ::chmod((t.src() / "ro.txt").c_str(), 0444);
    fs::create_symlink(t.src() / "gone", t.src() / "dangling");
    struct Case {
        const char* what;
        std::string process, exclude;
        int32_t attributes;
        bool subfolders, paths;
        std::vector<std::string> names;
        std::vector<std::string> skips;
        int16_t code;
    } cases[] = {
        {"all but *.bin, no hidden",
         t.s("*"),
         "*.bin",
         24 + 2,
         true,
         false,
         {"a.txt", "ro.txt", "c.txt"},
         {"6 " + t.s(".hidden") + " reason=2", "6 " + t.s("b.bin") + " reason=1",
          "6 " + t.s("dangling") + " reason=103"},
         vzr::SomeSkipped},
        {"no read-only files, no subfolders",
         t.s("*.txt"),
         "",
         24 + 1,
         false,
         false,
         {"a.txt"},
         {"6 " + t.s("ro.txt") + " reason=2"},
         0},
        {"two lists, a name twice",
         t.s("a.txt") + "\r\n" + t.s("sub/*.txt") + "\r\n" + t.s("a.txt"),
         "sub/x*",
         24,
         true,
         true,
         {Stored(t.s("a.txt")), Stored(t.s("sub/c.txt"))},
         {},
         0},
        {"duplicate names without paths",
         t.s("a.txt") + "\r\n" + t.d("a.txt"),
         "",
         24,
         true,
         false,
         {"a.txt"},
         {"6 " + t.d("a.txt") + " reason=13"},
         vzr::DuplicateName},
        {"a missing file only",
         t.s("none.txt"),
         "",
         24,
         true,
         true,
         {},
         {"6 " + t.s("none.txt") + " reason=103"},
         vzr::NothingToDo},
    };
    mvtest::WriteFileText(t.dir / "a.txt", "another a");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path zip = t.dir / "m.zip";
        fs::remove(zip);
        Vz vz;
        VzSetZipFilenameA(vz.h, zip.string().c_str());
        VzSetFilesToProcessA(vz.h, c.process.c_str());
        VzSetFilesToExcludeA(vz.h, c.exclude.c_str());
        VzSetExcludedFileAttributes(vz.h, c.attributes);
        VzSetProcessSubfolders(vz.h, c.subfolders);
        VzSetPreservePaths(vz.h, c.paths);
        EXPECT_EQ(VzZip(vz.h), c.code) << vz.Dump();
        EXPECT_EQ(vz.Of(vzev::Skipping), c.skips);
        if (c.names.empty()) {
            EXPECT_FALSE(fs::exists(zip));
            continue;
        }
        auto names = PeerNames(zip);
        std::sort(names.begin(), names.end());
        auto expected = c.names;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
    }
    // A name rewritten through event 4 is the stored name ("\" taken as "/").
    Vz vz;
    const fs::path zip = t.dir / "r.zip";
    VzSetZipFilenameA(vz.h, zip.string().c_str());
    VzSetFilesToProcessA(vz.h, (t.s("a.txt") + "\r\n" + t.s("b.bin")).c_str());
    vz.Answer = [&](uint32_t e, void* b) {
        auto& s = *static_cast<TVzStoredNameBlock*>(b);
        if (e == vzev::StoredName && NameField(s.SourcePath) == t.s("a.txt"))
            SetName(s.Name, "pre\\fix\\x.txt");
    };
    ASSERT_EQ(VzZip(vz.h), 0);
    EXPECT_EQ(PeerNames(zip), (std::vector<std::string>{"pre/fix/x.txt", Stored(t.s("b.bin"))}));
}

TEST(VendorZipZip, UpdateAndRemoveLeaveOtherEntriesByteIdentical) {
    VZ_NEED_TOOL("unzip");
    VZ_NEED_TOOL("7z");
    Tree t;
    const fs::path zip = t.dir / "u.zip";
    Vz vz;
    VzSetZipFilenameA(vz.h, zip.string().c_str());
    VzSetPreservePaths(vz.h, 0);
    VzSetFilesToProcessA(vz.h, t.s("*").c_str());
    ASSERT_EQ(VzZip(vz.h), 0);
    auto before = RawEntries(zip);
    ASSERT_EQ(before.size(), 3u);
    // Update: a changed file and a new one; the others stay as they were.
    mvtest::WriteFileBytes(t.src() / "a.txt", mvtest::TextBytes(15000, 9));
    mvtest::WriteFileText(t.src() / "new.txt", "new\n");
    VzSetFilesToProcessA(vz.h, (t.s("a.txt") + "\r\n" + t.s("new.txt")).c_str());
    ASSERT_EQ(VzZip(vz.h), 0);
    ExpectPeersAccept(zip);
    auto after = RawEntries(zip);
    EXPECT_EQ(after.size(), 4u);
    EXPECT_EQ(after.at("b.bin"), before.at("b.bin"));
    EXPECT_EQ(after.at("c.txt"), before.at("c.txt"));
    EXPECT_NE(after.at("a.txt"), before.at("a.txt"));
    // Remove by masks, one kept by the exclusion list.
    before = after;
    vz.Clear();
    VzSetFilesToProcessA(vz.h, "*.txt\r\nB.BIN");
    VzSetFilesToExcludeA(vz.h, "new.*");
    EXPECT_EQ(VzRemoveFiles(vz.h), 0) << vz.Dump();
    EXPECT_EQ(vz.trace, (std::vector<std::string>{"7 a.txt", "7 b.bin", "7 c.txt"}));
    ExpectPeersAccept(zip);
    after = RawEntries(zip);
    EXPECT_EQ(after.size(), 1u);
    EXPECT_EQ(after.at("new.txt"), before.at("new.txt"));
}

TEST(VendorZipZip, AbortFromAnEventLeavesTheArchiveUntouched) {
    Tree t;
    const fs::path zip = t.dir / "a.zip";
    for (uint32_t at : {vzev::Totals, vzev::StoredName, vzev::FileBegin, vzev::Progress}) {
        SCOPED_TRACE(at);
        fs::remove(zip);
        Vz vz;
        VzSetZipFilenameA(vz.h, zip.string().c_str());
        VzSetFilesToProcessA(vz.h, t.s("a.txt").c_str());
        ASSERT_EQ(VzZip(vz.h), 0);
        const auto old = mvtest::ReadFileBytes(zip);
        VzSetFilesToProcessA(vz.h, t.s("*").c_str());
        vz.Answer = [&](uint32_t e, void*) {
            if (e == at) VzSetAbort(vz.h, 1);
        };
        EXPECT_EQ(VzZip(vz.h), vzr::Aborted);
        EXPECT_EQ(mvtest::ReadFileBytes(zip), old);
        std::vector<std::string> left;
        for (auto& e : fs::directory_iterator(t.dir.Path())) left.push_back(e.path().filename().string());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, (std::vector<std::string>{"a.zip", "src"})) << "no temporary file is left";
        // Removing, aborted from its event, leaves it too.
        vz.Answer = [&](uint32_t e, void*) {
            if (e == vzev::Removing) VzSetAbort(vz.h, 1);
        };
        VzSetAbort(vz.h, 0);
        VzSetFilesToProcessA(vz.h, "*");
        EXPECT_EQ(VzRemoveFiles(vz.h), vzr::Aborted);
        EXPECT_EQ(mvtest::ReadFileBytes(zip), old);
    }
}

TEST(VendorZipZip, ACallFromAnEventIsRefusedAsBusy) {
    Tree t;
    const fs::path zip = t.dir / "b.zip";
    Vz vz;
    VzSetZipFilenameA(vz.h, zip.string().c_str());
    VzSetFilesToProcessA(vz.h, t.s("*").c_str());
    std::vector<int16_t> inner;
    vz.Answer = [&](uint32_t e, void*) {
        if (e != vzev::FileBegin) return;
        inner.push_back(VzListZipContents(vz.h));
        inner.push_back(VzZip(vz.h));
        inner.push_back(VzTestZipFile(vz.h, 1));
        inner.push_back(VzDestroyVendorZip(vz.h));
    };
    EXPECT_EQ(VzZip(vz.h), 0);
    EXPECT_EQ(inner, std::vector<int16_t>(4 * 3, vzr::Busy)); // four calls in each of three events
    vz.Answer = nullptr;
    EXPECT_EQ(VzTestZipFile(vz.h, 1), 0);
    // Another instance may work while this one waits in its event.
    vz.Answer = [&](uint32_t e, void*) {
        if (e != vzev::Processing) return;
        Vz other;
        VzSetZipFilenameA(other.h, zip.string().c_str());
        inner.push_back(VzListZipContents(other.h));
    };
    inner.clear();
    EXPECT_EQ(VzTestZipFile(vz.h, 1), 0);
    EXPECT_EQ(inner, std::vector<int16_t>(3, 0));
}

TEST(VendorZipZip, SplitPartsReadByThePeers) {
    VZ_NEED_TOOL("zip");
    VZ_NEED_TOOL("unzip");
    VZ_NEED_TOOL("7z");
    mvtest::TempDir dir;
    fs::create_directories(dir / "src");
    std::string files;
    for (int i = 0; i < 3; ++i) {
        mvtest::WriteFileBytes(dir / "src" / ("f" + std::to_string(i) + ".bin"),
                               mvtest::RandomBytes(70000, 20 + i));
        files += (dir / "src" / ("f" + std::to_string(i) + ".bin")).string() + "\r\n";
    }
    mvtest::WriteFileText(dir / "set.z09", "a part of an earlier set, not next to this one");
    for (const std::string pw : {"", "pw"}) {
        SCOPED_TRACE("password '" + pw + "'");
        for (const char* n : {"set.zip", "set.z01", "set.z02", "set.z03", "joined.zip"}) fs::remove(dir / n);
        Vz vz;
        VzSetZipFilenameA(vz.h, (dir / "set.zip").string().c_str());
        VzSetFilesToProcessA(vz.h, files.c_str());
        VzSetPreservePaths(vz.h, 0);
        VzSetEncryptionPasswordA(vz.h, pw.c_str());
        VzSetSplitSize(vz.h, 65536);
        ASSERT_EQ(VzZip(vz.h), 0) << vz.Dump();
        for (const char* n : {"set.z01", "set.z02", "set.z03"}) {
            ASSERT_TRUE(fs::exists(dir / n)) << n;
            EXPECT_EQ(fs::file_size(dir / n), 65536u) << n;
        }
        EXPECT_TRUE(fs::exists(dir / "set.z09"));
        auto z = mvtest::Run("7z t " + (pw.empty() ? std::string("-p-") : "-p" + pw) + " " +
                             Quote((dir / "set.zip").string()));
        EXPECT_EQ(z.exitCode, 0) << z.output;
        auto j = mvtest::Run("cd " + Quote(dir.Path().string()) + " && zip -q -s 0 set.zip --out joined.zip");
        ASSERT_EQ(j.exitCode, 0) << j.output;
        auto u = mvtest::Run("unzip -t " + (pw.empty() ? std::string() : "-P " + pw + " ") +
                             Quote((dir / "joined.zip").string()));
        EXPECT_EQ(u.exitCode, 0) << u.output;
        // Our own reading takes the set as well.
        vz.Clear();
        EXPECT_EQ(VzListZipContents(vz.h), 0);
        EXPECT_EQ(vz.Of(vzev::Listing).size(), 3u);
        EXPECT_EQ(VzTestZipFile(vz.h, 1), 0);
        // A set is not updated, nor are entries removed from it.
        EXPECT_EQ(VzZip(vz.h), vzr::MultiVolumeUpdate);
        VzSetFilesToProcessA(vz.h, "*");
        EXPECT_EQ(VzRemoveFiles(vz.h), vzr::MultiVolume);
    }
    Vz vz;
    VzSetZipFilenameA(vz.h, (dir / "small.zip").string().c_str());
    VzSetFilesToProcessA(vz.h, files.c_str());
    VzSetSplitSize(vz.h, 1000);
    EXPECT_EQ(VzZip(vz.h), vzr::BadSplitSize);
    EXPECT_FALSE(fs::exists(dir / "small.zip"));
}

TEST(VendorZipZip, PreviewReportsTotalsAndWritesNothing) {
    Tree t;
    Vz vz;
    VzSetZipFilenameA(vz.h, t.d("p.zip").c_str());
    VzSetFilesToProcessA(vz.h, (t.s("*.txt") + "\r\n" + t.s("b.bin")).c_str());
    EXPECT_EQ(VzPreviewFiles(vz.h), 0);
    ASSERT_EQ(vz.Of(vzev::Totals).size(), 1u);
    const std::string totals = vz.Of(vzev::Totals)[0];
    EXPECT_EQ(totals.substr(0, totals.find(" out=")), "12 total=53000");
    EXPECT_GT(std::stoi(totals.substr(totals.find(" out=") + 5)), 53000);
    EXPECT_FALSE(fs::exists(t.dir / "p.zip"));
    EXPECT_EQ(vz.events, std::vector<uint32_t>{vzev::Totals});
    VzSetFilesToProcessA(vz.h, t.s("*.none").c_str());
    EXPECT_EQ(VzPreviewFiles(vz.h), vzr::NothingToDo);
}

TEST(VendorZipZip, NamesAndSizesThatDoNotFitAreRefused) {
    mvtest::TempDir dir;
    fs::path deep = dir.Path();
    while (deep.string().size() < 270) deep /= "a-rather-long-folder-name";
    fs::create_directories(deep);
    mvtest::WriteFileText(deep / "f.txt", "deep");
    mvtest::WriteFileText(dir / "ok.txt", "ok");
    {
        // A sparse file past 2 GiB takes no room.
        std::FILE* f = std::fopen((dir / "big.bin").c_str(), "wb");
        ASSERT_TRUE(f);
        std::fclose(f);
        fs::resize_file(dir / "big.bin", 5ull << 30);
    }
    Vz vz;
    VzSetZipFilenameA(vz.h, (dir / "n.zip").string().c_str());
    VzSetFilesToProcessA(vz.h, ((deep / "f.txt").string() + "\r\n" + (dir / "ok.txt").string() + "\r\n" +
                                (dir / "big.bin").string())
                                   .c_str());
    EXPECT_EQ(VzZip(vz.h), vzr::SomeSkipped) << vz.Dump();
    auto skips = vz.Of(vzev::Skipping);
    ASSERT_EQ(skips.size(), 2u);
    EXPECT_EQ(skips[0], "6  reason=529"); // the name itself does not fit the field
    EXPECT_EQ(skips[1], "6 " + (dir / "big.bin").string() + " reason=529");
    VZ_NEED_TOOL("zipinfo");
    EXPECT_EQ(PeerNames(dir / "n.zip"), std::vector<std::string>{Stored((dir / "ok.txt").string())});
}

TEST(VendorZipSfx, ContainerWithAnyStubPassesThePeers) {
    VZ_NEED_TOOL("unzip");
    VZ_NEED_TOOL("zipinfo");
    VZ_NEED_TOOL("7z");
    Tree t;
    std::vector<uint8_t> stub = mvtest::RandomBytes(4096, 5);
    const std::string head = "#!/bin/sh\nexit 0\n";
    std::copy(head.begin(), head.end(), stub.begin());
    mvtest::WriteFileBytes(t.dir / "stub.bin", stub);
    mvtest::WriteFileBytes(t.dir / "icon.ico", {0, 0, 1, 0, 9, 9});
    const fs::path run = t.dir / "setup.run";
    Vz vz;
    VzSetZipFilenameA(vz.h, run.string().c_str());
    VzSetFilesToProcessA(vz.h, t.src().string().c_str());
    VzSetPreservePaths(vz.h, 0);
    VzSetEncryptionPasswordA(vz.h, "pw");
    VzSetSfxBinaryModuleA(vz.h, (t.dir / "stub.bin").string().c_str());
    VzSetSfxStringsA(vz.h, 1, "Title");
    VzSetSfxMessagesA(vz.h, 3, "Line one\r\nline two");
    VzSetSfxDefaultUnzipToFolderA(vz.h, "%e");
    VzSetSfxIconFilenameA(vz.h, (t.dir / "icon.ico").string().c_str());
    ASSERT_EQ(VzZip(vz.h), 0) << vz.Dump();
    EXPECT_EQ(fs::status(run).permissions() & fs::perms::all, fs::perms(0755));
    const auto bytes = mvtest::ReadFileBytes(run);
    ASSERT_GT(bytes.size(), stub.size());
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), bytes.begin()));
    auto u = mvtest::Run("unzip -t -P pw " + Quote(run.string()));
    EXPECT_EQ(u.exitCode, 0) << u.output;
    auto zi = mvtest::Run("zipinfo " + Quote(run.string()));
    EXPECT_EQ(zi.exitCode, 0) << zi.output;
    EXPECT_EQ(zi.output.find("extra bytes"), std::string::npos) << zi.output;
    EXPECT_EQ(mvtest::Run("7z t -ppw " + Quote(run.string())).exitCode, 0);
    // The locator in the comment points at the settings block.
    const std::string text(bytes.begin(), bytes.end());
    const size_t at = text.rfind("MVSFX1 ");
    ASSERT_NE(at, std::string::npos);
    unsigned long long offset = 0, length = 0;
    unsigned crc = 0;
    ASSERT_EQ(std::sscanf(text.c_str() + at, "MVSFX1 %llu %llu %8X", &offset, &length, &crc), 3);
    EXPECT_EQ(offset, stub.size());
    EXPECT_EQ(mvtest::ReferenceCrc32(bytes.data() + offset, length), crc);
    const std::string block = text.substr(offset, length);
    EXPECT_EQ(block.substr(0, 7), std::string("MVSFX1\0", 7));
    for (const char* field : {"string.1=5:Title\n", "message.3=18:Line one\r\nline two\n", "folder=2:%e\n",
                              "existing=1:0\n", "ui=8:terminal\n"})
        EXPECT_NE(block.find(field), std::string::npos) << field;
    EXPECT_NE(block.find(std::string("icon=6:\0\0\1\0\t\t\n", 14)), std::string::npos);
    // Our own reading takes the container as an archive.
    VzSetUnzipToFolderA(vz.h, t.d("out").c_str());
    VzSetFilesToProcessA(vz.h, "");
    EXPECT_EQ(VzUnzip(vz.h), 0) << vz.Dump();
    EXPECT_EQ(mvtest::ReadFileBytes(t.dir / "out" / "b.bin"), mvtest::ReadFileBytes(t.src() / "b.bin"));

    // Stub files that are missing or unreadable.
    const auto before = mvtest::ReadFileBytes(run);
    VzSetSfxBinaryModuleA(vz.h, t.d("none.bin").c_str());
    VzSetFilesToProcessA(vz.h, t.src().string().c_str());
    EXPECT_EQ(VzZip(vz.h), vzr::StubMissing);
    mvtest::WriteFileBytes(t.dir / "empty.bin", {});
    VzSetSfxBinaryModuleA(vz.h, t.d("empty.bin").c_str());
    EXPECT_EQ(VzZip(vz.h), vzr::StubUnreadable);
    VzSetSfxBinaryModuleA(vz.h, t.dir.Path().string().c_str());
    EXPECT_EQ(VzZip(vz.h), vzr::StubUnreadable);
    EXPECT_EQ(mvtest::ReadFileBytes(run), before);
}

} // namespace
