// A RAR archive cut inside a member header is an archive cut short: extract
// and test report it and exit non-zero, never "0 of 0" with success.
#include "archive/framework/ArcErrors.h"
#include "tests/archive/readers/ReaderTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(RarCutHeader, ExtractAndTestReportIt) {
    // Cuts that fall inside the header of a member (RAR 1.5-4 and RAR5).
    const std::vector<std::pair<std::string, std::vector<size_t>>> cases = {
        {"rar/rar3_subdirs.rar", {21, 22, 25}},
        {"rar/rar15_sc.rar", {22, 25, 60}},
        {"rar/rar5_solid.rar", {25, 30}},
    };
    for (const auto& [file, cuts] : cases) {
        const auto whole = mvtest::ReadFileBytes(mvtest::CorpusDir() / file);
        for (size_t cut : cuts) {
            SCOPED_TRACE(file + " cut at " + std::to_string(cut));
            mvtest::TempDir t;
            const fs::path archive = t / "c.rar";
            mvtest::WriteFileBytes(archive, std::vector<uint8_t>(whole.begin(), whole.begin() + long(cut)));
            auto reader = mv::NewReaderFor(archive.string());
            ASSERT_TRUE(reader);
            readertest::Outcome o = readertest::Run(*reader, t / "out", {.password = {}, .raisedAsError = true});
            EXPECT_TRUE(readertest::Reported(o, mv::arcerr::ReadError)) << o.errors.size();
            EXPECT_TRUE(readertest::Tree(t / "out").empty());
            const auto m = mvtest::Quote(mvtest::MvarcPath());
            auto r = mvtest::Run(m + " extract " + mvtest::Quote(archive.string()) + " " +
                                 mvtest::Quote((t / "o2").string()));
            EXPECT_NE(r.exitCode, 0) << r.output;
            r = mvtest::Run(m + " test " + mvtest::Quote(archive.string()));
            EXPECT_NE(r.exitCode, 0) << r.output;
            r = mvtest::Run(m + " list " + mvtest::Quote(archive.string()));
            EXPECT_NE(r.exitCode, 0) << r.output;
        }
    }
}
