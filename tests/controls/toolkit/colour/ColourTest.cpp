// Colour arithmetic and the banded gradient: the worked values, the band sequence, and
// thin rectangles and short colour lists that must neither divide by zero nor read
// past the colours.
#include "controls/toolkit/colour/ColorMan.h"
#include "controls/toolkit/colour/Gradient.h"
#include "platform/ui/Form.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace mv {
namespace {

TColor Grey(int g) {
    return RGB(g, g, g);
}

TEST(ColorMan, GreyLightnessAndBrightening) {
    struct Row {
        TColor color;
        int grey;
        bool light;
    };
    const std::vector<Row> rows = {
        {RGB(0, 255, 0), 128, true}, // 127.5 rounds to the even 128
        {RGB(0, 0, 255), 76, false}, // 76.5 rounds to the even 76
        {RGB(255, 255, 255), 255, true}, {RGB(0, 0, 0), 0, false}, {RGB(1, 0, 0), 0, false}, // 0.2
        {RGB(5, 5, 0), 4, false}, // 3.5 rounds to the even 4
        {RGB(255, 0, 0), 51, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.color);
        EXPECT_EQ(GreyOf(r.color), Grey(r.grey));
        EXPECT_EQ(IsLightColor(r.color), r.light);
    }
    EXPECT_EQ(Brighten(RGB(250, 10, 10), 24), RGB(255, 34, 34));
    EXPECT_EQ(Darken(RGB(250, 10, 10), 24), RGB(226, 0, 0));
    EXPECT_EQ(Darken(clSilver, 64), Grey(128));
    EXPECT_EQ(Brighten(clSilver, 64), Grey(255));
    EXPECT_EQ(Brighten(clBtnFace, 0), ColorToRGB(clBtnFace)); // system colours resolved
    int r, g, b;
    SplitRGB(RGB(1, 2, 3), r, g, b);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(g, 2);
    EXPECT_EQ(b, 3);
    EXPECT_EQ(ClampChannel(254.5), 254);
    EXPECT_EQ(ClampChannel(255.5), 255);
    EXPECT_EQ(ClampChannel(300), 255);
    EXPECT_EQ(ClampChannel(-0.4), 0);
    EXPECT_EQ(ClampChannel(-7), 0);
}

std::vector<std::pair<int, TColor>> Starts(const std::vector<TGradientBand>& bands, bool across = false) {
    std::vector<std::pair<int, TColor>> out;
    for (const auto& b : bands) out.emplace_back(across ? b.Rect.Left : b.Rect.Top, b.Color);
    return out;
}

TEST(Gradient, BandsRunThroughTheColours) {
    using Bands = std::vector<std::pair<int, TColor>>;
    // The worked example: the grey never reaches 100, as the channels run on.
    EXPECT_EQ(
        Starts(GradientBands(Rect(0, 0, 10, 10), {Grey(0), Grey(100), Grey(100)}, 2, 0, 2)),
        (Bands{{0, Grey(0)}, {2, Grey(40)}, {4, Grey(80)}, {6, Grey(80)}, {8, Grey(80)}, {10, Grey(80)}}));
    // One transition: before the change at h the bands keep the first colour.
    EXPECT_EQ(Starts(GradientBands(Rect(0, 0, 10, 8), {Grey(0), Grey(80)}, 1, 0, 2)),
              (Bands{{0, Grey(0)}, {2, Grey(0)}, {4, Grey(0)}, {6, Grey(0)}, {8, Grey(20)}}));
    // Left to right: vertical bands across the full height.
    const auto across = GradientBands(Rect(0, 0, 4, 5), {Grey(0), Grey(40), Grey(80)}, 2, 1, 2);
    EXPECT_EQ(Starts(across, true), (Bands{{0, Grey(0)}, {2, Grey(40)}, {4, Grey(40)}}));
    EXPECT_EQ(across[0].Rect, Rect(0, 0, 2, 5));
    // The first change falls at the co-ordinate h itself, not counted from the top: a
    // rectangle lower down passes it at once and the colour never starts to run.
    EXPECT_EQ(
        Starts(GradientBands(Rect(0, 20, 10, 30), {Grey(0), Grey(50), Grey(50)}, 2, 0, 2)),
        (Bands{{20, Grey(0)}, {22, Grey(0)}, {24, Grey(0)}, {26, Grey(0)}, {28, Grey(0)}, {30, Grey(0)}}));
    EXPECT_EQ(Starts(GradientBands(Rect(0, 0, 10, 10), {Grey(0), Grey(50), Grey(50)}, 2, 0, 2))[2].second,
              Grey(40));
    // Step below 1 counts as 1; the last band may reach past the end.
    EXPECT_EQ(GradientBands(Rect(0, 0, 3, 3), {Grey(0), Grey(9), Grey(9), Grey(9)}, 3, 0, 0).size(), 4u);
}

TEST(Gradient, ThinRectanglesAndShortColourListsAreSafe) {
    // An extent smaller than the number of transitions: a band length of 1, no division by 0.
    const auto thin = GradientBands(Rect(0, 0, 10, 2), {clBlack, clRed, clLime, clBlue}, 3, 0, 1);
    ASSERT_EQ(thin.size(), 3u);
    EXPECT_EQ(thin[0].Color, clBlack);
    // Transitions 0 would read four colours; with two given it makes one transition.
    const auto two = GradientBands(Rect(0, 0, 10, 4), {Grey(0), Grey(40)}, 0, 0, 2);
    EXPECT_EQ(two.size(), 3u);
    EXPECT_EQ(two.back().Color, Grey(20));
    // Transitions above what the colours allow are cut down.
    EXPECT_EQ(GradientBands(Rect(0, 0, 10, 10), {Grey(0), Grey(100)}, 5, 0, 10).size(), 2u);
    // One colour: a solid fill.
    const auto solid = GradientBands(Rect(0, 0, 10, 10), {clRed}, 3, 0, 2);
    ASSERT_EQ(solid.size(), 1u);
    EXPECT_EQ(solid[0], (TGradientBand{Rect(0, 0, 10, 10), clRed}));
    // Nothing without colours or with a zero right or bottom.
    EXPECT_TRUE(GradientBands(Rect(0, 0, 10, 10), {}, 3, 0, 2).empty());
    EXPECT_TRUE(GradientBands(Rect(0, 0, 0, 10), {clRed, clBlue}, 1, 0, 2).empty());
    EXPECT_TRUE(GradientBands(Rect(0, 0, 10, 0), {clRed, clBlue}, 1, 0, 2).empty());
    // Empty and inverted rectangles stay bounded.
    EXPECT_LE(GradientBands(Rect(5, 5, 10, 4), {clRed, clBlue}, 1, 0, 2).size(), 1u);
}

TEST(Gradient, FillsTheCanvasAndWritesAScreenshot) {
    EnsureApplication();
    TBitmap shot;
    shot.SetSize(120, 40);
    const TColor base = RGB(70, 110, 200);
    // The colour button's gradient face: B(24), C, D(24), D(48) in bands of 2 pixels.
    Gradient(shot.Canvas(), Rect(0, 0, 60, 40),
             {Brighten(base, 24), base, Darken(base, 24), Darken(base, 48)}, 3, 0, 2);
    Gradient(shot.Canvas(), Rect(60, 0, 120, 40), {clWhite, clNavy}, 1, 1, 4);
    EXPECT_EQ(shot.Pixel(5, 0), Brighten(base, 24));
    EXPECT_EQ(shot.Pixel(5, 39),
              GradientBands(Rect(0, 0, 60, 40),
                            {Brighten(base, 24), base, Darken(base, 24), Darken(base, 48)}, 3, 0, 2)[19]
                  .Color);
    EXPECT_EQ(shot.Pixel(60, 20), clWhite);
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() /
                        "screenshots" / "controls";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(shot.SaveToFile((folder / "gradient.png").string()));
}

} // namespace
} // namespace mv
