#pragma once
// The sound layer: plays the program's WAVE sounds asynchronously through a back end.
// Back ends: silent (machines without audio, and the default in tests), recording
// (tests: remembers what played and counts each sound as playing for its length), and
// an external player (the `aplay` program, fed the WAVE data on its standard input)
// chosen when it is installed and the machine has a sound device.
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace mv {

class TSoundBackEnd {
public:
    virtual ~TSoundBackEnd() = default;
    // True while a sound started earlier is still playing.
    virtual bool IsPlaying() = 0;
    // Starts playing without waiting; false when it cannot.
    virtual bool Start(const std::string& name, std::span<const uint8_t> wave) = 0;
};

class TSilentSound : public TSoundBackEnd {
public:
    bool IsPlaying() override { return false; }
    bool Start(const std::string&, std::span<const uint8_t>) override { return true; }
};

class TRecordingSound : public TSoundBackEnd {
public:
    bool IsPlaying() override;
    bool Start(const std::string& name, std::span<const uint8_t> wave) override;
    // Names of the sounds started, in order.
    const std::vector<std::string>& Played() const { return FPlayed; }
    // Ends the sound that is playing now.
    void Finish() { FPlayingUntil = FNowMs; }
    // The recorder's own clock: a sound plays for its length of this clock, which
    // moves only when a test advances it.
    void Advance(int64_t ms) { FNowMs += ms; }

private:
    std::vector<std::string> FPlayed;
    int64_t FNowMs = 0;
    int64_t FPlayingUntil = 0;
};

class TExternalPlayerSound : public TSoundBackEnd {
public:
    explicit TExternalPlayerSound(std::string playerPath);
    ~TExternalPlayerSound() override;
    bool IsPlaying() override;
    bool Start(const std::string& name, std::span<const uint8_t> wave) override;

private:
    std::string FPlayer;
    int FChild = -1;
};

// Length of a WAVE sound in milliseconds from its header; 0 when it is not one.
int WaveDurationMs(std::span<const uint8_t> wave);

// The back end in use. The first call without one set picks the external player when
// `aplay` is on the PATH and /dev/snd exists, else the silent one.
TSoundBackEnd& SoundBackEnd();
void SetSoundBackEnd(std::unique_ptr<TSoundBackEnd> backEnd);

// Plays a WAVE sound asynchronously. With noStop, a sound that is still playing is not
// cut and this one is dropped (false).
bool PlayWaveAsync(const std::string& name, std::span<const uint8_t> wave, bool noStop);

// A button's sound: a WAVE file of that name when one exists, else the program's WAVE
// resource of that name, played asynchronously (cutting one still playing). False,
// and nothing played, for an empty name or one that is neither.
bool PlayButtonSound(const std::string& name);

} // namespace mv
