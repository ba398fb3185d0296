#include "app/scripts/BackupLists.h"

#include "controls/toolkit/files/TreeScanner.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <unordered_set>

namespace mv {

TBackupLists BuildBackupLists(const std::vector<std::string>& found, const std::vector<std::string>& excluded,
                              const std::vector<std::string>& lastLines) {
    TBackupLists lists;
    const std::unordered_set<std::string> excludedSet(excluded.begin(), excluded.end());
    const std::unordered_set<std::string> lastSet(lastLines.begin(), lastLines.end());
    std::unordered_set<std::string> copied;
    for (const std::string& line : found) {
        if (excludedSet.count(line)) continue;
        const std::string path = BackupLinePath(line);
        if (!copied.insert(path).second) continue; // found by two items
        lists.ToZipLines.push_back(line);
        lists.ToZipPaths.push_back(path);
        if (!lastSet.count(line)) lists.NewOrChanged.push_back(path);
    }
    std::sort(lists.ToZipPaths.begin(), lists.ToZipPaths.end());
    std::unordered_set<std::string> deleted;
    for (const std::string& line : lastLines) {
        const std::string path = BackupLinePath(line);
        if (path.empty() || copied.count(path)) continue;
        if (deleted.insert(path).second) lists.DeletedNames.push_back(ArchiveNameOf(path));
    }
    return lists;
}

void ScanScriptItems(const std::vector<std::string>& scriptLines, TTreeScanner& scanner,
                     const std::function<void(const TScannedFile&)>& onFile,
                     const std::function<void(TTreeScanner&)>& beforeFile,
                     const std::function<void(int done, int total)>& itemDone) {
    scanner.OnDirectoryFound = nullptr;
    scanner.OnDirectoryDone = nullptr;
    TScannedFile file;
    scanner.OnFileFound = [&](TTreeScanner* s) {
        if (beforeFile) beforeFile(*s);
        platform::FileInfo info;
        if (!platform::Fs().StatTarget(s->FileFound(), info)) return;
        file.Path = s->FileFound();
        file.Line = FormatBackupFileLine(info.ModTime, file.Path);
        file.Size = info.Size;
        file.ModTime = info.ModTime;
        file.Include = s->Tag() == 1;
        onFile(file);
    };
    const int total = scriptLines.empty() ? 0 : static_cast<int>(scriptLines.size()) - 1;
    for (size_t i = 1; i < scriptLines.size(); ++i) {
        if (!scriptLines[i].empty()) {
            const TScriptItem item = ParseScriptItem(scriptLines[i]);
            const TItemScan scan = ItemScanOf(item);
            scanner.SetFileMask(scan.Mask);
            scanner.SetRecursive(scan.Recurse);
            scanner.SetInitialDirectory(scan.Folder.empty() ? "/" : scan.Folder);
            scanner.SetTag(item.Include ? 1 : 2);
            scanner.Scan();
            if (!scanner.ContinueScan) break;
        }
        if (itemDone) itemDone(static_cast<int>(i), total);
    }
    scanner.OnFileFound = nullptr;
}

void ScanScriptItems(const std::vector<std::string>& scriptLines, TTreeScanner& scanner,
                     std::vector<std::string>& found, std::vector<std::string>& excluded,
                     const std::function<void(TTreeScanner&)>& beforeFile) {
    found.clear();
    excluded.clear();
    ScanScriptItems(
        scriptLines, scanner,
        [&](const TScannedFile& file) { (file.Include ? found : excluded).push_back(file.Line); }, beforeFile);
}

} // namespace mv
