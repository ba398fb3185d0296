#include "app/packager/stub/SfxUi.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace mv::sfx {

std::string StripAccelerator(const std::string& caption) {
    std::string out;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') out += caption[++i];
            continue;
        }
        out += caption[i];
    }
    return out;
}

std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
    const char* path = std::getenv("PATH");
    std::string list = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        std::string dir = list.substr(start, end - start);
        if (dir.empty()) dir = ".";
        const std::string full = dir + "/" + name;
        struct stat st {};
        if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), X_OK) == 0) return full;
        start = end + 1;
    }
    return {};
}

int RunProgram(const std::vector<std::string>& argv, std::string* out, const std::string& folder) {
    if (argv.empty()) return -1;
    int fds[2] = {-1, -1};
    if (out && pipe(fds) != 0) return -1;
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (out) {
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
        }
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
        execvp(args[0], args.data());
        _exit(127);
    }
    if (out) {
        close(fds[1]);
        char buf[4096];
        for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out->append(buf, static_cast<size_t>(n));
        close(fds[0]);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (!WIFEXITED(status)) return -1;
    return WEXITSTATUS(status) == 127 ? -1 : WEXITSTATUS(status);
}

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

class QuietUi : public TSfxUi {
public:
    int Choose(const std::string&, const std::string&, const std::vector<std::string>&, int, int quietDefault) override {
        if (quietDefault < 0) throw ENoAnswer{};
        return quietDefault;
    }
    bool AskText(const std::string&, const std::string&, std::string&, bool, bool quietHasDefault) override {
        if (!quietHasDefault) throw ENoAnswer{};
        return true;
    }
    void Progress(int, const std::string&, const std::string&, const std::string&) override {}
    void ShowFile(const std::string&, const std::string&) override {}
};

// Questions on standard error, answers from standard input.
class TerminalUi : public TSfxUi {
public:
    int Choose(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
               int cancelIndex, int) override {
        for (;;) {
            std::cerr << "\n== " << title << " ==\n" << text << "\n";
            for (size_t i = 0; i < buttons.size(); ++i)
                std::cerr << "  " << (i + 1) << ") " << StripAccelerator(buttons[i]) << "\n";
            std::cerr << "> " << std::flush;
            std::string line;
            if (!std::getline(std::cin, line)) return cancelIndex;
            const int pick = Match(line, buttons);
            if (pick >= 0) return pick;
        }
    }
    bool AskText(const std::string& title, const std::string& prompt, std::string& value, bool secret,
                 bool) override {
        std::cerr << "\n== " << title << " ==\n" << prompt;
        if (!secret && !value.empty()) std::cerr << " [" << value << "]";
        std::cerr << " " << std::flush;
        termios saved {};
        const bool hide = secret && isatty(0) && tcgetattr(0, &saved) == 0;
        if (hide) {
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            tcsetattr(0, TCSANOW, &quiet);
        }
        std::string line;
        const bool got = static_cast<bool>(std::getline(std::cin, line));
        if (hide) {
            tcsetattr(0, TCSANOW, &saved);
            std::cerr << "\n";
        }
        if (!got) return false;
        if (!line.empty() || secret) value = line;
        return true;
    }
    void Progress(int percent, const std::string& label, const std::string& fileLabel,
                  const std::string& file) override {
        std::cerr << (fileLabel.empty() ? "" : fileLabel + " ") << file;
        if (!label.empty()) std::cerr << "  " << label << " " << percent << "%";
        std::cerr << "\n";
    }
    void ShowFile(const std::string& title, const std::string& path) override {
        std::ifstream in(path, std::ios::binary);
        std::cout << "\n== " << title << " ==\n" << in.rdbuf() << "\n" << std::flush;
    }

    static int Match(const std::string& answer, const std::vector<std::string>& buttons) {
        const std::string a = Lower(answer);
        if (!a.empty() && std::all_of(a.begin(), a.end(), ::isdigit)) {
            const size_t n = std::stoul(a.substr(0, 6));
            if (n >= 1 && n <= buttons.size()) return static_cast<int>(n - 1);
        }
        for (size_t i = 0; i < buttons.size(); ++i)
            if (Lower(StripAccelerator(buttons[i])) == a) return static_cast<int>(i);
        return -1;
    }
};

// One answer a line, in the order the questions come; each question is
// echoed to standard output as "? <text>" so that a run can be checked.
class ScriptedUi : public TerminalUi {
public:
    explicit ScriptedUi(const std::string& file) {
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            answers.push_back(line);
        }
    }
    int Choose(const std::string&, const std::string& text, const std::vector<std::string>& buttons, int,
               int) override {
        std::cout << "? " << text << "\n" << std::flush;
        const int pick = Match(Next(), buttons);
        if (pick < 0) throw ENoAnswer{};
        return pick;
    }
    bool AskText(const std::string&, const std::string& prompt, std::string& value, bool, bool) override {
        std::cout << "? " << prompt << "\n" << std::flush;
        const std::string a = Next();
        if (a == "<cancel>") return false;
        if (a != "<default>") value = a;
        return true;
    }
    void Progress(int, const std::string&, const std::string&, const std::string&) override {}

private:
    std::string Next() {
        if (next >= answers.size()) throw ENoAnswer{};
        return answers[next++];
    }
    std::vector<std::string> answers;
    size_t next = 0;
};

// The desktop's dialog programs. When one of them cannot show its window (it
// fails to start, or ends with an error status rather than an answer), that
// question and every later one go to the terminal instead: an error must never
// be taken for the user's "No".
class DialogUi : public TSfxUi {
public:
    explicit DialogUi(std::string program) : program(std::move(program)), kde(this->program.ends_with("kdialog")) {}
    bool Graphical() const override { return !broken; }
    int Choose(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
               int cancelIndex, int quietDefault) override {
        if (broken) return terminal.Choose(title, text, buttons, cancelIndex, quietDefault);
        const int r = DoChoose(title, text, buttons, cancelIndex);
        if (r == Failed) return Fallback().Choose(title, text, buttons, cancelIndex, quietDefault);
        return r;
    }
    bool AskText(const std::string& title, const std::string& prompt, std::string& value, bool secret,
                 bool quietHasDefault) override {
        if (broken) return terminal.AskText(title, prompt, value, secret, quietHasDefault);
        std::vector<std::string> argv;
        if (kde)
            argv = secret ? std::vector<std::string>{program, "--title", title, "--password", prompt}
                          : std::vector<std::string>{program, "--title", title, "--inputbox", prompt, value};
        else
            argv = secret ? std::vector<std::string>{program, "--password", "--title", title}
                          : std::vector<std::string>{program, "--entry", "--title", title, "--text", prompt,
                                                     "--entry-text", value};
        std::string out;
        const int r = RunProgram(argv, &out);
        if (Error(r)) return Fallback().AskText(title, prompt, value, secret, quietHasDefault);
        if (r != 0) return false;
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
        value = out;
        return true;
    }
    void Progress(int percent, const std::string& label, const std::string& fileLabel,
                  const std::string& file) override {
        // Terminal lines: the dialog programs give no live window without a pipe of their own.
        terminal.Progress(percent, label, fileLabel, file);
    }
    void ShowFile(const std::string& title, const std::string& path) override {
        if (broken) return terminal.ShowFile(title, path);
        const int r =
            RunProgram(kde ? std::vector<std::string>{program, "--title", title, "--textbox", path}
                           : std::vector<std::string>{program, "--text-info", "--title", title, "--filename", path});
        if (Error(r)) Fallback().ShowFile(title, path);
    }

private:
    static constexpr int Failed = -1000;
    // Exit statuses that are answers: 0 and 1 (zenity: OK, Cancel or closed), and
    // kdialog's 2 (Cancel); anything else, or no start at all, is a failure.
    bool Error(int status) const { return status < 0 || status > (kde ? 2 : 1); }
    TSfxUi& Fallback() {
        broken = true;
        std::cerr << program << ": no dialog window; asking here instead\n";
        return terminal;
    }

    int DoChoose(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                 int cancelIndex) {
        std::vector<std::string> plain;
        for (const auto& b : buttons) plain.push_back(StripAccelerator(b));
        if (plain.size() == 1) {
            const int r =
                RunProgram(kde ? std::vector<std::string>{program, "--title", title, "--msgbox", text}
                               : std::vector<std::string>{program, "--info", "--title", title, "--text", text});
            return Error(r) ? Failed : 0;
        }
        if (plain.size() == 2) {
            const int r = RunProgram(kde ? std::vector<std::string>{program, "--title", title, "--yes-label", plain[0],
                                                                    "--no-label", plain[1], "--yesno", text}
                                         : std::vector<std::string>{program, "--question", "--title", title, "--text",
                                                                    text, "--ok-label", plain[0], "--cancel-label",
                                                                    plain[1]});
            if (Error(r)) return Failed;
            return r == 0 ? 0 : r == 1 ? 1 : cancelIndex;
        }
        std::vector<std::string> argv;
        if (kde) {
            argv = {program, "--title", title, "--menu", text};
            for (size_t i = 0; i < plain.size(); ++i) {
                argv.push_back(std::to_string(i));
                argv.push_back(plain[i]);
            }
        } else {
            argv = {program, "--list", "--title", title, "--text", text, "--column", "#", "--column", "",
                    "--hide-column", "1"};
            for (size_t i = 0; i < plain.size(); ++i) {
                argv.push_back(std::to_string(i));
                argv.push_back(plain[i]);
            }
        }
        std::string out;
        const int r = RunProgram(argv, &out);
        if (Error(r)) return Failed;
        if (r != 0) return cancelIndex;
        try {
            const int n = std::stoi(out);
            return n >= 0 && n < static_cast<int>(plain.size()) ? n : cancelIndex;
        } catch (...) {
            return cancelIndex;
        }
    }

    std::string program;
    bool kde;
    bool broken = false;
    TerminalUi terminal;
};

} // namespace

std::unique_ptr<TSfxUi> MakeQuietUi() {
    return std::make_unique<QuietUi>();
}
std::unique_ptr<TSfxUi> MakeTerminalUi() {
    return std::make_unique<TerminalUi>();
}
std::unique_ptr<TSfxUi> MakeScriptedUi(const std::string& answersFile) {
    return std::make_unique<ScriptedUi>(answersFile);
}
std::unique_ptr<TSfxUi> MakeDialogUi() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland)) return nullptr;
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const bool kdeFirst = desktop && std::strstr(desktop, "KDE");
    for (const char* name : kdeFirst ? std::vector<const char*>{"kdialog", "zenity"}
                                     : std::vector<const char*>{"zenity", "kdialog"}) {
        const std::string found = FindProgram(name);
        if (!found.empty()) return std::make_unique<DialogUi>(found);
    }
    return nullptr;
}

} // namespace mv::sfx
