// PPMd variant H checked against independent readers. No tool here writes RAR, so
// the test derives an encoder from our model, writes RAR 2.9 archives whose member
// is one PPMd block, and requires our library and the peers (unar, bsdtar) to give
// back the original bytes. Orders and model memory vary; the small memory makes the
// model fill up and restart, which exercises the sub-allocator.
#include "archive/libraries/rar/RarPpm.h"
#include "tests/archive/libraries/rar/RarTestArchives.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mv::unrar;
namespace fs = std::filesystem;

namespace {

class PpmEncoder : public RarPpmModel {
public:
    std::vector<uint8_t> out;
    bool Start(int order, uint32_t megabytes) {
        if (!StartSubAllocator(megabytes)) return false;
        StartModelRare(order);
        low = 0;
        range = 0xffffffffu;
        return true;
    }
    void EncodeChar(int c) {
        if (NumStats(minContext) != 1)
            EncodeSymbol1(minContext, c);
        else
            EncodeBinSymbol(minContext, c);
        while (!foundState) {
            Normalize();
            do {
                orderFall++;
                minContext = Suffix(minContext);
                ASSERT_NE(minContext, 0u);
            } while (NumStats(minContext) == numMasked);
            EncodeSymbol2(minContext, c);
        }
        if (!orderFall && Successor(foundState) > pText) {
            minContext = maxContext = Successor(foundState);
        } else {
            UpdateModel();
            if (escCount == 0) ClearMask();
        }
        Normalize();
    }
    void Flush() {
        for (int i = 0; i < 4; ++i) {
            out.push_back(uint8_t(low >> 24));
            low <<= 8;
        }
    }

private:
    static constexpr uint32_t kTop = 1u << 24, kBot = 1u << 15;
    void Normalize() {
        for (;;) {
            if ((low ^ (low + range)) >= kTop) {
                if (range >= kBot) break;
                range = (0u - low) & (kBot - 1);
            }
            out.push_back(uint8_t(low >> 24));
            range <<= 8;
            low <<= 8;
        }
    }
    void Encode(uint32_t lo, uint32_t hi, uint32_t sc) {
        range /= sc;
        low += lo * range;
        range *= hi - lo;
    }
    void EncodeShift(uint32_t lo, uint32_t hi, int shift) {
        range >>= shift;
        low += lo * range;
        range *= hi - lo;
    }
    void EncodeBinSymbol(uint32_t ctx, int c) {
        static const uint8_t expEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};
        uint32_t rs = OneState(ctx);
        hiBitsFlag = hb2Flag[Sym(foundState)];
        uint16_t& bs = binSumm[Freq(rs) - 1][prevSuccess + ns2BSIndx[NumStats(Suffix(ctx)) - 1] + hiBitsFlag +
                                             2 * hb2Flag[Sym(rs)] + ((runLength >> 26) & 0x20)];
        if (Sym(rs) == c) {
            foundState = rs;
            SetFreq(rs, Freq(rs) + (Freq(rs) < 128));
            EncodeShift(0, bs, 14);
            bs = uint16_t(bs + 128 - ((bs + 32) >> 7));
            prevSuccess = 1;
            runLength++;
        } else {
            EncodeShift(bs, 1 << 14, 14);
            bs = uint16_t(bs - ((bs + 32) >> 7));
            initEsc = expEscape[bs >> 10];
            numMasked = 1;
            charMask[Sym(rs)] = escCount;
            prevSuccess = 0;
            foundState = 0;
        }
    }
    void EncodeSymbol1(uint32_t ctx, int c) {
        uint32_t sc = SummFreq(ctx);
        uint32_t p = Stats(ctx);
        if (Sym(p) == c) {
            uint32_t hi = Freq(p);
            Encode(0, hi, sc);
            prevSuccess = (2 * hi > sc);
            runLength += prevSuccess;
            foundState = p;
            hi += 4;
            SetFreq(p, hi);
            SetSummFreq(ctx, SummFreq(ctx) + 4);
            if (hi > 124) Rescale(ctx);
            return;
        }
        prevSuccess = 0;
        uint32_t lo = Freq(p);
        int i = NumStats(ctx) - 1;
        while (Sym(p += 6) != c) {
            lo += Freq(p);
            if (--i == 0) {
                hiBitsFlag = hb2Flag[Sym(foundState)];
                charMask[Sym(p)] = escCount;
                i = (numMasked = NumStats(ctx)) - 1;
                foundState = 0;
                do {
                    p -= 6;
                    charMask[Sym(p)] = escCount;
                } while (--i);
                Encode(lo, sc, sc);
                return;
            }
        }
        Encode(lo, lo + Freq(p), sc);
        Update1(ctx, p);
    }
    void EncodeSymbol2(uint32_t ctx, int c) {
        int i = NumStats(ctx) - numMasked;
        See2* psee2c = MakeEscFreq2(ctx, i);
        uint32_t p = Stats(ctx) - 6, hiCnt = 0;
        do {
            do {
                p += 6;
            } while (charMask[Sym(p)] == escCount);
            hiCnt += Freq(p);
            if (Sym(p) == c) {
                uint32_t lo = hiCnt - Freq(p), hi = hiCnt;
                if (--i) {
                    uint32_t p1 = p;
                    do {
                        do {
                            p1 += 6;
                        } while (charMask[Sym(p1)] == escCount);
                        hiCnt += Freq(p1);
                    } while (--i);
                }
                scale += hiCnt;
                Encode(lo, hi, scale);
                psee2c->Update();
                Update2(ctx, p);
                return;
            }
            charMask[Sym(p)] = escCount;
        } while (--i);
        scale += hiCnt;
        Encode(hiCnt, scale, scale);
        psee2c->summ = uint16_t(psee2c->summ + scale);
        numMasked = NumStats(ctx);
    }
};

// A RAR 2.9 member stream: one PPMd block (escape character 2), ending with the
// end-of-member mark.
std::vector<uint8_t> PpmStream(const std::vector<uint8_t>& data, int order, uint32_t megabytes) {
    PpmEncoder enc;
    EXPECT_TRUE(enc.Start(order, megabytes));
    for (uint8_t b : data) {
        enc.EncodeChar(b);
        if (b == 2) enc.EncodeChar(1); // the escape character itself
    }
    enc.EncodeChar(2);
    enc.EncodeChar(2);
    enc.Flush();
    int orderCode = order > 16 ? 16 + (order - 16 + 2) / 3 : order; // orders above 16 go in steps of 3
    std::vector<uint8_t> s = {uint8_t(0x80 | 0x20 | ((orderCode - 1) & 0x1f)), uint8_t(megabytes - 1)};
    s.insert(s.end(), enc.out.begin(), enc.out.end());
    return s;
}

} // namespace

TEST(RarPpm, PeersAndWeDecodeOurPpmdBlocks) {
    bool bsdtar = mvtest::RequireTool("bsdtar"), unar = mvtest::RequireTool("unar");
    std::vector<uint8_t> text = mvtest::TextBytes(60000, 11);
    std::vector<uint8_t> mixed = mvtest::TextBytes(20000, 12);
    auto noise = mvtest::RandomBytes(6000, 13);
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    for (int i = 0; i < 300; ++i) mixed.push_back(2); // the escape character in a run
    // Enough varied data at a high order to fill 1 MiB of model memory several times.
    std::vector<uint8_t> big = mvtest::TextBytes(150000, 14);
    auto bigNoise = mvtest::RandomBytes(150000, 15);
    big.insert(big.end(), bigNoise.begin(), bigNoise.end());
    struct Case {
        const char* name;
        const std::vector<uint8_t>* data;
        int order;
        uint32_t megabytes;
    } cases[] = {{"text o6", &text, 6, 8},
                 {"text o2", &text, 2, 1},
                 {"mixed o16", &mixed, 16, 4},
                 {"text o64 1MB", &text, 64, 1},
                 {"restarts o64 1MB", &big, 64, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto packed = PpmStream(*c.data, c.order, c.megabytes);
        mvtest::TempDir dir;
        mvtest::WriteFileBytes(
            dir / "p.rar", rartest::Archive29(packed, *c.data, "text.txt", 0x80 /* 256 KiB dictionary */));
        rartest::ExpectWeDecode(dir / "p.rar", *c.data);
        rartest::ExpectPeersExtract(dir / "p.rar", "text.txt", *c.data, unar, bsdtar);
    }
}
