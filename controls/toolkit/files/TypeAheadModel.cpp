#include "controls/toolkit/files/TypeAheadModel.h"

#include "platform/CodePage.h"

namespace mv {

namespace {

// Length of the character that starts at s[i] (1 for a byte that starts none).
size_t CharLength(const std::string& s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 1;
    if (i + n > s.size()) return 1;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
    return n;
}

char32_t Decode(const std::string& s, size_t i, size_t n) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (n == 1) return b;
    char32_t c = b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return c;
}

char32_t Upper(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32; // à..þ but ÷
    if (c == 0xFF) return 0x178;                            // ÿ
    // Latin Extended-A: pairs of an upper and a lower letter, the upper one even except
    // in two runs where it is odd.
    if (c >= 0x100 && c <= 0x17F) {
        const bool upperOdd = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c; // no simple pair
        if (upperOdd ? (c % 2 == 0) : (c % 2 == 1)) return c - 1;
    }
    return c;
}

char32_t Lower(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32; // À..Þ but ×
    if (c == 0x178) return 0xFF;                            // Ÿ
    if (c >= 0x100 && c <= 0x17F) {
        const bool upperOdd = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x130 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if (upperOdd ? (c % 2 == 1) : (c % 2 == 0)) return c + 1;
    }
    return c;
}

} // namespace

char CaseOfKey(char key, TEditCharCase charCase) {
    if (charCase == TEditCharCase::ecUpperCase && key >= 'a' && key <= 'z')
        return static_cast<char>(key - 32);
    if (charCase == TEditCharCase::ecLowerCase && key >= 'A' && key <= 'Z')
        return static_cast<char>(key + 32);
    return key;
}

std::string ApplyCharCase(const std::string& text, TEditCharCase charCase) {
    if (charCase == TEditCharCase::ecNormal) return text;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t n = CharLength(text, i);
        if (n == 1 && static_cast<unsigned char>(text[i]) >= 0x80) {
            out += text[i]; // a stray byte stays as it is
        } else {
            const char32_t c = Decode(text, i, n);
            platform::AppendUtf8(out, charCase == TEditCharCase::ecUpperCase ? Upper(c) : Lower(c));
        }
        i += n;
    }
    return out;
}

size_t CharCount(const std::string& text) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); i += CharLength(text, i)) ++count;
    return count;
}

std::string CharPrefix(const std::string& text, size_t n) {
    size_t i = 0;
    for (size_t k = 0; k < n && i < text.size(); ++k) i += CharLength(text, i);
    return text.substr(0, i);
}

std::string CharRest(const std::string& text, size_t n) {
    return text.substr(CharPrefix(text, n).size());
}

int FindCompletion(const std::string& typed, const std::vector<std::string>& items, std::string& rest) {
    const std::string t = ApplyCharCase(typed, TEditCharCase::ecUpperCase);
    const size_t length = CharCount(typed);
    for (size_t i = 0; i < items.size(); ++i) {
        if (CharCount(items[i]) < length) continue;
        if (ApplyCharCase(CharPrefix(items[i], length), TEditCharCase::ecUpperCase) == t) {
            rest = CharRest(items[i], length);
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace mv
