// The list container holds up to its most items, 65534, and refuses the next
// one without losing what it holds.
#include "zipwriter/ObjectList.h"

#include <gtest/gtest.h>

namespace {

using namespace mv;

struct TCounted : TObject {
    explicit TCounted(int& alive) : alive(alive) { ++alive; }
    ~TCounted() override { --alive; }
    int& alive;
};

TEST(ObjectListLimit, HoldsUpTo65534ItemsAndRefusesTheNext) {
    int alive = 0;
    {
        TObjectList list;
        for (int i = 0; i < TObjectList::MaxCapacity; ++i) list.Add(new TCounted(alive));
        EXPECT_EQ(list.Count(), 65534);
        EXPECT_EQ(list.Capacity(), 65534);
        auto extra = std::make_unique<TCounted>(alive);
        EXPECT_THROW(list.Add(extra.get()), EListError);
        EXPECT_THROW(list.Insert(0, extra.get()), EListError);
        EXPECT_EQ(list.Count(), 65534);
    }
    EXPECT_EQ(alive, 0);
}

} // namespace
