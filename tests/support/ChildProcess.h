#pragma once
// The real program as a child process: where it is built, starting it (or any tool)
// with extra environment, waiting for its end, and a virtual X server of the test's own
// on which the program shows its windows.
#include <string>
#include <sys/types.h>
#include <vector>

namespace mvtest {

// The program beside the test programs' folder (build/morvelan).
std::string ProgramPath();
// scripts/x11window.py of the source tree.
std::string WindowTool();

// Starts argv[0] (searched on PATH) with the arguments and the extra environment
// ("NAME=value"); its output and errors go to log (empty: inherited). Its pid.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& log);

// Waits up to `seconds` for the child: its exit status (128 + the signal when one
// ended it), or -1 when it did not end; it is then killed and reaped.
int WaitFor(pid_t pid, int seconds);

// An Xvfb server on a free display number, stopped on destruction. Ready() is false
// when it did not come up (its log is then in the given file).
class VirtualDisplay {
public:
    explicit VirtualDisplay(const std::string& log);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    bool Ready() const { return ready; }
    const std::string& Display() const { return display; } // ":N"

private:
    pid_t server = -1;
    std::string display;
    bool ready = false;
};

} // namespace mvtest
