// The zip writer stores files as a Unix host does: names outside ASCII in
// flagged UTF-8 and the file's mode above its DOS attributes, so that unzip
// gives back the same names, bytes and permissions.
#include "tests/support/TestSupport.h"
#include "zipwriter/ZipEngine.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

using namespace mv;
namespace fs = std::filesystem;

TEST(ZipEngineUnixModes, UnzipGivesBackNamesBytesAndModes) {
    MV_REQUIRE_TOOL("unzip");
    const mode_t oldMask = ::umask(022);
    mvtest::TempDir t;
    fs::create_directories(t / "src");
    const std::map<std::string, mode_t> files = {
        {"ação.sh", 0755}, {"só_eu.txt", 0600}, {"plain.txt", 0644}, {"canción.dat", 0640}};
    std::vector<std::string> list;
    uint32_t seed = 1;
    for (const auto& [name, mode] : files) {
        mvtest::WriteFileBytes(t / "src" / name, mvtest::TextBytes(2000, seed++));
        ::chmod((t / "src" / name).c_str(), mode);
        list.push_back((t / "src" / name).string());
    }
    const fs::path zip = t / "modes.zip";
    {
        TZipEngine z;
        z.SetZipName(zip.string());
        z.SetFilesList(list);
        EXPECT_EQ(z.Zip(), static_cast<int>(files.size()));
    }
    fs::create_directories(t / "out");
    auto r = mvtest::Run("unzip -q -j " + mvtest::Quote(zip.string()) + " -d " +
                         mvtest::Quote((t / "out").string()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    for (const auto& [name, mode] : files) {
        SCOPED_TRACE(name);
        struct stat st {};
        ASSERT_EQ(::stat((t / "out" / name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_EQ(mvtest::ReadFileBytes(t / "out" / name), mvtest::ReadFileBytes(t / "src" / name));
    }
    TZipEngine back;
    back.SetZipName(zip.string());
    ASSERT_EQ(back.Count(), static_cast<int>(files.size()));
    for (int i = 0; i < back.Count(); ++i) {
        EXPECT_EQ(back.Entry(i).VersionMadeBy >> 8, 3);
        EXPECT_EQ(back.Entry(i).ExternalAttributes >> 16 & 0170000, 0100000u);
    }
    ::umask(oldMask);
}
