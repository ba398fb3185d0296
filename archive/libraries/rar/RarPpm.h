#pragma once
// PPMd variant H text model with its range decoder, as RAR 2.9/3.x uses it for
// blocks that compress better by context modelling than by LZ.
//
// The model lives in one byte heap addressed by 32-bit offsets with 12-byte units,
// so its memory use, and therefore the points where it restarts when the memory is
// full, match the compressor's exactly. Fast because contexts, states and free
// lists are plain offsets into that heap and symbol search walks short arrays.
#include "archive/libraries/rar/RarUnpack.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace mv::unrar {

class RarPpmModel {
public:
    // Reads the block start (flags, memory size, escape character) and starts the
    // range decoder. False on a malformed start. escChar is updated when present.
    bool DecodeInit(RarBitInput& in, int& escChar);
    // The next symbol, or -1 on corrupt data.
    int DecodeChar();
    void CleanUp() {
        heapStore.reset();
        heap = nullptr;
        heapSize = 0;
        subAllocatorSize = 0;
    }
    // Largest model memory accepted (MiB); the format allows up to 256.
    static constexpr uint32_t kMaxMegabytes = 256;

protected:
    // (Protected, not private: the tests derive an encoder from the same model to
    // write PPMd streams that independent readers then check.)
    // --- heap access ---
    std::unique_ptr<uint8_t[]> heapStore;
    uint8_t* heap = nullptr;
    size_t heapSize = 0;
    uint32_t subAllocatorSize = 0;
    uint32_t heapStart = 0, heapEnd = 0, loUnit = 0, hiUnit = 0, pText = 0, unitsStart = 0,
             fakeUnitsStart = 0;
    uint32_t freeList[38] = {};
    uint8_t indx2Units[38] = {}, units2Indx[128] = {};
    int glueCount = 0;

    uint16_t U16(uint32_t at) const { return uint16_t(heap[at] | (heap[at + 1] << 8)); }
    void SetU16(uint32_t at, uint16_t v) {
        heap[at] = uint8_t(v);
        heap[at + 1] = uint8_t(v >> 8);
    }
    uint32_t U32(uint32_t at) const {
        return heap[at] | (heap[at + 1] << 8) | (heap[at + 2] << 16) | (uint32_t(heap[at + 3]) << 24);
    }
    void SetU32(uint32_t at, uint32_t v) {
        heap[at] = uint8_t(v);
        heap[at + 1] = uint8_t(v >> 8);
        heap[at + 2] = uint8_t(v >> 16);
        heap[at + 3] = uint8_t(v >> 24);
    }
    // Context fields
    uint16_t NumStats(uint32_t c) const { return U16(c); }
    void SetNumStats(uint32_t c, uint32_t v) { SetU16(c, uint16_t(v)); }
    uint16_t SummFreq(uint32_t c) const { return U16(c + 2); }
    void SetSummFreq(uint32_t c, uint32_t v) { SetU16(c + 2, uint16_t(v)); }
    uint32_t Stats(uint32_t c) const { return U32(c + 4); }
    void SetStats(uint32_t c, uint32_t v) { SetU32(c + 4, v); }
    uint32_t Suffix(uint32_t c) const { return U32(c + 8); }
    void SetSuffix(uint32_t c, uint32_t v) { SetU32(c + 8, v); }
    static uint32_t OneState(uint32_t c) { return c + 2; }
    // State fields (6 bytes)
    uint8_t Sym(uint32_t s) const { return heap[s]; }
    uint8_t Freq(uint32_t s) const { return heap[s + 1]; }
    void SetFreq(uint32_t s, uint32_t v) { heap[s + 1] = uint8_t(v); }
    uint32_t Successor(uint32_t s) const { return U32(s + 2); }
    void SetSuccessor(uint32_t s, uint32_t v) { SetU32(s + 2, v); }
    struct State {
        uint8_t symbol, freq;
        uint32_t successor;
    };
    State GetState(uint32_t s) const { return {Sym(s), Freq(s), Successor(s)}; }
    void PutState(uint32_t s, const State& st) {
        heap[s] = st.symbol;
        heap[s + 1] = st.freq;
        SetU32(s + 2, st.successor);
    }
    void SwapStates(uint32_t a, uint32_t b) {
        State x = GetState(a), y = GetState(b);
        PutState(a, y);
        PutState(b, x);
    }

    // --- sub-allocator ---
    bool StartSubAllocator(uint32_t megabytes);
    void InitSubAllocator();
    void InsertNode(uint32_t p, int indx);
    uint32_t RemoveNode(int indx);
    void SplitBlock(uint32_t pv, int oldIndx, int newIndx);
    void GlueFreeBlocks();
    uint32_t AllocUnitsRare(int indx);
    uint32_t AllocUnits(int nu);
    uint32_t AllocContext();
    uint32_t ExpandUnits(uint32_t oldPtr, int oldNU);
    uint32_t ShrinkUnits(uint32_t oldPtr, int oldNU, int newNU);
    void FreeUnits(uint32_t ptr, int oldNU);

    // --- model ---
    struct See2 {
        uint16_t summ;
        uint8_t shift, count;
        void Init(int initVal) {
            shift = 7 - 4;
            summ = uint16_t(initVal << shift);
            count = 4;
        }
        uint32_t Mean() {
            uint32_t r = uint16_t(summ) >> shift;
            summ = uint16_t(summ - r);
            return r + (r == 0);
        }
        void Update() {
            if (shift < 7 && --count == 0) {
                summ = uint16_t(summ + summ);
                count = uint8_t(3 << shift++);
            }
        }
    };
    void RestartModelRare();
    void StartModelRare(int maxOrder);
    void Rescale(uint32_t ctx);
    uint32_t CreateSuccessors(bool skip, uint32_t p1);
    void UpdateModel();
    bool DecodeBinSymbol(uint32_t ctx);
    bool DecodeSymbol1(uint32_t ctx);
    bool DecodeSymbol2(uint32_t ctx);
    void Update1(uint32_t ctx, uint32_t p);
    void Update2(uint32_t ctx, uint32_t p);
    See2* MakeEscFreq2(uint32_t ctx, int diff);
    void ClearMask();
    bool ValidContext(uint32_t c) const { return c > pText && c < heapEnd; }

    See2 see2Cont[25][16];
    See2 dummySee2;
    uint32_t minContext = 0, maxContext = 0, foundState = 0;
    int numMasked = 0, initEsc = 0, orderFall = 0, maxOrder = 0, runLength = 0, initRL = 0;
    uint8_t escCount = 0;
    int prevSuccess = 0, hiBitsFlag = 0;
    uint8_t charMask[256] = {};
    uint8_t ns2Indx[256] = {}, ns2BSIndx[256] = {}, hb2Flag[256] = {};
    uint16_t binSumm[128][64] = {};

    // --- range decoder ---
    RarBitInput* in = nullptr;
    uint32_t low = 0, code = 0, range = 0;
    uint32_t lowCount = 0, highCount = 0, scale = 0;
    void InitDecoder();
    void Normalize();
    bool CurrentCount(uint32_t& out);
    bool CurrentShiftCount(uint32_t shift, uint32_t& out);
    void Decode() {
        low += range * lowCount;
        range *= highCount - lowCount;
    }
};

} // namespace mv::unrar
