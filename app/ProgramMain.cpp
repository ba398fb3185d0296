#include "app/ProgramMain.h"

#include "app/common/LangStr.h"
#include "app/common/MessageBox.h"
#include "app/mainwindow/FormPrincipal.h"
#include "app/mainwindow/ProgramStart.h"
#include "app/scripts/ScriptRun.h"
#include "app/shell/Install.h"
#include "controls/shell/ShellCommands.h"
#include "platform/AppPaths.h"
#include "platform/IniFile.h"
#include "platform/RegistryStore.h"
#include "platform/Sound.h"
#include "platform/ui/Form.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace mv {

namespace {

bool IsVerb(const std::string& arg, const char* verb) {
    if (arg.size() != std::char_traits<char>::length(verb)) return false;
    for (size_t i = 0; i < arg.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(arg[i])) != verb[i]) return false;
    return true;
}

// Writes the name of every sound the program plays to a file, one a line, instead of
// playing it: what a run played can be read afterwards (MORVELAN_SOUND_LOG).
class TSoundLog : public TSoundBackEnd {
public:
    explicit TSoundLog(std::string path) : FPath(std::move(path)) {}
    bool IsPlaying() override { return false; }
    bool Start(const std::string& name, std::span<const uint8_t>) override {
        std::ofstream out(FPath, std::ios::app);
        out << name << "\n";
        return static_cast<bool>(out);
    }

private:
    std::string FPath;
};

} // namespace

void InstallProgramPrompts() {
    SetShellPrompts({[](const std::string& text) {
                         return ShowMessageBox(text, mkQuestion, mbYesNo, 0, -1, -1) == mrYes;
                     },
                     [](const std::string& text) { ShowMessageBox(text, mkWarning, mbOKOnly, 0, -1, -1); }});
}

int programMain(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    SetLanguageBase(StartLanguageBase([](const char* name) { return std::getenv(name); }));
    if (const char* log = std::getenv("MORVELAN_SOUND_LOG"); log && *log)
        SetSoundBackEnd(std::make_unique<TSoundLog>(log));

    // An unattended backup runs without any window and never waits for input, also
    // when its script name is missing (it then ends with its failure code).
    if (!args.empty() && IsVerb(args[0], "/W")) {
        std::vector<std::string> verbArgs = {argc > 0 ? argv[0] : "morvelan", "/W"};
        if (args.size() >= 2) verbArgs.push_back(args[1]);
        std::vector<const char*> pointers;
        for (const std::string& a : verbArgs) pointers.push_back(a.c_str());
        return RunScriptHeadless(static_cast<int>(pointers.size()), pointers.data());
    }

    CreateApplication(argc, argv);
    Application->SetTitle("Morvelan");
    ShowExceptionsInMessageBox();
    InstallProgramPrompts();

    std::string associacao;
    try {
        const platform::IniFile ini(platform::IniFilePath());
        associacao = ini.ReadString("Configuracoes", "Associacao", "");
    } catch (const std::exception&) {
    }
    const TStartDecision decision = DecideStart(args, associacao, [](const std::string& path) {
        std::error_code ec;
        return std::filesystem::is_regular_file(path, ec);
    });
    if (decision.Kind == TStartKind::Verb && decision.Verb == "/INST") return RunInstallVerb();
    if (decision.Kind == TStartKind::Verb && decision.Verb == "/DEINST") return RunUninstallVerb();

    // The version step runs at every start; it never stops one.
    try {
        platform::RegistryStore store;
        InstallStep(store);
    } catch (const std::exception& e) {
        std::cerr << "morvelan: " << e.what() << "\n";
    }

    TMainWindowStart start;
    start.Decision = decision;
    start.ArgumentCount = static_cast<int>(args.size());
    auto form = std::make_unique<TFormPrincipal>(nullptr, start);
    Application->SetMainForm(form.get());
    for (const std::string& failure : form->StartFailures()) std::cerr << "morvelan: " << failure << "\n";

    if (decision.Hidden) {
        // A command-line verb: the window stays hidden and the verb runs once the
        // message loop does.
        PostMessage(form.get(), TFormPrincipal::WM_PROCESSCOMMANDLINE, 0, 0);
    } else {
        form->Show();
        if (decision.CheckAssociations) {
            try {
                platform::IniFile ini(platform::IniFilePath());
                CheckAssociations(ini, form->Options());
            } catch (const std::exception& e) {
                std::cerr << "morvelan: " << e.what() << "\n";
            }
        }
    }
    int code = Application->Run();
    if (form->ExitCode() != 0) code = form->ExitCode();
    form->FormClose();
    form.reset();
    return code;
}

} // namespace mv
