#pragma once
// Buffered streams, the directory search and the small file, name and date
// utilities of the zip writer component. Every archive, part, work file and
// source file goes through an 8 KiB buffered stream over a platform file;
// writing streams are finished by Close(), which reports a failed flush (a full
// disk) as an exception, so no short file is ever taken for a written one.
#include "platform/FileSystem.h"
#include "zipwriter/ZipEngineTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

// Seek origins.
enum : int { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TS_BufferStream : public TObject {
public:
    static constexpr size_t BufferSize = 8192;

    explicit TS_BufferStream(platform::File& underlying);
    // Writes what is still buffered without reporting (Close() reports).
    ~TS_BufferStream() override;

    size_t Read(void* buffer, size_t count);
    // Takes every byte or raises: ENotEnoughRoom (204) when the medium is full.
    size_t Write(const void* buffer, size_t count);
    int64_t Seek(int64_t offset, int origin);
    int64_t Position() const;
    int64_t Size();
    virtual bool FillBuffer();
    virtual bool FlushBuffer();
    virtual void PutBack(uint8_t byte);
    virtual void AfterFill() {
        if (OnFill) OnFill(this);
    }
    virtual void AfterFlush() {
        if (OnFlush) OnFlush(this);
    }
    // Writes the buffer and pushes everything written to the medium; raises on failure.
    void FlushToMedium();
    // Flushes the buffer, pushes the data to the medium when FlushOnDestroy and
    // something was written, and closes the file; raises on any failure.
    virtual void Close();

    bool FlushOnDestroy() const { return FFlushOnDestroy; }
    void SetFlushOnDestroy(bool f) { FFlushOnDestroy = f; }
    bool Written() const { return FWritten; }
    platform::File& Underlying() { return FUnderlying; }

    std::function<void(TObject*)> OnFill;
    std::function<void(TObject*)> OnFlush;

protected:
    // Writes what the buffer holds without reporting (used while unwinding).
    void WritePending();
    enum class TState { sIdle, sReading, sWriting };
    platform::File& FUnderlying;
    std::vector<uint8_t> FBuffer;
    size_t FCurrent = 0;
    size_t FEnd = 0;
    TState FState = TState::sIdle;
    bool FFlushOnDestroy = false;
    bool FWritten = false;
};

// Open modes of TLFNFileStream.
enum class TFileOpen { foRead, foReadWrite, foCreate };

// A buffered stream over a file it opens and owns.
class TLFNFileStream : public TS_BufferStream {
public:
    TLFNFileStream(const std::string& name, bool flushOnClose, TFileOpen mode);
    // Takes an open file (a temporary file made by the platform).
    TLFNFileStream(std::unique_ptr<platform::File> file, bool flushOnClose);
    ~TLFNFileStream() override;
    const std::string& FileName() const { return FFileName; }

private:
    TLFNFileStream(std::unique_ptr<platform::File> file, bool flushOnClose, bool writing);
    std::unique_ptr<platform::File> FFile;
    std::string FFileName;
};

// A directory search: walks a folder (and, recursing, its subfolders) and
// yields the files whose names match a mask, and, recursing, every subfolder
// (its path with a final "/") before its contents. The start folder may hold
// wildcards in its folder names ("logs/2*/"): only the subfolders matching them
// are searched. Names come sorted; exactly "." and ".." are skipped (hidden
// folders are searched); symbolic links to folders are not followed and are
// not returned; a symbolic link to a file is returned as a file.
class TDirSearch : public TObject {
public:
    TDirSearch(const std::string& folder, bool recurse, const std::string& mask);
    // The next name, or false at the end. size: the file's size (0 for a folder).
    bool NextFile(std::string& name, uint64_t& size);

private:
    struct TSearchData {
        std::string folder; // ends in "/"
        std::string mask;
        std::vector<platform::DirEntry> entries;
        size_t next = 0;
        bool folderMaskLevel = false;
    };
    void Push(const std::string& folder, const std::string& mask, bool folderMaskLevel);

    std::vector<TSearchData> FStack;
    std::string FMask;
    bool FRecurse;
    std::vector<std::string> FFolderMasks;
    size_t FFolderMaskIndex = 0;
};

// --- utilities ---

// part x 100 / whole rounded to nearest (ties to even), at most 100; 0 when
// whole < 1.
int Percentage(int64_t part, int64_t whole);
// True when s holds "*", "?", "<", ">" or "|".
bool HasWildcards(const std::string& s);
// A DOS date-time with out-of-range fields clamped (hour 23, minute 59,
// two-second units 29, day 0 -> 1, month 0 -> 1 and > 12 -> 12, year >= 120 -> 119).
uint32_t CheckDosDateTime(uint32_t dosDateTime);
// The DOS date-time of a file (checked), 0 when it cannot be read.
uint32_t FileDosDateTime(const std::string& name);
// Converts through the OEM code page and back, as a stored name would change.
void OemRoundTrip(std::string& s);
// The name with its extension (from the last "." of the name part) replaced.
std::string ChangeFileExt(const std::string& name, const std::string& ext);
// ASCII lower case.
std::string LowerCase(std::string s);
// Case-insensitive comparison of ASCII letters.
int CompareText(const std::string& a, const std::string& b);
// "%3.3d" of n.
std::string ThreeDigits(int n);
// The extension of a numbered part or disk of a set: "." and ThreeDigits(n).
std::string PartExtension(int n);

} // namespace mv
