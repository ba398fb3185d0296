#pragma once
// The zip writer component's entry records: one entry (TZipHeaderInfo), the end
// record (TEndCentral), the sorted entry lists (TSortedZip), the bytes in which
// the component writes its local and central headers and end record, and the
// validated search for the end record of an existing archive.
//
// An entry read from an archive keeps the bytes of its stored name, its central
// extra field and its comment exactly as they were, so that an entry carried
// over into a new archive is copied byte for byte; the decoded name (UTF-8,
// "/" between folders) serves for matching and display only.
#include "zipwriter/BufferStream.h"
#include "zipwriter/ObjectList.h"

#include <cstdint>
#include <optional>
#include <string>

namespace mv {

class TZipHeaderInfo : public TObject {
public:
    TZipHeaderInfo() = default;

    uint16_t VersionMadeBy = 20;
    uint16_t VersionNeeded = 20;
    uint16_t Flags = 0;
    uint16_t Method = 8;
    uint32_t DateTime = 0;
    uint32_t Crc32 = 0xFFFFFFFF;
    uint32_t CompressedSize = 0;
    uint32_t UncompressedSize = 0;
    uint16_t CentralExtraLength = 0;
    uint16_t LocalExtraLength = 0;
    uint16_t DiskNumberStart = 0;
    uint16_t InternalAttributes = 1;
    uint32_t ExternalAttributes = 32;
    uint32_t LocalHeaderOffset = 0;
    uint32_t CentralHeaderOffset = 0;

    const std::string& FileName() const { return FFileName; }
    const std::string& Directory() const { return FDirectory; }
    // Folder and name as stored, "/" between folders.
    std::string FullName() const { return FDirectory + FFileName; }
    void SetFileName(const std::string& s);
    // A non-empty folder gets a final "/".
    void SetDirectory(const std::string& s);
    // Bytes of the stored name: kept as read for an entry from an archive;
    // otherwise the OEM form, or UTF-8 (flag bit 11) when some character has none.
    const std::string& StoredName() const { return FStoredName; }
    uint16_t NameLength() const { return static_cast<uint16_t>(FStoredName.size()); }

    uint16_t CommentLength() const { return FCommentLength; }
    bool CommentLoaded() const { return FComment.has_value(); }
    const std::string& Comment() const;
    void SetComment(const std::optional<std::string>& text);
    bool HasComment() const { return FCommentLength != 0; }
    bool HasDataDescriptor() const { return (Flags & 0x0008) != 0; }

    uint32_t LocalSize() const { return 30u + NameLength() + LocalExtraLength; }
    uint32_t CentralSize() const { return 46u + NameLength() + CentralExtraLength + FCommentLength; }

    void Assign(const TZipHeaderInfo& source);

    // Writes the local header (sets LocalHeaderOffset to the stream position);
    // no extra field bytes: a new entry has none.
    void SaveLocalToStream(TS_BufferStream& stream);
    // Writes the central header with the kept extra field and the comment.
    void SaveCentralToStream(TS_BufferStream& stream) const;
    // Reads one central header at offset of a directory held in memory; false
    // when it is not there whole.
    bool ReadCentralFromBytes(const std::string& bytes, size_t& offset);
    // Reads a local header at the stream's position (false, position kept, when none).
    bool ReadLocalFromStream(TS_BufferStream& stream);

    // Set for an entry read from an archive: the bytes from its local header
    // to the end of its data (and descriptor), found by the validation of an update.
    bool FromArchive = false;
    uint64_t LocalSpan = 0;
    std::string CentralExtra;

private:
    void EncodeName();
    std::string FFileName;
    std::string FDirectory;
    std::string FStoredName;
    std::optional<std::string> FComment;
    uint16_t FCommentLength = 0;
};

class TEndCentral : public TObject {
public:
    uint32_t Signature = 0x06054B50;
    uint16_t ThisDisk = 0;
    uint16_t StartDisk = 0;
    uint16_t EntriesOnDisk = 0;
    uint16_t TotalEntries = 0;
    uint32_t CentralSize = 0;
    uint32_t CentralOffset = 0;
    uint16_t CommentLength = 0;
    std::optional<std::string> Comment;
    int64_t CommentOffset = 0;
    // A comment of the archive or of an entry was changed and not yet written.
    bool Pending = false;

    void Clear();
    void Assign(const TEndCentral& source);
    void SetComment(const std::string& text);
    uint32_t Size() const { return 22u + CommentLength; }
    void SaveToStream(TS_BufferStream& stream) const;
};

class TSortedZip : public TSortedObjectList {
public:
    TSortedZip(TZipSortMode mode, bool owns, TDuplicates duplicates)
        : TSortedObjectList(owns, duplicates), FSortMode(mode) {}
    int Compare(const TObject* a, const TObject* b) const override;
    TZipSortMode SortMode() const { return FSortMode; }
    TZipHeaderInfo* Item(int i) const { return static_cast<TZipHeaderInfo*>(Get(i)); }

private:
    TZipSortMode FSortMode;
};

// What the end-record search found.
enum class TEndSearch {
    esFound,
    esEmpty,    // an empty file: an archive without entries
    esNotFound, // no valid end record
    esZip64,    // the archive needs Zip64 records, which this component cannot update
};

// Finds the end record in the last 65557 bytes of file. A candidate is taken
// only when its comment ends inside the file and, for a one-part archive, its
// central directory lies before it and begins with a central header; candidates
// that end exactly at the end of the file win over ones followed by junk.
// endPosition receives where the record stands.
TEndSearch FindEndCentral(TEndCentral& record, TS_BufferStream& file, int64_t& endPosition);

} // namespace mv
