// The search form driven through its widgets and the modal driver, on fixture folders
// made by the peer tools: the result tree with archives-only on and off, two selected
// names, the summary box and its formats, the masked password question per attempt,
// Cancel and Close in mid-walk, opening a hit in the main window, and screenshots in
// the three languages.
#include "app/search/FormProcura.h"

#include "app/common/LangStr.h"
#include "app/common/Sounds.h"
#include "app/mainwindow/ArchiveList.h"
#include "app/mainwindow/FormPrincipal.h"
#include "archive/framework/ZipCrypt.h"
#include "controls/listview/ExtListView.h"
#include "controls/shell/ShellList.h"
#include "platform/IniFile.h"
#include "platform/Sound.h"
#include "platform/ui/Edits.h"
#include "platform/ui/ListView.h"
#include "platform/ui/Menu.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"
#include "platform/ui/TreeView.h"
#include "tests/app/UserInput.h"
#include "tests/support/DesktopFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include <map>

namespace mv {
namespace {

namespace fs = std::filesystem;
using mvtest::TempDir;

using mvtest::UserClick;

// Clicks a button at the first turn of the event loop that the search lets run.
void ClickDuringSearch(TControl* control) {
    QTimer::singleShot(0, [control] { UserClick(control); });
}

void Pump() {
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
}

void WriteText(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    mvtest::WriteFileBytes(p, std::vector<uint8_t>(text.begin(), text.end()));
}

// "Needle" inside a zip member and in a text file, nothing in an arj archive.
struct Fixture {
    TempDir dir;
    std::string zip, arj, txt;
    Fixture() {
        WriteText(dir / "src/inner.txt", "some words and a Needle in the middle\n");
        WriteText(dir / "src/other.txt", "nothing to see here\n");
        WriteText(dir / "src/empty.txt", "hay only\n");
        zip = (dir / "f/hit.zip").string();
        arj = (dir / "f/plain.arj").string();
        txt = (dir / "f/notes.txt").string();
        fs::create_directories(dir / "f");
        auto r = mvtest::Run("zip -q -X " + zip + " inner.txt other.txt", dir / "src");
        EXPECT_EQ(r.exitCode, 0) << r.output;
        r = mvtest::Run("arj a -y -i " + arj + " empty.txt", dir / "src");
        EXPECT_EQ(r.exitCode, 0) << r.output;
        WriteText(txt, "a note with the needle in it\n");
    }
    std::string Folder() const { return (dir / "f").string(); }
};

// The result tree: each top node's text with its children.
std::map<std::string, std::vector<std::string>> Results(TFormProcura& f) {
    std::map<std::string, std::vector<std::string>> out;
    for (int i = 0; i < f.TreeView1->Items().TopCount(); ++i) {
        TTreeNode* node = f.TreeView1->Items().Top(i);
        auto& children = out[node->Text()];
        for (int c = 0; c < node->Count(); ++c) children.push_back(node->Item(c)->Text());
    }
    return out;
}

void SelectNames(TFormProcura& f, const std::vector<std::string>& names) {
    f.ArquivosLv->ClearSelection();
    for (const std::string& name : names) {
        const int row = f.ArquivosLv->IndexOfName(name);
        ASSERT_GE(row, 0) << name;
        f.ArquivosLv->SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
    }
}

class SearchFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        MV_NEED_TOOL("zip");
        MV_NEED_TOOL("arj");
        EnsureApplication();
        SetLanguageBase(lbPortuguese);
        SetSoundBackEnd(std::make_unique<TSilentSound>());
        ini = (settings / "morvelan.ini").string();
    }
    void TearDown() override {
        SetLanguageBase(lbPortuguese);
        Pump();
    }

    // Shows the form on a folder; act runs while it is on screen; then come the queued
    // answers of the boxes it shows. Answers whether a result was chosen.
    bool Show(const std::string& folder, std::function<void(TFormProcura&)> act) {
        TModalDriver driver;
        driver.Queue({TModalAction::maClickResult, 99, std::nullopt,
                      [&](TForm& f) { act(dynamic_cast<TFormProcura&>(f)); }});
        for (auto& answer : answers) driver.Queue(answer);
        answers.clear();
        const bool chosen = ShowSearchForm(chosenArchive, folder, ini);
        shown = driver.Shown();
        unanswered = driver.Unanswered();
        return chosen;
    }
    // Types the text, sets the options and presses Procurar.
    static void Search(TFormProcura& f, const std::string& text, bool archivesOnly) {
        f.Edit1->SetTextValue(text);
        f.SoCompactadosChk->SetChecked(archivesOnly);
        UserClick(f.ProcuraBtn);
    }
    // The texts of the forms shown after the search form, in order (the summary box's
    // message among them).
    bool BoxShown(const std::string& text) const {
        for (size_t i = 1; i < shown.size(); ++i)
            for (const std::string& t : shown[i].Texts)
                if (t == text) return true;
        return false;
    }
    void AnswerOk() { answers.push_back({TModalAction::maClickResult, mrOk, std::nullopt, {}}); }

    TempDir settings;
    std::string ini;
    std::vector<TModalAnswer> answers;
    std::vector<TShownForm> shown;
    std::string chosenArchive;
    int unanswered = 0;
};

TEST_F(SearchFormTest, ResultTreeByArchivesOnlyCaseAndMode) {
    Fixture fx;
    using Results_t = std::map<std::string, std::vector<std::string>>;
    const struct {
        const char* name;
        bool archivesOnly, caseSensitive;
        int mode; // RadioGroup1's item
        std::string text;
        Results_t results;
        int inspected;
    } cases[] = {
        // The text file is never opened: the zip and the arj are inspected.
        {"archives only", true, false, 0, "needle", {{fx.zip, {"inner.txt"}}}, 2},
        // Searched as raw data, the text file is a node without children.
        {"all files", false, false, 0, "needle", {{fx.zip, {"inner.txt"}}, {fx.txt, {}}}, 3},
        // The member holds "Needle": with case, only the text file matches.
        {"case", false, true, 0, "needle", {{fx.txt, {}}}, 3},
        // Hexadecimal bytes of "needle".
        {"hex", false, false, 3, "6E 65 65 64 6C 65", {{fx.zip, {"inner.txt"}}, {fx.txt, {}}}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AnswerOk(); // the summary box
        Results_t results;
        bool idleAgain = false, busyDuring = false;
        Show(fx.Folder(), [&](TFormProcura& f) {
            EXPECT_FALSE(f.CancelarBtn->Enabled());
            f.cbDiferencia->SetChecked(c.caseSensitive);
            f.RadioGroup1->SetItemIndex(c.mode);
            f.Run().OnHit = [&f, &busyDuring, hit = f.Run().OnHit](const TSearchHit& h) {
                busyDuring = !f.ProcuraBtn->Enabled() && f.CancelarBtn->Enabled();
                hit(h);
            };
            Search(f, c.text, c.archivesOnly);
            results = Results(f);
            idleAgain = f.ProcuraBtn->Enabled() && !f.CancelarBtn->Enabled();
            UserClick(f.FecharBtn);
        });
        EXPECT_EQ(results, c.results);
        EXPECT_TRUE(busyDuring);
        EXPECT_TRUE(idleAgain);
        // the seconds are whatever the run took: compare the lines before them
        ASSERT_GE(shown.size(), 2u);
        const std::string expectedStart = LoadLangStr(177) + std::to_string(c.inspected) + "\n" + LoadLangStr(178);
        bool found = false;
        for (const std::string& t : shown[1].Texts)
            if (t.rfind(expectedStart, 0) == 0 && t.find("\n\n" + LoadLangStr(179)) != std::string::npos) found = true;
        EXPECT_TRUE(found) << "summary box not shown with " << expectedStart;
        EXPECT_EQ(unanswered, 0);
    }
}

TEST_F(SearchFormTest, SoundsAndThePlacementSection) {
    Fixture fx;
    auto backEnd = std::make_unique<TRecordingSound>();
    TRecordingSound* recorder = backEnd.get();
    SetSoundBackEnd(std::move(backEnd));
    SetSoundsOption(true);
    SetSoundsEnabled(false); // the main window's command cleared it; the form sets it again
    AnswerOk();
    Show(fx.Folder(), [&](TFormProcura& f) {
        EXPECT_TRUE(SoundsEnabled());
        recorder->Finish();
        f.Edit1->SetTextValue("needle");
        UserClick(f.ProcuraBtn);
        recorder->Finish();
        UserClick(f.SubPastasChk);
        recorder->Finish();
        UserClick(f.FecharBtn);
    });
    EXPECT_EQ(recorder->Played(), (std::vector<std::string>{"BEEP", "CLEK", "CLICK"}));
    SetSoundsOption(false);
    EXPECT_TRUE(platform::IniFile(ini).SectionExists(SearchFormSection));
}

TEST_F(SearchFormTest, TwoSelectedNamesAreSearchedHereAndBelow) {
    Fixture fx;
    // A second copy below the folder, and a third archive that is not chosen.
    fs::create_directories(fs::path(fx.Folder()) / "deep");
    fs::copy_file(fx.zip, fs::path(fx.Folder()) / "deep/hit.zip");
    fs::copy_file(fx.zip, fs::path(fx.Folder()) / "unchosen.zip");
    for (bool subfolders : {true, false}) {
        SCOPED_TRACE(subfolders);
        AnswerOk();
        std::map<std::string, std::vector<std::string>> results;
        Show(fx.Folder(), [&](TFormProcura& f) {
            SelectNames(f, {"hit.zip", "notes.txt"});
            f.SubPastasChk->SetChecked(subfolders);
            Search(f, "needle", false);
            results = Results(f);
            UserClick(f.FecharBtn);
        });
        std::map<std::string, std::vector<std::string>> expected = {{fx.zip, {"inner.txt"}}, {fx.txt, {}}};
        if (subfolders) expected[(fs::path(fx.Folder()) / "deep/hit.zip").string()] = {"inner.txt"};
        EXPECT_EQ(results, expected);
    }
}

TEST_F(SearchFormTest, SummaryFormatsAndNothingToSearch) {
    // Totals as the box writes them: thousands grouped in the language, a zero
    // kilobyte count empty, the seconds rounded.
    TSearchTotals totals;
    totals.FilesInspected = 12;
    totals.Bytes = 5'000'000 * int64_t{1024};
    totals.Seconds = 2.6;
    EXPECT_EQ(SearchSummaryText(totals), LoadLangStr(177) + "12\n" + LoadLangStr(178) + "5.000.000\n\n" +
                                             LoadLangStr(179) + "3s");
    SetLanguageBase(lbEnglish);
    EXPECT_EQ(SearchSummaryText(totals), "Files inspected = 12\nTotal Kbytes = 5,000,000\n\nTime = 3s");
    SetLanguageBase(lbPortuguese);

    // The machine's drives, with nothing chosen: no file to search, 0 files and 0 seconds.
    AnswerOk();
    size_t nodes = 99;
    Show("", [&](TFormProcura& f) {
        Search(f, "needle", true);
        nodes = static_cast<size_t>(f.TreeView1->Items().Count());
        UserClick(f.FecharBtn);
    });
    EXPECT_EQ(nodes, 0u);
    EXPECT_TRUE(BoxShown(LoadLangStr(177) + "0\n" + LoadLangStr(178) + "\n\n" + LoadLangStr(179) + "0s"));
}

// Whether a password passes the check byte of the first entry's encryption header.
bool PasswordPassesCheck(const std::string& zip, const std::string& password) {
    const std::vector<uint8_t> b = mvtest::ReadFileBytes(zip);
    if (b.size() < 30) return false;
    auto u16 = [&](size_t at) { return static_cast<uint32_t>(b[at] | b[at + 1] << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    const size_t header = 30 + u16(26) + u16(28);
    if (b.size() < header + ZipEncryptHeaderSize) return false;
    TZipKeys keys;
    return ZipTestEncryptHeader(keys, &b[header], static_cast<uint16_t>(u16(6)), password, u32(10), u32(14));
}

TEST_F(SearchFormTest, EncryptedMemberAsksPerAttemptMaskedAndCancelSkipsIt) {
    TempDir dir;
    WriteText(dir / "src/secret.txt", "the needle is here\n");
    fs::create_directories(dir / "f");
    const std::string zip = (dir / "f/locked.zip").string();
    // A wrong password passes the encryption header's check byte once in 256 times;
    // the archive is made again until none of the wrong ones here does.
    const std::vector<std::string> wrong = {"wrong", "also wrong", "a", "b", "c"};
    bool clean = false;
    for (int attempt = 0; attempt < 50 && !clean; ++attempt) {
        fs::remove(zip);
        const auto r = mvtest::Run("zip -q -X -P right " + zip + " secret.txt", dir / "src");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        clean = std::none_of(wrong.begin(), wrong.end(), [&](const std::string& password) {
            return PasswordPassesCheck(zip, password);
        });
    }
    ASSERT_TRUE(clean);

    const struct {
        std::vector<std::optional<std::string>> typed; // nullopt: Cancel
        bool found;
    } cases[] = {
        {{std::string("wrong"), std::string("also wrong"), std::string("right")}, true},
        {{std::string("a"), std::string("b"), std::string("c")}, false},
        {{std::nullopt}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.size());
        std::vector<char> masks;
        for (const auto& t : c.typed) {
            auto inspect = [&masks](TForm& q) {
                for (TControl* control : AllControls(q))
                    if (auto* edit = dynamic_cast<TEdit*>(control)) masks.push_back(edit->PasswordChar());
            };
            if (t) answers.push_back({TModalAction::maClickResult, mrOk, *t, inspect});
            else answers.push_back({TModalAction::maClickResult, mrCancel, std::nullopt, inspect});
        }
        AnswerOk();
        std::map<std::string, std::vector<std::string>> results;
        Show((dir / "f").string(), [&](TFormProcura& f) {
            Search(f, "needle", true);
            results = Results(f);
            UserClick(f.FecharBtn);
        });
        // One question per attempt, with the member's name as caption and text 181.
        std::string captions;
        for (const auto& form : shown) captions += form.Caption + "|";
        ASSERT_EQ(shown.size(), c.typed.size() + 2) << captions;
        for (size_t i = 1; i <= c.typed.size(); ++i) {
            EXPECT_EQ(shown[i].Caption, "secret.txt");
            EXPECT_NE(std::find(shown[i].Texts.begin(), shown[i].Texts.end(), LoadLangStr(181)), shown[i].Texts.end());
        }
        EXPECT_EQ(masks, std::vector<char>(c.typed.size(), '*'));
        if (c.found) EXPECT_EQ(results, (std::map<std::string, std::vector<std::string>>{{zip, {"secret.txt"}}}));
        else EXPECT_TRUE(results.empty());
        EXPECT_EQ(unanswered, 0);
    }
}

// Many archives, each with the text, spread over folders.
std::string ManyArchives(const TempDir& dir, const std::string& zip, int count) {
    for (int i = 0; i < count; ++i) {
        const fs::path p = dir / "many" / ("d" + std::to_string(i % 6)) / ("a" + std::to_string(i) + ".zip");
        fs::create_directories(p.parent_path());
        fs::copy_file(zip, p);
    }
    return (dir / "many").string();
}

TEST_F(SearchFormTest, CancelInMidWalkStopsTheSearch) {
    Fixture fx;
    TempDir dir;
    const std::string folder = ManyArchives(dir, fx.zip, 30);
    AnswerOk();
    size_t hits = 0;
    bool idle = false;
    int inspected = -1;
    Show(folder, [&](TFormProcura& f) {
        f.Edit1->SetTextValue("needle");
        ClickDuringSearch(f.CancelarBtn);
        UserClick(f.ProcuraBtn);
        hits = static_cast<size_t>(f.TreeView1->Items().TopCount());
        idle = f.ProcuraBtn->Enabled() && !f.CancelarBtn->Enabled();
        inspected = f.Run().Totals().FilesInspected;
        EXPECT_TRUE(f.Run().Cancelled());
        EXPECT_EQ(f.StatusBarText(), "");
        UserClick(f.FecharBtn);
    });
    EXPECT_LE(hits, 1u);
    EXPECT_LE(inspected, 1);
    EXPECT_TRUE(idle);
    // The summary of what was done still comes.
    EXPECT_EQ(shown.size(), 2u);
    // Without a cancel the same walk finds all thirty.
    AnswerOk();
    Show(folder, [&](TFormProcura& f) {
        Search(f, "needle", true);
        hits = static_cast<size_t>(f.TreeView1->Items().TopCount());
        UserClick(f.FecharBtn);
    });
    EXPECT_EQ(hits, 30u);
}

TEST_F(SearchFormTest, CloseInMidWalkStopsTheSearchAndCloses) {
    Fixture fx;
    TempDir dir;
    const std::string folder = ManyArchives(dir, fx.zip, 30);
    int inspected = -1;
    bool returned = false;
    for (bool escape : {false, true}) {
        SCOPED_TRACE(escape);
        Show(folder, [&](TFormProcura& f) {
            f.Edit1->SetTextValue("needle");
            if (escape) {
                QTimer::singleShot(0, [&f] {
                    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                    QApplication::sendEvent(f.Edit1->Widget(), &press);
                });
            } else {
                ClickDuringSearch(f.FecharBtn);
            }
            UserClick(f.ProcuraBtn);
            returned = true;
            inspected = f.Run().Totals().FilesInspected;
            EXPECT_TRUE(f.Run().Cancelled());
            EXPECT_FALSE(f.Run().Running());
        });
        EXPECT_TRUE(returned);
        EXPECT_LE(inspected, 1);
        // The form closed by itself, and no summary box came after the close.
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].ModalResult, mrCancel);
        EXPECT_TRUE(chosenArchive.empty());
    }
}

TEST_F(SearchFormTest, OpeningAHitOpensItsArchiveInTheMainWindow) {
    Fixture fx;
    mvtest::DesktopFixture desktop;
    TFormPrincipal main(nullptr);
    main.Show();
    Pump();
    ASSERT_NE(main.Procurar1, nullptr);
    EXPECT_EQ(main.Procurar1->Caption(), LoadLangStr(165));
    TModalDriver driver;
    driver.Queue({TModalAction::maClickResult, 99, std::nullopt, [&](TForm& form) {
                      auto& f = dynamic_cast<TFormProcura&>(form);
                      f.SetFolder(fx.Folder());
                      Search(f, "needle", true);
                      // Enter on a member chooses its archive.
                      TTreeNode* member = f.TreeView1->Items().Top(0)->Item(0);
                      f.TreeView1->SetSelected(member);
                      f.TreeView1->SetFocus();
                      QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                      QApplication::sendEvent(f.TreeView1->Widget(), &press);
                  }});
    driver.Queue({TModalAction::maClickResult, mrOk, std::nullopt, {}}); // the summary box
    main.Procurar1->Click();
    EXPECT_EQ(driver.Unanswered(), 0);
    EXPECT_EQ(main.Opener().ArchiveFile(), fx.zip);
    EXPECT_EQ(main.ArquivosLv->RowCount(), 2);
}

TEST_F(SearchFormTest, ScreenshotsInTheThreeLanguages) {
    Fixture fx;
    const std::string folder = mvtest::ScreenshotFolder("search");
    const std::pair<int32_t, const char*> languages[] = {{lbPortuguese, "pt"}, {lbEnglish, "en"}, {lbSpanish, "es"}};
    for (const auto& [base, code] : languages) {
        SetLanguageBase(base);
        AnswerOk();
        std::string caption;
        const std::string lang = code;
        Show(fx.Folder(), [&](TFormProcura& f) {
            caption = f.Caption();
            Search(f, "needle", false);
            EXPECT_TRUE(SaveControlImage(f, folder + "/search-results-" + lang + ".png"));
            UserClick(f.FecharBtn);
        });
        EXPECT_EQ(caption, LoadLangStr(115));
        // The password question as it shows.
        {
            TModalDriver driver;
            driver.Queue({TModalAction::maClickResult, mrCancel, std::string("typed"), [&](TForm& q) {
                              EXPECT_TRUE(SaveControlImage(q, folder + "/search-password-" + lang + ".png"));
                          }});
            std::string password;
            EXPECT_FALSE(AskSearchPassword("member.txt", password));
        }
    }
}

} // namespace
} // namespace mv
