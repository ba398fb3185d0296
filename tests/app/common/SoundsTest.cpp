// Sounds: gated by the option and the main window's flag, played asynchronously, and a
// second sound dropped while one is still playing (recording back end).
#include "app/common/Sounds.h"
#include "platform/Sound.h"
#include "resources/ResourceData.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace mv {
namespace {

class SoundsTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto backEnd = std::make_unique<TRecordingSound>();
        recorder = backEnd.get();
        SetSoundBackEnd(std::move(backEnd));
        SetSoundsOption(true);
        SetSoundsEnabled(true);
    }
    void TearDown() override {
        SetSoundBackEnd(std::make_unique<TSilentSound>());
        SetSoundsOption(true);
        SetSoundsEnabled(true);
    }
    TRecordingSound* recorder = nullptr;
};

TEST_F(SoundsTest, OptionAndFlagGateEverySound) {
    SetSoundsOption(false);
    PlaySoundRes("CLICK");
    SetSoundsOption(true);
    SetSoundsEnabled(false); // a command-line run
    PlaySoundRes("CLICK");
    EXPECT_TRUE(recorder->Played().empty());
    SetSoundsEnabled(true);
    PlaySoundRes("CLICK");
    EXPECT_EQ(recorder->Played(), (std::vector<std::string>{"CLICK"}));
}

TEST_F(SoundsTest, ASecondSoundIsDroppedWhileOnePlays) {
    PlaySoundRes("INICIO"); // about 0.4 s
    PlaySoundRes("BEEP");
    EXPECT_EQ(recorder->Played(), (std::vector<std::string>{"INICIO"}));
    recorder->Finish();
    PlaySoundRes("BEEP");
    EXPECT_EQ(recorder->Played(), (std::vector<std::string>{"INICIO", "BEEP"}));
    // The short click ends on its own.
    recorder->Finish();
    PlaySoundRes("CLICK");
    std::this_thread::sleep_for(
        std::chrono::milliseconds(WaveDurationMs(FindResourceData(TResourceKind::rkWave, "CLICK")) + 20));
    PlaySoundRes("LIXO");
    EXPECT_EQ(recorder->Played().back(), "LIXO");
}

TEST_F(SoundsTest, UnknownSoundsAreSilent) {
    PlaySoundRes("NOSUCHSOUND");
    PlaySoundRes("");
    EXPECT_TRUE(recorder->Played().empty());
}

TEST(WaveDuration, ReadsTheHeaderAndRefusesOthers) {
    const auto beep = FindResourceData(TResourceKind::rkWave, "BEEP");
    EXPECT_NEAR(WaveDurationMs(beep), 120, 2);
    const uint8_t notWave[] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '};
    EXPECT_EQ(WaveDurationMs(notWave), 0);
    // A header that claims a chunk beyond the data.
    std::vector<uint8_t> cut(beep.begin(), beep.begin() + 20);
    EXPECT_EQ(WaveDurationMs(cut), 0);
}

} // namespace
} // namespace mv
