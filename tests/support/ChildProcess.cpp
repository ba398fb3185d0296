#include "tests/support/ChildProcess.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace mvtest {

namespace fs = std::filesystem;

std::string ProgramPath() {
    return (fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "morvelan").string();
}

std::string WindowTool() {
    return std::string(MV_SOURCE_DIR) + "/scripts/x11window.py";
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& log) {
    const pid_t pid = fork();
    if (pid == 0) {
        for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
        if (!log.empty()) {
            if (FILE* out = std::freopen(log.c_str(), "w", stdout)) (void)out;
            dup2(fileno(stdout), 2);
        }
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

int WaitFor(pid_t pid, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

VirtualDisplay::VirtualDisplay(const std::string& log) {
    const auto taken = [](int n) {
        return fs::exists("/tmp/.X11-unix/X" + std::to_string(n)) || fs::exists("/tmp/.X" + std::to_string(n) + "-lock");
    };
    // Numbers spread by process, so that tests running side by side rarely meet; a
    // server that ends at once lost the number to another and the next is tried.
    int number = 100 + (getpid() * 7) % 800;
    for (int attempt = 0; attempt < 5 && !ready; ++attempt, ++number) {
        while (taken(number)) ++number;
        display.assign(1, ':').append(std::to_string(number));
        server = Spawn({"Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {}, log);
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        for (int i = 0; i < 100 && !ready; ++i) {
            int status = 0;
            if (waitpid(server, &status, WNOHANG) == server) {
                server = -1;
                break;
            }
            ready = fs::exists(socket);
            if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
}

VirtualDisplay::~VirtualDisplay() {
    if (server > 0) {
        kill(server, SIGTERM);
        WaitFor(server, 10);
    }
}

} // namespace mvtest
