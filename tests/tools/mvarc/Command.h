#pragma once
// mvarc test driver: every command is a file that registers itself here, so
// commands for new formats are added without touching a shared table.
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace mvarc {

using CommandFn = std::function<int(const std::vector<std::string>& args)>;

struct CommandInfo {
    CommandFn run;
    std::string usage;
};

std::map<std::string, CommandInfo>& Commands();

struct CommandRegistrar {
    CommandRegistrar(const std::string& name, CommandFn fn, std::string usage) {
        Commands()[name] = CommandInfo{std::move(fn), std::move(usage)};
    }
};

} // namespace mvarc
