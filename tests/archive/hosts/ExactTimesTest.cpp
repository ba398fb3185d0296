// Dates to the second: where an archive holds a member's time finer than a DOS
// date (Unix time in TAR, GZip, LHA level 2 and ARJ from Unix; the extended
// timestamp of ZIP), the extracted file gets exactly that time, odd seconds
// included. Without it the DOS date's two-second steps remain.
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace mv;
namespace fs = std::filesystem;

namespace {

int64_t MTime(const fs::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return -1;
    return st.st_mtime;
}

} // namespace

TEST(ExactTimes, OddSecondsComeBackFromEveryUnixTimeFormat) {
    mvtest::TempDir t;
    mvtest::WriteFileBytes(t / "src" / "odd.txt", mvtest::TextBytes(2000, 5));
    ASSERT_EQ(mvtest::Run("touch -d '2021-05-06 07:08:09' odd.txt", t / "src").exitCode, 0);
    const int64_t source = MTime(t / "src" / "odd.txt");
    ASSERT_EQ(source % 2, 1);
    struct Case {
        std::string tool, archive, command; // run in src; %a: the archive
        std::string extracted;              // the output's name
        bool exact;                         // the archive holds the odd second
    };
    const std::vector<Case> cases = {
        {"zip", "ut.zip", "zip -q %a odd.txt", "odd.txt", true},        // extended timestamp
        {"zip", "dos.zip", "zip -q -X %a odd.txt", "odd.txt", false},   // DOS date alone
        {"tar", "t.tar", "tar -cf %a odd.txt", "odd.txt", true},
        {"bsdtar", "b.tar", "bsdtar -cf %a odd.txt", "odd.txt", true},
        {"gzip", "odd.txt.gz", "gzip -c odd.txt > %a", "odd.txt", true},
        {"arj", "a.arj", "arj a -y %a odd.txt", "odd.txt", true},
        {"lha", "l2.lzh", "lha a2q %a odd.txt", "odd.txt", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        if (!mvtest::RequireTool(c.tool)) continue;
        std::string cmd = c.command;
        cmd.replace(cmd.find("%a"), 2, mvtest::Quote((t / c.archive).string()));
        auto r = mvtest::Run(cmd, t / "src");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const fs::path out = t / ("out-" + c.archive);
        readertest::Outcome o = readertest::ExtractAll(t / c.archive, out);
        EXPECT_TRUE(o.errors.empty());
        EXPECT_EQ(readertest::Tree(out)[c.extracted], mvtest::ReadFileBytes(t / "src" / "odd.txt"));
        const int64_t got = MTime(out / c.extracted);
        if (c.exact) {
            EXPECT_EQ(got, source);
        } else {
            EXPECT_LE(std::llabs(got - source), 1);
            EXPECT_EQ(got % 2, 0);
        }
    }
}
