// The decompressors alone: random and truncated streams for every RAR generation
// end with an error or a short result, never more output than asked for, and a
// decoder object stays usable after a failure.
#include "archive/libraries/rar/RarUnpack.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace mv;
using namespace mv::unrar;

TEST(RarUnpack, RandomStreamsFailCleanly) {
    RarUnpack unpack;
    for (int version : {15, 20, 29, 50, 70}) {
        for (uint32_t seed = 1; seed <= 40; ++seed) {
            SCOPED_TRACE("version " + std::to_string(version) + " seed " + std::to_string(seed));
            auto data = mvtest::RandomBytes(64 + seed * 7, seed * 7919u + uint32_t(version));
            MemoryInput in(data);
            MemoryOutput out;
            const uint64_t declared = 50000;
            try {
                unpack.Unpack(version, false, in, out, declared);
            } catch (const ECodecError& e) {
                EXPECT_TRUE(e.Code() == kErrCorrupt || e.Code() == kErrBadTree || e.Code() == kErrTruncated ||
                            e.Code() == kErrUnsupported || e.Code() == kErrMemory)
                    << e.Code();
                unpack.Reset();
            }
            EXPECT_LE(out.bytes.size(), declared);
        }
    }
}

TEST(RarUnpack, UnknownVersionIsUnsupported) {
    RarUnpack unpack;
    std::vector<uint8_t> data(16, 0);
    MemoryInput in(data);
    MemoryOutput out;
    try {
        unpack.Unpack(99, false, in, out, 10);
        FAIL() << "no error";
    } catch (const ECodecError& e) {
        EXPECT_EQ(e.Code(), kErrUnsupported);
    }
}

TEST(RarUnpack, HugeDictionaryIsRefusedNotAllocated) {
    RarUnpack unpack;
    try {
        unpack.SetDictionary(uint64_t(1) << 40);
        FAIL() << "no error";
    } catch (const ECodecError& e) {
        EXPECT_EQ(e.Code(), kErrMemory);
    }
}
