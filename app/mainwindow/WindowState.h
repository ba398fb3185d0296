#pragma once
// What the main window keeps between runs without needing its widgets: the
// explorer pane's section of "morvelan.ini", and the order of the steps that
// end the window, each guarded so that one failing step (a temporary folder that
// cannot be removed) never keeps the history and the options from being saved.
#include "platform/IniFile.h"

#include <functional>
#include <string>
#include <vector>

namespace mv {

// Section Explorer: tree width, tree shown, pane height, pane shown, view style
// (1 large icons, 2 small icons, 3 list, 4 details; any other value presses no
// view button).
struct TExplorerSettings {
    int TreeWidth = 204;    // Largura Arvore
    bool TreeShown = true;  // Arvore
    int PaneHeight = 182;   // AView
    bool PaneShown = false; // Ativo
    int Style = 4;          // Estilo
};

// Reads the section with its defaults; yes/no values by the settings' rule ("S",
// "T", "V" and "SIM" in any case are yes).
TExplorerSettings ReadExplorerSettings(const platform::IniFile& ini);
// Writes the section: yes/no as "SIM"/"NAO".
void WriteExplorerSettings(platform::IniFile& ini, const TExplorerSettings& settings);

// The steps that end the main window, in their order. A step may be left empty.
struct TShutdownSteps {
    std::function<void()> DestroyVendorInstance; // then the library is shut down
    std::function<void()> HideWindow;
    std::function<void()> RemoveTemporaryFiles;
    std::function<void()> SaveReopenHistory;
    std::function<void()> WriteOptions;
    std::function<void()> FreeLists;
    std::function<void(bool busy)> SetBusyCursor;
};

// Runs every step in order under the busy cursor, each on its own: a step that
// throws is noted and the next one still runs; the cursor comes back at the end.
// Returns the messages of the steps that failed.
std::vector<std::string> ShutDownMainWindow(const TShutdownSteps& steps);

} // namespace mv
