#pragma once
// The text rules of the type-ahead combo box, without a window: forced letter case and
// completion of typed text from the first item that begins with it. Texts are UTF-8 and
// every length and cut counts characters, never bytes.
#include <cstddef>
#include <string>
#include <vector>

namespace mv {

enum class TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

// A typed key in the forced case (letters A to Z and a to z only; other keys as they are).
char CaseOfKey(char key, TEditCharCase charCase);
// Text in upper or lower case: the basic Latin letters and the accented Latin letters
// of the Portuguese and Spanish alphabets (and the rest of Latin-1 and Latin
// Extended-A); everything else is left as it is. ecNormal leaves the text alone.
std::string ApplyCharCase(const std::string& text, TEditCharCase charCase);

// Number of characters of a UTF-8 text (a byte that starts no valid character counts as one).
size_t CharCount(const std::string& text);
// The first n characters, and what follows them.
std::string CharPrefix(const std::string& text, size_t n);
std::string CharRest(const std::string& text, size_t n);

// The index of the first item whose first characters, in upper case, are the typed
// text in upper case, with the rest of that item; -1 when none begins so.
int FindCompletion(const std::string& typed, const std::vector<std::string>& items, std::string& rest);

} // namespace mv
