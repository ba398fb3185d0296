#include "shellext/host/ShellHost.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace mv::shellext {

using namespace com;

TShellLibrary::~TShellLibrary() {
    Unload();
}

bool TShellLibrary::Load(const std::string& path, std::string& error) {
    Unload();
    handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        error = why ? why : ("cannot load " + path);
        return false;
    }
    GetClassObject = reinterpret_cast<DllGetClassObjectProc>(::dlsym(handle, "DllGetClassObject"));
    CanUnloadNow = reinterpret_cast<DllCanUnloadNowProc>(::dlsym(handle, "DllCanUnloadNow"));
    RegisterServer = reinterpret_cast<DllRegisterServerProc>(::dlsym(handle, "DllRegisterServer"));
    UnregisterServer = reinterpret_cast<DllUnregisterServerProc>(::dlsym(handle, "DllUnregisterServer"));
    if (!GetClassObject || !CanUnloadNow || !RegisterServer || !UnregisterServer) {
        error = path + " lacks an entry point";
        Unload();
        return false;
    }
    return true;
}

void TShellLibrary::Unload() {
    if (handle) ::dlclose(handle);
    handle = nullptr;
    GetClassObject = nullptr;
    CanUnloadNow = nullptr;
    RegisterServer = nullptr;
    UnregisterServer = nullptr;
}

std::string LibraryBesideProgram() {
    char self[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "libmvshell.so";
    std::string path(self, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + "libmvshell.so";
}

TDropDataObject::TDropDataObject(std::vector<std::string> paths) : paths(std::move(paths)) {}

HRESULT TDropDataObject::QueryInterface(const IID& riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!(riid == IID_IUnknown || riid == IID_IDataObject)) return E_NOINTERFACE;
    *ppv = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
}

HRESULT TDropDataObject::GetData(const FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium) return E_INVALIDARG;
    if (refusal != S_OK) return refusal;
    if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
    size_t size = sizeof(DROPFILES) + 1;
    for (const std::string& p : paths) size += p.size() + 1;
    GlobalBlock* block = GlobalBlockAlloc(size);
    DROPFILES header{static_cast<uint32_t>(sizeof(DROPFILES)), 0, 0, 0, 0};
    std::memcpy(block->Data, &header, sizeof header);
    uint8_t* out = block->Data + sizeof header;
    for (const std::string& p : paths) {
        std::memcpy(out, p.data(), p.size());
        out += p.size();
        *out++ = 0;
    }
    *out = 0;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

bool TRecordingMenu::InsertItem(UINT position, UINT commandId, const char* text) {
    if (position > Items.size()) return false;
    TItem item;
    item.CommandId = commandId;
    item.Text = text ? text : "";
    Items.insert(Items.begin() + position, item);
    return true;
}

bool TRecordingMenu::SetItemBitmaps(UINT position, HBITMAP unchecked, HBITMAP checked) {
    if (position >= Items.size()) return false;
    Items[position].Unchecked = unchecked;
    Items[position].Checked = checked;
    return true;
}

void TMessageWindow::ShowMessage(const char* text, const char* caption, UINT) {
    std::string t = text ? text : "", c = caption ? caption : "";
    Messages.push_back(t);
    DoMessage(t, c);
}

void TMessageWindow::DoMessage(const std::string& text, const std::string& caption) {
    if (OnMessage)
        OnMessage(text, caption);
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

TMenuSession::TMenuSession(TShellLibrary& library) : library(library) {}
TMenuSession::~TMenuSession() {
    Release();
}

bool TMenuSession::Create(std::string& error) {
    Release();
    IClassFactory* factory = nullptr;
    HRESULT hr = library.GetClassObject(CLSID_MorvelanContextMenu, IID_IClassFactory,
                                        reinterpret_cast<void**>(&factory));
    if (Failed(hr) || !factory) {
        error = "the library offers no class factory";
        return false;
    }
    hr = factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init));
    factory->Release();
    if (Failed(hr) || !init) {
        error = "the handler could not be created";
        init = nullptr;
        return false;
    }
    hr = init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
    if (Failed(hr) || !menu) {
        error = "the handler has no context menu";
        menu = nullptr;
        Release();
        return false;
    }
    return true;
}

HRESULT TMenuSession::Initialize(IDataObject* dataObject) {
    return init->Initialize(nullptr, dataObject, nullptr);
}

HRESULT TMenuSession::QueryMenu() {
    Recorded.Items.clear();
    return menu->QueryContextMenu(&Recorded, 0, FirstId, LastId, 0);
}

HRESULT TMenuSession::HelpText(UINT offset, std::string& text, UINT type) {
    char buffer[256] = {};
    HRESULT hr = menu->GetCommandString(offset, type, nullptr, buffer, sizeof buffer);
    text = Succeeded(hr) ? buffer : "";
    return hr;
}

HRESULT TMenuSession::Invoke(UINT offset, WindowSink* window) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.hwnd = window;
    info.lpVerb = MakeIntVerb(offset);
    info.nShow = 1;
    return menu->InvokeCommand(&info);
}

void TMenuSession::Release() {
    if (menu) menu->Release();
    if (init) init->Release();
    menu = nullptr;
    init = nullptr;
}

} // namespace mv::shellext
