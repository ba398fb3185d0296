#include "platform/CodePage.h"

#include <array>

namespace mv::platform {

namespace {

#include "platform/CodePageTables.inc"

OemCodePage defaultPage = OemCodePage::cp437;

const uint16_t* HighTable(OemCodePage page) {
    return page == OemCodePage::cp850 ? kCp850High : kCp437High;
}

} // namespace

OemCodePage DefaultOemCodePage() {
    return defaultPage;
}
void SetDefaultOemCodePage(OemCodePage page) {
    defaultPage = page;
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool DecodeUtf8(std::string_view s, size_t& pos, uint32_t& cp) {
    auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char c = b(pos);
    size_t len;
    uint32_t min;
    if (c < 0x80) {
        cp = c;
        ++pos;
        return true;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, cp = c & 0x07, min = 0x10000;
    } else {
        ++pos;
        return false;
    }
    if (pos + len > s.size()) {
        ++pos;
        return false;
    }
    for (size_t i = 1; i < len; ++i) {
        if ((b(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return false;
        }
        cp = cp << 6 | (b(pos + i) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return false;
    }
    pos += len;
    return true;
}

std::string OemToUtf8(std::string_view oem, OemCodePage page) {
    const uint16_t* high = HighTable(page);
    std::string out;
    out.reserve(oem.size());
    for (char ch : oem) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else
            AppendUtf8(out, high[c - 0x80]);
    }
    return out;
}

bool Utf8ToOem(std::string_view utf8, std::string& oem, OemCodePage page) {
    const uint16_t* high = HighTable(page);
    oem.clear();
    oem.reserve(utf8.size());
    bool all = true;
    size_t pos = 0;
    while (pos < utf8.size()) {
        uint32_t cp;
        if (!DecodeUtf8(utf8, pos, cp)) {
            oem += '_';
            all = false;
            continue;
        }
        if (cp < 0x80) {
            oem += static_cast<char>(cp);
            continue;
        }
        int found = -1;
        for (int i = 0; i < 128; ++i)
            if (high[i] == cp) {
                found = i;
                break;
            }
        if (found < 0) {
            oem += '_';
            all = false;
        } else {
            oem += static_cast<char>(0x80 + found);
        }
    }
    return all;
}

bool HasOemForm(std::string_view utf8, OemCodePage page) {
    std::string ignored;
    return Utf8ToOem(utf8, ignored, page);
}

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

} // namespace mv::platform
