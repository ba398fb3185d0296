#pragma once
// What a backup run copies: the files that the script's include items find and its
// exclude items do not, compared with the files of the last backup.
#include "app/scripts/ScriptFiles.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

class TTreeScanner;

struct TBackupLists {
    std::vector<std::string> ToZipLines;   // found and not excluded, in scan order (the next ".sra")
    std::vector<std::string> ToZipPaths;   // their paths, sorted
    std::vector<std::string> NewOrChanged; // paths whose whole line is not in the last backup, scan order
    std::vector<std::string> DeletedNames; // archive names of last-backup files no longer copied
};

// The classification, as a pure function of the three line lists. A file found
// twice (overlapping include items) counts once; paths compare exactly, since two
// names that differ only in case are two files here.
TBackupLists BuildBackupLists(const std::vector<std::string>& found, const std::vector<std::string>& excluded,
                              const std::vector<std::string>& lastLines);

// Walks the items of a script (lines 1.. of the ".srp"; line 0 is the header) with
// the walker and gives the "found" lines of the include items and the "excluded"
// lines of the exclude items. Each found file is stamped with its last-write time;
// a file that vanished before it could be read is left out. beforeFile runs for
// every file found (the run pumps messages and stops the walk there when cancelled).
void ScanScriptItems(const std::vector<std::string>& scriptLines, TTreeScanner& scanner,
                     std::vector<std::string>& found, std::vector<std::string>& excluded,
                     const std::function<void(TTreeScanner&)>& beforeFile = {});

// The same walk, handing every file found to onFile with its line, its size and
// whether an include item found it. itemDone(done, total) runs after each item.
struct TScannedFile {
    std::string Line;
    std::string Path;
    uint64_t Size = 0;
    int64_t ModTime = 0;
    bool Include = true;
};
void ScanScriptItems(const std::vector<std::string>& scriptLines, TTreeScanner& scanner,
                     const std::function<void(const TScannedFile&)>& onFile,
                     const std::function<void(TTreeScanner&)>& beforeFile = {},
                     const std::function<void(int done, int total)>& itemDone = {});

} // namespace mv
