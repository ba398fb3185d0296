// An archive with Zip64 records: the lister and the reader refuse it alike,
// both naming Zip64, instead of the list succeeding where extraction fails.
#include "archive/framework/ArcErrors.h"
#include "archive/lister/ArcLister.h"
#include "archive/readers/UnZip.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;

namespace {

struct Report {
    std::string detail;
    int code = 0;
};

} // namespace

TEST(ArcListerZip64, ListerAndReaderRefuseZip64Alike) {
    MV_REQUIRE_TOOL("zip");
    mvtest::TempDir t;
    mvtest::WriteFileText(t / "a.txt", "hello\n");
    // -fz: Zip64 records even for a small archive, as for one of 70,000 entries.
    ASSERT_EQ(mvtest::Run("zip -q -fz z64.zip a.txt", t.Path()).exitCode, 0);
    const std::string archive = (t / "z64.zip").string();

    std::vector<Report> listed;
    int entries = 0;
    {
        TArcLister lister;
        lister.SetFileSpec({"*.*"});
        lister.OnRead = [&](TObject*, int64_t, int) { ++entries; };
        lister.OnError = [&](TObject*, const std::string&, const std::string& detail, const std::string&,
                             int code) {
            listed.push_back({detail, code});
        };
        lister.SetArchiveFile(archive);
        try {
            lister.Activate();
        } catch (const E_RAISE& e) {
            if (listed.empty()) listed.push_back({"", e.ErrorCode()});
        }
    }
    std::vector<Report> extracted;
    {
        mvtest::TempDir out;
        TUnZIP reader;
        reader.SetArchiveFile(archive);
        reader.SetExtractDir(out.Path().string());
        reader.FileSpecList() = {"*.*"};
        reader.OnError = [&](TObject*, const std::string&, const std::string& detail, const std::string&,
                             int code) {
            extracted.push_back({detail, code});
        };
        try {
            reader.Extract();
        } catch (const E_RAISE& e) {
            if (extracted.empty()) extracted.push_back({"", e.ErrorCode()});
        }
        EXPECT_EQ(reader.ExtractedCount(), 0);
    }
    EXPECT_EQ(entries, 0);
    ASSERT_EQ(listed.size(), 1u);
    ASSERT_EQ(extracted.size(), 1u);
    for (const auto* r : {&listed[0], &extracted[0]}) {
        EXPECT_EQ(r->code, arcerr::TooLarge);
        EXPECT_EQ(r->detail, "Zip64");
    }
}
