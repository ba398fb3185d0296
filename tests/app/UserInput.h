#pragma once
// Input as the user gives it to a form under test: on the real widget, so that the
// control's own handlers run as they do on screen.
#include "platform/ui/Control.h"

#include <QAbstractButton>
#include <gtest/gtest.h>

namespace mvtest {

// Clicks a button, check box or radio button: the real widget is pressed.
inline void UserClick(mv::TControl* control) {
    auto* button = qobject_cast<QAbstractButton*>(control->Widget());
    ASSERT_NE(button, nullptr) << control->Name();
    button->click();
}

} // namespace mvtest
