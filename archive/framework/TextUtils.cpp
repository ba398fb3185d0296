#include "archive/framework/TextUtils.h"

#include "platform/CodePage.h"

namespace mv {

std::string TrimBlanks(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return std::string(text.substr(b, e - b));
}

std::string ZeroTerminated(const uint8_t* field, size_t n) {
    size_t k = 0;
    while (k < n && field[k]) ++k;
    return std::string(reinterpret_cast<const char*>(field), k);
}

std::string FixedName(const uint8_t* field, size_t n) {
    std::string s(reinterpret_cast<const char*>(field), n);
    for (char& c : s)
        if (c == '\0') c = ' ';
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

bool IsValidUtf8(std::string_view text) {
    size_t pos = 0;
    uint32_t cp;
    while (pos < text.size())
        if (!platform::DecodeUtf8(text, pos, cp)) return false;
    return true;
}

std::string Utf8OrOem(const std::string& raw) {
    return IsValidUtf8(raw) ? raw : platform::OemToUtf8(raw);
}

std::string Utf8OrLatin1(const std::string& raw) {
    if (IsValidUtf8(raw)) return raw;
    std::string out;
    for (unsigned char c : raw) platform::AppendUtf8(out, c);
    return out;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

} // namespace mv
