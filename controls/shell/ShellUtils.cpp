#include "controls/shell/ShellUtils.h"

#include "controls/shell/SystemImages.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace mv {

using namespace desktop;

HRESULT HResultFromErrno(int error) {
    if (error == 0) return S_OK;
    if (error == ENOMEM) return E_OUTOFMEMORY;
    if (error == EINVAL) return E_INVALIDARG;
    return static_cast<HRESULT>(0x80070000u | (static_cast<uint32_t>(error) & 0xFFFF));
}

std::string SysErrorText(HRESULT hr) {
    uint32_t code = static_cast<uint32_t>(hr);
    if ((code & 0xFFFF0000u) == 0x80070000u) return std::strerror(static_cast<int>(code & 0xFFFF));
    switch (hr) {
    case E_OUTOFMEMORY: return std::strerror(ENOMEM);
    case E_INVALIDARG: return std::strerror(EINVAL);
    case E_NOTIMPL: return std::strerror(ENOSYS);
    default: return std::strerror(EIO);
    }
}

// --- TShellFolder -----------------------------------------------------------------------

TIdList TShellFolder::Absolute(const TIdList& relative) const { return ConcatPidls(FAbsolute, relative); }

HRESULT TShellFolder::EnumObjects(uint32_t flags, std::vector<TIdList>& items) const {
    return HResultFromErrno(EnumFolder(FAbsolute, flags, items));
}

HRESULT TShellFolder::BindToObject(const TIdList& relative, TShellFolderRef& folder) const {
    folder.reset();
    TIdList abs = Absolute(relative);
    uint32_t mask = sfgaoFolder;
    if (abs.empty() || !ItemAttributes(abs, mask)) return E_INVALIDARG;
    if (!(mask & sfgaoFolder)) return HResultFromErrno(ENOTDIR);
    folder = std::make_shared<TShellFolder>(std::move(abs));
    return S_OK;
}

HRESULT TShellFolder::CompareIDs(int, const TIdList& a, const TIdList& b, int& result) const {
    std::vector<TShellItem> ia, ib;
    if (!DecodeIdList(a, ia) || !DecodeIdList(b, ib)) return E_INVALIDARG;
    result = CompareIdLists(Absolute(a), Absolute(b));
    return S_OK;
}

HRESULT TShellFolder::GetAttributesOf(const std::vector<TIdList>& items, uint32_t& mask) const {
    uint32_t want = mask;
    for (const TIdList& rel : items) {
        uint32_t m = want;
        if (!ItemAttributes(Absolute(rel), m)) return HResultFromErrno(ENOENT);
        mask &= m;
    }
    return S_OK;
}

HRESULT TShellFolder::GetDisplayNameOf(const TIdList& relative, int kind, std::string& name) const {
    TIdList abs = Absolute(relative);
    std::vector<TShellItem> items;
    if (!DecodeIdList(abs, items)) return E_INVALIDARG;
    name = IdListDisplayName(abs, kind);
    return S_OK;
}

HRESULT TShellFolder::SetNameOf(const TIdList& relative, const std::string& name, TIdList& newRelative) const {
    newRelative.clear();
    if (TMvIdListArray(relative).Count() != 1) return E_INVALIDARG; // one item of this folder, never the folder
    return HResultFromErrno(RenameItem(Absolute(relative), name, newRelative));
}

HRESULT TShellFolder::ParseDisplayName(const std::string& name, TIdList& relative) const {
    relative.clear();
    std::string path = name;
    if (path.empty() || path[0] != '/') {
        std::string base = IdListToPath(FAbsolute);
        if (base.empty()) return E_INVALIDARG;
        path = AppendTrailingChar(base, '/') + name;
    }
    TIdList abs;
    if (int e = PathToIdList(path, abs)) return HResultFromErrno(e);
    // The folder's own items lead the parsed list when it lies inside the folder (they
    // name the same items, though a time in them may have moved on).
    int own = TMvIdListArray(FAbsolute).Count();
    TMvIdListArray view(abs);
    if (view.Count() <= own || ComparePidls(view.Ancestor(view.Count() - own), FAbsolute) != 0) return E_INVALIDARG;
    size_t skip = 0;
    for (int i = 0; i < own; ++i) skip += abs[skip] | (abs[skip + 1] << 8);
    relative.assign(abs.begin() + static_cast<ptrdiff_t>(skip), abs.end());
    return S_OK;
}

TShellFolderRef DesktopFolder() { return std::make_shared<TShellFolder>(TIdList{0, 0}); }

// --- Free helpers -------------------------------------------------------------------------

size_t PidlSize(const TIdList& list) {
    if (list.empty()) return 0;
    size_t pos = 0;
    while (pos + 2 <= list.size()) {
        size_t count = list[pos] | (list[pos + 1] << 8);
        if (count == 0) return pos + 2;
        if (count < 2 || pos + count > list.size()) break;
        pos += count;
    }
    return list.size(); // a damaged list: never past its bytes
}

TIdList CopyPidl(const TIdList& list) {
    if (list.empty()) return {};
    TIdList out(list.begin(), list.begin() + static_cast<ptrdiff_t>(PidlSize(list)));
    if (out.size() < 2) out = {0, 0};
    out[out.size() - 2] = 0;
    out[out.size() - 1] = 0;
    return out;
}

TIdList ConcatPidls(const TIdList& first, const TIdList& second) {
    size_t a = first.empty() ? 0 : PidlSize(first) - 2, b = second.empty() ? 0 : PidlSize(second) - 2;
    TIdList out;
    out.reserve(a + b + 2);
    out.insert(out.end(), first.begin(), first.begin() + static_cast<ptrdiff_t>(a));
    out.insert(out.end(), second.begin(), second.begin() + static_cast<ptrdiff_t>(b));
    out.push_back(0);
    out.push_back(0);
    return out;
}

int ComparePidls(const TIdList& a, const TIdList& b) {
    if (a.empty() && b.empty()) return 0;
    if (a.empty() || b.empty()) return -1;
    bool ea = PidlSize(a) <= 2, eb = PidlSize(b) <= 2;
    if (ea && eb) return 0;
    if (ea || eb) return -1;
    int result = 0;
    if (!Succeeded(DesktopFolder()->CompareIDs(0, a, b, result))) return INT_MAX;
    return static_cast<int16_t>(result);
}

HRESULT BindToFolder(const TIdList& absolute, TShellFolderRef& folder) {
    if (absolute.empty() || PidlSize(absolute) <= 2) {
        folder = DesktopFolder();
        return S_OK;
    }
    return DesktopFolder()->BindToObject(absolute, folder);
}

HRESULT PathToPidl(const std::string& path, TIdList& list) { return HResultFromErrno(PathToIdList(path, list)); }

std::string PidlToPath(const TIdList& list) {
    if (list.empty()) return {};
    return IdListToPath(list);
}

HRESULT GetSpecialFolderPidl(int csidl, TIdList& list) {
    return HResultFromErrno(SpecialFolderIdList(csidl & 0x7F, list));
}

std::string SpecialFolderPath(int csidl) {
    TIdList list;
    if (!Succeeded(GetSpecialFolderPidl(csidl, list))) return {};
    return PidlToPath(list);
}

int GetPidlIconIndex(const TIdList& absolute, uint32_t flags) {
    const int index = IdListIconIndex(absolute, flags);
    CatchUpSystemImageLists();
    return index;
}

int GetFileIconIndex(const std::string& fileName, uint32_t flags) {
    const int index = FileNameIconIndex(fileName, flags);
    CatchUpSystemImageLists();
    return index;
}

std::string GetPidlDisplayName(const TShellFolder* folder, const TIdList& relative, int kind) {
    std::string name;
    TShellFolderRef desktop;
    if (!folder) {
        desktop = DesktopFolder();
        folder = desktop.get();
    }
    if (!Succeeded(folder->GetDisplayNameOf(relative, kind, name))) return {};
    return name;
}

std::string AppendTrailingChar(const std::string& text, char c) {
    if (text.empty() || text.back() == c) return text;
    return text + c;
}

std::string FormatStrPos(const std::string& message, const std::vector<std::string>& texts) {
    if (texts.size() > 50) throw EShellError("FormatStrPos: Too many substitution strings");
    std::string out;
    for (size_t i = 0; i < message.size(); ++i) {
        char c = message[i];
        if (c != '%' || i + 1 >= message.size()) {
            out += c;
            continue;
        }
        char n = message[i + 1];
        if (n == '%') {
            out += '%';
            ++i;
            continue;
        }
        if (n >= '1' && n <= '9') {
            size_t j = i + 1;
            size_t number = 0;
            while (j < message.size() && j < i + 3 && message[j] >= '0' && message[j] <= '9')
                number = number * 10 + static_cast<size_t>(message[j++] - '0');
            if (number >= 1 && number <= texts.size()) out += texts[number - 1];
            else out += message.substr(i, j - i); // no such text: left as written
            i = j - 1;
            continue;
        }
        out += c;
    }
    return out;
}

std::string TrimTrailingBlanks(const std::string& text) {
    size_t end = text.size();
    while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
    return text.substr(0, end);
}

void AppendNextChar(size_t& position, const std::string& text, std::string& out) {
    if (position < 1 || position > text.size()) return;
    size_t i = position - 1;
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    len = std::min(len, text.size() - i);
    out.append(text, i, len);
    position += len;
}

HRESULT ResolveShortcut(const std::string& linkPath, TMvShortcutInfo& info, bool wantIdList) {
    info = TMvShortcutInfo{};
    std::error_code ec;
    std::filesystem::path link(linkPath);
    if (!std::filesystem::is_symlink(link, ec)) return ec ? HResultFromErrno(ec.value()) : E_INVALIDARG;
    std::filesystem::path target = std::filesystem::read_symlink(link, ec);
    if (ec) return HResultFromErrno(ec.value());
    if (target.is_relative()) target = link.parent_path() / target;
    info.Path = target.lexically_normal().string();
    info.WorkingDirectory = std::filesystem::path(info.Path).parent_path().string();
    info.ValidFields = 0x3F;
    if (wantIdList) {
        HRESULT hr = PathToPidl(info.Path, info.IdList);
        if (!Succeeded(hr)) return hr;
    }
    return S_OK;
}

// --- TMvIdListArray -----------------------------------------------------------------------

int TMvIdListArray::Count() const {
    if (FList.empty()) return 0;
    int n = 0;
    size_t pos = 0;
    while (pos + 2 <= FList.size()) {
        size_t count = FList[pos] | (FList[pos + 1] << 8);
        if (count < 2 || pos + count > FList.size()) break;
        pos += count;
        ++n;
    }
    return n;
}

TIdList TMvIdListArray::Ancestor(int levels) const {
    int n = Count();
    if (levels < 0 || levels > n) return {};
    size_t pos = 0;
    for (int i = 0; i < n - levels; ++i) pos += FList[pos] | (FList[pos + 1] << 8);
    TIdList out(FList.begin(), FList.begin() + static_cast<ptrdiff_t>(pos));
    out.push_back(0);
    out.push_back(0);
    return out;
}

TIdList TMvIdListArray::Item(int index) const {
    int n = Count();
    // On the empty list only index 0 is valid: it gives the empty list.
    if (FList.empty() || index < 0 || (n != 0 && index >= n) || (n == 0 && index != 0)) {
        char msg[64];
        std::snprintf(msg, sizeof msg, "TMvIdListArray - index %d out of range", index);
        throw EShellError(msg);
    }
    if (n == 0) return {0, 0};
    size_t pos = 0;
    for (int i = 0; i < index; ++i) pos += FList[pos] | (FList[pos + 1] << 8);
    size_t count = FList[pos] | (FList[pos + 1] << 8);
    TIdList out(FList.begin() + static_cast<ptrdiff_t>(pos), FList.begin() + static_cast<ptrdiff_t>(pos + count));
    out.push_back(0);
    out.push_back(0);
    return out;
}

// --- TMvPidlList --------------------------------------------------------------------------

int TMvPidlList::CompareEntry(const TIdList& entry, const TIdList& key) const {
    if (FShellFolder) {
        int result = 0;
        FShellFolder->CompareIDs(0, entry, key, result);
        return static_cast<int16_t>(result);
    }
    size_t sa = PidlSize(entry), sb = PidlSize(key);
    size_t n = std::min(sa, sb);
    for (size_t i = 0; i < n; ++i)
        if (entry[i] != key[i]) return static_cast<int>(entry[i]) - static_cast<int>(key[i]);
    return static_cast<int>(sa) - static_cast<int>(sb);
}

bool TMvPidlList::Find(const TIdList& key, int& index) const {
    int low = 0, high = Count() - 1;
    bool found = false;
    while (low <= high) {
        int middle = (low + high) / 2;
        int c = CompareEntry(FItems[static_cast<size_t>(middle)].Pidl, key);
        if (c < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (c == 0) {
                found = true;
                if (FDuplicates != TDuplicates::dupAccept) low = middle;
            }
        }
    }
    index = low;
    return found;
}

int TMvPidlList::IndexOf(const TIdList& key) const {
    if (FSorted) {
        int index = 0;
        return Find(key, index) ? index : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (CompareEntry(FItems[static_cast<size_t>(i)].Pidl, key) == 0) return i;
    return -1;
}

int TMvPidlList::AddObject(TIdList pidl, void* object) {
    int index = Count();
    if (FSorted) {
        if (Find(pidl, index)) {
            if (FDuplicates == TDuplicates::dupIgnore) return index;
            if (FDuplicates == TDuplicates::dupError) throw EShellError("TMvPidlList: Duplicate PIDL");
        }
    }
    InsertObject(index, std::move(pidl), object);
    return index;
}

void TMvPidlList::InsertObject(int index, TIdList pidl, void* object) {
    if (index < 0 || index > Count()) throw EShellError("TMvPidlList: index out of range");
    FItems.insert(FItems.begin() + index, TEntry{std::move(pidl), object});
}

void TMvPidlList::Delete(int index) {
    if (index < 0 || index >= Count()) throw EShellError("TMvPidlList: index out of range");
    FItems.erase(FItems.begin() + index);
}

void TMvPidlList::SetSorted(bool value) {
    if (value && !FSorted) {
        FSorted = true;
        Sort();
    }
    FSorted = value;
}

void TMvPidlList::Sort() {
    std::stable_sort(FItems.begin(), FItems.end(),
                     [this](const TEntry& a, const TEntry& b) { return CompareEntry(a.Pidl, b.Pidl) < 0; });
}

} // namespace mv
