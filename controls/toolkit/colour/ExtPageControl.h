#pragma once
// A page control that paints its tabs itself: colours and fonts for the active and the
// other tabs, tabs on any side, a glyph per tab, hot tracking, a hint per tab and
// disabled pages that cannot be chosen.
#include "controls/toolkit/colour/ExtPageModel.h"
#include "platform/ui/CustomControl.h"

#include <functional>
#include <memory>
#include <vector>

namespace mv {

class TExtPageControl;

class TExtTabSheet : public TCustomControl {
public:
    TExtTabSheet(TExtPageControl* control);
    void Paint() override;
};

struct TExtGlyphs {
    std::unique_ptr<TBitmap> Glyph = std::make_unique<TBitmap>();
    int NumGlyphs = 0;
    enum class TExtGlyphPosition { glPosLeft, glPosTop } Position = TExtGlyphPosition::glPosLeft;
    int Spacing = 5;
    TColor TransparentColor = 0xFF00FF;
};

struct TExtHottrack {
    bool Enabled = false;
    TColor TabActiveColor = clHighlight;
    TColor TabInactiveColor = clHighlight;
    int HotTab = -1;
};

using TExtNbDrawTabEvent = std::function<void(TComponent* control, int index, bool activeTab, const TRect& rectFg,
                                              const TRect& rectBg, bool disabled)>;

// Called after the page area is filled (currPage: the page of the current tab, -1 when
// none) and after the area around the tabs is filled (the rectangles of that area).
using TExtDrawBkgndInside =
    std::function<void(TComponent* control, TCanvas& canvas, int currPage, const TRect& rectBg)>;
using TExtDrawBkgndOutside =
    std::function<void(TComponent* control, TCanvas& canvas, const std::vector<TRect>& region)>;

class TExtPageControl : public TCustomControl {
public:
    explicit TExtPageControl(TComponent* owner);
    TExtPageModel& Model() { return FModel; }
    // Adds a page with its caption; the page is a child control of this one.
    TExtTabSheet* AddPage(const std::string& caption);
    TExtTabSheet* Page(int index) const { return FSheets.at(static_cast<size_t>(index)); }
    int PageCount() const { return static_cast<int>(FSheets.size()); }
    void SetPageEnabled(int index, bool value);
    void SetTabVisible(int index, bool value);
    int ActivePageIndex() const { return FModel.ActivePage(); }
    bool SetActivePageIndex(int index);

    void SetTabPosition(TExtTabPosition value);
    void SetTabStyle(TExtTabStyle value) { FModel.SetTabStyle(value); ShowActivePage(); }
    void SetTabWidth(int value) { FModel.SetTabWidth(value); ShowActivePage(); }
    void SetTabHeight(int value) { FModel.SetTabHeight(value); ShowActivePage(); }
    TColor TabActiveColor() const { return FTabActiveColor; }
    void SetTabActiveColor(TColor value) { FTabActiveColor = value; Invalidate(); }
    TColor TabInactiveColor() const { return FTabInactiveColor; }
    void SetTabInactiveColor(TColor value) { FTabInactiveColor = value; Invalidate(); }
    TFont& TabActiveFont() { return FActiveFont; }
    TFont& TabInactiveFont() { return FInactiveFont; }
    bool TabWordWrap() const { return FWordWrap; }
    void SetTabWordWrap(bool value) { FWordWrap = value; Invalidate(); }
    TExtGlyphs& TabGlyphs() { return FGlyphs; }
    TExtHottrack& Hottrack() { return FHottrack; }

    // The rectangle of a tab (empty for an unknown one) and the tab at a point (-1).
    TRect GetTabRect(int tabIndex) const;
    int TabAtPoint(TPoint p) const;
    // The area the pages fill.
    TRect DisplayRect() const;
    // Sets every page's bounds to the display rectangle and shows the active one.
    void ShowActivePage();

    TExtNbDrawTabEvent OnDrawTab;
    TExtDrawBkgndInside OnDrawBkgndInside;
    TExtDrawBkgndOutside OnDrawBkgndOutside;
    TNotifyEvent OnChange;

    // While locked nothing is painted; the last unlock repaints. Locks nest.
    void LockPaint();
    void UnlockPaint();
    bool PaintLocked() const { return FPaintLock > 0; }
    // Pages hold no native window of their own here: the pages but the active one are
    // hidden, which is all their release can give back.
    void ReleaseInactivePages();

    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseLeave() override;
    // The Alt+key accelerator: true when a tab had it (consumed even when refused).
    bool AcceleratorKey(char key);

protected:
    void Resized() override;
    virtual void DrawTab(int pageIndex, const TRect& rect, bool disabled);
    // Fills a tab's rectangle in the active or the inactive tab colour.
    virtual void PaintTabBackground(TCanvas& canvas, bool active, const TRect& rect);

private:
    TPoint TabSize() const; // width, height of every tab on screen
    void DrawTabText(const TRect& rect, TPoint offset, TPoint& textPos, bool disabled, int alignment,
                     const std::string& text);

    TExtPageModel FModel;
    std::vector<TExtTabSheet*> FSheets;
    TColor FTabActiveColor = clBtnFace;
    TColor FTabInactiveColor = RGB(160, 160, 164);
    TFont FActiveFont, FInactiveFont;
    bool FWordWrap = false;
    TExtGlyphs FGlyphs;
    TExtHottrack FHottrack;
    std::string FOwnHint;
    int FHintTab = -1;
    int FPaintLock = 0;
};

} // namespace mv
