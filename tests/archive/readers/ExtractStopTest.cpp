// An extraction stopped by SIGTERM or SIGINT halfway through a member leaves
// no temporary file in the target folder and the file it was replacing as it
// was: a child process extracts, tells the parent once the member's output is
// being written, and is stopped there.
#include "archive/readers/UnTar.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace mv;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> out;
    for (auto& e : fs::recursive_directory_iterator(dir)) out.push_back(fs::relative(e.path(), dir).string());
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(ExtractStop, StopSignalLeavesNoTemporaryFile) {
    MV_REQUIRE_TOOL("tar");
    mvtest::TempDir t;
    mvtest::WriteFileBytes(t / "src" / "deep" / "big.bin", mvtest::RandomBytes(4 << 20, 7));
    ASSERT_EQ(mvtest::Run("tar -cf ../big.tar deep", t / "src").exitCode, 0);
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        const fs::path out = t / ("out" + std::to_string(sig));
        mvtest::WriteFileBytes(out / "deep" / "big.bin", {'o', 'l', 'd'});
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            TUnTAR reader;
            reader.SetArchiveFile((t / "big.tar").string());
            reader.SetExtractDir(out.string());
            reader.SetConfirmOverwrites(false);
            reader.FileSpecList() = {"*.*"};
            int reports = 0;
            reader.OnProgress = [&](TObject*, uint8_t, uint8_t) {
                // Past the first pieces of the member: its output exists.
                if (++reports == 4) {
                    const char c = 'w';
                    if (::write(ready[1], &c, 1) != 1) ::_exit(2);
                    for (;;) ::pause(); // the signal ends the process here
                }
            };
            try {
                reader.Extract();
            } catch (...) {
            }
            ::_exit(3);
        }
        ::close(ready[1]);
        char c = 0;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        EXPECT_EQ(Names(out).size(), 3u); // the folder, the old file and the member's temporary file
        ::kill(child, sig);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status));
        if (WIFSIGNALED(status)) {
            EXPECT_EQ(WTERMSIG(status), sig);
        }
        EXPECT_EQ(Names(out), (std::vector<std::string>{"deep", "deep/big.bin"}));
        EXPECT_EQ(mvtest::ReadFileBytes(out / "deep" / "big.bin"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    }
}
