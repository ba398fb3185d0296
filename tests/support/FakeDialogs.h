#pragma once
// Stand-ins for the desktop's dialog programs (zenity, kdialog), for the installer tests.
#include "tests/support/TestSupport.h"

#include <string>
#include <vector>

namespace mvtest {

// A stand-in for zenity or kdialog: each call is logged as its arguments (each
// followed by a unit separator, the call by a record separator), and answered
// with the next scripted reply "<exit status>|<output>". Shell built-ins only: the installer runs with a PATH
// holding nothing but these stand-ins.
class FakeDialogs {
public:
    FakeDialogs(const fs::path& dir, const std::vector<std::string>& programs) : bin(dir / "bin"), dir(dir) {
        fs::create_directories(bin);
        for (const auto& name : programs) {
            const fs::path script = bin / name;
            WriteFileText(script, "#!/bin/sh\n"
                                          "d=" + Quote(dir.string()) + "\n"
                                          "n=0; [ -f \"$d/count\" ] && read n < \"$d/count\"\n"
                                          "n=$((n+1)); echo $n > \"$d/count\"\n"
                                          "{ printf '%s\\037' \"${0##*/}\" \"$@\"; printf '\\036'; } >> \"$d/log\"\n"
                                          "i=0\n"
                                          "while IFS= read -r line; do i=$((i+1)); if [ $i -eq $n ]; then\n"
                                          "  out=${line#*|}; [ -n \"$out\" ] && printf '%s\\n' \"$out\"; exit ${line%%|*}\n"
                                          "fi; done < \"$d/replies\"\n"
                                          "exit 1\n");
            fs::permissions(script, fs::perms::owner_all);
        }
    }
    // Runs the installer with a desktop session (display set) and these replies;
    // stdin answers the terminal, if it comes to that.
    RunResult Run(const fs::path& installer, const std::vector<std::string>& replies,
                          const std::string& stdinText = {}, const std::string& env = "DISPLAY=:99",
                          const std::string& args = {}) {
        std::string text;
        for (const auto& r : replies) text += r + "\n";
        WriteFileText(dir / "replies", text);
        WriteFileText(dir / "stdin", stdinText);
        fs::remove(dir / "count");
        fs::remove(dir / "log");
        return mvtest::Run("env -u MORVELAN_SFX_ANSWERS -u WAYLAND_DISPLAY -u DISPLAY " + env +
                           " PATH=" + Quote(bin.string()) + " " + Quote(installer.string()) + " " +
                           args + " < " + Quote((dir / "stdin").string()));
    }
    // The calls made, each as its argument list.
    std::vector<std::vector<std::string>> Calls() const {
        std::vector<std::vector<std::string>> calls;
        if (!fs::exists(dir / "log")) return calls;
        const auto bytes = ReadFileBytes(dir / "log");
        std::string line;
        for (char c : std::string(bytes.begin(), bytes.end())) {
            if (c != '\036') {
                line += c;
                continue;
            }
            std::vector<std::string> args;
            for (size_t at = 0, bar; (bar = line.find('\037', at)) != std::string::npos; at = bar + 1)
                args.push_back(line.substr(at, bar - at));
            calls.push_back(args);
            line.clear();
        }
        return calls;
    }
    fs::path bin, dir;
};

} // namespace mvtest
