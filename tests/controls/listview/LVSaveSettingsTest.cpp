// The saved column settings over the registry store: what is written, and how short,
// damaged and missing values read.
#include "controls/listview/LVSaveSettings.h"
#include "platform/RegistryStore.h"
#include "tests/support/DesktopFixture.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

const char* Key = "Software\\Morvelan\\Colunas";

void Put(const std::string& subkey, const std::string& name, const std::string& value) {
    platform::RegistryStore store;
    ASSERT_TRUE(store.OpenKey(std::string("\\") + Key + "\\" + subkey, true));
    store.WriteString(name, value);
}

std::string Get(const std::string& subkey, const std::string& name) {
    platform::RegistryStore store;
    if (!store.OpenKeyReadOnly(std::string("\\") + Key + "\\" + subkey)) return "<missing>";
    return store.ReadString(name);
}

TEST(LVSaveSettings, WritesTextValues) {
    mvtest::DesktopFixture desktop;
    TExtLVSaveSettings settings;
    settings.SetRegistryKey(Key);
    settings.WriteSizes({60, 200, 100});
    settings.WriteOrder({1, 0, 2});
    settings.WriteSort(false, 3);
    settings.WriteSizes({}); // no columns: nothing written
    EXPECT_EQ(Get("Columns", "Sizes"), "60,200,100");
    EXPECT_EQ(Get("Columns", "Order"), "1,0,2");
    EXPECT_EQ(Get("Sort", "Ascending"), "0");
    EXPECT_EQ(Get("Sort", "SortCol"), "3");
    EXPECT_TRUE(std::filesystem::exists(desktop.Config() / "morvelan" / "registry.ini"));
}

TEST(LVSaveSettings, ReadsShortDamagedAndMissingValues) {
    mvtest::DesktopFixture desktop;
    TExtLVSaveSettings settings;
    settings.SetRegistryKey(Key);
    // Missing: widths[0] = -1 and the rest untouched; identity order; ascending, column 0.
    std::vector<int> widths = {10, 20, 30};
    settings.ReadSizes(widths);
    EXPECT_EQ(widths, (std::vector<int>{-1, 20, 30}));
    std::vector<int> order = {7, 7, 7};
    settings.ReadOrder(order);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    bool ascending = false;
    int column = 5;
    settings.ReadSort(ascending, column);
    EXPECT_TRUE(ascending);
    EXPECT_EQ(column, 0);

    const struct {
        const char* sizes;
        std::vector<int> expected;
    } sizeCases[] = {
        {"120,,x", {120, 20, 30}},       // non-numbers keep their widths
        {"0x40,15", {64, 15, 30}},        // hexadecimal as ini files read it
        {"1,2,3,4,5", {1, 2, 3}},         // surplus pieces ignored
        {" 7 ,8", {7, 8, 30}},
    };
    for (const auto& c : sizeCases) {
        SCOPED_TRACE(c.sizes);
        Put("Columns", "Sizes", c.sizes);
        widths = {10, 20, 30};
        settings.ReadSizes(widths);
        EXPECT_EQ(widths, c.expected);
    }
    const struct {
        const char* order;
        std::vector<int> expected;
    } orderCases[] = {
        {"2,0,1", {2, 0, 1}},
        {"2,x,1", {2, 0, 1}},     // a non-number reads as 0
        {"1", {1, 1, 2}},         // short: the rest keep what they hold
    };
    for (const auto& c : orderCases) {
        SCOPED_TRACE(c.order);
        Put("Columns", "Order", c.order);
        order = {0, 1, 2};
        settings.ReadOrder(order);
        EXPECT_EQ(order, c.expected);
    }
    Put("Sort", "Ascending", "0");
    Put("Sort", "SortCol", "0x9");
    settings.ReadSort(ascending, column);
    EXPECT_FALSE(ascending);
    EXPECT_EQ(column, 9);
    Put("Sort", "SortCol", "junk");
    settings.ReadSort(ascending, column);
    EXPECT_EQ(column, 0);
}

} // namespace
} // namespace mv
