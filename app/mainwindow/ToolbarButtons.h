#pragma once
// The flat buttons of the main window's toolbars and of its explorer pane.
#include <string>

namespace mv {

class TDockToolbar;
class TForm;
class TSpeedButton;

// A flat button named `name`, owned by the window and put on the toolbar, with its
// caption and hint ("&" taken out), `minWidth` wide or as wide as its caption needs
// when that is more: a longer translation is never cut.
TSpeedButton* AddToolbarButton(TForm& window, TDockToolbar* bar, const char* name, const std::string& caption,
                               const std::string& hint, int minWidth);

} // namespace mv
