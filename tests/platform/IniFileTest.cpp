// The ini layer: private-profile reading rules, writes that keep what they do
// not touch, and a failed write that leaves the old file whole.
#include "platform/FakeFileSystem.h"
#include "platform/IniFile.h"
#include "platform/RegistryStore.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace mv::platform;
using mvtest::TempDir;

namespace {

std::string ReadText(const std::filesystem::path& p) {
    auto bytes = mvtest::ReadFileBytes(p);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TEST(IniFileTest, ReadsByPrivateProfileRules) {
    TempDir dir;
    mvtest::WriteFileText(dir / "a.ini", "; a comment\r\n"
                                          "[Configuracoes]\r\n"
                                          "  Sons = SIM  \r\n"
                                          "Largura Arvore=\"  210 \"\r\n"
                                          "Quoted='x'\r\n"
                                          "Half=\"x\r\n"
                                          "Hex=0x1F\r\n"
                                          "Neg=-12\r\n"
                                          "Bad=12a\r\n"
                                          "Empty=\r\n"
                                          "Eq=a=b\r\n"
                                          "[Other]\r\n"
                                          "Sons=NAO\r\n"
                                          "[configuracoes]\r\n"
                                          "Late=1\r\n");
    IniFile ini((dir / "a.ini").string());
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"Configuracoes", "Sons", "SIM"},   {"CONFIGURACOES", "sons", "SIM"},
        {"Configuracoes", "Largura Arvore", "  210 "},
        {"Configuracoes", "Quoted", "x"},   {"Configuracoes", "Half", "\"x"},
        {"Configuracoes", "Empty", ""},     {"Configuracoes", "Eq", "a=b"},
        {"Other", "Sons", "NAO"},           {"Configuracoes", "Missing", "dflt"},
        {"Missing", "Sons", "dflt"},        {"Configuracoes", "Late", "dflt"}, // first section wins
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ini.ReadString(c.section, c.key, "dflt"), c.expected);
    }
    EXPECT_EQ(ini.ReadInteger("Configuracoes", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("Configuracoes", "Neg", 0), -12);
    EXPECT_EQ(ini.ReadInteger("Configuracoes", "Bad", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Configuracoes", "Empty", 7), 7);
    EXPECT_TRUE(ini.ReadBool("Configuracoes", "Hex", false));
    EXPECT_TRUE(ini.SectionExists("OTHER"));
    EXPECT_FALSE(ini.SectionExists("Nothing"));
    EXPECT_TRUE(ini.ValueExists("configuracoes", "EMPTY"));
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Configuracoes", "Other"}));
    EXPECT_EQ(ini.ReadSection("Other"), (std::vector<std::string>{"Sons"}));
    EXPECT_EQ(ini.ReadSectionValues("Other"), (std::vector<std::string>{"Sons=NAO"}));
    EXPECT_EQ(ini.ReadString("x", "y", "none"), "none");
    IniFile missing((dir / "none.ini").string());
    EXPECT_EQ(missing.ReadString("a", "b", "d"), "d");
    EXPECT_TRUE(missing.ReadSections().empty());
}

TEST(IniFileTest, WritesKeepEverythingElse) {
    TempDir dir;
    auto path = dir / "b.ini";
    mvtest::WriteFileText(path, "; keep me\n[tbAcoes]\nLeft=1\n\n[Other]\nunknown line\nX=1\n");
    IniFile ini(path.string());
    ini.WriteString("tbacoes", "Top", "20");   // new key joins the section written with other case
    ini.WriteString("TBACOES", "left", "5");   // existing key replaced, found without case
    ini.WriteString("New Section", "Key", "v");
    ini.WriteInteger("Other", "N", -3);
    ini.WriteBool("Other", "B", true);
    EXPECT_EQ(ReadText(path), "; keep me\n[tbAcoes]\nleft=5\nTop=20\n\n[Other]\nunknown line\nX=1\nN=-3\nB=1\n\n"
                              "[New Section]\nKey=v\n");
    ini.DeleteKey("other", "x");
    ini.DeleteKey("other", "absent");
    ini.EraseSection("TBACOES");
    ini.EraseSection("absent");
    EXPECT_EQ(ReadText(path), "; keep me\n[Other]\nunknown line\nN=-3\nB=1\n\n[New Section]\nKey=v\n");
    EXPECT_THROW(ini.WriteString("S", "K", "two\nlines"), EIniFileException);
    EXPECT_THROW(ini.WriteString("S", "a=b", "v"), EIniFileException);
}

TEST(IniFileTest, CrLfFilesStayCrLfAndFoldersAreMade) {
    TempDir dir;
    auto path = dir / "c.ini";
    mvtest::WriteFileText(path, "[A]\r\nx=1\r\n");
    IniFile(path.string()).WriteString("A", "y", "2");
    EXPECT_EQ(ReadText(path), "[A]\r\nx=1\r\ny=2\r\n");
    auto deep = dir / "config" / "morvelan" / "morvelan.ini";
    IniFile(deep.string()).WriteString("Configuracoes", "Sons", "SIM");
    EXPECT_EQ(ReadText(deep), "[Configuracoes]\nSons=SIM\n");
}

TEST(IniFileTest, FailedWriteKeepsOldFileAndRaises) {
    TempDir dir;
    auto path = dir / "d.ini";
    const std::string before = "[A]\nx=1\n";
    mvtest::WriteFileText(path, before);
    for (int fault = 0; fault < 3; ++fault) {
        SCOPED_TRACE(fault);
        FakeFileSystem fake;
        if (fault == 0) fake.FailWritesAfter(0);
        if (fault == 1) fake.FailRenames(true);
        if (fault == 2) fake.FailFlushes(true);
        ScopedFileSystem scope(fake);
        IniFile ini(path.string());
        try {
            ini.WriteString("A", "y", std::string(100, 'z'));
            FAIL() << "no error raised";
        } catch (const EIniFileException& e) {
            EXPECT_NE(std::string(e.what()).find("Unable to write to"), std::string::npos);
        }
        EXPECT_EQ(ReadText(path), before);
        size_t files = 0;
        for (auto& e : std::filesystem::directory_iterator(dir.Path())) files += e.is_regular_file();
        EXPECT_EQ(files, 1u) << "a temporary file was left behind";
    }
}

TEST(RegistryStoreTest, TypedValuesKeysAndTree) {
    TempDir dir;
    auto path = dir / "registry.ini";
    RegistryStore reg(path.string());
    EXPECT_FALSE(reg.OpenKey("Software\\Morvelan\\MorvelanLastFiles\\HistMenu", false));
    ASSERT_TRUE(reg.OpenKey("\\Software\\Morvelan\\MorvelanLastFiles\\HistMenu", true));
    reg.WriteString("C0", "  /home/u/a b.zip ");
    reg.WriteInteger("T0", -5);
    reg.WriteBinaryData("B", {0x00, 0xAB, 0x10});
    reg.WriteString("", "default");
    reg.WriteString("Q", "\"quoted\"");
    EXPECT_EQ(reg.ReadString("C0"), "  /home/u/a b.zip ");
    EXPECT_EQ(reg.ReadInteger("T0"), -5);
    EXPECT_EQ(reg.ReadBinaryData("B"), (std::vector<uint8_t>{0x00, 0xAB, 0x10}));
    EXPECT_EQ(reg.ReadString(""), "default");
    EXPECT_EQ(reg.ReadString("Q"), "\"quoted\"");
    EXPECT_EQ(reg.ReadString("missing"), "");
    EXPECT_EQ(reg.GetDataType("T0"), TRegDataType::rdInteger);
    EXPECT_EQ(reg.GetDataType("missing"), TRegDataType::rdUnknown);
    // A history entry without its integer, or with text where a number belongs:
    // the read fails with the familiar texts, and the caller can survive it.
    try {
        reg.ReadInteger("T1");
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Failed to get data for 'T1'");
    }
    try {
        reg.ReadInteger("C0");
        FAIL();
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'C0'");
    }
    EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"C0", "T0", "B", "", "Q"}));
    EXPECT_TRUE(reg.DeleteValue("B"));
    EXPECT_FALSE(reg.DeleteValue("B"));
    reg.CloseKey();

    ASSERT_TRUE(reg.OpenKey("Software\\Morvelan\\Colunas", true));
    reg.WriteString("Columns", "1,2,3");
    reg.CloseKey();
    // Another instance sees the same store; names compare without case.
    RegistryStore other(path.string());
    ASSERT_TRUE(other.OpenKey("software\\MORVELAN", false));
    EXPECT_EQ(other.GetKeyNames(), (std::vector<std::string>{"MorvelanLastFiles", "Colunas"}));
    EXPECT_TRUE(other.KeyExists("Colunas"));
    EXPECT_TRUE(other.OpenKey("Colunas", false)); // relative to the open key
    EXPECT_EQ(other.ReadString("columns"), "1,2,3");
    other.CloseKey();

    // Another root keeps its own keys.
    other.SetRootKey(TRootKey::HKEY_CLASSES_ROOT);
    EXPECT_FALSE(other.KeyExists("Software\\Morvelan"));
    ASSERT_TRUE(other.OpenKey("Morvelan.zip\\shell\\open\\command", true));
    other.WriteString("", "/usr/bin/morvelan \"%1\"");
    other.CloseKey();
    other.SetRootKey(TRootKey::HKEY_CURRENT_USER);

    EXPECT_TRUE(other.DeleteKey("\\Software\\Morvelan"));
    EXPECT_FALSE(other.KeyExists("Software\\Morvelan\\Colunas"));
    EXPECT_FALSE(other.DeleteKey("Software\\Morvelan"));
    other.SetRootKey(TRootKey::HKEY_CLASSES_ROOT);
    EXPECT_TRUE(other.KeyExists("morvelan.ZIP\\shell"));
}

TEST(RegistryStoreTest, DefaultFileFollowsXdgConfigHome) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/tmp/cfg-test", 1);
    EXPECT_EQ(RegistryStore::DefaultFileName(), "/tmp/cfg-test/morvelan/registry.ini");
    setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored, as the XDG rules say
    setenv("HOME", std::getenv("HOME") ? std::getenv("HOME") : "/root", 1);
    EXPECT_EQ(RegistryStore::DefaultFileName(), std::string(std::getenv("HOME")) + "/.config/morvelan/registry.ini");
    if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
}
