#include "archive/framework/DiskManager.h"

#include "archive/framework/SharedRoutines.h"

#include <cerrno>
#include <climits>
#include <cstdio>

namespace mv {

using namespace platform;

namespace {

const char* const kDriveTypeNames[] = {"Unknown", "None", "Floppy",           "Fixed",           "Network",
                                       "CD-ROM",  "RAM",  "3\xC2\xBD Floppy", "5\xC2\xBC Floppy"};

uint8_t TypeOfKind(DriveKind kind) {
    switch (kind) {
    case DriveKind::NoRoot:
        return TDiskManager::dtNoRoot;
    case DriveKind::Removable:
        return TDiskManager::dtRemovable;
    case DriveKind::Fixed:
        return TDiskManager::dtFixed;
    case DriveKind::Remote:
        return TDiskManager::dtRemote;
    case DriveKind::CdRom:
        return TDiskManager::dtCdRom;
    case DriveKind::RamDisk:
        return TDiskManager::dtRamDisk;
    default:
        return TDiskManager::dtUnknown;
    }
}

} // namespace

std::string TDiskManager::DriveTypeNameOf(uint8_t Index) {
    return Index < 9 ? kDriveTypeNames[Index] : kDriveTypeNames[0];
}

void TDiskManager::SetDrive(const std::string& Drive) {
    FDrive = Drive;
    ReadDiskInfo();
}

uint8_t TDiskManager::DriveTypeOf(const std::string& Drive) {
    if (Drive.empty()) return dtNoRoot;
    VolumeInfo v;
    int err = 0;
    if (!Fs().GetVolumeInfo(Drive, v, err)) return v.Kind == DriveKind::NoRoot ? dtNoRoot : dtUnknown;
    return TypeOfKind(v.Kind);
}

bool TDiskManager::GetVolumeInfo(const std::string& Drive, TDiskVolumeInfo& Info) {
    Info = TDiskVolumeInfo{};
    if (Drive.empty()) {
        lastError = ENOENT;
        return false;
    }
    VolumeInfo v;
    int err = 0;
    if (!Fs().GetVolumeInfo(Drive, v, err)) {
        lastError = err;
        return false;
    }
    Info.Label = v.Label;
    Info.Serial = v.Serial;
    Info.MaxComponentLength = v.MaxComponentLength;
    Info.FileSystemFlags = v.FileSystemFlags;
    Info.FileSystemName = v.FileSystemName;
    return true;
}

bool TDiskManager::ReadFreeSpace(const std::string& Drive, TDiskSpace& Space) {
    Space = TDiskSpace{};
    VolumeInfo v;
    int err = 0;
    if (Fs().GetVolumeInfo(Drive, v, err) && v.Kind == DriveKind::Remote) return true;
    SpaceInfo s;
    if (!Fs().GetSpace(Drive, s, err)) {
        lastError = err;
        return false;
    }
    uint64_t block = s.BlockSize ? s.BlockSize : 512;
    Space.BytesPerSector = (block % 512 == 0) ? 512u : static_cast<uint32_t>(block);
    Space.SectorsPerCluster = static_cast<uint32_t>(block / Space.BytesPerSector);
    Space.TotalClusters = s.TotalBlocks;
    Space.FreeClusters = s.FreeBlocks;
    uint64_t cluster = uint64_t(Space.BytesPerSector) * Space.SectorsPerCluster;
    Space.TotalBytes = cluster * Space.TotalClusters;
    Space.FreeBytes = cluster * Space.FreeClusters;
    return true;
}

uint8_t TDiskManager::GetMediaType(const std::string&) {
    return 0;
}

bool TDiskManager::ReadFreeSpaceChecked(const std::string& Drive) {
    uint8_t type = (Drive == FDrive && FDriveType != dtUnknown) ? FDriveType : DriveTypeOf(Drive);
    if (type != dtRemovable) return false;
    FMediaType = GetMediaType(Drive);
    for (;;) {
        if (ReadFreeSpace(Drive, FSpace)) return true;
        if (!AskRetry(Drive)) return false;
    }
}

int32_t TDiskManager::DiskNumberFromLabel(const std::string& Label) {
    size_t p = Label.rfind(kSpanLabelMarker);
    if (p == std::string::npos) return 0;
    std::string rest = Label.substr(p + std::string(kSpanLabelMarker).size());
    if (rest.empty() || !IsAllDigits(rest)) return 0;
    int64_t v = 0;
    for (char c : rest) {
        v = v * 10 + (c - '0');
        if (v > INT32_MAX) return 0; // no disk of a set has such a number
    }
    return static_cast<int32_t>(v);
}

std::string TDiskManager::SpanDiskLabel(int Number) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%03d", kSpanLabelMarker, Number);
    return buf;
}

bool TDiskManager::DoAskRetry(const std::string& Text) {
    bool retry = false;
    if (OnAskRetry) OnAskRetry(this, Text, retry);
    return retry;
}

bool TDiskManager::AskRetry(const std::string& Drive) {
    std::string text = AppendBackslash(Drive) + "não está acessível." + "\n\n" + ErrorText(lastError);
    return DoAskRetry(text);
}

bool TDiskManager::ReadDiskInfo() {
    bool result = true;
    TDiskVolumeInfo info;
    for (;;) {
        if (GetVolumeInfo(FDrive, info)) break;
        if (!AskRetry(FDrive)) {
            FReady = false;
            return false;
        }
    }
    FVolumeLabel = info.Label;
    FDiskNumber = DiskNumberFromLabel(info.Label);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", info.Serial);
    FSerialText = hex;
    FSerial = info.Serial;
    FMaxComponentLength = info.MaxComponentLength;
    FFileSystemName = info.FileSystemName;
    FDriveType = DriveTypeOf(FDrive);
    if (FDriveType == dtRemovable) {
        // A cancelled space read means the disk is not ready either.
        result = ReadFreeSpaceChecked(FDrive);
        FDriveTypeName = DriveTypeNameOf(FMediaType);
        FFileSystemFlags = info.FileSystemFlags;
    } else {
        for (;;) {
            if (ReadFreeSpace(FDrive, FSpace)) {
                FDriveTypeName = DriveTypeNameOf(FDriveType);
                FFileSystemFlags = info.FileSystemFlags;
                break;
            }
            if (!AskRetry(FDrive)) {
                result = false;
                break;
            }
        }
    }
    FReady = result;
    return result;
}

bool TDiskManager::SetVolumeLabel(const std::string& NewLabel) {
    if (NewLabel == FVolumeLabel) return true;
    int err = 0;
    if (!Fs().SetVolumeLabel(FDrive, NewLabel, err)) {
        lastError = err;
        return false;
    }
    ReadDiskInfo();
    return FVolumeLabel == NewLabel;
}

} // namespace mv
