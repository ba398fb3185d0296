#include "app/scripts/ScriptFiles.h"

#include "app/common/LangStr.h"
#include "app/common/StrUtils.h"
#include "platform/AppPaths.h"
#include "platform/CodePage.h"
#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace mv {

using platform::Fs;

const char* const SentinelBackupDate = "00/00/0000 00:00";
const char* const ForbiddenScriptNameChars = "\\/:*?\"<>|";

namespace {

// Byte offset of character index n (the size when the text is shorter).
size_t ByteOfChar(const std::string& text, size_t n) {
    size_t pos = 0;
    while (n > 0 && pos < text.size()) {
        uint32_t cp;
        platform::DecodeUtf8(text, pos, cp);
        --n;
    }
    return pos;
}

bool IsValidUtf8(const std::string& text) {
    size_t pos = 0;
    uint32_t cp;
    while (pos < text.size())
        if (!platform::DecodeUtf8(text, pos, cp)) return false;
    return true;
}

// Windows-1252 characters 0x80..0x9F; 0 where the page has none (taken as Latin-1).
const uint16_t Cp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string TwoDigits(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v < 0 ? 0 : v % 100);
    return b;
}

// Day names by language, Sunday first, three letters each.
const char* const* DayNames() {
    static const char* const pt[7] = {"Dom", "Seg", "Ter", "Qua", "Qui", "Sex", "Sáb"};
    static const char* const en[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const es[7] = {"Dom", "Lun", "Mar", "Mié", "Jue", "Vie", "Sáb"};
    switch (LanguageBase()) {
    case lbEnglish:
        return en;
    case lbSpanish:
        return es;
    default:
        return pt;
    }
}

int DayOfWeek(int y, int m, int d) { // 0 Sunday (Sakamoto)
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return (y + y / 4 - y / 100 + y / 400 + t[(m - 1) % 12] + d) % 7;
}

bool ReadFlag(const std::string& line, size_t column) {
    return CharSubstr(line, column - 1, 1) == "1";
}

int ReadInt(const std::string& text, int fallback) {
    int v;
    try {
        v = StrToIntStrict(TrimText(text));
    } catch (const EConvertError&) {
        return fallback;
    }
    return v;
}

std::string Flag(bool on) {
    return on ? "1" : "0";
}

std::string Digit(int v, int fallback) {
    return (v >= 0 && v <= 9) ? std::to_string(v) : std::to_string(fallback);
}

std::string LeftCount(uint64_t value, size_t width) {
    std::string digits = std::to_string(value);
    if (digits.size() > width) digits = std::string(width, '9');
    return FitLeft(digits, width);
}

std::string KText(uint64_t bytes) {
    uint64_t k = bytes / 1024;
    if (k > 99999999) k = 99999999;
    char b[16];
    std::snprintf(b, sizeof b, "%08llu", static_cast<unsigned long long>(k));
    return b;
}

} // namespace

// --- Text of fixed columns -------------------------------------------------------

std::string CharSubstr(const std::string& text, size_t first, size_t count) {
    const size_t b = ByteOfChar(text, first);
    if (count == std::string::npos) return text.substr(b);
    size_t e = b;
    while (count > 0 && e < text.size()) {
        uint32_t cp;
        platform::DecodeUtf8(text, e, cp);
        --count;
    }
    return text.substr(b, e - b);
}

std::string FitLeft(const std::string& text, size_t width) {
    const size_t n = CharCount(text);
    if (n >= width) return CharSubstr(text, 0, width);
    return text + std::string(width - n, ' ');
}

std::string FitRight(const std::string& text, size_t width) {
    const size_t n = CharCount(text);
    if (n >= width) return CharSubstr(text, n - width);
    return std::string(width - n, ' ') + text;
}

std::string LegacyLineToUtf8(const std::string& line) {
    if (IsValidUtf8(line)) return line;
    std::string out;
    for (unsigned char c : line) {
        uint32_t cp = c;
        if (c >= 0x80 && c < 0xA0 && Cp1252High[c - 0x80] != 0) cp = Cp1252High[c - 0x80];
        platform::AppendUtf8(out, cp);
    }
    return out;
}

// --- Dates ---------------------------------------------------------------------------

std::string FormatScriptDate(int64_t unixTime) {
    const platform::LocalDateTime t = platform::LocalTimeOf(unixTime);
    const std::string text = TwoDigits(t.Day) + "/" + TwoDigits(t.Month) + "/" + std::to_string(t.Year) +
                             " " + DayNames()[DayOfWeek(t.Year, t.Month, t.Day)];
    return FitLeft(text, shDateWidth);
}

std::string FormatScriptTime(int64_t unixTime) {
    const platform::LocalDateTime t = platform::LocalTimeOf(unixTime);
    return TwoDigits(t.Hour) + ":" + TwoDigits(t.Minute);
}

std::string FormatElapsed(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    int64_t h = seconds / 3600;
    if (h > 99) h = 99;
    return TwoDigits(static_cast<int>(h)) + ":" + TwoDigits(static_cast<int>(seconds / 60 % 60)) + ":" +
           TwoDigits(static_cast<int>(seconds % 60));
}

// --- The header line -----------------------------------------------------------------

TScriptHeader ParseScriptHeader(const std::string& line) {
    TScriptHeader h;
    auto field = [&](size_t column, size_t width, std::string& out) {
        if (CharCount(line) >= column - 1 + width) out = CharSubstr(line, column - 1, width);
    };
    h.TestAfterBackup = ReadFlag(line, 1);
    h.Method = StrToIntNoDots(CharSubstr(line, 1, 1), 2);
    if (h.Method < 0 || h.Method > 3) h.Method = 2;
    h.ClearDisk = ReadFlag(line, 3);
    h.LastStatus = ReadInt(CharSubstr(line, 3, 1), 0);
    h.TestStatus = ReadInt(CharSubstr(line, 4, 1), 0);
    field(6, shArchiveWidth, h.Archive);
    field(71, shDateWidth, h.Date);
    field(85, shTimeWidth, h.Time);
    field(90, shElapsedWidth, h.Elapsed);
    field(98, shSizeWidth, h.TotalK);
    field(106, shSizeWidth, h.PackedK);
    field(114, shDisksWidth, h.Disks);
    field(118, shFilesWidth, h.Files);
    const std::string volume = CharSubstr(line, 126, 1);
    h.VolumeMode = volume == "0" ? 0 : 1;
    h.UpdateOnly = ReadFlag(line, 128);
    field(129, shWarningsWidth, h.Warnings);
    h.SelfExtracting = ReadFlag(line, 135);
    h.DateInName = ReadFlag(line, 136);
    h.Destination = TrimText(CharSubstr(line, shDestinationColumn - 1));
    return h;
}

std::string FormatScriptHeader(const TScriptHeader& h) {
    std::string s;
    s += Flag(h.TestAfterBackup);
    s += Digit(h.Method, 2);
    s += Flag(h.ClearDisk);
    s += Digit(h.LastStatus, 0);
    s += Digit(h.TestStatus, 0);
    s += FitLeft(h.Archive, shArchiveWidth);
    s += FitLeft(h.Date, shDateWidth);
    s += FitLeft(h.Time, shTimeWidth);
    s += FitLeft(h.Elapsed, shElapsedWidth);
    s += FitLeft(h.TotalK, shSizeWidth);
    s += FitLeft(h.PackedK, shSizeWidth);
    s += FitLeft(h.Disks, shDisksWidth);
    s += FitLeft(h.Files, shFilesWidth);
    s += h.VolumeMode == 0 ? "0" : "1";
    s += Flag(h.UpdateOnly);
    s += FitLeft(h.Warnings, shWarningsWidth);
    s += Flag(h.SelfExtracting);
    s += Flag(h.DateInName);
    s += std::string(shReservedWidth, ' ');
    s += h.Destination;
    return s;
}

TScriptHeader NewScriptHeader(const std::string& name) {
    TScriptHeader h;
    h.Destination = platform::JoinPath(platform::JoinPath(platform::HomeDir(), "Backups"), name + ".zip");
    return h;
}

int HeaderWarnings(const TScriptHeader& header) {
    return ReadInt(header.Warnings, 0);
}

void StoreRunStatistics(TScriptHeader& h, const TRunStatistics& run) {
    h.LastStatus = run.Status;
    h.TestStatus = run.TestStatus;
    std::string archive = TrimText(run.Archive);
    if (CharCount(archive) > shArchiveWidth) archive = "..." + FitRight(archive, shArchiveWidth - 3);
    h.Archive = FitLeft(archive, shArchiveWidth);
    h.Date = FormatScriptDate(run.Finished);
    h.Time = FormatScriptTime(run.Finished);
    h.Elapsed = FormatElapsed(run.ElapsedSeconds);
    h.TotalK = KText(run.TotalBytes);
    h.PackedK = KText(run.PackedBytes);
    h.Disks = LeftCount(static_cast<uint64_t>(std::max(run.Disks, 0)), shDisksWidth);
    h.Files = LeftCount(static_cast<uint64_t>(std::max<int64_t>(run.Files, 0)), shFilesWidth);
    h.Warnings = LeftCount(static_cast<uint64_t>(std::max(run.Warnings, 0)), shWarningsWidth);
}

// --- Item lines -------------------------------------------------------------------------

TScriptItem ParseScriptItem(const std::string& line) {
    TScriptItem item;
    item.FolderItem = CharSubstr(line, 0, 1) == "S";
    item.Recurse = CharSubstr(line, 1, 1) == "S";
    item.Include = CharSubstr(line, 2, 1) == "S";
    item.Path = CharSubstr(line, 3);
    return item;
}

std::string FormatScriptItem(const TScriptItem& item) {
    return std::string(item.FolderItem ? "S" : "N") + (item.Recurse ? "S" : "N") +
           (item.Include ? "S" : "N") + item.Path;
}

TItemScan ItemScanOf(const TScriptItem& item) {
    TItemScan scan;
    scan.Folder = platform::DirectoryOf(item.Path);
    scan.Mask = TrimText(platform::NameOf(item.Path));
    if (scan.Mask.empty()) scan.Mask = "*.*";
    scan.Recurse = item.Recurse;
    return scan;
}

std::string TArquivosLb::GetFileName(int index) const {
    return ParseScriptItem(FLines.at(static_cast<size_t>(index))).Path;
}
bool TArquivosLb::NotGrayed(int index) const {
    return ParseScriptItem(FLines.at(static_cast<size_t>(index))).FolderItem;
}
bool TArquivosLb::Recurse(int index) const {
    return ParseScriptItem(FLines.at(static_cast<size_t>(index))).Recurse;
}
bool TArquivosLb::Include(int index) const {
    return ParseScriptItem(FLines.at(static_cast<size_t>(index))).Include;
}
void TArquivosLb::AddEntry(bool notGrayed, bool recurse, const std::string& path, bool include) {
    FLines.push_back(FormatScriptItem({notGrayed, recurse, include, path}));
}

// --- Last-backup lines -------------------------------------------------------------------

std::string FormatBackupFileLine(int64_t modTime, const std::string& path) {
    const platform::LocalDateTime t = platform::LocalTimeOf(modTime);
    char b[32];
    std::snprintf(b, sizeof b, "%02d/%02d/%04d %02d:%02d", t.Day, t.Month, t.Year, t.Hour, t.Minute);
    return b + path;
}

std::string BackupLineDate(const std::string& line) {
    return line.size() >= 16 ? line.substr(0, 16) : std::string();
}

std::string BackupLinePath(const std::string& line) {
    return line.size() > 16 ? line.substr(16) : std::string();
}

std::string ArchiveNameOf(const std::string& path) {
    return !path.empty() && path[0] == '/' ? path.substr(1) : path;
}

std::vector<std::string> LinesForLastBackup(const std::vector<std::string>& lines, int64_t runStart) {
    // "dd/mm/yyyy hh:nn" as "yyyymmddhhnn", so that minutes compare in order.
    auto key = [](const std::string& date) {
        if (date.size() < 16) return std::string();
        return date.substr(6, 4) + date.substr(3, 2) + date.substr(0, 2) + date.substr(11, 2) +
               date.substr(14, 2);
    };
    const std::string start = key(FormatBackupFileLine(runStart, ""));
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const std::string& line : lines) {
        if (key(BackupLineDate(line)) >= start)
            out.push_back(SentinelBackupDate + BackupLinePath(line));
        else
            out.push_back(line);
    }
    return out;
}

std::string FormatBackupWarningLine(const std::string& storedName, const std::string& reasonText) {
    return storedName + "  -  " + reasonText;
}

// --- Files ----------------------------------------------------------------------------------

std::vector<std::string> ReadScriptTextLines(const std::string& path) {
    auto file = Fs().Open(path, platform::OpenMode::Read);
    std::string data;
    char buffer[65536];
    for (;;) {
        const size_t n = file->Read(buffer, sizeof buffer);
        if (n == 0) break;
        data.append(buffer, n);
    }
    file->Close();
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < data.size()) {
        size_t nl = data.find('\n', pos);
        if (nl == std::string::npos) nl = data.size();
        std::string line = data.substr(pos, nl - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(LegacyLineToUtf8(line));
        pos = nl + 1;
    }
    return lines;
}

std::vector<std::string> ReadScriptTextLinesIfAny(const std::string& path) {
    platform::FileInfo info;
    if (!Fs().Stat(path, info)) return {};
    return ReadScriptTextLines(path);
}

void WriteScriptTextLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string data;
    for (const std::string& line : lines) {
        data += line;
        data += "\r\n";
    }
    platform::AtomicWriter writer(path);
    writer.Output().Write(data.data(), data.size());
    writer.Commit();
}

std::string DefaultScriptsFolder() {
    return platform::JoinPath(platform::DataDir(), "scripts");
}

TScriptStore::TScriptStore(std::string folder) : FFolder(std::move(folder)) {}

std::string TScriptStore::ListPath() const {
    return platform::JoinPath(FFolder, "Morvelan.SRL");
}
std::string TScriptStore::HeaderPath(const std::string& name) const {
    return platform::JoinPath(FFolder, name + ".srp");
}
std::string TScriptStore::LastBackupPath(const std::string& name) const {
    return platform::JoinPath(FFolder, name + ".sra");
}
std::string TScriptStore::WarningsPath(const std::string& name) const {
    return platform::JoinPath(FFolder, name + ".sre");
}

std::vector<std::string> TScriptStore::ReadScriptList() const {
    std::vector<std::string> names;
    for (const std::string& line : ReadScriptTextLinesIfAny(ListPath())) {
        if (line.empty()) continue;
        if (platform::Exists(HeaderPath(line))) names.push_back(line);
    }
    return names;
}

void TScriptStore::WriteScriptList(const std::vector<std::string>& names) const {
    WriteScriptTextLines(ListPath(), names);
}

std::string TScriptStore::FindScript(const std::vector<std::string>& names, const std::string& name) const {
    auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    const std::string wanted = lower(TrimText(name));
    for (const std::string& n : names)
        if (lower(n) == wanted) return n;
    return {};
}

TNewScriptResult TScriptStore::CreateScript(std::string& name, std::vector<std::string>& names) const {
    name = TrimText(CharSubstr(name, 0, MaxScriptNameLength));
    if (name.find_first_of(ForbiddenScriptNameChars) != std::string::npos)
        return TNewScriptResult::nsForbiddenChar;
    if (name.empty()) return TNewScriptResult::nsEmpty;
    if (!FindScript(names, name).empty()) return TNewScriptResult::nsDuplicate;
    platform::ForceDirectories(FFolder);
    WriteScriptTextLines(HeaderPath(name), {FormatScriptHeader(NewScriptHeader(name))});
    names.push_back(name);
    WriteScriptList(names);
    return TNewScriptResult::nsCreated;
}

void TScriptStore::DeleteScript(const std::string& name, std::vector<std::string>& names) const {
    names.erase(std::remove(names.begin(), names.end(), name), names.end());
    for (const std::string& path : {HeaderPath(name), LastBackupPath(name), WarningsPath(name)}) {
        platform::FileInfo info;
        if (Fs().Stat(path, info)) Fs().RemoveFile(path);
    }
    WriteScriptList(names);
}

std::vector<std::string> TScriptStore::ReadScriptLines(const std::string& name) const {
    return ReadScriptTextLines(HeaderPath(name));
}

TScriptHeader TScriptStore::ReadHeader(const std::string& name) const {
    const std::vector<std::string> lines = ReadScriptLines(name);
    return ParseScriptHeader(lines.empty() ? std::string() : lines[0]);
}

void TScriptStore::WriteHeader(const std::string& name, const TScriptHeader& header) const {
    std::vector<std::string> lines = ReadScriptLines(name);
    if (lines.empty())
        lines.push_back(FormatScriptHeader(header));
    else
        lines[0] = FormatScriptHeader(header);
    WriteScriptTextLines(HeaderPath(name), lines);
}

} // namespace mv
