#include "platform/ui/Timer.h"

#include "platform/ui/Form.h"
#include "platform/ui/QtBridge.h"

#include <QTimer>

namespace mv {

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    EnsureApplication();
    FTimer = new QTimer();
    QObject::connect(FTimer, &QTimer::timeout, FTimer, [this] { Guarded([this] { DoTimer(); }); });
    Update();
}

TTimer::~TTimer() {
    delete FTimer;
}

void TTimer::SetEnabled(bool value) {
    if (FEnabled == value) return;
    FEnabled = value;
    Update();
}

void TTimer::SetInterval(int value) {
    if (FInterval == value) return;
    FInterval = value;
    Update();
}

void TTimer::Update() {
    FTimer->stop();
    // No timer runs without a handler or with a zero interval.
    if (FEnabled && FInterval > 0) FTimer->start(FInterval);
}

void TTimer::DoTimer() {
    if (OnTimer) OnTimer(this);
}

} // namespace mv
