#pragma once
// Text helpers shared by the lister, the readers, the writers and the search:
// trimming, the name fields of archive headers, and UTF-8 checks over the
// platform's code pages. Dates and times (DOS, Unix, TDateTime) live with the
// shared routines (SharedRoutines.h) on top of platform/LocalTime.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mv {

// Without blanks and control characters (bytes up to 0x20) at both ends.
std::string TrimBlanks(std::string_view text);

// A name field of n bytes that ends at its first NUL (or fills the field).
std::string ZeroTerminated(const uint8_t* field, size_t n);

// A fixed name field of n bytes: NULs become blanks and blanks at the end go.
std::string FixedName(const uint8_t* field, size_t n);

// True when text is well-formed UTF-8 (pure ASCII included).
bool IsValidUtf8(std::string_view text);

// A stored name in UTF-8: kept when it is valid UTF-8 (what systems write
// today), otherwise read in the OEM code page, or as Latin-1 for formats whose
// rule says so.
std::string Utf8OrOem(const std::string& raw);
std::string Utf8OrLatin1(const std::string& raw);

// ASCII letters compared without case; other bytes exactly.
bool EqualNoCase(std::string_view a, std::string_view b);

} // namespace mv
