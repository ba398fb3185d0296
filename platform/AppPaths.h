#pragma once
// Where the program's files live. Writable files follow the XDG base directories:
// options and the registry store in $XDG_CONFIG_HOME/morvelan, scripts and the serial
// file in $XDG_DATA_HOME/morvelan, sockets and list files in $XDG_RUNTIME_DIR/morvelan.
// Read-only resources are found from the program: <prefix>/share/morvelan beside
// <prefix>/bin. In the portable mode (a writable "morvelan.ini" beside the program)
// every one of these folders is the program's own folder.
//
// One function per purpose: nothing else builds paths from the program's folder. The
// variables are read at every call, so tests point them at fixture folders.
#include <string>

namespace mv::platform {

// The running program (/proc/self/exe), or the path set for tests and for the installer
// acting on a layout.
std::string ProgramPath();
void SetProgramPath(const std::string& path); // empty: back to the running program
std::string ProgramDir();
// A helper program shipped beside the main one ("mvshell-host").
std::string HelperPath(const std::string& name);

// True when a writable "morvelan.ini" lies beside the program.
bool IsPortable();

// $HOME (else the password database's home folder).
std::string HomeDir();
// $XDG_CONFIG_HOME, $XDG_DATA_HOME (absolute values only; else ~/.config, ~/.local/share).
std::string XdgConfigHome();
std::string XdgDataHome();
// The user's desktop folder: XDG_DESKTOP_DIR of user-dirs.dirs, else ~/Desktop.
std::string DesktopDir();
// $XDG_DATA_HOME/applications: menu entries (the "programs" special folder).
std::string ApplicationsDir();

// The program's own folders (not created here).
std::string ConfigDir();   // options, registry store
std::string DataDir();     // scripts, serial file
std::string RuntimeDir();  // $XDG_RUNTIME_DIR/morvelan, else <temp>/morvelan-<uid>
std::string ResourceDir(); // help, icons, stubs

// "morvelan.ini" in ConfigDir().
std::string IniFilePath();
// "registry.ini" in ConfigDir().
std::string RegistryFilePath();

} // namespace mv::platform
