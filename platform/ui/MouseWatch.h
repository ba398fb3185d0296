#pragma once
// The application's mouse watch: every mouse move anywhere in the program passes the
// watch before it is delivered. One handler at a time is in place; whoever puts one in
// keeps the one it replaced, calls it on, and puts it back when done.
#include "platform/ui/Graphics.h"

#include <functional>

namespace mv {

// Gets the mouse position in screen co-ordinates.
using TMouseWatchHandler = std::function<void(const TPoint& screen)>;

// Puts handler in place and returns the one it replaces (empty when none was).
TMouseWatchHandler SetMouseWatchHandler(TMouseWatchHandler handler);
const TMouseWatchHandler& MouseWatchHandler();
// The last mouse position the watch saw (screen co-ordinates).
TPoint LastMousePosition();
// Passes a mouse move through the watch as if the mouse had moved there.
void WatchMouseMove(const TPoint& screen);

} // namespace mv
