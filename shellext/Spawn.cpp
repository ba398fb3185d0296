#include "shellext/Spawn.h"

#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/types.h>
#include <unistd.h>

extern char** environ;

namespace mv::shellext {

namespace {

bool Record(const char* recordFile, const std::vector<std::string>& argv) {
    std::string record;
    for (const std::string& a : argv) record += std::to_string(a.size()) + ":" + a;
    record += "\n";
    FILE* f = std::fopen(recordFile, "ab");
    if (!f) return false;
    bool ok = std::fwrite(record.data(), 1, record.size(), f) == record.size();
    if (std::fclose(f) != 0) ok = false;
    return ok;
}

} // namespace

bool StartDetached(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) return false;
    if (const char* recordFile = std::getenv(SpawnRecordVariable); recordFile && recordFile[0])
        return Record(recordFile, argv);

    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    if (posix_spawnattr_init(&attr) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    // The program gets none of the host's other descriptors, and a session of
    // its own so that closing the file manager's terminal does not end it.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    // A program named without a folder (no registration found) is looked up on PATH.
    bool hasFolder = argv[0].find('/') != std::string::npos;
    int rc = hasFolder ? posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ)
                       : posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0;
}

} // namespace mv::shellext
