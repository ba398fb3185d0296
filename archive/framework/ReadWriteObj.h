#pragma once
// Block input and output of the archive components. Every codec reads through
// ReadProc and writes through ExtractWriteProc (extractors) or CompressWriteProc
// (compressors), so one codec serves files, streams, memory and the search's
// sink. The hooks decrypt, encrypt and keep the running CRC; they never change
// the bytes of a buffer the caller hands in for writing.
#include "archive/framework/ArcMain.h"
#include "archive/framework/ZipCrypt.h"

#include <functional>

namespace mv {

// Read and write modes (the same numbers for both).
enum : uint8_t {
    rwFile = 0,       // the file opened by the operation
    rwUserStream = 1, // UserStream, a stream given by the program
    rwCallStream = 2, // the stream passed to each call (readers); a temporary file (writers' output)
    rwMemoryStream = 3,
    rwMemoryPointer = 4, // memory at MemoryPointer (read only)
    rwSink = 6,          // the owner's sink replaces ExtractWriteProc (search)
};

// CRC selector passed with every block.
enum : int { crcNone = 0, crc16 = 16, crc32 = 32 };

// Reads Count bytes into Buffer (which it may decrypt in place: the bytes are the
// caller's destination). Result: the count read, -1 on a stream error.
using TReadProc = std::function<int64_t(TArcStream* File, TArcStream* Stream, uint8_t* Buffer, bool Decrypt,
                                        int CrcMode, int64_t Count, int DoCrc)>;
// Writes Count bytes of Buffer (never modified). Result: the count written.
using TWriteProc = std::function<int64_t(TArcStream* File, TArcStream* Stream, const uint8_t* Buffer,
                                         bool Crypt, int CrcMode, int64_t Count, int DoCrc)>;
using TProgressProc = std::function<void()>;

class TReadWriteObj : public TArcMain {
public:
    TReadWriteObj();
    ~TReadWriteObj() override;

    bool AsciiTranslation() const { return FAsciiTranslation; }
    void SetAsciiTranslation(bool v) { FAsciiTranslation = v; }
    uint8_t ReadMode() const { return FReadMode; }
    void SetReadMode(uint8_t v) { FReadMode = v; }
    uint8_t WriteMode() const { return FWriteMode; }
    void SetWriteMode(uint8_t v) { FWriteMode = v; }
    TArcStream* UserStream() const { return FUserStream; }
    void SetUserStream(TArcStream* s) { FUserStream = s; }
    TArcStream* MemoryStream() const { return FMemoryStream; }
    void SetMemoryStream(TArcStream* s) { FMemoryStream = s; }
    // Mode 4 source: the area and its length; reads never pass its end.
    void SetMemoryPointer(const uint8_t* p, int64_t length) {
        FMemoryPointer = p;
        FMemoryLeft = p ? length : 0;
    }
    const uint8_t* MemoryPointer() const { return FMemoryPointer; }
    int64_t MemoryLeft() const { return FMemoryLeft; }

    // The running CRC registers the hooks update (CRC-32 starts from CrcSeed).
    uint32_t Crc32Register() const { return FCrc32; }
    void SetCrc32Register(uint32_t v) { FCrc32 = v; }
    uint16_t Crc16Register() const { return FCrc16; }
    void SetCrc16Register(uint16_t v) { FCrc16 = v; }

    // The traditional zip cipher state of this component: a reader tests an
    // entry's encryption header with it (ZipTestEncryptHeader), a writer makes one
    // (ZipMakeEncryptHeader); the block hooks then decrypt or encrypt through it.
    TZipKeys& ZipKeys() { return FZipKeys; }
    int GarblePos() const { return FGarblePos; }
    void SetGarblePos(int v) { FGarblePos = v; }

    // Bound to the virtual block operations below, so that a descendant's override
    // is what runs; the search replaces ExtractWriteProc by its sink.
    TReadProc ReadProc;
    TWriteProc ExtractWriteProc;
    TWriteProc CompressWriteProc;
    TProgressProc ProgressProc;

    // Read one block by ReadMode, then decrypt it (ARJ garbling, or traditional ZIP
    // decryption for ZIP, JAR and BH types) and update the CRC chosen by CrcMode.
    virtual int64_t ReadBlock(TArcStream* File, TArcStream* Stream, uint8_t* Buffer, bool Decrypt,
                              int CrcMode, int64_t Count, int DoCrc);
    // Encrypt (when asked) into a private buffer and write: output of compressors.
    virtual int64_t EncryptWriteBlock(TArcStream* File, TArcStream* Stream, const uint8_t* Buffer,
                                      bool Encrypt, int CrcMode, int64_t Count, int DoCrc);
    // Decrypt (when asked) into a private buffer and write: output of extractors.
    virtual int64_t DecryptWriteBlock(TArcStream* File, TArcStream* Stream, const uint8_t* Buffer,
                                      bool Decrypt, int CrcMode, int64_t Count, int DoCrc);
    // Write by WriteMode with ASCII translation when set; a short write raises
    // 25136; DoCrc 1 updates the CRC over the caller's bytes. Result: Count.
    int64_t WriteBlock(TArcStream* File, const uint8_t* Buffer, int DoCrc, int64_t Count, int CrcMode,
                       TArcStream* Stream);

protected:
    void UpdateRunningCrc(const uint8_t* buffer, int64_t count, int crcMode);
    bool IsZipCipherType() const;

    bool FAsciiTranslation = false;
    TArcStream* FMemoryStream = nullptr;
    TArcStream* FUserStream = nullptr;
    const uint8_t* FMemoryPointer = nullptr;
    int64_t FMemoryLeft = 0;
    uint8_t FWriteMode = rwFile;
    uint8_t FReadMode = rwFile;
    uint32_t FCrc32 = 0xFFFFFFFFu;
    uint16_t FCrc16 = 0;
    bool FLastWasCR = false; // ASCII translation: the previous block ended with a carriage return
    std::vector<uint8_t> FCryptBuffer;
    TZipKeys FZipKeys;
};

} // namespace mv
