// The library loaded in this process, driven through its entry points as a
// host does: its exports, the server's life cycle, registration, the help
// texts within the caller's buffer, the error codes, and selections of any
// size and length.
#include "ShellTestSupport.h"
#include "platform/RegistryStore.h"
#include "shellext/host/ShellHost.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <sstream>

namespace {

using namespace mvtest;
using namespace mv::com;
using mv::shellext::TDropDataObject;
using mv::shellext::TMenuSession;
using mv::shellext::TMessageWindow;
using mv::shellext::TRecordingMenu;
using mv::shellext::TShellLibrary;
using Args = std::vector<std::string>;

const char* const ServerKey = "\\CLSID\\{7C3A91E2-4B58-4D0F-A6E3-19F25C84B0D7}\\InProcServer32";

class ShellLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(library.Load(ShellLibraryPath(), error)) << error;
        ASSERT_TRUE(session.Create(error)) << error;
    }
    // Gives the handler a selection and asks for its menu.
    HRESULT Select(const Args& paths) {
        TDropDataObject data(paths);
        HRESULT hr = session.Initialize(&data);
        if (Failed(hr)) return hr;
        return session.QueryMenu();
    }

    ShellEnvironment env;
    TShellLibrary library;
    TMenuSession session{library};
};

TEST(ShellLibraryExports, ExactlyTheFourEntryPoints) {
    ASSERT_TRUE(HaveTool("nm"));
    RunResult r = mvtest::Run("nm -D --defined-only " + Quote(ShellLibraryPath()));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::set<std::string> names;
    std::istringstream lines(r.output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        if (!name.empty()) names.insert(name);
    }
    EXPECT_EQ(names, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                            "DllUnregisterServer"}))
        << r.output;
}

TEST_F(ShellLibrary, UnloadFollowsObjectsAndLocks) {
    session.Release();
    EXPECT_EQ(library.CanUnloadNow(), S_OK);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(library.GetClassObject(CLSID_MorvelanContextMenu, IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)),
              S_OK);
    IContextMenu* menu = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
    IShellExtInit* init = nullptr;
    ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
    menu->Release();
    EXPECT_EQ(library.CanUnloadNow(), S_FALSE); // the second interface still holds the object
    init->Release();
    EXPECT_EQ(library.CanUnloadNow(), S_OK);

    EXPECT_EQ(factory->LockServer(1), S_OK);
    EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(0), S_OK);
    EXPECT_EQ(library.CanUnloadNow(), S_OK);

    void* none = &factory;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(&factory), IID_IContextMenu, &none),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDataObject, &none), E_NOINTERFACE);
    EXPECT_EQ(library.CanUnloadNow(), S_OK);
    factory->Release();

    CLSID other = CLSID_MorvelanContextMenu;
    other.Data1 ^= 1;
    EXPECT_EQ(library.GetClassObject(other, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(library.GetClassObject(CLSID_MorvelanContextMenu, IID_IContextMenu, &none), E_NOINTERFACE);
}

TEST_F(ShellLibrary, RegistrationRoundTrip) {
    mv::platform::RegistryStore store;
    store.OpenKey("\\Software\\Morvelan\\Colunas", true);
    store.WriteString("Keep", "me");
    store.SetRootKey(mv::platform::TRootKey::HKEY_CLASSES_ROOT);

    ASSERT_EQ(library.RegisterServer(), S_OK);
    char resolved[PATH_MAX];
    ASSERT_NE(::realpath(ShellLibraryPath().c_str(), resolved), nullptr);
    ASSERT_TRUE(store.OpenKeyReadOnly("\\CLSID\\{7C3A91E2-4B58-4D0F-A6E3-19F25C84B0D7}"));
    EXPECT_EQ(store.ReadString(""), "Morvelan Context Menu");
    EXPECT_EQ(store.GetKeyNames(), (Args{"InprocServer32"}));
    ASSERT_TRUE(store.OpenKeyReadOnly(ServerKey)); // the names compare without case
    EXPECT_EQ(store.ReadString(""), resolved);
    EXPECT_EQ(store.GetValueNames(), (Args{""})); // no threading model from the library itself
    EXPECT_EQ(session.Menu() != nullptr, true);
    EXPECT_EQ(mv::shellext::TMenuSession::FirstId, 100u);

    ASSERT_EQ(library.RegisterServer(), S_OK); // twice is once
    ASSERT_EQ(library.UnregisterServer(), S_OK);
    EXPECT_FALSE(store.KeyExists("\\CLSID\\{7C3A91E2-4B58-4D0F-A6E3-19F25C84B0D7}"));
    EXPECT_FALSE(store.KeyExists(ServerKey));
    store.SetRootKey(mv::platform::TRootKey::HKEY_CURRENT_USER);
    ASSERT_TRUE(store.OpenKeyReadOnly("\\Software\\Morvelan\\Colunas"));
    EXPECT_EQ(store.ReadString("Keep"), "me");
    EXPECT_EQ(library.UnregisterServer(), S_OK); // nothing left to remove is no error
}

TEST_F(ShellLibrary, HelpTextsOnlyAsAnsiHelp) {
    ASSERT_EQ(Select({"/a/b.zip"}), MakeSuccess(3));
    std::string text;
    for (UINT type : {GCS_VERBA, GCS_VALIDATEA, GCS_VERBW, GCS_HELPTEXTW, GCS_VALIDATEW, 3u, 7u}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(session.HelpText(0, text, type), E_INVALIDARG);
    }
    EXPECT_EQ(session.HelpText(3, text), E_INVALIDARG);
    EXPECT_EQ(session.HelpText(2, text), S_OK);
    EXPECT_EQ(text, "Transforma este arquivo em um Zip Auto-Extrator (.EXE).");

    // Several items read the compress rows, offset 1 included.
    ASSERT_EQ(Select({"/a/b.zip", "/a/c.zip"}), MakeSuccess(1));
    EXPECT_EQ(session.HelpText(1, text), S_OK);
    EXPECT_EQ(text, "Transforma o item selecionado em um arquivo ZIP.");
    EXPECT_EQ(session.HelpText(2, text), E_INVALIDARG);
}

TEST_F(ShellLibrary, HelpTextNeverPassesTheBuffer) {
    ASSERT_EQ(Select({"/a/b.zip"}), MakeSuccess(3));
    const std::string longest = "Transforma este arquivo em um Zip Auto-Extrator (.EXE).";
    ASSERT_EQ(longest.size(), 55u);
    struct Case {
        UINT size;
        HRESULT result;
        std::string text;
    };
    const Case cases[] = {{0, E_INVALIDARG, ""},   {1, S_OK, ""},
                          {10, S_OK, "Transform"}, {55, S_OK, longest.substr(0, 54)},
                          {56, S_OK, longest},     {200, S_OK, longest}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        std::vector<char> buffer(c.size + 32, '\x5A');
        char* start = buffer.data() + 16;
        HRESULT hr = session.Menu()->GetCommandString(2, GCS_HELPTEXTA, nullptr, start, c.size);
        EXPECT_EQ(hr, c.result);
        for (size_t i = 0; i < 16; ++i) EXPECT_EQ(buffer[i], '\x5A') << "guard before, byte " << i;
        for (size_t i = 16 + c.size; i < buffer.size(); ++i)
            EXPECT_EQ(buffer[i], '\x5A') << "guard after " << i;
        if (hr == S_OK)
            EXPECT_EQ(std::string(start), c.text);
        else
            EXPECT_EQ(start[0], '\x5A');
    }
    EXPECT_EQ(session.Menu()->GetCommandString(0, GCS_HELPTEXTA, nullptr, nullptr, 10), E_INVALIDARG);
}

TEST_F(ShellLibrary, InitializeResults) {
    EXPECT_EQ(session.Init()->Initialize(nullptr, nullptr, nullptr), E_FAIL);

    ASSERT_EQ(Select({"/a/b.zip"}), MakeSuccess(3));
    // A data object that refuses the drop list: its code, and the selection stays.
    TDropDataObject refusing({"/x/y.doc"});
    refusing.SetRefusal(DV_E_FORMATETC);
    EXPECT_EQ(session.Initialize(&refusing), DV_E_FORMATETC);
    EXPECT_EQ(session.QueryMenu(), MakeSuccess(3));

    // A new selection replaces the old one.
    ASSERT_EQ(Select({"/x/y.doc"}), MakeSuccess(2));
    ASSERT_EQ(session.Recorded.Items.size(), 2u);
    EXPECT_EQ(session.Recorded.Items[1].Text, "Comp&actar para y.zip");
    EXPECT_EQ(refusing.RefCount(), 1u);
}

TEST_F(ShellLibrary, MenuGoesAtTheHostsIndexWithTheImage) {
    ASSERT_EQ(Select({"/a/b.zip"}), MakeSuccess(3));
    TRecordingMenu menu;
    menu.InsertItem(0, 1, "Abrir");
    menu.InsertItem(1, 2, "Propriedades");
    ASSERT_EQ(session.Menu()->QueryContextMenu(&menu, 1, 500, 600, 0), MakeSuccess(3));
    ASSERT_EQ(menu.Items.size(), 5u);
    EXPECT_EQ(menu.Items[0].Text, "Abrir");
    EXPECT_EQ(menu.Items[1].CommandId, 500u);
    EXPECT_EQ(menu.Items[2].CommandId, 501u);
    EXPECT_EQ(menu.Items[3].CommandId, 502u);
    EXPECT_EQ(menu.Items[4].Text, "Propriedades");
    for (size_t i = 1; i <= 3; ++i) {
        ASSERT_NE(menu.Items[i].Unchecked, nullptr);
        EXPECT_EQ(menu.Items[i].Unchecked, menu.Items[i].Checked);
        EXPECT_EQ(menu.Items[i].Unchecked->Width, 14);
        EXPECT_EQ(menu.Items[i].Unchecked->Height, 14);
    }
}

TEST_F(ShellLibrary, InvokeErrors) {
    TMessageWindow window;
    window.OnMessage = [](const std::string&, const std::string&) {};
    ASSERT_EQ(Select({"/a/b.zip"}), MakeSuccess(3));
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.hwnd = &window;
    info.lpVerb = "open"; // a verb given as text
    EXPECT_EQ(session.Menu()->InvokeCommand(&info), E_FAIL);
    EXPECT_EQ(session.Invoke(3, &window), E_INVALIDARG);
    EXPECT_EQ(session.Menu()->InvokeCommand(nullptr), E_INVALIDARG);
    EXPECT_TRUE(env.Spawned().empty());
    EXPECT_TRUE(window.Messages.empty());

    // The empty selection: nothing inserted, and its command only shows the message.
    ASSERT_EQ(Select({}), MakeSuccess(0));
    EXPECT_TRUE(session.Recorded.Items.empty());
    EXPECT_EQ(session.Invoke(0, &window), S_OK);
    EXPECT_EQ(window.Messages, (Args{"Não possível executar esta operação."}));
    EXPECT_TRUE(env.Spawned().empty());
}

TEST_F(ShellLibrary, WithoutRegistrationTheProgramIsLookedUpByName) {
    ASSERT_EQ(Select({"/p/a", "/p/b"}), MakeSuccess(1));
    TMessageWindow window;
    ASSERT_EQ(session.Invoke(0, &window), S_OK);
    auto spawned = env.Spawned();
    ASSERT_EQ(spawned.size(), 1u);
    ASSERT_EQ(spawned[0].size(), 4u);
    EXPECT_EQ(spawned[0][0], "morvelan");
    EXPECT_EQ(spawned[0][1], "ASQ");
    EXPECT_EQ(fs::path(spawned[0][2]).parent_path(), env.runtime / "morvelan");
    EXPECT_EQ(spawned[0][3], "/p/");
}

TEST_F(ShellLibrary, ListFilesAreUniqueAndPrivate) {
    TMessageWindow window;
    ASSERT_EQ(Select({"/p/a", "/p/b"}), MakeSuccess(1));
    ASSERT_EQ(session.Invoke(0, &window), S_OK);
    ASSERT_EQ(Select({"/q/c", "/q/d"}), MakeSuccess(1));
    ASSERT_EQ(session.Invoke(0, &window), S_OK);
    auto spawned = env.Spawned();
    ASSERT_EQ(spawned.size(), 2u);
    EXPECT_NE(spawned[0][2], spawned[1][2]);
    auto first = ReadFileBytes(spawned[0][2]);
    EXPECT_EQ(std::string(first.begin(), first.end()), "/p/a\r\n/p/b\r\n");
    EXPECT_EQ(fs::status(env.runtime / "morvelan").permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(spawned[0][2]).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ShellLibrary, LineBreakInANameIsRefused) {
    TMessageWindow window;
    ASSERT_EQ(Select({"/p/a", "/p/b\nc"}), MakeSuccess(1));
    EXPECT_EQ(session.Invoke(0, &window), E_INVALIDARG);
    ASSERT_EQ(window.Messages.size(), 1u);
    EXPECT_NE(window.Messages[0].find("quebra de linha"), std::string::npos);
    EXPECT_TRUE(env.Spawned().empty());
    EXPECT_TRUE(env.ListFiles().empty());

    // One item needs no list file: its name goes in the argument vector whole.
    ASSERT_EQ(Select({"/p/b\nc"}), MakeSuccess(2));
    EXPECT_EQ(session.Invoke(0, &window), S_OK);
    ASSERT_EQ(env.Spawned().size(), 1u);
    EXPECT_EQ(env.Spawned()[0][2], "/p/b\nc");
}

TEST_F(ShellLibrary, ListFileThatCannotBeWritten) {
    // The list folder's name is taken by a file.
    WriteFileText(env.runtime / "morvelan", "");
    TMessageWindow window;
    ASSERT_EQ(Select({"/p/a", "/p/b"}), MakeSuccess(1));
    EXPECT_EQ(session.Invoke(0, &window), E_FAIL);
    EXPECT_EQ(window.Messages, (Args{"Não possível executar esta operação."}));
    EXPECT_TRUE(env.Spawned().empty());
}

// Far more items than the old fixed table held, and a path far longer than
// its entries: nothing is cut or dropped.
TEST_F(ShellLibrary, ManyAndLongPaths) {
    std::string folder = "/";
    while (folder.size() < 4000) folder += "d123456/";
    std::string longPath = folder + "file." + std::string(4096 - folder.size() - 9, 'x') + ".zip";
    ASSERT_EQ(longPath.size(), 4096u);

    Args paths;
    for (int i = 0; i < 5000; ++i)
        paths.push_back("/data/folder " + std::to_string(i) + "/item." + std::to_string(i));
    paths.push_back(longPath);
    TMessageWindow window;
    ASSERT_EQ(Select(paths), MakeSuccess(1));
    ASSERT_EQ(session.Invoke(0, &window), S_OK);
    auto spawned = env.Spawned();
    ASSERT_EQ(spawned.size(), 1u);
    auto data = ReadFileBytes(spawned[0][2]);
    std::string expected;
    for (const std::string& p : paths) expected += p + "\r\n";
    EXPECT_EQ(std::string(data.begin(), data.end()), expected);

    ASSERT_EQ(Select({longPath}), MakeSuccess(3));
    std::string target = folder + "file";
    ASSERT_EQ(session.Recorded.Items.size(), 3u);
    EXPECT_EQ(session.Recorded.Items[1].Text, "Ex&trair para pasta " + target);
    ASSERT_EQ(session.Invoke(1, &window), S_OK);
    spawned = env.Spawned();
    ASSERT_EQ(spawned.size(), 2u);
    EXPECT_EQ(spawned[1], (Args{"morvelan", "E", longPath, target}));
    EXPECT_TRUE(window.Messages.empty());
}

} // namespace
