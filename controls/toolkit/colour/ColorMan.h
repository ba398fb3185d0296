#pragma once
// Colour arithmetic for faces painted from one base colour: channels, grey, light or
// dark, brighter or darker. Colours are 0x00BBGGRR values.
#include "platform/ui/Graphics.h"

namespace mv {

// The three channels of a colour (not resolved: a system colour's index bytes).
void SplitRGB(TColor color, int& r, int& g, int& b);
// Rounded to the nearest integer, ties to even, then limited to 0..255.
int ClampChannel(double value);
// The grey of a colour: g = round((20 R + 50 G + 30 B) / 100), ties to even, as
// RGB(g, g, g). The colour is not resolved first.
TColor GreyOf(TColor color);
// True when the colour's grey is 128 or more.
bool IsLightColor(TColor color);
// The colour (system colours resolved) with n added to each channel, limited to
// 0..255; Darken subtracts.
TColor Brighten(TColor color, int n);
TColor Darken(TColor color, int n);

} // namespace mv
