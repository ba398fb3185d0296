#pragma once
// Line decoding of uuencoded and xxencoded text. Each data line starts with a
// character giving its byte count (45 on a full line), followed by groups of
// four characters of 6 bits each that carry three bytes. The two encodings
// differ only in their 64-character alphabets; a "table" header may give an
// alphabet of its own. Reading files, "begin"/"end" lines and parts belongs
// to the reader.
#include <cstddef>
#include <cstdint>
#include <string>

namespace mv {

struct TUueAlphabet {
    // 6-bit value of each character; -2 for characters outside the alphabet.
    int8_t Value[256];
    // The character whose value is 45: the count character of a full line.
    char FullLine;
};

// UU: "`" (0), then "!" through "_" (1..63); XX: "+-0-9A-Za-z". The blank
// reads as 0 in both.
const TUueAlphabet& UuAlphabet();
const TUueAlphabet& XxAlphabet();
// An alphabet from its 64 characters (in value order), as a "table" header
// gives them; a character listed twice keeps its first value.
TUueAlphabet UueTableAlphabet(const std::string& chars);

// Picks the alphabet of a first data line: "M" is a full UU line, "h" a full
// XX line; otherwise the alphabet whose count character agrees with the
// line's length (short files have no full line); UU when neither does.
const TUueAlphabet& UueGuessAlphabet(const char* line, size_t length);

// Decodes one line (without its line break) into out and returns the byte
// count, or -1 when the line's first character is outside the alphabet (not a
// data line). Characters missing for the announced count read as 0 and set
// *shortLine.
int UueDecodeLine(const TUueAlphabet& alphabet, const char* line, size_t length, uint8_t out[64],
                  bool* shortLine = nullptr);

} // namespace mv
