#include "platform/LocalTime.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>

using namespace mv::platform;

namespace {
// Runs the body with TZ set, then restores it.
struct ZoneGuard {
    explicit ZoneGuard(const char* tz) {
        const char* old = getenv("TZ");
        had = old != nullptr;
        if (had) saved = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (had)
            setenv("TZ", saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    bool had;
    std::string saved;
};
constexpr uint32_t k1980 = 0x00210000; // 1980-01-01 00:00:00
} // namespace

TEST(LocalTime, DosRoundTripInTwoZones) {
    for (const char* tz : {"UTC", "America/Sao_Paulo", "Europe/Berlin"}) {
        SCOPED_TRACE(tz);
        ZoneGuard g(tz);
        // 2009-02-13 23:31:30 UTC and a few more instants, whole even seconds.
        for (int64_t t :
             {int64_t(1234567890), int64_t(946684800), int64_t(1719835200), int64_t(4102444800)}) {
            uint32_t dos = DosDateTimeOf(t);
            EXPECT_EQ(UnixTimeOfDos(dos), t);
        }
        // Before 1980 gives 1980-01-01 00:00:00 local.
        EXPECT_EQ(DosDateTimeOf(0), k1980);
        EXPECT_EQ(UnixTimeOfDos(k1980), UnixTimeOf(LocalDateTime{}));
    }
}

TEST(LocalTime, DosFieldsUnderUtc) {
    ZoneGuard g("UTC");
    // 2000-03-01 12:34:56
    uint32_t dos = DosDateTimeOf(951914096);
    EXPECT_EQ(dos >> 16, (20u << 9) | (3u << 5) | 1u);
    EXPECT_EQ(dos & 0xFFFF, (12u << 11) | (34u << 5) | 28u);
    LocalDateTime l;
    EXPECT_TRUE(SplitDosDateTime(dos, l));
    EXPECT_EQ(l.Second, 56);
    // Invalid fields give 1980-01-01.
    EXPECT_FALSE(SplitDosDateTime(0, l));
    EXPECT_EQ(UnixTimeOfDos(0), 315532800);
    EXPECT_EQ(UnixTimeOfDos(((1u << 9 | 2u << 5 | 29u) << 16)), 315532800); // 1981-02-29
    EXPECT_EQ(UnixTimeOfDos(0x00210000 | (24u << 11)), 315532800);          // hour 24
    // After 2107 clamps.
    EXPECT_EQ(DosDateTimeOf(int64_t(5000000000)) >> 16, (127u << 9) | (12u << 5) | 31u);
}

TEST(LocalTime, TickCountMoves) {
    uint64_t a = TickCountMs();
    EXPECT_GE(TickCountMs(), a);
}
