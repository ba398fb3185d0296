// The desktop integration in fixture XDG folders: our desktop entry and MIME package
// are valid for the freedesktop tools, mimeapps.list gets only our lines, the
// file-manager actions are written and removed idempotently, and the user's own Thunar
// actions and default applications survive.
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

// The modification time of every file below a folder.
std::map<std::string, int64_t> Snapshot(const fs::path& root) {
    std::map<std::string, int64_t> times;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) times[e.path().string()] = ModTimeNs(e.path());
    return times;
}

std::vector<TFileManagerAction> TwoActions() {
    TFileManagerAction extract;
    extract.Id = "archive-0";
    extract.Name = "Extract &to...";
    extract.Icon = "morvelan";
    extract.Target = TActionTarget::atFiles;
    extract.Selection = TActionSelection::asSingle;
    extract.MimeTypes = {"application/zip", "application/x-bh"};
    extract.Command = {"/opt/morvelan dir/bin/mvshell-host", "--invoke", "archive:0", "--"};
    TFileManagerAction compress;
    compress.Id = "single-0";
    compress.Name = "Compress to ZIP";
    compress.Icon = "morvelan";
    compress.Target = TActionTarget::atAll;
    compress.Command = {"/opt/morvelan dir/bin/mvshell-host", "--invoke", "single:0", "--"};
    return {extract, compress};
}

const char* ForeignUca = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                         "<actions>\n"
                         "<action>\n"
                         "\t<icon>utilities-terminal</icon>\n"
                         "\t<name>Open Terminal Here</name>\n"
                         "\t<unique-id>1290847298127-1</unique-id>\n"
                         "\t<command>exo-open --working-directory %f --launch TerminalEmulator</command>\n"
                         "\t<description>Example for a custom action</description>\n"
                         "\t<patterns>*</patterns>\n"
                         "\t<startup-notify/>\n"
                         "\t<directories/>\n"
                         "</action>\n"
                         "</actions>\n";

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

TEST(DesktopIntegration, FileManagerActionsAreWrittenOnceAndRemovedExactly) {
    MV_NEED_TOOL("xmllint");
    DesktopFixture desk;
    const fs::path uca = desk.Config() / "Thunar/uca.xml";
    mvtest::WriteFileText(uca, ForeignUca);
    const auto actions = TwoActions();

    EXPECT_TRUE(WriteFileManagerActions(actions));
    const fs::path files[] = {
        desk.Data() / "kio/servicemenus/morvelan-archive-0.desktop",
        desk.Data() / "kio/servicemenus/morvelan-single-0.desktop",
        desk.Data() / "nautilus/scripts/Morvelan/Extract to...",
        desk.Data() / "nautilus/scripts/Morvelan/Compress to ZIP",
        desk.Config() / "caja/scripts/Morvelan/Extract to...",
        desk.Config() / "caja/scripts/Morvelan/Compress to ZIP",
        desk.Data() / "nemo/actions/morvelan-archive-0.nemo_action",
        desk.Data() / "nemo/actions/morvelan-single-0.nemo_action",
    };
    const unsigned modes[] = {0755, 0755, 0755, 0755, 0755, 0755, 0644, 0644};
    for (size_t i = 0; i < std::size(files); ++i) {
        SCOPED_TRACE(files[i].string());
        ASSERT_TRUE(fs::exists(files[i]));
        EXPECT_EQ(ModeOf(files[i]), modes[i]);
    }
    EXPECT_EQ(FileManagerActionFiles().size(), std::size(files) + 1);
    const std::string service = ReadText(files[0]);
    EXPECT_NE(service.find("Exec=\"/opt/morvelan dir/bin/mvshell-host\" --invoke archive:0 -- %F\n"),
              std::string::npos)
        << service;
    EXPECT_NE(service.find("MimeType=application/zip;application/x-bh;\n"), std::string::npos);
    const std::string nemo = ReadText(files[6]);
    EXPECT_NE(nemo.find("Selection=s\n"), std::string::npos);
    EXPECT_NE(nemo.find("Mimetypes=application/zip;application/x-bh;\n"), std::string::npos);

    // The scripts pass the selection on as arguments: run one with a recording program.
    const fs::path recorder = desk.Root() / "record.sh";
    mvtest::WriteFileText(recorder, "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done\n");
    fs::permissions(recorder, fs::perms::owner_all);
    std::string script = ReadText(files[2]);
    const std::string host = "'/opt/morvelan dir/bin/mvshell-host'";
    script.replace(script.find(host), host.size(), Quote(recorder.string()));
    mvtest::WriteFileText(desk.Root() / "script.sh", script);
    const auto ran = mvtest::Run("sh " + Quote((desk.Root() / "script.sh").string()) + " 'a b.zip' c.bh");
    EXPECT_EQ(ran.output, "[--invoke]\n[archive:0]\n[--]\n[a b.zip]\n[c.bh]\n");

    // Thunar: our two actions merged in, the user's action untouched.
    const std::string merged = ReadText(uca);
    const std::string foreign = ForeignUca;
    const size_t blockStart = foreign.find("<action>"), blockEnd = foreign.find("</action>\n") + 10;
    EXPECT_NE(merged.find(foreign.substr(blockStart, blockEnd - blockStart)), std::string::npos);
    EXPECT_NE(merged.find("<unique-id>1290847298127-1</unique-id>"), std::string::npos);
    EXPECT_NE(merged.find("<unique-id>morvelan-archive-0</unique-id>"), std::string::npos);
    EXPECT_NE(merged.find("<patterns>*.zip;*.ZIP;*.bh;*.BH</patterns>"), std::string::npos) << merged;
    const auto lint = mvtest::Run("xmllint --noout " + Quote(uca.string()));
    EXPECT_EQ(lint.exitCode, 0) << lint.output;
    EXPECT_TRUE(FileManagerActionsMatch(actions));

    // A second registration changes nothing.
    const auto times = Snapshot(desk.Root());
    EXPECT_FALSE(WriteFileManagerActions(actions));
    EXPECT_EQ(Snapshot(desk.Root()), times);

    // A smaller set takes the dropped action's files away.
    EXPECT_TRUE(WriteFileManagerActions({actions[0]}));
    EXPECT_FALSE(fs::exists(files[1]));
    EXPECT_FALSE(fs::exists(files[3]));
    EXPECT_TRUE(fs::exists(files[0]));
    EXPECT_EQ(ReadText(uca).find("morvelan-single-0"), std::string::npos);

    // Removal leaves exactly what was there before.
    EXPECT_TRUE(RemoveFileManagerActions());
    EXPECT_TRUE(FileManagerActionFiles().empty());
    EXPECT_EQ(ReadText(uca), ForeignUca);
    EXPECT_FALSE(fs::exists(desk.Data() / "nautilus/scripts/Morvelan"));
    EXPECT_FALSE(RemoveFileManagerActions());
}

TEST(DesktopIntegration, AThunarFileWeMadeGoesWithOurActions) {
    DesktopFixture desk;
    EXPECT_TRUE(WriteFileManagerActions(TwoActions()));
    EXPECT_TRUE(fs::exists(desk.Config() / "Thunar/uca.xml"));
    EXPECT_TRUE(RemoveFileManagerActions());
    EXPECT_FALSE(fs::exists(desk.Config() / "Thunar/uca.xml"));
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
