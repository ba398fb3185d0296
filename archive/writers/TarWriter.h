#pragma once
// The TAR writer: adds files to new or existing tar archives on the writer
// driver, and with cmGzipTar hands the finished tar to the GZip writer, which
// replaces it by a .tar.gz. A tar.gz named with a gzip extension (.tgz, .gz)
// keeps that name. An existing gzip file is not updated (its entries would be
// lost): the writer refuses it before writing anything.
//
// Each new entry is a ustar header zeroed for that entry (mode 100666, owner 0,
// size, Unix modification time in UTC seconds) followed by the data padded to
// 512 bytes. A name longer than the 100-byte field goes before the header in a
// GNU long-name record, which GNU tar, bsdtar and 7-Zip read. The archive ends
// with two zero blocks. Entries of the old archive stay byte for byte, long-name
// and extended headers included.
#include "archive/writers/CompBase.h"

namespace mv {

class TTar : public TCompBase {
public:
    TTar();
    ~TTar() override;
    // Always atTar; the default extension is added to a name without one.
    void SetArcType(TArcType value) override;

protected:
    void CompressArchive() override;
    bool CompressFile(size_t index) override;
    int GetHeaderSize() override { return 512; }
    void ScanExistingEntries() override;
    void WriteTrailer() override;
    void ReportNewEntries() override;
    void FillEntryInfo(const THeadObject& head) override;
    void AfterCompress() override;
    // A gzipped tar answers the names its tar held before it was gzipped.
    bool ReadBackNames(std::unordered_set<std::string>& names) override;

private:
    std::unordered_set<std::string> FTarNames;
    bool FTarNamesRead = false;
};

} // namespace mv
