#include "shellext/ContextMenuRegistration.h"

#include "platform/RegistryStore.h"
#include "shellext/mvcom.h"

#include <climits>
#include <exception>
#include <unistd.h>

namespace mv::shellext {

using platform::RegistryStore;
using platform::TRootKey;

namespace {

const char* const HandlerKeys[] = {"\\*\\shellex\\ContextMenuHandlers\\Morvelan",
                                   "\\Folder\\shellex\\ContextMenuHandlers\\Morvelan",
                                   "\\Directory\\shellex\\ContextMenuHandlers\\Morvelan"};

std::string ClassKey() {
    return std::string("\\CLSID\\") + com::MorvelanContextMenuClassText;
}

void WriteKeys(const std::string& folder) {
    RegistryStore store;
    store.SetRootKey(TRootKey::HKEY_CLASSES_ROOT);
    store.OpenKey(ClassKey(), true);
    store.WriteString("", "Morvelan Context Menu");
    store.OpenKey(ClassKey() + "\\InProcServer32", true);
    store.WriteString("", folder + "libmvshell.so");
    store.WriteString("ThreadingModel", "Apartment");
    for (const char* key : HandlerKeys) {
        store.OpenKey(key, true);
        store.WriteString("", com::MorvelanContextMenuClassText);
    }
    store.CloseKey();
}

void DeleteKeys() {
    RegistryStore store;
    store.SetRootKey(TRootKey::HKEY_CLASSES_ROOT);
    store.DeleteKey(ClassKey());
    for (const char* key : HandlerKeys) store.DeleteKey(key);
}

} // namespace

std::string ProgramFolder() {
    char self[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "";
    std::string path(self, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

void RegisterContextMenuHandler(bool registerHandler, const std::string& programFolder,
                                const TActionFolders& folders) {
    std::string folder = programFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    try {
        if (registerHandler)
            WriteKeys(folder);
        else
            DeleteKeys();
    } catch (const std::exception&) {
    }
    try {
        if (registerHandler)
            InstallFileManagerActions(folders, folder + "mvshell-host");
        else
            RemoveFileManagerActions(folders);
    } catch (const std::exception&) {
    }
}

} // namespace mv::shellext
