#include "app/scripts/BackupAnalysis.h"

#include "app/common/LangStr.h"
#include "app/mainwindow/ArchiveList.h"
#include "controls/toolkit/files/TreeScanner.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <unordered_set>

namespace mv {

namespace {

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Three-way comparison of two texts without regard to ASCII letter case.
int CompareNoCase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool CanRead(const std::string& path) {
    try {
        return platform::Fs().Open(path, platform::OpenMode::Read) != nullptr;
    } catch (const std::exception&) {
        return false;
    }
}

// The date column: opening every file of a large tree up front would cost more than
// the whole scan, so a file is tried when its row is first shown.
std::string DateText(const TAnalysisRow& row, bool settle = true) {
    if (row.Readable < 0 && settle && !row.Path.empty()) row.Readable = CanRead(row.Path) ? 1 : 0;
    if (row.Readable == 0) return LoadLangStr(192);
    return BackupLineDate(FormatBackupFileLine(row.ModTime, ""));
}

} // namespace

std::string AnalysisNameOf(const std::string& fileName) {
    if (fileName.size() >= 4 && fileName[fileName.size() - 4] == '.') return fileName.substr(0, fileName.size() - 4);
    return fileName;
}

std::string AnalysisExtensionOf(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? std::string() : LowerAscii(fileName.substr(dot));
}

// --- TAnalysisView ----------------------------------------------------------------

void TAnalysisView::Clear() {
    FRows.clear();
    FOrder.clear();
    FSorted = false;
}

void TAnalysisView::AddRow(TAnalysisRow row) {
    FOrder.push_back(static_cast<int>(FRows.size()));
    FRows.push_back(std::move(row));
    FSorted = false;
}

void TAnalysisView::Sort(int column, bool ascending) {
    if (column < 0 || column >= static_cast<int>(FColumns.size())) column = 0;
    FAscending = ascending;
    if (column == FSortColumn && FSorted) return; // the order stands; descending reads it from its end
    FSortColumn = column;
    FOrder.resize(FRows.size());
    for (size_t i = 0; i < FOrder.size(); ++i) FOrder[i] = static_cast<int>(i);
    if (FColumns.empty()) return;
    const TAnalysisColumn by = FColumns[static_cast<size_t>(column)];
    std::stable_sort(FOrder.begin(), FOrder.end(), [&](int ia, int ib) {
        const TAnalysisRow& a = FRows[static_cast<size_t>(ia)];
        const TAnalysisRow& b = FRows[static_cast<size_t>(ib)];
        switch (by) {
        case TAnalysisColumn::acName: return CompareNoCase(a.Name, b.Name) < 0;
        case TAnalysisColumn::acExtension: return CompareNoCase(a.Extension, b.Extension) < 0;
        case TAnalysisColumn::acSize: return a.Size < b.Size;
        case TAnalysisColumn::acDate: return a.ModTime / 60 < b.ModTime / 60;
        case TAnalysisColumn::acFolder: return CompareNoCase(a.Folder, b.Folder) < 0;
        }
        return false;
    });
    FSorted = true;
}

const TAnalysisRow& TAnalysisView::Item(int index) const {
    const size_t n = FOrder.size();
    const size_t i = static_cast<size_t>(index);
    return FRows.at(static_cast<size_t>(FOrder.at(FAscending ? i : n - 1 - i)));
}

std::string TAnalysisView::CellText(int index, int column) const {
    if (index < 0 || index >= Count() || column < 0 || column >= static_cast<int>(FColumns.size())) return {};
    const TAnalysisRow& row = Item(index);
    switch (FColumns[static_cast<size_t>(column)]) {
    case TAnalysisColumn::acName: return row.Name;
    case TAnalysisColumn::acExtension: return row.Extension;
    case TAnalysisColumn::acSize: return FormatThousands(static_cast<int64_t>(row.Size));
    case TAnalysisColumn::acDate: return DateText(row);
    case TAnalysisColumn::acFolder: return row.Folder;
    }
    return {};
}

std::vector<std::string> TAnalysisView::WidestTexts() const {
    std::vector<std::string> widest(FColumns.size());
    for (size_t c = 0; c < FColumns.size(); ++c) {
        for (int i = 0; i < Count(); ++i) {
            std::string text = FColumns[c] == TAnalysisColumn::acDate ? DateText(Item(i), false)
                                                                       : CellText(i, static_cast<int>(c));
            if (text.size() > widest[c].size()) widest[c] = std::move(text);
        }
    }
    return widest;
}

// --- TBackupAnalysis --------------------------------------------------------------

TBackupAnalysis::TBackupAnalysis() {
    using C = TAnalysisColumn;
    FCopied.SetColumns({C::acName, C::acExtension, C::acSize, C::acDate, C::acFolder});
    FExcluded.SetColumns({C::acName, C::acExtension, C::acSize, C::acDate, C::acFolder});
    FNew.SetColumns({C::acName, C::acExtension, C::acDate, C::acFolder});
    FChanged.SetColumns({C::acName, C::acExtension, C::acDate, C::acFolder});
}

void TBackupAnalysis::SetLastBackup(const std::vector<std::string>& lines) {
    FLastLines.clear();
    for (const std::string& line : lines) {
        const std::string trimmed = TrimLine(line);
        if (!trimmed.empty()) FLastLines.push_back(trimmed);
    }
}

std::string TBackupAnalysis::TrimLine(const std::string& line) {
    size_t b = 0, e = line.size();
    while (b < e && (line[b] == ' ' || line[b] == '\t')) ++b;
    while (e > b && (line[e - 1] == ' ' || line[e - 1] == '\t' || line[e - 1] == '\r')) --e;
    return line.substr(b, e - b);
}

TAnalysisRow TBackupAnalysis::RowOf(const TAnalysisFile& file) const {
    TAnalysisRow row;
    const std::string name = platform::NameOf(file.Path);
    row.Name = AnalysisNameOf(name);
    row.Extension = AnalysisExtensionOf(name);
    row.ImageIndex = IconOf ? IconOf(row.Extension) : 0;
    row.Size = file.Size;
    row.ModTime = file.ModTime;
    row.Readable = file.Readable;
    row.Path = file.Path;
    row.Folder = platform::DirectoryOf(file.Path);
    if (row.Folder.empty() || row.Folder.back() != '/') row.Folder += '/';
    return row;
}

void TBackupAnalysis::Analyse(const std::vector<std::string>& scriptLines, TTreeScanner& scanner,
                              const std::function<void(int done, int total)>& progress) {
    std::vector<TAnalysisFile> found, excluded;
    ScanScriptItems(
        scriptLines, scanner,
        [&](const TScannedFile& f) {
            TAnalysisFile file;
            file.Path = f.Path;
            file.Size = f.Size;
            file.ModTime = f.ModTime;
            file.Line = f.Line;
            (f.Include ? found : excluded).push_back(std::move(file));
        },
        [](TTreeScanner& s) {
            if (s.ProcessMessages) s.ProcessMessages();
        },
        progress);
    Classify(found, excluded);
}

void TBackupAnalysis::Classify(const std::vector<TAnalysisFile>& found, const std::vector<TAnalysisFile>& excluded) {
    for (TAnalysisView* v : {&FCopied, &FNew, &FChanged, &FExcluded}) v->Clear();
    FCopiedBytes = FExcludedBytes = 0;

    std::vector<std::string> foundLines, excludedLines;
    foundLines.reserve(found.size());
    for (const TAnalysisFile& f : found) foundLines.push_back(f.Line);
    for (const TAnalysisFile& f : excluded) excludedLines.push_back(f.Line);
    FLists = BuildBackupLists(foundLines, excludedLines, FLastLines);

    std::unordered_set<std::string> lastPaths;
    for (const std::string& line : FLastLines) lastPaths.insert(BackupLinePath(line));
    const std::unordered_set<std::string> newOrChanged(FLists.NewOrChanged.begin(), FLists.NewOrChanged.end());
    const std::unordered_set<std::string> excludedSet(excludedLines.begin(), excludedLines.end());
    std::unordered_set<std::string> copied;
    for (const TAnalysisFile& f : found) {
        // The files BuildBackupLists copies: found, not excluded, each path once.
        if (excludedSet.count(f.Line) || !copied.insert(f.Path).second) continue;
        const TAnalysisRow row = RowOf(f);
        FCopied.AddRow(row);
        FCopiedBytes += f.Size;
        if (!newOrChanged.count(f.Path)) continue;
        (lastPaths.count(f.Path) ? FChanged : FNew).AddRow(row);
    }
    for (const TAnalysisFile& f : excluded) {
        FExcluded.AddRow(RowOf(f));
        FExcludedBytes += f.Size;
    }
    for (TAnalysisView* v : {&FCopied, &FNew, &FChanged, &FExcluded}) v->Sort(v->SortColumn(), v->Ascending());
}

std::string TBackupAnalysis::TotalsText(int count, uint64_t bytes) {
    std::string k = FormatThousands(static_cast<int64_t>(bytes / 1024));
    if (k.empty()) k = "0";
    return std::to_string(count) + " " + LoadLangStr(193) + ", " + k + "K";
}

} // namespace mv
