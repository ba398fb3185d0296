// The ACE 1.0 and 2.0 decompressors (see AceDecode.h).
#include "archive/libraries/ace/AceDecode.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace mv::unace {

namespace {

constexpr size_t kWindowMax = size_t(1) << 22; // matches reach at most 2^22 bytes back
constexpr uint64_t kWindowMask = kWindowMax - 1;
constexpr size_t kChunk = 1 << 16; // output handed on per call

[[noreturn]] void Corrupt(const char* what) {
    throw ECodecError(kErrAceCorrupt, what);
}

// 32-bit little-endian words, each read from its top bit down. Looking ahead past
// the end gives zero bits; consuming them is an error.
class BitReader {
public:
    explicit BitReader(CodecInput& in) : FIn(in) {}
    uint32_t Peek(int k) {
        if (FBits < k) Refill();
        return k == 0 ? 0 : uint32_t(FBuf >> (64 - k));
    }
    void Skip(int k) {
        if (k > FReal) Corrupt("compressed data ends early");
        FReal -= k;
        FBits -= k;
        FBuf <<= k;
    }
    uint32_t Bits(int k) {
        uint32_t v = Peek(k);
        Skip(k);
        return v;
    }

private:
    void Refill() {
        uint32_t w = 0;
        const bool real = NextWord(w);
        FBuf |= uint64_t(w) << (32 - FBits);
        FBits += 32;
        if (real) FReal += 32;
    }
    bool NextWord(uint32_t& w) {
        if (FLen - FPos < 4 && !FEof) {
            std::memmove(FIb, FIb + FPos, FLen - FPos);
            FLen -= FPos;
            FPos = 0;
            while (FLen < sizeof(FIb)) {
                size_t r = FIn.Read(FIb + FLen, sizeof(FIb) - FLen);
                if (r == 0) {
                    FEof = true;
                    break;
                }
                FLen += r;
            }
        }
        if (FPos >= FLen) return false;
        uint8_t b[4] = {};
        const size_t k = std::min<size_t>(4, FLen - FPos); // a short last word is padded with zeros
        std::memcpy(b, FIb + FPos, k);
        FPos += k;
        w = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
        return true;
    }
    CodecInput& FIn;
    uint64_t FBuf = 0;
    int FBits = 0;
    int64_t FReal = 0; // bits of real data in FBuf
    uint8_t FIb[1 << 14];
    size_t FPos = 0, FLen = 0;
    bool FEof = false;
};

// A canonical Huffman code as ACE builds it: a flat table indexed by maxw bits.
struct Huffman {
    std::vector<uint16_t> table;
    uint8_t len[512] = {};
    int maxw = 0;
    int Decode(BitReader& br) const {
        const uint32_t x = br.Peek(maxw);
        if (x >= table.size()) Corrupt("code not in the table");
        const int s = table[x];
        br.Skip(len[s]);
        return s;
    }
};

// The symbol order within one code length is the one this exact quicksort gives
// (descending lengths); the codes are assigned from its end.
void SortRange(uint8_t* k, uint16_t* v, int lo, int hi) {
    int i = lo, j = hi;
    const uint8_t pivot = k[hi];
    do {
        while (k[i] > pivot) ++i;
        while (k[j] < pivot) --j;
        if (i <= j) {
            std::swap(k[i], k[j]);
            std::swap(v[i], v[j]);
            ++i;
            --j;
        }
    } while (i < j);
    if (lo < j) {
        if (lo < j - 1) {
            SortRange(k, v, lo, j);
        } else if (k[lo] < k[j]) {
            std::swap(k[lo], k[j]);
            std::swap(v[lo], v[j]);
        }
    }
    if (i < hi) {
        if (i < hi - 1) {
            SortRange(k, v, i, hi);
        } else if (k[i] < k[hi]) {
            std::swap(k[i], k[hi]);
            std::swap(v[i], v[hi]);
        }
    }
}

void BuildHuffman(Huffman& h, const uint8_t* lens, int n, int maxw) {
    uint8_t k[512];
    uint16_t v[512];
    for (int i = 0; i < n; ++i) {
        if (lens[i] > maxw) Corrupt("code length above the maximum");
        k[i] = lens[i];
        v[i] = uint16_t(i);
    }
    if (n >= 2) SortRange(k, v, 0, n - 1);
    std::memset(h.len, 0, sizeof(h.len));
    for (int i = 0; i < n; ++i) h.len[v[i]] = k[i];
    int used = 0;
    while (used < n && k[used] != 0) ++used;
    if (used < 2) {
        h.len[v[0]] = 1;
        if (used == 0) used = 1;
    }
    h.maxw = maxw;
    h.table.clear();
    const size_t cap = size_t(1) << maxw;
    for (int i = used - 1; i >= 0; --i) {
        const size_t count = size_t(1) << (maxw - k[i]);
        if (h.table.size() + count > cap) Corrupt("over-subscribed code");
        h.table.insert(h.table.end(), count, v[i]);
    }
}

void ReadHuffman(BitReader& br, Huffman& h, int maxw, int ncodes) {
    int n = int(br.Bits(9)) + 1;
    if (n > ncodes + 1) n = ncodes + 1;
    const int lo = int(br.Bits(4));
    const int up = int(br.Bits(4));
    uint8_t ll[16];
    for (int i = 0; i <= up; ++i) ll[i] = uint8_t(br.Bits(3));
    Huffman lh;
    BuildHuffman(lh, ll, up + 1, 7);
    uint8_t raw[512];
    int got = 0;
    while (got < n) {
        const int s = lh.Decode(br);
        if (s < up) {
            raw[got++] = uint8_t(s);
        } else {
            int run = int(br.Bits(4)) + 4;
            while (run-- > 0 && got < n) raw[got++] = 0;
        }
    }
    if (up > 0)
        for (int i = 1; i < n; ++i) raw[i] = uint8_t((raw[i] + raw[i - 1]) % up);
    uint8_t lens[512];
    for (int i = 0; i < n; ++i) lens[i] = raw[i] == 0 ? 0 : uint8_t(raw[i] + lo);
    BuildHuffman(h, lens, n, maxw);
}

struct ModeRecord {
    int mode = 0;
    int deltaDist = 0;
    int deltaLen = 0;
    int exeMode = 0;
};

inline int SignedByte(int v) {
    return int(int8_t(uint8_t(v & 0xFF)));
}
inline int BitLen(int v) {
    int n = 0;
    while (v > 0) {
        ++n;
        v >>= 1;
    }
    return n;
}

// The predictor state of one SOUND channel.
struct SoundChannel {
    int last = 0; // signed byte
    int dif[4] = {};
    int coef[4] = {};
    int err[9] = {};
    int count = 0;
    int score[2] = {};
    int snap[2] = {};
    int adapt = 0;
    int model = 0;
    int state = 0;
    int run = 0;
    int Predict() const {
        const int sum = 8 * last + coef[0] * dif[0] + coef[1] * dif[1] + coef[2] * dif[2] + coef[3] * dif[3];
        return (sum >> 3) & 0xFF;
    }
    void Update(uint8_t b) {
        const int s = SignedByte(b);
        ++count;
        const int p = Predict();
        const int e = 8 * SignedByte(p - s);
        for (int k = 0; k < 4; ++k) {
            err[2 * k] += std::abs(e - dif[k]);
            err[2 * k + 1] += std::abs(e + dif[k]);
        }
        err[8] += std::abs(e);
        const int delta = SignedByte(s - last);
        score[0] += BitLen(std::abs(SignedByte(e / 8)));
        score[1] += BitLen(std::abs(SignedByte(last - s)));
        last = s;
        if (count % 32 == 0) {
            int best = 65535, w = 8;
            for (int i = 8; i >= 0; --i)
                if (err[i] <= best) {
                    best = err[i];
                    w = i;
                }
            std::memset(err, 0, sizeof(err));
            if (w != 8) {
                const int k = w / 2;
                if (w % 2 == 0 && coef[k] >= -16) --coef[k];
                if (w % 2 == 1 && coef[k] <= 16) ++coef[k];
            }
            if (count % 256 == 0)
                for (int j = 0; j < 2; ++j) {
                    score[j] -= snap[j];
                    snap[j] = score[j];
                }
        }
        dif[3] = dif[2];
        dif[2] = dif[1];
        dif[1] = delta - dif[0];
        dif[0] = delta;
    }
};

const int kSoundChannelOf[4][4] = {{0, 0, 0, 0}, {0, 1, 0, 1}, {0, 1, 0, 2}, {1, 0, 2, 0}};
const int kSoundChannels[4] = {1, 2, 3, 3};

} // namespace

struct AceDecoder::Impl {
    // Window: grows with the output up to 4 MiB, then wraps.
    std::vector<uint8_t> win;
    uint64_t count = 0; // bytes put since the last reset

    // Per member.
    BitReader* br = nullptr;
    Huffman mainCode, lenCode;
    int64_t blockLeft = 0;
    bool noMoreTables = false;
    uint32_t hist[4] = {};
    bool blocked = false;
    ModeRecord rec;

    // SOUND state: created new when a SOUND mode is entered from another mode.
    int soundMode = 0;
    SoundChannel chan[3];
    Huffman soundCode[9];
    int64_t soundLeft = 0;
    bool soundNoMore = false;
    uint64_t soundIndex = 0; // byte index within the SOUND segment

    void NewSound(int mode) {
        soundMode = mode;
        for (auto& c : chan) c = SoundChannel();
        soundLeft = 0;
        soundNoMore = false;
    }

    int SoundSymbol(int model) {
        if (soundLeft == 0 && !soundNoMore) {
            for (int i = 0; i < 3 * kSoundChannels[soundMode - 3]; ++i)
                ReadHuffman(*br, soundCode[i], 10, 289);
            soundLeft = br->Bits(15);
            if (soundLeft == 0) soundNoMore = true;
        }
        const int x = soundCode[model].Decode(*br);
        if (!soundNoMore) --soundLeft;
        return x;
    }

    // Decodes SOUND bytes until limit, soft bytes, or a mode switch (answered true).
    bool DecodeSound(uint64_t limit, size_t soft, std::vector<uint8_t>& out) {
        const size_t start = out.size();
        while (out.size() - start < limit && out.size() - start < soft) {
            const int c = kSoundChannelOf[soundMode - 3][soundIndex & 3];
            SoundChannel& ch = chan[c];
            int x = -1;
            if (ch.state != 2) {
                x = SoundSymbol(3 * c + (ch.state == 0 ? ch.model : 2));
                if (x == 288) {
                    ReadModeRecord();
                    return true;
                }
            }
            int v = 0;
            if (ch.state == 0 && x >= 32) {
                v = x - 32;
                ch.adapt = (ch.adapt * 7) / 8 + v;
                ch.model = ch.adapt > 40 ? 1 : 0;
            } else if (ch.state == 0) {
                ch.state = 2;
                ch.run = x;
            } else if (ch.state == 1) {
                v = x;
                ch.state = 0;
            }
            if (ch.state == 2) {
                if (ch.run == 0)
                    ch.state = 1;
                else
                    --ch.run;
                v = 0;
            }
            const int r = (v % 2 == 0 ? v / 2 : 255 - (v - 1) / 2) & 0xFF;
            const int predicted = ch.score[0] > ch.score[1] ? (ch.last & 0xFF) : ch.Predict();
            const uint8_t b = uint8_t(r + predicted);
            ch.Update(b);
            Put(b);
            out.push_back(b);
            ++soundIndex;
        }
        return false;
    }

    void Put(uint8_t b) {
        const size_t idx = size_t(count & kWindowMask);
        if (idx >= win.size())
            win.resize(std::min(kWindowMax, std::max<size_t>(size_t(1) << 16, win.size() * 2)));
        win[idx] = b;
        ++count;
    }

    void NewBlock() {
        ReadHuffman(*br, mainCode, 11, 284);
        ReadHuffman(*br, lenCode, 11, 255);
        blockLeft = br->Bits(15);
        if (blockLeft == 0) noMoreTables = true; // the same tables serve the rest of the member
    }

    void ReadModeRecord() {
        ModeRecord r;
        r.mode = int(br->Bits(8));
        if (r.mode > 7) throw ECodecError(kErrAceUnsupported, "unknown ACE 2.0 mode");
        if (r.mode == 1) {
            r.deltaDist = int(br->Bits(8));
            r.deltaLen = int(br->Bits(17));
        } else if (r.mode == 2) {
            r.exeMode = int(br->Bits(8));
        }
        rec = r;
    }

    // Decodes LZ77 output into out (appended) until limit bytes, or soft bytes after
    // a whole symbol, or a mode switch (read, answered true).
    bool DecodeLz(uint64_t limit, size_t soft, std::vector<uint8_t>& out) {
        const size_t start = out.size();
        while (out.size() - start < limit) {
            if (out.size() - start >= soft) return false;
            if (blockLeft == 0 && !noMoreTables) NewBlock();
            const int s = mainCode.Decode(*br);
            if (!noMoreTables) --blockLeft;
            if (s < 256) {
                Put(uint8_t(s));
                out.push_back(uint8_t(s));
                continue;
            }
            if (s == 283) {
                if (!blocked) Corrupt("mode switch in an ACE 1.0 member");
                ReadModeRecord();
                return true;
            }
            if (s > 283) Corrupt("invalid main symbol");
            uint32_t d;
            uint32_t len;
            if (s < 260) {
                const int k = s - 256;
                d = hist[k];
                for (int i = k; i > 0; --i) hist[i] = hist[i - 1];
                hist[0] = d;
                len = k < 2 ? 2 : 3;
            } else {
                const int b = s - 260;
                d = b < 2 ? uint32_t(b) : (uint32_t(1) << (b - 1)) + br->Bits(b - 1);
                hist[3] = hist[2];
                hist[2] = hist[1];
                hist[1] = hist[0];
                hist[0] = d;
                len = d <= 255 ? 2 : d <= 8191 ? 3 : 4;
            }
            len += uint32_t(lenCode.Decode(*br));
            const uint64_t dist = uint64_t(d) + 1;
            if (dist > count || dist > kWindowMax) Corrupt("distance beyond the window");
            if (len > limit - (out.size() - start)) Corrupt("match beyond the member's size");
            for (uint32_t i = 0; i < len; ++i) {
                const uint8_t b = win[size_t((count - dist) & kWindowMask)];
                Put(b);
                out.push_back(b);
            }
        }
        return false;
    }
};

AceDecoder::AceDecoder() : FImpl(std::make_unique<Impl>()) {}
AceDecoder::~AceDecoder() = default;

void AceDecoder::ResetWindow() {
    FImpl->count = 0;
}

void AceDecoder::AppendToWindow(const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) FImpl->Put(data[i]);
}

void AceDecoder::Save(Snapshot& s) const {
    s.window = FImpl->win;
    s.count = FImpl->count;
}

void AceDecoder::Restore(const Snapshot& s) {
    FImpl->win = s.window;
    FImpl->count = s.count;
}

void AceDecoder::Decode(int type, CodecInput& in, CodecOutput& out, uint64_t size) {
    if (type != 1 && type != 2) throw ECodecError(kErrAceUnsupported, "unknown ACE compression type");
    Impl& m = *FImpl;
    BitReader br(in);
    m.br = &br;
    m.blockLeft = 0;
    m.noMoreTables = false;
    std::memset(m.hist, 0, sizeof(m.hist));
    m.blocked = type == 2;
    m.rec = ModeRecord();
    int mode = 0;
    int exeMode = 0;
    uint8_t deltaSum = 0;
    uint64_t remaining = size;
    uint64_t memberOff = 0;
    std::vector<uint8_t> carry, run, tmp;
    run.reserve(kChunk + 300);

    auto emit = [&](const uint8_t* p, size_t n) {
        if (n == 0) return;
        out.Write(p, n);
        memberOff += n;
        remaining -= n;
    };
    auto enter = [&]() {
        const ModeRecord r = m.rec;
        if (r.mode == 7) throw ECodecError(kErrAceUnsupported, "ACE 2.0 picture mode");
        if (r.mode >= 3 && r.mode != mode) m.NewSound(r.mode);
        m.soundIndex = 0;
        mode = r.mode;
        if (mode == 2) exeMode = r.exeMode;
    };

    while (remaining > 0) {
        if (out.Cancelled()) return;
        if (mode == 0 || mode == 2) {
            // A run of plain or EXE-filtered LZ77 output, carried bytes in front.
            run.swap(carry);
            carry.clear();
            size_t scan = 0;
            for (;;) {
                if (out.Cancelled()) return;
                bool switched = false;
                const uint64_t want = remaining - run.size();
                if (want > 0) switched = m.DecodeLz(want, kChunk, run);
                const bool runEnd = switched || run.size() == remaining;
                if (mode == 2) {
                    // Undo the branch-target filter: operands hold member offsets.
                    while (scan + 4 < run.size()) {
                        uint8_t* p = run.data() + scan;
                        const uint32_t pos = uint32_t(memberOff + scan);
                        if (p[0] == 0xE8 && exeMode != 0) {
                            uint32_t v = uint32_t(p[1]) | uint32_t(p[2]) << 8 | uint32_t(p[3]) << 16 |
                                         uint32_t(p[4]) << 24;
                            v -= pos;
                            p[1] = uint8_t(v);
                            p[2] = uint8_t(v >> 8);
                            p[3] = uint8_t(v >> 16);
                            p[4] = uint8_t(v >> 24);
                            scan += 5;
                        } else if (p[0] == 0xE8 || p[0] == 0xE9) {
                            uint32_t v = uint32_t(p[1]) | uint32_t(p[2]) << 8;
                            v -= pos;
                            p[1] = uint8_t(v);
                            p[2] = uint8_t(v >> 8);
                            scan += 3;
                        } else {
                            ++scan;
                        }
                    }
                } else {
                    scan = run.size();
                }
                if (!runEnd) {
                    const size_t n = std::min(scan, run.size());
                    emit(run.data(), n);
                    run.erase(run.begin(), run.begin() + long(n));
                    scan -= n;
                    continue;
                }
                size_t keep = run.size();
                if (mode == 2 && switched) {
                    // An opcode whose operand the next run completes waits for it.
                    for (size_t i = scan + 1; i < run.size(); ++i)
                        if (run[i] == 0xE8 || run[i] == 0xE9) {
                            keep = i;
                            break;
                        }
                }
                emit(run.data(), keep);
                carry.assign(run.begin() + long(keep), run.end());
                run.clear();
                if (switched) enter();
                break;
            }
        } else if (mode == 1) {
            const ModeRecord r = m.rec;
            const uint64_t need = remaining - carry.size();
            if (r.deltaDist == 0 || r.deltaLen == 0 || r.deltaLen % r.deltaDist != 0 ||
                uint64_t(r.deltaLen) > need)
                Corrupt("bad DELTA parameters");
            tmp.clear();
            bool switched = m.DecodeLz(uint64_t(r.deltaLen), size_t(r.deltaLen), tmp);
            if (switched && tmp.empty()) {
                enter();
                continue;
            }
            if (switched) {
                const ModeRecord next = m.rec;
                m.rec = r;
                if (m.DecodeLz(uint64_t(r.deltaLen) - tmp.size(), size_t(r.deltaLen), tmp))
                    Corrupt("two mode switches in one DELTA block");
                m.rec = next;
            }
            for (auto& b : tmp) {
                b = uint8_t(b + deltaSum);
                deltaSum = b;
            }
            const size_t planes = size_t(r.deltaDist), per = tmp.size() / planes;
            run.resize(tmp.size());
            for (size_t q = 0; q < per; ++q)
                for (size_t p = 0; p < planes; ++p) run[q * planes + p] = tmp[p * per + q];
            emit(run.data(), run.size());
            run.clear();
            if (switched) enter();
        } else {
            // SOUND: whole 4-byte groups only.
            const uint64_t avail = (remaining - carry.size()) & ~uint64_t(3);
            if (avail == 0) Corrupt("SOUND segment with fewer than 4 bytes left");
            run.clear();
            const bool switched = m.DecodeSound(avail, kChunk, run);
            emit(run.data(), run.size());
            run.clear();
            if (switched) enter();
        }
        if (remaining > 0 && remaining == carry.size()) break;
    }
    // Bytes still held for an operand at the member's end go out unchanged.
    if (!carry.empty()) emit(carry.data(), carry.size());
}

} // namespace mv::unace
