#include "archive/search/PatternSearch.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace mv {

namespace {

constexpr size_t kMaxPattern = 255;

// Bytes from the most common to the less common in the files people search:
// text in English and other Latin-script languages, source code, and binary
// data with its zeros and 0xFF fills. A byte not listed counts as rarer than
// every listed one. Only the order matters: it picks the anchor.
constexpr uint8_t kCommonFirst[] = {
    ' ', 0x00, 'e', 't',  'a', 'o',  'i',  'n', 's',  'r',  'h', 'l', 'd', 'c', 'u', 'm', '\n', 'f', 'p',
    'g', '.',  ',', 'y',  'w', 'b',  0xFF, 'v', '\r', '\t', '0', '1', 'k', '-', '_', '=', '(',  ')', '"',
    '/', '2',  ':', ';',  'T', 'S',  'E',  'A', 'I',  'C',  'R', 'O', 'N', 'x', 'P', 'D', 'L',  'M', '3',
    '4', '5',  '*', '\'', 'F', 'B',  0x01, 'H', '6',  '8',  '9', '7', 'U', 'G', 'W', '{', '}',  '<', '>',
    'V', 'j',  'q', 'z',  'Y', 0xC3, '#',  '[', ']',  '&',  '+', 'K', 'X', '!', '?', 'J', 'Q',  'Z'};

struct TRarity {
    int rank[256];
    constexpr TRarity() : rank() {
        for (int& r : rank) r = static_cast<int>(sizeof kCommonFirst);
        for (size_t i = 0; i < sizeof kCommonFirst; ++i) rank[kCommonFirst[i]] = static_cast<int>(i);
    }
};
constexpr TRarity kRarity;

// Case folding tables. Without case, a pattern byte compares through the table
// of its place: ASCII letters everywhere; in UTF-8 text the Latin-1 letters
// (two bytes, 0xC3 and a second byte that differs by 0x20 between the cases) at
// a place after 0xC3; in OEM text the code page's own upper and lower letters.
struct TFoldTable {
    uint8_t to[256];
};

TFoldTable AsciiFold() {
    TFoldTable t{};
    for (int c = 0; c < 256; ++c) t.to[c] = (c >= 'A' && c <= 'Z') ? uint8_t(c + 32) : uint8_t(c);
    return t;
}

// The second byte of a UTF-8 Latin-1 letter: "À".."Þ" (0x80..0x9E but the sign
// "×" 0x97) to "à".."þ".
TFoldTable Utf8LatinFold() {
    TFoldTable t = AsciiFold();
    for (int c = 0x80; c <= 0x9E; ++c)
        if (c != 0x97) t.to[c] = uint8_t(c + 0x20);
    return t;
}

// The code page's capital Latin-1 letters to their small ones, where both have
// a form in it; computed from the code page itself.
TFoldTable OemFold(platform::OemCodePage page) {
    TFoldTable t = AsciiFold();
    for (int c = 0x80; c < 256; ++c) {
        const std::string utf8 = platform::OemToUtf8(std::string(1, char(c)), page);
        size_t pos = 0;
        uint32_t cp = 0;
        if (!platform::DecodeUtf8(utf8, pos, cp) || cp < 0xC0 || cp > 0xDE || cp == 0xD7) continue;
        std::string lower, oem;
        platform::AppendUtf8(lower, cp + 0x20);
        if (platform::Utf8ToOem(lower, oem, page) && oem.size() == 1) t.to[c] = uint8_t(oem[0]);
    }
    return t;
}

const TFoldTable& FoldTable(int kind) {
    static const TFoldTable tables[] = {AsciiFold(), Utf8LatinFold(), OemFold(platform::OemCodePage::cp437),
                                        OemFold(platform::OemCodePage::cp850)};
    return tables[kind];
}

// The anchor scan hands over to Horspool when its candidates come closer than
// this many bytes apart on average (after a first few, so one dense spot at
// the start of a block does not decide).
constexpr int64_t kMinCandidateGap = 16;
constexpr int64_t kFreeCandidates = 32;

} // namespace

uint8_t ArcSearchObj::Fold(uint8_t c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c + 32) : c;
}

ArcSearchObj::ArcSearchObj() {
    SetPattern({}, 0, 0);
}

void ArcSearchObj::Prepare(const std::string& pattern, uint8_t oem, uint8_t caseMode) {
    OnProgress = nullptr;
    ClearMatches();
    SetPattern(pattern, oem, caseMode);
}

void ArcSearchObj::SetPattern(const std::string& pattern, uint8_t oem, uint8_t caseMode) {
    // the search components compile their terms again for every block
    if (FCompiled && oem == FOem && caseMode == FCaseMode &&
        pattern.compare(0, kMaxPattern, FPatternText) == 0)
        return;
    FCompiled = true;
    FOem = oem;
    FPatternText = pattern.substr(0, kMaxPattern);
    FPattern = FPatternText;
    if (oem == 1) {
        std::string converted;
        platform::Utf8ToOem(FPatternText, converted);
        FPattern = converted.substr(0, kMaxPattern);
    }
    FCaseMode = caseMode;
    const bool folding = caseMode != 1;
    const size_t m = FPattern.size();
    FFolded.resize(m);
    FFoldAt.resize(m);
    const int textFold =
        oem == 1 ? (platform::DefaultOemCodePage() == platform::OemCodePage::cp850 ? 3 : 2) : 0;
    for (size_t i = 0; i < m; ++i) {
        const auto c = static_cast<uint8_t>(FPattern[i]);
        const bool latinSecond = oem != 1 && i > 0 && static_cast<uint8_t>(FPattern[i - 1]) == 0xC3;
        FFoldAt[i] = FoldTable(latinSecond ? 1 : textFold).to;
        FFolded[i] = folding ? FFoldAt[i][c] : c;
    }

    // The bytes that compare equal to the pattern's byte at place i.
    auto forms = [&](size_t i, uint8_t out[2]) {
        if (!folding) {
            out[0] = FFolded[i];
            return 1;
        }
        int n = 0;
        for (int t = 0; t < 256; ++t)
            if (FFoldAt[i][t] == FFolded[i]) {
                if (n < 2) out[n] = uint8_t(t);
                ++n;
            }
        return n;
    };

    // The anchor: the rarest byte. Without case a letter costs two memchr runs
    // and counts as common as its more common case, a little more still.
    FAnchor = 0;
    FAnchorBoth = false;
    int best = std::numeric_limits<int>::min();
    for (size_t i = 0; i < m; ++i) {
        uint8_t f[2];
        const int n = forms(i, f);
        if (n > 2) continue; // never one of the code page's letters that fold from several bytes
        const bool both = n == 2;
        const int rarity = both ? std::min(kRarity.rank[f[0]], kRarity.rank[f[1]]) - 8 : kRarity.rank[f[0]];
        if (rarity > best) {
            best = rarity;
            FAnchor = i;
            FAnchorBoth = both;
            FAnchorForms[0] = f[0];
            FAnchorForms[1] = both ? f[1] : f[0];
        }
    }

    // Horspool shift: how far the window may move when the byte under its last
    // position is c: the distance from c's rightmost place before the last one
    // to the end, or m when c does not occur there (m is at most 255).
    std::fill(std::begin(FSkip), std::end(FSkip), static_cast<uint8_t>(m > 0 ? m : 1));
    for (size_t k = 0; k + 1 < m; ++k) {
        if (!folding) {
            FSkip[FFolded[k]] = static_cast<uint8_t>(m - 1 - k);
            continue;
        }
        for (int t = 0; t < 256; ++t)
            if (FFoldAt[k][t] == FFolded[k]) FSkip[t] = static_cast<uint8_t>(m - 1 - k);
    }
}

void ArcSearchObj::ClearMatches() {
    FMatches.clear();
    FCursor = 0;
    FReported = -1;
}

void ArcSearchObj::Report(bool& stop) {
    const auto count = static_cast<int64_t>(FMatches.size());
    if (OnProgress && count != FReported) {
        FReported = count;
        OnProgress(stop, count);
    }
}

bool ArcSearchObj::Record(int64_t at, bool& stop) {
    FMatches.push_back(at + 1); // 1-based start
    if (OnProgress) Report(stop);
    return !stop;
}

template <bool Folding> bool ArcSearchObj::WindowEquals(const uint8_t* window) const {
    const uint8_t* pat = FFolded.data();
    const size_t m = FFolded.size();
    if constexpr (Folding) {
        for (size_t j = 0; j < m; ++j)
            if (FFoldAt[j][window[j]] != pat[j]) return false;
        return true;
    } else {
        return std::memcmp(window, pat, m) == 0;
    }
}

template <bool Folding> int64_t ArcSearchObj::ScanAnchored(const uint8_t* text, int64_t size, bool& stop) {
    const auto m = static_cast<int64_t>(FFolded.size());
    const auto a = static_cast<int64_t>(FAnchor);
    // Only anchors whose window lies wholly inside the block are looked at.
    const uint8_t* first = text + a;
    const uint8_t* end = text + size - (m - 1 - a);
    const uint8_t lower = Folding ? FAnchorForms[0] : FFolded[FAnchor];
    const uint8_t upper = FAnchorForms[1]; // used only for a letter without case
    auto find = [end](const uint8_t* from, uint8_t byte) {
        const void* p = std::memchr(from, byte, static_cast<size_t>(end - from));
        return p ? static_cast<const uint8_t*>(p) : end;
    };
    const uint8_t* nextLower = find(first, lower);
    const uint8_t* nextUpper = FAnchorBoth ? find(first, upper) : end;
    int64_t candidates = 0;
    const int64_t gap = kMinCandidateGap + m / 2;
    for (;;) {
        const uint8_t* at = std::min(nextLower, nextUpper);
        if (at == end) return size;
        if (++candidates > kFreeCandidates && candidates * gap > at - first)
            return at - a - text; // a common anchor here: Horspool goes on from this window
        if (WindowEquals<Folding>(at - a) && !Record(at - a - text, stop)) return size;
        if (at == nextLower)
            nextLower = find(at + 1, lower);
        else
            nextUpper = find(at + 1, upper);
    }
}

template <bool Folding>
void ArcSearchObj::ScanHorspool(const uint8_t* text, int64_t size, int64_t from, bool& stop) {
    const auto m = static_cast<int64_t>(FFolded.size());
    const uint8_t last = FFolded[static_cast<size_t>(m - 1)];
    const uint8_t* skip = FSkip;
    for (int64_t pos = from + m - 1; pos < size; pos += skip[text[pos]]) { // pos: the window's last byte
        const uint8_t c = text[pos];
        if ((Folding ? FFoldAt[static_cast<size_t>(m - 1)][c] : c) == last &&
            WindowEquals<Folding>(text + pos - (m - 1)) && !Record(pos - (m - 1), stop))
            return;
    }
}

bool ArcSearchObj::SearchBuffer(const uint8_t* buffer, int64_t size) {
    ClearMatches();
    bool stop = false;
    Report(stop);
    if (stop) return false;
    const auto m = static_cast<int64_t>(FFolded.size());
    if (m == 0 || !buffer || size < m) {
        if (OnProgress) OnProgress(stop, 0);
        return false;
    }
    if (FCaseMode == 1) {
        const int64_t from = ScanAnchored<false>(buffer, size, stop);
        if (from < size) ScanHorspool<false>(buffer, size, from, stop);
    } else {
        const int64_t from = ScanAnchored<true>(buffer, size, stop);
        if (from < size) ScanHorspool<true>(buffer, size, from, stop);
    }
    if (OnProgress) OnProgress(stop, static_cast<int64_t>(FMatches.size()));
    return !FMatches.empty();
}

int64_t ArcSearchObj::FindFirst(const uint8_t* buffer, int64_t size) {
    FCursor = 0;
    if (!SearchBuffer(buffer, size)) return -1;
    return FindNext();
}

int64_t ArcSearchObj::FindNext() {
    ++FCursor;
    if (FCursor < 1 || FCursor > static_cast<int64_t>(FMatches.size())) return -1;
    return FMatches[static_cast<size_t>(FCursor - 1)];
}

} // namespace mv
