#pragma once
// Small routines the components share: integer maximum and minimum, character
// stripping and word extraction, and the two extra cursors of the program.
#include <string>
#include <string_view>

namespace mv {

// The larger of A and B; B when they are equal.
int MaxOfTwo(int a, int b);
// The smaller of A and B; B when they are equal.
int MinOfTwo(int a, int b);
// S with every occurrence of C removed.
std::string StripChar(const std::string& s, char c);

// Words are the longest runs of characters that are not in `delims` (each byte of it
// is one delimiter); runs of delimiters, also at the start, separate words. Bytes are
// compared as they are.
// The 1-based position in S of the first character of the N-th word; 0 when S has
// fewer words.
int WordStartAt(int n, const std::string& s, std::string_view delims);
// The N-th word; empty when there is none.
std::string WordAt(int n, const std::string& s, std::string_view delims);

// The cursor numbers of the hand and the drag cursor.
constexpr int crHandCursor = 14000, crDragCursor = 14001;
// Draws the two cursors and registers them with the screen's cursor table; run once
// at program start (again does no harm).
void RegisterExtraCursors();

} // namespace mv
