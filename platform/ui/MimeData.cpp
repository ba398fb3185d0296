#include "platform/ui/MimeData.h"

#include "platform/ui/Control.h"
#include "platform/ui/QtBridge.h"

#include <QApplication>
#include <QClipboard>
#include <QAbstractScrollArea>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

namespace mv {

namespace {

QMimeData* ToMime(const TMimeBlocks& blocks) {
    auto* data = new QMimeData;
    for (const TMimeBlock& b : blocks)
        data->setData(ToQ(b.MimeType),
                      QByteArray(reinterpret_cast<const char*>(b.Data.data()), static_cast<qsizetype>(b.Data.size())));
    return data;
}

TMimeBlocks FromMime(const QMimeData* data) {
    TMimeBlocks out;
    if (!data) return out;
    for (const QString& f : data->formats()) {
        QByteArray bytes = data->data(f);
        out.push_back({FromQ(f), std::vector<uint8_t>(bytes.begin(), bytes.end())});
    }
    return out;
}

Qt::DropActions ToActions(uint32_t effects) {
    Qt::DropActions a;
    if (effects & 1) a |= Qt::CopyAction;
    if (effects & 2) a |= Qt::MoveAction;
    if (effects & 4) a |= Qt::LinkAction;
    return a;
}

uint32_t FromAction(Qt::DropAction a) {
    switch (a) {
    case Qt::CopyAction: return 1;
    case Qt::MoveAction: return 2;
    case Qt::LinkAction: return 4;
    default: return 0;
    }
}

Qt::DropAction FirstAction(uint32_t effect) {
    if (effect & 2) return Qt::MoveAction;
    if (effect & 1) return Qt::CopyAction;
    if (effect & 4) return Qt::LinkAction;
    return Qt::IgnoreAction;
}

uint32_t KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    uint32_t k = 0;
    if (buttons & Qt::LeftButton) k |= 1;
    if (buttons & Qt::RightButton) k |= 2;
    if (mods & Qt::ShiftModifier) k |= 4;
    if (mods & Qt::ControlModifier) k |= 8;
    if (buttons & Qt::MiddleButton) k |= 16;
    return k;
}

uint32_t Allowed(const QDropEvent* e) {
    uint32_t a = 0;
    if (e->possibleActions() & Qt::CopyAction) a |= 1;
    if (e->possibleActions() & Qt::MoveAction) a |= 2;
    if (e->possibleActions() & Qt::LinkAction) a |= 4;
    return a;
}

void Answer(QDropEvent* e, uint32_t effect) {
    Qt::DropAction a = FirstAction(effect);
    if (a == Qt::IgnoreAction) {
        e->ignore();
        return;
    }
    e->setDropAction(a);
    e->accept();
}

class TDropFilter : public QObject {
public:
    TDropFilter(QObject* parent, TDropTargetEvents events) : QObject(parent), FEvents(std::move(events)) {}
    TDropTargetEvents FEvents;

protected:
    bool eventFilter(QObject*, QEvent* ev) override {
        switch (ev->type()) {
        case QEvent::DragEnter: {
            auto* e = static_cast<QDragEnterEvent*>(ev);
            uint32_t effect = 0;
            TPoint at{e->position().toPoint().x(), e->position().toPoint().y()};
            Guarded([&] {
                if (FEvents.DragEnter)
                    effect = FEvents.DragEnter(FromMime(e->mimeData()), KeyState(e->buttons(), e->modifiers()), at,
                                               Allowed(e));
            });
            // The enter is taken so that moves and the drop follow; the effect tells the cursor.
            e->setDropAction(FirstAction(effect) == Qt::IgnoreAction ? Qt::CopyAction : FirstAction(effect));
            e->accept();
            return true;
        }
        case QEvent::DragMove: {
            auto* e = static_cast<QDragMoveEvent*>(ev);
            uint32_t effect = 0;
            TPoint at{e->position().toPoint().x(), e->position().toPoint().y()};
            Guarded([&] {
                if (FEvents.DragOver) effect = FEvents.DragOver(KeyState(e->buttons(), e->modifiers()), at, Allowed(e));
            });
            Answer(e, effect);
            return true;
        }
        case QEvent::DragLeave:
            Guarded([&] {
                if (FEvents.DragLeave) FEvents.DragLeave();
            });
            return true;
        case QEvent::Drop: {
            auto* e = static_cast<QDropEvent*>(ev);
            uint32_t effect = 0;
            TPoint at{e->position().toPoint().x(), e->position().toPoint().y()};
            Guarded([&] {
                if (FEvents.Drop)
                    effect = FEvents.Drop(FromMime(e->mimeData()), KeyState(e->buttons(), e->modifiers()), at, Allowed(e));
            });
            Answer(e, effect);
            return true;
        }
        default: return false;
        }
    }
};

const char* const FilterName = "mv-drop-target";

} // namespace

void SetClipboardBlocks(const TMimeBlocks& blocks) { QApplication::clipboard()->setMimeData(ToMime(blocks)); }

TMimeBlocks ClipboardBlocks() { return FromMime(QApplication::clipboard()->mimeData()); }

void ClearClipboard() { QApplication::clipboard()->clear(); }

bool ClipboardHasFormat(const std::string& mimeType) {
    const QMimeData* d = QApplication::clipboard()->mimeData();
    return d && d->hasFormat(ToQ(mimeType));
}

namespace {
TDragHook& DragHook() {
    static TDragHook hook;
    return hook;
}
} // namespace

TDragHook SetDragHook(TDragHook hook) {
    TDragHook old = std::move(DragHook());
    DragHook() = std::move(hook);
    return old;
}

uint32_t ExecDrag(TControl& source, const TMimeBlocks& blocks, uint32_t allowedEffects) {
    if (DragHook()) return DragHook()(source, blocks, allowedEffects);
    if (!source.Widget() || !allowedEffects) return 0;
    auto* drag = new QDrag(source.Widget());
    drag->setMimeData(ToMime(blocks));
    return FromAction(drag->exec(ToActions(allowedEffects), FirstAction(allowedEffects & 1 ? 1 : allowedEffects)));
}

namespace {
// The widget drags arrive at: the viewport of a scrolling view (its points are those of
// the view's rows), else the control's widget.
QWidget* DropReceiver(TControl& target) {
    QWidget* w = target.Widget();
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) return area->viewport();
    return w;
}
} // namespace

void RegisterDragDrop(TControl& target, TDropTargetEvents events) {
    QWidget* w = DropReceiver(target);
    if (!w) return;
    RevokeDragDrop(target);
    auto* filter = new TDropFilter(w, std::move(events));
    filter->setObjectName(FilterName);
    w->installEventFilter(filter);
    w->setAcceptDrops(true);
}

void RevokeDragDrop(TControl& target) {
    QWidget* w = DropReceiver(target);
    if (!w) return;
    for (QObject* child : w->children())
        if (child->objectName() == FilterName) {
            w->removeEventFilter(child);
            delete child;
            break;
        }
    w->setAcceptDrops(false);
}

} // namespace mv
