// Key derivation and Blowfish-CBC decryption of encrypted ACE members (see AceCrypt.h).
#include "archive/libraries/ace/AceCrypt.h"

#include "archive/framework/Bytes.h"

#include <cstring>

namespace mv::unace {

namespace {
inline uint32_t Rotl(uint32_t v, int k) {
    return (v << k) | (v >> (32 - k));
}
} // namespace

void AceKeyFromPassword(const std::string& password, uint32_t key[5]) {
    const size_t len = password.size() < 50 ? password.size() : 50;
    uint8_t block[60] = {};
    std::memcpy(block, password.data(), len);
    block[len] = 0x80;
    uint32_t w[80];
    for (int i = 0; i < 15; ++i) w[i] = LE32(block + 4 * i);
    w[15] = uint32_t(len * 8);
    for (int t = 16; t < 80; ++t) w[t] = w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16];
    const uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int t = 0; t < 80; ++t) {
        uint32_t f, k;
        if (t < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (t < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        uint32_t tmp = Rotl(a, 5) + f + e + w[t] + k;
        e = d;
        d = c;
        c = Rotl(b, 30);
        b = a;
        a = tmp;
    }
    key[0] = a + h[0];
    key[1] = b + h[1];
    key[2] = c + h[2];
    key[3] = d + h[3];
    key[4] = e + h[4];
}

void AceCipher::EncryptBlock(uint32_t& l, uint32_t& r) const {
    for (int i = 0; i < 16; ++i) {
        l ^= FP[i];
        r ^= F(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= FP[16];
    l ^= FP[17];
}

void AceCipher::DecryptBlock(uint32_t& l, uint32_t& r) const {
    for (int i = 17; i > 1; --i) {
        l ^= FP[i];
        r ^= F(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= FP[1];
    l ^= FP[0];
}

void AceCipher::SetPassword(const std::string& password) {
    uint32_t key[5];
    AceKeyFromPassword(password, key);
    for (int i = 0; i < 18; ++i) FP[i] = kAceBlowfishInit[i] ^ key[i % 5];
    for (int s = 0; s < 4; ++s)
        for (int i = 0; i < 256; ++i) FS[s][i] = kAceBlowfishInit[18 + 256 * s + i];
    uint32_t l = 0, r = 0;
    for (int i = 0; i < 18; i += 2) {
        EncryptBlock(l, r);
        FP[i] = l;
        FP[i + 1] = r;
    }
    for (int s = 0; s < 4; ++s)
        for (int i = 0; i < 256; i += 2) {
            EncryptBlock(l, r);
            FS[s][i] = l;
            FS[s][i + 1] = r;
        }
    ResetChain();
}

void AceCipher::Decrypt(uint8_t* data, size_t n) {
    for (size_t off = 0; off + 8 <= n; off += 8) {
        const uint32_t cl = LE32(data + off), cr = LE32(data + off + 4);
        uint32_t l = cl, r = cr;
        DecryptBlock(l, r);
        PutLE32(data + off, l ^ FIvL);
        PutLE32(data + off + 4, r ^ FIvR);
        FIvL = cl;
        FIvR = cr;
    }
}

} // namespace mv::unace
