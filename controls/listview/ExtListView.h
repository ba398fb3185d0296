#pragma once
// The extended list view of the archive list and the backup analysis lists: the
// sorting list view plus the extended styles as a set, a column order the user can
// change by dragging header items, header images per column, a background image, and
// the virtual (owner-data) mode in which the control holds only a row count and asks
// its owner for every cell it shows (OnVMGetItemInfo), after a hint with the rows
// about to be shown (OnVMCacheHint). The owner keeps and sorts the rows itself (in
// OnSortFinished) and walks the selection with GetNextItemIndex.
#include "controls/listview/ListViewCore.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace mv {

class EELVException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class EELVOldComCtl : public EELVException {
public:
    using EELVException::EELVException;
};

enum TLVExtendedStyle : uint8_t {
    lvxGridLines,
    lvxSubItemImages,
    lvxCheckboxes,
    lvxTrackSelect,
    lvxHeaderDragDrop,
    lvxFullRowSelect,
    lvxOneClickActivate,
    lvxTwoClickActivate,
    lvxFlatScrollBar,
    lvxUnderlineHot,
    lvxUnderlineCold
};
// A set of extended styles: bit n for member n.
using TLVExtendedStyles = uint16_t;
constexpr TLVExtendedStyles LVX(TLVExtendedStyle s) {
    return static_cast<TLVExtendedStyles>(1u << s);
}
// The set as list-view style flags and back.
uint32_t ExtendedStylesToFlags(TLVExtendedStyles styles);
TLVExtendedStyles FlagsToExtendedStyles(uint32_t flags);
// The set as it is applied: underlining the cold items needs one-click activation, and
// underlining the hot item needs one- or two-click activation (one-click added).
TLVExtendedStyles NormaliseExtendedStyles(TLVExtendedStyles styles);

// What a cell request asks for: bit n = request mask bit 1 << n.
enum TLVVMMaskItem : uint8_t { lvifText, lvifImage, lvifParam, lvifState, lvifIndent };
using TLVVMMaskItems = uint8_t;

enum class TColumnImageAlign { ciaLeftOfText, ciaRightOfText };

class TCustomExtListView;

// The header image of one column: an index into the small images (-1: none) shown
// left or right of the title.
class TExtListColumn {
public:
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);
    TColumnImageAlign ImageAlignment() const { return FImageAlignment; }
    void SetImageAlignment(TColumnImageAlign value);
    void Assign(const TExtListColumn& other);

private:
    friend class TExtListColumns;
    explicit TExtListColumn(TCustomExtListView* view) : FView(view) {}
    TCustomExtListView* FView;
    int FImageIndex = -1;
    TColumnImageAlign FImageAlignment = TColumnImageAlign::ciaRightOfText;
};

// Item n describes column n of the list.
class TExtListColumns {
public:
    explicit TExtListColumns(TCustomExtListView* view) : FView(view) {}
    TExtListColumn* Add();
    int Count() const { return static_cast<int>(FItems.size()); }
    TExtListColumn* Items(int index) const { return FItems.at(static_cast<size_t>(index)).get(); }
    TExtListColumn* operator[](int index) const { return Items(index); }
    void Clear();
    void Assign(const TExtListColumns& other);

private:
    TCustomExtListView* FView;
    std::vector<std::unique_ptr<TExtListColumn>> FItems;
};

// A picture under the rows, from a local file.
class TELVBackgroundImage {
public:
    explicit TELVBackgroundImage(TCustomExtListView* view) : FView(view) {}
    const std::string& Filename() const { return FFilename; }
    void SetFilename(const std::string& value);
    bool Tile() const { return FTile; }
    void SetTile(bool value);
    int XOffsetPercent() const { return FXOffsetPercent; }
    void SetXOffsetPercent(int value);
    int YOffsetPercent() const { return FYOffsetPercent; }
    void SetYOffsetPercent(int value);
    void Assign(const TELVBackgroundImage& other);

private:
    TCustomExtListView* FView;
    std::string FFilename;
    bool FTile = false;
    int FXOffsetPercent = 0, FYOffsetPercent = 0;
};

using TLVVMGetItemInfoEvent =
    std::function<void(TComponent* sender, int item, int subItem, TLVVMMaskItems& mask, int& image,
                       intptr_t& param, uint32_t& state, uint32_t& stateMask, int& indent, std::string& text)>;
using TLVVMCacheHintEvent = std::function<void(TComponent* sender, TLVCacheHint& hintInfo)>;
using TLVVMFindItemEvent = std::function<void(TComponent* sender, const TLVFindInfo& findInfo, int& found)>;
using TLVVMStateChangedEvent = std::function<void(TComponent* sender, const TLVStateChange& stateInfo)>;
using TLVHotTrackEvent = std::function<void(TComponent* sender, int& itemIndex, int subItemIndex, TPoint location,
                                            bool& allowSelect)>;

class TCustomExtListView : public TCustomListViewCore {
public:
    explicit TCustomExtListView(TComponent* owner);
    ~TCustomExtListView() override;

    std::string Version() const override { return "TExtListView v3.52"; }

    TLVExtendedStyles ExtendedStyles() const;
    void SetExtendedStyles(TLVExtendedStyles value);

    bool VirtualMode() const { return FVirtualMode; }
    void SetVirtualMode(bool value);
    // Owner data: the number of rows and how to apply it (1: keep what is shown,
    // 2: keep the scroll position; the application passes 2).
    void SetVirtualItemCount(int count, uint8_t flags);
    int VirtualItemCount() const { return FVirtualItemCount; }
    // The next item from startIndex (-1: before the first) in a direction (0 left,
    // 1 right, 2 above, 3 below, else anywhere after) with the states of the bits
    // (2 cut, 4 drop-highlighted, 8 focused, 16 selected; 1 none).
    int GetNextItemIndex(int startIndex, uint8_t direction, int states);

    // Column order by display position. GetColumnOrder fills count entries; false
    // when there is no order to give. SetColumnOrder refuses an order that is not a
    // permutation of the columns and keeps the current one.
    bool GetColumnOrder(int count, std::vector<int>& order);
    bool SetColumnOrder(int count, const std::vector<int>& order);

    TExtListColumns& ColumnsFormat() { return FColumnsFormat; }
    TELVBackgroundImage& BackgroundImage() { return FBackgroundImage; }
    TExtLVSaveSettings& ExtSaveSettings() { return static_cast<TExtLVSaveSettings&>(*FSaveSettings); }
    // The platform is always new enough: the flag is kept and nothing is checked.
    bool RequireComCtlUpdate() const { return FRequireComCtlUpdate; }
    void SetRequireComCtlUpdate(bool value) { FRequireComCtlUpdate = value; }

    void UpdateColumnImages();
    void UpdateColumnImage(int index);
    void ApplyBackgroundImage();
    void SetSmallImages(TImageList* value) override;
    void SetShowSortArrows(bool value) override;
    void SetOnDrawHeader(TLVHDrawItemEvent handler) override;

    int GetColumnDisplayPos(int index) override;
    TListColumn* GetColumnAtDisplayPos(int pos) override;
    std::string GetSubItemText(int index, int subItem) override;
    void Loaded() override;
    bool StoreSettings() override;
    bool LoadSettings() override;
    void AutoSaveSettings() override;

    TNotifyEvent OnItemActivate;
    TLVHotTrackEvent OnHotTrack;
    TLVVMGetItemInfoEvent OnVMGetItemInfo;
    TLVVMCacheHintEvent OnVMCacheHint;
    TLVVMFindItemEvent OnVMFindItem;
    TLVVMStateChangedEvent OnVMStateChanged;

    // The list view's notifications.
    void GetDispInfo(TLVItemRequest& request) override;
    void CacheHint(TLVCacheHint& hint) override;
    int FindItem(const TLVFindInfo& info) override;
    void ODStateChanged(const TLVStateChange& change) override;
    void ItemActivate() override;
    void HotTrack(int& item, int subItem, TPoint at, bool& allowSelect) override;

protected:
    virtual void DoItemActivate();
    virtual void DoHotTrack(int& item, int subItem, TPoint at, bool& allowSelect);
    virtual void DoVMGetItemInfo(TLVItemRequest& request);
    virtual void DoVMCacheHint(TLVCacheHint& hint);
    virtual void DoVMFindItem(const TLVFindInfo& info, int& found);
    virtual void DoVMStateChanged(const TLVStateChange& change);
    void DoDrawItem(TCanvas& canvas, int index, const TRect& rect, TOwnerDrawState state, bool& defaultDrawing,
                    bool& fullRowSelect) override;
    void DefaultDrawItem(TCanvas& canvas, int index, const TRect& rect, bool fullRowSelect,
                         TOwnerDrawState state) override;
    void DefaultDrawSubItem(TCanvas& canvas, int index, int subItem, TOwnerDrawState state, TRect rect) override;
    void DefaultDrawHeader(TCanvas& canvas, int index, const TRect& rect, bool selected) override;

private:
    TLVExtendedStyles FExtendedStylesCache = 0;
    std::vector<int> FColumnOrderCache;
    TExtListColumns FColumnsFormat;
    bool FVirtualMode = false;
    bool FRequireComCtlUpdate = false;
    TELVBackgroundImage FBackgroundImage;
    int FVirtualItemCount = 0;
    uint8_t FVirtualItemCountFlags = 0;
};

class TExtListView : public TCustomExtListView {
public:
    explicit TExtListView(TComponent* owner) : TCustomExtListView(owner) {}
};

} // namespace mv
