#pragma once
// Numbers and times written the way the user's locale writes them (the thousands
// separator, the short date and time formats). Tests pin the locale by name.
#include <cstdint>
#include <string>

namespace mv::desktop {

// The locale the texts follow: a name such as "pt_BR"; empty: the system's.
void SetTextLocale(const std::string& name);
// A whole number with the locale's thousands separators ("1.024" in pt_BR).
std::string FormatThousands(uint64_t value);
// A moment (seconds since 1970) in local time, as short date, a blank, short time.
std::string FormatShortDateTime(int64_t seconds);

} // namespace mv::desktop
