// "cmake --install" lays the program's desktop files out under a prefix: the desktop
// entry (the one the program writes for itself, with a bare program name), our MIME
// package and the icons, each valid for its freedesktop tool.
#include "platform/desktop/DesktopIntegration.h"

#include "platform/FileOps.h"
#include "tests/support/DesktopFixture.h"

#include <gtest/gtest.h>

namespace mv::desktop {
namespace {

using mvtest::Quote;
namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
    std::string text;
    platform::ReadTextFile(p.string(), text);
    return text;
}

TEST(InstallLayout, TheInstalledEntryIsTheOneTheProgramWrites) {
    mvtest::DesktopFixture desk;
    WriteApplicationEntry("morvelan", "Morvelan Archive");
    EXPECT_EQ(ReadText(fs::path(MV_SOURCE_DIR) / "resources/desktop/morvelan.desktop"),
              ReadText(desk.Data() / "applications/morvelan.desktop"));
}

TEST(InstallLayout, CmakeInstallPutsTheDesktopFilesUnderThePrefix) {
    MV_NEED_TOOL("desktop-file-validate");
    MV_NEED_TOOL("xmllint");
    mvtest::TempDir prefix;
    const fs::path build = fs::read_symlink("/proc/self/exe").parent_path().parent_path();
    const auto run = mvtest::Run("cmake --install " + Quote(build.string()) + " --component desktop --prefix " +
                                 Quote(prefix.Path().string()));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const fs::path share = prefix / "share";
    const fs::path files[] = {share / "applications/morvelan.desktop", share / "mime/packages/morvelan.xml",
                              share / "icons/hicolor/scalable/apps/morvelan.svg",
                              share / "icons/hicolor/scalable/apps/morvelan-uninstall.svg",
                              share / "morvelan/morvelan.svg"};
    for (const fs::path& f : files) EXPECT_TRUE(fs::exists(f)) << f;
    const auto validate = mvtest::Run("desktop-file-validate " + Quote(files[0].string()));
    EXPECT_EQ(validate.exitCode, 0) << validate.output;
    for (size_t i = 1; i < std::size(files); ++i) {
        const auto lint = mvtest::Run("xmllint --noout " + Quote(files[i].string()));
        EXPECT_EQ(lint.exitCode, 0) << files[i] << lint.output;
    }
    EXPECT_EQ(ReadText(files[1]), MimePackageText());
}

} // namespace
} // namespace mv::desktop
