#pragma once
// The extended page control's rules without a display: pages with hidden tabs and
// disabled pages, the tab-to-page index, the next enabled sheet, the tab position,
// style and size rules, the tab font choice and the tab text geometry.
#include "platform/ui/Graphics.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace mv {

enum class TExtTabPosition { tabPosLeft, tabPosRight, tabPosTop, tabPosBottom };
enum class TExtTabStyle { tabStDefault, tabStButton };

class EExtPageInvalidCall : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TExtPage {
    std::string Caption;
    bool Enabled = true;
    bool TabVisible = true;
};

class TExtPageModel {
public:
    std::vector<TExtPage>& Pages() { return FPages; }
    const std::vector<TExtPage>& Pages() const { return FPages; }
    int ActivePage() const { return FActive; }
    // Refuses the active page and a disabled one; asks OnChanging (false refuses),
    // switches and fires OnChange. -1 just switches.
    bool SetActivePage(int page);
    // The next enabled page after (or before) the active one, wrapping when asked;
    // tab visibility is not considered. False when none was found or it was refused.
    bool ActivateNextEnabledSheet(bool forward, bool wrap);
    // The tab index of a page (-1 when its tab is hidden).
    int TabIndexOf(int page) const;
    int TabCount() const;
    // The first page from position tabIndex onward whose tab index is tabIndex.
    int TabIndexToPageIndex(int tabIndex) const;
    // The page whose caption has this accelerator ("&x"), -1 when none.
    int AcceleratorPage(char key) const;

    TExtTabPosition TabPosition() const { return FPosition; }
    void SetTabPosition(TExtTabPosition value);
    TExtTabStyle TabStyle() const { return FStyle; }
    void SetTabStyle(TExtTabStyle value);
    int TabWidth() const { return FTabWidth; }
    void SetTabWidth(int value);
    int TabHeight() const { return FTabHeight; }
    void SetTabHeight(int value);
    // The sizes handed to the tab layout (turned for vertical tabs).
    int LayoutTabWidth() const { return FLayoutWidth; }
    int LayoutTabHeight() const { return FLayoutHeight; }
    bool Vertical() const { return IsVertical(FPosition); }
    static bool IsVertical(TExtTabPosition p) {
        return p == TExtTabPosition::tabPosLeft || p == TExtTabPosition::tabPosRight;
    }

    std::vector<std::string>& TabHints() { return FHints; }
    // The hint for a tab: its page's line of TabHints, empty for -1 or no line.
    std::string TabHint(int tabIndex) const;

    std::string Name = "ExtPageControl1";
    std::function<bool()> OnChanging;
    std::function<void()> OnChange;

private:
    std::vector<TExtPage> FPages;
    std::vector<std::string> FHints;
    int FActive = -1;
    TExtTabPosition FPosition = TExtTabPosition::tabPosTop;
    TExtTabStyle FStyle = TExtTabStyle::tabStDefault;
    int FTabWidth = 0, FTabHeight = 0;
    int FLayoutWidth = 0, FLayoutHeight = 0;
};

// True when the active font goes to the tab layout: unless the inactive font's "W"
// is wider.
bool UseActiveTabFont(int activeW, int inactiveW);
// The display rectangle: the area the tab layout leaves, its edge on the tab side 2
// pixels further in, then grown by 4 on every side.
TRect AdjustDisplayRect(const TRect& display, TExtTabPosition position);
// The text box of a tab caption: the tab less 2 on every side, moved by the offset,
// the measured text clamped to it and centred vertically (and horizontally for
// alignment 2). textPos is the box's top-left less the offset.
TRect TabTextBox(const TRect& rect, TPoint offset, int textWidth, int textHeight, int alignment, TPoint& textPos);
// The hint position of a tab: its left + 3, bottom + 1.
inline TPoint TabHintPosition(const TRect& tab) { return {tab.Left + 3, tab.Bottom + 1}; }

} // namespace mv
