#pragma once
// The standard controls: buttons, labels, edit fields, check boxes, radio buttons and
// groups, group boxes, panels, bevels, list boxes and page controls.
#include "platform/ui/Control.h"

#include <functional>
#include <string>
#include <vector>

namespace mv {

// The lines of a list, radio group or similar control; changes reach the control.
class TItemList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& operator[](int index) const { return FItems.at(static_cast<size_t>(index)); }
    const std::string& Strings(int index) const { return (*this)[index]; }
    void SetStrings(int index, const std::string& value);
    int Add(const std::string& value);
    void Insert(int index, const std::string& value);
    void Delete(int index);
    void Clear();
    int IndexOf(const std::string& value) const;
    void Assign(const std::vector<std::string>& values);
    const std::vector<std::string>& Lines() const { return FItems; }
    std::function<void()> OnChange;

private:
    void Changed() {
        if (OnChange) OnChange();
    }
    std::vector<std::string> FItems;
};

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// A text drawn on its parent; sized to its text while AutoSize is on. An "&" marks the
// next letter as the keyboard accelerator and is not drawn ("&&" draws one "&").
class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* owner);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    // Size the text needs in the label's font: on one line per line break, or wrapped
    // to the given width.
    int TextExtentWidth() const;
    int TextExtentHeight(int wrapWidth = -1) const;
    void Paint() override;

protected:
    void SetText(const std::string& value) override;
    void FontChanged() override { AdjustSize(); }

private:
    void AdjustSize();
    bool FAutoSize = true;
    bool FWordWrap = false;
    TAlignment FAlignment = TAlignment::taLeftJustify;
    bool FTransparent = false;
};

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* owner);
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int value) { FModalResult = value; }
    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool value) { FCancel = value; }
    // A click sets the parent form's modal result (when this button has one), then
    // fires OnClick.
    void Click() override;

protected:
    void SetText(const std::string& value) override;

private:
    int FModalResult = 0;
    bool FDefault = false;
    bool FCancel = false;
};

enum class TButtonStyle { bsAutoDetect, bsWin31, bsNew };
enum class TBitBtnKind {
    bkCustom,
    bkOK,
    bkCancel,
    bkHelp,
    bkYes,
    bkNo,
    bkClose,
    bkAbort,
    bkRetry,
    bkIgnore,
    bkAll
};

// A button that may carry a glyph beside its caption.
class TBitBtn : public TButton {
public:
    explicit TBitBtn(TComponent* owner);
    TBitBtnKind Kind() const { return FKind; }
    void SetKind(TBitBtnKind value) { FKind = value; }
    TButtonStyle Style() const { return FStyle; }
    void SetStyle(TButtonStyle value) { FStyle = value; }
    int Margin() const { return FMargin; }
    void SetMargin(int value) { FMargin = value; }
    int Spacing() const { return FSpacing; }
    void SetSpacing(int value) { FSpacing = value; }
    TBitmap& Glyph() { return FGlyph; }
    void GlyphChanged();

private:
    TBitBtnKind FKind = TBitBtnKind::bkCustom;
    TButtonStyle FStyle = TButtonStyle::bsAutoDetect;
    int FMargin = -1;
    int FSpacing = 4;
    TBitmap FGlyph;
};

// A flat tool button; buttons of one GroupIndex above 0 stay down one at a time.
class TSpeedButton : public TControl {
public:
    explicit TSpeedButton(TComponent* owner);
    bool Down() const { return FDown; }
    void SetDown(bool value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool value) { FAllowAllUp = value; }
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    void Click() override;

protected:
    void SetText(const std::string& value) override;

private:
    bool FDown = false;
    int FGroupIndex = 0;
    bool FAllowAllUp = false;
    bool FFlat = false;
};

class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* owner);
    std::string Text() const { return GetText(); }
    void SetTextValue(const std::string& value) { SetText(value); }
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    char PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(char value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    void SelectAll();
    TNotifyEvent OnChange;

protected:
    std::string GetText() const override;
    void SetText(const std::string& value) override;

private:
    int FMaxLength = 0;
    char FPasswordChar = 0;
    bool FReadOnly = false;
};

class TCheckBox : public TWinControl {
public:
    explicit TCheckBox(TComponent* owner);
    bool Checked() const;
    void SetChecked(bool value);

protected:
    void SetText(const std::string& value) override;
};

class TRadioButton : public TWinControl {
public:
    explicit TRadioButton(TComponent* owner);
    bool Checked() const;
    void SetChecked(bool value);

protected:
    void SetText(const std::string& value) override;
};

class TGroupBox : public TWinControl {
public:
    explicit TGroupBox(TComponent* owner);

protected:
    void SetText(const std::string& value) override;
};

// A group box holding one radio button per item.
class TRadioGroup : public TWinControl {
public:
    explicit TRadioGroup(TComponent* owner);
    TItemList& Items() { return FItems; }
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int value);
    int Columns() const { return FColumns; }
    void SetColumns(int value);

protected:
    void SetText(const std::string& value) override;
    void Resized() override;

private:
    void RebuildButtons();
    void ArrangeButtons();
    TItemList FItems;
    int FItemIndex = -1;
    int FColumns = 1;
    std::vector<void*> FButtons;
};

enum class TBevelCut { bvNone, bvLowered, bvRaised };

// A plain area with an optional bevel and a centred caption.
class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* owner);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut value);
    void PaintPanel(TCanvas& canvas);

protected:
    void SetText(const std::string& value) override;

private:
    TBevelCut FBevelOuter = TBevelCut::bvRaised;
    TBevelCut FBevelInner = TBevelCut::bvNone;
    std::unique_ptr<TCanvas> FCanvas;
};

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum class TBevelStyle { bsLowered, bsRaised };

// An etched line or frame.
class TBevel : public TGraphicControl {
public:
    explicit TBevel(TComponent* owner);
    TBevelShape Shape() const { return FShape; }
    void SetShape(TBevelShape value);
    TBevelStyle Style() const { return FStyle; }
    void SetStyle(TBevelStyle value);
    void Paint() override;

private:
    TBevelShape FShape = TBevelShape::bsBox;
    TBevelStyle FStyle = TBevelStyle::bsLowered;
};

class TCustomListBox : public TWinControl {
public:
    explicit TCustomListBox(TComponent* owner);
    TItemList& Items() { return FItems; }
    int ItemIndex() const;
    void SetItemIndex(int value);
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool value);
    bool Selected(int index) const;
    void SetSelected(int index, bool value);
    int SelCount() const;

private:
    void Refill();
    TItemList FItems;
    bool FMultiSelect = false;
};

class TListBox : public TCustomListBox {
public:
    explicit TListBox(TComponent* owner) : TCustomListBox(owner) {}
};

enum class TComboBoxStyle { csDropDown, csSimple, csDropDownList };

// An edit field with a drop-down list of items (or a plain drop-down list).
class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* owner);
    TItemList& Items() { return FItems; }
    int ItemIndex() const;
    void SetItemIndex(int value);
    std::string Text() const { return GetText(); }
    void SetTextValue(const std::string& value) { SetText(value); }
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle value);
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int value);
    TNotifyEvent OnChange;

protected:
    std::string GetText() const override;
    void SetText(const std::string& value) override;

private:
    void Refill();
    TItemList FItems;
    TComboBoxStyle FStyle = TComboBoxStyle::csDropDown;
    int FDropDownCount = 8;
    bool FFilling = false;
};

// A picture on its parent, drawn at its corner, centred or stretched.
class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* owner);
    TBitmap& Picture() { return FPicture; }
    // Call after changing Picture.
    void PictureChanged();
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool Center() const { return FCenter; }
    void SetCenter(bool value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    void Paint() override;

private:
    TBitmap FPicture;
    bool FStretch = false;
    bool FCenter = false;
    bool FAutoSize = false;
};

class TProgressBar : public TWinControl {
public:
    explicit TProgressBar(TComponent* owner);
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    void SetRange(int min, int max);
    int Position() const { return FPosition; }
    // Kept within Min..Max.
    void SetPosition(int value);

private:
    int FMin = 0, FMax = 100, FPosition = 0;
};

class TPageControl;

// One page of a page control; its caption is the tab's text.
class TTabSheet : public TWinControl {
public:
    explicit TTabSheet(TComponent* owner);
    ~TTabSheet() override;
    TPageControl* PageControl() const { return FPageControl; }
    void SetPageControl(TPageControl* value);
    int PageIndex() const;

protected:
    void SetText(const std::string& value) override;
    void ApplyBounds() override {}

private:
    friend class TPageControl;
    TPageControl* FPageControl = nullptr;
};

class TPageControl : public TWinControl {
public:
    explicit TPageControl(TComponent* owner);
    ~TPageControl() override;
    int PageCount() const { return static_cast<int>(FPages.size()); }
    TTabSheet* Pages(int index) const { return FPages.at(static_cast<size_t>(index)); }
    TTabSheet* ActivePage() const;
    void SetActivePage(TTabSheet* value);
    TNotifyEvent OnChange;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    std::vector<TTabSheet*> FPages;
};

// A control with column titles (the list views); translation rewrites them.
class TColumnTitles {
public:
    virtual ~TColumnTitles() = default;
    virtual int ColumnTitleCount() const = 0;
    virtual std::string ColumnTitle(int index) const = 0;
    virtual void SetColumnTitle(int index, const std::string& value) = 0;
};

// Text without the accelerator marks ("&&" stays one "&").
std::string StripAccelChars(const std::string& caption);

} // namespace mv
