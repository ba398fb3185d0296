// Building installers: what the wizard's settings become in the installer, and
// real installers built from a ZIP and a TAR archive, checked by unzip and run
// with scripted answers in a temporary home.
#include "app/common/LangStr.h"
#include "app/packager/SfxBuild.h"
#include "app/common/SfxPlaceholders.h"
#include "archive/framework/ArcDetect.h"
#include "tests/support/DesktopFixture.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/stat.h>

namespace mv {
namespace fs = mvtest::fs;
namespace {

using mvtest::Quote;
using mvtest::ReadFileBytes;

using mvtest::TempDir;
using mvtest::WriteFileText;

struct LanguageScope {
    explicit LanguageScope(int32_t base) : saved(LanguageBase()) { SetLanguageBase(base); }
    ~LanguageScope() { SetLanguageBase(saved); }
    int32_t saved;
};

TSfxWizard Defaults() {
    TSfxWizard w;
    w.ResetWizard("/a/b.zip");
    return w;
}

TEST(SfxSetup, BoxedSlotsTakeTheirDefaultOrNothing) {
    LanguageScope pt(lbPortuguese);
    struct Row {
        int text;
        bool box, emptied;
        std::string expected;
    };
    const Row rows[] = {
        {6, true, false, "Selecione a pasta de destino."}, {6, true, true, "Selecione a pasta de destino."},
        {6, false, false, ""},
        {11, true, true, "A pasta %d não existe. Deseja criá-la ?"}, {11, false, false, ""},
        {15, true, true, "Andamento:"}, {15, false, true, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.text) + (r.box ? " ticked" : " unticked") + (r.emptied ? " emptied" : ""));
        TSfxWizard w = Defaults();
        auto& s = w.Settings();
        s.ModificaPasta = s.CriarPasta = s.BarraProgresso = r.box;
        if (r.emptied) s.Textos[static_cast<size_t>(r.text)] = "";
        const TSfxSetup u = MakeSfxSetup(s, "/res", "pw");
        const std::string got = r.text == 6 ? u.Messages[5] : r.text == 11 ? u.Messages[10] : u.Strings[0];
        EXPECT_EQ(got, r.expected);
    }
    const TSfxSetup u = MakeSfxSetup(Defaults().Settings(), "/res", "pw");
    EXPECT_EQ(u.Folder, "%e");
    EXPECT_EQ(u.Stub, "/res/VzSfx32.bin");
    EXPECT_EQ(u.Messages[1], "Erro #%e durante o processo de decompactação. Um ou mais arquivos não foram copiados "
                             "corretamente.");
    EXPECT_EQ(u.Messages[11], "O arquivo %f já existe. Deseja sobrescrever este arquivo ?");
    EXPECT_EQ(u.Buttons[0], "&Ok");
    EXPECT_EQ(u.Buttons[12], "&Discordar");
    EXPECT_EQ(u.Messages[3], LoadLangStr(468));
    EXPECT_EQ(u.ExecuteAfter, std::vector<std::string>{""});
    EXPECT_EQ(u.Readme, "");
}

TEST(SfxSetup, PlaceholdersOfEveryLanguageAndEveryOccurrence) {
    LanguageScope en(lbEnglish);
    EXPECT_EQ(PlaceholdersToSfxCodes("<Destino>\\a <destination>\\b <Destino>"), "%d\\a %d\\b %d");
    EXPECT_EQ(PlaceholdersToSfxCodes("<WindowsSystem><Windows><Temp><HD><ArquivosdeProgramas><ProgramFiles>"),
              "%s%w%t%v%p%p");
    EXPECT_EQ(PlaceholdersToSfxCodes("<Aleatoria><Random><Disco><Arquivo><Erro><PastaSFX><Computador><Recurso>"),
              "%r%r%n%f%e%e%c%s");
}

TEST(SfxSetup, GroupAssociationsRunAfterAndPasswords) {
    TSfxWizard w = Defaults();
    auto& s = w.Settings();
    s.GrupoProgramas = true;
    s.TituloRegistro = "Tools";
    s.ProgramGroupGrid[1] = {"<Destino>\\a", "A"};
    s.ProgramGroupGrid[2] = {"<Destino>\\b", ""};
    s.ProgramGroupGrid[3] = {"  ", "no application"};
    s.Extensoes = true;
    s.ExtensaoGrid[1] = {"txt", "<Destino>\\ed", "Text"};
    s.ExtensaoGrid[2] = {"doc", "", "no application"};
    w.SetExecutarAplicacao(true);
    s.Aplicacao = "<Destino>\\setup";
    s.Parametros = "-x <Destino>";
    s.Instalacao = true;
    s.ProtecaoComSenha = true;
    s.NenhumaProtecao = false;
    s.Senha = "  secret ";
    TSfxSetup u = MakeSfxSetup(s, "/res", "excl");
    EXPECT_EQ(u.GroupItems, "%d\\a|A\r\n%d\\b|\r\n");
    EXPECT_EQ(u.Associations, "%d\\ed|txt|Text\r\n");
    EXPECT_EQ(u.ExecuteAfter, (std::vector<std::string>{"%d\\setup", "%d\\setup | -x %d"}));
    EXPECT_TRUE(u.InstallMode);
    EXPECT_EQ(u.EncryptionPassword, "secret");
    EXPECT_EQ(u.DefaultPassword, "");

    s.TituloRegistro = " ";
    s.ExtensaoGrid[1][1] = "";
    s.Senha = "   ";
    u = MakeSfxSetup(s, "/res", "excl");
    EXPECT_FALSE(u.HasGroup);
    EXPECT_TRUE(u.HasAssociations);
    EXPECT_EQ(u.Associations, "");
    EXPECT_EQ(u.EncryptionPassword, "");

    s.ProtecaoComSenha = false;
    s.ProtecaoExclusiva = true;
    u = MakeSfxSetup(s, "/res", ExclusivePassword("/opt/morvelan/"));
    EXPECT_EQ(u.DefaultPassword, u.EncryptionPassword);
    EXPECT_EQ(u.DefaultPassword.size(), std::string("/opt/morvelan/").size() + 6);
}

TEST(SfxSetup, DestinationAndResultTexts) {
    EXPECT_EQ(SfxDestination("", "/a/arc.zip"), "/a/arc.run");
    EXPECT_EQ(SfxDestination(" /o/x ", "/a/arc.zip"), "/o/x.run");
    EXPECT_EQ(SfxDestination("/o/x.zip", "/a/arc.zip"), "/o/x.run");
    EXPECT_EQ(VendorResultText(0, "ctx"), "");
    EXPECT_EQ(VendorResultText(526, "ctx"), "");
    LanguageScope en(lbEnglish);
    EXPECT_EQ(VendorResultText(507, "Creating the SFX file"),
              "Unexpected error. Please repeat the operation.  #507 (Creating the SFX file)");
}

// ---- real installers ------------------------------------------------------------

struct Built {
    fs::path installer;
    std::vector<std::string> boxes;
};

class SfxEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguageBase(lbEnglish);
        src = dir / "src";
        fs::create_directories(src / "bin");
        fs::create_directories(src / "docs/deep");
        WriteFileText(src / "bin/tool.sh", "#!/bin/sh\necho ran \"$@\" > \"$HOME/ran.txt\"\n");
        ::chmod((src / "bin/tool.sh").c_str(), 0755);
        WriteFileText(src / "docs/deep/readme.txt", "Read me first.\n");
        mvtest::WriteFileBytes(src / "data.bin", mvtest::RandomBytes(70000, 3));
        ::chmod((src / "data.bin").c_str(), 0640);
        fs::create_directories(src / "empty");
        ::chmod((src / "empty").c_str(), 0700);
        temp = dir / "temp";
        fs::create_directories(temp);
    }
    void TearDown() override { SetLanguageBase(lbPortuguese); }

    fs::path MakeZip() {
        const fs::path zip = dir / "set.zip";
        EXPECT_EQ(mvtest::Run("zip -qr " + Quote(zip.string()) + " bin docs data.bin empty", src).exitCode, 0);
        return zip;
    }
    fs::path MakeTar() {
        const fs::path tar = dir / "set.tar";
        EXPECT_EQ(mvtest::Run("tar -cf " + Quote(tar.string()) + " bin docs data.bin empty", src).exitCode, 0);
        return tar;
    }

    Built Build(TSfxWizard& w, const fs::path& archive) {
        Built b;
        TSfxBuilder builder;
        builder.StubFolder = MV_SFX_STUB_DIR;
        builder.TempFolder = temp.string();
        builder.MessageBox = [&b](const std::string& text, uint8_t, uint16_t) {
            b.boxes.push_back(text);
            return 6;
        };
        EXPECT_TRUE(builder.Build(w, archive.string()));
        b.installer = w.Settings().Destino;
        EXPECT_TRUE(fs::is_empty(temp)) << "temporary folders left behind";
        return b;
    }

    // Runs an installer with answers (one a line) in the fixture's home.
    mvtest::RunResult Install(const fs::path& installer, const std::string& answers, const std::string& args = {}) {
        WriteFileText(dir / "answers.txt", answers);
        return mvtest::Run("env -u DISPLAY -u WAYLAND_DISPLAY MORVELAN_SFX_ANSWERS=" + Quote((dir / "answers.txt").string()) +
                   " " + Quote(installer.string()) + " " + args + " </dev/null");
    }

    // The files with their bytes and modes (0755 stays executable, 0640 stays private), the folders made.
    void ExpectSameTree(const fs::path& target) {
        for (const char* f : {"bin/tool.sh", "docs/deep/readme.txt", "data.bin"}) {
            SCOPED_TRACE(f);
            EXPECT_EQ(ReadFileBytes(target / f), ReadFileBytes(src / f));
            EXPECT_EQ(fs::status(target / f).permissions(), fs::status(src / f).permissions());
        }
        EXPECT_TRUE(fs::is_directory(target / "docs/deep"));
        EXPECT_TRUE(fs::is_directory(target / "empty"));
    }

    mvtest::DesktopFixture desktop;
    TempDir dir;
    fs::path src, temp;
};

TEST_F(SfxEndToEnd, ZipAndTarBecomeInstallersThatUnzipReadsAndThatExtractExactly) {
    for (const bool tar : {false, true}) {
        SCOPED_TRACE(tar ? "tar" : "zip");
        const fs::path archive = tar ? MakeTar() : MakeZip();
        TSfxWizard w;
        w.ResetWizard(archive.string());
        w.Settings().Destino = (dir / (tar ? "from-tar" : "from-zip")).string();
        const Built b = Build(w, archive);
        EXPECT_EQ(b.installer, dir / (tar ? "from-tar.run" : "from-zip.run"));
        EXPECT_EQ(b.boxes, std::vector<std::string>{"Operation completed successfully !!"});
        EXPECT_EQ(fs::status(b.installer).permissions() & fs::perms::all, fs::perms(0755));
        const auto test = mvtest::Run("unzip -t " + Quote(b.installer.string()));
        EXPECT_EQ(test.exitCode, 0) << test.output;
        // The program knows its own installers as self-extracting ZIP archives.
        TArcDetection detected;
        DetectArcType(b.installer.string(), 0, detected);
        EXPECT_EQ(detected.ArcType, TArcType::atZipExe);

        const fs::path target = dir / (tar ? "t-out" : "z-out") / "new";
        const auto r = Install(b.installer, "Continue\n" + target.string() + "\nyes\nOK\n");
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find("? This program was created with Morvelan Smart Packager"), std::string::npos)
            << r.output;
        EXPECT_NE(r.output.find("does not exist. Create it ?"), std::string::npos) << r.output;
        ExpectSameTree(target);
    }
}

TEST_F(SfxEndToEnd, AScriptWithoutAnArchiveIsNoInstaller) {
    WriteFileText(dir / "plain.sh", "#!/bin/sh\n" + std::string(4000, '#') + "\necho PK\n");
    TArcDetection detected;
    DetectArcType((dir / "plain.sh").string(), 0, detected);
    EXPECT_NE(detected.ArcType, TArcType::atZipExe);
    EXPECT_NE(detected.ArcType, TArcType::atZip);
}

TEST_F(SfxEndToEnd, OverwritePoliciesOnAPopulatedTarget) {
    const fs::path zip = MakeZip();
    struct Row {
        const char* what;
        bool ask, always, never;
        std::string answers;
        bool replaced;
    };
    const Row rows[] = {
        {"ask, answered no", true, false, false, "Continue\nNo\nOK\n", false},
        {"ask, answered yes", true, false, false, "Continue\nYes\nOK\n", true},
        {"never", false, false, true, "Continue\nOK\n", false},
        {"always", false, true, false, "Continue\nOK\n", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TSfxWizard w;
        w.ResetWizard(zip.string());
        w.ChooseProfessionalMode();
        auto& s = w.Settings();
        s.PerguntarSobrescrever = r.ask;
        s.SempreSobrescrever = r.always;
        s.NuncaSobrescrever = r.never;
        s.Destino = (dir / "ow.run").string();
        const Built b = Build(w, zip);
        const fs::path target = dir / "populated";
        fs::remove_all(target);
        fs::create_directories(target);
        WriteFileText(target / "data.bin", "old");
        const auto run = Install(b.installer, r.answers, "--target " + Quote(target.string()));
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(ReadFileBytes(target / "data.bin") == ReadFileBytes(src / "data.bin"), r.replaced);
        EXPECT_EQ(ReadFileBytes(target / "bin/tool.sh"), ReadFileBytes(src / "bin/tool.sh"));
    }
}

TEST_F(SfxEndToEnd, LicenceDeclinedWritesNothing) {
    const fs::path zip = MakeZip();
    TSfxWizard w;
    w.ResetWizard(zip.string());
    w.ChooseProfessionalMode();
    w.Settings().Textos[4] = "You must agree to <Destino>.";
    w.Settings().Destino = (dir / "lic.run").string();
    const Built b = Build(w, zip);
    const auto r = Install(b.installer, "Continue\nDisagree\n", "--target " + Quote((dir / "nothing").string()));
    EXPECT_EQ(r.exitCode, 3) << r.output;
    EXPECT_FALSE(fs::exists(dir / "nothing"));
}

TEST_F(SfxEndToEnd, Passwords) {
    const fs::path zip = MakeZip();
    struct Row {
        const char* what;
        bool exclusive;
        std::string answers;
        int exit;
    };
    const Row rows[] = {
        {"exclusive: no question", true, "Continue\nOK\n", 0},
        {"prompted, right", false, "Continue\nsecret\nOK\n", 0},
        {"prompted, wrong then right", false, "Continue\nwrong\nsecret\nOK\n", 0},
        {"prompted, wrong then cancelled", false, "Continue\nwrong\n<cancel>\nYes\n", 2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TSfxWizard w;
        w.ResetWizard(zip.string());
        w.ChooseProfessionalMode();
        auto& s = w.Settings();
        s.NenhumaProtecao = false;
        (r.exclusive ? s.ProtecaoExclusiva : s.ProtecaoComSenha) = true;
        s.Senha = "secret";
        s.Destino = (dir / "pw.run").string();
        const Built b = Build(w, zip);
        EXPECT_NE(mvtest::Run("unzip -P nope -t " + Quote(b.installer.string())).exitCode, 0);
        const fs::path target = dir / "pw-out";
        fs::remove_all(target);
        fs::create_directories(target);
        const auto run = Install(b.installer, r.answers, "--target " + Quote(target.string()));
        EXPECT_EQ(run.exitCode, r.exit) << run.output;
        EXPECT_EQ(run.output.find("Enter the password:") != std::string::npos, !r.exclusive) << run.output;
        if (r.exit == 0) ExpectSameTree(target);
        else EXPECT_FALSE(fs::exists(target / "data.bin"));
    }
}

// The desktop installer asks for the password in the dialog program's password
// window: a wrong one is asked again, the right one opens the entries.
TEST_F(SfxEndToEnd, PasswordAskedThroughTheDesktopDialog) {
    const fs::path zip = MakeZip();
    TSfxWizard w;
    w.ResetWizard(zip.string());
    w.ChooseProfessionalMode();
    auto& s = w.Settings();
    s.NenhumaProtecao = false;
    s.ProtecaoComSenha = true;
    s.Senha = "secret";
    s.Destino = (dir / "gui.run").string();
    const Built b = Build(w, zip);
    mvtest::FakeDialogs fake(dir / "gui", {"zenity"});
    const fs::path target = dir / "gui-out";
    fs::create_directories(target);
    const auto r = fake.Run(b.installer, {"0|", "0|wrong", "0|secret", "0|"}, {}, "DISPLAY=:99",
                            "--target " + Quote(target.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ExpectSameTree(target);
    const auto calls = fake.Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1], (std::vector<std::string>{"zenity", "--password", "--title", "Morvelan Smart Packager File"}));
    EXPECT_EQ(calls[2], calls[1]);
    EXPECT_EQ(calls[3][1], "--info");
}

TEST_F(SfxEndToEnd, GroupAssociationsReadmeAndInstallMode) {
    const fs::path zip = MakeZip();
    TSfxWizard w;
    w.ResetWizard(zip.string());
    w.ChooseProfessionalMode();
    auto& s = w.Settings();
    s.GrupoProgramas = true;
    s.TituloRegistro = "My Tools";
    s.ProgramGroupGrid[1] = {"<Destination>\\bin\\tool.sh", "Tool \"one\""};
    s.Extensoes = true;
    s.ExtensaoGrid[1] = {"mvtx", "<Destination>\\bin\\tool.sh", "Morvelan test document"};
    s.MostrarTexto = true;
    s.ArquivoTexto = "<Destination>\\docs\\deep\\readme.txt";
    w.SetExecutarAplicacao(true);
    s.Aplicacao = "<Destination>\\bin\\tool.sh";
    s.Parametros = "'two words' <Destination>";
    s.Instalacao = true;
    s.Destino = (dir / "inst.run").string();
    const Built b = Build(w, zip);

    const fs::path target = dir / "installed";
    fs::create_directories(target);
    WriteFileText(target / "keep.txt", "mine");
    fs::create_directories(target / "docs");
    WriteFileText(target / "docs/mine.txt", "mine too");
    const auto r = Install(b.installer, "Continue\nOK\n", "--target " + Quote(target.string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Read me first."), std::string::npos) << r.output;
    // The program ran in the destination with its arguments, then what the run made was removed.
    EXPECT_EQ(ReadFileBytes(desktop.Home() / "ran.txt").size(),
              std::string("ran two words " + target.string() + "\n").size());
    EXPECT_TRUE(fs::exists(target / "keep.txt"));
    EXPECT_FALSE(fs::exists(target / "bin"));
    // A folder that was there stays with what it held; what the run put in it goes.
    EXPECT_TRUE(fs::exists(target / "docs/mine.txt"));
    EXPECT_FALSE(fs::exists(target / "docs/deep"));
    EXPECT_FALSE(fs::exists(target / "data.bin"));

    const fs::path apps = desktop.Data() / "applications";
    const fs::path item = apps / "morvelan-sfx-my-tools-1.desktop";
    const fs::path open = apps / "morvelan-sfx-my-tools-open-1.desktop";
    ASSERT_TRUE(fs::exists(item));
    ASSERT_TRUE(fs::exists(open));
    EXPECT_TRUE(fs::exists(desktop.Data() / "desktop-directories/morvelan-sfx-my-tools.directory"));
    EXPECT_TRUE(fs::exists(desktop.Config() / "menus/applications-merged/morvelan-sfx-my-tools.menu"));
    if (mvtest::RequireTool("desktop-file-validate")) {
        for (const fs::path& f : {item, open, desktop.Data() / "desktop-directories/morvelan-sfx-my-tools.directory"}) {
            const auto v = mvtest::Run("desktop-file-validate " + Quote(f.string()));
            EXPECT_EQ(v.exitCode, 0) << f << "\n" << v.output;
            EXPECT_EQ(v.output.find("error"), std::string::npos) << v.output;
        }
    }
    EXPECT_TRUE(fs::exists(desktop.Data() / "mime/packages/morvelan-sfx-my-tools.xml"));
    if (mvtest::RequireTool("update-mime-database")) {
        const auto m = mvtest::Run("update-mime-database " + Quote((desktop.Data() / "mime").string()));
        EXPECT_EQ(m.exitCode, 0) << m.output;
        EXPECT_EQ(m.output.find("rror"), std::string::npos) << m.output;
    }
    const auto globs = ReadFileBytes(desktop.Data() / "mime/globs2");
    EXPECT_NE(std::string(globs.begin(), globs.end()).find("application/x-morvelan-my-tools-mvtx:*.mvtx"),
              std::string::npos);
    const auto list = ReadFileBytes(desktop.Config() / "mimeapps.list");
    EXPECT_NE(std::string(list.begin(), list.end())
                  .find("application/x-morvelan-my-tools-mvtx=morvelan-sfx-my-tools-open-1.desktop;"),
              std::string::npos);
}

TEST_F(SfxEndToEnd, AnExistingDestinationAnsweredNoDoesNothing) {
    const fs::path zip = MakeZip();
    TSfxWizard w;
    w.ResetWizard(zip.string());
    WriteFileText(dir / "set.run", "old");
    TSfxBuilder builder;
    builder.StubFolder = MV_SFX_STUB_DIR;
    builder.TempFolder = temp.string();
    std::vector<std::string> boxes;
    builder.MessageBox = [&boxes](const std::string& text, uint8_t, uint16_t) {
        boxes.push_back(text);
        return 7;
    };
    EXPECT_FALSE(builder.Build(w, zip.string()));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "The file \"" + (dir / "set.run").string() +
                            "\" already exists.\r\rDo you want to overwrite this file ?");
    EXPECT_EQ(ReadFileBytes(dir / "set.run").size(), 3u);
    EXPECT_TRUE(fs::is_empty(temp));
}

TEST_F(SfxEndToEnd, FailuresShowTheirBoxAndCleanUp) {
    const fs::path zip = MakeZip();
    WriteFileText(dir / "broken.zip", "PK\x03\x04 not really a zip");
    struct Row {
        const char* what;
        fs::path archive;
        std::string destination;
        std::string box;
    };
    const Row rows[] = {
        {"missing destination folder", zip, (dir / "no/such/x.run").string(),
         "The destination folder could not be created.\rPlease check that the disk was inserted correctly."},
        {"archive that does not extract", dir / "broken.zip", (dir / "b.run").string(), "extracting\r"},
        // A folder nobody may write to, root included.
        {"read-only destination folder", zip, "/proc/mv-sfx-" + std::to_string(::getpid()) + ".run",
         "Faulty disk. Please repeat the operation."},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        TSfxWizard w;
        w.ResetWizard(r.archive.string());
        w.Settings().Destino = r.destination;
        TSfxBuilder builder;
        builder.StubFolder = MV_SFX_STUB_DIR;
        builder.TempFolder = temp.string();
        std::vector<std::string> boxes;
        builder.MessageBox = [&boxes](const std::string& text, uint8_t, uint16_t) {
            boxes.push_back(text);
            return 6;
        };
        builder.FreeSpace = [](const std::string&, uint64_t& free) {
            free = uint64_t(1) << 40;
            return true;
        };
        EXPECT_FALSE(builder.Build(w, r.archive.string()));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].rfind(r.box, 0), 0u) << boxes[0];
        EXPECT_TRUE(fs::is_empty(temp));
        EXPECT_FALSE(fs::exists(r.destination));
    }
}

} // namespace
} // namespace mv
