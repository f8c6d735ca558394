// Another X client for window tests: a connection of its own to the test's
// X server, with a focused window of its own, XTest key presses, and the
// close request a window manager would send.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace quibo::test {

struct KeyPress {
  xcb_keycode_t keycode;
  std::uint16_t state;
};

class X11Client {
 public:
  X11Client();  // connects to $DISPLAY
  ~X11Client();
  X11Client(const X11Client&) = delete;
  X11Client& operator=(const X11Client&) = delete;

  [[nodiscard]] bool Connected() const { return connection_ != nullptr; }
  [[nodiscard]] xcb_connection_t* Connection() const { return connection_; }
  [[nodiscard]] xcb_window_t Root() const { return root_; }

  // Creates and maps a window that reports key presses, waits until it is
  // viewable and gives it the keyboard focus.
  xcb_window_t CreateFocusedWindow();

  // Presses and releases `keysym` through XTest, with `held` keys pressed
  // around it, then waits until the server has handled it all.
  void Type(xcb_keysym_t keysym, const std::vector<xcb_keysym_t>& held = {});

  // The next key press on this client's window, waiting for it up to a
  // generous deadline; nothing when none comes.
  [[nodiscard]] std::optional<KeyPress> NextKeyPress();

  // Key presses already delivered to this client (after a round trip to
  // the server), taken off its queue.
  [[nodiscard]] std::vector<KeyPress> DeliveredKeyPresses();

  // Waits until no other client holds a grab of `keysym` without modifiers
  // on the root window (a test program that just ended may still hold one
  // until the server has seen it go); false when one is still held at a
  // generous deadline.
  [[nodiscard]] bool WaitUntilKeyIsFree(xcb_keysym_t keysym);

  // Asks `window` to close, as a window manager's close box does.
  void RequestClose(xcb_window_t window);

 private:
  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
  std::vector<xcb_window_t> windows_;
};

}  // namespace quibo::test
