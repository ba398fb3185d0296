// Item identifier lists: the byte format of the namespace, the helpers (parse, join,
// compare, sort, name), the ancestor/item view and the sorted list's policies.
#include "controls/shell/ShellUtils.h"
#include "tests/support/DesktopFixture.h"

#include <gtest/gtest.h>

namespace mv {
namespace fs = std::filesystem;
namespace {

using desktop::TShellItem;
using desktop::TShellItemKind;

TIdList Items(std::initializer_list<std::string> names) {
    std::vector<TShellItem> items;
    for (const std::string& n : names) {
        TShellItem it;
        it.Kind = TShellItemKind::skFolder;
        it.Name = n;
        items.push_back(it);
    }
    return desktop::IdListOfItems(items);
}

TEST(ShellItemId, HasItsFrozenByteLayout) {
    TShellItem it;
    it.Kind = TShellItemKind::skFile;
    it.Size = 0x0102030405060708ull;
    it.Modified = 0x1122334455667788ll;
    it.Name = "a.txt";
    std::vector<uint8_t> b = desktop::EncodeShellItem(it);
    std::vector<uint8_t> want = {25, 0, 5, 0, 8, 7, 6, 5, 4, 3, 2, 1, 0x88, 0x77, 0x66, 0x55,
                                 0x44, 0x33, 0x22, 0x11, 'a', '.', 't', 'x', 't'};
    EXPECT_EQ(b, want);
    std::vector<TShellItem> back;
    ASSERT_TRUE(desktop::DecodeIdList(desktop::IdListOfItems({it}), back));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].Size, it.Size);
    EXPECT_EQ(back[0].Modified, it.Modified);
    EXPECT_EQ(back[0].Name, "a.txt");
}

TEST(ShellItemId, RefusesDamagedLists) {
    TIdList good = Items({"a"});
    struct Case {
        const char* what;
        TIdList list;
    } cases[] = {
        {"no terminator", TIdList(good.begin(), good.end() - 2)},
        {"count past the end", [&] { TIdList l = good; l[0] = 200; return l; }()},
        {"count below the header", TIdList{3, 0, 4, 0, 0}},
        {"unknown kind", [&] { TIdList l = good; l[2] = 9; return l; }()},
        {"dot-dot name", Items({".."})},
        {"slash in a name", Items({"a/b"})},
        {"bytes after the terminator", [&] { TIdList l = good; l.push_back(7); return l; }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<TShellItem> items;
        EXPECT_FALSE(desktop::DecodeIdList(c.list, items));
        EXPECT_EQ(desktop::IdListToPath(c.list), "");
    }
}

TEST(PidlHelpers, SizeCopyConcatAncestorItem) {
    TIdList empty{0, 0}, abc = Items({"a", "b", "c"}), a = Items({"a"});
    EXPECT_EQ(PidlSize(TIdList{}), 0u);
    EXPECT_EQ(PidlSize(empty), 2u);
    EXPECT_EQ(PidlSize(abc), 3 * 21u + 2);
    EXPECT_EQ(CopyPidl(abc), abc);
    EXPECT_EQ(ConcatPidls(empty, abc), abc);
    EXPECT_EQ(ConcatPidls(TIdList{}, abc), abc);
    EXPECT_EQ(ConcatPidls(ConcatPidls(a, Items({"b"})), Items({"c"})), abc);

    TMvIdListArray view(abc);
    EXPECT_EQ(view.Count(), 3);
    EXPECT_EQ(view.Ancestor(0), abc);
    EXPECT_EQ(view.Ancestor(1), Items({"a", "b"}));
    EXPECT_EQ(view.Ancestor(3), empty);
    EXPECT_EQ(view.Ancestor(4), TIdList{});
    EXPECT_EQ(view.Ancestor(-1), TIdList{});
    EXPECT_EQ(view.Item(2), Items({"c"}));
    try {
        view.Item(3);
        FAIL();
    } catch (const EShellError& e) {
        EXPECT_STREQ(e.what(), "TMvIdListArray - index 3 out of range");
    }
    // The empty list: index 0 is the empty list, anything else is out of range.
    TMvIdListArray none(empty);
    EXPECT_EQ(none.Count(), 0);
    EXPECT_EQ(none.Item(0), empty);
    EXPECT_THROW(none.Item(1), EShellError);
    EXPECT_THROW(none.Item(-1), EShellError);
    TIdList absent;
    EXPECT_THROW(TMvIdListArray(absent).Item(0), EShellError);
}

TEST(PidlHelpers, ComparePidlsNamesTheSameItem) {
    TIdList empty{0, 0}, a = Items({"a"});
    EXPECT_EQ(ComparePidls(TIdList{}, TIdList{}), 0);
    EXPECT_EQ(ComparePidls(TIdList{}, a), -1);
    EXPECT_EQ(ComparePidls(a, TIdList{}), -1);
    EXPECT_EQ(ComparePidls(empty, empty), 0);
    EXPECT_EQ(ComparePidls(empty, a), -1);
    EXPECT_EQ(ComparePidls(a, empty), -1);
    // The same name with another size and time is the same item.
    TShellItem f;
    f.Name = "x";
    TIdList x1 = desktop::IdListOfItems({f});
    f.Size = 99;
    f.Modified = 12345;
    EXPECT_EQ(ComparePidls(x1, desktop::IdListOfItems({f})), 0);
    EXPECT_LT(ComparePidls(Items({"A"}), Items({"b"})), 0);
    EXPECT_GT(ComparePidls(Items({"b", "c"}), Items({"B"})), 0);
}

TEST(PidlHelpers, PathsParseAndNameTheirItems) {
    mvtest::DesktopFixture desk;
    fs::create_directories(desk.Home() / "docs/sub");
    mvtest::WriteFileText(desk.Home() / "docs/note.txt", "hello");
    TIdList list;
    ASSERT_EQ(PathToPidl((desk.Home() / "docs/note.txt").string(), list), S_OK);
    EXPECT_EQ(PidlToPath(list), (desk.Home() / "docs/note.txt").string());
    TMvIdListArray view(list);
    ASSERT_EQ(view.Count(), 3); // Home, docs, note.txt
    EXPECT_EQ(GetPidlDisplayName(nullptr, view.Ancestor(2), desktop::shgdnNormal), "Home");
    EXPECT_EQ(GetPidlDisplayName(nullptr, list, desktop::shgdnNormal), "note.txt");
    EXPECT_EQ(GetPidlDisplayName(nullptr, list, desktop::shgdnForParsing), PidlToPath(list));
    std::vector<TShellItem> items;
    ASSERT_TRUE(desktop::DecodeIdList(list, items));
    EXPECT_EQ(items[2].Size, 5u);

    // Outside the home folder the path goes through Computer and the root volume.
    TIdList root;
    ASSERT_EQ(PathToPidl("/", root), S_OK);
    EXPECT_EQ(PidlToPath(root), "/");
    EXPECT_EQ(GetPidlDisplayName(nullptr, TMvIdListArray(root).Ancestor(1), 0), "Computer");
    TIdList other;
    EXPECT_NE(PathToPidl((desk.Home() / "missing").string(), other), S_OK);
    EXPECT_NE(PathToPidl("relative/path", other), S_OK);
    // No length limit: a path longer than 260 characters names itself.
    fs::path deep = desk.Home();
    for (int i = 0; i < 12; ++i) deep /= std::string(30, static_cast<char>('a' + i));
    fs::create_directories(deep);
    ASSERT_EQ(PathToPidl(deep.string(), other), S_OK);
    EXPECT_EQ(PidlToPath(other), deep.string());

    // A folder binds and lists its items; a file does not bind.
    TShellFolderRef docs;
    ASSERT_EQ(BindToFolder(view.Ancestor(1), docs), S_OK);
    std::vector<TIdList> found;
    ASSERT_EQ(docs->EnumObjects(desktop::shcontFolders | desktop::shcontNonFolders, found), S_OK);
    EXPECT_EQ(found.size(), 2u);
    TShellFolderRef none;
    EXPECT_FALSE(Succeeded(BindToFolder(list, none)));
    // The Desktop holds Home, Computer and the desktop folder's entries.
    fs::create_directories(desk.Home() / "Desktop/onDesk");
    ASSERT_EQ(DesktopFolder()->EnumObjects(desktop::shcontFolders, found), S_OK);
    std::vector<std::string> names;
    for (const TIdList& r : found) names.push_back(GetPidlDisplayName(nullptr, r, 0));
    EXPECT_EQ(names, (std::vector<std::string>{"Home", "Computer", "onDesk"}));
    EXPECT_EQ(PidlToPath(found[2]), (desk.Home() / "Desktop/onDesk").string());
}

TEST(PidlHelpers, TextHelpers) {
    EXPECT_EQ(AppendTrailingChar("C:", '\\'), "C:\\");
    EXPECT_EQ(AppendTrailingChar("", '/'), "");
    EXPECT_EQ(AppendTrailingChar("/a/", '/'), "/a/");
    EXPECT_EQ(FormatStrPos("Não foi possível criar a pasta '%2'\n\n%1", {"err", "x"}),
              "Não foi possível criar a pasta 'x'\n\nerr");
    // A number with no text stays as written, never read past the texts.
    EXPECT_EQ(FormatStrPos("%1 and %3 100%%", {"one"}), "one and %3 100%");
    EXPECT_EQ(FormatStrPos("", {"x"}), "");
    EXPECT_THROW(FormatStrPos("%1", std::vector<std::string>(51, "x")), EShellError);
    EXPECT_NO_THROW(FormatStrPos("%50", std::vector<std::string>(50, "x")));
    EXPECT_EQ(TrimTrailingBlanks("ab \t\r\n "), "ab");
    EXPECT_EQ(TrimTrailingBlanks("ção  "), "ção");
    size_t pos = 1;
    std::string out;
    AppendNextChar(pos, "çb", out);
    EXPECT_EQ(out, "ç");
    EXPECT_EQ(pos, 3u);
    AppendNextChar(pos, "çb", out);
    EXPECT_EQ(out, "çb");
}

TEST(PidlList, SortedPolicies) {
    TIdList a = Items({"a"}), b = Items({"b"}), ab = Items({"a", "b"});
    struct Case {
        TDuplicates dup;
        int secondIndex;
        int count;
    } cases[] = {{TDuplicates::dupIgnore, 0, 2}, {TDuplicates::dupAccept, 0, 3}};
    for (const Case& c : cases) {
        TMvPidlList list;
        list.SetDuplicates(c.dup);
        list.SetSorted(true);
        list.Add(b);
        EXPECT_EQ(list.Add(a), 0);
        EXPECT_EQ(list.Add(a), c.secondIndex);
        EXPECT_EQ(list.Count(), c.count);
        int index = -1;
        EXPECT_TRUE(list.Find(a, index));
        EXPECT_EQ(index, 0); // the leftmost match
    }
    TMvPidlList strict;
    strict.SetSorted(true);
    strict.Add(a);
    try {
        strict.Add(a);
        FAIL();
    } catch (const EShellError& e) {
        EXPECT_STREQ(e.what(), "TMvPidlList: Duplicate PIDL");
    }
    // Byte order: a strict prefix sorts before the longer list.
    TMvPidlList order;
    order.Add(ab);
    order.Add(b);
    order.Add(a);
    EXPECT_EQ(order.IndexOf(a), 2);
    order.SetSorted(true);
    EXPECT_EQ(order.Pidls(0), a);
    EXPECT_EQ(order.Pidls(1), ab);
    EXPECT_EQ(order.Pidls(2), b);
    EXPECT_EQ(order.IndexOf(b), 2);
    EXPECT_EQ(order.IndexOf(Items({"zz"})), -1);
    // With a folder the namespace order decides: B before a? No: names ignore case.
    TMvPidlList byFolder;
    byFolder.SetShellFolder(DesktopFolder());
    byFolder.Add(Items({"b"}));
    byFolder.Add(Items({"A"}));
    byFolder.Sort();
    EXPECT_EQ(byFolder.Pidls(0), Items({"A"}));
}

} // namespace
} // namespace mv
