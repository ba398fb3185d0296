// The writing operations of the vendor zip library on the zip writer
// component: VzZip (a new archive, an update, parts of a set on one disk or
// over removable disks), VzPreviewFiles and VzRemoveFiles. The files to add
// are chosen here, once, by the library's own rules (masks, subfolders,
// excluded names and attributes, stored names); the component then gets them
// as plain paths and writes the archive beside the old one, so that a failed or
// aborted run leaves the old archive as it was.
#include "archive/framework/SharedRoutines.h"
#include "archive/framework/ZipRecords.h"
#include "archive/libraries/vendorzip/VendorZipInstance.h"
#include "platform/FileSystem.h"
#include "zipwriter/ZipEngine.h"

#include <cstring>
#include <limits>
#include <map>
#include <set>

namespace mv {

namespace {

constexpr uint64_t Max32 = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());

// A path as a stored name: "." and ".." components and the leading "/" dropped.
std::string CleanStoredPath(const std::string& path) {
    std::string out;
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = path.find('/', at);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(at, end - at);
        if (!part.empty() && part != "." && part != "..") out += (out.empty() ? "" : "/") + part;
        at = end + 1;
    }
    return out;
}

std::string WithoutFinalSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool OnRemovableDrive(const std::string& target) {
    platform::VolumeInfo info;
    int error = 0;
    std::string folder = platform::DirectoryOf(target);
    if (folder.empty()) folder = ".";
    return platform::Fs().GetVolumeInfo(folder, info, error) && info.Kind == platform::DriveKind::Removable;
}

// The name of part n (1-based) of a set whose last part is `zipName`: ".z01", ".z02", ...
std::string PartName(const std::string& zipName, int n) {
    char ext[16];
    std::snprintf(ext, sizeof ext, ".z%02d", n);
    return ChangeFileExt(zipName, ext);
}

} // namespace

void TVendorZip::SelectSources(std::vector<TVzSource>& sources) {
    sources.clear();
    std::set<std::string> seenPaths, seenStored;
    const std::vector<std::string> excludes = VzLines(FFilesToExclude);
    const std::string self = CleanStoredPath(FZipFilename);
    auto consider = [&](const std::string& path, bool folder) {
        const std::string bare = WithoutFinalSlash(path);
        if (!seenPaths.insert(bare + (folder ? "/" : "")).second) return;
        platform::FileInfo info;
        if (!platform::Fs().StatTarget(bare, info)) {
            FireSkipping(bare, vzr::CannotOpen);
            FSkippedForFailure = true;
            return;
        }
        if (folder && (!FPreservePaths || (FExcludedFileAttributes & platform::faDirectory))) return;
        if (!folder && !info.IsRegular) return FireSkipping(bare, vzr::SkipSpecialFile);
        if (!folder && CleanStoredPath(bare) == self && bare.front() == FZipFilename.front())
            return FireSkipping(bare, vzr::SkipArchiveItself);
        for (const auto& mask : excludes) {
            const std::string subject = mask.find('/') != std::string::npos ? bare : platform::NameOf(bare);
            if (WildcardMatch(mask, subject, false)) return FireSkipping(bare, vzr::SkipExcluded);
        }
        const uint8_t attributes = platform::DosAttributes(platform::NameOf(bare), info.Mode);
        if (attributes & FExcludedFileAttributes &
            (platform::faReadOnly | platform::faHidden | platform::faSysFile))
            return FireSkipping(bare, vzr::SkipAttribute);
        std::string stored = FPreservePaths ? CleanStoredPath(bare) : platform::NameOf(bare);
        if (folder) stored += "/";
        if ((!folder && info.Size > Max32) || stored.size() >= VzNameSize || bare.size() >= VzNameSize) {
            FireSkipping(bare, vzr::DoesNotFit);
            FSkippedForFailure = true;
            return;
        }
        if (!seenStored.insert(stored).second) {
            FireSkipping(bare, vzr::DuplicateName);
            FDuplicate = true;
            return;
        }
        sources.push_back({folder ? bare + "/" : bare, stored, folder ? 0 : info.Size, folder});
    };
    auto walk = [&](const std::string& folder, const std::string& mask) {
        const std::string start = folder.empty() ? std::string("./") : WithoutFinalSlash(folder) + "/";
        TDirSearch search(start, FProcessSubfolders, mask);
        std::string name;
        uint64_t size = 0;
        while (search.NextFile(name, size)) {
            if (folder.empty() && name.rfind("./", 0) == 0) name.erase(0, 2);
            const bool isFolder = !name.empty() && name.back() == '/';
            consider(name, isFolder);
        }
    };
    for (const std::string& line : VzLines(FFilesToProcess)) {
        platform::FileInfo info;
        const std::string path = WithoutFinalSlash(line);
        if (platform::Fs().StatTarget(path, info) && info.IsDirectory) {
            if (FPreservePaths && !(FExcludedFileAttributes & platform::faDirectory)) consider(path, true);
            walk(path, "*");
        } else if (platform::Fs().StatTarget(path, info)) {
            consider(path, false);
        } else if (HasWildcards(platform::NameOf(path))) {
            walk(platform::DirectoryOf(path), platform::NameOf(path));
        } else {
            FireSkipping(path, vzr::CannotOpen);
            FSkippedForFailure = true;
        }
        if (FAbort) return;
    }
}

int16_t TVendorZip::Preview() {
    std::vector<TVzSource> sources;
    SelectSources(sources);
    if (FAbort) return FCancelCode = vzr::Aborted;
    int64_t total = 0, output = ZipEndRecordSize;
    for (const auto& s : sources) {
        total += static_cast<int64_t>(s.Size);
        // What the files take stored: an upper bound of what they take compressed.
        output +=
            static_cast<int64_t>(s.Size + ZipLocalHeaderSize + ZipCentralRecordSize + 2 * s.Stored.size());
    }
    FireTotals(total, output);
    if (FAbort) return FCancelCode = vzr::Aborted;
    if (sources.empty()) return vzr::NothingToDo;
    return Outcome();
}

int16_t TVendorZip::Zip() {
    if (FZipFilename.empty()) return vzr::ZipWriteError;
    std::vector<TVzSource> sources;
    SelectSources(sources);
    if (FAbort) return FCancelCode = vzr::Aborted;
    if (sources.empty()) return vzr::NothingToDo;
    if (!FSfx.BinaryModule.empty()) return WriteSelfExtractor(sources);
    if (FSplitSize > 0) return SplitZip(sources);
    const int16_t r = ZipTo(FZipFilename, sources, 0, FSpanMultipleDisks && OnRemovableDrive(FZipFilename));
    return r ? r : Outcome();
}

int16_t TVendorZip::ZipTo(const std::string& target, const std::vector<TVzSource>& sources, int64_t splitSize,
                          bool span) {
    TZipEngine z;
    z.OnInCompleteZip = [](TObject*, TIncompleteZipMode& m) { m = TIncompleteZipMode::izAssumeNotAZip; };
    try {
        z.SetZipName(target);
        if (platform::Exists(target) && z.Count() >= 0 &&
            (z.GetMultiMode() != TMultiMode::mmNone || z.NumberOfDisks() > 1 || z.EndCentral().ThisDisk != 0))
            return vzr::MultiVolumeUpdate;
    } catch (const ENotAZipFile&) {
        return vzr::NotAZip;
    } catch (const EIncompleteZip&) {
        return vzr::NotAZip;
    } catch (const EBadZipFile&) {
        return vzr::ArchiveCorrupt;
    } catch (const EZipEngineError&) {
        return vzr::ZipReadError;
    }
    z.SetPackLevel(FCompressionLevel);
    z.SetStorePaths(FPreservePaths);
    z.SetRecurse(false);
    z.SetZipAction(TZipAction::zaReplace);
    z.SetPassword(FEncryptionPassword);
    if (splitSize > 0) {
        z.SetMultiMode(TMultiMode::mmBlocks);
        z.MultiZipInfo().SetBlockSize(splitSize);
        z.MultiZipInfo().SetFirstBlockSize(splitSize);
        z.MultiZipInfo().SetSaveZipInfoOnFirstDisk(false);
    } else if (span) {
        z.SetMultiMode(TMultiMode::mmSpan);
        z.OnGetNextDisk = [&](TObject*, int next, std::string& name) {
            TVzInsertDiskBlock b;
            b.DiskNumber = static_cast<uint32_t>(next);
            Fire(vzev::InsertDisk, b);
            if (b.Answer == 0 || FAbort) {
                name.clear();
                if (!FCancelCode) FCancelCode = FAbort ? vzr::Aborted : vzr::DiskAbandoned;
            }
        };
    }
    std::map<std::string, const TVzSource*> byPath;
    std::vector<std::string> paths;
    for (const auto& s : sources) {
        byPath.emplace(s.Path, &s);
        paths.push_back(s.Path);
    }
    z.SetFilesList(paths);

    int64_t doneBefore = 0, currentSize = 0, output = 0;
    int filePercent = 0, totalPercent = 0;
    auto abortRun = [&]() {
        if (!FCancelCode) FCancelCode = vzr::Aborted;
        z.CancelOperation();
    };
    z.OnStartZipInfo = [&](TObject*, int, int64_t totalBytes, TEndCentral&, bool& stop) {
        FireTotals(totalBytes, 0);
        if (FAbort) {
            stop = true;
            abortRun();
        }
    };
    z.OnStartZip = [&](TObject*, const std::string& name, TZipHeaderInfo& h, bool& skip) {
        auto it = byPath.find(name);
        const TVzSource* s = it == byPath.end() ? nullptr : it->second;
        std::string stored = s ? s->Stored : h.FullName();
        const std::string source = WithoutFinalSlash(s ? s->Path : name);
        if (FReceiver) {
            TVzStoredNameBlock b;
            PutVzName(b.Name, stored);
            PutVzName(b.SourcePath, source);
            Fire(vzev::StoredName, b);
            stored = BackslashToSlash(std::string(b.Name, strnlen(b.Name, VzNameSize)));
        }
        // The unix permission bits go above the DOS attributes, with a unix maker, so
        // that extraction gives the files their modes back (the execute bits above all).
        platform::FileInfo modeInfo;
        if (platform::Fs().StatTarget(source, modeInfo)) {
            h.VersionMadeBy = static_cast<uint16_t>((3u << 8) | (h.VersionMadeBy & 0xFFu));
            h.ExternalAttributes = (modeInfo.Mode << 16) | (h.ExternalAttributes & 0xFFFFu);
        }
        const bool folder = !stored.empty() && stored.back() == '/';
        const std::string clean = CleanStoredPath(stored) + (folder ? "/" : "");
        if (clean.empty() || clean == "/") {
            FireSkipping(source, vzr::SkipExcluded);
            skip = true;
            return;
        }
        const size_t slash = folder ? clean.size() : clean.rfind('/');
        h.SetDirectory(slash == std::string::npos ? std::string() : clean.substr(0, slash));
        h.SetFileName(slash == std::string::npos ? clean : clean.substr(std::min(slash + 1, clean.size())));
        currentSize = s ? static_cast<int64_t>(s->Size) : 0;
        filePercent = 0;
        FireFileBegin(source, currentSize, static_cast<int16_t>(totalPercent));
        if (FAbort) {
            skip = true;
            abortRun();
        }
    };
    z.OnFilePercentDone = [&](TObject*, int p) { filePercent = p; };
    z.OnTotalPercentDone = [&](TObject*, int p) {
        totalPercent = p;
        FireProgress(doneBefore + currentSize * filePercent / 100, static_cast<int16_t>(p), output);
        if (FAbort) abortRun();
    };
    z.OnEndZip = [&](TObject*, const std::string&, int64_t uncompressed, int64_t, int64_t zipSize) {
        doneBefore += uncompressed;
        currentSize = 0;
        output = zipSize;
        FireProgress(doneBefore, static_cast<int16_t>(totalPercent), output);
        if (FAbort) abortRun();
    };
    z.OnSkippingFile = [&](TObject*, int reason, const std::string& name, int, bool&) {
        if (reason == 1) {
            FireSkipping(name, vzr::DuplicateName);
            FDuplicate = true;
        } else {
            FireSkipping(name, vzr::CannotOpen);
            FSkippedForFailure = true;
        }
        if (FAbort) abortRun();
    };
    try {
        z.Zip();
    } catch (const EUserCanceled&) {
        if (!FCancelCode) FCancelCode = vzr::Aborted;
        return FCancelCode;
    } catch (const ENotAZipFile&) {
        return vzr::NotAZip;
    } catch (const EIncompleteZip&) {
        return vzr::NotAZip;
    } catch (const EBadZipFile&) {
        return vzr::ArchiveCorrupt;
    } catch (const EZipEngineError&) {
        return FCancelCode ? FCancelCode : vzr::ZipWriteError;
    } catch (const platform::FileError&) {
        return vzr::ZipWriteError;
    }
    if (FCancelCode) return FCancelCode;
    return vzr::Ok;
}

int16_t TVendorZip::SplitZip(const std::vector<TVzSource>& sources) {
    if (FSplitSize < 65536) return vzr::BadSplitSize;
    if (platform::Exists(FZipFilename)) return vzr::MultiVolumeUpdate;
    std::string folder = platform::DirectoryOf(FZipFilename);
    if (folder.empty()) folder = ".";
    std::string stage;
    try {
        stage = platform::Fs().CreateTempDirectory(folder, ".mvsplit");
    } catch (const platform::FileError&) {
        return vzr::TempFileError;
    }
    // The parts are written as numbered blocks in a folder of their own beside
    // the target, then take their places as name.z01, name.z02, ... name.zip.
    const std::string staged =
        platform::JoinPath(stage, platform::NameOf(ChangeFileExt(FZipFilename, ".zip")));
    int16_t r = ZipTo(staged, sources, FSplitSize, false);
    try {
        if (!r) {
            std::vector<std::string> parts;
            for (int n = 1; n <= 999; ++n) {
                char ext[16];
                std::snprintf(ext, sizeof ext, ".%03d", n);
                const std::string part = ChangeFileExt(staged, ext);
                if (!platform::Exists(part)) break;
                parts.push_back(part);
            }
            if (parts.empty()) parts.push_back(staged);
            for (size_t i = 0; i + 1 < parts.size(); ++i)
                platform::Fs().Rename(parts[i], PartName(FZipFilename, static_cast<int>(i) + 1));
            platform::Fs().Rename(parts.back(), FZipFilename);
            // Parts of an earlier, longer set with this name would be taken for this one.
            for (int n = static_cast<int>(parts.size()); n <= 999; ++n) {
                const std::string stale = PartName(FZipFilename, n);
                if (!platform::Exists(stale)) break;
                platform::Fs().RemoveFile(stale);
            }
        }
    } catch (const platform::FileError&) {
        r = vzr::ZipWriteError;
    }
    platform::RemoveTree(stage);
    return r ? r : Outcome();
}

int16_t TVendorZip::Remove() {
    std::vector<std::string> masks = VzLines(FFilesToProcess);
    if (masks.empty()) return vzr::NothingToDo;
    if (!platform::Exists(FZipFilename)) return vzr::ZipReadError;
    for (auto& m : masks) m = BackslashToSlash(m);
    const std::vector<std::string> excludes = VzLines(FFilesToExclude);
    TZipEngine z;
    z.OnInCompleteZip = [](TObject*, TIncompleteZipMode& m) { m = TIncompleteZipMode::izAssumeNotAZip; };
    try {
        z.SetZipName(FZipFilename);
        if (z.Count() == 0) return vzr::NothingToDo;
        if (z.GetMultiMode() != TMultiMode::mmNone || z.NumberOfDisks() > 1 || z.EndCentral().ThisDisk != 0)
            return vzr::MultiVolume;
        z.SetFilesList(masks);
        z.OnDeleteEntry = [&](TObject*, const std::string& name, bool& skip) {
            for (const auto& mask : excludes) {
                const std::string subject =
                    mask.find('/') != std::string::npos ? name : platform::NameOf(name);
                if (WildcardMatch(mask, subject, false)) {
                    skip = true;
                    return;
                }
            }
            FireName(vzev::Removing, name);
            if (FAbort) {
                skip = true;
                if (!FCancelCode) FCancelCode = vzr::Aborted;
                z.CancelOperation();
            }
        };
        z.DeleteEntries();
    } catch (const EUserCanceled&) {
        if (!FCancelCode) FCancelCode = vzr::Aborted;
    } catch (const ENotAZipFile&) {
        return vzr::NotAZip;
    } catch (const EIncompleteZip&) {
        return vzr::NotAZip;
    } catch (const EBadZipFile&) {
        return vzr::ArchiveCorrupt;
    } catch (const EZipEngineError&) {
        return FCancelCode ? FCancelCode : vzr::ZipWriteError;
    } catch (const platform::FileError&) {
        return vzr::ZipWriteError;
    }
    return Outcome();
}

} // namespace mv
