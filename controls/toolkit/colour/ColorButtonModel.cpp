#include "controls/toolkit/colour/ColorButtonModel.h"

#include "controls/toolkit/colour/ColorMan.h"

#include <algorithm>

namespace mv {

TFaceColors FaceColors(TColor c, bool pressed) {
    if (pressed) return {Darken(c, 48), Brighten(c, 48), Brighten(c, 64), Darken(c, 96)};
    return {Brighten(c, 60), Darken(c, 48), Darken(c, 100), Brighten(c, 12)};
}

int StyleBorder(TClrButtonStyle style) {
    switch (style) {
    case TClrButtonStyle::bsWin31: return 3;
    case TClrButtonStyle::bsIE4: return 1;
    case TClrButtonStyle::bsGlass: return 3;
    case TClrButtonStyle::bsFlat: return 1;
    case TClrButtonStyle::bsMicroposeGame: return 3;
    default: return 2;
    }
}

TRect ContentRect(TClrButtonStyle style, const TRect& client, bool pressed) {
    TRect edges = client;
    if (style == TClrButtonStyle::bsMicroposeGame) edges = {client.Left + 1, client.Top + 1, client.Right - 2, client.Bottom - 2};
    const int b = StyleBorder(style) + (pressed ? 1 : 0);
    return {edges.Left + b, edges.Top + b, edges.Right - b, edges.Bottom - b};
}

int NormalizeNumGlyphs(int value, int current) {
    if (value <= 0) return current;
    return std::min(value, 4);
}

int NumGlyphsForStrip(int width, int height, int current) {
    if (width <= 0 || height <= 0 || width % height != 0) return current;
    const int n = width / height;
    return n <= 4 ? n : 1;
}

TButtonLayoutResult CalcButtonLayout(const TRect& content, int glyphWidth, int glyphHeight, int textWidth,
                                     int textHeight, TButtonLayout layout, int margin, int spacing) {
    const bool horizontal = layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphRight;
    const int along = horizontal ? content.Width() : content.Height();
    const int across = horizontal ? content.Height() : content.Width();
    const int glyphAlong = horizontal ? glyphWidth : glyphHeight, glyphAcross = horizontal ? glyphHeight : glyphWidth;
    const int textAlong = horizontal ? textWidth : textHeight, textAcross = horizontal ? textHeight : textWidth;
    if (glyphAlong == 0 || textAlong == 0) spacing = 0;
    if (margin == -1 && spacing == -1) {
        margin = spacing = (along - (glyphAlong + textAlong)) / 3;
    } else if (margin == -1) {
        margin = (along - (glyphAlong + spacing + textAlong) + 1) / 2;
    } else if (spacing == -1) {
        spacing = (along - (margin + glyphAlong + textAlong)) / 2;
    }
    const int glyphOff = (across - glyphAcross + 1) / 2, textOff = (across - textAcross + 1) / 2;
    int glyphPos, textPos;
    if (layout == TButtonLayout::blGlyphLeft || layout == TButtonLayout::blGlyphTop) {
        glyphPos = margin;
        textPos = margin + glyphAlong + spacing;
    } else {
        glyphPos = along - margin - glyphAlong;
        textPos = glyphPos - spacing - textAlong;
    }
    TButtonLayoutResult r;
    r.Margin = margin;
    r.Spacing = spacing;
    if (horizontal) {
        r.GlyphPos = {content.Left + glyphPos, content.Top + glyphOff};
        r.TextRect = Bounds(content.Left + textPos, content.Top + textOff, textWidth, textHeight);
    } else {
        r.GlyphPos = {content.Left + glyphOff, content.Top + glyphPos};
        r.TextRect = Bounds(content.Left + textOff, content.Top + textPos, textWidth, textHeight);
    }
    return r;
}

void TColorButtonModel::SetState(TClrButtonState value, bool repaint) {
    FState = value;
    if (repaint) Fire(OnRepaint);
}

void TColorButtonModel::TellGroup() {
    if (FGroupIndex != 0) Fire(OnTellGroup);
}

void TColorButtonModel::SetDown(bool value) {
    if (FGroupIndex == 0) value = false;
    if (value == FDown) return;
    if (FDown && !FAllowAllUp) return;
    FDown = value;
    SetState(value ? TClrButtonState::bsExclusive : TClrButtonState::bsUp);
    if (value) TellGroup();
}

void TColorButtonModel::SetGroupIndex(int value) {
    if (value == FGroupIndex) return;
    FGroupIndex = value;
    if (FGroupIndex == 0 && FDown) {
        FDown = false;
        SetState(TClrButtonState::bsUp);
    }
    TellGroup();
}

void TColorButtonModel::SetAllowAllUp(bool value) {
    if (value == FAllowAllUp) return;
    FAllowAllUp = value;
    TellGroup();
}

void TColorButtonModel::SetEnabled(bool value) {
    FEnabled = value;
    if (!value) FDragging = false;
    SetState(value ? (FDown ? TClrButtonState::bsExclusive : TClrButtonState::bsUp) : TClrButtonState::bsDisabled);
}

void TColorButtonModel::SyncEnabled(bool enabled) {
    FEnabled = enabled;
    if (!enabled) {
        FState = TClrButtonState::bsDisabled;
        FDragging = false;
    } else if (FState == TClrButtonState::bsDisabled) {
        FState = FDown ? TClrButtonState::bsExclusive : TClrButtonState::bsUp;
    }
}

void TColorButtonModel::GroupPressed(int groupIndex, const TColorButtonModel& sender) {
    if (&sender == this || groupIndex != FGroupIndex || FGroupIndex == 0) return;
    if (sender.FDown && FDown) {
        FDown = false;
        SetState(TClrButtonState::bsUp);
    }
    FAllowAllUp = sender.FAllowAllUp;
}

void TColorButtonModel::MouseDown(TMouseButton button) {
    if (button == TMouseButton::mbLeft && FEnabled) {
        if (!FDown) SetState(TClrButtonState::bsDown);
        FDragging = true;
    }
    if ((FOptions & boRepeatable) && OnStartRepeat) OnStartRepeat(500);
}

void TColorButtonModel::RepeatTick(bool holdsCapture) {
    if (OnStartRepeat) OnStartRepeat(100);
    if (FState == TClrButtonState::bsDown && holdsCapture) {
        try {
            Fire(OnClick);
        } catch (...) {
            Fire(OnStopRepeat);
            throw;
        }
    }
}

static bool Inside(int x, int y, int width, int height) {
    return x >= 0 && x < width && y >= 0 && y <= height;
}

void TColorButtonModel::MouseMove(int x, int y, int width, int height) {
    if (!FDragging) return;
    TClrButtonState s = FDown ? TClrButtonState::bsExclusive : TClrButtonState::bsUp;
    if (Inside(x, y, width, height)) s = FDown ? TClrButtonState::bsExclusive : TClrButtonState::bsDown;
    if (s != FState) SetState(s);
}

void TColorButtonModel::MouseUp(TMouseButton /*button*/, int x, int y, int width, int height) {
    if (FDragging) {
        FDragging = false;
        FState = TClrButtonState::bsUp;
        const bool inside = Inside(x, y, width, height);
        if (FGroupIndex == 0) {
            Fire(OnRepaint);
        } else if (inside) {
            SetDown(!FDown);
            // A down button that may not go up stays shown down.
            if (FDown) SetState(TClrButtonState::bsExclusive);
        } else {
            SetState(FDown ? TClrButtonState::bsExclusive : TClrButtonState::bsUp);
        }
        if (inside) Fire(OnClick);
    }
    Fire(OnStopRepeat);
}

void TColorButtonModel::MouseEnter() {
    if (!FMouseIn && (FOptions & boShowMouseFocus) && FEnabled) {
        FMouseIn = true;
        Fire(OnMouseOverSound);
        Fire(OnRepaint);
    }
}

void TColorButtonModel::MouseLeave() {
    if (FMouseIn) {
        FMouseIn = false;
        Fire(OnRepaint);
    }
}

} // namespace mv
