#pragma once
// The fixed system colour and metric tables. Every machine draws with the same
// classic colours and sizes (at 96 dots per inch), so that what the controls derive
// from them is the same everywhere; only the screen sizes come from the screen.
#include "platform/ui/Graphics.h"

namespace mv {

// The colour of a system colour number (0 scroll bar ... 24 hint background); grey for
// an unknown number.
TColor GetSysColor(int index);

constexpr int SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4,
              SM_CXBORDER = 5, SM_CYBORDER = 6, SM_CXDLGFRAME = 7, SM_CYDLGFRAME = 8, SM_CYVTHUMB = 9,
              SM_CXHTHUMB = 10, SM_CXICON = 11, SM_CYICON = 12, SM_CXCURSOR = 13, SM_CYCURSOR = 14,
              SM_CYMENU = 15, SM_CXFULLSCREEN = 16, SM_CYFULLSCREEN = 17, SM_CYVSCROLL = 20,
              SM_CXHSCROLL = 21, SM_CXMIN = 28, SM_CYMIN = 29, SM_CXSIZE = 30, SM_CYSIZE = 31,
              SM_CXFRAME = 32, SM_CYFRAME = 33, SM_CXMINTRACK = 34, SM_CYMINTRACK = 35, SM_CXDOUBLECLK = 36,
              SM_CYDOUBLECLK = 37, SM_CXEDGE = 45, SM_CYEDGE = 46, SM_CXSMICON = 49, SM_CYSMICON = 50,
              SM_CYSMCAPTION = 51, SM_CXSMSIZE = 52, SM_CYSMSIZE = 53, SM_CXMENUSIZE = 54, SM_CYMENUSIZE = 55,
              SM_CXDRAG = 68, SM_CYDRAG = 69, SM_CXMENUCHECK = 71, SM_CYMENUCHECK = 72, SM_CMONITORS = 80;

// The value of a system metric; 0 for an unknown number.
int GetSystemMetrics(int index);

} // namespace mv
