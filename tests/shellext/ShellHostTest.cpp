// The context menu through mvshell-host, as the file managers' actions run
// it: the menu of each selection kind, and the argument vector each command
// starts (recorded, not started), the list file and the refusals.
#include "ShellTestSupport.h"

#include <gtest/gtest.h>

#include "platform/RegistryStore.h"

#include <chrono>
#include <fstream>
#include <thread>

namespace {

using namespace mvtest;
using Args = std::vector<std::string>;

RunResult Host(const Args& args) {
    std::string line = Quote(ShellHostPath());
    for (const std::string& a : args) line += " " + Quote(a);
    return mvtest::Run(line);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

struct Invocation {
    std::string action; // KIND:OFFSET
    Args expected;      // after the program; empty: refused, nothing started
};

struct MenuCase {
    const char* name;
    Args selection;
    std::string kind;
    unsigned count;
    Args items;
    std::vector<Invocation> invocations;
};

void PrintTo(const MenuCase& c, std::ostream* os) { *os << c.name; }

const std::vector<MenuCase>& MenuCases() {
    static const std::vector<MenuCase> cases = {
        {"Archive",
         {"/a/b.zip"},
         "archive",
         3,
         {"&Extrair para...", "Ex&trair para pasta /a/b", "&Transforma em Auto-Extrator (.EXE)"},
         {{"archive:0", {"ES", "/a/b.zip"}},
          {"archive:1", {"E", "/a/b.zip", "/a/b"}},
          {"archive:2", {"SFX", "/a/b.zip"}},
          {"archive:3", {}},
          {"single:0", {}},
          {"several:0", {}}}},
        {"TarGz",
         {"/a/b.tar.gz"},
         "archive",
         3,
         {"&Extrair para...", "Ex&trair para pasta /a/b", "&Transforma em Auto-Extrator (.EXE)"},
         {{"archive:1", {"E", "/a/b.tar.gz", "/a/b"}}}},
        {"SingleFile",
         {"/D/report.final.doc"},
         "single",
         2,
         {"C&ompactar para ZIP", "Comp&actar para report.zip"},
         {{"single:0", {"AS", "/D/report.final.doc"}},
          {"single:1", {"A", "/D/report.zip", "/D/report.final.doc"}},
          {"single:2", {}},
          {"archive:0", {}}}},
        {"DotName",
         {"/x/.profile"},
         "single",
         2,
         {"C&ompactar para ZIP"},
         {{"single:0", {"AS", "/x/.profile"}}, {"single:1", {}}}},
        {"FolderWithDot",
         {"/x/Photos.2001"},
         "single",
         2,
         {"C&ompactar para ZIP", "Comp&actar para Photos.zip"},
         {{"single:1", {"A", "/x/Photos.zip", "/x/Photos.2001"}}}},
        {"Lhz", {"/x/a.lhz"}, "archive", 3, {}, {}},
        {"Lzh", {"/x/a.lzh"}, "archive", 3, {}, {{"archive:0", {"ES", "/x/a.lzh"}}}},
        {"Zipx", {"/x/a.zipx"}, "archive", 3, {}, {}},
        {"Tgz", {"/x/a.tgz"}, "single", 2, {}, {}},
        {"UpperCase", {"/x/A.RAR"}, "archive", 3, {}, {}},
        {"Several",
         {"/p/a.zip", "/q/b.rar"},
         "several",
         1,
         {"C&ompactar para ZIP"},
         {{"several:0", {"ASQ", "<list>", "/p/"}}, {"several:1", {}}, {"archive:0", {}}, {"single:0", {}}}},
    };
    return cases;
}

class MenuTable : public ::testing::TestWithParam<MenuCase> {
protected:
    void SetUp() override {
        RunResult r = Host({"--register"});
        ASSERT_EQ(r.exitCode, 0) << r.output;
    }
    ShellEnvironment env;
};

TEST_P(MenuTable, MenuAndHelp) {
    const MenuCase& c = GetParam();
    Args args{"--menu"};
    args.insert(args.end(), c.selection.begin(), c.selection.end());
    RunResult r = Host(args);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> lines = Lines(r.output);
    EXPECT_EQ(lines.at(0), "initialize 0x00000000");
    EXPECT_EQ(lines.at(1), "count " + std::to_string(c.count));
    EXPECT_EQ(lines.at(2), "kind " + c.kind);
    if (!c.items.empty()) {
        std::vector<std::string> items;
        for (const std::string& l : lines)
            if (l.rfind("item ", 0) == 0) items.push_back(l);
        ASSERT_EQ(items.size(), c.items.size());
        for (size_t i = 0; i < items.size(); ++i)
            EXPECT_EQ(items[i], "item " + std::to_string(100 + i) + " " + c.items[i]);
    }
    std::vector<std::string> helps;
    for (const std::string& l : lines)
        if (l.rfind("help ", 0) == 0) helps.push_back(l);
    if (c.kind == "archive") {
        EXPECT_EQ(helps, (Args{"help 0 Seleciona uma pasta e extrai todos os arquivos.",
                               "help 1 Extrai todos os arquivos para a pasta atual.",
                               "help 2 Transforma este arquivo em um Zip Auto-Extrator (.EXE)."}));
    } else if (c.kind == "single") {
        EXPECT_EQ(helps, (Args{"help 0 Compacta os items selecionados para um arquivo ZIP.",
                               "help 1 Transforma o item selecionado em um arquivo ZIP."}));
    } else {
        EXPECT_EQ(helps, (Args{"help 0 Compacta os items selecionados para um arquivo ZIP."}));
    }
}

TEST_P(MenuTable, Commands) {
    const MenuCase& c = GetParam();
    const std::string program = BuildFolder() + "morvelan";
    for (const Invocation& inv : c.invocations) {
        SCOPED_TRACE(inv.action);
        fs::remove(env.record);
        for (const fs::path& f : env.ListFiles()) fs::remove(f);
        Args args{"--invoke", inv.action, "--"};
        args.insert(args.end(), c.selection.begin(), c.selection.end());
        RunResult r = Host(args);
        auto spawned = env.Spawned();
        if (inv.expected.empty()) {
            EXPECT_EQ(r.exitCode, 1) << r.output;
            EXPECT_NE(r.output.find("Esta ação não se aplica aos itens selecionados."), std::string::npos)
                << r.output;
            EXPECT_TRUE(spawned.empty());
            EXPECT_TRUE(env.ListFiles().empty());
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << r.output;
        ASSERT_EQ(spawned.size(), 1u);
        Args expected{program};
        expected.insert(expected.end(), inv.expected.begin(), inv.expected.end());
        if (inv.expected[1] == "<list>") {
            auto lists = env.ListFiles();
            ASSERT_EQ(lists.size(), 1u);
            expected[2] = lists[0].string();
            std::string name = lists[0].filename().string();
            EXPECT_EQ(name.substr(0, 9), "Morvelan-");
            EXPECT_EQ(name.size(), 19u);
            std::string bytes;
            for (const std::string& p : c.selection) bytes += p + "\r\n";
            auto data = ReadFileBytes(lists[0]);
            EXPECT_EQ(std::string(data.begin(), data.end()), bytes);
        }
        EXPECT_EQ(spawned[0], expected);
    }
}

// The selection names relative to the working folder, as Nautilus and Caja
// hand them over, reach the program as absolute paths.
TEST_F(MenuTable, RelativeNamesAreTakenInTheWorkingFolder) {
    TempDir cwd;
    RunResult r = mvtest::Run(Quote(ShellHostPath()) + " --invoke single:1 -- report.final.doc", cwd.Path());
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::string folder = cwd.Path().string() + "/";
    ASSERT_EQ(env.Spawned().size(), 1u);
    EXPECT_EQ(env.Spawned()[0],
              (Args{BuildFolder() + "morvelan", "A", folder + "report.zip", folder + "report.final.doc"}));
}

INSTANTIATE_TEST_SUITE_P(Selections, MenuTable, ::testing::ValuesIn(MenuCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The main program is really started: beside the registered library, with
// the argument vector and no shell in between.
TEST(ShellHostStart, StartsTheProgramBesideTheLibrary) {
    ShellEnvironment env;
    ScopedEnv noRecord(mv::shellext::SpawnRecordVariable, "");
    TempDir folder;
    fs::path program = folder / "morvelan";
    WriteFileText(program,
                  "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args.tmp\" && mv \"$0.args.tmp\" \"$0.args\"\n");
    fs::permissions(program, fs::perms::owner_all);
    {
        mv::platform::RegistryStore store;
        store.SetRootKey(mv::platform::TRootKey::HKEY_CLASSES_ROOT);
        ASSERT_TRUE(store.OpenKey("\\CLSID\\{7C3A91E2-4B58-4D0F-A6E3-19F25C84B0D7}\\InProcServer32", true));
        store.WriteString("", (folder / "libmvshell.so").string());
    }
    RunResult r = Host({"--invoke", "archive:1", "--", "/a/it's \"here\".zip"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    fs::path args = folder / "morvelan.args";
    // The program runs on its own; wait until it has written what it got.
    for (int i = 0; i < 600 && !fs::exists(args); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(args));
    auto data = ReadFileBytes(args);
    EXPECT_EQ(std::string(data.begin(), data.end()), "E\n/a/it's \"here\".zip\n/a/it's \"here\"\n");
}

// Without a program beside the library the user gets the message, and the
// list file written for it is taken away again.
TEST(ShellHostStart, MissingProgramShowsTheMessage) {
    ShellEnvironment env;
    ScopedEnv noRecord(mv::shellext::SpawnRecordVariable, "");
    TempDir folder;
    {
        mv::platform::RegistryStore store;
        store.SetRootKey(mv::platform::TRootKey::HKEY_CLASSES_ROOT);
        ASSERT_TRUE(store.OpenKey("\\CLSID\\{7C3A91E2-4B58-4D0F-A6E3-19F25C84B0D7}\\InProcServer32", true));
        store.WriteString("", (folder / "libmvshell.so").string());
    }
    RunResult r = Host({"--invoke", "several:0", "--", "/p/a", "/p/b"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("Erro: Não possível executar esta operação."), std::string::npos) << r.output;
    EXPECT_TRUE(env.ListFiles().empty());
}

} // namespace
