#pragma once
// TUUDecode decodes a uuencoded or xxencoded text file into the one file it
// carries, following the text across further part files (data.uue, data.uu2,
// ... or f.001, f.002, ...) when it is split.
#include "archive/framework/ArcOptions.h"
#include "archive/readers/UnBase.h"

#include <cstdint>
#include <string>

namespace mv {

class TUUDecode : public TUnBase {
public:
    TUUDecode();
    ~TUUDecode() override;

    int MaxHeaderLines() const { return FMaxHeaderLines; }
    void SetMaxHeaderLines(int v) { FMaxHeaderLines = v; }
    TNextVolumeName NextVolumeName() const { return FNextVolumeName; }
    void SetNextVolumeName(TNextVolumeName v) { FNextVolumeName = v; }
    bool VolumeLongFilenames() const { return FVolumeLongFilenames; }
    void SetVolumeLongFilenames(bool v) { FVolumeLongFilenames = v; }
    uint8_t VolumeStartNum() const { return FVolumeStartNum; }
    void SetVolumeStartNum(uint8_t v) { FVolumeStartNum = v > 10 ? 10 : v; }

    // The name of part `number` of `name` by NextVolumeName.
    std::string PartName(const std::string& name, int number) const;

protected:
    void ExtractArchive(std::unique_ptr<TArcStream>& file, TArcStream* stream) override;

private:
    int FMaxHeaderLines = 100;
    TNextVolumeName FNextVolumeName = TNextVolumeName::nvChangeExt;
    bool FVolumeLongFilenames = false;
    uint8_t FVolumeStartNum = 1;
};

} // namespace mv
