#pragma once
// The archive lister: walks the headers of an archive from the first to the
// last without extracting anything and fires OnRead once for every entry that
// passes the file specification, with the entry described in EntryInfo().
//
// Every format has its walk (ListerWalk.h), chosen by archive type. Every walk
// reads through one buffered window over the archive, moves strictly forward (a
// header that points back or nowhere ends the walk with 25108) and never reads
// outside the file; positions are 64-bit.
#include "archive/framework/ZipCommon.h"

#include <memory>

namespace mv {

class TListerWalk;

class TArcLister : public TZipCommon {
public:
    TArcLister();
    ~TArcLister() override;

    // Lists ArchiveFile. False when ArchiveFile is empty or an error ended the
    // listing (reported through OnError first); true otherwise.
    bool Activate();
    // The unpacked size of the entry whose stored path is exactly `name`: -1 when
    // the name is empty, the type is not valid or the listing failed; 0 when no
    // entry has that name.
    int64_t GetUnpackedSize(const std::string& name);

    bool ShowBlankDirs() const { return FShowBlankDirs; }
    void SetShowBlankDirs(bool v) { FShowBlankDirs = v; }
    // Sum of the reported entries' sizes and its ratio (valid after a listing).
    uint8_t TotalRatio() const { return FTotalRatio; }
    // True when the last listing walked the archive to its end (not cancelled,
    // not cut short by an error or a missing volume).
    bool Completed() const { return FCompleted; }
    // The comment of the current entry (ZIP, ZOO) while OnRead runs, and of the archive (ZOO).
    const std::string& EntryComment() const { return FEntryComment; }
    const std::string& ArchiveComment() const { return FArchiveComment; }

    TNotifyEvent OnReadBegin;
    TNotifyEvent OnReadEnd;
    TOnReadFile OnReadFile;
    TOnTotals OnTotals;

    // The lister's name setter: OEM to UTF-8, "/" to "\"; never an output path.
    void SetEntryName(const std::string& oemName);
    // The same for a name whose writer's host is known (see HostNameToAnsiPath).
    void SetEntryName(const std::string& storedName, bool unixHost);

protected:
    // Fires OnReadBegin, OnRead and OnReadEnd.
    void DoRead(int64_t offset, int filenum);

public:
    // The walks of the formats, one per file in archive/lister/walks/. They are
    // members so that they move the listing's cursor and fill its entry.
    class TAceWalk;
    class TArcWalk;
    class TArjWalk;
    class TBhWalk;
    class TCabWalk;
    class TGZipWalk;
    class THaWalk;
    class TLhaWalk;
    class TMsGZWalk;
    class TRarWalk;
    class TRar5Walk;
    class TTarWalk;
    class TUueWalk;
    class TZipWalk;
    class TZooWalk;

private:
    // ---- buffered input over the archive (the current volume)
    int64_t ReadAt(int64_t pos, void* buffer, int64_t count);
    bool ReadExactAt(int64_t pos, void* buffer, int64_t count) { return ReadAt(pos, buffer, count) == count; }
    void ResetWindow();
    bool OpenVolume(const std::string& name);

    // ---- the walk
    void RunListing();
    void StartWalk();
    void Stop() { FStepOffset = FEndOffset, FStopped = true; }
    // A header that cannot be right: report 25108 once and end the walk.
    void HeaderError();
    // The archive ends inside an entry or a header: report 25236 once and end the walk.
    void TruncatedError();
    // Fills the ratio and fires the read events for the current entry; counts it
    // and adds it to the totals when `count` is set.
    void Report(int64_t offset, bool count = true);
    bool Match() const { return IsFileSpecMatch(FEntry.FileName, FMatchNameOnly); }
    void FireReadFile() {
        if (OnReadFile) OnReadFile(this, FEntry.FileName);
    }
    void ClearEntry();
    bool TrailerIsClean(int64_t from);

    // ---- state of one listing
    std::unique_ptr<TListerWalk> FWalk; // the walk of the archive's format, during a listing
    int64_t FStepOffset = 0;
    int64_t FStepSize = 0;
    int64_t FEndOffset = 0;
    int64_t FHeaderStart = 0; // 0-based offset of the header being processed
    std::vector<uint8_t> FStepBuffer;
    int FListMode = 0;
    bool FMatchNameOnly = true;
    bool FShowBlankDirs = false;
    uint8_t FTotalRatio = 0;
    bool FCompleted = false;
    bool FStopped = false;
    bool FErrorReported = false;
    bool FVolumeSwitched = false; // the step went on in another volume
    std::string FEntryComment;
    std::string FArchiveComment;
    std::string FVolumeName; // the volume being read

    std::vector<uint8_t> FWindow; // read-ahead window over the current volume
    int64_t FWindowStart = 0;
    int64_t FWindowLength = 0;
};

} // namespace mv
