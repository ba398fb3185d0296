#pragma once
// The records every tree node, list item and folder-combo entry carries: its item's
// lists, with the absolute list, folder, attributes, name and detail texts (size, type,
// modification time) built on first use and dropped by Invalidate.
#include "controls/shell/ShellUtils.h"

#include <cstdint>
#include <string>

namespace mv {

class TComponent;

// "%sKB" of the size in kilobytes, rounded up, with thousands separators.
std::string FormatKBSize(uint64_t bytes);
// A moment (seconds since 1970) in local time as the program writes dates with times
// in the chosen language ("dd/mm/yy hh:mm", "mm/dd/yy hh:mm" in English).
std::string FormatItemTime(int64_t seconds);
// Size (files only) and modification texts of an item; both empty for a path-less item
// and for a mount point.
void GetFileSizeAndDate(const TIdList& absolute, std::string& size, std::string& modified);
// The type text: "Pasta do sistema" outside the file system, else the MIME description.
std::string GetPidlTypeName(const TIdList& absolute, uint32_t attributes);
void GetItemDetails(const TIdList& absolute, uint32_t attributes, std::string& size, std::string& modified,
                    std::string& type);
std::string GetItemDisplayName(const TShellFolder& folder, const TIdList& relative, int kind);
[[noreturn]] void RaiseSysError(HRESULT code);
void CheckHResult(HRESULT code);

class TMvShTreeData {
public:
    explicit TMvShTreeData(TComponent* tree) : FTree(tree) {}
    void Initialize(TMvShTreeData* parent, const TIdList& relative);
    TComponent* Tree() const { return FTree; }
    TMvShTreeData* ParentData() const { return FParentData; }
    const TIdList& RelIdList() const { return FRelIdList; }
    const TIdList& GetAbsoluteIdList();
    TShellFolderRef GetParentFolder();
    TShellFolderRef GetShellFolder();
    void SetShellFolder(TShellFolderRef folder) { FShellFolder = std::move(folder); }
    std::string GetPath();
    bool CanRename();
    void SetRelIdList(const TIdList& relative);
    void Invalidate();

private:
    TComponent* FTree;
    TMvShTreeData* FParentData = nullptr;
    TIdList FRelIdList, FAbsIdList;
    TShellFolderRef FShellFolder;
    bool FInitialized = false;
};

// What a list record needs of its list: the listed folder.
class TMvShListOwner {
public:
    virtual ~TMvShListOwner() = default;
    virtual const TIdList& FolderIdList() const = 0;
    virtual TShellFolderRef FolderShellFolder() const = 0;
};

class TMvShListData {
public:
    explicit TMvShListData(TMvShListOwner& list) : FList(list) {}
    void SetRelIdList(TIdList relative);
    const TIdList& RelIdList() const { return FRelIdList; }
    void Invalidate();
    const TIdList& GetAbsoluteIdList();
    uint32_t GetAttributes();
    bool IsFolder() { return (GetAttributes() & desktop::sfgaoFolder) != 0; }
    bool CanRename() { return (GetAttributes() & desktop::sfgaoCanRename) != 0; }
    bool IsShortcut();
    bool Validate();
    const std::string& GetDisplayName();
    std::string GetPath();
    std::string GetFileName();
    std::string GetDetail(int column);
    void LoadDetails();

private:
    TMvShListOwner& FList;
    TIdList FAbsIdList, FRelIdList;
    std::string FDisplayName;
    bool FDetailsLoaded = false;
    std::string FSizeText, FTypeText, FModifiedText;
};

class TMvShComboData {
public:
    explicit TMvShComboData(TComponent* combo) : FCombo(combo) {}
    void Initialize(TShellFolderRef parentFolder, const TIdList& parent, const TIdList& relative);
    TComponent* Combo() const { return FCombo; }
    const TShellFolderRef& ParentFolder() const { return FParentFolder; }
    const TIdList& ParentIdList() const { return FParentIdList; }
    const TIdList& RelIdList() const { return FRelIdList; }
    const TIdList& AbsIdList() const { return FAbsIdList; }

private:
    TComponent* FCombo;
    TShellFolderRef FParentFolder;
    TIdList FParentIdList, FRelIdList, FAbsIdList;
};

} // namespace mv
