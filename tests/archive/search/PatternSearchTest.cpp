// The pattern engine: the table of known cases and a differential test against
// a naive search on random texts and patterns, both case modes.
#include "archive/search/PatternSearch.h"

#include <gtest/gtest.h>

#include <random>

using namespace mv;

namespace {

std::vector<int64_t> Find(ArcSearchObj& e, const std::string& text) {
    std::vector<int64_t> out;
    for (int64_t p =
             e.FindFirst(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int64_t>(text.size()));
         p != -1; p = e.FindNext())
        out.push_back(p);
    return out;
}

std::vector<int64_t> Naive(const std::string& pat, const std::vector<uint8_t>& text, bool exact) {
    std::vector<int64_t> out;
    if (pat.empty() || pat.size() > text.size()) return out;
    for (size_t i = 0; i + pat.size() <= text.size(); ++i) {
        size_t j = 0;
        for (; j < pat.size(); ++j) {
            uint8_t a = text[i + j], b = static_cast<uint8_t>(pat[j]);
            if (!exact) {
                if (a >= 'A' && a <= 'Z') a += 32;
                if (b >= 'A' && b <= 'Z') b += 32;
            }
            if (a != b) break;
        }
        if (j == pat.size()) out.push_back(static_cast<int64_t>(i) + 1);
    }
    return out;
}

// Both modes of the engine against the naive search on one case; counts the
// cases with hits.
bool SameAsNaive(ArcSearchObj& e, const std::string& pat, const std::vector<uint8_t>& text, int round,
                 int& withHits) {
    for (uint8_t mode = 0; mode <= 1; ++mode) {
        e.Prepare(pat, 0, mode);
        e.SearchBuffer(text.data(), static_cast<int64_t>(text.size()));
        const auto expected = Naive(pat, text, mode == 1);
        if (!expected.empty()) ++withHits;
        EXPECT_EQ(e.Matches(), expected) << "round " << round << " mode " << int(mode);
        if (e.Matches() != expected) return false;
    }
    return true;
}

} // namespace

TEST(PatternSearch, KnownCases) {
    struct Case {
        std::string pattern, text;
        int mode; // 0 without case, 1 exact, -1 both
        std::vector<int64_t> expected;
    } cases[] = {
        {"abc", "xxABCxx", 0, {3}},       {"abc", "xxABCxx", 1, {}},
        {"aa", "aaaa", -1, {1, 2, 3}},    {"", "anything", -1, {}},
        {"end", "the end", -1, {5}},      {"abcab", "zbcabcab", -1, {4}},
        {"aaaa", "baaaaabb", -1, {2, 3}}, {"x", "xAxax", 1, {1, 3, 5}},
        {"A", "xAxax", 0, {2, 4}},        {"longer than text", "short", -1, {}},
    };
    for (const auto& c : cases) {
        for (int mode = 0; mode <= 1; ++mode) {
            if (c.mode != -1 && c.mode != mode) continue;
            ArcSearchObj e;
            e.Prepare(c.pattern, 0, static_cast<uint8_t>(mode));
            EXPECT_EQ(Find(e, c.text), c.expected) << c.pattern << " in " << c.text << " mode " << mode;
        }
    }
}

TEST(PatternSearch, NoByteAfterTheBlockIsRead) {
    // The block is a prefix of a larger buffer: a match that would need the next byte is not reported.
    const std::string buf = "xxabcd";
    ArcSearchObj e;
    e.Prepare("abcd", 0, 1);
    EXPECT_FALSE(e.SearchBuffer(reinterpret_cast<const uint8_t*>(buf.data()), 5));
    EXPECT_TRUE(e.SearchBuffer(reinterpret_cast<const uint8_t*>(buf.data()), 6));
}

TEST(PatternSearch, EqualsNaiveSearchOnRandomCases) {
    std::mt19937 rng(1234);
    ArcSearchObj e;
    int withHits = 0;
    for (int round = 0; round < 40000; ++round) {
        // small alphabets make many (overlapping) occurrences; some rounds use all bytes
        const int alpha = round % 5 == 0 ? 256 : 2 + static_cast<int>(rng() % 4);
        const bool letters = round % 3 == 0;
        auto pick = [&]() -> uint8_t {
            const int v = static_cast<int>(rng() % static_cast<unsigned>(alpha));
            if (alpha == 256) return static_cast<uint8_t>(v);
            if (letters) return static_cast<uint8_t>((rng() & 1 ? 'a' : 'A') + v);
            return static_cast<uint8_t>('a' + v);
        };
        std::vector<uint8_t> text(rng() % 64);
        for (auto& c : text) c = pick();
        std::string pat(1 + rng() % 9, ' ');
        for (auto& c : pat) c = static_cast<char>(pick());
        if (!text.empty() && rng() % 2) { // often take the pattern out of the text
            const size_t at = rng() % text.size();
            const size_t n = std::min(pat.size(), text.size() - at);
            pat.assign(text.begin() + static_cast<long>(at), text.begin() + static_cast<long>(at + n));
        }
        if (!SameAsNaive(e, pat, text, round, withHits)) return;
    }
    EXPECT_GT(withHits, 10000);
}

TEST(PatternSearch, EqualsNaiveSearchWhereTheAnchorTurnsCommon) {
    // Longer blocks of stretches with rare bytes and stretches of a few letters:
    // the memchr scan meets a dense anchor somewhere inside the block and hands
    // over to Horspool, which must go on from exactly that window.
    std::mt19937 rng(99);
    ArcSearchObj e;
    int withHits = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> text;
        const size_t size = 200 + rng() % 3000;
        while (text.size() < size) {
            const size_t run = 1 + rng() % 400;
            const bool dense = rng() % 2;
            for (size_t i = 0; i < run; ++i)
                text.push_back(dense ? static_cast<uint8_t>("aAbBzZ-"[rng() % 7])
                                     : static_cast<uint8_t>(rng()));
        }
        std::string pat;
        if (rng() % 3) {
            const size_t at = rng() % text.size();
            const size_t n = std::min<size_t>(1 + rng() % 20, text.size() - at);
            pat.assign(text.begin() + static_cast<long>(at), text.begin() + static_cast<long>(at + n));
        } else {
            pat.resize(1 + rng() % 6);
            for (auto& c : pat) c = "aAbBzZ-"[rng() % 7];
        }
        if (!SameAsNaive(e, pat, text, round, withHits)) return;
    }
    EXPECT_GT(withHits, 300);
}

TEST(PatternSearch, CompilingTheSamePatternAgainKeepsItsBehaviour) {
    // the search components compile their terms for every block; a change of
    // case mode or pattern must take effect
    const std::string text = "xxABCxxabcxx";
    const auto* t = reinterpret_cast<const uint8_t*>(text.data());
    ArcSearchObj e;
    e.SetPattern("abc", 0, 1);
    e.SearchBuffer(t, 12);
    EXPECT_EQ(e.Matches(), (std::vector<int64_t>{8}));
    e.SetPattern("abc", 0, 1);
    e.SearchBuffer(t, 12);
    EXPECT_EQ(e.Matches(), (std::vector<int64_t>{8}));
    e.SetPattern("abc", 0, 0);
    e.SearchBuffer(t, 12);
    EXPECT_EQ(e.Matches(), (std::vector<int64_t>{3, 8}));
    e.SetPattern("ABC", 0, 1);
    e.SearchBuffer(t, 12);
    EXPECT_EQ(e.Matches(), (std::vector<int64_t>{3}));
    e.SetPattern("", 0, 1);
    EXPECT_FALSE(e.SearchBuffer(t, 12));
}

TEST(PatternSearch, LongPatternsAndProgressStop) {
    std::string text(5000, 'q');
    const std::string pat(255, 'q');
    ArcSearchObj e;
    e.Prepare(pat + "zzz", 0, 1); // cut to 255 bytes
    EXPECT_EQ(e.Pattern().size(), 255u);
    EXPECT_TRUE(e.SearchBuffer(reinterpret_cast<const uint8_t*>(text.data()), 5000));
    EXPECT_EQ(e.Matches().size(), 5000u - 255u + 1u);
    int calls = 0;
    e.OnProgress = [&](bool& stop, int64_t count) {
        ++calls;
        if (count >= 10) stop = true;
    };
    e.SearchBuffer(reinterpret_cast<const uint8_t*>(text.data()), 5000);
    EXPECT_EQ(e.Matches().size(), 10u);
    EXPECT_GT(calls, 10);
    // a stop after the scan has moved on to Horspool (every byte is a candidate)
    e.OnProgress = [&](bool& stop, int64_t count) { stop = count >= 300; };
    e.SearchBuffer(reinterpret_cast<const uint8_t*>(text.data()), 5000);
    EXPECT_EQ(e.Matches().size(), 300u);
}
