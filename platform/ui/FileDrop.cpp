#include "platform/ui/FileDrop.h"

#include "platform/ui/QtBridge.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QUrl>
#include <QWidget>

namespace mv {

namespace {

std::vector<std::string> LocalFiles(const QMimeData* data) {
    std::vector<std::string> files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) files.push_back(FromQ(url.toLocalFile()));
    return files;
}

// The widget that really receives drops: the viewport of a scrolling view.
QWidget* DropWidget(QWidget* widget) {
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) return area->viewport();
    return widget;
}

} // namespace

struct TFileDropSite::Impl : public QObject {
    QPointer<QWidget> Widget;   // the control's widget
    QPointer<QWidget> Receiver; // where drops arrive
    TFilesDroppedHandler Handler;
    bool* Accept = nullptr;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != Receiver) return false;
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (*Accept && !LocalFiles(drag->mimeData()).empty()) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            std::vector<std::string> files = LocalFiles(drop->mimeData());
            if (!*Accept || files.empty()) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            const QPoint at = Receiver->mapTo(Widget->window(), drop->position().toPoint());
            const QPoint local = Widget->mapFrom(Widget->window(), at);
            const bool inside = Widget->rect().contains(local);
            Guarded([&] { Handler(files, TPoint{local.x(), local.y()}, inside); });
            return true;
        }
        default:
            return false;
        }
    }
};

TFileDropSite::TFileDropSite(TControl& control, TFilesDroppedHandler handler)
    : FImpl(std::make_unique<Impl>()) {
    FImpl->Widget = control.Widget();
    FImpl->Receiver = DropWidget(control.Widget());
    FImpl->Handler = std::move(handler);
    FImpl->Accept = &FAccept;
    if (FImpl->Receiver) FImpl->Receiver->installEventFilter(FImpl.get());
}

TFileDropSite::~TFileDropSite() {
    if (FImpl->Receiver) {
        FImpl->Receiver->removeEventFilter(FImpl.get());
        FImpl->Receiver->setAcceptDrops(false);
    }
}

void TFileDropSite::SetAccept(bool value) {
    FAccept = value;
    if (FImpl->Receiver) FImpl->Receiver->setAcceptDrops(value);
}

bool AcceptsDrops(const TControl& control) {
    QWidget* receiver = control.Widget() ? DropWidget(control.Widget()) : nullptr;
    return receiver && receiver->acceptDrops();
}

bool SimulateFileDrop(TControl& control, const std::vector<std::string>& names, const TPoint& at) {
    QWidget* receiver = control.Widget() ? DropWidget(control.Widget()) : nullptr;
    if (!receiver || !receiver->acceptDrops()) return false;
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& name : names) {
        const QString q = ToQ(name);
        urls.push_back(q.startsWith('/') ? QUrl::fromLocalFile(q) : QUrl(q));
    }
    data.setUrls(urls);
    const QPointF pos = receiver->mapFrom(control.Widget(), QPoint(at.X, at.Y));
    QDragEnterEvent enter(pos.toPoint(), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data,
                          Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(receiver, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(pos, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(receiver, &drop);
    return drop.isAccepted();
}

} // namespace mv
