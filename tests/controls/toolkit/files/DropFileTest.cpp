// The file drop target on a form's list: one event per drop with every local file in
// order, switching off without unhooking, one target per control, and a control that
// goes first.
#include "controls/toolkit/files/DropFile.h"
#include "platform/ui/Form.h"
#include "platform/ui/Lists.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace mv {
namespace {

struct DropForm {
    DropForm() {
        EnsureApplication();
        form = std::make_unique<TForm>(nullptr);
        list = new TListBox(form.get());
        list->SetName("ArquivosLv");
        list->SetParent(form.get());
        list->SetBounds(0, 0, 200, 150);
        drop = new TDropFile(form.get());
        drop->SetControl(list);
        drop->OnDropFiles = [this](TComponent* sender, const std::vector<std::string>& files,
                                   const TPoint& at, bool client) {
            EXPECT_EQ(sender, drop);
            events.push_back(files);
            where = at;
            inClient = client;
        };
        for (const char* n : {"b.zip", "a.arj", "c d.lzh"}) {
            std::ofstream((dir / n).string()) << n;
            paths.push_back((dir / n).string());
        }
    }
    mvtest::TempDir dir;
    std::vector<std::string> paths;
    std::unique_ptr<TForm> form;
    TListBox* list;
    TDropFile* drop;
    std::vector<std::vector<std::string>> events;
    TPoint where;
    bool inClient = false;
};

TEST(DropFile, ThreeFilesGiveOneEventInTheirOrder) {
    DropForm f;
    EXPECT_TRUE(f.drop->Enabled());
    ASSERT_TRUE(AcceptsDrops(*f.list));
    ASSERT_TRUE(SimulateFileDrop(*f.list, f.paths, {40, 30}));
    ASSERT_EQ(f.events.size(), 1u);
    EXPECT_EQ(f.events[0], f.paths);
    EXPECT_EQ(f.where, (TPoint{40, 30}));
    EXPECT_TRUE(f.inClient);
    // Only local files count: a web address among them is left out, alone it is refused.
    ASSERT_TRUE(SimulateFileDrop(*f.list, {f.paths[0], "https://example.org/x.zip", f.paths[2]}, {1, 1}));
    EXPECT_EQ(f.events.back(), (std::vector<std::string>{f.paths[0], f.paths[2]}));
    EXPECT_FALSE(SimulateFileDrop(*f.list, {"https://example.org/x.zip"}, {1, 1}));
    EXPECT_EQ(f.events.size(), 2u);
}

TEST(DropFile, DisabledRefusesDropsAndComesBack) {
    DropForm f;
    f.drop->SetEnabled(false);
    EXPECT_FALSE(AcceptsDrops(*f.list));
    EXPECT_FALSE(SimulateFileDrop(*f.list, f.paths, {5, 5}));
    EXPECT_TRUE(f.events.empty());
    EXPECT_EQ(f.drop->Control(), f.list); // still hooked
    f.drop->SetEnabled(true);
    EXPECT_TRUE(SimulateFileDrop(*f.list, f.paths, {5, 5}));
    EXPECT_EQ(f.events.size(), 1u);
}

TEST(DropFile, ASecondTargetOnTheSameControlIsRefused) {
    DropForm f;
    auto* second = new TDropFile(f.form.get());
    try {
        second->SetControl(f.list);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "You cannot assign more than one TDropFile object to ArquivosLv");
    }
    EXPECT_EQ(second->Control(), nullptr);
    // Moving the first one elsewhere frees the list for the second.
    auto* other = new TListBox(f.form.get());
    other->SetParent(f.form.get());
    f.drop->SetControl(other);
    EXPECT_NO_THROW(second->SetControl(f.list));
}

TEST(DropFile, ControlDestroyedFirstLeavesNoHook) {
    DropForm f;
    delete f.list;
    EXPECT_EQ(f.drop->Control(), nullptr);
    QApplication::processEvents();
    f.drop->SetEnabled(false); // nothing to reach
    f.drop->SetEnabled(true);
    delete f.drop;
}

} // namespace
} // namespace mv
