#pragma once
// Stateless bitmap drawing routines: a cell cut out of a grid bitmap, copies that leave
// one colour see-through, the embossed (greyed) look of a disabled glyph, and a checker
// pattern. Bitmaps a routine makes are handed to the caller, who owns them.
#include "platform/ui/Graphics.h"
#include "platform/ui/ImageList.h"

#include <memory>
#include <string>

namespace mv {

// Transparent colour values: none, and "take the bottom-left pixel's".
constexpr TColor NoTransparentColor = 0x1FFFFFFF;
constexpr TColor BottomLeftTransparentColor = 0x20000000;

// Dest becomes cell Index of Source cut into Cols x Rows cells (columns first); Cols and
// Rows below 1 count as 1, a negative Index as 0. The part of a cell beyond the grid
// comes out black (nothing outside the source is read). Dest takes the source's
// transparent colour and flag. Nothing when either is missing.
void CopyBitmapCell(const TBitmap* source, TBitmap* dest, int cols, int rows, int index);
// The same for an icon: Dest is filled with silver and the icon drawn shifted so that
// the cell lands on it.
void CopyBitmapCell(const TIcon* source, TBitmap* dest, int cols, int rows, int index);

// Copies a source rectangle, stretched, into a destination rectangle, leaving the
// destination unchanged where the source has the transparent colour (a monochrome
// mask, its inverse and a work bitmap, combined with SRCAND and SRCPAINT).
void TransparentStretchCopy(TCanvas& dest, int x, int y, int width, int height, const TBitmap& source,
                            int sourceX, int sourceY, int sourceWidth, int sourceHeight, TColor transparent);

// Draws part of a bitmap: a destination width or height below 1 becomes the bitmap's,
// a source width or height below 1 the whole bitmap. With NoTransparentColor the part
// is stretched with the canvas's copy mode; otherwise through TransparentStretchCopy
// with that colour (BottomLeftTransparentColor: the bottom-left pixel's, white for a
// monochrome bitmap).
void DrawBitmapPart(TCanvas& canvas, int x, int y, int width, int height, const TBitmap& bitmap, int sourceX,
                    int sourceY, int sourceWidth, int sourceHeight, TColor transparent);
// The whole bitmap at (x, y) in its own size.
void PaintBitmapTransparent(TCanvas& canvas, int x, int y, const TBitmap& bitmap, TColor transparent);

// The greyed look of a disabled glyph: a bitmap of the glyph's size in the background
// colour, with the pixels of the mask colour painted in the shadow colour, and first
// (with drawHighlight) one pixel right and down in the highlight colour.
std::unique_ptr<TBitmap> MakeEmbossedBitmap(const TBitmap& bitmap, TColor maskColor, TColor backgroundColor,
                                            bool drawHighlight, TColor shadowColor, TColor highlightColor);
// The same look for an image of a list, painted on the canvas at (x, y): the opaque
// pixels in the shadow colour, and first the highlight at (x + 1, y + 1). The canvas's
// brush colour is kept.
void DrawImageEmbossed(const TImageList& images, TCanvas& canvas, int x, int y, int index, bool drawHighlight,
                       TColor shadowColor, TColor highlightColor);

// An 8 x 8 bitmap in Colour1 whose pixels with column and row both even or both odd
// are Colour2.
std::unique_ptr<TBitmap> MakeCheckerPattern(TColor colour1, TColor colour2);

inline int RectWidth(const TRect& r) {
    return r.Right - r.Left;
}
inline int RectHeight(const TRect& r) {
    return r.Bottom - r.Top;
}
// The colour's RGB value marked palette-relative (0x02000000 added).
TColor PaletteRelativeColour(TColor colour);
// The string unchanged (where a loaded text is passed on).
std::string StringPassThrough(const std::string& s);

} // namespace mv
