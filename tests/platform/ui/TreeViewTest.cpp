// The tree view's selection as it is drawn: the selected node's caption is
// highlighted, and nothing left of it (indentation, expand button, image).
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/TreeView.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <memory>

namespace mv {
namespace {

int CountColour(const TBitmap& picture, const TRect& area, TColor colour) {
    int n = 0;
    for (int y = std::max(area.Top, 0); y < std::min(area.Bottom, picture.Height()); ++y)
        for (int x = std::max(area.Left, 0); x < std::min(area.Right, picture.Width()); ++x)
            if (picture.Pixel(x, y) == colour) ++n;
    return n;
}

TEST(TreeView, OnlyTheSelectedCaptionIsHighlighted) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    form->SetClientWidth(240);
    form->SetClientHeight(160);
    auto* tree = new TTreeView(form.get());
    tree->SetParent(form.get());
    tree->SetBounds(0, 0, 240, 130);
    auto* other = new TButton(form.get()); // takes the focus away from the tree
    other->SetParent(form.get());
    other->SetBounds(0, 132, 75, 25);
    tree->SetHideSelection(false);
    TTreeNode* root = tree->Items().AddChild(nullptr, "Root");
    TTreeNode* child = tree->Items().AddChild(root, "Child");
    tree->Items().AddChild(child, "Grandchild");
    root->Expand(false);
    form->Show();
    QApplication::processEvents();
    for (bool focused : {true, false}) {
        SCOPED_TRACE(focused);
        tree->SetSelected(nullptr);
        tree->SetSelected(child);
        if (focused) tree->SetFocus();
        else other->SetFocus();
        QApplication::processEvents();
        ASSERT_TRUE(child->Selected());
        ASSERT_EQ(tree->Focused(), focused);
        TBitmap shot;
        ASSERT_TRUE(GrabControlImage(*tree, shot));
        const TRect caption = child->DisplayRect(true);
        const TRect row = child->DisplayRect(false);
        ASSERT_GT(caption.Left, 10);
        const TColor mark = ColorToRGB(focused ? clHighlight : clBtnFace);
        // The caption carries the highlight; its left, inside the row, none of it.
        EXPECT_GT(CountColour(shot, caption, mark), caption.Width() * caption.Height() / 4);
        EXPECT_EQ(CountColour(shot, Rect(0, row.Top, caption.Left - 1, row.Bottom), mark), 0);
    }
}

} // namespace
} // namespace mv
