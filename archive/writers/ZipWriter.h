#pragma once
// The ZIP and JAR writers: add, replace and delete entries of ZIP archives on
// the writer driver. New entries are stored or deflated, with the traditional
// encryption when a password is set; entries of the old archive that stay are
// copied byte for byte, local header, extra fields, data and data descriptor
// alike, and keep their central records (extra field and comment included).
//
// Zip64 is not written: a file of 4 GiB or more, an archive that would pass
// 4 GiB or 65535 entries is refused with 25256 and the old archive stays.
#include "archive/codecs/Deflate.h"
#include "archive/framework/ZipRecords.h"
#include "archive/writers/CompBase.h"

#include <string>
#include <vector>

namespace mv {

class TZip : public TCompBase {
public:
    TZip();
    ~TZip() override;
    // Fixes the type: atZip (atJar for TJar), and adds the default extension.
    void SetArcType(TArcType value) override;

protected:
    bool CompressFile(size_t index) override;
    bool DeflatesAhead(const THeadObject& head, TDeflateOptions& options) const override;
    int GetHeaderSize() override { return static_cast<int>(ZipLocalHeaderSize); }
    void ScanExistingEntries() override;
    void CopyEntry(size_t index) override;
    void WriteTrailer() override;
    void ReportNewEntries() override;
    void ListExistingEntries() override;
    bool FileTooLarge(uint64_t size) const override { return NeedsZip64(size); }
    bool EncryptsEntries() const override { return true; }
    // On a removable disk where the new archive does not fit: spread it over
    // several disks (SpanArchive); otherwise as the driver does.
    bool ReplaceArchive() override;
    // Writes the finished temporary archive over disks: the spanning marker
    // first, each entry's local header offset and disk number as on its disk,
    // the directory and end record after the last entry. Each disk is labelled
    // "PKBACK# " and its number; a full disk asks for the next through
    // OnInsertDiskette, after the written data was pushed to the medium.
    void SpanArchive();
    void OldEntryFacts(const THeadObject& head, uint32_t& date, uint64_t& size,
                       uint32_t& attr) const override;

    // One entry of the old archive as found by its central record and its own
    // local header.
    struct TOldEntry {
        std::vector<uint8_t> Central; // the central record with name, extra field and comment
        TZipCentralRecord Record;
        std::string Name;    // the system's form ("\" between folders)
        int64_t Offset = 0;  // the local header in the old file
        uint64_t Length = 0; // local header to the end of the data descriptor
    };
    // Reads the central directory of the old archive (raises on a damaged one).
    void ReadOldDirectory(std::vector<TOldEntry>& entries);
    // Fills the current entry from a central record.
    void SetEntryInfo(const uint8_t* central, const std::string& name);

    // A spanned set has only its last disk in the drive: it is read back there
    // when written, and the names of the set stand for the archive's.
    bool ReadBackNames(std::unordered_set<std::string>& names) override;
    bool FSpanned = false;
    std::unordered_set<std::string> FSpanNames;

    std::vector<uint8_t> FArchiveComment;
    TDeflateEncoder FEncoder;
};

class TJar : public TZip {
public:
    TJar();
    void SetArcType(TArcType value) override;
};

} // namespace mv
