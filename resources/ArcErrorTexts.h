#pragma once
// Texts of the archive components' error and message numbers (25102..26899).
// These numbers are string-table ids in the built-in language only: they are
// not shifted by the application's language base.
#include "resources/ArcErrorNumbers.h"

namespace mv {

// The text of an archive-component number, or nullptr when the table has none.
const char* ArcErrorText(int number);

// Walks the table in ascending order of numbers (for the string tables and tests).
struct ArcErrorTextEntry {
    int number;
    const char* text;
};
const ArcErrorTextEntry* ArcErrorTexts(int& count);

} // namespace mv
