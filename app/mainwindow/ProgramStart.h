#pragma once
// The start of the program, as far as it needs no window: what the command line
// asks for (a plain start, one archive to open, or a verb run unattended with
// the window kept hidden), whether the file associations are checked, the
// language of the texts, and the display names of the archive types.
#include "archive/framework/ArcType.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mv {

// Ends the program without showing the main window (after a verb, "/INST",
// "/DEINST" or a failed start).
constexpr int QuitMarker = 167;

enum class TStartKind {
    Normal,      // the main window, no archive
    OpenArchive, // the main window with Archive open and listed
    Verb,        // Verb runs with the window hidden; the program then ends
};

struct TStartDecision {
    TStartKind Kind = TStartKind::Normal;
    bool Hidden = false;        // the window is never shown
    bool PlayStartSound = true; // "INICIO"
    bool SoundsAllowed = true;  // verbs other than /INST, /DEINST, /S and /W run silently
    bool CheckAssociations = false;
    std::string Archive;                // OpenArchive
    std::string Verb;                   // upper-cased
    std::vector<std::string> Arguments; // the verb's arguments (after it)
};

// The decision for the program's arguments (without the program's own name).
// `associacao` is the raw value of Associacao in section Configuracoes (empty
// when absent): the check runs at a plain start unless it reads "NAO" in any case.
// A verb the program does not know, a verb without its arguments, or more than 50
// arguments give a visible start that opens the first argument when it names an
// existing file, rather than a hidden process nobody can close.
TStartDecision DecideStart(const std::vector<std::string>& args, const std::string& associacao,
                           const std::function<bool(const std::string&)>& fileExists);

// The language base for this run: MORVELAN_LANG (10000, 20000 or 50000, or pt,
// en, es) wins; else the first of LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is
// set; Portuguese and Spanish have their own texts, anything else reads English.
int32_t StartLanguageBase(const std::function<const char*(const char*)>& getenv);

// The display name of each archive type in TArcType order: the first four in the
// user's language (strings 419 to 422), the others fixed ten-character names.
std::array<std::string, ArcTypeCount> ArchiveTypeNames();

} // namespace mv
