#pragma once
// ArcSearchObj: finds every occurrence of one byte pattern (at most 255 bytes)
// in a memory block, with or without case distinction.
//
// Why it is fast: the scan is a Horspool search. A precomputed skip table,
// indexed by the (case-folded) byte under the last position of the window,
// moves the window by up to the pattern's length per step, so long patterns
// touch only a fraction of the text; a one-byte case-sensitive pattern runs on
// memchr. The shift is always taken from the window's last byte, which never
// passes over an occurrence (overlapping occurrences are all found).
//
// Case folding uses a fixed table (A-Z to a-z): text on this system is UTF-8,
// whose bytes above 127 are pieces of characters and are compared exactly.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

class ArcSearchObj {
public:
    // Called with a stop flag and the match count while a block is scanned.
    using TProgress = std::function<void(bool& stop, int64_t matches)>;

    ArcSearchObj();

    // Starts a search run: clears the progress callback and the matches and
    // compiles the pattern. oem 1: the pattern (UTF-8) is converted to the OEM
    // code page first. caseMode 1: bytes compare exactly; 0: without case.
    void Prepare(const std::string& pattern, uint8_t oem, uint8_t caseMode);
    // Compiles the pattern without touching the callback or the matches.
    void SetPattern(const std::string& pattern, uint8_t oem, uint8_t caseMode);

    // Clears the matches and finds all occurrences in the block: true when at
    // least one was found.
    bool SearchBuffer(const uint8_t* buffer, int64_t size);
    // Searches the block; answers the 1-based position of the first match, or -1.
    int64_t FindFirst(const uint8_t* buffer, int64_t size);
    // The next match position (1-based), or -1 after the last.
    int64_t FindNext();
    void ClearMatches();

    const std::vector<int64_t>& Matches() const { return FMatches; }
    const std::string& Pattern() const { return FPattern; }
    const std::string& PatternText() const { return FPatternText; }
    uint8_t CaseMode() const { return FCaseMode; }

    TProgress OnProgress;

    // The case-folded form of a byte (the table the engine compares through).
    static uint8_t Fold(uint8_t c);

private:
    template <bool Fold> void Scan(const uint8_t* text, int64_t size, bool& stop);
    void Report(bool& stop);

    std::string FPattern;     // the bytes searched for (converted)
    std::string FPatternText; // the pattern as given
    std::vector<uint8_t> FFolded;
    uint8_t FCaseMode = 0;
    int64_t FSkip[256] = {};
    std::vector<int64_t> FMatches; // 1-based positions
    int64_t FCursor = 0;
    int64_t FReported = -1;
};

} // namespace mv
