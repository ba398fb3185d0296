#pragma once
// ArcSearchObj: finds every occurrence of one byte pattern (at most 255 bytes)
// in a memory block, with or without case distinction.
//
// Why it is fast: the scan leans on memchr, which the C library runs with the
// widest vector instructions of the machine. The pattern's rarest byte (by a
// fixed table of how common each byte is in text and binary files) is the
// anchor: memchr jumps from one occurrence of it to the next, and only there is
// the whole window compared. Without case distinction a letter anchor is
// looked for in both its cases by two memchr runs that leapfrog each other; a
// byte that is no letter compares exactly and needs one. When the anchor turns
// out to be common in this block (candidates on average closer together than
// 16 bytes plus half the pattern's length), the rest of the block is scanned by Horspool instead: a skip
// table indexed by the byte under the window's last position moves the window by up to the pattern's length
// per step. Both scans check every window position that could hold an occurrence, so overlapping occurrences
// are all found, and neither reads a byte outside the block. The tables are built once per pattern; a pattern
// compiled again unchanged keeps them.
//
// Case folding is fixed (A-Z to a-z): text on this system is UTF-8,
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
    // code page first. caseMode 1: bytes compare exactly; 0: without case, for
    // the Latin letters of the text's encoding (UTF-8, or the OEM code page).
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
    template <bool Folding> bool WindowEquals(const uint8_t* window) const;
    // Records a match at window start `at` (0-based); false when told to stop.
    bool Record(int64_t at, bool& stop);
    // Anchor scan over the whole block; answers where Horspool must take over
    // (the block's size when the anchor scan finished it).
    template <bool Folding> int64_t ScanAnchored(const uint8_t* text, int64_t size, bool& stop);
    template <bool Folding> void ScanHorspool(const uint8_t* text, int64_t size, int64_t from, bool& stop);
    void Report(bool& stop);

    std::string FPattern;         // the bytes searched for (converted)
    std::string FPatternText;     // the pattern as given
    std::vector<uint8_t> FFolded; // the pattern as compared (folded without case)
    uint8_t FCaseMode = 0;
    uint8_t FOem = 0;
    bool FCompiled = false;
    size_t FAnchor = 0;                  // index of the rarest byte of the pattern
    bool FAnchorBoth = false;            // look for the anchor in both its cases
    uint8_t FAnchorForms[2] = {};        // the anchor's two cases (folding)
    std::vector<const uint8_t*> FFoldAt; // the folding table of each place of the pattern
    uint8_t FSkip[256] = {};             // Horspool shift by the byte under the window's end
    std::vector<int64_t> FMatches;       // 1-based positions
    int64_t FCursor = 0;
    int64_t FReported = -1;
};

} // namespace mv
