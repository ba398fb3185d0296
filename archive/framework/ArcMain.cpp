#include "archive/framework/ArcMain.h"

#include "archive/framework/ArcDetect.h"
#include "archive/framework/ArcFileAttr.h"
#include "archive/framework/ArcFileList.h"
#include "archive/framework/ArcTimer.h"
#include "archive/framework/DiskManager.h"
#include "archive/framework/SharedRoutines.h"

#include <cctype>

namespace mv {

TZipCommon* ActiveArchiveComponent = nullptr;

TArcMain::TArcMain()
    : FFileAttribute(std::make_unique<TArcFileAttr>()), FDiskManager(std::make_unique<TDiskManager>()),
      FTimer(std::make_unique<TArcTimer>()), FFoundFiles(std::make_unique<TArcFileList>()) {}

TArcMain::~TArcMain() = default;

void TArcMain::SetZipCmntBufSize(int v) {
    FZipCmntBufSize = v < 2000 ? 2000 : (v > 32767 ? 32767 : v);
}

void TArcMain::SetArchiveFile(const std::string& value) {
    if (value.empty()) {
        FArchiveFile.clear();
        ActiveArchiveComponent = nullptr;
        FArcType = TArcType::atNA;
        return;
    }
    FFileCount = 0;
    FHeaderPos = 1;
    FArchiveFile = value;
    SetArcType(FArcType);
    SetupVolumeNumbering();
}

void TArcMain::SetArcType(TArcType) {
    DetectArcType();
}

void TArcMain::DetectArcType() {
    // empty name: no type; otherwise the detection fills the fields
    FArcType = TArcType::atNA;
    if (FArchiveFile.empty()) return;
    TArcDetection d;
    d.ArchiveDate = FArchiveDate;
    mv::DetectArcType(FArchiveFile, FZipCmntBufSize, d,
                      [this](const std::string& file) { return DiskManagerDrive(*FDiskManager, file); });
    FArcType = d.ArcType;
    FArchiveSize = d.ArchiveSize;
    FArchiveOffset = d.ArchiveOffset;
    FArchiveDate = d.ArchiveDate;
    FZipProbeFlags = d.ZipProbeFlags;
    FZipEndRecord = d.ZipEndRecord;
    FZipCentralRecord = d.ZipCentralRecord;
    FZipLocalHeader = d.ZipLocalHeader;
}

void TArcMain::SetupVolumeNumbering() {
    bool ace = FArcType == TArcType::atACE;
    bool arj = FArcType == TArcType::atArj;
    bool rar = FArcType == TArcType::atRar || FArcType == TArcType::atRarExe;
    if (!ace && !arj && !rar) {
        FVolumeNumber = 0;
        return;
    }
    FVolumeNumber = 0;
    FVolumeLetter = ace ? 'C' : (arj ? 'a' : 'q');
    if (FArchiveFile.empty()) return;
    // the extension of the file name part, without its dot
    size_t slash = FArchiveFile.find_last_of("/\\");
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = FArchiveFile.find_last_of('.');
    std::string ext;
    if (dot != std::string::npos && dot >= nameStart) ext = FArchiveFile.substr(dot + 1);
    if (ext.empty()) ext = ace ? "Ace" : (arj ? "Arj" : "Rar");
    // names compare exactly on this system: ACE volumes of "x.ace" are "x.c00", ...
    if (ace && ext[0] >= 'a' && ext[0] <= 'z') FVolumeLetter = 'c';
    long number = -1;
    for (size_t i = ext.size(); i-- > 0;) {
        if (!std::isdigit(static_cast<unsigned char>(ext[i]))) continue;
        // the number formed by the characters from this digit to the end (digits only)
        long n = 0;
        bool digits = true;
        for (size_t k = i; k < ext.size(); ++k) {
            if (!std::isdigit(static_cast<unsigned char>(ext[k]))) {
                digits = false;
                break;
            }
            if (n < 100000000) n = n * 10 + (ext[k] - '0');
        }
        if (digits) number = n;
        if (i == ext.size() - 1) FVolumeLetter = ext[0];
    }
    if (number == -1)
        FVolumeNumber = arj ? 1 : 0;
    else
        FVolumeNumber = static_cast<int>(number + 1);
}

void TArcMain::SetDiskDrive() {
    FDiskManager->SetDrive(FArchiveFile.empty() ? std::string(".") : FArchiveFile);
}

} // namespace mv
