// The library's server side: the one class factory, made when the module is
// loaded, and the four entry points a host looks up by name. Nothing else is
// exported (the build hides every other symbol).
#include "shellext/ClassKey.h"
#include "shellext/ContextMenu.h"
#include "shellext/mvcom.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <new>
#include <string>

#define MV_SHELL_EXPORT extern "C" __attribute__((visibility("default")))

namespace mv::shellext {

using namespace com;

namespace {

// Multi-instance: one factory hands out any number of handler objects. It
// lives as long as the module, so its reference count does not matter.
class TContextMenuFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(const IID& riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!(riid == IID_IUnknown || riid == IID_IClassFactory)) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }

    HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* object = new (std::nothrow) TMorvelanContextMenu();
        if (!object) return E_OUTOFMEMORY;
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release(); // the interface handed out holds the object, or nothing does
        return hr;
    }
    HRESULT LockServer(BOOL lock) override {
        if (lock)
            ++ServerLockCount();
        else
            --ServerLockCount();
        return S_OK;
    }
};

TContextMenuFactory& Factory() {
    static TContextMenuFactory factory;
    return factory;
}

// The library's own full path, for its registration.
std::string ModulePath() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&Factory), &info) || !info.dli_fname) return "";
    char resolved[PATH_MAX];
    if (!::realpath(info.dli_fname, resolved)) return info.dli_fname;
    return resolved;
}

} // namespace

} // namespace mv::shellext

using namespace mv::com;

MV_SHELL_EXPORT HRESULT DllGetClassObject(const CLSID& rclsid, const IID& riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!(rclsid == CLSID_MorvelanContextMenu)) return CLASS_E_CLASSNOTAVAILABLE;
    return mv::shellext::Factory().QueryInterface(riid, ppv);
}

MV_SHELL_EXPORT HRESULT DllCanUnloadNow() {
    bool busy = mv::shellext::LiveObjectCount() > 0 || mv::shellext::ServerLockCount() > 0;
    return busy ? S_FALSE : S_OK;
}

MV_SHELL_EXPORT HRESULT DllRegisterServer() {
    try {
        std::string path = mv::shellext::ModulePath();
        if (path.empty()) return SELFREG_E_CLASS;
        return mv::shellext::WriteClassKey(path) ? S_OK : SELFREG_E_CLASS;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

MV_SHELL_EXPORT HRESULT DllUnregisterServer() {
    try {
        return mv::shellext::DeleteClassKey() ? S_OK : SELFREG_E_CLASS;
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}
