#include "controls/shell/ShellDataObject.h"

#include <algorithm>
#include <cctype>
#include <mutex>

namespace mv {

namespace {

void PutU32(THGlobal& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t GetU32(const THGlobal& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

} // namespace

uint16_t RegisterClipboardFormat(const std::string& name) {
    static std::mutex lock;
    static std::vector<std::string> names;
    std::lock_guard<std::mutex> guard(lock);
    auto it = std::find(names.begin(), names.end(), name);
    if (it == names.end()) it = names.insert(names.end(), name);
    return static_cast<uint16_t>(0xC000 + (it - names.begin()));
}

uint16_t ShellIdListFormat() {
    static const uint16_t format = RegisterClipboardFormat("Shell IDList Array");
    return format;
}

HRESULT MakeIdListArrayHGlobal(const TIdList& parent, const std::vector<TIdList>& items, THGlobal& block) {
    TIdList parentList = parent.empty() ? TIdList{0, 0} : CopyPidl(parent);
    size_t size = 4 + 4 * (items.size() + 1) + parentList.size();
    for (const TIdList& it : items) size += PidlSize(it);
    try {
        block.assign(size, 0);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    PutU32(block, 0, static_cast<uint32_t>(items.size()));
    size_t at = 4 + 4 * (items.size() + 1);
    PutU32(block, 4, static_cast<uint32_t>(at));
    std::copy(parentList.begin(), parentList.end(), block.begin() + static_cast<ptrdiff_t>(at));
    at += parentList.size();
    for (size_t i = 0; i < items.size(); ++i) {
        PutU32(block, 8 + 4 * i, static_cast<uint32_t>(at));
        size_t n = PidlSize(items[i]);
        std::copy(items[i].begin(), items[i].begin() + static_cast<ptrdiff_t>(n), block.begin() + static_cast<ptrdiff_t>(at));
        at += n;
    }
    return S_OK;
}

bool ReadIdListArray(const THGlobal& block, TIdList& parent, std::vector<TIdList>& items) {
    items.clear();
    parent.clear();
    if (block.size() < 8) return false;
    uint32_t n = GetU32(block, 0);
    if (n > (block.size() - 8) / 4) return false;
    auto listAt = [&](uint32_t offset, TIdList& out) {
        if (offset >= block.size()) return false;
        TIdList rest(block.begin() + offset, block.end());
        size_t size = PidlSize(rest);
        if (size < 2 || rest[size - 2] != 0 || rest[size - 1] != 0) return false;
        rest.resize(size);
        std::vector<desktop::TShellItem> decoded;
        if (!desktop::DecodeIdList(rest, decoded)) return false;
        out = std::move(rest);
        return true;
    };
    if (!listAt(GetU32(block, 4), parent)) return false;
    for (uint32_t i = 0; i < n; ++i) {
        TIdList it;
        if (!listAt(GetU32(block, 8 + 4 * i), it)) return false;
        items.push_back(std::move(it));
    }
    return true;
}

HRESULT MakeHDropHGlobal(const std::vector<std::string>& names, THGlobal& block) {
    size_t needed = 20 + 1;
    for (const std::string& n : names) needed += n.size() + 1;
    size_t size = std::max(names.size() * 260 + 21, needed);
    try {
        block.assign(size, 0);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    PutU32(block, 0, 20); // offset of the names; drop point, non-client and wide flags stay 0
    size_t at = 20;
    for (const std::string& n : names) {
        std::copy(n.begin(), n.end(), block.begin() + static_cast<ptrdiff_t>(at));
        at += n.size() + 1;
    }
    return S_OK;
}

HRESULT MakeTextHGlobal(const std::string& text, THGlobal& block) {
    try {
        block.assign(text.begin(), text.end());
        block.push_back(0);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

THGlobal DuplicateHGlobal(const THGlobal& block) { return block; }

// --- Format list and enumerator ----------------------------------------------------------

TMvFormatEtcList::TMvFormatEtcList(const std::vector<uint16_t>& formats) {
    for (uint16_t f : formats) {
        TFormatEtc fe;
        fe.Format = f;
        FItems.push_back(fe);
    }
}

uint32_t TMvFormatEtcList_IEnumFormatEtc::Release() {
    uint32_t n = --FRefCount;
    if (n == 0) delete this;
    return n;
}

HRESULT TMvFormatEtcList_IEnumFormatEtc::Next(uint32_t count, TFormatEtc* out, uint32_t* fetched) {
    uint32_t copied = 0;
    while (copied < count && FPosition < FList.Count()) out[copied++] = FList.Item(FPosition++);
    if (fetched) *fetched = copied;
    return copied == count ? S_OK : S_FALSE;
}

HRESULT TMvFormatEtcList_IEnumFormatEtc::Skip(uint32_t count) {
    if (static_cast<uint32_t>(FList.Count() - FPosition) < count) {
        FPosition = FList.Count();
        return S_FALSE;
    }
    FPosition += static_cast<int>(count);
    return S_OK;
}

HRESULT TMvFormatEtcList_IEnumFormatEtc::Reset() {
    FPosition = 0;
    return S_OK;
}

HRESULT TMvFormatEtcList_IEnumFormatEtc::Clone(TMvFormatEtcList_IEnumFormatEtc*& out) {
    out = new TMvFormatEtcList_IEnumFormatEtc(FList, FPosition);
    out->AddRef();
    return S_OK;
}

// --- Drop source ------------------------------------------------------------------------

TDropSource_shlvtv::TDropSource_shlvtv(TMouseButton button)
    : FDragButton(button == TMouseButton::mbRight ? MK_RBUTTON : button == TMouseButton::mbMiddle ? MK_MBUTTON : MK_LBUTTON) {}

uint32_t TDropSource_shlvtv::Release() {
    uint32_t n = --FRefCount;
    if (n == 0) delete this;
    return n;
}

HRESULT TDropSource_shlvtv::QueryContinueDrag(bool escapePressed, uint32_t keyState) const {
    if (escapePressed || (keyState & (FDragButton ^ 0x13))) return DRAGDROP_S_CANCEL;
    if (keyState & FDragButton) return S_OK;
    return DRAGDROP_S_DROP;
}

HRESULT TDropSource_shlvtv::GiveFeedback(uint32_t) const { return DRAGDROP_S_USEDEFAULTCURSORS; }

// --- Data object ------------------------------------------------------------------------

TShellDataObject::TShellDataObject() : FFormats({ShellIdListFormat(), CF_HDROP, CF_TEXT}) {}

TShellDataObject::TShellDataObject(const TIdList& parent, const std::vector<TIdList>& items)
    : FFormats({ShellIdListFormat(), CF_HDROP, CF_TEXT}) {
    TShellFolderRef folder;
    if (!Succeeded(BindToFolder(parent, folder))) folder = DesktopFolder();
    std::string text;
    for (const TIdList& it : items) {
        FNames.push_back(GetPidlDisplayName(folder.get(), it, desktop::shgdnForParsing));
        text += FNames.back() + "\r\n";
    }
    // A block that cannot be had leaves its format without data.
    if (!Succeeded(MakeIdListArrayHGlobal(parent, items, FIdList))) FIdList.clear();
    if (!Succeeded(MakeHDropHGlobal(FNames, FHDrop))) FHDrop.clear();
    if (!Succeeded(MakeTextHGlobal(text, FText))) FText.clear();
}

uint32_t TShellDataObject::Release() {
    uint32_t n = --FRefCount;
    if (n == 0) delete this;
    return n;
}

HRESULT TShellDataObject::QueryGetData(const TFormatEtc& format) const {
    if (format.Aspect != DVASPECT_CONTENT) return DV_E_FORMATETC;
    for (int i = 0; i < FFormats.Count(); ++i) {
        const TFormatEtc& f = FFormats.Item(i);
        if (f.Format != format.Format) continue;
        return (f.Tymed & format.Tymed) ? S_OK : DV_E_TYMED;
    }
    return DV_E_FORMATETC;
}

HRESULT TShellDataObject::GetData(const TFormatEtc& format, THGlobal& medium) const {
    HRESULT hr = QueryGetData(format);
    if (!Succeeded(hr)) return hr;
    const THGlobal* block = format.Format == ShellIdListFormat() ? &FIdList
                            : format.Format == CF_HDROP            ? &FHDrop
                            : format.Format == CF_TEXT             ? &FText
                                                                   : nullptr;
    if (!block) return DV_E_FORMATETC;
    if (block->empty()) return E_OUTOFMEMORY;
    medium = DuplicateHGlobal(*block);
    return S_OK;
}

HRESULT TShellDataObject::GetCanonicalFormatEtc(const TFormatEtc&, TFormatEtc& out) const {
    out.HasTargetDevice = false;
    return E_NOTIMPL;
}

HRESULT TShellDataObject::EnumFormatEtc(uint32_t direction, TMvFormatEtcList_IEnumFormatEtc*& out) const {
    out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    out = new TMvFormatEtcList_IEnumFormatEtc(FFormats);
    out->AddRef();
    return S_OK;
}

// --- Drag helpers -----------------------------------------------------------------------

HRESULT SplitPidl(const TIdList& absolute, TShellFolderRef& parentFolder, TIdList& parent, TIdList& last) {
    parentFolder.reset();
    parent.clear();
    last.clear();
    TIdList list = absolute;
    if (list.empty() || PidlSize(list) <= 2) {
        HRESULT hr = PathToPidl(SpecialFolderPath(desktop::csidlDesktopDirectory), list);
        if (!Succeeded(hr)) return hr;
    }
    TMvIdListArray view(list);
    int n = view.Count();
    if (n == 1) {
        parentFolder = DesktopFolder();
        last = CopyPidl(list);
        return S_OK;
    }
    parent = view.Ancestor(1);
    last = view.Item(n - 1);
    HRESULT hr = BindToFolder(parent, parentFolder);
    if (!Succeeded(hr)) {
        parent.clear();
        last.clear();
    }
    return hr;
}

uint32_t GetAllowedDropEffects(const TShellDataObject& data) {
    const uint32_t all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    TFormatEtc fe;
    fe.Format = ShellIdListFormat();
    THGlobal block;
    if (!Succeeded(data.QueryGetData(fe)) || !Succeeded(data.GetData(fe, block))) return all;
    // Inside a drop nothing may be raised: an unreadable block or folder allows nothing.
    TIdList parent;
    std::vector<TIdList> items;
    if (!ReadIdListArray(block, parent, items)) return DROPEFFECT_NONE;
    TShellFolderRef folder;
    if (!Succeeded(BindToFolder(parent, folder))) return DROPEFFECT_NONE;
    uint32_t mask = desktop::sfgaoCanCopy | desktop::sfgaoCanMove | desktop::sfgaoCanLink;
    if (!Succeeded(folder->GetAttributesOf(items, mask))) return DROPEFFECT_NONE;
    return all & mask;
}

// --- MIME form --------------------------------------------------------------------------

std::string FileUrl(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "file://";
    for (unsigned char c : path) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                     c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::vector<std::string> PathsOfUriList(const std::string& text) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::string rest;
        if (line.rfind("file:///", 0) == 0) rest = line.substr(7);
        else if (line.rfind("file://localhost/", 0) == 0) rest = line.substr(16);
        else continue; // not a local file
        std::string path;
        bool ok = true;
        for (size_t i = 0; i < rest.size(); ++i) {
            if (rest[i] == '%' && i + 2 < rest.size() + 0 && std::isxdigit(static_cast<unsigned char>(rest[i + 1])) &&
                std::isxdigit(static_cast<unsigned char>(rest[i + 2]))) {
                char c = static_cast<char>(std::stoi(rest.substr(i + 1, 2), nullptr, 16));
                if (c == 0) ok = false;
                path += c;
                i += 2;
            } else {
                path += rest[i];
            }
        }
        if (ok && !path.empty()) out.push_back(path);
    }
    return out;
}

TMimeBlocks MimeBlocksOf(const TShellDataObject& data, bool cut) {
    TMimeBlocks out;
    TFormatEtc fe;
    fe.Format = ShellIdListFormat();
    THGlobal block;
    if (Succeeded(data.GetData(fe, block))) out.push_back({ShellIdListMime, block});
    std::string uris, text;
    for (const std::string& n : data.Names()) {
        if (!n.empty() && n[0] == '/') uris += FileUrl(n) + "\r\n";
        text += n + "\r\n";
    }
    if (!uris.empty()) {
        out.push_back({"text/uri-list", std::vector<uint8_t>(uris.begin(), uris.end())});
        std::string gnome = std::string(cut ? "cut" : "copy");
        for (const std::string& n : data.Names())
            if (!n.empty() && n[0] == '/') gnome += '\n' + FileUrl(n);
        out.push_back({"x-special/gnome-copied-files", std::vector<uint8_t>(gnome.begin(), gnome.end())});
    }
    out.push_back({"text/plain;charset=utf-8", std::vector<uint8_t>(text.begin(), text.end())});
    if (cut) out.push_back({"application/x-kde-cutselection", {'1'}});
    return out;
}

TShellDataObject* DataObjectFromMime(const TMimeBlocks& blocks, bool* cut) {
    auto find = [&](const std::string& mime) -> const TMimeBlock* {
        for (const TMimeBlock& b : blocks)
            if (b.MimeType == mime) return &b;
        return nullptr;
    };
    if (cut) {
        *cut = false;
        if (const TMimeBlock* k = find("application/x-kde-cutselection"))
            *cut = !k->Data.empty() && k->Data[0] == '1';
        if (const TMimeBlock* g = find("x-special/gnome-copied-files"))
            *cut = *cut || std::string(g->Data.begin(), g->Data.end()).rfind("cut\n", 0) == 0;
    }
    if (const TMimeBlock* own = find(ShellIdListMime)) {
        TIdList parent;
        std::vector<TIdList> items;
        if (ReadIdListArray(own->Data, parent, items) && !items.empty()) return new TShellDataObject(parent, items);
    }
    std::vector<std::string> paths;
    if (const TMimeBlock* u = find("text/uri-list")) paths = PathsOfUriList(std::string(u->Data.begin(), u->Data.end()));
    else if (const TMimeBlock* g = find("x-special/gnome-copied-files")) {
        std::string t(g->Data.begin(), g->Data.end());
        size_t nl = t.find('\n');
        if (nl != std::string::npos) paths = PathsOfUriList(t.substr(nl + 1));
    }
    TIdList parent;
    std::vector<TIdList> items;
    for (const std::string& p : paths) {
        TIdList abs;
        if (!Succeeded(PathToPidl(p, abs))) continue;
        TMvIdListArray view(abs);
        TIdList up = view.Ancestor(1);
        if (items.empty()) parent = up;
        else if (ComparePidls(parent, up) != 0) continue; // one folder's items only
        items.push_back(view.Item(view.Count() - 1));
    }
    if (items.empty()) return nullptr;
    return new TShellDataObject(parent, items);
}

} // namespace mv
