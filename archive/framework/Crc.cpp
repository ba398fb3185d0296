// CRC-32 and CRC-16 of the archive formats.
//
// Every byte an archive component reads or writes passes through a CRC, so the
// CRC-32 is built for speed. Where the processor multiplies without carries
// (x86 with PCLMULQDQ, checked when the program runs), buffers of 64 bytes and
// more are folded 128 bits at a time with it (see ClmulCrc32 below). Everywhere
// else, and for what is left, plain integer code does the work:
//
// - Short buffers use slicing-by-16: sixteen tables let one step take sixteen
//   bytes with sixteen independent lookups instead of sixteen dependent ones.
// - Long buffers are first folded. The CRC of a message depends only on the
//   message as a polynomial modulo the CRC polynomial P. Take a multiple of P
//   with few terms, such as y^3006 + y^2866 + y^2215 + 1 where y = x^8 (one
//   byte): a byte that stands at least 3006 bytes before the end of the message
//   can be removed and XOR-ed instead into the bytes 140, 791 and 3006 places
//   further on without changing the CRC. Folding a message this way costs a few
//   word loads, XORs and stores per 8 bytes, with no table lookups and no chain
//   from one step to the next. A wide fold takes long buffers down to their last
//   3006 bytes, a narrow one (span 901, four moves) takes those or medium
//   buffers down to 901 bytes, and the tables do the rest.
//   The caller's buffer is never written: the bytes folded forward are gathered
//   in a small buffer of our own that slides along the message.
//
// The CRC-16 uses slicing-by-8.
#include "archive/framework/Crc.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MV_CRC_CLMUL 1
#endif

namespace mv {

namespace {

constexpr uint32_t Crc32Poly = 0xEDB88320;
constexpr uint16_t Crc16Poly = 0xA001;

template <typename T, int Slices, T Poly> constexpr std::array<std::array<T, 256>, Slices> MakeTables() {
    std::array<std::array<T, 256>, Slices> t{};
    for (unsigned i = 0; i < 256; ++i) {
        T c = static_cast<T>(i);
        for (int k = 0; k < 8; ++k) c = static_cast<T>((c & 1) ? (c >> 1) ^ Poly : (c >> 1));
        t[0][i] = c;
    }
    // Table s gives the effect of a byte followed by s zero bytes.
    for (int s = 1; s < Slices; ++s)
        for (unsigned i = 0; i < 256; ++i)
            t[s][i] = static_cast<T>((t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF]);
    return t;
}

constexpr auto T32 = MakeTables<uint32_t, 16, Crc32Poly>();
constexpr auto T16 = MakeTables<uint16_t, 8, Crc16Poly>();

// Register after n zero bytes from `reg`: multiplication by x^(8n) modulo P.
constexpr uint32_t ZeroBytes(uint32_t reg, size_t n) {
    for (size_t i = 0; i < n; ++i) reg = (reg >> 8) ^ T32[0][reg & 0xFF];
    return reg;
}

// A fold moves a byte forward by each of its distances, the largest being its
// span. That keeps the CRC exactly when the byte's weight y^span equals the sum
// of the weights y^(span - distance) of the places it goes to, that is when
// y^span + sum y^(span - distance) is a multiple of P. 0x80000000 is the
// polynomial 1 in the reflected register.
template <size_t... Moves> constexpr bool FoldKeepsCrc() {
    constexpr size_t span = std::max({Moves...});
    uint32_t sum = ZeroBytes(0x80000000u, span);
    ((sum ^= ZeroBytes(0x80000000u, span - Moves)), ...);
    return sum == 0;
}

// Distances are chosen far apart (no store of one step overlaps a load of
// the next few).
#define MV_WIDE_FOLD 140, 791, 3006
#define MV_NARROW_FOLD 232, 384, 502, 901
static_assert(FoldKeepsCrc<MV_WIDE_FOLD>() && FoldKeepsCrc<MV_NARROW_FOLD>());
static_assert(!FoldKeepsCrc<140, 791, 3007>());
constexpr size_t WideSpan = 3006;
// Below this the tables alone are faster.
constexpr size_t FoldThreshold = 1400;

// Bytes folded per round before the gathering buffer slides.
constexpr size_t FoldChunk = 8192;

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}
inline void Store64(uint8_t* p, uint64_t v) {
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    std::memcpy(p, &v, 8);
}
inline void Xor64(uint8_t* p, uint64_t v) {
    Store64(p, Load64(p) ^ v);
}

uint32_t Slice16(uint32_t reg, const uint8_t* p, size_t n) {
    while (n >= 16) {
        uint64_t a = Load64(p) ^ reg;
        uint64_t b = Load64(p + 8);
        reg = T32[15][a & 0xFF] ^ T32[14][(a >> 8) & 0xFF] ^ T32[13][(a >> 16) & 0xFF] ^
              T32[12][(a >> 24) & 0xFF] ^ T32[11][(a >> 32) & 0xFF] ^ T32[10][(a >> 40) & 0xFF] ^
              T32[9][(a >> 48) & 0xFF] ^ T32[8][a >> 56] ^ T32[7][b & 0xFF] ^ T32[6][(b >> 8) & 0xFF] ^
              T32[5][(b >> 16) & 0xFF] ^ T32[4][(b >> 24) & 0xFF] ^ T32[3][(b >> 32) & 0xFF] ^
              T32[2][(b >> 40) & 0xFF] ^ T32[1][(b >> 48) & 0xFF] ^ T32[0][b >> 56];
        p += 16;
        n -= 16;
    }
    while (n--) reg = (reg >> 8) ^ T32[0][(reg ^ *p++) & 0xFF];
    return reg;
}

// Folds the words i in [0, end) onto the places ahead of them. A word is the
// caller's d + i with what was folded onto it, a + i; with d null the message
// is a itself (our own buffer).
template <size_t... Moves> inline void FoldWords(const uint8_t* d, uint8_t* a, size_t end) {
    auto word = [&](size_t i) { return d ? Load64(d + i) ^ Load64(a + i) : Load64(a + i); };
    size_t i = 0;
    for (; i + 32 <= end; i += 32) {
        const uint64_t v0 = word(i);
        const uint64_t v1 = word(i + 8);
        const uint64_t v2 = word(i + 16);
        const uint64_t v3 = word(i + 24);
        auto put = [&](size_t k) {
            uint8_t* t = a + i + k;
            Xor64(t, v0);
            Xor64(t + 8, v1);
            Xor64(t + 16, v2);
            Xor64(t + 24, v3);
        };
        (put(Moves), ...);
    }
    for (; i < end; i += 8) {
        const uint64_t v = word(i);
        (Xor64(a + i + Moves, v), ...);
    }
}

// Folds the caller's message p[0, n) (n > span + 8) with the register `reg`
// on top of its first four bytes. Leaves the unfolded end of the message, with
// everything folded onto it, in pending[0, result).
template <size_t... Moves> size_t FoldMessage(uint32_t reg, const uint8_t* p, size_t n, uint8_t* pending) {
    constexpr size_t span = std::max({Moves...});
    const size_t foldEnd = (n - span) / 8 * 8;
    size_t pos = 0;
    size_t m = std::min(foldEnd, FoldChunk);
    std::memset(pending, 0, m + span + 8);
    Store64(pending, reg);
    while (pos < foldEnd) {
        FoldWords<Moves...>(p + pos, pending, m);
        // Slide: keep what was folded onto the bytes ahead.
        pos += m;
        std::memmove(pending, pending + m, span + 8);
        m = std::min(foldEnd - pos, FoldChunk);
        std::memset(pending + span + 8, 0, m);
    }
    const size_t rest = n - pos;
    size_t i = 0;
    for (; i + 8 <= rest; i += 8) Xor64(pending + i, Load64(p + pos + i));
    for (; i < rest; ++i) pending[i] ^= p[pos + i];
    return rest;
}

// Folds our own buffer b[0, n) in place; answers where the unfolded end begins.
template <size_t... Moves> size_t FoldInPlace(uint8_t* b, size_t n) {
    constexpr size_t span = std::max({Moves...});
    if (n < span + 8) return 0;
    const size_t end = (n - span) / 8 * 8;
    FoldWords<Moves...>(nullptr, b, end);
    return end;
}

uint32_t FoldedCrc32(uint32_t reg, const uint8_t* p, size_t n) {
    alignas(64) uint8_t pending[FoldChunk + WideSpan + 16];
    size_t rest;
    if (n >= 4 * WideSpan)
        rest = FoldMessage<MV_WIDE_FOLD>(reg, p, n, pending);
    else
        rest = FoldMessage<MV_NARROW_FOLD>(reg, p, n, pending);
    const size_t start = FoldInPlace<MV_NARROW_FOLD>(pending, rest);
    return Slice16(0, pending + start, rest - start);
}

#ifdef MV_CRC_CLMUL
// Carry-less folding. In the reflected register the message is a polynomial
// whose lowest bit is the first one read. A 128-bit block followed by D more
// bits of message has, modulo P, the weight x^D; multiplying each 64-bit half by
// the right power of x modulo P (a 33-bit constant) moves the block forward onto
// the block D bits later, where it is XOR-ed in. Four lanes of 128 bits move by
// 512 bits per step; the lanes are then folded into one, that one down to 64 and
// then 32 bits, and a Barrett reduction with mu = x^64 div P gives the register.
//
// The constants: x^e mod P, bit-reflected to match the register, shifted left
// once because a carry-less product of two reflected 64-bit values comes out one
// place low.
constexpr uint64_t XPowModP(unsigned e) {
    uint64_t r = 1;
    for (unsigned i = 0; i < e; ++i) {
        r <<= 1;
        if (r >> 32) r ^= 0x104C11DB7ull;
    }
    return r;
}
constexpr uint64_t Reflect(uint64_t v, int bits) {
    uint64_t r = 0;
    for (int i = 0; i < bits; ++i)
        if (v >> i & 1) r |= uint64_t(1) << (bits - 1 - i);
    return r;
}
constexpr uint64_t FoldConst(unsigned e) {
    return Reflect(XPowModP(e), 32) << 1;
}
// mu = floor(x^64 / P), 33 bits.
constexpr uint64_t BarrettMu() {
    uint64_t q = 0;
    // Long division of x^64 by P, one quotient bit per step from the top.
    unsigned __int128 a = static_cast<unsigned __int128>(1) << 64;
    const unsigned __int128 p = 0x104C11DB7ull;
    for (int s = 32; s >= 0; --s)
        if ((a >> (s + 32)) & 1) {
            a ^= p << s;
            q |= uint64_t(1) << s;
        }
    return q;
}
constexpr uint64_t K512Lo = FoldConst(4 * 128 + 32), K512Hi = FoldConst(4 * 128 - 32);
constexpr uint64_t K128Lo = FoldConst(128 + 32), K128Hi = FoldConst(128 - 32);
constexpr uint64_t K64 = FoldConst(64);
constexpr uint64_t PReflected = Reflect(0x104C11DB7ull, 33), MuReflected = Reflect(BarrettMu(), 33);

#define MV_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))
MV_CLMUL_TARGET inline __m128i load(const uint8_t* q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}
// The block x moved forward by the distance of k and XOR-ed onto `next`.
MV_CLMUL_TARGET inline __m128i fold(__m128i x, __m128i k, __m128i next) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// The register after n bytes (n >= 64, a multiple of 16).
MV_CLMUL_TARGET uint32_t ClmulCrc32(uint32_t reg, const uint8_t* p, size_t n) {
    __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x2 = load(p + 16), x3 = load(p + 32), x4 = load(p + 48);
    p += 64;
    n -= 64;
    const __m128i k512 = _mm_set_epi64x(static_cast<long long>(K512Hi), static_cast<long long>(K512Lo));
    while (n >= 64) {
        x1 = fold(x1, k512, load(p));
        x2 = fold(x2, k512, load(p + 16));
        x3 = fold(x3, k512, load(p + 32));
        x4 = fold(x4, k512, load(p + 48));
        p += 64;
        n -= 64;
    }
    const __m128i k128 = _mm_set_epi64x(static_cast<long long>(K128Hi), static_cast<long long>(K128Lo));
    x1 = fold(x1, k128, x2);
    x1 = fold(x1, k128, x3);
    x1 = fold(x1, k128, x4);
    for (; n >= 16; p += 16, n -= 16) x1 = fold(x1, k128, load(p));

    // 128 bits to 64: the low half moves onto the high half, then the low 32 bits
    // of that onto the rest.
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k128, 0x10));
    const __m128i k64 = _mm_set_epi64x(0, static_cast<long long>(K64));
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 4), _mm_clmulepi64_si128(_mm_and_si128(x1, low32), k64, 0x00));
    // Barrett reduction to 32 bits.
    const __m128i pm = _mm_set_epi64x(static_cast<long long>(MuReflected), static_cast<long long>(PReflected));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), pm, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), pm, 0x00);
    return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, t), 1));
}

bool ProcessorHasClmul() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
}
std::atomic<bool>& ClmulEnabled() {
    static std::atomic<bool> enabled{ProcessorHasClmul()};
    return enabled;
}
#endif

} // namespace

bool Crc32UsesClmul() {
#ifdef MV_CRC_CLMUL
    return ClmulEnabled().load(std::memory_order_relaxed);
#else
    return false;
#endif
}

void SetCrc32Clmul(bool enabled) {
#ifdef MV_CRC_CLMUL
    ClmulEnabled() = enabled && ProcessorHasClmul();
#else
    (void)enabled;
#endif
}

const uint32_t* const Crc32Table = T32[0].data();
const uint16_t* const Crc16Table = T16[0].data();

void UpdateCRC32(const uint8_t* buffer, size_t count, uint32_t& reg) {
    if (count == 0) return;
#ifdef MV_CRC_CLMUL
    if (count >= 64 && ClmulEnabled().load(std::memory_order_relaxed)) {
        const size_t folded = count & ~size_t(15);
        reg = ClmulCrc32(reg, buffer, folded);
        if (count > folded) reg = Slice16(reg, buffer + folded, count - folded);
        return;
    }
#endif
    reg = count >= FoldThreshold ? FoldedCrc32(reg, buffer, count) : Slice16(reg, buffer, count);
}

void UpdateCRC16(const uint8_t* buffer, size_t count, uint16_t& reg) {
    uint32_t r = reg;
    const uint8_t* p = buffer;
    size_t n = count;
    while (n >= 8) {
        const uint64_t a = Load64(p) ^ r;
        r = T16[7][a & 0xFF] ^ T16[6][(a >> 8) & 0xFF] ^ T16[5][(a >> 16) & 0xFF] ^ T16[4][(a >> 24) & 0xFF] ^
            T16[3][(a >> 32) & 0xFF] ^ T16[2][(a >> 40) & 0xFF] ^ T16[1][(a >> 48) & 0xFF] ^ T16[0][a >> 56];
        p += 8;
        n -= 8;
    }
    while (n--) r = (r >> 8) ^ T16[0][(r ^ *p++) & 0xFF];
    reg = static_cast<uint16_t>(r);
}

uint32_t Crc32Of(const uint8_t* buffer, size_t count) {
    uint32_t reg = CrcSeed;
    UpdateCRC32(buffer, count, reg);
    return ~reg;
}

uint16_t Crc16Of(const uint8_t* buffer, size_t count) {
    uint16_t reg = 0;
    UpdateCRC16(buffer, count, reg);
    return reg;
}

} // namespace mv
