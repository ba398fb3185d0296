#pragma once
// What the open and save dialogs do with typed text, without a window: the options of
// the file dialogs, the filter list, joining a typed name to the folder shown (POSIX
// paths), splitting quoted names, the syntax check, the default extension and which
// check of an existing or missing file applies. The form and the components stand on
// these.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace mv {

// Options of the file dialogs, one bit per option in this order.
using TMvOpenOptions = uint32_t;
constexpr TMvOpenOptions ptofAllowMultiselect = 1u << 0, ptofCreatePrompt = 1u << 1,
                         ptofExtensionDifferent = 1u << 2, ptofFileMustExist = 1u << 3,
                         ptofHideReadOnly = 1u << 4, ptofNoChangeDir = 1u << 5,
                         ptofNoDereferenceLinks = 1u << 6, ptofNoReadOnlyReturn = 1u << 7,
                         ptofNoTestFileCreate = 1u << 8, ptofNoValidate = 1u << 9,
                         ptofOverwritePrompt = 1u << 10, ptofReadOnly = 1u << 11, ptofPathMustExist = 1u << 12,
                         ptofShareAware = 1u << 13, ptofShowHelp = 1u << 14, ptofAllowTree = 1u << 15,
                         ptofShowTree = 1u << 16, ptofShowHints = 1u << 17,
                         ptofHideFoldersInListWhenTreeVisible = 1u << 18, ptofOleDrag = 1u << 19,
                         ptofOleDrop = 1u << 20, ptofShowHidden = 1u << 21;
// What both file dialogs start with.
constexpr TMvOpenOptions DefaultOpenOptions =
    ptofHideReadOnly | ptofAllowTree | ptofShowHints | ptofOleDrag | ptofOleDrop | ptofShowHidden;

// One entry of a filter: the description shown and its mask ("*.zip;*.jar").
struct TMvFilterEntry {
    std::string Description;
    std::string Mask;
    bool operator==(const TMvFilterEntry&) const = default;
};
// "Description|mask|Description|mask...": one entry per pair; a description without
// its mask gets an empty mask.
std::vector<TMvFilterEntry> ParseFilter(const std::string& filter);

// The folder shown joined with a typed name. Dir loses a trailing "/" (not the root).
// An empty name gives an empty result. A name beginning with "/" is walked from the
// root, any other from Dir, component by component: a component of only dots goes up
// one folder less than its dot count ("." stays, ".." up one, "..." up two; never above
// the root), an empty one is skipped, any other is appended after a "/". No length
// limit.
std::string CombinePath(const std::string& dir, const std::string& name);

// The names of the file-name edit. Without a double quote the whole text is the one
// name. With one: between names blanks and tabs are skipped, a quote opens a quoted
// name and any other character a plain one; a plain name runs up to the next quote
// (blanks included), which ends it and opens a quoted name; a quote ends a quoted
// name. Each name loses what follows its last character above blank; empty names are
// dropped.
std::vector<std::string> SplitFileNames(const std::string& text);

// The syntax check of typed text: what no POSIX path can hold, a NUL character or a
// component longer than 255 bytes, makes it invalid.
bool IsValidFileNameText(const std::string& text);

// The name part (after the last "/") and the folder part (up to it, without the "/";
// "/" for a name in the root, empty without a "/").
std::string NamePart(const std::string& path);
std::string FolderPart(const std::string& path);
// Whether the name part holds a wildcard ("*" or "?").
bool HasWildcard(const std::string& path);

// The extension of the name part of a path, without its dot; a leading dot starts no
// extension (".profile" has none) and a name ending in a dot has none either.
std::string ExtensionOf(const std::string& path);

// The default extension applied to a full name (nothing without a default extension):
// no extension: "." (unless the name already ends in one) and the default extension
// are appended and extensionDifferent is cleared; an extension of a registered type:
// the name stays and extensionDifferent is set; any other extension: extensionDifferent
// is cleared and, unless it is the default extension (any case), "." and the default
// extension are appended.
using TMvRegisteredExt = std::function<bool(const std::string& extension)>;
std::string ApplyDefaultExt(const std::string& full, const std::string& defaultExt,
                            const TMvRegisteredExt& registered, bool& extensionDifferent);

// Which question or refusal the check of a chosen file brings, the first matching row
// of each group deciding (read-only before overwrite, must-exist before create).
enum class TMvFileCheck {
    fcPass,          // nothing to ask
    fcReadOnly,      // refused: an existing read-only file
    fcOverwrite,     // asked: replace an existing file?
    fcPathMissing,   // refused: its folder does not exist
    fcFileMissing,   // refused: a missing file
    fcCreate,        // asked: create a missing file?
};
TMvFileCheck CheckFileCase(TMvOpenOptions options, bool exists, bool readOnly, bool folderExists);

} // namespace mv
