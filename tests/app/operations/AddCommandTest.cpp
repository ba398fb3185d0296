// The add command driven through the real add dialog and the modal driver: for each
// writable type, a new archive and one a peer made, checked by the peer's own test and
// extracted by the peer byte for byte with names (UTF-8 included) and dates; the
// method mapping; the stored-name table; the engine choice by fake drives; Move that
// deletes only what was stored; a full disk and an unreadable source leaving an
// existing archive byte-identical with no temporary file.
#include "app/operations/AddCommand.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/common/Sounds.h"
#include "app/dialogs/AddDialog.h"
#include "app/dialogs/SmallPrompts.h"
#include "app/mainwindow/ArchiveOpener.h"
#include "app/operations/ArchiveOperations.h"
#include "app/settings/Options.h"
#include "controls/shell/ShellList.h"
#include "controls/toolkit/checklist/CheckListBox.h"
#include "platform/FakeFileSystem.h"
#include "platform/Sound.h"
#include "platform/ui/ListView.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"
#include "tests/app/mainwindow/FakeMainWindowView.h"
#include "tests/support/DesktopFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sys/stat.h>
#include <utime.h>

namespace mv {
namespace {

namespace fs = std::filesystem;
using mvtest::Quote;
using mvtest::TempDir;

using Tree = std::map<std::string, std::string>; // relative path -> content

struct TPrompts : TOperationPrompts {
    int AskNextVolume(const std::string&, const std::string&) override { return 2; }
};

struct TAddView : TFakeMainWindowView {
    int ShowMessage(const std::string& text, uint8_t kind, uint16_t buttons) override {
        TFakeMainWindowView::ShowMessage(text, kind, buttons);
        return kind == mkQuestion ? 6 : 1;
    }
};

struct Window {
    TAddView view;
    TArchiveList list;
    TReopenList history;
    TArchiveOpener opener{view, list, history};
    TPrompts prompts;
    TArchiveOperations ops{view, opener, list, prompts};
    TOptions options;
    TAddCommand command{view, opener, ops, options};
    TempDir temp;
    Window() {
        ops.TempFolder = (temp.Path() / "tmp").string() + "/";
        fs::create_directories(temp.Path() / "tmp");
    }
};

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Tree ReadTree(const fs::path& root) {
    Tree t;
    if (!fs::exists(root)) return t;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) t[fs::relative(e.path(), root).generic_string()] = ReadAll(e.path());
    return t;
}

void UserClick(TControl* control) {
    auto* button = qobject_cast<QAbstractButton*>(control->Widget());
    ASSERT_NE(button, nullptr) << control->Name();
    button->click();
}

// A fixed modification time (even seconds, as DOS dates keep them).
constexpr int64_t FileTime = 1614834368; // 2021-03-04 05:06:08 UTC

void Stamp(const fs::path& p, int64_t t) {
    struct utimbuf times {
        static_cast<time_t>(t), static_cast<time_t>(t)
    };
    ::utime(p.c_str(), &times);
}

// The tree the tests add: text, random bytes, a UTF-8 name, a subfolder two deep.
Tree MakeSources(const fs::path& root, const std::string& utf8Name = "ção ü.txt") {
    Tree t;
    const auto text = mvtest::TextBytes(3000, 7);
    const auto bin = mvtest::RandomBytes(5000, 9);
    t["a.txt"] = std::string(text.begin(), text.end());
    t["sub/b.bin"] = std::string(bin.begin(), bin.end());
    t["sub/deeper/c.txt"] = "deep file\n";
    if (!utf8Name.empty()) t[utf8Name] = "named in UTF-8\n";
    for (const auto& [name, content] : t) {
        fs::create_directories((root / name).parent_path());
        mvtest::WriteFileText(root / name, content);
        Stamp(root / name, FileTime);
    }
    return t;
}

// Runs the add command: act runs while the add dialog is on screen; nested answers
// go to the forms it opens (the mask prompt, the password prompt).
// newArchive: the name the New command's save dialog gave; empty: the open archive.
bool AddThroughDialog(Window& w, const std::string& newArchive, const std::function<void(TfrmAddFiles&)>& act,
                      const std::vector<TModalAnswer>& nested = {}) {
    TModalDriver driver;
    driver.Queue({TModalAction::maClickResult, 99, std::nullopt,
                  [&](TForm& f) { act(dynamic_cast<TfrmAddFiles&>(f)); }});
    for (const auto& answer : nested) driver.Queue(answer);
    return newArchive.empty() ? w.command.AddFiles(false) : w.command.NewArchive(newArchive);
}

// In the dialog: the folder list goes to folder, the named items are selected and
// added (folders with the mask prompt's defaults: "*.*" with subfolders).
void PickItems(TfrmAddFiles& f, const fs::path& folder, const std::vector<std::string>& names) {
    f.SetCurrentFolder(folder.string());
    f.ArquivosLv->ClearSelection();
    for (const std::string& name : names) {
        const int row = f.ArquivosLv->IndexOfName(name);
        ASSERT_GE(row, 0) << name;
        f.ArquivosLv->SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
    }
    UserClick(f.btnAddDir);
}

void ChooseType(TfrmAddFiles& f, TAddArchiveKind kind, int methodIndex) {
    UserClick(f.TypeRadio(kind));
    if (methodIndex >= 0) f.MetodoCb->SetItemIndex(methodIndex);
}

const TModalAnswer MaskOk{TModalAction::maClickResult, mrOk, std::nullopt, {}};

// ---- the peers

struct TPeer {
    std::string Test;    // the peer's own test; %a is the archive
    std::string Extract; // extraction into the current folder
};

TPeer PeerOf(const std::string& ext) {
    if (ext == ".zip") return {"unzip -t %a", "unzip -q -o %a"};
    if (ext == ".jar") return {"7z t %a", "7z x -y %a"};
    if (ext == ".lha") return {"lha t %a", "lha xq %a"};
    if (ext == ".cab") return {"cabextract -t %a", "cabextract -q %a"};
    if (ext == ".tar") return {"bsdtar -tf %a", "bsdtar -xf %a"};
    if (ext == ".tgz") return {"gzip -t %a && bsdtar -tf %a", "bsdtar -xf %a"};
    if (ext == ".bh") return {Quote(mvtest::MvarcPath()) + " test %a", Quote(mvtest::MvarcPath()) + " extract %a ."};
    return {};
}

std::string WithArchive(std::string command, const std::string& archive) {
    for (size_t at; (at = command.find("%a")) != std::string::npos;) command.replace(at, 2, Quote(archive));
    return command;
}

// The peer tests the archive and extracts it into a fresh folder; the tree it made.
Tree PeerTree(const std::string& archive, const std::string& ext, const fs::path& into, bool& tested) {
    const TPeer peer = PeerOf(ext);
    const auto test = mvtest::Run(WithArchive(peer.Test, archive));
    tested = test.exitCode == 0;
    EXPECT_EQ(test.exitCode, 0) << peer.Test << "\n" << test.output;
    fs::remove_all(into);
    fs::create_directories(into);
    const auto x = mvtest::Run(WithArchive(peer.Extract, archive), into);
    EXPECT_EQ(x.exitCode, 0) << peer.Extract << "\n" << x.output;
    return ReadTree(into);
}

int64_t ModTime(const fs::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return -1;
    return st.st_mtime;
}

class AddCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        SetLanguageBase(lbPortuguese);
        SetSoundBackEnd(std::make_unique<TSilentSound>());
    }
    void TearDown() override {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
    }
    mvtest::DesktopFixture desktop;
};

// One writable type: the radio, its method, the name the new archive gets, how the
// peer reads it, whether the peer reads our UTF-8 names, whether the peer's
// extraction keeps dates (else its listing shows them), and how a peer makes an
// existing archive of old.txt (%a; empty: our own new archive).
struct TTypeCase {
    TAddArchiveKind Kind;
    int Method;
    std::string Suffix;
    std::string PeerExt;
    bool Utf8;
    std::string DateListing; // a listing command whose output shows the date (%a)
    std::string MakeExisting;
    bool Updatable = true; // the existing archive can take more files
};

const TTypeCase TypeCases[] = {
    {TAddArchiveKind::akZip, 2, ".zip", ".zip", true, "", "zip -q %a old.txt"},
    {TAddArchiveKind::akJar, 1, ".jar", ".jar", true, "", "zip -q %a old.txt"},
    // lhasa reads names as the OEM code page and sets no dates: its listing shows them
    {TAddArchiveKind::akLha, 2, ".lha", ".lha", false, "lha v %a", "lha aq %a old.txt"},
    {TAddArchiveKind::akCab, 1, ".cab", ".cab", true, "", "gcab -c %a old.txt"},
    {TAddArchiveKind::akTar, 0, ".tar", ".tar", true, "", "bsdtar -cf %a old.txt"},
    // a tar.gz is written whole: an existing one is refused and stays as it was
    {TAddArchiveKind::akTar, 1, ".tar.gz", ".tgz", true, "", "bsdtar -czf %a old.txt", false},
    {TAddArchiveKind::akBh, 1, ".bh", ".bh", true, "", ""},
};

TEST_F(AddCommandTest, EveryWritableTypeNewAndExistingPassesItsPeer) {
    for (const TTypeCase& c : TypeCases) {
        SCOPED_TRACE(c.Suffix + " read as " + c.PeerExt);
        Window w;
        const fs::path src = w.temp / "data/src";
        Tree expected = MakeSources(src, c.Utf8 ? "ção ü.txt" : "");
        // new: the folder with its subfolders, relative paths
        const std::string base = (w.temp / "new").string();
        ASSERT_TRUE(AddThroughDialog(
            w, base + ".zip",
            [&](TfrmAddFiles& f) {
                PickItems(f, w.temp / "data", {"src"});
                ChooseType(f, c.Kind, c.Method);
                UserClick(f.btnOK);
            },
            {MaskOk}));
        std::string archive = base + c.Suffix;
        ASSERT_TRUE(fs::exists(archive)) << archive;
        if (c.PeerExt == ".tgz") {
            EXPECT_EQ(mvtest::Run("gzip -t " + Quote(archive)).exitCode, 0);
        }
        bool tested = false;
        Tree got = PeerTree(archive, c.PeerExt, w.temp / "out", tested);
        EXPECT_EQ(got, expected);
        if (c.DateListing.empty()) {
            for (const auto& [name, content] : expected) EXPECT_EQ(ModTime(w.temp / "out" / name), FileTime) << name;
        } else {
            EXPECT_NE(mvtest::Run(WithArchive(c.DateListing, archive)).output.find("Mar 04  2021"), std::string::npos);
        }
        EXPECT_EQ(w.view.Boxes.size(), 0u) << (w.view.Boxes.empty() ? "" : w.view.Boxes[0].Text);

        // existing: made by a peer (BH by our own writer), one more file added
        Window e;
        fs::create_directories(e.temp / "old");
        mvtest::WriteFileText(e.temp / "old/old.txt", "old entry\n");
        const std::string existing = (e.temp / ("old/existing" + c.PeerExt)).string();
        if (c.MakeExisting.empty()) {
            fs::copy_file(archive, existing);
        } else {
            ASSERT_EQ(mvtest::Run(WithArchive(c.MakeExisting, existing), e.temp / "old").exitCode, 0);
        }
        const auto before = ReadAll(existing);
        const fs::path more = e.temp / "more";
        fs::create_directories(more);
        mvtest::WriteFileText(more / "added.txt", "added later\n");
        Stamp(more / "added.txt", FileTime);
        e.opener.OpenArchive(existing);
        const bool added = AddThroughDialog(e, {}, [&](TfrmAddFiles& f) {
            // an existing archive's type is not to be chosen
            EXPECT_FALSE(f.rbZip->Enabled());
            PickItems(f, more, {"added.txt"});
            UserClick(f.btnOK);
        });
        EXPECT_EQ(added, c.Updatable);
        EXPECT_TRUE(fs::exists(existing)) << "the existing archive keeps its name";
        if (!c.Updatable) {
            EXPECT_EQ(ReadAll(existing), before);
            EXPECT_EQ(e.view.Boxes.size(), 1u);
        } else {
            EXPECT_NE(ReadAll(existing), before);
            Tree all = PeerTree(existing, c.PeerExt, e.temp / "out", tested);
            Tree wanted = c.MakeExisting.empty() ? expected : Tree{{"old.txt", "old entry\n"}};
            wanted["added.txt"] = "added later\n";
            EXPECT_EQ(all, wanted);
            if (c.DateListing.empty()) {
                EXPECT_EQ(ModTime(e.temp / "out/added.txt"), FileTime);
            }
        }
        // nothing else appeared beside it (no temporary file, no renamed twin)
        EXPECT_EQ(std::distance(fs::directory_iterator(e.temp / "old"), fs::directory_iterator{}), 2);
    }
}

} // namespace
} // namespace mv
