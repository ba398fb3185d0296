#include "platform/FileSystem.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace mv::platform;
using mvtest::TempDir;

TEST(PlatformFile, WriteReadSeekSize) {
    TempDir t;
    std::string p = (t / "a.bin").string();
    auto data = mvtest::RandomBytes(10000, 7);
    {
        auto f = Fs().Open(p, OpenMode::CreateNew);
        f->Write(data.data(), data.size());
        EXPECT_EQ(f->Size(), 10000);
        EXPECT_EQ(f->Position(), 10000);
        f->Close();
        f->Close(); // a second close does nothing
    }
    EXPECT_THROW(Fs().Open(p, OpenMode::CreateNew), FileError);
    auto f = Fs().Open(p, OpenMode::Read);
    std::vector<uint8_t> buf(100);
    EXPECT_EQ(f->ReadAt(9950, buf.data(), 100), 50u);
    EXPECT_EQ(0, memcmp(buf.data(), data.data() + 9950, 50));
    f->Seek(0);
    f->ReadExact(buf.data(), 100);
    EXPECT_EQ(0, memcmp(buf.data(), data.data(), 100));
    f->Seek(9990);
    EXPECT_THROW(f->ReadExact(buf.data(), 20), FileError);
    EXPECT_THROW(f->Write(buf.data(), 1), FileError); // opened for reading
}

TEST(PlatformFile, PositionsBeyond4GiB) {
    TempDir t;
    std::string p = (t / "sparse.bin").string();
    auto f = Fs().Open(p, OpenMode::CreateTruncate);
    const int64_t far = (int64_t(5) << 30) + 3;
    f->Seek(far);
    f->Write("xyz", 3);
    EXPECT_EQ(f->Size(), far + 3);
    char buf[3];
    EXPECT_EQ(f->ReadAt(far, buf, 3), 3u);
    EXPECT_EQ(std::string(buf, 3), "xyz");
    f->SetSize(10);
    EXPECT_EQ(f->Size(), 10);
}

TEST(PlatformFile, MissingFileRaisesWithErrno) {
    try {
        Fs().Open("/nonexistent-folder-xyz/file", OpenMode::Read);
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.Code(), ENOENT);
        EXPECT_EQ(e.Path(), "/nonexistent-folder-xyz/file");
    }
}

TEST(PlatformFile, CreateNeverWritesThroughSymlink) {
    TempDir t;
    mvtest::WriteFileText(t / "target", "keep");
    symlink((t / "target").c_str(), (t / "link").c_str());
    EXPECT_THROW(Fs().Open((t / "link").string(), OpenMode::CreateTruncate), FileError);
    EXPECT_EQ(mvtest::ReadFileBytes(t / "target").size(), 4u);
}

TEST(PlatformFile, AttributesAndEnumeration) {
    TempDir t;
    mvtest::WriteFileText(t / "Readme.TXT", "x");
    mvtest::WriteFileText(t / "b.txt", "yy");
    mvtest::WriteFileText(t / ".hidden", "z");
    mvtest::WriteFileText(t / "noext", "z");
    Fs().CreateDirectory((t / "sub").string());
    Fs().SetReadOnly((t / "b.txt").string(), true);

    FileInfo info;
    ASSERT_TRUE(Fs().Stat((t / "b.txt").string(), info));
    EXPECT_EQ(info.Attributes, faReadOnly | faArchive);
    EXPECT_EQ(info.Size, 2u);
    EXPECT_EQ(info.Mode & 0222, 0u);
    ASSERT_TRUE(Fs().Stat((t / ".hidden").string(), info));
    EXPECT_EQ(info.Attributes, faHidden | faArchive);
    ASSERT_TRUE(Fs().Stat((t / "sub").string(), info));
    EXPECT_EQ(info.Attributes, faDirectory);
    EXPECT_FALSE(Fs().Stat((t / "none").string(), info));
    Fs().SetReadOnly((t / "b.txt").string(), false);
    ASSERT_TRUE(Fs().Stat((t / "b.txt").string(), info));
    EXPECT_EQ(info.Attributes, faArchive);

    auto names = [&](const std::string& mask) {
        std::string s;
        for (auto& e : ListMatching(t.Path().string(), mask)) s += e.Name + ",";
        return s;
    };
    EXPECT_EQ(names("*.txt"), "Readme.TXT,b.txt,");
    EXPECT_EQ(names("*.*"), ".hidden,Readme.TXT,b.txt,noext,sub,");
    EXPECT_EQ(names("*."), "noext,sub,");
    EXPECT_EQ(names("?.TXT"), "b.txt,");
    EXPECT_EQ(names("noext.*"), "noext,");
}

TEST(PlatformFile, DosMaskTable) {
    struct Row {
        const char* mask;
        const char* name;
        bool match;
    } rows[] = {
        {"*.txt", "a.TXT", true},
        {"*.*", "abc", true},
        {"*", ".x", true},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"a*", "", false},
        {"?", "\xC3\xA9", true},
        {"*.tar.gz", "x.tar.gz", true},
        {"*.gz", "x.tgz", false},
        {"data.", "data", true},
        {"data.", "data.x", false},
        {"ABC", "abc", true},
        {"\xC3\xA9", "\xC3\x89", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.mask) + " / " + r.name);
        EXPECT_EQ(MatchesDosMask(r.mask, r.name), r.match);
    }
    // A pathological mask stays fast.
    std::string name(3000, 'a');
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(MatchesDosMask("*a*a*a*a*a*a*a*a*a*a*b", name));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000)); // even on a loaded machine
}

TEST(PlatformFile, TempFilesAndFolders) {
    TempDir t;
    auto f = Fs().CreateTempFile(t.Path().string(), "KPZ");
    EXPECT_EQ(NameOf(f->Path()).substr(0, 3), "KPZ");
    EXPECT_EQ(NameOf(f->Path()).size(), 9u);
    f->Write("abc", 3);
    f->Close();
    EXPECT_TRUE(Exists(f->Path()));
    std::string d = Fs().CreateTempDirectory(t.Path().string(), "_mv");
    EXPECT_TRUE(IsDirectory(d));
    mvtest::WriteFileText(d + "/x/y", "deep");
    RemoveTree(d);
    EXPECT_FALSE(Exists(d));

    const char* saved = getenv("TMPDIR");
    std::string savedValue = saved ? saved : "";
    setenv("TMPDIR", t.Path().c_str(), 1);
    EXPECT_EQ(Fs().TempDirectory(), t.Path().string());
    auto g = Fs().CreateTempFile("", "pre");
    EXPECT_EQ(DirectoryOf(g->Path()), t.Path().string());
    unsetenv("TMPDIR");
    EXPECT_EQ(Fs().TempDirectory(), "/tmp");
    if (saved) setenv("TMPDIR", savedValue.c_str(), 1);
}

TEST(PlatformFile, AtomicWriterReplacesOnlyOnCommit) {
    TempDir t;
    std::string target = (t / "arc.zip").string();
    mvtest::WriteFileText(target, "old");
    {
        AtomicWriter w(target);
        w.Output().Write("new data", 8);
        EXPECT_EQ(DirectoryOf(w.TempPath()), t.Path().string());
        // Destroyed without Commit: old one stays, the temporary is gone.
    }
    EXPECT_EQ(mvtest::ReadFileBytes(target).size(), 3u);
    EXPECT_EQ(ListMatching(t.Path().string(), "*").size(), 1u);
    {
        AtomicWriter w(target);
        w.Output().Write("new data", 8);
        chmod(target.c_str(), 0640);
        w.Commit();
    }
    EXPECT_EQ(mvtest::ReadFileBytes(target).size(), 8u);
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // the old archive's permissions
    {
        AtomicWriter w((t / "fresh.zip").string());
        w.Commit();
    }
    ASSERT_EQ(stat((t / "fresh.zip").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, Fs().DefaultFileMode());
    EXPECT_EQ(ListMatching(t.Path().string(), "*").size(), 2u);
}

TEST(PlatformFile, ReplaceFileMovesOverTarget) {
    TempDir t;
    mvtest::WriteFileText(t / "new", "fresh");
    mvtest::WriteFileText(t / "old", "stale!");
    chmod((t / "new").c_str(), 0600);
    chmod((t / "old").c_str(), 0644);
    ReplaceFile((t / "new").string(), (t / "old").string());
    EXPECT_EQ(mvtest::ReadFileBytes(t / "old").size(), 5u);
    struct stat st;
    ASSERT_EQ(stat((t / "old").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_FALSE(Exists((t / "new").string()));
}

TEST(PlatformFile, PathRoutines) {
    EXPECT_EQ(DirectoryOf("/a/b/c"), "/a/b");
    EXPECT_EQ(DirectoryOf("/a"), "/");
    EXPECT_EQ(DirectoryOf("a"), "");
    EXPECT_EQ(NameOf("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(JoinPath("", "b"), "b");
}

// Extraction opens files below a target folder without following symbolic links
// and without climbing out of it.
TEST(PlatformFile, OpenBeneathStaysInsideAndFollowsNoLink) {
    TempDir t, outside;
    std::string root = t.Path().string();
    mvtest::WriteFileText(outside / "victim", "keep");
    symlink(outside.Path().c_str(), (t / "linkdir").c_str());
    symlink((outside / "victim").c_str(), (t / "linkfile").c_str());

    auto f = Fs().OpenBeneath(root, "a/b/c.txt", OpenMode::CreateNew, true);
    f->Write("data", 4);
    f->Close();
    EXPECT_EQ(f->Path(), root + "/a/b/c.txt");
    EXPECT_EQ(mvtest::ReadFileBytes(t / "a/b/c.txt").size(), 4u);
    EXPECT_THROW(Fs().OpenBeneath(root, "x/y.txt", OpenMode::CreateNew, false), FileError); // no folder x

    struct Row {
        const char* relative;
        int code;
    } rows[] = {
        {"../escape.txt", EINVAL},
        {"a/../../escape", EINVAL},
        {"/etc/passwd", EINVAL},
        {"a//b", EINVAL},
        {"./a", EINVAL},
        {"", EINVAL},
        {"linkdir/victim", ENOTDIR},
        {"linkfile", ELOOP},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.relative);
        try {
            Fs().OpenBeneath(root, r.relative, OpenMode::CreateTruncate, true);
            FAIL() << "opened";
        } catch (const FileError& e) {
            if (r.code == EINVAL) {
                EXPECT_EQ(e.Code(), EINVAL);
            } else { // kernels answer a link met with O_NOFOLLOW with either
                EXPECT_TRUE(e.Code() == ELOOP || e.Code() == ENOTDIR) << e.Code();
            }
        }
    }
    EXPECT_EQ(mvtest::ReadFileBytes(outside / "victim").size(), 4u);
    EXPECT_THROW(Fs().CreateDirectoriesBeneath(root, "linkdir/sub"), FileError);
    EXPECT_FALSE(Exists((outside / "sub").string()));
    Fs().CreateDirectoriesBeneath(root, "d1/d2/d3");
    EXPECT_TRUE(IsDirectory(root + "/d1/d2/d3"));
    auto r = Fs().OpenBeneath(root, "a/b/c.txt", OpenMode::Read, false);
    char buf[4];
    r->ReadExact(buf, 4);
}

TEST(PlatformFile, OnlyRegularFilesOpen) {
    TempDir t;
    ASSERT_EQ(mkfifo((t / "pipe").c_str(), 0600), 0);
    try {
        Fs().Open((t / "pipe").string(), OpenMode::Read); // never blocks
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.Code(), EINVAL);
    }
    try {
        Fs().Open(t.Path().string(), OpenMode::Read);
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.Code(), EISDIR);
    }
}
