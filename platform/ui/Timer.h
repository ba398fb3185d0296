#pragma once
// A component that fires OnTimer every Interval milliseconds while enabled.
#include "platform/ui/Component.h"

#include <memory>

class QTimer;

namespace mv {

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    int Interval() const { return FInterval; }
    void SetInterval(int value);
    TNotifyEvent OnTimer;

protected:
    virtual void DoTimer();

private:
    void Update();
    QTimer* FTimer = nullptr;
    bool FEnabled = true;
    int FInterval = 1000;
};

} // namespace mv
