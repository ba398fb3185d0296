// The archive operations behind the main window's commands, on a window made of
// records: extraction of every readable type of the corpus equals a peer tool's
// extraction byte for byte (stored folders on and off; selected entries, all, or a
// mask); the overwrite protocol; passwords; a missing volume; a damaged member;
// cancel; hostile names; temporary folders; the reader table; delete and add.
#include "app/operations/ArchiveOperations.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/mainwindow/ArchiveRows.h"
#include "app/operations/ZipEngineRun.h"
#include "archive/framework/ArcErrors.h"
#include "archive/framework/ArcMain.h"
#include "archive/framework/ZipCommon.h"
#include "archive/lister/ArcLister.h"
#include "tests/app/mainwindow/FakeMainWindowView.h"
#include "tests/app/operations/ExtractTrees.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <map>
#include <sys/stat.h>

namespace mv {
namespace {

namespace fs = std::filesystem;
using mvtest::CorpusDir;
using mvtest::Quote;
using mvtest::TempDir;
using namespace extracttest;

struct TFakePrompts : TOperationPrompts {
    std::vector<std::string> Messages;
    std::deque<std::pair<int, std::function<void()>>> Answers; // result, and what the user does first
    int AskNextVolume(const std::string& message, const std::string&) override {
        Messages.push_back(message);
        if (Answers.empty()) return 2;
        auto [result, act] = Answers.front();
        Answers.pop_front();
        if (act) act();
        return result;
    }
};

// The window of records, with the existing file's size each overwrite prompt showed,
// every percentage the bar took, and a scripted answer to questions.
struct TOpsView : TFakeMainWindowView {
    std::vector<std::string> OldSizes;
    std::vector<int> Percents;
    int QuestionAnswer = 6;
    int AskOverwrite(const std::string& title, const std::string& oldSize, const std::string& oldTime,
                     const std::string& newSize, const std::string& newTime) override {
        OldSizes.push_back(oldSize);
        return TFakeMainWindowView::AskOverwrite(title, oldSize, oldTime, newSize, newTime);
    }
    int ShowMessage(const std::string& text, uint8_t kind, uint16_t buttons) override {
        TFakeMainWindowView::ShowMessage(text, kind, buttons);
        return kind == mkQuestion ? QuestionAnswer : 1;
    }
    void SetProgressPercent(int percent) override {
        TFakeMainWindowView::SetProgressPercent(percent);
        Percents.push_back(percent);
    }
    // What the user does while the window lets pending messages run.
    std::function<void()> OnPump;
    void ProcessMessages() override {
        if (OnPump) OnPump();
    }
};

struct Window {
    TOpsView view;
    TArchiveList list;
    TReopenList history;
    TArchiveOpener opener{view, list, history};
    TFakePrompts prompts;
    TArchiveOperations ops{view, opener, list, prompts};
    TempDir temp;
    Window() { ops.TempFolder = (temp.Path() / "tmp").string() + "/"; fs::create_directories(temp.Path() / "tmp"); }
};

TEST(ArchiveOperations, EveryReadableTypeExtractsAsThePeerDoes) {
    MV_REQUIRE_TOOL("7z");
    for (const TypeCase& c : kReadableTypes) {
        SCOPED_TRACE(c.path);
        const std::string archive = (CorpusDir() / c.path).string();
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive(archive));
        const Tree peer = c.peer == Peer::Manifest ? Tree{} : PeerExtraction(archive, w.temp / "peer");

        // All entries, with stored folders.
        std::string temp;
        const fs::path all = w.temp / "all";
        ASSERT_TRUE(w.ops.ExtractArchive({"*"}, all.string() + "/", true, temp, 5)) << w.view.Boxes.size();
        const Tree ours = ReadTree(all);
        if (c.peer == Peer::Manifest)
            ExpectManifestMatch(c.path, ours);
        else
        {
            EXPECT_EQ(Names(ours), Names(peer));
            EXPECT_TRUE(ours == peer);
        }
        EXPECT_TRUE(w.view.Boxes.empty()) << (w.view.Boxes.empty() ? "" : w.view.Boxes[0].Text);
        EXPECT_FALSE(w.ops.Busy());
        EXPECT_EQ(w.opener.Vendor().OverwriteAnswer, 7);

        // Without stored folders: every file under its own name.
        Tree flat;
        if (Flatten(ours, flat)) {
            const fs::path flatDir = w.temp / "flat";
            ASSERT_TRUE(w.ops.ExtractArchive({"*"}, flatDir.string() + "/", false, temp, 5));
            EXPECT_EQ(Names(ReadTree(flatDir)), Names(flat));
            EXPECT_TRUE(ReadTree(flatDir) == flat);
        }

        // One selected entry, by its name: that entry only.
        const std::string first = ours.begin()->first;
        std::string stored = first;
        std::replace(stored.begin(), stored.end(), '/', '\\');
        const fs::path one = w.temp / "one";
        ASSERT_TRUE(w.ops.ExtractArchive({stored}, one.string() + "/", true, temp, 5, true));
        EXPECT_EQ(ReadTree(one), (Tree{{first, ours.begin()->second}}));

        // A mask: the files with the first file's extension.
        const std::string ext = fs::path(first).extension().string();
        if (!ext.empty()) {
            Tree expected;
            for (const auto& [k, v] : ours)
                if (Lower(fs::path(k).extension().string()) == Lower(ext)) expected[k] = v;
            const fs::path masked = w.temp / "mask";
            ASSERT_TRUE(w.ops.ExtractArchive({"*" + ext}, masked.string() + "/", true, temp, 5));
            EXPECT_EQ(Names(ReadTree(masked)), Names(expected));
        }
    }
}

TEST(ArchiveOperations, TheExtractCommandMapsTheDialogsChoice) {
    const std::string archive = (CorpusDir() / "rar/rar3_subdirs.rar").string();
    Window w;
    ASSERT_TRUE(w.opener.OpenArchive(archive));
    ASSERT_GE(w.list.RowCount(), 2);
    // Nothing selected: the dialog offers all entries; its folder and choices are used.
    TExtractChoice seen;
    w.ops.ExtractDialog = [&](TExtractChoice& c) {
        seen = c;
        c.Folder = (w.temp / "out").string() + "/";
        c.StoredFolders = false;
        c.Mask = "*";
        c.OverwriteMode = 5;
        fs::create_directories(c.Folder);
        return true;
    };
    ASSERT_TRUE(w.ops.ExtractCommand("/proposed", true));
    EXPECT_FALSE(seen.Selected);
    EXPECT_EQ(seen.Folder, "/proposed");
    EXPECT_TRUE(seen.StoredFolders);
    for (const auto& [path, content] : ReadTree(w.temp / "out")) EXPECT_EQ(path.find('/'), std::string::npos);
    EXPECT_EQ(ReadTree(w.temp / "out").size(), 4u);

    // One row selected (a file's): only its entry.
    for (int item = 0; item < w.list.RowCount(); ++item)
        if (w.list.Rows()[size_t(w.list.RowIndexOf(item))].Size > 0) {
            w.view.Selected = {item};
            break;
        }
    const TArchiveRow row = w.list.Rows()[size_t(w.list.RowIndexOf(w.view.Selected.at(0)))];
    w.ops.ExtractDialog = [&](TExtractChoice& c) {
        seen = c;
        c.Folder = (w.temp / "sel").string() + "/";
        fs::create_directories(c.Folder);
        return true;
    };
    ASSERT_TRUE(w.ops.ExtractCommand());
    EXPECT_TRUE(seen.Selected);
    const Tree sel = ReadTree(w.temp / "sel");
    ASSERT_EQ(sel.size(), 1u);
    EXPECT_EQ(fs::path(sel.begin()->first).filename().string(), row.FileName);

    // Cancel in the dialog: nothing runs.
    w.ops.ExtractDialog = [](TExtractChoice&) { return false; };
    EXPECT_FALSE(w.ops.ExtractCommand());
}

// Three existing files answered in turn: which are replaced, how many prompts.
TEST(ArchiveOperations, TheOverwriteProtocol) {
    const std::string archive = (CorpusDir() / "arc/arc601.arc").string();
    struct Case {
        std::deque<int> answers;
        int preset;
        int prompts;
        std::vector<bool> replaced; // for the three files in archive order
        bool cancelled;
    } cases[] = {
        {{6, 6, 6}, 7, 3, {true, true, true}, false},
        {{7, 7, 7}, 7, 3, {false, false, false}, false},
        {{7, 5}, 7, 2, {false, true, true}, false},
        {{6, 2}, 7, 2, {true, false, false}, true},
        {{}, 5, 0, {true, true, true}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prompts);
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive(archive));
        const fs::path out = w.temp / "out";
        std::string temp;
        ASSERT_TRUE(w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, 5));
        const Tree original = ReadTree(out);
        ASSERT_EQ(original.size(), 3u);
        for (const auto& [name, content] : original) {
            std::ofstream(out / name, std::ios::binary | std::ios::trunc) << "old";
        }
        w.view.OverwriteAnswers = c.answers;
        w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, c.preset);
        EXPECT_EQ(static_cast<int>(w.view.OverwriteTitles.size()), c.prompts);
        int i = 0;
        for (const auto& [name, content] : original) {
            SCOPED_TRACE(name);
            EXPECT_EQ(ReadAll(out / name), c.replaced[size_t(i)] ? content : "old");
            ++i;
        }
        if (!w.view.OverwriteTitles.empty()) {
            EXPECT_EQ(w.view.OverwriteTitles[0], LoadLangStr(88) + "\"" + original.begin()->first + "\"");
        }
        EXPECT_EQ(w.opener.Vendor().OverwriteAnswer, 7);
    }
}

TEST(ArchiveOperations, OverwritePromptDescribesTheExactFile) {
    // A file whose name holds wildcards: its own size and date, not another file's.
    const TempDir src;
    fs::create_directories(src / "in");
    std::ofstream(src / "in/a*b", std::ios::binary) << "new content";
    std::ofstream(src / "in/aXXb", std::ios::binary) << "x";
    ASSERT_EQ(mvtest::Run("cd " + Quote((src / "in").string()) + " && tar cf ../w.tar 'a*b' aXXb").exitCode, 0);
    Window w;
    ASSERT_TRUE(w.opener.OpenArchive((src / "w.tar").string()));
    const fs::path out = w.temp / "out";
    fs::create_directories(out);
    std::ofstream(out / "a*b", std::ios::binary) << "0123456789012345";
    std::ofstream(out / "aXXb", std::ios::binary) << "12";
    // The literal selection of "a*b" extracts that entry alone and asks about it alone.
    w.view.OverwriteAnswers = {6};
    std::string temp;
    ASSERT_TRUE(w.ops.ExtractArchive({"a*b"}, out.string() + "/", true, temp, 7, true));
    ASSERT_EQ(w.view.OverwriteTitles.size(), 1u);
    EXPECT_EQ(w.view.OverwriteTitles[0], LoadLangStr(88) + "\"a*b\"");
    EXPECT_EQ(w.view.OldSizes, std::vector<std::string>{"16 bytes."});
    EXPECT_EQ(ReadAll(out / "a*b"), "new content");
    EXPECT_EQ(ReadAll(out / "aXXb"), "12");
}

// Entries chosen by name are taken literally by every engine: "a*b" is that entry
// alone, never a mask for "aXXb".
TEST(ArchiveOperations, SelectedNamesAreMatchedLiterally) {
    MV_REQUIRE_TOOL("zip");
    const TempDir src;
    fs::create_directories(src / "in");
    std::ofstream(src / "in/a*b") << "star";
    std::ofstream(src / "in/aXXb") << "plain";
    std::ofstream(src / "in/a?c") << "question";
    std::ofstream(src / "in/abc") << "abc";
    const std::string in = Quote((src / "in").string());
    ASSERT_EQ(mvtest::Run("cd " + in + " && tar cf ../l.tar 'a*b' aXXb 'a?c' abc && zip -q ../l.zip 'a*b' aXXb 'a?c' abc").exitCode, 0);
    for (const char* archive : {"l.tar", "l.zip"}) {
        for (const std::string name : {"a*b", "a?c", "abc"}) {
            SCOPED_TRACE(std::string(archive) + " " + name);
            Window w;
            ASSERT_TRUE(w.opener.OpenArchive((src / archive).string()));
            const fs::path out = w.temp / "out";
            std::string temp;
            ASSERT_TRUE(w.ops.ExtractArchive({name}, out.string() + "/", true, temp, 5, true));
            EXPECT_EQ(Names(ReadTree(out)), std::vector<std::string>{name});
        }
    }
}

TEST(ArchiveOperations, PasswordsRightWrongAndCancel) {
    struct Case {
        const char* fixture;
        std::deque<std::pair<int, std::string>> answers;
        bool extracted;
    } cases[] = {
        {"arj/garbled.arj", {{1, "secret"}}, true},
        {"arj/garbled.arj", {{1, "wrong"}}, false},
        {"arj/garbled.arj", {{2, ""}}, false},
        {"zip/trad_encrypted_deflate.zip", {{1, "12345678"}}, true},
        {"zip/trad_encrypted_deflate.zip", {{2, ""}}, false},
    };
    MV_REQUIRE_TOOL("7z");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + " " + std::to_string(c.answers.front().first));
        const std::string archive = (CorpusDir() / c.fixture).string();
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive(archive));
        w.view.PasswordAnswers = c.answers;
        const fs::path out = w.temp / "out";
        std::string temp;
        w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, 5);
        EXPECT_GE(w.view.PasswordPrompts.size(), 1u);
        EXPECT_FALSE(w.ops.Busy());
        const std::string password = c.fixture[0] == 'a' ? "secret" : "12345678";
        const Tree peer = [&] {
            const fs::path p = w.temp / "peer";
            fs::create_directories(p);
            mvtest::Run("7z x -y -p" + password + " -o" + Quote(p.string()) + " " + Quote(archive));
            return ReadTree(p);
        }();
        if (c.extracted) {
            if (c.fixture[0] == 'a')
                ExpectManifestMatch(c.fixture, ReadTree(out));
            else
                EXPECT_TRUE(ReadTree(out) == peer);
        } else {
            // Nothing wrong is left behind: no file, or only whole ones.
            EXPECT_TRUE(ReadTree(out).empty());
        }
    }
}

TEST(ArchiveOperations, AMissingVolumeIsAskedForAndTheExtractionGoesOnOnceItIsThere) {
    for (bool supply : {true, false}) {
        SCOPED_TRACE(supply);
        Window w;
        const fs::path set = w.temp / "set";
        fs::create_directories(set);
        for (const char* part : {"multi.arj", "multi.a01"}) fs::copy_file(CorpusDir() / "arj" / part, set / part);
        // The listing meets the missing volume first: cancelled there, the list shows what it read.
        w.prompts.Answers.push_back({2, nullptr});
        ASSERT_TRUE(w.opener.OpenArchive((set / "multi.arj").string()));
        ASSERT_EQ(w.prompts.Messages.size(), 1u);
        w.prompts.Messages.clear();
        w.prompts.Answers.push_back({supply ? 1 : 2, [&] {
                                         if (supply) fs::copy_file(CorpusDir() / "arj/multi.a02", set / "multi.a02");
                                     }});
        const fs::path out = w.temp / "out";
        std::string temp;
        const bool ok = w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, 5);
        ASSERT_GE(w.prompts.Messages.size(), 1u);
        EXPECT_EQ(w.prompts.Messages[0].rfind(LoadLangStr(106) + (set / "multi.a02").string() + "   " + LoadLangStr(107), 0), 0u)
            << w.prompts.Messages[0];
        if (supply) {
            EXPECT_TRUE(ok);
            ExpectManifestMatch("arj/multi.arj", ReadTree(out));
            EXPECT_EQ(w.prompts.Messages.size(), 1u);
        } else {
            EXPECT_FALSE(ok);
        }
        EXPECT_FALSE(w.ops.Busy());
    }
}

TEST(ArchiveOperations, ADamagedMemberIsReportedByName) {
    MV_REQUIRE_TOOL("lha");
    const TempDir src;
    fs::create_directories(src / "in");
    for (const char* name : {"one.txt", "two.txt"}) {
        std::ofstream f(src / "in" / name, std::ios::binary);
        for (int i = 0; i < 2000; ++i) f << name << " line " << i << "\n";
    }
    ASSERT_EQ(mvtest::Run("cd " + Quote((src / "in").string()) + " && lha -aq ../d.lzh one.txt two.txt").exitCode, 0);
    auto bytes = mvtest::ReadFileBytes(src / "d.lzh");
    // A byte in the middle of the first member's packed data.
    bytes[120] ^= 0x55;
    mvtest::WriteFileBytes(src / "d.lzh", bytes);
    Window w;
    ASSERT_TRUE(w.opener.OpenArchive((src / "d.lzh").string()));
    w.view.Boxes.clear();
    const fs::path out = w.temp / "out";
    std::string temp;
    EXPECT_FALSE(w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, 5));
    ASSERT_GE(w.view.Boxes.size(), 1u);
    EXPECT_EQ(w.view.Boxes[0].Text, LoadLangStr(51) + "\n" + (out / "one.txt").string());
    EXPECT_EQ(w.view.Boxes[0].Kind, mkError);
    // The damaged member leaves no file; the sound one is extracted.
    EXPECT_FALSE(fs::exists(out / "one.txt"));
    EXPECT_TRUE(fs::exists(out / "two.txt"));
}

TEST(ArchiveOperations, CancelStopsTheRunAndOnlyCancelActsWhileBusy) {
    const TempDir src;
    fs::create_directories(src / "in");
    for (int i = 0; i < 20; ++i) std::ofstream(src / "in" / ("f" + std::to_string(i)), std::ios::binary) << std::string(50000, char('a' + i));
    ASSERT_EQ(mvtest::Run("cd " + Quote((src / "in").string()) + " && tar cf ../c.tar f*").exitCode, 0);
    Window w;
    ASSERT_TRUE(w.opener.OpenArchive((src / "c.tar").string()));
    // The user presses Cancel while the third file is under way; every command asked meanwhile is refused.
    int begun = 0;
    std::vector<bool> refused;
    w.view.ProgressMessage.clear();
    std::string temp;
    w.view.OnPump = [&] {
        if (w.view.ProgressFile.empty() || !w.ops.Busy()) return;
        ++begun;
        if (begun == 3) {
            std::string t2;
            refused.push_back(!w.ops.ExtractArchive({"*"}, (w.temp / "x").string() + "/", true, t2, 5));
            refused.push_back(!w.ops.DeleteFromArchive({"f1"}));
            refused.push_back(!w.ops.AddToArchive({"/etc/hostname"}, false, false, TSwitch::swAdd, TStoredDirNames::sdNone));
            refused.push_back(!w.ops.ExtractCommand());
            w.ops.CancelarBtnClick();
        }
    };
    w.ops.ExtractDialog = [](TExtractChoice&) { return true; };
    const fs::path out = w.temp / "out";
    EXPECT_FALSE(w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, 5));
    w.view.OnPump = nullptr;
    EXPECT_EQ(refused, std::vector<bool>(4, true));
    EXPECT_EQ(w.view.ProgressMessage, LoadLangStr(105));
    EXPECT_LT(ReadTree(out).size(), 20u);
    EXPECT_FALSE(w.ops.Busy());
    EXPECT_FALSE(fs::exists(w.temp / "x"));
    EXPECT_EQ(ActiveArchiveComponent, nullptr);
    // Cancel outside a run does nothing, and the next run goes through.
    w.ops.CancelarBtnClick();
    EXPECT_TRUE(w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, 5));
    EXPECT_EQ(ReadTree(out).size(), 20u);
}

TEST(ArchiveOperations, HostileNamesStayInsideTheTarget) {
    MV_REQUIRE_TOOL("7z");
    const TempDir src;
    fs::create_directories(src / "in/sub");
    std::ofstream(src / "in/sub/evil.txt") << "evil";
    std::ofstream(src / "in/good.txt") << "good";
    // Names that climb out of the folder, and an absolute one.
    ASSERT_EQ(mvtest::Run("cd " + Quote((src / "in/sub").string()) + " && tar cf ../../h.tar --absolute-names ../good.txt " +
                  "../../in/sub/evil.txt " + Quote((src / "in/good.txt").string()))
                  .exitCode,
              0);
    ASSERT_EQ(mvtest::Run("cd " + Quote((src / "in/sub").string()) + " && zip -q ../../h.zip ../good.txt evil.txt").exitCode, 0);
    for (const char* archive : {"h.tar", "h.zip"}) {
        SCOPED_TRACE(archive);
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive((src / archive).string()));
        const fs::path out = w.temp / "deep/out";
        fs::create_directories(out);
        std::string temp;
        w.ops.ExtractArchive({"*"}, out.string() + "/", true, temp, 5);
        // Nothing beside the target folder.
        for (const auto& e : fs::recursive_directory_iterator(w.temp.Path()))
            if (e.is_regular_file()) {
                const std::string p = e.path().string();
                EXPECT_EQ(p.rfind(out.string() + "/", 0), 0u) << p;
            }
        EXPECT_EQ(ReadAll(src / "in/good.txt"), "good");
    }
}

TEST(ArchiveOperations, TemporaryFoldersAreUniqueAndRemovedAtExit) {
    const std::string archive = (CorpusDir() / "arc/arc601.arc").string();
    Window w;
    ASSERT_TRUE(w.opener.OpenArchive(archive));
    w.ops.MinutesSeconds = [] { return std::string("0105"); };
    std::string first, second;
    ASSERT_TRUE(w.ops.ExtractArchive({"*"}, "", true, first, 5));
    ASSERT_TRUE(w.ops.ExtractArchive({"*"}, "", true, second, 5));
    EXPECT_NE(first, second);
    const std::string prefix = w.ops.TempFolder + "QX0105-";
    EXPECT_EQ(first.rfind(prefix, 0), 0u) << first;
    EXPECT_EQ(second.rfind(prefix, 0), 0u) << second;
    EXPECT_EQ(ReadTree(first).size(), 3u);
    EXPECT_EQ(w.ops.TempCleanupList, (std::vector<std::string>{first, second}));
    // A folder of the user's beside them, a read-only folder inside, and a link out.
    const fs::path mine = fs::path(w.ops.TempFolder) / "QX0105-mine";
    fs::create_directories(mine);
    const fs::path outside = w.temp / "outside";
    fs::create_directories(outside);
    std::ofstream(outside / "keep.txt") << "keep";
    fs::create_directory_symlink(outside, fs::path(first) / "link");
    fs::create_directories(fs::path(second) / "ro");
    std::ofstream(fs::path(second) / "ro/x") << "x";
    ::chmod((fs::path(second) / "ro").c_str(), 0500);
    w.ops.RemoveTempFiles();
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
    EXPECT_TRUE(fs::exists(mine));
    EXPECT_EQ(ReadAll(outside / "keep.txt"), "keep");
    EXPECT_TRUE(w.ops.TempCleanupList.empty());

    // A temporary-folder option without its separator, or empty, still gives a folder inside it.
    for (const std::string& option : {w.ops.TempFolder.substr(0, w.ops.TempFolder.size() - 1), std::string()}) {
        SCOPED_TRACE(option);
        w.ops.TempFolder = option;
        std::string made;
        ASSERT_TRUE(w.ops.ExtractArchive({"*"}, "", true, made, 5));
        const std::string parent = option.empty() ? fs::temp_directory_path().string() : option;
        EXPECT_EQ(fs::path(made).parent_path().parent_path(), fs::path(parent)) << made;
        w.ops.RemoveTempFiles();
        EXPECT_FALSE(fs::exists(made));
    }
}

TEST(ArchiveOperations, TypesWithoutAReaderAreRefused) {
    for (const char* fixture : {"ha/ha_copy.ha", "arc/pak100.pak", "uue/plain_uuencode.msg", "msgz/is3_none.Z"}) {
        SCOPED_TRACE(fixture);
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive((CorpusDir() / fixture).string()));
        w.view.Boxes.clear();
        std::string temp;
        EXPECT_FALSE(w.ops.ExtractArchive({"*"}, (w.temp / "o").string() + "/", true, temp, 5));
        ASSERT_EQ(w.view.Boxes.size(), 1u);
        EXPECT_EQ(w.view.Boxes[0].Text, LoadLangStr(423));
        EXPECT_EQ(w.opener.Vendor().OverwriteAnswer, 7);
        EXPECT_TRUE(w.ops.TempCleanupList.empty());
        EXPECT_FALSE(w.ops.Busy());
    }
}

TEST(ArchiveOperations, ErrorsOfEveryEngineReachTheUser) {
    const TempDir src;
    const auto arj = mvtest::ReadFileBytes(CorpusDir() / "arj/arj020b.arj");
    mvtest::WriteFileBytes(src / "cut.arj", {arj.begin(), arj.begin() + long(arj.size() / 2)});
    const auto zip = mvtest::ReadFileBytes(CorpusDir() / "zip/infozip_deflate_dirs.zip");
    auto bad = zip;
    for (size_t i = 60; i < 200 && i < bad.size(); ++i) bad[i] ^= 0xA5;
    mvtest::WriteFileBytes(src / "bad.zip", bad);
    for (const char* name : {"cut.arj", "bad.zip"}) {
        SCOPED_TRACE(name);
        Window w;
        w.opener.OpenArchive((src / name).string());
        w.view.Boxes.clear();
        std::string temp;
        EXPECT_FALSE(w.ops.ExtractArchive({"*"}, (w.temp / "o").string() + "/", true, temp, 5));
        ASSERT_FALSE(w.view.Boxes.empty());
        EXPECT_FALSE(w.view.Boxes[0].Text.empty());
        EXPECT_EQ(w.view.Boxes[0].Kind, mkError);
        EXPECT_FALSE(w.ops.Busy());
    }
}

TEST(ArchiveOperations, DeleteFromEachWritableType) {
    MV_REQUIRE_TOOL("7z");
    const TempDir src;
    fs::create_directories(src / "in/sub");
    std::ofstream(src / "in/keep.txt") << "keep";
    std::ofstream(src / "in/sub/gone.txt") << "gone";
    std::ofstream(src / "in/a*") << "star";
    std::ofstream(src / "in/abc") << "abc";
    const std::string in = Quote((src / "in").string());
    ASSERT_EQ(mvtest::Run("cd " + in + " && zip -qr ../t.zip keep.txt sub 'a*' abc").exitCode, 0);
    ASSERT_EQ(mvtest::Run("cd " + in + " && tar cf ../t.tar keep.txt sub/gone.txt 'a*' abc").exitCode, 0);
    ASSERT_EQ(mvtest::Run("cd " + in + " && lha -aq ../t.lzh keep.txt sub/gone.txt abc").exitCode, 0);

    // Nothing selected; a type that cannot be written; the question answered No.
    {
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive((src / "t.tar").string()));
        w.view.Boxes.clear();
        EXPECT_FALSE(w.ops.DeleteFromArchive({}));
        ASSERT_EQ(w.view.Boxes.size(), 1u);
        EXPECT_EQ(w.view.Boxes[0].Text, LoadLangStr(41));
    }
    {
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive((CorpusDir() / "arj/arj020b.arj").string()));
        w.view.Boxes.clear();
        EXPECT_FALSE(w.ops.DeleteFromArchive({"x"}));
        ASSERT_EQ(w.view.Boxes.size(), 1u);
        EXPECT_EQ(w.view.Boxes[0].Text, LoadLangStr(48));
    }
    {
        const auto before = mvtest::ReadFileBytes(src / "t.tar");
        Window w;
        w.view.QuestionAnswer = 7;
        ASSERT_TRUE(w.opener.OpenArchive((src / "t.tar").string()));
        EXPECT_FALSE(w.ops.DeleteFromArchive({"keep.txt"}));
        EXPECT_EQ(w.view.Boxes.back().Text, LoadLangStr(40));
        EXPECT_EQ(mvtest::ReadFileBytes(src / "t.tar"), before);
    }
    // Names that would take other entries as masks: nothing is deleted.
    for (const std::string name : {"a*", "abc"}) {
        SCOPED_TRACE(name);
        const auto before = mvtest::ReadFileBytes(src / "t.tar");
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive((src / "t.tar").string()));
        EXPECT_FALSE(w.ops.DeleteFromArchive({name}));
        ASSERT_EQ(w.view.Boxes.size(), 1u);
        EXPECT_EQ(w.view.Boxes[0].Text, LoadLangStr(2961));
        EXPECT_EQ(mvtest::ReadFileBytes(src / "t.tar"), before);
    }
    for (const char* name : {"t.zip", "t.tar", "t.lzh"}) {
        SCOPED_TRACE(name);
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive((src / name).string()));
        const int before = w.list.RowCount();
        EXPECT_TRUE(w.ops.DeleteFromArchive({"sub\\gone.txt"}));
        ASSERT_EQ(w.view.Boxes.size(), 1u) << w.view.Boxes.back().Text;
        EXPECT_EQ(w.list.RowCount(), before - 1);
        const auto listing = mvtest::Run("7z l -slt " + Quote((src / name).string())).output;
        EXPECT_EQ(listing.find("gone.txt"), std::string::npos);
        EXPECT_NE(listing.find("keep.txt"), std::string::npos);
        EXPECT_NE(listing.find("abc"), std::string::npos);
        EXPECT_FALSE(w.ops.Busy());
    }
}

TEST(ArchiveOperations, AddToAWritableType) {
    MV_REQUIRE_TOOL("7z");
    const TempDir src;
    fs::create_directories(src / "in");
    std::ofstream(src / "in/one.txt") << "one";
    ASSERT_EQ(mvtest::Run("cd " + Quote((src / "in").string()) + " && tar cf ../a.tar one.txt && zip -q ../a.zip one.txt").exitCode, 0);
    std::ofstream(src / "two.txt") << "two";
    for (const char* name : {"a.tar", "a.zip"}) {
        SCOPED_TRACE(name);
        Window w;
        ASSERT_TRUE(w.opener.OpenArchive((src / name).string()));
        EXPECT_TRUE(w.ops.AddToArchive({(src / "two.txt").string()}, false, false, TSwitch::swAdd,
                                       TStoredDirNames::sdNone));
        const fs::path peer = w.temp / "peer";
        fs::create_directories(peer);
        mvtest::Run("7z x -y -o" + Quote(peer.string()) + " " + Quote((src / name).string()));
        EXPECT_EQ(ReadTree(peer), (Tree{{"one.txt", "one"}, {"two.txt", "two"}}));
        EXPECT_FALSE(w.ops.Busy());
    }
    // A type that cannot be written.
    Window w;
    ASSERT_TRUE(w.opener.OpenArchive((CorpusDir() / "arj/arj020b.arj").string()));
    w.view.Boxes.clear();
    EXPECT_FALSE(w.ops.AddToArchive({(src / "two.txt").string()}, false, false, TSwitch::swAdd, TStoredDirNames::sdNone));
    ASSERT_EQ(w.view.Boxes.size(), 1u);
    EXPECT_EQ(w.view.Boxes[0].Text, LoadLangStr(48));
}

} // namespace
} // namespace mv
