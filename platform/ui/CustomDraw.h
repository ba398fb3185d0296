#pragma once
// Custom drawing of item views (tree view, list view): the view asks its control once
// per paint and, when the answer says so, once per item before drawing it. The control
// may change the font and colours the item is drawn with, or draw it itself.
#include "platform/ui/Graphics.h"

#include <cstdint>

namespace mv {

// Draw stages.
constexpr uint32_t CDDS_PREPAINT = 0x1, CDDS_POSTPAINT = 0x2, CDDS_ITEM = 0x10000,
                   CDDS_ITEMPREPAINT = CDDS_ITEM | CDDS_PREPAINT, CDDS_ITEMPOSTPAINT = CDDS_ITEM | CDDS_POSTPAINT;
// Answers.
constexpr uint32_t CDRF_DODEFAULT = 0x0, CDRF_NEWFONT = 0x2, CDRF_SKIPDEFAULT = 0x4, CDRF_NOTIFYPOSTPAINT = 0x10,
                   CDRF_NOTIFYITEMDRAW = 0x20;
// Item states.
constexpr uint32_t CDIS_SELECTED = 0x1, CDIS_GRAYED = 0x2, CDIS_DISABLED = 0x4, CDIS_FOCUS = 0x10;

struct TCustomDrawInfo {
    uint32_t DrawStage = CDDS_PREPAINT;
    TCanvas* Canvas = nullptr; // drawing on the view while it paints
    TRect Rect;                // the item's row (item stages) or the client area
    intptr_t ItemSpec = 0;     // the node (tree) or the row (list) at item stages
    uint32_t ItemState = 0;
    // The font the item is drawn with (the view's font until a control selects
    // another) and the text colours; the control may change all three.
    TFont CurrentFont;
    TColor TextColor = clWindowText;
    TColor TextBkColor = clWindow;
};

} // namespace mv
