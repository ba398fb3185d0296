#include "app/common/Sounds.h"

#include "platform/Sound.h"
#include "resources/ResourceData.h"

#include <atomic>

namespace mv {
namespace {
std::atomic<bool> soundsOption{true};
std::atomic<bool> soundsEnabled{true};
} // namespace

bool SoundsOption() {
    return soundsOption;
}
void SetSoundsOption(bool value) {
    soundsOption = value;
}
bool SoundsEnabled() {
    return soundsEnabled;
}
void SetSoundsEnabled(bool value) {
    soundsEnabled = value;
}

void PlaySoundRes(const std::string& name) {
    if (!soundsOption || !soundsEnabled) return;
    PlayWaveAsync(name, FindResourceData(TResourceKind::rkWave, name), true);
}

} // namespace mv
