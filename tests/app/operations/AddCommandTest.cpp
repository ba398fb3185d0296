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
#include "app/mainwindow/FormPrincipal.h"
#include "app/operations/ArchiveOperations.h"
#include "app/settings/Options.h"
#include "controls/shell/ShellList.h"
#include "controls/toolkit/checklist/CheckListBox.h"
#include "platform/FakeFileSystem.h"
#include "platform/Sound.h"
#include "platform/ui/ListView.h"
#include "platform/ui/Menu.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/StdControls.h"
#include "tests/app/UserInput.h"
#include "tests/app/mainwindow/FakeMainWindowView.h"
#include "tests/support/DesktopFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
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

using mvtest::UserClick;

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

class AddEveryType : public AddCommandTest, public ::testing::WithParamInterface<TTypeCase> {};

TEST_P(AddEveryType, NewAndExistingPassItsPeer) {
    {
        const TTypeCase& c = GetParam();
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

INSTANTIATE_TEST_SUITE_P(Types, AddEveryType, ::testing::ValuesIn(TypeCases), [](const auto& info) {
    std::string name = info.param.PeerExt.substr(1);
    return name;
});

// ---- helpers of the tests below

// Adds the folder src of data (with subfolders) to a new archive with the dialog's
// type, method, path choice and prefix; extra runs in the dialog before OK.
bool AddFolder(Window& w, const std::string& archive, const fs::path& data, TAddArchiveKind kind, int method,
               const std::function<void(TfrmAddFiles&)>& extra = {}, const std::string& mask = "*.*",
               bool subfolders = true, const std::string& item = "src") {
    return AddThroughDialog(
        w, archive,
        [&](TfrmAddFiles& f) {
            PickItems(f, data, {item});
            ChooseType(f, kind, method);
            if (extra) extra(f);
            UserClick(f.btnOK);
        },
        {{TModalAction::maClickResult, mrOk, mask,
          [subfolders](TForm& form) { dynamic_cast<TFrmMascara&>(form).SubPastasChk->SetChecked(subfolders); }}});
}

// The stored names of an archive as 7-Zip lists them ("/" between folders).
std::set<std::string> StoredNames(const std::string& archive) {
    const auto r = mvtest::Run("7z l -ba -slt " + Quote(archive));
    std::set<std::string> names;
    std::istringstream in(r.output);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Path = ", 0) != 0) continue;
        std::string name = line.substr(7);
        std::replace(name.begin(), name.end(), '\\', '/');
        names.insert(name);
    }
    return names;
}

std::vector<std::string> Leftovers(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(AddStoredName, ByPathChoiceAndPrefix) {
    const std::vector<TFoundFile> found = {{"home/u/src/ReadMe.TXT", "home/u/src/"},
                                           {"home/u/src/sub/b.txt", "home/u/src/"}};
    struct Row {
        std::string Source;
        TAddPathMode Mode;
        std::string Prefix, Stored;
    };
    const Row rows[] = {
        {"/home/u/src/ReadMe.TXT", TAddPathMode::apNone, "", "ReadMe.TXT"},
        {"/home/u/src/sub/b.txt", TAddPathMode::apNone, " pre ", "pre/b.txt"},
        {"/home/u/src/ReadMe.TXT", TAddPathMode::apRelative, "", "ReadMe.TXT"},
        {"/home/u/src/sub/b.txt", TAddPathMode::apRelative, "pre\\x", "pre/x/sub/b.txt"},
        {"/home/u/other/c.txt", TAddPathMode::apRelative, "pre", "home/u/other/c.txt"}, // not found: unchanged
        {"/home/u/src/sub/b.txt", TAddPathMode::apFull, "", "home/u/src/sub/b.txt"},
        {"/home/u/src/ReadMe.TXT", TAddPathMode::apFull, "/pre/", "pre/home/u/src/ReadMe.TXT"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Source + " prefix " + r.Prefix);
        EXPECT_EQ(AddStoredName(r.Source, r.Mode, r.Prefix, found), r.Stored);
    }
}

TEST(AddEnginePlan, ByDriveMultiDiskChoiceAndPartSize) {
    SetLanguageBase(lbPortuguese);
    const std::string automatic = LoadLangStr(612), none = LoadLangStr(613), forced = LoadLangStr(372),
                      parts = LoadLangStr(614);
    struct Row {
        bool Removable, New, Sfx;
        std::string Choice, Size;
        TAddEngine Engine;
        bool Span, Preview;
        int64_t Part;
    };
    const Row rows[] = {
        {true, true, false, automatic, "1457600", TAddEngine::aeZipEngine, false, true, 0},
        {true, true, false, forced, "1457600", TAddEngine::aeZipEngine, true, false, 0},
        {true, true, false, none, "1457600", TAddEngine::aeZipEngine, false, false, 0},
        {true, false, false, forced, "1457600", TAddEngine::aeZipEngine, false, false, 0}, // existing: no span
        {false, true, false, none, "1457600", TAddEngine::aeZipEngine, false, false, 0},
        {false, true, false, parts, "1.457.600", TAddEngine::aeVendor, false, false, 1457600},
        {false, true, false, parts, "0", TAddEngine::aeVendor, false, false, 0},
        {false, true, false, parts, "abc", TAddEngine::aeVendor, false, false, 0},
        {false, false, true, none, "1457600", TAddEngine::aeVendor, false, false, 0}, // self-extracting
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Choice + " " + r.Size);
        const TEnginePlan plan = PlanZipEngine(r.Removable, r.New, r.Sfx, r.Choice, r.Size);
        EXPECT_EQ(plan.Engine, r.Engine);
        EXPECT_EQ(plan.Span, r.Span);
        EXPECT_EQ(plan.NeedsPreview, r.Preview);
        EXPECT_EQ(plan.PartSize, r.Part);
    }
}

TEST_F(AddCommandTest, StoredNamesByPathChoiceWithCaseKept) {
    for (TAddArchiveKind kind : {TAddArchiveKind::akZip, TAddArchiveKind::akLha}) {
        const std::string ext = kind == TAddArchiveKind::akZip ? ".zip" : ".lha";
        struct Row {
            TAddPathMode Mode;
            std::string Prefix;
            std::set<std::string> Names; // "@" stands for the source folder without drive
        };
        const Row rows[] = {
            {TAddPathMode::apNone, "", {"ReadMe.TXT", "b.txt"}},
            {TAddPathMode::apNone, "pre", {"pre/ReadMe.TXT", "pre/b.txt"}},
            {TAddPathMode::apRelative, "", {"ReadMe.TXT", "sub/b.txt"}},
            {TAddPathMode::apRelative, "pre/x", {"pre/x/ReadMe.TXT", "pre/x/sub/b.txt"}},
            {TAddPathMode::apFull, "", {"@/ReadMe.TXT", "@/sub/b.txt"}},
            {TAddPathMode::apFull, "pre", {"pre/@/ReadMe.TXT", "pre/@/sub/b.txt"}},
        };
        for (const Row& r : rows) {
            SCOPED_TRACE(ext + " " + std::to_string(static_cast<int>(r.Mode)) + " " + r.Prefix);
            Window w;
            const fs::path src = w.temp / "data/src";
            mvtest::WriteFileText(src / "ReadMe.TXT", "read me\n");
            mvtest::WriteFileText(src / "sub/b.txt", "b\n");
            const std::string archive = (w.temp / ("names" + ext)).string();
            ASSERT_TRUE(AddFolder(w, archive, w.temp / "data", kind, -1, [&](TfrmAddFiles& f) {
                UserClick(r.Mode == TAddPathMode::apNone       ? f.NaoGravarRb
                          : r.Mode == TAddPathMode::apRelative ? f.GravarCaminhoRelativoRb
                                                               : f.GravarCaminhoCompletoRb);
                f.CaminhoEdit->SetTextValue(r.Prefix);
            }));
            std::set<std::string> wanted;
            for (std::string n : r.Names) {
                if (const size_t at = n.find('@'); at != std::string::npos) n.replace(at, 1, src.string().substr(1));
                wanted.insert(n);
            }
            EXPECT_EQ(StoredNames(archive), wanted);
        }
    }
}

TEST_F(AddCommandTest, MethodsMapToTheFormats) {
    struct Row {
        TAddArchiveKind Kind;
        int Method;
        std::string Ext, Listing, Shows;
    };
    const Row rows[] = {
        {TAddArchiveKind::akZip, 0, ".zip", "unzip -v %a", "Stored"},
        {TAddArchiveKind::akZip, 2, ".zip", "unzip -v %a", "Defl:N"},
        {TAddArchiveKind::akZip, 3, ".zip", "unzip -v %a", "Defl:X"},
        {TAddArchiveKind::akJar, 0, ".jar", "unzip -v %a", "Defl:S"},
        {TAddArchiveKind::akJar, 2, ".jar", "unzip -v %a", "Defl:X"},
        {TAddArchiveKind::akLha, 0, ".lha", "lha v %a", "-lh0-"},
        {TAddArchiveKind::akLha, 1, ".lha", "lha v %a", "-lh1-"},
        {TAddArchiveKind::akLha, 2, ".lha", "lha v %a", "-lh5-"},
        {TAddArchiveKind::akCab, 1, ".cab", "7z l -slt %a", "MSZip"},
        {TAddArchiveKind::akCab, 3, ".cab", "7z l -slt %a", "LZX"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Ext + " " + std::to_string(r.Method));
        Window w;
        mvtest::WriteFileText(w.temp / "data/src/t.txt", std::string(20000, 'a') + "text that packs\n");
        const std::string archive = (w.temp / ("m" + r.Ext)).string();
        ASSERT_TRUE(AddFolder(w, archive, w.temp / "data", r.Kind, r.Method));
        const auto listing = mvtest::Run(WithArchive(r.Listing, archive));
        EXPECT_NE(listing.output.find(r.Shows), std::string::npos) << listing.output;
    }
}

TEST_F(AddCommandTest, SplitPartsAndSpansByTheDrive) {
    // parts of 1457600 bytes on a fixed drive: the vendor library; Info-ZIP joins and tests them
    {
        Window w;
        const auto bytes = mvtest::RandomBytes(3200000, 5);
        mvtest::WriteFileBytes(w.temp / "data/src/big.bin", bytes);
        const std::string archive = (w.temp / "split.zip").string();
        ASSERT_TRUE(AddFolder(w, archive, w.temp / "data", TAddArchiveKind::akZip, 2, [](TfrmAddFiles& f) {
            f.MultiDiscosCb->SetItemIndex(1); // "Múltiplas Partes"
        }));
        EXPECT_EQ(w.command.LastPlan().Engine, TAddEngine::aeVendor);
        EXPECT_TRUE(fs::exists(w.temp / "split.z01"));
        EXPECT_LE(fs::file_size(w.temp / "split.z01"), 1457600u);
        const auto join = mvtest::Run("zip -q -s 0 " + Quote(archive) + " --out " + Quote((w.temp / "j.zip").string()));
        EXPECT_EQ(join.exitCode, 0) << join.output;
        EXPECT_EQ(mvtest::Run("unzip -t " + Quote((w.temp / "j.zip").string())).exitCode, 0);
        // a part size of 0: one file
        Window z;
        mvtest::WriteFileText(z.temp / "data/src/a.txt", "small\n");
        const std::string one = (z.temp / "one.zip").string();
        ASSERT_TRUE(AddFolder(z, one, z.temp / "data", TAddArchiveKind::akZip, 2, [](TfrmAddFiles& f) {
            f.MultiDiscosCb->SetItemIndex(1);
            f.BytesEdit->SetTextValue("0");
        }));
        EXPECT_EQ(z.command.LastPlan().Engine, TAddEngine::aeVendor);
        EXPECT_EQ(mvtest::Run("unzip -t " + Quote(one)).exitCode, 0);
        EXPECT_EQ(Leftovers(z.temp.Path()), (std::vector<std::string>{"data", "one.zip", "tmp"}));
    }
    // a floppy: "Automatic" spans when the files do not fit, over as many disks as needed
    for (const bool fits : {false, true}) {
        SCOPED_TRACE(fits ? "fits" : "does not fit");
        Window w;
        platform::FakeFileSystem fake;
        platform::ScopedFileSystem scope(fake);
        platform::FakeDrive& floppy =
            fake.AddDrive((w.temp / "floppy").string(), fits ? 4000000 : 1200000, platform::DriveKind::Removable,
                          "DISK1", 11);
        mvtest::WriteFileBytes(w.temp / "data/src/big.bin", mvtest::RandomBytes(3000000, 3));
        int disks = 1;
        w.command.AskNextDisk = [&](const std::string&, const std::string&) {
            ++disks;
            floppy.SwapMedium("DISK" + std::to_string(disks), static_cast<uint32_t>(11 + disks));
            return 1;
        };
        const std::string archive = (w.temp / "floppy/span.zip").string();
        ASSERT_TRUE(AddFolder(w, archive, w.temp / "data", TAddArchiveKind::akZip, 0, [](TfrmAddFiles& f) {
            EXPECT_EQ(f.MultiDiscosCb->Text(), LoadLangStr(612));
        }));
        EXPECT_EQ(w.command.LastPlan().Span, !fits);
        EXPECT_EQ(disks > 1, !fits);
        EXPECT_TRUE(fs::exists(archive));
        if (fits) {
            EXPECT_EQ(mvtest::Run("unzip -t " + Quote(archive)).exitCode, 0);
        }
    }
}

TEST_F(AddCommandTest, MoveDeletesOnlyWhatWasStored) {
    for (TAddArchiveKind kind : {TAddArchiveKind::akZip, TAddArchiveKind::akLha}) {
        const std::string ext = kind == TAddArchiveKind::akZip ? ".zip" : ".lha";
        SCOPED_TRACE(ext);
        Window w;
        platform::FakeFileSystem fake;
        platform::ScopedFileSystem scope(fake);
        const fs::path src = w.temp / "data/src";
        for (const char* name : {"a.txt", "b.log", "sub/c.txt", "sub/deep/d.txt", "locked.txt", "sub/a.txt"})
            mvtest::WriteFileText(src / name, std::string("content of ") + name);
        fs::create_directories(src / "emptybefore");
        fake.FailOpensOf((src / "locked.txt").string(), EACCES);
        const std::string archive = (w.temp / ("moved" + ext)).string();
        // mask "*.txt" with subfolders, no folder names stored: sub/a.txt meets a.txt's name
        ASSERT_TRUE(AddFolder(
            w, archive, w.temp / "data", kind, -1,
            [](TfrmAddFiles& f) {
                f.AcaoCb->SetItemIndex(1);
                UserClick(f.NaoGravarRb);
            },
            "*.txt"));
        fake.ClearFaults();
        const std::set<std::string> stored = StoredNames(archive);
        EXPECT_EQ(stored, (std::set<std::string>{"a.txt", "c.txt", "d.txt"}));
        // what was stored went; what was not (another mask, unreadable, a second a.txt) stays
        EXPECT_TRUE(fs::exists(src / "b.log"));
        EXPECT_TRUE(fs::exists(src / "locked.txt"));
        // of two files stored under one name, never both go
        EXPECT_TRUE(fs::exists(src / "a.txt") || fs::exists(src / "sub/a.txt"));
        EXPECT_FALSE(fs::exists(src / "sub/c.txt"));
        EXPECT_FALSE(fs::exists(src / "sub/deep")) << "an emptied folder goes";
        EXPECT_TRUE(fs::exists(src / "emptybefore")) << "a folder that held nothing moved stays";
        EXPECT_TRUE(fs::exists(src / "sub"));
    }
    // a failure deletes nothing
    Window w;
    platform::FakeFileSystem fake;
    platform::ScopedFileSystem scope(fake);
    const fs::path src = w.temp / "data/src";
    mvtest::WriteFileBytes(src / "big.bin", mvtest::RandomBytes(200000, 1));
    fake.FailWritesAfter(5000);
    EXPECT_FALSE(AddFolder(w, (w.temp / "full.zip").string(), w.temp / "data", TAddArchiveKind::akZip, 2,
                           [](TfrmAddFiles& f) { f.AcaoCb->SetItemIndex(1); }));
    fake.ClearFaults();
    EXPECT_TRUE(fs::exists(src / "big.bin"));
    EXPECT_FALSE(fs::exists(w.temp / "full.zip"));
    ASSERT_FALSE(w.view.Boxes.empty());
    EXPECT_NE(w.view.Boxes.back().Text.find(LoadLangStr(79)), std::string::npos) << w.view.Boxes.back().Text;
}

TEST_F(AddCommandTest, FullDiskAndUnreadableSourceKeepTheOldArchive) {
    const std::pair<TAddArchiveKind, std::string> kinds[] = {
        {TAddArchiveKind::akZip, ".zip"}, {TAddArchiveKind::akJar, ".jar"}, {TAddArchiveKind::akLha, ".lha"},
        {TAddArchiveKind::akBh, ".bh"},   {TAddArchiveKind::akCab, ".cab"}, {TAddArchiveKind::akTar, ".tar"}};
    for (const auto& [kind, ext] : kinds) {
        for (const bool fullDisk : {true, false}) {
            SCOPED_TRACE(ext + (fullDisk ? " full disk" : " unreadable source"));
            Window w;
            mvtest::WriteFileText(w.temp / "data/src/old.txt", "old\n");
            const fs::path folder = w.temp / "arc";
            fs::create_directories(folder);
            const std::string archive = (folder / ("a" + ext)).string();
            ASSERT_TRUE(AddFolder(w, archive, w.temp / "data", kind, -1));
            const std::string before = ReadAll(archive);
            mvtest::WriteFileBytes(w.temp / "more/big.bin", mvtest::RandomBytes(300000, 2));
            platform::FakeFileSystem fake;
            platform::ScopedFileSystem scope(fake);
            if (fullDisk)
                fake.FailWritesAfter(20000);
            else
                fake.FailReadsOf((w.temp / "more/big.bin").string(), 1000);
            w.opener.OpenArchive(archive);
            AddThroughDialog(w, {}, [&](TfrmAddFiles& f) {
                PickItems(f, w.temp / "more", {"big.bin"});
                UserClick(f.btnOK);
            });
            fake.ClearFaults();
            EXPECT_EQ(ReadAll(archive), before);
            EXPECT_EQ(Leftovers(folder), std::vector<std::string>{"a" + ext});
            EXPECT_TRUE(fs::exists(w.temp / "more/big.bin"));
        }
    }
}

TEST_F(AddCommandTest, ExistingArchivesKeepTheirNamesAndSingleFilesStaySingle) {
    // F12: "x.lzh" and "X.ZIP" are updated under their own names
    for (const std::string name : {"x.lzh", "X.ZIP"}) {
        SCOPED_TRACE(name);
        Window w;
        fs::create_directories(w.temp / "old");
        mvtest::WriteFileText(w.temp / "old/old.txt", "old\n");
        const std::string archive = (w.temp / "old" / name).string();
        const std::string make = name == "x.lzh" ? "lha aq %a old.txt" : "zip -q %a old.txt";
        ASSERT_EQ(mvtest::Run(WithArchive(make, archive), w.temp / "old").exitCode, 0);
        mvtest::WriteFileText(w.temp / "more/new.txt", "new\n");
        w.opener.OpenArchive(archive);
        ASSERT_TRUE(AddThroughDialog(w, {}, [&](TfrmAddFiles& f) {
            PickItems(f, w.temp / "more", {"new.txt"});
            UserClick(f.btnOK);
        }));
        const std::vector<std::string> left = Leftovers(w.temp / "old");
        EXPECT_EQ(std::set<std::string>(left.begin(), left.end()), (std::set<std::string>{name, "old.txt"}));
        EXPECT_EQ(StoredNames(archive), (std::set<std::string>{"new.txt", "old.txt"}));
    }
    // F29: a single file next to a recursive folder brings no same-named files from
    // below; F33: a name with ";" keeps its relative folder
    for (TAddArchiveKind kind : {TAddArchiveKind::akZip, TAddArchiveKind::akTar}) {
        Window w;
        const fs::path src = w.temp / "data/src";
        mvtest::WriteFileText(src / "docs/readme.txt", "top");
        mvtest::WriteFileText(src / "docs/deep/readme.txt", "deep");
        mvtest::WriteFileText(src / "tree/a;b/c;d.txt", "semicolons");
        const std::string archive = (w.temp / (kind == TAddArchiveKind::akZip ? "s.zip" : "s.tar")).string();
        ASSERT_TRUE(AddThroughDialog(
            w, archive,
            [&](TfrmAddFiles& f) {
                PickItems(f, src, {"tree"});
                PickItems(f, src / "docs", {"readme.txt"});
                ChooseType(f, kind, -1);
                UserClick(f.btnOK);
            },
            {MaskOk}));
        EXPECT_EQ(StoredNames(archive), (std::set<std::string>{"readme.txt", "a;b/c;d.txt"}));
    }
}

TEST_F(AddCommandTest, CancelWritesNothingAndTheVerbEntryAddsTheList) {
    Window w;
    mvtest::WriteFileText(w.temp / "data/a.txt", "a\n");
    mvtest::WriteFileText(w.temp / "data/dir/b.txt", "b\n");
    const std::string archive = (w.temp / "NovoArquivo1.zip").string();
    {
        TModalDriver driver;
        driver.CloseBox();
        EXPECT_FALSE(w.command.NewArchive(archive));
    }
    EXPECT_FALSE(fs::exists(archive));
    // the command line's items: the destination shown, a folder added whole
    const std::vector<std::string> items = {(w.temp / "data/a.txt").string(), (w.temp / "data/dir").string()};
    TModalDriver driver;
    driver.Queue({TModalAction::maClickResult, 99, std::nullopt, [&](TForm& form) {
                      auto& f = dynamic_cast<TfrmAddFiles&>(form);
                      EXPECT_TRUE(f.DestinationShown());
                      EXPECT_EQ(f.AdicionadosLb->Items().Count(), 2);
                      EXPECT_TRUE(f.btnOK->Enabled());
                      UserClick(f.btnOK);
                  }});
    EXPECT_TRUE(RunAddCommand(w.command, archive, items));
    EXPECT_EQ(StoredNames(archive), (std::set<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(w.opener.ArchiveFile(), archive);
}

TEST_F(AddCommandTest, NewAndAddFromTheMainWindow) {
    TempDir temp;
    mvtest::WriteFileText(temp / "data/src/a.txt", "first\n");
    mvtest::WriteFileText(temp / "more/b.txt", "second\n");
    auto form = std::make_unique<TFormPrincipal>(nullptr);
    form->Show();
    QApplication::processEvents();
    // New: the save dialog names "made" (no extension); the add dialog makes it an LHA archive
    form->NewArchiveDialog = [&](const std::string&, std::string& name) {
        name = (temp / "made").string();
        return true;
    };
    {
        TModalDriver driver;
        driver.Queue({TModalAction::maClickResult, 99, std::nullopt, [&](TForm& f) {
                          auto& d = dynamic_cast<TfrmAddFiles&>(f);
                          EXPECT_EQ(d.Caption(), LoadLangStr(76) + (temp / "made.zip").string());
                          PickItems(d, temp / "data", {"src"});
                          ChooseType(d, TAddArchiveKind::akLha, -1);
                          UserClick(d.btnOK);
                      }});
        driver.Queue(MaskOk);
        UserClick(form->NovoBtn);
    }
    const std::string archive = (temp / "made.lha").string();
    ASSERT_TRUE(fs::exists(archive));
    EXPECT_EQ(form->Opener().ArchiveFile(), archive);
    EXPECT_EQ(form->List().Rows().size(), 1u);
    // Add on the open archive: menu Adicionar
    {
        TModalDriver driver;
        driver.Queue({TModalAction::maClickResult, 99, std::nullopt, [&](TForm& f) {
                          auto& d = dynamic_cast<TfrmAddFiles&>(f);
                          EXPECT_FALSE(d.rbZip->Enabled());
                          PickItems(d, temp / "more", {"b.txt"});
                          UserClick(d.btnOK);
                      }});
        form->mnuAdicionar1->Action()->trigger();
        QApplication::processEvents();
    }
    EXPECT_EQ(StoredNames(archive), (std::set<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(form->List().Rows().size(), 2u);
    form.reset();
}

TEST_F(AddCommandTest, AChangedFileIsReplacedOnlyWhenTheUserSaysSo) {
    // the overwrite question through the writers: re-adding a changed file
    for (TAddArchiveKind kind : {TAddArchiveKind::akLha, TAddArchiveKind::akTar}) {
        for (const int answer : {6, 7}) {
            SCOPED_TRACE(std::to_string(answer));
            Window w;
            mvtest::WriteFileText(w.temp / "data/src/a.txt", "first version\n");
            const std::string archive =
                (w.temp / (kind == TAddArchiveKind::akLha ? "o.lha" : "o.tar")).string();
            ASSERT_TRUE(AddFolder(w, archive, w.temp / "data", kind, -1));
            mvtest::WriteFileText(w.temp / "data/src/a.txt", "second, longer version\n");
            w.view.OverwriteAnswers = {answer};
            w.opener.OpenArchive(archive);
            AddThroughDialog(w, {}, [&](TfrmAddFiles& f) {
                PickItems(f, w.temp / "data/src", {"a.txt"});
                UserClick(f.btnOK);
            });
            EXPECT_EQ(w.view.OverwriteTitles.size(), 1u);
            bool tested = false;
            const Tree got = PeerTree(archive, kind == TAddArchiveKind::akLha ? ".lha" : ".tar", w.temp / "out", tested);
            EXPECT_EQ(got, (Tree{{"a.txt", answer == 6 ? "second, longer version\n" : "first version\n"}}));
        }
    }
}

TEST_F(AddCommandTest, GZipWritesOneMemberPerFileThatGzipRestores) {
    Window w;
    const fs::path src = w.temp / "data/src";
    const Tree files = MakeSources(src);
    // new: the files of src (not its subfolder) each become a .gz beside the archive name
    const std::string archive = (w.temp / "out/new").string();
    fs::create_directories(w.temp / "out");
    ASSERT_TRUE(AddThroughDialog(w, archive, [&](TfrmAddFiles& f) {
        PickItems(f, src, {"a.txt", "ção ü.txt"});
        ChooseType(f, TAddArchiveKind::akGZip, 2);
        UserClick(f.btnOK);
    }));
    for (const std::string name : {"a.txt", "ção ü.txt"}) {
        SCOPED_TRACE(name);
        const fs::path gz = w.temp / "out" / (name + ".gz");
        ASSERT_TRUE(fs::exists(gz));
        EXPECT_EQ(mvtest::Run("gzip -t " + Quote(gz.string())).exitCode, 0);
        // gzip -dN gives the stored name and date back
        fs::create_directories(w.temp / "x");
        fs::copy_file(gz, w.temp / "x/packed.gz", fs::copy_options::overwrite_existing);
        EXPECT_EQ(mvtest::Run("gzip -dN packed.gz", w.temp / "x").exitCode, 0);
        EXPECT_EQ(ReadAll(w.temp / "x" / name), files.at(name));
        EXPECT_EQ(ModTime(w.temp / "x" / name), FileTime);
    }
    // existing: a gzip file made by gzip stays as it was; the added file gets its own member
    Window e;
    mvtest::WriteFileText(e.temp / "old/old.txt", "old\n");
    ASSERT_EQ(mvtest::Run("gzip -k old.txt", e.temp / "old").exitCode, 0);
    const std::string existing = (e.temp / "old/old.txt.gz").string();
    const std::string before = ReadAll(existing);
    mvtest::WriteFileText(e.temp / "more/added.txt", "added\n");
    e.opener.OpenArchive(existing);
    ASSERT_TRUE(AddThroughDialog(e, {}, [&](TfrmAddFiles& f) {
        EXPECT_TRUE(f.RbGnu->Checked());
        PickItems(f, e.temp / "more", {"added.txt"});
        UserClick(f.btnOK);
    }));
    EXPECT_EQ(ReadAll(existing), before);
    EXPECT_EQ(mvtest::Run("gzip -dc " + Quote((e.temp / "old/added.txt.gz").string())).output, "added\n");
}

} // namespace
} // namespace mv
