// RAR 2.9/3.x decompression: LZ77 with canonical Huffman tables (main, distance,
// low-distance and repeat tables) switching per block with PPMd variant H, plus
// the standard filters (x86 call translation, Itanium branches, delta, RGB and
// audio prediction). The archive sends each filter as a small program; we never run
// programs, we recognise the standard ones by length and CRC of their code and
// apply our own implementation; any other program is refused as unsupported.
// Fast because the LZ loop decodes from direct-lookup tables straight into the
// window, and filters run once over their block when it leaves the window.
#include "archive/libraries/rar/RarCrc.h"
#include "archive/libraries/rar/RarLzSlots.h"
#include "archive/libraries/rar/RarPpm.h"
#include "archive/libraries/rar/RarUnpack.h"

#include <cstring>

namespace mv::unrar {

namespace {
constexpr uint32_t kNC = 299, kDC = 60, kLDC = 17, kRC = 28;
constexpr uint32_t kTableSize = kNC + kDC + kLDC + kRC;
constexpr unsigned kMaxFilters = 1024;
constexpr uint32_t kVmMemory = 0x40000;

struct DistTables {
    uint32_t dec[kDC];
    uint8_t bits[kDC];
    DistTables() {
        static const uint8_t counts[] = {4, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 14, 0, 12};
        uint32_t dist = 0, slot = 0;
        for (uint32_t i = 0; i < sizeof(counts); ++i)
            for (uint32_t j = 0; j < counts[i]; ++j, dist += (1u << i)) {
                dec[slot] = dist;
                bits[slot] = uint8_t(i);
                ++slot;
            }
    }
};
const DistTables& Dist() {
    static const DistTables t;
    return t;
}

// Reads one variable-length number of filter parameters.
uint32_t ReadVmData(RarBitInput& in) {
    uint32_t data = in.Get16();
    switch (data & 0xc000) {
    case 0:
        in.Skip(6);
        return (data >> 10) & 0xf;
    case 0x4000:
        if ((data & 0x3c00) == 0) {
            data = 0xffffff00u | ((data >> 2) & 0xff);
            in.Skip(14);
        } else {
            data = (data >> 6) & 0xff;
            in.Skip(10);
        }
        return data;
    case 0x8000:
        in.Skip(2);
        data = in.Get16();
        in.Skip(16);
        return data;
    default:
        in.Skip(2);
        data = in.Get16() << 16;
        in.Skip(16);
        data |= in.Get16();
        in.Skip(16);
        return data;
    }
}

// The standard filter programs, known by their length and CRC-32.
int StandardFilter(const std::vector<uint8_t>& code) {
    if (code.empty()) return -1;
    uint8_t x = 0;
    for (size_t i = 1; i < code.size(); ++i) x ^= code[i];
    if (x != code[0]) return -1;
    struct Sig {
        uint32_t length, crc;
        int type;
    };
    static const Sig sigs[] = {
        {53, 0xad576887u, RarUnpack::fltE8},       {57, 0x3cd7e57eu, RarUnpack::fltE8E9},
        {120, 0x3769893fu, RarUnpack::fltItanium}, {29, 0x0e06077du, RarUnpack::fltDelta},
        {149, 0x1c2c5dc8u, RarUnpack::fltRgb},     {216, 0xbc85e701u, RarUnpack::fltAudio},
    };
    uint32_t crc = Crc32(0, code.data(), code.size());
    for (const auto& s : sigs)
        if (s.length == code.size() && s.crc == crc) return s.type;
    return -1;
}
} // namespace

bool RarUnpack::ReadTables29() {
    bits.AlignByte();
    CheckInput();
    uint32_t field = bits.Get16();
    if (field & 0x8000) {
        ppmBlock = true;
        if (!ppm) ppm = std::make_unique<RarPpmModel>();
        if (!ppm->DecodeInit(bits, ppmEscChar)) throw ECodecError(kErrCorrupt, "bad PPMd block start");
        return true;
    }
    ppmBlock = false;
    prevLowDist = 0;
    lowDistRepCount = 0;
    if (!(field & 0x4000)) std::memset(oldTable29, 0, sizeof(oldTable29));
    bits.Skip(2);
    uint8_t table[kTableSize];
    ReadCodeLengths(table, kTableSize, oldTable29, false);
    CheckInput();
    tablesRead29 = true;
    BuildLzTables(table, kNC, kDC, kLDC, kRC);
    std::memcpy(oldTable29, table, sizeof(oldTable29));
    return true;
}

bool RarUnpack::ReadEndOfBlock29() {
    uint32_t field = bits.Get16();
    bool newTable, newFile = false;
    if (field & 0x8000) {
        newTable = true;
        bits.Skip(1);
    } else {
        newFile = true;
        newTable = (field & 0x4000) != 0;
        bits.Skip(2);
    }
    tablesRead29 = !newTable;
    if (newFile) return false;
    if (newTable) ReadTables29();
    return true;
}

bool RarUnpack::AddVMCode29(unsigned firstByte, const std::vector<uint8_t>& code) {
    MemoryInput codeInput(code);
    RarBitInput in;
    in.Start(&codeInput);
    unsigned filtPos;
    if (firstByte & 0x80) {
        filtPos = ReadVmData(in);
        if (filtPos == 0) {
            vmFilters.clear();
            vmOldLengths.clear();
        } else {
            filtPos--;
        }
    } else {
        filtPos = vmLastFilter;
    }
    if (filtPos > vmFilters.size() || filtPos > vmOldLengths.size()) return false;
    vmLastFilter = filtPos;
    bool newFilter = filtPos == vmFilters.size();
    if (newFilter) {
        if (filtPos > kMaxFilters) return false;
        vmFilters.push_back({-1});
        vmOldLengths.push_back(0);
    }
    size_t pending = 0;
    for (const auto& f : filters) pending += !f.done;
    if (pending > kMaxFilters) return false;

    RarFilter f;
    uint32_t blockStart = ReadVmData(in);
    if (firstByte & 0x40) blockStart += 258;
    f.start = unpPos + blockStart;
    uint32_t blockLength;
    if (firstByte & 0x20) {
        blockLength = ReadVmData(in);
        vmOldLengths[filtPos] = blockLength;
    } else {
        blockLength = filtPos < vmOldLengths.size() ? vmOldLengths[filtPos] : 0;
    }
    uint32_t initR[7] = {};
    initR[4] = blockLength;
    if (firstByte & 0x10) {
        uint32_t initMask = in.Get16() >> 9;
        in.Skip(7);
        for (unsigned i = 0; i < 7; ++i)
            if (initMask & (1u << i)) initR[i] = ReadVmData(in);
    }
    if (newFilter) {
        uint32_t codeSize = ReadVmData(in);
        if (codeSize >= 0x10000 || codeSize == 0 || in.BitPosition() / 8 + codeSize > code.size())
            return false;
        std::vector<uint8_t> vmCode(codeSize);
        for (uint32_t i = 0; i < codeSize; ++i) {
            vmCode[i] = uint8_t(in.Get16() >> 8);
            in.Skip(8);
        }
        int type = StandardFilter(vmCode);
        if (type < 0)
            throw ECodecError(kErrUnsupported, "archive uses a filter program that is not a standard one");
        vmFilters[filtPos].type = type;
    }
    if (firstByte & 8) {
        uint32_t dataSize = ReadVmData(in);
        if (dataSize > 0x2000 - 0x40) return false;
        for (uint32_t i = 0; i < dataSize; ++i) in.Skip(8);
    }
    f.type = vmFilters[filtPos].type;
    f.length = blockLength;
    f.channels = initR[0];
    f.width = initR[0];
    f.posR = initR[1];
    // The limits the original filter programs enforce.
    switch (f.type) {
    case fltE8:
    case fltE8E9:
        if (f.length > kVmMemory || f.length < 4) f.type = fltNone;
        break;
    case fltItanium:
        if (f.length > kVmMemory || f.length < 21) f.type = fltNone;
        break;
    case fltDelta:
        if (f.length > kVmMemory / 2 || f.channels > 1024 || f.channels == 0) f.type = fltNone;
        break;
    case fltRgb:
        if (f.length > kVmMemory / 2 || f.length < 3 || f.width < 3 || f.width - 3 > f.length || f.posR > 2)
            f.type = fltNone;
        break;
    case fltAudio:
        if (f.length > kVmMemory / 2 || f.channels > 128 || f.channels == 0) f.type = fltNone;
        break;
    }
    if (f.type == fltNone) throw ECodecError(kErrCorrupt, "filter parameters out of range");
    filters.push_back(f);
    return true;
}

bool RarUnpack::ReadVMCode29() {
    uint32_t firstByte = bits.Get16() >> 8;
    bits.Skip(8);
    uint32_t length = (firstByte & 7) + 1;
    if (length == 7) {
        length = (bits.Get16() >> 8) + 7;
        bits.Skip(8);
    } else if (length == 8) {
        length = bits.Get16();
        bits.Skip(16);
    }
    if (length == 0) return false;
    std::vector<uint8_t> code(length);
    for (uint32_t i = 0; i < length; ++i) {
        CheckInput();
        code[i] = uint8_t(bits.Get16() >> 8);
        bits.Skip(8);
    }
    return AddVMCode29(firstByte, code);
}

// The next PPMd character; a model failure ends the block as corrupt.
int RarUnpack::PPMDecodeChar() {
    int ch = ppm->DecodeChar();
    if (ch == -1) {
        ppm->CleanUp();
        ppmBlock = false;
        throw ECodecError(kErrCorrupt, "corrupt PPMd data");
    }
    return ch;
}

// The same inside an escape sequence, where the data must not end.
int RarUnpack::SafePPMDecodeChar() {
    int ch = PPMDecodeChar();
    CheckInput();
    return ch;
}

bool RarUnpack::ReadVMCodePPM29() {
    uint32_t firstByte = uint32_t(SafePPMDecodeChar());
    uint32_t length = (firstByte & 7) + 1;
    if (length == 7) {
        length = uint32_t(SafePPMDecodeChar()) + 7;
    } else if (length == 8) {
        uint32_t b1 = uint32_t(SafePPMDecodeChar());
        uint32_t b2 = uint32_t(SafePPMDecodeChar());
        length = b1 * 256 + b2;
    }
    if (length == 0) return false;
    std::vector<uint8_t> code(length);
    for (uint32_t i = 0; i < length; ++i) code[i] = uint8_t(SafePPMDecodeChar());
    return AddVMCode29(firstByte, code);
}

void RarUnpack::Unpack29(bool solid) {
    if (!solid) {
        tablesRead29 = false;
        ppmBlock = false;
        ppmEscChar = 2;
        std::memset(oldTable29, 0, sizeof(oldTable29));
        ResetOldDists();
        prevLowDist = 0;
        lowDistRepCount = 0;
        vmFilters.clear();
        vmOldLengths.clear();
        vmLastFilter = 0;
    }
    if (!solid || !tablesRead29) ReadTables29();
    const DistTables& dist = Dist();
    while (!MemberComplete()) {
        if (ppmBlock) {
            int ch = PPMDecodeChar();
            if (ch == ppmEscChar) {
                int next = SafePPMDecodeChar();
                if (next == 0) {
                    ReadTables29();
                    continue;
                }
                if (next == 2) break;
                if (next == 3) {
                    if (!ReadVMCodePPM29()) throw ECodecError(kErrCorrupt, "bad filter record");
                    continue;
                }
                if (next == 4) {
                    uint32_t distance = 0, length = 0;
                    for (int i = 0; i < 4; ++i) {
                        int c = SafePPMDecodeChar();
                        if (i == 3)
                            length = uint8_t(c);
                        else
                            distance = (distance << 8) + uint8_t(c);
                    }
                    CopyString(length + 32, distance + 2);
                    continue;
                }
                if (next == 5) {
                    int length = SafePPMDecodeChar();
                    CopyString(uint32_t(length) + 4, 1);
                    continue;
                }
            }
            PutByte(uint8_t(ch));
            continue;
        }
        uint32_t number = ld.Decode(bits);
        if (number < 256) {
            PutByte(uint8_t(number));
            continue;
        }
        if (number >= 271) {
            number -= 271;
            if (number >= kLengthSlots) throw ECodecError(kErrCorrupt, "bad length code");
            uint32_t length = SlotLength(bits, number) + 3u;
            uint32_t distNumber = dd.Decode(bits);
            if (distNumber >= kDC) throw ECodecError(kErrCorrupt, "bad distance code");
            uint32_t distance = dist.dec[distNumber] + 1;
            if (uint32_t b = dist.bits[distNumber]) {
                if (distNumber > 9) {
                    if (b > 4) {
                        distance += (bits.Get32() >> (36 - b)) << 4;
                        bits.Skip(b - 4);
                    }
                    if (lowDistRepCount > 0) {
                        lowDistRepCount--;
                        distance += prevLowDist;
                    } else {
                        uint32_t lowDist = ldd.Decode(bits);
                        if (lowDist == 16) {
                            lowDistRepCount = 16 - 1;
                            distance += prevLowDist;
                        } else {
                            distance += lowDist;
                            prevLowDist = lowDist;
                        }
                    }
                } else {
                    distance += bits.Take(b);
                }
            }
            if (distance >= 0x2000) {
                length++;
                if (distance >= 0x40000) length++;
            }
            PushOldDist(distance);
            lastLength = length;
            CopyString(length, distance);
            continue;
        }
        if (number == 256) {
            if (!ReadEndOfBlock29()) break;
            continue;
        }
        if (number == 257) {
            if (!ReadVMCode29()) throw ECodecError(kErrCorrupt, "bad filter record");
            continue;
        }
        if (number == 258) {
            if (lastLength != 0) CopyString(lastLength, oldDist[0]);
            continue;
        }
        if (number < 263) {
            uint64_t distance = RepeatOldDist(number - 259);
            uint32_t lengthNumber = rd.Decode(bits);
            if (lengthNumber >= kLengthSlots) throw ECodecError(kErrCorrupt, "bad length code");
            uint32_t length = SlotLength(bits, lengthNumber) + 2u;
            lastLength = length;
            CopyString(length, distance);
            continue;
        }
        if (number < 272) {
            uint32_t distance = SlotShortDistance(bits, number - 263);
            PushOldDist(distance);
            lastLength = 2;
            CopyString(2, distance);
            continue;
        }
    }
}

} // namespace mv::unrar
