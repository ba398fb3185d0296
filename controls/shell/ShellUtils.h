#pragma once
// Item identifier lists and the helpers every shell control uses on them: size, copy,
// join, split, compare, bind, parse, name; the ancestor/item view of one list and a
// sorted list of lists; small text helpers. Lists are byte vectors (see
// platform/desktop/ShellNamespace.h): no bytes is no list, {0, 0} the Desktop.
#include "platform/desktop/ShellNamespace.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace mv {

using desktop::TIdList;

// Result codes of the shell calls (success is 0 or positive).
using HRESULT = int32_t;
constexpr HRESULT S_OK = 0, S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001), E_NOINTERFACE = static_cast<HRESULT>(0x80004002),
                  E_FAIL = static_cast<HRESULT>(0x80004005), E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E),
                  E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
// A system error number as a result code.
HRESULT HResultFromErrno(int error);
// The system's text for a result code.
std::string SysErrorText(HRESULT hr);

class EShellError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A folder of the namespace, bound by its absolute list.
class TShellFolder {
public:
    explicit TShellFolder(TIdList absolute) : FAbsolute(std::move(absolute)) {}
    const TIdList& AbsoluteIdList() const { return FAbsolute; }
    HRESULT EnumObjects(uint32_t flags, std::vector<TIdList>& items) const;
    HRESULT BindToObject(const TIdList& relative, std::shared_ptr<TShellFolder>& folder) const;
    // Order of two relative lists by column 0; result negative, 0 or positive.
    HRESULT CompareIDs(int column, const TIdList& a, const TIdList& b, int& result) const;
    // Narrows mask to the attributes all the items have.
    HRESULT GetAttributesOf(const std::vector<TIdList>& items, uint32_t& mask) const;
    HRESULT GetDisplayNameOf(const TIdList& relative, int kind, std::string& name) const;
    HRESULT SetNameOf(const TIdList& relative, const std::string& name, TIdList& newRelative) const;
    // A name inside this folder (or an absolute path) as a relative list.
    HRESULT ParseDisplayName(const std::string& name, TIdList& relative) const;
    TIdList Absolute(const TIdList& relative) const;

private:
    TIdList FAbsolute;
};
using TShellFolderRef = std::shared_ptr<TShellFolder>;

TShellFolderRef DesktopFolder();

size_t PidlSize(const TIdList& list);
TIdList CopyPidl(const TIdList& list);
TIdList ConcatPidls(const TIdList& first, const TIdList& second);
int ComparePidls(const TIdList& a, const TIdList& b);
HRESULT BindToFolder(const TIdList& absolute, TShellFolderRef& folder);
HRESULT PathToPidl(const std::string& path, TIdList& list);
std::string PidlToPath(const TIdList& list);
HRESULT GetSpecialFolderPidl(int csidl, TIdList& list);
std::string SpecialFolderPath(int csidl);
int GetPidlIconIndex(const TIdList& absolute, uint32_t flags);
int GetFileIconIndex(const std::string& fileName, uint32_t flags);
// folder null: the Desktop.
std::string GetPidlDisplayName(const TShellFolder* folder, const TIdList& relative, int kind);
std::string AppendTrailingChar(const std::string& text, char c);
// Puts texts into "%1".."%n"; "%%" is a percent sign; a number without a text stays as
// it is. More than 50 texts raise EShellError.
std::string FormatStrPos(const std::string& message, const std::vector<std::string>& texts);
std::string TrimTrailingBlanks(const std::string& text);
// Appends the character at the 1-based position (all the bytes of a UTF-8 character)
// and moves the position past it.
void AppendNextChar(size_t& position, const std::string& text, std::string& out);

// What a shortcut (a symbolic link) leads to.
struct TMvShortcutInfo {
    std::string Path;
    uint32_t ValidFields = 0;
    std::string Description, Arguments, IconLocation;
    int32_t IconIndex = 0;
    std::string WorkingDirectory;
    int32_t ShowCommand = 1;
    uint16_t HotKey = 0;
    TIdList IdList;
};
HRESULT ResolveShortcut(const std::string& linkPath, TMvShortcutInfo& info, bool wantIdList);

// A view of one absolute list as an array of items.
class TMvIdListArray {
public:
    explicit TMvIdListArray(const TIdList& list) : FList(list) {}
    int Count() const;
    // The first Count - levels items; no list for levels outside 0..Count.
    TIdList Ancestor(int levels) const;
    // One item as a one-item list; raises for an index out of range.
    TIdList Item(int index) const;

private:
    const TIdList& FList;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

// An ordered list of (list, object) entries; objects are never freed by it.
class TMvPidlList {
public:
    TMvPidlList() = default;
    virtual ~TMvPidlList() = default;
    int Count() const { return static_cast<int>(FItems.size()); }
    const TIdList& Pidls(int index) const { return FItems.at(index).Pidl; }
    void* Objects(int index) const { return FItems.at(index).Object; }
    void SetCapacity(int value) { FItems.reserve(static_cast<size_t>(value)); }
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates value) { FDuplicates = value; }
    const TShellFolderRef& ShellFolder() const { return FShellFolder; }
    void SetShellFolder(TShellFolderRef value) { FShellFolder = std::move(value); }
    virtual int Add(TIdList pidl) { return AddObject(std::move(pidl), nullptr); }
    virtual int AddObject(TIdList pidl, void* object);
    void InsertObject(int index, TIdList pidl, void* object);
    bool Find(const TIdList& key, int& index) const;
    int IndexOf(const TIdList& key) const;
    void Delete(int index);
    void Clear() { FItems.clear(); }
    void Sort();

private:
    struct TEntry {
        TIdList Pidl;
        void* Object = nullptr;
    };
    int CompareEntry(const TIdList& entry, const TIdList& key) const;
    std::vector<TEntry> FItems;
    bool FSorted = false;
    TDuplicates FDuplicates = TDuplicates::dupError;
    TShellFolderRef FShellFolder;
};

} // namespace mv
