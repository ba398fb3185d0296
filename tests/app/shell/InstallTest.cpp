// Install, associations and uninstall in fixture XDG folders: the first start writes the
// version, the file-manager actions and the launchers, the second changes nothing; the
// association prompt's Yes writes only our lines and No with "don't ask again" holds
// through a whole start and exit; uninstall takes away exactly what install wrote and, for
// a portable copy, only the files its manifest lists.
#include "app/shell/Install.h"

#include "app/common/LangStr.h"
#include "platform/AppPaths.h"
#include "platform/FileOps.h"
#include "platform/desktop/DesktopIntegration.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"
#include "shellext/ContextMenuRegistration.h"
#include "tests/support/DesktopFixture.h"

#include <QAbstractButton>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace mv {
namespace {

using mvtest::DesktopFixture;
using mvtest::Quote;
namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
    std::string text;
    platform::ReadTextFile(p.string(), text);
    return text;
}

std::map<std::string, int64_t> Snapshot(const fs::path& root) {
    std::map<std::string, int64_t> times;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        struct stat st{};
        if (e.is_regular_file() && ::stat(e.path().c_str(), &st) == 0)
            times[e.path().string()] = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return times;
}

// Our action files for the fixture's folders and the program's host.
std::vector<std::string> ActionFiles() {
    std::vector<std::string> paths;
    for (const auto& f : shellext::FileManagerActionFiles(shellext::DefaultActionFolders(),
                                                          platform::HelperPath("mvshell-host")))
        paths.push_back(f.Path);
    return paths;
}

bool HasOurThunarActions(const fs::path& uca) {
    std::string text;
    platform::ReadTextFile(uca.string(), text);
    return text.find("<unique-id>morvelan-") != std::string::npos;
}

const char* ForeignUca = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n"
                         "\t<name>Open Terminal Here</name>\n\t<unique-id>1290847298127-1</unique-id>\n"
                         "\t<command>exo-open --working-directory %f</command>\n\t<patterns>*</patterns>\n"
                         "\t<directories/>\n</action>\n</actions>\n";
const char* ForeignMimeApps = "[Default Applications]\nimage/png=org.gnome.eog.desktop;\n";

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        SetLanguageBase(lbPortuguese);
        prefix = desk.Root() / "prefix";
        fs::create_directories(prefix / "bin");
        fs::create_directories(prefix / "share/morvelan");
        mvtest::WriteFileText(prefix / "bin/morvelan", "program");
        platform::SetProgramPath((prefix / "bin/morvelan").string());
        mvtest::WriteFileText(desk.Config() / "Thunar/uca.xml", ForeignUca);
        mvtest::WriteFileText(desk.Config() / "mimeapps.list", ForeignMimeApps);
    }
    void TearDown() override {
        platform::SetProgramPath("");
    }
    std::string Validate(const fs::path& file) {
        const auto r = mvtest::Run("desktop-file-validate " + Quote(file.string()));
        return r.exitCode == 0 ? "" : r.output + " (exit " + std::to_string(r.exitCode) + ")";
    }

    DesktopFixture desk;
    fs::path prefix;
};

TEST_F(InstallTest, FirstStartInstallsAndTheSecondChangesNothing) {
    MV_NEED_TOOL("desktop-file-validate");
    platform::RegistryStore store(platform::RegistryFilePath());
    EXPECT_TRUE(InstallStep(store));
    ASSERT_TRUE(store.OpenKeyReadOnly(VersionKey));
    EXPECT_EQ(store.ReadString(""), "3.0.016");
    store.CloseKey();

    const fs::path launcher = desk.Home() / "Desktop/morvelan.desktop";
    const fs::path uninstall = desk.Data() / "applications/morvelan/morvelan-uninstall.desktop";
    ASSERT_TRUE(fs::exists(launcher));
    ASSERT_TRUE(fs::exists(uninstall));
    EXPECT_EQ(Validate(launcher), "");
    EXPECT_EQ(Validate(uninstall), "");
    EXPECT_TRUE((fs::status(launcher).permissions() & fs::perms::owner_exec) != fs::perms::none);
    const std::string entry = ReadText(uninstall);
    EXPECT_NE(entry.find("Name=Desinstalar o Morvelan\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("/bin/morvelan /DEINST MORVELAN\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Icon=morvelan-uninstall\n"), std::string::npos);
    for (const std::string& file : ActionFiles()) EXPECT_TRUE(fs::exists(file)) << file;
    EXPECT_TRUE(HasOurThunarActions(desk.Config() / "Thunar/uca.xml"));
    const std::string service = ReadText(ActionFiles().front());
    EXPECT_NE(service.find((prefix / "bin/mvshell-host").string()), std::string::npos) << service;

    const auto before = Snapshot(desk.Root());
    EXPECT_FALSE(InstallStep(store));
    EXPECT_EQ(Snapshot(desk.Root()), before);
    EXPECT_EQ(RunInstallVerb(), ExitAfterVerb);
    EXPECT_EQ(Snapshot(desk.Root()), before);
}

TEST_F(InstallTest, ContextMenuRegistrationOnAndOffIsIdempotent) {
    RegisterContextMenu(true);
    ASSERT_FALSE(ActionFiles().empty());
    for (const std::string& file : ActionFiles()) EXPECT_TRUE(fs::exists(file)) << file;
    // The action files are not rewritten (the registry store rewrites its keys).
    auto before = Snapshot(desk.Root());
    RegisterContextMenu(true);
    auto after = Snapshot(desk.Root());
    before.erase(platform::RegistryFilePath());
    after.erase(platform::RegistryFilePath());
    EXPECT_EQ(after, before);
    RegisterContextMenu(false);
    for (const std::string& file : ActionFiles()) EXPECT_FALSE(fs::exists(file)) << file;
    EXPECT_EQ(ReadText(desk.Config() / "Thunar/uca.xml"), ForeignUca);
    RegisterContextMenu(false);
    EXPECT_EQ(ReadText(desk.Config() / "Thunar/uca.xml"), ForeignUca);
}

TEST_F(InstallTest, TheStartChecksAssociationsOnlyWhenAllowed) {
    platform::IniFile ini(platform::IniFilePath());
    const std::pair<const char*, bool> cases[] = {
        {nullptr, true}, {"", true}, {"SIM", true}, {"x", true}, {"N", true},
        {"nao", false},  {"NAO", false}, {"Nao", false}, {" NAO ", false}};
    for (const auto& [value, check] : cases) {
        SCOPED_TRACE(value ? value : "(missing)");
        if (value) ini.WriteString(OptionsSection, "Associacao", value);
        else ini.DeleteKey(OptionsSection, "Associacao");
        EXPECT_EQ(ShouldCheckAssociations(ini, 0), check);
        EXPECT_FALSE(ShouldCheckAssociations(ini, 1)); // never with an argument
    }
}

TEST_F(InstallTest, YesRegistersOnlyOurLinesAndTheNextStartDoesNotAsk) {
    MV_NEED_TOOL("xdg-mime");
    MV_NEED_TOOL("desktop-file-validate");
    platform::IniFile ini(platform::IniFilePath());
    TOptions options;
    EXPECT_FALSE(AssociationsRight());
    TModalDriver driver;
    driver.Click(mrYes, [](TForm& f) { EXPECT_EQ(f.Caption(), "Aviso"); });
    EXPECT_EQ(CheckAssociations(ini, options), mrYes);
    EXPECT_EQ(driver.Shown().size(), 1u);
    EXPECT_TRUE(AssociationsRight());

    const fs::path entry = desk.Data() / "applications/morvelan.desktop";
    EXPECT_EQ(Validate(entry), "");
    EXPECT_NE(ReadText(entry).find("Comment=Arquivo Morvelan\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(desk.Data() / "mime/packages/morvelan.xml"));
    const std::string list = ReadText(desk.Config() / "mimeapps.list");
    EXPECT_EQ(list.rfind(ForeignMimeApps, 0), 0u) << list; // the user's line first, as it was
    EXPECT_NE(list.find("application/zip=morvelan.desktop;\n"), std::string::npos);
    const auto query = mvtest::Run("xdg-mime query default application/zip");
    EXPECT_EQ(query.output, "morvelan.desktop\n");

    // Next start: everything is right, nothing is asked.
    EXPECT_EQ(CheckAssociations(ini, options), 0);
    EXPECT_EQ(driver.Shown().size(), 1u);
    // An open command that differs only in case still counts as right.
    std::string text = ReadText(entry);
    const size_t exec = text.find("Exec="), end = text.find('\n', exec);
    for (size_t i = exec + 5; i < end; ++i) text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    mvtest::WriteFileText(entry, text);
    EXPECT_NE(ReadText(entry).find("/PREFIX/BIN/MORVELAN %F"), std::string::npos);
    EXPECT_TRUE(AssociationsRight());
}

TEST_F(InstallTest, NoWithDontAskAgainHoldsThroughAStartAndExit) {
    platform::IniFile ini(platform::IniFilePath());
    TOptions options;
    ReadOptions(ini, options); // first run
    ASSERT_TRUE(ShouldCheckAssociations(ini, 0));
    TModalDriver driver;
    driver.Click(mrCancel, [](TForm& f) {
        auto* box = dynamic_cast<TCheckBox*>(f.FindComponent("NaoAvisarChk"));
        ASSERT_NE(box, nullptr);
        qobject_cast<QAbstractButton*>(box->Widget())->click();
    });
    EXPECT_EQ(CheckAssociations(ini, options), mrCancel);
    EXPECT_FALSE(options.Associacao);
    EXPECT_EQ(ini.ReadString(OptionsSection, "Associacao", ""), "NAO");
    WriteOptions(ini, options); // the main window's exit
    EXPECT_EQ(ini.ReadString(OptionsSection, "Associacao", ""), "NAO");
    TOptions next;
    ReadOptions(ini, next);
    EXPECT_FALSE(ShouldCheckAssociations(ini, 0));
    // Nothing was registered, nothing of ours was written.
    EXPECT_FALSE(fs::exists(desk.Data() / "applications/morvelan.desktop"));
    EXPECT_EQ(ReadText(desk.Config() / "mimeapps.list"), ForeignMimeApps);

    // No without the box: asked again next time.
    TOptions other;
    driver.Click(mrCancel);
    platform::IniFile ini2((desk.Root() / "other.ini").string());
    EXPECT_EQ(CheckAssociations(ini2, other), mrCancel);
    EXPECT_TRUE(other.Associacao);
    EXPECT_FALSE(ini2.ValueExists(OptionsSection, "Associacao"));
}

TEST_F(InstallTest, UninstallRemovesExactlyWhatInstallWrote) {
    const auto pristine = Snapshot(desk.Root());
    platform::RegistryStore store(platform::RegistryFilePath());
    store.OpenKey("\\Software\\Morvelan\\Colunas\\Columns", true);
    store.WriteString("Sizes", "100,200");
    store.OpenKey("\\Software\\Morvelan\\Other", true);
    store.WriteString("Keep", "me");
    store.CloseKey();
    ASSERT_TRUE(InstallStep(store));
    RegisterAssociations();

    // No: nothing changes.
    {
        const auto installed = Snapshot(desk.Root());
        TModalDriver driver;
        driver.Click(mrNo, [](TForm& f) {
            bool found = false;
            for (TControl* c : AllControls(f))
                found = found || c->Caption() == "Você está prestes a remover o Morvelan de seu computador.\n"
                                                 "Tem certeza de que deseja continuar ?";
            EXPECT_TRUE(found);
        });
        EXPECT_FALSE(UninstallProgram(store));
        EXPECT_EQ(Snapshot(desk.Root()), installed);
    }
    TModalDriver driver;
    driver.Click(mrYes);
    EXPECT_TRUE(UninstallProgram(store));
    EXPECT_EQ(driver.Shown().size(), 1u); // no restart question
    EXPECT_FALSE(store.KeyExists(VersionKey));
    EXPECT_FALSE(store.KeyExists("\\Software\\Morvelan\\Colunas"));
    EXPECT_FALSE(store.KeyExists("\\Software\\Morvelan\\MorvelanLastFiles"));
    EXPECT_TRUE(store.KeyExists("\\Software\\Morvelan\\Other"));

    // The user's own Thunar action and default application survive byte for byte; what
    // remains of ours is nothing but the store and the MIME cache the database tool keeps.
    EXPECT_EQ(ReadText(desk.Config() / "Thunar/uca.xml"), ForeignUca);
    EXPECT_EQ(ReadText(desk.Config() / "mimeapps.list"), ForeignMimeApps);
    for (const std::string& file : ActionFiles()) EXPECT_FALSE(fs::exists(file)) << file;
    for (const auto& [path, time] : Snapshot(desk.Root())) {
        if (pristine.count(path)) continue;
        const bool store = path == platform::RegistryFilePath();
        const bool cache = path.find("/mime/") != std::string::npos && path.find("/mime/packages/") == std::string::npos;
        const bool apps = path.find("/applications/mimeinfo.cache") != std::string::npos;
        EXPECT_TRUE(store || cache || apps) << "left behind: " << path;
    }
    // An installed copy's program files are never touched.
    EXPECT_TRUE(fs::exists(prefix / "bin/morvelan"));
}

TEST_F(InstallTest, UninstallingAPortableCopyDeletesOnlyItsManifest) {
    const fs::path stick = desk.Root() / "stick/tools";
    fs::create_directories(stick / "share/morvelan");
    for (const char* f : {"morvelan", "mvshell-host", "share/morvelan/help.html", "other-program", "notes.txt"})
        mvtest::WriteFileText(stick / f, "x");
    mvtest::WriteFileText(desk.Root() / "stick/outside.txt", "x");
    mvtest::WriteFileText(stick / "morvelan.ini", "[Configuracoes]\nGridLines=SIM\n");
    mvtest::WriteFileText(stick / ManifestName, "morvelan\nmvshell-host\nshare/morvelan/help.html\n"
                                                "../outside.txt\n/etc/passwd\n./notes.txt\n\n");
    platform::SetProgramPath((stick / "morvelan").string());
    ASSERT_TRUE(platform::IsPortable());
    platform::RegistryStore store(platform::RegistryFilePath());
    ASSERT_TRUE(InstallStep(store));
    EXPECT_TRUE(fs::exists(stick / "registry.ini")); // everything beside the program

    TModalDriver driver;
    driver.Click(mrYes);
    EXPECT_EQ(RunUninstallVerb(), ExitAfterVerb);
    EXPECT_FALSE(fs::exists(stick / "morvelan"));
    EXPECT_FALSE(fs::exists(stick / "mvshell-host"));
    EXPECT_FALSE(fs::exists(stick / "share"));
    EXPECT_FALSE(fs::exists(stick / ManifestName));
    EXPECT_TRUE(fs::exists(stick / "other-program"));
    EXPECT_TRUE(fs::exists(stick / "notes.txt"));
    EXPECT_TRUE(fs::exists(stick / "morvelan.ini"));
    EXPECT_TRUE(fs::exists(desk.Root() / "stick/outside.txt"));
    EXPECT_TRUE(fs::exists("/etc/passwd"));
    EXPECT_FALSE(fs::exists(desk.Home() / "Desktop/morvelan.desktop"));
}

TEST(InstallRoutines, ProgramFilesGoOnlyFromAPortableCopyOutsideARootFolder) {
    EXPECT_TRUE(MayDeleteProgramFiles("/media/stick/morvelan", true));
    EXPECT_FALSE(MayDeleteProgramFiles("/media/stick/morvelan", false)); // installed
    EXPECT_FALSE(MayDeleteProgramFiles("/", true));
    EXPECT_FALSE(MayDeleteProgramFiles("//", true));
    EXPECT_FALSE(MayDeleteProgramFiles("", true));
}

TEST(InstallRoutines, ColourCountAndSpecialFolders) {
    const std::pair<int, int32_t> cases[] = {{1, 2},         {4, 16},       {8, 256}, {15, 32768},
                                             {16, 65536},    {24, 16777216}, {32, 0}};
    for (const auto& [bits, count] : cases) EXPECT_EQ(ColourCount(bits, 1), count) << bits;
    EXPECT_EQ(ColourCount(4, 2), 256);
    DesktopFixture desk;
    EXPECT_EQ(GetSpecialFolder(sfDesktop), (desk.Home() / "Desktop").string());
    EXPECT_EQ(GetSpecialFolder(sfPrograms), (desk.Data() / "applications").string());
    EXPECT_EQ(GetSpecialFolder(5), "");
}

TEST_F(InstallTest, NoDesktopFolderNoLauncher) {
    fs::remove_all(desk.Home() / "Desktop");
    platform::RegistryStore store(platform::RegistryFilePath());
    EXPECT_TRUE(InstallStep(store));
    EXPECT_FALSE(fs::exists(desk.Home() / "Desktop"));
    EXPECT_TRUE(fs::exists(desk.Data() / "applications/morvelan/morvelan-uninstall.desktop"));
}

} // namespace
} // namespace mv
