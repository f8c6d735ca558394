// The application object for window tests, and waiting for the window.
#pragma once

#include <functional>

class QWidget;

namespace quibo::test {

// Creates the QApplication for this test program on the X server of
// $DISPLAY (the xcb platform) before the first test and destroys it after
// the last. Linking qt_app.cpp is enough.

// Runs the event loop until `condition` holds or a generous deadline passes;
// returns whether it holds.
[[nodiscard]] bool ProcessEventsUntil(const std::function<bool()>& condition);

// Shows `window`, waits until the X server has mapped it, gives it the
// focus (no window manager does it under Xvfb) and waits until it is active.
[[nodiscard]] bool ShowAndActivate(QWidget& window);

}  // namespace quibo::test
