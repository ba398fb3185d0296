// Extraction as the user meets it: the real main window on the offscreen platform,
// its Extract button, the real extract dialog and the real prompts answered through
// the modal driver. Every readable fixture type, with stored folders on and off and
// selected, all or masked entries, gives what a peer tool's extraction gives; the
// overwrite, password and next-volume questions; a damaged member; Cancel pressed on
// the progress window in mid-run while every other command is held; hostile names;
// a large extraction that keeps the window responsive; and the screenshots of the
// forms in the three languages. The engines' own cases stay in ArchiveOperationsTest.
#include "app/mainwindow/FormPrincipal.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/dialogs/ExtractDialog.h"
#include "app/dialogs/SmallPrompts.h"
#include "app/mainwindow/ArchiveRows.h"
#include "app/mainwindow/OpenArchiveDialog.h"
#include "controls/listview/ExtListView.h"
#include "controls/toolkit/docking/ToolDock.h"
#include "controls/toolkit/files/TypeAheadCombo.h"
#include "platform/Sound.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Edits.h"
#include "platform/ui/Labels.h"
#include "platform/ui/Menu.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/Panels.h"
#include "platform/ui/StdControls.h"
#include "tests/app/UserInput.h"
#include "tests/app/operations/ExtractTrees.h"
#include "tests/support/DesktopFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <set>

namespace mv {
namespace {

namespace fs = std::filesystem;
using mvtest::CorpusDir;
using mvtest::Quote;
using mvtest::TempDir;
using namespace extracttest;

struct Lang {
    const char* name;
    int32_t base;
};
const Lang Langs[] = {{"pt", lbPortuguese}, {"en", lbEnglish}, {"es", lbSpanish}};

std::string Shot(const std::string& name) {
    return mvtest::ScreenshotFolder("extract") + "/" + name + ".png";
}

void Pump() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

using mvtest::UserClick;

// The texts of a shown form, joined, for finding a message in it.
std::string Joined(const TShownForm& form) {
    std::string all = form.Caption;
    for (const std::string& t : form.Texts) all += "\n" + t;
    return all;
}

// The main window in a fresh desktop, shown, with no sounds.
struct Window {
    mvtest::DesktopFixture desktop;
    TempDir temp;
    std::unique_ptr<TFormPrincipal> form;
    explicit Window(int32_t language = lbPortuguese) {
        EnsureApplication();
        SetLanguageBase(language);
        SetSoundBackEnd(std::make_unique<TSilentSound>());
        form = std::make_unique<TFormPrincipal>(nullptr);
        form->Show();
        Pump();
    }
    ~Window() {
        form.reset();
        SetLanguageBase(lbPortuguese);
    }
    TFormPrincipal& f() { return *form; }

    // File, Open..., the open dialog answers with the archive.
    void Open(const std::string& archive, std::vector<TModalAnswer> prompts = {}) {
        SetOpenArchiveDialogRunner([archive](TForm*, const TOpenArchiveRequest&, std::string& chosen) {
            chosen = archive;
            return true;
        });
        TModalDriver driver;
        for (auto& a : prompts) driver.Queue(a);
        f().AbrirArquivo1->Action()->trigger();
        Pump();
        SetOpenArchiveDialogRunner({});
        ASSERT_EQ(f().Opener().ArchiveFile(), archive);
    }
};

// The overwrite prompt's "Yes to all".
constexpr int kYesToAll = 5;

enum class Which { All, Selected, Mask };

// What the user does in the extract dialog.
struct Choice {
    Choice(fs::path folder, bool storedFolders = true, Which which = Which::All, std::string mask = {})
        : folder(std::move(folder)), storedFolders(storedFolders), which(which), mask(std::move(mask)) {}
    fs::path folder;
    bool storedFolders;
    Which which;
    std::string mask;
    bool ask = false; // confirm overwrites instead of replacing
    std::function<void(TfrmExtract&)> inspect;
};

// The extract dialog answered as the choice says: the folder typed, the check box and
// radio buttons clicked, then Extrair.
TModalAnswer DialogAnswer(const Choice& c) {
    return {TModalAction::maClickResult, 99, std::nullopt, [c](TForm& form) {
                auto& d = dynamic_cast<TfrmExtract&>(form);
                if (c.inspect) c.inspect(d);
                d.DestinoCb->SetTextValue(c.folder.string() + "/");
                if (d.UsaPastaChk->Checked() != c.storedFolders) UserClick(d.UsaPastaChk);
                d.ArquivosRg->SetItemIndex(c.ask ? 1 : 0);
                switch (c.which) {
                case Which::All:
                    UserClick(d.TodosRb);
                    break;
                case Which::Selected:
                    UserClick(d.SelecionadosRb);
                    break;
                case Which::Mask:
                    UserClick(d.MascaraRb);
                    d.MascaraEdit->SetTextValue(c.mask);
                    break;
                }
                UserClick(d.ExtrairBtn);
            }};
}

// Presses the toolbar's Extract button; the dialog and then the queued prompts are
// answered. Answers the forms shown (the dialog first).
std::vector<TShownForm> Extract(Window& w, const Choice& c, std::vector<TModalAnswer> prompts = {},
                                int* unanswered = nullptr) {
    fs::create_directories(c.folder);
    TModalDriver driver;
    driver.Queue(DialogAnswer(c));
    for (auto& a : prompts) driver.Queue(a);
    UserClick(w.f().ExtrairBtn);
    Pump();
    if (unanswered) *unanswered = driver.Unanswered();
    EXPECT_FALSE(w.f().Operations().Busy());
    return driver.Shown();
}

// Selects the list's rows by their stored names (as a click would).
void SelectRows(TFormPrincipal& f, const std::set<std::string>& storedNames) {
    f.ArquivosLv->ClearSelection();
    for (int item = 0; item < f.ArquivosLv->RowCount(); ++item) {
        const TArchiveRow& row = f.List().Rows()[size_t(f.List().RowIndexOf(item))];
        if (storedNames.count(row.StoredName())) f.ArquivosLv->SetItemState(item, LVIS_SELECTED, LVIS_SELECTED);
    }
}

std::string Slashed(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

// The readable types: the engines' table, plus self-extracting and multi-part archives.
struct WindowTypeCase {
    const char* path;
    Peer peer;
};
std::vector<WindowTypeCase> ReadableTypes() {
    std::vector<WindowTypeCase> cases;
    for (const TypeCase& c : kReadableTypes) cases.push_back({c.path, c.peer});
    cases.push_back({"lha/lha213_sfx.exe", Peer::Manifest});
    cases.push_back({"rar/rar3_vols.part1.rar", Peer::Manifest});
    cases.push_back({"cab/split-1.cab", Peer::Manifest});
    return cases;
}

class ExtractEveryType : public ::testing::TestWithParam<WindowTypeCase> {};

TEST_P(ExtractEveryType, AsThePeerExtractsIt) {
    MV_REQUIRE_TOOL("7z");
    {
        const WindowTypeCase& c = GetParam();
        const std::string archive = (CorpusDir() / c.path).string();
        Window w;
        w.Open(archive);
        const fs::path root = w.temp.Path();

        // All entries with their folders: the peer's tree (or the manifest's files).
        auto shown = Extract(w, {root / "all"});
        ASSERT_TRUE(w.f().ExtrairBtn->Enabled());
        ASSERT_EQ(shown.size(), 1u) << (shown.empty() ? std::string() : Joined(shown.back()));
        const Tree ours = ReadTree(root / "all");
        if (c.peer == Peer::Manifest) {
            ExpectManifestMatch(c.path, ours);
        } else {
            const Tree peer = PeerExtraction(archive, root / "peer");
            EXPECT_EQ(Names(ours), Names(peer));
            EXPECT_TRUE(ours == peer);
        }
        ASSERT_FALSE(ours.empty());

        // All without folders: every file under its own name.
        Tree flat;
        if (Flatten(ours, flat)) {
            shown = Extract(w, {root / "flat", false});
            EXPECT_EQ(shown.size(), 1u);
            EXPECT_EQ(Names(ReadTree(root / "flat")), Names(flat));
            EXPECT_TRUE(ReadTree(root / "flat") == flat);
        }

        // Two selected rows (one when there is one file), with and without folders.
        std::set<std::string> chosen;
        Tree expected, expectedFlat;
        for (const TArchiveRow& row : w.f().List().Rows()) {
            const auto it = ours.find(Slashed(row.StoredName()));
            if (it == ours.end() || chosen.size() == 2) continue;
            chosen.insert(row.StoredName());
            expected.insert(*it);
            expectedFlat[fs::path(it->first).filename().string()] = it->second;
        }
        ASSERT_FALSE(chosen.empty());
        for (const bool folders : {true, false}) {
            SCOPED_TRACE(folders);
            SelectRows(w.f(), chosen);
            const fs::path out = root / (folders ? "sel" : "selflat");
            std::vector<TModalAnswer> prompts;
            // The CAB question on picking entries out of one stream: Yes.
            const bool cab = w.f().Opener().ArcType() == TArcType::atCab;
            if (cab) prompts.push_back({TModalAction::maClickResult, mrYes, std::nullopt, {}});
            shown = Extract(w, {out, folders, Which::Selected}, prompts);
            ASSERT_EQ(shown.size(), cab ? 2u : 1u);
            if (cab) {
                EXPECT_NE(Joined(shown[1]).find(LoadLangStr(69)), std::string::npos);
            }
            EXPECT_TRUE(ReadTree(out) == (folders ? expected : expectedFlat)) << Names(ReadTree(out)).size();
        }

        // A mask, without folders: the files with the first file's extension.
        const std::string ext = fs::path(ours.begin()->first).extension().string();
        if (!ext.empty() && Flatten(ours, flat)) {
            w.f().ArquivosLv->ClearSelection();
            Tree masked;
            for (const auto& [k, v] : flat)
                if (Lower(fs::path(k).extension().string()) == Lower(ext)) masked[k] = v;
            shown = Extract(w, {root / "mask", false, Which::Mask, "*" + ext});
            EXPECT_EQ(shown.size(), 1u);
            EXPECT_TRUE(ReadTree(root / "mask") == masked) << Names(ReadTree(root / "mask")).size();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ExtractFromMainWindow, ExtractEveryType, ::testing::ValuesIn(ReadableTypes()),
                         [](const ::testing::TestParamInfo<WindowTypeCase>& info) {
                             std::string name = info.param.path;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

// A self-extracting ZIP (an installer script with the zip after it): all, selected
// and without folders, as the peer extracts it.
TEST(ExtractFromMainWindow, ASelfExtractingZip) {
    MV_REQUIRE_TOOL("zip");
    MV_REQUIRE_TOOL("7z");
    const TempDir src;
    fs::create_directories(src / "in/docs");
    mvtest::WriteFileBytes(src / "in/setup.bin", mvtest::RandomBytes(7000, 3));
    mvtest::WriteFileBytes(src / "in/docs/read me.txt", mvtest::TextBytes(2500, 4));
    ASSERT_EQ(mvtest::Run("cd " + Quote((src / "in").string()) + " && zip -q -r ../p.zip setup.bin docs").exitCode, 0);
    {
        std::ofstream sfx(src / "setup.sh", std::ios::binary);
        sfx << "#!/bin/sh\necho installing\nexit 0\n" << ReadAll(src / "p.zip");
    }
    ASSERT_EQ(mvtest::Run("zip -q -A " + Quote((src / "setup.sh").string())).exitCode, 0);
    Window w;
    w.Open((src / "setup.sh").string());
    ASSERT_EQ(w.f().Opener().ArcType(), TArcType::atZipExe);
    const Tree peer = PeerExtraction((src / "setup.sh").string(), w.temp / "peer");
    ASSERT_EQ(peer.size(), 2u);
    Extract(w, {w.temp / "all"});
    EXPECT_TRUE(ReadTree(w.temp / "all") == peer);
    Extract(w, {w.temp / "flat", false});
    EXPECT_EQ(Names(ReadTree(w.temp / "flat")), (std::vector<std::string>{"read me.txt", "setup.bin"}));
    SelectRows(w.f(), {"docs\\read me.txt"});
    Extract(w, {w.temp / "sel", true, Which::Selected});
    EXPECT_EQ(ReadTree(w.temp / "sel"), (Tree{{"docs/read me.txt", peer.at("docs/read me.txt")}}));
}

// The folder chosen last is the one the dialog proposes next time ("last used").
TEST(ExtractFromMainWindow, TheDialogProposesTheLastFolder) {
    Window w;
    w.Open((CorpusDir() / "arc/arc601.arc").string());
    const fs::path first = w.temp / "first";
    Extract(w, {first});
    EXPECT_EQ(w.f().Options().UltimaPastaExtrair, first.string() + "/");
    std::string offered;
    Choice again{w.temp / "second"};
    again.inspect = [&](TfrmExtract& d) { offered = d.DestinoCb->Text(); };
    Extract(w, again);
    EXPECT_EQ(offered, first.string() + "/");
    EXPECT_EQ(ReadTree(first), ReadTree(w.temp / "second"));
}

// Existing files answered in turn on the real overwrite prompt, for a reader (ARC)
// and for the vendor library (ZIP): which are replaced, and how often it asks.
TEST(ExtractFromMainWindow, TheOverwriteProtocol) {
    struct Case {
        std::vector<int> answers; // the prompt's buttons, in turn
        bool ask;                 // the dialog's "confirm" choice
        int prompts;
        std::vector<bool> replaced; // the three files, in name order
    } cases[] = {
        {{mrYes, mrYes, mrYes}, true, 3, {true, true, true}},
        {{mrNo, mrNo, mrNo}, true, 3, {false, false, false}},
        {{mrNo, kYesToAll}, true, 2, {false, true, true}},
        {{mrYes, mrCancel}, true, 2, {true, false, false}},
        {{}, false, 0, {true, true, true}},
    };
    MV_REQUIRE_TOOL("zip");
    const TempDir src;
    fs::create_directories(src / "in");
    for (const char* n : {"a.txt", "b.txt", "c.txt"}) std::ofstream(src / "in" / n) << "new " << n;
    ASSERT_EQ(mvtest::Run("cd " + Quote((src / "in").string()) + " && zip -q ../three.zip a.txt b.txt c.txt").exitCode, 0);
    for (const std::string& archive : {(CorpusDir() / "arc/arc601.arc").string(), (src / "three.zip").string()}) {
        Window w;
        w.Open(archive);
        const bool vendor = archive.find(".zip") != std::string::npos;
        for (const Case& c : cases) {
            SCOPED_TRACE(archive + " " + std::to_string(c.answers.size()) + " " + std::to_string(c.ask));
            const fs::path out = w.temp / ("out" + std::to_string(&c - cases));
            Extract(w, {out});
            const Tree original = ReadTree(out);
            ASSERT_EQ(original.size(), 3u);
            for (const auto& [name, content] : original) std::ofstream(out / name, std::ios::trunc) << "old";
            std::vector<TModalAnswer> answers;
            std::vector<std::string> titles;
            for (int a : c.answers)
                answers.push_back({TModalAction::maClickResult, a, std::nullopt, [&titles](TForm& form) {
                                       titles.push_back(dynamic_cast<TfrmOverwrite&>(form).TituloLbl->Caption());
                                   }});
            // The vendor library tells that the operation was cancelled; a reader stops quietly.
            const bool cancelled = !c.answers.empty() && c.answers.back() == mrCancel;
            if (cancelled && vendor) answers.push_back({TModalAction::maEnter, mrNone, std::nullopt, {}});
            Choice choice{out};
            choice.ask = c.ask;
            int unanswered = 0;
            const auto shown = Extract(w, choice, answers, &unanswered);
            EXPECT_EQ(unanswered, 0);
            EXPECT_EQ(shown.size(), 1 + answers.size());
            if (cancelled && vendor) {
                EXPECT_NE(Joined(shown.back()).find(LoadLangStr(295)), std::string::npos) << Joined(shown.back());
            }
            EXPECT_EQ(static_cast<int>(titles.size()), c.prompts);
            size_t i = 0;
            for (const auto& [name, content] : original) {
                SCOPED_TRACE(name);
                EXPECT_EQ(ReadAll(out / name), c.replaced[i] ? content : "old");
                if (i < titles.size()) {
                    EXPECT_EQ(titles[i], LoadLangStr(88) + "\"" + name + "\"");
                }
                ++i;
            }
            EXPECT_EQ(w.f().Opener().Vendor().OverwriteAnswer, 7);
        }
    }
}

// The password prompt: the right password extracts, a wrong one leaves nothing behind,
// Cancel stops; through a reader (ARJ) and through the vendor library (ZIP).
TEST(ExtractFromMainWindow, PasswordsRightWrongAndCancel) {
    MV_REQUIRE_TOOL("7z");
    struct Case {
        const char* fixture;
        const char* password;
        std::vector<TModalAnswer> answers;
        bool extracted;
    };
    const auto typed = [](const char* text) {
        return TModalAnswer{TModalAction::maEnter, mrNone, std::string(text), {}};
    };
    const TModalAnswer cancel{TModalAction::maEscape, mrNone, std::nullopt, {}};
    const Case cases[] = {
        {"arj/garbled.arj", "secret", {typed("secret")}, true},
        {"arj/garbled.arj", "secret", {typed("wrong")}, false},
        {"arj/garbled.arj", "secret", {cancel}, false},
        {"zip/trad_encrypted_deflate.zip", "12345678", {typed("12345678")}, true},
        {"zip/trad_encrypted_deflate.zip", "12345678", {typed("wrong"), cancel}, false},
        {"zip/trad_encrypted_deflate.zip", "12345678", {cancel}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + " " + std::to_string(c.answers.size()) + " " +
                     (c.answers[0].EditText ? *c.answers[0].EditText : "esc"));
        const std::string archive = (CorpusDir() / c.fixture).string();
        Window w;
        w.Open(archive);
        const fs::path out = w.temp / "out";
        int unanswered = 0;
        const auto shown = Extract(w, {out}, c.answers, &unanswered);
        ASSERT_GE(shown.size(), 2u);
        EXPECT_NE(Joined(shown[1]).find(LoadLangStr(424)), std::string::npos) << Joined(shown[1]);
        const fs::path peerDir = w.temp / "peer";
        fs::create_directories(peerDir);
        mvtest::Run("7z x -y -p" + std::string(c.password) + " -o" + Quote(peerDir.string()) + " " + Quote(archive));
        if (c.extracted) {
            EXPECT_EQ(unanswered, 0);
            if (c.fixture[0] == 'a')
                ExpectManifestMatch(c.fixture, ReadTree(out));
            else
                EXPECT_TRUE(ReadTree(out) == ReadTree(peerDir));
        } else {
            // Nothing wrong is left behind.
            EXPECT_TRUE(ReadTree(out).empty()) << Names(ReadTree(out)).size();
        }
    }
}

// A multi-volume ARJ whose third part is missing: the next-volume prompt names it;
// Cancel stops; OK once the part is there goes on to the end.
TEST(ExtractFromMainWindow, AMissingVolumeIsAskedForAndTheExtractionGoesOn) {
    for (const bool supply : {true, false}) {
        SCOPED_TRACE(supply);
        Window w;
        const fs::path set = w.temp / "set";
        fs::create_directories(set);
        for (const char* part : {"multi.arj", "multi.a01"}) fs::copy_file(CorpusDir() / "arj" / part, set / part);
        // The listing meets the missing part first: cancelled there.
        w.Open((set / "multi.arj").string(), {{TModalAction::maClickResult, mrCancel, std::nullopt, {}}});
        std::string message;
        TModalAnswer prompt{TModalAction::maClickResult, supply ? mrOk : mrCancel, std::nullopt, [&](TForm& form) {
                                message = dynamic_cast<TFrmNovoDisco&>(form).MensagemLb->Caption();
                                if (supply) fs::copy_file(CorpusDir() / "arj/multi.a02", set / "multi.a02");
                            }};
        const fs::path out = w.temp / "out";
        int unanswered = 0;
        // Cancelled, the run ends with the reader's error box.
        std::vector<TModalAnswer> answers{prompt};
        if (!supply) answers.push_back({TModalAction::maEnter, mrNone, std::nullopt, {}});
        const auto shown = Extract(w, {out}, answers, &unanswered);
        EXPECT_EQ(message.rfind(LoadLangStr(106) + (set / "multi.a02").string() + "   " + LoadLangStr(107), 0), 0u)
            << message;
        EXPECT_EQ(unanswered, 0);
        if (supply) {
            ExpectManifestMatch("arj/multi.arj", ReadTree(out));
            EXPECT_EQ(shown.size(), 2u); // the dialog and the one prompt
        } else {
            // The member cut at the missing part is named, and no piece of it is left.
            ASSERT_EQ(shown.size(), 3u);
            const std::string box = Joined(shown[2]);
            const size_t at = box.find(LoadLangStr(51) + "\n");
            ASSERT_NE(at, std::string::npos) << box;
            const std::string cut = box.substr(at + LoadLangStr(51).size() + 1);
            EXPECT_EQ(cut.rfind(out.string() + "/", 0), 0u) << cut;
            EXPECT_FALSE(fs::exists(cut)) << cut;
            EXPECT_LT(ReadTree(out).size(), 3u);
        }
    }
}

// A damaged member: the box names it; the sound member is extracted.
TEST(ExtractFromMainWindow, ADamagedMemberIsReportedByName) {
    MV_REQUIRE_TOOL("lha");
    const TempDir src;
    fs::create_directories(src / "in");
    for (const char* name : {"one.txt", "two.txt"}) {
        std::ofstream f(src / "in" / name, std::ios::binary);
        for (int i = 0; i < 2000; ++i) f << name << " line " << i << "\n";
    }
    ASSERT_EQ(mvtest::Run("cd " + Quote((src / "in").string()) + " && lha -aq ../d.lzh one.txt two.txt").exitCode, 0);
    auto bytes = mvtest::ReadFileBytes(src / "d.lzh");
    bytes[120] ^= 0x55; // inside the first member's packed data
    mvtest::WriteFileBytes(src / "d.lzh", bytes);
    Window w;
    w.Open((src / "d.lzh").string());
    const fs::path out = w.temp / "out";
    int unanswered = 0;
    const auto shown = Extract(w, {out}, {{TModalAction::maEnter, mrNone, std::nullopt, {}}}, &unanswered);
    EXPECT_EQ(unanswered, 0);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(Joined(shown[1]).find(LoadLangStr(51) + "\n" + (out / "one.txt").string()), std::string::npos)
        << Joined(shown[1]);
    EXPECT_FALSE(fs::exists(out / "one.txt"));
    EXPECT_EQ(ReadAll(out / "two.txt"), ReadAll(src / "in/two.txt"));
}

// Names that climb out of the folder, and an absolute one: nothing lands outside the
// chosen folder, through a reader (TAR) and the vendor library (ZIP).
TEST(ExtractFromMainWindow, HostileNamesStayInsideTheFolder) {
    MV_REQUIRE_TOOL("zip");
    const TempDir src;
    fs::create_directories(src / "in/sub");
    std::ofstream(src / "in/sub/evil.txt") << "evil";
    std::ofstream(src / "in/good.txt") << "good";
    const std::string sub = Quote((src / "in/sub").string());
    ASSERT_EQ(mvtest::Run("cd " + sub + " && tar cf ../../h.tar --absolute-names ../good.txt ../../in/sub/evil.txt " +
                          Quote((src / "in/good.txt").string()))
                  .exitCode,
              0);
    ASSERT_EQ(mvtest::Run("cd " + sub + " && zip -q ../../h.zip ../good.txt evil.txt").exitCode, 0);
    for (const char* archive : {"h.tar", "h.zip"}) {
        SCOPED_TRACE(archive);
        Window w;
        w.Open((src / archive).string());
        const fs::path out = w.temp / "deep/out";
        Extract(w, {out}, {{TModalAction::maEnter, mrNone, std::nullopt, {}}});
        for (const auto& e : fs::recursive_directory_iterator(w.temp.Path()))
            if (e.is_regular_file()) {
                EXPECT_EQ(e.path().string().rfind(out.string() + "/", 0), 0u) << e.path();
            }
        EXPECT_EQ(ReadAll(src / "in/good.txt"), "good");
        EXPECT_FALSE(ReadTree(out).empty());
    }
}
// A timer that ticks whenever the window's messages run: what the user's clicks and
// the repaints see during an operation.
struct Ticker {
    QTimer timer;
    explicit Ticker(int intervalMs, std::function<void()> tick) {
        timer.setInterval(intervalMs);
        QObject::connect(&timer, &QTimer::timeout, [tick] { tick(); });
        timer.start();
    }
};

void SendDoubleClick(TExtListView& list) {
    QWidget* widget = list.Widget();
    const TRect r = list.ItemRect(0);
    const QPoint at(20, (r.Top + r.Bottom) / 2);
    QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(at), QPointF(widget->mapToGlobal(at)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Enter on the list (a key no menu item takes as its shortcut).
void SendEnterKey(TExtListView& list) {
    QKeyEvent event(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(list.Widget(), &event);
}

// Cancel on the progress window (centred on the screen) in mid-run: the run stops with
// "Cancelling..."; meanwhile every other command is held (menus, buttons, reopen menu,
// the list's double click and keys, closing the window), and each comes back as it was.
TEST(ExtractFromMainWindow, CancelMidRunWhileEveryOtherCommandIsHeld) {
    MV_REQUIRE_TOOL("zip");
    const TempDir src;
    fs::create_directories(src / "in");
    // Enough members that the cancel lands before the last one on a busy machine too.
    constexpr size_t files = 200;
    for (size_t i = 0; i < files; ++i)
        mvtest::WriteFileBytes(src / "in" / ("f" + std::to_string(1000 + i)), mvtest::RandomBytes(60000, uint32_t(i)));
    const std::string in = Quote((src / "in").string());
    ASSERT_EQ(mvtest::Run("cd " + in + " && tar cf ../c.tar f* && zip -q ../c.zip f*").exitCode, 0);
    for (const char* archive : {"c.tar", "c.zip"}) {
        SCOPED_TRACE(archive);
        Window w;
        TFormPrincipal& f = w.f();
        w.Open((src / archive).string());
        int doubleClicks = 0, listKeys = 0;
        f.ArquivosLv->OnDblClick = [&](TComponent*) { ++doubleClicks; };
        f.ArquivosLv->OnKeyDown = [&](TComponent*, uint16_t&, TShiftState) { ++listKeys; };
        const std::vector<TMenuItem*> items = {f.AbrirArquivo1, f.Reabrir1, f.mnuFecharArquivo1, f.Sair1,
                                               f.mnuAdicionar1, f.Extrair1, f.Excluir1, f.Refresh1,
                                               f.Explorer1, f.AjudadoMorvelan1};
        const std::vector<TSpeedButton*> buttons = {f.AbrirBtn, f.AdicionarBtn, f.ExtrairBtn, f.ExplorerBtn};
        std::vector<bool> before;
        for (TMenuItem* m : items) before.push_back(m->Enabled());
        for (TSpeedButton* b : buttons) before.push_back(b->Enabled());

        int ticks = 0;
        bool anyEnabled = false, cancelLive = false, progressShown = false, stayedOpen = false,
             progressCentred = false;
        int shownWhileBusy = -1;
        TModalDriver* driver = nullptr;
        Ticker ticker(0, [&] {
            if (!f.Operations().Busy() || f.ProgressFileLbl->Caption().empty()) return;
            if (++ticks != 3) return;
            for (TMenuItem* m : items) anyEnabled |= m->Enabled();
            for (TSpeedButton* b : buttons) anyEnabled |= b->Enabled();
            cancelLive = f.CancelarBtn->Enabled() && f.CancelarBtn->Visible();
            progressShown = f.ProgressWindow->Visible();
            // The user tries other commands: the menu, the button, the list.
            const size_t shown = driver->Shown().size();
            f.Extrair1->Action()->trigger();
            UserClick(f.ExtrairBtn);
            f.mnuExtrair1Click();
            SendDoubleClick(*f.ArquivosLv);
            SendEnterKey(*f.ArquivosLv);
            // Closing the window waits for the run.
            f.Close();
            stayedOpen = f.Visible();
            shownWhileBusy = int(driver->Shown().size() - shown);
            progressCentred = std::abs(f.ProgressWindow->FloatingHost()->Left() +
                                       f.ProgressWindow->FloatingHost()->Width() / 2 - ScreenWidth() / 2) <= 1;
            UserClick(f.CancelarBtn);
        });
        const fs::path out = w.temp / "out";
        fs::create_directories(out);
        TModalDriver modal;
        driver = &modal;
        modal.Queue(DialogAnswer({out}));
        modal.Queue({TModalAction::maEnter, mrNone, std::nullopt, {}});
        UserClick(f.ExtrairBtn);
        Pump();
        ticker.timer.stop();
        EXPECT_GE(ticks, 3);
        EXPECT_FALSE(anyEnabled);
        EXPECT_TRUE(cancelLive);
        EXPECT_TRUE(progressShown);
        EXPECT_EQ(shownWhileBusy, 0);
        EXPECT_EQ(doubleClicks, 0);
        EXPECT_EQ(listKeys, 0);
        EXPECT_TRUE(stayedOpen);
        EXPECT_TRUE(progressCentred);
        // A reader stops quietly; the vendor library says the operation was cancelled.
        const bool vendor = std::string(archive) == "c.zip";
        ASSERT_EQ(modal.Shown().size(), vendor ? 2u : 1u);
        if (vendor) {
            EXPECT_NE(Joined(modal.Shown()[1]).find(LoadLangStr(295)), std::string::npos);
        }
        EXPECT_EQ(f.ProgressMessageLbl->Caption(), LoadLangStr(105));
        EXPECT_FALSE(f.ProgressWindow->Visible());
        const Tree got = ReadTree(out);
        EXPECT_LT(got.size(), files);
        EXPECT_FALSE(f.Operations().Busy());
        std::vector<bool> after;
        for (TMenuItem* m : items) after.push_back(m->Enabled());
        for (TSpeedButton* b : buttons) after.push_back(b->Enabled());
        EXPECT_EQ(after, before);
        SendDoubleClick(*f.ArquivosLv);
        SendEnterKey(*f.ArquivosLv);
        EXPECT_EQ(doubleClicks, 1);
        EXPECT_EQ(listKeys, 1);
        // The next run goes to the end.
        Extract(w, {out});
        EXPECT_EQ(ReadTree(out).size(), files);
    }
}

// A large extraction: the progress bar advances and the window's messages keep
// running, timed by a timer's ticks: at most 100 ms from one to the next.
TEST(ExtractFromMainWindow, ALargeExtractionShowsProgressAndStaysResponsive) {
    MV_REQUIRE_TOOL("zip");
    const TempDir src;
    // 300 MB of one highly compressible member (a sparse file: quick to make).
    constexpr int64_t size = 300ll << 20;
    {
        std::ofstream(src / "big.bin").close();
        fs::resize_file(src / "big.bin", size);
    }
    ASSERT_EQ(mvtest::Run("cd " + Quote(src.Path().string()) + " && zip -q -1 big.zip big.bin && rm big.bin").exitCode, 0);
    Window w;
    TFormPrincipal& f = w.f();
    w.Open((src / "big.zip").string());
    std::vector<std::chrono::steady_clock::time_point> times;
    std::vector<int> positions;
    Ticker ticker(5, [&] {
        if (!f.Operations().Busy()) return;
        times.push_back(std::chrono::steady_clock::now());
        positions.push_back(f.ProgressBar->Position());
    });
    const fs::path out = w.temp / "out";
    Extract(w, {out});
    ticker.timer.stop();
    ASSERT_EQ(fs::file_size(out / "big.bin"), uintmax_t(size));
    ASSERT_GE(times.size(), 10u);
    // The bar only moves forward, through many steps, to the end.
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_GE(std::set<int>(positions.begin(), positions.end()).size(), 10u);
    EXPECT_GE(positions.back(), 90);
    std::vector<int64_t> gaps;
    for (size_t i = 1; i < times.size(); ++i)
        gaps.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(times[i] - times[i - 1]).count());
    std::sort(gaps.begin(), gaps.end());
    std::cout << "ticks " << times.size() << ", gaps median " << gaps[gaps.size() / 2] << " ms, max " << gaps.back()
              << " ms\n";
    // A busy machine may hold the process now and then; the pumping itself keeps the
    // gaps short.
    EXPECT_LE(gaps[gaps.size() * 95 / 100], 100);
    fs::remove(out / "big.bin");
}

// The forms of an extraction in the three languages: the dialog with its tree shown
// and hidden, the overwrite prompt filled, the progress window in mid-run, the
// password prompt and the next-volume prompt.
TEST(ExtractFromMainWindow, ScreenshotsInThreeLanguages) {
    const TempDir src;
    fs::create_directories(src / "in");
    for (int i = 0; i < 20; ++i)
        mvtest::WriteFileBytes(src / "in" / ("file" + std::to_string(i) + ".bin"), mvtest::RandomBytes(80000, uint32_t(i)));
    ASSERT_EQ(mvtest::Run("cd " + Quote((src / "in").string()) + " && tar cf ../p.tar file*").exitCode, 0);
    const auto save = [](const std::string& name) {
        return [name](TForm& form) {
            Pump();
            EXPECT_TRUE(SaveControlImage(form, Shot(name))) << name;
        };
    };
    for (const Lang& lang : Langs) {
        SCOPED_TRACE(lang.name);
        const std::string l = lang.name;
        {
            Window w(lang.base);
            TFormPrincipal& f = w.f();
            w.Open((CorpusDir() / "arc/arc601.arc").string());
            const fs::path out = w.temp / "out";
            Choice first{out};
            first.inspect = [&](TfrmExtract& d) {
                Pump();
                EXPECT_TRUE(SaveControlImage(d, Shot("dialog-tree-on-" + l)));
                UserClick(d.ArvoreBtn);
                Pump();
                EXPECT_TRUE(SaveControlImage(d, Shot("dialog-tree-off-" + l)));
                UserClick(d.ArvoreBtn);
            };
            Extract(w, first);
            Choice again{out};
            again.ask = true;
            Extract(w, again, {{TModalAction::maClickResult, mrCancel, std::nullopt, save("overwrite-" + l)}});

            // The progress window while the third file is under way.
            w.Open((src / "p.tar").string());
            int begun = 0;
            Ticker ticker(0, [&] {
                if (!f.Operations().Busy() || f.ProgressFileLbl->Caption().empty() || ++begun != 3) return;
                EXPECT_TRUE(SaveControlImage(*f.ProgressWindow, Shot("progress-" + l)));
                EXPECT_TRUE(SaveControlImage(f, Shot("window-busy-" + l)));
            });
            Extract(w, {w.temp / "p"});
            EXPECT_GE(begun, 3);
        }
        {
            Window w(lang.base);
            w.Open((CorpusDir() / "arj/garbled.arj").string());
            Extract(w, {w.temp / "out"}, {{TModalAction::maEscape, mrNone, std::nullopt, save("password-" + l)}});
        }
        {
            Window w(lang.base);
            const fs::path set = w.temp / "set";
            fs::create_directories(set);
            for (const char* part : {"multi.arj", "multi.a01"}) fs::copy_file(CorpusDir() / "arj" / part, set / part);
            w.Open((set / "multi.arj").string(),
                   {{TModalAction::maClickResult, mrCancel, std::nullopt, save("next-volume-" + l)}});
        }
    }
}

} // namespace
} // namespace mv
