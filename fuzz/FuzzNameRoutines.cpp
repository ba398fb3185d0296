// Hostile entry names and masks through the name routines: wildcard matching
// (bounded time on any mask), DOS masks, code-page conversions, drive stripping
// and tar octal fields.
#include "archive/framework/SharedRoutines.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string all(reinterpret_cast<const char*>(data), size);
    size_t cut = all.find('\n');
    std::string mask = cut == std::string::npos ? all : all.substr(0, cut);
    std::string name = cut == std::string::npos ? std::string() : all.substr(cut + 1);
    if (mask.size() > 512 || name.size() > 4096) return 0;

    mv::WildcardMatch(mask, name, false);
    mv::WildcardMatch(mask, name, true);
    mv::platform::MatchesDosMask(mask, name);
    std::string utf8 = mv::platform::OemToUtf8(name);
    std::string oem;
    if (!mv::platform::Utf8ToOem(utf8, oem) || oem != name) __builtin_trap(); // every OEM byte round-trips
    mv::platform::Utf8ToOem(name, oem, mv::platform::OemCodePage::cp850);
    bool isUtf8 = false;
    mv::AnsiToOemPath(name, &isUtf8);
    mv::StripDrive(name);
    uint64_t v;
    if (mv::OctalStrToInt(name, v)) {
        uint8_t field[12];
        if (!mv::IntToOctalField(v, sizeof field, false, field)) __builtin_trap(); // below 2^63 always fits
        uint64_t back;
        if (!mv::OctalStrToInt(std::string_view(reinterpret_cast<char*>(field), sizeof field), back) ||
            back != v)
            __builtin_trap();
    }
    return 0;
}
