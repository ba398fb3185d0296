#pragma once
// A form's main menu that can draw its items itself: images from an image list or a
// graphic per item beside the caption, check marks or sunken check boxes, button-like
// highlighting, a colour and font per item, a cursor over the menu, and accelerators
// that still work when the items are drawn by the program. It draws its items only
// while its style asks for it or its image list holds images; otherwise it is a plain
// main menu and never watches its form.
#include "controls/toolkit/placement/WindowHook.h"
#include "platform/ui/Component.h"
#include "platform/ui/Control.h"
#include "platform/ui/Graphics.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Menu.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

enum class TMvMenuStyle { msStandard, msOwnerDraw, msBtnLowered, msBtnRaised };

// Owner-draw state bits of an item.
using TMenuOwnerDrawState = TOwnerDrawState;

using TItemImageEvent =
    std::function<void(TComponent* sender, TMenuItem* item, TMenuOwnerDrawState state, int& imageIndex)>;
using TDrawMenuItemEvent =
    std::function<void(TComponent* sender, TMenuItem* item, const TRect& rect, TMenuOwnerDrawState state)>;
using TItemParamsEvent =
    std::function<void(TComponent* sender, TMenuItem* item, TMenuOwnerDrawState state, TFont& font,
                       TColor& color, const TBitmap*& graphic, int& numGlyphs)>;
using TMeasureMenuItemEvent =
    std::function<void(TComponent* sender, TMenuItem* item, int& width, int& height)>;

// The messages a form's window procedure gets for its menu (LParam points at the
// record): measure and draw an owner-drawn item, an item was selected, a character was
// typed while a pop-up was open.
constexpr uint32_t WM_DRAWITEM = 0x002B, WM_MEASUREITEM = 0x002C, WM_MENUSELECT = 0x011F,
                   WM_MENUCHAR = 0x0120;
constexpr uint32_t ODT_MENU = 1;

struct TMeasureItemStruct {
    uint32_t CtlType = ODT_MENU;
    TMenuItem* Item = nullptr;
    int ItemWidth = 0;
    int ItemHeight = 0;
};
struct TDrawItemStruct {
    uint32_t CtlType = ODT_MENU;
    TMenuItem* Item = nullptr;
    TMenuOwnerDrawState ItemState = 0;
    TCanvas* Canvas = nullptr;
    TRect RcItem;
};
struct TMenuSelectStruct {
    TMenuItem* Item = nullptr; // null: the menu closed
    bool ByMouse = false;
};
// One item of the open pop-up as the menu-character search sees it.
struct TMenuCharItem {
    std::string Caption;
    bool Disabled = false;    // disabled (a merely grayed item counts as enabled)
    bool Highlighted = false; // shown highlighted now
};
struct TMenuCharStruct {
    char Char = 0;
    std::vector<TMenuCharItem> Items;
};

// Answers of the menu-character search: the code in the high word, the item's position
// in the low word.
constexpr uint32_t MNC_IGNORE = 0, MNC_CLOSE = 1, MNC_EXECUTE = 2, MNC_SELECT = 3;
uint32_t MenuCharAnswer(char typed, const std::vector<TMenuCharItem>& items);
// The accelerator of a caption: the character after a single "&", or 0.
char AcceleratorOf(const std::string& caption);

class TMvMainMenu : public TComponent {
public:
    explicit TMvMainMenu(TComponent* owner);
    ~TMvMainMenu() override;

    // The items of the menu bar are the children of this item.
    TMenuItem* Items() const { return FItems.get(); }

    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value) { FCursor = value; }
    int MinTextOffset() const { return FMinTextOffset; }
    void SetMinTextOffset(int value) { FMinTextOffset = value; }
    TMvMenuStyle Style() const { return FStyle; }
    void SetStyle(TMvMenuStyle value);
    bool ShowCheckMarks() const { return FShowCheckMarks; }
    void SetShowCheckMarks(bool value) { FShowCheckMarks = value; }
    TImageList* Images() const { return FImages; }
    void SetImages(TImageList* value);

    TItemImageEvent OnGetImageIndex;
    TDrawMenuItemEvent OnDrawItem;
    TItemParamsEvent OnGetItemParams;
    TMeasureMenuItemEvent OnMeasureItem;

    // True while the menu draws its items itself.
    bool OwnerDraw() const;
    // True while the menu watches its form's messages.
    bool Hooked() const;
    // Whether an item is now marked for drawing by the menu (set by RefreshMenu).
    bool ItemOwnerDrawn(const TMenuItem* item) const;
    // The images changed (the program tells the menu, as the image list's change link would).
    void ImagesChanged();

    // Marks every item, depth first, for drawing by the menu or by the system.
    virtual void RefreshMenu(bool ownerDraw);
    // Paints one item in rect on the canvas set by the draw handler.
    virtual void DrawMenuItem(TMenuItem* item, const TRect& rect, TMenuOwnerDrawState state);

    // The menu's answers to its form's messages (the hook routes them here).
    void MeasureItem(TMenuItem* item, int& width, int& height);
    void DrawItem(TCanvas& canvas, TMenuItem* item, const TRect& rect, TMenuOwnerDrawState state);
    void MenuSelect(TMenuItem* item, bool byMouse);
    uint32_t MenuChar(char typed, const std::vector<TMenuCharItem>& items);
    // The cursor the menu shows now (after MenuSelect).
    TCursor CurrentCursor() const { return FCurrentCursor; }

    // True for an item inside a pop-up (every item but the menu bar's own).
    bool IsPopup(const TMenuItem* item) const;
    // The gap between the parts of an item: 0.3 of the check mark's width.
    static int Gap();

protected:
    virtual void DoGetImageIndex(TMenuItem* item, TMenuOwnerDrawState state, int& imageIndex);
    virtual void DoGetItemParams(TMenuItem* item, TMenuOwnerDrawState state, TFont& font, TColor& color,
                                 const TBitmap*& graphic, int& numGlyphs);
    virtual void DoMeasureItem(TMenuItem* item, int& width, int& height);
    void Notification(TComponent* component, TOperation operation) override;

private:
    void UpdateHook();
    void Router(TMessage& msg, bool& handled);
    bool HasItem(const TMenuItem* item) const;
    void PaintItem(TMenuItem* item, const TRect& rect, TMenuOwnerDrawState state, int imageIndex,
                   const TBitmap* graphic, int numGlyphs, int buttonStyle);

    std::unique_ptr<TMenuItem> FItems;
    TCursor FCursor = TCursor::crDefault;
    TCursor FCurrentCursor = TCursor::crDefault;
    int FMinTextOffset = 0;
    TMvMenuStyle FStyle = TMvMenuStyle::msStandard;
    bool FShowCheckMarks = true;
    TImageList* FImages = nullptr;
    std::unique_ptr<TMvWindowHook> FHook;
    TCanvas* FCanvas = nullptr; // the canvas being drawn on
    std::vector<const TMenuItem*> FOwnerDrawn;
};

} // namespace mv
