// The program's folders: XDG variables, their fallbacks, the desktop folder from
// user-dirs.dirs, and the portable mode that keeps everything beside the program.
#include "platform/AppPaths.h"

#include "tests/support/DesktopFixture.h"

#include <gtest/gtest.h>

namespace mv::platform {
namespace {

using mvtest::DesktopFixture;
namespace fs = std::filesystem;

class AppPathsTest : public ::testing::Test {
protected:
    void TearDown() override { SetProgramPath(""); }
};

TEST_F(AppPathsTest, FoldersFollowTheXdgVariables) {
    DesktopFixture desk;
    const fs::path bin = desk.Root() / "prefix/bin";
    fs::create_directories(bin);
    fs::create_directories(desk.Root() / "prefix/share/morvelan");
    SetProgramPath((bin / "morvelan").string());
    EXPECT_FALSE(IsPortable());
    EXPECT_EQ(ConfigDir(), (desk.Config() / "morvelan").string());
    EXPECT_EQ(DataDir(), (desk.Data() / "morvelan").string());
    EXPECT_EQ(RuntimeDir(), (desk.Root() / "run/morvelan").string());
    EXPECT_EQ(ResourceDir(), (desk.Root() / "prefix/share/morvelan").string());
    EXPECT_EQ(IniFilePath(), (desk.Config() / "morvelan/morvelan.ini").string());
    EXPECT_EQ(RegistryFilePath(), (desk.Config() / "morvelan/registry.ini").string());
    EXPECT_EQ(ApplicationsDir(), (desk.Data() / "applications").string());
    EXPECT_EQ(HelperPath("mvshell-host"), (bin / "mvshell-host").string());
    EXPECT_EQ(DesktopDir(), (desk.Home() / "Desktop").string());

    // Relative values are ignored, as the base directory rules say.
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    setenv("XDG_DATA_HOME", "", 1);
    EXPECT_EQ(XdgConfigHome(), (desk.Home() / ".config").string());
    EXPECT_EQ(XdgDataHome(), (desk.Home() / ".local/share").string());
}

TEST_F(AppPathsTest, DesktopFolderComesFromUserDirs) {
    DesktopFixture desk;
    mvtest::WriteFileText(desk.Config() / "user-dirs.dirs",
                          "# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
                          "XDG_DESKTOP_DIR=\"$HOME/Área de Trabalho\"\n");
    EXPECT_EQ(DesktopDir(), (desk.Home() / "Área de Trabalho").string());
}

TEST_F(AppPathsTest, PortableModeKeepsEverythingBesideTheProgram) {
    DesktopFixture desk;
    const fs::path folder = desk.Root() / "stick/morvelan";
    fs::create_directories(folder);
    SetProgramPath((folder / "morvelan").string());
    mvtest::WriteFileText(folder / "morvelan.ini", "[Configuracoes]\n");
    EXPECT_TRUE(IsPortable());
    for (const std::string& dir : {ConfigDir(), DataDir(), ResourceDir()}) EXPECT_EQ(dir, folder.string());
    EXPECT_EQ(IniFilePath(), (folder / "morvelan.ini").string());
    // A read-only ini beside the program (an installed copy's sample) is not portable.
    fs::permissions(folder / "morvelan.ini", fs::perms::owner_read);
    if (geteuid() != 0) {
        EXPECT_FALSE(IsPortable());
    }
}

} // namespace
} // namespace mv::platform
