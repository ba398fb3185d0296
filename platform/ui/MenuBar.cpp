#include "platform/ui/MenuBar.h"

#include "platform/ui/Menu.h"
#include "platform/ui/QtBridge.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

namespace mv {

namespace {

// The style of the bar and of its pop-ups: items the menu's handlers size and paint
// go through them; the rest, and everything else, is the usual style's.
class MenuItemStyle : public QProxyStyle {
public:
    explicit MenuItemStyle(TMenuBar* bar) : FBar(bar) {}

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        if (type == CT_MenuItem || type == CT_MenuBarItem) {
            if (const QAction* action = ActionOf(option, widget)) {
                int width = 0, height = 0;
                bool done = false;
                Guarded([&] { done = FBar->MeasureThrough(action, width, height); });
                if (done) return {width, height};
            }
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element == CE_MenuItem || element == CE_MenuBarItem) {
            const QAction* action = nullptr;
            if (auto* menu = qobject_cast<const QMenu*>(widget)) action = menu->actionAt(option->rect.center());
            else if (auto* bar = qobject_cast<const QMenuBar*>(widget))
                action = bar->actionAt(option->rect.center());
            if (action) {
                TOwnerDrawState state = 0;
                if (option->state & State_Selected) state |= odSelected;
                if (!(option->state & State_Enabled)) state |= odDisabled | odGrayed;
                if (action->isChecked()) state |= odChecked;
                const QRect r = option->rect;
                bool done = false;
                Guarded([&] {
                    done = FBar->PaintThrough(action, painter, Rect(r.left(), r.top(), r.right() + 1, r.bottom() + 1),
                                              state);
                });
                if (done) return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

private:
    // The action an item's size is asked for: found by its text among the widget's
    // actions (Qt asks with the item's options only).
    static const QAction* ActionOf(const QStyleOption* option, const QWidget* widget) {
        auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (!item || !widget) return nullptr;
        if (item->menuItemType == QStyleOptionMenuItem::Separator) {
            for (QAction* a : widget->actions())
                if (a->isSeparator()) return a;
            return nullptr;
        }
        const QString text = item->text.section(QLatin1Char('\t'), 0, 0);
        for (QAction* a : widget->actions())
            if (!a->isSeparator() && a->text() == text) return a;
        return nullptr;
    }

    TMenuBar* FBar;
};

TMenuItem* FindItem(TMenuItem* root, const QAction* action) {
    if (!root) return nullptr;
    for (int i = 0; i < root->Count(); ++i) {
        TMenuItem* item = root->Items(i);
        if (item->Action() == action) return item;
        if (TMenuItem* found = FindItem(item, action)) return found;
    }
    return nullptr;
}

} // namespace

TMenuBar::TMenuBar(TComponent* owner) : TWinControl(owner) {
    FBar = new QMenuBar();
    FBar->setNativeMenuBar(false);
    auto* style = new MenuItemStyle(this);
    style->setParent(FBar);
    FBar->setStyle(style);
    FStyle = style;
    AttachWidget(FBar);
    SetAlign(TAlign::alTop);
    SetBounds(0, 0, 400, FBar->sizeHint().height());
}

TMenuBar::~TMenuBar() {
    FItems = nullptr;
    if (FBar) FBar->clear();
}

void TMenuBar::SetItems(TMenuItem* root) {
    FItems = root;
    Rebuild();
}

void TMenuBar::StyleMenus(TMenuItem* item) {
    for (int i = 0; i < item->Count(); ++i) {
        TMenuItem* child = item->Items(i);
        if (QMenu* menu = child->SubMenu()) menu->setStyle(static_cast<MenuItemStyle*>(FStyle));
        StyleMenus(child);
    }
}

void TMenuBar::Rebuild() {
    FBar->clear();
    if (!FItems) return;
    for (int i = 0; i < FItems->Count(); ++i) FBar->addAction(FItems->Items(i)->Action());
    StyleMenus(FItems);
    // The shortcuts of the items work while the form is active: the form's window
    // holds every action that has one.
    QWidget* window = FBar->window();
    std::function<void(TMenuItem*)> hold = [&](TMenuItem* item) {
        for (int i = 0; i < item->Count(); ++i) {
            TMenuItem* child = item->Items(i);
            if (!child->ShortCut().empty() && window && window != FBar) window->addAction(child->Action());
            hold(child);
        }
    };
    hold(FItems);
    const int height = FBar->sizeHint().height();
    if (height != Height()) SetHeight(height);
    FBar->update();
}

TMenuItem* TMenuBar::ItemOfAction(const QAction* action) const {
    return FindItem(FItems, action);
}

bool TMenuBar::MeasureThrough(const QAction* action, int& width, int& height) {
    if (!OnMeasureItem) return false;
    TMenuItem* item = ItemOfAction(action);
    if (!item || !OnMeasureItem(item, width, height)) return false;
    ++FOwnerMeasured;
    return true;
}

bool TMenuBar::PaintThrough(const QAction* action, void* painter, const TRect& rect, TOwnerDrawState state) {
    if (!OnDrawItem) return false;
    TMenuItem* item = ItemOfAction(action);
    if (!item) return false;
    if (item->Default()) state |= odDefault;
    TCanvas canvas;
    canvas.Data().Painter = static_cast<QPainter*>(painter);
    const bool done = OnDrawItem(item, canvas, rect, state);
    canvas.Data().Painter = nullptr;
    if (done) ++FOwnerPainted;
    return done;
}

} // namespace mv
