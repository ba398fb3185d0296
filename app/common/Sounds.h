#pragma once
// The program's sounds: every command plays one of its six WAVE sounds (BEEP, CLEK,
// CLICK, INICIO, LIXO, NOTICIA) asynchronously, without cutting a sound still playing.
#include <string>

namespace mv {

// The option "Sons" (use sound effects), kept by the options.
bool SoundsOption();
void SetSoundsOption(bool value);
// The main window's flag that allows sounds: cleared during command-line operations
// and while the main window is set up, set again by forms when they show.
bool SoundsEnabled();
void SetSoundsEnabled(bool value);

// Plays the named sound when the option and the flag allow it. Nothing is reported
// when it cannot play.
void PlaySoundRes(const std::string& name);

} // namespace mv
