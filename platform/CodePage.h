#pragma once
// The OEM code page of entry names stored in archives: CP437 (the default) or
// CP850, converted to and from UTF-8. Bytes below 0x80 are ASCII in both.
#include <cstdint>
#include <string>
#include <string_view>

namespace mv::platform {

enum class OemCodePage { cp437, cp850 };

// The code page used when none is named; CP437 unless changed.
OemCodePage DefaultOemCodePage();
void SetDefaultOemCodePage(OemCodePage page);

// OEM bytes to UTF-8; every byte has a character, so this never fails.
std::string OemToUtf8(std::string_view oem, OemCodePage page = DefaultOemCodePage());

// UTF-8 to OEM bytes. Answers false when some character has no OEM form (or the
// text is not valid UTF-8); such characters come out as '_' so that the result is
// never a wildcard or a separator.
bool Utf8ToOem(std::string_view utf8, std::string& oem, OemCodePage page = DefaultOemCodePage());

// True when every character of the UTF-8 text has an OEM form.
bool HasOemForm(std::string_view utf8, OemCodePage page = DefaultOemCodePage());

// True when the text is all ASCII (the same bytes in every form).
bool IsAscii(std::string_view text);

// Appends the UTF-8 form of a code point; decodes one code point (answers false
// on a broken sequence, advancing past one byte).
void AppendUtf8(std::string& out, uint32_t codePoint);
bool DecodeUtf8(std::string_view text, size_t& pos, uint32_t& codePoint);

} // namespace mv::platform
