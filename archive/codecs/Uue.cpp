// uuencoded and xxencoded lines: a table lookup per character and three bytes
// per group of four. Lines hold at most 63 bytes, so the work per line is
// tiny; speed comes from the reader handing whole buffers of lines.
#include "archive/codecs/Uue.h"

#include <cstring>

namespace mv {

namespace {

TUueAlphabet Build(const char* chars) {
    TUueAlphabet a;
    std::memset(a.Value, -2, sizeof a.Value);
    for (int i = 63; i >= 0; --i) a.Value[uint8_t(chars[i])] = int8_t(i);
    if (a.Value[uint8_t(' ')] < 0) a.Value[uint8_t(' ')] = 0;
    a.FullLine = chars[45];
    return a;
}

const char UuChars[] = "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
const char XxChars[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// The line agrees with its count character: 1 + 4 * ceil(n / 3) characters,
// allowing a little trailing padding some encoders add.
bool CountFits(const TUueAlphabet& a, const char* line, size_t length) {
    while (length > 0 && (line[length - 1] == ' ' || line[length - 1] == '\t')) --length;
    if (length == 0) return false;
    int n = a.Value[uint8_t(line[0])];
    if (n < 0) return false;
    size_t need = 1 + 4 * ((size_t(n) + 2) / 3);
    // Trailing blanks may have been trimmed although they carry zeros.
    return length <= need + 2 && length + 4 > need;
}

} // namespace

const TUueAlphabet& UuAlphabet() {
    static const TUueAlphabet a = Build(UuChars);
    return a;
}

const TUueAlphabet& XxAlphabet() {
    static const TUueAlphabet a = Build(XxChars);
    return a;
}

TUueAlphabet UueTableAlphabet(const std::string& chars) {
    char c[64];
    for (size_t i = 0; i < 64; ++i) c[i] = i < chars.size() ? chars[i] : chars.empty() ? ' ' : chars[0];
    return Build(c);
}

const TUueAlphabet& UueGuessAlphabet(const char* line, size_t length) {
    if (length > 0 && line[0] == UuAlphabet().FullLine) return UuAlphabet();
    if (length > 0 && line[0] == XxAlphabet().FullLine) return XxAlphabet();
    if (CountFits(UuAlphabet(), line, length)) return UuAlphabet();
    if (CountFits(XxAlphabet(), line, length)) return XxAlphabet();
    return UuAlphabet();
}

int UueDecodeLine(const TUueAlphabet& alphabet, const char* line, size_t length, uint8_t out[64],
                  bool* shortLine) {
    if (length == 0) return -1;
    int n = alphabet.Value[uint8_t(line[0])];
    if (n < 0) return -1;
    bool missing = false;
    auto value = [&](size_t i) -> uint32_t {
        if (i >= length) {
            missing = true;
            return 0;
        }
        int v = alphabet.Value[uint8_t(line[i])];
        return v < 0 ? 0 : uint32_t(v);
    };
    int produced = 0;
    for (size_t i = 1; produced < n; i += 4) {
        uint32_t group = value(i) << 18 | value(i + 1) << 12 | value(i + 2) << 6 | value(i + 3);
        out[produced++] = uint8_t(group >> 16);
        if (produced < n) out[produced++] = uint8_t(group >> 8);
        if (produced < n) out[produced++] = uint8_t(group);
    }
    if (shortLine) *shortLine = missing;
    return n;
}

} // namespace mv
