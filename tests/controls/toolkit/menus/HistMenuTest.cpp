// The recent-files menu: the history under its menu item, the separator rules, and
// the registry store with its gaps, stale and damaged values.
#include "controls/toolkit/menus/HistMenu.h"
#include "platform/RegistryStore.h"
#include "platform/ui/Form.h"
#include "tests/support/DesktopFixture.h"

#include <gtest/gtest.h>
#include <memory>

namespace mv {
namespace {

std::vector<std::string> Captions(const TMenuItem& item) {
    std::vector<std::string> out;
    for (int i = 0; i < item.Count(); ++i) out.push_back(item.Items(i)->Caption());
    return out;
}

struct Reopen {
    Reopen() {
        EnsureApplication();
        root = std::make_unique<TMenuItem>(nullptr);
        root->SetCaption("&Reabrir");
        auto* fixed = new TMenuItem(root.get());
        fixed->SetCaption("Limpar");
        root->Add(fixed);
        hist = std::make_unique<THistMenu>(nullptr);
        hist->SetName("HistMenu");
        hist->SetMenuItem(root.get());
    }
    std::unique_ptr<TMenuItem> root;
    std::unique_ptr<THistMenu> hist;
};

TEST(HistMenu, ElevenAddsKeepTheNewestTenAfterTheFixedItems) {
    Reopen r;
    EXPECT_EQ(r.hist->MaxHistory(), 5);
    r.hist->SetMaxHistory(10);
    for (int i = 1; i <= 11; ++i) r.hist->AddItem("a" + std::to_string(i) + ".zip", i);
    EXPECT_EQ(r.hist->ItemCount(), 10);
    const auto captions = Captions(*r.root);
    ASSERT_EQ(captions.size(), 11u);
    EXPECT_EQ(captions[0], "Limpar");
    EXPECT_EQ(captions[1], "a2.zip");
    EXPECT_EQ(captions[10], "a11.zip");
    // A repeat is a second entry; max 1 or 0 is ignored.
    r.hist->AddItem("a11.zip", 12);
    EXPECT_EQ(r.root->Items(10)->Caption(), "a11.zip");
    EXPECT_EQ(r.root->Items(9)->Caption(), "a11.zip");
    for (int v : {1, 0, -3}) r.hist->SetMaxHistory(v);
    EXPECT_EQ(r.hist->MaxHistory(), 10);
}

TEST(HistMenu, SeparatorComesWithTheFirstEntryAndFollowsTheFlag) {
    Reopen r;
    r.hist->SetAddSeparator(true);
    EXPECT_EQ(Captions(*r.root), (std::vector<std::string>{"Limpar"})); // no entries yet
    r.hist->AddItem("x.arj", 0);
    r.hist->AddItem("y.lzh", 1);
    EXPECT_EQ(Captions(*r.root), (std::vector<std::string>{"Limpar", "-", "x.arj", "y.lzh"}));
    r.hist->SetAddSeparator(false);
    EXPECT_EQ(Captions(*r.root), (std::vector<std::string>{"Limpar", "x.arj", "y.lzh"}));
    r.hist->SetAddSeparator(true);
    EXPECT_EQ(Captions(*r.root), (std::vector<std::string>{"Limpar", "-", "x.arj", "y.lzh"}));
    EXPECT_EQ(r.hist->Entry(0)->Caption(), "x.arj");
}

TEST(HistMenu, ClickingAnEntryGivesItsCaptionAndTag) {
    Reopen r;
    r.hist->AddItem("/home/u/a.zip", 7);
    std::string got;
    int tag = -1;
    TComponent* from = nullptr;
    r.hist->OnClick = [&](TComponent* sender, const std::string& caption, int t) {
        from = sender;
        got = caption;
        tag = t;
    };
    r.root->Items(1)->Click();
    EXPECT_EQ(from, r.root->Items(1));
    EXPECT_EQ(got, "/home/u/a.zip");
    EXPECT_EQ(tag, 7);
}

TEST(HistMenu, ANewMenuItemStartsAnEmptyHistoryAndAFreedOneIsForgotten) {
    Reopen r;
    r.hist->SetAddSeparator(true);
    r.hist->AddItem("a", 0);
    auto other = std::make_unique<TMenuItem>(nullptr);
    r.hist->SetMenuItem(other.get());
    EXPECT_EQ(Captions(*r.root), (std::vector<std::string>{"Limpar"}));
    EXPECT_EQ(r.hist->ItemCount(), 0);
    r.hist->SetAddSeparator(false); // no entries: the fixed items stay untouched
    EXPECT_EQ(other->Count(), 0);
    other.reset();
    EXPECT_EQ(r.hist->MenuItem(), nullptr);
    r.hist->AddItem("b", 1); // no item: nothing happens
    EXPECT_EQ(r.hist->EntryCount(), 0);
}

TEST(HistMenu, SavesLoadsAndRemovesStaleValues) {
    mvtest::DesktopFixture desktop;
    Reopen r;
    r.hist->SetBaseKey("Software\\Morvelan\\MorvelanLastFiles");
    r.hist->SetMaxHistory(10);
    for (int i = 0; i < 4; ++i) r.hist->AddItem("f" + std::to_string(i), 100 + i);
    r.hist->SaveToRegistry();
    platform::RegistryStore store;
    ASSERT_TRUE(store.OpenKeyReadOnly("\\Software\\Morvelan\\MorvelanLastFiles\\HistMenu"));
    EXPECT_EQ(store.ReadString("C0"), "f0");
    EXPECT_EQ(store.ReadInteger("T3"), 103);
    store.CloseKey();

    // A shorter history saved over it leaves nothing of the longer one behind.
    Reopen shorter;
    shorter.hist->SetBaseKey("Software\\Morvelan\\MorvelanLastFiles");
    shorter.hist->AddItem("g0", 5);
    shorter.hist->SaveToRegistry();
    Reopen loaded;
    loaded.hist->SetBaseKey("Software\\Morvelan\\MorvelanLastFiles");
    loaded.hist->LoadFromRegistry();
    EXPECT_EQ(Captions(*loaded.root), (std::vector<std::string>{"Limpar", "g0"}));
    EXPECT_EQ(loaded.hist->Entry(0)->Tag(), 5);

    // More stored pairs than MaxHistory leave the newest ones.
    r.hist->SaveToRegistry();
    Reopen few;
    few.hist->SetBaseKey("Software\\Morvelan\\MorvelanLastFiles");
    few.hist->SetMaxHistory(2);
    few.hist->LoadFromRegistry();
    EXPECT_EQ(Captions(*few.root), (std::vector<std::string>{"Limpar", "f2", "f3"}));

    // A component whose menu item is gone saves nothing: the stored history stays.
    Reopen gone;
    gone.hist->SetBaseKey("Software\\Morvelan\\MorvelanLastFiles");
    gone.root.reset();
    gone.hist->SaveToRegistry();
    Reopen again;
    again.hist->SetBaseKey("Software\\Morvelan\\MorvelanLastFiles");
    again.hist->SetMaxHistory(10);
    again.hist->LoadFromRegistry();
    EXPECT_EQ(again.hist->EntryCount(), 4);
}

TEST(HistMenu, LoadStopsAtAGapOrADamagedEntryAndEmptyKeyDoesNothing) {
    mvtest::TempDir dir;
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> strings; // values written as text
        std::vector<std::pair<std::string, int>> ints;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"gap at C2", {{"C0", "a"}, {"C1", "b"}, {"C3", "d"}}, {{"T0", 0}, {"T1", 1}, {"T3", 3}}, {"a", "b"}},
        {"T1 missing", {{"C0", "a"}, {"C1", "b"}, {"C2", "c"}}, {{"T0", 0}, {"T2", 2}}, {"a"}},
        {"T0 not a number", {{"C0", "a"}, {"T0", "zero"}}, {}, {}},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::RegistryStore store((dir / ("reg" + std::to_string(k++) + ".ini")).string());
        ASSERT_TRUE(store.OpenKey("\\Software\\M\\HistMenu", true));
        for (const auto& [n, v] : c.strings) store.WriteString(n, v);
        for (const auto& [n, v] : c.ints) store.WriteInteger(n, v);
        store.CloseKey();
        Reopen r;
        r.hist->SetBaseKey("Software\\M");
        EXPECT_NO_THROW(r.hist->LoadFromRegistry(store));
        std::vector<std::string> got;
        for (int i = 0; i < r.hist->EntryCount(); ++i) got.push_back(r.hist->Entry(i)->Caption());
        EXPECT_EQ(got, c.expected);
        // An empty base key reads and writes nothing.
        Reopen none;
        none.hist->AddItem("z", 1);
        none.hist->LoadFromRegistry(store);
        none.hist->SaveToRegistry(store);
        EXPECT_EQ(none.hist->EntryCount(), 1);
        EXPECT_FALSE(store.KeyExists("\\HistMenu"));
    }
}

} // namespace
} // namespace mv
