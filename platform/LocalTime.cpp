#include "platform/LocalTime.h"

#include <ctime>
#include <time.h>

namespace mv::platform {

LocalDateTime LocalTimeOf(int64_t unixTime) {
    time_t t = static_cast<time_t>(unixTime);
    struct tm tm {};
    LocalDateTime out;
    if (!localtime_r(&t, &tm)) return out;
    out.Year = tm.tm_year + 1900;
    out.Month = tm.tm_mon + 1;
    out.Day = tm.tm_mday;
    out.Hour = tm.tm_hour;
    out.Minute = tm.tm_min;
    out.Second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    return out;
}

int64_t UnixTimeOf(const LocalDateTime& local) {
    struct tm tm {};
    tm.tm_year = local.Year - 1900;
    tm.tm_mon = local.Month - 1;
    tm.tm_mday = local.Day;
    tm.tm_hour = local.Hour;
    tm.tm_min = local.Minute;
    tm.tm_sec = local.Second;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&tm));
}

uint32_t PackDosDateTime(const LocalDateTime& l) {
    if (l.Year < 1980) return (1u << 5 | 1u) << 16; // 1980-01-01 00:00:00
    if (l.Year > 2107) return ((127u << 9 | 12u << 5 | 31u) << 16) | (23u << 11 | 59u << 5 | 29u);
    uint32_t date = static_cast<uint32_t>((l.Year - 1980) << 9 | l.Month << 5 | l.Day);
    uint32_t time = static_cast<uint32_t>(l.Hour << 11 | l.Minute << 5 | l.Second / 2);
    return date << 16 | time;
}

uint32_t DosDateTimeOf(int64_t unixTime) {
    return PackDosDateTime(LocalTimeOf(unixTime));
}

bool SplitDosDateTime(uint32_t v, LocalDateTime& l) {
    uint32_t date = v >> 16, time = v & 0xFFFF;
    l.Year = 1980 + static_cast<int>(date >> 9);
    l.Month = static_cast<int>((date >> 5) & 15);
    l.Day = static_cast<int>(date & 31);
    l.Hour = static_cast<int>(time >> 11);
    l.Minute = static_cast<int>((time >> 5) & 63);
    l.Second = static_cast<int>(time & 31) * 2;
    static const int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (l.Month < 1 || l.Month > 12 || l.Day < 1 || l.Day > monthDays[l.Month - 1] || l.Hour > 23 ||
        l.Minute > 59 || l.Second > 58)
        return false;
    bool leap = (l.Year % 4 == 0 && l.Year % 100 != 0) || l.Year % 400 == 0;
    if (l.Month == 2 && l.Day == 29 && !leap) return false;
    return true;
}

int64_t UnixTimeOfDos(uint32_t v) {
    LocalDateTime l;
    if (!SplitDosDateTime(v, l)) l = LocalDateTime{};
    return UnixTimeOf(l);
}

uint64_t TickCountMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

} // namespace mv::platform
