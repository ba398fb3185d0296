#pragma once
// The context-menu commands as the Linux file managers take them: per-user
// action files that call mvshell-host with the command's kind and offset and
// the selected paths. Dolphin (service menus, KDE 6 and 5), Nautilus and Caja
// (scripts), Nemo (actions) and Thunar (its custom actions file, merged: only
// our actions are added or removed). Writing them is harmless when a file
// manager is absent, and repeating an install or a removal changes nothing.
#include <cstdint>
#include <string>
#include <vector>

namespace mv::shellext {

// Where the per-user files go.
struct TActionFolders {
    std::string DataHome;   // $XDG_DATA_HOME, else $HOME/.local/share
    std::string ConfigHome; // $XDG_CONFIG_HOME, else $HOME/.config
};
TActionFolders DefaultActionFolders();

struct TActionFile {
    std::string Path;
    std::string Text;
    uint32_t Mode = 0644;
};

// Every action file we own, with its text and mode (the Thunar file is apart,
// since it is shared with other programs' actions).
std::vector<TActionFile> FileManagerActionFiles(const TActionFolders& folders, const std::string& hostPath);

// The Thunar custom actions file and our actions in it.
std::string ThunarActionsFile(const TActionFolders& folders);
// The "<action>" elements of our commands, one per line group, each ending in a line feed.
std::string ThunarActions(const std::string& hostPath);
// The file's text with our actions (those whose unique-id starts "morvelan-")
// taken out and ours put in before "</actions>"; with empty ours, only taken
// out. An empty existing text starts a new file. False when the existing text
// has no "<actions>" element to merge into (it is then left alone).
bool MergeThunarActions(const std::string& existing, const std::string& ours, std::string& merged);

// Writes every action file, merging ours into the Thunar file. Files whose
// contents and mode are already right are not touched.
void InstallFileManagerActions(const TActionFolders& folders, const std::string& hostPath);
// Removes our action files and our Thunar actions (other actions stay), and
// our menu folders when they are left empty.
void RemoveFileManagerActions(const TActionFolders& folders);

} // namespace mv::shellext
