#include "controls/shell/ShellCommands.h"

#include "controls/shell/ShellProperties.h"
#include "controls/shell/ShellStrings.h"
#include "platform/FileOps.h"
#include "platform/desktop/ShellExecute.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace mv {

namespace fs = std::filesystem;
using namespace desktop;

namespace {

std::mutex promptLock;
TShellPrompts prompts;

bool Confirm(const std::string& text) {
    std::function<bool(const std::string&)> fn;
    {
        std::lock_guard<std::mutex> g(promptLock);
        fn = prompts.Confirm;
    }
    return fn && fn(text);
}

void Warn(const std::string& text) {
    std::function<void(const std::string&)> fn;
    {
        std::lock_guard<std::mutex> g(promptLock);
        fn = prompts.Warning;
    }
    if (fn) fn(text);
}

std::string StripAmpersand(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size() && s[i + 1] != '&') continue;
        out += s[i];
    }
    return out;
}

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

struct TVerbInfo {
    const char* Verb;
    int Text;
};
const TVerbInfo verbTexts[] = {{"open", 703},     {"cut", 704},      {"copy", 705},
                               {"paste", 706},    {"delete", 707},   {"rename", 708},
                               {"newfolder", 709}, {"properties", 710}};

int VerbText(const std::string& verb) {
    for (const TVerbInfo& v : verbTexts)
        if (verb == v.Verb) return v.Text;
    return 0;
}

bool ClipboardHasFiles() {
    return ClipboardHasFormat(ShellIdListMime) || ClipboardHasFormat("text/uri-list") ||
           ClipboardHasFormat("x-special/gnome-copied-files");
}

// Copies one file or folder tree; fails on an existing name rather than replace it.
bool CopyTree(const fs::path& from, const fs::path& to, std::string& error) {
    std::error_code ec;
    if (fs::symlink_status(to, ec).type() != fs::file_type::not_found) {
        error = std::strerror(EEXIST);
        return false;
    }
    fs::file_status st = fs::symlink_status(from, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    if (fs::is_symlink(st)) fs::copy_symlink(from, to, ec);
    else if (fs::is_directory(st)) {
        fs::create_directory(to, from, ec);
        if (!ec)
            for (const fs::directory_entry& e : fs::directory_iterator(from, ec)) {
                if (!CopyTree(e.path(), to / e.path().filename(), error)) return false;
            }
    } else {
        fs::copy_file(from, to, fs::copy_options::none, ec);
    }
    if (ec) {
        error = ec.message();
        return false;
    }
    return true;
}

} // namespace

void SetShellPrompts(TShellPrompts value) {
    std::lock_guard<std::mutex> g(promptLock);
    prompts = std::move(value);
}

// --- Transfers and deletion ------------------------------------------------------------

bool TransferIntoFolder(const std::vector<std::string>& paths, const std::string& folder, bool move,
                        std::string& error) {
    bool all = true;
    for (const std::string& p : paths) {
        fs::path from(p), to = fs::path(folder) / from.filename();
        std::error_code ec;
        if (fs::equivalent(from.parent_path(), folder, ec) && !move) {
            error = p + ": " + std::strerror(EEXIST);
            all = false;
            continue;
        }
        if (fs::equivalent(from.parent_path(), folder, ec)) continue; // moved onto itself
        std::string why;
        bool ok;
        if (move) {
            // Never replace what is there; across file systems move is copy then delete.
            if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) ok = true;
            else if (errno == EXDEV) {
                ok = CopyTree(from, to, why);
                if (ok) fs::remove_all(from, ec);
            } else {
                ok = false;
                why = std::strerror(errno);
            }
        } else {
            ok = CopyTree(from, to, why);
        }
        if (!ok) {
            error = p + ": " + why;
            all = false;
        }
    }
    return all;
}

bool DeleteShellItem(const std::string& path) {
    std::string error;
    if (!platform::TrashDirFor(path).empty() && platform::MoveToTrash(path, error)) return true;
    if (error.empty()) error = std::strerror(ENOTSUP);
    // No trash can take it: deleting for ever needs a second, explicit yes.
    if (!Confirm(FormatStrPos(NamespaceText(712), {path, error}))) return false;
    if (!Confirm(FormatStrPos(NamespaceText(713), {path}))) return false;
    std::error_code ec;
    fs::remove_all(path, ec);
    if (ec) {
        Warn(FormatStrPos(NamespaceText(714), {path, ec.message()}));
        return false;
    }
    return true;
}

// --- New folder --------------------------------------------------------------------------

bool CreateNewFolder(const std::string& parentPath, std::string& newName) {
    std::string parent = parentPath;
    if (parent.empty()) parent = fs::current_path().string();
    parent = AppendTrailingChar(parent, '/');
    std::string base = ShellText(sNewFolder);
    for (int pass = 0; pass < 2; ++pass) {
        for (int n = 1; n <= 50; ++n) {
            std::string name;
            if (pass == 0) name = n == 1 ? base : base + " (" + std::to_string(n) + ")";
            else if (n == 1) name = "fldr";
            else name = "fldr" + std::to_string(n);
            if (::mkdir((parent + name).c_str(), 0777) == 0) {
                newName = name;
                return true;
            }
            if (errno != EEXIST) {
                // One message with the real error, then stop.
                Warn(FormatStrPos(ShellText(sCannotCreateFolder), {std::strerror(errno), name}));
                return false;
            }
        }
    }
    Warn(FormatStrPos(ShellText(sCannotCreateFolder), {std::strerror(EEXIST), base}));
    return false;
}

// --- Context menu ------------------------------------------------------------------------

TShellContextMenu::TShellContextMenu(TShellFolderRef folder, std::vector<TIdList> items)
    : FFolder(std::move(folder)), FItems(std::move(items)) {}

std::string TShellContextMenu::FolderPath() const { return PidlToPath(FFolder->AbsoluteIdList()); }

std::vector<std::string> TShellContextMenu::ItemPaths() const {
    std::vector<std::string> out;
    for (const TIdList& it : FItems) {
        std::string p = PidlToPath(FFolder->Absolute(it));
        if (!p.empty()) out.push_back(p);
    }
    return out;
}

HRESULT TShellContextMenu::QueryContextMenu(std::vector<TShellMenuEntry>& menu, int firstId, int lastId,
                                            uint32_t flags) {
    FVerbs.clear();
    FQueried = true;
    menu.clear();
    uint32_t attrs = desktop::sfgaoFileSystem | desktop::sfgaoFolder | desktop::sfgaoCanRename |
                     desktop::sfgaoCanDelete | desktop::sfgaoCanCopy | desktop::sfgaoCanMove;
    if (!FItems.empty() && !Succeeded(FFolder->GetAttributesOf(FItems, attrs))) attrs = 0;
    if (FItems.empty()) {
        uint32_t own = desktop::sfgaoFileSystem;
        desktop::ItemAttributes(FFolder->AbsoluteIdList(), own);
        attrs = own;
    }
    bool fileSystem = (attrs & desktop::sfgaoFileSystem) != 0;
    bool pasteTarget = (FItems.empty() && fileSystem) || (FItems.size() == 1 && (attrs & desktop::sfgaoFolder));
    auto add = [&](const std::string& verb, bool enabled, bool isDefault = false) {
        int id = firstId + static_cast<int>(FVerbs.size());
        if (id > lastId) return;
        FVerbs.push_back(verb);
        TShellMenuEntry e;
        e.Id = id;
        e.Caption = NamespaceText(VerbText(verb));
        e.Grayed = !enabled;
        e.Default = isDefault;
        menu.push_back(std::move(e));
    };
    auto separator = [&] { menu.push_back(TShellMenuEntry{}); };
    if (!FItems.empty()) {
        add("open", true, true);
        separator();
        TShellMenuEntry sendTo; // filled when it opens: one greyed placeholder until then
        sendTo.Caption = NamespaceText(711);
        TShellMenuEntry placeholder;
        placeholder.Grayed = true;
        sendTo.Items.push_back(placeholder);
        if (fileSystem) menu.push_back(sendTo);
        separator();
        add("cut", (attrs & desktop::sfgaoCanMove) != 0);
        add("copy", (attrs & desktop::sfgaoCanCopy) != 0);
        if (pasteTarget) add("paste", ClipboardHasFiles());
        separator();
        add("delete", (attrs & desktop::sfgaoCanDelete) != 0);
        if (flags & CMF_CANRENAME) add("rename", FItems.size() == 1 && (attrs & desktop::sfgaoCanRename));
    } else {
        if (pasteTarget) add("paste", ClipboardHasFiles());
        add("newfolder", fileSystem);
    }
    separator();
    add("properties", true);
    return S_OK;
}

HRESULT TShellContextMenu::GetCommandString(int offset, uint32_t kind, std::string& text) const {
    if (offset < 0 || offset >= static_cast<int>(FVerbs.size())) return E_INVALIDARG;
    text = kind == GCS_HELPTEXT ? StripAmpersand(NamespaceText(VerbText(FVerbs[static_cast<size_t>(offset)])))
                                : FVerbs[static_cast<size_t>(offset)];
    return S_OK;
}

HRESULT TShellContextMenu::Paste() {
    bool cut = false;
    std::unique_ptr<TShellDataObject, void (*)(TShellDataObject*)> data(DataObjectFromMime(ClipboardBlocks(), &cut),
                                                                       [](TShellDataObject* d) {
                                                                           if (d) {
                                                                               d->AddRef();
                                                                               d->Release();
                                                                           }
                                                                       });
    if (!data) return E_FAIL;
    std::string target = FItems.empty() ? FolderPath() : PidlToPath(FFolder->Absolute(FItems[0]));
    if (target.empty()) return E_INVALIDARG;
    std::string error;
    bool ok = TransferIntoFolder(data->Names(), target, cut, error);
    if (cut && ok) ClearClipboard(); // moved items cannot be pasted again
    if (!ok) {
        Warn(FormatStrPos(NamespaceText(714), {target, error}));
        return E_FAIL;
    }
    return S_OK;
}

HRESULT TShellContextMenu::Delete() {
    bool all = true;
    for (const std::string& p : ItemPaths()) all = DeleteShellItem(p) && all;
    return all ? S_OK : E_FAIL;
}

HRESULT TShellContextMenu::InvokeCommand(int offset) {
    if (offset < 0 || offset >= static_cast<int>(FVerbs.size())) return E_INVALIDARG;
    const std::string& verb = FVerbs[static_cast<size_t>(offset)];
    if (verb == "open") {
        for (const std::string& p : ItemPaths())
            if (ShellOpen(p, "", "") <= 32) return E_FAIL;
        return S_OK;
    }
    if (verb == "cut" || verb == "copy") {
        TShellDataObject* data = new TShellDataObject(FFolder->AbsoluteIdList(), FItems);
        data->AddRef();
        SetClipboardBlocks(MimeBlocksOf(*data, verb == "cut"));
        data->Release();
        return S_OK;
    }
    if (verb == "paste") return Paste();
    if (verb == "delete") return Delete();
    if (verb == "rename") {
        if (OnRename) OnRename();
        return S_OK;
    }
    if (verb == "newfolder") {
        std::string name;
        if (!CreateNewFolder(FolderPath(), name)) return E_FAIL;
        if (OnNewFolder) OnNewFolder(name);
        return S_OK;
    }
    if (verb == "properties") {
        if (OnProperties) OnProperties();
        else ShowShellProperties(FItems.empty() ? std::vector<TIdList>{FFolder->AbsoluteIdList()} : [&] {
            std::vector<TIdList> abs;
            for (const TIdList& it : FItems) abs.push_back(FFolder->Absolute(it));
            return abs;
        }());
        return S_OK;
    }
    return E_NOTIMPL;
}

HRESULT GetContextMenu(TShellFolderRef folder, const std::vector<TIdList>& items, uint32_t flags, int firstId,
                       std::unique_ptr<TShellContextMenu>& menu, std::vector<TShellMenuEntry>& entries) {
    menu.reset();
    entries.clear();
    if (!folder) return E_INVALIDARG;
    for (const TIdList& it : items) {
        std::vector<TShellItem> decoded;
        if (!DecodeIdList(it, decoded)) return E_INVALIDARG;
    }
    auto m = std::make_unique<TShellContextMenu>(std::move(folder), items);
    HRESULT hr = m->QueryContextMenu(entries, firstId, LastShellCommand, flags);
    if (!Succeeded(hr)) throw EShellError(SysErrorText(hr));
    menu = std::move(m);
    return S_OK;
}

int FindVerbCommand(TShellContextMenu& menu, const std::string& verb) {
    // The offsets of the menu as it was filled (so that they match what was shown).
    if (!menu.Queried()) {
        std::vector<TShellMenuEntry> scratch;
        menu.QueryContextMenu(scratch, FirstShellCommand, LastShellCommand, CMF_EXPLORE);
    }
    std::string want = LowerAscii(verb);
    for (size_t i = 0; i < menu.Verbs().size(); ++i) {
        std::string v;
        if (Succeeded(menu.GetCommandString(static_cast<int>(i), GCS_VERB, v)) && LowerAscii(v) == want)
            return static_cast<int>(i);
    }
    return -1; // not offered: nothing must run
}

HRESULT InvokeVerb(TShellContextMenu& menu, const std::string& verb) {
    int offset = FindVerbCommand(menu, verb);
    if (offset < 0) return E_INVALIDARG;
    return menu.InvokeCommand(offset);
}

HRESULT InvokeVerb(TShellContextMenu& menu, int offset) { return menu.InvokeCommand(offset); }

// --- Folder drop target ---------------------------------------------------------------------

TFolderDropTarget::~TFolderDropTarget() {
    if (FData) FData->Release();
}

uint32_t TFolderDropTarget::Release() {
    uint32_t n = --FRefCount;
    if (n == 0) delete this;
    return n;
}

uint32_t TFolderDropTarget::Choose(uint32_t keyState, uint32_t allowed) const {
    if (!FData || FData->Names().empty()) return DROPEFFECT_NONE;
    struct stat folder {};
    if (::stat(FFolder.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) return DROPEFFECT_NONE;
    bool sameDevice = true;
    const std::string target = AppendTrailingChar(FFolder, '/');
    for (const std::string& n : FData->Names()) {
        // Not onto itself, not into the folder it already is in, not into itself below.
        fs::path p(n);
        std::error_code ec;
        if (fs::equivalent(p.parent_path(), FFolder, ec)) return DROPEFFECT_NONE;
        if (target.rfind(AppendTrailingChar(n, '/'), 0) == 0) return DROPEFFECT_NONE;
        struct stat st {};
        if (::lstat(n.c_str(), &st) != 0) return DROPEFFECT_NONE;
        sameDevice = sameDevice && st.st_dev == folder.st_dev;
    }
    uint32_t want;
    if ((keyState & MK_CONTROL) && (keyState & MK_SHIFT)) want = DROPEFFECT_LINK;
    else if (keyState & MK_CONTROL) want = DROPEFFECT_COPY;
    else if (keyState & MK_SHIFT) want = DROPEFFECT_MOVE;
    else want = sameDevice ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    if (allowed & want) return want;
    for (uint32_t e : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
        if (allowed & e) return e;
    return DROPEFFECT_NONE;
}

HRESULT TFolderDropTarget::DragEnter(TShellDataObject* data, uint32_t keyState, TPoint, uint32_t& effect) {
    if (FData) FData->Release();
    FData = data;
    if (FData) FData->AddRef();
    effect = Choose(keyState, effect);
    return S_OK;
}

HRESULT TFolderDropTarget::DragOver(uint32_t keyState, TPoint, uint32_t& effect) {
    effect = Choose(keyState, effect);
    return S_OK;
}

HRESULT TFolderDropTarget::DragLeave() {
    if (FData) FData->Release();
    FData = nullptr;
    return S_OK;
}

HRESULT TFolderDropTarget::Drop(TShellDataObject* data, uint32_t keyState, TPoint point, uint32_t& effect) {
    DragEnter(data, keyState, point, effect);
    HRESULT hr = S_OK;
    if (effect == DROPEFFECT_LINK) {
        for (const std::string& n : FData->Names()) {
            fs::path to = fs::path(FFolder) / fs::path(n).filename();
            std::error_code ec;
            fs::create_symlink(n, to, ec);
            if (ec) {
                Warn(FormatStrPos(NamespaceText(714), {FFolder, n + ": " + ec.message()}));
                hr = E_FAIL;
            }
        }
    } else if (effect != DROPEFFECT_NONE) {
        std::string error;
        if (!TransferIntoFolder(FData->Names(), FFolder, effect == DROPEFFECT_MOVE, error)) {
            Warn(FormatStrPos(NamespaceText(714), {FFolder, error}));
            hr = E_FAIL;
        }
    }
    DragLeave();
    return hr;
}

HRESULT GetPidlDropTarget(const TIdList& absolute, TFolderDropTarget*& target) {
    target = nullptr;
    uint32_t mask = desktop::sfgaoDropTarget | desktop::sfgaoFileSystem;
    if (!desktop::ItemAttributes(absolute, mask) || !(mask & desktop::sfgaoDropTarget)) return E_INVALIDARG;
    std::string path = PidlToPath(absolute);
    if (path.empty()) return E_INVALIDARG;
    target = new TFolderDropTarget(path);
    target->AddRef();
    return S_OK;
}

HRESULT GetDesktopDropTarget(TFolderDropTarget*& target) {
    TIdList list;
    HRESULT hr = PathToPidl(SpecialFolderPath(csidlDesktopDirectory), list);
    if (!Succeeded(hr)) {
        target = nullptr;
        return hr;
    }
    return GetPidlDropTarget(list, target);
}

// --- Send To ---------------------------------------------------------------------------------

std::vector<TSendToEntry> SendToEntries() {
    std::vector<TSendToEntry> out;
    std::string dir = SpecialFolderPath(csidlSendTo);
    if (dir.empty()) return out;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return out;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name.empty() || name[0] == '.') continue; // hidden, and "." and ".."
        struct stat st {};
        if (::lstat((dir + "/" + name).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        TSendToEntry entry;
        entry.Name = name;
        TIdList abs;
        entry.IconIndex = Succeeded(PathToPidl(dir + "/" + name, abs)) ? GetPidlIconIndex(abs, shgfiSmallIcon) : -1;
        out.push_back(entry);
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const TSendToEntry& a, const TSendToEntry& b) {
        std::string la = LowerAscii(a.Name), lb = LowerAscii(b.Name);
        return la != lb ? la < lb : a.Name < b.Name;
    });
    if (out.size() > 49) out.resize(49);
    return out;
}

std::string SendToCaption(const std::string& name) {
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

uint32_t SendToMenuChar(const std::vector<TSendToEntry>& entries, char32_t typed, int highlighted) {
    auto upper = [](char32_t c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; };
    char32_t want = upper(typed);
    auto first = [&](const TSendToEntry& e) -> char32_t {
        return e.Name.empty() ? 0 : upper(static_cast<unsigned char>(e.Name[0]));
    };
    int n = static_cast<int>(entries.size());
    int start = highlighted < 0 || highlighted >= n ? 0 : highlighted;
    int hit = -1;
    for (int k = 1; k <= n && hit < 0; ++k) {
        int i = (start + k) % n;
        if (first(entries[static_cast<size_t>(i)]) == want) hit = i;
    }
    if (hit < 0) return 1;
    int count = 0;
    for (const TSendToEntry& e : entries) count += first(e) == want;
    return static_cast<uint32_t>(hit) | ((count > 1 ? 3u : 2u) << 16);
}

bool DropOnSendToTarget(const std::string& name, const TShellDataObject& data) {
    if (name.empty() || name.find('/') != std::string::npos) return false;
    std::string target = SpecialFolderPath(csidlSendTo) + "/" + name;
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        std::string error;
        bool ok = TransferIntoFolder(data.Names(), target, false, error);
        if (!ok) Warn(FormatStrPos(NamespaceText(714), {target, error}));
        return ok;
    }
    if (name.size() > 8 && name.compare(name.size() - 8, 8, ".desktop") == 0) {
        bool ok = true;
        for (const std::string& file : data.Names()) {
            std::vector<std::string> cmd = DesktopEntryCommand(target, file);
            if (cmd.empty()) return false;
            std::string params;
            for (size_t i = 1; i < cmd.size(); ++i) params += (i > 1 ? " \"" : "\"") + cmd[i] + "\"";
            ok = ShellOpen(cmd[0], params, "") > 32 && ok;
        }
        return ok;
    }
    std::string params;
    for (const std::string& file : data.Names()) params += (params.empty() ? "\"" : " \"") + file + "\"";
    return ShellOpen(target, params, "") > 32;
}

// --- Keys --------------------------------------------------------------------------------------

std::string ShortCutToKeyText(uint16_t shortCut) {
    uint8_t key = shortCut & 0xFF;
    std::string name;
    static const char* const around[] = {"Space", "PgUp", "PgDn", "End", "Home", "Left", "Up", "Right", "Down"};
    if (key == 8) name = "BkSp";
    else if (key == 9) name = "Tab";
    else if (key == 13) name = "Enter";
    else if (key == 27) name = "Esc";
    else if (key >= 32 && key <= 40) name = around[key - 32];
    else if (key == 45) name = "Ins";
    else if (key == 46) name = "Del";
    else if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) name = std::string(1, static_cast<char>(key));
    else if (key >= 96 && key <= 105) name = std::string(1, static_cast<char>('0' + key - 96));
    else if (key >= 112 && key <= 135) name = "F" + std::to_string(key - 111);
    else name = "#" + std::to_string(shortCut);
    std::string text;
    if (shortCut & scShift) text += "Shift+";
    if (shortCut & scCtrl) text += "Ctrl+";
    if (shortCut & scAlt) text += "Alt+";
    return text + name;
}

uint16_t KeyTextToShortCut(const std::string& text) {
    std::string rest = text;
    uint16_t mods = 0;
    auto strip = [&](const std::string& prefix, uint16_t bit) {
        if (rest.size() >= prefix.size() && LowerAscii(rest.substr(0, prefix.size())) == LowerAscii(prefix)) {
            rest = rest.substr(prefix.size());
            mods |= bit;
            return true;
        }
        return false;
    };
    while (strip("Shift+", scShift) || strip("^", scCtrl) || strip("Ctrl+", scCtrl) || strip("Alt+", scAlt)) {
    }
    if (rest.empty()) return 0;
    std::string want = LowerAscii(rest);
    for (uint16_t key = 8; key <= 597; ++key)
        if (LowerAscii(ShortCutToKeyText(key)) == want) return static_cast<uint16_t>(key | mods);
    return 0;
}

const std::vector<TMvShellControlDefKeyRec>& InitDefaultKeys() {
    static const std::vector<TMvShellControlDefKeyRec> keys = [] {
        std::vector<TMvShellControlDefKeyRec> k;
        for (int n : {sSelectAllKey, sDeleteKey, sCopyKey, sCutKey, sPasteKey, sRefreshKey, sRenameKey}) {
            TMvShellControlDefKeyRec r;
            r.Text = ShellText(n);
            r.ShortCut = KeyTextToShortCut(r.Text);
            k.push_back(r);
        }
        return k;
    }();
    return keys;
}

HRESULT GetDesktopDirIdLists(TIdList& parent, TIdList& last) {
    parent.clear();
    last.clear();
    TIdList list;
    HRESULT hr = PathToPidl(SpecialFolderPath(csidlDesktopDirectory), list);
    if (!Succeeded(hr)) return hr;
    TMvIdListArray view(list);
    if (view.Count() == 0) return E_FAIL;
    parent = view.Ancestor(1);
    last = view.Item(view.Count() - 1);
    return S_OK;
}

} // namespace mv
