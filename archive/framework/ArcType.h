#pragma once
// The archive type of a file, its display name, and the type sets that say what
// an operation may do with a type. The ordinals are stable: settings and the
// archive list store them.
#include <cstdint>
#include <string>

namespace mv {

enum class TArcType : uint8_t {
    atNA,
    atUnsupported,
    atFileOpenErr,
    atUnknown,
    atACE,
    atArc,
    atArcExe,
    atArj,
    atArjExe,
    atBh,
    atBhExe,
    atCab,
    atGZip,
    atHa,
    atJar,
    atLha,
    atLhaExe,
    atLzh,
    atLzhExe,
    atMsGZ,
    atPak,
    atPakExe,
    atRar,
    atRarExe,
    atTar,
    atUue,
    atZip,
    atZipExe,
    atZipMV,
    atZoo,
};

constexpr int ArcTypeCount = 30;

// A set of types: bit n stands for the type of ordinal n.
using TArcTypeSet = uint32_t;
constexpr TArcTypeSet ArcTypeBit(TArcType t) { return TArcTypeSet(1) << static_cast<unsigned>(t); }

// The 10-character display name of a type ("ZIP       ", "Java JAR  ", ...).
const std::string& ArcTypeName(TArcType t);

// The 19 archive extensions, upper case with their dot (".UUE" ... ".ACE").
constexpr int ArcExtensionCount = 19;
extern const char* const ArcExtensions[ArcExtensionCount];

extern const TArcTypeSet DecompressibleArcTypes;
extern const TArcTypeSet CompressibleArcTypes;
extern const TArcTypeSet SearchableArcTypes;

// Each test answers false for any value above 31.
bool IsValidArcType(int ordinal);
bool IsDecompressibleArcType(int ordinal);
bool IsCompressibleArcType(int ordinal); // also true for atUue
bool IsSearchableArcType(int ordinal);

inline bool IsValidArcType(TArcType t) { return IsValidArcType(static_cast<int>(t)); }
inline bool IsDecompressibleArcType(TArcType t) { return IsDecompressibleArcType(static_cast<int>(t)); }
inline bool IsCompressibleArcType(TArcType t) { return IsCompressibleArcType(static_cast<int>(t)); }
inline bool IsSearchableArcType(TArcType t) { return IsSearchableArcType(static_cast<int>(t)); }

} // namespace mv
