#include "tests/app/operations/PumpHook.h"

#include "archive/framework/ZipCommon.h"

namespace mv::testpump {
void Install(std::function<void()> pump) {
    SetProcessMessagesHook(std::move(pump));
}
} // namespace mv::testpump
