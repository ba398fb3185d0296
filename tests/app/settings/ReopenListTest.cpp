// The reopen list: an archive already listed changes nothing, the eleventh drops the
// oldest, the list is sorted by name, and the store holds C0.. and T0..; a damaged store
// entry is left out instead of stopping the start.
#include "app/settings/ReopenList.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

using mvtest::TempDir;

std::vector<std::string> Captions(const TReopenList& list) {
    std::vector<std::string> out;
    for (const auto& item : list.Items()) out.push_back(item.Caption);
    return out;
}

TEST(ReopenList, SameArchiveChangesNothingAndTheEleventhDropsTheOldest) {
    TReopenList list;
    list.UpdateReopenList("  ");
    EXPECT_TRUE(list.Items().empty());
    const char* names[] = {"/a/k.zip", "/a/b.zip", "/a/j.zip", "/a/c.zip", "/a/i.zip",
                           "/a/d.zip", "/a/h.zip", "/a/e.zip", "/a/g.zip", "/a/f.zip"};
    for (const char* n : names) list.UpdateReopenList(n);
    ASSERT_EQ(list.Items().size(), 10u);
    EXPECT_EQ(list.Items().front().Caption, "/a/b.zip"); // sorted by name
    EXPECT_EQ(list.Items().front().Tag, 1);

    const auto before = Captions(list);
    list.UpdateReopenList(" /a/j.zip ");
    EXPECT_EQ(Captions(list), before);
    // Another spelling is another file here.
    list.UpdateReopenList("/A/J.ZIP");
    ASSERT_EQ(list.Items().size(), 10u);
    EXPECT_EQ(list.Items().front().Caption, "/A/J.ZIP");
    // "/a/k.zip" was the oldest (age 0) and went; the others moved one age down.
    for (const auto& item : list.Items()) EXPECT_NE(item.Caption, "/a/k.zip");
    for (const auto& item : list.Items()) {
        if (item.Caption == "/A/J.ZIP") {
            EXPECT_EQ(item.Tag, 9);
        } else if (item.Caption == "/a/b.zip") {
            EXPECT_EQ(item.Tag, 0);
        }
    }
}

TEST(ReopenList, StoreRoundTripAndDamagedEntries) {
    TempDir t;
    platform::RegistryStore store((t / "registry.ini").string());
    TReopenList list;
    for (const char* n : {"/x/3.zip", "/x/1.zip", "/x/2.zip"}) list.UpdateReopenList(n);
    list.Save(store);
    ASSERT_TRUE(store.OpenKeyReadOnly(HistoryKey));
    EXPECT_EQ(store.ReadString("C0"), "/x/1.zip");
    EXPECT_EQ(store.ReadInteger("T0"), 1);
    EXPECT_EQ(store.ReadString("C2"), "/x/3.zip");
    EXPECT_EQ(store.ReadInteger("T2"), 0);
    store.CloseKey();

    TReopenList back;
    back.Load(store);
    EXPECT_EQ(Captions(back), Captions(list));

    // C1 without a readable T1: that entry is dropped, the rest loads.
    store.OpenKey(HistoryKey, false);
    store.WriteString("T1", "not a number");
    store.CloseKey();
    TReopenList damaged;
    damaged.Load(store);
    EXPECT_EQ(Captions(damaged), (std::vector<std::string>{"/x/1.zip", "/x/3.zip"}));
    EXPECT_EQ(damaged.Items()[1].Tag, 0);
    EXPECT_EQ(damaged.Items()[0].Tag, 1);
}

} // namespace
} // namespace mv
