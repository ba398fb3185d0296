#include "controls/listview/ListViewSort.h"
#include "platform/LocalTime.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>

namespace mv {
namespace {

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && s[a] == ' ') ++a;
    while (b > a && s[b - 1] == ' ') --b;
    return s.substr(a, b - a);
}

// Days from 1899-12-30, the day 0 of the date values (1970-01-01 is day 25569).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    return platform::DaysFromCivil(y, m, d) + 25569;
}

bool LeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && LeapYear(y) ? 29 : days[m - 1];
}

// Splits text at sep into unsigned numbers; nothing when a piece is not one.
std::optional<std::vector<int>> Numbers(const std::string& text, char sep) {
    std::vector<int> out;
    size_t pos = 0;
    while (true) {
        const size_t end = text.find(sep, pos);
        const std::string piece = Trim(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (piece.empty() || piece.size() > 9) return std::nullopt;
        int v = 0;
        auto [p, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), v);
        if (ec != std::errc() || p != piece.data() + piece.size()) return std::nullopt;
        out.push_back(v);
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return out;
}

// A date in the locale's field order: three numbers.
std::optional<double> ParseDate(const std::string& text, const TLocaleDateFormat& format) {
    auto numbers = Numbers(text, format.DateSeparator);
    if (!numbers || numbers->size() != 3) return std::nullopt;
    // The field order of the short date layout: the first d, m and y seen.
    std::string order;
    for (char c : format.ShortDateFormat) {
        const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if ((l == 'd' || l == 'm' || l == 'y') && order.find(l) == std::string::npos) order += l;
    }
    if (order.size() != 3) order = "dmy";
    int d = 0, m = 0, y = 0;
    for (size_t i = 0; i < 3; ++i) {
        const int v = (*numbers)[i];
        if (order[i] == 'd') d = v;
        else if (order[i] == 'm') m = v;
        else y = v;
    }
    if (y < 100) y += y < 50 ? 2000 : 1900;
    if (m < 1 || m > 12 || y > 9999 || d < 1 || d > DaysInMonth(y, m)) return std::nullopt;
    return static_cast<double>(DaysFromCivil(y, m, d));
}

// A time of day: hours and minutes, optional seconds, optional AM or PM.
std::optional<double> ParseTime(std::string text, const TLocaleDateFormat& format) {
    text = Trim(text);
    int shift = -1;
    if (text.size() >= 2) {
        std::string tail = text.substr(text.size() - 2);
        for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (tail == "AM" || tail == "PM") {
            shift = tail == "PM" ? 12 : 0;
            text = Trim(text.substr(0, text.size() - 2));
        }
    }
    auto numbers = Numbers(text, format.TimeSeparator);
    if (!numbers || numbers->size() < 2 || numbers->size() > 3) return std::nullopt;
    int h = (*numbers)[0];
    const int m = (*numbers)[1], s = numbers->size() == 3 ? (*numbers)[2] : 0;
    if (shift >= 0) {
        if (h < 1 || h > 12) return std::nullopt;
        h = h % 12 + shift;
    }
    if (h > 23 || m > 59 || s > 59) return std::nullopt;
    return (h * 3600.0 + m * 60.0 + s) / 86400.0;
}

} // namespace

bool IsDateText(const std::string& text, const TLocaleDateFormat& format, double* value) {
    const size_t first = text.find(format.DateSeparator);
    bool hasDate = false;
    if (first != std::string::npos)
        hasDate = first + 1 == text.size() || text.find(format.DateSeparator, first + 1) != std::string::npos;
    const bool hasTime = text.find(format.TimeSeparator) != std::string::npos;
    if (!hasDate && !hasTime) return false;
    std::optional<double> v;
    if (hasDate && hasTime) {
        // The date, then the time after the first blank that follows the date.
        const std::string t = Trim(text);
        const size_t blank = t.find(' ');
        if (blank != std::string::npos) {
            auto d = ParseDate(t.substr(0, blank), format);
            auto h = ParseTime(t.substr(blank + 1), format);
            if (d && h) v = *d + *h;
        }
    } else if (hasDate)
        v = ParseDate(Trim(text), format);
    else
        v = ParseTime(text, format);
    const double result = v.value_or(0.0);
    if (value) *value = result;
    return result != 0.0;
}

bool IsNumberText(const std::string& text, double* value) {
    const std::string t = Trim(text);
    size_t i = 0;
    const size_t n = t.size();
    bool negative = false;
    if (i < n && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    const size_t start = i;
    size_t digits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
    if (i < n && t[i] == '.') {
        ++i;
        while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < n && (t[i] == '+' || t[i] == '-')) ++i;
        size_t exponent = 0;
        while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    if (i != n) return false;
    double v = 0;
    auto [p, ec] = std::from_chars(t.data() + start, t.data() + n, v);
    if (p != t.data() + n || (ec != std::errc() && ec != std::errc::result_out_of_range)) return false;
    if (value) *value = negative ? -v : v;
    return true;
}

int SmartCompareTexts(const std::string& a, const std::string& b, TAutoSortStyle style,
                      const TLocaleDateFormat& format) {
    try {
        if (style == TAutoSortStyle::assSmart) {
            double x = 0, y = 0;
            if (IsDateText(a, format, &x) && IsDateText(b, format, &y)) return x < y ? -1 : x > y ? 1 : 0;
            if (IsNumberText(a, &x) && IsNumberText(b, &y)) return x < y ? -1 : x > y ? 1 : 0;
        }
        return LocaleCompareText(a, b);
    } catch (...) {
        return 0;
    }
}

std::vector<int> SafeMergeSortOrder(int count, const std::function<int(int a, int b)>& compare) {
    std::vector<int> order(static_cast<size_t>(std::max(count, 0)));
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::vector<int> merged(order.size());
    const size_t n = order.size();
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) {
                // The right one goes first only when it is strictly smaller: stable.
                if (compare(order[j], order[i]) < 0)
                    merged[k++] = order[j++];
                else
                    merged[k++] = order[i++];
            }
            while (i < mid) merged[k++] = order[i++];
            while (j < hi) merged[k++] = order[j++];
        }
        order.swap(merged);
    }
    return order;
}

} // namespace mv
