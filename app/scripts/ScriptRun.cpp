#include "app/scripts/ScriptRun.h"

#include "app/common/LangStr.h"
#include "app/common/Sounds.h"
#include "app/common/StrUtils.h"
#include "platform/LocalTime.h"
#include "zipwriter/ZipEngine.h"

#include <cstdio>
#include <ctime>
#include <iostream>

namespace mv {

namespace {

// The text of a result code with its context in parentheses.
std::string CodeText(int code, int context) {
    std::string text = "#";
    text += std::to_string(code);
    text += " (";
    text += LoadLangStr(context);
    text += ")";
    return text;
}

} // namespace

int PackLevelOfMethod(int method) {
    static const int levels[4] = {0, 1, 6, 9};
    return method >= 0 && method <= 3 ? levels[method] : 6;
}

std::string RunArchiveName(const TScriptHeader& header, int64_t now) {
    std::string name = TrimText(header.Destination);
    if (header.DateInName) {
        const size_t slash = name.rfind('/');
        const size_t dot = name.rfind('.');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.resize(dot);
        const platform::LocalDateTime t = platform::LocalTimeOf(now);
        char b[24];
        std::snprintf(b, sizeof b, "_%02d%02d%02d_%02d%02d", t.Year % 100, t.Month, t.Day, t.Hour, t.Minute);
        name += b;
    }
    return TBackupRunner::ArquivoZipEditExit(name, header.SelfExtracting);
}

std::vector<std::string> RunLevelWarnings(const TRunRecord& r) {
    std::vector<std::string> lines;
    if (r.ZipResultCode != 0) {
        if (r.ZipResultCode == 507 && r.DiskFull)
            lines.push_back(LoadLangStr(77));
        else
            lines.push_back(CodeText(r.ZipResultCode, 353));
        if (r.ZipResultCode == -50 && r.DiskFull) lines.push_back(LoadLangStr(77));
    }
    if (r.TestResultCode != 0) lines.push_back(CodeText(r.TestResultCode, 354));
    return lines;
}

void StoreRunResults(const TScriptStore& store, const std::string& name, const TBackupRunner& runner,
                     std::vector<std::string>& warnings, int64_t runStart, int64_t now) {
    const TRunRecord& r = runner.Record();
    if (r.Status == rsNeverRun) return; // nothing ran: the files stay as they are
    TScriptHeader header = store.ReadHeader(name);
    TRunStatistics stats;
    stats.Status = r.Status;
    stats.TestStatus = r.TestStatus;
    stats.Warnings = r.Warnings;
    stats.Archive = r.ArchiveWritten;
    stats.Finished = now;
    stats.ElapsedSeconds = r.ElapsedSeconds;
    stats.TotalBytes = r.TotalSize;
    stats.PackedBytes = r.PackedSize;
    stats.Disks = r.Disks;
    stats.Files = r.Files;
    StoreRunStatistics(header, stats);
    for (const std::string& line : RunLevelWarnings(r)) warnings.push_back(line);

    // A run that did not finish left the previous archive as it was (it is only ever
    // replaced whole), so the previous list still describes it, unless that archive
    // was removed before writing.
    const bool keepLastBackup = r.Status != rsDone && !r.OldArchiveRemoved;
    if (!keepLastBackup)
        WriteScriptTextLines(store.LastBackupPath(name), LinesForLastBackup(runner.ToZipLines(), runStart));
    if (r.Warnings != 0) WriteScriptTextLines(store.WarningsPath(name), warnings);
    store.WriteHeader(name, header);
}

void SetUpRunner(TBackupRunner& runner, TZipEngine& engine, const TScriptStore& store,
                 const std::string& name, const TScriptHeader& header, int64_t now) {
    runner.ScriptLines().SetLines(store.ReadScriptLines(name));
    runner.SetLastBackupFile(store.LastBackupPath(name));
    runner.SetArquivoZip(RunArchiveName(header, now));
    runner.Options().SelfExtracting = header.SelfExtracting;
    runner.Options().MultiVolume = header.VolumeMode == 0;
    runner.Options().UpdateOnly = header.UpdateOnly;
    runner.Options().ClearDisk = header.ClearDisk;
    runner.SetTestWanted(header.TestAfterBackup);
    engine.SetPackLevel(PackLevelOfMethod(header.Method));
}

TRunRecord RunStoredScript(const TScriptStore& store, const std::string& name, TBackupVendor& vendor,
                           const std::function<void(TBackupRunner& runner)>& run,
                           const std::function<int64_t()>& now) {
    const int64_t start = now();
    const TScriptHeader header = store.ReadHeader(name);
    TZipEngine engine;
    TBackupRunner runner(engine, vendor);
    std::vector<std::string> warnings;
    runner.SetWarningsList(&warnings);
    SetUpRunner(runner, engine, store, name, header, start);
    run(runner);
    StoreRunResults(store, name, runner, warnings, start, now());
    return runner.Record();
}

int ExitCodeOfRun(const TRunRecord& r) {
    return r.Status == rsDone && r.TestStatus != tsErrors && r.TestStatus != tsCancelled ? ecScriptDone
                                                                                         : ecScriptFailed;
}

int RunScriptHeadless(int argc, const char* const* argv, const std::string& scriptsFolder,
                      TBackupVendor& vendor, const std::function<int64_t()>& now) {
    std::string name;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "/W" || a == "/w") {
            if (i + 1 < argc) name = TrimText(argv[i + 1]);
            break;
        }
    }
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    if (name.empty()) {
        std::cerr << "morvelan: /W needs the name of a backup script\n";
        return ecScriptFailed;
    }
    const bool soundsWere = SoundsEnabled();
    SetSoundsEnabled(false); // an unattended run makes no noise
    TScriptStore store(scriptsFolder);
    const std::string script = store.FindScript(store.ReadScriptList(), name);
    if (script.empty()) {
        std::cerr << "morvelan: no backup script named \"" << name << "\" in " << scriptsFolder << "\n";
        SetSoundsEnabled(soundsWere);
        return ecScriptFailed;
    }
    int code = ecScriptFailed;
    try {
        std::string status;
        const TRunRecord record = RunStoredScript(
            store, script, vendor,
            [&](TBackupRunner& runner) {
                runner.Now = now;
                runner.Run();
                status = runner.StatusText();
            },
            now);
        code = ExitCodeOfRun(record);
        if (code != ecScriptDone) std::cerr << "morvelan: " << script << ": " << status << "\n";
    } catch (const std::exception& e) {
        std::cerr << "morvelan: " << script << ": " << e.what() << "\n";
        code = ecScriptFailed;
    }
    SetSoundsEnabled(soundsWere);
    return code;
}

int RunScriptHeadless(int argc, const char* const* argv) {
    TBackupVendor vendor;
    return RunScriptHeadless(argc, argv, DefaultScriptsFolder(), vendor,
                             [] { return static_cast<int64_t>(std::time(nullptr)); });
}

} // namespace mv
