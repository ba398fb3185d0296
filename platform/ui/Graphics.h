#pragma once
// Colours, fonts, bitmaps and the canvas that controls paint through.
// Colours are 0x00BBGGRR values; the system colours (clBtnFace, ...) resolve through
// one fixed table so that every machine draws the same. Fonts name a family and a size
// in points; every sans-serif family is drawn with Liberation Sans at 96 dots per inch,
// so sizes derived from text are the same everywhere.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace mv {

using TColor = int32_t;

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
// System colours: a flag bit over an index into the fixed system colour table (the
// classic colour numbers; see SysMetrics.h for the table).
constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor clScrollBar = clSystemColor | 0, clBackground = clSystemColor | 1,
                 clActiveCaption = clSystemColor | 2, clInactiveCaption = clSystemColor | 3,
                 clMenu = clSystemColor | 4, clWindow = clSystemColor | 5, clWindowFrame = clSystemColor | 6,
                 clMenuText = clSystemColor | 7, clWindowText = clSystemColor | 8,
                 clCaptionText = clSystemColor | 9, clActiveBorder = clSystemColor | 10,
                 clInactiveBorder = clSystemColor | 11, clAppWorkSpace = clSystemColor | 12,
                 clHighlight = clSystemColor | 13, clHighlightText = clSystemColor | 14,
                 clBtnFace = clSystemColor | 15, clBtnShadow = clSystemColor | 16,
                 clGrayText = clSystemColor | 17, clBtnText = clSystemColor | 18,
                 clInactiveCaptionText = clSystemColor | 19, clBtnHighlight = clSystemColor | 20,
                 cl3DDkShadow = clSystemColor | 21, cl3DLight = clSystemColor | 22,
                 clInfoText = clSystemColor | 23, clInfoBk = clSystemColor | 24;
// No colour (nothing transparent, nothing drawn); the default colour of a control.
constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;

// The plain 0x00BBGGRR value of a colour (system colours looked up).
TColor ColorToRGB(TColor color);
constexpr TColor RGB(int r, int g, int b) {
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
constexpr int GetRValue(TColor c) {
    return c & 0xFF;
}
constexpr int GetGValue(TColor c) {
    return (c >> 8) & 0xFF;
}
constexpr int GetBValue(TColor c) {
    return (c >> 16) & 0xFF;
}

struct TPoint {
    int X = 0, Y = 0;
    bool operator==(const TPoint&) const = default;
};
inline TPoint Point(int x, int y) {
    return TPoint{x, y};
}

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool Contains(const TPoint& p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
    bool operator==(const TRect&) const = default;
};
inline TRect Rect(int left, int top, int right, int bottom) {
    return TRect{left, top, right, bottom};
}
inline TRect Bounds(int left, int top, int width, int height) {
    return TRect{left, top, left + width, top + height};
}

// The screen's fixed resolution and the size of a point in pixels at it.
constexpr int ScreenPixelsPerInch = 96;

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont {
public:
    const std::string& Name() const { return FName; }
    void SetName(const std::string& value);
    int Size() const { return FSize; }
    void SetSize(int value);
    // Height in pixels (negative: character height without leading, as sizes give it).
    int Height() const;
    uint8_t Style() const { return FStyle; }
    void SetStyle(uint8_t value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    void Assign(const TFont& other);
    // Fired after any change; the control that owns the font applies it.
    std::function<void()> OnChange;

private:
    void Changed() {
        if (OnChange) OnChange();
    }
    std::string FName = "MS Sans Serif";
    int FSize = 8;
    uint8_t FStyle = 0;
    TColor FColor = clWindowText;
};

class TCanvas;

enum class TTransparentMode { tmAuto, tmFixed };

// A picture in memory (32 bits per pixel). A monochrome bitmap holds only black and
// white; blits convert between it and colour as device contexts do (see TCanvas).
class TBitmap {
public:
    TBitmap();
    ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const;
    int Height() const;
    // A new size keeps the pixels that still fit; new pixels are white.
    void SetSize(int width, int height);
    void SetWidth(int value) { SetSize(value, Height()); }
    void SetHeight(int value) { SetSize(Width(), value); }
    bool Empty() const { return Width() == 0 || Height() == 0; }
    void Assign(const TBitmap& other);
    // Reads a PNG or BMP image from memory, a file, or the program's bitmap resources
    // by name; false (and an empty bitmap) when it cannot.
    bool LoadFromMemory(std::span<const uint8_t> data);
    bool LoadFromFile(const std::string& path);
    bool LoadFromResourceName(const std::string& name);
    bool SaveToFile(const std::string& path) const;
    // clNone outside the bitmap.
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);
    TCanvas& Canvas();

    // Turning a colour bitmap monochrome makes white pixels white and all others black.
    bool Monochrome() const { return FMonochrome; }
    void SetMonochrome(bool value);
    // Drawn with Draw, a transparent bitmap leaves the pixels of its transparent colour
    // unchanged. The transparent colour is the bottom-left pixel's (tmAuto) or the one
    // set (tmFixed, which setting a colour selects).
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value) { FTransparent = value; }
    TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode value) { FTransparentMode = value; }
    TColor TransparentColor() const;
    void SetTransparentColor(TColor value);
    // A monochrome mask of the same size: white where the pixel has colour
    // `transparent`, black elsewhere.
    void CreateMask(TColor transparent, TBitmap& mask) const;

    struct Impl;
    Impl& Data() const { return *FImpl; }

private:
    std::unique_ptr<Impl> FImpl;
    std::unique_ptr<TCanvas> FCanvas;
    bool FMonochrome = false;
    bool FTransparent = false;
    TTransparentMode FTransparentMode = TTransparentMode::tmAuto;
    TColor FTransparentColor = clDefault;
};

// An area of any shape, for filling and clipping.
enum class TPolyFillMode { pfAlternate, pfWinding };
enum class TRegionCombine { rcAnd, rcOr, rcXor, rcDiff, rcCopy };

class TRegion {
public:
    TRegion();
    ~TRegion();
    TRegion(const TRegion& other);
    TRegion& operator=(const TRegion& other);
    static TRegion FromRect(const TRect& rect);
    static TRegion FromEllipse(const TRect& rect);
    static TRegion FromPolygon(const std::vector<TPoint>& points, TPolyFillMode mode);
    // This region becomes the combination of a and b.
    void Combine(const TRegion& a, const TRegion& b, TRegionCombine mode);
    void Offset(int dx, int dy);
    bool Contains(int x, int y) const;
    bool Empty() const;
    TRect BoundingRect() const;

    struct Impl;
    Impl& Data() const { return *FImpl; }

private:
    std::unique_ptr<Impl> FImpl;
};

enum class TBrushStyle { bsSolid, bsClear };
enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
// How a pen combines with what is there: copy, invert what is there, or exclusive-or.
enum class TPenMode { pmCopy, pmNot, pmXor, pmNotXor };

// Raster operations of blits: for each bit, the result from the pattern (brush, P),
// the source (S) and the destination (D), the byte being the result for P = 0xF0,
// S = 0xCC, D = 0xAA.
constexpr uint32_t SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6, SRCINVERT = 0x00660046,
                   SRCERASE = 0x00440328, NOTSRCCOPY = 0x00330008, NOTSRCERASE = 0x001100A6,
                   MERGECOPY = 0x00C000CA, MERGEPAINT = 0x00BB0226, PATCOPY = 0x00F00021,
                   PATPAINT = 0x00FB0A09, PATINVERT = 0x005A0049, DSTINVERT = 0x00550009,
                   BLACKNESS = 0x00000042, WHITENESS = 0x00FF0062,
                   // the brush where the source is white, the destination where it is black
    ROP_DSPDxax = 0x00E20746;

// The result of a raster operation on three 24-bit colour values.
uint32_t ApplyRasterOp(uint32_t rop, uint32_t pattern, uint32_t source, uint32_t dest);

// Drawing operations on a bitmap or, during painting, on a control. The brush colour
// is also the background colour and the font colour the text colour of blits between
// monochrome and colour: a monochrome source's black pixels become the destination's
// text colour and its white pixels its background colour; blitting colour into a
// monochrome bitmap makes the source canvas's background colour white and every other
// colour black.
class TCanvas {
public:
    TCanvas();
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TFont& Font() { return FFont; }
    const TFont& Font() const { return FFont; }
    TColor PenColor() const { return FPenColor; }
    void SetPenColor(TColor value) { FPenColor = value; }
    int PenWidth() const { return FPenWidth; }
    void SetPenWidth(int value) { FPenWidth = value; }
    TPenStyle PenStyle() const { return FPenStyle; }
    void SetPenStyle(TPenStyle value) { FPenStyle = value; }
    TPenMode PenMode() const { return FPenMode; }
    void SetPenMode(TPenMode value) { FPenMode = value; }
    TColor BrushColor() const { return FBrushColor; }
    void SetBrushColor(TColor value) { FBrushColor = value; }
    TBrushStyle BrushStyle() const { return FBrushStyle; }
    void SetBrushStyle(TBrushStyle value) { FBrushStyle = value; }
    // A pattern brush: the bitmap (usually 8 x 8) tiled from the canvas origin; null
    // goes back to the solid colour. The canvas keeps a copy.
    void SetBrushBitmap(const TBitmap* pattern);
    bool HasBrushBitmap() const;
    uint32_t CopyMode() const { return FCopyMode; }
    void SetCopyMode(uint32_t value) { FCopyMode = value; }

    // Size of what the canvas draws on (0 x 0 while painting a control).
    int Width() const;
    int Height() const;
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    void FillRect(const TRect& rect);
    // A one-pixel frame in the brush colour.
    void FrameRect(const TRect& rect);
    // The dotted focus frame (drawn by inverting, so twice removes it).
    void DrawFocusRect(const TRect& rect);
    void Rectangle(const TRect& rect);
    void RoundRect(const TRect& rect, int cornerWidth, int cornerHeight);
    void Ellipse(const TRect& rect);
    // The part of the ellipse in `bounds` running counter-clockwise from the ray
    // towards `start` to the ray towards `end`.
    void Arc(const TRect& bounds, const TPoint& start, const TPoint& end);
    void Polyline(const std::vector<TPoint>& points);
    void Polygon(const std::vector<TPoint>& points);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    TPoint PenPos() const { return {FPenX, FPenY}; }
    void TextOut(int x, int y, const std::string& text);
    // Text clipped to rect, drawn at (x, y).
    void TextRect(const TRect& rect, int x, int y, const std::string& text);
    int TextWidth(const std::string& text) const;
    int TextHeight(const std::string& text) const;
    void Draw(int x, int y, const TBitmap& bitmap);
    void StretchDraw(const TRect& dest, const TBitmap& bitmap);
    // Copies part of a bitmap, scaled to dest, with the copy mode.
    void CopyRect(const TRect& dest, const TBitmap& source, const TRect& sourceRect);
    // Copies part of a bitmap with every pixel of colour `transparent` replaced by the
    // brush colour.
    void BrushCopy(const TRect& dest, const TBitmap& source, const TRect& sourceRect, TColor transparent);
    // Blits with a raster operation from the canvas of a bitmap, stretched when the
    // sizes differ. On a bitmap every operation is exact; while painting a control the
    // ones that need the destination's pixels are limited to SRCAND, SRCPAINT,
    // SRCINVERT, DSTINVERT and PATINVERT.
    void StretchBlt(const TRect& dest, const TBitmap& source, const TRect& sourceRect, uint32_t rop,
                    TColor sourceBackground = clWhite);
    void BitBlt(int x, int y, int width, int height, const TBitmap& source, int sourceX, int sourceY,
                uint32_t rop, TColor sourceBackground = clWhite) {
        StretchBlt(TRect{x, y, x + width, y + height}, source,
                   TRect{sourceX, sourceY, sourceX + width, sourceY + height}, rop, sourceBackground);
    }
    // A pattern blit: the brush combined with the destination (PATCOPY, PATINVERT, ...).
    void PatBlt(const TRect& rect, uint32_t rop);

    // Regions.
    void FillRegion(const TRegion& region);
    void FrameRegion(const TRegion& region, int width, int height);
    // Clipping: a region, none (null), or one rectangle taken out of what is drawn.
    void SetClipRegion(const TRegion* region);
    void ExcludeClipRect(const TRect& rect);
    bool HasClipRegion() const;

    struct Impl;
    Impl& Data() const { return *FImpl; }

private:
    std::unique_ptr<Impl> FImpl;
    TFont FFont;
    TColor FPenColor = clBlack;
    int FPenWidth = 1;
    TPenStyle FPenStyle = TPenStyle::psSolid;
    TPenMode FPenMode = TPenMode::pmCopy;
    TColor FBrushColor = clWhite;
    TBrushStyle FBrushStyle = TBrushStyle::bsSolid;
    uint32_t FCopyMode = SRCCOPY;
    int FPenX = 0, FPenY = 0;
};

} // namespace mv
