// The canvas and what controls draw with: DrawText's formats against the font's
// metrics, raster operations on 4 x 4 bitmaps, masks, pattern brushes, regions, 3-D
// edges and frame controls, image lists, the fixed system tables, window procedures,
// mouse tracking and capture; one screenshot of it all.
#include "platform/ui/Drawing.h"
#include "platform/ui/Form.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/MouseTracker.h"
#include "platform/ui/QtBridge.h"
#include "platform/ui/StdControls.h"
#include "platform/ui/SysMetrics.h"

#include <QApplication>
#include <QFontMetrics>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace mv {
namespace {

// Screenshots go to <build>/screenshots/<area>/ (the test programs live in <build>/tests).
std::string ShotPath(const std::string& area, const std::string& name) {
    const auto folder =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "screenshots" / area;
    std::filesystem::create_directories(folder);
    return (folder / name).string();
}

TFont TestFont() {
    TFont font;
    font.SetName("MS Sans Serif");
    font.SetSize(8);
    return font;
}

QFontMetrics Metrics(const TFont& font) {
    return QFontMetrics(ToQFont(font));
}

struct Canvas4 {
    TBitmap bitmap;
    explicit Canvas4(int w = 4, int h = 4) {
        bitmap.SetSize(w, h);
        bitmap.Canvas().Font().Assign(TestFont());
    }
    TCanvas& c() { return bitmap.Canvas(); }
};

TEST(DrawText, FormatsAgainstTheFontMetrics) {
    EnsureApplication();
    const TFont font = TestFont();
    const QFontMetrics m = Metrics(font);
    const int lh = m.height();
    struct Row {
        const char* name;
        std::string text;
        TRect rect;
        uint32_t format;
        std::function<void(const TRect& out, int height, const std::string& shown)> check;
    };
    const std::vector<Row> rows = {
        {"calc single line", "Hello", Rect(10, 20, 500, 500), DT_CALCRECT | DT_SINGLELINE,
         [&](const TRect& r, int h, const std::string& shown) {
             EXPECT_EQ(r, Rect(10, 20, 10 + m.horizontalAdvance("Hello"), 20 + lh));
             EXPECT_EQ(h, lh);
             EXPECT_EQ(shown, "Hello");
         }},
        {"accelerator mark resolved", "&Open && close", Rect(0, 0, 500, 50), DT_CALCRECT | DT_SINGLELINE,
         [&](const TRect& r, int, const std::string& shown) {
             EXPECT_EQ(shown, "Open & close");
             EXPECT_EQ(r.Width(), m.horizontalAdvance("Open & close"));
         }},
        {"no prefix keeps marks", "&Open", Rect(0, 0, 500, 50), DT_CALCRECT | DT_NOPREFIX,
         [&](const TRect&, int, const std::string& shown) { EXPECT_EQ(shown, "&Open"); }},
        {"line feeds make lines", "one\ntwo\nthree", Rect(0, 0, 500, 500), DT_CALCRECT,
         [&](const TRect& r, int h, const std::string&) {
             EXPECT_EQ(h, 3 * lh);
             EXPECT_EQ(r.Width(), m.horizontalAdvance("three"));
         }},
        {"single line joins lines", "one\ntwo", Rect(0, 0, 500, 500), DT_CALCRECT | DT_SINGLELINE,
         [&](const TRect&, int h, const std::string& shown) {
             EXPECT_EQ(h, lh);
             EXPECT_EQ(shown, "one two");
         }},
        {"word break", "alpha beta gamma", Rect(0, 0, m.horizontalAdvance("alpha beta") + 1, 500),
         DT_CALCRECT | DT_WORDBREAK,
         [&](const TRect& r, int h, const std::string& shown) {
             EXPECT_EQ(shown, "alpha beta\ngamma");
             EXPECT_EQ(h, 2 * lh);
             EXPECT_EQ(r.Width(), m.horizontalAdvance("alpha beta"));
         }},
        {"end ellipsis", "A rather long caption", Rect(0, 0, m.horizontalAdvance("A rather") + 2, 50),
         DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS,
         [&](const TRect& r, int, const std::string& shown) {
             ASSERT_GE(shown.size(), 3u);
             EXPECT_EQ(shown.substr(shown.size() - 3), "...");
             EXPECT_LE(m.horizontalAdvance(QString::fromStdString(shown)),
                       m.horizontalAdvance("A rather") + 2);
             EXPECT_EQ(r.Width(), m.horizontalAdvance(QString::fromStdString(shown)));
             EXPECT_EQ(shown.rfind("A ", 0), 0u);
         }},
        {"fitting text keeps no ellipsis", "Short", Rect(0, 0, 500, 50),
         DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS,
         [&](const TRect&, int, const std::string& shown) { EXPECT_EQ(shown, "Short"); }},
        {"path ellipsis keeps the file name", "/home/user/archives/old/backup.zip",
         Rect(0, 0, m.horizontalAdvance("/home/.../backup.zip") + 1, 50),
         DT_CALCRECT | DT_SINGLELINE | DT_PATH_ELLIPSIS,
         [&](const TRect&, int, const std::string& shown) {
             EXPECT_NE(shown.find("..."), std::string::npos);
             EXPECT_EQ(shown.substr(shown.size() - 11), "/backup.zip");
             EXPECT_EQ(shown.rfind("/home", 0), 0u);
         }},
        {"tabs expand to stops of 8 average characters", "a\tb", Rect(0, 0, 500, 50),
         DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS,
         [&](const TRect& r, int, const std::string&) {
             EXPECT_EQ(r.Width(), 8 * m.averageCharWidth() + m.horizontalAdvance("b"));
         }},
        {"vertical centre returns the text's bottom", "Mid", Rect(0, 10, 100, 60), DT_SINGLELINE | DT_VCENTER,
         [&](const TRect&, int h, const std::string&) { EXPECT_EQ(h, (50 - lh) / 2 + lh); }},
        {"bottom returns the rectangle's height", "Low", Rect(0, 10, 100, 60), DT_SINGLELINE | DT_BOTTOM,
         [&](const TRect&, int h, const std::string&) { EXPECT_EQ(h, 50); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Canvas4 canvas(200, 100);
        TRect r = row.rect;
        std::string shown;
        const int h = DrawText(canvas.c(), row.text, r, row.format, &shown);
        row.check(r, h, shown);
    }
}

// Leftmost and rightmost columns holding a dark pixel, or -1.
std::pair<int, int> InkColumns(const TBitmap& b, int top, int bottom, int right = -1) {
    int first = -1, last = -1;
    for (int x = 0; x < (right < 0 ? b.Width() : right); ++x)
        for (int y = top; y < bottom; ++y)
            if ((b.Pixel(x, y) & 0xFF) < 0x80) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return {first, last};
}

TEST(DrawText, AlignsClipsAndUnderlinesWhatItDraws) {
    EnsureApplication();
    const QFontMetrics m = Metrics(TestFont());
    for (uint32_t align : {DT_LEFT, DT_CENTER, DT_RIGHT}) {
        SCOPED_TRACE(align);
        Canvas4 canvas(120, 30);
        canvas.c().FillRect(Rect(0, 0, 120, 30));
        canvas.c().SetBrushStyle(TBrushStyle::bsClear);
        TRect r = Rect(10, 0, 110, 30);
        DrawText(canvas.c(), "WWW", r, align | DT_SINGLELINE | DT_VCENTER);
        const auto [first, last] = InkColumns(canvas.bitmap, 0, 30);
        ASSERT_GE(first, 0);
        const int w = m.horizontalAdvance("WWW");
        const int expectedLeft = align == DT_CENTER ? 10 + (100 - w) / 2 : align == DT_RIGHT ? 110 - w : 10;
        EXPECT_NEAR(first, expectedLeft, 2);
        EXPECT_NEAR(last, expectedLeft + w - 1, 2);
    }
    // Clipped to the rectangle unless DT_NOCLIP.
    for (bool noClip : {false, true}) {
        Canvas4 canvas(120, 30);
        canvas.c().FillRect(Rect(0, 0, 120, 30));
        canvas.c().SetBrushStyle(TBrushStyle::bsClear);
        TRect r = Rect(0, 0, 10, 30);
        DrawText(canvas.c(), "WWWWWW", r, DT_SINGLELINE | (noClip ? DT_NOCLIP : 0));
        EXPECT_EQ(InkColumns(canvas.bitmap, 0, 30).second >= 10, noClip);
    }
    // An empty or inverted rectangle (a hidden column's cell less its margins) shows
    // nothing, not even the ellipsis.
    for (const TRect& empty : {Rect(50, 0, 50, 30), Rect(54, 0, 46, 30), Rect(10, 20, 110, 10)}) {
        Canvas4 canvas(120, 30);
        canvas.c().FillRect(Rect(0, 0, 120, 30));
        canvas.c().SetBrushStyle(TBrushStyle::bsClear);
        TRect r = empty;
        DrawText(canvas.c(), "WWW", r, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        EXPECT_LT(InkColumns(canvas.bitmap, 0, 30).first, 0) << empty.Left << "," << empty.Right;
    }
    // The accelerator's letter is underlined one pixel under the baseline.
    Canvas4 canvas(60, 30);
    canvas.c().FillRect(Rect(0, 0, 60, 30));
    canvas.c().SetBrushStyle(TBrushStyle::bsClear);
    TRect r = Rect(0, 0, 60, 30);
    DrawText(canvas.c(), "&Wo", r, DT_SINGLELINE);
    EXPECT_EQ(canvas.bitmap.Pixel(m.horizontalAdvance("W") / 2, m.ascent() + 1), clBlack);
    EXPECT_NE(canvas.bitmap.Pixel(m.horizontalAdvance("W") + m.horizontalAdvance("o") / 2, m.ascent() + 1),
              clBlack);
}

TEST(RasterOps, EveryNamedOperationOn4x4Bitmaps) {
    EnsureApplication();
    // Source and destination hold different colours in every pixel.
    const TColor sourceColors[4] = {clBlack, clWhite, 0x00F0F0, 0x3C5A96};
    const TColor destColors[4] = {clWhite, 0x123456, clBlack, 0x0F0FF0};
    const TColor brush = 0x55AA33;
    auto rgb = [](TColor c) { return static_cast<uint32_t>(ColorToRGB(c)); };
    struct Row {
        const char* name;
        uint32_t rop;
        std::function<uint32_t(uint32_t p, uint32_t s, uint32_t d)> expect;
    };
    const std::vector<Row> rows = {
        {"SRCCOPY", SRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return s; }},
        {"SRCAND", SRCAND, [](uint32_t, uint32_t s, uint32_t d) { return s & d; }},
        {"SRCPAINT", SRCPAINT, [](uint32_t, uint32_t s, uint32_t d) { return s | d; }},
        {"SRCINVERT", SRCINVERT, [](uint32_t, uint32_t s, uint32_t d) { return s ^ d; }},
        {"SRCERASE", SRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return s & ~d; }},
        {"NOTSRCCOPY", NOTSRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return ~s; }},
        {"NOTSRCERASE", NOTSRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return ~(s | d); }},
        {"MERGECOPY", MERGECOPY, [](uint32_t p, uint32_t s, uint32_t) { return p & s; }},
        {"MERGEPAINT", MERGEPAINT, [](uint32_t, uint32_t s, uint32_t d) { return ~s | d; }},
        {"PATCOPY", PATCOPY, [](uint32_t p, uint32_t, uint32_t) { return p; }},
        {"PATPAINT", PATPAINT, [](uint32_t p, uint32_t s, uint32_t d) { return p | ~s | d; }},
        {"PATINVERT", PATINVERT, [](uint32_t p, uint32_t, uint32_t d) { return p ^ d; }},
        {"DSTINVERT", DSTINVERT, [](uint32_t, uint32_t, uint32_t d) { return ~d; }},
        {"BLACKNESS", BLACKNESS, [](uint32_t, uint32_t, uint32_t) { return 0u; }},
        {"WHITENESS", WHITENESS, [](uint32_t, uint32_t, uint32_t) { return 0xFFFFFFu; }},
        {"brush where the source is white", ROP_DSPDxax,
         [](uint32_t p, uint32_t s, uint32_t d) { return (s & p) | (~s & d); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TBitmap source;
        source.SetSize(4, 4);
        Canvas4 dest;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                source.SetPixel(x, y, sourceColors[(x + y) % 4]);
                dest.bitmap.SetPixel(x, y, destColors[(x + 2 * y) % 4]);
            }
        dest.c().SetBrushColor(brush);
        dest.c().BitBlt(0, 0, 4, 4, source, 0, 0, row.rop);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const uint32_t expected =
                    row.expect(rgb(brush), rgb(sourceColors[(x + y) % 4]), rgb(destColors[(x + 2 * y) % 4])) &
                    0xFFFFFF;
                EXPECT_EQ(rgb(dest.bitmap.Pixel(x, y)), expected) << x << "," << y;
            }
    }
}

TEST(RasterOps, MonochromeMasksAndPatternBrushes) {
    EnsureApplication();
    // Colour into monochrome: the source's background colour becomes white.
    TBitmap picture;
    picture.SetSize(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) picture.SetPixel(x, y, (x + y) % 2 ? clFuchsia : clNavy);
    Canvas4 mask;
    mask.bitmap.SetMonochrome(true);
    mask.c().BitBlt(0, 0, 4, 4, picture, 0, 0, SRCCOPY, clFuchsia);
    TBitmap byColor;
    picture.CreateMask(clFuchsia, byColor);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(mask.bitmap.Pixel(x, y), (x + y) % 2 ? clWhite : clBlack);
            EXPECT_EQ(byColor.Pixel(x, y), mask.bitmap.Pixel(x, y));
        }
    // Monochrome into colour: black takes the text colour, white the background colour.
    Canvas4 colour;
    colour.c().Font().SetColor(clRed);
    colour.c().SetBrushColor(clBlue);
    colour.c().BitBlt(0, 0, 4, 4, mask.bitmap, 0, 0, SRCCOPY);
    EXPECT_EQ(colour.bitmap.Pixel(0, 0), clRed);
    EXPECT_EQ(colour.bitmap.Pixel(1, 0), clBlue);
    // The masked copy of the drawing utilities: clear the opaque part, paint the picture.
    Canvas4 target;
    target.c().SetBrushColor(clGreen);
    target.c().FillRect(Rect(0, 0, 4, 4));
    target.c().SetBrushColor(clWhite);
    target.c().Font().SetColor(clBlack);
    target.c().BitBlt(0, 0, 4, 4, mask.bitmap, 0, 0, SRCAND);
    TBitmap cleared;
    cleared.Assign(picture);
    cleared.Canvas().BitBlt(0, 0, 4, 4, mask.bitmap, 0, 0, 0x00220326); // destination and not source
    target.c().BitBlt(0, 0, 4, 4, cleared, 0, 0, SRCPAINT);
    EXPECT_EQ(target.bitmap.Pixel(0, 0), clNavy);
    EXPECT_EQ(target.bitmap.Pixel(1, 0), clGreen);

    // A 2 x 2 pattern brush tiles from the canvas origin.
    TBitmap pattern;
    pattern.SetSize(2, 2);
    pattern.SetPixel(0, 0, clRed);
    pattern.SetPixel(1, 0, clLime);
    pattern.SetPixel(0, 1, clBlue);
    pattern.SetPixel(1, 1, clYellow);
    Canvas4 tiled;
    tiled.c().SetBrushBitmap(&pattern);
    tiled.c().PatBlt(Rect(1, 1, 4, 4), PATCOPY);
    EXPECT_EQ(tiled.bitmap.Pixel(0, 0), clWhite);
    EXPECT_EQ(tiled.bitmap.Pixel(1, 1), clYellow);
    EXPECT_EQ(tiled.bitmap.Pixel(2, 2), clRed);
    EXPECT_EQ(tiled.bitmap.Pixel(3, 2), clLime);
    tiled.c().FillRect(Rect(0, 0, 4, 4));
    EXPECT_EQ(tiled.bitmap.Pixel(0, 1), clBlue);
}

TEST(Regions, FillRulesCombinationsAndClipping) {
    EnsureApplication();
    const std::vector<TPoint> star{{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}};
    EXPECT_TRUE(TRegion::FromPolygon(star, TPolyFillMode::pfWinding).Contains(50, 45));
    EXPECT_FALSE(TRegion::FromPolygon(star, TPolyFillMode::pfAlternate).Contains(50, 45));
    EXPECT_TRUE(TRegion::FromPolygon(star, TPolyFillMode::pfAlternate).Contains(50, 10));

    TRegion both;
    both.Combine(TRegion::FromRect(Rect(0, 0, 4, 4)), TRegion::FromRect(Rect(6, 0, 8, 2)),
                 TRegionCombine::rcOr);
    EXPECT_EQ(both.BoundingRect(), Rect(0, 0, 8, 4));
    TRegion hole;
    hole.Combine(both, TRegion::FromRect(Rect(1, 1, 3, 3)), TRegionCombine::rcDiff);
    EXPECT_FALSE(hole.Contains(2, 2));
    EXPECT_TRUE(hole.Contains(0, 0));
    hole.Offset(10, 10);
    EXPECT_TRUE(hole.Contains(10, 10));
    EXPECT_FALSE(hole.Contains(0, 0));

    Canvas4 canvas(10, 10);
    canvas.c().SetBrushColor(clRed);
    TRegion shape;
    shape.Combine(TRegion::FromRect(Rect(0, 0, 4, 4)), TRegion::FromRect(Rect(1, 1, 3, 3)),
                  TRegionCombine::rcDiff);
    canvas.c().FillRegion(shape);
    EXPECT_EQ(canvas.bitmap.Pixel(0, 0), clRed);
    EXPECT_EQ(canvas.bitmap.Pixel(2, 2), clWhite);
    EXPECT_EQ(canvas.bitmap.Pixel(5, 5), clWhite);
    // Clipping: an excluded rectangle stays untouched by any drawing.
    canvas.c().SetBrushColor(clBlue);
    canvas.c().ExcludeClipRect(Rect(5, 5, 7, 7));
    canvas.c().FillRect(Rect(4, 4, 10, 10));
    EXPECT_EQ(canvas.bitmap.Pixel(4, 4), clBlue);
    EXPECT_EQ(canvas.bitmap.Pixel(6, 6), clWhite);
    canvas.c().SetClipRegion(nullptr);
    canvas.c().FillRect(Rect(4, 4, 10, 10));
    EXPECT_EQ(canvas.bitmap.Pixel(6, 6), clBlue);
}

TEST(Shapes, LinesRectanglesAndEllipsesDrawAsDeviceContextsDo) {
    EnsureApplication();
    Canvas4 canvas(20, 20);
    canvas.c().SetPenColor(clRed);
    canvas.c().MoveTo(0, 0);
    canvas.c().LineTo(5, 0);
    EXPECT_EQ(canvas.bitmap.Pixel(4, 0), clRed);
    EXPECT_EQ(canvas.bitmap.Pixel(5, 0), clWhite); // the end point is not drawn
    canvas.c().SetBrushColor(clYellow);
    canvas.c().Rectangle(Rect(2, 2, 8, 8));
    EXPECT_EQ(canvas.bitmap.Pixel(2, 2), clRed);
    EXPECT_EQ(canvas.bitmap.Pixel(7, 7), clRed);
    EXPECT_EQ(canvas.bitmap.Pixel(8, 8), clWhite);
    EXPECT_EQ(canvas.bitmap.Pixel(4, 4), clYellow);
    canvas.c().Ellipse(Rect(10, 10, 20, 20));
    EXPECT_EQ(canvas.bitmap.Pixel(15, 15), clYellow);
    EXPECT_EQ(canvas.bitmap.Pixel(10, 10), clWhite);
    // Pen mode xor: drawing twice restores.
    canvas.c().SetPenMode(TPenMode::pmXor);
    canvas.c().SetPenColor(clWhite);
    canvas.c().MoveTo(0, 15);
    canvas.c().LineTo(9, 15);
    EXPECT_EQ(canvas.bitmap.Pixel(3, 15), clBlack);
    canvas.c().MoveTo(0, 15);
    canvas.c().LineTo(9, 15);
    EXPECT_EQ(canvas.bitmap.Pixel(3, 15), clWhite);
    // The focus rectangle inverts every other pixel; twice removes it.
    canvas.c().DrawFocusRect(Rect(0, 17, 6, 20));
    EXPECT_EQ(canvas.bitmap.Pixel(0, 17), clBlack);
    EXPECT_EQ(canvas.bitmap.Pixel(1, 17), clWhite);
    canvas.c().DrawFocusRect(Rect(0, 17, 6, 20));
    EXPECT_EQ(canvas.bitmap.Pixel(0, 17), clWhite);
}

TEST(Edges, RingsInTheSystemColours) {
    EnsureApplication();
    struct Row {
        const char* name;
        uint32_t edge;
        TColor outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
    };
    const std::vector<Row> rows = {
        {"raised", EDGE_RAISED, cl3DLight, cl3DDkShadow, clBtnHighlight, clBtnShadow},
        {"sunken", EDGE_SUNKEN, clBtnShadow, clBtnHighlight, cl3DDkShadow, cl3DLight},
        {"etched", EDGE_ETCHED, clBtnShadow, clBtnHighlight, clBtnHighlight, clBtnShadow},
        {"bump", EDGE_BUMP, cl3DLight, cl3DDkShadow, cl3DDkShadow, cl3DLight},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Canvas4 canvas(10, 10);
        TRect r = Rect(0, 0, 10, 10);
        EXPECT_TRUE(DrawEdge(canvas.c(), r, row.edge, BF_RECT | BF_ADJUST | BF_MIDDLE));
        EXPECT_EQ(r, Rect(2, 2, 8, 8));
        EXPECT_EQ(canvas.bitmap.Pixel(0, 0), ColorToRGB(row.outerTopLeft));
        EXPECT_EQ(canvas.bitmap.Pixel(9, 9), ColorToRGB(row.outerBottomRight));
        EXPECT_EQ(canvas.bitmap.Pixel(1, 1), ColorToRGB(row.innerTopLeft));
        EXPECT_EQ(canvas.bitmap.Pixel(8, 8), ColorToRGB(row.innerBottomRight));
        EXPECT_EQ(canvas.bitmap.Pixel(5, 5), ColorToRGB(clBtnFace));
    }
    // Only the sides asked for.
    Canvas4 canvas(10, 10);
    TRect r = Rect(0, 0, 10, 10);
    DrawEdge(canvas.c(), r, BDR_SUNKENOUTER, BF_BOTTOM | BF_ADJUST);
    EXPECT_EQ(r, Rect(0, 0, 10, 9));
    EXPECT_EQ(canvas.bitmap.Pixel(0, 0), clWhite);
    EXPECT_EQ(canvas.bitmap.Pixel(5, 9), ColorToRGB(clBtnHighlight));
}

TEST(FrameControls, CheckBoxesRadioButtonsAndMarks) {
    EnsureApplication();
    auto draw = [](uint32_t type, uint32_t state) {
        auto b = std::make_unique<Canvas4>(13, 13);
        TRect r = Rect(0, 0, 13, 13);
        EXPECT_TRUE(DrawFrameControl(b->c(), r, type, state));
        return b;
    };
    // The check mark's elbow is at (3, 7) of the box; its inside is the window colour.
    EXPECT_EQ(draw(DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED)->bitmap.Pixel(3, 7), clBlack);
    EXPECT_EQ(draw(DFC_BUTTON, DFCS_BUTTONCHECK)->bitmap.Pixel(3, 7), ColorToRGB(clWindow));
    EXPECT_EQ(draw(DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_INACTIVE)->bitmap.Pixel(3, 7),
              ColorToRGB(clGrayText));
    const auto grayed = draw(DFC_BUTTON, DFCS_BUTTON3STATE | DFCS_CHECKED);
    EXPECT_EQ(grayed->bitmap.Pixel(3, 7), ColorToRGB(clBtnShadow));
    EXPECT_EQ(grayed->bitmap.Pixel(9, 9), ColorToRGB(clBtnFace));
    EXPECT_EQ(draw(DFC_BUTTON, DFCS_BUTTONCHECK)->bitmap.Pixel(0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(draw(DFC_BUTTON, DFCS_BUTTONRADIO | DFCS_CHECKED)->bitmap.Pixel(6, 6), clBlack);
    EXPECT_EQ(draw(DFC_BUTTON, DFCS_BUTTONRADIO)->bitmap.Pixel(6, 6), ColorToRGB(clWindow));
    EXPECT_EQ(draw(DFC_MENU, DFCS_MENUCHECK)->bitmap.Pixel(3, 7), clBlack);
    EXPECT_FALSE(DrawFrameControl(Canvas4().c(), *std::make_unique<TRect>(), 99, 0));
}

TEST(SystemTables, FixedColoursAndMetrics) {
    EnsureApplication();
    EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(15));
    EXPECT_EQ(ColorToRGB(clWindow), clWhite);
    EXPECT_EQ(ColorToRGB(clWindowText), clBlack);
    EXPECT_EQ(ColorToRGB(clInactiveCaptionText), GetSysColor(19));
    EXPECT_EQ(GetSystemMetrics(SM_CXFRAME), 4);
    EXPECT_EQ(GetSystemMetrics(SM_CXDLGFRAME), 3);
    EXPECT_EQ(GetSystemMetrics(SM_CXBORDER), 1);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), ScreenWidth());
    TForm form(nullptr);
    EXPECT_EQ(form.FrameWidth(), GetSystemMetrics(SM_CXFRAME));
    form.SetBorderStyle(TFormBorderStyle::bsDialog);
    EXPECT_EQ(form.FrameWidth(), GetSystemMetrics(SM_CXDLGFRAME));
}

TEST(ImageLists, MaskedAddOverlaysAndDrawStates) {
    EnsureApplication();
    TImageList list(nullptr);
    list.SetWidth(4);
    list.SetHeight(4);
    // Two images side by side; magenta is see-through.
    TBitmap strip;
    strip.SetSize(8, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            strip.SetPixel(x, y, x < 4 ? (x == y ? clFuchsia : clRed) : (y == 0 ? clBlue : clFuchsia));
    EXPECT_EQ(list.AddMasked(strip, clFuchsia), 0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_TRUE(list.Overlay(1, 0));
    EXPECT_FALSE(list.Overlay(2, 0));
    EXPECT_FALSE(list.Overlay(0, 4));

    auto paint = [&](const std::function<void(TCanvas&)>& fn) {
        auto b = std::make_unique<Canvas4>();
        b->c().SetBrushColor(clGreen);
        b->c().FillRect(Rect(0, 0, 4, 4));
        fn(b->c());
        return b;
    };
    auto normal = paint([&](TCanvas& c) { list.Draw(c, 0, 0, 0); });
    EXPECT_EQ(normal->bitmap.Pixel(1, 0), clRed);
    EXPECT_EQ(normal->bitmap.Pixel(1, 1), clGreen); // see-through
    list.SetBkColor(clYellow);
    auto onBk = paint([&](TCanvas& c) { list.Draw(c, 0, 0, 0); });
    EXPECT_EQ(onBk->bitmap.Pixel(1, 1), clYellow);
    auto transparent =
        paint([&](TCanvas& c) { list.Draw(c, 0, 0, 0, TDrawingStyle::dsTransparent, TImageType::itImage); });
    EXPECT_EQ(transparent->bitmap.Pixel(1, 1), clGreen);
    list.SetBkColor(clNone);
    list.SetBlendColor(clBlue);
    auto selected =
        paint([&](TCanvas& c) { list.Draw(c, 0, 0, 0, TDrawingStyle::dsSelected, TImageType::itImage); });
    EXPECT_EQ(selected->bitmap.Pixel(1, 0), RGB(127, 0, 127));
    auto mask =
        paint([&](TCanvas& c) { list.Draw(c, 0, 0, 0, TDrawingStyle::dsNormal, TImageType::itMask); });
    EXPECT_EQ(mask->bitmap.Pixel(1, 0), clBlack);
    EXPECT_EQ(mask->bitmap.Pixel(1, 1), clWhite);
    auto disabled = paint([&](TCanvas& c) { list.Draw(c, 0, 0, 1, false); });
    EXPECT_EQ(disabled->bitmap.Pixel(1, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(disabled->bitmap.Pixel(1, 1), ColorToRGB(clBtnHighlight)); // the highlight one pixel down-right
    EXPECT_EQ(disabled->bitmap.Pixel(1, 2), clGreen);
    auto overlaid = paint([&](TCanvas& c) { list.DrawOverlay(c, 0, 0, 0, 0); });
    EXPECT_EQ(overlaid->bitmap.Pixel(1, 0), clBlue);
    EXPECT_EQ(overlaid->bitmap.Pixel(1, 2), clRed);
    TBitmap maskOut;
    ASSERT_TRUE(list.GetMask(0, maskOut));
    EXPECT_EQ(maskOut.Pixel(2, 2), clWhite);
    EXPECT_EQ(maskOut.Pixel(3, 2), clBlack);
    list.Delete(1);
    EXPECT_EQ(list.OverlayImage(0), -1);
}

class RecordingPanel : public TPanel {
public:
    using TPanel::TPanel;
    std::vector<std::string>* Log = nullptr;
    void Dispatch(TMessage& m) override {
        if (Log) Log->push_back("own " + std::to_string(m.Msg));
    }
};

TEST(WindowProcedures, InstalledProceduresChainAndDestroyIsAlwaysDelivered) {
    EnsureApplication();
    std::vector<std::string> log;
    auto* panel = new RecordingPanel(nullptr);
    panel->Log = &log;
    EXPECT_EQ(panel->WindowProcInstaller(), nullptr);
    TWndMethod previous = panel->WindowProc();
    int marker = 0;
    panel->SetWindowProc(
        [&, previous](TMessage& m) {
            log.push_back("hook " + std::to_string(m.Msg));
            if (m.Msg == WM_USER + 1) return; // swallowed
            previous(m);
            m.Result = 7;
        },
        &marker);
    EXPECT_EQ(panel->WindowProcInstaller(), &marker);
    EXPECT_EQ(panel->Perform(WM_USER, 0, 0), 7);
    panel->Perform(WM_USER + 1, 0, 0);
    // Posted messages go through the window procedure as well.
    PostMessage(panel, WM_USER + 2, 0, 0);
    QApplication::processEvents();
    delete panel;
    const std::vector<std::string> expected{"hook 1024", "own 1024", "hook 1025",
                                            "hook 1026", "own 1026", "hook 2"};
    EXPECT_EQ(log, expected);
}

TEST(MouseTracking, PressMoveReleaseAndCancelAsAStateMachine) {
    struct Row {
        const char* name;
        std::vector<std::string> events; // "p x y", "m x y", "r x y", "c"
        std::vector<std::string> expected;
    };
    const std::vector<Row> rows = {
        {"click", {"p 10 10", "m 12 11", "r 12 11"}, {"capture", "release", "click 12 11"}},
        {"drag",
         {"p 10 10", "m 15 10", "m 20 12", "r 20 12"},
         {"capture", "start 10 10", "move 15 10", "move 20 12", "release", "drop 20 12"}},
        {"cancel mid-drag",
         {"p 0 0", "m 9 9", "c", "r 9 9"},
         {"capture", "start 0 0", "move 9 9", "release", "cancel"}},
        {"second press ignored", {"p 0 0", "p 5 5", "r 0 0"}, {"capture", "release", "click 0 0"}},
        {"release without press", {"r 1 1", "m 50 50"}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TMouseTracker tracker(4);
        std::vector<std::string> log;
        tracker.OnCapture = [&](bool take) { log.push_back(take ? "capture" : "release"); };
        tracker.OnDragStart = [&](int x, int y) {
            log.push_back("start " + std::to_string(x) + " " + std::to_string(y));
        };
        tracker.OnDragMove = [&](int x, int y) {
            log.push_back("move " + std::to_string(x) + " " + std::to_string(y));
        };
        tracker.OnDrop = [&](int x, int y) {
            log.push_back("drop " + std::to_string(x) + " " + std::to_string(y));
        };
        tracker.OnClick = [&](int x, int y) {
            log.push_back("click " + std::to_string(x) + " " + std::to_string(y));
        };
        tracker.OnCancel = [&] { log.push_back("cancel"); };
        for (const std::string& e : row.events) {
            int x = 0, y = 0;
            char kind = e[0];
            if (kind != 'c') std::sscanf(e.c_str() + 2, "%d %d", &x, &y);
            if (kind == 'p') tracker.Press(TMouseButton::mbLeft, x, y);
            if (kind == 'm') tracker.Move(x, y);
            if (kind == 'r') tracker.Release(TMouseButton::mbLeft, x, y);
            if (kind == 'c') tracker.Cancel();
        }
        EXPECT_EQ(log, row.expected);
        EXPECT_EQ(tracker.State(), TTrackState::tsIdle);
    }
}

class CaptureProbe : public TPanel {
public:
    using TPanel::TPanel;
    int Lost = 0;
    void CaptureLost() override { ++Lost; }
};

TEST(MouseTracking, TakingTheCaptureTellsTheControlThatHadIt) {
    EnsureApplication();
    auto form = std::make_unique<TForm>(nullptr);
    auto* a = new CaptureProbe(form.get());
    auto* b = new CaptureProbe(form.get());
    a->SetParent(form.get());
    b->SetParent(form.get());
    SetCaptureControl(a);
    EXPECT_EQ(GetCaptureControl(), a);
    SetCaptureControl(b);
    EXPECT_EQ(a->Lost, 1);
    EXPECT_EQ(GetCaptureControl(), b);
    delete b;
    EXPECT_EQ(GetCaptureControl(), nullptr);
    ReleaseCapture();
    EXPECT_EQ(a->Lost, 1);
}

TEST(CanvasScreenshot, EveryDrawingCallWithTextAndGlyphs) {
    EnsureApplication();
    TBitmap shot;
    shot.SetSize(360, 200);
    TCanvas& c = shot.Canvas();
    c.Font().Assign(TestFont());
    c.SetBrushColor(clBtnFace);
    c.FillRect(Rect(0, 0, 360, 200));
    TRect r = Rect(8, 8, 160, 40);
    DrawEdge(c, r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
    c.SetBrushStyle(TBrushStyle::bsClear);
    DrawText(c, "&Raised edge, centred", r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    r = Rect(8, 48, 160, 80);
    DrawEdge(c, r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    DrawText(c, "A sunken edge with an ellipsis at the end", r, DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    const uint32_t kinds[] = {
        DFCS_BUTTONCHECK, DFCS_BUTTONCHECK | DFCS_CHECKED, DFCS_BUTTON3STATE | DFCS_CHECKED,
        DFCS_BUTTONRADIO, DFCS_BUTTONRADIO | DFCS_CHECKED, DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_INACTIVE};
    for (int i = 0; i < 6; ++i) {
        TRect box = Bounds(8 + i * 20, 90, 16, 16);
        DrawFrameControl(c, box, DFC_BUTTON, kinds[i]);
    }
    const uint32_t captions[] = {DFCS_CAPTIONCLOSE, DFCS_CAPTIONMIN, DFCS_CAPTIONMAX, DFCS_CAPTIONRESTORE};
    for (int i = 0; i < 4; ++i) {
        TRect box = Bounds(8 + i * 20, 114, 16, 14);
        DrawFrameControl(c, box, DFC_CAPTION, captions[i]);
    }
    for (int i = 0; i < 4; ++i) {
        TRect box = Bounds(100 + i * 18, 114, 16, 16);
        DrawFrameControl(c, box, DFC_SCROLL, static_cast<uint32_t>(i));
    }
    c.SetBrushStyle(TBrushStyle::bsSolid);
    c.SetBrushColor(clYellow);
    c.SetPenColor(clNavy);
    c.Ellipse(Rect(180, 8, 240, 60));
    c.RoundRect(Rect(250, 8, 350, 60), 12, 12);
    c.Arc(Rect(180, 70, 240, 130), Point(240, 100), Point(180, 100));
    c.Polygon({{260, 130}, {300, 70}, {340, 130}});
    TBitmap pattern;
    pattern.SetSize(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) pattern.SetPixel(x, y, (x + y) % 2 ? clWhite : clSilver);
    c.SetBrushBitmap(&pattern);
    c.FillRect(Rect(8, 140, 170, 190));
    c.SetBrushBitmap(nullptr);
    c.SetBrushStyle(TBrushStyle::bsClear);
    r = Rect(180, 140, 350, 190);
    DrawText(c, "Word-broken text that runs over two lines", r, DT_WORDBREAK | DT_CENTER);
    ASSERT_TRUE(shot.SaveToFile(ShotPath("platform-ui", "canvas.png")));
    // Probes: the raised edge's corner, a glyph, a checked box's mark, the pattern.
    EXPECT_EQ(shot.Pixel(8, 8), ColorToRGB(cl3DLight));
    EXPECT_EQ(shot.Pixel(8 + 20 + 1 + 3, 90 + 1 + 7), clBlack);
    EXPECT_EQ(shot.Pixel(8, 140), clSilver);
    EXPECT_EQ(shot.Pixel(9, 140), clWhite);
    EXPECT_EQ(shot.Pixel(210, 34), clYellow);
    const auto [first, last] = InkColumns(shot, 16, 32, 170);
    EXPECT_GT(first, 8);
    EXPECT_LT(last, 160);
}

} // namespace
} // namespace mv
