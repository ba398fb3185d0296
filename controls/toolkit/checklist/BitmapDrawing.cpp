#include "controls/toolkit/checklist/BitmapDrawing.h"

#include <algorithm>

namespace mv {

void CopyBitmapCell(const TBitmap* source, TBitmap* dest, int cols, int rows, int index) {
    if (!source || !dest) return;
    cols = std::max(1, cols);
    rows = std::max(1, rows);
    index = std::max(0, index);
    const int w = source->Width() / cols, h = source->Height() / rows;
    dest->SetSize(0, 0);
    dest->SetSize(w, h);
    if (w > 0 && h > 0) {
        TCanvas& canvas = dest->Canvas();
        canvas.SetCopyMode(SRCCOPY);
        canvas.BitBlt(0, 0, w, h, *source, (index % cols) * w, (index / cols) * h, SRCCOPY);
    }
    dest->SetTransparentColor(
        source->TransparentMode() == TTransparentMode::tmFixed ? source->TransparentColor() : clDefault);
    dest->SetTransparent(source->Transparent());
}

void CopyBitmapCell(const TIcon* source, TBitmap* dest, int cols, int rows, int index) {
    if (!source || !dest) return;
    cols = std::max(1, cols);
    rows = std::max(1, rows);
    index = std::max(0, index);
    const int w = source->Width() / cols, h = source->Height() / rows;
    dest->SetSize(0, 0);
    dest->SetSize(w, h);
    if (w <= 0 || h <= 0) return;
    TCanvas& canvas = dest->Canvas();
    canvas.SetBrushColor(clSilver);
    canvas.FillRect(Rect(0, 0, w, h));
    DrawIcon(canvas, -(index % cols) * w, -(index / cols) * h, *source);
}

void TransparentStretchCopy(TCanvas& dest, int x, int y, int width, int height, const TBitmap& source,
                            int sourceX, int sourceY, int sourceWidth, int sourceHeight, TColor transparent) {
    if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return;
    // A colour copy of the source area, its monochrome mask (transparent pixels white)
    // and the inverse of the mask.
    TBitmap copy, mask, inverse, work;
    copy.SetSize(sourceWidth, sourceHeight);
    copy.Canvas().BitBlt(0, 0, sourceWidth, sourceHeight, source, sourceX, sourceY, SRCCOPY);
    mask.SetSize(sourceWidth, sourceHeight);
    mask.SetMonochrome(true);
    mask.Canvas().BitBlt(0, 0, sourceWidth, sourceHeight, copy, 0, 0, SRCCOPY, transparent);
    inverse.SetSize(sourceWidth, sourceHeight);
    inverse.SetMonochrome(true);
    inverse.Canvas().BitBlt(0, 0, sourceWidth, sourceHeight, mask, 0, 0, NOTSRCCOPY);
    // Monochrome bitmaps come into colour as black where 0 and white where 1.
    copy.Canvas().SetBrushColor(clWhite);
    copy.Canvas().Font().SetColor(clBlack);
    work.SetSize(width, height);
    work.Canvas().SetBrushColor(clWhite);
    work.Canvas().Font().SetColor(clBlack);
    if (dest.Width() > 0) {
        // Drawing on a bitmap: the exact path through the work bitmap.
        for (int yy = 0; yy < height; ++yy)
            for (int xx = 0; xx < width; ++xx) {
                const TColor c = dest.Pixel(x + xx, y + yy);
                work.SetPixel(xx, yy, c == clNone ? clBlack : c);
            }
        work.Canvas().StretchBlt(Rect(0, 0, width, height), mask, Rect(0, 0, sourceWidth, sourceHeight),
                                 SRCAND);
        copy.Canvas().BitBlt(0, 0, sourceWidth, sourceHeight, inverse, 0, 0, SRCAND);
        work.Canvas().StretchBlt(Rect(0, 0, width, height), copy, Rect(0, 0, sourceWidth, sourceHeight),
                                 SRCPAINT);
        const uint32_t mode = dest.CopyMode();
        dest.BitBlt(x, y, width, height, work, 0, 0, SRCCOPY);
        dest.SetCopyMode(mode);
        return;
    }
    // Painting a control: the destination cannot be read, so the two halves go on
    // with the operations the painter combines (clear the opaque part, then paint).
    const TColor brush = dest.BrushColor();
    const TColor text = dest.Font().Color();
    dest.SetBrushColor(clWhite);
    dest.Font().SetColor(clBlack);
    dest.StretchBlt(Bounds(x, y, width, height), mask, Rect(0, 0, sourceWidth, sourceHeight), SRCAND);
    copy.Canvas().BitBlt(0, 0, sourceWidth, sourceHeight, inverse, 0, 0, SRCAND);
    dest.StretchBlt(Bounds(x, y, width, height), copy, Rect(0, 0, sourceWidth, sourceHeight), SRCPAINT);
    dest.SetBrushColor(brush);
    dest.Font().SetColor(text);
}

void DrawBitmapPart(TCanvas& canvas, int x, int y, int width, int height, const TBitmap& bitmap, int sourceX,
                    int sourceY, int sourceWidth, int sourceHeight, TColor transparent) {
    if (bitmap.Empty()) return;
    if (width < 1) width = bitmap.Width();
    if (height < 1) height = bitmap.Height();
    if (sourceWidth < 1 || sourceHeight < 1) {
        sourceX = 0;
        sourceY = 0;
        sourceWidth = bitmap.Width();
        sourceHeight = bitmap.Height();
    }
    if (transparent == NoTransparentColor) {
        canvas.StretchBlt(Bounds(x, y, width, height), bitmap,
                          Bounds(sourceX, sourceY, sourceWidth, sourceHeight), canvas.CopyMode());
        return;
    }
    if (transparent == BottomLeftTransparentColor)
        transparent = bitmap.Monochrome() ? clWhite : bitmap.Pixel(0, bitmap.Height() - 1);
    TransparentStretchCopy(canvas, x, y, width, height, bitmap, sourceX, sourceY, sourceWidth, sourceHeight,
                           transparent);
}

void PaintBitmapTransparent(TCanvas& canvas, int x, int y, const TBitmap& bitmap, TColor transparent) {
    DrawBitmapPart(canvas, x, y, bitmap.Width(), bitmap.Height(), bitmap, 0, 0, bitmap.Width(),
                   bitmap.Height(), transparent);
}

namespace {

// Paints the white pixels of a monochrome mask in `color` with the raster operation
// that puts the brush where the source is white and keeps the destination elsewhere.
void PaintMask(TCanvas& canvas, int x, int y, const TBitmap& mask, TColor color) {
    const TColor brush = canvas.BrushColor();
    const TColor text = canvas.Font().Color();
    canvas.SetBrushColor(color);
    canvas.Font().SetColor(clBlack);
    // The mask comes in as black (0) and white (1): text black, background white.
    TBitmap colourMask;
    colourMask.SetSize(mask.Width(), mask.Height());
    colourMask.Canvas().SetBrushColor(clWhite);
    colourMask.Canvas().Font().SetColor(clBlack);
    colourMask.Canvas().BitBlt(0, 0, mask.Width(), mask.Height(), mask, 0, 0, SRCCOPY);
    canvas.BitBlt(x, y, mask.Width(), mask.Height(), colourMask, 0, 0, ROP_DSPDxax);
    canvas.SetBrushColor(brush);
    canvas.Font().SetColor(text);
}

} // namespace

std::unique_ptr<TBitmap> MakeEmbossedBitmap(const TBitmap& bitmap, TColor maskColor, TColor backgroundColor,
                                            bool drawHighlight, TColor shadowColor, TColor highlightColor) {
    auto result = std::make_unique<TBitmap>();
    result->SetSize(bitmap.Width(), bitmap.Height());
    TCanvas& canvas = result->Canvas();
    canvas.SetBrushColor(backgroundColor);
    canvas.FillRect(Rect(0, 0, bitmap.Width(), bitmap.Height()));
    // The pixels of the mask colour become white in a monochrome mask.
    TBitmap mask;
    mask.SetSize(bitmap.Width(), bitmap.Height());
    mask.SetMonochrome(true);
    mask.Canvas().BitBlt(0, 0, bitmap.Width(), bitmap.Height(), bitmap, 0, 0, SRCCOPY, maskColor);
    if (drawHighlight) PaintMask(canvas, 1, 1, mask, highlightColor);
    PaintMask(canvas, 0, 0, mask, shadowColor);
    canvas.SetBrushColor(backgroundColor);
    return result;
}

void DrawImageEmbossed(const TImageList& images, TCanvas& canvas, int x, int y, int index, bool drawHighlight,
                       TColor shadowColor, TColor highlightColor) {
    TBitmap seeThrough;
    if (!images.GetMask(index, seeThrough)) return;
    // The list's mask is white where the image is see-through; the opaque pixels are
    // the ones to paint, so they are made the white ones.
    TBitmap mask;
    mask.SetSize(seeThrough.Width(), seeThrough.Height());
    mask.SetMonochrome(true);
    mask.Canvas().BitBlt(0, 0, seeThrough.Width(), seeThrough.Height(), seeThrough, 0, 0, NOTSRCCOPY);
    const TColor brush = canvas.BrushColor();
    if (drawHighlight) PaintMask(canvas, x + 1, y + 1, mask, highlightColor);
    PaintMask(canvas, x, y, mask, shadowColor);
    canvas.SetBrushColor(brush);
}

std::unique_ptr<TBitmap> MakeCheckerPattern(TColor colour1, TColor colour2) {
    auto result = std::make_unique<TBitmap>();
    result->SetSize(8, 8);
    TCanvas& canvas = result->Canvas();
    canvas.SetBrushColor(colour1);
    canvas.FillRect(Rect(0, 0, 8, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            if ((x % 2) == (y % 2)) result->SetPixel(x, y, colour2);
    return result;
}

TColor PaletteRelativeColour(TColor colour) {
    return ColorToRGB(colour) | 0x02000000;
}

std::string StringPassThrough(const std::string& s) {
    return s;
}

} // namespace mv
