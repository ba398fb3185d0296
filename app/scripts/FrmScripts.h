#pragma once
// The backup script manager: one tab per script, the shown script's options and the
// statistics of its last run, and the commands New, Files, Analyse, Delete, Schedule,
// Run and Appearance. It owns the header line of every script file and hands a run's
// results over to the script's files.
#include <string>

namespace mv {

class TComponent;

// Shows the manager modally over owner (may be null) and returns when it closes.
// scriptName: a script to select and run as soon as the window is up (the "/S"
// switch; empty for none). unattended: the runner starts by itself and the window
// closes after the run (the manager's wait mode). Returns the exit code the manager
// leaves: 168 when a command-line run ended done and its test neither failed nor was
// cancelled, 169 when it did not or when no script has that name (in wait mode), 0
// when nothing was run from the command line.
int ShowScriptManager(TComponent* owner, const std::string& scriptName = {}, bool unattended = false);

} // namespace mv
