// The records of nodes, items and combo entries with their detail texts, and the folder
// locator with its change calls and its stored form.
#include "controls/shell/ShellData.h"
#include "controls/shell/ShellLocator.h"
#include "platform/desktop/LocaleText.h"
#include "tests/support/DesktopFixture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace mv {
namespace fs = std::filesystem;
namespace {

class ListOwner : public TMvShListOwner {
public:
    explicit ListOwner(const fs::path& folder) {
        EXPECT_EQ(PathToPidl(folder.string(), list), S_OK);
        BindToFolder(list, shellFolder);
    }
    const TIdList& FolderIdList() const override { return list; }
    TShellFolderRef FolderShellFolder() const override { return shellFolder; }
    TIdList list;
    TShellFolderRef shellFolder;
};

TIdList Relative(const TShellFolderRef& folder, const std::string& name) {
    TIdList rel;
    EXPECT_EQ(folder->ParseDisplayName(name, rel), S_OK) << name;
    return rel;
}

TEST(ShellDetails, KilobyteTexts) {
    desktop::SetTextLocale("pt_BR");
    struct Case {
        uint64_t bytes;
        const char* text;
    } cases[] = {{0, "0KB"}, {1, "1KB"}, {1024, "1KB"}, {1025, "2KB"}, {1048576, "1.024KB"}, {1048577, "1.025KB"}};
    for (const Case& c : cases) EXPECT_EQ(FormatKBSize(c.bytes), c.text) << c.bytes;
    desktop::SetTextLocale("");
}

TEST(ShellDetails, TimesFollowTheProgramsLanguage) {
    // Whatever the system's locale: the program's own pattern of each language.
    struct Case {
        int32_t base;
        const char* text;
    } cases[] = {{10000, "14/03/26 15:07"}, {20000, "03/14/26 15:07"}, {50000, "14/03/26 15:07"}};
    const int64_t moment = 1773500825; // 2026-03-14 15:07:05 UTC (TZ=UTC)
    for (const Case& c : cases) {
        desktop::SetNamespaceLanguageBase(c.base);
        EXPECT_EQ(FormatItemTime(moment), c.text) << c.base;
    }
    desktop::SetNamespaceLanguageBase(20000);
}

TEST(ShellDetails, ListItemsShowSizeTypeAndDate) {
    mvtest::DesktopFixture desk;
    ::setenv("XDG_DATA_DIRS", "/usr/share", 1); // the shared MIME database (restored by the fixture)
    desktop::SetTextLocale("pt_BR");
    fs::create_directories(desk.Home() / "w/sub");
    mvtest::WriteFileText(desk.Home() / "w/notes.txt", std::string(1500, 'x'));
    mvtest::WriteFileText(desk.Home() / "w/LINK.LNK", "");
    struct timespec t[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, (desk.Home() / "w/notes.txt").c_str(), t, 0);
    ListOwner owner(desk.Home() / "w");

    TMvShListData file(owner);
    file.SetRelIdList(Relative(owner.shellFolder, "notes.txt"));
    EXPECT_EQ(file.GetDisplayName(), "notes.txt");
    EXPECT_EQ(file.GetFileName(), "notes.txt");
    EXPECT_FALSE(file.IsFolder());
    EXPECT_TRUE(file.CanRename());
    EXPECT_TRUE(file.Validate());
    EXPECT_FALSE(file.IsShortcut());
    EXPECT_EQ(file.GetDetail(0), "");
    EXPECT_EQ(file.GetDetail(1), "2KB");
    EXPECT_EQ(file.GetDetail(2), desktop::ItemTypeName(file.GetAbsoluteIdList()));
    EXPECT_NE(file.GetDetail(2), "");
    EXPECT_EQ(file.GetDetail(3), "09/09/01 01:46"); // TZ=UTC
    EXPECT_EQ(file.GetDetail(4), "");
    // A changed file shows its new size once its record is invalidated.
    mvtest::WriteFileText(desk.Home() / "w/notes.txt", std::string(5000, 'x'));
    EXPECT_EQ(file.GetDetail(1), "2KB");
    file.SetRelIdList(Relative(owner.shellFolder, "notes.txt"));
    EXPECT_EQ(file.GetDetail(1), "5KB");

    TMvShListData folder(owner);
    folder.SetRelIdList(Relative(owner.shellFolder, "sub"));
    EXPECT_TRUE(folder.IsFolder());
    EXPECT_EQ(folder.GetDetail(1), "");
    EXPECT_NE(folder.GetDetail(3), "");

    TMvShListData link(owner);
    link.SetRelIdList(Relative(owner.shellFolder, "LINK.LNK"));
    EXPECT_TRUE(link.IsShortcut());
    fs::remove(desk.Home() / "w/LINK.LNK");
    EXPECT_FALSE(link.Validate());

    // A volume root shows neither size nor date; a short path such as /w would still.
    TIdList root;
    ASSERT_EQ(PathToPidl("/", root), S_OK);
    std::string size = "x", date = "x", type;
    GetFileSizeAndDate(root, size, date);
    EXPECT_EQ(size, "");
    EXPECT_EQ(date, "");
    // Computer is no file-system folder.
    TIdList computer;
    ASSERT_EQ(GetSpecialFolderPidl(desktop::csidlDrives, computer), S_OK);
    uint32_t attrs = 0xF00F0037;
    ASSERT_TRUE(desktop::ItemAttributes(computer, attrs));
    GetItemDetails(computer, attrs, size, date, type);
    EXPECT_EQ(type, "Pasta do sistema");
    desktop::SetTextLocale("");
}

TEST(ShellRecords, TreeAndComboRecords) {
    mvtest::DesktopFixture desk;
    fs::create_directories(desk.Home() / "p/q");
    fs::create_directories(desk.Home() / "p/r");
    TMvShTreeData loose(nullptr);
    EXPECT_THROW(loose.GetPath(), EShellError);
    TIdList home;
    ASSERT_EQ(GetSpecialFolderPidl(desktop::csidlPersonal, home), S_OK);
    TMvShTreeData root(nullptr);
    root.Initialize(nullptr, home);
    EXPECT_EQ(root.GetPath(), desk.Home().string());
    EXPECT_FALSE(root.CanRename());
    TMvShTreeData p(nullptr);
    p.Initialize(&root, Relative(root.GetShellFolder(), "p"));
    TMvShTreeData q(nullptr);
    q.Initialize(&p, Relative(p.GetShellFolder(), "q"));
    EXPECT_EQ(q.GetPath(), (desk.Home() / "p/q").string());
    EXPECT_TRUE(q.CanRename());
    ASSERT_NE(q.GetShellFolder(), nullptr);
    TIdList rel = q.RelIdList();
    q.Invalidate();
    EXPECT_EQ(q.RelIdList(), rel);
    EXPECT_EQ(q.GetPath(), (desk.Home() / "p/q").string());
    q.SetRelIdList(Relative(p.GetShellFolder(), "r"));
    EXPECT_EQ(q.GetPath(), (desk.Home() / "p/r").string());

    TMvShComboData entry(nullptr);
    entry.Initialize(root.GetShellFolder(), home, q.RelIdList());
    EXPECT_EQ(PidlToPath(entry.AbsIdList()), (desk.Home() / "r").string());
}

TEST(ShellLocator, ChangesAndEquality) {
    mvtest::DesktopFixture desk;
    int changes = 0;
    TMvShellLocator loc;
    loc.OnChange = [&](TMvShellLocator&) { ++changes; };
    loc.SetPidl(TIdList{0, 0});
    loc.Clear();
    EXPECT_EQ(changes, 0);
    loc.SetPath(desk.Home().string());
    EXPECT_EQ(changes, 1);
    loc.SetPath(desk.Home().string());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(loc.GetPath(), desk.Home().string());
    // Back to the Desktop is a change, and setting it again is none.
    loc.SetPidl(TIdList{0, 0});
    loc.SetPidl(TIdList{});
    EXPECT_EQ(changes, 2);
    loc.SetSpecialFolder(desktop::csidlPersonal);
    loc.SetSpecialFolder(desktop::csidlPersonal);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(loc.GetPath(), desk.Home().string());

    TMvShellLocator other;
    other.SetSpecialFolder(desktop::csidlDrives);
    loc.Assign(&other);
    EXPECT_EQ(changes, 4);
    EXPECT_TRUE(loc.IsSame(other));
    loc.Assign(&other);
    EXPECT_EQ(changes, 4);
    loc.SetPath((desk.Home() / ".config").string());
    other.SetPath((desk.Home() / ".config").string());
    EXPECT_TRUE(loc.IsSame(other));
    EXPECT_EQ(changes, 5);
    loc.Assign(nullptr);
    EXPECT_EQ(changes, 6);
    EXPECT_TRUE(loc.GetPidl().empty());
}

TEST(ShellLocator, StoredForm) {
    mvtest::DesktopFixture desk;
    TMvShellLocator a, b;
    int changes = 0;
    b.OnChange = [&](TMvShellLocator&) { ++changes; };
    a.SetPath(desk.Home().string());
    std::vector<uint8_t> data = a.WritePidlProperty();
    ASSERT_EQ(data.size(), 5 + PidlSize(a.GetPidl()));
    EXPECT_EQ(data[0], 0);
    EXPECT_TRUE(b.ReadPidlProperty(data));
    EXPECT_TRUE(b.IsSame(a));
    EXPECT_EQ(changes, 0);
    a.SetSpecialFolder(9);
    EXPECT_EQ(a.WritePidlProperty(), (std::vector<uint8_t>{1, 9}));
    // Kind 0 with length 0 is special folder 0, the Desktop.
    EXPECT_TRUE(b.ReadPidlProperty({0, 0, 0, 0, 0}));
    EXPECT_EQ(b.Kind(), TMvShellLocator::lkSpecialFolder);
    EXPECT_EQ(b.Csidl(), 0);
    // A damaged stream length or bytes that are no list read as the Desktop.
    std::vector<uint8_t> tooLong = data;
    tooLong[4] = 0x7F;
    std::vector<uint8_t> shortList = data;
    shortList[1] -= 2;
    shortList.resize(shortList.size() - 2);
    std::vector<uint8_t> garbage{0, 4, 0, 0, 0, 9, 9, 9, 9};
    for (const auto& bad : {tooLong, shortList, garbage, std::vector<uint8_t>{0, 1}}) {
        b.SetPath(desk.Home().string());
        EXPECT_FALSE(b.ReadPidlProperty(bad));
        EXPECT_EQ(b.Kind(), TMvShellLocator::lkSpecialFolder);
        EXPECT_EQ(b.Csidl(), 0);
    }
}

} // namespace
} // namespace mv
