#pragma once
// The archive lister: walks the headers of an archive from the first to the
// last without extracting anything and fires OnRead once for every entry that
// passes the file specification, with the entry described in EntryInfo().
//
// Every walk reads through one buffered window over the archive, moves strictly
// forward (a header that points back or nowhere ends the walk with 25108) and
// never reads outside the file; positions are 64-bit.
#include "archive/framework/ZipCommon.h"

#include <set>

namespace mv {

struct TTarPending;
struct TArjHeader;

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

private:
    enum class Walk { None, Ace, Arc, Arj, Bh, Cab, GZip, Ha, Lha, MsGZ, Rar, Rar5, Tar, Uue, Zip, Zoo };
    // What may stand after the last header of a walk.
    enum class TTrailer {
        Anything,
        Zeros,       // zero padding only
        ArcEndMark,  // 0x1A 0x00
        LhaEndMark,  // a zero byte
        ZipRecords,  // the end records after a central directory
        RarEndBlock, // the end-of-archive block
        TarZeros,    // zero blocks
        Nothing,     // the walk ends on its end entry, never before
    };
    // How a walk knows that it saw the whole archive.
    enum class TClosing {
        Open,           // it ends where the headers end
        EndRecord,      // an end record must close it
        LocalEndRecord, // ZIP: an end record closes a walk of the local headers
        CountedEntries, // the archive header says how many entries follow
    };
    // One format's walk, the interface every walk has: its start (archive
    // header, first entry header, step record size), its step (interpret the
    // header just read, report or skip the entry, move to the next header) and
    // how it ends. The walks live in archive/lister/walks/, one file per
    // format; the table that chooses them by archive type is in ArcLister.cpp.
    struct TWalkDef {
        Walk Id;
        void (TArcLister::*Start)();
        void (TArcLister::*Step)();
        TTrailer Trailer;
        TClosing Closing;
    };
    static const TWalkDef* FindWalk(Walk id);

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

    void StartArc();
    void StartBh();
    void StartCab();
    void StartGZip();
    void StartHa();
    void StartTar();
    void StartZoo();
    void StartAce();
    void StepAce();
    bool ReadAceMainHeader(int64_t pos, int64_t& next);
    void StepArc();
    void StartArj();
    void StepArj();
    bool ReadArjAt(int64_t pos, TArjHeader& header);
    void StepBh();
    bool OpenCabinet(bool first);
    void StepCab();
    void StepGZip();
    void StepHa();
    void StartLha();
    void StepLha();
    void StartMsGZ();
    void StepMsGZ();
    void StartRar();
    void StepRar();
    bool RarNextVolume();
    void StepRar5();
    void StepTar();
    void StartZip();
    bool GatherSpannedDirectory(uint16_t firstDisk, uint16_t lastDisk, int64_t cdOffset, int64_t cdSize,
                                int64_t cdEndOnLast, const std::vector<uint8_t>& endRecord);
    void StepZip();
    void StepZoo();
    void ListUue();

    // ---- state of one listing
    Walk FWalk = Walk::None;
    const TWalkDef* FWalkDef = nullptr;
    int64_t FStepOffset = 0;
    int64_t FStepSize = 0;
    int64_t FEndOffset = 0;
    int64_t FHeaderStart = 0; // 0-based offset of the header being processed
    std::vector<uint8_t> FStepBuffer;
    int FListMode = 0;
    bool FMatchNameOnly = true;
    uint8_t FHeadFlag = 0;
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

    // per-format state
    int64_t FAccPacked = 0, FAccUnpacked = 0; // parts of an entry over several volumes
    std::string FArcDirectory;                // ARC: the current directory
    bool FMultiVolume = false;                // ARJ main flags
    uint8_t FAceVersion = 0, FAceHost = 0;    // ACE main header
    uint16_t FRarMainFlags = 0;
    std::set<std::string> FVisitedCabinets;
    int FCabFilesLeft = 0;
    uint8_t FCabVersionMinor = 0, FCabVersionMajor = 0;
    std::string FCabNext, FCabNextDisk;
    std::vector<uint16_t> FCabFolderTypes;
    std::vector<std::string> FMsGZDirs;
    int FHaCount = 0;
    int64_t FZipDelta = 0;      // bytes in front of the ZIP data that its offsets do not count
    int64_t FZipCentralEnd = 0; // where the central directory ends (the end record)
    int64_t FZipCentralStart = 0;
    uint16_t FZipThisDisk = 0;
    std::unique_ptr<TTarPending> FTarPending; // long names and pax values for the next member
};

} // namespace mv
