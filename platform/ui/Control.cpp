#include "platform/ui/Control.h"

#include "platform/ui/Form.h"
#include "platform/ui/Labels.h"
#include "platform/ui/QtBridge.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPixmap>
#include <QPointer>
#include <QShortcut>
#include <QWidget>
#include <algorithm>
#include <map>

namespace mv {
namespace {

// The event type that carries the program's own posted messages.
const QEvent::Type ControlMessageEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class ControlMessageEvent : public QEvent {
public:
    explicit ControlMessageEvent(const TMessage& message)
        : QEvent(ControlMessageEventType), Message(message) {}
    TMessage Message;
};

TControl* captureControl = nullptr;

TShiftState ShiftOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = Qt::NoButton) {
    TShiftState shift = 0;
    if (modifiers & Qt::ShiftModifier) shift |= ssShift;
    if (modifiers & Qt::AltModifier) shift |= ssAlt;
    if (modifiers & Qt::ControlModifier) shift |= ssCtrl;
    if (buttons & Qt::LeftButton) shift |= ssLeft;
    if (buttons & Qt::RightButton) shift |= ssRight;
    if (buttons & Qt::MiddleButton) shift |= ssMiddle;
    return shift;
}

bool ToMouseButton(Qt::MouseButton button, TMouseButton& out) {
    switch (button) {
    case Qt::LeftButton:
        out = TMouseButton::mbLeft;
        return true;
    case Qt::RightButton:
        out = TMouseButton::mbRight;
        return true;
    case Qt::MiddleButton:
        out = TMouseButton::mbMiddle;
        return true;
    default:
        return false;
    }
}

// Key codes as the controls know them (the classic virtual-key numbers) for the keys
// they handle by code.
uint16_t VirtualKeyOf(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<uint16_t>('A' + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return static_cast<uint16_t>('0' + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return static_cast<uint16_t>(0x70 + (qtKey - Qt::Key_F1));
    switch (qtKey) {
    case Qt::Key_Space:
        return 0x20;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 0x0D;
    case Qt::Key_Escape:
        return 0x1B;
    case Qt::Key_Tab:
        return 0x09;
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Delete:
        return 0x2E;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_Menu:
        return 0x5D;
    default:
        return 0;
    }
}

// Forwards the events of a control's widget that the class library handles itself:
// posted messages go through the window procedure; mouse and key input reaches the
// typed handlers before the widget's own handling, which still runs.
class ControlEventFilter : public QObject {
public:
    explicit ControlEventFilter(TControl* control) : FControl(control) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != FControl->Widget()) return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            TMouseButton button;
            if (!ToMouseButton(mouse->button(), button)) return false;
            const QPoint at = mouse->position().toPoint();
            TShiftState shift = ShiftOf(mouse->modifiers(), mouse->buttons());
            if (event->type() == QEvent::MouseButtonRelease)
                Guarded([&] { FControl->MouseUp(button, shift, at.x(), at.y()); });
            else if (event->type() == QEvent::MouseButtonDblClick) {
                Guarded([&] { FControl->MouseDown(button, shift | ssDouble, at.x(), at.y()); });
                if (button == TMouseButton::mbLeft) Guarded([&] { FControl->LeftDoubleClick(); });
            } else
                Guarded([&] { FControl->MouseDown(button, shift, at.x(), at.y()); });
            return false;
        }
        case QEvent::Enter:
            Guarded([&] { FControl->MouseEnter(); });
            return false;
        case QEvent::Leave:
            Guarded([&] { FControl->MouseLeave(); });
            return false;
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint at = mouse->position().toPoint();
            Guarded(
                [&] { FControl->MouseMove(ShiftOf(mouse->modifiers(), mouse->buttons()), at.x(), at.y()); });
            return false;
        }
        case QEvent::KeyPress: {
            auto* keyEvent = static_cast<QKeyEvent*>(event);
            uint16_t key = VirtualKeyOf(keyEvent->key());
            bool swallowed = false;
            if (key != 0) {
                Guarded([&] { FControl->KeyDown(key, ShiftOf(keyEvent->modifiers())); });
                swallowed = key == 0;
            }
            const QString text = keyEvent->text();
            if (!swallowed && text.size() == 1 && text[0].unicode() < 0x80 && text[0].unicode() >= 0x20) {
                char c = static_cast<char>(text[0].unicode());
                Guarded([&] { FControl->KeyPress(c); });
                swallowed = c == 0;
            }
            return swallowed;
        }
        default:
            break;
        }
        if (event->type() == ControlMessageEventType) {
            auto* message = static_cast<ControlMessageEvent*>(event);
            Guarded([&] { FControl->WindowProc()(message->Message); });
            return true;
        }
        return false;
    }

private:
    TControl* FControl;
};

// The widget of a graphic control: everything is painted through the control's canvas.
class GraphicWidget : public QWidget {
public:
    explicit GraphicWidget(TGraphicControl* control) : FControl(control) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        auto& canvas = FControl->Canvas().Data();
        canvas.Painter = &painter;
        Guarded([&] { FControl->Paint(); });
        canvas.Painter = nullptr;
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            Guarded([&] { FControl->Click(); });
    }

private:
    TGraphicControl* FControl;
};

std::map<int, QCursor>& CursorTable() {
    static std::map<int, QCursor> table;
    return table;
}

Qt::CursorShape ToQtCursor(TCursor cursor) {
    switch (cursor) {
    case TCursor::crHandPoint:
        return Qt::PointingHandCursor;
    case TCursor::crHourGlass:
        return Qt::WaitCursor;
    case TCursor::crIBeam:
        return Qt::IBeamCursor;
    case TCursor::crHSplit:
        return Qt::SplitHCursor;
    case TCursor::crVSplit:
        return Qt::SplitVCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace

// ---- TControl ----

TControl::TControl(TComponent* owner) : TComponent(owner) {
    FWindowProc = [this](TMessage& message) { WndProc(message); };
    FFont.OnChange = [this] {
        FParentFont = false;
        ApplyFont();
        FontChanged();
    };
}

TControl::~TControl() {
    BeginDestruction();
    if (captureControl == this) ReleaseCapture();
    // Whatever watches this control's window procedure hears of its end, always.
    Guarded([this] { Perform(WM_DESTROY, 0, 0); });
    FWindowProc = [](TMessage&) {};
    SetParent(nullptr);
    FEventFilter.reset();
    // The shortcuts call back into this control: they go before the widget outlives it.
    for (QObject* shortcut : FAcceleratorShortcuts) delete shortcut;
    FAcceleratorShortcuts.clear();
    if (FWidget) {
        // A control may be destroyed by a handler that its own widget is running (a
        // button's click freeing its form): the widget is cut off from this control now
        // and deleted once Qt has finished with it.
        QObject::disconnect(FWidget, nullptr, nullptr, nullptr);
        FWidget->hide();
        FWidget->setParent(nullptr);
        FWidget->deleteLater();
        FWidget = nullptr;
    }
}

void TControl::AttachWidget(QWidget* widget) {
    FWidget = widget;
    FEventFilter = std::make_unique<ControlEventFilter>(this);
    widget->installEventFilter(FEventFilter.get());
    widget->setAttribute(Qt::WA_DeleteOnClose, false);
    ApplyFont();
    ApplyBounds();
}

TForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c) {
        if (auto* form = dynamic_cast<TForm*>(const_cast<TControl*>(c))) return form;
        c = c->FParent;
    }
    return nullptr;
}

void TControl::SetParent(TWinControl* value) {
    if (FParent == value) return;
    if (value == this) return;
    if (FParent) FParent->RemoveControl(this);
    FParent = nullptr;
    if (FWidget) {
        FWidget->hide();
        FWidget->setParent(value ? value->ClientWidget() : nullptr);
    }
    if (value) {
        FParent = value;
        value->InsertControl(this);
        if (FParentFont) {
            FFont.Assign(value->Font());
            FParentFont = true;
        }
        ApplyBounds();
        if (FWidget && FVisible) FWidget->show();
        if (FAlign != TAlign::alNone) value->Realign();
    }
}

void TControl::SetBounds(int left, int top, int width, int height) {
    width = std::max(0, width);
    height = std::max(0, height);
    if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    ApplyBounds();
    Resized();
    if (FParent && FAlign != TAlign::alNone) FParent->Realign();
}

void TControl::ApplyBounds() {
    if (FWidget) FWidget->setGeometry(FLeft, FTop, FWidth, FHeight);
}

void TControl::SetAlign(TAlign value) {
    if (FAlign == value) return;
    FAlign = value;
    if (FParent) FParent->Realign();
}

void TControl::SetVisible(bool value) {
    if (FVisible == value) return;
    FVisible = value;
    ApplyVisible(value);
    if (FParent && FAlign != TAlign::alNone) FParent->Realign();
}

void TControl::ApplyVisible(bool value) {
    if (FWidget && (FParent || !value)) FWidget->setVisible(value);
}

void TControl::SetEnabled(bool value) {
    FEnabled = value;
    if (FWidget) FWidget->setEnabled(value);
}

void TControl::SetText(const std::string& value) {
    FText = value;
    UpdateAccelerator();
}

void TControl::SetHandlesAccelerator(bool value) {
    FHandlesAccelerator = value;
    UpdateAccelerator();
}

std::vector<std::string> TControl::AcceleratorCaptions() const {
    return {FText};
}

void TControl::UpdateAccelerator() {
    for (QObject* shortcut : FAcceleratorShortcuts) delete shortcut;
    FAcceleratorShortcuts.clear();
    if (!FHandlesAccelerator || !FWidget) return;
    std::string keys;
    for (const std::string& caption : AcceleratorCaptions()) {
        const char key = AccelCharOf(caption);
        if (key == 0 || keys.find(key) != std::string::npos) continue;
        keys += key;
        auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Alt+") + QChar(key)), FWidget);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, [this, key] { Guarded([&] { DialogChar(key); }); });
        FAcceleratorShortcuts.push_back(shortcut);
    }
}

bool TControl::DialogChar(char) {
    return false;
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::SetHint(const std::string& value) {
    FHint = value;
    if (FWidget) FWidget->setToolTip(ToQ(value));
}

void TControl::SetCursor(TCursor value) {
    FCursor = value;
    if (FWidget) {
        if (value == TCursor::crDefault)
            FWidget->unsetCursor();
        else if (auto it = CursorTable().find(static_cast<int>(value)); it != CursorTable().end())
            FWidget->setCursor(it->second);
        else
            FWidget->setCursor(QCursor(ToQtCursor(value)));
    }
}

void TControl::SetColor(TColor value) {
    FColor = value;
    Invalidate();
}

void TControl::ApplyFont() {
    if (!FWidget) return;
    FWidget->setFont(ToQFont(FFont));
    // The font's colour is the text colour of an enabled control; a disabled one
    // keeps the grey text that tells the user it does not act now.
    QPalette palette = FWidget->palette();
    const QColor text = ToQColor(FFont.Color());
    const QColor buttonText = ToQColor(FFont.Color() == clWindowText ? clBtnText : FFont.Color());
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::ButtonText, buttonText);
    }
    palette.setColor(QPalette::Disabled, QPalette::WindowText, ToQColor(clGrayText));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, ToQColor(clGrayText));
    FWidget->setPalette(palette);
}

void TControl::FontChanged() {}

void TControl::Invalidate() {
    if (FWidget) FWidget->update();
}

void TControl::Repaint() {
    if (FWidget) FWidget->repaint();
}

void TControl::Click() {
    DoClick();
}

void TControl::DoClick() {
    if (OnClick) OnClick(this);
}

void TControl::Dispatch(TMessage&) {}

void TControl::WndProc(TMessage& message) {
    Dispatch(message);
}

void TControl::SetWindowProc(TWndMethod proc, const void* installer) {
    if (!proc) {
        proc = [this](TMessage& message) { WndProc(message); };
        installer = nullptr;
    }
    FWindowProc = std::move(proc);
    FWindowProcInstaller = installer;
}

intptr_t TControl::Perform(uint32_t msg, intptr_t wParam, intptr_t lParam) {
    TMessage message;
    message.Msg = msg;
    message.WParam = wParam;
    message.LParam = lParam;
    // A copy: the procedure may replace itself while it runs.
    TWndMethod proc = FWindowProc;
    proc(message);
    return message.Result;
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::KeyDown(uint16_t& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TControl::KeyPress(char& key) {
    if (OnKeyPress) OnKeyPress(this, key);
}

// ---- The cursor table ----

void RegisterCursor(int number, const TBitmap& image, const TBitmap* mask, int hotX, int hotY) {
    QImage picture = image.Data().Image.convertToFormat(QImage::Format_ARGB32);
    if (mask)
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (mask->Pixel(x, y) == clWhite) picture.setPixel(x, y, 0);
    CursorTable()[number] = QCursor(QPixmap::fromImage(picture), hotX, hotY);
}

bool CursorRegistered(int number) {
    return CursorTable().count(number) != 0;
}

// ---- Mouse capture ----

void SetCaptureControl(TControl* control) {
    if (captureControl == control) return;
    TControl* previous = captureControl;
    captureControl = nullptr;
    if (previous) {
        if (previous->Widget()) previous->Widget()->releaseMouse();
        Guarded([previous] { previous->CaptureLost(); });
    }
    captureControl = control;
    if (control && control->Widget() && control->Widget()->isVisible()) control->Widget()->grabMouse();
}

TControl* GetCaptureControl() {
    return captureControl;
}

void ReleaseCapture() {
    TControl* previous = captureControl;
    captureControl = nullptr;
    if (previous && previous->Widget()) previous->Widget()->releaseMouse();
}

// ---- TWinControl ----

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    // The controls this one holds go first, while their widgets still have a parent.
    while (!FControls.empty()) delete FControls.back();
}

void TWinControl::InsertControl(TControl* control) {
    FControls.push_back(control);
    if (auto* win = dynamic_cast<TWinControl*>(control)) {
        FTabList.push_back(win);
        win->SetTabOrder(static_cast<int>(FTabList.size()) - 1);
    }
}

void TWinControl::RemoveControl(TControl* control) {
    FControls.erase(std::remove(FControls.begin(), FControls.end(), control), FControls.end());
    FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), control), FTabList.end());
    if (control->FAlign != TAlign::alNone) Realign();
}

int TWinControl::TabOrder() const {
    if (!Parent()) return -1;
    const auto& list = Parent()->FTabList;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int value) {
    if (!Parent()) return;
    auto& list = Parent()->FTabList;
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end()) return;
    list.erase(it);
    value = std::clamp(value, 0, static_cast<int>(list.size()));
    list.insert(list.begin() + value, this);
    // Qt's focus chain follows the tab list.
    QWidget* previous = nullptr;
    for (TWinControl* c : list) {
        if (!c->Widget()) continue;
        if (previous) QWidget::setTabOrder(previous, c->Widget());
        previous = c->Widget();
    }
}

void TWinControl::SetTabStop(bool value) {
    FTabStop = value;
    if (Widget()) Widget()->setFocusPolicy(value ? Qt::StrongFocus : Qt::NoFocus);
}

void TWinControl::SetFocus() {
    if (Widget()) Widget()->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::Focused() const {
    return Widget() && Widget()->hasFocus();
}

void TWinControl::Resized() {
    Realign();
}

void TWinControl::Realign() {
    if (FAligning) return;
    FAligning = true;
    TRect area = Rect(0, 0, ClientWidth(), ClientHeight());
    auto place = [&](TAlign align) {
        std::vector<TControl*> list;
        for (TControl* c : FControls)
            if (c->FAlign == align && c->FVisible) list.push_back(c);
        // Controls of one edge keep their order by position (stable for equal ones).
        std::stable_sort(list.begin(), list.end(), [&](TControl* a, TControl* b) {
            switch (align) {
            case TAlign::alTop:
                return a->FTop < b->FTop;
            case TAlign::alBottom:
                return a->FTop + a->FHeight > b->FTop + b->FHeight;
            case TAlign::alLeft:
                return a->FLeft < b->FLeft;
            case TAlign::alRight:
                return a->FLeft + a->FWidth > b->FLeft + b->FWidth;
            default:
                return false;
            }
        });
        for (TControl* c : list) {
            switch (align) {
            case TAlign::alTop:
                c->SetBounds(area.Left, area.Top, area.Width(), c->FHeight);
                area.Top += c->FHeight;
                break;
            case TAlign::alBottom:
                c->SetBounds(area.Left, area.Bottom - c->FHeight, area.Width(), c->FHeight);
                area.Bottom -= c->FHeight;
                break;
            case TAlign::alLeft:
                c->SetBounds(area.Left, area.Top, c->FWidth, area.Height());
                area.Left += c->FWidth;
                break;
            case TAlign::alRight:
                c->SetBounds(area.Right - c->FWidth, area.Top, c->FWidth, area.Height());
                area.Right -= c->FWidth;
                break;
            case TAlign::alClient:
                c->SetBounds(area.Left, area.Top, area.Width(), area.Height());
                break;
            default:
                break;
            }
        }
    };
    place(TAlign::alTop);
    place(TAlign::alBottom);
    place(TAlign::alLeft);
    place(TAlign::alRight);
    place(TAlign::alClient);
    FAligning = false;
}

// ---- TGraphicControl ----

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner), FCanvas(std::make_unique<TCanvas>()) {
    AttachWidget(new GraphicWidget(this));
}

TGraphicControl::~TGraphicControl() = default;

// ---- TMessageWindow ----

TMessageWindow::TMessageWindow(TWndMethod handler) : TControl(nullptr), FHandler(std::move(handler)) {
    AttachWidget(new QWidget());
    SetVisible(false);
}

TMessageWindow::~TMessageWindow() {
    FHandler = nullptr;
}

void TMessageWindow::Dispatch(TMessage& message) {
    if (FHandler) FHandler(message);
}

// ---- Posted messages ----

void PostMessage(TControl* control, uint32_t msg, intptr_t wParam, intptr_t lParam) {
    if (!control || !control->Widget()) return;
    TMessage message;
    message.Msg = msg;
    message.WParam = wParam;
    message.LParam = lParam;
    QCoreApplication::postEvent(control->Widget(), new ControlMessageEvent(message));
}

} // namespace mv
