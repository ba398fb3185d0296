// Verbs of shell items on a temporary folder tree: a missing verb runs nothing, new
// folders are named, items are renamed, deleted into the trash and moved by cut and
// paste; Send To, the key texts and the properties dialog.
#include "controls/shell/ShellCommands.h"
#include "controls/shell/ShellProperties.h"
#include "platform/ui/Form.h"
#include "platform/ui/ModalDriver.h"
#include "tests/support/DesktopFixture.h"

#include <gtest/gtest.h>
#include <cstring>
#include <unistd.h>

namespace mv {
namespace fs = std::filesystem;
namespace {

struct Tree {
    mvtest::DesktopFixture desk;
    fs::path root = desk.Home() / "t";
    std::vector<std::string> warnings;
    int confirms = 0;
    Tree() {
        EnsureApplication();
        fs::create_directories(root / "a");
        fs::create_directories(root / "b");
        mvtest::WriteFileText(root / "a/one.txt", "1");
        mvtest::WriteFileText(root / "a/two.txt", "2");
        SetShellPrompts({[this](const std::string&) { return ++confirms, false; },
                         [this](const std::string& t) { warnings.push_back(t); }});
    }
    ~Tree() { SetShellPrompts({}); }
    TShellFolderRef Folder(const std::string& rel) {
        TIdList list;
        EXPECT_EQ(PathToPidl((root / rel).string(), list), S_OK);
        TShellFolderRef f;
        EXPECT_EQ(BindToFolder(list, f), S_OK);
        return f;
    }
    TIdList Item(const TShellFolderRef& f, const std::string& name) {
        TIdList rel;
        EXPECT_EQ(f->ParseDisplayName(name, rel), S_OK);
        return rel;
    }
};

TEST(ShellVerbs, AMissingVerbInvokesNothing) {
    Tree t;
    std::unique_ptr<TShellContextMenu> background;
    std::vector<TShellMenuEntry> entries;
    ASSERT_EQ(GetContextMenu(t.Folder("a"), {}, CMF_EXPLORE, FirstShellCommand, background, entries), S_OK);
    EXPECT_EQ(FindVerbCommand(*background, "delete"), -1);
    EXPECT_EQ(FindVerbCommand(*background, "open"), -1);
    EXPECT_EQ(InvokeVerb(*background, "delete"), E_INVALIDARG);
    EXPECT_EQ(InvokeVerb(*background, "no-such-verb"), E_INVALIDARG);
    EXPECT_TRUE(fs::exists(t.root / "a/one.txt"));
    EXPECT_EQ(fs::directory_iterator(t.root / "a") == fs::directory_iterator(), false);
    // The items' menu offers every verb the controls invoke by name, first identifier 50.
    std::unique_ptr<TShellContextMenu> menu;
    TShellFolderRef a = t.Folder("a");
    ASSERT_EQ(GetContextMenu(a, {t.Item(a, "one.txt")}, CMF_EXPLORE | CMF_CANRENAME, FirstShellCommand, menu, entries),
              S_OK);
    for (const char* verb : {"open", "cut", "copy", "delete", "rename", "properties"})
        EXPECT_GE(FindVerbCommand(*menu, verb), 0) << verb;
    EXPECT_EQ(FindVerbCommand(*menu, "COPY"), FindVerbCommand(*menu, "copy"));
    EXPECT_EQ(entries.front().Id, 50);
    EXPECT_TRUE(entries.front().Default);
    std::string help;
    ASSERT_EQ(menu->GetCommandString(FindVerbCommand(*menu, "copy"), GCS_VERB, help), S_OK);
    EXPECT_EQ(help, "copy");
    // Without the rename flag there is no rename.
    ASSERT_EQ(GetContextMenu(a, {t.Item(a, "one.txt")}, CMF_EXPLORE, FirstShellCommand, menu, entries), S_OK);
    EXPECT_EQ(FindVerbCommand(*menu, "rename"), -1);
}

TEST(ShellVerbs, NewFolderNaming) {
    Tree t;
    fs::create_directories(t.root / "b/Nova pasta");
    fs::create_directories(t.root / "b/Nova pasta (2)");
    std::string name;
    ASSERT_TRUE(CreateNewFolder((t.root / "b").string(), name));
    EXPECT_EQ(name, "Nova pasta (3)");
    EXPECT_TRUE(fs::is_directory(t.root / "b/Nova pasta (3)"));
    // Through the background menu's verb.
    std::unique_ptr<TShellContextMenu> menu;
    std::vector<TShellMenuEntry> entries;
    ASSERT_EQ(GetContextMenu(t.Folder("b"), {}, CMF_EXPLORE, FirstShellCommand, menu, entries), S_OK);
    std::string made;
    menu->OnNewFolder = [&](const std::string& n) { made = n; };
    EXPECT_EQ(InvokeVerb(*menu, "newfolder"), S_OK);
    EXPECT_EQ(made, "Nova pasta (4)");
    EXPECT_TRUE(t.warnings.empty());
    // A folder that cannot be written: one message with the real error, nothing made.
    if (::geteuid() != 0) {
        fs::permissions(t.root / "b", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(CreateNewFolder((t.root / "b").string(), name));
        ASSERT_EQ(t.warnings.size(), 1u);
        EXPECT_NE(t.warnings[0].find(std::strerror(EACCES)), std::string::npos);
        EXPECT_NE(t.warnings[0].find("'Nova pasta (5)'"), std::string::npos);
        fs::permissions(t.root / "b", fs::perms::owner_all);
    }
}

TEST(ShellVerbs, RenameNeverReplaces) {
    Tree t;
    TShellFolderRef a = t.Folder("a");
    TIdList renamed;
    ASSERT_EQ(a->SetNameOf(t.Item(a, "one.txt"), "uno.txt", renamed), S_OK);
    EXPECT_TRUE(fs::exists(t.root / "a/uno.txt"));
    EXPECT_FALSE(fs::exists(t.root / "a/one.txt"));
    EXPECT_EQ(GetPidlDisplayName(a.get(), renamed, 0), "uno.txt");
    EXPECT_EQ(a->SetNameOf(t.Item(a, "uno.txt"), "two.txt", renamed), HResultFromErrno(EEXIST));
    EXPECT_EQ(mvtest::ReadFileBytes(t.root / "a/two.txt"), (std::vector<uint8_t>{'2'}));
    EXPECT_TRUE(fs::exists(t.root / "a/uno.txt"));
    for (const char* bad : {"", "x/y", "..", "."})
        EXPECT_EQ(a->SetNameOf(t.Item(a, "uno.txt"), bad, renamed), E_INVALIDARG) << bad;
}

TEST(ShellVerbs, DeleteGoesToTheTrash) {
    Tree t;
    TShellFolderRef a = t.Folder("a");
    std::unique_ptr<TShellContextMenu> menu;
    std::vector<TShellMenuEntry> entries;
    ASSERT_EQ(GetContextMenu(a, {t.Item(a, "one.txt")}, CMF_EXPLORE, FirstShellCommand, menu, entries), S_OK);
    ASSERT_EQ(InvokeVerb(*menu, "delete"), S_OK);
    EXPECT_FALSE(fs::exists(t.root / "a/one.txt"));
    EXPECT_EQ(t.confirms, 0); // the trash needs no question
    fs::path trash = t.desk.Data() / "Trash";
    EXPECT_EQ(mvtest::ReadFileBytes(trash / "files/one.txt"), (std::vector<uint8_t>{'1'}));
    std::string info;
    auto bytes = mvtest::ReadFileBytes(trash / "info/one.txt.trashinfo");
    info.assign(bytes.begin(), bytes.end());
    // What another trash client reads to restore it: the header, the original path and
    // the deletion date.
    EXPECT_EQ(info.rfind("[Trash Info]\n", 0), 0u) << info;
    EXPECT_NE(info.find("\nPath=" + (t.root / "a/one.txt").string() + "\n"), std::string::npos) << info;
    size_t date = info.find("\nDeletionDate=");
    ASSERT_NE(date, std::string::npos);
    std::string stamp = info.substr(date + 14, 19);
    EXPECT_TRUE(stamp.size() == 19 && stamp[4] == '-' && stamp[7] == '-' && stamp[10] == 'T' && stamp[13] == ':')
        << stamp;
}

TEST(ShellVerbs, CutAndPasteMoves) {
    Tree t;
    TShellFolderRef a = t.Folder("a"), b = t.Folder("b");
    std::unique_ptr<TShellContextMenu> menu, target;
    std::vector<TShellMenuEntry> entries;
    ASSERT_EQ(GetContextMenu(a, {t.Item(a, "one.txt"), t.Item(a, "two.txt")}, CMF_EXPLORE, FirstShellCommand, menu,
                             entries),
              S_OK);
    ASSERT_EQ(InvokeVerb(*menu, "cut"), S_OK);
    EXPECT_TRUE(ClipboardHasFormat("text/uri-list"));
    ASSERT_EQ(GetContextMenu(b, {}, CMF_EXPLORE, FirstShellCommand, target, entries), S_OK);
    ASSERT_EQ(InvokeVerb(*target, "paste"), S_OK);
    EXPECT_TRUE(fs::exists(t.root / "b/one.txt"));
    EXPECT_TRUE(fs::exists(t.root / "b/two.txt"));
    EXPECT_FALSE(fs::exists(t.root / "a/one.txt"));
    EXPECT_FALSE(ClipboardHasFormat("text/uri-list")); // a move is pasted once

    // Copy and paste into a folder item; an existing name is refused, never replaced.
    TShellFolderRef root = t.Folder("");
    ASSERT_EQ(GetContextMenu(b, {t.Item(b, "one.txt")}, CMF_EXPLORE, FirstShellCommand, menu, entries), S_OK);
    ASSERT_EQ(InvokeVerb(*menu, "copy"), S_OK);
    ASSERT_EQ(GetContextMenu(root, {t.Item(root, "a")}, CMF_EXPLORE, FirstShellCommand, target, entries), S_OK);
    ASSERT_EQ(InvokeVerb(*target, "paste"), S_OK);
    EXPECT_TRUE(fs::exists(t.root / "a/one.txt"));
    EXPECT_TRUE(fs::exists(t.root / "b/one.txt"));
    mvtest::WriteFileText(t.root / "a/one.txt", "kept");
    EXPECT_EQ(InvokeVerb(*target, "paste"), E_FAIL);
    EXPECT_EQ(t.warnings.size(), 1u);
    EXPECT_EQ(mvtest::ReadFileBytes(t.root / "a/one.txt"), (std::vector<uint8_t>{'k', 'e', 'p', 't'}));
}

TEST(ShellVerbs, SendToEntriesAndMenuCharacters) {
    Tree t;
    fs::path sendTo = SpecialFolderPath(desktop::csidlSendTo);
    ASSERT_EQ(sendTo, t.desk.Data() / "morvelan/SendTo");
    mvtest::WriteFileText(sendTo / "Desktop.lnk", "");
    mvtest::WriteFileText(sendTo / "a.txt", "");
    mvtest::WriteFileText(sendTo / ".hidden", "");
    fs::create_directories(sendTo / "sub");
    fs::create_directory_symlink(t.root / "b", sendTo / "Backup");
    std::vector<TSendToEntry> e = SendToEntries();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].Name, "a.txt");
    EXPECT_EQ(e[1].Name, "Backup");
    EXPECT_EQ(e[2].Name, "Desktop.lnk");
    EXPECT_EQ(SendToCaption(e[2].Name), "Desktop");
    EXPECT_EQ(SendToMenuChar(e, 'd', -1), 2u | (2u << 16)); // one match: execute
    EXPECT_EQ(SendToMenuChar(e, 'z', -1), 1u);
    mvtest::WriteFileText(sendTo / "disk.txt", "");
    e = SendToEntries();
    EXPECT_EQ(SendToMenuChar(e, 'D', -1), 2u | (3u << 16)); // two: select the next
    EXPECT_EQ(SendToMenuChar(e, 'D', 2), 3u | (3u << 16));
    // A folder entry gets copies.
    TShellFolderRef a = t.Folder("a");
    TShellDataObject* data = new TShellDataObject(a->AbsoluteIdList(), {t.Item(a, "one.txt")});
    data->AddRef();
    EXPECT_TRUE(DropOnSendToTarget("Backup", *data));
    EXPECT_TRUE(fs::exists(t.root / "b/one.txt"));
    EXPECT_TRUE(fs::exists(t.root / "a/one.txt"));
    EXPECT_FALSE(DropOnSendToTarget("../a", *data));
    data->Release();
    // At most 49 entries keep their identifiers below the shell commands'.
    for (int i = 0; i < 60; ++i) mvtest::WriteFileText(sendTo / ("f" + std::to_string(i)), "");
    EXPECT_EQ(SendToEntries().size(), 49u);
}

TEST(ShellKeys, KeyTexts) {
    EXPECT_EQ(KeyTextToShortCut("ctrl+a"), KeyTextToShortCut("Ctrl+A"));
    EXPECT_EQ(KeyTextToShortCut("Ctrl+A"), scCtrl | 'A');
    EXPECT_EQ(KeyTextToShortCut("^C"), KeyTextToShortCut("Ctrl+C"));
    EXPECT_EQ(KeyTextToShortCut("Ctrl+"), 0);
    EXPECT_EQ(KeyTextToShortCut("Nothing"), 0);
    EXPECT_EQ(ShortCutToKeyText(scShift | scCtrl | 121), "Shift+Ctrl+F10");
    EXPECT_EQ(ShortCutToKeyText(46), "Del");
    EXPECT_EQ(ShortCutToKeyText(99), "3");
    EXPECT_EQ(ShortCutToKeyText(0x2A), "#42");
    const auto& keys = InitDefaultKeys();
    ASSERT_EQ(keys.size(), 7u);
    const uint16_t want[] = {scCtrl | 'A', 46, scCtrl | 'C', scCtrl | 'X', scCtrl | 'V', 116, 113};
    for (size_t i = 0; i < 7; ++i) EXPECT_EQ(keys[i].ShortCut, want[i]) << keys[i].Text;
}

TEST(ShellProperties, SmallDialogInEveryLanguage) {
    Tree t;
    ::setenv("XDG_DATA_DIRS", "/usr/share", 1);
    mvtest::WriteFileText(t.root / "a/report.txt", std::string(3000, 'r'));
    TIdList item;
    ASSERT_EQ(PathToPidl((t.root / "a/report.txt").string(), item), S_OK);
    for (auto [base, lang] : {std::pair{10000, "pt"}, {20000, "en"}, {50000, "es"}}) {
        desktop::SetNamespaceLanguageBase(base);
        std::unique_ptr<TForm> form = CreateShellPropertiesForm({item});
        EXPECT_NE(form->Caption().find("report.txt"), std::string::npos);
        form->Show();
        EXPECT_TRUE(SaveControlImage(*form, mvtest::ScreenshotFolder("shell") + "/properties-" + lang + ".png"));
        form->Hide();
    }
    desktop::SetNamespaceLanguageBase(20000);
}

} // namespace
} // namespace mv

namespace mv {
namespace {

TEST(FolderDropTarget, EffectsAndDrops) {
    Tree t;
    TShellFolderRef a = t.Folder("a");
    TShellDataObject* data = new TShellDataObject(a->AbsoluteIdList(), {t.Item(a, "one.txt")});
    data->AddRef();
    TIdList bList;
    ASSERT_EQ(PathToPidl((t.root / "b").string(), bList), S_OK);
    TFolderDropTarget* target = nullptr;
    ASSERT_EQ(GetPidlDropTarget(bList, target), S_OK);
    struct Case {
        uint32_t keys, allowed, want;
    } cases[] = {
        {MK_LBUTTON, 7, DROPEFFECT_MOVE},                         // one file system: move
        {MK_LBUTTON | MK_CONTROL, 7, DROPEFFECT_COPY},
        {MK_LBUTTON | MK_SHIFT, 7, DROPEFFECT_MOVE},
        {MK_LBUTTON | MK_CONTROL | MK_SHIFT, 7, DROPEFFECT_LINK},
        {MK_LBUTTON, DROPEFFECT_COPY, DROPEFFECT_COPY},           // only what the source allows
        {MK_LBUTTON, 0, DROPEFFECT_NONE},
    };
    for (const Case& c : cases) {
        uint32_t effect = c.allowed;
        ASSERT_EQ(target->DragEnter(data, c.keys, TPoint{}, effect), S_OK);
        EXPECT_EQ(effect, c.want) << c.keys << " " << c.allowed;
        effect = c.allowed;
        target->DragOver(c.keys, TPoint{}, effect);
        EXPECT_EQ(effect, c.want);
        target->DragLeave();
    }
    uint32_t effect = 7;
    ASSERT_EQ(target->Drop(data, MK_CONTROL, TPoint{}, effect), S_OK);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_TRUE(fs::exists(t.root / "b/one.txt"));
    EXPECT_TRUE(fs::exists(t.root / "a/one.txt"));
    target->Release();
    // Into the folder the items are in, or into a dragged folder itself: nothing.
    TFolderDropTarget* same = nullptr;
    ASSERT_EQ(GetPidlDropTarget(a->AbsoluteIdList(), same), S_OK);
    effect = 7;
    same->DragEnter(data, MK_LBUTTON, TPoint{}, effect);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    same->Release();
    TShellFolderRef root = t.Folder("");
    TShellDataObject* folderData = new TShellDataObject(root->AbsoluteIdList(), {t.Item(root, "a")});
    folderData->AddRef();
    fs::create_directories(t.root / "a/inner");
    TIdList inner;
    ASSERT_EQ(PathToPidl((t.root / "a/inner").string(), inner), S_OK);
    TFolderDropTarget* below = nullptr;
    ASSERT_EQ(GetPidlDropTarget(inner, below), S_OK);
    effect = 7;
    below->DragEnter(folderData, MK_LBUTTON, TPoint{}, effect);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    below->Release();
    folderData->Release();
    // A file is no drop target; the desktop folder is.
    TIdList file;
    ASSERT_EQ(PathToPidl((t.root / "a/two.txt").string(), file), S_OK);
    TFolderDropTarget* none = nullptr;
    EXPECT_FALSE(Succeeded(GetPidlDropTarget(file, none)));
    TFolderDropTarget* desk = nullptr;
    ASSERT_EQ(GetDesktopDropTarget(desk), S_OK);
    EXPECT_EQ(desk->Folder(), (t.desk.Home() / "Desktop").string());
    desk->Release();
    data->Release();
}

} // namespace
} // namespace mv
