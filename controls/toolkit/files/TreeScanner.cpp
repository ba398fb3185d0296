#include "controls/toolkit/files/TreeScanner.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

namespace mv {

namespace {

// Case-insensitive order of names; names equal but for case keep byte order, so
// both twins come and always in the same order.
bool NameLess(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

} // namespace

std::string TTreeScanner::NormalisedDirectory(const std::string& directory) {
    std::string d = directory;
    if (d.empty()) d = std::filesystem::current_path().string();
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    if (d.back() != '/') d += '/';
    return d;
}

void TTreeScanner::Scan() {
    FSearchInProgress = true;
    FFileFound.clear();
    FFileSize = 0;
    FInitialDirectory = NormalisedDirectory(FInitialDirectory);
    ContinueScan = true;
    try {
        ScanFolder(FInitialDirectory);
    } catch (...) {
        FSearchInProgress = false;
        throw;
    }
    FSearchInProgress = false;
}

void TTreeScanner::ScanFolder(const std::string& path) {
    if (ProcessMessages) ProcessMessages();
    if (!ContinueScan) return;
    FFileSize = 0;
    FFileFound = path;
    DoDirectoryFound();

    std::vector<platform::DirEntry> entries;
    try {
        entries = platform::Fs().ListDirectory(path);
    } catch (const platform::FileError&) {
        entries.clear(); // unreadable: walked as an empty folder
    }
    std::vector<std::string> folders;
    std::vector<std::pair<std::string, int64_t>> files;
    for (const platform::DirEntry& e : entries) {
        if (e.Name == "." || e.Name == "..") continue;
        platform::FileInfo info = e.Info;
        if (info.IsSymlink) {
            // A link counts as the file it leads to; links to folders are not followed.
            if (!platform::Fs().StatTarget(path + e.Name, info) || !info.IsRegular) continue;
        }
        if (info.IsDirectory) {
            folders.push_back(e.Name);
        } else if (info.IsRegular) {
            if (platform::MatchesDosMask(FFileMask, e.Name))
                files.emplace_back(e.Name, static_cast<int64_t>(info.Size));
        }
    }
    std::sort(folders.begin(), folders.end(), NameLess);
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return NameLess(a.first, b.first); });

    for (const auto& [name, size] : files) {
        FFileFound = path + name;
        FFileSize = size;
        DoFileFound();
    }
    FFileSize = 0;
    for (const std::string& name : folders) {
        const std::string sub = path + name + "/";
        if (FRecursive) {
            ScanFolder(sub);
        } else {
            FFileFound = sub;
            DoDirectoryFound();
        }
    }
    DoDirectoryDone();
}

void TTreeScanner::DoFileFound() {
    if (OnFileFound) OnFileFound(this);
}
void TTreeScanner::DoDirectoryFound() {
    if (OnDirectoryFound) OnDirectoryFound(this);
}
void TTreeScanner::DoDirectoryDone() {
    if (OnDirectoryDone) OnDirectoryDone(this);
}

} // namespace mv
