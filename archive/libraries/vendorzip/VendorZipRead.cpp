// The reading operations of the vendor zip library: VzListZipContents through
// the lister, VzTestZipFile and VzUnzip through the ZIP reader. The entries are
// listed first: their names, sizes and times fill the events, and names that
// would leave the target folder or do not fit the blocks are refused before
// the reader runs.
#include "archive/framework/ArcErrors.h"
#include "archive/framework/Crc.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/libraries/vendorzip/VendorZipInstance.h"
#include "archive/lister/ArcLister.h"
#include "archive/readers/UnZip.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <set>

namespace mv {

namespace {

constexpr int64_t Max32 = std::numeric_limits<int32_t>::max();

bool IsZipType(TArcType t) {
    return t == TArcType::atZip || t == TArcType::atZipExe || t == TArcType::atZipMV || t == TArcType::atJar;
}

// A stored name that would climb out of the target folder: absolute, with a
// drive prefix, or with a ".." component.
bool LeavesTarget(const std::string& name) {
    if (name.empty()) return false;
    if (name[0] == '/' || name[0] == '\\') return true;
    if (name.size() >= 2 && name[1] == ':') return true;
    size_t at = 0;
    while (at <= name.size()) {
        size_t end = name.find_first_of("/\\", at);
        if (end == std::string::npos) end = name.size();
        if (name.compare(at, end - at, "..") == 0 && end - at == 2) return true;
        at = end + 1;
    }
    return false;
}

// The vendor code of a reader's or lister's error number.
int16_t EntryCode(int code) {
    switch (code) {
    case 25151:
        return vzr::CrcError;
    case 26522:
        return vzr::BadPassword;
    case 25156:
        return vzr::CannotMakeFolder;
    case arcerr::WriteError:
    case arcerr::CloseError:
    case arcerr::OpenError:
        return vzr::WriteFailed;
    case arcerr::UnknownMethod:
        return vzr::BadMethod;
    case arcerr::HeaderError:
    case 25248: // local header missing or unlike its directory record
    case arcerr::InvalidName:
        return vzr::BadEntry;
    case 25256: // needs Zip64
        return vzr::DoesNotFit;
    default:
        return vzr::BadData;
    }
}

// The first part of a split set whose last part is `zipName` (name.z01 beside
// name.zip); empty when there is none.
std::string FirstPartOf(const std::string& zipName) {
    const size_t dot = zipName.find_last_of("./");
    if (dot == std::string::npos || zipName[dot] != '.') return {};
    std::string ext = zipName.substr(dot);
    for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".zip") return {};
    const std::string first = zipName.substr(0, dot) + (zipName[dot + 1] == 'Z' ? ".Z01" : ".z01");
    return platform::Exists(first) ? first : std::string();
}

// Makes a folder and the folders above it that are missing.
bool MakeFolder(const std::string& path) {
    if (platform::IsDirectory(path)) return true;
    const std::string parent = platform::DirectoryOf(path);
    if (!parent.empty() && parent != path && !MakeFolder(parent)) return false;
    try {
        platform::Fs().CreateDirectory(path);
    } catch (const platform::FileError&) {
        return platform::IsDirectory(path);
    }
    return true;
}

} // namespace

template <class Each>
int16_t TVendorZip::ReadEntries(std::vector<TVzEntry>& entries, Each&& each, bool keep) {
    entries.clear();
    if (FZipFilename.empty()) return vzr::NotAZip;
    platform::FileInfo info;
    if (!platform::Fs().StatTarget(FZipFilename, info) || !info.IsRegular) return vzr::ZipReadError;
    TArcLister lister;
    lister.SetShowBlankDirs(true);
    lister.FileSpecList() = {"*.*"};
    lister.SetArchiveFile(FZipFilename);
    if (!IsZipType(lister.ArcType()))
        return FirstPartOf(FZipFilename).empty()
                   ? vzr::NotAZip
                   : ReadSetEntries(entries, std::function<bool(const TArcEntryInfo&)>(each), keep);
    int firstError = 0;
    int64_t listed = 0;
    bool stopped = false;
    lister.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        if (!firstError && code != arcerr::UserAbort) firstError = code;
    };
    lister.OnNextVolume = [](TObject*, std::string&, const std::string&, bool exists, bool& cancel) {
        cancel = !exists;
    };
    int disk = 1;
    auto askDisk = [&](uint32_t number, bool& cancel) {
        TVzInsertDiskBlock b;
        b.DiskNumber = number;
        Fire(vzev::InsertDisk, b);
        cancel = b.Answer == 0 || FAbort;
        if (cancel && !FCancelCode) FCancelCode = FAbort ? vzr::Aborted : vzr::DiskAbandoned;
    };
    lister.OnGetZipLastDisk = [&](TObject*, bool& cancel) { askDisk(0, cancel); };
    lister.OnGetZipFirstDisk = [&](TObject*, bool& cancel) { askDisk(disk = 1, cancel); };
    lister.OnGetZipNextDisk = [&](TObject*, const std::string&, bool& cancel) { askDisk(++disk, cancel); };
    // Entries are kept only for callers that walk them again; a listing passes
    // the lister's description on as it stands.
    lister.OnRead = [&](TObject*, int64_t, int) {
        const TArcEntryInfo& info = lister.EntryInfo();
        if (keep) entries.push_back(VzEntryOf(info));
        ++listed;
        if (!each(info)) {
            stopped = true;
            lister.SetCancel(true);
        }
    };
    try {
        lister.Activate();
    } catch (const std::exception&) {
        if (!firstError) firstError = arcerr::HeaderError;
    }
    if (stopped || FCancelCode) {
        if (!FCancelCode) FCancelCode = vzr::Aborted;
        return FCancelCode;
    }
    if (listed == 0)
        return firstError && firstError != arcerr::HeaderError ? vzr::ArchiveCorrupt : vzr::NothingToDo;
    if (firstError) return vzr::ArchiveCorrupt;
    return vzr::Ok;
}

int16_t TVendorZip::List() {
    std::vector<TVzEntry> entries;
    // One block for every entry: each name is written over the last one, the
    // bytes the last one left behind cleared.
    TVzListingBlock b;
    size_t last = 0;
    const int16_t r = ReadEntries(
        entries,
        [&](const TArcEntryInfo& e) {
            const size_t n = e.FileName.size();
            if (e.UnpackedSize > Max32 || e.PackedSize > Max32 || n >= VzNameSize) {
                FireWarning(VzEntryOf(e).Name, vzr::DoesNotFit);
                FSkippedForFailure = true;
                return !FAbort;
            }
            std::memcpy(b.Name, e.FileName.data(), n);
            std::replace(b.Name, b.Name + n, '\\', '/');
            if (last > n) std::memset(b.Name + n, 0, last - n);
            b.Name[n] = 0;
            last = n;
            b.FileSize = static_cast<int32_t>(e.UnpackedSize);
            b.PackedSize = static_cast<int32_t>(e.PackedSize);
            b.Ratio = TZipCommon::CompressRatio(e.PackedSize, e.UnpackedSize);
            b.Attributes = static_cast<int16_t>(e.ExternalAttr & 0xFF);
            b.Crc = e.CRC;
            b.Modified = VzSystemTime(e.DateTime);
            b.Encrypted = e.Encrypted ? 1 : 0;
            b.NotShown = (e.ExternalAttr & 0x10) ? 1 : 0;
            Fire(vzev::Listing, b);
            return !FAbort;
        },
        false);
    return r ? r : Outcome();
}

int16_t TVendorZip::Test() {
    return ReadMembers(false);
}

int16_t TVendorZip::Unzip() {
    if (FUnzipToFolder.empty()) return vzr::CannotMakeFolder;
    return ReadMembers(true);
}

int16_t TVendorZip::ReadMembers(bool toFiles) {
    std::vector<TVzEntry> entries;
    int16_t r = ReadEntries(entries, [](const TArcEntryInfo&) { return true; });
    if (r) return r;
    if (toFiles && !MakeFolder(FUnzipToFolder)) return vzr::CannotMakeFolder;
    const bool every = !toFiles && FTestAll;
    std::vector<std::string> masks = every ? std::vector<std::string>{} : VzLines(FFilesToProcess);
    std::vector<std::string> excludes = every ? std::vector<std::string>{} : VzLines(FFilesToExclude);
    for (auto& m : masks) m = SlashToBackslash(m);
    for (auto& m : excludes) m = SlashToBackslash(m);
    if (masks.empty()) masks.push_back("*.*");

    // Entries by the names the reader reports them under; refusals before the run.
    std::map<std::string, const TVzEntry*> byName;
    int64_t total = 0;
    {
        TUnZIP probe;
        probe.FileSpecList() = masks;
        probe.ExcludeSpecList() = excludes;
        for (const auto& e : entries) {
            if (e.Folder) continue;
            const std::string stored = SlashToBackslash(e.Name);
            if (!probe.IsFileSpecMatch(stored, false)) continue;
            const bool hostile = toFiles && LeavesTarget(e.Name);
            const bool tooBig = e.Size > Max32 || e.Name.size() >= VzNameSize;
            if (hostile || tooBig) {
                const int16_t code = hostile ? vzr::BadEntry : vzr::DoesNotFit;
                FireSkipping(e.Name, code);
                FireWarning(e.Name, code);
                FSkippedForFailure = true;
                excludes.push_back(stored);
                if (FAbort) return FCancelCode = vzr::Aborted;
                continue;
            }
            total += e.Size;
            byName.emplace(e.Name, &e);
            if (toFiles) byName.emplace(SafeRelativePath(e.Name, FPreservePaths), &e);
        }
    }
    const std::string prefix =
        toFiles ? (FUnzipToFolder.back() == '/' ? FUnzipToFolder : FUnzipToFolder + "/") : "";
    auto entryOf = [&](const std::string& reported) -> std::pair<std::string, const TVzEntry*> {
        std::string n = BackslashToSlash(reported);
        if (!prefix.empty() && n.compare(0, prefix.size(), prefix) == 0) n.erase(0, prefix.size());
        auto it = byName.find(n);
        return it == byName.end() ? std::make_pair(n, nullptr) : std::make_pair(it->second->Name, it->second);
    };

    int64_t written = 0;
    std::set<std::string> begun; // members the reader has reached, in the reader's form
    bool skipPassword = false;
    // Passwords that fitted stay known when the reader runs again.
    std::vector<std::string> known;
    if (!FEncryptionPassword.empty()) known.push_back(FEncryptionPassword);
    for (;;) {
        TUnZIP reader;
        reader.SetArchiveFile(FZipFilename);
        reader.FileSpecList() = masks;
        reader.ExcludeSpecList() = excludes;
        for (const auto& b : begun) reader.ExcludeSpecList().push_back(b);
        reader.SetExtractDir(FUnzipToFolder);
        reader.SetUseStoredDirs(FPreservePaths);
        // The reader starts each run without a password: the ones set or found are known ones.
        reader.SetPasswords(known);
        reader.SetPasswordAttempts(std::numeric_limits<int>::max());
        reader.SetConfirmOverwrites(true);
        skipPassword = false;
        std::string current;
        auto stop = [&](int16_t code) {
            if (!FCancelCode) FCancelCode = code;
            reader.SetCancel(true);
        };
        reader.OnNextVolume = [](TObject*, std::string&, const std::string&, bool exists, bool& cancel) {
            cancel = !exists;
        };
        int disk = 1;
        auto askDisk = [&](uint32_t number, bool& cancel) {
            TVzInsertDiskBlock b;
            b.DiskNumber = number;
            Fire(vzev::InsertDisk, b);
            cancel = b.Answer == 0 || FAbort;
            if (cancel) stop(FAbort ? vzr::Aborted : vzr::DiskAbandoned);
        };
        reader.OnGetZipLastDisk = [&](TObject*, bool& cancel) { askDisk(0, cancel); };
        reader.OnGetZipFirstDisk = [&](TObject*, bool& cancel) { askDisk(disk = 1, cancel); };
        reader.OnGetZipNextDisk = [&](TObject*, const std::string&, bool& cancel) {
            askDisk(++disk, cancel);
        };
        reader.OnFileExists = [&](TObject*, const std::string& fn, TDateTime date, TOverwriteMode& mode) {
            auto [name, e] = entryOf(fn);
            begun.insert(SlashToBackslash(name));
            TVzReplacingBlock b;
            platform::FileInfo old;
            if (platform::Fs().Stat(fn, old)) {
                b.ExistingSize = static_cast<uint32_t>(std::min<uint64_t>(old.Size, 0xFFFFFFFFu));
                b.ExistingTime = VzSystemTime(UnixTimeToDateTime(old.ModTime));
            }
            PutVzName(b.Name, name);
            b.NewSize = e ? static_cast<uint32_t>(e->Size) : 0;
            b.NewTime = VzSystemTime(date);
            Fire(vzev::Replacing, b);
            mode = b.Replace ? TOverwriteMode::omOverwrite : TOverwriteMode::omSkip;
            if (!b.Replace) FireSkipping(name, vzr::KeptExisting);
            if (FAbort) stop(vzr::Aborted);
        };
        reader.OnBegin = [&](TObject*, const std::string& fn, int, bool& extract) {
            auto [name, e] = entryOf(fn);
            current = name;
            begun.insert(SlashToBackslash(name));
            FireName(vzev::Processing, name);
            if (!FAbort) FireFileBegin(name, e ? e->Size : 0, TZipCommon::Percent(written, total));
            if (FAbort) {
                extract = false;
                stop(vzr::Aborted);
            }
        };
        reader.OnGetPassword = [&](TObject*, const std::string&, std::string& password, bool& again) {
            TVzBadPasswordBlock b;
            PutVzName(b.Name, current);
            Fire(vzev::BadPassword, b);
            again = false;
            if (FAbort) {
                stop(vzr::Aborted);
            } else if (b.Retry) {
                again = true;
                password.assign(b.NewPassword, strnlen(b.NewPassword, VzNameSize));
            } else {
                // The reader ends its walk when no password fits: it is run
                // again from the next member, this one left out.
                skipPassword = true;
            }
        };
        reader.OnError = [&](TObject*, const std::string& fn, const std::string&, const std::string&,
                             int code) {
            if (code == arcerr::UserAbort || code == 26517 || code == arcerr::EventNotAssigned) return;
            if (FCancelCode) return;
            if (fn == FZipFilename || (code == 25236 && fn.empty())) {
                if (!FFirstFailure) FFirstFailure = vzr::ArchiveCorrupt;
                return;
            }
            const int16_t vcode = EntryCode(code);
            const std::string name = entryOf(fn).first;
            FireWarning(name.empty() ? current : name, vcode);
            if (!FFirstFailure) FFirstFailure = vcode;
            if (FAbort) stop(vzr::Aborted);
        };
        auto counted = [&](int64_t n) {
            written += n;
            FireProgress(written, TZipCommon::Percent(written, total), written);
            if (FAbort) stop(vzr::Aborted);
        };
        if (toFiles) {
            reader.ExtractWriteProc = [&, inner = reader.ExtractWriteProc](
                                          TArcStream* f, TArcStream* s, const uint8_t* buf, bool crypt,
                                          int crcMode, int64_t count, int doCrc) -> int64_t {
                const int64_t n = inner(f, s, buf, crypt, crcMode, count, doCrc);
                if (n > 0) counted(n);
                return n;
            };
        } else {
            // Testing writes nothing: the bytes only run through the CRC.
            reader.ExtractWriteProc = [&](TArcStream*, TArcStream*, const uint8_t* buf, bool, int crcMode,
                                          int64_t count, int doCrc) -> int64_t {
                if (doCrc == 1 && crcMode == crc32 && count > 0) {
                    uint32_t reg = reader.Crc32Register();
                    UpdateCRC32(buf, static_cast<size_t>(count), reg);
                    reader.SetCrc32Register(reg);
                }
                if (count > 0) counted(count);
                return count;
            };
        }
        try {
            if (toFiles)
                reader.Extract();
            else
                reader.ExtractToSink();
        } catch (const std::exception&) {
            if (!FCancelCode && !FFirstFailure) FFirstFailure = vzr::ArchiveCorrupt;
        }
        known = reader.Passwords();
        if (FCancelCode || !skipPassword) break;
    }
    return Outcome();
}

} // namespace mv
