#pragma once
// The traditional zip encryption (the stream cipher of ZIP, JAR and BH
// archives: three 32-bit keys updated through the CRC-32, a 12-byte encryption
// header in front of each entry's data) and the ARJ garbling.
//
// The keys are a value owned by the operation that encrypts or decrypts (one
// per entry being read or written), so a search that runs a reader inside
// another operation cannot disturb them. Blocks are encrypted and decrypted
// from an input into a separate output: the caller's buffer is never changed.
#include <cstddef>
#include <cstdint>
#include <string>

namespace mv {

constexpr size_t ZipEncryptHeaderSize = 12;

class TZipKeys {
public:
    TZipKeys() { InitKeys({}); }

    // Keys := the published initial values, then UpdateKeys with each byte of
    // the password in order (the UTF-8 bytes of what the user typed).
    void InitKeys(const std::string& password);
    void UpdateKeys(uint8_t plain);
    // The key-stream byte for the next data byte.
    uint8_t DecryptByte() const {
        const uint32_t t = (FKey2 & 0xFFFF) | 2;
        return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    }
    uint8_t EncryptByte(uint8_t plain) {
        const uint8_t c = DecryptByte();
        UpdateKeys(plain);
        return plain ^ c;
    }
    uint8_t DecryptOne(uint8_t cipher) {
        const uint8_t plain = cipher ^ DecryptByte();
        UpdateKeys(plain);
        return plain;
    }
    // count bytes from in to out; in and out may be the same buffer only when
    // the caller owns it.
    void EncryptBlock(const uint8_t* in, uint8_t* out, size_t count);
    void DecryptBlock(const uint8_t* in, uint8_t* out, size_t count);

    uint32_t Key0() const { return FKey0; }
    uint32_t Key1() const { return FKey1; }
    uint32_t Key2() const { return FKey2; }

private:
    uint32_t FKey0 = 0, FKey1 = 0, FKey2 = 0;
};

// Makes the 12-byte encryption header of an entry: InitKeys(password), ten
// random bytes, then bits 16..23 and 24..31 of check (the entry's CRC-32), all
// encrypted. The keys are left ready to encrypt the entry's data.
void ZipMakeEncryptHeader(TZipKeys& keys, const std::string& password, uint32_t check,
                          uint8_t header[ZipEncryptHeaderSize]);

// Tests the 12-byte encryption header read from an archive against a
// password: false for an empty password; otherwise the last decrypted byte must
// equal the high byte of the DOS time (bits 8..15 of dosDateTime) when bit 3 of
// flags (data descriptor) is set, else the top byte of crc. The keys are left
// ready to decrypt the entry's data; plain (when given) receives the 12
// decrypted bytes. A wrong password passes this test about once in 256 times;
// the entry's CRC then fails.
bool ZipTestEncryptHeader(TZipKeys& keys, const uint8_t header[ZipEncryptHeaderSize], uint16_t flags,
                          const std::string& password, uint32_t dosDateTime, uint32_t crc,
                          uint8_t* plain = nullptr);

// The check byte ZipTestEncryptHeader expects for an entry.
uint8_t ZipEncryptCheckByte(uint16_t flags, uint32_t dosDateTime, uint32_t crc);

// ARJ garbling: each byte is XOR-ed with the password byte at garblePos
// (1-based), which then advances and returns to 1 after the last byte. An
// empty password leaves the bytes as they are; a position outside the
// password starts again at 1.
void ArjGarble(const uint8_t* in, uint8_t* out, size_t count, const std::string& password, int& garblePos);

} // namespace mv
