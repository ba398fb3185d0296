#pragma once
// The drawing calls controls paint their faces with: formatted text, 3-D edges and the
// looks of the standard frame controls (check boxes, radio buttons, caption buttons,
// menu marks, scroll arrows), all on a TCanvas with the fixed system colours.
#include "platform/ui/Graphics.h"

#include <cstdint>
#include <string>

namespace mv {

// DrawText formats.
constexpr uint32_t DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4,
                   DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40,
                   DT_TABSTOP = 0x80, DT_NOCLIP = 0x100, DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400,
                   DT_NOPREFIX = 0x800, DT_PATH_ELLIPSIS = 0x4000, DT_END_ELLIPSIS = 0x8000,
                   DT_MODIFYSTRING = 0x10000, DT_WORD_ELLIPSIS = 0x40000, DT_HIDEPREFIX = 0x100000;

// Draws text in rect with the canvas's font and font colour (on the brush colour when
// the brush is solid) and returns the height of the text; with DT_VCENTER or DT_BOTTOM
// the offset from rect's top to the bottom of the text.
// - Lines break at line feeds, or not at all with DT_SINGLELINE; with DT_WORDBREAK also
//   between words where a line would pass the right edge.
// - "&" marks the next character, which is underlined ("&&" draws one "&"), unless
//   DT_NOPREFIX; DT_HIDEPREFIX drops the marks without underlining.
// - DT_EXPANDTABS: tab stops every 8 average character widths (with DT_TABSTOP, the
//   high byte of the format gives the characters per stop).
// - DT_END_ELLIPSIS, DT_WORD_ELLIPSIS cut a line that does not fit and end it with
//   "..."; DT_PATH_ELLIPSIS takes characters from before the last path separator.
// - DT_CALCRECT draws nothing and sets rect's right and bottom to the text's extent
//   (the width stays when a line is cut with an ellipsis).
// - The text is clipped to rect unless DT_NOCLIP.
// `shown`, when given, receives the text as drawn: lines joined with line feeds, marks
// resolved, ellipses in place.
int DrawText(TCanvas& canvas, const std::string& text, TRect& rect, uint32_t format,
             std::string* shown = nullptr);

// DrawEdge edges and flags.
constexpr uint32_t BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4, BDR_SUNKENINNER = 0x8,
                   BDR_OUTER = 0x3, BDR_INNER = 0xC, EDGE_RAISED = 0x5, EDGE_SUNKEN = 0xA, EDGE_ETCHED = 0x6,
                   EDGE_BUMP = 0x9;
constexpr uint32_t BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8, BF_TOPLEFT = 0x3,
                   BF_BOTTOMRIGHT = 0xC, BF_RECT = 0xF, BF_MIDDLE = 0x800, BF_SOFT = 0x1000,
                   BF_ADJUST = 0x2000, BF_FLAT = 0x4000, BF_MONO = 0x8000;

// Draws one- or two-ring 3-D edges on the sides named by flags: the outer ring raised
// (3-D light over dark shadow) or sunken (shadow over highlight), the inner ring raised
// (highlight over shadow) or sunken (dark shadow over 3-D light). BF_MIDDLE fills the
// inside with the button face; BF_ADJUST moves rect inside the rings drawn; BF_FLAT
// and BF_MONO draw the rings in one colour. False for an empty edge.
bool DrawEdge(TCanvas& canvas, TRect& rect, uint32_t edge, uint32_t flags);

// DrawFrameControl kinds and states.
constexpr uint32_t DFC_CAPTION = 1, DFC_MENU = 2, DFC_SCROLL = 3, DFC_BUTTON = 4;
constexpr uint32_t DFCS_BUTTONCHECK = 0x0, DFCS_BUTTONRADIO = 0x4, DFCS_BUTTON3STATE = 0x8,
                   DFCS_BUTTONPUSH = 0x10, DFCS_CAPTIONCLOSE = 0x0, DFCS_CAPTIONMIN = 0x1,
                   DFCS_CAPTIONMAX = 0x2, DFCS_CAPTIONRESTORE = 0x3, DFCS_CAPTIONHELP = 0x4,
                   DFCS_MENUARROW = 0x0, DFCS_MENUCHECK = 0x1, DFCS_MENUBULLET = 0x2, DFCS_SCROLLUP = 0x0,
                   DFCS_SCROLLDOWN = 0x1, DFCS_SCROLLLEFT = 0x2, DFCS_SCROLLRIGHT = 0x3,
                   DFCS_SCROLLCOMBOBOX = 0x5, DFCS_SCROLLSIZEGRIP = 0x8, DFCS_INACTIVE = 0x100,
                   DFCS_PUSHED = 0x200, DFCS_CHECKED = 0x400, DFCS_TRANSPARENT = 0x800, DFCS_HOT = 0x1000,
                   DFCS_ADJUSTRECT = 0x2000, DFCS_FLAT = 0x4000, DFCS_MONO = 0x8000;

// Draws a frame control filling rect (check boxes and radio buttons a 13-pixel square
// centred in it). A check box that is checked and 3-state draws its mark in the shadow
// colour on a button-face inside; an inactive one draws it in the grey text colour.
// False for an unknown kind.
bool DrawFrameControl(TCanvas& canvas, TRect& rect, uint32_t type, uint32_t state);

} // namespace mv
