#include "controls/shell/ShellData.h"

#include "controls/shell/ShellStrings.h"
#include "platform/desktop/LocaleText.h"

#include <cctype>
#include <ctime>
#include <sys/stat.h>

namespace mv {

using namespace desktop;

std::string FormatKBSize(uint64_t bytes) {
    uint64_t kb = bytes / 1024 + (bytes % 1024 ? 1 : 0);
    std::string text = ShellText(sKBSize);
    size_t at = text.find("%s");
    std::string number = FormatThousands(kb);
    return at == std::string::npos ? number + text : text.replace(at, 2, number);
}

namespace {

// The program's pattern of a date with its time in the chosen language (text 84).
constexpr int32_t ItemTimePattern = 84;

std::string Digits(int value, size_t width) {
    std::string text = std::to_string(value);
    return text.size() < width ? std::string(width - text.size(), '0') + text : text;
}

} // namespace

std::string FormatItemTime(int64_t seconds) {
    std::string pattern = NamespaceText(ItemTimePattern);
    if (pattern.empty()) pattern = "dd/mm/yy hh:mm";
    const time_t when = static_cast<time_t>(seconds);
    struct tm t {};
    if (!::localtime_r(&when, &t)) return {};
    std::string out;
    bool afterHour = false; // "mm" right after the hour stands for the minutes
    for (size_t i = 0; i < pattern.size();) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(pattern[i])));
        size_t n = 1;
        while (i + n < pattern.size() && std::tolower(static_cast<unsigned char>(pattern[i + n])) == c) ++n;
        const size_t width = n >= 2 ? 2 : 1;
        switch (c) {
        case 'd': out += Digits(t.tm_mday, width); break;
        case 'm':
            out += afterHour ? Digits(t.tm_min, width) : Digits(t.tm_mon + 1, width);
            afterHour = false;
            break;
        case 'y': out += n >= 3 ? Digits(t.tm_year + 1900, 4) : Digits((t.tm_year + 1900) % 100, 2); break;
        case 'h':
            out += Digits(t.tm_hour, width);
            afterHour = true;
            break;
        case 'n':
            out += Digits(t.tm_min, width);
            afterHour = false;
            break;
        case 's': out += Digits(t.tm_sec, width); break;
        default: out.append(pattern, i, n); break;
        }
        i += n;
    }
    return out;
}

void GetFileSizeAndDate(const TIdList& absolute, std::string& size, std::string& modified) {
    size.clear();
    modified.clear();
    std::string path = PidlToPath(absolute);
    // No details for an item without a path or for a volume's root.
    if (path.empty() || IsMountPoint(path)) return;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) size = FormatKBSize(static_cast<uint64_t>(st.st_size));
    int64_t when = st.st_mtim.tv_sec != 0 ? st.st_mtim.tv_sec : st.st_ctim.tv_sec;
    modified = FormatItemTime(when);
}

std::string GetPidlTypeName(const TIdList& absolute, uint32_t attributes) {
    if (!(attributes & sfgaoFileSystem)) return ShellText(sSystemFolder);
    return ItemTypeName(absolute);
}

void GetItemDetails(const TIdList& absolute, uint32_t attributes, std::string& size, std::string& modified,
                    std::string& type) {
    GetFileSizeAndDate(absolute, size, modified);
    type = GetPidlTypeName(absolute, attributes);
}

std::string GetItemDisplayName(const TShellFolder& folder, const TIdList& relative, int kind) {
    std::string name;
    if (!Succeeded(folder.GetDisplayNameOf(relative, kind, name))) return {};
    return name;
}

void RaiseSysError(HRESULT code) { throw EShellError(SysErrorText(code)); }

void CheckHResult(HRESULT code) {
    if (!Succeeded(code)) RaiseSysError(code);
}

// --- Tree records ---------------------------------------------------------------------------

void TMvShTreeData::Initialize(TMvShTreeData* parent, const TIdList& relative) {
    FParentData = parent;
    FRelIdList = CopyPidl(relative);
    FAbsIdList.clear();
    FInitialized = true;
}

const TIdList& TMvShTreeData::GetAbsoluteIdList() {
    if (FAbsIdList.empty() && FInitialized)
        FAbsIdList = FParentData ? ConcatPidls(FParentData->GetAbsoluteIdList(), FRelIdList) : CopyPidl(FRelIdList);
    return FAbsIdList;
}

TShellFolderRef TMvShTreeData::GetParentFolder() { return FParentData ? FParentData->GetShellFolder() : nullptr; }

TShellFolderRef TMvShTreeData::GetShellFolder() {
    if (FShellFolder) return FShellFolder;
    const TIdList& abs = GetAbsoluteIdList();
    if (abs.empty()) return FShellFolder = DesktopFolder();
    TShellFolderRef parent = GetParentFolder();
    TShellFolderRef folder;
    // A failed bind leaves the cache empty.
    HRESULT hr = parent ? parent->BindToObject(FRelIdList, folder) : BindToFolder(abs, folder);
    if (Succeeded(hr)) FShellFolder = folder;
    return FShellFolder;
}

std::string TMvShTreeData::GetPath() {
    if (!FInitialized) throw EShellError("TMvShTreeData not initialised");
    return PidlToPath(GetAbsoluteIdList());
}

bool TMvShTreeData::CanRename() {
    const TIdList& abs = GetAbsoluteIdList();
    if (abs.empty() || PidlSize(abs) <= 2 || !FParentData) return false;
    TShellFolderRef parent = GetParentFolder();
    if (!parent) return false;
    uint32_t mask = sfgaoFileSystem | 0x177;
    if (!Succeeded(parent->GetAttributesOf({FRelIdList}, mask))) return false;
    return (mask & sfgaoCanRename) != 0;
}

void TMvShTreeData::SetRelIdList(const TIdList& relative) {
    FShellFolder.reset();
    FRelIdList = CopyPidl(relative);
    FAbsIdList.clear();
    GetAbsoluteIdList();
}

void TMvShTreeData::Invalidate() {
    FAbsIdList.clear();
    FShellFolder.reset();
}

// --- List records ---------------------------------------------------------------------------

void TMvShListData::SetRelIdList(TIdList relative) {
    FRelIdList = std::move(relative);
    Invalidate();
}

void TMvShListData::Invalidate() {
    FAbsIdList.clear();
    FDisplayName.clear();
    FDetailsLoaded = false;
}

const TIdList& TMvShListData::GetAbsoluteIdList() {
    if (FAbsIdList.empty()) FAbsIdList = ConcatPidls(FList.FolderIdList(), FRelIdList);
    return FAbsIdList;
}

uint32_t TMvShListData::GetAttributes() {
    uint32_t mask = 0xF00F0037;
    // Items on removable media are not asked whether they are read-only.
    if (OnRemovableMedia(GetPath())) mask &= ~sfgaoReadOnly;
    TShellFolderRef folder = FList.FolderShellFolder();
    if (!folder || !Succeeded(folder->GetAttributesOf({FRelIdList}, mask))) return 0;
    return mask;
}

bool TMvShListData::IsShortcut() {
    std::string path = GetPath();
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".lnk") return true;
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool TMvShListData::Validate() {
    TShellFolderRef folder = FList.FolderShellFolder();
    uint32_t mask = sfgaoValidate;
    return folder && Succeeded(folder->GetAttributesOf({FRelIdList}, mask));
}

const std::string& TMvShListData::GetDisplayName() {
    if (FDisplayName.empty()) FDisplayName = IdListDisplayName(GetAbsoluteIdList(), shgdnNormal);
    return FDisplayName;
}

std::string TMvShListData::GetPath() { return PidlToPath(GetAbsoluteIdList()); }

std::string TMvShListData::GetFileName() {
    std::string path = GetPath();
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TMvShListData::GetDetail(int column) {
    if (column <= 0) return {};
    if (!FDetailsLoaded) LoadDetails();
    switch (column) {
    case 1: return FSizeText;
    case 2: return FTypeText;
    case 3: return FModifiedText;
    default: return {};
    }
}

void TMvShListData::LoadDetails() {
    GetItemDetails(GetAbsoluteIdList(), GetAttributes(), FSizeText, FModifiedText, FTypeText);
    FDetailsLoaded = true;
}

// --- Combo records --------------------------------------------------------------------------

void TMvShComboData::Initialize(TShellFolderRef parentFolder, const TIdList& parent, const TIdList& relative) {
    FParentFolder = std::move(parentFolder);
    FParentIdList = CopyPidl(parent);
    FRelIdList = CopyPidl(relative);
    FAbsIdList = ConcatPidls(FParentIdList, FRelIdList);
}

} // namespace mv
