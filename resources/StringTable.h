#pragma once
// The program's numbered string tables. Every text the user sees has a number; the
// texts of the three languages live at number + language base (10000 Brazilian
// Portuguese, 20000 English, 50000 Spanish), generated from strings/Strings.tsv.
// Some texts are loaded by their own number and are not moved by the language base
// (the archive components' error texts 25100 to 26899, the zip writer component's
// texts 176 to 206, the shell controls' texts from 65232 on); their owners hand
// their tables in through RegisterRawStrings.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace mv {

// One numbered text; Text is UTF-8 and never null.
struct TStringEntry {
    int32_t Number;
    const char* Text;
};

// The generated table of the three languages, sorted by number.
std::span<const TStringEntry> LanguageStrings();

// Adds a table of texts looked up by their own number. The table must stay alive for
// the rest of the process (a static array); it need not be sorted. Registering the
// same table again does nothing. A number that the language tables already hold keeps
// its language text. Safe to call from any thread.
void RegisterRawStrings(std::span<const TStringEntry> table);

// Adds a lookup function for texts loaded by their own number: it returns the text of
// a number, or null when it has none. Consulted after the registered tables, in the
// order of registration; registering the same function again does nothing.
using TRawStringLookup = const char* (*)(int number);
void RegisterRawStringLookup(TRawStringLookup lookup);

// Text of a number exactly as stored (no language base added): the language tables
// first, then the registered tables in the order they were registered. Empty when no
// table holds the number.
std::string LoadStr(int32_t number);

// True when some table holds the number.
bool HasStr(int32_t number);

} // namespace mv
