// The colour panel: bevel colours from its own colour, on screen with probes.
#include "controls/toolkit/colour/ColorPanel.h"
#include "platform/ui/Form.h"
#include "platform/ui/ModalDriver.h"

#include <QApplication>
#include <filesystem>
#include <gtest/gtest.h>

namespace mv {
namespace {

TEST(ColorPanel, BevelColoursAndScreenshot) {
    const TBevelColors lowered = ColorPanelBevel(clSilver, TBevelCut::bvLowered);
    EXPECT_EQ(lowered.TopLeft, RGB(128, 128, 128));
    EXPECT_EQ(lowered.BottomRight, RGB(255, 255, 255));
    const TBevelColors raised = ColorPanelBevel(clSilver, TBevelCut::bvRaised);
    EXPECT_EQ(raised.TopLeft, RGB(255, 255, 255));
    EXPECT_EQ(raised.BottomRight, RGB(128, 128, 128));

    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetCaption("Colour panel");
    form->SetColor(clSilver);
    form->SetClientWidth(300);
    form->SetClientHeight(140);
    auto* outer = new TColorPanel(form.get());
    outer->SetParent(form.get());
    outer->SetBounds(8, 8, 200, 96);
    EXPECT_EQ(outer->Color(), clSilver); // the owner's colour
    outer->SetBevelOuter(TBevelCut::bvLowered);
    outer->SetBevelInner(TBevelCut::bvRaised);
    outer->SetBevelWidth(2);
    outer->SetBorderWidth(3);
    outer->SetCaption("Detalhes");
    form->Show();
    QApplication::processEvents();
    const auto folder =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "screenshots" / "controls";
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(SaveControlImage(*form, (folder / "colorpanel.png").string()));
    TBitmap shot;
    ASSERT_TRUE(GrabControlImage(*outer, shot));
    EXPECT_EQ(shot.Pixel(100, 0), RGB(128, 128, 128)); // lowered outer: dark top
    EXPECT_EQ(shot.Pixel(100, 1), RGB(128, 128, 128));
    EXPECT_EQ(shot.Pixel(100, 95), RGB(255, 255, 255));
    EXPECT_EQ(shot.Pixel(100, 3), clSilver);            // border
    EXPECT_EQ(shot.Pixel(100, 5), RGB(255, 255, 255)); // raised inner: light top
    EXPECT_EQ(shot.Pixel(199 - 5, 50), RGB(128, 128, 128));
    EXPECT_EQ(outer->PaintedRect(), (TRect{0, 0, 200, 96}));
}

} // namespace
} // namespace mv
