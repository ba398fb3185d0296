// RAR 2.0 decompression: LZ77 with canonical Huffman tables sent per block (delta
// coded against the previous tables), plus the multimedia mode that predicts audio
// samples per channel with an adaptive linear filter and codes the residuals.
// Fast because symbols come from direct-lookup Huffman tables and matches are window
// copies without per-byte bounds tests.
#include "archive/libraries/rar/RarLzSlots.h"
#include "archive/libraries/rar/RarUnpack.h"

#include <cstdlib>
#include <cstring>

namespace mv::unrar {

namespace {
constexpr uint32_t kNC20 = 298, kDC20 = 48, kRC20 = 28, kMC20 = 257;
const uint32_t kDDecode[] = {0,      1,      2,      3,      4,      6,      8,      12,     16,     24,
                             32,     48,     64,     96,     128,    192,    256,    384,    512,    768,
                             1024,   1536,   2048,   3072,   4096,   6144,   8192,   12288,  16384,  24576,
                             32768,  49152,  65536,  98304,  131072, 196608, 262144, 327680, 393216, 458752,
                             524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
const uint8_t kDBits[] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                          7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                          15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
} // namespace

bool RarUnpack::ReadTables20() {
    uint8_t table[kMC20 * 4];
    uint32_t field = bits.Get16();
    audioBlock20 = (field & 0x8000) != 0;
    if (!(field & 0x4000)) std::memset(oldTable20, 0, sizeof(oldTable20));
    bits.Skip(2);
    uint32_t tableSize;
    if (audioBlock20) {
        channels20 = ((field >> 12) & 3) + 1;
        if (curChannel20 >= channels20) curChannel20 = 0;
        bits.Skip(2);
        tableSize = kMC20 * channels20;
    } else {
        tableSize = kNC20 + kDC20 + kRC20;
    }
    ReadCodeLengths(table, tableSize, oldTable20, true);
    tablesRead20 = true;
    CheckInput();
    if (audioBlock20) {
        for (uint32_t i = 0; i < channels20; ++i) md20[i].Build(&table[i * kMC20], kMC20);
    } else {
        ld.Build(&table[0], kNC20);
        dd.Build(&table[kNC20], kDC20);
        rd.Build(&table[kNC20 + kDC20], kRC20);
    }
    std::memcpy(oldTable20, table, tableSize);
    return true;
}

uint8_t RarUnpack::DecodeAudio20(int delta) {
    AudioState* v = &aud[curChannel20];
    v->byteCount++;
    v->d4 = v->d3;
    v->d3 = v->d2;
    v->d2 = v->lastDelta - v->d1;
    v->d1 = v->lastDelta;
    int pch = 8 * v->lastChar + v->k1 * v->d1 + v->k2 * v->d2 + v->k3 * v->d3 + v->k4 * v->d4 +
              v->k5 * channelDelta20;
    pch = (pch >> 3) & 0xff;
    unsigned ch = unsigned(pch - delta);
    int d = int8_t(delta);
    d = int(unsigned(d) << 3);
    v->dif[0] += std::abs(d);
    v->dif[1] += std::abs(d - v->d1);
    v->dif[2] += std::abs(d + v->d1);
    v->dif[3] += std::abs(d - v->d2);
    v->dif[4] += std::abs(d + v->d2);
    v->dif[5] += std::abs(d - v->d3);
    v->dif[6] += std::abs(d + v->d3);
    v->dif[7] += std::abs(d - v->d4);
    v->dif[8] += std::abs(d + v->d4);
    v->dif[9] += std::abs(d - channelDelta20);
    v->dif[10] += std::abs(d + channelDelta20);
    channelDelta20 = v->lastDelta = int8_t(ch - unsigned(v->lastChar));
    v->lastChar = int(ch & 0xff);
    if ((v->byteCount & 0x1f) == 0) {
        unsigned minDif = v->dif[0], numMin = 0;
        v->dif[0] = 0;
        for (unsigned i = 1; i < 11; ++i) {
            if (v->dif[i] < minDif) {
                minDif = v->dif[i];
                numMin = i;
            }
            v->dif[i] = 0;
        }
        switch (numMin) {
        case 1:
            if (v->k1 >= -16) v->k1--;
            break;
        case 2:
            if (v->k1 < 16) v->k1++;
            break;
        case 3:
            if (v->k2 >= -16) v->k2--;
            break;
        case 4:
            if (v->k2 < 16) v->k2++;
            break;
        case 5:
            if (v->k3 >= -16) v->k3--;
            break;
        case 6:
            if (v->k3 < 16) v->k3++;
            break;
        case 7:
            if (v->k4 >= -16) v->k4--;
            break;
        case 8:
            if (v->k4 < 16) v->k4++;
            break;
        case 9:
            if (v->k5 >= -16) v->k5--;
            break;
        case 10:
            if (v->k5 < 16) v->k5++;
            break;
        }
    }
    return uint8_t(ch);
}

void RarUnpack::Unpack20(bool solid) {
    if (!solid) {
        tablesRead20 = false;
        audioBlock20 = false;
        channelDelta20 = 0;
        curChannel20 = 0;
        channels20 = 1;
        std::memset(aud, 0, sizeof(aud));
        std::memset(oldTable20, 0, sizeof(oldTable20));
        ResetOldDists();
    }
    if (!solid || !tablesRead20) ReadTables20();
    auto copy20 = [&](uint32_t length, uint32_t distance) {
        lastDist = oldDist[oldDistPtr++ & 3] = distance;
        lastLength = length;
        CopyString(length, distance);
    };
    while (!Done()) {
        CheckInput();
        if (audioBlock20) {
            uint32_t audioNumber = md20[curChannel20].Decode(bits);
            if (audioNumber == 256) {
                ReadTables20();
                continue;
            }
            PutByte(DecodeAudio20(int(audioNumber)));
            if (++curChannel20 == channels20) curChannel20 = 0;
            continue;
        }
        uint32_t number = ld.Decode(bits);
        if (number < 256) {
            PutByte(uint8_t(number));
            continue;
        }
        if (number > 269) {
            number -= 270;
            if (number >= kLengthSlots) throw ECodecError(kErrCorrupt, "bad length code");
            uint32_t length = SlotLength(bits, number) + 3u;
            uint32_t distNumber = dd.Decode(bits);
            if (distNumber >= kDC20) throw ECodecError(kErrCorrupt, "bad distance code");
            uint32_t distance = kDDecode[distNumber] + 1;
            if (uint32_t b = kDBits[distNumber]) distance += bits.Take(b);
            if (distance >= 0x2000) {
                length++;
                if (distance >= 0x40000) length++;
            }
            copy20(length, distance);
            continue;
        }
        if (number == 269) {
            ReadTables20();
            continue;
        }
        if (number == 256) {
            copy20(lastLength, uint32_t(lastDist));
            continue;
        }
        if (number < 261) {
            uint32_t distance = uint32_t(oldDist[(oldDistPtr - (number - 256)) & 3]);
            uint32_t lengthNumber = rd.Decode(bits);
            if (lengthNumber >= kLengthSlots) throw ECodecError(kErrCorrupt, "bad length code");
            uint32_t length = SlotLength(bits, lengthNumber) + 2u;
            if (distance >= 0x101) {
                length++;
                if (distance >= 0x2000) {
                    length++;
                    if (distance >= 0x40000) length++;
                }
            }
            copy20(length, distance);
            continue;
        }
        // 261..268: short distances
        copy20(2, SlotShortDistance(bits, number - 261));
    }
    // A solid stream may carry the next member's tables right after this one.
    if (bits.AtLeast(5)) {
        if (audioBlock20) {
            if (md20[curChannel20].Decode(bits) == 256) ReadTables20();
        } else if (ld.Decode(bits) == 269) {
            ReadTables20();
        }
    }
}

} // namespace mv::unrar
