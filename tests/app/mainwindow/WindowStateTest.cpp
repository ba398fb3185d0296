// The explorer pane's section of the settings file, and the end of the main
// window: every step runs in its order even when one fails.
#include "app/mainwindow/WindowState.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace mv {
namespace {

using mvtest::TempDir;

TEST(WindowState, ExplorerSectionRoundTrip) {
    TempDir dir;
    const std::string file = (dir / "morvelan.ini").string();
    {
        platform::IniFile ini(file);
        const TExplorerSettings d = ReadExplorerSettings(ini); // absent: the defaults
        EXPECT_EQ(d.TreeWidth, 204);
        EXPECT_TRUE(d.TreeShown);
        EXPECT_EQ(d.PaneHeight, 182);
        EXPECT_FALSE(d.PaneShown);
        EXPECT_EQ(d.Style, 4);
    }
    struct Case {
        const char* arvore;
        const char* ativo;
        bool tree, pane;
    } cases[] = {{"S", "N", true, false}, {"nao", "sim", false, true}, {"V", "x", true, false}};
    for (const Case& c : cases) {
        mvtest::WriteFileText(file, std::string("[Explorer]\nArvore=") + c.arvore + "\nAtivo=" + c.ativo +
                                        "\nEstilo=0\nLargura Arvore=150\n");
        platform::IniFile ini(file);
        const TExplorerSettings s = ReadExplorerSettings(ini);
        EXPECT_EQ(s.TreeShown, c.tree) << c.arvore;
        EXPECT_EQ(s.PaneShown, c.pane) << c.ativo;
        EXPECT_EQ(s.Style, 0);
        EXPECT_EQ(s.TreeWidth, 150);
    }
    platform::IniFile ini(file);
    TExplorerSettings s;
    s.TreeShown = false;
    s.PaneShown = true;
    s.Style = 2;
    WriteExplorerSettings(ini, s);
    platform::IniFile again(file);
    EXPECT_EQ(again.ReadString("Explorer", "Arvore", ""), "NAO");
    EXPECT_EQ(again.ReadString("Explorer", "Ativo", ""), "SIM");
    EXPECT_EQ(again.ReadInteger("Explorer", "Estilo", 0), 2);
}

TEST(WindowState, AFailingCleanupStillSavesHistoryAndOptions) {
    std::vector<std::string> order;
    TShutdownSteps steps;
    steps.DestroyVendorInstance = [&] { order.push_back("vendor"); };
    steps.HideWindow = [&] { order.push_back("hide"); };
    steps.RemoveTemporaryFiles = [&] {
        order.push_back("temp");
        throw std::runtime_error("cannot remove /tmp/x");
    };
    steps.SaveReopenHistory = [&] { order.push_back("history"); };
    steps.WriteOptions = [&] { order.push_back("options"); };
    steps.FreeLists = [&] { order.push_back("lists"); };
    steps.SetBusyCursor = [&](bool busy) { order.push_back(busy ? "busy" : "idle"); };
    const auto failures = ShutDownMainWindow(steps);
    EXPECT_EQ(order, (std::vector<std::string>{"vendor", "hide", "busy", "temp", "history", "options",
                                               "lists", "idle"}));
    EXPECT_EQ(failures, std::vector<std::string>{"cannot remove /tmp/x"});
}

} // namespace
} // namespace mv
