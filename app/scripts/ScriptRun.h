#pragma once
// Running one backup script from its files to its files: the runner gets the
// script's items, destination and options from its header, and afterwards the
// header's statistics, the last-backup list and the warnings are written back.
// The unattended form (the "/W" switch) never asks anything and answers the
// process exit code.
#include "app/scripts/BackupRunner.h"
#include "app/scripts/ScriptFiles.h"

#include <functional>
#include <string>
#include <vector>

namespace mv {

class TZipEngine;

// Exit codes of a command-line run.
constexpr int ecScriptDone = 168, ecScriptFailed = 169;

// Compression level of a script's method (none, fast, normal, slow).
int PackLevelOfMethod(int method);

// The archive name of a run: the destination, with "_yymmdd_hhnn" of now before the
// extension when the header asks for the date in the name, then the runner's rule.
std::string RunArchiveName(const TScriptHeader& header, int64_t now);

// The run-level warning lines of a finished run, in the manager's order.
std::vector<std::string> RunLevelWarnings(const TRunRecord& record);

// Hands a finished run over to the script's files: statistics into the header when
// the run ran, the ".sra" rewritten with the run's lines (kept as it was after a
// failed or cancelled update run, whose archive still holds the older files), and
// the ".sre" rewritten when the run counted warnings.
void StoreRunResults(const TScriptStore& store, const std::string& name, const TBackupRunner& runner,
                     std::vector<std::string>& warnings, int64_t runStart, int64_t now);

// Sets a runner up for a script of the store (lines, archive name, options, level).
void SetUpRunner(TBackupRunner& runner, TZipEngine& engine, const TScriptStore& store,
                 const std::string& name, const TScriptHeader& header, int64_t now);

// One run of a script of the store as the manager makes it: the header's options
// saved before, a runner set up from the script's files, run by run (the run window,
// or the run itself), and its results handed over to the files. The record of the
// run is returned; a failure to read the script raises before anything ran.
TRunRecord RunStoredScript(const TScriptStore& store, const std::string& name, TBackupVendor& vendor,
                           const std::function<void(TBackupRunner& runner)>& run,
                           const std::function<int64_t()>& now);

// 168 when the run ended done and its test neither failed nor was cancelled, else 169.
int ExitCodeOfRun(const TRunRecord& record);

// The unattended run: argv holds "/W" (any case) and the script name. Scripts come
// from the per-user scripts folder. A missing or unknown name ends with 169 and a
// line on stderr. Never waits for input.
int RunScriptHeadless(int argc, const char* const* argv);
// The same with the scripts folder, the vendor layer and the clock given.
int RunScriptHeadless(int argc, const char* const* argv, const std::string& scriptsFolder,
                      TBackupVendor& vendor, const std::function<int64_t()>& now);

} // namespace mv
