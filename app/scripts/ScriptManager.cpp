#include "app/scripts/ScriptManager.h"

#include "app/common/LangStr.h"
#include "app/common/StrUtils.h"
#include "archive/framework/ZipCommon.h"
#include "platform/AppPaths.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/LocalSocket.h"

#include <cstdlib>

namespace mv {

void ApplyDestinationRule(TScriptOptions& o, bool removable) {
    o.ClearDiskEnabled = removable;
    if (!removable) {
        o.ClearDisk = false;
        o.VolumeMode = 1;
    }
}

void ApplyUpdateRule(TScriptOptions& o) {
    o.UpdateEnabled = !o.DateInName && o.VolumeMode == 1 && !o.SelfExtracting;
    if (!o.UpdateEnabled) o.UpdateOnly = false;
}

TScriptOptions OptionsOfHeader(const TScriptHeader& h) {
    TScriptOptions o;
    o.Test = h.TestAfterBackup;
    o.ClearDisk = h.ClearDisk;
    o.VolumeMode = h.VolumeMode == 0 ? 0 : 1;
    o.SelfExtracting = h.SelfExtracting;
    o.DateInName = h.DateInName;
    o.UpdateOnly = h.UpdateOnly;
    ApplyUpdateRule(o);
    return o;
}

void StoreOptions(TScriptHeader& h, const TScriptOptions& o) {
    h.TestAfterBackup = o.Test;
    h.ClearDisk = o.ClearDisk;
    h.VolumeMode = o.VolumeMode;
    h.SelfExtracting = o.SelfExtracting;
    h.DateInName = o.DateInName;
    h.UpdateOnly = o.UpdateOnly;
}

TRunLabels RunLabelsOf(const TScriptHeader& h) {
    TRunLabels l;
    switch (h.LastStatus) {
    case rsErrors: l.Copy = {LoadLangStr(340), true}; break;
    case rsCancelled: l.Copy = {LoadLangStr(341), true}; break;
    case rsDone:
        l.Copy = {LoadLangStr(342), false};
        switch (h.TestStatus) {
        case tsErrors: l.Test = {LoadLangStr(444), true}; break;
        case tsCancelled: l.Test = {LoadLangStr(445), true}; break;
        case tsPassed: l.Test = {LoadLangStr(446), false}; break;
        default: l.Test = {LoadLangStr(443), true}; break;
        }
        break;
    default: l.Copy = {LoadLangStr(442), false}; return l;
    }
    const std::string archive = TrimText(h.Archive);
    const int disks = StrToIntNoDots(TrimText(h.Disks), 1);
    l.Destination = disks >= 2 ? "(" + std::to_string(disks) + " " + LoadLangStr(447) + ") " + archive : archive;
    l.Date = TrimText(h.Date) + "  -  " + TrimText(h.Time) + " hs";
    l.Elapsed = TrimText(h.Elapsed);
    const int64_t totalK = StrToIntNoDots(TrimText(h.TotalK), 0);
    const int64_t packedK = StrToIntNoDots(TrimText(h.PackedK), 0);
    l.Size = std::to_string(totalK) + "K  -  " + TrimText(h.Files) + " " + LoadLangStr(193) + ".";
    // The percent saved; a zero prints "0" where the pattern "###" would print nothing.
    l.Packed = std::to_string(packedK) + "K  (" + std::to_string(TZipCommon::CompressRatio(packedK, totalK)) + "%)";
    const int warnings = HeaderWarnings(h);
    l.WarningsEnabled = warnings > 0;
    l.Warnings = warnings > 0 ? TLabelText{LoadLangStr(605) + " (" + std::to_string(warnings) + ")", true}
                              : TLabelText{LoadLangStr(604), false};
    return l;
}

TScriptCommand CommandOfKey(char key, int32_t languageBase) {
    if (key >= 'a' && key <= 'z') key = static_cast<char>(key - 'a' + 'A');
    using C = TScriptCommand;
    switch (key) {
    case 'A': return C::scAnalyse;
    case 'C': return C::scMethod;
    case 'D': return C::scDestination;
    case 'I': return C::scWarnings;
    case 'L': return C::scClearDisk;
    case 'T': return C::scTest;
    default: break;
    }
    if (key == 'N') return C::scNew;
    if (languageBase == lbEnglish) {
        switch (key) {
        case 'F': return C::scFiles;
        case 'H': return C::scSchedule;
        case 'S': return C::scRun;
        case 'Y': return C::scAppearance;
        default: return C::scNone;
        }
    }
    if (languageBase == lbSpanish) {
        switch (key) {
        case 'E': return C::scRun;
        case 'H': return C::scFiles;
        case 'P': return C::scAppearance;
        default: return C::scNone;
        }
    }
    switch (key) {
    case 'E': return C::scRun;
    case 'G': return C::scSchedule;
    case 'P': return C::scAppearance;
    case 'Q': return C::scFiles;
    default: return C::scNone;
    }
}

std::string ScriptShortcutFileName(const std::string& name) {
    std::string file = "Script " + name + ".desktop";
    for (char& c : file)
        if (c == '/') c = '_';
    return file;
}

desktop::TDesktopEntry ScriptShortcutEntry(const std::string& name, const std::string& programPath) {
    desktop::TDesktopEntry e;
    e.Name = "Script " + name;
    e.Comment = "Morvelan Script";
    e.Exec = desktop::QuoteExecArgument(programPath) + " /S " + desktop::QuoteExecArgument(name);
    e.Path = platform::DirectoryOf(programPath);
    e.Icon = "morvelan-script";
    return e;
}

std::string CreateScriptShortcut(const std::string& name, const std::string& desktopFolder,
                                 const std::string& programPath) {
    const std::string path = platform::JoinPath(desktopFolder, ScriptShortcutFileName(name));
    try {
        platform::ForceDirectories(desktopFolder);
        desktop::WriteLauncher(path, ScriptShortcutEntry(name, programPath), true);
    } catch (const std::exception&) {
        return {};
    }
    return platform::Exists(path) ? path : std::string();
}

std::string SchedulerSocketPath() {
    return platform::JoinPath(platform::RuntimeDir(), SchedulerProgramName);
}

std::string FindSchedulerProgram() {
    const std::string beside = platform::HelperPath(SchedulerProgramName);
    if (platform::Exists(beside)) return beside;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty()) {
            const std::string candidate = platform::JoinPath(dir, SchedulerProgramName);
            platform::FileInfo info;
            if (platform::Fs().StatTarget(candidate, info) && info.IsRegular && (info.Mode & 0111)) return candidate;
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return {};
}

TScheduleResult HandOverToScheduler(const std::string& socketPath, const std::string& programPath,
                                    const std::function<void(const std::string&, const std::string&)>& start) {
    if (platform::SendLocalSocketLine(socketPath, SchedulerWakeText)) return TScheduleResult::srWoken;
    if (programPath.empty()) return TScheduleResult::srNotInstalled;
    if (start) start(programPath, "\"/S\"");
    return TScheduleResult::srStarted;
}

} // namespace mv
