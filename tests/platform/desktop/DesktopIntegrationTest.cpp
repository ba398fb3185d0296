// The desktop integration in fixture XDG folders: our desktop entry and MIME package
// are valid for the freedesktop tools, and mimeapps.list gets only our lines, so that the
// user's own default applications survive.
#include "platform/desktop/DesktopIntegration.h"

#include "platform/FileOps.h"
#include "tests/support/DesktopFixture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace mv::desktop {
namespace {

using mvtest::DesktopFixture;
using mvtest::Quote;

namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
    std::string text;
    platform::ReadTextFile(p.string(), text);
    return text;
}

int64_t ModTimeNs(const fs::path& p) {
    struct stat st{};
    if (::stat(p.c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

unsigned ModeOf(const fs::path& p) {
    struct stat st{};
    return ::stat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(DesktopIntegration, ExecArgumentsAreQuotedByTheDesktopEntryRules) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/morvelan", "/usr/bin/morvelan"},
        {"/opt/my tools/morvelan", "\"/opt/my tools/morvelan\""},
        {"/opt/a$b", "\"/opt/a\\\\$b\""},
        {"/opt/100%", "/opt/100%%"},
        {"", "\"\""},
    };
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in);
        EXPECT_EQ(QuoteExecArgument(in), out);
    }
}

TEST(DesktopIntegration, ApplicationEntryIsValidIdempotentAndComparedWithoutCase) {
    MV_NEED_TOOL("desktop-file-validate");
    DesktopFixture desk;
    const fs::path entry = desk.Data() / "applications/morvelan.desktop";
    EXPECT_FALSE(ApplicationEntryMatches("/opt/Morvelan/bin/morvelan"));
    EXPECT_TRUE(WriteApplicationEntry("/opt/Morvelan/bin/morvelan", "Morvelan Archive"));
    const std::string text = ReadText(entry);
    EXPECT_NE(text.find("Exec=/opt/Morvelan/bin/morvelan %f\n"), std::string::npos) << text;
    EXPECT_NE(text.find("application/x-bh;"), std::string::npos);
    EXPECT_NE(text.find("text/x-xxencode;"), std::string::npos);
    const auto result = mvtest::Run("desktop-file-validate " + Quote(entry.string()));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "");

    const int64_t before = ModTimeNs(entry);
    EXPECT_FALSE(WriteApplicationEntry("/opt/Morvelan/bin/morvelan", "Morvelan Archive"));
    EXPECT_EQ(ModTimeNs(entry), before);
    EXPECT_TRUE(ApplicationEntryMatches("/opt/Morvelan/bin/morvelan"));
    EXPECT_TRUE(ApplicationEntryMatches("/OPT/MORVELAN/BIN/MORVELAN")); // case does not count
    EXPECT_FALSE(ApplicationEntryMatches("/usr/bin/morvelan"));
}

TEST(DesktopIntegration, MimePackageIsValidAndKnownToTheDatabase) {
    MV_NEED_TOOL("xmllint");
    MV_NEED_TOOL("update-mime-database");
    DesktopFixture desk;
    EXPECT_TRUE(WriteMimePackage());
    EXPECT_TRUE(MimePackageMatches());
    const fs::path package = desk.Data() / "mime/packages/morvelan.xml";
    const auto lint = mvtest::Run("xmllint --noout " + Quote(package.string()));
    EXPECT_EQ(lint.exitCode, 0) << lint.output;
    // update-mime-database ran and knows our names.
    const std::string globs = ReadText(desk.Data() / "mime/globs2");
    for (const char* glob : {"application/x-bh:*.bh", "application/x-arc:*.arc", "application/x-ha:*.ha",
                             "text/x-xxencode:*.xxe"}) {
        SCOPED_TRACE(glob);
        EXPECT_NE(globs.find(glob), std::string::npos) << globs;
    }
    EXPECT_FALSE(WriteMimePackage());
    // The package installed with the program is this one.
    EXPECT_EQ(ReadText(fs::path(MV_SOURCE_DIR) / "resources/desktop/morvelan-mime.xml"), MimePackageText());
}

TEST(DesktopIntegration, DefaultApplicationsEditOnlyOurLines) {
    MV_NEED_TOOL("xdg-mime");
    DesktopFixture desk;
    const std::string original = "# the user's own\n"
                                 "[Added Associations]\n"
                                 "text/plain=org.gnome.gedit.desktop;\n"
                                 "\n"
                                 "[Default Applications]\n"
                                 "application/zip=org.kde.ark.desktop;\n"
                                 "image/png=org.gnome.eog.desktop;\n"
                                 "\n"
                                 "[Removed Associations]\n"
                                 "application/pdf=evince.desktop;\n";
    mvtest::WriteFileText(desk.Config() / "mimeapps.list", original);
    ASSERT_TRUE(WriteApplicationEntry("/usr/bin/morvelan", "Morvelan Archive"));
    EXPECT_FALSE(IsDefaultApplication("application/zip"));
    EXPECT_TRUE(SetDefaultApplications(ArchiveMimeTypeNames()));
    const std::string after = ReadText(desk.Config() / "mimeapps.list");
    EXPECT_NE(after.find("application/zip=morvelan.desktop;org.kde.ark.desktop;\n"), std::string::npos) << after;
    EXPECT_NE(after.find("image/png=org.gnome.eog.desktop;\n"), std::string::npos);
    EXPECT_NE(after.find("application/x-bh=morvelan.desktop;\n"), std::string::npos);
    EXPECT_NE(after.find("[Removed Associations]\napplication/pdf=evince.desktop;\n"), std::string::npos);
    for (const std::string& type : ArchiveMimeTypeNames()) EXPECT_TRUE(IsDefaultApplication(type)) << type;
    EXPECT_FALSE(SetDefaultApplications(ArchiveMimeTypeNames())); // idempotent

    const auto query = mvtest::Run("xdg-mime query default application/zip");
    EXPECT_EQ(query.output, "morvelan.desktop\n");

    EXPECT_TRUE(RemoveDefaultApplications());
    EXPECT_EQ(ReadText(desk.Config() / "mimeapps.list"), original);
    EXPECT_FALSE(RemoveDefaultApplications());

    // A list we made ourselves goes entirely.
    fs::remove(desk.Config() / "mimeapps.list");
    EXPECT_TRUE(SetDefaultApplications({"application/zip"}));
    EXPECT_EQ(ReadText(desk.Config() / "mimeapps.list"), "[Default Applications]\napplication/zip=morvelan.desktop;\n");
    EXPECT_TRUE(RemoveDefaultApplications());
    EXPECT_FALSE(fs::exists(desk.Config() / "mimeapps.list"));
}

TEST(DesktopIntegration, DesktopLauncherIsExecutableAndValid) {
    MV_NEED_TOOL("desktop-file-validate");
    DesktopFixture desk;
    TDesktopEntry entry;
    entry.Name = "Morvelan";
    entry.Exec = QuoteExecArgument("/usr/bin/morvelan") + " /DEINST MORVELAN";
    entry.Path = "/usr/bin";
    entry.Icon = "morvelan";
    const fs::path launcher = desk.Home() / "Desktop/morvelan.desktop";
    EXPECT_TRUE(WriteLauncher(launcher.string(), entry, true));
    EXPECT_EQ(ModeOf(launcher), 0755u);
    const auto result = mvtest::Run("desktop-file-validate " + Quote(launcher.string()));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_FALSE(WriteLauncher(launcher.string(), entry, true));
    EXPECT_TRUE(RemoveDesktopIntegration({launcher.string()}));
    EXPECT_FALSE(fs::exists(launcher));
}

} // namespace
} // namespace mv::desktop
