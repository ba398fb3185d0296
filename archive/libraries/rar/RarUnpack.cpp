// Shared machinery of the RAR decompressors: the bit reader, the canonical Huffman
// tables and the code lengths that describe them, the lazily growing sliding window
// and the filter queue that turns window areas into output. The generation-specific decoders live in
// RarUnpack15/20/29/5.cpp.
#include "archive/libraries/rar/RarUnpack.h"

#include "archive/framework/Bytes.h"
#include "archive/libraries/rar/RarPpm.h"

#include <algorithm>
#include <cstring>

namespace mv::unrar {

namespace {
constexpr size_t kInputChunk = 1 << 16;
constexpr uint64_t kFlushStep = 1 << 20;   // hand out decoded data at least every MiB
constexpr uint64_t kMatchMargin = 0x2000;  // room for the longest match plus slack
constexpr uint64_t kFirstWindow = 1 << 18; // initial window; grows with the output

struct Cancelled {};
} // namespace

// ---------------------------------------------------------------- bit input

void RarBitInput::Start(CodecInput* source) {
    in = source;
    if (buf.size() != kInputChunk + 64) buf.assign(kInputChunk + 64, 0);
    addr = end = 0;
    bit = 0;
    base = 0;
    eof = false;
    realEndAbs = 0;
    Refill();
}

void RarBitInput::Refill() {
    size_t keep = end > addr ? end - addr : 0;
    if (keep) std::memmove(&buf[0], &buf[addr], keep);
    base += addr;
    addr = 0;
    end = keep;
    while (!eof && end < kInputChunk) {
        size_t n = in->Read(&buf[end], kInputChunk - end);
        if (n == 0) {
            eof = true;
            realEndAbs = base + end;
            break;
        }
        end += n;
    }
    if (eof) {
        // Zero padding past the real data; consumers test PastEnd() in their loops.
        size_t padTo = std::min(buf.size(), end + 32);
        std::memset(&buf[end], 0, padTo - end);
        end = padTo;
    }
}

// ---------------------------------------------------------------- Huffman tables

void RarHuffman::Build(const uint8_t* lengths, uint32_t count) {
    uint32_t lengthCount[16] = {};
    for (uint32_t i = 0; i < count; ++i) lengthCount[lengths[i] & 0xf]++;
    lengthCount[0] = 0;
    maxNum = count;
    decodeNum.assign(count, 0);
    decodePos[0] = 0;
    decodeLen[0] = 0;
    uint32_t upperLimit = 0;
    for (int i = 1; i < 16; ++i) {
        upperLimit += lengthCount[i];
        decodeLen[i] = upperLimit << (16 - i);
        upperLimit *= 2;
        decodePos[i] = decodePos[i - 1] + lengthCount[i - 1];
    }
    uint32_t copyPos[16];
    std::memcpy(copyPos, decodePos, sizeof(copyPos));
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t len = lengths[i] & 0xf;
        if (len != 0) {
            uint32_t p = copyPos[len]++;
            if (p < count) decodeNum[p] = uint16_t(i);
        }
    }
    uint32_t curLen = 1;
    for (uint32_t code = 0; code < (1u << kQuickBits); ++code) {
        uint32_t field = code << (16 - kQuickBits);
        while (curLen < 16 && field >= decodeLen[curLen]) ++curLen;
        quickLen[code] = uint8_t(curLen);
        if (curLen < 16) {
            uint32_t dist = field - decodeLen[curLen - 1];
            uint32_t pos = decodePos[curLen] + (dist >> (16 - curLen));
            quickNum[code] = pos < maxNum ? decodeNum[pos] : 0;
        } else {
            quickNum[code] = 0;
        }
    }
}

uint32_t RarHuffman::DecodeSlow(RarBitInput& in, uint32_t field) const {
    uint32_t n = 15;
    for (uint32_t i = kQuickBits + 1; i < 15; ++i)
        if (field < decodeLen[i]) {
            n = i;
            break;
        }
    in.Skip(n);
    uint32_t dist = field - decodeLen[n - 1];
    uint32_t pos = decodePos[n] + (dist >> (16 - n));
    if (pos >= maxNum) pos = 0;
    return maxNum ? decodeNum[pos] : 0;
}

// ---------------------------------------------------------------- table lengths

void RarUnpack::ReadCodeLengths(uint8_t* table, uint32_t size, const uint8_t* previous, bool rar20) {
    // The pre-code: 19 lengths of 4 bits (RAR 2.0), or 20 where 15 is followed by a
    // 4-bit count: 0 means a length of 15, more means count + 2 zero lengths.
    const uint32_t preCount = rar20 ? 19 : 20;
    uint8_t bitLength[20];
    for (uint32_t i = 0; i < preCount; ++i) {
        uint32_t length = bits.Take(4);
        if (length == 15 && !rar20) {
            uint32_t zeroCount = bits.Take(4);
            if (zeroCount == 0) {
                bitLength[i] = 15;
            } else {
                zeroCount += 2;
                while (zeroCount-- > 0 && i < preCount) bitLength[i++] = 0;
                i--;
            }
        } else {
            bitLength[i] = uint8_t(length);
        }
    }
    bd.Build(bitLength, preCount);
    // Pre-code symbols 0-15 are lengths; then come runs repeating the previous length
    // (RAR 2.0: one symbol, 3 + 2 bits; later: 3 + 3 bits, 11 + 7 bits) and runs of
    // zero lengths (3 + 3 bits, 11 + 7 bits).
    const uint32_t zeroRuns = rar20 ? 17 : 18;
    for (uint32_t i = 0; i < size;) {
        CheckInput();
        uint32_t number = bd.Decode(bits);
        if (number < 16) {
            table[i] = previous ? uint8_t((number + previous[i]) & 0xf) : uint8_t(number);
            ++i;
        } else if (number < zeroRuns) {
            uint32_t n = rar20 ? bits.Take(2) + 3 : number == 16 ? bits.Take(3) + 3 : bits.Take(7) + 11;
            if (i == 0) throw ECodecError(kErrBadTree, "repeat code at table start");
            while (n-- > 0 && i < size) {
                table[i] = table[i - 1];
                ++i;
            }
        } else {
            uint32_t n = number == zeroRuns ? bits.Take(3) + 3 : bits.Take(7) + 11;
            while (n-- > 0 && i < size) table[i++] = 0;
        }
    }
}

// ---------------------------------------------------------------- window and output

RarUnpack::RarUnpack() {
    Reset();
}
RarUnpack::~RarUnpack() = default;

void RarUnpack::Reset() {
    unpPos = wrPos = fileStart = fileEnd = writtenAbs = 0;
    filters.clear();
    tablesRead20 = tablesRead29 = tablesRead5 = false;
    ppmBlock = false;
    vmFilters.clear();
    vmOldLengths.clear();
    vmLastFilter = 0;
    started = false;
}

void RarUnpack::SetDictionary(uint64_t bytes) {
    if (bytes > kMaxDictionary) throw ECodecError(kErrMemory, "dictionary too large");
    requestedDict = bytes;
}

void RarUnpack::EnsureWindow(uint64_t need) {
    uint64_t size = winSize ? winSize : kFirstWindow;
    while (size < need + kMatchMargin && size < dictSize) size *= 2;
    if (size > dictSize) size = dictSize;
    if (size <= winSize) return;
    std::unique_ptr<uint8_t[]> fresh;
    try {
        fresh.reset(new uint8_t[size]());
    } catch (const std::bad_alloc&) {
        throw ECodecError(kErrMemory, "not enough memory for the dictionary");
    }
    // The window has not wrapped yet (it only wraps at full dictionary size), so its
    // contents sit at their absolute positions.
    if (winSize) std::memcpy(fresh.get(), win, size_t(winSize));
    winStore = std::move(fresh);
    win = winStore.get();
    winSize = size;
    winMask = size - 1;
}

void RarUnpack::SetLimit() {
    limit = nextFlush;
    if (winSize < dictSize && winSize - kMatchMargin < limit) limit = winSize - kMatchMargin;
}

void RarUnpack::MakeRoom(uint32_t count) {
    if (winSize < dictSize && unpPos + count + kMatchMargin > winSize) EnsureWindow(unpPos + count);
    if (unpPos + count > nextFlush) Flush(false);
    if (unpPos + count - wrPos + 16 > winSize)
        throw ECodecError(kErrCorrupt, "filter block exceeds the window");
    SetLimit();
    if (unpPos + count > limit) limit = unpPos + count; // this request is safe; recheck after it
}

void RarUnpack::CopyString(uint32_t length, uint64_t distance) {
    if (unpPos + length <= limit) {
        uint64_t src = unpPos - distance;
        size_t s = size_t(src & winMask), d = size_t(unpPos & winMask);
        // memcpy only when source and destination do not overlap in the window
        // (a distance beyond the window size can place the source ahead).
        uint64_t behind = (uint64_t(d) - s) & winMask, ahead = (uint64_t(s) - d) & winMask;
        if (behind >= length && ahead >= length && s + length <= winSize && d + length <= winSize) {
            std::memcpy(win + d, win + s, length);
        } else if (s + length <= winSize && d + length <= winSize) {
            for (uint32_t i = 0; i < length; ++i) win[d + i] = win[s + i];
        } else {
            for (uint32_t i = 0; i < length; ++i) win[(unpPos + i) & winMask] = win[(src + i) & winMask];
        }
        unpPos += length;
        return;
    }
    for (uint32_t i = 0; i < length; ++i) {
        if (unpPos >= limit) MakeRoom(1);
        win[unpPos & winMask] = win[(unpPos - distance) & winMask];
        ++unpPos;
    }
}

void RarUnpack::WriteOut(const uint8_t* p, size_t n) {
    if (writtenAbs < fileEnd) {
        uint64_t room = fileEnd - writtenAbs;
        size_t k = n < room ? n : size_t(room);
        if (k) out->Write(p, k);
    }
    writtenAbs += n;
}

void RarUnpack::WriteArea(uint64_t from, uint64_t to) {
    while (from < to) {
        size_t s = size_t(from & winMask);
        size_t n = size_t(std::min<uint64_t>(to - from, winSize - s));
        WriteOut(win + s, n);
        from += n;
    }
}

void RarUnpack::Flush(bool final) {
    (void) final;
    uint64_t border = wrPos;
    bool blocked = false;
    uint64_t blockEnd = 0;
    for (size_t i = 0; i < filters.size(); ++i) {
        RarFilter& f = filters[i];
        if (f.done) continue;
        if (f.start < border) { // overlaps data already handed out: a corrupt stream
            f.done = true;
            continue;
        }
        if (f.start >= unpPos) continue;
        if (f.start > border) {
            WriteArea(border, f.start);
            border = f.start;
        }
        if (f.start + f.length > unpPos) {
            blocked = true;
            blockEnd = f.start + f.length;
            break;
        }
        filterData.resize(f.length);
        for (uint32_t k = 0; k < f.length;) {
            size_t s = size_t((f.start + k) & winMask);
            size_t n = std::min<size_t>(f.length - k, size_t(winSize - s));
            std::memcpy(&filterData[k], win + s, n);
            k += uint32_t(n);
        }
        ApplyFilter(f, filterData);
        f.done = true;
        // RAR 2.9 applies further filters over the same block to the filtered data.
        while (chainFilters && i + 1 < filters.size() && !filters[i + 1].done &&
               filters[i + 1].start == f.start && filters[i + 1].length == f.length) {
            ++i;
            ApplyFilter(filters[i], filterData);
            filters[i].done = true;
        }
        WriteOut(filterData.data(), filterData.size());
        border = f.start + f.length;
    }
    filters.erase(std::remove_if(filters.begin(), filters.end(), [](const RarFilter& f) { return f.done; }),
                  filters.end());
    if (!blocked) {
        WriteArea(border, unpPos);
        border = unpPos;
    }
    wrPos = border;
    nextFlush = std::max(wrPos + kFlushStep, blocked ? blockEnd : 0);
    if (blocked && blockEnd - wrPos + kMatchMargin > dictSize)
        throw ECodecError(kErrCorrupt, "filter block exceeds the window");
    if (out->Cancelled()) throw Cancelled{};
}

// ---------------------------------------------------------------- filters

namespace {
uint32_t ItaniumGetBits(const uint8_t* data, uint32_t bitPos, uint32_t bitCount) {
    uint32_t a = bitPos / 8, b = bitPos & 7;
    uint32_t field = data[a] | (data[a + 1] << 8) | (data[a + 2] << 16) | (uint32_t(data[a + 3]) << 24);
    field >>= b;
    return field & (0xffffffffu >> (32 - bitCount));
}
void ItaniumSetBits(uint8_t* data, uint32_t field, uint32_t bitPos, uint32_t bitCount) {
    uint32_t a = bitPos / 8, b = bitPos & 7;
    uint32_t andMask = 0xffffffffu >> (32 - bitCount);
    andMask = ~(andMask << b);
    field <<= b;
    for (int i = 0; i < 4; ++i) {
        data[a + i] &= uint8_t(andMask);
        data[a + i] |= uint8_t(field);
        andMask = (andMask >> 8) | 0xff000000u;
        field >>= 8;
    }
}
} // namespace

void RarUnpack::ApplyFilter(RarFilter& f, std::vector<uint8_t>& data) {
    uint32_t size = uint32_t(data.size());
    uint32_t fileOffset = uint32_t(f.start - fileStart);
    uint8_t* d = data.data();
    switch (f.type) {
    case fltE8:
    case fltE8E9: {
        const uint32_t fileSize = 0x1000000;
        uint8_t cmp2 = f.type == fltE8E9 ? 0xe9 : 0xe8;
        for (uint32_t pos = 0; pos + 4 < size;) {
            uint8_t b = d[pos++];
            if (b == 0xe8 || b == cmp2) {
                uint32_t offset = pos + fileOffset;
                if (rar5Filters) offset %= fileSize;
                uint32_t addr = LE32(d + pos);
                if (addr & 0x80000000u) {
                    if (((addr + offset) & 0x80000000u) == 0) PutLE32(d + pos, addr + fileSize);
                } else if ((addr - fileSize) & 0x80000000u) {
                    PutLE32(d + pos, addr - offset);
                }
                pos += 4;
            }
        }
        break;
    }
    case fltArm:
        for (uint32_t pos = 0; pos + 3 < size; pos += 4) {
            uint8_t* p = d + pos;
            if (p[3] == 0xeb) {
                uint32_t offset = p[0] + uint32_t(p[1]) * 0x100 + uint32_t(p[2]) * 0x10000;
                offset -= (fileOffset + pos) / 4;
                p[0] = uint8_t(offset);
                p[1] = uint8_t(offset >> 8);
                p[2] = uint8_t(offset >> 16);
            }
        }
        break;
    case fltItanium: {
        if (size < 21) break;
        static const uint8_t masks[16] = {4, 4, 6, 6, 0, 0, 7, 7, 4, 4, 0, 0, 4, 4, 0, 0};
        uint32_t fo = fileOffset >> 4;
        for (uint32_t pos = 0; pos < size - 21; pos += 16, ++fo) {
            uint8_t* p = d + pos;
            int b = (p[0] & 0x1f) - 0x10;
            if (b >= 0) {
                uint8_t cmdMask = masks[b];
                if (cmdMask)
                    for (uint32_t i = 0; i <= 2; ++i)
                        if (cmdMask & (1 << i)) {
                            uint32_t startPos = i * 41 + 5;
                            uint32_t opType = ItaniumGetBits(p, startPos + 37, 4);
                            if (opType == 5) {
                                uint32_t offset = ItaniumGetBits(p, startPos + 13, 20);
                                ItaniumSetBits(p, (offset - fo) & 0xfffff, startPos + 13, 20);
                            }
                        }
            }
        }
        break;
    }
    case fltDelta: {
        std::vector<uint8_t> dst(size);
        uint32_t src = 0, ch = f.channels ? f.channels : 1;
        for (uint32_t c = 0; c < ch; ++c) {
            uint8_t prev = 0;
            for (uint32_t p = c; p < size && src < size; p += ch) dst[p] = (prev -= d[src++]);
        }
        data.swap(dst);
        break;
    }
    case fltRgb: {
        uint32_t width = f.width - 3, posR = f.posR;
        if (size < 3 || width > size || posR > 2 || f.width < 3)
            throw ECodecError(kErrCorrupt, "bad RGB filter");
        std::vector<uint8_t> dst(size);
        const uint8_t* src = d;
        for (uint32_t c = 0; c < 3; ++c) {
            uint32_t prev = 0;
            for (uint32_t i = c; i < size; i += 3) {
                uint32_t predicted;
                if (i >= width + 3) {
                    const uint8_t* upper = &dst[i - width];
                    uint32_t ub = *upper, ulb = *(upper - 3);
                    predicted = prev + ub - ulb;
                    int pa = std::abs(int(predicted - prev));
                    int pb = std::abs(int(predicted - ub));
                    int pc = std::abs(int(predicted - ulb));
                    if (pa <= pb && pa <= pc)
                        predicted = prev;
                    else if (pb <= pc)
                        predicted = ub;
                    else
                        predicted = ulb;
                } else {
                    predicted = prev;
                }
                dst[i] = uint8_t(prev = uint8_t(predicted - *src++));
            }
        }
        for (uint32_t i = posR; i + 2 < size; i += 3) {
            uint8_t g = dst[i + 1];
            dst[i] += g;
            dst[i + 2] += g;
        }
        data.swap(dst);
        break;
    }
    case fltAudio: {
        uint32_t ch = f.channels;
        if (ch == 0 || ch > 128) throw ECodecError(kErrCorrupt, "bad audio filter");
        std::vector<uint8_t> dst(size);
        const uint8_t* src = d;
        for (uint32_t c = 0; c < ch; ++c) {
            uint32_t prevByte = 0, prevDelta = 0, dif[7] = {};
            int d1 = 0, d2 = 0, d3;
            int k1 = 0, k2 = 0, k3 = 0;
            for (uint32_t i = c, count = 0; i < size; i += ch, ++count) {
                d3 = d2;
                d2 = int(prevDelta) - d1;
                d1 = int(prevDelta);
                uint32_t predicted = 8 * prevByte + k1 * d1 + k2 * d2 + k3 * d3;
                predicted = (predicted >> 3) & 0xff;
                uint32_t cur = *src++;
                predicted -= cur;
                dst[i] = uint8_t(predicted);
                prevDelta = uint32_t(int8_t(predicted - prevByte));
                prevByte = uint8_t(predicted);
                int dd = int8_t(cur);
                dd = int(uint32_t(dd) << 3);
                dif[0] += std::abs(dd);
                dif[1] += std::abs(dd - d1);
                dif[2] += std::abs(dd + d1);
                dif[3] += std::abs(dd - d2);
                dif[4] += std::abs(dd + d2);
                dif[5] += std::abs(dd - d3);
                dif[6] += std::abs(dd + d3);
                if ((count & 0x1f) == 0) {
                    uint32_t minDif = dif[0], numMin = 0;
                    dif[0] = 0;
                    for (uint32_t j = 1; j < 7; ++j) {
                        if (dif[j] < minDif) {
                            minDif = dif[j];
                            numMin = j;
                        }
                        dif[j] = 0;
                    }
                    switch (numMin) {
                    case 1:
                        if (k1 >= -16) k1--;
                        break;
                    case 2:
                        if (k1 < 16) k1++;
                        break;
                    case 3:
                        if (k2 >= -16) k2--;
                        break;
                    case 4:
                        if (k2 < 16) k2++;
                        break;
                    case 5:
                        if (k3 >= -16) k3--;
                        break;
                    case 6:
                        if (k3 < 16) k3++;
                        break;
                    }
                }
            }
        }
        data.swap(dst);
        break;
    }
    default:
        break;
    }
}

// ---------------------------------------------------------------- dispatch

void RarUnpack::Unpack(int version, bool solid, CodecInput& input, CodecOutput& output,
                       uint64_t unpackedSize) {
    out = &output;
    bool rar5 = version == 50 || version == 70;
    uint64_t want = rar5 ? std::max<uint64_t>(requestedDict, uint64_t(8) << 20) : uint64_t(4) << 20;
    uint64_t pow2 = 1;
    while (pow2 < want) pow2 <<= 1;
    if (!started || !solid) {
        // A fresh stream: positions restart, the window memory is kept.
        unpPos = wrPos = writtenAbs = 0;
        filters.clear();
    }
    if (pow2 > dictSize) {
        if (started && solid && winSize == dictSize && unpPos > winSize)
            throw ECodecError(kErrCorrupt, "dictionary grows inside a solid stream");
        dictSize = pow2;
    }
    if (winSize > dictSize) { // a smaller dictionary than before: start over with a fitting window
        winStore.reset();
        win = nullptr;
        winSize = 0;
        if (solid && started) throw ECodecError(kErrCorrupt, "dictionary shrinks inside a solid stream");
    }
    if (!win) EnsureWindow(kFirstWindow);
    // Data of a previous member that never got out (a filter past its end) is dropped.
    filters.clear();
    wrPos = writtenAbs = unpPos;
    fileStart = unpPos;
    fileEnd = unpPos + unpackedSize;
    nextFlush = unpPos + kFlushStep;
    SetLimit();
    rar5Filters = rar5;
    chainFilters = version == 29 || version == 36;
    bool continuing = started && solid;
    started = true;
    if (unpackedSize == 0) return;
    bits.Start(&input);
    try {
        switch (version) {
        case 15:
            Unpack15(continuing);
            break;
        case 20:
        case 26:
            Unpack20(continuing);
            break;
        case 29:
        case 36:
            Unpack29(continuing);
            break;
        case 50:
            Unpack5(continuing, false);
            break;
        case 70:
            Unpack5(continuing, true);
            break;
        default:
            throw ECodecError(kErrUnsupported, "unknown RAR compression version");
        }
        Flush(true);
    } catch (const Cancelled&) {
        return;
    }
}

} // namespace mv::unrar
