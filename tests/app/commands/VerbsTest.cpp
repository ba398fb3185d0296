// The command-line verbs as the program runs them: in-process through programMain,
// with the modal driver answering whatever form a verb shows and a filter noting every
// window that appears; through the main window's verb runner with doubles for the
// wizard, the script manager and the add dialog; and once per verb as the real binary
// in a child process (exit status, the files written, the sounds played, and that the
// silent verbs end without a display and without waiting for anyone).
#include "app/ProgramMain.h"
#include "app/commands/CommandLine.h"
#include "app/common/LangStr.h"
#include "app/dialogs/AddDialog.h"
#include "app/dialogs/ExtractDialog.h"
#include "app/common/Sounds.h"
#include "app/mainwindow/FormPrincipal.h"
#include "app/mainwindow/PackagerFields.h"
#include "platform/Sound.h"
#include "controls/toolkit/checklist/CheckListBox.h"
#include "controls/toolkit/files/TypeAheadCombo.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/ModalDriver.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DesktopFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <map>
#include <set>
#include <sstream>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace mv {
namespace {

namespace fs = std::filesystem;
using mvtest::Quote;
using mvtest::TempDir;

// Notes the title of every window shown while it exists.
class ShownWindows : public QObject {
public:
    ShownWindows() { qApp->installEventFilter(this); }
    ~ShownWindows() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (w->isWindow()) titles.push_back(w->windowTitle().toStdString());
        }
        return false;
    }
    bool MainWindowShown() const {
        for (const std::string& t : titles)
            if (t.rfind("Morvelan 3.0.016", 0) == 0) return true;
        return false;
    }
    std::vector<std::string> titles;
};

// The sounds played while it exists.
struct SoundLog {
    SoundLog() {
        auto backEnd = std::make_unique<TRecordingSound>();
        recorder = backEnd.get();
        SetSoundBackEnd(std::move(backEnd));
        SetSoundsOption(true);
    }
    ~SoundLog() { SetSoundBackEnd(std::make_unique<TSilentSound>()); }
    const std::vector<std::string>& Played() const { return recorder->Played(); }
    TRecordingSound* recorder = nullptr;
};

// programMain in this process with the arguments after the program's name.
int RunInProcess(const std::vector<std::string>& args) {
    EnsureApplication();
    std::vector<std::string> all{"morvelan"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    return programMain(static_cast<int>(all.size()), argv.data());
}

// A ZIP of a small tree made by Info-ZIP: a.txt, "name with blank.txt", sub/b.bin.
std::string MakeZip(const fs::path& dir) {
    fs::create_directories(dir / "src/sub");
    mvtest::WriteFileBytes(dir / "src/a.txt", mvtest::TextBytes(700, 1));
    mvtest::WriteFileBytes(dir / "src/name with blank.txt", mvtest::TextBytes(90, 2));
    mvtest::WriteFileBytes(dir / "src/sub/b.bin", mvtest::RandomBytes(3000, 3));
    const std::string zip = (dir / "t.zip").string();
    EXPECT_EQ(mvtest::Run("zip -q -r " + Quote(zip) + " .", dir / "src").exitCode, 0);
    return zip;
}

// Every regular file below folder, by its relative path, with its bytes.
std::map<std::string, std::vector<uint8_t>> Tree(const fs::path& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator(); ++it)
        if (it->is_regular_file()) files[fs::relative(it->path(), folder).string()] = mvtest::ReadFileBytes(it->path());
    return files;
}


// A list file as the context-menu handler writes it, in the runtime folder.
fs::path OwnListFile(const std::vector<std::string>& lines) {
    const fs::path folder = fs::path(std::getenv("XDG_RUNTIME_DIR")) / "morvelan";
    fs::create_directories(folder);
    const fs::path file = folder / "Morvelan-Ab12cd.tmp";
    std::string text;
    for (const std::string& l : lines) text += l + "\r\n";
    mvtest::WriteFileText(file, text);
    return file;
}

// Answers the add dialog with OK once it shows the items it was given; notes their
// count and whether the destination field is shown.
struct AddDialogOk {
    explicit AddDialogOk(TModalDriver& driver) {
        driver.Queue({TModalAction::maClickResult, 99, std::nullopt, [this](TForm& form) {
                          auto& f = dynamic_cast<TfrmAddFiles&>(form);
                          items = f.AdicionadosLb->Items().Count();
                          destination = f.DestinationShown();
                          qobject_cast<QAbstractButton*>(f.btnOK->Widget())->click();
                      }});
    }
    int items = -1;
    bool destination = false;
};

struct Verbs : ::testing::Test {
    void SetUp() override {
        MV_NEED_TOOL("zip");
        MV_NEED_TOOL("unzip");
        setenv("MORVELAN_LANG", "pt", 1);
        EnsureApplication();
    }
    void TearDown() override { unsetenv("MORVELAN_LANG"); }
    mvtest::DesktopFixture desktop;
    TempDir dir;
};

TEST_F(Verbs, SilentVerbsInProcessWriteTheirFilesWithoutAWindowOrASound) {
    const std::string zip = MakeZip(dir.Path());
    const auto source = Tree(dir / "src");
    const struct {
        std::vector<std::string> args;
    } extractCases[] = {{{"E", zip, (dir / "out1").string()}}, {{"e", zip, (dir / "out2").string()}}};
    for (const auto& c : extractCases) {
        SCOPED_TRACE(c.args[0]);
        ShownWindows shown;
        SoundLog sounds;
        TModalDriver driver;
        EXPECT_EQ(RunInProcess(c.args), QuitMarker);
        EXPECT_EQ(Tree(c.args[2]), source);
        EXPECT_TRUE(shown.titles.empty()) << shown.titles.front();
        EXPECT_TRUE(driver.Shown().empty());
        EXPECT_TRUE(sounds.Played().empty());
    }

    // A with a folder: its content, recursively, into a new ZIP that the peer reads.
    {
        ShownWindows shown;
        SoundLog sounds;
        TModalDriver driver;
        const std::string added = (dir / "added.zip").string();
        EXPECT_EQ(RunInProcess({"a", added, (dir / "src").string()}), QuitMarker);
        EXPECT_EQ(mvtest::Run("unzip -tq " + Quote(added)).exitCode, 0);
        const std::string base = (dir / "src").string().substr(1) + "/";
        EXPECT_EQ(mvtest::PeerZipNames(added), (std::set<std::string>{base + "a.txt", base + "name with blank.txt", base + "sub/b.bin"}));
        EXPECT_TRUE(shown.titles.empty());
        EXPECT_TRUE(driver.Shown().empty());
        EXPECT_TRUE(sounds.Played().empty());
        // A into an existing archive of another type leaves it as it was.
        MV_NEED_TOOL("tar");
        const fs::path tar = dir / "keep.tar";
        ASSERT_EQ(mvtest::Run("tar cf " + Quote(tar.string()) + " a.txt", dir / "src").exitCode, 0);
        const auto before = mvtest::ReadFileBytes(tar);
        EXPECT_EQ(RunInProcess({"A", tar.string(), (dir / "src/sub").string()}), QuitMarker);
        EXPECT_EQ(mvtest::ReadFileBytes(tar), before);
    }

}

TEST_F(Verbs, AsShowsTheAddDialogOnTheFirstFreeNewArchiveBesideTheFile) {
    MakeZip(dir.Path());
    for (int n = 1; n <= 3; ++n) mvtest::WriteFileText(dir / "src" / ("NovoArquivo" + std::to_string(n) + ".zip"), "x");
    const std::string made = (dir / "src/NovoArquivo4.zip").string();
    // Cancel: nothing written, the quit marker all the same.
    {
        TModalDriver driver;
        driver.PressEscape();
        EXPECT_EQ(RunInProcess({"AS", (dir / "src/a.txt").string()}), QuitMarker);
        ASSERT_EQ(driver.Shown().size(), 1u);
        EXPECT_FALSE(fs::exists(made));
    }
    // OK: the file goes into NovoArquivo4.zip, which the peer reads; the main window
    // never shows and the start sound never plays (the dialog's buttons have theirs).
    ShownWindows shown;
    SoundLog sounds;
    TModalDriver driver;
    AddDialogOk ok(driver);
    EXPECT_EQ(RunInProcess({"As", (dir / "src/a.txt").string()}), QuitMarker);
    EXPECT_EQ(ok.items, 1);
    EXPECT_TRUE(ok.destination);
    ASSERT_TRUE(fs::exists(made));
    EXPECT_EQ(mvtest::Run("unzip -tq " + Quote(made)).exitCode, 0);
    const auto names = mvtest::PeerZipNames(made);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names.begin()->ends_with("a.txt")) << *names.begin();
    EXPECT_EQ(std::count(sounds.Played().begin(), sounds.Played().end(), "INICIO"), 0);
    EXPECT_FALSE(shown.MainWindowShown());
    EXPECT_EQ(driver.Unanswered(), 0);
}

TEST_F(Verbs, AsqTakesTheListFileItemsAndDeletesOnlyItsOwnListFile) {
    MakeZip(dir.Path());
    const fs::path target = dir / "dest";
    fs::create_directories(target);
    // The handler's own list file, with a blank line: the blank adds nothing.
    const fs::path own =
        OwnListFile({(dir / "src/a.txt").string(), "", "   ", (dir / "src/sub").string()});
    {
        TModalDriver driver;
        AddDialogOk ok(driver);
        EXPECT_EQ(RunInProcess({"asq", own.string(), (target / "x").string()}), QuitMarker);
        EXPECT_EQ(ok.items, 2);
        EXPECT_TRUE(ok.destination);
    }
    const std::string made = (target / "NovoArquivo1.zip").string();
    ASSERT_TRUE(fs::exists(made));
    // (a folder's files are stored by the dialog's path choice, without folders)
    EXPECT_EQ(mvtest::PeerZipNames(made), (std::set<std::string>{"a.txt", "b.bin"}));
    EXPECT_FALSE(fs::exists(own));

    // A file that is not a list file of ours is read and kept, whatever its name.
    for (const fs::path& foreign : {dir / "mine.txt", dir / "Morvelan.tmp"}) {
        SCOPED_TRACE(foreign.string());
        mvtest::WriteFileText(foreign, (dir / "src/name with blank.txt").string() + "\n");
        const auto before = mvtest::ReadFileBytes(foreign);
        TModalDriver driver;
        AddDialogOk ok(driver);
        EXPECT_EQ(RunInProcess({"ASQ", foreign.string(), (target / "x").string()}), QuitMarker);
        EXPECT_EQ(ok.items, 1);
        ASSERT_TRUE(fs::exists(foreign));
        EXPECT_EQ(mvtest::ReadFileBytes(foreign), before);
    }
    EXPECT_TRUE(fs::exists(target / "NovoArquivo2.zip"));
    EXPECT_TRUE(fs::exists(target / "NovoArquivo3.zip"));
    // A missing list file: no dialog, nothing written, the quit marker all the same.
    TModalDriver driver;
    EXPECT_EQ(RunInProcess({"ASQ", (dir / "gone.tmp").string(), (target / "x").string()}), QuitMarker);
    EXPECT_TRUE(driver.Shown().empty());
    EXPECT_FALSE(fs::exists(target / "NovoArquivo4.zip"));
    // The handler's list file is removed also when the user cancels the dialog.
    const fs::path again = OwnListFile({(dir / "src/a.txt").string()});
    driver.PressEscape();
    EXPECT_EQ(RunInProcess({"ASQ", again.string(), (target / "x").string()}), QuitMarker);
    EXPECT_FALSE(fs::exists(target / "NovoArquivo4.zip"));
    EXPECT_FALSE(fs::exists(again));
}

TEST_F(Verbs, VerbsThatShowAFormEndWithTheQuitMarkerWhateverTheAnswer) {
    const std::string zip = MakeZip(dir.Path());
    // ES: the extract dialog; Cancel extracts nothing.
    {
        ShownWindows shown;
        TModalDriver driver;
        driver.PressEscape();
        EXPECT_EQ(RunInProcess({"ES", zip}), QuitMarker);
        ASSERT_EQ(driver.Shown().size(), 1u);
        EXPECT_FALSE(shown.MainWindowShown());
        EXPECT_FALSE(fs::exists(dir / "t"));
    }
    // ES with OK: everything goes to the folder typed into the dialog.
    {
        TModalDriver driver;
        const fs::path out = dir / "es-out";
        fs::create_directories(out);
        driver.Queue({TModalAction::maClickResult, 99, std::nullopt, [&](TForm& form) {
                          auto& f = dynamic_cast<TfrmExtract&>(form);
                          f.DestinoCb->SetTextValue(out.string() + "/");
                          qobject_cast<QAbstractButton*>(f.ExtrairBtn->Widget())->click();
                      }});
        EXPECT_EQ(RunInProcess({"es", zip}), QuitMarker);
        ASSERT_EQ(driver.Shown().size(), 1u);
        EXPECT_EQ(Tree(out), Tree(dir / "src"));
    }
    // SFX: the wizard, closed at once.
    {
        ShownWindows shown;
        TModalDriver driver;
        EXPECT_EQ(RunInProcess({"sfx", zip}), QuitMarker);
        ASSERT_EQ(driver.Shown().size(), 1u);
        EXPECT_FALSE(shown.MainWindowShown());
    }
    // /S: the script manager on the name; with no script of that name it stays for
    // the user, who closes it.
    {
        SoundLog sounds;
        TModalDriver driver;
        driver.CloseBox();
        EXPECT_EQ(RunInProcess({"/s", "  diario "}), QuitMarker);
        ASSERT_EQ(driver.Shown().size(), 1u);
        EXPECT_EQ(driver.Unanswered(), 0);
        ASSERT_FALSE(sounds.Played().empty());
        EXPECT_EQ(sounds.Played().front(), "INICIO");
    }
    // /INST: the install step, then the quit marker (/DEINST is answered in the
    // child-process run below).
    EXPECT_EQ(RunInProcess({"/inst"}), QuitMarker);
}

TEST_F(Verbs, BadStartsGiveTheQuitMarkerOrAVisibleWindow) {
    const std::string zip = MakeZip(dir.Path());
    // A missing archive: nothing shown, nothing written, nothing waited for.
    {
        ShownWindows shown;
        TModalDriver driver;
        EXPECT_EQ(RunInProcess({"E", (dir / "missing.zip").string(), (dir / "o").string()}), QuitMarker);
        EXPECT_EQ(RunInProcess({"A", (dir / "new.zip").string(), (dir / "missing-folder").string()}), QuitMarker);
        EXPECT_EQ(RunInProcess({"AS", (dir / "missing.txt").string()}), QuitMarker);
        EXPECT_TRUE(shown.titles.empty());
        EXPECT_TRUE(driver.Shown().empty());
        EXPECT_FALSE(fs::exists(dir / "o"));
        EXPECT_FALSE(fs::exists(dir / "new.zip"));
    }
    // An unknown verb, and 51 arguments: the window shows (with the first argument's
    // archive open when it is one) and the program ends when the user closes it.
    std::vector<std::string> many{zip};
    for (int i = 0; i < 50; ++i) many.push_back("x" + std::to_string(i));
    // (E with one argument is no verb: "E" is not a file, so the window shows empty.)
    for (const auto& args : {std::vector<std::string>{"XYZ", zip}, std::vector<std::string>{"E", zip}, many}) {
        SCOPED_TRACE(args[0] + " with " + std::to_string(args.size()) + " arguments");
        ShownWindows shown;
        TModalDriver driver;
        bool closed = false;
        std::function<void()> closeWhenShown;
        closeWhenShown = [&] {
            if (!shown.MainWindowShown()) {
                QTimer::singleShot(20, closeWhenShown);
                return;
            }
            if (Application && Application->MainForm()) {
                closed = true;
                Application->MainForm()->Close();
            }
        };
        QTimer::singleShot(20, closeWhenShown);
        const int code = RunInProcess(args);
        EXPECT_TRUE(closed);
        EXPECT_TRUE(shown.MainWindowShown());
        EXPECT_EQ(code, 0);
    }
}

// The verb runner of the real window, with doubles for what the verbs hand over to.
struct VerbWindow {
    VerbWindow(std::vector<std::string> args) {
        EnsureApplication();
        TMainWindowStart start;
        start.Decision = DecideStart(args, "", [](const std::string& p) { return fs::exists(p); });
        start.ArgumentCount = static_cast<int>(args.size());
        form = std::make_unique<TFormPrincipal>(nullptr, start);
    }
    std::unique_ptr<TFormPrincipal> form;
};

TEST_F(Verbs, TheVerbsHandOverToTheWizardScriptsAndAddCommand) {
    const std::string zip = MakeZip(dir.Path());
    {
        VerbWindow w({"SFX", zip});
        int tag = -1;
        std::vector<std::string> spec, entries;
        w.form->CommandLine().RunWizard = [&](const std::string& archive, const std::vector<std::string>& names) {
            tag = ListerTag(w.form->Opener());
            spec = ListerFileSpec(w.form->Opener());
            entries = names;
            EXPECT_EQ(archive, zip);
        };
        w.form->ProcessCommandLine();
        EXPECT_EQ(w.form->ExitCode(), QuitMarker);
        EXPECT_EQ(tag, VzReceiverWizard);
        EXPECT_EQ(spec, (std::vector<std::string>{"*.*"}));
        EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()),
                  (std::set<std::string>{"a.txt", "name with blank.txt", "sub\\b.bin"}));
        EXPECT_FALSE(w.form->Visible());
    }
    for (const char* verb : {"/S", "/s"}) {
        VerbWindow w({verb, "  Diario  "});
        std::string asked;
        w.form->CommandLine().RunScripts = [&](const std::string& name) { asked = name; };
        w.form->ProcessCommandLine();
        EXPECT_EQ(asked, "DIARIO");
        EXPECT_EQ(w.form->ExitCode(), QuitMarker);
    }
    {
        // AS hands the file and the new archive's name to the add command.
        for (int n = 1; n <= 3; ++n) mvtest::WriteFileText(dir / ("NovoArquivo" + std::to_string(n) + ".zip"), "x");
        VerbWindow w({"AS", (dir / "src/a.txt").string()});
        std::string archive;
        std::vector<std::string> items;
        w.form->CommandLine().AddFiles = [&](const std::string& a, const std::vector<std::string>& i) {
            archive = a;
            items = i;
        };
        // The list of the AS verb's folder is the file's own folder.
        w.form->ProcessCommandLine();
        EXPECT_EQ(archive, (dir / "src/NovoArquivo1.zip").string());
        EXPECT_EQ(items, (std::vector<std::string>{(dir / "src/a.txt").string()}));
    }
    EXPECT_EQ(NewArchiveName(dir.Path().string() + "/"), (dir / "NovoArquivo4.zip").string());
    {
        // An exception inside a verb still ends with the quit marker.
        VerbWindow w({"SFX", zip});
        w.form->CommandLine().RunWizard = [](const std::string&, const std::vector<std::string>&) {
            throw std::runtime_error("wizard failed");
        };
        w.form->ProcessCommandLine();
        EXPECT_EQ(w.form->ExitCode(), QuitMarker);
    }
}

// ---- the real binary ----------------------------------------------------------------------

using mvtest::ProgramPath;
using mvtest::Spawn;
using mvtest::WaitFor;

struct ChildRun {
    int exitCode = -1;
    std::string output;
    std::vector<std::string> sounds;
};

// The program with arguments, no display, no input: a form waiting for an answer
// would make it run into the timeout.
ChildRun RunChild(const fs::path& root, const std::vector<std::string>& args) {
    const fs::path log = root / "sounds.log";
    fs::remove(log);
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen MORVELAN_LANG=pt "
                          "MORVELAN_SOUND_LOG=" + Quote(log.string()) + " timeout 60 " + Quote(ProgramPath());
    for (const std::string& a : args) command += " " + Quote(a);
    const auto r = mvtest::Run(command + " </dev/null");
    ChildRun out;
    out.exitCode = r.exitCode;
    out.output = r.output;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) out.sounds.push_back(line);
    return out;
}

// E and A.
TEST_F(Verbs, EachSilentVerbAsAChildProcess) {
    ASSERT_TRUE(fs::exists(ProgramPath())) << ProgramPath();
    const std::string zip = MakeZip(dir.Path());
    const fs::path root = dir.Path();
    const std::string base = (dir / "src").string().substr(1) + "/";

    auto r = RunChild(root, {"E", zip, (root / "out").string()});
    EXPECT_EQ(r.exitCode, QuitMarker) << r.output;
    EXPECT_EQ(Tree(root / "out"), Tree(root / "src"));
    EXPECT_TRUE(r.sounds.empty());

    r = RunChild(root, {"A", (root / "a.zip").string(), (root / "src").string()});
    EXPECT_EQ(r.exitCode, QuitMarker) << r.output;
    EXPECT_EQ(mvtest::PeerZipNames((root / "a.zip").string()),
              (std::set<std::string>{base + "a.txt", base + "name with blank.txt", base + "sub/b.bin"}));
    EXPECT_TRUE(r.sounds.empty());

}

TEST_F(Verbs, EachOtherVerbAsAChildProcess) {
    ASSERT_TRUE(fs::exists(ProgramPath())) << ProgramPath();
    MakeZip(dir.Path());
    const fs::path root = dir.Path();
    auto r = RunChild(root, {"/INST"});
    EXPECT_EQ(r.exitCode, QuitMarker) << r.output;

    // Bad input: a missing archive is named on the error stream, and the run ends.
    r = RunChild(root, {"e", (root / "missing.zip").string(), (root / "o").string()});
    EXPECT_EQ(r.exitCode, QuitMarker);
    EXPECT_NE(r.output.find("missing.zip"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(root / "o"));
}

// One verb that shows a form, as the real binary on its own virtual X server: the
// form comes up (found by its title), is closed as by the window's close box, and the
// program ends with the verb's exit status.
struct FormVerb {
    const char* name;
    // "<zip>" stands for a small archive, "<file>" for a file with a blank in its name,
    // "<list>" for a list file of the context-menu handler naming it, "<dest>" for a
    // name in an empty folder
    std::vector<std::string> args;
    int titleText;                 // the title's text number (0: "Morvelan")
    int exitCode;
};

class VerbsUnderXvfb : public Verbs, public ::testing::WithParamInterface<FormVerb> {};

TEST_P(VerbsUnderXvfb, TheFormShowsAndClosingItEndsTheProgram) {
    if (!mvtest::HaveTool("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(fs::exists(ProgramPath()));
    const std::string zip = MakeZip(dir.Path());
    const mvtest::VirtualDisplay screen((dir / "xvfb.log").string());
    ASSERT_TRUE(screen.Ready());
    const std::string display = screen.Display();
    const std::string tool = mvtest::WindowTool();
    SetLanguageBase(lbPortuguese);
    std::string title = GetParam().titleText ? LoadLangStr(GetParam().titleText) : std::string("Morvelan");
    title.erase(std::remove(title.begin(), title.end(), '&'), title.end());
    std::vector<std::string> argv{ProgramPath()};
    fs::create_directories(dir / "dest");
    const std::string file = (dir / "src/name with blank.txt").string();
    const fs::path list = OwnListFile({file});
    const std::map<std::string, std::string> stand{
        {"<zip>", zip}, {"<file>", file}, {"<list>", list.string()}, {"<dest>", (dir / "dest/x").string()}};
    for (const std::string& a : GetParam().args) argv.push_back(stand.count(a) ? stand.at(a) : a);
    const pid_t child = Spawn(argv, {"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb", "MORVELAN_LANG=pt"},
                              (dir / "child.log").string());
    const auto found = mvtest::Run("python3 " + Quote(tool) + " find --display " + display + " --title " + Quote(title) +
                                   " --wait 60");
    EXPECT_EQ(found.exitCode, 0) << found.output;
    const auto closed = mvtest::Run("python3 " + Quote(tool) + " close --display " + display + " --title " + Quote(title));
    EXPECT_EQ(closed.exitCode, 0) << closed.output;
    EXPECT_EQ(WaitFor(child, 60), GetParam().exitCode);
    // Closing the add dialog cancels: no new archive; the handler's list file is gone.
    EXPECT_FALSE(fs::exists(dir / "src/NovoArquivo1.zip"));
    EXPECT_FALSE(fs::exists(dir / "dest/NovoArquivo1.zip"));
    if (GetParam().args.front() == "ASQ" && GetParam().args.size() == 3) {
        EXPECT_FALSE(fs::exists(list));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Verbs, VerbsUnderXvfb,
    ::testing::Values(FormVerb{"ExtractDialog", {"ES", "<zip>"}, 3, QuitMarker},
                      FormVerb{"Wizard", {"SFX", "<zip>"}, 0, QuitMarker},
                      FormVerb{"UninstallQuestionClosedIsNo", {"/DEINST"}, 0, QuitMarker},
                      FormVerb{"AddDialogForOneFile", {"AS", "<file>"}, 76, QuitMarker},
                      FormVerb{"AddDialogForAListFile", {"ASQ", "<list>", "<dest>"}, 76, QuitMarker},
                      FormVerb{"UnknownVerbShowsTheWindow", {"UNKNOWN", "<zip>"}, 0, 0},
                      FormVerb{"VerbWithoutItsArgumentsShowsTheWindow", {"ASQ", "<zip>"}, 0, 0}),
    [](const ::testing::TestParamInfo<FormVerb>& info) { return std::string(info.param.name); });

} // namespace
} // namespace mv
