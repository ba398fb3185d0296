// The RAR 2.9 and RAR5 LZ decoders checked against independent readers on long
// inputs: the test writes archives with a small LZ encoder of its own (greedy
// matches up to 600 KiB back, fixed code lengths sent as real tables, several
// blocks and a table change), and requires our library, unar and bsdtar to give
// back the original bytes. This reaches distance slots and block boundaries that
// the small corpus members do not.
#include "tests/archive/libraries/rar/RarTestArchives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <unordered_map>

using namespace mv;
using namespace mv::unrar;
namespace fs = std::filesystem;

namespace {

using rartest::BitWriter;

// Canonical codes as RAR assigns them: by length, then by symbol.
struct Code {
    std::vector<uint8_t> len;
    std::vector<uint32_t> code;
    explicit Code(std::vector<uint8_t> lengths) : len(std::move(lengths)), code(len.size()) {
        uint32_t next = 0;
        for (int l = 1; l < 16; ++l) {
            for (size_t s = 0; s < len.size(); ++s)
                if (len[s] == l) code[s] = next++;
            next <<= 1;
        }
    }
    void Put(BitWriter& w, uint32_t sym) const { w.Put(code[sym], len[sym]); }
};

// A complete code over n symbols: the first k get `shortLen`, the rest one bit more.
std::vector<uint8_t> Lengths(size_t n, size_t k, uint8_t shortLen) {
    std::vector<uint8_t> v(n, uint8_t(shortLen + 1));
    for (size_t i = 0; i < k; ++i) v[i] = shortLen;
    return v;
}

// The code-length alphabet carries lengths 4, 5, 6, 8 and 9.
const Code& BdCode() {
    static const Code c([] {
        std::vector<uint8_t> v(20, 0);
        v[4] = v[5] = v[6] = 2;
        v[8] = v[9] = 3;
        return v;
    }());
    return c;
}

void PutTables(BitWriter& w, const std::vector<const Code*>& tables) {
    const Code& bd = BdCode();
    for (size_t i = 0; i < 20; ++i) w.Put(bd.len[i], 4);
    for (const Code* t : tables)
        for (uint8_t l : t->len) bd.Put(w, l);
}

struct Match {
    uint32_t length = 0;
    uint32_t distance = 0;
};

// Greedy matching with a hash of 4 bytes; lengths 6..200.
template <class Emit> void Parse(const std::vector<uint8_t>& d, Emit emit) {
    std::unordered_map<uint32_t, uint32_t> last;
    for (size_t i = 0; i < d.size();) {
        Match m;
        if (i + 6 <= d.size()) {
            uint32_t key = d[i] | (d[i + 1] << 8) | (d[i + 2] << 16) | (uint32_t(d[i + 3]) << 24);
            auto it = last.find(key);
            if (it != last.end()) {
                size_t j = it->second, n = 0;
                while (i + n < d.size() && n < 200 && d[j + n] == d[i + n]) ++n;
                if (n >= 6) m = {uint32_t(n), uint32_t(i - j)};
            }
            last[key] = uint32_t(i);
        }
        emit(i, m);
        i += m.length ? m.length : 1;
    }
}

// ---------------------------------------------------------------- RAR5

std::vector<uint8_t> Rar5Stream(const std::vector<uint8_t>& d) {
    static const Code main5(Lengths(306, 206, 8)), dist5(Lengths(64, 64, 6)), low5(Lengths(16, 16, 4)),
        rep5(Lengths(44, 20, 5));
    std::vector<uint8_t> out;
    BitWriter w;
    auto closeBlock = [&](bool lastBlock) {
        int used = w.Finish();
        uint32_t size = uint32_t(w.bytes.size());
        uint8_t flags = uint8_t(0x80 | (lastBlock ? 0x40 : 0) | (2 << 3) | (used - 1)); // three size bytes
        uint8_t check = uint8_t(0x5a ^ flags ^ (size & 0xff) ^ ((size >> 8) & 0xff) ^ ((size >> 16) & 0xff));
        out.insert(out.end(), {flags, check, uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16)});
        out.insert(out.end(), w.bytes.begin(), w.bytes.end());
        w = BitWriter();
    };
    auto startBlock = [&] { PutTables(w, {&main5, &dist5, &low5, &rep5}); };
    startBlock();
    Parse(d, [&](size_t i, const Match& m) {
        if (w.BitCount() > 8 * 40000) { // a new block with its tables now and then
            closeBlock(false);
            startBlock();
        }
        if (!m.length) {
            main5.Put(w, d[i]);
            return;
        }
        uint32_t dist = m.distance;
        uint32_t adj = (dist > 0x100) + (dist > 0x2000) + (dist > 0x40000);
        uint32_t base = m.length - adj; // SlotToLength value
        uint32_t slot, lbits = 0, lvalue = 0;
        if (base - 2 < 8) {
            slot = base - 2;
        } else {
            for (slot = 8;; ++slot) {
                lbits = slot / 4 - 1;
                uint32_t start = 2 + ((4 | (slot & 3)) << lbits);
                if (base >= start && base < start + (1u << lbits)) {
                    lvalue = base - start;
                    break;
                }
            }
        }
        main5.Put(w, 262 + slot);
        if (lbits) w.Put(lvalue, int(lbits));
        uint32_t v = dist - 1;
        if (v < 4) {
            dist5.Put(w, v);
            return;
        }
        uint32_t top = 31 - uint32_t(__builtin_clz(v));
        uint32_t dbits = top - 1;
        uint32_t dslot = 2 * (dbits + 1) + ((v >> dbits) & 1);
        uint32_t low = v - ((2 | (dslot & 1)) << dbits);
        dist5.Put(w, dslot);
        if (dbits >= 4) {
            if (dbits > 4) w.Put(low >> 4, int(dbits - 4));
            low5.Put(w, low & 15);
        } else {
            w.Put(low, int(dbits));
        }
    });
    closeBlock(true);
    return out;
}

std::vector<uint8_t> Archive5(const std::vector<uint8_t>& packed, const std::vector<uint8_t>& data) {
    return rartest::Archive5(packed, data.size(), Crc32(0, data.data(), data.size()),
                             (3 << 7) | (3 << 10)); // method 3, 1 MiB dictionary
}

// ---------------------------------------------------------------- RAR 2.9

const uint8_t kLDecode[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                            24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
const uint8_t kLBits[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};

std::vector<uint8_t> Rar29Stream(const std::vector<uint8_t>& d) {
    static const Code main3(Lengths(299, 213, 8)), dist3(Lengths(60, 4, 5)), low3(Lengths(17, 15, 4)),
        rep3(Lengths(28, 4, 4));
    // distance slots: 4 of 0 bits, then pairs from 1 to 15 bits, 14 of 16 bits, 12 of 18 bits
    std::vector<uint32_t> dstart;
    std::vector<uint32_t> dbitsOf;
    {
        static const uint8_t counts[] = {4, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 14, 0, 12};
        uint32_t dist = 0;
        for (uint32_t b = 0; b < sizeof(counts); ++b)
            for (uint32_t j = 0; j < counts[b]; ++j, dist += 1u << b) {
                dstart.push_back(dist);
                dbitsOf.push_back(b);
            }
    }
    BitWriter w;
    auto tables = [&] {
        w.Align();
        w.Put(0, 2); // LZ block, old table cleared
        PutTables(w, {&main3, &dist3, &low3, &rep3});
    };
    tables();
    bool switched = false;
    Parse(d, [&](size_t i, const Match& m) {
        if (!switched && i > d.size() / 2) { // a table change in the middle
            switched = true;
            main3.Put(w, 256);
            w.Put(1, 1);
            tables();
        }
        if (!m.length) {
            main3.Put(w, d[i]);
            return;
        }
        uint32_t dist = m.distance;
        uint32_t base = m.length - (dist >= 0x2000) - (dist >= 0x40000) - 3;
        uint32_t li = 27;
        while (kLDecode[li] > base) --li;
        main3.Put(w, 271 + li);
        if (kLBits[li]) w.Put(base - kLDecode[li], kLBits[li]);
        uint32_t v = dist - 1;
        uint32_t slot = uint32_t(dstart.size()) - 1;
        while (dstart[slot] > v) --slot;
        uint32_t low = v - dstart[slot], bits = dbitsOf[slot];
        dist3.Put(w, slot);
        if (bits) {
            if (slot > 9) {
                if (bits > 4) w.Put(low >> 4, int(bits - 4));
                low3.Put(w, low & 15);
            } else {
                w.Put(low, int(bits));
            }
        }
    });
    main3.Put(w, 256); // end of the member
    w.Put(0, 2);
    w.Finish();
    return w.bytes;
}

std::vector<uint8_t> Archive29(const std::vector<uint8_t>& packed, const std::vector<uint8_t>& data,
                               uint8_t version = 29) {
    return rartest::Archive29(packed, data, "data.bin", 0xc0 /* 4 MiB dictionary */, version);
}

// ---------------------------------------------------------------- RAR 2.0 multimedia

// The per-channel predictor of RAR 2.0 audio blocks, run on the encoding side:
// the byte to code is the difference between the prediction and the sample.
struct AudioPredictor {
    int k[5] = {}, d1 = 0, d2 = 0, d3 = 0, d4 = 0, lastDelta = 0, lastChar = 0;
    unsigned dif[11] = {}, byteCount = 0;
    uint8_t Encode(uint8_t sample, int& channelDelta) {
        byteCount++;
        d4 = d3;
        d3 = d2;
        d2 = lastDelta - d1;
        d1 = lastDelta;
        int pch = 8 * lastChar + k[0] * d1 + k[1] * d2 + k[2] * d3 + k[3] * d4 + k[4] * channelDelta;
        pch = (pch >> 3) & 0xff;
        uint8_t delta = uint8_t(pch - sample);
        int d = int(unsigned(int(int8_t(delta))) << 3);
        int terms[5] = {d1, d2, d3, d4, channelDelta};
        dif[0] += unsigned(std::abs(d));
        for (int i = 0; i < 5; ++i) {
            dif[1 + 2 * i] += unsigned(std::abs(d - terms[i]));
            dif[2 + 2 * i] += unsigned(std::abs(d + terms[i]));
        }
        channelDelta = lastDelta = int8_t(sample - lastChar);
        lastChar = sample;
        if ((byteCount & 0x1f) == 0) {
            unsigned minDif = dif[0], numMin = 0;
            dif[0] = 0;
            for (unsigned i = 1; i < 11; ++i) {
                if (dif[i] < minDif) {
                    minDif = dif[i];
                    numMin = i;
                }
                dif[i] = 0;
            }
            if (numMin) {
                int& kk = k[(numMin - 1) / 2];
                if (numMin % 2 == 1) {
                    if (kk >= -16) kk--;
                } else if (kk < 16) {
                    kk++;
                }
            }
        }
        return delta;
    }
};

std::vector<uint8_t> Rar20AudioStream(const std::vector<uint8_t>& d, unsigned channels) {
    static const Code audio(Lengths(257, 255, 8));
    BitWriter w;
    w.Put(1, 1); // multimedia block
    w.Put(0, 1); // old tables cleared
    w.Put(channels - 1, 2);
    std::vector<uint8_t> bd(19, 0);
    bd[8] = bd[9] = 1;
    for (uint8_t l : bd) w.Put(l, 4);
    for (unsigned c = 0; c < channels; ++c)
        for (uint8_t l : audio.len) w.Put(l == 8 ? 0 : 1, 1);
    std::vector<AudioPredictor> pred(channels);
    int channelDelta = 0;
    for (size_t i = 0; i < d.size(); ++i) audio.Put(w, pred[i % channels].Encode(d[i], channelDelta));
    w.Finish();
    return w.bytes;
}

// Text, noise, and copies of earlier parts from near and far (up to 600 KiB back).
std::vector<uint8_t> TestData() {
    std::vector<uint8_t> d = mvtest::TextBytes(200000, 21);
    auto noise = mvtest::RandomBytes(400000, 22);
    d.insert(d.end(), noise.begin(), noise.end());
    uint32_t seed = 7;
    for (int k = 0; k < 400; ++k) {
        seed = seed * 1103515245u + 12345u;
        size_t len = 8 + (seed >> 8) % 150;
        size_t back = 1 + (seed >> 4) % (d.size() - len);
        if (k % 3 == 0) back = 1 + (seed >> 12) % 64; // near repeats
        size_t from = d.size() - back;
        for (size_t i = 0; i < len; ++i) d.push_back(d[from + i]);
        d.push_back(uint8_t(seed));
    }
    return d;
}

} // namespace

TEST(RarLz, PeersAndWeDecodeLongStreams) {
    bool bsdtar = mvtest::RequireTool("bsdtar"), unar = mvtest::RequireTool("unar");
    auto data = TestData();
    struct Case {
        const char* name;
        std::vector<uint8_t> archive;
        std::vector<uint8_t> data;
    };
    // Samples for the multimedia mode: two interleaved slowly varying channels.
    std::vector<uint8_t> wave(60000);
    for (size_t i = 0; i < wave.size(); ++i)
        wave[i] = uint8_t(128 + 60 * std::sin(double(i / 2) / (i % 2 ? 37.0 : 23.0)) + (i * 7919 % 5));
    std::vector<Case> cases = {{"rar5", Archive5(Rar5Stream(data), data), data},
                               {"rar29", Archive29(Rar29Stream(data), data), data},
                               {"rar20 audio", Archive29(Rar20AudioStream(wave, 2), wave, 20), wave}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        mvtest::TempDir dir;
        mvtest::WriteFileBytes(dir / "lz.rar", c.archive);
        rartest::ExpectWeDecode(dir / "lz.rar", c.data);
        // bsdtar has no RAR 2.0 decoder
        rartest::ExpectPeersExtract(dir / "lz.rar", "data.bin", c.data, unar,
                                    bsdtar && std::string(c.name) != "rar20 audio");
    }
}
