#include "app/mainwindow/WindowState.h"

#include "app/settings/Options.h"

#include <exception>

namespace mv {

namespace {
constexpr const char* ExplorerSection = "Explorer";
}

TExplorerSettings ReadExplorerSettings(const platform::IniFile& ini) {
    TExplorerSettings s;
    s.TreeWidth = static_cast<int>(ini.ReadInteger(ExplorerSection, "Largura Arvore", 204));
    s.TreeShown = SimNaoToBool(ini.ReadString(ExplorerSection, "Arvore", "S"));
    s.PaneHeight = static_cast<int>(ini.ReadInteger(ExplorerSection, "AView", 182));
    s.PaneShown = SimNaoToBool(ini.ReadString(ExplorerSection, "Ativo", "N"));
    s.Style = static_cast<int>(ini.ReadInteger(ExplorerSection, "Estilo", 4));
    return s;
}

void WriteExplorerSettings(platform::IniFile& ini, const TExplorerSettings& s) {
    ini.WriteInteger(ExplorerSection, "Largura Arvore", s.TreeWidth);
    ini.WriteString(ExplorerSection, "Arvore", BoolToSimNao(s.TreeShown));
    ini.WriteInteger(ExplorerSection, "AView", s.PaneHeight);
    ini.WriteInteger(ExplorerSection, "Estilo", s.Style);
    ini.WriteString(ExplorerSection, "Ativo", BoolToSimNao(s.PaneShown));
}

std::vector<std::string> ShutDownMainWindow(const TShutdownSteps& steps) {
    std::vector<std::string> failures;
    auto run = [&](const std::function<void()>& step) {
        if (!step) return;
        try {
            step();
        } catch (const std::exception& e) {
            failures.emplace_back(e.what());
        } catch (...) {
            failures.emplace_back("unknown failure");
        }
    };
    run(steps.DestroyVendorInstance);
    run(steps.HideWindow);
    if (steps.SetBusyCursor) run([&] { steps.SetBusyCursor(true); });
    run(steps.RemoveTemporaryFiles);
    run(steps.SaveReopenHistory);
    run(steps.WriteOptions);
    run(steps.FreeLists);
    if (steps.SetBusyCursor) run([&] { steps.SetBusyCursor(false); });
    return failures;
}

} // namespace mv
