#include "app/common/MessageBox.h"

#include "app/common/LangStr.h"
#include "app/common/StrUtils.h"
#include "controls/toolkit/small/AnimatedStrip.h"
#include "platform/ui/Form.h"
#include "platform/ui/StdControls.h"

#include <memory>
#include <vector>

namespace mv {
namespace {

std::function<void(int)> helpHandler;

struct TButtonIdentity {
    const char* Name;
    int32_t Caption;
    int ModalResult;
    bool Default;
    bool Cancel;
};

// Bit n of a button set stands for row n.
const TButtonIdentity ButtonIdentities[9] = {
    {"Yes", 232, mrYes, true, false},        {"No", 233, mrNo, false, true},
    {"OK", 187, mrOk, true, false},          {"Cancel", 121, mrCancel, false, true},
    {"Abort", 284, mrAbort, false, false},   {"Retry", 285, mrRetry, false, false},
    {"Ignore", 286, mrIgnore, false, false}, {"All", 287, mrAll, false, false},
    {"Help", 288, mrNone, false, false},
};

void SetBoxFont(TControl& c) {
    c.Font().SetName("MS Sans Serif");
    c.Font().SetSize(8);
}

std::unique_ptr<TForm> NewBoxForm() {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetScaled(false);
    form->SetBorderStyle(TFormBorderStyle::bsDialog);
    form->SetBounds(form->Left(), form->Top(), 375, 145);
    auto* bevel = new TBevel(form.get());
    bevel->SetName("Bevel");
    bevel->SetShape(TBevelShape::bsRightLine);
    bevel->SetParent(form.get());
    bevel->SetAlign(TAlign::alLeft);
    return form;
}

void AddIcon(TForm& form, const char* strip) {
    auto* icon = new TAnimatedStrip(&form);
    icon->SetName("Image");
    icon->SetParent(&form);
    icon->SetBounds(10, 8, 32, 32);
    TBitmap bitmap;
    // A strip that cannot be loaded leaves the icon blank.
    if (bitmap.LoadFromResourceName(strip)) icon->SetBitMap(bitmap);
    icon->SetBounds(10, 8, 32, 32);
    icon->SetFrameCount(5);
    icon->SetInterval(200);
    icon->SetPlay(true);
}

TBitBtn* AddButton(TForm& form, const TButtonIdentity& identity, const std::string& caption, int tabOrder) {
    auto* button = new TBitBtn(&form);
    button->SetName(identity.Name);
    button->SetParent(&form);
    button->SetModalResult(identity.ModalResult);
    button->SetDefault(identity.Default);
    button->SetCancel(identity.Cancel);
    button->SetCursor(TCursor::crHandPoint);
    button->SetCaption(caption);
    SetBoxFont(*button);
    button->SetBounds(button->Left(), button->Top(), MsgButtonWidth, MsgButtonHeight);
    button->SetStyle(TButtonStyle::bsWin31);
    button->SetSpacing(-1);
    button->SetTabOrder(tabOrder);
    return button;
}

// Widens the form for the buttons when needed and lays them out right-aligned, last
// to first, then numbers their tab order in creation order.
void LayOutButtons(TForm& form, const std::vector<TBitBtn*>& buttons) {
    if (form.Width() - 2 * MsgSideMargin < MsgButtonWidth) form.SetWidth(2 * MsgSideMargin + MsgButtonWidth);
    int x = form.Width() - 87;
    for (size_t i = buttons.size(); i-- > 0;) {
        buttons[i]->SetTop(form.Height() - 55);
        buttons[i]->SetLeft(x);
        x -= buttons[i]->Width() + MsgButtonGap;
    }
    for (size_t i = 0; i < buttons.size(); ++i) buttons[i]->SetTabOrder(static_cast<int>(i));
}

void AddEdgePanels(TForm& form) {
    for (TAlign align : {TAlign::alTop, TAlign::alBottom}) {
        auto* panel = new TPanel(&form);
        panel->SetName(align == TAlign::alTop ? "TopPanel" : "BottomPanel");
        panel->SetBevelOuter(TBevelCut::bvNone);
        panel->SetHeight(5);
        panel->SetParent(&form);
        panel->SetAlign(align);
    }
}

} // namespace

void SetHelpHandler(std::function<void(int)> handler) {
    helpHandler = std::move(handler);
}

int ShowMessageBox(const std::string& msg, uint8_t kind, TMsgButtons buttons, int helpContext, int x, int y) {
    std::string captions[9];
    for (int i = 0; i < 9; ++i) captions[i] = LoadLangStr(ButtonIdentities[i].Caption);

    std::unique_ptr<TForm> form = NewBoxForm();
    FixFormFonts(*form);
    form->SetHelpContext(helpContext);
    form->SetBorderIcons(0);
    if (x < 0 || y < 0) {
        form->SetPosition(TPosition::poScreenCenter);
    } else {
        form->SetPosition(TPosition::poDesigned);
        form->SetBounds(x, y, form->Width(), form->Height());
    }

    static const char* const strips[4] = {"EXCLAM", "ERROR", "INFORM", "INTERR"};
    if (kind <= mkQuestion) {
        form->SetCaption(LoadLangStr(289 + kind));
        AddIcon(*form, strips[kind]);
    } else {
        form->SetCaption(Application ? Application->Title() : std::string());
    }

    auto* label = new TLabel(form.get());
    label->SetName("Message");
    label->SetParent(form.get());
    label->SetAutoSize(true);
    SetBoxFont(*label);
    label->SetCaption(msg);
    const int need = label->Width() + MsgTextLeft + 15;
    if (form->Width() < need) {
        label->SetAutoSize(false);
        label->SetWordWrap(true);
        if (need <= 380) {
            form->SetWidth(need + 15);
        } else {
            form->SetWidth(390);
            label->SetHeight(label->Height() * 3);
        }
    }
    label->SetWidth(form->Width() - MsgTextLeft - 15);
    // A wrapped message taller than its label would lose lines: the label grows to hold
    // all of it (and the form with it, below).
    if (label->WordWrap())
        label->SetHeight(std::max(label->Height(), label->TextExtentHeight(label->Width())));
    if (label->Height() > 90) form->SetHeight(label->Height() + 75);
    label->SetTop((form->Height() - 55 - label->Height()) / 2);
    label->SetLeft(MsgTextLeft);

    std::vector<TBitBtn*> created;
    for (int bit = 0; bit < 9; ++bit) {
        if (!(buttons & (1u << bit))) continue;
        TBitBtn* button =
            AddButton(*form, ButtonIdentities[bit], captions[bit], static_cast<int>(created.size()));
        if (bit == 8) {
            TForm* box = form.get();
            button->OnClick = [box](TComponent*) {
                if (helpHandler) helpHandler(box->HelpContext());
            };
        }
        created.push_back(button);
    }
    LayOutButtons(*form, created);
    AddEdgePanels(*form);
    FixFormFonts(*form);
    return form->ShowModal();
}

std::string ShowInputBox(const std::string& caption, const std::string& prompt, const std::string& note,
                         int buttons, int hasEdit, const std::string& defaultText) {
    const std::string okCaption = LoadLangStr(187), cancelCaption = LoadLangStr(121);
    std::unique_ptr<TForm> form = NewBoxForm();
    form->SetPosition(TPosition::poScreenCenter);
    form->SetBorderIcons(biSystemMenu);
    form->SetCaption(caption);
    AddIcon(*form, "INTERR");

    const std::pair<const char*, const std::string*> labels[2] = {{"Prompt", &prompt}, {"Note", &note}};
    for (int i = 0; i < 2; ++i) {
        auto* label = new TLabel(form.get());
        label->SetName(labels[i].first);
        label->SetParent(form.get());
        label->SetAutoSize(true);
        SetBoxFont(*label);
        label->SetCaption(*labels[i].second);
        label->SetLeft(MsgTextLeft);
        label->SetTop(i == 0 ? 10 : 60);
    }

    TEdit* edit = nullptr;
    if (hasEdit == 1) {
        edit = new TEdit(form.get());
        edit->SetName("Edit");
        edit->SetParent(form.get());
        edit->SetBounds(MsgTextLeft, 30, 290, edit->Height());
        SetBoxFont(*edit);
        edit->SetTextValue(TrimText(defaultText));
        form->SetActiveControl(edit);
    }

    std::vector<TBitBtn*> created;
    if (buttons == 1 || buttons == 3)
        created.push_back(AddButton(*form, {"OK", 187, mrOk, true, false}, okCaption, 0));
    if (buttons == 2 || buttons == 3)
        created.push_back(AddButton(*form, {"Cancel", 121, mrCancel, false, true}, cancelCaption,
                                    static_cast<int>(created.size())));
    LayOutButtons(*form, created);
    AddEdgePanels(*form);
    FixFormFonts(*form);

    const int result = form->ShowModal();
    if (result == mrOk) return edit ? edit->Text() : "@OK@";
    return "@Cancel@";
}

void FixFormFonts(TForm& form) {
    if (form.PixelsPerInch() == ScreenPixelsPerInch) return;
    form.SetScaled(false);
    for (int i = 0; i < form.ComponentCount(); ++i) {
        TComponent* c = form.Components(i);
        auto* control = dynamic_cast<TControl*>(c);
        if (!control) continue;
        if (dynamic_cast<TLabel*>(c) || dynamic_cast<TEdit*>(c) || dynamic_cast<TButton*>(c) ||
            dynamic_cast<TGroupBox*>(c) || dynamic_cast<TRadioGroup*>(c) || dynamic_cast<TCheckBox*>(c) ||
            dynamic_cast<TPageControl*>(c) || dynamic_cast<TForm*>(c) || dynamic_cast<TRadioButton*>(c))
            control->Font().SetName("Arial");
    }
}

void ShowExceptionsInMessageBox() {
    EnsureApplication().OnException = [](const std::string& message) {
        ShowMessageBox(message, mkError, mbOKOnly, 0, -1, -1);
    };
}

} // namespace mv
