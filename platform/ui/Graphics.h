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

namespace mv {

using TColor = int32_t;

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
// System colours: a flag bit over an index into the fixed system colour table.
constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor clWindowText = clSystemColor | 8, clWindow = clSystemColor | 5,
                 clBtnFace = clSystemColor | 15, clBtnShadow = clSystemColor | 16,
                 clGrayText = clSystemColor | 17, clBtnText = clSystemColor | 18,
                 clBtnHighlight = clSystemColor | 20, clHighlight = clSystemColor | 13,
                 clHighlightText = clSystemColor | 14, clInfoBk = clSystemColor | 24;
constexpr TColor clNone = 0x1FFFFFFF;

// The plain 0x00BBGGRR value of a colour (system colours looked up).
TColor ColorToRGB(TColor color);

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
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

// A picture in memory (32 bits per pixel).
class TBitmap {
public:
    TBitmap();
    ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const;
    int Height() const;
    void SetSize(int width, int height);
    bool Empty() const { return Width() == 0 || Height() == 0; }
    void Assign(const TBitmap& other);
    // Reads a PNG or BMP image from memory, a file, or the program's bitmap resources
    // by name; false (and an empty bitmap) when it cannot.
    bool LoadFromMemory(std::span<const uint8_t> data);
    bool LoadFromFile(const std::string& path);
    bool LoadFromResourceName(const std::string& name);
    bool SaveToFile(const std::string& path) const;
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);
    TCanvas& Canvas();

    struct Impl;
    Impl& Data() const { return *FImpl; }

private:
    std::unique_ptr<Impl> FImpl;
    std::unique_ptr<TCanvas> FCanvas;
};

enum class TBrushStyle { bsSolid, bsClear };

// Drawing operations on a bitmap or, during painting, on a control.
class TCanvas {
public:
    TCanvas();
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TFont& Font() { return FFont; }
    TColor PenColor() const { return FPenColor; }
    void SetPenColor(TColor value) { FPenColor = value; }
    int PenWidth() const { return FPenWidth; }
    void SetPenWidth(int value) { FPenWidth = value; }
    TColor BrushColor() const { return FBrushColor; }
    void SetBrushColor(TColor value) { FBrushColor = value; }
    TBrushStyle BrushStyle() const { return FBrushStyle; }
    void SetBrushStyle(TBrushStyle value) { FBrushStyle = value; }

    void FillRect(const TRect& rect);
    void Rectangle(const TRect& rect);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void TextOut(int x, int y, const std::string& text);
    int TextWidth(const std::string& text) const;
    int TextHeight(const std::string& text) const;
    void Draw(int x, int y, const TBitmap& bitmap);
    // Copies part of a bitmap, scaled to dest.
    void CopyRect(const TRect& dest, const TBitmap& source, const TRect& sourceRect);
    // Copies part of a bitmap with every pixel of colour `transparent` replaced by the
    // brush colour.
    void BrushCopy(const TRect& dest, const TBitmap& source, const TRect& sourceRect, TColor transparent);

    struct Impl;
    Impl& Data() const { return *FImpl; }

private:
    std::unique_ptr<Impl> FImpl;
    TFont FFont;
    TColor FPenColor = clBlack;
    int FPenWidth = 1;
    TColor FBrushColor = clWhite;
    TBrushStyle FBrushStyle = TBrushStyle::bsSolid;
    int FPenX = 0, FPenY = 0;
};

} // namespace mv
