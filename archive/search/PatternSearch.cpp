#include "archive/search/PatternSearch.h"

#include "platform/CodePage.h"

#include <cstring>

namespace mv {

namespace {
constexpr size_t kMaxPattern = 255;
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
    FPatternText = pattern.substr(0, kMaxPattern);
    FPattern = FPatternText;
    if (oem == 1) {
        std::string converted;
        platform::Utf8ToOem(FPatternText, converted);
        FPattern = converted.substr(0, kMaxPattern);
    }
    FCaseMode = caseMode;
    const auto m = static_cast<int64_t>(FPattern.size());
    FFolded.resize(FPattern.size());
    for (size_t i = 0; i < FPattern.size(); ++i) {
        const auto c = static_cast<uint8_t>(FPattern[i]);
        FFolded[i] = caseMode == 1 ? c : Fold(c);
    }
    // Horspool shift: how far the window may move when the byte under its last
    // position is c: the distance from c's rightmost place before the last one
    // to the end, or m when c does not occur there.
    for (auto& s : FSkip) s = m > 0 ? m : 1;
    for (int64_t k = 0; k + 1 < m; ++k) {
        const uint8_t c = FFolded[static_cast<size_t>(k)];
        FSkip[c] = m - 1 - k;
        if (caseMode != 1 && c >= 'a' && c <= 'z') FSkip[c - 32] = m - 1 - k;
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

template <bool Folding> void ArcSearchObj::Scan(const uint8_t* text, int64_t size, bool& stop) {
    const auto m = static_cast<int64_t>(FFolded.size());
    const uint8_t* pat = FFolded.data();
    const uint8_t last = pat[m - 1];
    const int64_t* skip = FSkip;
    const bool progress = static_cast<bool>(OnProgress);
    int64_t pos = m - 1; // index of the window's last byte
    while (pos < size) {
        const uint8_t c = text[pos];
        if ((Folding ? Fold(c) : c) == last) {
            const uint8_t* w = text + pos - (m - 1);
            int64_t j = m - 2;
            if constexpr (Folding) {
                while (j >= 0 && Fold(w[j]) == pat[j]) --j;
            } else {
                if (j >= 0 && std::memcmp(w, pat, static_cast<size_t>(m - 1)) == 0) j = -1;
            }
            if (j < 0) {
                FMatches.push_back(pos - m + 2); // 1-based start
                if (progress) {
                    Report(stop);
                    if (stop) return;
                }
            }
        }
        pos += skip[c];
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
    if (m == 1 && FCaseMode == 1) {
        // one exact byte: memchr is the fastest scan there is
        const auto* p = buffer;
        const auto* end = buffer + size;
        while (p < end && !stop) {
            p = static_cast<const uint8_t*>(std::memchr(p, FFolded[0], static_cast<size_t>(end - p)));
            if (!p) break;
            FMatches.push_back(p - buffer + 1);
            ++p;
            if (OnProgress) Report(stop);
        }
    } else if (FCaseMode == 1) {
        Scan<false>(buffer, size, stop);
    } else {
        Scan<true>(buffer, size, stop);
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
