#include "archive/framework/ArcType.h"

namespace mv {

namespace {
using enum TArcType;

constexpr TArcTypeSet Bits(std::initializer_list<TArcType> types) {
    TArcTypeSet s = 0;
    for (auto t : types) s |= ArcTypeBit(t);
    return s;
}

constexpr TArcTypeSet InvalidArcTypes = Bits({atNA, atUnsupported, atFileOpenErr, atUnknown});
constexpr TArcTypeSet AllArcTypes = (TArcTypeSet(1) << ArcTypeCount) - 1;

bool InSet(TArcTypeSet set, int ordinal) {
    return ordinal >= 0 && ordinal <= 31 && (set >> ordinal) & 1u;
}
} // namespace

const TArcTypeSet DecompressibleArcTypes =
    AllArcTypes & ~InvalidArcTypes & ~Bits({atHa, atMsGZ, atPak, atPakExe});
const TArcTypeSet CompressibleArcTypes = Bits({atBh, atCab, atGZip, atJar, atLha, atLzh, atTar, atZip});
const TArcTypeSet SearchableArcTypes = DecompressibleArcTypes & ~ArcTypeBit(atZipMV);

const char* const ArcExtensions[ArcExtensionCount] = {".UUE", ".XXE", ".ENC", ".TAR", ".Z",   ".GZ",  ".ZIP",
                                                      ".ZOO", ".LHA", ".LZH", ".ARC", ".ARJ", ".BH",  ".PAK",
                                                      ".CAB", ".RAR", ".EXE", ".JAR", ".ACE"};

const std::string& ArcTypeName(TArcType t) {
    static const std::string names[ArcTypeCount] = {
        "Not avail.", "Unsupport.", "File Error", "Unknown   ", "ACE       ", "ARC       ",
        "ARC SFX   ", "ARJ       ", "ARJ SFX   ", "BH        ", "BH  SFX   ", "CAB       ",
        "GZip      ", "HA        ", "Java JAR  ", "LHA       ", "LHA SFX   ", "LZH       ",
        "LZH SFX   ", "MsGZ     \t", "PAK       ", "PAK SFX   ", "RAR       ", "RAR SFX   ",
        "TAR       ", "UUE       ", "ZIP       ", "ZIP SFX   ", "Zip MVol  ", "ZOO       "};
    static const std::string none;
    auto i = static_cast<unsigned>(t);
    return i < ArcTypeCount ? names[i] : none;
}

bool IsValidArcType(int ordinal) { return InSet(AllArcTypes & ~InvalidArcTypes, ordinal); }
bool IsDecompressibleArcType(int ordinal) { return InSet(DecompressibleArcTypes, ordinal); }
bool IsCompressibleArcType(int ordinal) {
    return InSet(CompressibleArcTypes | ArcTypeBit(atUue), ordinal);
}
bool IsSearchableArcType(int ordinal) { return InSet(SearchableArcTypes, ordinal); }

} // namespace mv
