// mvarc: command-line driver of the archive components, used by tests and by hand.
#include "Command.h"

#include <exception>
#include <iostream>

namespace mvarc {
std::map<std::string, CommandInfo>& Commands() {
    static std::map<std::string, CommandInfo> commands;
    return commands;
}
} // namespace mvarc

static int Usage() {
    std::cerr << "usage: mvarc COMMAND ARGS...\n";
    for (const auto& [name, info] : mvarc::Commands()) std::cerr << "  mvarc " << info.usage << "\n";
    return 2;
}

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    auto it = mvarc::Commands().find(argv[1]);
    if (it == mvarc::Commands().end()) return Usage();
    std::vector<std::string> args(argv + 2, argv + argc);
    try {
        return it->second.run(args);
    } catch (const std::exception& e) {
        std::cerr << "mvarc: " << e.what() << "\n";
        return 1;
    }
}
