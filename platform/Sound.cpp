#include "platform/Sound.h"

#include "resources/ResourceData.h"

#include <fstream>
#include <vector>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mv {
namespace {

std::unique_ptr<TSoundBackEnd>& CurrentBackEnd() {
    static std::unique_ptr<TSoundBackEnd> backEnd;
    return backEnd;
}

uint32_t Le32(std::span<const uint8_t> b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::string all(path);
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(':', start);
        if (end == std::string::npos) end = all.size();
        std::string dir = all.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/" + program;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return {};
}

} // namespace

int WaveDurationMs(std::span<const uint8_t> wave) {
    if (wave.size() < 12 || std::memcmp(wave.data(), "RIFF", 4) != 0 ||
        std::memcmp(wave.data() + 8, "WAVE", 4) != 0)
        return 0;
    uint32_t byteRate = 0;
    size_t at = 12;
    while (at + 8 <= wave.size()) {
        const uint32_t size = Le32(wave, at + 4);
        const size_t body = at + 8;
        if (std::memcmp(wave.data() + at, "fmt ", 4) == 0 && size >= 16 && body + 16 <= wave.size())
            byteRate = Le32(wave, body + 8);
        if (std::memcmp(wave.data() + at, "data", 4) == 0) {
            if (byteRate == 0) return 0;
            const uint64_t bytes = std::min<uint64_t>(size, wave.size() - body);
            return static_cast<int>(bytes * 1000 / byteRate);
        }
        if (size > wave.size() - body) return 0;
        at = body + size + (size & 1);
    }
    return 0;
}

bool TRecordingSound::IsPlaying() {
    return FNowMs < FPlayingUntil;
}

bool TRecordingSound::Start(const std::string& name, std::span<const uint8_t> wave) {
    FPlayed.push_back(name);
    FPlayingUntil = FNowMs + WaveDurationMs(wave);
    return true;
}

TExternalPlayerSound::TExternalPlayerSound(std::string playerPath) : FPlayer(std::move(playerPath)) {}

TExternalPlayerSound::~TExternalPlayerSound() {
    if (FChild > 0 && waitpid(FChild, nullptr, WNOHANG) == 0) {
        kill(FChild, SIGTERM);
        waitpid(FChild, nullptr, 0);
    }
}

bool TExternalPlayerSound::IsPlaying() {
    if (FChild <= 0) return false;
    if (waitpid(FChild, nullptr, WNOHANG) == 0) return true;
    FChild = -1;
    return false;
}

bool TExternalPlayerSound::Start(const std::string&, std::span<const uint8_t> wave) {
    if (IsPlaying()) {
        // A new sound cuts the one playing.
        kill(FChild, SIGTERM);
        waitpid(FChild, nullptr, 0);
        FChild = -1;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (child == 0) {
        dup2(fds[0], 0);
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            dup2(devNull, 1);
            dup2(devNull, 2);
        }
        execl(FPlayer.c_str(), FPlayer.c_str(), "-q", "-", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[0]);
    // The sounds are a few kilobytes: they fit in the pipe, so this never blocks long.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    size_t done = 0;
    while (done < wave.size()) {
        const ssize_t n = write(fds[1], wave.data() + done, wave.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    sigaction(SIGPIPE, &previous, nullptr);
    close(fds[1]);
    FChild = child;
    return true;
}

TSoundBackEnd& SoundBackEnd() {
    auto& backEnd = CurrentBackEnd();
    if (!backEnd) {
        struct stat st {};
        const std::string player = FindOnPath("aplay");
        if (!player.empty() && stat("/dev/snd", &st) == 0)
            backEnd = std::make_unique<TExternalPlayerSound>(player);
        else
            backEnd = std::make_unique<TSilentSound>();
    }
    return *backEnd;
}

void SetSoundBackEnd(std::unique_ptr<TSoundBackEnd> backEnd) {
    CurrentBackEnd() = std::move(backEnd);
}

bool PlayWaveAsync(const std::string& name, std::span<const uint8_t> wave, bool noStop) {
    if (wave.empty()) return false;
    TSoundBackEnd& backEnd = SoundBackEnd();
    if (noStop && backEnd.IsPlaying()) return false;
    return backEnd.Start(name, wave);
}

bool PlayButtonSound(const std::string& name) {
    if (name.empty()) return false;
    struct stat st {};
    if (stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        // Button sounds are short clips; a file that is not one is not read whole.
        constexpr off_t kMaxSoundFile = 16 << 20;
        if (st.st_size <= 0 || st.st_size > kMaxSoundFile) return false;
        std::ifstream in(name, std::ios::binary);
        std::vector<uint8_t> data(static_cast<size_t>(st.st_size));
        if (!in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()))) return false;
        return PlayWaveAsync(name, data, false);
    }
    const std::span<const uint8_t> resource = FindResourceData(TResourceKind::rkWave, name);
    if (resource.empty()) return false;
    return PlayWaveAsync(name, resource, false);
}

} // namespace mv
