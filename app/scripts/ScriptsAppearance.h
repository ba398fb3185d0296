#pragma once
// How the script manager looks: whether its toolbar buttons show captions, where its
// script tabs stand and how large they are, and the shape of its toolbar while it
// floats. The settings live in morvelan.ini; section and key names compare without
// regard to case, so "tbAcoes" and "tbacoes" are one section.
#include <string>

namespace mv {

namespace platform {
class IniFile;
}

constexpr const char* ScriptFormSection = "Form Script";
constexpr const char* ScriptToolbarSection = "tbAcoes";

// Tab positions as stored: 0 top, 1 bottom, 2 left, 3 right.
constexpr int tpTop = 0, tpBottom = 1, tpLeft = 2, tpRight = 3;
// Floating shapes of the toolbar: the items of the floating group.
constexpr int fsHorizontal = 0, fsVertical = 1, fsTwoColumns = 2, fsThreeColumns = 3;
// Toolbar positions of the position group: the four docks, then floating.
constexpr int ppFloating = 4;

struct TScriptsAppearance {
    bool IconsOnly = false;
    int TabPosition = tpLeft;
    int TabHeight = 30;
    int TabWidth = 90;
    bool OppositeSide = false;
};

// The five keys; missing ones read their defaults (tabs on the left, 30 x 90, captions).
TScriptsAppearance ReadScriptsAppearance(const platform::IniFile& ini);
void WriteScriptsAppearance(platform::IniFile& ini, const TScriptsAppearance& appearance);

// Tab sizes the dialog accepts.
constexpr int MinTabHeight = 18, MaxTabHeight = 200, MinTabWidth = 30, MaxTabWidth = 200;

// The "FloatRightX" value of a floating shape: horizontal 0; vertical 37 or 108, two
// columns 66 or 208, three columns 95 or 308 with icons only or with captions.
int FloatRightXOfShape(int shape, bool iconsOnly);
// The shape a floating toolbar of that width has (the dialog's selection when it
// opens): a width that matches no shape is horizontal.
int ShapeOfFloatingWidth(int width, bool iconsOnly);
// The shape stored with a FloatRightX value (horizontal for any other value).
int ShapeOfFloatRightX(int floatRightX, bool iconsOnly);

// Toolbar buttons: with captions margin 5 and width 86; icons only margin -1, width 29.
constexpr int CaptionButtonWidth = 86, CaptionButtonMargin = 5, IconButtonWidth = 29, IconButtonMargin = -1;

} // namespace mv
