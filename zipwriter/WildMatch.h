#pragma once
// The zip writer component's wildcard matcher, used for ExcludeList,
// NoCompressList, the mask lines of FilesList and DeleteEntries, and the
// directory search. Besides "*" and "?" it knows character sets in angle
// brackets ("<a-c>", negated "<!0-9>" or "<^0-9>"), so that "[" and "]", legal in
// file names, stay literal; a star directly followed by a set passes only the
// characters of that set. ASCII letters match without case; "?" and sets take
// one whole UTF-8 character.
//
// A star is matched by dynamic programming over (pattern position, text
// position), so no mask takes more than O(pattern x text) steps, and all state
// lives in the call: matching is safe from any number of callers at once.
#include <string>

namespace mv {

enum : int {
    wmMatch = 1,        // the text matches the pattern
    wmPatternEnded = 2, // the pattern ended while text remained
    wmTextEnded = 3,    // the text ended first, or a limited star met a character it may not pass
    wmNotInSet = 4,     // a character is not in a set (or is in a negated one)
    wmLiteral = 5,      // a literal character differs
    wmMalformed = 6,    // a set without its ">", an empty set, a range without its upper end
};

// The result code of matching text against pattern.
int Match(const std::string& pattern, const std::string& text);
// True when Match gives wmMatch.
bool WildcardMatch(const std::string& pattern, const std::string& text);

} // namespace mv
