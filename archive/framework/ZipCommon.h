#pragma once
// The part every archive component shares above block I/O: file specifications,
// output folder, events, error reporting, cancel, progress, volumes, temporary
// files and the entry texts. Writers' and readers' bases and the lister derive
// from TZipCommon and override its virtual operations.
//
// How a reader or writer uses it:
// - Type: SetArchiveFile detects the type (readers); a writer overrides SetArcType
//   (or DetectArcType) to fix its own type.
// - Names: override SetFileName to turn an entry name into an output path
//   (readers) or a stored name (writers).
// - Data: codecs read through ReadProc and write through ExtractWriteProc
//   (extractors) or CompressWriteProc (compressors). ReadMode/WriteMode choose the
//   file of the call (0), UserStream (1), the stream of the call or a temporary
//   file (2), MemoryStream (3) or memory (4, read only); CrcMode 16/32 keeps
//   Crc16Register/Crc32Register running; Decrypt/Encrypt use ZipKeys() (ZIP, JAR,
//   BH) or the ARJ garbling (Password, GarblePos). The hooks never change the bytes
//   a caller hands in for writing.
// - Failures: RaiseError reports through OnError and throws E_RAISE (the text of
//   the number); DoError only reports; both report 25400 while the active
//   component is cancelled, and LastError() keeps the last number.
// - Events: public std::function members, fired through the Do... methods;
//   volumes through NextVolume/RequestVolume (OnNextVolume), progress through
//   DoProgress (ProgressProc, OnProgress).
#include "archive/framework/ArcErrors.h"
#include "archive/framework/ReadWriteObj.h"

#include <functional>
#include <string>
#include <vector>

namespace mv {

// The program's message pump: long loops call it so that a Cancel command can
// arrive. Calls closer than 50 ms apart are dropped. Without a pump, nothing runs.
void SetProcessMessagesHook(std::function<void()> pump);
void ProcessMessages();

// The desktop layer's answer to "what type of file is this name" (a MIME
// database lookup); FileTypeName answers empty without one.
void SetFileTypeNameHook(std::function<std::string(const std::string& fileName)> lookup);

class TZipCommon : public TReadWriteObj {
public:
    TZipCommon();
    ~TZipCommon() override;

    // ---- properties
    bool ConfirmOverwrites() const { return FConfirmOverwrites; }
    void SetConfirmOverwrites(bool v) { FConfirmOverwrites = v; }
    TDateAttribute DateAttribute() const { return FDateAttribute; }
    void SetDateAttribute(TDateAttribute v) { FDateAttribute = v; }
    TDeleteOptions DeleteOptions() const { return FDeleteOptions; }
    void SetDeleteOptions(TDeleteOptions v) { FDeleteOptions = v; }
    TOverwriteMode OverwriteMode() const { return FOverwriteMode; }
    void SetOverwriteMode(TOverwriteMode v) { FOverwriteMode = v; }
    // Assigning keeps only the file-name part of each line, "/" turned to "\", and
    // drops empty lines; lines added to FileSpecList() directly keep their folders.
    const std::vector<std::string>& FileSpec() const { return FFileSpec; }
    void SetFileSpec(std::vector<std::string> v);
    std::vector<std::string>& FileSpecList() { return FFileSpec; }
    const std::vector<std::string>& ExcludeSpec() const { return FExcludeSpec; }
    void SetExcludeSpec(std::vector<std::string> v);
    std::vector<std::string>& ExcludeSpecList() { return FExcludeSpec; }
    const std::string& ExtractDir() const { return FExtractDir; }
    void SetExtractDir(const std::string& v) { FExtractDir = v; }
    bool RecurseDirs() const { return FRecurseDirs; }
    void SetRecurseDirs(bool v) { FRecurseDirs = v; }
    // The folder for temporary files: the one set when it exists, else the
    // system's temporary folder.
    std::string TempDir() const;
    // Empty means the system's temporary folder; "/" is appended. A folder that
    // does not exist is made when OnConfirmCreateTempDir answers yes (the text:
    // the folder, a blank line and "Diretório não existente... Criar?"); without
    // a handler, on no, or when it cannot be made, the system's folder is used.
    void SetTempDir(const std::string& v);
    uint8_t DeflateLevel() const { return FDeflateLevel; }
    void SetDeflateLevel(uint8_t v) { FDeflateLevel = v; }
    uint8_t ProgressByFile() const { return FProgressByFile; }
    uint8_t ProgressByArchive() const { return FProgressByArchive; }
    const std::string& FileName() const { return FEntry.FileName; }

    // The last number reported through RaiseError or DoError (0 when none since
    // ClearLastError): the final status of an operation that ends quietly.
    int LastError() const { return FLastError; }
    void ClearLastError() { FLastError = 0; }

    bool Cancel() const { return FCancel; }
    // Cancel := value, then let pending messages run once.
    void SetCancel(bool value);

    // ---- events (fired through the Do... methods)
    TNotifyEvent OnActivate;
    TOnBegin OnBegin;
    TOnCorruptZipHeader OnCorruptZipHeader;
    TNotifyEvent OnDeactivate;
    TOnEnd OnEnd;
    TOnElapsedTime OnElapsedTime;
    TOnFileExists OnFileExists;
    TOnError OnError;
    TOnGetPassword OnGetPassword;
    TOnGetZipFirstDisk OnGetZipFirstDisk;
    TOnGetZipLastDisk OnGetZipLastDisk;
    TOnGetZipNextDisk OnGetZipNextDisk;
    TOnInsertDiskette OnInsertDiskette;
    TOnNextVolume OnNextVolume;
    TOnProgress OnProgress;
    TOnRead OnRead;
    TOnRenameFile OnRenameCompressedFile;
    // Asked whether a temporary folder that does not exist is to be made; set
    // Create to make it (it starts false).
    std::function<void(TObject* Sender, const std::string& Folder, const std::string& Text, bool& Create)>
        OnConfirmCreateTempDir;

    // ---- virtual operations a reader or writer overrides
    // Turns an entry name into the name the operation uses (readers: output path;
    // writers: stored name). The frame's form only stores the name.
    virtual void SetFileName(const std::string& name);
    // Name of volume N of Name: folder + name before its last "." + a volume extension.
    virtual std::string GetNextVolumeName(const std::string& name, int n);
    // DOS date and time to TDateTime; 0 or an invalid value gives 1980-01-01.
    virtual TDateTime ConvertDate(uint32_t dosDateTime);
    // Opens the output of the current member by WriteMode (0: creates folders and the file).
    virtual bool OpenOutputFile(std::unique_ptr<TArcStream>& file, const std::string& name, int64_t size = 0,
                                int64_t start = 0);
    // Pauses the timer, reports ECode through OnError (25400 when the active
    // component is cancelled) and raises E_RAISE with the text of that number.
    [[noreturn]] virtual void RaiseError(const std::string& fn, const std::string& msgEx,
                                         const std::string& volumeID, int eCode);
    // Reports like RaiseError without raising.
    virtual void DoError(const std::string& fn, const std::string& msgEx, const std::string& volumeID,
                         int eCode);

    // ---- volumes
    // Asks OnNextVolume for a volume until it exists; false on cancel or without a handler.
    bool RequestVolume(std::string& volumeName, const std::string& volumeID);
    // Asks for the next volume of volumeName and opens it read-only as `file`.
    bool NextVolume(std::unique_ptr<TArcStream>& file, std::string& volumeName);
    // Spanned ZIP: reopens ArchiveFile on the disk now in the drive.
    bool ReopenNextDisk(std::unique_ptr<TArcStream>& file);

    // ---- files
    static bool OpenArchiveRead(std::unique_ptr<TArcStream>& file, const std::string& name);
    static bool CloseArchive(std::unique_ptr<TArcStream>& file);
    bool CloseOutputFile(std::unique_ptr<TArcStream>& file);
    // A new file under TempDir with the prefix "arc", created exclusively; empty
    // (and 25235 reported) when none can be made.
    std::string MakeTempFileName();
    void RaiseWriteError() { RaiseError(FEntry.FileName, "", "0", arcerr::WriteError); }

    // ---- names
    bool IsFileSpecMatch(const std::string& name, bool namesOnly) const;
    bool IsExcluded(const std::string& name);
    bool IsMultiFileSpec(const std::vector<std::string>& list) const;

    // ---- progress
    void DoProgress(int64_t done, int64_t total, int64_t operationTotal);
    static uint8_t Percent(int64_t part, int64_t total);
    uint16_t DeflateFlagBits(uint16_t flags) const;

    // ---- entry texts
    static uint8_t CompressRatio(int64_t packed, int64_t unpacked);
    static std::string DeflateLevelName(uint16_t flags);
    // DOS (4 letters) or Unix (10 letters, ACE host 3 and RAR host 3) attribute text.
    void AttrToText(uint32_t attr, char fill, std::string& text, uint8_t hostOS = 0) const;
    // The method text by ArcType, the format's method code and the flag bits.
    void MethodName(uint16_t methodCode, uint16_t flags, std::string& text) const;
    // The desktop's type name of a file of that name (the file need not exist), at
    // most 80 characters; empty when the desktop gives none or none is installed.
    static std::string FileTypeName(const std::string& fileName);

protected:
    void DoActivate() {
        if (OnActivate) OnActivate(this);
    }
    void DoDeactivate() {
        if (OnDeactivate) OnDeactivate(this);
    }
    // The number a report carries: 25400 when the active component is cancelled.
    static int ReportedCode(int eCode);
    void DefaultProgress();
    // Facts MethodName needs beyond code and flags (set by the lister's steps).
    uint8_t FArcHeaderMethod = 0; // ARC: the method byte of the current header
    uint8_t FArjFileType = 0;     // ARJ: the file type of the current header
    uint16_t FGZipMagic = 0;      // GZip: the file's first word

    bool FConfirmOverwrites = true;
    TDateAttribute FDateAttribute = TDateAttribute::daFileDate;
    TDeleteOptions FDeleteOptions = TDeleteOptions::doAllowUndo;
    std::vector<std::string> FExcludeSpec;
    std::string FExtractDir;
    std::vector<std::string> FFileSpec;
    bool FRecurseDirs = false;
    std::string FTempDir;
    uint32_t FMaxFileDate = 0;
    TOverwriteMode FOverwriteMode = TOverwriteMode::omOverwrite;
    bool FCancel = false;
    int FLastError = 0;
    uint8_t FDeflateLevel = 7;
    uint8_t FProgressByFile = 0;
    uint8_t FProgressByArchive = 0;
    int64_t FMemberBytesLeft = 0;
    std::unique_ptr<TArcStream> FTempStream;
};

} // namespace mv
