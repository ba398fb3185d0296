#include "resources/ResourceData.h"

#include <cctype>

namespace mv {

std::span<const uint8_t> FindResourceData(TResourceKind kind, std::string_view name) {
    const auto table = kind == TResourceKind::rkWave ? SoundResources() : BitmapResources();
    for (const auto& entry : table) {
        const std::string_view entryName(entry.Name);
        if (entryName.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i)
            same =
                std::toupper(static_cast<unsigned char>(name[i])) == static_cast<unsigned char>(entryName[i]);
        if (same) return {entry.Data, entry.Size};
    }
    return {};
}

} // namespace mv
