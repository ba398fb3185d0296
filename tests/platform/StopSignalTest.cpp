// A run stopped by SIGINT or SIGTERM leaves no temporary file: a child process
// writes a new version of a file beside it and is stopped halfway; the
// temporary file is gone, the old file is as it was, and the child ended by the
// signal. Also the output tree of extractions: folders made once, never
// through a link, files put in place by one rename.
#include "platform/FileSystem.h"
#include "platform/TempFileGuard.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mv::platform {
namespace {

namespace fs = std::filesystem;

std::string Text(const fs::path& p) {
    const auto bytes = mvtest::ReadFileBytes(p);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(StopSignal, TemporaryFileOfAReplacementGoesWithTheRun) {
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        mvtest::TempDir t;
        const fs::path target = t / "data.bin";
        mvtest::WriteFileText(target, "old contents");
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            try {
                AtomicWriter writer(target.string());
                const auto bytes = mvtest::RandomBytes(1 << 20, 1);
                writer.Output().Write(bytes.data(), bytes.size());
                const char c = 'w';
                if (::write(ready[1], &c, 1) != 1) ::_exit(2);
                for (;;) ::pause(); // the signal ends the process here
            } catch (...) {
            }
            ::_exit(3);
        }
        ::close(ready[1]);
        char c = 0;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        EXPECT_EQ(Names(t.Path()).size(), 2u); // the target and its temporary file
        ::kill(child, sig);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status));
        if (WIFSIGNALED(status)) {
            EXPECT_EQ(WTERMSIG(status), sig);
        }
        EXPECT_EQ(Names(t.Path()), std::vector<std::string>{"data.bin"});
        EXPECT_EQ(Text(target), "old contents");
    }
}

TEST(StopSignal, RegistrationLastsWhileTheFileIsTemporary) {
    const int before = RegisteredTempFiles();
    mvtest::TempDir t;
    {
        AtomicWriter writer((t / "a.txt").string());
        EXPECT_EQ(RegisteredTempFiles(), before + 1);
        writer.Output().Write("x", 1);
        writer.Commit();
        EXPECT_EQ(RegisteredTempFiles(), before);
    }
    {
        AtomicWriter dropped((t / "b.txt").string());
        EXPECT_EQ(RegisteredTempFiles(), before + 1);
    }
    EXPECT_EQ(RegisteredTempFiles(), before);
    TempFileGuard a((t / "x").string());
    TempFileGuard b(std::move(a));
    EXPECT_FALSE(a.Registered());
    EXPECT_TRUE(b.Registered());
    EXPECT_EQ(RegisteredTempFiles(), before + 1);
    b.Release();
    EXPECT_EQ(RegisteredTempFiles(), before);
    TempFileGuard tooLong(std::string(5000, 'a'));
    EXPECT_FALSE(tooLong.Registered());
}

TEST(OutputTree, FoldersOnceNeverThroughALinkAndOneRename) {
    mvtest::TempDir t;
    fs::create_directories(t / "root");
    fs::create_directories(t / "outside");
    fs::create_directory_symlink(t / "outside", t / "root" / "link");
    const mode_t oldMask = ::umask(022);
    {
        auto tree = FileSystem::Real().OpenOutputTree((t / "root").string());
        // Folders are made as needed, and a file is created with the mode asked.
        auto f = tree->CreateTemp("a/b", ".tmp-", 0755);
        f->Write("hello", 5);
        f->SetModTime(1620284889);
        f->Close();
        const std::string temp = "a/b/" + NameOf(f->Path());
        EXPECT_EQ(NameOf(f->Path()).rfind(".tmp-", 0), 0u);
        EXPECT_EQ(f->Path(), JoinPath((t / "root").string(), temp));
        mvtest::WriteFileText(t / "root" / "a" / "b" / "x.txt", "old");
        tree->Rename(temp, "a/b/x.txt");
        EXPECT_EQ(Text(t / "root" / "a" / "b" / "x.txt"), "hello");
        struct stat st {};
        ASSERT_EQ(::stat((t / "root" / "a" / "b" / "x.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0755u);
        EXPECT_EQ(st.st_mtime, 1620284889);
        // A link in the way is never entered, and nothing is made through it.
        EXPECT_THROW(tree->CreateFolders("link/c"), FileError);
        EXPECT_THROW(tree->CreateTemp("link", ".tmp-", 0644), FileError);
        EXPECT_TRUE(fs::is_empty(t / "outside"));
        // Climbing names are refused.
        EXPECT_THROW(tree->CreateFolders("a/../../escape"), FileError);
        EXPECT_FALSE(fs::exists(t / "escape"));
        // A temporary file that is not wanted goes.
        auto g = tree->CreateTemp("a/b", ".tmp-", 0644);
        g->Close();
        tree->RemoveFile("a/b/" + NameOf(g->Path()));
        EXPECT_EQ(Names(t / "root" / "a" / "b"), std::vector<std::string>{"x.txt"});
    }
    ::umask(oldMask);
}

} // namespace
} // namespace mv::platform
