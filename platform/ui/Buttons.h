#pragma once
// Buttons: push buttons (with a modal result and the default and cancel roles), bitmap
// buttons and speed buttons.
#include "platform/ui/Control.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace mv {

class TButton : public TButtonControl {
public:
    explicit TButton(TComponent* owner);
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int value) { FModalResult = value; }
    void SetDefault(bool value) override;
    // A click sets the parent form's modal result (when this button has one), then
    // fires OnClick.
    void Click() override;

protected:
    void SetText(const std::string& value) override;

private:
    int FModalResult = 0;
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

} // namespace mv
