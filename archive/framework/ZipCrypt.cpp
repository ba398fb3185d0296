// The traditional zip encryption and the ARJ garbling.
//
// The cipher is byte-serial by nature (each byte's key depends on the bytes
// before it); what keeps it cheap is that it works straight from the input to
// the output block with the keys in registers and no extra copies.
#include "archive/framework/ZipCrypt.h"

#include "archive/framework/Crc.h"

#include <random>

namespace mv {

void TZipKeys::InitKeys(const std::string& password) {
    FKey0 = 0x12345678;
    FKey1 = 0x23456789;
    FKey2 = 0x34567890;
    for (char c : password) UpdateKeys(static_cast<uint8_t>(c));
}

void TZipKeys::UpdateKeys(uint8_t plain) {
    FKey0 = Crc32Step(FKey0, plain);
    FKey1 = (FKey1 + (FKey0 & 0xFF)) * 134775813u + 1;
    FKey2 = Crc32Step(FKey2, static_cast<uint8_t>(FKey1 >> 24));
}

void TZipKeys::EncryptBlock(const uint8_t* in, uint8_t* out, size_t count) {
    TZipKeys k = *this;
    for (size_t i = 0; i < count; ++i) out[i] = k.EncryptByte(in[i]);
    *this = k;
}

void TZipKeys::DecryptBlock(const uint8_t* in, uint8_t* out, size_t count) {
    TZipKeys k = *this;
    for (size_t i = 0; i < count; ++i) out[i] = k.DecryptOne(in[i]);
    *this = k;
}

namespace {
// Header bytes come from a generator seeded once from the system's entropy,
// so headers written in quick succession never repeat.
uint8_t RandomHeaderByte() {
    thread_local std::mt19937 generator([] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937(seed);
    }());
    return static_cast<uint8_t>(generator() >> 24);
}
} // namespace

void ZipMakeEncryptHeader(TZipKeys& keys, const std::string& password, uint32_t check,
                          uint8_t header[ZipEncryptHeaderSize]) {
    keys.InitKeys(password);
    for (size_t i = 0; i < 10; ++i) header[i] = keys.EncryptByte(RandomHeaderByte());
    header[10] = keys.EncryptByte(static_cast<uint8_t>(check >> 16));
    header[11] = keys.EncryptByte(static_cast<uint8_t>(check >> 24));
}

uint8_t ZipEncryptCheckByte(uint16_t flags, uint32_t dosDateTime, uint32_t crc) {
    return (flags & 0x08) ? static_cast<uint8_t>(dosDateTime >> 8) : static_cast<uint8_t>(crc >> 24);
}

bool ZipTestEncryptHeader(TZipKeys& keys, const uint8_t header[ZipEncryptHeaderSize], uint16_t flags,
                          const std::string& password, uint32_t dosDateTime, uint32_t crc, uint8_t* plain) {
    if (password.empty()) return false;
    keys.InitKeys(password);
    uint8_t decrypted[ZipEncryptHeaderSize];
    keys.DecryptBlock(header, decrypted, ZipEncryptHeaderSize);
    if (plain)
        for (size_t i = 0; i < ZipEncryptHeaderSize; ++i) plain[i] = decrypted[i];
    return decrypted[ZipEncryptHeaderSize - 1] == ZipEncryptCheckByte(flags, dosDateTime, crc);
}

void ArjGarble(const uint8_t* in, uint8_t* out, size_t count, const std::string& password, int& garblePos) {
    const int length = static_cast<int>(password.size());
    if (length == 0) {
        for (size_t i = 0; i < count; ++i) out[i] = in[i];
        return;
    }
    int pos = garblePos >= 1 && garblePos <= length ? garblePos : 1;
    for (size_t i = 0; i < count; ++i) {
        out[i] = in[i] ^ static_cast<uint8_t>(password[pos - 1]);
        pos = pos == length ? 1 : pos + 1;
    }
    garblePos = pos;
}

} // namespace mv
