#include "platform/ui/ModalDriver.h"

#include "platform/ui/QtBridge.h"
#include "platform/ui/StdControls.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace mv {
namespace {

void CollectControls(const TWinControl& parent, std::vector<TControl*>& out) {
    for (int i = 0; i < parent.ControlCount(); ++i) {
        TControl* c = parent.Controls(i);
        out.push_back(c);
        if (auto* w = dynamic_cast<TWinControl*>(c)) CollectControls(*w, out);
    }
}

void SendKey(TForm& form, int key) {
    QWidget* target = QApplication::focusWidget();
    if (!target || target->window() != form.Widget()) target = form.Widget();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

} // namespace

std::vector<TControl*> AllControls(const TWinControl& parent) {
    std::vector<TControl*> out;
    CollectControls(parent, out);
    return out;
}

void PerformModalAction(TForm& form, TModalAction action, int modalResult) {
    switch (action) {
    case TModalAction::maEnter:
        SendKey(form, Qt::Key_Return);
        break;
    case TModalAction::maEscape:
        SendKey(form, Qt::Key_Escape);
        break;
    case TModalAction::maCloseBox:
        form.Widget()->close();
        break;
    case TModalAction::maClickResult:
        for (TControl* c : AllControls(form))
            if (auto* b = dynamic_cast<TButton*>(c); b && b->ModalResult() == modalResult) {
                b->Click();
                break;
            }
        break;
    }
}

bool SaveControlImage(TControl& control, const std::string& pngPath) {
    QWidget* widget = control.Widget();
    if (!widget) return false;
    QApplication::processEvents();
    return widget->grab().save(ToQ(pngPath), "PNG");
}

bool GrabControlImage(TControl& control, TBitmap& image) {
    QWidget* widget = control.Widget();
    if (!widget) return false;
    QApplication::processEvents();
    image.Data().Image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    return true;
}

TModalDriver::TModalDriver() {
    EnsureApplication();
    SetModalFormHook([this](TForm& form, TModalPhase phase) {
        if (phase == TModalPhase::mpShown)
            Answer(form);
        else
            Closed(form);
    });
}

TModalDriver::~TModalDriver() {
    SetModalFormHook(nullptr);
}

void TModalDriver::Queue(TModalAnswer answer) {
    FAnswers.push_back(std::move(answer));
}

void TModalDriver::PressEnter(std::function<void(TForm&)> inspect) {
    Queue({TModalAction::maEnter, mrNone, std::nullopt, std::move(inspect)});
}

void TModalDriver::PressEscape(std::function<void(TForm&)> inspect) {
    Queue({TModalAction::maEscape, mrNone, std::nullopt, std::move(inspect)});
}

void TModalDriver::CloseBox(std::function<void(TForm&)> inspect) {
    Queue({TModalAction::maCloseBox, mrNone, std::nullopt, std::move(inspect)});
}

void TModalDriver::Click(int modalResult, std::function<void(TForm&)> inspect) {
    Queue({TModalAction::maClickResult, modalResult, std::nullopt, std::move(inspect)});
}

void TModalDriver::Closed(TForm& form) {
    for (size_t i = FOpen.size(); i-- > 0;)
        if (FOpen[i] == &form) {
            FShown[FOpenRecord[i]].ModalResult = form.ModalResult();
            FOpen.erase(FOpen.begin() + static_cast<std::ptrdiff_t>(i));
            FOpenRecord.erase(FOpenRecord.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
}

void TModalDriver::Answer(TForm& form) {
    TShownForm shown;
    shown.Caption = form.Caption();
    for (TControl* c : AllControls(form)) shown.Texts.push_back(c->Caption());
    FShown.push_back(shown);
    FOpen.push_back(&form);
    FOpenRecord.push_back(FShown.size() - 1);
    QPointer<QWidget> window(form.Widget());

    if (FAnswers.empty()) {
        ++FUnanswered;
        form.Close();
        return;
    }
    TModalAnswer answer = std::move(FAnswers.front());
    FAnswers.erase(FAnswers.begin());
    QApplication::processEvents();
    if (answer.Inspect) answer.Inspect(form);
    if (answer.EditText) {
        for (TControl* c : AllControls(form))
            if (auto* edit = dynamic_cast<TEdit*>(c)) {
                edit->SetTextValue(*answer.EditText);
                break;
            }
    }
    PerformModalAction(form, answer.Action, answer.ModalResult);
    // An answer that did not close the form (no default or cancel button) must not
    // leave a test waiting: the form is closed and counted as unanswered.
    if (window && form.Modal() && form.ModalResult() == mrNone) {
        ++FUnanswered;
        form.Close();
    }
}

} // namespace mv
