#pragma once
// Texts by number in the user's language, and the translation of forms designed with
// numbers in place of texts.
#include "resources/StringTable.h"

#include <cstdint>
#include <string>

namespace mv {

class TForm;

// Language bases: a text is number + base in the string tables.
constexpr int32_t lbPortuguese = 10000, lbEnglish = 20000, lbSpanish = 50000;
// Numbers loaded as they stand, whatever the language: the archive components' errors.
constexpr int32_t FirstUnshiftedNumber = 25100, LastUnshiftedNumber = 26899;

int32_t LanguageBase();
void SetLanguageBase(int32_t value);
// The base for a locale name ("pt_BR.UTF-8", "es_ES", ...): Portuguese and Spanish
// have their own tables, anything else reads English.
int32_t LanguageBaseForLocale(const std::string& locale);
// The base for the user's locale (LC_ALL, LC_MESSAGES, LANG, in that order).
int32_t LanguageBaseFromEnvironment();

// Text of number + the language base (the archive components' error numbers are taken
// as they stand); empty when the table has no such text.
std::string LoadLangStr(int32_t number);

// Rewrites the texts of a form from the numbers they hold: the caption (a number as
// text), then, component by component, captions from tags, hints and items from the
// numbers they hold, menu items and list-view column titles. A text that is not a
// number ends the work on that component; what was already set stays.
void TranslateForm(TForm& form);

} // namespace mv
