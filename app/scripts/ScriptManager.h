#pragma once
// The rules of the script manager, apart from its window: which options a
// destination and the other options allow, the texts of the last run, the keys of
// the window in each language, the desktop launcher of a script and the hand-over to
// the backup scheduler.
#include "app/scripts/ScriptFiles.h"
#include "platform/desktop/DesktopIntegration.h"

#include <cstdint>
#include <functional>
#include <string>

namespace mv {

// --- Options ------------------------------------------------------------------------

struct TScriptOptions {
    bool Test = true;
    bool ClearDisk = false;
    bool ClearDiskEnabled = true;
    int VolumeMode = 1; // 0 multi-volume, 1 not
    bool SelfExtracting = false;
    bool DateInName = false;
    bool UpdateOnly = false;
    bool UpdateEnabled = true;
};

// A destination on a removable medium allows clearing it; any other unchecks and
// disables the clear option and turns multi-volume off.
void ApplyDestinationRule(TScriptOptions& options, bool removable);
// Update only is possible without the date in the name, without multi-volume and
// without a self-extracting archive; otherwise it is unchecked and disabled.
void ApplyUpdateRule(TScriptOptions& options);

// The options of a header, and a header with the options written in.
TScriptOptions OptionsOfHeader(const TScriptHeader& header);
void StoreOptions(TScriptHeader& header, const TScriptOptions& options);

// --- Last run texts -------------------------------------------------------------------

struct TLabelText {
    std::string Text;
    bool Alert = false; // white on red
};

struct TRunLabels {
    TLabelText Copy, Test, Warnings;
    std::string Destination, Date, Elapsed, Size, Packed;
    bool WarningsEnabled = false;
};
// The labels of the last run that the header records (all empty but the copy label
// when the script never ran).
TRunLabels RunLabelsOf(const TScriptHeader& header);

// --- Keys -------------------------------------------------------------------------------

enum class TScriptCommand {
    scNone, scAnalyse, scMethod, scDestination, scWarnings, scClearDisk, scTest,
    scRun, scSchedule, scNew, scAppearance, scFiles
};
// The command of a letter key (either case) under a language base: A, C, D, I, L and
// T in every language, then Portuguese E G N P Q, English F H N S Y, Spanish E H N P.
TScriptCommand CommandOfKey(char key, int32_t languageBase);

// --- Desktop launcher -------------------------------------------------------------------

// "Script <name>.desktop": the whole name, so "a.b" and "a.c" get two launchers.
std::string ScriptShortcutFileName(const std::string& name);
// The launcher: runs "<program> /S <name>" in the program's folder.
desktop::TDesktopEntry ScriptShortcutEntry(const std::string& name, const std::string& programPath);
// Writes the launcher on the desktop (marked executable); returns its path, or "" when
// it could not be written.
std::string CreateScriptShortcut(const std::string& name, const std::string& desktopFolder,
                                 const std::string& programPath);

// --- Scheduler --------------------------------------------------------------------------

// The scheduler is a program of its own: it listens on a local socket for the line
// "Schedule Acorda"; when nothing listens it is started with "/S".
constexpr const char* SchedulerWakeText = "Schedule Acorda";
constexpr const char* SchedulerProgramName = "morvelan-schedule";

enum class TScheduleResult { srWoken, srStarted, srNotInstalled };

// The scheduler's socket: "morvelan-schedule" in the program's runtime folder.
std::string SchedulerSocketPath();
// The scheduler program beside this one, else on the PATH; "" when it is not installed.
std::string FindSchedulerProgram();
// Wakes the scheduler, or starts it (start(program, "/S")), or tells that it is missing.
TScheduleResult HandOverToScheduler(const std::string& socketPath, const std::string& programPath,
                                    const std::function<void(const std::string& program, const std::string& args)>& start);

} // namespace mv
