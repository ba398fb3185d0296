#pragma once
// Local time as the archive formats store it: DOS date and time (32 bits,
// time in the low word, 2-second steps, local time) and broken-down local time
// by the zone rules of the date in question (localtime_r / mktime).
#include <cstdint>

namespace mv::platform {

// A local calendar time. Month 1..12, Day 1..31, Hour 0..23, Minute 0..59, Second 0..59.
struct LocalDateTime {
    int Year = 1980;
    int Month = 1;
    int Day = 1;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
};

// The local time of an instant (seconds since 1970-01-01 UTC).
LocalDateTime LocalTimeOf(int64_t unixTime);
// The instant of a local time; a time that the zone skips or repeats takes the
// system's choice (isdst = -1). Out-of-range fields are normalised as mktime does.
int64_t UnixTimeOf(const LocalDateTime& local);

// DOS date and time of an instant. Times before 1980-01-01 00:00:00 local give
// that date; times after 2107-12-31 23:59:58 give that date; odd seconds round down.
uint32_t DosDateTimeOf(int64_t unixTime);
// The instant of a DOS date and time. Invalid fields (month 0 or above 12, day 0,
// hour above 23, minute above 59, seconds above 58) give 1980-01-01 00:00:00 local.
int64_t UnixTimeOfDos(uint32_t dosDateTime);
// The broken-down form of a DOS date and time, false when a field is invalid.
bool SplitDosDateTime(uint32_t dosDateTime, LocalDateTime& local);
// The DOS date and time of a local time (clamped to 1980..2107 as above).
uint32_t PackDosDateTime(const LocalDateTime& local);

// Days from 1970-01-01 of a date of the proleptic Gregorian calendar (month 1..12),
// and the date of such a day number.
int64_t DaysFromCivil(int64_t year, int month, int day);
void CivilFromDays(int64_t days, int& year, int& month, int& day);

// Milliseconds of a monotonic clock (never wraps in practice).
uint64_t TickCountMs();

} // namespace mv::platform
