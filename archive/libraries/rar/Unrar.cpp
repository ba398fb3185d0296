// Our RAR library (see Unrar.h): archive walking for RAR 1.5-4 blocks and RAR5
// headers, volume sets, AES decryption of headers and data, and member output
// through our own decompressors.
#include "archive/libraries/rar/Unrar.h"

#include "archive/libraries/rar/RarCrc.h"
#include "archive/libraries/rar/RarCrypt.h"
#include "archive/libraries/rar/RarUnpack.h"
#include "archive/libraries/VolumeFile.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <vector>

namespace mv::unrar {

namespace {

constexpr uint64_t kMaxSfxSearch = uint64_t(4) << 20;
constexpr uint32_t kMaxHeader5 = 0x200000;

// ---------------------------------------------------------------- files

using libraries::VolumeFile;

bool FileExists(const std::string& path) {
    platform::FileInfo info;
    return platform::Fs().StatTarget(path, info) && info.IsRegular;
}

// ---------------------------------------------------------------- bounded parsing

struct Bytes {
    const uint8_t* p;
    size_t n;
    size_t pos = 0;
    bool bad = false;
    uint8_t U8() {
        if (pos + 1 > n) {
            bad = true;
            return 0;
        }
        return p[pos++];
    }
    uint32_t U16() {
        uint32_t a = U8();
        return a | (uint32_t(U8()) << 8);
    }
    uint32_t U32() {
        uint32_t a = U16();
        return a | (U16() << 16);
    }
    uint64_t U64() {
        uint64_t a = U32();
        return a | (uint64_t(U32()) << 32);
    }
    uint64_t VInt() {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            uint8_t b = U8();
            if (bad) return 0;
            v |= uint64_t(b & 0x7f) << shift;
            if (!(b & 0x80)) return v;
        }
        bad = true;
        return 0;
    }
    bool Take(size_t k, const uint8_t*& out) {
        if (k > n - std::min(pos, n) || pos > n) {
            bad = true;
            return false;
        }
        out = p + pos;
        pos += k;
        return true;
    }
};

// ---------------------------------------------------------------- names and times

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xc0 | (c >> 6));
        out += char(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += char(0xe0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3f));
        out += char(0x80 | (c & 0x3f));
    } else {
        out += char(0xf0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3f));
        out += char(0x80 | ((c >> 6) & 0x3f));
        out += char(0x80 | (c & 0x3f));
    }
}

bool ValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        uint8_t c = uint8_t(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((uint8_t(s[i + k]) & 0xc0) != 0x80) return false;
        i += n;
    }
    return true;
}

// The RAR 2.x/3.x Unicode name: a compact encoding of UTF-16 against the OEM name.
std::string DecodeUnicodeName(const uint8_t* name, size_t nameLen, const uint8_t* enc, size_t encSize) {
    std::vector<uint32_t> w;
    size_t encPos = 0;
    const size_t maxDec = 1024;
    auto at = [&](size_t i) -> uint32_t { return i < encSize ? enc[i] : 0; };
    auto oem = [&](size_t i) -> uint32_t { return i < nameLen ? name[i] : 0; };
    if (encSize == 0) return {};
    uint32_t highByte = at(encPos++);
    uint32_t flags = 0;
    int flagBits = 0;
    while (encPos < encSize && w.size() < maxDec) {
        if (flagBits == 0) {
            flags = at(encPos++);
            flagBits = 8;
        }
        switch (flags >> 6) {
        case 0:
            w.push_back(at(encPos++));
            break;
        case 1:
            w.push_back(at(encPos++) + (highByte << 8));
            break;
        case 2:
            w.push_back(at(encPos) + (at(encPos + 1) << 8));
            encPos += 2;
            break;
        case 3: {
            uint32_t length = at(encPos++);
            if (length & 0x80) {
                uint32_t correction = at(encPos++);
                for (length = (length & 0x7f) + 2; length > 0 && w.size() < maxDec; --length)
                    w.push_back(((oem(w.size()) + correction) & 0xff) + (highByte << 8));
            } else {
                for (length += 2; length > 0 && w.size() < maxDec; --length) w.push_back(oem(w.size()));
            }
            break;
        }
        }
        flags = (flags << 2) & 0xff;
        flagBits -= 2;
    }
    std::string out;
    for (size_t i = 0; i < w.size(); ++i) {
        uint32_t c = w[i];
        if (c == 0) break;
        if (c >= 0xd800 && c < 0xdc00 && i + 1 < w.size() && w[i + 1] >= 0xdc00 && w[i + 1] < 0xe000) {
            c = 0x10000 + ((c - 0xd800) << 10) + (w[i + 1] - 0xdc00);
            ++i;
        }
        AppendUtf8(out, c);
    }
    return out;
}

uint32_t UnixToDos(int64_t t) {
    time_t tt = time_t(t);
    struct tm tmv;
    if (!localtime_r(&tt, &tmv)) return (0u << 25) | (1 << 21) | (1 << 16);
    int year = tmv.tm_year + 1900;
    if (year < 1980) return (1u << 21) | (1u << 16);
    if (year > 2107) year = 2107;
    return (uint32_t(year - 1980) << 25) | (uint32_t(tmv.tm_mon + 1) << 21) | (uint32_t(tmv.tm_mday) << 16) |
           (uint32_t(tmv.tm_hour) << 11) | (uint32_t(tmv.tm_min) << 5) | uint32_t(tmv.tm_sec / 2);
}

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
        std::string id = "5" + std::to_string(lg2) + password + '\0' +
                         std::string(reinterpret_cast<const char*>(salt), 16);
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
        for (size_t i = 0; i + 7 <= n; ++i) {
            if (buf[i] == 'R' && buf[i + 1] == 'a' && buf[i + 2] == 'r' && buf[i + 3] == '!' &&
                buf[i + 4] == 0x1a && buf[i + 5] == 0x07) {
                if (buf[i + 6] == 0) {
                    offset = pos + i;
                    rar5 = false;
                    return true;
                }
                if (buf[i + 6] == 1 && i + 8 <= n && buf[i + 7] == 0) {
                    offset = pos + i;
                    rar5 = true;
                    return true;
                }
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
    nextPos = off + (rar5 ? 8 : 7);
    endSeen = endNextVolume = false;
    headersEncrypted = false;
    if (!rar5) {
        // The main header: CRC(2) type(1) flags(2) size(2) reserved(6).
        uint8_t h[13];
        if (file.ReadAt(nextPos, h, 13) < 13) return ERAR_EREAD;
        if (h[2] != 0x73) return ERAR_BAD_ARCHIVE;
        uint32_t flags = h[3] | (h[4] << 8), size = h[5] | (h[6] << 8);
        if (size < 13) return ERAR_BAD_ARCHIVE;
        volume = flags & 0x01;
        solid = flags & 0x08;
        newNumbering = flags & 0x10;
        headersEncrypted = flags & 0x80;
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
        if (FileExists(buf)) {
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
        uint32_t headSize = plain[5] | (plain[6] << 8);
        if (headSize < 7) return ERAR_BAD_PASSWORD;
        uint32_t encSize = (headSize + 15) & ~15u;
        if (int r = ReadEncryptedHeader(pos + 8, encSize, aes, iv, h)) return r;
        h.resize(headSize);
        uint32_t crc = Crc32(0, h.data() + 2, headSize - 2) & 0xffff;
        if (crc != uint32_t(h[0] | (h[1] << 8))) return ERAR_BAD_PASSWORD;
        dataStart = pos + 8 + encSize;
    } else {
        uint8_t base[7];
        const size_t got = file.ReadAt(pos, base, 7);
        if (got < 7) {
            // Nothing after the last block is the end; part of a header is an archive cut short.
            endSeen = true;
            return got == 0 ? ERAR_END_ARCHIVE : ERAR_EREAD;
        }
        uint32_t headSize = base[5] | (base[6] << 8);
        if (headSize < 7) return ERAR_BAD_DATA;
        h.resize(headSize);
        if (file.ReadAt(pos, h.data(), headSize) < headSize) return ERAR_EREAD;
        dataStart = pos + headSize;
    }
    Bytes b{h.data(), h.size()};
    uint32_t headCrc = b.U16();
    uint8_t type = b.U8();
    uint32_t flags = b.U16();
    uint32_t headSize = b.U16();
    uint64_t addSize = 0;
    if (type == 0x74 || type == 0x7a || (flags & 0x8000)) {
        if (h.size() < 11) return ERAR_BAD_DATA;
        addSize = b.U32();
    }
    if (type == 0x74) {
        if (h.size() < 32) return ERAR_BAD_DATA;
        if (!headersEncrypted && (Crc32(0, h.data() + 2, headSize - 2) & 0xffff) != headCrc) {
            // RAR 1.5-2.x keep a file comment inside the header; the check then ends with the name.
            uint32_t nameEnd = 32 + (h[26] | (h[27] << 8));
            if (!(flags & 0x08) || nameEnd > headSize ||
                (Crc32(0, h.data() + 2, nameEnd - 2) & 0xffff) != headCrc)
                return ERAR_BAD_DATA;
        }
        e = RarEntry();
        e.packSize = addSize;
        e.unpSize = b.U32();
        e.hostOS = b.U8();
        e.fileCRC = b.U32();
        e.fileTime = b.U32();
        e.unpVer = b.U8();
        e.method = b.U8();
        uint32_t nameSize = b.U16();
        e.attr = b.U32();
        if (flags & 0x100) {
            uint64_t highPack = b.U32(), highUnp = b.U32();
            e.packSize |= highPack << 32;
            e.unpSize |= highUnp << 32;
        }
        const uint8_t* name = nullptr;
        if (!b.Take(nameSize, name)) return ERAR_BAD_DATA;
        std::string raw(reinterpret_cast<const char*>(name), nameSize);
        size_t zero = raw.find('\0');
        if ((flags & 0x200) && zero != std::string::npos) {
            e.utf8Name = DecodeUnicodeName(name, zero, name + zero + 1, nameSize - zero - 1);
            raw.resize(zero);
        } else if (flags & 0x200) {
            e.utf8Name = raw; // a Unicode flag without the OEM part: the name is UTF-8
        } else if (zero != std::string::npos) {
            raw.resize(zero);
        }
        e.rawName = raw;
        if (e.utf8Name.empty() && e.hostOS == 3 && ValidUtf8(raw)) e.utf8Name = raw;
        if (flags & 0x400) {
            const uint8_t* s = nullptr;
            if (!b.Take(8, s)) return ERAR_BAD_DATA;
            std::memcpy(e.salt, s, 8);
            e.hasSalt = true;
        }
        e.flags = flags & 0xff;
        e.splitBefore = flags & 0x01;
        e.splitAfter = flags & 0x02;
        e.encrypted = flags & 0x04;
        e.solid = flags & 0x10;
        e.directory = (flags & 0xe0) == 0xe0;
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
    if (type == 0x7b) {
        endSeen = true;
        endNextVolume = flags & 0x01;
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
        Bytes pb{plain, 16};
        pb.U32();
        uint64_t size = pb.VInt();
        if (pb.bad || size > kMaxHeader5) return ERAR_BAD_PASSWORD;
        uint64_t total = pb.pos + size;
        uint64_t encSize = (total + 15) & ~uint64_t(15);
        if (int r = ReadEncryptedHeader(pos + 16, encSize, aes, iv, h)) return r;
        h.resize(total);
        dataStart = pos + 16 + encSize;
    } else {
        uint8_t head[14];
        size_t got = file.ReadAt(pos, head, 14);
        Bytes pb{head, got};
        pb.U32();
        uint64_t size = pb.VInt();
        if (pb.bad) {
            endSeen = true;
            // Nothing after the last block is the end; part of a header is an archive cut short.
            return got == 0 ? ERAR_END_ARCHIVE : got < 14 ? ERAR_EREAD : ERAR_BAD_DATA;
        }
        if (size > kMaxHeader5 || size == 0) return ERAR_BAD_DATA;
        uint64_t total = pb.pos + size;
        h.resize(total);
        if (file.ReadAt(pos, h.data(), total) < total) return ERAR_EREAD;
        dataStart = pos + total;
    }
    uint32_t crc = h[0] | (h[1] << 8) | (h[2] << 16) | (uint32_t(h[3]) << 24);
    if (Crc32(0, h.data() + 4, h.size() - 4) != crc)
        return headersEncrypted ? ERAR_BAD_PASSWORD : ERAR_BAD_DATA;
    Bytes b{h.data(), h.size()};
    b.pos = 4;
    b.VInt(); // size
    uint64_t type = b.VInt();
    uint64_t hflags = b.VInt();
    uint64_t extraSize = (hflags & 0x01) ? b.VInt() : 0;
    uint64_t dataSize = (hflags & 0x02) ? b.VInt() : 0;
    if (b.bad || extraSize > h.size()) return ERAR_BAD_DATA;
    uint64_t next = dataStart + dataSize;
    if (next < dataStart) return ERAR_BAD_DATA;
    size_t extraStart = h.size() - size_t(extraSize);
    if (extraStart < b.pos) return ERAR_BAD_DATA;
    switch (type) {
    case 1: { // main
        uint64_t aflags = b.VInt();
        volume = aflags & 0x01;
        solid = aflags & 0x04;
        unpack.SetSolidArchive(solid);
        break;
    }
    case 4: { // archive encryption: every later header is encrypted
        uint64_t version = b.VInt();
        uint64_t eflags = b.VInt();
        uint8_t lg2 = b.U8();
        const uint8_t* s = nullptr;
        if (!b.Take(16, s) || version != 0 || lg2 > 24) return ERAR_UNKNOWN_FORMAT;
        std::memcpy(hdrSalt5, s, 16);
        hdrLg2 = lg2;
        hdrCheckPresent = eflags & 0x01;
        if (hdrCheckPresent) {
            const uint8_t* c = nullptr;
            if (!b.Take(12, c)) return ERAR_BAD_DATA;
            std::memcpy(hdrCheck5, c, 12);
            Sha256 sh;
            sh.Update(hdrCheck5, 8);
            auto d = sh.Final();
            if (std::memcmp(d.data(), hdrCheck5 + 8, 4) != 0) hdrCheckPresent = false;
        }
        headersEncrypted = true;
        break;
    }
    case 5: { // end of archive
        uint64_t eflags = b.VInt();
        endSeen = true;
        endNextVolume = eflags & 0x01;
        nextPos = next;
        return ERAR_END_ARCHIVE;
    }
    case 2: { // file
        e = RarEntry();
        uint64_t fflags = b.VInt();
        e.unpSize = b.VInt();
        e.attr = uint32_t(b.VInt());
        uint32_t mtime = 0;
        bool haveTime = fflags & 0x02;
        if (haveTime) mtime = b.U32();
        e.crcPresent = fflags & 0x04;
        if (e.crcPresent) e.fileCRC = b.U32();
        uint64_t comp = b.VInt();
        uint64_t host = b.VInt();
        uint64_t nameLen = b.VInt();
        const uint8_t* name = nullptr;
        if (b.bad || nameLen > 0x10000 || !b.Take(size_t(nameLen), name)) return ERAR_BAD_DATA;
        e.utf8Name.assign(reinterpret_cast<const char*>(name), size_t(nameLen));
        std::replace(e.utf8Name.begin(), e.utf8Name.end(), '/', '\\');
        e.rawName = e.utf8Name;
        e.hostOS = host == 0 ? 2 : host == 1 ? 3 : uint32_t(host);
        uint32_t algo = uint32_t(comp & 0x3f);
        e.method = 0x30 + uint32_t((comp >> 7) & 7);
        e.unpVer = algo == 0 ? 50 : algo == 1 ? 70 : 1000 + algo;
        e.solid = comp & 0x40;
        uint32_t dictBits = uint32_t((comp >> 10) & (algo == 0 ? 0x0f : 0x1f));
        uint64_t dict = uint64_t(0x20000) << std::min<uint32_t>(dictBits, 40);
        if (algo == 1) dict += dict / 32 * ((comp >> 15) & 0x1f);
        e.dictSize = dict;
        e.directory = fflags & 0x01;
        e.splitBefore = hflags & 0x08;
        e.splitAfter = hflags & 0x10;
        e.packSize = dataSize;
        // extra records
        Bytes x{h.data() + extraStart, size_t(extraSize)};
        while (x.pos < x.n && !x.bad) {
            uint64_t recSize = x.VInt();
            size_t recStart = x.pos;
            if (x.bad || recSize == 0 || recSize > x.n - recStart) break;
            Bytes r{h.data() + extraStart + recStart, size_t(recSize)};
            uint64_t recType = r.VInt();
            if (recType == 1) { // encryption
                uint64_t version = r.VInt();
                uint64_t cflags = r.VInt();
                e.encrypted = true;
                e.lg2 = r.U8();
                const uint8_t *s = nullptr, *iv = nullptr;
                if (version != 0 || e.lg2 > 24 || !r.Take(16, s) || !r.Take(16, iv)) {
                    e.unknownCrypt = true;
                } else {
                    std::memcpy(e.salt5, s, 16);
                    std::memcpy(e.iv5, iv, 16);
                    e.checkPresent = cflags & 0x01;
                    e.useMac = cflags & 0x02;
                    if (e.checkPresent) {
                        const uint8_t* c = nullptr;
                        if (r.Take(12, c)) {
                            std::memcpy(e.check5, c, 12);
                            Sha256 sh;
                            sh.Update(e.check5, 8);
                            auto d = sh.Final();
                            if (std::memcmp(d.data(), e.check5 + 8, 4) != 0) e.checkPresent = false;
                        } else {
                            e.checkPresent = false;
                        }
                    }
                }
            } else if (recType == 3) { // times
                uint64_t tflags = r.VInt();
                if (tflags & 0x02) {
                    if (tflags & 0x01) {
                        mtime = r.U32();
                        haveTime = !r.bad;
                    } else {
                        uint64_t ft = r.U64();
                        if (!r.bad && ft >= 116444736000000000ull) {
                            mtime = uint32_t(
                                std::min<uint64_t>((ft - 116444736000000000ull) / 10000000, 0xffffffffu));
                            haveTime = true;
                        }
                    }
                }
            }
            x.pos = recStart + size_t(recSize);
        }
        e.fileTime = haveTime ? UnixToDos(mtime) : UnixToDos(0);
        e.flags = (e.splitBefore ? uint32_t(RHDF_SPLITBEFORE) : 0u) |
                  (e.splitAfter ? uint32_t(RHDF_SPLITAFTER) : 0u) |
                  (e.encrypted ? uint32_t(RHDF_ENCRYPTED) : 0u) | (e.solid ? uint32_t(RHDF_SOLID) : 0u) |
                  (e.directory ? uint32_t(RHDF_DIRECTORY) : 0u);
        e.crcKind = e.splitAfter                ? kCrcByLibrary
                    : !e.crcPresent             ? kCrcNone
                    : (e.encrypted && e.useMac) ? kCrcByLibrary
                                                : kCrcPlain;
        e.dataPos = dataStart;
        if (b.bad) return ERAR_BAD_DATA;
        nextPos = next;
        lastSplitAfter = e.splitAfter;
        gotFile = true;
        return RAR_SUCCESS;
    }
    default: // service headers (comments, quick open, recovery) and unknown ones
        break;
    }
    if (b.bad) return ERAR_BAD_DATA;
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
                    s.insert(k, "1");
                    return s;
                }
                if (c < '9') {
                    ++c;
                    return s;
                }
                c = '0';
            }
            s.insert(nameStart, "1");
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
