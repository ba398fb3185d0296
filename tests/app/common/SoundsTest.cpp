// Sounds: gated by the option and the main window's flag, played asynchronously, and a
// second sound dropped while one is still playing (recording back end).
#include "app/common/Sounds.h"
#include "platform/Sound.h"
#include "resources/ResourceData.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

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
    // The short click ends on its own once its length has passed, not before.
    recorder->Finish();
    PlaySoundRes("CLICK");
    const int click = WaveDurationMs(FindResourceData(TResourceKind::rkWave, "CLICK"));
    ASSERT_GT(click, 1);
    recorder->Advance(click - 1);
    PlaySoundRes("LIXO");
    EXPECT_EQ(recorder->Played().back(), "CLICK");
    recorder->Advance(1);
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

TEST_F(SoundsTest, ButtonSoundsComeFromAFileOrAResourceAndCutTheOnePlaying) {
    const auto folder = std::filesystem::temp_directory_path() / ("mv-buttonsound-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "ding.wav").string();
    const auto click = FindResourceData(TResourceKind::rkWave, "CLICK");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(click.data()), click.size());

    EXPECT_TRUE(PlayButtonSound("inicio")); // a resource, named in any case
    EXPECT_TRUE(PlayButtonSound(file));     // a file, cutting the sound still playing
    EXPECT_FALSE(PlayButtonSound(""));
    EXPECT_FALSE(PlayButtonSound((folder / "missing.wav").string()));
    EXPECT_FALSE(PlayButtonSound(folder.string())); // a folder is no sound
    EXPECT_EQ(recorder->Played(), (std::vector<std::string>{"inicio", file}));
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace mv
