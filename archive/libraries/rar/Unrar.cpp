// Our RAR library (see Unrar.h): archive walking for RAR 1.5-4 blocks and RAR5
// headers, volume sets, AES decryption of headers and data, and member output
// through our own decompressors.
#include "archive/libraries/rar/Unrar.h"

#include "archive/formats/rar/RarFormat.h"
#include "archive/framework/Bytes.h"
#include "archive/framework/TextUtils.h"
#include "archive/libraries/VolumeFile.h"
#include "archive/libraries/rar/RarCrc.h"
#include "archive/libraries/rar/RarCrypt.h"
#include "archive/libraries/rar/RarUnpack.h"
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace mv::unrar {

namespace {

constexpr uint64_t kMaxSfxSearch = uint64_t(4) << 20;

// ---------------------------------------------------------------- files

using libraries::VolumeFile;

struct VolumeError {
    int code;
};

} // namespace

// ---------------------------------------------------------------- the archive

struct RarEntry {
    std::string rawName, utf8Name;
    uint32_t flags = 0;
    uint64_t packSize = 0, unpSize = 0;
    uint32_t hostOS = 0, fileCRC = 0, fileTime = 0, attr = 0;
    uint32_t unpVer = 0, method = 0;
    bool directory = false, encrypted = false, splitBefore = false, splitAfter = false, solid = false;
    bool crcPresent = true;
    int crcKind = kCrcPlain;
    uint64_t dataPos = 0;
    uint64_t dictSize = 0;
    // RAR 2.9 encryption
    bool hasSalt = false;
    uint8_t salt[8] = {};
    // RAR5 encryption
    unsigned lg2 = 0;
    uint8_t salt5[16] = {}, iv5[16] = {}, check5[12] = {};
    bool checkPresent = false, useMac = false;
    bool unknownCrypt = false;
};

struct RarArchive {
    std::string arcName;
    VolumeFile file;
    bool rar5 = false;
    uint64_t sfxOffset = 0;
    uint64_t nextPos = 0;
    bool volume = false, solid = false, newNumbering = false, headersEncrypted = false;
    bool endSeen = false, endNextVolume = false;
    bool lastSplitAfter = false;
    RarEntry cur;
    bool haveCur = false, curProcessed = true;
    RARChangeVolProc volProc;
    RARProcessDataProc dataProc;
    std::string password;
    bool passwordSet = false;
    RarUnpack unpack;
    bool solidBroken = false;
    bool listOnly = false;
    // header encryption
    uint8_t hdrSalt5[16] = {};
    unsigned hdrLg2 = 0;
    bool hdrCheckPresent = false;
    uint8_t hdrCheck5[12] = {};
    std::map<std::string, std::vector<uint8_t>> keyCache;

    bool Key30(const uint8_t salt[8], uint8_t key[16], uint8_t iv[16]) {
        std::string id = "3" + password + '\0' + std::string(reinterpret_cast<const char*>(salt), 8);
        auto it = keyCache.find(id);
        if (it == keyCache.end()) {
            std::vector<uint8_t> v(32);
            DeriveKey30(password, salt, v.data(), v.data() + 16);
            it = keyCache.emplace(id, v).first;
        }
        std::memcpy(key, it->second.data(), 16);
        std::memcpy(iv, it->second.data() + 16, 16);
        return true;
    }
    Rar5Keys Key50(const uint8_t salt[16], unsigned lg2) {
        std::string id(1, '5');
        id += std::to_string(lg2);
        id += password;
        id.push_back('\0');
        id.append(reinterpret_cast<const char*>(salt), 16);
        auto it = keyCache.find(id);
        if (it == keyCache.end()) {
            Rar5Keys k = DeriveKey50(password, salt, lg2);
            std::vector<uint8_t> v(sizeof(Rar5Keys));
            std::memcpy(v.data(), &k, sizeof(k));
            it = keyCache.emplace(id, v).first;
        }
        Rar5Keys k;
        std::memcpy(&k, it->second.data(), sizeof(k));
        return k;
    }

    int OpenVolume(const std::string& name);
    int ReadBlock(RarEntry& e, bool& gotFile);
    int ReadBlock4(RarEntry& e, bool& gotFile);
    int ReadBlock5(RarEntry& e, bool& gotFile);
    int ReadEncryptedHeader(uint64_t at, uint64_t encSize, const Aes& aes, const uint8_t iv[16],
                            std::vector<uint8_t>& h);
    int NextVolume();
    int Process(int operation);
};

namespace {

// Finds the marker; RAR 1.5-4 "Rar!\x1a\x07\x00", RAR5 "Rar!\x1a\x07\x01\x00" (also
// behind a self-extracting module).
bool FindSignature(const VolumeFile& f, uint64_t& offset, bool& rar5) {
    std::vector<uint8_t> buf(1 << 16);
    uint64_t pos = 0;
    uint64_t limit = std::min<uint64_t>(f.Size(), kMaxSfxSearch);
    while (pos < limit) {
        size_t n = f.ReadAt(pos, buf.data(), buf.size());
        if (n < 7) return false;
        for (size_t i = 0; i + RarMarkSize <= n; ++i) {
            if (const int mark = RarMarkAt(buf.data() + i, n - i)) {
                offset = pos + i;
                rar5 = mark == 5;
                return true;
            }
        }
        if (n < buf.size()) return false;
        pos += n - 8;
    }
    return false;
}

} // namespace

int RarArchive::OpenVolume(const std::string& name) {
    if (!file.Open(name)) return ERAR_EOPEN;
    arcName = name;
    bool isRar5 = false;
    uint64_t off = 0;
    if (!FindSignature(file, off, isRar5)) return ERAR_BAD_ARCHIVE;
    rar5 = isRar5;
    sfxOffset = off;
    nextPos = off + (rar5 ? Rar5MarkSize : RarMarkSize);
    endSeen = endNextVolume = false;
    headersEncrypted = false;
    if (!rar5) {
        uint8_t h[RarMainHeaderSize];
        if (file.ReadAt(nextPos, h, sizeof h) < sizeof h) return ERAR_EREAD;
        uint16_t flags = 0, size = 0;
        if (!ReadRarMainHeader(h, flags, size)) return ERAR_BAD_ARCHIVE;
        volume = flags & RarMainVolume;
        solid = flags & RarMainSolid;
        newNumbering = flags & RarMainNewNumbering;
        headersEncrypted = flags & RarMainEncryptedHeaders;
        nextPos += size;
    } else {
        newNumbering = true;
        // The main header and an optional encryption header come first; ReadBlock5 handles them.
    }
    unpack.SetSolidArchive(solid);
    return RAR_SUCCESS;
}

int RarArchive::NextVolume() {
    std::string proposed = RarNextVolumeName(arcName, newNumbering);
    char buf[kVolumeNameSize];
    std::memset(buf, 0, sizeof(buf));
    std::strncpy(buf, proposed.c_str(), sizeof(buf) - 1);
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (VolumeFile::Exists(buf)) {
            bool wasSolid = solid;
            int r = OpenVolume(buf);
            if (r != RAR_SUCCESS) return r == ERAR_EOPEN ? ERAR_BROKEN_VOLUMES : r;
            solid = wasSolid || solid;
            unpack.SetSolidArchive(solid);
            if (volProc) {
                int answer = volProc(buf, RAR_VOL_NOTIFY);
                if (answer == 0 || answer == -1) return ERAR_BROKEN_VOLUMES;
            }
            return RAR_SUCCESS;
        }
        if (!volProc) return ERAR_BROKEN_VOLUMES;
        int answer = volProc(buf, RAR_VOL_ASK);
        buf[sizeof(buf) - 1] = 0;
        if (answer == 0 || answer == -1) return ERAR_BROKEN_VOLUMES;
    }
    return ERAR_BROKEN_VOLUMES;
}

// ---------------------------------------------------------------- encrypted headers

// Reads and decrypts the encSize bytes (whole AES blocks) of an encrypted header at `at`.
// A header running past the end of the file is garbage from a wrong key.
int RarArchive::ReadEncryptedHeader(uint64_t at, uint64_t encSize, const Aes& aes, const uint8_t iv[16],
                                    std::vector<uint8_t>& h) {
    if (at + encSize > file.Size()) return ERAR_BAD_PASSWORD;
    std::vector<uint8_t> enc(encSize);
    if (file.ReadAt(at, enc.data(), encSize) < encSize) return ERAR_EREAD;
    h.resize(encSize);
    aes.DecryptCbc(iv, enc.data(), h.data(), size_t(encSize));
    return RAR_SUCCESS;
}

// ---------------------------------------------------------------- RAR 1.5-4 blocks

int RarArchive::ReadBlock4(RarEntry& e, bool& gotFile) {
    uint64_t pos = nextPos;
    std::vector<uint8_t> h;
    uint64_t dataStart;
    if (headersEncrypted) {
        uint8_t salt[8], key[16], iv[16];
        if (file.ReadAt(pos, salt, 8) < 8) return ERAR_EREAD;
        Key30(salt, key, iv);
        uint8_t first[16];
        if (file.ReadAt(pos + 8, first, 16) < 16) {
            endSeen = true;
            return ERAR_END_ARCHIVE;
        }
        Aes aes;
        aes.SetDecryptKey(key, 128);
        uint8_t plain[16];
        aes.DecryptCbc(iv, first, plain, 16);
        const uint32_t headSize = ReadRarBlockBase(plain).HeadSize;
        if (headSize < RarBlockBaseSize) return ERAR_BAD_PASSWORD;
        uint32_t encSize = (headSize + 15) & ~15u;
        if (int r = ReadEncryptedHeader(pos + 8, encSize, aes, iv, h)) return r;
        h.resize(headSize);
        uint32_t crc = Crc32(0, h.data() + 2, headSize - 2) & 0xffff;
        if (crc != LE16(h.data())) return ERAR_BAD_PASSWORD;
        dataStart = pos + 8 + encSize;
    } else {
        uint8_t base[RarBlockBaseSize];
        const size_t got = file.ReadAt(pos, base, sizeof base);
        if (got < sizeof base) {
            // Nothing after the last block is the end; part of a header is an archive cut short.
            endSeen = true;
            return got == 0 ? ERAR_END_ARCHIVE : ERAR_EREAD;
        }
        const uint32_t headSize = ReadRarBlockBase(base).HeadSize;
        if (headSize < RarBlockBaseSize) return ERAR_BAD_DATA;
        h.resize(headSize);
        if (file.ReadAt(pos, h.data(), headSize) < headSize) return ERAR_EREAD;
        dataStart = pos + headSize;
    }
    const TRarBlockBase base = ReadRarBlockBase(h.data());
    const uint8_t type = base.Type;
    const uint32_t flags = base.Flags;
    if ((type == RarFileBlock || type == RarSubBlock || (flags & RarBlockLongData)) && h.size() < 11)
        return ERAR_BAD_DATA;
    const uint64_t addSize = RarBlockDataSize(h.data(), h.size());
    if (type == RarFileBlock) {
        TRarFileHeader f;
        if (!ReadRarFileHeader(h.data(), h.size(), f)) return ERAR_BAD_DATA;
        if (!headersEncrypted && !RarFileHeaderCrcMatches(h.data(), h.size())) return ERAR_BAD_DATA;
        e = RarEntry();
        e.packSize = f.PackSize;
        e.unpSize = f.UnpSize;
        e.hostOS = f.HostOS;
        e.fileCRC = f.FileCrc;
        e.fileTime = f.FileTime;
        e.unpVer = f.UnpVer;
        e.method = f.Method;
        e.attr = f.Attr;
        if (flags & RarFileUnicode) // without the OEM part the name is UTF-8
            e.utf8Name = f.NameHasNul ? f.UnicodeName : f.Name;
        e.rawName = f.Name;
        if (e.utf8Name.empty() && e.hostOS == 3 && IsValidUtf8(f.Name)) e.utf8Name = f.Name;
        if (f.HasSalt) {
            std::memcpy(e.salt, f.Salt, 8);
            e.hasSalt = true;
        }
        e.flags = flags & 0xff;
        e.splitBefore = flags & RarFileSplitBefore;
        e.splitAfter = flags & RarFileSplitAfter;
        e.encrypted = flags & RarFileEncrypted;
        e.solid = flags & RarFileSolid;
        e.directory = f.IsDirectory();
        e.dictSize = uint64_t(4) << 20;
        e.dataPos = dataStart;
        // A member split over volumes carries its CRC in its last part: we check it.
        e.crcKind = e.splitAfter ? kCrcByLibrary : kCrcPlain;
        uint64_t next = dataStart + e.packSize;
        if (next < dataStart) return ERAR_BAD_DATA;
        nextPos = next;
        lastSplitAfter = e.splitAfter;
        gotFile = true;
        return RAR_SUCCESS;
    }
    if (type == RarEndBlock) {
        endSeen = true;
        endNextVolume = flags & RarEndNextVolume;
        return ERAR_END_ARCHIVE;
    }
    uint64_t next = dataStart + addSize;
    if (next <= pos) return ERAR_BAD_DATA;
    nextPos = next;
    return RAR_SUCCESS;
}

// ---------------------------------------------------------------- RAR5 headers

int RarArchive::ReadBlock5(RarEntry& e, bool& gotFile) {
    uint64_t pos = nextPos;
    std::vector<uint8_t> h;
    uint64_t dataStart;
    if (headersEncrypted) {
        Rar5Keys k = Key50(hdrSalt5, hdrLg2);
        if (hdrCheckPresent && std::memcmp(k.pswCheck, hdrCheck5, 8) != 0) return ERAR_BAD_PASSWORD;
        uint8_t iv[16], first[16];
        if (file.ReadAt(pos, iv, 16) < 16 || file.ReadAt(pos + 16, first, 16) < 16) {
            endSeen = true;
            return ERAR_END_ARCHIVE;
        }
        Aes aes;
        aes.SetDecryptKey(k.key, 256);
        uint8_t plain[16];
        aes.DecryptCbc(iv, first, plain, 16);
        uint64_t size = 0;
        size_t prefix = 0;
        if (!ReadRar5HeaderSize(plain, sizeof plain, size, prefix) || size > Rar5MaxHeaderSize)
            return ERAR_BAD_PASSWORD;
        uint64_t total = prefix + size;
        uint64_t encSize = (total + 15) & ~uint64_t(15);
        if (int r = ReadEncryptedHeader(pos + 16, encSize, aes, iv, h)) return r;
        h.resize(total);
        dataStart = pos + 16 + encSize;
    } else {
        uint8_t head[14];
        size_t got = file.ReadAt(pos, head, 14);
        uint64_t size = 0;
        size_t prefix = 0;
        if (!ReadRar5HeaderSize(head, got, size, prefix)) {
            endSeen = true;
            // Nothing after the last block is the end; part of a header is an archive cut short.
            return got == 0 ? ERAR_END_ARCHIVE : got < 14 ? ERAR_EREAD : ERAR_BAD_DATA;
        }
        if (size > Rar5MaxHeaderSize || size == 0) return ERAR_BAD_DATA;
        uint64_t total = prefix + size;
        h.resize(total);
        if (file.ReadAt(pos, h.data(), total) < total) return ERAR_EREAD;
        dataStart = pos + total;
    }
    TRar5Header hd;
    const bool fieldsOk = ReadRar5Header(h.data(), h.size(), hd);
    if (!hd.CrcMatches) return headersEncrypted ? ERAR_BAD_PASSWORD : ERAR_BAD_DATA;
    if (!fieldsOk) return ERAR_BAD_DATA;
    uint64_t next = dataStart + hd.DataSize;
    if (next < dataStart) return ERAR_BAD_DATA;
    TByteCursor b(h.data() + hd.FieldsAt, h.size() - hd.FieldsAt);
    switch (hd.Type) {
    case Rar5MainHeader: {
        uint64_t aflags = b.VarInt();
        volume = aflags & Rar5ArchiveVolume;
        solid = aflags & Rar5ArchiveSolid;
        unpack.SetSolidArchive(solid);
        break;
    }
    case Rar5CryptHeader: { // archive encryption: every later header is encrypted
        TRar5Crypt crypt;
        if (!ReadRar5CryptHeader(h.data(), h.size(), hd, crypt)) return ERAR_UNKNOWN_FORMAT;
        if (!crypt.Complete) return ERAR_BAD_DATA;
        std::memcpy(hdrSalt5, crypt.Salt, 16);
        hdrLg2 = crypt.Lg2Count;
        hdrCheckPresent = crypt.CheckPresent;
        if (hdrCheckPresent) {
            std::memcpy(hdrCheck5, crypt.Check, 12);
            Sha256 sh;
            sh.Update(hdrCheck5, 8);
            auto d = sh.Final();
            if (std::memcmp(d.data(), hdrCheck5 + 8, 4) != 0) hdrCheckPresent = false;
        }
        headersEncrypted = true;
        break;
    }
    case Rar5EndHeader: {
        uint64_t eflags = b.VarInt();
        endSeen = true;
        endNextVolume = eflags & 0x01;
        nextPos = next;
        return ERAR_END_ARCHIVE;
    }
    case Rar5FileHeader: {
        TRar5File f;
        if (!ReadRar5File(h.data(), h.size(), hd, f) || f.Name.size() > 0x10000) return ERAR_BAD_DATA;
        e = RarEntry();
        e.unpSize = f.UnpSize;
        e.attr = uint32_t(f.Attributes);
        bool haveTime = f.FileFlags & Rar5FileHasTime;
        uint32_t mtime = f.MTime;
        if (f.HasExtraTime && f.ExtraTime >= 0) {
            mtime = uint32_t(std::min<int64_t>(f.ExtraTime, 0xffffffff));
            haveTime = true;
        }
        e.crcPresent = f.FileFlags & Rar5FileHasCrc;
        e.fileCRC = f.Crc;
        const uint64_t comp = f.CompInfo;
        e.utf8Name = f.Name;
        std::replace(e.utf8Name.begin(), e.utf8Name.end(), '/', '\\');
        e.rawName = e.utf8Name;
        e.hostOS = f.HostOS == 0 ? 2 : f.HostOS == 1 ? 3 : uint32_t(f.HostOS);
        uint32_t algo = uint32_t(comp & 0x3f);
        e.method = 0x30 + uint32_t((comp >> 7) & 7);
        e.unpVer = algo == 0 ? 50 : algo == 1 ? 70 : 1000 + algo;
        e.solid = comp & 0x40;
        uint32_t dictBits = uint32_t((comp >> 10) & (algo == 0 ? 0x0f : 0x1f));
        uint64_t dict = uint64_t(0x20000) << std::min<uint32_t>(dictBits, 40);
        if (algo == 1) dict += dict / 32 * ((comp >> 15) & 0x1f);
        e.dictSize = dict;
        e.directory = f.FileFlags & Rar5FileDirectory;
        e.splitBefore = hd.Flags & Rar5SplitBefore;
        e.splitAfter = hd.Flags & Rar5SplitAfter;
        e.packSize = hd.DataSize;
        if (f.Encrypted) {
            e.encrypted = true;
            e.lg2 = f.Crypt.Lg2Count;
            if (!f.Crypt.Complete) {
                e.unknownCrypt = true;
            } else {
                std::memcpy(e.salt5, f.Crypt.Salt, 16);
                std::memcpy(e.iv5, f.Crypt.Iv, 16);
                e.checkPresent = f.Crypt.CheckPresent;
                e.useMac = f.Crypt.Flags & 0x02;
                if (e.checkPresent) {
                    std::memcpy(e.check5, f.Crypt.Check, 12);
                    Sha256 sh;
                    sh.Update(e.check5, 8);
                    auto d = sh.Final();
                    if (std::memcmp(d.data(), e.check5 + 8, 4) != 0) e.checkPresent = false;
                }
            }
        }
        e.fileTime = platform::DosDateTimeOf(haveTime ? mtime : 0);
        e.flags = (e.splitBefore ? uint32_t(RHDF_SPLITBEFORE) : 0u) |
                  (e.splitAfter ? uint32_t(RHDF_SPLITAFTER) : 0u) |
                  (e.encrypted ? uint32_t(RHDF_ENCRYPTED) : 0u) | (e.solid ? uint32_t(RHDF_SOLID) : 0u) |
                  (e.directory ? uint32_t(RHDF_DIRECTORY) : 0u);
        e.crcKind = e.splitAfter                ? kCrcByLibrary
                    : !e.crcPresent             ? kCrcNone
                    : (e.encrypted && e.useMac) ? kCrcByLibrary
                                                : kCrcPlain;
        e.dataPos = dataStart;
        nextPos = next;
        lastSplitAfter = e.splitAfter;
        gotFile = true;
        return RAR_SUCCESS;
    }
    default: // service headers (comments, quick open, recovery) and unknown ones
        break;
    }
    if (!b.Ok()) return ERAR_BAD_DATA;
    nextPos = next;
    return RAR_SUCCESS;
}

// Reads the next block of either format (ReadBlock4, ReadBlock5); both start here.
int RarArchive::ReadBlock(RarEntry& e, bool& gotFile) {
    gotFile = false;
    uint64_t before = nextPos;
    if (before + 7 > file.Size()) {
        // Nothing after the last block is the end; part of a header is an archive cut short.
        endSeen = true;
        return before >= file.Size() ? ERAR_END_ARCHIVE : ERAR_EREAD;
    }
    if (headersEncrypted && !passwordSet) return ERAR_BAD_PASSWORD;
    int r = rar5 ? ReadBlock5(e, gotFile) : ReadBlock4(e, gotFile);
    if (r == RAR_SUCCESS && nextPos <= before) return ERAR_BAD_DATA; // a walk must move forward
    return r;
}

// ---------------------------------------------------------------- member data

namespace {

// The packed data of one member, following it into later volumes.
class PackedInput : public CodecInput {
public:
    PackedInput(RarArchive& a, RarEntry& e) : arc(a), entry(e), pos(e.dataPos), left(e.packSize) {}
    size_t Read(uint8_t* buf, size_t n) override {
        size_t done = 0;
        while (done < n) {
            if (left == 0) {
                if (!entry.splitAfter) break;
                NextPart();
                continue;
            }
            size_t want = size_t(std::min<uint64_t>(left, n - done));
            size_t got = arc.file.ReadAt(pos, buf + done, want);
            if (got == 0) {
                truncated = true;
                break;
            }
            pos += got;
            left -= got;
            done += got;
        }
        return done;
    }
    bool truncated = false;

private:
    void NextPart() {
        if (!(arc.endSeen && arc.endNextVolume) && !arc.volume) throw VolumeError{ERAR_BROKEN_VOLUMES};
        int r = arc.NextVolume();
        if (r != RAR_SUCCESS) throw VolumeError{r};
        // The continuation's file header comes first in the new volume.
        for (int guard = 0; guard < 64; ++guard) {
            RarEntry next;
            bool got = false;
            int rr = arc.ReadBlock(next, got);
            if (rr != RAR_SUCCESS) throw VolumeError{rr == ERAR_END_ARCHIVE ? ERAR_BROKEN_VOLUMES : rr};
            if (!got) continue;
            if (!next.splitBefore) throw VolumeError{ERAR_BROKEN_VOLUMES};
            entry.splitAfter = next.splitAfter;
            entry.fileCRC = next.fileCRC;
            entry.crcPresent = next.crcPresent;
            pos = next.dataPos;
            left = next.packSize;
            return;
        }
        throw VolumeError{ERAR_BROKEN_VOLUMES};
    }
    RarArchive& arc;
    RarEntry& entry;
    uint64_t pos, left;
};

struct StopRequested {};

// Decoded data: the CRC and the data callback, which takes the bytes where they go.
class MemberOutput : public CodecOutput {
public:
    explicit MemberOutput(const RARProcessDataProc& proc) : proc(proc) {}
    void Write(const uint8_t* buf, size_t n) override {
        crc = Crc32(crc, buf, n);
        written += n;
        if (proc) {
            size_t done = 0;
            while (done < n) {
                int k = int(std::min<size_t>(n - done, 1 << 20));
                int answer = proc(const_cast<unsigned char*>(buf + done), k);
                if (answer == 0 || answer == -1) {
                    stopped = true;
                    throw StopRequested{};
                }
                done += size_t(k);
            }
        }
    }
    bool Cancelled() const override { return stopped; }
    uint32_t crc = 0;
    uint64_t written = 0;
    bool stopped = false;

private:
    const RARProcessDataProc& proc;
};

int MapCodecError(int code) {
    switch (code) {
    case kErrTruncated:
        return ERAR_EREAD;
    case kErrUnsupported:
        return ERAR_UNKNOWN_FORMAT;
    case kErrMemory:
        return ERAR_NO_MEMORY;
    default:
        return ERAR_BAD_DATA;
    }
}

} // namespace

int RarArchive::Process(int operation) {
    if (!haveCur || curProcessed) return ERAR_END_ARCHIVE;
    curProcessed = true;
    RarEntry& e = cur;
    RarEntry asRead = cur; // a member refused for its password can be tried again from here
    bool stored = e.method == 0x30;
    // Skipping inside a solid stream decodes, so the next member finds its dictionary;
    // an archive opened for listing never decodes.
    bool decodeForSolid = !stored && solid && !e.directory && operation == RAR_SKIP && !listOnly;
    if (e.directory) return RAR_SUCCESS;
    if (operation == RAR_SKIP && listOnly && solid && !stored) solidBroken = true; // later members lack it
    if (operation == RAR_SKIP && !decodeForSolid) {
        if (!e.splitAfter) return RAR_SUCCESS; // the next header read starts after the data
        // Walk through the continuation parts without decoding.
        try {
            PackedInput in(*this, e);
            std::vector<uint8_t> sink(1 << 16);
            while (in.Read(sink.data(), sink.size()) > 0) {
            }
        } catch (const VolumeError& v) {
            return v.code;
        }
        return RAR_SUCCESS;
    }
    // What we cannot decode at all.
    bool rar5 = e.unpVer == 50 || e.unpVer == 70;
    if (!stored && e.unpVer != 15 && e.unpVer != 20 && e.unpVer != 26 && e.unpVer != 29 && e.unpVer != 36 &&
        !rar5)
        return ERAR_UNKNOWN_FORMAT;
    if (e.encrypted) {
        if (e.unknownCrypt) return ERAR_UNKNOWN_FORMAT;
        if (!rar5 && e.unpVer < 29) return ERAR_UNKNOWN_FORMAT; // the RAR 1.5 and 2.0 ciphers
        if (!passwordSet || password.empty()) {
            curProcessed = false;
            return ERAR_BAD_PASSWORD;
        }
    }
    if (solidBroken && e.solid && !stored) return ERAR_BAD_DATA;

    MemberOutput out(dataProc);
    int result = RAR_SUCCESS;
    Rar5Keys keys5{};
    try {
        PackedInput packed(*this, e);
        CodecInput* input = &packed;
        std::unique_ptr<AesCbcInput> decrypt;
        if (e.encrypted) {
            if (rar5) {
                keys5 = Key50(e.salt5, e.lg2);
                if (e.checkPresent && std::memcmp(keys5.pswCheck, e.check5, 8) != 0) {
                    curProcessed = false;
                    return ERAR_BAD_PASSWORD;
                }
                decrypt = std::make_unique<AesCbcInput>(packed, keys5.key, 256, e.iv5);
            } else {
                if (!e.hasSalt) return ERAR_UNKNOWN_FORMAT;
                uint8_t key[16], iv[16];
                Key30(e.salt, key, iv);
                decrypt = std::make_unique<AesCbcInput>(packed, key, 128, iv);
            }
            input = decrypt.get();
        }
        if (stored) {
            std::vector<uint8_t> buf(1 << 16);
            uint64_t left = e.unpSize;
            while (left > 0) {
                size_t n = input->Read(buf.data(), size_t(std::min<uint64_t>(left, buf.size())));
                if (n == 0) break;
                out.Write(buf.data(), n);
                left -= n;
            }
        } else {
            if (rar5) unpack.SetDictionary(e.dictSize);
            unpack.Unpack(int(e.unpVer), e.solid, *input, out, e.unpSize);
        }
        if (packed.truncated)
            result = ERAR_EREAD;
        else if (out.written != e.unpSize && !out.stopped)
            result = e.encrypted && !rar5 ? ERAR_BAD_PASSWORD : ERAR_BAD_DATA;
    } catch (const VolumeError& v) {
        result = v.code;
    } catch (const StopRequested&) {
        result = ERAR_BAD_DATA;
    } catch (const ECodecError& c) {
        result = MapCodecError(c.Code());
        // Without a password check value, undecodable encrypted data means a wrong password.
        if (e.encrypted && !(rar5 && e.checkPresent) && (result == ERAR_BAD_DATA || result == ERAR_EREAD))
            result = ERAR_BAD_PASSWORD;
    } catch (const std::bad_alloc&) {
        result = ERAR_NO_MEMORY;
    }
    if (out.stopped && result == RAR_SUCCESS) result = ERAR_BAD_DATA;
    if (result != RAR_SUCCESS && !stored) {
        unpack.Reset();
        solidBroken = solid;
    }
    if (result == RAR_SUCCESS) {
        // Keyed and encrypted checks are ours to make; a plain CRC is left to the caller.
        if (e.crcPresent && e.encrypted) {
            uint32_t expect = e.fileCRC;
            uint32_t got = (rar5 && e.useMac) ? Rar5MacCrc(keys5.hashKey, out.crc) : out.crc;
            if (got != expect) result = rar5 && e.checkPresent ? ERAR_BAD_DATA : ERAR_BAD_PASSWORD;
        } else if (e.crcPresent && e.crcKind == kCrcByLibrary && out.crc != e.fileCRC) {
            result = ERAR_BAD_DATA;
        }
    }
    if (result == ERAR_BAD_PASSWORD && !asRead.splitAfter && !(asRead.solid && solidBroken)) {
        cur = asRead;
        curProcessed = false;
    }
    return result;
}

// ---------------------------------------------------------------- the calls

RarHandle RAROpenArchive(RAROpenArchiveData* data) {
    if (!data) return nullptr;
    auto a = std::make_unique<RarArchive>();
    int r;
    try {
        r = a->OpenVolume(data->ArcName);
    } catch (const std::bad_alloc&) {
        r = ERAR_NO_MEMORY;
    }
    data->OpenResult = r;
    if (r != RAR_SUCCESS) return nullptr;
    a->listOnly = data->OpenMode == RAR_OM_LIST;
    return a.release();
}

int RARCloseArchive(RarHandle handle) {
    delete handle;
    return RAR_SUCCESS;
}

int RARReadHeader(RarHandle a, RARHeaderData* header) {
    if (!a || !header) return ERAR_BAD_ARCHIVE;
    try {
        if (a->haveCur && !a->curProcessed) {
            // The member was not processed (or refused for its password): pass over it.
            int r = a->Process(RAR_SKIP);
            if (r == ERAR_BROKEN_VOLUMES || r == ERAR_NO_MEMORY) return r;
            if (r != RAR_SUCCESS && a->solid) a->solidBroken = true;
            a->curProcessed = true;
        }
        a->haveCur = false;
        for (int guard = 0; guard < 1000000; ++guard) {
            RarEntry e;
            bool gotFile = false;
            int r = a->ReadBlock(e, gotFile);
            if (r == ERAR_END_ARCHIVE) {
                bool more = a->endSeen && a->endNextVolume;
                if (!more && a->volume && a->lastSplitAfter) more = true;
                if (!more) return ERAR_END_ARCHIVE;
                int v = a->NextVolume();
                if (v != RAR_SUCCESS) return v;
                continue;
            }
            if (r != RAR_SUCCESS) return r;
            if (!gotFile) continue;
            if (e.splitBefore) {
                // The rest of a member that began in an earlier volume, reached without
                // its beginning: pass over it.
                a->lastSplitAfter = e.splitAfter;
                continue;
            }
            a->cur = e;
            a->haveCur = true;
            a->curProcessed = false;
            header->ArcName = a->arcName;
            header->FileName = e.rawName;
            header->FileNameW = e.utf8Name;
            header->Flags = e.flags;
            header->PackSize = e.packSize;
            header->UnpSize = e.unpSize;
            header->HostOS = e.hostOS;
            header->FileCRC = e.fileCRC;
            header->FileTime = e.fileTime;
            header->UnpVer = e.unpVer;
            header->Method = e.method;
            header->FileAttr = e.attr;
            header->CrcKind = e.crcKind;
            return RAR_SUCCESS;
        }
        return ERAR_BAD_DATA;
    } catch (const std::bad_alloc&) {
        return ERAR_NO_MEMORY;
    } catch (const VolumeError& v) {
        return v.code;
    }
}

int RARProcessFile(RarHandle a, int operation) {
    if (!a) return ERAR_BAD_ARCHIVE;
    try {
        return a->Process(operation);
    } catch (const std::bad_alloc&) {
        return ERAR_NO_MEMORY;
    } catch (...) {
        return ERAR_BAD_DATA;
    }
}

void RARSetChangeVolProc(RarHandle a, RARChangeVolProc proc) {
    if (a) a->volProc = std::move(proc);
}

void RARSetProcessDataProc(RarHandle a, RARProcessDataProc proc) {
    if (a) a->dataProc = std::move(proc);
}

void RARSetPassword(RarHandle a, const char* password) {
    if (!a) return;
    a->password = password ? password : "";
    a->passwordSet = password != nullptr;
}

std::string RarNextVolumeName(const std::string& name, bool newNumbering) {
    std::string s = name;
    size_t slash = s.rfind('/');
    size_t dot = s.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = s.size();
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (newNumbering) {
        // Increment the last group of digits before the extension ("x.part09.rar" -> "x.part10.rar").
        size_t i = dot;
        while (i > nameStart && !digit(s[i - 1])) --i;
        if (i > nameStart) {
            for (size_t k = i; k > nameStart; --k) {
                char& c = s[k - 1];
                if (!digit(c)) {
                    s.insert(s.begin() + static_cast<std::ptrdiff_t>(k), '1');
                    return s;
                }
                if (c < '9') {
                    ++c;
                    return s;
                }
                c = '0';
            }
            s.insert(s.begin() + static_cast<std::ptrdiff_t>(nameStart), '1');
            return s;
        }
    }
    std::string ext = dot < s.size() ? s.substr(dot + 1) : std::string();
    std::string lower = ext;
    for (auto& c : lower) c = char(std::tolower(uint8_t(c)));
    if (ext.size() != 3 || lower == "rar" || lower == "exe" ||
        !(std::isdigit(uint8_t(ext[1])) && std::isdigit(uint8_t(ext[2])))) {
        bool upper = !ext.empty() && std::isupper(uint8_t(ext[0]));
        return s.substr(0, dot) + (upper ? ".R00" : ".r00");
    }
    // ".r00" -> ".r01" ... ".r99" -> ".s00"
    int num = (ext[1] - '0') * 10 + (ext[2] - '0') + 1;
    char letter = ext[0];
    if (num > 99) {
        num = 0;
        letter = char(letter + 1);
    }
    std::string out = s.substr(0, dot + 1);
    out += letter;
    out += char('0' + num / 10);
    out += char('0' + num % 10);
    return out;
}

} // namespace mv::unrar
