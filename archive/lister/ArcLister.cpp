#include "archive/lister/ArcLister.h"

#include "archive/framework/ArcTimer.h"
#include "archive/framework/Bytes.h"
#include "archive/framework/SharedRoutines.h"
#include "archive/lister/ListerWalk.h"
#include "archive/lister/walks/WalkSupport.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <cstring>

namespace mv {

namespace {

constexpr int64_t WindowSize = 256 * 1024;

} // namespace

TArcLister::TArcLister() {
    SetZipCmntBufSize(32000);
}

TArcLister::~TArcLister() = default;

void TArcLister::SetEntryName(const std::string& oemName) {
    std::string name = platform::IsAscii(oemName) ? oemName : platform::OemToUtf8(oemName);
    std::replace(name.begin(), name.end(), '/', '\\');
    FEntry.FileName = std::move(name);
}

void TArcLister::SetEntryName(const std::string& storedName, bool unixHost) {
    FEntry.FileName = HostNameToAnsiPath(storedName, unixHost);
}

void TArcLister::DoRead(int64_t offset, int filenum) {
    if (OnReadBegin) OnReadBegin(this);
    if (OnRead) OnRead(this, offset, filenum);
    if (OnReadEnd) OnReadEnd(this);
}

void TArcLister::Report(int64_t offset, bool count) {
    if (count) {
        ++FFileCount;
        FTotalPacked += FEntry.PackedSize;
        FTotalUnpacked += FEntry.UnpackedSize;
    }
    if (FListMode != 0 && FListMode != 2) return;
    if (!OnRead) return;
    FEntry.Ratio = CompressRatio(FEntry.PackedSize, FEntry.UnpackedSize);
    DoRead(offset, FFileCount);
}

void TArcLister::ClearEntry() {
    FEntry = TArcEntryInfo{};
}

void TArcLister::HeaderError() {
    if (!FErrorReported) {
        FErrorReported = true;
        DoError(FVolumeName, "", "0", arcerr::HeaderError);
    }
    Stop();
}

void TArcLister::TruncatedError() {
    if (!FErrorReported) {
        FErrorReported = true;
        DoError(FVolumeName, "", "0", arcerr::ReadError);
    }
    Stop();
}

// ---------------------------------------------------------------- input

void TArcLister::ResetWindow() {
    FWindowStart = 0;
    FWindowLength = 0;
}

int64_t TArcLister::ReadAt(int64_t pos, void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (pos < 0 || !FArchiveStream) return -1;
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        int64_t p = pos + done;
        if (p >= FWindowStart && p < FWindowStart + FWindowLength) {
            int64_t n = std::min(count - done, FWindowStart + FWindowLength - p);
            std::memcpy(out + done, FWindow.data() + (p - FWindowStart), static_cast<size_t>(n));
            done += n;
            continue;
        }
        if (!FArchiveStream->Seek(p)) break;
        if (count - done >= static_cast<int64_t>(FWindow.size())) {
            // a large read goes straight to the caller
            int64_t r = FArchiveStream->Read(out + done, count - done);
            if (r <= 0) break;
            done += r;
            continue;
        }
        int64_t r = FArchiveStream->Read(FWindow.data(), static_cast<int64_t>(FWindow.size()));
        if (r <= 0) {
            FWindowLength = 0;
            break;
        }
        FWindowStart = p;
        FWindowLength = r;
    }
    return done;
}

bool TArcLister::OpenVolume(const std::string& name) {
    std::unique_ptr<TArcStream> f;
    if (!OpenArchiveRead(f, name)) return false;
    if (FArchiveStream) CloseArchive(FArchiveStream);
    FArchiveStream = std::move(f);
    FVolumeName = name;
    FCurrentVolume = name;
    FArchiveSize = FArchiveStream->Size();
    FEndOffset = FArchiveSize;
    FVolumeSwitched = true;
    ResetWindow();
    return true;
}

// ---------------------------------------------------------------- driver

bool TArcLister::Activate() {
    ActiveArchiveComponent = this;
    SetCancel(false);
    FCurrentVolume = FArchiveFile;
    if (FArchiveFile.empty()) return false;
    FCompleted = false;
    FErrorReported = false;
    ClearLastError();
    bool ok = true;
    bool activated = false;
    try {
        if (!platform::Exists(FArchiveFile)) RaiseError(FArchiveFile, "", "0", arcerr::FileNotFound);
        if (!OnRead) RaiseError(FArchiveFile, "OnRead", "0", arcerr::EventNotAssigned);
        switch (FArcType) {
        case TArcType::atNA:
        case TArcType::atUnknown:
            RaiseError(FArchiveFile, "", "0", arcerr::UnknownArcType);
            break;
        case TArcType::atFileOpenErr:
            RaiseError(FArchiveFile, "", "0", arcerr::FileNotFound);
            break;
        case TArcType::atUnsupported:
            RaiseError(FArchiveFile, "", "0", arcerr::InvalidArcType);
            break;
        default:
            break;
        }
        FVolumeName = FArchiveFile;
        if (!OpenArchiveRead(FArchiveStream, FArchiveFile))
            RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
        FArchiveSize = FArchiveStream->Size();
        if (FArchiveSize < 0) RaiseError(FArchiveFile, "", "0", arcerr::ReadError);
        FWindow.assign(
            static_cast<size_t>(std::min<int64_t>(WindowSize, std::max<int64_t>(FArchiveSize, 64))), 0);
        ResetWindow();
        DoActivate();
        activated = true;
        RunListing();
    } catch (const E_RAISE&) {
        ok = false;
    } catch (const std::bad_alloc&) {
        DoError(FVolumeName, "", "0", arcerr::OutOfMemory);
        ok = false;
    } catch (const std::exception&) {
        DoError(FVolumeName, "", "0", arcerr::ReadError);
        ok = false;
    }
    // clean-up, also after an error
    FWalk.reset();
    FStepBuffer.clear();
    FStepBuffer.shrink_to_fit();
    FArchiveComment.clear();
    FEntryComment.clear();
    FWindow.clear();
    FWindow.shrink_to_fit();
    FStepOffset = FStepSize = FEndOffset = 0;
    if (activated) DoDeactivate();
    if (FArchiveStream && !CloseArchive(FArchiveStream)) DoError(FVolumeName, "", "0", arcerr::CloseError);
    FArchiveStream.reset();
    if (!ok) FCompleted = false;
    return ok;
}

void TArcLister::RunListing() {
    FFileCount = 0;
    FTotalPacked = FTotalUnpacked = 0;
    FTotalRatio = 0;
    ClearEntry();
    FStopped = false;
    FHeaderPos = FArchiveOffset < 1 ? 1 : FArchiveOffset;
    FEndOffset = FArchiveSize;
    FStepSize = 0;
    FWalk.reset();
    StartWalk();
    if (OnElapsedTime) FTimer->Start();
    FStepOffset = FHeaderPos - 1;
    while (!FStopped && FStepSize > 0 && FStepOffset + FStepSize <= FEndOffset && !FCancel) {
        ProcessMessages();
        FHeaderPos = FStepOffset + 1;
        FHeaderStart = FStepOffset;
        FStepBuffer.resize(static_cast<size_t>(FStepSize));
        int64_t n = ReadAt(FStepOffset, FStepBuffer.data(), FStepSize);
        if (n <= 0) break;
        if (n < FStepSize) {
            TruncatedError();
            break;
        }
        FStepOffset += n;
        FVolumeSwitched = false;
        FWalk->Step();
        FEntryComment.clear();
        // every walk moves strictly forward inside one volume
        if (!FStopped && !FVolumeSwitched && FStepOffset <= FHeaderStart) HeaderError();
    }
    if (!FStopped && !FCancel && FStepSize > 0 && !FErrorReported) {
        // formats that always close with an end record (ARC with a short one the
        // walk leaves as trailer), or that say how much follows
        const TWalkClosing closing = FWalk->Closing();
        const bool endRecord = closing == TWalkClosing::EndRecord ||
                               (closing == TWalkClosing::LocalEndRecord && FStepSize == 30);
        const bool entriesLeft = closing == TWalkClosing::CountedEntries && FWalk->EntriesLeft() > 0;
        if (FStepOffset > FEndOffset)
            TruncatedError();
        else if (FStepOffset < FEndOffset && !TrailerIsClean(FStepOffset))
            TruncatedError();
        else if (entriesLeft || (endRecord && FStepOffset == FEndOffset))
            TruncatedError();
    }
    FWalk->Finish();
    FCompleted = !FCancel && !FErrorReported;
    FTimer->Stop();
    if (OnTotals) {
        FTotalRatio = CompressRatio(FTotalPacked, FTotalUnpacked);
        OnTotals(this, FFileCount);
    }
}

void TArcLister::StartWalk() {
    FWalk = NewListerWalk(FArcType, *this);
    if (!FWalk) RaiseError(FArchiveFile, "", "0", arcerr::InvalidArcType);
    FWalk->Start();
    // a start may hand over to another walk (RAR 5)
    if (auto next = FWalk->HandOver()) FWalk = std::move(next);
}

// Bytes after the last header that are no entry: the format's end marker,
// zero padding, or a record the format puts at its end.
bool TArcLister::TrailerIsClean(int64_t from) {
    int64_t left = FEndOffset - from;
    if (left <= 0) return true;
    uint8_t b[8] = {};
    int64_t n = ReadAt(from, b, std::min<int64_t>(left, 8));
    if (n <= 0) return false;
    switch (FWalk->Trailer()) {
    case TWalkTrailer::ArcEndMark:
        return n >= 2 && b[0] == 0x1A && b[1] == 0;
    case TWalkTrailer::LhaEndMark:
        return b[0] == 0;
    case TWalkTrailer::ZipRecords:
        // the end record after the central directory (a walk of the local headers is
        // taken only when there is no end record: nothing may follow its entries)
        return FStepSize == 46 && n >= 4 && b[0] == 'P' && b[1] == 'K' &&
               ((b[2] == 1 && b[3] == 2) || (b[2] == 5 && b[3] == 6) || (b[2] == 6 && b[3] == 6) ||
                (b[2] == 6 && b[3] == 7));
    case TWalkTrailer::RarEndBlock:
        return n >= 3 && b[2] == 0x7B;
    case TWalkTrailer::TarZeros: {
        std::vector<uint8_t> rest(static_cast<size_t>(std::min<int64_t>(left, 512)));
        int64_t r = ReadAt(from, rest.data(), static_cast<int64_t>(rest.size()));
        return r > 0 && std::all_of(rest.begin(), rest.begin() + r, [](uint8_t c) { return c == 0; });
    }
    case TWalkTrailer::Zeros:
        return std::all_of(b, b + n, [](uint8_t c) { return c == 0; });
    case TWalkTrailer::Nothing:
        return false;
    case TWalkTrailer::Anything:
        return true;
    }
    return true;
}

int64_t TArcLister::GetUnpackedSize(const std::string& name) {
    if (name.empty()) return -1;
    auto savedSpec = FFileSpec;
    auto savedExclude = FExcludeSpec;
    int savedMode = FListMode;
    auto rb = OnReadBegin, re = OnReadEnd;
    auto rd = OnRead;
    auto ac = OnActivate, de = OnDeactivate;
    auto to = OnTotals;
    FMatchNameOnly = false;
    FListMode = 2;
    // the stored path compares exactly: "?" and "*" are ordinary characters of a name
    std::string wanted = name;
    std::replace(wanted.begin(), wanted.end(), '/', '\\');
    FFileSpec.assign(1, "*.*");
    FExcludeSpec.clear();
    bool found = false;
    int64_t size = 0;
    bool ok = false;
    if (!FArchiveFile.empty() && IsValidArcType(FArcType)) {
        OnReadBegin = nullptr;
        OnReadEnd = nullptr;
        OnActivate = nullptr;
        OnDeactivate = nullptr;
        OnTotals = nullptr;
        OnRead = [&](TObject*, int64_t, int) {
            if (!found && FEntry.FileName == wanted) {
                found = true;
                size = FEntry.UnpackedSize;
            }
        };
        try {
            ok = Activate();
        } catch (...) {
            ok = false;
        }
    }
    OnReadBegin = rb, OnReadEnd = re, OnRead = rd, OnActivate = ac, OnDeactivate = de, OnTotals = to;
    FFileSpec = std::move(savedSpec);
    FExcludeSpec = std::move(savedExclude);
    FListMode = savedMode;
    FMatchNameOnly = true;
    if (!ok) return -1;
    return found ? size : 0;
}

} // namespace mv
