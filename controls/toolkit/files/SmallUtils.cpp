#include "controls/toolkit/files/SmallUtils.h"

#include "platform/ui/Control.h"
#include "platform/ui/Graphics.h"

#include <algorithm>
#include <vector>

namespace mv {

int MaxOfTwo(int a, int b) {
    return a > b ? a : b;
}

int MinOfTwo(int a, int b) {
    return a < b ? a : b;
}

std::string StripChar(const std::string& s, char c) {
    std::string out;
    out.reserve(s.size());
    for (char ch : s)
        if (ch != c) out += ch;
    return out;
}

int WordStartAt(int n, const std::string& s, std::string_view delims) {
    auto isDelim = [&](char c) { return delims.find(c) != std::string_view::npos; };
    int count = 0;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isDelim(s[i])) ++i;
        if (i >= s.size()) break;
        if (++count == n) return static_cast<int>(i) + 1;
        while (i < s.size() && !isDelim(s[i])) ++i;
    }
    return 0;
}

std::string WordAt(int n, const std::string& s, std::string_view delims) {
    const int start = WordStartAt(n, s, delims);
    if (start == 0) return {};
    size_t end = static_cast<size_t>(start - 1);
    while (end < s.size() && delims.find(s[end]) == std::string_view::npos) ++end;
    return s.substr(static_cast<size_t>(start - 1), end - static_cast<size_t>(start - 1));
}

namespace {

// A cursor picture from rows of text: '#' black, '.' white, anything else see-through.
void DrawCursor(int number, const std::vector<std::string>& rows, int hotX, int hotY) {
    TBitmap image, mask;
    image.SetSize(32, 32);
    mask.SetSize(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const char c =
                y < static_cast<int>(rows.size()) && x < static_cast<int>(rows[y].size()) ? rows[y][x] : ' ';
            image.SetPixel(x, y, c == '#' ? clBlack : clWhite);
            mask.SetPixel(x, y, c == '#' || c == '.' ? clBlack : clWhite);
        }
    RegisterCursor(number, image, &mask, hotX, hotY);
}

} // namespace

void RegisterExtraCursors() {
    // A pointing hand, and the same hand holding a sheet for dragging.
    const std::vector<std::string> hand = {
        "     ##",           "    #..#",         "    #..#",         "    #..#",         "    #..###",
        "    #..#..###",     " ## #..#..#..##",  "#..##..#..#..#.#", "#...#........#.#", " #..............#",
        "  #.............#", "  #............#", "   #...........#", "   #..........#",  "    #.........#",
        "    #.........#",   "     #########",
    };
    std::vector<std::string> drag = hand;
    drag.push_back("     #.......#");
    drag.push_back("     #.#####.#");
    drag.push_back("     #.......#");
    drag.push_back("     #########");
    DrawCursor(crHandCursor, hand, 5, 0);
    DrawCursor(crDragCursor, drag, 5, 0);
}

} // namespace mv
