// The main window's commands as users meet them, on the real window in a fresh
// desktop: the letter keys of the three languages sent to the window; View, the
// virus scanner and e-mail through recorder programs (small scripts that write down
// the arguments they get, so that a name with a blank or a quote is seen to arrive
// whole); Delete checked by the peers' listings; and the wizard and scripts entries
// giving the lister back when their forms fail. Screenshots of the delete question.
#include "app/commands/CommandLine.h"
#include "app/commands/MainCommands.h"
#include "app/common/LangStr.h"
#include "app/common/Sounds.h"
#include "app/mainwindow/FormPrincipal.h"
#include "app/mainwindow/OpenArchiveDialog.h"
#include "app/operations/ArchiveOperations.h"
#include "controls/listview/ExtListView.h"
#include "platform/Sound.h"
#include "platform/ui/Edits.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Buttons.h"
#include <QAction>
#include "platform/ui/ModalDriver.h"
#include "platform/ui/Panels.h"
#include "tests/support/DesktopFixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace mv {
namespace {

namespace fs = std::filesystem;
using mvtest::Quote;
using mvtest::TempDir;

void Pump() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// A recorder program: writes the arguments it gets, each ended by a NUL byte, to
// <name>.args beside it (written whole, then renamed, so a reader never sees half).
fs::path Recorder(const fs::path& folder, const std::string& name) {
    fs::create_directories(folder);
    const fs::path script = folder / name;
    const std::string out = (folder / (name + ".args")).string();
    mvtest::WriteFileText(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > " + Quote(out + ".part") +
                                      "\nmv " + Quote(out + ".part") + " " + Quote(out) + "\n");
    ::chmod(script.c_str(), 0755);
    return script;
}

// The arguments a recorder got (waits for it: programs are started without waiting).
std::vector<std::string> Recorded(const fs::path& script) {
    const fs::path file = script.string() + ".args";
    for (int i = 0; i < 200 && !fs::exists(file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::vector<std::string> args;
    if (!fs::exists(file)) return {"<nothing recorded>"};
    const auto bytes = mvtest::ReadFileBytes(file);
    std::string current;
    for (uint8_t b : bytes) {
        if (b == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(b);
        }
    }
    fs::remove(file);
    return args;
}

struct SoundLog {
    SoundLog() {
        auto backEnd = std::make_unique<TRecordingSound>();
        recorder = backEnd.get();
        SetSoundBackEnd(std::move(backEnd));
        SetSoundsOption(true);
    }
    ~SoundLog() { SetSoundBackEnd(std::make_unique<TSilentSound>()); }
    TRecordingSound* recorder = nullptr;
};

struct Window {
    mvtest::DesktopFixture desktop;
    TempDir dir;
    std::unique_ptr<TFormPrincipal> form;
    Window() {
        EnsureApplication();
        form = std::make_unique<TFormPrincipal>(nullptr);
        form->Show();
        Pump();
    }
    ~Window() { form.reset(); }
    void Open(const std::string& archive) {
        ASSERT_TRUE(form->Opener().OpenArchive(archive)) << archive;
        Pump();
    }
    // Selects the rows whose shown names are given (none: nothing selected).
    void Select(const std::set<std::string>& names) {
        form->ArquivosLv->ClearSelection();
        int found = 0;
        for (int i = 0; i < form->ArquivosLv->RowCount(); ++i)
            if (names.count(form->ArquivosLv->CellText(i, 0))) {
                form->ArquivosLv->SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
                ++found;
            }
        ASSERT_EQ(found, static_cast<int>(names.size()));
    }
    // A key typed on the archive list (the window's keys reach it there).
    void Type(char key, QWidget* to = nullptr) {
        QWidget* target = to ? to : form->ArquivosLv->Widget();
        const QString text{QChar(key)};
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A + (std::toupper(key) - 'A'), Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A + (std::toupper(key) - 'A'), Qt::NoModifier, text);
        QApplication::sendEvent(target, &release);
        Pump();
    }
};

// Whether a form showed the text (or a text holding it).
bool Shows(const TShownForm& form, const std::string& text) {
    for (const std::string& t : form.Texts)
        if (t.find(text) != std::string::npos) return true;
    return false;
}

TEST(Commands, KeyMapOfTheThreeLanguages) {
    // The command of each key by language base, upper and lower case alike.
    const std::string keys = "ACEFMNSVXBPOIU";
    const struct {
        int32_t base;
        std::string expected; // one letter per key: the command, '-' for none
    } table[] = {
        {lbPortuguese, "acefmnsvxop---"},
        {lbEnglish, "acefmnsvx--op-"},
        {lbSpanish, "acefmnsvxo---p"},
    };
    const auto letter = [](TKeyCommand c) {
        switch (c) {
        case TKeyCommand::kcAdd: return 'a';
        case TKeyCommand::kcOptions: return 'c';
        case TKeyCommand::kcExtract: return 'e';
        case TKeyCommand::kcWizard: return 'f';
        case TKeyCommand::kcEmail: return 'm';
        case TKeyCommand::kcNewArchive: return 'n';
        case TKeyCommand::kcScripts: return 's';
        case TKeyCommand::kcAntiVirus: return 'v';
        case TKeyCommand::kcExplorer: return 'x';
        case TKeyCommand::kcOpen: return 'o';
        case TKeyCommand::kcSearch: return 'p';
        case TKeyCommand::kcNone: return '-';
        }
        return '?';
    };
    for (const auto& row : table) {
        std::string upper, lower;
        for (char k : keys) {
            upper += letter(KeyCommandFor(k, row.base));
            lower += letter(KeyCommandFor(static_cast<char>(std::tolower(k)), row.base));
        }
        EXPECT_EQ(upper, row.expected) << row.base;
        EXPECT_EQ(lower, row.expected) << row.base;
    }
    EXPECT_EQ(KeyCommandFor('1', lbPortuguese), TKeyCommand::kcNone);
}

TEST(Commands, KeysSentToTheRealWindowInTheThreeLanguages) {
    const int32_t old = LanguageBase();
    const struct {
        int32_t base;
        const char* keys;     // typed in this order
        const char* expected; // what each key did, one letter per key
    } table[] = {
        // o open, p search, c options, f wizard, s scripts, x pane, - nothing
        {lbPortuguese, "BPOIUCFSXEVA", "op---cfsx---"},
        {lbEnglish, "BPOIUCFSXEVA", "--op-cfsx---"},
        {lbSpanish, "bpoiucfsxeva", "o---pcfsx---"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.base);
        SetLanguageBase(row.base);
        Window w;
        TFormPrincipal& f = *w.form;
        std::string did;
        SetOpenArchiveDialogRunner([&](TForm*, const TOpenArchiveRequest&, std::string&) {
            did += 'o';
            return false;
        });
        f.SearchCommand = [&] { did += 'p'; };
        f.OptionsCommand = [&](const std::string&) { did += 'c'; };
        f.Commands().RunWizard = [&](const std::string&, const std::vector<std::string>&) { did += 'f'; };
        f.Commands().RunScripts = [&] { did += 's'; };
        TModalDriver driver; // a box or dialog would be recorded
        for (const char* k = row.keys; *k; ++k) {
            const size_t before = did.size();
            const bool pane = f.PanelExplorer->Visible();
            w.Type(*k);
            if (f.PanelExplorer->Visible() != pane) did += 'x';
            if (did.size() == before) did += '-';
        }
        SetOpenArchiveDialogRunner({});
        EXPECT_EQ(did, row.expected);
        // E, V and A did nothing without an archive: no dialog came up.
        EXPECT_TRUE(driver.Shown().empty());

        // Keys typed into a text field are the field's own.
        auto* edit = new TEdit(&f);
        edit->SetParent(&f);
        const bool pane = f.PanelExplorer->Visible();
        w.Type('x', edit->Widget());
        w.Type('P', edit->Widget());
        EXPECT_EQ(f.PanelExplorer->Visible(), pane);
        EXPECT_EQ(did, row.expected);
    }
    SetLanguageBase(old);
}

struct WithArchive : ::testing::Test {
    void SetUp() override {
        MV_NEED_TOOL("zip");
        MV_NEED_TOOL("unzip");
        SetLanguageBase(lbPortuguese);
        // The system's MIME database beside the fixture's (empty) data folders.
        setenv("XDG_DATA_DIRS", ((w.desktop.Root() / "usr/share").string() + ":/usr/share").c_str(), 1);
        src = w.dir / "src";
        fs::create_directories(src / "sub");
        mvtest::WriteFileText(src / "it's a \"quoted\" note.txt", "a note\n");
        mvtest::WriteFileText(src / "c++", "int main() {}\n");
        mvtest::WriteFileText(src / "run.sh", "#!/bin/sh\ntouch " + Quote((w.dir / "RAN").string()) + "\n");
        ::chmod((src / "run.sh").c_str(), 0755);
        mvtest::WriteFileBytes(src / "sub/data.bin", mvtest::RandomBytes(2000, 7));
        zip = (w.dir / "docs.zip").string();
        ASSERT_EQ(mvtest::Run("zip -q -r " + Quote(zip) + " .", src).exitCode, 0);
        // The desktop's default application for plain text is a recorder.
        text = Recorder(w.dir / "bin", "text-app");
        const fs::path apps = w.desktop.Data() / "applications";
        fs::create_directories(apps);
        mvtest::WriteFileText(apps / "recorder.desktop", "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" +
                                                             text.string() + " %f\nMimeType=text/plain;\n");
        mvtest::WriteFileText(w.desktop.Config() / "mimeapps.list",
                              "[Default Applications]\ntext/plain=recorder.desktop\n");
        w.Open(zip);
    }
    Window w;
    fs::path src, text;
    std::string zip;
};

TEST_F(WithArchive, ViewOpensTheEntryWithItsApplicationAndNeverRunsIt) {
    TFormPrincipal& f = *w.form;
    const fs::path viewer = Recorder(w.dir / "bin", "viewer");
    f.Options().Visualizador = viewer.string();
    TModalDriver driver;

    // A document: its application gets the temporary file's path, whole.
    w.Select({"it's a \"quoted\" note.txt"});
    f.Visualizar1->Action()->trigger();
    auto got = Recorded(text);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(fs::path(got[0]).filename().string(), "it's a \"quoted\" note.txt");
    EXPECT_EQ(mvtest::ReadFileBytes(got[0]), mvtest::ReadFileBytes(src / "it's a \"quoted\" note.txt"));
    EXPECT_NE(got[0].find("/QX"), std::string::npos) << got[0];

    // "c++" is no encrypted entry: its name keeps both "+".
    w.Select({"c++"});
    f.ArquivosLv->DblClick();
    const fs::path cpp = f.Commands().View();
    EXPECT_EQ(cpp.filename().string(), "c++");
    EXPECT_TRUE(fs::exists(cpp));
    Recorded(text);
    Recorded(viewer);

    // A program from the archive is not run: it goes to the viewer.
    w.Select({"run.sh"});
    f.Visualizar1->Action()->trigger();
    got = Recorded(viewer);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(fs::path(got[0]).filename().string(), "run.sh");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(w.dir / "RAN"));

    // A type without an application: the viewer with the file as its one argument.
    w.Select({"data.bin"});
    f.Visualizar1->Action()->trigger();
    got = Recorded(viewer);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].substr(got[0].size() - 12), "sub/data.bin");
    EXPECT_TRUE(driver.Shown().empty());

    // Two rows: nothing. A viewer that is not there: 73.
    w.Select({"c++", "data.bin"});
    EXPECT_EQ(f.Commands().View(), "");
    f.Options().Visualizador = (w.dir / "no-such-viewer").string();
    w.Select({"data.bin"});
    driver.PressEnter();
    f.Visualizar1->Action()->trigger();
    ASSERT_EQ(driver.Shown().size(), 1u);
    EXPECT_TRUE(Shows(driver.Shown()[0], LoadLangStr(73)));
}

TEST_F(WithArchive, AntiVirusGetsTheFolderWholeAndItsOwnParameters) {
    TFormPrincipal& f = *w.form;
    const fs::path scanner = Recorder(w.dir / "bin", "scanner");
    // A temporary folder with a blank in its name.
    const fs::path temp = w.dir / "temp with blank";
    fs::create_directories(temp);
    f.Operations().TempFolder = temp.string() + "/";
    f.Options().Virus = "";
    f.Options().VirusParametros = "-r --name \"x y\"";
    std::string page;
    f.OptionsCommand = [&](const std::string& p) {
        page = p;
        f.Options().Virus = scanner.string();
    };
    TModalDriver driver;
    driver.Click(mrYes); // configure it now
    f.AntiVirusBtn->Click();
    ASSERT_EQ(driver.Shown().size(), 1u);
    EXPECT_TRUE(Shows(driver.Shown()[0], LoadLangStr(81) + "\n\n" + LoadLangStr(82)));
    EXPECT_EQ(page, VirusOptionsPage);
    const auto got = Recorded(scanner);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].rfind(temp.string() + "/QX", 0), 0u) << got[0];
    EXPECT_EQ(got[1], "-r");
    EXPECT_EQ(got[2], "--name");
    EXPECT_EQ(got[3], "x y");
    EXPECT_EQ(mvtest::ReadFileBytes(fs::path(got[0]) / "sub/data.bin"), mvtest::ReadFileBytes(src / "sub/data.bin"));
    EXPECT_TRUE(f.SelectedItems().empty());

    // Not configured and No: nothing runs. A scanner that is not there: 83.
    f.Options().Virus = "";
    driver.Click(mrNo);
    f.AntiVirusBtn->Click();
    EXPECT_EQ(driver.Shown().size(), 2u);
    f.Options().Virus = (w.dir / "no-scanner").string();
    driver.PressEnter();
    f.AntiVirus1->Action()->trigger();
    ASSERT_EQ(driver.Shown().size(), 3u);
    EXPECT_TRUE(Shows(driver.Shown()[2], LoadLangStr(83)));
}

TEST_F(WithArchive, EmailThroughXdgEmailOrTheConfiguredProgram) {
    TFormPrincipal& f = *w.form;
    // xdg-email shadowed on PATH by a recorder.
    const fs::path bin = w.dir / "path bin";
    const fs::path xdg = Recorder(bin, "xdg-email");
    const std::string oldPath = std::getenv("PATH");
    setenv("PATH", (bin.string() + ":" + oldPath).c_str(), 1);
    f.Options().Email = "";
    f.EmailBtn->Click();
    EXPECT_EQ(Recorded(xdg), (std::vector<std::string>{"--attach", zip}));
    setenv("PATH", oldPath.c_str(), 1);

    const fs::path mail = Recorder(w.dir / "bin", "mail program");
    f.Options().Email = "  " + mail.string() + " ";
    f.Email1->Action()->trigger();
    EXPECT_EQ(Recorded(mail), (std::vector<std::string>{zip}));

    TModalDriver driver;
    driver.PressEnter();
    f.Options().Email = (w.dir / "no-mailer").string();
    f.EmailBtn->Click();
    ASSERT_EQ(driver.Shown().size(), 1u);
    EXPECT_TRUE(Shows(driver.Shown()[0], LoadLangStr(626)));
}

TEST_F(WithArchive, WizardAndScriptsGiveTheListerBackWhenTheyFail) {
    TFormPrincipal& f = *w.form;
    f.Opener().SetFileSpec("*.txt");
    int tagInside = -1;
    f.Commands().RunWizard = [&](const std::string& archive, const std::vector<std::string>& entries) {
        tagInside = ListerTag(f.Opener());
        EXPECT_EQ(archive, zip);
        EXPECT_FALSE(entries.empty());
        throw std::runtime_error("wizard failed");
    };
    EXPECT_THROW(f.Commands().Wizard(), std::runtime_error);
    EXPECT_EQ(tagInside, 10);
    f.Commands().RunScripts = [&] { throw std::runtime_error("scripts failed"); };
    EXPECT_THROW(f.Commands().Scripts(), std::runtime_error);
    EXPECT_EQ(ListerTag(f.Opener()), 0);
    EXPECT_EQ(ListerFileSpec(f.Opener()), (std::vector<std::string>{"*.txt"}));
    EXPECT_EQ(f.Opener().ArchiveFile(), zip);
}

TEST(Commands, DeleteRemovesTheSelectedEntriesAsThePeersSee) {
    MV_NEED_TOOL("zip");
    MV_NEED_TOOL("unzip");
    MV_NEED_TOOL("7z");
    const int32_t old = LanguageBase();
    const struct {
        const char* lang;
        int32_t base;
    } langs[] = {{"pt", lbPortuguese}, {"en", lbEnglish}, {"es", lbSpanish}};
    for (const auto& lang : langs) {
        SCOPED_TRACE(lang.lang);
        SetLanguageBase(lang.base);
        Window w;
        TFormPrincipal& f = *w.form;
        fs::create_directories(w.dir / "src");
        for (const char* n : {"a.txt", "b.txt", "c*.txt"}) mvtest::WriteFileText(w.dir / "src" / n, n);
        const std::string zip = (w.dir / "d.zip").string();
        ASSERT_EQ(mvtest::Run("zip -q " + Quote(zip) + " a.txt b.txt 'c*.txt'", w.dir / "src").exitCode, 0);
        w.Open(zip);
        TModalDriver driver;
        // Nothing selected: 41.
        driver.PressEnter();
        f.Excluir1->Action()->trigger();
        ASSERT_EQ(driver.Shown().size(), 1u);
        EXPECT_TRUE(Shows(driver.Shown()[0], LoadLangStr(41)));
        // No: the archive stays as it was.
        w.Select({"a.txt"});
        const auto before = mvtest::ReadFileBytes(zip);
        driver.Click(mrNo);
        f.Excluir1->Action()->trigger();
        EXPECT_EQ(mvtest::ReadFileBytes(zip), before);
        // Yes, by the Delete key on the list: the entry goes.
        w.Select({"a.txt", "c*.txt"});
        driver.Click(mrYes, [&](TForm& form) {
            EXPECT_TRUE(SaveControlImage(form, mvtest::ScreenshotFolder("commands") + "/delete-question-" +
                                                   lang.lang + ".png"));
        });
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(f.ArquivosLv->Widget(), &del);
        Pump();
        EXPECT_TRUE(Shows(driver.Shown().back(), LoadLangStr(40)));
        EXPECT_EQ(mvtest::PeerZipNames(zip), (std::set<std::string>{"b.txt"}));
        EXPECT_EQ(f.ArquivosLv->RowCount(), 1);
    }
    SetLanguageBase(lbPortuguese);
    // A JAR through its writer, with the sound of the bin; 7z lists what is left.
    {
        Window w;
        TFormPrincipal& f = *w.form;
        const fs::path jar = w.dir / "t.jar";
        fs::create_directories(w.dir / "j/META-INF");
        mvtest::WriteFileText(w.dir / "j/META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n\r\n");
        mvtest::WriteFileText(w.dir / "j/Main.class", "not really a class");
        mvtest::WriteFileText(w.dir / "j/readme.txt", "read me");
        ASSERT_EQ(mvtest::Run("zip -q -r " + Quote(jar.string()) + " META-INF Main.class readme.txt", w.dir / "j").exitCode, 0);
        w.Open(jar.string());
        std::set<std::string> names;
        for (int i = 0; i < f.ArquivosLv->RowCount(); ++i) names.insert(f.ArquivosLv->CellText(i, 0));
        ASSERT_GE(names.size(), 2u);
        const std::string victim = *names.rbegin();
        w.Select({victim});
        SoundLog sounds;
        TModalDriver driver;
        driver.Click(mrYes);
        f.Excluir1->Action()->trigger();
        const auto listing = mvtest::Run("7z l -slt " + Quote(jar.string()));
        EXPECT_EQ(listing.exitCode, 0) << listing.output;
        EXPECT_EQ(listing.output.find("/" + victim + "\n"), std::string::npos);
        EXPECT_EQ(listing.output.find("= " + victim + "\n"), std::string::npos);
        const auto& played = sounds.recorder->Played();
        EXPECT_NE(std::find(played.begin(), played.end(), "LIXO"), played.end());
    }
    // ARJ cannot be written: 48.
    const struct {
        const char* path;
        int text;
    } refused[] = {{"arj/arj020b.arj", 48}};
    for (const auto& c : refused) {
        SCOPED_TRACE(c.path);
        Window w;
        const fs::path copy = w.dir / fs::path(c.path).filename();
        fs::copy_file(mvtest::CorpusDir() / c.path, copy);
        TModalDriver driver;
        driver.PressEnter();
        w.form->Opener().OpenArchive(copy.string());
        Pump();
        const size_t shownBefore = driver.Shown().size();
        const auto before = mvtest::ReadFileBytes(copy);
        driver.PressEnter();
        w.form->mnuExcluir1Click();
        ASSERT_EQ(driver.Shown().size(), shownBefore + 1);
        EXPECT_TRUE(Shows(driver.Shown().back(), LoadLangStr(c.text)));
        EXPECT_EQ(mvtest::ReadFileBytes(copy), before);
    }
    SetLanguageBase(old);
}

} // namespace
} // namespace mv
