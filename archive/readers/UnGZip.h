#pragma once
// TUnGZIP extracts the data of a gzip file (every member, appended members
// continuing the same output) or of a unix compress (.Z) file. When UnTar
// names a tar reader and the output is a tar archive, that reader goes on to
// extract it (a .tgz or .tar.gz in one step); the intermediate .tar stays.
#include "archive/readers/UnBase.h"
#include "archive/readers/UnTar.h"

#include <cstdint>
#include <memory>
#include <string>

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
    // The one output of a gzip or .Z file.
    struct TOutput {
        std::string Name;       // as OnBegin announced it
        std::string ReportName; // the name events and errors give it
        std::string Target;     // the output file
        uint32_t DosDate = 0;
        int64_t UnixTime = -1; // the same to the second (-1: none)
        std::unique_ptr<TArcStream> Out;
    };
    // SetFileName(o.Name), DecideMember and the output opened: false when there
    // is to be no output (an unusable name is reported, a refused folder too).
    bool BeginOutput(TOutput& o, int64_t fileSize);
    // Puts the output in place when ok (it is removed otherwise), tells OnEnd
    // (without it a failed check is reported) and extracts a tar inside. Answers ok.
    bool EndOutput(TOutput& o, TArcStream* stream, bool ok, bool checkFailed);
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
