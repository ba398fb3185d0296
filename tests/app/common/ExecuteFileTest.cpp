// Starting programs and opening files with the default application, against a fixture
// of default applications in temporary XDG folders.
#include "app/common/ExecuteFile.h"
#include "platform/desktop/ShellExecute.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <list>
#include <sys/stat.h>
#include <thread>

namespace mv {
namespace {

namespace fs = std::filesystem;

class EnvScope {
public:
    EnvScope(const char* name, const std::string& value) : FName(name) {
        if (const char* old = std::getenv(name)) FOld = old, FHad = true;
        setenv(name, value.c_str(), 1);
    }
    ~EnvScope() {
        if (FHad)
            setenv(FName, FOld.c_str(), 1);
        else
            unsetenv(FName);
    }

private:
    const char* FName;
    std::string FOld;
    bool FHad = false;
};

std::string WaitForFile(const fs::path& p) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(p) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!fs::exists(p)) return "<nothing handed over>";
    const auto bytes = mvtest::ReadFileBytes(p);
    return std::string(bytes.begin(), bytes.end());
}

class ExecuteFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = tmp.Path();
        fs::create_directories(root / "config");
        fs::create_directories(root / "data/applications");
        fs::create_directories(root / "sys");
        // The recorder writes its first argument where the test can read it.
        recorder = root / "recorder.sh";
        mvtest::WriteFileText(recorder, "#!/bin/sh\nprintf '%s' \"$1\" > \"" +
                                            (root / "handed.part").string() + "\"\nmv \"" +
                                            (root / "handed.part").string() + "\" \"" +
                                            (root / "handed.txt").string() + "\"\n");
        chmod(recorder.c_str(), 0755);
        mvtest::WriteFileText(root / "data/applications/recorder.desktop",
                              "[Desktop Entry]\nType=Application\nName=Recorder\nExec=\"" +
                                  recorder.string() + "\" %f\nMimeType=text/x-never-used;\n");
        mvtest::WriteFileText(root / "config/mimeapps.list",
                              "[Default Applications]\ntext/plain=missing.desktop;recorder.desktop\n");
        env.emplace_back("XDG_CONFIG_HOME", (root / "config").string());
        env.emplace_back("XDG_CONFIG_DIRS", (root / "no-config").string());
        env.emplace_back("XDG_DATA_HOME", (root / "data").string());
        env.emplace_back("XDG_DATA_DIRS", (root / "sys").string() + ":/usr/share");
    }
    std::string Handed() {
        const std::string text = WaitForFile(root / "handed.txt");
        fs::remove(root / "handed.txt");
        return text;
    }
    mvtest::TempDir tmp;
    fs::path root, recorder;
    std::list<EnvScope> env;
};

TEST_F(ExecuteFileTest, OpensWithTheDefaultApplicationHandingTheExactPath) {
    const fs::path note = root / "nota fiscal 'março'.txt";
    mvtest::WriteFileText(note, "texto simples\n");
    EXPECT_EQ(MimeTypeOfPath(note.string()), "text/plain");
    EXPECT_EQ(DefaultApplicationEntry("text/plain"), (root / "data/applications/recorder.desktop").string());
    const int code = ExecuteFile(note.string(), "", "", swShowNormal);
    EXPECT_GT(code, 32);
    EXPECT_EQ(Handed(), note.string());
    // A relative name counts from the folder given.
    EXPECT_GT(ExecuteFile(note.filename().string(), "", root.string(), swShowNormal), 32);
    EXPECT_EQ(Handed(), note.string());
}

TEST_F(ExecuteFileTest, LongPathsAreNotCut) {
    fs::path dir = root;
    while (dir.string().size() < 300) dir /= "pasta com um nome bem comprido";
    fs::create_directories(dir);
    const fs::path note = dir / "leia-me.txt";
    mvtest::WriteFileText(note, "x\n");
    ASSERT_GT(note.string().size(), 256u);
    EXPECT_GT(ExecuteFile(note.string(), "", "", swShowNormal), 32);
    EXPECT_EQ(Handed(), note.string());
}

TEST_F(ExecuteFileTest, ProgramsStartWithTheirParameters) {
    EXPECT_GT(ExecuteFile(recorder.string(), "\"dois termos\" terceiro", root.string(), swShow), 32);
    EXPECT_EQ(Handed(), "dois termos");
    EXPECT_EQ(SplitParameters("a \"b c\"  d\"\""), (std::vector<std::string>{"a", "b c", "d"}));
}

TEST_F(ExecuteFileTest, FailuresGiveTheShellsCodes) {
    const fs::path unknown = root / "dados.mvsemassociacao";
    mvtest::WriteFileBytes(unknown, mvtest::RandomBytes(64, 5));
    EXPECT_EQ(ExecuteFile(unknown.string(), "", "", swShowNormal), seNoAssociation);
    EXPECT_EQ(ExecuteFile((root / "nao-existe.txt").string(), "", "", swShowNormal), seFileNotFound);
    EXPECT_EQ(ExecuteFile((root / "sem-pasta/nao-existe.txt").string(), "", "", swShowNormal),
              sePathNotFound);
    EXPECT_EQ(ExecuteFile("", "", "", swShowNormal), seFileNotFound);
    EXPECT_FALSE(fs::exists(root / "handed.txt"));
}

TEST(DesktopEntry, ExecLineFieldCodes) {
    mvtest::TempDir tmp;
    const fs::path entry = tmp / "viewer.desktop";
    mvtest::WriteFileText(entry, "[Desktop Entry]\nName=Viewer\nExec=viewer --title=%c \"--x=a b\" %i %U\n");
    EXPECT_EQ(DesktopEntryCommand(entry.string(), "/tmp/a b.txt"),
              (std::vector<std::string>{"viewer", "--title=Viewer", "--x=a b", "/tmp/a b.txt"}));
    mvtest::WriteFileText(entry, "[Desktop Entry]\nExec=viewer --flag\n");
    EXPECT_EQ(DesktopEntryCommand(entry.string(), "/f"),
              (std::vector<std::string>{"viewer", "--flag", "/f"}));
}

} // namespace
} // namespace mv
