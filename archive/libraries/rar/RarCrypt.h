#pragma once
// The ciphers and hashes of RAR encryption: AES (128-bit keys for RAR 2.9/3.x,
// 256-bit for RAR5) in CBC mode, SHA-1 with the RAR 2.9 key-derivation quirk,
// SHA-256, HMAC-SHA-256 and PBKDF2, plus the two key derivations built on them.
// Plain table-driven code: decryption runs at tens of MB/s, far above what the
// decompressors behind it consume per byte of packed input.
#include "archive/codecs/CodecIo.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mv::unrar {

class Aes {
public:
    // keyBits: 128 or 256.
    void SetDecryptKey(const uint8_t* key, int keyBits);
    void DecryptBlock(const uint8_t in[16], uint8_t out[16]) const;
    // CBC decryption of n bytes (a multiple of 16) chained from `iv`; out must not overlap in.
    void DecryptCbc(const uint8_t iv[16], const uint8_t* in, uint8_t* out, size_t n) const;

private:
    uint32_t rk[60] = {};
    int rounds = 0;
};

struct Sha1 {
    uint32_t state[5];
    uint64_t count = 0;
    uint8_t buffer[64];
    Sha1();
    // rarQuirk: whole blocks taken straight from `data` are overwritten with the
    // expanded message schedule, as the RAR 2.9 key derivation expects.
    void Update(uint8_t* data, size_t len, bool rarQuirk);
    void Update(const uint8_t* data, size_t len);
    std::array<uint8_t, 20> Final();

private:
    void Transform(const uint8_t* block, uint8_t* writeBack);
};

struct Sha256 {
    uint32_t state[8];
    uint64_t count = 0;
    uint8_t buffer[64];
    Sha256();
    void Update(const uint8_t* data, size_t len);
    std::array<uint8_t, 32> Final();

private:
    void Transform(const uint8_t* block);
};

std::array<uint8_t, 32> HmacSha256(const uint8_t* key, size_t keyLen, const uint8_t* data, size_t len);

// RAR 2.9/3.x: AES-128 key and IV from the password (UTF-8, hashed as UTF-16LE) and an 8-byte salt.
void DeriveKey30(const std::string& password, const uint8_t salt[8], uint8_t key[16], uint8_t iv[16]);

// RAR5: PBKDF2-HMAC-SHA256 with 2^lg2Count rounds gives the AES-256 key; 16 and 32
// further rounds give the hash key (for MAC checksums) and the password check value.
struct Rar5Keys {
    uint8_t key[32];
    uint8_t hashKey[32];
    uint8_t pswCheck[8];
};
Rar5Keys DeriveKey50(const std::string& password, const uint8_t salt[16], unsigned lg2Count);
// The MAC form of a CRC-32 stored by RAR5 for encrypted members.
uint32_t Rar5MacCrc(const uint8_t hashKey[32], uint32_t crc);

// A CodecInput that decrypts AES-CBC data pulled from another input.
class AesCbcInput : public CodecInput {
public:
    AesCbcInput(CodecInput& source, const uint8_t* key, int keyBits, const uint8_t iv[16]);
    size_t Read(uint8_t* buf, size_t n) override;

private:
    CodecInput& source;
    Aes aes;
    uint8_t iv[16];
    uint8_t block[16];
    size_t blockPos = 16, blockLen = 16;
    bool eof = false;
    std::vector<uint8_t> raw;
};

} // namespace mv::unrar
