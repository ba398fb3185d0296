#pragma once
// The LHA writer: creates and updates LHA/LZH archives on the writer driver.
// New entries get level-0 headers (22 fixed bytes, the name, the CRC-16 of the
// data) and are packed with -lh5- (default) or -lh1-, or stored as -lh0- when
// packing does not gain, the file is empty, or it is already an archive.
// Entries of the old archive stay byte for byte whatever their header level,
// so level-1 and level-2 archives made by other tools can be added to.
#include "archive/writers/CompBase.h"

namespace mv {

class TLha : public TCompBase {
public:
    TLha();
    ~TLha() override;
    // atLha when ArchiveFile is set; the default extension is added to a name without one.
    void SetArcType(TArcType value) override;

protected:
    bool CompressFile(size_t index) override;
    int GetHeaderSize() override { return 24; }
    void ScanExistingEntries() override;
    void WriteTrailer() override;
    void ReportNewEntries() override;
    void FillEntryInfo(const THeadObject& head) override;
};

} // namespace mv
