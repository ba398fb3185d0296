#include "app/search/SearchRun.h"

#include "app/common/LangStr.h"
#include "app/mainwindow/ArchiveList.h"
#include "archive/framework/ArcFileAttr.h"
#include "archive/search/ArcSearch.h"
#include "controls/toolkit/files/TreeScanner.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cmath>

namespace mv {

namespace {

constexpr int32_t sStarting = 176, sFilesInspected = 177, sTotalKbytes = 178, sTime = 179, sSearchingIn = 180;

std::string UpperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string WithSeparator(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return folder;
}

} // namespace

bool HasArchiveExtension(const std::string& fileName) {
    static const char* const extensions[] = {".ZIP", ".CAB", ".ZOO", ".ARJ", ".EXE", ".ARC", ".LHA",
                                             ".LZH", ".BH",  ".GZ",  ".JAR", ".TAR", ".RAR"};
    const std::string name = platform::NameOf(fileName);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = UpperAscii(name.substr(dot));
    return std::any_of(std::begin(extensions), std::end(extensions), [&](const char* e) { return ext == e; });
}

std::string SearchSummaryText(const TSearchTotals& totals) {
    const int64_t seconds = std::llround(std::max(0.0, totals.Seconds));
    return LoadLangStr(sFilesInspected) + std::to_string(totals.FilesInspected) + "\n" + LoadLangStr(sTotalKbytes) +
           FormatThousands(totals.Bytes / 1024) + "\n\n" + LoadLangStr(sTime) + std::to_string(seconds) + "s";
}

TSearchRun::TSearchRun() : FSearch(std::make_unique<TArcSearch>()) {
    FSearch->SetSearchType(TArcSearchType::stAllFiles);
    FSearch->SetOffsetBegin(0);
    FSearch->SetOffsetEnd(0);
    TArcFileAttr& attr = FSearch->FileAttribute();
    attr.SetftArchive(true);
    attr.SetftReadOnly(true);
    attr.SetftHidden(true);
    attr.SetftSysFile(true);
    attr.SetftVolumeID(true);

    FSearch->OnFileChange = [this](TObject*, const std::string& member, const std::string&) {
        if (OnStatus) OnStatus(LoadLangStr(sSearchingIn) + FSearch->ArchiveFile() + " --> " + member);
        if (ProcessMessages) ProcessMessages();
    };
    FSearch->OnFinish = [this](TObject*, int files, int, int64_t bytes) {
        if (files <= 0) return;
        FTotals.Bytes += std::max(FCurrentSize, bytes);
        ++FTotals.FilesInspected;
    };
    FSearch->OnElapsedTime = [this](TObject*, float seconds) { FTotals.Seconds += seconds; };
    FSearch->OnGetPassword = [this](TObject*, const std::string& member, std::string& password, bool& tryAgain) {
        if (FCancelled || !AskPassword) {
            tryAgain = false;
            return;
        }
        std::string typed;
        tryAgain = AskPassword(member, typed);
        if (tryAgain) password = typed;
    };
    // A multi-volume archive is searched as far as the volume at hand.
    FSearch->OnNextVolume = [](TObject*, std::string&, const std::string&, bool, bool& cancel) { cancel = true; };
    // Damaged or unreadable files are passed over without a word.
    FSearch->OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
}

TSearchRun::~TSearchRun() = default;

std::string TSearchRun::SearchText() const {
    return FSearch->SearchText();
}

void TSearchRun::Cancel() {
    FCancelled = true;
    if (FScanner) FScanner->ContinueScan = false;
    if (FRunning) FSearch->SetCancel(true);
}

void TSearchRun::SearchFile(const std::string& path, int64_t size, bool archivesOnly) {
    if (FCancelled) return;
    if (archivesOnly && !HasArchiveExtension(path)) return;
    if (!FSearched.insert(path).second) return;
    FCurrentSize = size;
    bool found = false;
    try {
        FSearch->SetArchiveFile(path);
        found = FSearch->Search();
    } catch (const std::exception&) {
        found = false; // a file that cannot be searched is passed over, as the engine's errors are
    }
    if (FCancelled || !found) return;
    TSearchHit hit;
    hit.File = path;
    hit.Members.assign(FSearch->FoundFiles().begin(), FSearch->FoundFiles().end());
    if (OnHit) OnHit(hit);
}

void TSearchRun::Walk(const std::string& folder, const std::string& mask, bool recursive, bool archivesOnly) {
    if (FCancelled) return;
    TTreeScanner scanner;
    scanner.SetInitialDirectory(folder);
    scanner.SetFileMask(mask);
    scanner.SetRecursive(recursive);
    scanner.ProcessMessages = [this] {
        if (ProcessMessages) ProcessMessages();
    };
    scanner.OnFileFound = [this, archivesOnly](TTreeScanner* s) {
        // The walk only stops at the next folder: the rest of this one is skipped here.
        if (FCancelled) {
            s->ContinueScan = false;
            return;
        }
        SearchFile(s->FileFound(), s->FileSize(), archivesOnly);
        if (ProcessMessages) ProcessMessages();
    };
    FScanner = &scanner;
    scanner.Scan();
    FScanner = nullptr;
}

void TSearchRun::Execute(const TSearchRequest& request) {
    FTotals = {};
    FSearched.clear();
    FCancelled = false;
    FSearch->SetFileSpec({"*.*"});
    FSearch->SetSearchMode(static_cast<TArcSearchMode>(std::clamp(request.Mode, 0, 4)));
    FSearch->SetSearchCase(request.CaseSensitive ? TArcSearchCase::scSensitive : TArcSearchCase::scInsensitive);
    FSearch->SetSearchType(request.ArchivesOnly ? TArcSearchType::stArcsOnly : TArcSearchType::stAllFiles);
    FSearch->SetSearchText(request.Text);
    if (request.Folder.empty() || !platform::IsDirectory(request.Folder)) return;

    FRunning = true;
    FSearch->SetCancel(false);
    if (OnStatus) OnStatus(LoadLangStr(sStarting));
    const std::string folder = WithSeparator(request.Folder);
    if (request.Names.empty()) {
        Walk(folder, "*.*", request.Subfolders, request.ArchivesOnly);
    } else {
        for (size_t i = 0; i < request.Names.size() && !FCancelled; ++i) {
            const bool isFolder = i < request.NameIsFolder.size() && request.NameIsFolder[i];
            // A chosen folder is searched as a whole; a chosen file by its name, here and
            // (with subfolders) in the folders below.
            if (isFolder) Walk(WithSeparator(folder + request.Names[i]), "*.*", request.Subfolders, request.ArchivesOnly);
            else Walk(folder, request.Names[i], request.Subfolders, request.ArchivesOnly);
        }
    }
    FRunning = false;
}

} // namespace mv
