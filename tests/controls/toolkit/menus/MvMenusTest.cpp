// The owner-drawn main menu: when it draws and watches its form, measuring through the
// form's messages, the menu-character answers, the cursor, and a pop-up drawn in the
// raised button style with images (three languages).
#include "controls/toolkit/menus/MvMenus.h"
#include "platform/ui/Form.h"
#include "platform/ui/SysMetrics.h"
#include "tests/support/DesktopFixture.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace mv {
namespace {

TMenuItem* AddItem(TMenuItem* parent, const std::string& caption) {
    auto* item = new TMenuItem(parent);
    item->SetCaption(caption);
    parent->Add(item);
    return item;
}

// Four 16 x 16 images: coloured squares on see-through magenta.
void FillImages(TImageList& images) {
    images.SetWidth(16);
    images.SetHeight(16);
    TBitmap strip;
    strip.SetSize(64, 16);
    const TColor colours[4] = {clRed, clGreen, clBlue, clOlive};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x)
            strip.SetPixel(x, y,
                           (x % 16) >= 2 && (x % 16) < 14 && y >= 2 && y < 14 ? colours[x / 16] : 0xFF00FF);
    images.AddMasked(strip, 0xFF00FF);
}

TEST(MvMainMenu, StandardMenusNeverHookAndImagesSwitchDrawingOn) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    auto* menu = new TMvMainMenu(form.get());
    TMenuItem* file = AddItem(menu->Items(), "&Arquivo");
    TMenuItem* open = AddItem(file, "&Abrir");
    EXPECT_FALSE(menu->OwnerDraw());
    EXPECT_FALSE(menu->Hooked());
    EXPECT_EQ(THookList::Instance().Find(form.get()), nullptr);
    // Messages to the form reach no menu.
    TMeasureItemStruct m{ODT_MENU, open, 0, 0};
    EXPECT_EQ(form->Perform(WM_MEASUREITEM, 0, reinterpret_cast<intptr_t>(&m)), 0);
    EXPECT_EQ(m.ItemHeight, 0);

    auto* images = new TImageList(form.get());
    menu->SetImages(images); // empty list: still standard
    EXPECT_FALSE(menu->Hooked());
    FillImages(*images);
    menu->ImagesChanged();
    menu->OnGetImageIndex = [&](TComponent*, TMenuItem* item, TMenuOwnerDrawState, int& index) {
        if (item == open) index = 2;
    };
    EXPECT_TRUE(menu->OwnerDraw());
    EXPECT_TRUE(menu->Hooked());
    EXPECT_TRUE(menu->ItemOwnerDrawn(open));
    EXPECT_EQ(form->Perform(WM_MEASUREITEM, 0, reinterpret_cast<intptr_t>(&m)), 1);
    EXPECT_GE(m.ItemHeight, 16 + 4);
    delete images; // freeing the list switches back
    EXPECT_EQ(menu->Images(), nullptr);
    EXPECT_FALSE(menu->OwnerDraw());
    EXPECT_FALSE(menu->Hooked());
    EXPECT_FALSE(menu->ItemOwnerDrawn(open));
    menu->SetStyle(TMvMenuStyle::msOwnerDraw);
    EXPECT_TRUE(menu->Hooked());
    menu->SetStyle(TMvMenuStyle::msStandard);
    EXPECT_FALSE(menu->Hooked());
}

TEST(MvMainMenu, SeparatorsAndItemsMeasure) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    auto* menu = new TMvMainMenu(form.get());
    menu->SetStyle(TMvMenuStyle::msOwnerDraw);
    TMenuItem* file = AddItem(menu->Items(), "&Arquivo");
    TMenuItem* sep = AddItem(file, "-");
    TMenuItem* quit = AddItem(file, "&Sair");
    int w = 0, h = 0;
    menu->MeasureItem(sep, w, h);
    EXPECT_GE(h, 9);
    TCanvas canvas;
    const int g = TMvMainMenu::Gap();
    EXPECT_EQ(g, static_cast<int>(std::lround(0.3 * GetSystemMetrics(SM_CXMENUCHECK))));
    menu->MeasureItem(file, w, h);
    EXPECT_EQ(w, canvas.TextWidth("Arquivo"));
    EXPECT_EQ(h, std::max(GetSystemMetrics(SM_CYMENU) - 2, canvas.TextHeight("Arquivo")));
    menu->MeasureItem(quit, w, h);
    EXPECT_EQ(w, 2 * g + canvas.TextWidth("Sair\t\t") + GetSystemMetrics(SM_CXMENUCHECK));
    menu->OnMeasureItem = [](TComponent*, TMenuItem*, int& width, int&) { width = 99; };
    menu->MeasureItem(quit, w, h);
    EXPECT_EQ(w, 99);
}

TEST(MvMainMenu, MenuCharacterTable) {
    const struct {
        const char* name;
        char typed;
        std::vector<TMenuCharItem> items;
        uint32_t answer;
    } cases[] = {
        {"one accelerator executes", 'a', {{"&Novo"}, {"&Abrir"}, {"&Sair"}}, (MNC_EXECUTE << 16) | 1},
        {"upper case typed", 'S', {{"&Novo"}, {"&Sair"}}, (MNC_EXECUTE << 16) | 1},
        {"two accelerators select the first",
         'a',
         {{"&Abrir"}, {"&Novo"}, {"&Apagar"}},
         (MNC_SELECT << 16) | 0},
        {"after the highlighted one",
         'a',
         {{"&Abrir", false, true}, {"&Novo"}, {"&Apagar"}},
         (MNC_SELECT << 16) | 2},
        {"disabled accelerator closes", 'a', {{"&Abrir", true}, {"&Novo"}}, MNC_CLOSE << 16},
        {"disabled before an enabled one", 'a', {{"&Abrir", true}, {"&Apagar"}}, (MNC_EXECUTE << 16) | 1},
        {"first letter without accelerator", 'n', {{"&Abrir"}, {"Novo"}}, (MNC_EXECUTE << 16) | 1},
        {"disabled first letter closes", 'n', {{"&Abrir"}, {"Novo", true}}, MNC_CLOSE << 16},
        {"double ampersand is no accelerator", 'b', {{"A&&B"}, {"&Backup"}}, (MNC_EXECUTE << 16) | 1},
        {"nothing", 'z', {{"&Abrir"}}, MNC_IGNORE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MenuCharAnswer(c.typed, c.items), c.answer);
    }
    // Through the form's window procedure while the menu draws itself.
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    auto* menu = new TMvMainMenu(form.get());
    menu->SetStyle(TMvMenuStyle::msBtnRaised);
    TMenuCharStruct mc{'a', cases[4].items};
    EXPECT_EQ(form->Perform(WM_MENUCHAR, 0, reinterpret_cast<intptr_t>(&mc)),
              static_cast<intptr_t>(MNC_CLOSE << 16));
}

TEST(MvMainMenu, CursorOnlyForTheMouse) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    auto* menu = new TMvMainMenu(form.get());
    menu->SetStyle(TMvMenuStyle::msOwnerDraw);
    menu->SetCursor(TCursor::crHandPoint);
    TMenuItem* file = AddItem(menu->Items(), "&Arquivo");
    TMenuItem* open = AddItem(file, "&Abrir");
    TMenuSelectStruct s{open, true};
    form->Perform(WM_MENUSELECT, 0, reinterpret_cast<intptr_t>(&s));
    EXPECT_EQ(menu->CurrentCursor(), TCursor::crHandPoint);
    s.ByMouse = false; // keyboard
    form->Perform(WM_MENUSELECT, 0, reinterpret_cast<intptr_t>(&s));
    EXPECT_EQ(menu->CurrentCursor(), TCursor::crDefault);
    s = {file, true}; // a top-level item with a pop-up
    form->Perform(WM_MENUSELECT, 0, reinterpret_cast<intptr_t>(&s));
    EXPECT_EQ(menu->CurrentCursor(), TCursor::crDefault);
}

TEST(MvMainMenu, RaisedPopupWithImagesScreenshots) {
    EnsureApplication();
    const struct {
        const char* name;
        std::vector<std::string> captions;
    } langs[] = {
        {"pt", {"&Abrir arquivo", "&Extrair", "-", "E&xcluir", "&Sair"}},
        {"en", {"&Open archive", "&Extract", "-", "&Delete", "E&xit"}},
        {"es", {"&Abrir archivo", "&Extraer", "-", "E&liminar", "&Salir"}},
    };
    const std::string folder = mvtest::ScreenshotFolder("menus");
    for (const auto& lang : langs) {
        SCOPED_TRACE(lang.name);
        auto form = std::make_unique<TForm>(nullptr);
        auto* images = new TImageList(form.get());
        FillImages(*images);
        auto* menu = new TMvMainMenu(form.get());
        menu->SetImages(images);
        menu->SetStyle(TMvMenuStyle::msBtnRaised);
        TMenuItem* top = AddItem(menu->Items(), "&Menu");
        std::vector<TMenuItem*> items;
        for (const auto& c : lang.captions) items.push_back(AddItem(top, c));
        items[3]->SetEnabled(false);
        items[1]->SetChecked(true);
        menu->OnGetImageIndex = [&](TComponent*, TMenuItem* item, TMenuOwnerDrawState, int& index) {
            for (int i = 0; i < 5; ++i)
                if (items[static_cast<size_t>(i)] == item) index = i < 2 ? i : i - 1;
        };
        // Measure every item, then draw the pop-up as the system would: one rectangle each.
        std::vector<TRect> rects;
        int width = 0, y = 2;
        for (TMenuItem* item : items) {
            TMeasureItemStruct m{ODT_MENU, item, 0, 0};
            ASSERT_EQ(form->Perform(WM_MEASUREITEM, 0, reinterpret_cast<intptr_t>(&m)), 1);
            width = std::max(width, m.ItemWidth);
            rects.push_back(Bounds(2, y, 0, m.ItemHeight));
            y += m.ItemHeight;
        }
        TBitmap popup;
        popup.SetSize(width + 4, y + 2);
        popup.Canvas().SetBrushColor(clMenu);
        popup.Canvas().FillRect(Rect(0, 0, popup.Width(), popup.Height()));
        for (size_t i = 0; i < items.size(); ++i) {
            rects[i].Right = 2 + width;
            TDrawItemStruct d;
            d.Item = items[i];
            d.Canvas = &popup.Canvas();
            d.RcItem = rects[i];
            d.ItemState = (i == 0 ? odSelected : 0) | (items[i]->Checked() ? odChecked : 0) |
                          (items[i]->Enabled() ? 0 : odDisabled | odGrayed);
            ASSERT_EQ(form->Perform(WM_DRAWITEM, 0, reinterpret_cast<intptr_t>(&d)), 1);
        }
        ASSERT_TRUE(popup.SaveToFile(folder + "/mvmenu_raised_images_" + lang.name + ".png"));
        // The raised frame round the selected item: highlight at its top-left, shadow at its bottom-right.
        EXPECT_EQ(popup.Pixel(rects[0].Left, rects[0].Top + 3), ColorToRGB(clBtnHighlight));
        EXPECT_EQ(popup.Pixel(rects[0].Right - 1, rects[0].Top + 3), ColorToRGB(clBtnShadow));
        // The images sit in their column, centred: red for the first item, blue for the
        // fourth (drawn greyed, so not blue), green for the second.
        const int g = TMvMainMenu::Gap(), x = 2 * g + GetSystemMetrics(SM_CXMENUCHECK);
        const int imageX = rects[0].Left + x + 1 + 8;
        EXPECT_EQ(popup.Pixel(imageX, (rects[0].Top + rects[0].Bottom) / 2), clRed);
        EXPECT_EQ(popup.Pixel(imageX, (rects[1].Top + rects[1].Bottom) / 2), clGreen);
        EXPECT_NE(popup.Pixel(imageX, (rects[3].Top + rects[3].Bottom) / 2), clBlue);
        // The separator: a shadow line over a highlight line.
        const int sy = (rects[2].Top + rects[2].Bottom) / 2 - 1;
        EXPECT_EQ(popup.Pixel(rects[2].Left + 10, sy), ColorToRGB(clBtnShadow));
        EXPECT_EQ(popup.Pixel(rects[2].Left + 10, sy + 1), ColorToRGB(clBtnHighlight));
    }
}

} // namespace
} // namespace mv
