// The file managers' action files in a temporary home: what an install
// writes, that repeating it changes nothing, that removal keeps other
// programs' Thunar actions, that the files pass the desktop-entry validator
// and the XML checker, and that every action reaches the host with the
// argument vector of its menu command.
#include "shellext/FileManagerActions.h"
#include "ShellTestSupport.h"
#include "platform/RegistryStore.h"
#include "shellext/ContextMenuRegistration.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sys/stat.h>

namespace {

using namespace mvtest;
using mv::shellext::TActionFolders;
using Args = std::vector<std::string>;

// Every file under a folder with its mode, modification time and bytes.
struct Snapshot {
    struct Entry {
        unsigned mode = 0;
        int64_t mtimeNs = 0;
        std::string bytes;
        bool operator==(const Entry&) const = default;
    };
    std::map<std::string, Entry> files;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const fs::path& root) {
    Snapshot s;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_regular_file()) continue;
        struct stat st {};
        ::stat(e.path().c_str(), &st);
        auto bytes = ReadFileBytes(e.path());
        s.files[fs::relative(e.path(), root).string()] = {
            static_cast<unsigned>(st.st_mode & 07777),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            std::string(bytes.begin(), bytes.end())};
    }
    return s;
}

const char* const ForeignUca = R"(<?xml version="1.0" encoding="UTF-8"?>
<actions>
<action>
	<icon>utilities-terminal</icon>
	<name>Open Terminal Here</name>
	<unique-id>1234567890-1</unique-id>
	<command>exo-open --working-directory %f --launch TerminalEmulator</command>
	<description>Example for a custom action</description>
	<patterns>*</patterns>
	<startup-notify/>
	<directories/>
</action>
</actions>
)";

class FileManagerActions : public ::testing::Test {
protected:
    FileManagerActions() {
        folders.DataHome = (home / ".local/share").string();
        folders.ConfigHome = (home / ".config").string();
    }
    std::string Host() const { return BuildFolder() + "mvshell-host"; }
    fs::path Uca() const { return home / ".config/Thunar/uca.xml"; }

    ShellEnvironment env;
    TempDir home;
    TActionFolders folders;
};

const std::set<std::string> ExpectedFiles = {
    ".local/share/kio/servicemenus/morvelan-extract.desktop",
    ".local/share/kio/servicemenus/morvelan-compress.desktop",
    ".local/share/kio/servicemenus/morvelan-compress-several.desktop",
    ".local/share/kservices5/ServiceMenus/morvelan-extract.desktop",
    ".local/share/kservices5/ServiceMenus/morvelan-compress.desktop",
    ".local/share/kservices5/ServiceMenus/morvelan-compress-several.desktop",
    ".local/share/nautilus/scripts/Morvelan/Extrair para...",
    ".local/share/nautilus/scripts/Morvelan/Extrair para pasta (nome do arquivo)",
    ".local/share/nautilus/scripts/Morvelan/Transforma em Auto-Extrator (.EXE)",
    ".local/share/nautilus/scripts/Morvelan/Compactar para ZIP",
    ".local/share/nautilus/scripts/Morvelan/Compactar para ZIP (nome do item)",
    ".config/caja/scripts/Morvelan/Extrair para...",
    ".config/caja/scripts/Morvelan/Extrair para pasta (nome do arquivo)",
    ".config/caja/scripts/Morvelan/Transforma em Auto-Extrator (.EXE)",
    ".config/caja/scripts/Morvelan/Compactar para ZIP",
    ".config/caja/scripts/Morvelan/Compactar para ZIP (nome do item)",
    ".local/share/nemo/actions/morvelan-archive-0.nemo_action",
    ".local/share/nemo/actions/morvelan-archive-1.nemo_action",
    ".local/share/nemo/actions/morvelan-archive-2.nemo_action",
    ".local/share/nemo/actions/morvelan-single-0.nemo_action",
    ".local/share/nemo/actions/morvelan-single-1.nemo_action",
    ".local/share/nemo/actions/morvelan-several-0.nemo_action",
    ".config/Thunar/uca.xml",
};

TEST_F(FileManagerActions, InstallWritesExactlyTheListedFiles) {
    mv::shellext::InstallFileManagerActions(folders, Host());
    Snapshot s = Take(home.Path());
    std::set<std::string> names;
    for (const auto& [name, entry] : s.files) names.insert(name);
    EXPECT_EQ(names, ExpectedFiles);
    for (const auto& [name, entry] : s.files) {
        SCOPED_TRACE(name);
        bool executable =
            name.find("/scripts/") != std::string::npos || name.find(".desktop") != std::string::npos;
        EXPECT_EQ(entry.mode, executable ? 0755u : 0644u);
    }
    EXPECT_EQ(s.files[".local/share/nautilus/scripts/Morvelan/Extrair para..."].bytes,
              "#!/bin/sh\n# Morvelan: Seleciona uma pasta e extrai todos os arquivos.\nexec '" + Host() +
                  "' --invoke archive:0 -- \"$@\"\n");
}

TEST_F(FileManagerActions, SecondInstallChangesNothing) {
    fs::create_directories(Uca().parent_path());
    WriteFileText(Uca(), ForeignUca);
    mv::shellext::InstallFileManagerActions(folders, Host());
    Snapshot first = Take(home.Path());
    mv::shellext::InstallFileManagerActions(folders, Host());
    EXPECT_TRUE(Take(home.Path()) == first);

    // A changed file of ours is put right, its mode too.
    fs::path script = home / ".config/caja/scripts/Morvelan/Compactar para ZIP";
    WriteFileText(script, "changed");
    fs::permissions(script, fs::perms::owner_read | fs::perms::owner_write);
    mv::shellext::InstallFileManagerActions(folders, Host());
    Snapshot again = Take(home.Path());
    EXPECT_EQ(again.files.at(fs::relative(script, home.Path()).string()).bytes,
              first.files.at(fs::relative(script, home.Path()).string()).bytes);
    EXPECT_EQ(again.files.at(fs::relative(script, home.Path()).string()).mode, 0755u);
}

TEST_F(FileManagerActions, RemovalKeepsForeignThunarActions) {
    fs::create_directories(Uca().parent_path());
    WriteFileText(Uca(), ForeignUca);
    mv::shellext::InstallFileManagerActions(folders, Host());
    auto installed = ReadFileBytes(Uca());
    std::string text(installed.begin(), installed.end());
    EXPECT_NE(text.find("<unique-id>1234567890-1</unique-id>"), std::string::npos);
    EXPECT_NE(text.find("<unique-id>morvelan-archive-0</unique-id>"), std::string::npos);

    mv::shellext::RemoveFileManagerActions(folders);
    auto left = ReadFileBytes(Uca());
    EXPECT_EQ(std::string(left.begin(), left.end()), ForeignUca);
    Snapshot s = Take(home.Path());
    EXPECT_EQ(s.files.size(), 1u);
    EXPECT_FALSE(fs::exists(home / ".local/share/nautilus/scripts/Morvelan"));
    EXPECT_FALSE(fs::exists(home / ".config/caja/scripts/Morvelan"));

    mv::shellext::RemoveFileManagerActions(folders); // twice is once
    EXPECT_TRUE(Take(home.Path()) == s);
}

TEST_F(FileManagerActions, RemovalOfOurOwnThunarFile) {
    mv::shellext::InstallFileManagerActions(folders, Host());
    mv::shellext::RemoveFileManagerActions(folders);
    EXPECT_TRUE(Take(home.Path()).files.empty());
}

TEST_F(FileManagerActions, ThunarFileWithoutActionsElementIsLeftAlone) {
    fs::create_directories(Uca().parent_path());
    WriteFileText(Uca(), "not xml at all\n");
    mv::shellext::InstallFileManagerActions(folders, Host());
    auto bytes = ReadFileBytes(Uca());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "not xml at all\n");
}

TEST_F(FileManagerActions, ValidatorsAcceptTheFiles) {
    ASSERT_TRUE(HaveTool("desktop-file-validate"));
    ASSERT_TRUE(HaveTool("xmllint"));
    fs::create_directories(Uca().parent_path());
    WriteFileText(Uca(), ForeignUca);
    mv::shellext::InstallFileManagerActions(folders, Host());
    int desktopFiles = 0;
    for (const std::string& name : ExpectedFiles) {
        if (name.find(".desktop") == std::string::npos) continue;
        SCOPED_TRACE(name);
        ++desktopFiles;
        RunResult r = mvtest::Run("desktop-file-validate " + Quote((home / name).string()));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_EQ(r.output, "");
    }
    EXPECT_EQ(desktopFiles, 6);
    RunResult r = mvtest::Run("xmllint --noout " + Quote(Uca().string()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    r = mvtest::Run("xmllint --xpath 'count(//action)' " + Quote(Uca().string()));
    EXPECT_EQ(r.output, "6\n"); // ours and the foreign one
}

// --- Every action run as its file manager would run it ---

// The Exec value of a desktop-style action, split at blanks; the program is
// in double quotes and %F stands for the selection.
Args ExecWords(const std::string& exec, const Args& selection) {
    Args words;
    size_t pos = 0;
    while (pos < exec.size()) {
        if (exec[pos] == ' ') {
            ++pos;
            continue;
        }
        std::string word;
        if (exec[pos] == '"') {
            size_t end = exec.find('"', pos + 1);
            word = exec.substr(pos + 1, end - pos - 1);
            pos = end + 1;
        } else {
            size_t end = exec.find(' ', pos);
            if (end == std::string::npos) end = exec.size();
            word = exec.substr(pos, end - pos);
            pos = end;
        }
        if (word == "%F")
            words.insert(words.end(), selection.begin(), selection.end());
        else
            words.push_back(word);
    }
    return words;
}

// The Exec values of a key file, by group name.
std::map<std::string, std::string> ExecValues(const fs::path& file) {
    std::map<std::string, std::string> values;
    auto bytes = ReadFileBytes(file);
    std::string text(bytes.begin(), bytes.end()), group;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line[0] == '[')
            group = line.substr(1, line.size() - 2);
        else if (line.rfind("Exec=", 0) == 0)
            values[group] = line.substr(5);
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return values;
}

struct ActionCase {
    std::string kind;
    Args selection;
    Args expected; // after the program
};

std::map<std::string, ActionCase> ActionCases() {
    return {
        {"archive:0", {"archive:0", {"/a/b.zip"}, {"ES", "/a/b.zip"}}},
        {"archive:1", {"archive:1", {"/a/b.tar.gz"}, {"E", "/a/b.tar.gz", "/a/b"}}},
        {"archive:2", {"archive:2", {"/a/b.zip"}, {"SFX", "/a/b.zip"}}},
        {"single:0", {"single:0", {"/D/report.final.doc"}, {"AS", "/D/report.final.doc"}}},
        {"single:1", {"single:1", {"/D/report.final.doc"}, {"A", "/D/report.zip", "/D/report.final.doc"}}},
        {"several:0", {"several:0", {"/p/a.zip", "/q/b.rar"}, {"ASQ", "<list>", "/p/"}}},
    };
}

class ActionRuns : public FileManagerActions {
protected:
    void SetUp() override {
        RunResult r = mvtest::Run(Quote(Host()) + " --register");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        mv::shellext::InstallFileManagerActions(folders, Host());
    }
    // Runs a command line through the shell and checks the one recorded start.
    void Expect(const std::string& commandLine, const ActionCase& c) {
        SCOPED_TRACE(commandLine);
        fs::remove(env.record);
        RunResult r = mvtest::Run(commandLine);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        auto spawned = env.Spawned();
        ASSERT_EQ(spawned.size(), 1u);
        Args expected{BuildFolder() + "morvelan"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        if (c.expected[1] == "<list>") {
            ASSERT_GE(spawned[0].size(), 3u);
            auto data = ReadFileBytes(spawned[0][2]);
            EXPECT_EQ(std::string(data.begin(), data.end()), "/p/a.zip\r\n/q/b.rar\r\n");
            expected[2] = spawned[0][2];
        }
        EXPECT_EQ(spawned[0], expected);
    }
    static std::string Line(const Args& words) {
        std::string line;
        for (const std::string& w : words) line += (line.empty() ? "" : " ") + Quote(w);
        return line;
    }
};

TEST_F(ActionRuns, DolphinAndNemo) {
    auto cases = ActionCases();
    int runs = 0;
    for (const char* dir : {".local/share/kio/servicemenus", ".local/share/kservices5/ServiceMenus",
                            ".local/share/nemo/actions"}) {
        for (const auto& e : fs::directory_iterator(home / dir)) {
            for (const auto& [group, exec] : ExecValues(e.path())) {
                size_t at = exec.find("--invoke ");
                if (at == std::string::npos) continue; // the entry's own line
                std::string kind = exec.substr(at + 9, exec.find(' ', at + 9) - at - 9);
                SCOPED_TRACE(e.path().string() + " " + group);
                ASSERT_TRUE(cases.count(kind));
                Expect(Line(ExecWords(exec, cases[kind].selection)), cases[kind]);
                ++runs;
            }
        }
    }
    EXPECT_EQ(runs, 18); // six actions for each of KDE 6, KDE 5 and Nemo
}

TEST_F(ActionRuns, NautilusAndCajaScripts) {
    auto cases = ActionCases();
    const std::map<std::string, Args> scripts = {
        {"Extrair para...", {"archive:0"}},
        {"Extrair para pasta (nome do arquivo)", {"archive:1"}},
        {"Transforma em Auto-Extrator (.EXE)", {"archive:2"}},
        {"Compactar para ZIP", {"single:0", "several:0"}},
        {"Compactar para ZIP (nome do item)", {"single:1"}},
    };
    for (const char* dir : {".local/share/nautilus/scripts/Morvelan", ".config/caja/scripts/Morvelan"})
        for (const auto& [name, kinds] : scripts)
            for (const std::string& kind : kinds) {
                Args words{(home / dir / name).string()};
                words.insert(words.end(), cases[kind].selection.begin(), cases[kind].selection.end());
                Expect(Line(words), cases[kind]);
            }
}

TEST_F(ActionRuns, ThunarCommands) {
    auto cases = ActionCases();
    auto bytes = ReadFileBytes(Uca());
    std::string text(bytes.begin(), bytes.end());
    const std::map<std::string, Args> ids = {
        {"morvelan-archive-0", {"archive:0"}}, {"morvelan-archive-1", {"archive:1"}},
        {"morvelan-archive-2", {"archive:2"}}, {"morvelan-compress-0", {"single:0", "several:0"}},
        {"morvelan-single-1", {"single:1"}},
    };
    for (const auto& [id, kinds] : ids) {
        size_t at = text.find("<unique-id>" + id + "</unique-id>");
        ASSERT_NE(at, std::string::npos) << id;
        size_t from = text.find("<command>", at) + 9;
        std::string command = text.substr(from, text.find("</command>", from) - from);
        for (const auto& [entity, c] : std::map<std::string, std::string>{
                 {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}})
            for (size_t p; (p = command.find(entity)) != std::string::npos;)
                command.replace(p, entity.size(), c);
        for (const std::string& kind : kinds) {
            std::string line = command;
            line.replace(line.find("%F"), 2, Line(cases[kind].selection));
            Expect(line, cases[kind]);
        }
    }
}

// The program's registration writes the handler keys and the action files
// together, and takes both away again.
TEST_F(FileManagerActions, RegisterContextMenuHandlerRoundTrip) {
    mv::shellext::RegisterContextMenuHandler(true, "/opt/morvelan", folders);
    mv::platform::RegistryStore store;
    store.SetRootKey(mv::platform::TRootKey::HKEY_CLASSES_ROOT);
    ASSERT_TRUE(store.OpenKeyReadOnly("\\CLSID\\{7C3A91E2-4B58-4D0F-A6E3-19F25C84B0D7}"));
    EXPECT_EQ(store.ReadString(""), "Morvelan Context Menu");
    ASSERT_TRUE(store.OpenKeyReadOnly("\\CLSID\\{7C3A91E2-4B58-4D0F-A6E3-19F25C84B0D7}\\InProcServer32"));
    EXPECT_EQ(store.ReadString(""), "/opt/morvelan/libmvshell.so");
    EXPECT_EQ(store.ReadString("ThreadingModel"), "Apartment");
    for (const char* key :
         {"\\*\\shellex\\ContextMenuHandlers\\Morvelan", "\\Folder\\shellex\\ContextMenuHandlers\\Morvelan",
          "\\Directory\\shellex\\ContextMenuHandlers\\Morvelan"}) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(store.OpenKeyReadOnly(key));
        EXPECT_EQ(store.ReadString(""), "{7C3A91E2-4B58-4D0F-A6E3-19F25C84B0D7}");
    }
    auto script = ReadFileBytes(home / ".local/share/nautilus/scripts/Morvelan/Extrair para...");
    EXPECT_NE(std::string(script.begin(), script.end())
                  .find("exec '/opt/morvelan/mvshell-host' --invoke archive:0"),
              std::string::npos);
    Snapshot first = Take(home.Path());
    mv::shellext::RegisterContextMenuHandler(true, "/opt/morvelan/", folders);
    EXPECT_TRUE(Take(home.Path()) == first);

    mv::shellext::RegisterContextMenuHandler(false, "/opt/morvelan", folders);
    EXPECT_FALSE(store.KeyExists("\\CLSID\\{7C3A91E2-4B58-4D0F-A6E3-19F25C84B0D7}"));
    EXPECT_FALSE(store.KeyExists("\\*\\shellex\\ContextMenuHandlers\\Morvelan"));
    EXPECT_FALSE(store.KeyExists("\\Folder\\shellex\\ContextMenuHandlers\\Morvelan"));
    EXPECT_FALSE(store.KeyExists("\\Directory\\shellex\\ContextMenuHandlers\\Morvelan"));
    EXPECT_TRUE(Take(home.Path()).files.empty());
}

// The files go where the desktop looks for them: the data and configuration
// folders of the XDG variables, under $HOME when those are unset.
TEST_F(FileManagerActions, DefaultFoldersFollowTheEnvironment) {
    ScopedEnv homeEnv("HOME", home.Path().string());
    ScopedEnv noData("XDG_DATA_HOME", nullptr);
    TActionFolders f = mv::shellext::DefaultActionFolders();
    EXPECT_EQ(f.DataHome, (home / ".local/share").string());
    EXPECT_EQ(f.ConfigHome, env.config.string());
    {
        ScopedEnv noConfig("XDG_CONFIG_HOME", "relative/is/ignored");
        EXPECT_EQ(mv::shellext::DefaultActionFolders().ConfigHome, (home / ".config").string());
    }
    mv::shellext::RegisterContextMenuHandler(true, BuildFolder());
    EXPECT_TRUE(fs::exists(home / ".local/share/kio/servicemenus/morvelan-extract.desktop"));
    EXPECT_TRUE(fs::exists(env.config / "Thunar/uca.xml"));
    mv::shellext::RegisterContextMenuHandler(false, BuildFolder());
    EXPECT_FALSE(fs::exists(home / ".local/share/kio/servicemenus/morvelan-extract.desktop"));
    EXPECT_FALSE(fs::exists(env.config / "Thunar/uca.xml"));
}

} // namespace
