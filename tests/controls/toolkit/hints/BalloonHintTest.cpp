// Balloon hints: the line rule, the geometry and placement of body and tail, the
// window's shape at the tail tips and the shadow, the look used once the settings
// component is gone, and screenshots of the four placements in three languages.
#include "controls/toolkit/hints/BalloonHint.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/ModalDriver.h"
#include "tests/support/DesktopFixture.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace mv {
namespace {

TEST(BalloonGeometry, LinesAreRunsOfPrintableCharacters) {
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\n\r\nb", {"a", "b"}},
        {"\r\nabrir\tarquivo\n", {"abrir", "arquivo"}},
        {"uma linha só", {"uma linha só"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SplitHintLines(c.text), c.lines);
    }
    // Fake font: 6 pixels a byte, 13 a line.
    const TLineMeasure fake = [](const std::string& s) { return TPoint{6 * static_cast<int>(s.size()), 13}; };
    const TTextBlock block = MeasureHintText("ab\r\n\r\nabcd", fake);
    EXPECT_EQ(block.Width, 24);
    EXPECT_EQ(block.Height, 26);
    // Right-aligned lines end together; the block is centred in the rectangle.
    const auto placed = PlaceHintLines("ab\r\nabcd", Rect(0, 0, 44, 46), 1, block, fake);
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].At, (TPoint{10 + 12, 10}));
    EXPECT_EQ(placed[1].At, (TPoint{10, 23}));
}

struct PlacementCase {
    const char* name;
    TPoint mouse;
    bool right, below;
    TPoint tipProbe;  // inside the tail near its tip (window co-ordinates)
    TPoint screenTip; // where the tip lands on the screen
};

// A 20 x 13 text (narrower than 30) asked at (100, 100), on a 1024-wide screen.
const PlacementCase placements[] = {
    {"below right", {20, 10}, true, true, {4, 4}, {20, 10}},
    {"below left", {500, 10}, false, true, {43, 4}, {505, 10}},
    {"above right", {500, 500}, true, false, {4, 39}, {500, 495}},
    {"above left", {1000, 500}, false, false, {36, 39}, {995, 495}},
};

TEST(BalloonGeometry, PlacementTableBodyTailAndWindow) {
    for (const PlacementCase& c : placements) {
        SCOPED_TRACE(c.name);
        TBalloonInput in;
        in.HintRect = Bounds(100, 100, 40, 20);
        in.Text = {20, 13};
        in.Mouse = c.mouse;
        in.ScreenWidth = 1024;
        const TBalloonLayout l = LayoutBalloon(in);
        EXPECT_EQ(l.ToTheRight, c.right);
        EXPECT_EQ(l.Below, c.below);
        EXPECT_EQ(l.TextWidth, 30);
        // The body is 45 wide inside a window 50 wide, 48 high (13 + 35).
        EXPECT_EQ(l.Bounds.Width(), 50);
        EXPECT_EQ(l.Bounds.Height(), 48);
        const TPoint bodyRight{45, c.below ? 25 : 5};
        EXPECT_EQ(std::count(l.Outline.begin(), l.Outline.end(), bodyRight), 1);
        ASSERT_EQ(l.Outline.size(), 16u);
        // The tail follows body point 0 (below) or 6 (above), in reverse order.
        const size_t at = c.below ? 1 : 7;
        const TPoint tip =
            c.below ? (c.right ? TPoint{0, 0} : TPoint{50, 0}) : (c.right ? TPoint{0, 43} : TPoint{40, 43});
        EXPECT_EQ(l.Outline[at + (c.below ? (c.right ? 2 : 1) : (c.right ? 1 : 2))], tip);
        EXPECT_EQ((TPoint{l.Bounds.Left + tip.X, l.Bounds.Top + tip.Y}), c.screenTip);
        EXPECT_TRUE(l.Region.Contains(c.tipProbe.X, c.tipProbe.Y));
        // The text sits on the side away from the tail, 5 in from the edges.
        EXPECT_EQ(l.TextRect, c.below ? Rect(5, 25, 45, 43) : Rect(5, 5, 45, 23));
    }
}

TEST(BalloonGeometry, ShadowAndIconWidenTheShape) {
    TBalloonInput in;
    in.HintRect = Bounds(0, 0, 10, 10);
    in.Text = {60, 26};
    in.Mouse = {500, 500};
    in.ScreenWidth = 1024;
    // Right of the body (x 75) and below it, only the shadow covers.
    const TBalloonLayout shadow = LayoutBalloon(in);
    EXPECT_TRUE(shadow.Region.Contains(78, 20));
    EXPECT_TRUE(shadow.Region.Contains(40, 38));
    in.ShadowOn = false;
    const TBalloonLayout plain = LayoutBalloon(in);
    EXPECT_FALSE(plain.Region.Contains(78, 20));
    EXPECT_FALSE(plain.Region.Contains(40, 38));
    EXPECT_TRUE(plain.Region.Contains(40, 20));
    // A 32 x 32 icon: 48 more wide, and 48 high beats the text's 26.
    in.IconWidth = in.IconHeight = 32;
    const TBalloonLayout icon = LayoutBalloon(in);
    EXPECT_EQ(icon.Bounds.Width(), 60 + 15 + 48 + 5);
    EXPECT_EQ(icon.Bounds.Height(), 48 + 35);
    EXPECT_EQ(icon.TextWidth, 60);
}

struct Lang {
    const char* name;
    const char* hint;
};
const Lang langs[] = {
    {"pt", "Abrir um arquivo compactado\r\nMostra o conteúdo na lista"},
    {"en", "Open an archive\r\nShows its contents in the list"},
    {"es", "Abrir un archivo comprimido\r\nMuestra el contenido en la lista"},
};

// The window as it is seen: pixels outside its shape left white.
void SaveShaped(TBalloonHintWindow& window, const std::string& path) {
    TBitmap shot;
    window.PaintTo(shot);
    for (int y = 0; y < shot.Height(); ++y)
        for (int x = 0; x < shot.Width(); ++x)
            if (!window.WindowRgn()->Contains(x, y)) shot.SetPixel(x, y, clWhite);
    ASSERT_TRUE(shot.SaveToFile(path));
}

TEST(BalloonHint, BalloonsInFourPlacementsOnTheMainForm) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    Application->SetMainForm(form.get());
    auto* hint = new TBalloonHint(form.get());
    EXPECT_EQ(ApplicationHints().HintPause, 200);
    EXPECT_EQ(ApplicationHints().HintHidePause, 5000);
    ASSERT_TRUE(HintWindowClassSet());
    hint->SetHintColor(8454143);
    hint->SetBrush({8454143});
    TPen pen;
    pen.Color = 8454143;
    hint->SetPen(pen);
    hint->Font().SetName("MS Sans Serif");
    auto* button = new TButton(form.get());
    button->SetParent(form.get());
    const int sw = ScreenWidth();
    const TPoint mice[] = {{30, 10}, {sw / 2, 10}, {60, 400}, {sw - 10, 400}};
    const char* names[] = {"below_right", "below_left", "above_right", "above_left"};
    const std::string folder = mvtest::ScreenshotFolder("hints");
    for (const Lang& lang : langs) {
        SCOPED_TRACE(lang.name);
        button->SetHint(lang.hint);
        for (int i = 0; i < 4; ++i) {
            WatchMouseMove(mice[i]);
            EXPECT_EQ(hint->MousePos(), mice[i]);
            ASSERT_TRUE(ShowControlHint(*button));
            auto* window = dynamic_cast<TBalloonHintWindow*>(CurrentHintWindow());
            ASSERT_NE(window, nullptr);
            EXPECT_TRUE(window->Showing());
            const TBalloonLayout& l = window->Layout();
            EXPECT_EQ(l.Below, i < 2);
            EXPECT_EQ(l.ToTheRight, i % 2 == 0);
            // Two lines, as high as two lines of the font.
            EXPECT_EQ(l.TextHeight, 2 * window->Canvas().TextHeight("Ay"));
            // The tip of the tail is on the shape, next to the mouse; the window's
            // corner away from the tail is not.
            const TPoint tip = l.Outline[l.Below ? (l.ToTheRight ? 3 : 2) : (l.ToTheRight ? 8 : 9)];
            const int inX = l.ToTheRight ? 4 : -6, inY = l.Below ? 4 : -4;
            EXPECT_TRUE(window->WindowRgn()->Contains(tip.X + inX, tip.Y + inY));
            EXPECT_LE(std::abs(window->Left() + tip.X - mice[i].X), 5);
            EXPECT_LE(std::abs(window->Top() + tip.Y - mice[i].Y), 5);
            EXPECT_FALSE(window->WindowRgn()->Contains(l.ToTheRight ? window->Width() - 1 : 0,
                                                       l.Below ? 0 : window->Height() - 1));
            TBitmap shot;
            window->PaintTo(shot);
            // Fill colour inside the body, black shadow at the body's lower right.
            EXPECT_EQ(shot.Pixel(l.TextRect.Left + 1, l.TextRect.Top + 1), 8454143);
            const int shadowY = (l.Below ? 20 : 0) + l.TextHeight / 2 + 5;
            EXPECT_EQ(shot.Pixel(window->Width() - 3, shadowY), clBlack);
            EXPECT_TRUE(window->WindowRgn()->Contains(window->Width() - 3, shadowY));
            SaveShaped(*window, folder + "/balloon_" + names[i] + "_" + lang.name + ".png");
        }
    }
    // Without the component the class stays and the starting look is used.
    delete hint;
    EXPECT_FALSE(MouseWatchHandler());
    WatchMouseMove({60, 400});
    ASSERT_TRUE(ShowControlHint(*button));
    auto* window = dynamic_cast<TBalloonHintWindow*>(CurrentHintWindow());
    ASSERT_NE(window, nullptr);
    TBitmap shot;
    window->PaintTo(shot);
    EXPECT_EQ(shot.Pixel(window->Layout().TextRect.Left + 1, window->Layout().TextRect.Top + 1), 65280);
    CancelHint();
    EXPECT_FALSE(window->Showing());
    Application->SetMainForm(nullptr);
}

TEST(BalloonHint, MovesWithoutAButtonReachTheComponent) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    form->Show();
    QApplication::processEvents();
    auto* hint = new TBalloonHint(form.get());
    QWindow* window = form->Widget()->windowHandle();
    ASSERT_NE(window, nullptr);
    // The form's widget does not track the mouse: only its window hears the move.
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(123, 45), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(window, &move);
    EXPECT_EQ(hint->MousePos(), (TPoint{123, 45}));
    delete hint;
    EXPECT_FALSE(MouseWatchHandler());
}

} // namespace
} // namespace mv
