#pragma once
// A speed button whose whole face is painted from one base colour, in eleven styles,
// with a hot highlight, grouped down/up behaviour, auto-repeat, a glyph strip of up to
// four images and a caption that turns black or white to suit the colour.
#include "controls/toolkit/colour/ColorButtonModel.h"
#include "platform/ui/Control.h"

#include <functional>
#include <memory>
#include <string>

namespace mv {

class TTimer;
class TColorButton;

using TClrBtnOwnerDrawEvent = std::function<void(TComponent* sender, TCanvas& canvas, const TRect& rect)>;

class TColorButton : public TGraphicControl {
public:
    explicit TColorButton(TComponent* owner);
    ~TColorButton() override;

    TColorButtonModel& Model() { return FModel; }
    bool AllowAllUp() const { return FModel.AllowAllUp(); }
    void SetAllowAllUp(bool value) { FModel.SetAllowAllUp(value); }
    int GroupIndex() const { return FModel.GroupIndex(); }
    void SetGroupIndex(int value) { FModel.SetGroupIndex(value); }
    bool Down() const { return FModel.Down(); }
    void SetDown(bool value) { FModel.SetDown(value); }
    TClrButtonStyle Style() const { return FStyle; }
    void SetStyle(TClrButtonStyle value);
    TButtonOptions Options() const { return FModel.Options(); }
    void SetOptions(TButtonOptions value);
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout value);
    int Margin() const { return FMargin; }
    void SetMargin(int value);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int value);
    bool EstaEmTab() const { return FEstaEmTab; }
    void SetEstaEmTab(bool value);
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int value);
    // The glyph strip; its transparent colour is its own when it has one set, else 0x808000.
    const TBitmap& Glyph() const { return *FGlyph; }
    void SetGlyph(const TBitmap& value);
    const std::string& SoundClick() const { return FSoundClick; }
    void SetSoundClick(const std::string& value) { FSoundClick = value; }
    const std::string& SoundMouseOver() const { return FSoundMouseOver; }
    void SetSoundMouseOver(const std::string& value) { FSoundMouseOver = value; }

    TClrBtnOwnerDrawEvent OnOwnerDraw;

    void Click() override;
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseEnter() override { FModel.MouseEnter(); }
    void MouseLeave() override { FModel.MouseLeave(); }
    // A double click fires OnDblClick only while the button is down.
    void LeftDoubleClick() override;
    // The caption's accelerator clicks an enabled button.
    bool DialogChar(char key) override;
    void SetText(const std::string& value) override;
    void FontChanged() override;

    // The button the shared repeat timer works for (null when none), and the timer.
    static TColorButton* RepeatTarget();
    static bool RepeatRunning();
    // Plays the button sounds (a file name or a resource name); PlayButtonSound by
    // default, replaced by tests.
    static std::function<void(const std::string&)>& SoundPlayer();

private:
    void DrawFace(TCanvas& c, TRect& content, TColor color, bool hot, bool pressed);
    TColor BaseColor() const;

    TColorButtonModel FModel;
    TClrButtonStyle FStyle = TClrButtonStyle::bsNew;
    TButtonLayout FLayout = TButtonLayout::blGlyphLeft;
    int FMargin = -1;
    int FSpacing = 4;
    bool FEstaEmTab = false;
    int FNumGlyphs = 1;
    std::unique_ptr<TBitmap> FGlyph;
    std::string FSoundClick, FSoundMouseOver;
};

} // namespace mv
