#pragma once
// The GZip writer: one .gz file per source file, each a single gzip member
// (RFC 1952) holding the bare file name, the file's modification time in Unix
// seconds and one deflate stream. A member is always method 8: a file that does
// not shrink is carried in stored deflate blocks, and an empty file gets the
// empty final block, so every file written passes gzip -t.
//
// The writer does not build an archive of entries: it runs its own loop over
// the found files, each target written beside the archive name into a temporary
// file and renamed over an existing one only when complete.
//
// Also here: the source and packed-output hooks the writers (ZIP, GZip, LHA, BH)
// hand to their encoders, and the name and method helpers they share.
#include "archive/codecs/Deflate.h"
#include "archive/writers/CompBase.h"

#include <functional>
#include <string>
#include <vector>

namespace mv {

class TZipKeys;

// A source file read by an encoder: keeps the running CRC-32 (from CrcSeed, not
// inverted) and CRC-16 (from 0) and the byte count, and reports progress. A
// writer that needs only the CRC-32 says so (withCrc16 false): Crc16 stays 0.
// A read failure throws ECodecError 25236.
class TWriterSource : public CodecInput {
public:
    TWriterSource(platform::File& file, std::function<void(size_t)> onRead, bool withCrc16 = true)
        : FFile(file), FOnRead(std::move(onRead)), FWithCrc16(withCrc16) {}
    size_t Read(uint8_t* buf, size_t n) override;
    uint32_t Crc32 = 0xFFFFFFFFu;
    uint16_t Crc16 = 0;
    uint64_t Total = 0;

private:
    platform::File& FFile;
    std::function<void(size_t)> FOnRead;
    bool FWithCrc16;
};

// The output file of a writer: counts the bytes and encrypts them (into a
// buffer of its own) when keys are given.
class TWriterOutput : public CodecOutput {
public:
    TWriterOutput(platform::File& out, TZipKeys* keys, const bool& cancel)
        : FOut(out), FKeys(keys), FCancel(cancel) {}
    void Write(const uint8_t* buf, size_t n) override;
    bool Cancelled() const override { return FCancel; }
    uint64_t Count = 0;

private:
    platform::File& FOut;
    TZipKeys* FKeys;
    const bool& FCancel;
    std::vector<uint8_t> FCrypt;
};

// Copies in to out unchanged until the source ends or out is cancelled: the
// stored method of the writers. Answers false when a cancel stopped it.
bool StoreStream(CodecInput& in, CodecOutput& out);

// True for the extensions of archive files, which are stored rather than
// compressed again (.EXE is compressed all the same).
bool IsAlreadyCompressedName(const std::string& name);

// A stored name made safe: "\" and "/" both separate, empty and "." parts are
// dropped, so it is never absolute. Empty when a ".." part or a control
// character would make it unsafe to extract.
std::string SafeStoredName(const std::string& name);

class TGZip : public TCompBase {
public:
    TGZip();
    ~TGZip() override;
    // atGZip when ArchiveFile is set; the default extension is added to an
    // archive name with another extension.
    void SetArcType(TArcType value) override;

protected:
    void CompressArchive() override;
    // The one file a gzip file holds: its stored name (else the archive's name
    // without its extension), sizes, CRC and date from its header and trailer.
    void ListExistingEntries() override;
    // Writes the member of one source; false (reported) when it failed.
    bool CompressOne(const std::string& source);

    TDeflateEncoder FEncoder;
    size_t FRunIndex = 0; // the place of the file being compressed in the run
};

} // namespace mv
