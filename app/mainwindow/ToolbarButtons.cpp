#include "app/mainwindow/ToolbarButtons.h"

#include "controls/toolkit/docking/ToolDock.h"
#include "controls/toolkit/files/SmallUtils.h"
#include "platform/ui/Buttons.h"
#include "platform/ui/Form.h"
#include "platform/ui/Graphics.h"

#include <algorithm>

namespace mv {

namespace {
// Room left and right of a caption, in pixels.
constexpr int CaptionMargin = 12;
} // namespace

TSpeedButton* AddToolbarButton(TForm& window, TDockToolbar* bar, const char* name, const std::string& caption,
                               const std::string& hint, int minWidth) {
    auto* b = new TSpeedButton(&window); // owned by the window
    b->SetName(name);
    b->SetCaption(caption);
    b->SetHint(StripChar(hint, '&'));
    b->SetShowHint(true);
    b->SetFlat(true);
    TCanvas canvas;
    canvas.Font().Assign(b->Font());
    b->SetBounds(0, 0, std::max(minWidth, canvas.TextWidth(caption) + CaptionMargin), 30);
    bar->InsertControl(b);
    return b;
}

} // namespace mv
