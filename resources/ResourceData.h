#pragma once
// The program's built-in resources: the WAVE sounds every command plays and the
// bitmaps its forms show, embedded in the program. The files and the tables that embed
// them are made by the scripts beside them (sounds/MakeSounds.py, bitmaps/MakeStrips.py).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace mv {

enum class TResourceKind { rkWave, rkBitmap };

struct TResourceEntry {
    const char* Name; // upper case, as the program names it ("CLICK", "INTERR")
    const uint8_t* Data;
    size_t Size;
};

std::span<const TResourceEntry> SoundResources();
std::span<const TResourceEntry> BitmapResources();

// The bytes of a resource by kind and name (names compare without case); empty when
// there is none.
std::span<const uint8_t> FindResourceData(TResourceKind kind, std::string_view name);

} // namespace mv
