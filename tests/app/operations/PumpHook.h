#pragma once
// Installs the engines' message pump from a test that cannot see the engines' headers.
#include <functional>

namespace mv::testpump {
void Install(std::function<void()> pump);
}
