#pragma once
// The sorting rules of the extended list view: the typed "smart" comparison of two
// cell texts (dates, then numbers, then the locale's text order) and a merge sort
// that stays in bounds and terminates with any comparison, consistent or not.
#include "platform/ui/ListView.h"

#include <functional>
#include <string>
#include <vector>

namespace mv {

enum class TAutoSortStyle { assSmart, assDefault };

// The value of a date or time text in days (time as the fraction of a day), read
// with the locale's layout; false when the text is not a date or time, or reads as
// the value 0.
bool IsDateText(const std::string& text, const TLocaleDateFormat& format, double* value = nullptr);
// The whole text is a floating-point number: optional sign, digits, "." as the
// decimal point, optional exponent; no thousands separators.
bool IsNumberText(const std::string& text, double* value = nullptr);
// Two cell texts compared: -1, 0 or 1. assSmart compares two dates as dates, else two
// numbers as numbers, else the texts in the locale's order; assDefault always the texts.
int SmartCompareTexts(const std::string& a, const std::string& b, TAutoSortStyle style,
                      const TLocaleDateFormat& format);

// Sorts positions 0..count-1 by compare (negative: a before b). A plain merge: each
// step only looks at the two candidates in front of it, so a comparison that is not a
// consistent order gives some order of all the elements, never a crash or a loss;
// equal elements keep their order. Returns order[p] = the index that goes to p.
std::vector<int> SafeMergeSortOrder(int count, const std::function<int(int a, int b)>& compare);

} // namespace mv
