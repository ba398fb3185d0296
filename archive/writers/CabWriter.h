#pragma once
// The CAB writer: makes cabinet files through the compression interface of our
// cabinet library (archive/libraries/cab). One library context per run, one
// add-file call per file, one final flush; every byte the library reads or
// writes goes through the writer's cabinet file handler, which also counts the
// progress of the file being read.
//
// The writer driver does the rest (collecting files, replacing entries,
// moving, deleting, writing beside the archive and renaming). The library
// only appends, so the members of an existing cabinet that stay are first
// decoded into temporary files and added again, with their names, dates and
// attributes, in their old order; cabinets that belong to a set are not
// updated (25350) and stay as they are.
#include "archive/writers/CompBase.h"
#include "archive/libraries/cab/Cabinet.h"
#include "archive/libraries/cab/CabinetFileHandler.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

using TOnGetNextCabinet =
    std::function<void(TObject* Sender, cab::TCabParameters& CabParameters, std::string& NewCabFileName,
                       uint32_t PreviousCabEstimatedSize, bool& AbortCreation)>;

// The parent of the cabinet writers; it adds nothing to the driver.
class TCabInterface : public TCompBase {};

class TMakeCAB : public TCabInterface {
public:
    TMakeCAB();
    ~TMakeCAB() override;

    // atCab when ArchiveFile is set; the default extension is added to a name
    // without one.
    void SetArcType(TArcType value) override;

    // Kept for callers and stored settings, and handed to the library, but it
    // never fails a run: our encoders always have a form for data that does not
    // shrink (MSZIP falls back to stored deflate blocks; an LZX verbatim block
    // grows by its trees only, well inside a data block's bound), so no block is
    // ever reported incompressible. Failing every noisy file by default would
    // leave users unable to pack already-compressed data.
    bool FailOnIncompressible() const { return FFailOnIncompressible; }
    void SetFailOnIncompressible(bool value) { FFailOnIncompressible = value; }
    // LZX window bits, 15..21.
    int LzxLevel() const { return FLzxLevel; }
    void SetLzxLevel(int value);
    // What cmQuantum hands to the library: its kind, level (1..7) and memory (10..21).
    TCompressionType QuantumType() const { return FQuantumType; }
    void SetQuantumType(TCompressionType value) { FQuantumType = value; }
    int QuantumLevel() const { return FQuantumLevel; }
    void SetQuantumLevel(int value);
    int QuantumMemory() const { return FQuantumMemory; }
    void SetQuantumMemory(int value);

    // The compression code handed to the library for CompressMethod.
    uint16_t CompressionCode() const;

    TOnGetNextCabinet OnGetNextCabinet;

protected:
    void CompressArchive() override;
    bool CompressFile(size_t index) override;
    void ScanExistingEntries() override;
    void CopyEntry(size_t index) override;
    void FillEntryInfo(const THeadObject& head) override;
    void WriteTrailer() override;
    // A cabinet holds at most 2 GiB - 1: a larger file is refused (25256)
    // before anything is written.
    bool FileTooLarge(uint64_t size) const override { return size >= 0x7FFFFFFFu; }

    // The library asks for a further cabinet; AbortCreation comes in True.
    virtual void FciGetNextCabinet(cab::TCabParameters& cabParameters, std::string& newCabFileName,
                                   uint32_t previousCabEstimatedSize, bool& abortCreation);
    // A temporary file for the library's data blocks.
    virtual void FciGetTempFile(std::string& name, bool& ok);
    // Opens a source for the library and gives its DOS date, time and
    // attributes; error is set (and handle -1) on failure.
    virtual void FciGetOpenInfo(const std::string& fileName, uint16_t& date, uint16_t& time,
                                uint16_t& attributes, int& error, intptr_t& handle);

private:
    class TWriterFileHandler;
    // A member of the old cabinet that stays: decoded into TempPath.
    struct TOldMember {
        std::string Name;
        std::string TempPath;
        uint16_t Date = 0;
        uint16_t Time = 0;
        uint16_t Attributes = 0;
        uint16_t Compression = 0; // the code of its old folder
        uint32_t Size = 0;
    };

    void CreateContext();
    void DestroyContext();
    // One add-file call; false when the library refused it (FErrorRecord says why).
    bool AddToCabinet(const std::string& source, const std::string& storedName, int64_t size, uint16_t code);
    void SourceRead(intptr_t handle, uint32_t count);
    [[noreturn]] void RaiseLibraryError(int code);
    void RethrowCallbackError();
    void RemoveOldMembers();
    // The library's callbacks (the writer is their user pointer); none lets an
    // exception through.
    static bool NextCabinetCallback(void* user, cab::TCabParameters* cab, uint32_t previousSize);
    static intptr_t OpenInfoCallback(void* user, const char* name, uint16_t* date, uint16_t* time,
                                     uint16_t* attribs, int* err);
    static int StatusCallback(void* user, unsigned type, uint32_t cb1, uint32_t cb2);
    static intptr_t OldCabinetNotify(cab::TFdiNotificationType kind, cab::TFdiNotification* n);

    bool FFailOnIncompressible = true;
    int FLzxLevel = 21;
    TCompressionType FQuantumType = TCompressionType::ctMsZip;
    int FQuantumLevel = 7;
    int FQuantumMemory = 21;

    std::unique_ptr<TWriterFileHandler> FHandler;
    cab::TFciContext* FContext = nullptr;
    cab::TCabErrorRecord FErrorRecord;
    std::exception_ptr FCallbackError;
    // The source being read by the library, its size, and what the open-info
    // callback gives for it.
    intptr_t FSource = -1;
    int64_t FSourceSize = 0;
    const TOldMember* FCurrentOld = nullptr;
    uint32_t FCurrentDate = 0;
    uint32_t FCurrentAttributes = 0;
    std::vector<TOldMember> FOldMembers;
    int FFilesAdded = 0; // members in the cabinet being written
    // The member of the old cabinet being decoded.
    TOldMember FPending;
    intptr_t FPendingHandle = -1;
};

} // namespace mv
