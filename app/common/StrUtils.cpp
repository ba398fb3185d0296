#include "app/common/StrUtils.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace mv {
namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string WithoutDots(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '.') out += c;
    return out;
}

// Parses a whole text (after trimming) as a decimal 32-bit integer.
bool ReadInt(const std::string& text, int& value) {
    const std::string t = TrimText(text);
    if (t.empty()) return false;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (*first == '+') ++first;
    if (first == last) return false;
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(first, last, v);
    if (ec != std::errc() || end != last) return false;
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
    value = static_cast<int>(v);
    return true;
}

} // namespace

std::string TrimText(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

void CutFirstField(std::string& line, std::string& field) {
    const auto pos = line.find(';');
    if (pos == std::string::npos) {
        field.clear();
        return;
    }
    field = TrimText(line.substr(0, pos));
    line.erase(0, pos + 1);
}

std::string ZeroPad(const std::string& text, int width) {
    const std::string trimmed = TrimText(text);
    if (width <= 0 || static_cast<int>(trimmed.size()) >= width) return text;
    const std::string padded = std::string(static_cast<size_t>(width), '0') + trimmed;
    return padded.substr(padded.size() - static_cast<size_t>(width));
}

std::string RepeatStr(const std::string& text, int count) {
    std::string out;
    if (count <= 0) return out;
    out.reserve(text.size() * static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) out += text;
    return out;
}

int StrToIntNoDots(const std::string& text, int defaultValue) {
    int value = 0;
    return ReadInt(WithoutDots(text), value) ? value : defaultValue;
}

double StrToFloatNoDots(const std::string& text) {
    std::string t = TrimText(WithoutDots(text));
    for (char& c : t)
        if (c == ',') c = '.';
    if (t.empty()) return 0;
    const char* first = t.data();
    if (*first == '+') ++first;
    double value = 0;
    const auto [end, ec] = std::from_chars(first, t.data() + t.size(), value);
    if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(value)) return 0;
    return value;
}

int StrToIntStrict(const std::string& text) {
    // Leading blanks are allowed, trailing ones are not, as the conversion has it.
    size_t b = 0;
    while (b < text.size() && IsBlank(text[b])) ++b;
    int value = 0;
    const std::string rest = text.substr(b);
    if (rest.empty() || IsBlank(rest.back()) || !ReadInt(rest, value))
        throw EConvertError("'" + text + "' is not a valid integer value");
    return value;
}

} // namespace mv
