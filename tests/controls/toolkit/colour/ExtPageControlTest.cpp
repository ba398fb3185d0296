// The extended page control as users meet it: left tabs 90 x 30 with the bold active
// font, both tab colours and a glyph per tab, a disabled tab greyed and refused, hot
// tracking and tab hints; screenshots in the three languages' captions.
#include "controls/toolkit/colour/ExtPageControl.h"
#include "platform/ui/Form.h"
#include "platform/ui/ModalDriver.h"

#include <QApplication>
#include <filesystem>
#include <gtest/gtest.h>

namespace mv {
namespace {

std::string ShotPath(const std::string& name) {
    const auto folder =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "screenshots" / "controls";
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

struct Lang {
    const char* name;
    std::vector<std::string> captions;
};

TEST(ExtPageControl, LeftTabsGlyphsAndADisabledTab) {
    EnsureApplication();
    const std::vector<Lang> langs = {
        {"pt", {"Geral", "Arquivos", "Agenda", "Opções"}},
        {"en", {"General", "Files", "Schedule", "Options"}},
        {"es", {"General", "Archivos", "Agenda", "Opciones"}},
    };
    // A strip of four 16 x 16 glyphs on the see-through magenta, each a coloured square.
    TBitmap strip;
    strip.SetSize(64, 16);
    const TColor glyphColours[4] = {clRed, clGreen, clBlue, clOlive};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x)
            strip.SetPixel(x, y, (x % 16) >= 3 && (x % 16) < 13 && y >= 3 && y < 13 ? glyphColours[x / 16] : 0xFF00FF);
    for (const Lang& lang : langs) {
        SCOPED_TRACE(lang.name);
        auto form = std::make_unique<TForm>(nullptr);
        form->SetBorderStyle(TFormBorderStyle::bsDialog);
        form->SetCaption("ExtPageControl");
        form->SetClientWidth(336);
        form->SetClientHeight(176);
        auto* pc = new TExtPageControl(form.get());
        pc->SetParent(form.get());
        pc->SetBounds(8, 8, 320, 160);
        for (const std::string& c : lang.captions) pc->AddPage(c);
        pc->SetTabPosition(TExtTabPosition::tabPosLeft);
        pc->SetTabWidth(90);
        pc->SetTabHeight(30);
        pc->SetTabActiveColor(clSilver);
        pc->SetTabInactiveColor(10789024);
        pc->TabActiveFont().SetStyle(fsBold);
        pc->SetTabWordWrap(true);
        pc->TabGlyphs().Glyph->Assign(strip);
        pc->TabGlyphs().NumGlyphs = 4;
        pc->Hottrack().Enabled = true;
        pc->SetPageEnabled(2, false);
        pc->SetActivePageIndex(1);
        int changes = 0;
        pc->OnChange = [&](TComponent*) { ++changes; };
        form->Show();
        QApplication::processEvents();
        ASSERT_TRUE(SaveControlImage(*form, ShotPath(std::string("extpagecontrol_") + lang.name + ".png")));

        EXPECT_EQ(pc->GetTabRect(0), Bounds(2, 2, 90, 30));
        TBitmap shot;
        ASSERT_TRUE(GrabControlImage(*pc, shot));
        // Tab colours: active silver, the others (160, 160, 164).
        const TRect t0 = pc->GetTabRect(0), t1 = pc->GetTabRect(1), t2 = pc->GetTabRect(2);
        EXPECT_EQ(shot.Pixel(t1.Right - 5, t1.Top + 4), clSilver);
        EXPECT_EQ(shot.Pixel(t0.Right - 5, t0.Top + 4), static_cast<TColor>(10789024));
        // Glyph at left + 8, centred vertically; the disabled tab shows none.
        EXPECT_EQ(shot.Pixel(t0.Left + 8 + 8, t0.Top + 15), clRed);
        EXPECT_EQ(shot.Pixel(t1.Left + 8 + 8, t1.Top + 15), clGreen);
        EXPECT_EQ(shot.Pixel(t0.Left + 8 + 1, t0.Top + 15), static_cast<TColor>(10789024)); // see-through
        EXPECT_NE(shot.Pixel(t2.Left + 8 + 8, t2.Top + 15), clBlue);
        // The disabled caption is greyed: highlight and shadow ink, no black.
        int shadow = 0, black = 0;
        for (int y = t2.Top + 2; y < t2.Bottom - 2; ++y)
            for (int x = t2.Left + 2; x < t2.Right - 2; ++x) {
                const TColor p = shot.Pixel(x, y);
                if (p == ColorToRGB(clBtnShadow)) ++shadow;
                if (GetRValue(p) < 40 && GetGValue(p) < 40) ++black;
            }
        EXPECT_GT(shadow, 5);
        EXPECT_EQ(black, 0);
        // The bold active caption has more ink than the same text would in the plain font.
        int ink = 0;
        for (int y = t1.Top + 2; y < t1.Bottom - 2; ++y)
            for (int x = t1.Left + 30; x < t1.Right - 2; ++x)
                if (GetRValue(shot.Pixel(x, y)) < 90) ++ink;
        EXPECT_GT(ink, 20);

        // A click on the disabled tab changes nothing; on another tab it switches.
        pc->MouseDown(TMouseButton::mbLeft, 0, t2.Left + 10, t2.Top + 10);
        EXPECT_EQ(pc->ActivePageIndex(), 1);
        EXPECT_EQ(changes, 0);
        pc->MouseDown(TMouseButton::mbLeft, 0, t0.Left + 10, t0.Top + 10);
        EXPECT_EQ(pc->ActivePageIndex(), 0);
        EXPECT_EQ(changes, 1);
        EXPECT_TRUE(pc->Page(0)->Visible());
        EXPECT_FALSE(pc->Page(1)->Visible());
        // Hot tracking and hints.
        pc->SetShowHint(true);
        pc->SetHint("own");
        pc->Model().TabHints() = {"first page", "second page"};
        pc->MouseMove(0, t1.Left + 10, t1.Top + 10);
        EXPECT_EQ(pc->Hottrack().HotTab, 1);
        EXPECT_EQ(pc->Hint(), "second page");
        pc->MouseMove(0, t2.Left + 10, t2.Top + 10);
        EXPECT_EQ(pc->Hint(), ""); // no line for page 2
        pc->MouseLeave();
        EXPECT_EQ(pc->Hottrack().HotTab, -1);
        EXPECT_EQ(pc->Hint(), "own");
    }
}

TEST(ExtPageControl, HiddenTabsMapToShownPages) {
    EnsureApplication();
    TForm form(nullptr);
    auto* pc = new TExtPageControl(&form);
    pc->SetParent(&form);
    for (const char* c : {"Step 1", "Step 2", "Step 3"}) pc->AddPage(c);
    pc->SetTabVisible(0, false);
    EXPECT_EQ(pc->Model().TabIndexToPageIndex(0), 1);
    const TRect t0 = pc->GetTabRect(0);
    pc->MouseDown(TMouseButton::mbLeft, 0, t0.Left + 3, t0.Top + 3);
    EXPECT_EQ(pc->ActivePageIndex(), 1);
    EXPECT_EQ(pc->GetTabRect(2), (TRect{0, 0, 0, 0}));
    EXPECT_EQ(pc->TabAtPoint({-5, -5}), -1);
}

TEST(ExtPageControl, BackgroundHooksPaintLockAndReleasedPages) {
    EnsureApplication();
    TForm form(nullptr);
    form.SetClientWidth(300);
    form.SetClientHeight(200);
    auto* pc = new TExtPageControl(&form);
    pc->SetParent(&form);
    pc->SetBounds(0, 0, 300, 200);
    for (const char* caption : {"One", "Two", "Three"}) pc->AddPage(caption);
    pc->SetActivePageIndex(1);
    int inside = 0, outsideArea = 0, currPage = -2;
    TRect insideRect{};
    pc->OnDrawBkgndInside = [&](TComponent*, TCanvas&, int page, const TRect& r) {
        ++inside;
        currPage = page;
        insideRect = r;
    };
    pc->OnDrawBkgndOutside = [&](TComponent*, TCanvas&, const std::vector<TRect>& region) {
        outsideArea = 0;
        for (const TRect& r : region) outsideArea += r.Width() * r.Height();
    };
    TBitmap image;
    pc->PaintTo(image);
    EXPECT_EQ(inside, 1);
    EXPECT_EQ(currPage, 1);
    const TRect d = pc->DisplayRect();
    EXPECT_EQ(insideRect, d);
    EXPECT_EQ(outsideArea, 300 * 200 - d.Width() * d.Height()); // everything around the page area

    // Locks nest: a tab move inside a lock paints nothing until the last unlock.
    pc->LockPaint();
    pc->SetTabPosition(TExtTabPosition::tabPosLeft);
    EXPECT_TRUE(pc->PaintLocked());
    pc->PaintTo(image);
    EXPECT_EQ(inside, 1);
    pc->UnlockPaint();
    EXPECT_FALSE(pc->PaintLocked());
    pc->PaintTo(image);
    EXPECT_EQ(inside, 2);
    pc->UnlockPaint(); // one unlock too many is harmless
    EXPECT_FALSE(pc->PaintLocked());

    pc->ReleaseInactivePages();
    EXPECT_FALSE(pc->Page(0)->Visible());
    EXPECT_TRUE(pc->Page(1)->Visible());
    EXPECT_FALSE(pc->Page(2)->Visible());
}

} // namespace
} // namespace mv
