#pragma once
// TUnBase: the driver every archive reader runs on. It runs one extraction
// (checks, opening the archive, the format's walk in ExtractArchive, clean-up)
// and takes the decisions all formats share around each member: where its
// output goes (always inside ExtractDir), whether an existing file is
// overwritten, the OnBegin and rename events, and how the output is finished.
//
// A member is written to a new temporary file beside its target and put in
// place by a rename only when it was decoded completely and its check passed;
// a member that fails leaves any existing file as it was and no partial file.
//
// How a format's reader uses it (ExtractArchive of the format):
//   for each member to extract:
//     SetFileName(storedName);                 // UTF-8, "/" or "\" separators
//     switch (DecideMember(name, date, size)) { mdStop: return; mdSkip: continue; }
//       (BeginMember does both, and passes over a name that gives no output path)
//     if (!OpenMemberOutput(out, size)) continue; // a refused folder; other failures raise 25235
//     FMemberBytesLeft = packedSize; TMemberInput in(*this, file, stream, decrypt);
//     SetCrc32Register(0xFFFFFFFF); TMemberOutput sink(*this, out.get(), stream, crc32);
//     ... the format's codec from `in` to `sink` (or CopyStoredMember, or
//         DecodeZipMember for the ZIP methods) ...
//     CloseMemberInput();
//     AfterExtractFile(out, stream, attributes, dosDate, name, decodedToTheEnd && crcMatches);
//       (EndMember adds the check's report and OnEnd)
#include "archive/codecs/CodecIo.h"
#include "archive/framework/ZipCommon.h"
#include "platform/FileSystem.h"
#include "platform/TempFileGuard.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

// What a reader does with the member it is about to extract.
enum class TMemberDecision { mdExtract, mdSkip, mdStop };

// The path, relative to the output folder, that a stored name is extracted to:
// "/" and "\" both separate folders; a drive prefix ("C:") and leading
// separators are dropped (absolute names become relative), as are empty, "."
// and ".." components, so no name can climb out of the output folder. Without
// useStoredDirs only the last component is kept. Empty when nothing usable is
// left (a folder entry, "..", "C:\").
std::string SafeRelativePath(const std::string& storedName, bool useStoredDirs);

// Creates the folders of `relativeFolder` below `root`, one component at a time,
// never through a symbolic link: false when a component exists and is not a real
// folder, or cannot be made.
bool MakeFoldersBelow(const std::string& root, const std::string& relativeFolder);

// Reads exactly n bytes at the stream's position: false when it ends or fails first.
bool ReadFully(TArcStream& f, uint8_t* buf, int64_t n);

class TUnBase : public TZipCommon {
public:
    TUnBase();
    ~TUnBase() override;

    bool RestoreFileAttr() const { return FRestoreFileAttr; }
    void SetRestoreFileAttr(bool v) { FRestoreFileAttr = v; }
    TCpuType CpuType() const { return FCpuType; }
    void SetCpuType(TCpuType v) { FCpuType = v; }
    // Drive type of the output folder as the disk manager reports it.
    uint8_t ExtractDriveType() const { return FExtractDriveType; }
    // Members whose output was put in place by the last extraction.
    int ExtractedCount() const { return FExtractedCount; }
    // Members the last extraction set out to extract that failed: an error, a
    // failed check, an output that could not be written or put in place.
    int FailedCount() const { return FFailedCount; }
    // Members stored as symbolic links that the last extraction passed over:
    // links are never created, and each one was reported (26800).
    int LinksSkipped() const { return FLinksSkipped; }

    // Extracts the members that match FileSpec into ExtractDir. Result: the
    // number of members processed. Errors that stop the operation are raised
    // (E_RAISE) after the clean-up; OnError has seen their numbers first.
    int Extract();
    // The same with the members going to the owner's sink (ExtractWriteProc,
    // write mode 6) instead of files.
    int ExtractToSink();

    // The reader's form: FileName() := the output path of a stored name (UTF-8,
    // either separator), inside ExtractDir (see SafeRelativePath); empty when the
    // name gives no usable path.
    void SetFileName(const std::string& name) override;
    // Write mode 0: makes the folders below ExtractDir (never through a symbolic
    // link) and opens a new temporary file beside `name`; AfterExtractFile puts
    // it in place. Other modes as the frame does them; mode 6 needs no output.
    // A folder that cannot be made (a link or a file in the way) is reported as
    // 25156 and sets OutputRefused(): the reader then goes on with the next member.
    bool OpenOutputFile(std::unique_ptr<TArcStream>& file, const std::string& name, int64_t size = 0,
                        int64_t start = 0) override;

    bool OutputRefused() const { return FOutputRefused; }

    // A folder stored as an entry of its own (empty ones included): made below
    // ExtractDir like the folders of files (never through a symbolic link) when
    // the output goes to files, stored folders are used and the name matches
    // FileSpec. A folder that cannot be made is reported (25156). Answers whether
    // the folder exists afterwards.
    bool ExtractFolderEntry(const std::string& storedName);

    // A member stored as a symbolic link (target: where it points, when known):
    // when the output goes to files and the name matches FileSpec, it is
    // reported (26800, the stored name and the target) and counted in
    // LinksSkipped; nothing is created. Other outputs pass over it quietly.
    void SkipLinkMember(const std::string& storedName, const std::string& target);

    // Output of the codecs: a write that fails (a full disk, a file-size limit)
    // is reported as 25136 with the output's name and the system's reason, and
    // raised; the member then fails and leaves no partial file.
    int64_t DecryptWriteBlock(TArcStream* File, TArcStream* Stream, const uint8_t* Buffer, bool Decrypt,
                              int CrcMode, int64_t Count, int DoCrc) override;

    // Reads a member's packed bytes for a codec: at most MemberBytesLeft bytes
    // through ReadProc (decrypting when asked), counting them off MemberBytesLeft
    // and BytesLeft. A read error raises 25236.
    class TMemberInput : public CodecInput {
    public:
        TMemberInput(TUnBase& reader, TArcStream* file, TArcStream* stream, bool decrypt)
            : reader(reader), file(file), stream(stream), decrypt(decrypt) {}
        size_t Read(uint8_t* buf, size_t n) override;
        void SetDecrypt(bool v) { decrypt = v; }
        // Reads until n bytes are in or the member's bytes end: the bytes read.
        size_t ReadFull(uint8_t* buf, size_t n);
        // Asked when the volume ends before the member does: the next volume's
        // stream, positioned at its start, or nullptr when there is none.
        std::function<TArcStream*()> NextVolume;

    private:
        TUnBase& reader;
        TArcStream* file;
        TArcStream* stream;
        bool decrypt;
    };
    // Takes a codec's output: writes it through ExtractWriteProc with the
    // running CRC chosen by crcMode (the reader set the register first), and
    // reports progress. Cancelled() answers the reader's Cancel.
    class TMemberOutput : public CodecOutput {
    public:
        TMemberOutput(TUnBase& reader, TArcStream* file, TArcStream* stream, int crcMode)
            : reader(reader), file(file), stream(stream), crcMode(crcMode) {}
        void Write(const uint8_t* buf, size_t n) override;
        bool Cancelled() const override { return reader.Cancel(); }
        uint64_t Written() const { return written; }

    private:
        TUnBase& reader;
        TArcStream* file;
        TArcStream* stream;
        int crcMode;
        uint64_t written = 0;
    };

protected:
    // The format's walk; the base does nothing.
    virtual void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream);

    // The per-member decision (after SetFileName): progress, whether the output
    // exists, OnFileExists (without a handler an existing file is kept), OnBegin
    // and OnRenameCompressedFile. Answers false when Cancel is set.
    bool BeforeExtractFile(std::string& name, TDateTime fileDate, bool& exists);
    // BeforeExtractFile as a decision: mdStop on Cancel; mdSkip when the output
    // exists and is to be kept, or OnBegin declined the member (its size then
    // leaves the progress total); mdExtract otherwise.
    TMemberDecision DecideMember(std::string& name, TDateTime fileDate, int64_t packedSize);
    // The name events and errors give the member: its output path when the output
    // goes to files, else `name` (the stored name, or the one OnBegin announced).
    std::string ReportName(const std::string& name) const;
    // The opening of a member of the readers that walk a list of members (ARC,
    // ZOO, BH, ZIP, LHA): SetFileName(storedName) and DecideMember, name := the
    // name OnBegin announced. A stored name that gives no output path is reported
    // (InvalidName) and skipped like a declined member: mdSkip, its packed size
    // taken off BytesLeft.
    TMemberDecision BeginMember(const std::string& storedName, TDateTime fileDate, int64_t packedSize,
                                std::string& name);
    // OpenOutputFile for the member's output, FileName(): false when the output
    // folder was refused (reported, the reader goes on with the next member); any
    // other failure to open raises OpenError.
    bool OpenMemberOutput(std::unique_ptr<TArcStream>& out, int64_t size);
    // Ends the reading of the member's packed bytes: those not read leave BytesLeft.
    void CloseMemberInput();
    // Refuses a member before its output is opened (an unknown method): the
    // error is reported, packedLeft leaves BytesLeft and OnEnd tells a failed check.
    void RefuseMember(const std::string& reportName, int error, int64_t packedLeft);
    // The end of a decoded member of the readers that walk a list of members:
    // without OnEnd a failed check is reported (25151); AfterExtractFile puts the
    // output in place only when crcPass; OnEnd tells the check unless the
    // extraction was cancelled before the member was decoded. Answers whether the
    // extraction goes on (not cancelled).
    bool EndMember(std::unique_ptr<TArcStream>& out, uint32_t attr, uint32_t dosDate, const std::string& name,
                   const std::string& reportName, bool decoded, bool crcPass, int64_t unixTime = -1);
    // The password chain of the readers that can test a password against the
    // member's encryption header (ZIP, BH): the preset Password, the known
    // Passwords, then up to PasswordAttempts answers of OnGetPassword, each one
    // that does not fit reported (26517) and the end of the chain too (26522).
    // 1: a password fits (it becomes Password; a typed one joins Passwords);
    // 0: none known fits and there is no OnGetPassword (reported); -1: none fits.
    int FindPassword(const std::string& name, const std::function<bool(const std::string&)>& fits);
    // FileSpec is one name without wildcards: a walk may stop at its first match.
    bool SingleExactSpec() const;
    // The walk of the readers that list their members before extracting (ARC,
    // ZOO, BH): collect lists them, the totals for progress are set (packedOf,
    // when given, tells the packed bytes a member's data counts), then extract
    // runs for each until one answers false or Cancel is set. An error raised
    // on the way was reported through OnError: the walk ends quietly.
    template <class Reader, class Member>
    void ExtractListedArchive(std::unique_ptr<TArcStream>& file,
                              void (Reader::*collect)(TArcStream&, std::vector<Member>&),
                              bool (Reader::*extract)(TArcStream&, const Member&),
                              int64_t (*packedOf)(const Member&) = nullptr) {
        Reader& reader = static_cast<Reader&>(*this);
        try {
            if (!file) RaiseError(FArchiveFile, "", "0", arcerr::OpenError);
            std::vector<Member> members;
            (reader.*collect)(*file, members);
            FTotalPacked = FTotalUnpacked = 0;
            for (const auto& m : members) {
                FTotalPacked += packedOf ? packedOf(m) : m.PackedSize;
                FTotalUnpacked += m.UnpackedSize;
                FMaxFileDate = std::max(FMaxFileDate, m.DosDate);
            }
            FBytesLeft = FTotalPacked;
            for (const auto& m : members) {
                if (FCancel) break;
                if (!(reader.*extract)(*file, m)) break;
            }
        } catch (const E_RAISE&) {
            // reported through OnError already: the operation ends quietly
        }
    }
    // Finishes the current output. complete: the member was decoded to its end
    // and its check passed; the new file then takes the place of FileName() with
    // the member's date (by DateAttribute) and, with RestoreFileAttr, its
    // attributes (low byte: DOS attributes, high word: unix permissions when not
    // 0). Otherwise the new file is removed and an existing one stays as it was.
    // unixTime: the member's time in seconds since 1970 where the archive holds
    // one finer than its DOS date (-1: none); daFileDate then sets it exactly.
    // Answers whether the output was put in place.
    bool AfterExtractFile(std::unique_ptr<TArcStream>& file, TArcStream* stream, uint32_t attr,
                          uint32_t dosDate, const std::string& name, bool complete = true,
                          int64_t unixTime = -1);
    // Copies MemberBytesLeft stored bytes from the archive to the output in pieces
    // of 32 KiB (decrypting when asked, with the CRC chosen by crcMode). Result:
    // the bytes copied.
    int64_t CopyStoredMember(TArcStream* inFile, TArcStream* stream, std::unique_ptr<TArcStream>& outFile,
                             const std::string& name, bool decrypt, int crcMode);
    // Decodes one member stored with a ZIP method (0 stored, 1 shrunk, 2-5
    // reduced, 6 imploded, 8 deflated; the ZIP, GZip and BH readers): reads
    // through `input` (MemberBytesLeft set to the packed bytes, decrypting when
    // asked), writes through ExtractWriteProc to `out` with the running CRC-32,
    // which it starts afresh (the result is Crc32Register() ^ 0xFFFFFFFF). Stops
    // at unpackedSize. A decoder's error, an unknown method (25326) or output
    // shorter than unpackedSize (25109; 25236 for stored data) is reported
    // through OnError with `name` and ends this member only: false.
    bool DecodeZipMember(TMemberInput& input, std::unique_ptr<TArcStream>& out, uint16_t method,
                         uint16_t flags, int64_t unpackedSize, const std::string& name);
    // Removes the temporary output of a member that did not finish (also run by
    // the clean-up of an extraction that ends with an exception).
    void DiscardOutput(std::unique_ptr<TArcStream>& file);

    int RunExtract();
    // A member DecideMember let through and that was not put in place counts as failed.
    void SettleMember();

    bool FRestoreFileAttr = true;
    TCpuType FCpuType = TCpuType::cptAuto;
    uint8_t FExtractDriveType = 0;
    int FExtractedCount = 0;
    int FFailedCount = 0;
    bool FMemberPending = false;    // the member let through last is not finished yet
    bool FBeginDeclined = false;    // OnBegin answered Extract := false for this member
    bool FOutputRefused = false;    // the last OpenOutputFile refused the member's folder
    int64_t FMemberPackedTotal = 0; // packed size of the member being read (per-file progress)
    std::string FOutputTarget;      // where the member being written goes
    std::string FOutputTemp;        // the temporary file it is written to
    int FLinksSkipped = 0;
    uint32_t FNewFileMode = ~0u; // permissions of a new file, read once per run (~0u: not read yet)
    uint32_t NewFileMode();
    // ExtractDir without a trailing "/" ("." when empty).
    std::string OutputRoot() const;
    // FOutputTree for root, made when missing (root too); false when it cannot be (reported).
    bool OpenOutputTree(const std::string& root);
    // The folders below ExtractDir that this run made or entered; the output of a
    // member inside ExtractDir goes through it, named relative to its root.
    std::unique_ptr<platform::OutputTree> FOutputTree;
    std::string FOutputTempRelative, FOutputTargetRelative; // empty: the output is not in the tree
    platform::TempFileGuard FOutputGuard; // the temporary file goes if the run is stopped by a signal
};

} // namespace mv
