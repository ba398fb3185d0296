// RAR 1.5 decompression: LZ77 with adaptive codes. Literals, match lengths and
// distance slots are coded through fixed prefix-code shapes whose symbol order
// adapts to frequencies (move-towards-front character sets), and a flag stream
// picks between literal, short match and long match. Fast because each symbol is one
// table walk over at most a dozen thresholds and all state is a few small arrays.
#include "archive/libraries/rar/RarUnpack.h"

#include <cstring>

namespace mv::unrar {

namespace {
const uint32_t kDecL1[] = {0x8000, 0xa000, 0xc000, 0xd000, 0xe000, 0xea00,
                           0xee00, 0xf000, 0xf200, 0xf200, 0xffff};
const uint32_t kPosL1[] = {0, 0, 0, 2, 3, 5, 7, 11, 16, 20, 24, 32, 32};
const uint32_t kDecL2[] = {0xa000, 0xc000, 0xd000, 0xe000, 0xea00, 0xee00, 0xf000, 0xf200, 0xf240, 0xffff};
const uint32_t kPosL2[] = {0, 0, 0, 0, 5, 7, 9, 13, 18, 22, 26, 34, 36};
const uint32_t kDecHf0[] = {0x8000, 0xc000, 0xe000, 0xf200, 0xf200, 0xf200, 0xf200, 0xf200, 0xffff};
const uint32_t kPosHf0[] = {0, 0, 0, 0, 0, 8, 16, 24, 33, 33, 33, 33, 33};
const uint32_t kDecHf1[] = {0x2000, 0xc000, 0xe000, 0xf000, 0xf200, 0xf200, 0xf7e0, 0xffff};
const uint32_t kPosHf1[] = {0, 0, 0, 0, 0, 0, 4, 44, 60, 76, 80, 80, 127};
const uint32_t kDecHf2[] = {0x1000, 0x2400, 0x8000, 0xc000, 0xfa00, 0xffff, 0xffff, 0xffff};
const uint32_t kPosHf2[] = {0, 0, 0, 0, 0, 0, 2, 7, 53, 117, 233, 0, 0};
const uint32_t kDecHf3[] = {0x800, 0x2400, 0xee00, 0xfe80, 0xffff, 0xffff, 0xffff};
const uint32_t kPosHf3[] = {0, 0, 0, 0, 0, 0, 0, 2, 16, 218, 251, 0, 0};
const uint32_t kDecHf4[] = {0xff00, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff};
const uint32_t kPosHf4[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0};
constexpr uint32_t kStartL1 = 2, kStartL2 = 3, kStartHf0 = 4, kStartHf1 = 5, kStartHf2 = 5, kStartHf3 = 6,
                   kStartHf4 = 8;

const uint32_t kShortLen1[] = {1, 3, 4, 4, 5, 6, 7, 8, 8, 4, 4, 5, 6, 6, 4, 0};
const uint32_t kShortXor1[] = {0,    0xa0, 0xd0, 0xe0, 0xf0, 0xf8, 0xfc, 0xfe,
                               0xff, 0xc0, 0x80, 0x90, 0x98, 0x9c, 0xb0};
const uint32_t kShortLen2[] = {2, 3, 3, 3, 4, 4, 5, 6, 6, 4, 4, 5, 6, 6, 4, 0};
const uint32_t kShortXor2[] = {0,    0x40, 0x60, 0xa0, 0xd0, 0xe0, 0xf0, 0xf8,
                               0xfc, 0xc0, 0x80, 0x90, 0x98, 0x9c, 0xb0};
} // namespace

uint32_t RarUnpack::DecodeNum15(uint32_t num, uint32_t startPos, const uint32_t* decTab,
                                const uint32_t* posTab) {
    int i = 0;
    for (num &= 0xfff0; decTab[i] <= num; ++i) ++startPos;
    bits.Skip(startPos);
    return ((num - (i ? decTab[i - 1] : 0)) >> (16 - startPos)) + posTab[startPos];
}

void RarUnpack::Copy15(uint32_t distance, uint32_t length) {
    CopyString(length, distance);
}

void RarUnpack::CorrHuff15(uint16_t* charSet, uint8_t* numToPlace) {
    for (int i = 7; i >= 0; --i)
        for (int j = 0; j < 32; ++j, ++charSet) *charSet = uint16_t((*charSet & ~0xff) | i);
    std::memset(numToPlace, 0, 256);
    for (int i = 6; i >= 0; --i) numToPlace[i] = uint8_t((7 - i) * 32);
}

void RarUnpack::InitHuff15() {
    for (unsigned i = 0; i < 256; ++i) {
        chSet[i] = chSetB[i] = uint16_t(i << 8);
        chSetA[i] = uint16_t(i);
        chSetC[i] = uint16_t(((~i + 1) & 0xff) << 8);
    }
    std::memset(nToPl, 0, sizeof(nToPl));
    std::memset(nToPlB, 0, sizeof(nToPlB));
    std::memset(nToPlC, 0, sizeof(nToPlC));
    CorrHuff15(chSetB, nToPlB);
}

void RarUnpack::Init15() {
    avrPlcB = avrLn1 = avrLn2 = avrLn3 = 0;
    numHuf = buf60 = 0;
    avrPlc = 0x3500;
    maxDist3 = 0x2001;
    nhfb = nlzb = 0x80;
    ResetOldDists();
    InitHuff15();
}

void RarUnpack::GetFlagsBuf15() {
    uint32_t flagsPlace = DecodeNum15(bits.Get16(), kStartHf2, kDecHf2, kPosHf2);
    if (flagsPlace >= 256) return;
    uint32_t flags, newPlace;
    for (;;) {
        flags = chSetC[flagsPlace];
        flagBuf = flags >> 8;
        newPlace = nToPlC[flags++ & 0xff]++;
        if ((flags & 0xff) != 0) break;
        CorrHuff15(chSetC, nToPlC);
    }
    chSetC[flagsPlace] = chSetC[newPlace];
    chSetC[newPlace] = uint16_t(flags);
}

void RarUnpack::ShortLZ15() {
    numHuf = 0;
    uint32_t field = bits.Get16();
    if (lCount == 2) {
        bits.Skip(1);
        if (field >= 0x8000) {
            Copy15(uint32_t(lastDist), lastLength);
            return;
        }
        field <<= 1;
        lCount = 0;
    }
    field >>= 8;
    field &= 0xff;
    uint32_t length;
    auto len1 = [&](uint32_t p) { return p == 1 ? uint32_t(buf60 + 3) : kShortLen1[p]; };
    auto len2 = [&](uint32_t p) { return p == 3 ? uint32_t(buf60 + 3) : kShortLen2[p]; };
    if (avrLn1 < 37) {
        for (length = 0; length < 15; ++length)
            if (((field ^ kShortXor1[length]) & (~(0xffu >> len1(length)) & 0xff)) == 0) break;
        if (length == 15) throw ECodecError(kErrCorrupt, "bad short match code");
        bits.Skip(len1(length));
    } else {
        for (length = 0; length < 15; ++length)
            if (((field ^ kShortXor2[length]) & (~(0xffu >> len2(length)) & 0xff)) == 0) break;
        if (length == 15) throw ECodecError(kErrCorrupt, "bad short match code");
        bits.Skip(len2(length));
    }
    if (length >= 9) {
        if (length == 9) {
            lCount++;
            Copy15(uint32_t(lastDist), lastLength);
            return;
        }
        if (length == 14) {
            lCount = 0;
            length = DecodeNum15(bits.Get16(), kStartL2, kDecL2, kPosL2) + 5;
            uint32_t distance = (bits.Get16() >> 1) | 0x8000;
            bits.Skip(15);
            lastLength = length;
            lastDist = distance;
            Copy15(distance, length);
            return;
        }
        lCount = 0;
        uint32_t saveLength = length;
        uint32_t distance = uint32_t(oldDist[(oldDistPtr - (length - 9)) & 3]);
        length = DecodeNum15(bits.Get16(), kStartL1, kDecL1, kPosL1) + 2;
        if (length == 0x101 && saveLength == 10) {
            buf60 ^= 1;
            return;
        }
        if (distance > 256) length++;
        if (distance >= maxDist3) length++;
        oldDist[oldDistPtr++] = distance;
        oldDistPtr &= 3;
        lastLength = length;
        lastDist = distance;
        Copy15(distance, length);
        return;
    }
    lCount = 0;
    avrLn1 += length;
    avrLn1 -= avrLn1 >> 4;
    int distancePlace = int(DecodeNum15(bits.Get16(), kStartHf2, kDecHf2, kPosHf2) & 0xff);
    uint32_t distance = chSetA[distancePlace];
    if (--distancePlace != -1) {
        uint32_t lastDistance = chSetA[distancePlace];
        chSetA[distancePlace + 1] = uint16_t(lastDistance);
        chSetA[distancePlace] = uint16_t(distance);
    }
    length += 2;
    oldDist[oldDistPtr++] = ++distance;
    oldDistPtr &= 3;
    lastLength = length;
    lastDist = distance;
    Copy15(distance, length);
}

void RarUnpack::LongLZ15() {
    numHuf = 0;
    nlzb += 16;
    if (nlzb > 0xff) {
        nlzb = 0x90;
        nhfb >>= 1;
    }
    uint32_t oldAvr2 = avrLn2;
    uint32_t length;
    uint32_t field = bits.Get16();
    if (avrLn2 >= 122)
        length = DecodeNum15(field, kStartL2, kDecL2, kPosL2);
    else if (avrLn2 >= 64)
        length = DecodeNum15(field, kStartL1, kDecL1, kPosL1);
    else if (field < 0x100) {
        length = field;
        bits.Skip(16);
    } else {
        for (length = 0; ((field << length) & 0x8000) == 0; ++length) {
        }
        bits.Skip(length + 1);
    }
    avrLn2 += length;
    avrLn2 -= avrLn2 >> 5;
    field = bits.Get16();
    uint32_t distancePlace;
    if (avrPlcB > 0x28ff)
        distancePlace = DecodeNum15(field, kStartHf2, kDecHf2, kPosHf2);
    else if (avrPlcB > 0x6ff)
        distancePlace = DecodeNum15(field, kStartHf1, kDecHf1, kPosHf1);
    else
        distancePlace = DecodeNum15(field, kStartHf0, kDecHf0, kPosHf0);
    avrPlcB += distancePlace;
    avrPlcB -= avrPlcB >> 8;
    uint32_t distance, newPlace;
    for (;;) {
        distance = chSetB[distancePlace & 0xff];
        newPlace = nToPlB[distance++ & 0xff]++;
        if (!(distance & 0xff))
            CorrHuff15(chSetB, nToPlB);
        else
            break;
    }
    chSetB[distancePlace & 0xff] = chSetB[newPlace];
    chSetB[newPlace] = uint16_t(distance);
    distance = ((distance & 0xff00) | (bits.Get16() >> 8)) >> 1;
    bits.Skip(7);
    uint32_t oldAvr3 = avrLn3;
    if (length != 1 && length != 4) {
        if (length == 0 && distance <= maxDist3) {
            avrLn3++;
            avrLn3 -= avrLn3 >> 8;
        } else if (avrLn3 > 0)
            avrLn3--;
    }
    length += 3;
    if (distance >= maxDist3) length++;
    if (distance <= 256) length += 8;
    if (oldAvr3 > 0xb0 || (avrPlc >= 0x2a00 && oldAvr2 < 0x40))
        maxDist3 = 0x7f00;
    else
        maxDist3 = 0x2001;
    oldDist[oldDistPtr++] = distance;
    oldDistPtr &= 3;
    lastLength = length;
    lastDist = distance;
    Copy15(distance, length);
}

void RarUnpack::HuffDecode15() {
    uint32_t field = bits.Get16();
    int bytePlace;
    if (avrPlc > 0x75ff)
        bytePlace = int(DecodeNum15(field, kStartHf4, kDecHf4, kPosHf4));
    else if (avrPlc > 0x5dff)
        bytePlace = int(DecodeNum15(field, kStartHf3, kDecHf3, kPosHf3));
    else if (avrPlc > 0x35ff)
        bytePlace = int(DecodeNum15(field, kStartHf2, kDecHf2, kPosHf2));
    else if (avrPlc > 0x0dff)
        bytePlace = int(DecodeNum15(field, kStartHf1, kDecHf1, kPosHf1));
    else
        bytePlace = int(DecodeNum15(field, kStartHf0, kDecHf0, kPosHf0));
    bytePlace &= 0xff;
    if (stMode) {
        if (bytePlace == 0 && field > 0xfff) bytePlace = 0x100;
        if (--bytePlace == -1) {
            field = bits.Get16();
            bits.Skip(1);
            if (field & 0x8000) {
                numHuf = stMode = 0;
                return;
            }
            uint32_t length = (field & 0x4000) ? 4 : 3;
            bits.Skip(1);
            uint32_t distance = DecodeNum15(bits.Get16(), kStartHf2, kDecHf2, kPosHf2);
            distance = (distance << 5) | (bits.Get16() >> 11);
            bits.Skip(5);
            Copy15(distance, length);
            return;
        }
    } else if (numHuf++ >= 16 && flagsCnt == 0) {
        stMode = 1;
    }
    avrPlc += uint32_t(bytePlace);
    avrPlc -= avrPlc >> 8;
    nhfb += 16;
    if (nhfb > 0xff) {
        nhfb = 0x90;
        nlzb >>= 1;
    }
    PutByte(uint8_t(chSet[bytePlace] >> 8));
    uint32_t curByte, newPlace;
    for (;;) {
        curByte = chSet[bytePlace];
        newPlace = nToPl[curByte++ & 0xff]++;
        if ((curByte & 0xff) > 0xa1)
            CorrHuff15(chSet, nToPl);
        else
            break;
    }
    chSet[bytePlace] = chSet[newPlace];
    chSet[newPlace] = uint16_t(curByte);
}

void RarUnpack::Unpack15(bool solid) {
    if (!solid) Init15();
    flagsCnt = 0;
    flagBuf = 0;
    stMode = 0;
    lCount = 0;
    if (!Done()) {
        GetFlagsBuf15();
        flagsCnt = 8;
    }
    // The top bit of the flag byte, refilled every eight flags, picks the next step.
    auto nextFlag = [&] {
        if (--flagsCnt < 0) {
            GetFlagsBuf15();
            flagsCnt = 7;
        }
        bool flag = (flagBuf & 0x80) != 0;
        flagBuf <<= 1;
        return flag;
    };
    while (!Done()) {
        CheckInput();
        if (stMode) {
            HuffDecode15();
            continue;
        }
        if (nextFlag()) {
            if (nlzb > nhfb)
                LongLZ15();
            else
                HuffDecode15();
        } else if (nextFlag()) {
            if (nlzb > nhfb)
                HuffDecode15();
            else
                LongLZ15();
        } else {
            ShortLZ15();
        }
    }
}

} // namespace mv::unrar
