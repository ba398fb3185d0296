#pragma once
// Context menus of shell items and the verbs behind them (open, cut, copy, paste,
// delete to the trash, rename, new folder, properties, Send To), finding a command by
// its verb, the new-folder command with its naming rule, and the default keys of the
// shell controls with the text form of shortcuts.
#include "controls/shell/ShellDataObject.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

// Questions and messages of the verbs; the program hands in its message service. Without
// one a question answers no and a message goes nowhere.
struct TShellPrompts {
    std::function<bool(const std::string& text)> Confirm;
    std::function<void(const std::string& text)> Warning;
};
void SetShellPrompts(TShellPrompts prompts);

constexpr int FirstShellCommand = 50, LastShellCommand = 0x7FFF;
constexpr uint32_t CMF_NORMAL = 0, CMF_EXPLORE = 4, CMF_CANRENAME = 16;
constexpr uint32_t GCS_VERB = 0, GCS_HELPTEXT = 1;

// One entry of a context menu as it is shown.
struct TShellMenuEntry {
    int Id = 0;              // 0: a separator or a submenu
    std::string Caption;
    bool Default = false;
    bool Grayed = false;
    std::vector<TShellMenuEntry> Items; // a submenu's entries
};

// The context menu of some items of one folder (no items: the folder's own background).
class TShellContextMenu {
public:
    TShellContextMenu(TShellFolderRef folder, std::vector<TIdList> items);
    const std::vector<TIdList>& Items() const { return FItems; }
    HRESULT QueryContextMenu(std::vector<TShellMenuEntry>& menu, int firstId, int lastId, uint32_t flags);
    HRESULT GetCommandString(int offset, uint32_t kind, std::string& text) const;
    // Runs the command at an offset: 0 when done; a failure code when it failed.
    HRESULT InvokeCommand(int offset);
    // The verbs the menu offers, by offset.
    const std::vector<std::string>& Verbs() const { return FVerbs; }
    bool Queried() const { return FQueried; }
    // Called by the "rename" command: the control edits the item's caption.
    std::function<void()> OnRename;
    // Called with the new folder's name after "newfolder".
    std::function<void(const std::string&)> OnNewFolder;
    // Called by "properties"; without it the small properties dialog is shown.
    std::function<void()> OnProperties;

private:
    std::string FolderPath() const;
    std::vector<std::string> ItemPaths() const;
    HRESULT Paste();
    HRESULT Delete();
    TShellFolderRef FFolder;
    std::vector<TIdList> FItems;
    std::vector<std::string> FVerbs;
    bool FQueried = false;
};

// The shell's own menu for items: the context menu with its entries (first identifier
// 50, up to 0x7FFF), or the failure code.
HRESULT GetContextMenu(TShellFolderRef folder, const std::vector<TIdList>& items, uint32_t flags, int firstId,
                       std::unique_ptr<TShellContextMenu>& menu, std::vector<TShellMenuEntry>& entries);
// The offset of the command of a verb (ignoring case), or -1 when the menu has none.
int FindVerbCommand(TShellContextMenu& menu, const std::string& verb);
// Runs a verb; a verb the menu does not offer runs nothing (and gives E_INVALIDARG).
HRESULT InvokeVerb(TShellContextMenu& menu, const std::string& verb);
HRESULT InvokeVerb(TShellContextMenu& menu, int offset);

// Creates "Nova pasta", "Nova pasta (2)", ... (then "fldr", "fldr2", ...) in a folder
// (empty: the current folder). One message with the real error when creation fails
// for any reason but an existing name.
bool CreateNewFolder(const std::string& parent, std::string& newName);

// Moves a file or folder to the trash; where no trash can take it, deletes it for ever
// only after two confirmations. True when the item is gone.
bool DeleteShellItem(const std::string& path);
// Copies or moves files into a folder; an existing name is never replaced (that item
// fails). True when every item arrived.
bool TransferIntoFolder(const std::vector<std::string>& paths, const std::string& folder, bool move,
                        std::string& error);

// The drop target of a file-system folder: copies, moves or links the dropped files into
// it. The effect is the key's choice (Ctrl copy, Shift move, both link), else move
// within one file system and copy across, always within what the source allows; none
// for items already there, for the folder itself or a folder above it.
class TFolderDropTarget {
public:
    explicit TFolderDropTarget(std::string folder) : FFolder(std::move(folder)) {}
    uint32_t AddRef() { return ++FRefCount; }
    uint32_t Release();
    const std::string& Folder() const { return FFolder; }
    HRESULT DragEnter(TShellDataObject* data, uint32_t keyState, TPoint point, uint32_t& effect);
    HRESULT DragOver(uint32_t keyState, TPoint point, uint32_t& effect);
    HRESULT DragLeave();
    HRESULT Drop(TShellDataObject* data, uint32_t keyState, TPoint point, uint32_t& effect);

private:
    ~TFolderDropTarget();
    uint32_t Choose(uint32_t keyState, uint32_t allowed) const;
    uint32_t FRefCount = 0;
    std::string FFolder;
    TShellDataObject* FData = nullptr;
};
// The drop target of an item (a folder), handed out with one reference.
HRESULT GetPidlDropTarget(const TIdList& absolute, TFolderDropTarget*& target);
// The desktop folder's drop target.
HRESULT GetDesktopDropTarget(TFolderDropTarget*& target);

// --- Send To -------------------------------------------------------------------------
struct TSendToEntry {
    std::string Name; // a file name of the Send To folder
    int IconIndex = -1;
};
// The Send To folder's entries (no folders, no hidden files), sorted ignoring case; at
// most 49, so that their menu identifiers 1..49 stay below the shell commands'.
std::vector<TSendToEntry> SendToEntries();
// The entry shown for a name: without its extension.
std::string SendToCaption(const std::string& name);
// The menu's answer to a typed character: (index, 3 select | 2 execute), or 1 (close).
uint32_t SendToMenuChar(const std::vector<TSendToEntry>& entries, char32_t typed, int highlighted);
// Hands the data object's files to a Send To entry: a folder (or a link to one) gets
// copies, a desktop entry or a program is started with them.
bool DropOnSendToTarget(const std::string& name, const TShellDataObject& data);

// --- Default keys --------------------------------------------------------------------
constexpr uint16_t scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;
struct TMvShellControlDefKeyRec {
    std::string Text;
    uint16_t ShortCut = 0;
};
enum { dkSelectAll, dkDelete, dkCopy, dkCut, dkPaste, dkRefresh, dkRename };
const std::vector<TMvShellControlDefKeyRec>& InitDefaultKeys();
std::string ShortCutToKeyText(uint16_t shortCut);
uint16_t KeyTextToShortCut(const std::string& text);

HRESULT GetDesktopDirIdLists(TIdList& parent, TIdList& last);

} // namespace mv
