#include "archive/libraries/rar/RarCrypt.h"

#include "archive/framework/Bytes.h"

#include <algorithm>
#include <cstring>

namespace mv::unrar {

// ---------------------------------------------------------------- AES

namespace {
struct AesTables {
    uint8_t sbox[256], inv[256];
    uint8_t m9[256], m11[256], m13[256], m14[256];
    static uint8_t Mul(uint8_t a, uint8_t b) {
        uint8_t r = 0;
        while (b) {
            if (b & 1) r ^= a;
            a = uint8_t((a << 1) ^ ((a & 0x80) ? 0x1b : 0));
            b >>= 1;
        }
        return r;
    }
    AesTables() {
        for (int x = 0; x < 256; ++x) {
            uint8_t invx = 0;
            if (x)
                for (int y = 1; y < 256; ++y)
                    if (Mul(uint8_t(x), uint8_t(y)) == 1) {
                        invx = uint8_t(y);
                        break;
                    }
            uint8_t s = invx, r = invx;
            for (int i = 0; i < 4; ++i) {
                r = uint8_t((r << 1) | (r >> 7));
                s ^= r;
            }
            s ^= 0x63;
            sbox[x] = s;
            inv[s] = uint8_t(x);
        }
        for (int x = 0; x < 256; ++x) {
            m9[x] = Mul(uint8_t(x), 9);
            m11[x] = Mul(uint8_t(x), 11);
            m13[x] = Mul(uint8_t(x), 13);
            m14[x] = Mul(uint8_t(x), 14);
        }
    }
};
const AesTables& T() {
    static const AesTables t;
    return t;
}
} // namespace

void Aes::SetDecryptKey(const uint8_t* key, int keyBits) {
    const AesTables& t = T();
    int nk = keyBits / 32;
    rounds = nk + 6;
    int total = 4 * (rounds + 1);
    for (int i = 0; i < nk; ++i)
        rk[i] =
            (uint32_t(key[4 * i]) << 24) | (key[4 * i + 1] << 16) | (key[4 * i + 2] << 8) | key[4 * i + 3];
    uint8_t rcon = 1;
    for (int i = nk; i < total; ++i) {
        uint32_t temp = rk[i - 1];
        if (i % nk == 0) {
            temp = (temp << 8) | (temp >> 24);
            temp = (uint32_t(t.sbox[temp >> 24]) << 24) | (t.sbox[(temp >> 16) & 0xff] << 16) |
                   (t.sbox[(temp >> 8) & 0xff] << 8) | t.sbox[temp & 0xff];
            temp ^= uint32_t(rcon) << 24;
            rcon = uint8_t((rcon << 1) ^ ((rcon & 0x80) ? 0x1b : 0));
        } else if (nk > 6 && i % nk == 4) {
            temp = (uint32_t(t.sbox[temp >> 24]) << 24) | (t.sbox[(temp >> 16) & 0xff] << 16) |
                   (t.sbox[(temp >> 8) & 0xff] << 8) | t.sbox[temp & 0xff];
        }
        rk[i] = rk[i - nk] ^ temp;
    }
}

void Aes::DecryptBlock(const uint8_t in[16], uint8_t out[16]) const {
    const AesTables& t = T();
    uint8_t s[16];
    auto addRoundKey = [&](int round) {
        for (int c = 0; c < 4; ++c) {
            uint32_t k = rk[round * 4 + c];
            s[4 * c] ^= uint8_t(k >> 24);
            s[4 * c + 1] ^= uint8_t(k >> 16);
            s[4 * c + 2] ^= uint8_t(k >> 8);
            s[4 * c + 3] ^= uint8_t(k);
        }
    };
    std::memcpy(s, in, 16);
    addRoundKey(rounds);
    for (int round = rounds - 1; round >= 0; --round) {
        // inverse shift rows + inverse sub bytes
        uint8_t u[16];
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r) u[4 * ((c + r) % 4) + r] = t.inv[s[4 * c + r]];
        std::memcpy(s, u, 16);
        addRoundKey(round);
        if (round > 0) {
            for (int c = 0; c < 4; ++c) {
                uint8_t a0 = s[4 * c], a1 = s[4 * c + 1], a2 = s[4 * c + 2], a3 = s[4 * c + 3];
                s[4 * c] = t.m14[a0] ^ t.m11[a1] ^ t.m13[a2] ^ t.m9[a3];
                s[4 * c + 1] = t.m9[a0] ^ t.m14[a1] ^ t.m11[a2] ^ t.m13[a3];
                s[4 * c + 2] = t.m13[a0] ^ t.m9[a1] ^ t.m14[a2] ^ t.m11[a3];
                s[4 * c + 3] = t.m11[a0] ^ t.m13[a1] ^ t.m9[a2] ^ t.m14[a3];
            }
        }
    }
    std::memcpy(out, s, 16);
}

void Aes::DecryptCbc(const uint8_t iv[16], const uint8_t* in, uint8_t* out, size_t n) const {
    const uint8_t* chain = iv;
    for (size_t k = 0; k < n; k += 16) {
        DecryptBlock(in + k, out + k);
        for (int i = 0; i < 16; ++i) out[k + i] ^= chain[i];
        chain = in + k;
    }
}

// ---------------------------------------------------------------- SHA-1

namespace {
inline uint32_t Rol(uint32_t v, int n) {
    return (v << n) | (v >> (32 - n));
}
inline uint32_t Ror(uint32_t v, int n) {
    return (v >> n) | (v << (32 - n));
}

// SHA-1 and SHA-256 close alike: 0x80, zeros up to 56 bytes into a block, the message
// length in bits big-endian; the digest is the N state words big-endian.
template <size_t N, class Hash> std::array<uint8_t, 4 * N> FinishDigest(Hash& hash) {
    uint64_t bitsCount = hash.count * 8;
    uint8_t pad = 0x80;
    hash.Update(&pad, 1);
    uint8_t zero = 0;
    while ((hash.count & 63) != 56) hash.Update(&zero, 1);
    uint8_t len[8];
    for (int i = 0; i < 8; ++i) len[i] = uint8_t(bitsCount >> (56 - 8 * i));
    hash.Update(len, 8);
    std::array<uint8_t, 4 * N> out;
    for (size_t i = 0; i < N; ++i)
        for (int k = 0; k < 4; ++k) out[4 * i + k] = uint8_t(hash.state[i] >> (24 - 8 * k));
    return out;
}
} // namespace

Sha1::Sha1() {
    state[0] = 0x67452301;
    state[1] = 0xEFCDAB89;
    state[2] = 0x98BADCFE;
    state[3] = 0x10325476;
    state[4] = 0xC3D2E1F0;
}

void Sha1::Transform(const uint8_t* block, uint8_t* writeBack) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i) w[i] = BE32(block + 4 * i);
    for (int i = 16; i < 80; ++i) w[i] = Rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        uint32_t temp = Rol(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = Rol(b, 30);
        b = a;
        a = temp;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    if (writeBack)
        for (int j = 0; j < 16; ++j) {
            uint32_t v = w[64 + j];
            writeBack[4 * j] = uint8_t(v);
            writeBack[4 * j + 1] = uint8_t(v >> 8);
            writeBack[4 * j + 2] = uint8_t(v >> 16);
            writeBack[4 * j + 3] = uint8_t(v >> 24);
        }
}

void Sha1::Update(uint8_t* data, size_t len, bool rarQuirk) {
    size_t j = size_t(count & 63);
    count += len;
    size_t i = 0;
    if (j + len > 63) {
        i = 64 - j;
        std::memcpy(buffer + j, data, i);
        Transform(buffer, nullptr);
        for (; i + 63 < len; i += 64) Transform(data + i, rarQuirk ? data + i : nullptr);
        j = 0;
    }
    std::memcpy(buffer + j, data + i, len - i);
}

void Sha1::Update(const uint8_t* data, size_t len) {
    Update(const_cast<uint8_t*>(data), len, false);
}

std::array<uint8_t, 20> Sha1::Final() {
    return FinishDigest<5>(*this);
}

// ---------------------------------------------------------------- SHA-256

namespace {
const uint32_t kSha256K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
}

Sha256::Sha256() {
    static const uint32_t init[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                     0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(state, init, sizeof(state));
}

void Sha256::Transform(const uint8_t* block) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) w[i] = BE32(block + 4 * i);
    for (int i = 16; i < 64; ++i) {
        uint32_t s0 = Ror(w[i - 15], 7) ^ Ror(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = Ror(w[i - 2], 17) ^ Ror(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4], f = state[5], g = state[6],
             h = state[7];
    for (int i = 0; i < 64; ++i) {
        uint32_t s1 = Ror(e, 6) ^ Ror(e, 11) ^ Ror(e, 25);
        uint32_t ch = (e & f) ^ (~e & g);
        uint32_t t1 = h + s1 + ch + kSha256K[i] + w[i];
        uint32_t s0 = Ror(a, 2) ^ Ror(a, 13) ^ Ror(a, 22);
        uint32_t maj = (a & b) ^ (a & c) ^ (b & c);
        uint32_t t2 = s0 + maj;
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

void Sha256::Update(const uint8_t* data, size_t len) {
    size_t j = size_t(count & 63);
    count += len;
    size_t i = 0;
    if (j + len > 63) {
        i = 64 - j;
        std::memcpy(buffer + j, data, i);
        Transform(buffer);
        for (; i + 63 < len; i += 64) Transform(data + i);
        j = 0;
    }
    std::memcpy(buffer + j, data + i, len - i);
}

std::array<uint8_t, 32> Sha256::Final() {
    return FinishDigest<8>(*this);
}

namespace {
// HMAC-SHA-256 with the padded key states prepared once (PBKDF2 reuses them).
struct HmacKey {
    Sha256 inner, outer;
    HmacKey(const uint8_t* key, size_t keyLen) {
        uint8_t k[64] = {};
        if (keyLen > 64) {
            Sha256 h;
            h.Update(key, keyLen);
            auto d = h.Final();
            std::memcpy(k, d.data(), 32);
        } else {
            std::memcpy(k, key, keyLen);
        }
        uint8_t ip[64], op[64];
        for (int i = 0; i < 64; ++i) {
            ip[i] = k[i] ^ 0x36;
            op[i] = k[i] ^ 0x5c;
        }
        inner.Update(ip, 64);
        outer.Update(op, 64);
    }
    std::array<uint8_t, 32> Mac(const uint8_t* data, size_t len) const {
        Sha256 in = inner;
        in.Update(data, len);
        auto d = in.Final();
        Sha256 out = outer;
        out.Update(d.data(), d.size());
        return out.Final();
    }
};
} // namespace

std::array<uint8_t, 32> HmacSha256(const uint8_t* key, size_t keyLen, const uint8_t* data, size_t len) {
    return HmacKey(key, keyLen).Mac(data, len);
}

// ---------------------------------------------------------------- key derivations

namespace {
// UTF-8 to UTF-16LE bytes (invalid sequences pass bytewise).
std::vector<uint8_t> Utf16Le(const std::string& s) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < s.size();) {
        uint32_t c = uint8_t(s[i]);
        size_t n = 1;
        if (c >= 0xf0 && i + 3 < s.size()) {
            c = ((c & 7) << 18) | ((s[i + 1] & 0x3f) << 12) | ((s[i + 2] & 0x3f) << 6) | (s[i + 3] & 0x3f);
            n = 4;
        } else if (c >= 0xe0 && i + 2 < s.size()) {
            c = ((c & 0xf) << 12) | ((s[i + 1] & 0x3f) << 6) | (s[i + 2] & 0x3f);
            n = 3;
        } else if (c >= 0xc0 && i + 1 < s.size()) {
            c = ((c & 0x1f) << 6) | (s[i + 1] & 0x3f);
            n = 2;
        }
        i += n;
        if (c >= 0x10000) {
            c -= 0x10000;
            uint16_t hi = uint16_t(0xd800 + (c >> 10)), lo = uint16_t(0xdc00 + (c & 0x3ff));
            out.push_back(uint8_t(hi));
            out.push_back(uint8_t(hi >> 8));
            out.push_back(uint8_t(lo));
            out.push_back(uint8_t(lo >> 8));
        } else {
            out.push_back(uint8_t(c));
            out.push_back(uint8_t(c >> 8));
        }
    }
    return out;
}
} // namespace

void DeriveKey30(const std::string& password, const uint8_t salt[8], uint8_t key[16], uint8_t iv[16]) {
    std::vector<uint8_t> raw = Utf16Le(password);
    if (raw.size() > 254) raw.resize(254); // the format's password limit (127 characters)
    raw.insert(raw.end(), salt, salt + 8);
    Sha1 c;
    const uint32_t rounds = 0x40000;
    for (uint32_t i = 0; i < rounds; ++i) {
        c.Update(raw.data(), raw.size(), true);
        uint8_t num[3] = {uint8_t(i), uint8_t(i >> 8), uint8_t(i >> 16)};
        c.Update(num, 3);
        if (i % (rounds / 16) == 0) {
            Sha1 temp = c;
            auto d = temp.Final();
            iv[i / (rounds / 16)] = d[19];
        }
    }
    auto d = c.Final();
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) key[i * 4 + j] = d[i * 4 + 3 - j];
}

Rar5Keys DeriveKey50(const std::string& password, const uint8_t salt[16], unsigned lg2Count) {
    HmacKey hk(reinterpret_cast<const uint8_t*>(password.data()), password.size());
    uint8_t saltData[20];
    std::memcpy(saltData, salt, 16);
    saltData[16] = 0;
    saltData[17] = 0;
    saltData[18] = 0;
    saltData[19] = 1;
    auto u = hk.Mac(saltData, 20);
    std::array<uint8_t, 32> fn = u;
    Rar5Keys keys;
    uint8_t values[3][32];
    uint32_t counts[3] = {(1u << lg2Count) - 1, 16, 16};
    for (int k = 0; k < 3; ++k) {
        for (uint32_t j = 0; j < counts[k]; ++j) {
            u = hk.Mac(u.data(), u.size());
            for (int b = 0; b < 32; ++b) fn[b] ^= u[b];
        }
        std::memcpy(values[k], fn.data(), 32);
    }
    std::memcpy(keys.key, values[0], 32);
    std::memcpy(keys.hashKey, values[1], 32);
    std::memset(keys.pswCheck, 0, 8);
    for (int i = 0; i < 32; ++i) keys.pswCheck[i % 8] ^= values[2][i];
    return keys;
}

uint32_t Rar5MacCrc(const uint8_t hashKey[32], uint32_t crc) {
    uint8_t raw[4] = {uint8_t(crc), uint8_t(crc >> 8), uint8_t(crc >> 16), uint8_t(crc >> 24)};
    auto d = HmacSha256(hashKey, 32, raw, 4);
    uint32_t result = 0;
    for (int i = 0; i < 32; ++i) result ^= uint32_t(d[i]) << ((i & 3) * 8);
    return result;
}

// ---------------------------------------------------------------- CBC input

AesCbcInput::AesCbcInput(CodecInput& src, const uint8_t* key, int keyBits, const uint8_t ivIn[16])
    : source(src) {
    aes.SetDecryptKey(key, keyBits);
    std::memcpy(iv, ivIn, 16);
}

size_t AesCbcInput::Read(uint8_t* buf, size_t n) {
    size_t done = 0;
    while (done < n) {
        if (blockPos < blockLen) {
            size_t k = std::min(n - done, blockLen - blockPos);
            std::memcpy(buf + done, block + blockPos, k);
            blockPos += k;
            done += k;
            continue;
        }
        if (eof) break;
        // Decrypt straight into the caller's buffer when whole blocks fit.
        uint8_t in[16];
        size_t got = 0;
        while (got < 16) {
            size_t r = source.Read(in + got, 16 - got);
            if (r == 0) break;
            got += r;
        }
        if (got < 16) { // a ragged end: the data is not a whole number of blocks
            eof = true;
            break;
        }
        aes.DecryptCbc(iv, in, block, 16);
        std::memcpy(iv, in, 16);
        blockPos = 0;
        blockLen = 16;
    }
    return done;
}

} // namespace mv::unrar
