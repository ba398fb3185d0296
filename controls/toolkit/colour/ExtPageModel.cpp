#include "controls/toolkit/colour/ExtPageModel.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace mv {

bool TExtPageModel::SetActivePage(int page) {
    if (page == FActive) return false;
    if (page < -1 || page >= static_cast<int>(FPages.size())) return false;
    if (page >= 0 && !FPages[static_cast<size_t>(page)].Enabled) return false;
    if (page >= 0 && OnChanging && !OnChanging()) return false;
    FActive = page;
    if (page >= 0 && OnChange) OnChange();
    return true;
}

bool TExtPageModel::ActivateNextEnabledSheet(bool forward, bool wrap) {
    const int n = static_cast<int>(FPages.size());
    auto enabled = [&](int i) { return FPages[static_cast<size_t>(i)].Enabled; };
    int found = -1;
    if (forward) {
        for (int i = FActive + 1; i < n && found < 0; ++i)
            if (enabled(i)) found = i;
        if (found < 0 && wrap)
            for (int i = 0; i < FActive && found < 0; ++i)
                if (enabled(i)) found = i;
    } else {
        const int from = FActive < 0 ? n : FActive;
        for (int i = from - 1; i >= 0 && found < 0; --i)
            if (enabled(i)) found = i;
        if (found < 0 && wrap)
            for (int i = n - 1; i > FActive && found < 0; --i)
                if (enabled(i)) found = i;
    }
    return found >= 0 && SetActivePage(found);
}

int TExtPageModel::TabIndexOf(int page) const {
    if (page < 0 || page >= static_cast<int>(FPages.size()) || !FPages[static_cast<size_t>(page)].TabVisible) return -1;
    int tab = 0;
    for (int i = 0; i < page; ++i)
        if (FPages[static_cast<size_t>(i)].TabVisible) ++tab;
    return tab;
}

int TExtPageModel::TabCount() const {
    return static_cast<int>(std::count_if(FPages.begin(), FPages.end(), [](const TExtPage& p) { return p.TabVisible; }));
}

int TExtPageModel::TabIndexToPageIndex(int tabIndex) const {
    for (int i = std::max(tabIndex, 0); i < static_cast<int>(FPages.size()); ++i)
        if (TabIndexOf(i) == tabIndex) return i;
    char text[400];
    std::snprintf(text, sizeof text,
                  "Function GetPageIndexByTabIndex of component %s of class %s was called with an invalid parameter "
                  "(CurrentTabIndex = %d).",
                  Name.c_str(), "TExtPageControl", tabIndex);
    throw EExtPageInvalidCall(text);
}

int TExtPageModel::AcceleratorPage(char key) const {
    const int k = std::tolower(static_cast<unsigned char>(key));
    for (size_t i = 0; i < FPages.size(); ++i) {
        const std::string& c = FPages[i].Caption;
        for (size_t j = 0; j + 1 < c.size(); ++j) {
            if (c[j] != '&') continue;
            if (c[j + 1] == '&') {
                ++j;
                continue;
            }
            if (std::tolower(static_cast<unsigned char>(c[j + 1])) == k) return static_cast<int>(i);
            break;
        }
    }
    return -1;
}

void TExtPageModel::SetTabWidth(int value) {
    FTabWidth = value;
    (Vertical() ? FLayoutHeight : FLayoutWidth) = value;
}

void TExtPageModel::SetTabHeight(int value) {
    FTabHeight = value;
    (Vertical() ? FLayoutWidth : FLayoutHeight) = value;
}

void TExtPageModel::SetTabPosition(TExtTabPosition value) {
    if (value == FPosition) return;
    const bool wasVertical = IsVertical(FPosition), vertical = IsVertical(value);
    if (vertical && !wasVertical) {
        if (FTabHeight == 0) FTabHeight = 35;
        if (FTabWidth == 0) FTabWidth = 70;
        FLayoutWidth = FTabHeight;
        FLayoutHeight = FTabWidth;
    } else if (!vertical && wasVertical) {
        FLayoutWidth = FTabWidth;
        FLayoutHeight = FTabHeight;
    }
    FPosition = value;
    if (value != TExtTabPosition::tabPosTop && FStyle == TExtTabStyle::tabStButton) FStyle = TExtTabStyle::tabStDefault;
}

void TExtPageModel::SetTabStyle(TExtTabStyle value) {
    FStyle = value;
    if (value == TExtTabStyle::tabStButton) SetTabPosition(TExtTabPosition::tabPosTop);
}

std::string TExtPageModel::TabHint(int tabIndex) const {
    if (tabIndex < 0) return "";
    int page = -1;
    try {
        page = TabIndexToPageIndex(tabIndex);
    } catch (const EExtPageInvalidCall&) {
        return "";
    }
    return page < static_cast<int>(FHints.size()) ? FHints[static_cast<size_t>(page)] : "";
}

bool UseActiveTabFont(int activeW, int inactiveW) { return !(inactiveW > activeW); }

TRect AdjustDisplayRect(const TRect& display, TExtTabPosition position) {
    TRect r = display;
    switch (position) {
    case TExtTabPosition::tabPosLeft: r.Left += 2; break;
    case TExtTabPosition::tabPosRight: r.Right -= 2; break;
    case TExtTabPosition::tabPosTop: r.Top += 2; break;
    case TExtTabPosition::tabPosBottom: r.Bottom -= 2; break;
    }
    return {r.Left - 4, r.Top - 4, r.Right + 4, r.Bottom + 4};
}

TRect TabTextBox(const TRect& rect, TPoint offset, int textWidth, int textHeight, int alignment, TPoint& textPos) {
    const TRect R{rect.Left + 2, rect.Top + 2, rect.Right - 2, rect.Bottom - 2};
    TRect box{R.Left + offset.X, R.Top + offset.Y, R.Right, R.Bottom};
    const int h = std::min(textHeight, box.Height()), w = std::min(textWidth, box.Width());
    box.Top += std::max(0, (box.Height() - h) / 2);
    box.Bottom = box.Top + h;
    if (alignment == 2) {
        box.Left = R.Left + offset.X + (R.Width() - offset.X - w) / 2;
        box.Right = box.Left + w;
    }
    textPos = {box.Left - offset.X, box.Top - offset.Y};
    return box;
}

} // namespace mv
