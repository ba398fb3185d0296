// Our ACE library (see Unace.h): the block walk with header CRCs, volume sets,
// members split over volumes, decryption and member output through our own
// decompressors.
#include "archive/libraries/ace/Unace.h"

#include "archive/formats/ace/AceFormat.h"
#include "archive/framework/Crc.h"
#include "archive/libraries/VolumeFile.h"
#include "archive/libraries/ace/AceCrypt.h"
#include "archive/libraries/ace/AceDecode.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace mv::unace {

namespace {

// ---------------------------------------------------------------- files

using libraries::VolumeFile;

// Failures raised inside the member input and output, turned into result codes.
struct AceFailure {
    int code;
};

// One block, checked, and where its data begins.
struct Block : TAceBlock {
    uint64_t dataStart = 0; // first byte after the header
};

// Reads the block at pos. ACE_SUCCESS, ACE_END_ARCHIVE (nothing left) or ACE_ERR_HEADER.
int ReadBlock(const VolumeFile& f, uint64_t pos, Block& b) {
    if (pos >= f.Size()) return ACE_END_ARCHIVE;
    uint8_t head[AceBlockHeadSize];
    if (f.ReadAt(pos, head, sizeof head) != sizeof head) return ACE_ERR_HEADER;
    const uint32_t size = AceHeaderSizeOf(head);
    if (size < 3) return ACE_ERR_HEADER;
    std::vector<uint8_t> h(size);
    if (f.ReadAt(pos + AceBlockHeadSize, h.data(), size) != size) return ACE_ERR_HEADER;
    if (!ReadAceBlock(head, h.data(), size, b) || !b.CrcOk) return ACE_ERR_HEADER;
    b.dataStart = pos + AceBlockHeadSize + size;
    return ACE_SUCCESS;
}

// Fills a header record from a file block; false when the block is malformed.
bool ParseFileHeader(const Block& b, ACEHeaderData& hd) {
    TAceFile f;
    if (!ReadAceFile(b, f)) return false;
    hd.Flags = f.Flags;
    hd.PackSize = f.PackSize;
    hd.UnpSize = f.UnpSize;
    hd.FileTime = f.FileTime;
    hd.FileAttr = f.Attr;
    hd.FileCRC = f.Crc;
    hd.Type = f.Method;
    hd.Quality = f.Quality;
    hd.FileName = f.Name;
    return true;
}

struct Part {
    std::string volume;
    uint64_t offset = 0;
    uint64_t size = 0;
};

} // namespace

struct AceArchive {
    VolumeFile file;
    uint64_t nextPos = 0;
    int volumeNum = 0;
    uint32_t hostOS = 0;
    bool solid = false;
    bool multiVolume = false;
    ACEProcessDataProc dataProc;
    ACEChangeVolProc volProc;
    std::string password;
    bool havePassword = false;
    int openMode = ACE_OM_EXTRACT;

    AceDecoder decoder;
    bool solidBroken = false; // a member of the solid stream failed: later ones cannot be trusted
    bool failedPending = false;

    // The member of the last header.
    bool have = false;
    bool processed = true;
    ACEHeaderData hd;
    uint32_t lastCrc = 0;
    uint32_t lastFlags = 0; // flags of the last part found
    std::vector<Part> parts;

    int OpenVolume(const std::string& path, int expectedNum);
    int NextVolume();
    int FindContinuation();
    void SkipRest();
    int Process(int operation);
};

int AceArchive::OpenVolume(const std::string& path, int expectedNum) {
    if (!file.Open(path)) return VolumeFile::Exists(path) ? ACE_ERR_OPEN : ACE_ERR_NOT_FOUND;
    Block b;
    TAceMain main;
    int r = ReadBlock(file, 0, b);
    if (r != ACE_SUCCESS || !ReadAceMain(b, main) || (b.Flags & AceFlagAddSize)) return ACE_ERR_UNSUPPORTED;
    const int num = main.VolumeNumber;
    if (expectedNum >= 0 && num != expectedNum) return ACE_ERR_NOT_FOUND;
    volumeNum = num;
    hostOS = main.Host;
    solid = solid || (main.Flags & AceFlagSolid) != 0;
    multiVolume = (main.Flags & AceFlagMultiVolume) != 0;
    nextPos = b.dataStart;
    return ACE_SUCCESS;
}

std::string AceNextVolumeName(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return name + ".c00";
    const std::string ext = name.substr(dot + 1);
    const bool upper = !ext.empty() && ext[0] >= 'A' && ext[0] <= 'Z';
    int next = 0;
    if (ext.size() >= 3 && (ext[0] == 'c' || ext[0] == 'C') &&
        std::all_of(ext.begin() + 1, ext.end(), [](char c) { return c >= '0' && c <= '9'; }))
        next = std::stoi(ext.substr(1, 6)) + 1;
    std::string num = std::to_string(next);
    if (num.size() < 2) num = "0" + num;
    return name.substr(0, dot + 1) + (upper ? "C" : "c") + num;
}

int AceArchive::NextVolume() {
    const std::string proposed = AceNextVolumeName(file.Name());
    const int expected = volumeNum + 1;
    char buf[kVolumeNameSize];
    std::memset(buf, 0, sizeof(buf));
    std::strncpy(buf, proposed.c_str(), sizeof(buf) - 1);
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (VolumeFile::Exists(buf)) {
            int r = OpenVolume(buf, expected);
            if (r != ACE_SUCCESS) return r;
            if (volProc && volProc(buf, ACE_VOL_NOTIFY) == 0) return ACE_ERR_NOT_FOUND;
            return ACE_SUCCESS;
        }
        if (!volProc || volProc(buf, ACE_VOL_ASK) == 0) return ACE_ERR_NOT_FOUND;
        buf[sizeof(buf) - 1] = 0;
    }
    return ACE_ERR_NOT_FOUND;
}

// The next part of the current member: the first file block of the next volume.
int AceArchive::FindContinuation() {
    int r = NextVolume();
    if (r != ACE_SUCCESS) return r;
    for (;;) {
        Block b;
        r = ReadBlock(file, nextPos, b);
        if (r != ACE_SUCCESS) return r == ACE_END_ARCHIVE ? ACE_ERR_READ : r;
        if (b.IsFile()) {
            ACEHeaderData part;
            if (!ParseFileHeader(b, part) || !(part.Flags & ACE_FLAG_CONTINUED) ||
                part.FileName != hd.FileName)
                return ACE_ERR_HEADER;
            parts.push_back({file.Name(), b.dataStart, part.PackSize});
            lastFlags = part.Flags;
            lastCrc = part.FileCRC;
            nextPos = b.dataStart + part.PackSize;
            return ACE_SUCCESS;
        }
        nextPos = b.dataStart + b.AddSize;
    }
}

void AceArchive::SkipRest() {
    while (have && (lastFlags & ACE_FLAG_CONTINUES))
        if (FindContinuation() != ACE_SUCCESS) {
            lastFlags = 0;
            nextPos = file.Size();
        }
}

namespace {

// The member's packed data, part after part across volumes.
class MemberInput : public CodecInput {
public:
    explicit MemberInput(AceArchive& a) : FArc(a) {}
    size_t Read(uint8_t* buf, size_t n) override {
        for (;;) {
            if (FCur < FArc.parts.size()) {
                const Part& p = FArc.parts[FCur];
                if (FPos < p.size) {
                    if (FIn.Name() != p.volume && !FIn.Open(p.volume)) throw AceFailure{ACE_ERR_OPEN};
                    const size_t k = size_t(std::min<uint64_t>(n, p.size - FPos));
                    const size_t got = FIn.ReadAt(p.offset + FPos, buf, k);
                    if (got != k) throw AceFailure{ACE_ERR_READ};
                    FPos += k;
                    return k;
                }
                if (FCur + 1 < FArc.parts.size()) {
                    ++FCur;
                    FPos = 0;
                    continue;
                }
            }
            if (!(FArc.lastFlags & ACE_FLAG_CONTINUES)) return 0;
            const int r = FArc.FindContinuation();
            if (r != ACE_SUCCESS) throw AceFailure{r};
        }
    }

private:
    AceArchive& FArc;
    VolumeFile FIn;
    size_t FCur = 0;
    uint64_t FPos = 0;
};

// Decrypts whole 8-byte blocks of the member's data as they are read.
class DecryptInput : public CodecInput {
public:
    DecryptInput(CodecInput& in, const std::string& password) : FIn(in) { FCipher.SetPassword(password); }
    size_t Read(uint8_t* buf, size_t n) override {
        if (FPos == FLen) {
            FPos = 0;
            FLen = 0;
            while (FLen < sizeof(FBuf)) {
                size_t r = FIn.Read(FBuf + FLen, sizeof(FBuf) - FLen);
                if (r == 0) break;
                FLen += r;
            }
            if (FLen % 8 != 0) throw AceFailure{ACE_ERR_PASSWORD}; // encrypted data comes in whole blocks
            FCipher.Decrypt(FBuf, FLen);
            if (FLen == 0) return 0;
        }
        const size_t k = std::min(n, FLen - FPos);
        std::memcpy(buf, FBuf + FPos, k);
        FPos += k;
        return k;
    }

private:
    CodecInput& FIn;
    AceCipher FCipher;
    uint8_t FBuf[1 << 15];
    size_t FPos = 0, FLen = 0;
};

// The member's output: the CRC and the data callback, which takes the bytes where they go.
class MemberOutput : public CodecOutput {
public:
    MemberOutput(const ACEProcessDataProc* proc, uint64_t limit) : FProc(proc), FLimit(limit) {}
    void Write(const uint8_t* buf, size_t n) override {
        if (n > FLimit - FDone) throw ECodecError(kErrAceCorrupt, "output beyond the member's size");
        FDone += n;
        UpdateCRC32(buf, n, FCrc);
        if (FProc && *FProc) {
            size_t done = 0;
            while (done < n) {
                const int k = int(std::min<size_t>(n - done, 1 << 20));
                if ((*FProc)(const_cast<uint8_t*>(buf + done), k) == 0) throw AceFailure{ACE_ERR_ABORT};
                done += size_t(k);
            }
        }
    }
    uint32_t Crc() const { return FCrc; }
    uint64_t Done() const { return FDone; }

private:
    const ACEProcessDataProc* FProc;
    uint64_t FLimit;
    uint64_t FDone = 0;
    uint32_t FCrc = CrcSeed;
};

} // namespace

int AceArchive::Process(int operation) {
    if (!have || processed) return ACE_ERR_HEADER;
    const bool encrypted = (hd.Flags & ACE_FLAG_ENCRYPTED) != 0;
    const bool isDir = (hd.FileAttr & 0x10) != 0 && hd.UnpSize == 0;
    const bool decodes = hd.UnpSize > 0 && !isDir;
    // Skipping decodes only where later members need this one's output (a solid stream).
    const bool canDecode = !encrypted || havePassword;
    if (operation == ACE_SKIP && !(solid && decodes && canDecode && openMode != ACE_OM_LIST)) {
        processed = true;
        SkipRest();
        if (solid && decodes && openMode != ACE_OM_LIST) solidBroken = true;
        return ACE_SUCCESS;
    }
    if (!canDecode) {
        failedPending = true;
        return ACE_ERR_PASSWORD;
    }
    AceDecoder::Snapshot snap;
    const bool keepForRetry = encrypted && solid && decodes;
    int result = ACE_SUCCESS;
    try {
        if (keepForRetry) decoder.Save(snap);
        if (!solid) decoder.ResetWindow();
        MemberInput raw(*this);
        std::unique_ptr<DecryptInput> dec;
        CodecInput* in = &raw;
        if (encrypted) {
            dec = std::make_unique<DecryptInput>(raw, password);
            in = dec.get();
        }
        MemberOutput out(operation == ACE_SKIP ? nullptr : &dataProc, hd.UnpSize);
        if (decodes) {
            if (hd.Type == 0) {
                std::vector<uint8_t> buf(1 << 16);
                uint64_t left = hd.UnpSize;
                while (left > 0) {
                    const size_t want = size_t(std::min<uint64_t>(left, buf.size()));
                    size_t got = 0;
                    while (got < want) {
                        size_t r = in->Read(buf.data() + got, want - got);
                        if (r == 0) throw AceFailure{ACE_ERR_READ};
                        got += r;
                    }
                    if (solid) decoder.AppendToWindow(buf.data(), got);
                    out.Write(buf.data(), got);
                    left -= got;
                }
            } else if (solid && solidBroken) {
                result = ACE_ERR_CRC; // an earlier member of the solid stream is missing
            } else {
                decoder.Decode(hd.Type, *in, out, hd.UnpSize);
                if (out.Done() != hd.UnpSize) throw ECodecError(kErrAceCorrupt, "short output");
            }
        }
        if (result == ACE_SUCCESS && out.Crc() != lastCrc)
            result = encrypted ? ACE_ERR_PASSWORD : ACE_ERR_CRC;
    } catch (const AceFailure& f) {
        result = f.code;
    } catch (const ECodecError& e) {
        if (e.Code() == kErrAceUnsupported)
            result = ACE_ERR_UNSUPPORTED;
        else
            result = encrypted ? ACE_ERR_PASSWORD : ACE_ERR_CRC;
    } catch (const std::bad_alloc&) {
        result = ACE_ERR_MEMORY;
    }
    if (result == ACE_ERR_PASSWORD) {
        // The member stays ready for another password.
        if (keepForRetry) decoder.Restore(snap);
        failedPending = true;
        return result;
    }
    processed = true;
    failedPending = false;
    SkipRest();
    if (result != ACE_SUCCESS && solid && decodes) solidBroken = true;
    return result;
}

AceHandle ACEOpenArchive(ACEOpenArchiveData* data) {
    if (!data) return nullptr;
    try {
        auto a = std::make_unique<AceArchive>();
        a->dataProc = data->DataProc;
        a->volProc = data->VolumeProc;
        a->openMode = data->OpenMode;
        const int r = a->OpenVolume(data->ArcName, -1);
        data->OpenResult = r;
        if (r != ACE_SUCCESS) return nullptr;
        return a.release();
    } catch (const std::bad_alloc&) {
        data->OpenResult = ACE_ERR_MEMORY;
        return nullptr;
    }
}

int ACECloseArchive(AceHandle handle) {
    delete handle;
    return ACE_SUCCESS;
}

int ACEReadHeader(AceHandle a, ACEHeaderData* header) {
    if (!a || !header) return ACE_ERR_HEADER;
    try {
        if (a->have && !a->processed) {
            // The caller moves on: an unprocessed member is skipped, a refused one abandoned.
            if (a->failedPending) {
                a->processed = true;
                a->SkipRest();
                if (a->solid) a->solidBroken = true;
            } else {
                a->Process(ACE_SKIP);
            }
        }
        a->failedPending = false;
        a->have = false;
        for (;;) {
            Block b;
            int r = ReadBlock(a->file, a->nextPos, b);
            if (r == ACE_END_ARCHIVE) {
                // The set goes on in the next volume when there is one.
                if (!a->multiVolume || !VolumeFile::Exists(AceNextVolumeName(a->file.Name())))
                    return ACE_END_ARCHIVE;
                r = a->NextVolume();
                if (r != ACE_SUCCESS) return r;
                continue;
            }
            if (r != ACE_SUCCESS) return r;
            if (b.AddSize > a->file.Size() || b.dataStart > a->file.Size() - b.AddSize) {
                // Data beyond the end of the volume: the header is still given, its data read fails.
                if (!(b.IsFile())) return ACE_ERR_READ;
            }
            const uint64_t next = b.dataStart + b.AddSize;
            if (b.IsFile()) {
                ACEHeaderData hd;
                if (!ParseFileHeader(b, hd)) return ACE_ERR_HEADER;
                a->nextPos = next < b.dataStart ? a->file.Size() : next;
                if (hd.Flags & ACE_FLAG_CONTINUED) continue; // the rest of a member of an earlier volume
                hd.ArcName = a->file.Name();
                hd.HostOS = a->hostOS;
                a->hd = hd;
                a->lastCrc = hd.FileCRC;
                a->lastFlags = hd.Flags;
                a->parts.assign(1, Part{a->file.Name(), b.dataStart, hd.PackSize});
                a->have = true;
                a->processed = false;
                *header = hd;
                return ACE_SUCCESS;
            }
            a->nextPos = next < b.dataStart ? a->file.Size() : next;
        }
    } catch (const std::bad_alloc&) {
        return ACE_ERR_MEMORY;
    }
}

int ACEProcessFile(AceHandle a, int operation) {
    if (!a) return ACE_ERR_HEADER;
    return a->Process(operation);
}

void ACESetPassword(AceHandle a, const char* password) {
    if (!a) return;
    a->password = password ? password : "";
    a->havePassword = password && *password;
}

} // namespace mv::unace
