// Quantum decoder for cabinet folders.
//
// The coder keeps three 16-bit registers (high, low, code) and reads single
// bits most significant first. Each model lists its symbols sorted by falling
// frequency with cumulative counts; a decoded symbol adds 8 to the counts above
// it, and a total beyond 3800 halves them (every 50th time the list is also
// re-sorted). A selector model picks one of four literal models (64 symbols
// each) or one of three match kinds: length 3, length 4, or a coded length.
// Offsets are a coded slot plus raw extra bits. Each data block starts the
// coder afresh; the models and the window carry on through the folder.
//
// Fast enough because models are tiny arrays and the window is a power-of-two
// ring twice the needed size, so a copy only masks its positions.
#include "archive/codecs/QuantumDecode.h"

#include "resources/ArcErrorNumbers.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace mv {

namespace {

struct QuantumTables {
    uint32_t posBase[42];
    uint8_t posExtra[42];
    uint8_t lenBase[27];
    uint8_t lenExtra[27];
};

constexpr QuantumTables MakeTables() {
    QuantumTables t{};
    uint32_t b = 0;
    for (unsigned i = 0; i < 42; ++i) {
        uint8_t e = i < 4 ? 0 : static_cast<uint8_t>((i - 2) / 2);
        t.posBase[i] = b;
        t.posExtra[i] = e;
        b += 1u << e;
    }
    unsigned lb = 0;
    for (unsigned i = 0; i < 27; ++i) {
        uint8_t e = i < 6 ? 0 : (i == 26 ? 0 : static_cast<uint8_t>((i - 2) / 4));
        t.lenBase[i] = static_cast<uint8_t>(lb);
        t.lenExtra[i] = e;
        lb += 1u << e;
    }
    return t;
}
constexpr QuantumTables kTables = MakeTables();

struct Model {
    unsigned entries = 0;
    int shiftsLeft = 4;
    uint16_t sym[65];
    uint16_t cum[65];

    void Init(unsigned first, unsigned n) {
        entries = n;
        shiftsLeft = 4;
        for (unsigned i = 0; i <= n; ++i) {
            sym[i] = static_cast<uint16_t>(first + i);
            cum[i] = static_cast<uint16_t>(n - i);
        }
    }

    void Rescale() {
        if (--shiftsLeft) {
            for (int i = static_cast<int>(entries) - 1; i >= 0; --i) {
                cum[i] = static_cast<uint16_t>(cum[i] >> 1);
                if (cum[i] <= cum[i + 1]) cum[i] = static_cast<uint16_t>(cum[i + 1] + 1);
            }
            return;
        }
        shiftsLeft = 50;
        for (unsigned i = 0; i < entries; ++i) {
            cum[i] = static_cast<uint16_t>(cum[i] - cum[i + 1]);
            cum[i] = static_cast<uint16_t>((cum[i] + 1) >> 1);
        }
        for (unsigned i = 0; i + 1 < entries; ++i)
            for (unsigned j = i + 1; j < entries; ++j)
                if (cum[i] < cum[j]) {
                    std::swap(cum[i], cum[j]);
                    std::swap(sym[i], sym[j]);
                }
        for (int i = static_cast<int>(entries) - 1; i >= 0; --i)
            cum[i] = static_cast<uint16_t>(cum[i] + cum[i + 1]);
    }
};

} // namespace

struct TQuantumDecoder::State {
    unsigned windowBits;
    uint32_t windowSize;
    uint32_t ringMask;
    std::vector<uint8_t> ring;
    uint64_t total = 0;
    uint64_t frameStart = 0;
    uint32_t pending = 0;
    Model selector, literal[4], pos3, pos4, pos5, len5;

    // Coder and bit input of the current block.
    const uint8_t* p = nullptr;
    size_t size = 0, pos = 0;
    uint32_t bitBuf = 0;
    int bitsLeft = 0;
    uint16_t high = 0, low = 0, code = 0;

    void Reset() {
        total = frameStart = 0;
        pending = 0;
        selector.Init(0, 7);
        for (unsigned i = 0; i < 4; ++i) literal[i].Init(i * 64, 64);
        pos3.Init(0, std::min(windowBits * 2, 24u));
        pos4.Init(0, std::min(windowBits * 2, 36u));
        pos5.Init(0, windowBits * 2);
        len5.Init(0, 27);
    }

    uint32_t Bit() {
        if (bitsLeft == 0) {
            if (pos >= size + 16) throw ECodecError(arcerr::CorruptEntry, "Quantum data ends early");
            bitBuf = pos < size ? p[pos] : 0;
            ++pos;
            bitsLeft = 8;
        }
        --bitsLeft;
        return (bitBuf >> bitsLeft) & 1;
    }
    uint32_t Bits(unsigned n) {
        uint32_t v = 0;
        while (n--) v = v << 1 | Bit();
        return v;
    }

    unsigned Decode(Model& m) {
        uint32_t range = uint32_t(uint16_t(high - low)) + 1;
        uint32_t total0 = m.cum[0];
        uint32_t symf = ((uint32_t(uint16_t(code - low)) + 1) * total0 - 1) / range;
        unsigned i = 1;
        for (; i < m.entries; ++i)
            if (m.cum[i] <= symf) break;
        unsigned s = m.sym[i - 1];
        uint32_t hi = low + (uint32_t(m.cum[i - 1]) * range) / total0 - 1;
        uint32_t lo = low + (uint32_t(m.cum[i]) * range) / total0;
        high = static_cast<uint16_t>(hi);
        low = static_cast<uint16_t>(lo);
        do {
            --i;
            m.cum[i] = static_cast<uint16_t>(m.cum[i] + 8);
        } while (i > 0);
        if (m.cum[0] > 3800) m.Rescale();
        for (;;) {
            if ((low & 0x8000) != (high & 0x8000)) {
                if ((low & 0x4000) && !(high & 0x4000)) {
                    code ^= 0x4000;
                    low &= 0x3FFF;
                    high |= 0x4000;
                } else {
                    break;
                }
            }
            low = static_cast<uint16_t>(low << 1);
            high = static_cast<uint16_t>(high << 1 | 1);
            code = static_cast<uint16_t>(code << 1 | Bit());
        }
        return s;
    }

    void CopyMatch(uint32_t offset, uint32_t length) {
        if (offset == 0 || offset > total || offset > windowSize)
            throw ECodecError(arcerr::CorruptEntry, "Quantum match before the window");
        uint64_t from = total - offset;
        for (uint32_t i = 0; i < length; ++i) ring[(total + i) & ringMask] = ring[(from + i) & ringMask];
        total += length;
    }
};

TQuantumDecoder::TQuantumDecoder(unsigned windowBits) : FState(std::make_unique<State>()) {
    if (windowBits < 10 || windowBits > 21)
        throw ECodecError(arcerr::UnknownMethod, "Quantum window size not supported");
    State& s = *FState;
    s.windowBits = windowBits;
    s.windowSize = 1u << windowBits;
    unsigned ringBits = std::max(windowBits, 15u) + 1;
    s.ring.assign(size_t{1} << ringBits, 0);
    s.ringMask = (1u << ringBits) - 1;
    s.Reset();
}

TQuantumDecoder::~TQuantumDecoder() = default;

void TQuantumDecoder::Reset() {
    FState->Reset();
}

void TQuantumDecoder::DecodeFrame(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    State& s = *FState;
    if (outSize == 0 || outSize > 32768)
        throw ECodecError(arcerr::CorruptEntry, "Quantum frame size out of range");
    s.p = in;
    s.size = inSize;
    s.pos = 0;
    s.bitsLeft = 0;
    s.high = 0xFFFF;
    s.low = 0;
    s.code = static_cast<uint16_t>(s.Bits(16));
    const uint64_t end = s.frameStart + outSize;
    while (s.total < end) {
        unsigned sel = s.Decode(s.selector);
        if (sel < 4) {
            unsigned lit = s.Decode(s.literal[sel]);
            s.ring[s.total & s.ringMask] = static_cast<uint8_t>(lit);
            ++s.total;
            continue;
        }
        uint32_t length, slot;
        if (sel == 4) {
            slot = s.Decode(s.pos3);
            length = 3;
        } else if (sel == 5) {
            slot = s.Decode(s.pos4);
            length = 4;
        } else if (sel == 6) {
            unsigned ls = s.Decode(s.len5);
            length = kTables.lenBase[ls] + s.Bits(kTables.lenExtra[ls]) + 5;
            slot = s.Decode(s.pos5);
        } else {
            throw ECodecError(arcerr::CorruptEntry, "Quantum selector out of range");
        }
        uint32_t offset = kTables.posBase[slot] + s.Bits(kTables.posExtra[slot]) + 1;
        s.CopyMatch(offset, length);
    }
    for (size_t i = 0; i < outSize; ++i) out[i] = s.ring[(s.frameStart + i) & s.ringMask];
    s.frameStart = end;
}

} // namespace mv
