// The bitmap drawing routines: cells of a grid, transparent copies, the embossed look
// and the checker pattern.
#include "controls/toolkit/checklist/BitmapDrawing.h"
#include "platform/ui/Form.h"

#include <gtest/gtest.h>

namespace mv {
namespace {

// A 96 x 39 grid whose every pixel tells its cell: red = column, green = row.
TBitmap& Grid() {
    static TBitmap grid;
    if (grid.Empty()) {
        grid.SetSize(96, 39);
        for (int y = 0; y < 39; ++y)
            for (int x = 0; x < 96; ++x) grid.SetPixel(x, y, RGB(x / 16 * 10 + 5, y / 13 * 10 + 5, 200));
    }
    return grid;
}

TEST(BitmapDrawing, CopyBitmapCellCutsTheGrid) {
    EnsureApplication();
    struct Row {
        int cols, rows, index;
        int width, height;
        TColor corner; // top-left pixel of the result
    };
    const std::vector<Row> rows = {
        {6, 3, 13, 16, 13, RGB(15, 25, 200)}, // column 1, row 2
        {6, 3, 0, 16, 13, RGB(5, 5, 200)},
        {6, 3, -4, 16, 13, RGB(5, 5, 200)}, // a negative index counts as 0
        {0, 3, 0, 96, 13, RGB(5, 5, 200)},  // Cols 0 counts as 1
        {6, 3, 18, 16, 13, clBlack},        // beyond the grid: nothing read, black
        {6, 3, 1000000, 16, 13, clBlack},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.cols) + "x" + std::to_string(r.rows) + " #" + std::to_string(r.index));
        TBitmap cell;
        CopyBitmapCell(&Grid(), &cell, r.cols, r.rows, r.index);
        EXPECT_EQ(cell.Width(), r.width);
        EXPECT_EQ(cell.Height(), r.height);
        EXPECT_EQ(cell.Pixel(0, 0), r.corner);
        if (r.cols > 0) {
            EXPECT_EQ(cell.Pixel(r.width - 1, r.height - 1), r.corner);
        }
    }
    TBitmap cell;
    CopyBitmapCell(static_cast<const TBitmap*>(nullptr), &cell, 6, 3, 0);
    CopyBitmapCell(&Grid(), static_cast<TBitmap*>(nullptr), 6, 3, 0);
    EXPECT_TRUE(cell.Empty());
    // The transparent flag and a fixed colour travel with the cell.
    TBitmap source;
    source.Assign(Grid());
    source.SetTransparent(true);
    source.SetTransparentColor(clFuchsia);
    CopyBitmapCell(&source, &cell, 6, 3, 1);
    EXPECT_TRUE(cell.Transparent());
    EXPECT_EQ(cell.TransparentColor(), clFuchsia);
}

TEST(BitmapDrawing, TransparentDrawingLeavesTheSeeThroughColourAlone) {
    EnsureApplication();
    TBitmap glyph;
    glyph.SetSize(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) glyph.SetPixel(x, y, (x + y) % 2 ? clFuchsia : clNavy);
    glyph.SetPixel(0, 3, clFuchsia); // the bottom-left pixel is magenta
    for (TColor transparent : {clFuchsia, BottomLeftTransparentColor}) {
        SCOPED_TRACE(transparent);
        TBitmap dest;
        dest.SetSize(8, 8);
        dest.Canvas().SetBrushColor(clLime);
        dest.Canvas().FillRect(Rect(0, 0, 8, 8));
        DrawBitmapPart(dest.Canvas(), 2, 2, 0, 0, glyph, 0, 0, 0, 0, transparent);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(dest.Pixel(x + 2, y + 2), glyph.Pixel(x, y) == clFuchsia ? clLime : clNavy)
                    << x << "," << y;
        EXPECT_EQ(dest.Pixel(0, 0), clLime);
    }
    // Stretched to twice the size.
    TBitmap dest;
    dest.SetSize(8, 8);
    TransparentStretchCopy(dest.Canvas(), 0, 0, 8, 8, glyph, 0, 0, 4, 4, clFuchsia);
    EXPECT_EQ(dest.Pixel(0, 0), clNavy);
    EXPECT_EQ(dest.Pixel(1, 1), clNavy);
    EXPECT_EQ(dest.Pixel(2, 0), clWhite);
    // Without a transparent colour everything is copied.
    TBitmap plain;
    plain.SetSize(4, 4);
    PaintBitmapTransparent(plain.Canvas(), 0, 0, glyph, NoTransparentColor);
    EXPECT_EQ(plain.Pixel(1, 0), clFuchsia);
}

TEST(BitmapDrawing, EmbossedLookAndCheckerPattern) {
    EnsureApplication();
    // A 3 x 3 glyph: a black line down the left column, on white.
    TBitmap glyph;
    glyph.SetSize(3, 3);
    for (int i = 0; i < 3; ++i) glyph.SetPixel(0, i, clBlack);
    auto embossed = MakeEmbossedBitmap(glyph, clBlack, clSilver, true, clGray, clWhite);
    ASSERT_EQ(embossed->Width(), 3);
    // The shadow over the glyph, the highlight one pixel right and down, the rest background.
    const TColor expected[3][3] = {
        {clGray, clSilver, clSilver}, {clGray, clWhite, clSilver}, {clGray, clWhite, clSilver}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(embossed->Pixel(x, y), expected[y][x]) << x << "," << y;
    auto flat = MakeEmbossedBitmap(glyph, clBlack, clSilver, false, clGray, clWhite);
    EXPECT_EQ(flat->Pixel(1, 1), clSilver);
    EXPECT_EQ(flat->Pixel(0, 1), clGray);

    TImageList images(nullptr);
    images.SetWidth(3);
    images.SetHeight(3);
    images.AddMasked(glyph, clWhite);
    TBitmap canvas;
    canvas.SetSize(5, 5);
    canvas.Canvas().SetBrushColor(clGreen);
    canvas.Canvas().FillRect(Rect(0, 0, 5, 5));
    canvas.Canvas().SetBrushColor(clYellow);
    DrawImageEmbossed(images, canvas.Canvas(), 1, 1, 0, true, clGray, clWhite);
    EXPECT_EQ(canvas.Canvas().BrushColor(), clYellow);
    EXPECT_EQ(canvas.Pixel(1, 1), clGray);
    EXPECT_EQ(canvas.Pixel(1, 3), clGray);
    EXPECT_EQ(canvas.Pixel(2, 2), clWhite);
    EXPECT_EQ(canvas.Pixel(2, 1), clGreen);
    EXPECT_EQ(canvas.Pixel(3, 3), clGreen);

    auto checker = MakeCheckerPattern(clWhite, clSilver);
    ASSERT_EQ(checker->Width(), 8);
    ASSERT_EQ(checker->Height(), 8);
    EXPECT_EQ(checker->Pixel(0, 0), clSilver);
    EXPECT_EQ(checker->Pixel(1, 0), clWhite);
    EXPECT_EQ(checker->Pixel(1, 1), clSilver);
    EXPECT_EQ(checker->Pixel(7, 6), clWhite);

    EXPECT_EQ(RectWidth(Rect(3, 4, 10, 20)), 7);
    EXPECT_EQ(RectHeight(Rect(3, 4, 10, 20)), 16);
    EXPECT_EQ(PaletteRelativeColour(clRed), 0x020000FF);
    EXPECT_EQ(PaletteRelativeColour(clBtnFace), 0x02000000 | ColorToRGB(clBtnFace));
    EXPECT_EQ(StringPassThrough("abc"), "abc");
}

} // namespace
} // namespace mv
