#include "shellext/ClassKey.h"

#include "platform/RegistryStore.h"
#include "shellext/ContextMenuRules.h"
#include "shellext/mvcom.h"

#include <exception>

namespace mv::shellext {

using platform::RegistryStore;
using platform::TRootKey;

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

} // namespace

std::string ClassKeyPath() {
    return std::string("\\CLSID\\") + com::MorvelanContextMenuClassText;
}
std::string ServerKeyPath() {
    return ClassKeyPath() + "\\InProcServer32";
}

std::string ReadServerPath() {
    try {
        RegistryStore store;
        store.SetRootKey(TRootKey::HKEY_CLASSES_ROOT);
        if (!store.OpenKeyReadOnly(ServerKeyPath())) return "";
        return Trim(store.ReadString(""));
    } catch (const std::exception&) {
        return "";
    }
}

std::string MainProgramPath() {
    std::string library = ReadServerPath();
    size_t slash = library.rfind('/');
    std::string folder = slash == std::string::npos ? "" : library.substr(0, slash + 1);
    return folder + MainProgramName;
}

bool WriteClassKey(const std::string& libraryPath) {
    try {
        RegistryStore store;
        store.SetRootKey(TRootKey::HKEY_CLASSES_ROOT);
        store.OpenKey(ClassKeyPath(), true);
        store.WriteString("", "Morvelan Context Menu");
        // The same key the main program writes; names compare without case.
        store.OpenKey(ClassKeyPath() + "\\InprocServer32", true);
        store.WriteString("", libraryPath);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool DeleteClassKey() {
    try {
        RegistryStore store;
        store.SetRootKey(TRootKey::HKEY_CLASSES_ROOT);
        store.DeleteKey(ClassKeyPath());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace mv::shellext
