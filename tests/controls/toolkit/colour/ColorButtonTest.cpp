// The colour button: its state machine and layout arithmetic as tables (no display),
// the repeat timer on destroy, and all eleven styles pressed and unpressed in one
// screenshot with probes on the frame colours.
#include "controls/toolkit/colour/ColorButton.h"
#include "controls/toolkit/colour/ColorMan.h"
#include "platform/ui/Form.h"
#include "platform/ui/ModalDriver.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <QWidget>
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

char Letter(TClrButtonState s) { return "UXDE"[static_cast<int>(s)]; }

TEST(ColorButtonModel, StateMachine) {
    struct Row {
        const char* name;
        int group;
        bool allowAllUp;
        bool startDown;
        std::vector<std::string> actions; // "down L", "down R", "move x y", "up x y"
        char state;
        bool down;
        int clicks;
    };
    const std::vector<Row> rows = {
        {"plain click", 0, false, false, {"down L", "up 5 5"}, 'U', false, 1},
        {"press shows down", 0, false, false, {"down L"}, 'D', false, 0},
        {"move out shows up", 0, false, false, {"down L", "move 30 5"}, 'U', false, 0},
        {"bottom row counts as inside", 0, false, false, {"down L", "move 5 25"}, 'D', false, 0},
        {"right column is outside", 0, false, false, {"down L", "move 25 5"}, 'U', false, 0},
        {"release outside: no click", 0, false, false, {"down L", "up 40 5"}, 'U', false, 0},
        {"grouped click goes down", 1, false, false, {"down L", "up 5 5"}, 'E', true, 1},
        {"a down button of a group stays down", 1, false, true, {"down L", "up 5 5"}, 'E', true, 1},
        {"AllowAllUp lets it up", 1, true, true, {"down L", "up 5 5"}, 'U', false, 1},
        {"grouped release outside returns to exclusive", 1, false, true, {"down L", "up 40 40"}, 'E', true, 0},
        {"right press does not press", 0, false, false, {"down R"}, 'U', false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TColorButtonModel m;
        m.SetGroupIndex(row.group);
        m.SetAllowAllUp(true);
        if (row.startDown) m.SetDown(true);
        m.SetAllowAllUp(row.allowAllUp);
        int clicks = 0;
        m.OnClick = [&] { ++clicks; };
        for (const std::string& a : row.actions) {
            int x = 0, y = 0;
            if (a == "down L") m.MouseDown(TMouseButton::mbLeft);
            else if (a == "down R") m.MouseDown(TMouseButton::mbRight);
            else if (std::sscanf(a.c_str(), "move %d %d", &x, &y) == 2) m.MouseMove(x, y, 25, 25);
            else if (std::sscanf(a.c_str(), "up %d %d", &x, &y) == 2) m.MouseUp(TMouseButton::mbLeft, x, y, 25, 25);
        }
        EXPECT_EQ(Letter(m.State()), row.state);
        EXPECT_EQ(m.Down(), row.down);
        EXPECT_EQ(clicks, row.clicks);
    }
}

TEST(ColorButtonModel, GroupsAndRepeat) {
    TColorButtonModel a, b, solo;
    for (TColorButtonModel* m : {&a, &b}) {
        m->OnTellGroup = [m, &a, &b] {
            a.GroupPressed(m->GroupIndex(), *m);
            b.GroupPressed(m->GroupIndex(), *m);
        };
        m->SetGroupIndex(3);
    }
    a.SetDown(true);
    b.SetDown(true);
    EXPECT_FALSE(a.Down());
    EXPECT_EQ(a.State(), TClrButtonState::bsUp);
    EXPECT_TRUE(b.Down());
    b.SetAllowAllUp(true);
    EXPECT_TRUE(a.AllowAllUp()); // copied from the sender
    solo.SetDown(true);
    EXPECT_FALSE(solo.Down()); // not grouped: never down

    // Repeat: a right press starts the timer, but ticks do not click.
    TColorButtonModel r;
    r.SetOptions(boRepeatable);
    std::vector<int> intervals;
    int clicks = 0, stops = 0;
    r.OnStartRepeat = [&](int i) { intervals.push_back(i); };
    r.OnStopRepeat = [&] { ++stops; };
    r.OnClick = [&] { ++clicks; };
    r.MouseDown(TMouseButton::mbRight);
    r.RepeatTick(true);
    EXPECT_EQ(clicks, 0);
    r.MouseUp(TMouseButton::mbRight, 5, 5, 25, 25);
    EXPECT_EQ(stops, 1);
    r.MouseDown(TMouseButton::mbLeft);
    r.RepeatTick(true);
    r.RepeatTick(false); // without the capture no click
    r.RepeatTick(true);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(intervals, (std::vector<int>{500, 100, 500, 100, 100, 100}));
    r.OnClick = [] { throw std::runtime_error("click failed"); };
    EXPECT_THROW(r.RepeatTick(true), std::runtime_error);
    EXPECT_EQ(stops, 2);
}

TEST(ColorButtonModel, GlyphCountsLayoutAndColours) {
    EXPECT_EQ(NormalizeNumGlyphs(7, 1), 4);
    EXPECT_EQ(NormalizeNumGlyphs(0, 2), 2);
    EXPECT_EQ(NumGlyphsForStrip(64, 16, 1), 4);
    EXPECT_EQ(NumGlyphsForStrip(80, 16, 2), 1);
    EXPECT_EQ(NumGlyphsForStrip(40, 16, 3), 3);

    struct Row {
        const char* name;
        TButtonLayout layout;
        int margin, spacing, glyph, text;
        int wantMargin, wantSpacing, glyphX, textX;
    };
    // Content 96 x 20 at (2, 2); glyph 16 x 16, caption text x 10.
    const std::vector<Row> rows = {
        {"both -1 split the free space in three", TButtonLayout::blGlyphLeft, -1, -1, 16, 40, 13, 13, 15, 44},
        {"margin -1 centres the block", TButtonLayout::blGlyphLeft, -1, 4, 16, 40, 18, 4, 20, 40},
        {"spacing -1 centres the caption after the glyph", TButtonLayout::blGlyphLeft, 2, -1, 16, 40, 2, 19, 4, 39},
        {"glyph right", TButtonLayout::blGlyphRight, 4, 4, 16, 40, 4, 4, 78, 34},
        {"no caption: no spacing", TButtonLayout::blGlyphLeft, -1, 4, 16, 0, 40, 0, 42, 58},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto r = CalcButtonLayout({2, 2, 98, 22}, row.glyph, 16, row.text, 10, row.layout, row.margin, row.spacing);
        EXPECT_EQ(r.Margin, row.wantMargin);
        EXPECT_EQ(r.Spacing, row.wantSpacing);
        EXPECT_EQ(r.GlyphPos.X, row.glyphX);
        EXPECT_EQ(r.TextRect.Left, row.textX);
        EXPECT_EQ(r.GlyphPos.Y, 2 + (20 - 16 + 1) / 2);
        EXPECT_EQ(r.TextRect.Top, 2 + (20 - 10 + 1) / 2);
    }
    const auto top = CalcButtonLayout({0, 0, 40, 60}, 16, 16, 30, 10, TButtonLayout::blGlyphTop, -1, -1);
    EXPECT_EQ(top.Margin, 11);
    EXPECT_EQ(top.GlyphPos, (TPoint{12, 11}));
    EXPECT_EQ(top.TextRect.Top, 38);

    // Pressed offset and borders.
    EXPECT_EQ(ContentRect(TClrButtonStyle::bsNew, {0, 0, 25, 25}, false), (TRect{2, 2, 23, 23}));
    EXPECT_EQ(ContentRect(TClrButtonStyle::bsNew, {0, 0, 25, 25}, true), (TRect{3, 3, 22, 22}));
    EXPECT_EQ(ContentRect(TClrButtonStyle::bsMicroposeGame, {0, 0, 25, 25}, false), (TRect{4, 4, 20, 20}));
    EXPECT_EQ(ContentRect(TClrButtonStyle::bsIE4, {0, 0, 25, 25}, false), (TRect{1, 1, 24, 24}));
    const TFaceColors up = FaceColors(clSilver, false), down = FaceColors(clSilver, true);
    EXPECT_EQ(up.Hi, RGB(252, 252, 252));
    EXPECT_EQ(up.Dk, RGB(92, 92, 92));
    EXPECT_EQ(down.Hi, RGB(144, 144, 144));
    EXPECT_EQ(down.Lt, RGB(96, 96, 96));
}

TEST(ColorButton, RepeatTimerStopsWhenItsButtonIsDestroyed) {
    EnsureApplication();
    TForm form(nullptr);
    auto* keep = new TColorButton(&form);
    keep->SetParent(&form);
    auto button = std::make_unique<TColorButton>(&form);
    button->SetParent(&form);
    button->SetOptions(boRepeatable);
    button->MouseDown(TMouseButton::mbLeft, 0, 5, 5);
    EXPECT_EQ(TColorButton::RepeatTarget(), button.get());
    EXPECT_TRUE(TColorButton::RepeatRunning());
    button.reset();
    EXPECT_EQ(TColorButton::RepeatTarget(), nullptr);
    EXPECT_FALSE(TColorButton::RepeatRunning());
    QApplication::processEvents();
    (void)keep;
}

TEST(ColorButton, ElevenStylesPressedAndUnpressed) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetCaption("Colour buttons");
    form->SetColor(clSilver);
    const int w = 84, h = 30;
    form->SetClientWidth(8 + 2 * (w + 8));
    form->SetClientHeight(8 + 11 * (h + 6));
    std::vector<std::pair<TColorButton*, bool>> buttons;
    const char* names[11] = {"Win31", "New", "Ellipse", "Tab", "IE4", "SideDown", "Glass", "Flat", "Owner", "Game", "Gradient"};
    for (int s = 0; s < 11; ++s)
        for (int p = 0; p < 2; ++p) {
            auto* b = new TColorButton(form.get());
            b->SetParent(form.get());
            b->SetBounds(8 + p * (w + 8), 8 + s * (h + 6), w, h);
            b->SetColor(s % 2 ? RGB(40, 90, 160) : clSilver);
            b->SetStyle(static_cast<TClrButtonStyle>(s));
            b->SetCaption(std::string(names[s]) + (p ? " down" : ""));
            b->SetGroupIndex(100 + s * 2 + p);
            if (p) b->SetDown(true);
            buttons.push_back({b, p == 1});
        }
    form->Show();
    QApplication::processEvents();
    ASSERT_TRUE(SaveControlImage(*form, ShotPath("colorbuttons.png")));
    for (auto [b, pressed] : buttons) {
        SCOPED_TRACE(b->Caption());
        TBitmap shot;
        ASSERT_TRUE(GrabControlImage(*b, shot));
        const TColor C = ColorToRGB(b->Color());
        const TFaceColors f = FaceColors(C, pressed);
        switch (b->Style()) {
        case TClrButtonStyle::bsNew:
        case TClrButtonStyle::bsOwnerDraw:
            EXPECT_EQ(shot.Pixel(w / 2, 0), f.Lt);
            EXPECT_EQ(shot.Pixel(w / 2, h - 1), f.Dk);
            EXPECT_EQ(shot.Pixel(w / 2, 1), f.Hi);
            EXPECT_EQ(shot.Pixel(w - 2, h / 2), f.Sh);
            break;
        case TClrButtonStyle::bsFlat:
            EXPECT_EQ(shot.Pixel(w / 2, 0), f.Hi);
            EXPECT_EQ(shot.Pixel(w - 1, h / 2), f.Sh);
            break;
        case TClrButtonStyle::bsWin31:
            EXPECT_EQ(shot.Pixel(w / 2, 0), Darken(C, 126));
            EXPECT_EQ(shot.Pixel(0, 0), C);
            EXPECT_EQ(shot.Pixel(w / 2, 1), pressed ? Darken(C, 48) : Brighten(C, 48));
            break;
        case TClrButtonStyle::bsGradient:
            EXPECT_EQ(shot.Pixel(w / 2, 0), pressed ? Darken(C, 96) : Brighten(C, 24));
            EXPECT_EQ(shot.Pixel(0, h / 2), pressed ? Darken(C, 96) : Brighten(C, 24));
            EXPECT_EQ(shot.Pixel(w - 2, h / 2), pressed ? Brighten(C, 24) : Darken(C, 96));
            break;
        case TClrButtonStyle::bsGlass:
            EXPECT_EQ(shot.Pixel(w / 2, 0), pressed ? C : Darken(C, 64));
            break;
        case TClrButtonStyle::bsTab:
            EXPECT_EQ(shot.Pixel(w / 2, 0), Brighten(C, 24));
            EXPECT_EQ(shot.Pixel(w / 2, 1), Brighten(C, 64));
            break;
        case TClrButtonStyle::bsIE4:
            if (pressed) EXPECT_EQ(shot.Pixel(w / 2, 0), f.Hi);
            else EXPECT_NE(shot.Pixel(w / 2, 0), f.Hi); // flat until hot or pressed
            break;
        default: break;
        }
        // The caption is drawn (ink of the auto black or white text colour).
        const TColor ink = IsLightColor(C) ? clBlack : clWhite;
        int n = 0;
        for (int y = 4; y < h - 4; ++y)
            for (int x = 4; x < w - 4; ++x)
                if (std::abs(GetRValue(shot.Pixel(x, y)) - GetRValue(ink)) < 64 &&
                    std::abs(GetBValue(shot.Pixel(x, y)) - GetBValue(ink)) < 64)
                    ++n;
        EXPECT_GT(n, 5);
    }
}

} // namespace
} // namespace mv

namespace mv {
namespace {

TEST(ColorButton, GlyphPlacedAndEmbossedWhenDisabled) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetCaption("Glyphs");
    form->SetClientWidth(220);
    form->SetClientHeight(48);
    TBitmap glyph;
    glyph.SetSize(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) glyph.SetPixel(x, y, x >= 4 && x < 12 && y >= 4 && y < 12 ? clRed : 0x808000);
    TColorButton* buttons[2];
    for (int i = 0; i < 2; ++i) {
        auto* b = new TColorButton(form.get());
        b->SetParent(form.get());
        b->SetBounds(8 + i * 104, 8, 100, 30);
        b->SetColor(clSilver);
        b->SetGlyph(glyph);
        b->SetCaption(i ? "Off" : "Glyph");
        b->SetMargin(4);
        b->SetEnabled(i == 0);
        buttons[i] = b;
    }
    EXPECT_EQ(buttons[0]->NumGlyphs(), 1);
    form->Show();
    QApplication::processEvents();
    ASSERT_TRUE(SaveControlImage(*form, ShotPath("colorbutton_glyphs.png")));
    // Content (2, 2, 98, 28), glyph at margin 4, centred across: y = 2 + (26 - 16 + 1) / 2.
    const int gx = 2 + 4, gy = 2 + (26 - 16 + 1) / 2;
    TBitmap on, off;
    ASSERT_TRUE(GrabControlImage(*buttons[0], on));
    ASSERT_TRUE(GrabControlImage(*buttons[1], off));
    EXPECT_EQ(on.Pixel(gx + 8, gy + 8), clRed);
    EXPECT_EQ(on.Pixel(gx + 1, gy + 1), clSilver); // see-through
    EXPECT_EQ(off.Pixel(gx + 8, gy + 8), Darken(clSilver, 48));
    EXPECT_EQ(off.Pixel(gx + 12, gy + 12), Brighten(clSilver, 96)); // the embossed edge
}

TEST(ColorButton, HoverDoubleClickAndAcceleratorReachTheButton) {
    EnsureApplication();
    std::vector<std::string> played;
    auto previousPlayer = TColorButton::SoundPlayer();
    TColorButton::SoundPlayer() = [&](const std::string& name) { played.push_back(name); };
    TForm form(nullptr);
    auto* button = new TColorButton(&form);
    button->SetParent(&form);
    button->SetBounds(4, 4, 80, 24);
    button->SetCaption("&Go");
    button->SetSoundMouseOver("CLEK");
    button->SetSoundClick("CLICK");
    int clicks = 0, doubles = 0;
    button->OnClick = [&](TComponent*) { ++clicks; };
    button->OnDblClick = [&](TComponent*) { ++doubles; };
    form.Show();
    QApplication::processEvents();
    QWidget* widget = button->Widget();

    // The pointer entering marks the button hot and plays its mouse-over sound once.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(widget, &enter);
    QApplication::sendEvent(widget, &enter);
    EXPECT_TRUE(button->Model().MouseInControl());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
    EXPECT_FALSE(button->Model().MouseInControl());
    EXPECT_EQ(played, (std::vector<std::string>{"CLEK"}));

    // A double click fires OnDblClick only while the button is down (grouped).
    auto doubleClick = [&] {
        QMouseEvent press(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(widget, &release);
    };
    doubleClick();
    EXPECT_EQ(doubles, 0);
    button->SetGroupIndex(1);
    button->SetDown(true);
    doubleClick();
    EXPECT_EQ(doubles, 1);
    button->SetDown(false);
    button->SetAllowAllUp(true);
    button->SetDown(false);

    // The caption's accelerator is Alt+G in the button's window; it clicks an enabled button.
    auto* shortcut = widget->findChild<QShortcut*>();
    ASSERT_NE(shortcut, nullptr);
    EXPECT_EQ(shortcut->key(), QKeySequence(QStringLiteral("Alt+G")));
    const int before = clicks;
    QMetaObject::invokeMethod(shortcut, "activated");
    EXPECT_EQ(clicks, before + 1);
    button->SetEnabled(false);
    EXPECT_FALSE(button->DialogChar('g'));
    button->SetEnabled(true);
    EXPECT_FALSE(button->DialogChar('x'));
    EXPECT_TRUE(button->DialogChar('G'));
    button->SetCaption("No accelerator");
    EXPECT_EQ(widget->findChild<QShortcut*>(), nullptr);
    EXPECT_EQ(played.back(), "CLICK");
    TColorButton::SoundPlayer() = previousPlayer;
}

} // namespace
} // namespace mv
