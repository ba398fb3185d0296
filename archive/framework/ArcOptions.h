#pragma once
// Option enumerations of the archive components' properties. The value order
// is part of the interface: settings and callers may store ordinals.
#include <cstdint>

namespace mv {

// Method a writer uses; each writer accepts only its own subset.
enum class TCompressMethod : uint8_t {
    cmStore,
    cmDeflate,
    cmFuse,
    cmFrozen1,
    cmFrozen5,
    cmMsZip,
    cmLzx,
    cmQuantum,
    cmUUEncode,
    cmXXEncode,
    cmTarred,
    cmGzipTar,
};

// Deflate effort; sets DeflateLevel 1, 2, 7 or 9 in this order.
enum class TDeflateType : uint8_t { dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX };

// How a writer stores folder names.
enum class TStoredDirNames : uint8_t {
    sdNone,
    sdAbsolute,
    sdAbsoluteNoDrv,
    sdRelative,
    sdRelativeStoreStart
};

// What a reader does with an existing output file.
enum class TOverwriteMode : uint8_t { omOverwrite, omSkip };

// Date given to written or extracted files: the entry's own, now, or the newest seen.
enum class TDateAttribute : uint8_t { daFileDate, daSysDate, daMaxFileDate };

// How moved source files are deleted: plainly or to the trash.
enum class TDeleteOptions : uint8_t { doFinal, doAllowUndo };

// The writer's operation.
enum class TSwitch : uint8_t { swAdd, swMove, swDelete, swRead };

// Readers' processor choice; cpt80486 is treated as cptAuto.
enum class TCpuType : uint8_t { cptAuto, cpt80286, cpt80386, cpt80486 };

// How the UUE reader names its next volume.
enum class TNextVolumeName : uint8_t { nvChangeFilename, nvChangeExt };

// The CAB writer's compression.
enum class TCompressionType : uint8_t { ctStore, ctMsZip, ctLzx };

// DeflateLevel of a deflate effort: 1, 2, 7, 9.
constexpr uint8_t DeflateLevelOf(TDeflateType t) {
    switch (t) {
    case TDeflateType::dtDeflateS:
        return 1;
    case TDeflateType::dtDeflateF:
        return 2;
    case TDeflateType::dtDeflateN:
        return 7;
    case TDeflateType::dtDeflateX:
        return 9;
    }
    return 7;
}

} // namespace mv
