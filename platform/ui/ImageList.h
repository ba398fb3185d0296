#pragma once
// Icons and image lists: pictures with a mask (white where the picture is see-through),
// drawn transparent, on a background colour, blended for focus or selection, embossed
// when disabled, or as their mask; image lists also draw overlays over their images.
#include "platform/ui/Component.h"
#include "platform/ui/Graphics.h"

#include <memory>
#include <string>
#include <vector>

namespace mv {

class TIcon {
public:
    TIcon();
    ~TIcon();
    TIcon(const TIcon&) = delete;
    TIcon& operator=(const TIcon&) = delete;

    int Width() const;
    int Height() const;
    bool Empty() const { return Width() == 0 || Height() == 0; }
    void Assign(const TIcon& other);
    // The picture with a monochrome mask of its size (white: see-through), or without
    // one (all opaque).
    void AssignBitmap(const TBitmap& image, const TBitmap* mask);
    // The picture with every pixel of `transparent` see-through (clDefault: the
    // bottom-left pixel's colour).
    void AssignMasked(const TBitmap& image, TColor transparent);
    // A PNG with transparency from the program's bitmap resources; false when missing.
    bool LoadFromResourceName(const std::string& name);
    bool Opaque(int x, int y) const;
    TColor Pixel(int x, int y) const;

    struct Impl;
    Impl& Data() const { return *FImpl; }

private:
    std::unique_ptr<Impl> FImpl;
};

// Draws an icon at (x, y) in its own size, its see-through pixels left as they are.
void DrawIcon(TCanvas& canvas, int x, int y, const TIcon& icon);

enum class TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum class TImageType { itImage, itMask };

class TImageList : public TComponent {
public:
    explicit TImageList(TComponent* owner);
    ~TImageList() override;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Changing the size clears the list.
    void SetWidth(int value);
    void SetHeight(int value);
    int Count() const { return static_cast<int>(FImages.size()); }

    // Adds the picture; one wider than Width is cut into Width-wide images, left to
    // right. Returns the index of the first image added, or -1 when nothing was.
    int Add(const TBitmap& image, const TBitmap* mask);
    int AddMasked(const TBitmap& image, TColor maskColor);
    int AddIcon(const TIcon& icon);
    void Replace(int index, const TBitmap& image, const TBitmap* mask);
    void Delete(int index);
    void Clear();
    // Makes image `imageIndex` overlay number `overlay` (0 to 3); false when either is
    // out of range.
    bool Overlay(int imageIndex, int overlay);
    // The image registered as an overlay number, or -1.
    int OverlayImage(int overlay) const;

    // The background see-through pixels are drawn in (clNone: left as they are).
    TColor BkColor() const { return FBkColor; }
    void SetBkColor(TColor value) { FBkColor = value; }
    // The colour focused and selected images are blended with (clNone: the highlight).
    TColor BlendColor() const { return FBlendColor; }
    void SetBlendColor(TColor value) { FBlendColor = value; }
    TDrawingStyle DrawingStyle() const { return FDrawingStyle; }
    void SetDrawingStyle(TDrawingStyle value) { FDrawingStyle = value; }
    TImageType ImageType() const { return FImageType; }
    void SetImageType(TImageType value) { FImageType = value; }

    // Draws an image with the list's style and type. A disabled image is drawn
    // embossed: its shape in the button highlight one pixel right and down, then in
    // the button shadow. Indexes out of range draw nothing.
    void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true) const;
    void Draw(TCanvas& canvas, int x, int y, int index, TDrawingStyle style, TImageType type,
              bool enabled = true) const;
    // Draws an image with an overlay image over it.
    void DrawOverlay(TCanvas& canvas, int x, int y, int index, int overlay, bool enabled = true) const;
    // Copies an image or its mask into a bitmap (sized to the list); false out of range.
    bool GetBitmap(int index, TBitmap& image) const;
    bool GetMask(int index, TBitmap& mask) const;

    TNotifyEvent OnChange;

private:
    struct Entry;
    void Changed();
    std::vector<std::unique_ptr<Entry>> FImages;
    int FWidth = 16, FHeight = 16;
    int FOverlays[4] = {-1, -1, -1, -1};
    TColor FBkColor = clNone;
    TColor FBlendColor = clNone;
    TDrawingStyle FDrawingStyle = TDrawingStyle::dsNormal;
    TImageType FImageType = TImageType::itImage;
};

} // namespace mv
