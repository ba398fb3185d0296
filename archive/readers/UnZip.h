#pragma once
// TUnZIP extracts the members of ZIP archives (plain, self-extracting or with a
// prefix, split into numbered parts, encrypted with the traditional cipher);
// TUnJar, the same for JAR archives. The members are collected from the central
// directory (or, when there is none, from the local headers), then each is read
// from its local header, decrypted, decoded by its method and checked against
// its CRC-32 before its output is put in place.
#include "archive/readers/UnBase.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mv {

class TZipVolumes;

class TUnZIP : public TUnBase {
public:
    TUnZIP();
    ~TUnZIP() override;

    // One collected member (in archive order).
    struct TZipMember {
        uint16_t Flags = 0;
        uint16_t Method = 0;
        uint32_t DosDate = 0;
        uint32_t Crc = 0;
        int64_t PackedSize = 0; // as stored: includes the 12-byte encryption header
        int64_t UnpackedSize = 0;
        uint32_t Attributes = 32; // external attributes of the central record
        int64_t UnixTime = -1;    // from an extended timestamp, when the record has one
        int Disk = 0;             // volume that holds the local header
        int64_t Offset = 0;       // of the local header in that volume
        std::string RawName;      // the stored bytes
        std::string Name;         // UTF-8
    };

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;
    // The common detection, and beyond it two ZIP forms it cannot place: the
    // last part of a set split into numbered files (name.zip after name.z01...,
    // which starts in the middle of a member; its end record names a later
    // disk) and an archive behind bytes that are no known stub (its directory
    // stands right before its end record).
    void DetectArcType() override;

private:
    bool CollectFromCentral(TZipVolumes& volumes, std::vector<TZipMember>& members);
    void CollectFromLocal(TZipVolumes& volumes, std::vector<TZipMember>& members);
    // True when the member is to be collected; stops the collection after one exact name.
    bool Select(const TZipMember& m, bool& stop);
    // Extracts one member; false when the whole extraction is to end.
    bool ExtractMember(TZipVolumes& volumes, const TZipMember& m);
    // The password chain for one member: 1 accepted, 0 none accepted (go on
    // without it), -1 none accepted and the extraction ends.
    int AcceptPassword(const TZipMember& m, uint16_t localFlags, uint32_t localTime, uint32_t localCrc,
                       const uint8_t header[12]);
    bool TestPassword(const TZipMember& m, uint16_t localFlags, uint32_t localTime, uint32_t localCrc,
                      const uint8_t header[12], const std::string& password);
    // Brings disk N (0-based) of a set spanned over removable disks into the
    // drive: OnGetZipFirstDisk or OnGetZipNextDisk until the disk's label names
    // it and the archive is on it. False when cancelled or without a handler.
    bool RequestDisk(TDiskManager& drive, int disk);
    bool FSingleExact = false;
};

class TUnJar : public TUnZIP {};

} // namespace mv
