#pragma once
// The attribute filter of the writers: which DOS attributes a file may carry to
// be taken. The Booleans and the mask ftFileAttr are kept in step by the setters.
#include <cstdint>

namespace mv {

class TArcFileAttr {
public:
    TArcFileAttr();

    int ftFileAttr() const { return FftFileAttr; }
    bool ftArchive() const { return FftArchive; }
    bool ftDirectory() const { return FftDirectory; }
    bool ftTemporary() const { return FftTemporary; }
    bool ftHidden() const { return FftHidden; }
    bool ftReadOnly() const { return FftReadOnly; }
    bool ftVolumeID() const { return FftVolumeID; }
    bool ftSysFile() const { return FftSysFile; }
    bool ftCompressed() const { return FftCompressed; }
    bool ftZeroAttr() const { return FftZeroAttr; }
    bool ftAnyFile() const { return FftAnyFile; }

    // 0, the low six bits all set, or bit 0x80 mean any file; otherwise the
    // Booleans are taken from the bits.
    void SetftFileAttr(int Value);
    void SetftArchive(bool Value);
    void SetftDirectory(bool Value);
    void SetftHidden(bool Value);
    void SetftReadOnly(bool Value);
    void SetftVolumeID(bool Value);
    void SetftSysFile(bool Value);
    void SetftZeroAttr(bool Value);
    void SetftAnyFile(bool Value);
    // ftCompressed is always true and ftTemporary always false.
    void SetftCompressed(bool) {}
    void SetftTemporary(bool) {}

    // Copies the Booleans (archive, hidden, read-only, system, compressed, folder,
    // volume, temporary, zero) of another filter; the mask follows them.
    void Assign(const TArcFileAttr& Source);

private:
    void StoreFlag(bool& field, bool Value);
    void Recompute();
    void TakeFromBits(int bits);

    int FftFileAttr = 63;
    bool FftArchive = true;
    bool FftDirectory = true;
    bool FftTemporary = false;
    bool FftHidden = true;
    bool FftReadOnly = true;
    bool FftVolumeID = true;
    bool FftSysFile = true;
    bool FftCompressed = true;
    bool FftZeroAttr = true;
    bool FftAnyFile = true;
};

} // namespace mv
