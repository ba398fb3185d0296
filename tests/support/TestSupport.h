#pragma once
// Helpers shared by the tests: temporary folders, files, the corpus, and the
// independent peer tools (zip, 7z, arj, ...) that check us against the real world.
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace mvtest {

namespace fs = std::filesystem;

// A fresh folder under $TMPDIR, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& Path() const { return path; }
    fs::path operator/(const std::string& name) const { return path / name; }

private:
    fs::path path;
};

std::vector<uint8_t> ReadFileBytes(const fs::path& p);
void WriteFileBytes(const fs::path& p, const std::vector<uint8_t>& data);
void WriteFileText(const fs::path& p, const std::string& text);

// Deterministic pseudo-random bytes (xorshift), for test payloads.
std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed);
// Text-like bytes that compress well but not trivially.
std::vector<uint8_t> TextBytes(size_t n, uint32_t seed);

struct RunResult {
    int exitCode = -1;
    std::string output; // stdout and stderr together
};
// Runs a shell command line (through /bin/sh) in folder `cwd` (empty: current).
RunResult Run(const std::string& commandLine, const fs::path& cwd = {});
// Quotes one argument for /bin/sh.
std::string Quote(const std::string& s);
// True when a program of that name is on PATH.
bool HaveTool(const std::string& name);
// The entry names of a ZIP (folders too) as Info-ZIP's `unzip -Z1` lists them.
std::set<std::string> PeerZipNames(const std::string& zip);
// A peer tool the test needs: true when it is on PATH; when it is not, the
// current test fails (scripts/deps.sh installs every peer) and false comes back.
bool RequireTool(const std::string& name);

// The real-archive corpus and its manifest.
fs::path CorpusDir();
struct CorpusEntry {
    std::string path;     // relative to CorpusDir(), e.g. "zip/foo.zip"
    std::string format;   // folder name
    std::string features;
    std::string password;
    uint64_t size = 0;
    struct Member {
        std::string name;
        uint64_t size = 0;
        uint32_t crc = 0;
    };
    std::vector<Member> listing;
    std::string verifiedBy;
    std::string extraction;
};
std::vector<CorpusEntry> ReadManifest();

fs::path FixtureDir();
std::string MvarcPath();

// CRC-32 computed independently of the system's own code (bitwise), for checks.
uint32_t ReferenceCrc32(const uint8_t* data, size_t n);

} // namespace mvtest

// Fails and ends the current test when a peer tool is not installed: a missing
// peer never passes a test unchecked.
#define MV_REQUIRE_TOOL(name)                                                                              \
    do {                                                                                                   \
        if (!::mvtest::RequireTool(name)) return;                                                          \
    } while (0)
