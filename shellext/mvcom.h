#pragma once
// The small component-object contract shared by the context-menu library
// (libmvshell.so) and the programs that load it (mvshell-host, the tests).
//
// It keeps the shape of the in-process server contract the library was
// designed for: GUIDs and result codes, interfaces as abstract classes whose
// virtual slots come in the classic order (no virtual destructors, so the
// slot order is exactly the declared one), the selection handed over as a
// drop-file block inside a storage medium, a menu the library inserts into
// by position, and four entry points with C linkage.
//
// Host and library are built by the same tool-chain, so the C++ vtable layout
// is shared. Handles that are opaque on the original platform (menus, windows,
// bitmaps) are pointers to the small host-side objects declared here.
#include <cstddef>
#include <cstdint>

namespace mv::com {

using HRESULT = int32_t;
using ULONG = uint32_t;
using UINT = uint32_t;
using BOOL = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);

constexpr bool Succeeded(HRESULT hr) {
    return hr >= 0;
}
constexpr bool Failed(HRESULT hr) {
    return hr < 0;
}
// A success code carrying a number (the count of inserted menu commands).
constexpr HRESULT MakeSuccess(uint16_t code) {
    return static_cast<HRESULT>(code);
}

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;

constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IDataObject = {0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IShellExtInit = {0x000214E8, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IContextMenu = {0x000214E4, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The class of the Morvelan context-menu handler.
constexpr CLSID CLSID_MorvelanContextMenu = {
    0x7C3A91E2, 0x4B58, 0x4D0F, {0xA6, 0xE3, 0x19, 0xF2, 0x5C, 0x84, 0xB0, 0xD7}};
constexpr const char* MorvelanContextMenuClassText = "{7C3A91E2-4B58-4D0F-A6E3-19F25C84B0D7}";

// Clipboard format of a drop-file list, aspect and medium kinds.
constexpr uint16_t CF_HDROP = 15;
constexpr uint32_t DVASPECT_CONTENT = 1;
constexpr uint32_t TYMED_HGLOBAL = 1;

// Kinds of text GetCommandString can be asked for.
constexpr UINT GCS_VERBA = 0;
constexpr UINT GCS_HELPTEXTA = 1;
constexpr UINT GCS_VALIDATEA = 2;
constexpr UINT GCS_VERBW = 4;
constexpr UINT GCS_HELPTEXTW = 5;
constexpr UINT GCS_VALIDATEW = 6;

// Message box flags the library uses.
constexpr UINT MB_ICONERROR = 0x10;

struct IUnknown {
    virtual HRESULT QueryInterface(const IID& riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** ppv) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;
};

struct FORMATETC {
    uint16_t cfFormat;
    void* ptd; // target device: always null here
    uint32_t dwAspect;
    int32_t lindex;
    uint32_t tymed;
};

// A global memory block: its size and its bytes, owned by whoever allocated it
// through GlobalBlockAlloc (freed by ReleaseStgMedium or GlobalBlockFree).
struct GlobalBlock {
    size_t Size;
    uint8_t* Data;
};

struct STGMEDIUM {
    uint32_t tymed;
    GlobalBlock* hGlobal;
    IUnknown* pUnkForRelease;
};

// Allocates and frees global blocks; header-only so that host and library
// agree without sharing code.
inline GlobalBlock* GlobalBlockAlloc(size_t size) {
    auto* block = static_cast<GlobalBlock*>(::operator new(sizeof(GlobalBlock) + size));
    block->Size = size;
    block->Data = reinterpret_cast<uint8_t*>(block + 1);
    return block;
}
inline void GlobalBlockFree(GlobalBlock* block) {
    ::operator delete(block);
}

// Frees a storage medium as its releaser asks: through pUnkForRelease when it
// is set, otherwise by freeing the block.
inline void ReleaseStgMedium(STGMEDIUM* medium) {
    if (!medium) return;
    if (medium->pUnkForRelease) {
        medium->pUnkForRelease->Release();
    } else if (medium->tymed == TYMED_HGLOBAL && medium->hGlobal) {
        GlobalBlockFree(medium->hGlobal);
    }
    medium->hGlobal = nullptr;
    medium->pUnkForRelease = nullptr;
}

// The drop-file block: this header, then the names from byte pFiles on, each
// closed by a NUL, the list closed by one more NUL. Names are UTF-8 (fWide = 0).
struct DROPFILES {
    uint32_t pFiles;
    int32_t ptX;
    int32_t ptY;
    BOOL fNC;
    BOOL fWide;
};

// Only GetData is used by the library; the other members answer E_NOTIMPL.
struct IDataObject : IUnknown {
    virtual HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT GetDataHere(const FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT QueryGetData(const FORMATETC* format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(const FORMATETC* in, FORMATETC* out) = 0;
    virtual HRESULT SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
    virtual HRESULT EnumFormatEtc(uint32_t direction, void** enumerator) = 0;
    virtual HRESULT DAdvise(const FORMATETC* format, uint32_t flags, void* sink, uint32_t* connection) = 0;
    virtual HRESULT DUnadvise(uint32_t connection) = 0;
    virtual HRESULT EnumDAdvise(void** enumerator) = 0;
};

// A small image handed to the menu beside an item: 32-bit RGBA rows.
struct MenuBitmap {
    int32_t Width;
    int32_t Height;
    const uint32_t* Pixels;
};
using HBITMAP = const MenuBitmap*;

// The host's menu: the library inserts text items by position and gives them
// images. An HMENU is a pointer to one of these.
struct MenuSink {
    virtual bool InsertItem(UINT position, UINT commandId, const char* text) = 0;
    virtual bool SetItemBitmaps(UINT position, HBITMAP unchecked, HBITMAP checked) = 0;
};
using HMENU = MenuSink*;

// The host's window: shows a message to the user. An HWND is a pointer to one
// of these; with none, the library writes the message to standard error.
struct WindowSink {
    virtual void ShowMessage(const char* text, const char* caption, UINT flags) = 0;
};
using HWND = WindowSink*;

struct CMINVOKECOMMANDINFO {
    uint32_t cbSize;
    uint32_t fMask;
    HWND hwnd;
    const char* lpVerb; // a command offset when the value is at most 0xFFFF
    const char* lpParameters;
    const char* lpDirectory;
    int32_t nShow;
    uint32_t dwHotKey;
    void* hIcon;
};

// A command offset passed in place of a verb text.
inline const char* MakeIntVerb(UINT offset) {
    return reinterpret_cast<const char*>(static_cast<uintptr_t>(offset & 0xFFFFu));
}
inline bool IsIntVerb(const char* verb) {
    return (reinterpret_cast<uintptr_t>(verb) >> 16) == 0;
}

struct IShellExtInit : IUnknown {
    virtual HRESULT Initialize(const void* pidlFolder, IDataObject* dataObject, void* progIdKey) = 0;
};

struct IContextMenu : IUnknown {
    virtual HRESULT QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) = 0;
    virtual HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) = 0;
    virtual HRESULT GetCommandString(uintptr_t offset, UINT type, UINT* reserved, char* buffer,
                                     UINT bufferSize) = 0;
};

} // namespace mv::com

// The four entry points of the library, and their types for dlsym.
extern "C" {
using DllGetClassObjectProc = mv::com::HRESULT (*)(const mv::com::CLSID&, const mv::com::IID&, void**);
using DllCanUnloadNowProc = mv::com::HRESULT (*)();
using DllRegisterServerProc = mv::com::HRESULT (*)();
using DllUnregisterServerProc = mv::com::HRESULT (*)();
}
