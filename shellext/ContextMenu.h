#pragma once
// The context-menu handler object: takes the selection from the host's data
// object, inserts the commands of its kind into the host's menu, answers their
// help texts and starts the main program for the chosen one.
#include "shellext/ContextMenuRules.h"
#include "shellext/mvcom.h"

#include <atomic>
#include <string>
#include <vector>

namespace mv::shellext {

// Objects and server locks alive; the library may be unloaded when both are 0.
std::atomic<long>& LiveObjectCount();
std::atomic<long>& ServerLockCount();

// The 14 x 14 image shown beside every inserted item.
com::HBITMAP MenuBitmapImage();

class TMorvelanContextMenu final : public com::IShellExtInit, public com::IContextMenu {
public:
    TMorvelanContextMenu();
    TMorvelanContextMenu(const TMorvelanContextMenu&) = delete;
    TMorvelanContextMenu& operator=(const TMorvelanContextMenu&) = delete;

    // IUnknown (both bases share these).
    com::HRESULT QueryInterface(const com::IID& riid, void** ppv) override;
    com::ULONG AddRef() override;
    com::ULONG Release() override;

    // IShellExtInit
    com::HRESULT Initialize(const void* pidlFolder, com::IDataObject* dataObject, void* progIdKey) override;

    // IContextMenu
    com::HRESULT QueryContextMenu(com::HMENU menu, com::UINT index, com::UINT firstId, com::UINT lastId,
                                  com::UINT flags) override;
    com::HRESULT InvokeCommand(com::CMINVOKECOMMANDINFO* info) override;
    com::HRESULT GetCommandString(uintptr_t offset, com::UINT type, com::UINT* reserved, char* buffer,
                                  com::UINT bufferSize) override;

    bool IsArchiveSelected() const;
    // The main program that the commands start (see ClassKey.h).
    std::string GetMainProgramCommand() const;

private:
    ~TMorvelanContextMenu();
    TSelectionKind Kind() const;
    com::HRESULT Invoke(com::HWND window, uint32_t offset);

    std::atomic<com::ULONG> refCount{1};
    com::HBITMAP FMenuBitmap = nullptr;
    // Every selected path as the host gave it, however many and however long.
    std::vector<std::string> FSelection;
};

} // namespace mv::shellext
