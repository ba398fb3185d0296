// RAR5 decompression: LZ77 over a dictionary of up to the declared size, coded with
// canonical Huffman tables carried in self-delimiting blocks (size and check byte in
// each block header), with delta, x86 and ARM branch filters applied to the output.
// Fast because symbols come from direct-lookup tables, long distances take their
// low bits from a small table, and filters run once per block as it leaves the
// window.
#include "archive/libraries/rar/RarUnpack.h"

#include <cstring>

namespace mv::unrar {

namespace {
constexpr uint32_t kNC = 306, kLDC = 16, kRC = 44;
constexpr uint32_t kMaxFilterBlock = 0x400000;
constexpr size_t kMaxPendingFilters = 8192;
} // namespace

bool RarUnpack::ReadBlockHeader5() {
    bits.AlignByte();
    CheckInput();
    uint32_t flags = bits.Get16() >> 8;
    bits.Skip(8);
    uint32_t byteCount = ((flags >> 3) & 3) + 1;
    if (byteCount == 4) return false;
    uint32_t blockBitSize = (flags & 7) + 1;
    uint32_t savedCheck = bits.Get16() >> 8;
    bits.Skip(8);
    uint32_t blockSize = 0;
    for (uint32_t i = 0; i < byteCount; ++i) {
        blockSize += (bits.Get16() >> 8) << (i * 8);
        bits.Skip(8);
    }
    uint8_t check = uint8_t(0x5a ^ flags ^ blockSize ^ (blockSize >> 8) ^ (blockSize >> 16));
    if (check != savedCheck) return false;
    uint64_t blockStart = bits.BitPosition() / 8;
    blockEndBits = (blockStart + blockSize) * 8 + blockBitSize - 8;
    blockLast = (flags & 0x40) != 0;
    blockTables = (flags & 0x80) != 0;
    return true;
}

void RarUnpack::ReadTables5(bool v7) {
    const uint32_t dc = v7 ? 80 : 64;
    const uint32_t tableSize = kNC + dc + kLDC + kRC;
    uint8_t table[kNC + 80 + kLDC + kRC];
    ReadCodeLengths(table, tableSize, nullptr, false);
    CheckInput();
    tablesRead5 = true;
    BuildLzTables(table, kNC, dc, kLDC, kRC);
}

uint32_t RarUnpack::SlotToLength5(uint32_t slot) {
    uint32_t lbits, length = 2;
    if (slot < 8) {
        lbits = 0;
        length += slot;
    } else {
        lbits = slot / 4 - 1;
        length += (4 | (slot & 3)) << lbits;
    }
    if (lbits > 0) length += bits.Take(lbits);
    return length;
}

uint32_t RarUnpack::ReadFilterData5() {
    uint32_t byteCount = (bits.Get16() >> 14) + 1;
    bits.Skip(2);
    uint32_t data = 0;
    for (uint32_t i = 0; i < byteCount; ++i) {
        data += (bits.Get16() >> 8) << (i * 8);
        bits.Skip(8);
    }
    return data;
}

void RarUnpack::Unpack5(bool solid, bool v7) {
    if (!solid) {
        tablesRead5 = false;
        for (auto& d : oldDist) d = 0;
        lastLength = 0;
    }
    if (!ReadBlockHeader5()) throw ECodecError(kErrCorrupt, "bad block header");
    if (blockTables) ReadTables5(v7);
    if (!tablesRead5) throw ECodecError(kErrCorrupt, "block without tables");
    for (;;) {
        bool fileDone = false;
        while (bits.BitPosition() >= blockEndBits) {
            if (blockLast) {
                fileDone = true;
                break;
            }
            if (!ReadBlockHeader5()) throw ECodecError(kErrCorrupt, "bad block header");
            if (blockTables) ReadTables5(v7);
        }
        if (fileDone || MemberComplete()) break;
        uint32_t mainSlot = ld.Decode(bits);
        if (mainSlot < 256) {
            PutByte(uint8_t(mainSlot));
            continue;
        }
        if (mainSlot >= 262) {
            uint32_t length = SlotToLength5(mainSlot - 262);
            uint32_t distSlot = dd.Decode(bits);
            uint64_t distance = 1;
            uint32_t dbits;
            if (distSlot < 4) {
                dbits = 0;
                distance += distSlot;
            } else {
                dbits = distSlot / 2 - 1;
                distance += uint64_t(2 | (distSlot & 1)) << dbits;
            }
            if (dbits > 0) {
                if (dbits >= 4) {
                    if (dbits > 4) {
                        uint32_t high = dbits - 4;
                        uint64_t v = 0;
                        if (high > 16) {
                            v = uint64_t(bits.Get16()) << (high - 16);
                            bits.Skip(16);
                            high -= 16;
                            v |= bits.Get32() >> (32 - high);
                            bits.Skip(high);
                        } else {
                            v = bits.Take(high);
                        }
                        distance += v << 4;
                    }
                    distance += ldd.Decode(bits);
                } else {
                    distance += bits.Take(dbits);
                }
            }
            if (distance > 0x100) {
                length++;
                if (distance > 0x2000) {
                    length++;
                    if (distance > 0x40000) length++;
                }
            }
            PushOldDist(distance);
            lastLength = length;
            CopyString(length, distance);
            continue;
        }
        if (mainSlot == 256) {
            RarFilter f;
            uint32_t blockStart = ReadFilterData5();
            uint32_t blockLength = ReadFilterData5();
            uint32_t type = bits.Get16() >> 13;
            bits.Skip(3);
            switch (type) {
            case 0:
                f.type = fltDelta;
                f.channels = (bits.Get16() >> 11) + 1;
                bits.Skip(5);
                break;
            case 1:
                f.type = fltE8;
                break;
            case 2:
                f.type = fltE8E9;
                break;
            case 3:
                f.type = fltArm;
                break;
            default:
                throw ECodecError(kErrUnsupported, "unknown RAR5 filter");
            }
            if (blockLength == 0 || blockLength > kMaxFilterBlock) continue;
            if (filters.size() >= kMaxPendingFilters) {
                Flush(false);
                SetLimit();
                if (filters.size() >= kMaxPendingFilters) filters.clear();
            }
            f.start = unpPos + blockStart;
            f.length = blockLength;
            filters.push_back(f);
            continue;
        }
        if (mainSlot == 257) {
            if (lastLength != 0) CopyString(lastLength, oldDist[0]);
            continue;
        }
        uint64_t distance = RepeatOldDist(mainSlot - 258);
        uint32_t lengthSlot = rd.Decode(bits);
        uint32_t length = SlotToLength5(lengthSlot);
        lastLength = length;
        CopyString(length, distance);
    }
}

} // namespace mv::unrar
