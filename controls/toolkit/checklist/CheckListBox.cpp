#include "controls/toolkit/checklist/CheckListBox.h"

#include "controls/toolkit/checklist/BitmapDrawing.h"
#include "controls/toolkit/files/SmallUtils.h"
#include "platform/ui/Drawing.h"

#include <algorithm>
#include <cmath>

namespace mv {

namespace {

constexpr TColor CheckImagesKey = clFuchsia;

// Draws one cell of the check images.
void DrawCheckCell(TCanvas& canvas, int cellX, int cellY, TCheckKind kind, TCheckBoxState state,
                   bool enabled) {
    const TRect cell = Bounds(cellX, cellY, CheckCellWidth, CheckCellHeight);
    TRect box = Bounds(cellX + (CheckCellWidth - 13) / 2, cellY, 13, 13);
    const bool checked = state != TCheckBoxState::cbUnchecked;
    const bool grayed = state == TCheckBoxState::cbGrayed;
    switch (kind) {
    case TCheckKind::ckCheckBoxes:
        DrawFrameControl(canvas, box, DFC_BUTTON,
                         (grayed ? DFCS_BUTTON3STATE : DFCS_BUTTONCHECK) | (checked ? DFCS_CHECKED : 0) |
                             (enabled ? 0 : DFCS_INACTIVE));
        break;
    case TCheckKind::ckRadioButtons:
        // A grayed radio item shows its dot in the shadow colour on the face.
        DrawFrameControl(canvas, box, DFC_BUTTON,
                         DFCS_BUTTONRADIO | (checked ? DFCS_CHECKED : 0) |
                             (enabled && !grayed ? 0 : DFCS_INACTIVE));
        break;
    case TCheckKind::ckCheckMarks: {
        if (!checked) break;
        const TColor keep = canvas.Font().Color();
        TRect mark = cell;
        // The mark alone: enabled black, grayed in the shadow colour, disabled grey.
        TBitmap glyph;
        glyph.SetSize(CheckCellWidth, CheckCellHeight);
        glyph.Canvas().SetBrushColor(CheckImagesKey);
        glyph.Canvas().FillRect(Rect(0, 0, CheckCellWidth, CheckCellHeight));
        TRect glyphRect = Rect(0, 0, CheckCellWidth, CheckCellHeight);
        DrawFrameControl(glyph.Canvas(), glyphRect, DFC_MENU, DFCS_MENUCHECK);
        const TColor color = !enabled ? (grayed ? clSilver : clGrayText) : grayed ? clBtnShadow : clBlack;
        for (int y = 0; y < CheckCellHeight; ++y)
            for (int x = 0; x < CheckCellWidth; ++x)
                if (glyph.Pixel(x, y) == clBlack)
                    canvas.SetPixel(mark.Left + x, mark.Top + y, ColorToRGB(color));
        canvas.Font().SetColor(keep);
        break;
    }
    }
}

} // namespace

const TBitmap& CheckImages() {
    static const std::unique_ptr<TBitmap> images = [] {
        auto b = std::make_unique<TBitmap>();
        b->SetSize(CheckCellWidth * CheckImageColumns, CheckCellHeight * CheckImageRows);
        TCanvas& canvas = b->Canvas();
        canvas.SetBrushColor(CheckImagesKey);
        canvas.FillRect(Rect(0, 0, b->Width(), b->Height()));
        for (int kind = 0; kind < 3; ++kind)
            for (int column = 0; column < 6; ++column)
                DrawCheckCell(canvas, column * CheckCellWidth, kind * CheckCellHeight,
                              static_cast<TCheckKind>(kind), static_cast<TCheckBoxState>(column % 3),
                              column < 3);
        b->SetTransparent(true);
        return b;
    }();
    return *images;
}

TMvCheckListBox::TMvCheckListBox(TComponent* owner) : TCustomControl(owner) {
    SetBounds(Left(), Top(), 121, 97);
    SetColor(clWindow);
    FModel.OnInvalidate = [this](int) {
        UpdateScroll();
        Invalidate();
    };
    FModel.OnStateChange = [this](int index) { DoStateChange(index); };
    FModel.OnClickCheck = [this] { DoClickCheck(); };
    FIniLink.OnSave = [this] {
        if (!Name().empty() && FIniLink.Storage()) FModel.SaveStates(*FIniLink.Storage(), StatesSection());
    };
    FIniLink.OnLoad = [this] {
        if (!Name().empty() && FIniLink.Storage()) FModel.LoadStates(*FIniLink.Storage(), StatesSection());
    };
}

TMvCheckListBox::~TMvCheckListBox() {
    FModel.OnInvalidate = nullptr;
    FModel.OnStateChange = nullptr;
    FModel.OnClickCheck = nullptr;
}

std::string TMvCheckListBox::StatesSection() const {
    return FIniLink.RootSection() + DefaultSectionOf(this);
}

void TMvCheckListBox::DoClickCheck() {
    if (OnClickCheck) OnClickCheck(this);
}

void TMvCheckListBox::DoStateChange(int index) {
    if (OnStateChange) OnStateChange(this, index);
}

int TMvCheckListBox::ItemHeight() const {
    TCanvas measure;
    measure.Font().Assign(Font());
    int h = MaxOfTwo(measure.TextHeight("Wg"), CheckCellHeight);
    if (FStyle == TListBoxStyle::lbOwnerDrawFixed) h = MaxOfTwo(h, FItemHeight);
    return h;
}

void TMvCheckListBox::SetItemHeight(int value) {
    if (value <= 0) return;
    FItemHeight = value;
    UpdateScroll();
    Invalidate();
}

void TMvCheckListBox::SetStyle(TListBoxStyle value) {
    FStyle = value;
    UpdateScroll();
    Invalidate();
}

void TMvCheckListBox::SetGraySelection(bool value) {
    FGraySelection = value;
    Invalidate();
}

void TMvCheckListBox::SetTabWidth(int value) {
    FTabWidth = MaxOfTwo(value, 0);
    Invalidate();
}

void TMvCheckListBox::SetItemIndex(int value) {
    FModel.SetItemIndex(value);
    MakeVisible(FModel.ItemIndex());
}

void TMvCheckListBox::SetTopIndex(int value) {
    const int visible = MaxOfTwo(1, ClientHeight() / ItemHeight());
    FTopIndex = std::clamp(value, 0, MaxOfTwo(0, FModel.Count() - visible));
    UpdateScroll();
    Invalidate();
}

int TMvCheckListBox::ItemAtPos(const TPoint& point, bool existing) const {
    const int index = FTopIndex + point.Y / ItemHeight();
    if (point.Y < 0 || index < 0) return -1;
    if (index >= FModel.Count()) return existing ? -1 : FModel.Count();
    return index;
}

TRect TMvCheckListBox::ItemRect(int index) const {
    const int h = ItemHeight();
    return Bounds(0, (index - FTopIndex) * h, PaintWidth(), h);
}

void TMvCheckListBox::UpdateScroll() {
    const int h = ItemHeight();
    const int visible = MaxOfTwo(1, Height() / h);
    // When every item fits, the scroll bar goes away.
    const int max = FModel.Count() > visible ? FModel.Count() - visible : 0;
    FTopIndex = std::clamp(FTopIndex, 0, max);
    SetVertScroll(max, visible, FTopIndex);
}

void TMvCheckListBox::MakeVisible(int index) {
    if (index < 0) return;
    const int visible = MaxOfTwo(1, Height() / ItemHeight());
    if (index < FTopIndex)
        SetTopIndex(index);
    else if (index >= FTopIndex + visible)
        SetTopIndex(index - visible + 1);
}

void TMvCheckListBox::Scrolled(int position) {
    FTopIndex = position;
    Invalidate();
}

void TMvCheckListBox::Resized() {
    TCustomControl::Resized();
    UpdateScroll();
}

void TMvCheckListBox::FontChanged() {
    UpdateScroll();
    Invalidate();
}

void TMvCheckListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomControl::MouseDown(button, shift, x, y);
    SetFocus();
    if (button != TMouseButton::mbLeft) return;
    const int index = ItemAtPos(Point(x, y), true);
    if (index < 0) return;
    FModel.MouseDown(index, x - ItemRect(index).Left);
}

void TMvCheckListBox::KeyDown(uint16_t& key, TShiftState shift) {
    TCustomControl::KeyDown(key, shift);
    const int count = FModel.Count();
    if (count == 0) return;
    const int visible = MaxOfTwo(1, Height() / ItemHeight());
    int index = FModel.ItemIndex();
    switch (key) {
    case 0x26: // up
        index = MaxOfTwo(0, index - 1);
        break;
    case 0x28: // down
        index = MinOfTwo(count - 1, index + 1);
        break;
    case 0x24: // home
        index = 0;
        break;
    case 0x23: // end
        index = count - 1;
        break;
    case 0x21: // page up
        index = MaxOfTwo(0, index - visible);
        break;
    case 0x22: // page down
        index = MinOfTwo(count - 1, index + visible);
        break;
    default:
        return;
    }
    SetItemIndex(index);
    key = 0;
}

void TMvCheckListBox::KeyPress(char& key) {
    TCustomControl::KeyPress(key);
    if (FModel.KeyPress(key)) key = 0;
}

void TMvCheckListBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state) {
    TCanvas& canvas = Canvas();
    if (FStyle == TListBoxStyle::lbOwnerDrawFixed && OnDrawItem) {
        OnDrawItem(this, index, rect, state);
        return;
    }
    canvas.FillRect(rect);
    canvas.SetBrushStyle(TBrushStyle::bsClear);
    const int textHeight = canvas.TextHeight("Wy");
    TRect textRect = Rect(rect.Left + 2, MaxOfTwo(rect.Top, rect.Top + (rect.Height() - textHeight) / 2),
                          rect.Right, rect.Bottom);
    uint32_t format = DT_SINGLELINE | DT_NOPREFIX;
    if (FTabWidth > 0) {
        const int stop = static_cast<int>(std::lround(FTabWidth * canvas.TextWidth("0") / 4.0));
        // DrawText counts tab stops in average characters.
        const int average = MaxOfTwo(1, canvas.TextWidth("x"));
        format |=
            DT_EXPANDTABS | DT_TABSTOP | (static_cast<uint32_t>(MaxOfTwo(1, stop / average) & 0xFF) << 8);
    }
    DrawText(canvas, FModel.Strings(index), textRect, format);
    canvas.SetBrushStyle(TBrushStyle::bsSolid);
}

void TMvCheckListBox::Paint() {
    TCanvas& canvas = Canvas();
    canvas.Font().Assign(Font());
    canvas.SetBrushStyle(TBrushStyle::bsSolid);
    canvas.SetBrushColor(Color());
    canvas.FillRect(Rect(0, 0, PaintWidth(), Height()));
    const int h = ItemHeight();
    const bool focused = Focused();
    for (int index = FTopIndex; index < FModel.Count(); ++index) {
        const TRect item = ItemRect(index);
        if (item.Top >= Height()) break;
        const bool enabled = FModel.ItemEnabled(index);
        // The check area: the item's cell, centred, on the control's colour.
        const TRect area = Rect(item.Left, item.Top, item.Left + CheckWidth, item.Bottom);
        canvas.SetBrushColor(Color());
        canvas.FillRect(area);
        const TBitmap& images = CheckImages();
        CopyBitmapCell(&images, &FCell, CheckImageColumns, CheckImageRows,
                       CheckCellIndex(FModel.CheckKind(), FModel.GetItemState(index), enabled));
        const int cx = area.Left + (CheckWidth - FCell.Width()) / 2, cy = area.Top + (h - FCell.Height()) / 2;
        canvas.BrushCopy(Bounds(cx, cy, FCell.Width(), FCell.Height()), FCell,
                         Rect(0, 0, FCell.Width(), FCell.Height()), images.TransparentColor());
        // The text part.
        const TRect text = Rect(item.Left + CheckWidth, item.Top, item.Right, item.Bottom);
        const bool selected = index == FModel.ItemIndex();
        TOwnerDrawState state = 0;
        TColor back = Color(), fore = Font().Color();
        if (selected) {
            state |= odSelected;
            if (FGraySelection && !focused) {
                back = clBtnFace;
                if (fore == clBtnFace) fore = clBtnText;
            } else {
                back = clHighlight;
                fore = clHighlightText;
            }
        }
        if (!enabled) {
            state |= odDisabled;
            fore = selected ? clInactiveCaptionText : clGrayText;
        }
        if (selected && focused) state |= odFocused;
        canvas.SetBrushColor(back);
        canvas.Font().SetColor(fore);
        DrawItem(index, text, state);
        canvas.Font().SetColor(Font().Color());
        if (state & odFocused) canvas.DrawFocusRect(text);
    }
}

} // namespace mv
