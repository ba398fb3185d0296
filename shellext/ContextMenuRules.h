#pragma once
// What the context-menu handler offers for a selection, and what each of its
// commands starts: the selection kinds, the menu texts, the help texts and
// the argument vectors of the verbs the main program takes. Pure functions,
// shared by the handler object and by the file-manager action files.
#include <cstdint>
#include <string>
#include <vector>

namespace mv::shellext {

enum class TSelectionKind { skNone, skArchive, skSingle, skSeveral };

// The names derived from the first selected path: its folder with the trailing
// "/", its base (the file name up to, not including, the first dot; the whole
// name when it has none) and the target folder + base.
struct TSelectionNames {
    std::string First;
    std::string Folder;
    std::string Base;
    std::string Target;
};
TSelectionNames SelectionNames(const std::string& first);

// True when the name's extension (up to three characters after the last dot,
// upper-cased and trimmed) is one of the archive words the menu extracts.
bool IsArchiveName(const std::string& path);

TSelectionKind SelectionKind(const std::vector<std::string>& selection);

// The number QueryContextMenu answers for a kind: 3, 2, 1, or 0 for none.
// The host tells the kind back from it.
uint32_t MenuCount(TSelectionKind kind);
TSelectionKind KindFromMenuCount(uint32_t count);
const char* KindName(TSelectionKind kind); // "archive", "single", "several", "none"
bool KindFromName(const std::string& name, TSelectionKind& kind);

struct TMenuItem {
    uint32_t Offset;
    std::string Text;
};
// The items inserted for a selection, in menu order.
std::vector<TMenuItem> MenuItems(TSelectionKind kind, const TSelectionNames& names);

// The status-bar help of a command; null when the offset has none. Any kind
// other than archive reads the compress rows.
const char* HelpText(TSelectionKind kind, uint32_t offset);

// The arguments after the program for a command (the verb first). False when
// the kind has no command at that offset.
bool CommandArguments(TSelectionKind kind, uint32_t offset, const TSelectionNames& names,
                      const std::string& listFile, std::vector<std::string>& arguments);

// The command line of a program and its arguments as the main program's
// command line reads it: each part in double quotes, separated by one blank.
// Used for logs and messages; the program is started from the vector itself.
std::string RenderCommandLine(const std::string& program, const std::vector<std::string>& arguments);

// The name of the main program that the handler starts, beside the library.
constexpr const char* MainProgramName = "morvelan";
// The message shown when the main program cannot be started.
constexpr const char* CannotRunText = "Não possível executar esta operação.";
constexpr const char* ErrorCaption = "Erro";

} // namespace mv::shellext
