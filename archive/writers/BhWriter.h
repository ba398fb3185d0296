#pragma once
// The BH writer: creates and updates BH archives on the writer driver. Each
// entry is a 37-byte header, the name with "/" separators, then (encrypted
// entries) the 12-byte traditional zip encryption header, then the data:
// stored, deflated, or fused (the -lh5- stream plus one zero byte). Packing that
// does not gain falls back to storing. The flags of each entry are computed for
// that entry alone. Entries of the old archive stay byte for byte.
#include "archive/codecs/Deflate.h"
#include "archive/writers/CompBase.h"

namespace mv {

class TBlakHole : public TCompBase {
public:
    TBlakHole();
    ~TBlakHole() override;
    // atBh when ArchiveFile is set; the default extension is added to a name without one.
    void SetArcType(TArcType value) override;

protected:
    bool CompressFile(size_t index) override;
    // The stored form of a new entry's name: OEM where every character has an
    // OEM form that cannot be taken for UTF-8, else UTF-8; empty when refused (reported).
    std::string StoredName(const std::string& path, const std::string& name);
    int GetHeaderSize() override { return 37; }
    void ScanExistingEntries() override;
    void ReportNewEntries() override;
    bool EncryptsEntries() const override { return true; }
    void FillEntryInfo(const THeadObject& head) override;

    TDeflateEncoder FEncoder;
};

} // namespace mv
