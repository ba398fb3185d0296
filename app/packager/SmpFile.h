#pragma once
// The wizard's settings file (".smp"): an ini file with one section per page
// (Passo1, Passo3 ... Passo8 for pages 1 to 7, then Final), flags written "1"
// and "0", texts as the user sees them (placeholders unconverted).
//
// Beyond the file's old rules: a key that is missing leaves the wizard's value
// as it is; line breaks inside a text are written as "<br>"; a value with
// blanks at either end is written in double quotes (which every reader of ini
// files strips), so it comes back whole; the file is readable by its owner
// only, since it may hold a password in plain text; lines that are not valid
// UTF-8 are read as Windows-1252 (files written by older versions).
#include "app/packager/SfxWizard.h"

#include <string>

namespace mv {

// Writes every key of the wizard to path with its extension made ".smp" (other
// keys of an existing file stay); answers the name written. Raises
// platform::EIniFileException ("Unable to write to <file>") when a value cannot be written.
std::string SaveSmpFile(const TSfxWizard& wizard, const std::string& path);

// Loads a settings file into the wizard when path ends in ".smp" (any case) and
// exists; false (nothing changed) otherwise.
bool LoadSmpFile(TSfxWizard& wizard, const std::string& path);

// The most introduction lines a file gives.
constexpr int SmpMaxIntroLines = 251;

} // namespace mv
