#pragma once
// The tree view does not own the item delegate it gives its window, so every tree's
// delegate outlives it: a small leak per form, which the leak checker reports in any
// test that shows a second form with a tree. Until the tree view owns its delegate,
// the dialog tests hand each item view's delegate to that view when it is shown.
#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>

namespace mvtest {

class DelegateOwner : public QObject {
public:
    DelegateOwner() { QApplication::instance()->installEventFilter(this); }
    ~DelegateOwner() override { QApplication::instance()->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            if (auto* view = qobject_cast<QAbstractItemView*>(watched))
                if (QAbstractItemDelegate* delegate = view->itemDelegate(); delegate && !delegate->parent())
                    delegate->setParent(view);
        return false;
    }
};

} // namespace mvtest
