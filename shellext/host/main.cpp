// mvshell-host: loads the context-menu library the way a file manager does and
// runs one of its commands. The file managers' action files call it.
//
//   mvshell-host --menu PATH...                  the items, identifiers, count and help texts
//   mvshell-host --invoke KIND:OFFSET -- PATH... run one command (KIND: archive, single, several)
//   mvshell-host --register | --unregister       the library's registration entry points
//
// An action names the kind it was made for; it runs only when the library
// offers that kind for the selection and inserted the item, so a fixed
// "Extrair para..." entry can never compress a selection that is no archive.
#include "shellext/ContextMenuRules.h"
#include "shellext/host/ShellHost.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

using namespace mv::com;
using namespace mv::shellext;

namespace {

constexpr const char* NotApplicableText = "Esta ação não se aplica aos itens selecionados.";

int Usage() {
    std::fprintf(stderr, "usage: mvshell-host --menu PATH...\n"
                         "       mvshell-host --invoke KIND:OFFSET -- PATH...\n"
                         "       mvshell-host --register | --unregister\n");
    return 2;
}

// File managers may hand over names relative to the folder they show, which
// is then the working folder.
std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (buffer.size() > (1u << 20)) return path;
        buffer.resize(buffer.size() * 2);
    }
    std::string cwd = buffer.data();
    if (cwd.empty() || cwd.back() != '/') cwd += '/';
    return cwd + path;
}

bool ParseAction(const std::string& text, TSelectionKind& kind, UINT& offset) {
    size_t colon = text.find(':');
    if (colon == std::string::npos || colon + 1 >= text.size()) return false;
    if (!KindFromName(text.substr(0, colon), kind)) return false;
    std::string number = text.substr(colon + 1);
    if (number.size() > 4 || number.find_first_not_of("0123456789") != std::string::npos) return false;
    offset = static_cast<UINT>(std::stoul(number));
    return true;
}

int Menu(TShellLibrary& library, const std::vector<std::string>& paths) {
    TMenuSession session(library);
    std::string error;
    if (!session.Create(error)) {
        std::fprintf(stderr, "mvshell-host: %s\n", error.c_str());
        return 2;
    }
    TDropDataObject data(paths);
    HRESULT hr = session.Initialize(&data);
    std::printf("initialize 0x%08X\n", static_cast<unsigned>(hr));
    hr = session.QueryMenu();
    UINT count = Succeeded(hr) ? static_cast<UINT>(hr & 0xFFFF) : 0;
    std::printf("count %u\nkind %s\n", count, KindName(KindFromMenuCount(count)));
    for (const TRecordingMenu::TItem& item : session.Recorded.Items)
        std::printf("item %u %s\n", item.CommandId, item.Text.c_str());
    for (UINT offset = 0; offset < count; ++offset) {
        std::string text;
        hr = session.HelpText(offset, text);
        if (Succeeded(hr))
            std::printf("help %u %s\n", offset, text.c_str());
        else
            std::printf("help %u error 0x%08X\n", offset, static_cast<unsigned>(hr));
    }
    return 0;
}

int Invoke(TShellLibrary& library, TSelectionKind kind, UINT offset, const std::vector<std::string>& paths) {
    TMessageWindow window;
    TMenuSession session(library);
    std::string error;
    if (!session.Create(error)) {
        std::fprintf(stderr, "mvshell-host: %s\n", error.c_str());
        return 2;
    }
    TDropDataObject data(paths);
    HRESULT hr = session.Initialize(&data);
    if (Failed(hr)) {
        window.ShowMessage(CannotRunText, ErrorCaption, MB_ICONERROR);
        return 1;
    }
    hr = session.QueryMenu();
    UINT count = Succeeded(hr) ? static_cast<UINT>(hr & 0xFFFF) : 0;
    bool inserted = false;
    for (const TRecordingMenu::TItem& item : session.Recorded.Items)
        if (item.CommandId == TMenuSession::FirstId + offset) inserted = true;
    if (KindFromMenuCount(count) != kind || !inserted) {
        window.ShowMessage(NotApplicableText, ErrorCaption, MB_ICONERROR);
        return 1;
    }
    hr = session.Invoke(offset, &window);
    if (Failed(hr)) {
        std::fprintf(stderr, "mvshell-host: the command failed (0x%08X)\n", static_cast<unsigned>(hr));
        return 1;
    }
    return window.Messages.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string mode = argv[1];
    std::vector<std::string> paths;
    TSelectionKind kind = TSelectionKind::skNone;
    UINT offset = 0;
    if (mode == "--menu") {
        for (int i = 2; i < argc; ++i) paths.push_back(Absolute(argv[i]));
    } else if (mode == "--invoke") {
        if (argc < 4 || !ParseAction(argv[2], kind, offset) || std::strcmp(argv[3], "--") != 0)
            return Usage();
        for (int i = 4; i < argc; ++i) paths.push_back(Absolute(argv[i]));
    } else if (mode != "--register" && mode != "--unregister") {
        return Usage();
    } else if (argc != 2) {
        return Usage();
    }

    TShellLibrary library;
    std::string error;
    if (!library.Load(LibraryBesideProgram(), error)) {
        std::fprintf(stderr, "mvshell-host: %s\n", error.c_str());
        return 2;
    }
    int rc = 0;
    if (mode == "--menu")
        rc = Menu(library, paths);
    else if (mode == "--invoke")
        rc = Invoke(library, kind, offset, paths);
    else {
        HRESULT hr = mode == "--register" ? library.RegisterServer() : library.UnregisterServer();
        if (Failed(hr)) {
            std::fprintf(stderr, "mvshell-host: registration failed (0x%08X)\n", static_cast<unsigned>(hr));
            rc = 1;
        }
    }
    // As a file manager does before it lets the library go.
    if (library.CanUnloadNow() == S_OK) library.Unload();
    return rc;
}
