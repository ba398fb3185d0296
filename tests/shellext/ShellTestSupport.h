#pragma once
// What the context-menu tests share: a private configuration, runtime folder
// and spawn record for each test, the records read back, and the built
// library and host.
#include "shellext/Spawn.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace mvtest {

inline std::string ShellLibraryPath() {
    return MVSHELL_LIBRARY_PATH;
}
inline std::string ShellHostPath() {
    return MVSHELL_HOST_PATH;
}
// The folder of the built library, with its trailing "/".
inline std::string BuildFolder() {
    std::string lib = ShellLibraryPath();
    return lib.substr(0, lib.rfind('/') + 1);
}

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    // A null value removes the variable.
    ScopedEnv(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name)) previous = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (previous)
            ::setenv(name, previous->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name;
    std::optional<std::string> previous;
};

// Every recorded argument vector of a spawn record (see shellext/Spawn.h).
inline std::vector<std::vector<std::string>> ReadSpawnRecords(const fs::path& file) {
    std::vector<std::vector<std::string>> records;
    if (!fs::exists(file)) return records;
    std::vector<uint8_t> bytes = ReadFileBytes(file);
    std::string data(bytes.begin(), bytes.end());
    size_t pos = 0;
    std::vector<std::string> current;
    while (pos < data.size()) {
        if (data[pos] == '\n') {
            records.push_back(current);
            current.clear();
            ++pos;
            continue;
        }
        size_t colon = data.find(':', pos);
        if (colon == std::string::npos) break;
        size_t length = std::stoul(data.substr(pos, colon - pos));
        current.push_back(data.substr(colon + 1, length));
        pos = colon + 1 + length;
    }
    return records;
}

// A private environment for the library: its registry store, its runtime
// folder and the spawn record all live in one temporary folder.
struct ShellEnvironment {
    TempDir dir;
    fs::path config = dir / "config";
    fs::path runtime = dir / "run";
    fs::path record = dir / "spawned.rec";
    ScopedEnv configEnv{"XDG_CONFIG_HOME", config.string()};
    ScopedEnv runtimeEnv{"XDG_RUNTIME_DIR", runtime.string()};
    ScopedEnv recordEnv{mv::shellext::SpawnRecordVariable, record.string()};

    ShellEnvironment() {
        fs::create_directories(config);
        fs::create_directories(runtime);
    }
    std::vector<std::vector<std::string>> Spawned() const { return ReadSpawnRecords(record); }
    // The list files left in the runtime folder.
    std::vector<fs::path> ListFiles() const {
        std::vector<fs::path> files;
        if (fs::exists(runtime / "morvelan"))
            for (const auto& e : fs::directory_iterator(runtime / "morvelan")) files.push_back(e.path());
        return files;
    }
};

} // namespace mvtest
