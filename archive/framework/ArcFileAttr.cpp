#include "archive/framework/ArcFileAttr.h"

namespace mv {

namespace {
enum : int {
    bitReadOnly = 0x01,
    bitHidden = 0x02,
    bitSysFile = 0x04,
    bitVolume = 0x08,
    bitDirectory = 0x10,
    bitArchive = 0x20
};
}

TArcFileAttr::TArcFileAttr() {
    Recompute();
}

void TArcFileAttr::TakeFromBits(int bits) {
    FftReadOnly = (bits & bitReadOnly) != 0;
    FftHidden = (bits & bitHidden) != 0;
    FftSysFile = (bits & bitSysFile) != 0;
    FftVolumeID = (bits & bitVolume) != 0;
    FftDirectory = (bits & bitDirectory) != 0;
    FftArchive = (bits & bitArchive) != 0;
}

void TArcFileAttr::Recompute() {
    if (FftAnyFile) {
        FftFileAttr = 63;
    } else {
        FftFileAttr = (FftReadOnly ? bitReadOnly : 0) | (FftHidden ? bitHidden : 0) |
                      (FftSysFile ? bitSysFile : 0) | (FftVolumeID ? bitVolume : 0) |
                      (FftDirectory ? bitDirectory : 0) | (FftArchive ? bitArchive : 0);
    }
    TakeFromBits(FftFileAttr);
    FftCompressed = true;
    FftTemporary = false;
    if (FftAnyFile) FftZeroAttr = true;
}

void TArcFileAttr::SetftFileAttr(int Value) {
    FftAnyFile = Value == 0 || (Value & 63) == 63 || (Value & 0x80) != 0;
    if (!FftAnyFile) TakeFromBits(Value);
    Recompute();
}

void TArcFileAttr::StoreFlag(bool& field, bool Value) {
    field = Value;
    bool allTrue = FftArchive && FftHidden && FftReadOnly && FftSysFile && FftVolumeID && FftZeroAttr;
    bool allFalse = !FftArchive && !FftHidden && !FftReadOnly && !FftSysFile && !FftVolumeID && !FftZeroAttr;
    if (allTrue || allFalse)
        FftAnyFile = true;
    else if (!Value)
        FftAnyFile = false;
    Recompute();
}

void TArcFileAttr::SetftArchive(bool Value) {
    StoreFlag(FftArchive, Value);
}
void TArcFileAttr::SetftDirectory(bool Value) {
    StoreFlag(FftDirectory, Value);
}
void TArcFileAttr::SetftHidden(bool Value) {
    StoreFlag(FftHidden, Value);
}
void TArcFileAttr::SetftReadOnly(bool Value) {
    StoreFlag(FftReadOnly, Value);
}
void TArcFileAttr::SetftVolumeID(bool Value) {
    StoreFlag(FftVolumeID, Value);
}
void TArcFileAttr::SetftSysFile(bool Value) {
    StoreFlag(FftSysFile, Value);
}
void TArcFileAttr::SetftZeroAttr(bool Value) {
    StoreFlag(FftZeroAttr, Value);
}

void TArcFileAttr::SetftAnyFile(bool Value) {
    FftAnyFile = Value;
    Recompute();
}

void TArcFileAttr::Assign(const TArcFileAttr& Source) {
    FftArchive = Source.FftArchive;
    FftHidden = Source.FftHidden;
    FftReadOnly = Source.FftReadOnly;
    FftSysFile = Source.FftSysFile;
    FftCompressed = Source.FftCompressed;
    FftDirectory = Source.FftDirectory;
    FftVolumeID = Source.FftVolumeID;
    FftTemporary = Source.FftTemporary;
    FftZeroAttr = Source.FftZeroAttr;
    FftFileAttr = (FftReadOnly ? bitReadOnly : 0) | (FftHidden ? bitHidden : 0) |
                  (FftSysFile ? bitSysFile : 0) | (FftVolumeID ? bitVolume : 0) |
                  (FftDirectory ? bitDirectory : 0) | (FftArchive ? bitArchive : 0);
}

} // namespace mv
