// The animated bitmap strip: frame arithmetic, timer life, playing once and in loops,
// and painting the frame as wide as the control.
#include "controls/toolkit/small/AnimatedStrip.h"
#include "platform/ui/Form.h"
#include "platform/ui/ModalDriver.h"
#include "platform/ui/QtBridge.h"

#include <QApplication>
#include <QWidget>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace mv {
namespace {

// A strip of `frames` frames of 10 pixels, frame n filled with colour n * 0x20 in red.
void MakeStrip(TBitmap& bitmap, int frames) {
    bitmap.SetSize(10 * frames, 6);
    for (int f = 0; f < frames; ++f) {
        bitmap.Canvas().SetBrushColor(0x20 * (f + 1));
        bitmap.Canvas().FillRect(Bounds(10 * f, 0, 10, 6));
    }
}

TEST(AnimatedStrip, StartsAsThirtyByThirtyAndTakesTheStripsHeight) {
    EnsureApplication();
    TAnimatedStrip strip(nullptr);
    EXPECT_EQ(strip.Width(), 30);
    EXPECT_EQ(strip.Height(), 30);
    EXPECT_EQ(strip.FrameCount(), 1);
    EXPECT_TRUE(strip.Loop());
    EXPECT_EQ(strip.TransparentColor(), -1);
    TBitmap bitmap;
    MakeStrip(bitmap, 4);
    strip.SetBitMap(bitmap);
    EXPECT_EQ(strip.Height(), 6);
    strip.SetBitMap(TBitmap());
    EXPECT_EQ(strip.Height(), 30);
}

TEST(AnimatedStrip, FrameSetterWrapsAndTakesNegativeAsLast) {
    EnsureApplication();
    TAnimatedStrip strip(nullptr);
    strip.SetFrameCount(4);
    int changes = 0;
    strip.OnChangeFrame = [&](TComponent*) { ++changes; };
    strip.SetFrame(9);
    EXPECT_EQ(strip.Frame(), 1);
    strip.SetFrame(-5);
    EXPECT_EQ(strip.Frame(), 3);
    strip.SetFrame(3); // unchanged: no event
    EXPECT_EQ(changes, 2);
}

TEST(AnimatedStrip, PlaysOnceForwardAndStopsOnTheLastFrame) {
    EnsureApplication();
    TAnimatedStrip strip(nullptr);
    strip.SetFrameCount(4);
    strip.SetLoop(false);
    strip.SetInterval(10);
    strip.SetPlay(true);
    ASSERT_NE(strip.Timer(), nullptr);
    std::vector<int> shown;
    strip.OnChangeFrame = [&](TComponent*) { shown.push_back(strip.Frame()); };
    for (int i = 0; i < 5 && strip.Play(); ++i) strip.TimerTick();
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(strip.Play());
    EXPECT_EQ(strip.Timer(), nullptr);
    EXPECT_EQ(strip.Frame(), 3);
}

TEST(AnimatedStrip, PlaysBackwardAndLoops) {
    EnsureApplication();
    TAnimatedStrip strip(nullptr);
    strip.SetFrameCount(3);
    strip.SetReverse(true);
    std::vector<int> shown;
    strip.OnChangeFrame = [&](TComponent*) { shown.push_back(strip.Frame()); };
    for (int i = 0; i < 5; ++i) strip.TimerTick();
    EXPECT_EQ(shown, (std::vector<int>{2, 1, 0, 2, 1}));
}

TEST(AnimatedStrip, TimerExistsOnlyWhilePlayingWithAnInterval) {
    EnsureApplication();
    TAnimatedStrip strip(nullptr);
    strip.SetPlay(true);
    EXPECT_EQ(strip.Timer(), nullptr); // interval 0
    strip.SetInterval(5);
    ASSERT_NE(strip.Timer(), nullptr);
    EXPECT_EQ(strip.Timer()->Interval(), 5);
    strip.SetFrameCount(5);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (strip.Frame() == 0 && std::chrono::steady_clock::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_NE(strip.Frame(), 0); // the real timer stepped it
    strip.SetPlay(false);
    EXPECT_EQ(strip.Timer(), nullptr);
}

TEST(AnimatedStrip, StopsItselfFromARealTimerTick) {
    EnsureApplication();
    TAnimatedStrip strip(nullptr);
    strip.SetFrameCount(3);
    strip.SetLoop(false);
    strip.SetInterval(2);
    strip.SetPlay(true);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (strip.Play() && std::chrono::steady_clock::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_FALSE(strip.Play());
    EXPECT_EQ(strip.Frame(), 2);
    QApplication::processEvents(); // the stopped timer goes away
}

TEST(AnimatedStrip, PaintsTheCurrentFrameAndReplacesTheTransparentColour) {
    EnsureApplication();
    TForm form(nullptr);
    form.SetBorderStyle(TFormBorderStyle::bsNone);
    form.SetBounds(0, 0, 40, 20);
    auto* strip = new TAnimatedStrip(&form);
    strip->SetParent(&form);
    TBitmap bitmap;
    MakeStrip(bitmap, 4);
    strip->SetBitMap(bitmap);
    strip->SetBounds(0, 0, 10, 6);
    strip->SetFrameCount(4);
    strip->SetFrame(2);
    form.Show();
    auto pixel = [&] {
        const QImage image = strip->Widget()->grab().toImage();
        return FromQColor(image.pixelColor(5, 3));
    };
    EXPECT_EQ(pixel(), 0x60);
    strip->SetColor(clWhite);
    strip->SetTransparentColor(0x60);
    EXPECT_EQ(pixel(), clWhite);
    form.Hide();
}

} // namespace
} // namespace mv
