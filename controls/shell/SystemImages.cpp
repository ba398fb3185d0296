#include "controls/shell/SystemImages.h"

#include "platform/desktop/ShellNamespace.h"
#include "platform/ui/ImageList.h"

#include <memory>

namespace mv {

namespace {

std::unique_ptr<TImageList> lists[2]; // small, large; made on first use

// Adds the icons handed out since the list was last brought up to date.
void CatchUp(TImageList& list, int size) {
    while (list.Count() < desktop::IconCount()) {
        desktop::TIconPixels px = desktop::IconPixels(list.Count(), size);
        TBitmap image, mask;
        image.SetSize(size, size);
        mask.SetSize(size, size);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                uint32_t argb = px.Argb.empty() ? 0 : px.Argb[static_cast<size_t>(y) * px.Width + x];
                bool opaque = (argb >> 24) >= 0x80;
                // Colours are 0x00BBGGRR.
                image.SetPixel(x, y, opaque ? static_cast<TColor>(((argb & 0xFF) << 16) | (argb & 0xFF00) |
                                                                  ((argb >> 16) & 0xFF))
                                            : clWhite);
                mask.SetPixel(x, y, opaque ? clBlack : clWhite);
            }
        list.Add(image, &mask);
    }
}

int SizeOf(int which) {
    return which == 0 ? 16 : 32;
}

} // namespace

TImageList* GetSystemImageList(int sizeIndex) {
    const int which = sizeIndex == 0 ? 0 : 1;
    const int size = SizeOf(which);
    auto& list = lists[which];
    if (!list) {
        list = std::make_unique<TImageList>(nullptr);
        list->SetWidth(size);
        list->SetHeight(size);
    }
    CatchUp(*list, size);
    for (int overlay : {1, 2})
        if (list->OverlayImage(overlay) < 0) list->Overlay(desktop::OverlayIconIndex(overlay), overlay);
    return list.get();
}

void CatchUpSystemImageLists() {
    for (int which : {0, 1})
        if (lists[which]) CatchUp(*lists[which], SizeOf(which));
}

} // namespace mv
