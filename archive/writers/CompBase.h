#pragma once
// The writer driver: the base of every archive writer (ZIP and JAR, GZip, TAR,
// BH, LHA, CAB). It turns the writer's properties into one operation (add or
// move files into a new or existing archive, delete entries from it, or list
// it), collects the files named by FileSpec, merges them with the entries of the
// old archive in EntryList, has the format write a new archive, and puts the new
// archive in the old one's place.
//
// Safety rules every writer gets from here:
// - the new archive is written into a temporary file beside the archive, flushed
//   to the medium and renamed over the old one only when it is complete; any
//   failure, a cancel or nothing to do leaves the old archive exactly as it was
//   and removes the temporary file;
// - an entry of the old archive that a new file should replace keeps its old
//   copy when the new file cannot be read;
// - moved sources are deleted only after the new archive is in place, and only
//   those that were written into it in this run.
//
// A format plugs in by overriding the virtual operations below (see each).
#include "archive/codecs/DeflatePieces.h"
#include "archive/framework/ArcOptions.h"
#include "archive/framework/ZipCommon.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace mv {

class TWriterSource;
class TWriterOutput;
class TZipKeys;

// One entry of the archive being written.
class THeadObject {
public:
    enum : uint8_t {
        hsNew = 0,     // a new file to compress
        hsReplace = 1, // an entry of the old archive to replace by a new file
        hsKeep = 2,    // an entry of the old archive to copy unchanged
        hsSkip = 3,    // skipped: deleted, cancelled or unreadable
    };
    // The format's header of the entry (ZIP: the central record with its name,
    // extra field and comment, exactly as in the old archive for kept entries).
    std::vector<uint8_t> Header;
    uint64_t OriginalSize = 0; // bytes of the file (handed to CompressFile)
    uint64_t StoredSize = 0;   // kept entries: the bytes the entry takes in the old archive
    uint32_t DosDateTime = 0;
    uint32_t Attributes = 0;
    int64_t Offset = 0; // kept entries: where the entry starts in the old archive
    std::vector<uint8_t> Extra;
    uint16_t Word = 0;
    uint8_t Status = hsNew;
    // The file to add (status 0 and 1): its full path.
    std::string SourcePath;
    // The file's size, date and attributes as found (status 0 and 1); for status 1
    // the fields above keep the old entry's, in case the new file cannot be read.
    uint64_t NewSize = 0;
    uint32_t NewDate = 0;
    uint32_t NewAttributes = 0;
    // The file's Unix permission bits as found (0: none known); the formats with
    // room for them store them.
    uint32_t NewMode = 0;
    // The new data of this entry was written in this run (status 0 and 1).
    bool Written = false;
    // Where the entry stands in the new archive, and how many bytes it takes there.
    int64_t NewOffset = 0;
    uint64_t NewLength = 0;
};

// One line of EntryList: the name (the stored name for old entries and written
// ones, the source path for files still to add) and its entry.
struct TEntryLine {
    std::string Name;
    std::unique_ptr<THeadObject> Head;
};

class TCompBase : public TZipCommon {
public:
    TCompBase();
    ~TCompBase() override;

    // ---- properties
    TCompressMethod CompressMethod() const { return FCompressMethod; }
    // Taken only when the writer allows the method.
    void SetCompressMethod(TCompressMethod value);
    uint16_t AllowedMethods() const { return FAllowedMethods; }
    // Folder for FileSpec lines without a folder; empty reads as the current folder.
    const std::string& DefaultDir();
    void SetDefaultDir(const std::string& value);
    TDeflateType DeflateType() const { return FDeflateType; }
    void SetDeflateType(TDeflateType value);
    TStoredDirNames StoredDirNames() const { return FStoredDirNames; }
    void SetStoredDirNames(TStoredDirNames value) { FStoredDirNames = value; }
    bool StoreAlreadyCompressedFiles() const { return FStoreAlreadyCompressedFiles; }
    void SetStoreAlreadyCompressedFiles(bool value) { FStoreAlreadyCompressedFiles = value; }
    TSwitch Switch() const { return FSwitch; }
    void SetSwitch(TSwitch value) { FSwitch = value; }
    bool VerifyBeforeDelete() const { return FVerifyBeforeDelete; }
    void SetVerifyBeforeDelete(bool value) { FVerifyBeforeDelete = value; }
    const std::string& DefaultExt() const { return FDefaultExt; }
    void SetDefaultExt(const std::string& value);
    const std::string& OwnExt() const { return FOwnExt; }
    const std::string& TempFileName() const { return FTempFileName; }
    bool Replaced() const { return FReplaced; }
    int CompressedCount() const { return FCompressedCount; }
    int DeletedCount() const { return FDeletedCount; }
    // Symbolic links the search for files met and passed over: a link is never
    // followed nor stored, and each one was reported (26800).
    int LinksSkipped() const { return FLinksSkipped; }
    bool ArchiveIsNew() const { return FArchiveIsNew; }
    uint64_t PackedCount() const { return FPackedCount; }
    bool Unpackable() const { return FUnpackable; }
    const std::vector<TEntryLine>& EntryList() const { return FEntryList; }

    // ---- events
    TOnNonWriteableArchive OnNonWriteableArchive;
    TOnRecurseDir OnRecurseDir;
    TOnReplaceFile OnReplaceFile;

    // The operation: add, move, delete or list by Switch. Answers the number of
    // entries compressed (deleted under swDelete). Failures end it quietly after
    // being reported through OnError; LastError() then holds the number.
    int Compress();

    // Stored name of a file: by StoredDirNames, relative to SpecFolder; "\"
    // separates folders. Never absolute: a leading separator is dropped.
    void SetFileName(const std::string& name) override;

protected:
    // ---- what a format overrides
    // The whole operation (the driver below); GZip and CAB replace it.
    virtual void CompressArchive();
    virtual void BeforeListEntry(const std::string& name) { (void)name; }
    // Writes the entry FEntryList[index] (status 0 or 1) from its source into
    // Output(). On a failure of this entry alone (unreadable source) it answers
    // false after putting Output() back where the entry began; errors of the
    // archive itself raise.
    virtual bool CompressFile(size_t index) {
        (void)index;
        return false;
    }
    // Whether the new entry `head` is deflated through DeflateEntry, and with
    // which options: such entries are compressed on worker threads ahead of
    // their turn (the default: none is).
    virtual bool DeflatesAhead(const THeadObject& head, TDeflateOptions& options) const {
        (void)head;
        (void)options;
        return false;
    }
    // Size of a kept entry's fixed header (0: the format keeps no entries).
    virtual int GetHeaderSize() { return 0; }
    // Puts each entry of the old archive into EntryList with status 2, or 3 when
    // swDelete names it. FArchiveIn is open.
    virtual void ScanExistingEntries() {}
    // Copies a kept entry from the old archive into Output(); the base copies
    // StoredSize bytes from Offset.
    virtual void CopyEntry(size_t index);
    // Writes what follows the entries (ZIP: central directory and end record).
    virtual void WriteTrailer() {}
    // A file the format cannot hold (ZIP: 4 GiB or more); refused with 25256.
    virtual bool FileTooLarge(uint64_t size) const {
        (void)size;
        return false;
    }
    // Whether the format encrypts entries with Password (ZIP, BH). The others
    // refuse a password before writing: a plain archive must not pass for a
    // protected one.
    virtual bool EncryptsEntries() const { return false; }
    // Reported (25242, "Password") when a password is set for a format that
    // cannot encrypt: answers true, and nothing may be written.
    bool RefusesPassword();
    // Fires OnRead for each new entry after the archive was replaced.
    virtual void ReportNewEntries() {}
    virtual void AfterCompress() {}
    // Lists the old archive through OnRead (swRead): the entries ScanExistingEntries
    // finds, each told with FillEntryInfo. A damaged archive is reported.
    virtual void ListExistingEntries();
    // Fills FEntry (cleared and named already) from an entry of EntryList, for
    // listing and for ReportNewEntries. The base takes sizes, date and
    // attributes from the entry object.
    virtual void FillEntryInfo(const THeadObject& head);
    // Puts the finished temporary archive in the archive's place; the base commits
    // the temporary file beside it. Answers false when the archive is not replaced.
    virtual bool ReplaceArchive();

    // ---- the driver
    void BuildArchive();
    void CollectFiles(size_t specIndex);
    bool AddMatchingFiles(size_t specIndex, const std::string& mask, const std::string& folder, int depth);
    bool AttrPassesFilter(uint8_t attr);
    // A file or folder whose hidden, system or volume attribute the caller's
    // FileAttribute does not ask for is not found by the search (dot-names are
    // hidden here, so dot-files and dot-folders come exactly when ftHidden is set).
    bool AttrLeftOutBySearch(uint8_t attr);
    // A symbolic link the search met (path, as found): reported and counted.
    void SkipLink(const std::string& path);
    // Adds or merges a found file; answers its index in EntryList or -1 when new.
    // mode: its Unix permission bits (0: none known).
    int AddFileEntry(size_t specIndex, const std::string& path, uint32_t attr, uint32_t date, uint64_t size,
                     uint32_t mode = 0);
    void CompressFiles();
    // After the entries: WriteTrailer and ReplaceArchive, unless nothing changed.
    void FinishArchive();
    // Deletes the sources written in this run (swMove, after the archive was
    // replaced). With VerifyBeforeDelete only those whose names the new archive
    // is read back to hold; an archive that cannot be read back keeps them all.
    void DeleteMovedFiles();
    // Deletes a moved source by DeleteOptions: doAllowUndo moves it to the
    // trash. A failure is reported (25169) and the file stays.
    bool DeleteSource(const std::string& path);
    // The stored names the archive now holds, read back from it; false
    // (reported) when it cannot be read.
    virtual bool ReadBackNames(std::unordered_set<std::string>& names);
    bool IsExcludedName(const std::string& storedName) const;
    // Under swDelete: the old entry is named by FileSpec and goes.
    bool IsDeletedName(const std::string& storedName) const;
    // A stored name ("\" separators) matches one of the masks; a mask without a
    // folder matches names in any folder.
    static bool SpecMatches(const std::vector<std::string>& specs, const std::string& storedName);
    // Fires OnBegin and OnRenameCompressedFile; false skips the entry.
    bool BeforeCompressFile(std::string& name, int count);
    // The date a format stores for a new entry, by DateAttribute.
    uint32_t CurrentDosDateTime(uint32_t fileDate) const;
    // Copies count bytes from the old archive at its current position to Output().
    void CopyBlock(uint64_t count);
    void AddDefaultExt();
    // Reads the old entry's date, size and attributes from its header (format specific).
    virtual void OldEntryFacts(const THeadObject& head, uint32_t& date, uint64_t& size, uint32_t& attr) const;

    // ---- helpers of the formats' CompressFile, ScanExistingEntries and ReportNewEntries
    // Thrown while a new entry is written when that entry alone fails (its source
    // cannot be read or changed meanwhile, a codec refused it): the error number.
    struct EEntryFailed {
        int Code;
    };
    // Writes a new entry that starts at start in Output() through write. On an
    // EEntryFailed it cuts Output() back to start, reports the number for path
    // and answers false: the archive goes on without the entry. Errors already
    // raised pass; any other failure is a write error of the archive (raised).
    bool WriteNewEntry(const std::string& path, int64_t start, const std::function<void()>& write);
    // Names a new entry from its source by StoredDirNames and fires OnBegin and
    // OnRenameCompressedFile; false skips the entry. name: the stored name as the
    // events left it.
    bool BeginNewEntry(const THeadObject& head, std::string& name);
    // The stored name of a new entry for headers that hold names in the archive's
    // code page: SafeStoredName of name, in that code page with "\" between
    // folders. Empty (reported with 25243 for path) when the name is unsafe, not
    // in the code page, or longer than maxLength; otherwise FEntry.FileName
    // becomes the safe name.
    std::string OemEntryName(const std::string& path, const std::string& name, size_t maxLength);
    // The same for headers that can also hold a UTF-8 name: a name without a form
    // in the code page is stored as UTF-8 (with "\" between folders) and utf8 is
    // set, so that the writer marks it where its format can.
    std::string OemOrUtf8EntryName(const std::string& path, const std::string& name, size_t maxLength,
                                   bool& utf8);
    // Opens the source of a new entry; null (reported with 25235, its bytes taken
    // off the progress) when it cannot be opened.
    std::unique_ptr<platform::File> OpenSource(const THeadObject& head);
    // Deflates the data of the entry being written (in CompressFile), with the
    // pieces the workers made ahead where DeflatesAhead offered it, on every
    // core in any case (DeflateInPieces); the output is the same either way.
    TDeflateResult DeflateEntry(TDeflateEncoder& encoder, CodecInput& in, CodecOutput& out,
                                const TDeflateOptions& options);
    // The size of an open source; the size found while collecting when unknown.
    static uint64_t SourceSize(platform::File& src, const THeadObject& head);
    // The method for a new entry named name: CompressMethod, or cmStore for an
    // archive file when StoreAlreadyCompressedFiles.
    TCompressMethod MethodFor(const std::string& name) const;
    // The CRC-32 of a whole source, read before its data is written: the check
    // bytes of the encryption header need it. A read failure fails the entry (25236).
    static uint32_t SourceCrc32(platform::File& src);
    // Writes a fresh traditional encryption header for Password and crc into
    // Output(), setting keys up for the data that follows.
    void WriteEncryptHeader(TZipKeys& keys, uint32_t crc);
    // What the data of a new entry came to (PackEntryData).
    struct TPackedData {
        uint64_t Total = 0;  // bytes read from the source
        uint32_t Crc32 = 0;  // their CRC-32
        uint16_t Crc16 = 0;  // their CRC-16
        uint64_t Packed = 0; // bytes written, encryption header included
    };
    // A format's encoders: writes in to out by method (cmStore: StoreStream) and
    // answers true when packing did not gain, so that the data goes again stored.
    using TPackMethod = std::function<bool(TCompressMethod, TWriterSource&, TWriterOutput&)>;
    // Writes the data of a new entry of a single-stream format (LHA, BH): the
    // source from its start to dataStart of Output() through pack with method,
    // and once more with cmStore when that did not gain. With encryptCrc (from
    // SourceCrc32) each pass starts with a fresh encryption header and the data
    // is encrypted. A pass that reads other than size bytes, or (encrypted)
    // another CRC, fails the entry with 25236: the file changed meanwhile; a
    // codec error fails it with the codec's number; a cancel raises 25400.
    TPackedData PackEntryData(platform::File& src, int64_t dataStart, uint64_t size, TCompressMethod method,
                              const uint32_t* encryptCrc, const TPackMethod& pack);
    // The end of a new entry written at start: where it stands and how long it
    // is in the new archive, its packed bytes counted, OnEnd fired. Answers true.
    bool NewEntryWritten(THeadObject& head, int64_t start, uint64_t length, uint64_t packed);
    // ReportNewEntries for formats that keep each entry's own header: the size of
    // every entry that stays counts into the totals, and each entry written in
    // this run (not under swDelete) whose header holds at least minHeader bytes
    // is told through OnRead, once FillEntryInfo has filled FEntry (cleared and
    // named) from its header.
    void ReportEntries(size_t minHeader);
    // The size of the old archive; a failure to learn it raises 25236.
    int64_t OldArchiveSize();
    // Puts an entry of the old archive into EntryList with status 2, unless
    // swDelete names it: then it goes and is counted. Answers whether it stays.
    bool KeepOldEntry(const std::string& name, std::unique_ptr<THeadObject> head);

    platform::File& Output() { return *FOutput; }
    platform::File& ArchiveIn() { return *FArchiveIn; }
    // Keeps the position of the entries in the new archive.
    void IndexEntry(size_t index, const std::string& storedName);
    // Turns a file-system failure into the component's error (raised).
    [[noreturn]] void RaiseFileError(const std::exception& e, int code, const std::string& name);

    TCompressMethod FCompressMethod = TCompressMethod::cmDeflate;
    uint16_t FAllowedMethods = 0;
    std::string FDefaultDir;
    TDeflateType FDeflateType = TDeflateType::dtDeflateN;
    TStoredDirNames FStoredDirNames = TStoredDirNames::sdRelative;
    bool FStoreAlreadyCompressedFiles = true;
    TSwitch FSwitch = TSwitch::swAdd;
    bool FVerifyBeforeDelete = true;
    std::string FTempFileName;
    std::string FOwnExt;
    std::string FDefaultExt;
    bool FReplaced = false;
    int FCompressedCount = 0;
    int FDeletedCount = 0;
    int FLinksSkipped = 0;
    std::vector<size_t> FSpecIndexList;
    std::string FSpecFolder;
    std::vector<TEntryLine> FEntryList;
    // Stored names of EntryList, for AddFileEntry.
    std::unordered_map<std::string, size_t> FEntryIndex;
    bool FArchiveIsNew = false;
    uint64_t FPackedCount = 0;
    bool FUnpackable = false;
    // Bytes in front of the first entry of the old archive (a self-extractor stub).
    int64_t FStubSize = 0;
    // Sources written into the new archive (for swMove): path and stored name.
    std::vector<std::pair<std::string, std::string>> FWrittenSources;

    std::unique_ptr<platform::File> FArchiveIn;
    // The new archive: beside the old one (FWriter), or, for an archive on a
    // removable disk, in the temporary folder (FTempFile) so that it can be
    // spread over several disks when it does not fit on one.
    std::unique_ptr<platform::AtomicWriter> FWriter;
    std::unique_ptr<platform::File> FTempFile;
    platform::File* FOutput = nullptr;

    // Compression ahead over a run of `count` files (CompressFiles does it for
    // EntryList; a format with its own loop calls these itself). `offer` says
    // whether file `index` is deflated and gives its path and options. Nothing
    // is started with one thread. At each file's turn AheadTurn(index), then
    // TakeAheadSource(index) gives the source opened for the workers (at its
    // start; null when there is none), so that each source is opened once;
    // StopAhead (also on the way out of an exception) ends the workers.
    using TAheadOffer = std::function<bool(size_t index, std::string& path, TDeflateOptions& options)>;
    void StartAhead(size_t count, TAheadOffer offer);
    void AheadTurn(size_t index);
    std::unique_ptr<platform::File> TakeAheadSource(size_t index);
    void StopAhead();

private:
    // The file whose turn it is, the next file to offer, and the sources
    // opened for the workers.
    std::unique_ptr<TDeflateAhead> FAhead;
    size_t FAheadTurn = 0;
    size_t FAheadCursor = 0;
    std::map<size_t, std::unique_ptr<platform::File>> FAheadFiles;
};

} // namespace mv
