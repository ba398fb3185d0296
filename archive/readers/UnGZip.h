#pragma once
// TUnGZIP extracts the data of a gzip file (every member, appended members
// continuing the same output) or of a unix compress (.Z) file. When UnTar
// names a tar reader and the output is a tar archive, that reader goes on to
// extract it (a .tgz or .tar.gz in one step); the intermediate .tar stays.
#include "archive/readers/UnBase.h"
#include "archive/readers/UnTar.h"

#include <memory>

namespace mv {

class TUnGZIP : public TUnBase {
public:
    TUnGZIP();
    ~TUnGZIP() override;

    TUnTAR* UnTar() const { return FUnTar; }
    void SetUnTar(TUnTAR* v) { FUnTar = v; }

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;

private:
    bool ExtractGZip(TArcStream& file, TArcStream* stream, uint16_t magic);
    bool ExtractCompress(TArcStream& file, TArcStream* stream);
    // The output name when the member stores none: the archive's name without its extension.
    std::string DefaultName() const;
    void RunUnTar(const std::string& tarFile);
    TUnTAR* FUnTar = nullptr;
    std::unique_ptr<TUnTAR> FOwnedUnTar;

    friend std::unique_ptr<TUnBase> NewGZipReader();
};

// A gzip reader that extracts a tar archive inside through a tar reader of its own.
std::unique_ptr<TUnBase> NewGZipReader();

} // namespace mv
