#pragma once
// What a program needs to load the context-menu library and drive it the way
// a file manager does: the library with its four entry points, a data object
// offering the selection as a drop-file block, a menu that records what is
// inserted, and a window that shows messages. Used by mvshell-host and by the
// tests.
#include "shellext/mvcom.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace mv::shellext {

class TShellLibrary {
public:
    TShellLibrary() = default;
    ~TShellLibrary();
    TShellLibrary(const TShellLibrary&) = delete;
    TShellLibrary& operator=(const TShellLibrary&) = delete;

    // Loads the library and looks up the entry points; false with a reason.
    bool Load(const std::string& path, std::string& error);
    void Unload();
    bool Loaded() const { return handle != nullptr; }

    DllGetClassObjectProc GetClassObject = nullptr;
    DllCanUnloadNowProc CanUnloadNow = nullptr;
    DllRegisterServerProc RegisterServer = nullptr;
    DllUnregisterServerProc UnregisterServer = nullptr;

private:
    void* handle = nullptr;
};

// The library beside the running program.
std::string LibraryBesideProgram();

// Offers the paths as CF_HDROP; with a refusal code set, GetData answers it.
class TDropDataObject final : public com::IDataObject {
public:
    explicit TDropDataObject(std::vector<std::string> paths);
    void SetRefusal(com::HRESULT code) { refusal = code; }
    com::ULONG RefCount() const { return refCount; }

    com::HRESULT QueryInterface(const com::IID& riid, void** ppv) override;
    com::ULONG AddRef() override { return ++refCount; }
    com::ULONG Release() override { return --refCount; } // owned by its creator
    com::HRESULT GetData(const com::FORMATETC* format, com::STGMEDIUM* medium) override;
    com::HRESULT GetDataHere(const com::FORMATETC*, com::STGMEDIUM*) override { return com::E_NOTIMPL; }
    com::HRESULT QueryGetData(const com::FORMATETC*) override { return com::E_NOTIMPL; }
    com::HRESULT GetCanonicalFormatEtc(const com::FORMATETC*, com::FORMATETC*) override {
        return com::E_NOTIMPL;
    }
    com::HRESULT SetData(const com::FORMATETC*, com::STGMEDIUM*, com::BOOL) override {
        return com::E_NOTIMPL;
    }
    com::HRESULT EnumFormatEtc(uint32_t, void**) override { return com::E_NOTIMPL; }
    com::HRESULT DAdvise(const com::FORMATETC*, uint32_t, void*, uint32_t*) override {
        return com::E_NOTIMPL;
    }
    com::HRESULT DUnadvise(uint32_t) override { return com::E_NOTIMPL; }
    com::HRESULT EnumDAdvise(void**) override { return com::E_NOTIMPL; }

private:
    std::vector<std::string> paths;
    com::HRESULT refusal = com::S_OK;
    std::atomic<com::ULONG> refCount{1};
};

// A menu that keeps what the library inserts, in menu order.
class TRecordingMenu final : public com::MenuSink {
public:
    struct TItem {
        com::UINT CommandId = 0;
        std::string Text;
        com::HBITMAP Unchecked = nullptr;
        com::HBITMAP Checked = nullptr;
    };
    bool InsertItem(com::UINT position, com::UINT commandId, const char* text) override;
    bool SetItemBitmaps(com::UINT position, com::HBITMAP unchecked, com::HBITMAP checked) override;
    std::vector<TItem> Items;
};

// A window whose messages go to a function (standard error when none).
class TMessageWindow final : public com::WindowSink {
public:
    void ShowMessage(const char* text, const char* caption, com::UINT flags) override;
    std::function<void(const std::string& text, const std::string& caption)> OnMessage;
    std::vector<std::string> Messages;

protected:
    void DoMessage(const std::string& text, const std::string& caption);
};

// One context menu as a file manager runs it: create the handler, initialize
// it with the selection and ask for its menu at index 0 with identifiers from
// FirstId on.
class TMenuSession {
public:
    static constexpr com::UINT FirstId = 100;
    static constexpr com::UINT LastId = 200;

    explicit TMenuSession(TShellLibrary& library);
    ~TMenuSession();
    TMenuSession(const TMenuSession&) = delete;
    TMenuSession& operator=(const TMenuSession&) = delete;

    // Creates the handler; false with a reason.
    bool Create(std::string& error);
    com::HRESULT Initialize(com::IDataObject* dataObject);
    com::HRESULT QueryMenu();
    com::HRESULT HelpText(com::UINT offset, std::string& text, com::UINT type = com::GCS_HELPTEXTA);
    com::HRESULT Invoke(com::UINT offset, com::WindowSink* window);
    void Release();

    com::IShellExtInit* Init() const { return init; }
    com::IContextMenu* Menu() const { return menu; }
    TRecordingMenu Recorded;

private:
    TShellLibrary& library;
    com::IShellExtInit* init = nullptr;
    com::IContextMenu* menu = nullptr;
};

} // namespace mv::shellext
