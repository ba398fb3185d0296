#include "zipwriter/WildMatch.h"

#include "platform/CodePage.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace mv {

namespace {

using Chars = std::vector<uint32_t>;

// Code points with ASCII letters lower-cased; a broken byte stands for itself.
Chars Fold(const std::string& s) {
    Chars out;
    out.reserve(s.size());
    size_t pos = 0;
    while (pos < s.size()) {
        uint32_t c;
        size_t start = pos;
        if (!platform::DecodeUtf8(s, pos, c)) c = static_cast<uint8_t>(s[start]);
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
        out.push_back(c);
    }
    return out;
}

struct TSet {
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    bool negated = false;
    bool Allows(uint32_t c) const {
        bool in = false;
        for (const auto& r : ranges)
            if (c >= r.first && c <= r.second) in = true;
        return in != negated;
    }
};

// Reads the set that opens at p[i] == '<'. On success i stands on its ">".
int ReadSet(const Chars& p, size_t& i, TSet& set) {
    ++i;
    if (i < p.size() && (p[i] == '!' || p[i] == '^')) {
        set.negated = true;
        ++i;
    }
    if (i >= p.size() || p[i] == '>') return wmMalformed; // "<" at the end, or "<>"
    while (i < p.size() && p[i] != '>') {
        uint32_t lo = p[i];
        if (i + 1 < p.size() && p[i + 1] == '-') {
            if (i + 2 >= p.size() || p[i + 2] == '>') return wmMalformed;
            set.ranges.push_back({lo, p[i + 2]});
            i += 3;
        } else {
            set.ranges.push_back({lo, lo});
            ++i;
        }
    }
    return i < p.size() ? wmMatch : wmMalformed;
}

struct TToken {
    enum Kind { tkLiteral, tkAny, tkSet, tkStar } kind = tkLiteral;
    uint32_t c = 0;
    TSet set;
    bool limited = false;
};

// Splits the rest of a pattern (from a star on) into tokens.
int Tokenize(const Chars& p, size_t i, std::vector<TToken>& out) {
    while (i < p.size()) {
        TToken t;
        t.kind = TToken::tkLiteral;
        if (p[i] == '*') {
            t.kind = TToken::tkStar;
            if (i + 1 < p.size() && p[i + 1] == '<') {
                ++i;
                if (ReadSet(p, i, t.set) != wmMatch) return wmMalformed;
                t.limited = true;
            }
        } else if (p[i] == '?') {
            t.kind = TToken::tkAny;
        } else if (p[i] == '<') {
            t.kind = TToken::tkSet;
            if (ReadSet(p, i, t.set) != wmMatch) return wmMalformed;
        } else {
            t.c = p[i];
        }
        out.push_back(std::move(t));
        ++i;
    }
    return wmMatch;
}

// Whether tokens match text[j..] entirely: one row of booleans per token,
// filled from the end, O(tokens x text).
bool MatchTokens(const std::vector<TToken>& toks, const Chars& t, size_t j0) {
    const size_t n = t.size() - j0;
    std::vector<char> next(n + 1, 0), cur(n + 1, 0);
    next[n] = 1; // no tokens left: only the empty rest matches
    for (size_t k = toks.size(); k-- > 0;) {
        const TToken& tk = toks[k];
        if (tk.kind == TToken::tkStar) {
            cur[n] = next[n];
            for (size_t j = n; j-- > 0;) {
                bool pass = !tk.limited || tk.set.Allows(t[j0 + j]);
                cur[j] = next[j] || (pass && cur[j + 1]);
            }
        } else {
            cur[n] = 0;
            for (size_t j = 0; j < n; ++j) {
                uint32_t c = t[j0 + j];
                bool ok = tk.kind == TToken::tkAny || (tk.kind == TToken::tkSet && tk.set.Allows(c)) ||
                          (tk.kind == TToken::tkLiteral && tk.c == c);
                cur[j] = ok && next[j + 1];
            }
        }
        std::swap(cur, next);
    }
    return next[0] != 0;
}

} // namespace

int Match(const std::string& pattern, const std::string& text) {
    const Chars p = Fold(pattern), t = Fold(text);
    if (p.size() == 1 && p[0] == '*') return wmMatch;
    size_t i = 0, j = 0;
    while (i < p.size()) {
        if (j >= t.size()) return (p[i] == '*' && i + 1 == p.size()) ? wmMatch : wmTextEnded;
        if (p[i] == '*') {
            std::vector<TToken> toks;
            if (Tokenize(p, i, toks) != wmMatch) return wmMalformed;
            return MatchTokens(toks, t, j) ? wmMatch : wmTextEnded;
        }
        if (p[i] == '<') {
            TSet set;
            if (ReadSet(p, i, set) != wmMatch) return wmMalformed;
            if (!set.Allows(t[j])) return wmNotInSet;
        } else if (p[i] != '?' && p[i] != t[j]) {
            return wmLiteral;
        }
        ++i;
        ++j;
    }
    return j >= t.size() ? wmMatch : wmPatternEnded;
}

bool WildcardMatch(const std::string& pattern, const std::string& text) {
    return Match(pattern, text) == wmMatch;
}

} // namespace mv
