// PPMd variant H: model, sub-allocator and range decoder (see RarPpm.h).
#include "archive/libraries/rar/RarPpm.h"

#include <cstring>
#include <new>

namespace mv::unrar {

namespace {
constexpr uint32_t kUnit = 12;
constexpr int kN1 = 4, kN2 = 4, kN3 = 4, kN4 = (128 + 3 - 1 * kN1 - 2 * kN2 - 3 * kN3) / 4;
constexpr int kIndexes = kN1 + kN2 + kN3 + kN4;
constexpr int kMaxO = 64;
constexpr uint32_t kTop = 1u << 24, kBot = 1u << 15;
constexpr int kIntBits = 7, kPeriodBits = 7, kTotBits = kIntBits + kPeriodBits;
constexpr int kInterval = 1 << kIntBits, kBinScale = 1 << kTotBits, kMaxFreq = 124;
const uint16_t kInitBinEsc[] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3, 0x64A1, 0x5ABC, 0x6632, 0x6051};
const uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};
struct Restart {};
} // namespace

// ---------------------------------------------------------------- sub-allocator

bool RarPpmModel::StartSubAllocator(uint32_t megabytes) {
    uint32_t t = megabytes << 20;
    if (subAllocatorSize == t && heap) return true;
    CleanUp();
    // One unit of padding in front (offset 0 means "none") and a zero sentinel unit
    // behind the last one, which the free-block gluing reads.
    size_t total = size_t(kUnit) + t + kUnit;
    // Not cleared: the model writes every unit before reading it, except the
    // sentinel and the padding, cleared below. Untouched pages cost no memory.
    try {
        heapStore.reset(new uint8_t[total]);
    } catch (const std::bad_alloc&) {
        return false;
    }
    heap = heapStore.get();
    heapSize = total;
    std::memset(heap, 0, kUnit);
    heapStart = kUnit;
    heapEnd = heapStart + t;
    subAllocatorSize = t;
    return true;
}

void RarPpmModel::InitSubAllocator() {
    std::memset(freeList, 0, sizeof(freeList));
    pText = heapStart;
    uint32_t size2 = kUnit * (subAllocatorSize / 8 / kUnit * 7);
    uint32_t size1 = subAllocatorSize - size2;
    loUnit = unitsStart = heapStart + size1;
    fakeUnitsStart = heapStart + size1;
    hiUnit = loUnit + size2;
    int i, k;
    for (i = 0, k = 1; i < kN1; i++, k += 1) indx2Units[i] = uint8_t(k);
    for (k++; i < kN1 + kN2; i++, k += 2) indx2Units[i] = uint8_t(k);
    for (k++; i < kN1 + kN2 + kN3; i++, k += 3) indx2Units[i] = uint8_t(k);
    for (k++; i < kN1 + kN2 + kN3 + kN4; i++, k += 4) indx2Units[i] = uint8_t(k);
    for (glueCount = k = i = 0; k < 128; k++) {
        i += (indx2Units[i] < k + 1);
        units2Indx[k] = uint8_t(i);
    }
    // the sentinel behind the heap stays zero
    std::memset(&heap[heapEnd], 0, kUnit);
}

void RarPpmModel::InsertNode(uint32_t p, int indx) {
    SetU32(p, freeList[indx]);
    freeList[indx] = p;
}

uint32_t RarPpmModel::RemoveNode(int indx) {
    uint32_t r = freeList[indx];
    freeList[indx] = U32(r);
    return r;
}

void RarPpmModel::SplitBlock(uint32_t pv, int oldIndx, int newIndx) {
    int i, uDiff = indx2Units[oldIndx] - indx2Units[newIndx];
    uint32_t p = pv + kUnit * indx2Units[newIndx];
    if (indx2Units[i = units2Indx[uDiff - 1]] != uDiff) {
        InsertNode(p, --i);
        p += kUnit * (i = indx2Units[i]);
        uDiff -= i;
    }
    InsertNode(p, units2Indx[uDiff - 1]);
}

// Memory block header used while gluing: Stamp(2) NU(2) next(4) prev(4).
void RarPpmModel::GlueFreeBlocks() {
    // A list head outside the heap: use index 0 (the padding unit) as the sentinel.
    const uint32_t s0 = 0;
    auto next = [&](uint32_t p) { return U32(p + 4); };
    auto prev = [&](uint32_t p) { return U32(p + 8); };
    auto setNext = [&](uint32_t p, uint32_t v) { SetU32(p + 4, v); };
    auto setPrev = [&](uint32_t p, uint32_t v) { SetU32(p + 8, v); };
    auto insertAt = [&](uint32_t p, uint32_t at) {
        setPrev(p, at);
        setNext(p, next(at));
        setPrev(next(at), p);
        setNext(at, p);
    };
    auto remove = [&](uint32_t p) {
        setNext(prev(p), next(p));
        setPrev(next(p), prev(p));
    };
    if (loUnit != hiUnit) heap[loUnit] = 0, heap[loUnit + 1] = 0;
    setNext(s0, s0);
    setPrev(s0, s0);
    for (int i = 0; i < kIndexes; i++)
        while (freeList[i]) {
            uint32_t p = RemoveNode(i);
            insertAt(p, s0);
            SetU16(p, 0xFFFF);
            SetU16(p + 2, indx2Units[i]);
        }
    for (uint32_t p = next(s0); p != s0; p = next(p)) {
        for (;;) {
            uint32_t p1 = p + U16(p + 2) * kUnit;
            if (p1 + 4 > heapSize) break;
            if (U16(p1) != 0xFFFF || int(U16(p + 2)) + U16(p1 + 2) >= 0x10000) break;
            remove(p1);
            SetU16(p + 2, uint16_t(U16(p + 2) + U16(p1 + 2)));
        }
    }
    uint32_t p;
    while ((p = next(s0)) != s0) {
        remove(p);
        int sz = U16(p + 2);
        for (; sz > 128; sz -= 128, p += 128 * kUnit) InsertNode(p, kIndexes - 1);
        int i = units2Indx[sz - 1];
        if (indx2Units[i] != sz) {
            int k = sz - indx2Units[--i];
            InsertNode(p + (sz - k) * kUnit, k - 1);
        }
        InsertNode(p, i);
    }
}

uint32_t RarPpmModel::AllocUnitsRare(int indx) {
    if (!glueCount) {
        glueCount = 255;
        GlueFreeBlocks();
        if (freeList[indx]) return RemoveNode(indx);
    }
    int i = indx;
    do {
        if (++i == kIndexes) {
            glueCount--;
            uint32_t j = kUnit * indx2Units[indx];
            if (fakeUnitsStart > pText && fakeUnitsStart - pText > j) {
                fakeUnitsStart -= j;
                unitsStart -= j;
                return unitsStart;
            }
            return 0;
        }
    } while (!freeList[i]);
    uint32_t r = RemoveNode(i);
    SplitBlock(r, i, indx);
    return r;
}

uint32_t RarPpmModel::AllocUnits(int nu) {
    int indx = units2Indx[nu - 1];
    if (freeList[indx]) return RemoveNode(indx);
    uint32_t r = loUnit;
    loUnit += kUnit * indx2Units[indx];
    if (loUnit <= hiUnit) return r;
    loUnit -= kUnit * indx2Units[indx];
    return AllocUnitsRare(indx);
}

uint32_t RarPpmModel::AllocContext() {
    if (hiUnit != loUnit) return (hiUnit -= kUnit);
    if (freeList[0]) return RemoveNode(0);
    return AllocUnitsRare(0);
}

uint32_t RarPpmModel::ExpandUnits(uint32_t oldPtr, int oldNU) {
    int i0 = units2Indx[oldNU - 1], i1 = units2Indx[oldNU - 1 + 1];
    if (i0 == i1) return oldPtr;
    uint32_t ptr = AllocUnits(oldNU + 1);
    if (ptr) {
        std::memmove(&heap[ptr], &heap[oldPtr], kUnit * oldNU);
        InsertNode(oldPtr, i0);
    }
    return ptr;
}

uint32_t RarPpmModel::ShrinkUnits(uint32_t oldPtr, int oldNU, int newNU) {
    int i0 = units2Indx[oldNU - 1], i1 = units2Indx[newNU - 1];
    if (i0 == i1) return oldPtr;
    if (freeList[i1]) {
        uint32_t ptr = RemoveNode(i1);
        std::memmove(&heap[ptr], &heap[oldPtr], kUnit * newNU);
        InsertNode(oldPtr, i0);
        return ptr;
    }
    SplitBlock(oldPtr, i0, i1);
    return oldPtr;
}

void RarPpmModel::FreeUnits(uint32_t ptr, int oldNU) {
    InsertNode(ptr, units2Indx[oldNU - 1]);
}

// ---------------------------------------------------------------- range decoder

void RarPpmModel::InitDecoder() {
    low = code = 0;
    range = 0xffffffffu;
    for (int i = 0; i < 4; i++) code = (code << 8) | in->GetByte();
}

void RarPpmModel::Normalize() {
    for (;;) {
        if ((low ^ (low + range)) >= kTop) {
            if (range >= kBot) break;
            range = (0u - low) & (kBot - 1);
        }
        code = (code << 8) | in->GetByte();
        range <<= 8;
        low <<= 8;
    }
}

bool RarPpmModel::CurrentCount(uint32_t& out) {
    if (scale == 0) return false;
    range /= scale;
    if (range == 0) return false;
    out = (code - low) / range;
    return true;
}

bool RarPpmModel::CurrentShiftCount(uint32_t shift, uint32_t& out) {
    range >>= shift;
    if (range == 0) return false;
    out = (code - low) / range;
    return true;
}

// ---------------------------------------------------------------- model

void RarPpmModel::RestartModelRare() {
    std::memset(charMask, 0, sizeof(charMask));
    InitSubAllocator();
    initRL = -(maxOrder < 12 ? maxOrder : 12) - 1;
    minContext = maxContext = AllocContext();
    if (!minContext) throw Restart{};
    SetSuffix(minContext, 0);
    orderFall = maxOrder;
    SetNumStats(minContext, 256);
    SetSummFreq(minContext, 257);
    foundState = AllocUnits(256 / 2);
    if (!foundState) throw Restart{};
    SetStats(minContext, foundState);
    runLength = initRL;
    prevSuccess = 0;
    for (int i = 0; i < 256; i++) PutState(foundState + 6 * i, State{uint8_t(i), 1, 0});
    for (int i = 0; i < 128; i++)
        for (int k = 0; k < 8; k++)
            for (int m = 0; m < 64; m += 8)
                binSumm[i][k + m] = uint16_t(kBinScale - kInitBinEsc[k] / (i + 2));
    for (int i = 0; i < 25; i++)
        for (int k = 0; k < 16; k++) see2Cont[i][k].Init(5 * i + 10);
}

void RarPpmModel::StartModelRare(int order) {
    escCount = 1;
    maxOrder = order;
    RestartModelRare();
    ns2BSIndx[0] = 2 * 0;
    ns2BSIndx[1] = 2 * 1;
    std::memset(ns2BSIndx + 2, 2 * 2, 9);
    std::memset(ns2BSIndx + 11, 2 * 3, 256 - 11);
    int i, k, m, step;
    for (i = 0; i < 3; i++) ns2Indx[i] = uint8_t(i);
    for (m = i, k = step = 1; i < 256; i++) {
        ns2Indx[i] = uint8_t(m);
        if (!--k) {
            k = ++step;
            m++;
        }
    }
    std::memset(hb2Flag, 0, 0x40);
    std::memset(hb2Flag + 0x40, 0x08, 0x100 - 0x40);
    dummySee2.shift = kPeriodBits;
    dummySee2.summ = 0;
    dummySee2.count = 64;
}

void RarPpmModel::Rescale(uint32_t ctx) {
    int oldNS = NumStats(ctx), i = NumStats(ctx) - 1, adder, escFreq;
    uint32_t stats = Stats(ctx);
    uint32_t p;
    for (p = foundState; p != stats; p -= 6) SwapStates(p, p - 6);
    SetFreq(stats, Freq(stats) + 4);
    SetSummFreq(ctx, SummFreq(ctx) + 4);
    escFreq = SummFreq(ctx) - Freq(p);
    adder = (orderFall != 0);
    uint32_t summ = (Freq(p) + adder) >> 1;
    SetFreq(p, summ);
    do {
        p += 6;
        escFreq -= Freq(p);
        uint32_t f = (Freq(p) + adder) >> 1;
        SetFreq(p, f);
        summ += f;
        if (Freq(p) > Freq(p - 6)) {
            State tmp = GetState(p);
            uint32_t p1 = p;
            do {
                PutState(p1, GetState(p1 - 6));
                p1 -= 6;
            } while (p1 != stats && tmp.freq > Freq(p1 - 6));
            PutState(p1, tmp);
        }
    } while (--i);
    SetSummFreq(ctx, summ);
    if (Freq(p) == 0) {
        do {
            i++;
            p -= 6;
        } while (Freq(p) == 0);
        escFreq += i;
        SetNumStats(ctx, NumStats(ctx) - i);
        if (NumStats(ctx) == 1) {
            State tmp = GetState(stats);
            do {
                tmp.freq = uint8_t(tmp.freq - (tmp.freq >> 1));
                escFreq >>= 1;
            } while (escFreq > 1);
            FreeUnits(stats, (oldNS + 1) >> 1);
            foundState = OneState(ctx);
            PutState(foundState, tmp);
            return;
        }
    }
    escFreq -= (escFreq >> 1);
    SetSummFreq(ctx, SummFreq(ctx) + escFreq);
    int n0 = (oldNS + 1) >> 1, n1 = (NumStats(ctx) + 1) >> 1;
    if (n0 != n1) SetStats(ctx, ShrinkUnits(stats, n0, n1));
    foundState = Stats(ctx);
}

uint32_t RarPpmModel::CreateSuccessors(bool skip, uint32_t p1) {
    uint32_t pc = minContext, upBranch = Successor(foundState);
    uint32_t ps[kMaxO];
    int pps = 0;
    uint32_t p = 0;
    uint8_t fsSymbol = Sym(foundState);
    if (!skip) {
        ps[pps++] = foundState;
        if (!Suffix(pc)) goto NO_LOOP;
    }
    if (p1) {
        p = p1;
        pc = Suffix(pc);
        goto LOOP_ENTRY;
    }
    do {
        pc = Suffix(pc);
        if (NumStats(pc) != 1) {
            p = Stats(pc);
            if (Sym(p) != fsSymbol) {
                int guard = NumStats(pc);
                do {
                    p += 6;
                    if (--guard <= 0) return 0;
                } while (Sym(p) != fsSymbol);
            }
        } else {
            p = OneState(pc);
        }
    LOOP_ENTRY:
        if (Successor(p) != upBranch) {
            pc = Successor(p);
            break;
        }
        if (pps >= kMaxO) return 0;
        ps[pps++] = p;
    } while (Suffix(pc));
NO_LOOP:
    if (pps == 0) return pc;
    if (upBranch >= heapSize - 1) return 0;
    State upState;
    upState.symbol = heap[upBranch];
    upState.successor = upBranch + 1;
    if (NumStats(pc) != 1) {
        if (pc <= pText) return 0;
        p = Stats(pc);
        if (Sym(p) != upState.symbol) {
            int guard = NumStats(pc);
            do {
                p += 6;
                if (--guard <= 0) return 0;
            } while (Sym(p) != upState.symbol);
        }
        uint32_t cf = Freq(p) - 1;
        uint32_t s0 = SummFreq(pc) - NumStats(pc) - cf;
        upState.freq = uint8_t(1 + ((2 * cf <= s0) ? (5 * cf > s0) : ((2 * cf + 3 * s0 - 1) / (2 * s0))));
    } else {
        upState.freq = Freq(OneState(pc));
    }
    do {
        uint32_t c = AllocContext();
        if (!c) return 0;
        SetNumStats(c, 1);
        PutState(OneState(c), upState);
        SetSuffix(c, pc);
        SetSuccessor(ps[--pps], c);
        pc = c;
    } while (pps != 0);
    return pc;
}

void RarPpmModel::UpdateModel() {
    State fs = GetState(foundState);
    uint32_t p = 0, pc, successor;
    uint32_t ns1, ns, cf, sf, s0;
    if (fs.freq < kMaxFreq / 4 && (pc = Suffix(minContext)) != 0) {
        if (NumStats(pc) != 1) {
            p = Stats(pc);
            if (Sym(p) != fs.symbol) {
                int guard = NumStats(pc);
                do {
                    p += 6;
                    if (--guard <= 0) throw Restart{};
                } while (Sym(p) != fs.symbol);
                if (Freq(p) >= Freq(p - 6)) {
                    SwapStates(p, p - 6);
                    p -= 6;
                }
            }
            if (Freq(p) < kMaxFreq - 9) {
                SetFreq(p, Freq(p) + 2);
                SetSummFreq(pc, SummFreq(pc) + 2);
            }
        } else {
            p = OneState(pc);
            SetFreq(p, Freq(p) + (Freq(p) < 32));
        }
    }
    if (!orderFall) {
        minContext = maxContext = CreateSuccessors(true, p);
        SetSuccessor(foundState, minContext);
        if (!minContext) goto RESTART_MODEL;
        return;
    }
    heap[pText++] = fs.symbol;
    successor = pText;
    if (pText >= unitsStart) goto RESTART_MODEL;
    if (fs.successor) {
        if (fs.successor <= pText) {
            fs.successor = CreateSuccessors(false, p);
            if (!fs.successor) goto RESTART_MODEL;
        }
        if (!--orderFall) {
            successor = fs.successor;
            pText -= (maxContext != minContext);
        }
    } else {
        SetSuccessor(foundState, successor);
        fs.successor = minContext;
    }
    ns = NumStats(minContext);
    s0 = SummFreq(minContext) - ns - (fs.freq - 1);
    for (pc = maxContext; pc != minContext; pc = Suffix(pc)) {
        if ((ns1 = NumStats(pc)) != 1) {
            if ((ns1 & 1) == 0) {
                uint32_t st = ExpandUnits(Stats(pc), ns1 >> 1);
                if (!st) goto RESTART_MODEL;
                SetStats(pc, st);
            }
            SetSummFreq(pc,
                        SummFreq(pc) + (2 * ns1 < ns) + 2 * ((4 * ns1 <= ns) & (SummFreq(pc) <= 8 * ns1)));
        } else {
            uint32_t np = AllocUnits(1);
            if (!np) goto RESTART_MODEL;
            State one = GetState(OneState(pc));
            PutState(np, one);
            SetStats(pc, np);
            if (one.freq < kMaxFreq / 4 - 1)
                SetFreq(np, one.freq + one.freq);
            else
                SetFreq(np, kMaxFreq - 4);
            SetSummFreq(pc, Freq(np) + initEsc + (ns > 3));
        }
        cf = 2 * fs.freq * (SummFreq(pc) + 6);
        sf = s0 + SummFreq(pc);
        if (cf < 6 * sf) {
            cf = 1 + (cf > sf) + (cf >= 4 * sf);
            SetSummFreq(pc, SummFreq(pc) + 3);
        } else {
            cf = 4 + (cf >= 9 * sf) + (cf >= 12 * sf) + (cf >= 15 * sf);
            SetSummFreq(pc, SummFreq(pc) + cf);
        }
        uint32_t np = Stats(pc) + 6 * ns1;
        PutState(np, State{fs.symbol, uint8_t(cf), successor});
        SetNumStats(pc, ++ns1);
    }
    maxContext = minContext = fs.successor;
    return;
RESTART_MODEL:
    RestartModelRare();
    escCount = 0;
}

void RarPpmModel::ClearMask() {
    escCount = 1;
    std::memset(charMask, 0, sizeof(charMask));
}

bool RarPpmModel::DecodeBinSymbol(uint32_t ctx) {
    uint32_t rs = OneState(ctx);
    hiBitsFlag = hb2Flag[Sym(foundState)];
    uint32_t suffix = Suffix(ctx);
    if (!ValidContext(suffix)) return false;
    int ns = NumStats(suffix);
    if (ns < 1 || ns > 256 || Freq(rs) == 0 || Freq(rs) > 128) return false;
    uint16_t& bs = binSumm[Freq(rs) - 1][prevSuccess + ns2BSIndx[ns - 1] + hiBitsFlag + 2 * hb2Flag[Sym(rs)] +
                                         ((runLength >> 26) & 0x20)];
    uint32_t count;
    if (!CurrentShiftCount(kTotBits, count)) return false;
    if (count < bs) {
        foundState = rs;
        SetFreq(rs, Freq(rs) + (Freq(rs) < 128));
        lowCount = 0;
        highCount = bs;
        bs = uint16_t(bs + kInterval - ((bs + 32) >> 7));
        prevSuccess = 1;
        runLength++;
    } else {
        lowCount = bs;
        bs = uint16_t(bs - ((bs + 32) >> 7));
        highCount = kBinScale;
        initEsc = kExpEscape[bs >> 10];
        numMasked = 1;
        charMask[Sym(rs)] = escCount;
        prevSuccess = 0;
        foundState = 0;
    }
    return true;
}

void RarPpmModel::Update1(uint32_t ctx, uint32_t p) {
    foundState = p;
    SetFreq(p, Freq(p) + 4);
    SetSummFreq(ctx, SummFreq(ctx) + 4);
    if (Freq(p) > Freq(p - 6)) {
        SwapStates(p, p - 6);
        foundState = p - 6;
        if (Freq(p - 6) > kMaxFreq) Rescale(ctx);
    }
}

bool RarPpmModel::DecodeSymbol1(uint32_t ctx) {
    scale = SummFreq(ctx);
    uint32_t p = Stats(ctx);
    int i;
    uint32_t hiCnt, count;
    if (!CurrentCount(count)) return false;
    if (count >= scale) return false;
    if (count < (hiCnt = Freq(p))) {
        prevSuccess = (2 * (highCount = hiCnt) > scale);
        runLength += prevSuccess;
        foundState = p;
        hiCnt += 4;
        SetFreq(p, hiCnt);
        SetSummFreq(ctx, SummFreq(ctx) + 4);
        if (hiCnt > kMaxFreq) Rescale(ctx);
        lowCount = 0;
        return true;
    } else if (foundState == 0) {
        return false;
    }
    prevSuccess = 0;
    i = NumStats(ctx) - 1;
    while ((hiCnt += Freq(p += 6)) <= count)
        if (--i == 0) {
            hiBitsFlag = hb2Flag[Sym(foundState)];
            lowCount = hiCnt;
            charMask[Sym(p)] = escCount;
            i = (numMasked = NumStats(ctx)) - 1;
            foundState = 0;
            do {
                p -= 6;
                charMask[Sym(p)] = escCount;
            } while (--i);
            highCount = scale;
            return true;
        }
    lowCount = (highCount = hiCnt) - Freq(p);
    Update1(ctx, p);
    return true;
}

void RarPpmModel::Update2(uint32_t ctx, uint32_t p) {
    foundState = p;
    SetFreq(p, Freq(p) + 4);
    SetSummFreq(ctx, SummFreq(ctx) + 4);
    if (Freq(p) > kMaxFreq) Rescale(ctx);
    escCount++;
    runLength = initRL;
}

RarPpmModel::See2* RarPpmModel::MakeEscFreq2(uint32_t ctx, int diff) {
    See2* psee2c;
    int ns = NumStats(ctx);
    if (ns != 256) {
        int suffixNs = NumStats(Suffix(ctx));
        psee2c = see2Cont[ns2Indx[diff - 1]] + (diff < suffixNs - ns) + 2 * (SummFreq(ctx) < 11 * ns) +
                 4 * (numMasked > diff) + hiBitsFlag;
        scale = psee2c->Mean();
    } else {
        psee2c = &dummySee2;
        scale = 1;
    }
    return psee2c;
}

bool RarPpmModel::DecodeSymbol2(uint32_t ctx) {
    int i = NumStats(ctx) - numMasked;
    if (i <= 0) return false;
    See2* psee2c = MakeEscFreq2(ctx, i);
    uint32_t ps[256];
    int pps = 0;
    uint32_t p = Stats(ctx) - 6;
    uint32_t hiCnt = 0, count;
    uint32_t last = Stats(ctx) + 6 * NumStats(ctx);
    do {
        do {
            p += 6;
            if (p >= last) return false;
        } while (charMask[Sym(p)] == escCount);
        hiCnt += Freq(p);
        if (pps >= 256) return false;
        ps[pps++] = p;
    } while (--i);
    scale += hiCnt;
    if (!CurrentCount(count)) return false;
    if (count >= scale) return false;
    int k = 0;
    p = ps[0];
    if (count < hiCnt) {
        hiCnt = 0;
        while ((hiCnt += Freq(p)) <= count) {
            if (++k >= pps) return false;
            p = ps[k];
        }
        lowCount = (highCount = hiCnt) - Freq(p);
        psee2c->Update();
        Update2(ctx, p);
    } else {
        lowCount = hiCnt;
        highCount = scale;
        for (int j = 0; j < pps; ++j) charMask[Sym(ps[j])] = escCount;
        psee2c->summ = uint16_t(psee2c->summ + scale);
        numMasked = NumStats(ctx);
    }
    return true;
}

bool RarPpmModel::DecodeInit(RarBitInput& input, int& escChar) {
    in = &input;
    int maxOrderByte = in->GetByte();
    bool reset = (maxOrderByte & 0x20) != 0;
    int maxMB = 0;
    if (reset)
        maxMB = in->GetByte();
    else if (!heap)
        return false;
    if (maxOrderByte & 0x40) escChar = in->GetByte();
    InitDecoder();
    if (reset) {
        int order = (maxOrderByte & 0x1f) + 1;
        if (order > 16) order = 16 + (order - 16) * 3;
        if (order == 1) {
            CleanUp();
            return false;
        }
        if (uint32_t(maxMB + 1) > kMaxMegabytes) return false;
        if (!StartSubAllocator(uint32_t(maxMB + 1)))
            throw ECodecError(kErrMemory, "not enough memory for PPMd");
        try {
            StartModelRare(order);
        } catch (const Restart&) {
            CleanUp();
            return false;
        }
    }
    return minContext != 0;
}

int RarPpmModel::DecodeChar() {
    try {
        if (!ValidContext(minContext)) return -1;
        if (NumStats(minContext) != 1) {
            uint32_t st = Stats(minContext);
            if (st <= pText || st > heapEnd) return -1;
            if (!DecodeSymbol1(minContext)) return -1;
        } else {
            if (!DecodeBinSymbol(minContext)) return -1;
        }
        Decode();
        while (!foundState) {
            Normalize();
            do {
                orderFall++;
                minContext = Suffix(minContext);
                if (!ValidContext(minContext)) return -1;
            } while (NumStats(minContext) == numMasked);
            if (!DecodeSymbol2(minContext)) return -1;
            Decode();
        }
        int symbol = Sym(foundState);
        if (!orderFall && Successor(foundState) > pText) {
            minContext = maxContext = Successor(foundState);
        } else {
            UpdateModel();
            if (escCount == 0) ClearMask();
        }
        Normalize();
        return symbol;
    } catch (const Restart&) {
        return -1;
    }
}

} // namespace mv::unrar
