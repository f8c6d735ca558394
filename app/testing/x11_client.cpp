#include "app/testing/x11_client.h"

#include <poll.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/platform/x11_keys.h"

namespace quibo::test {
namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
using Event = std::unique_ptr<xcb_generic_event_t, FreeDeleter>;

constexpr auto kPatience = std::chrono::seconds(30);

xcb_atom_t Atom(xcb_connection_t* c, const std::string& name) {
  std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The next event, waiting up to the deadline.
Event WaitForEvent(xcb_connection_t* c, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    if (Event event{xcb_poll_for_event(c)}) return event;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || xcb_connection_has_error(c)) return nullptr;
    pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left.count()));
  }
}

void RoundTrip(xcb_connection_t* c) {
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

}  // namespace

X11Client::X11Client() {
  int screenNumber = 0;
  connection_ = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(connection_)) {
    xcb_disconnect(connection_);
    connection_ = nullptr;
    return;
  }
  xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  root_ = screens.data->root;
}

X11Client::~X11Client() {
  if (connection_ == nullptr) return;
  for (xcb_window_t window : windows_) xcb_destroy_window(connection_, window);
  xcb_disconnect(connection_);
}

xcb_window_t X11Client::CreateFocusedWindow() {
  const xcb_window_t window = xcb_generate_id(connection_);
  const std::uint32_t events[] = {XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, 0, 0, 200, 100, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, events);
  xcb_map_window(connection_, window);
  xcb_flush(connection_);
  windows_.push_back(window);
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (Event event = WaitForEvent(connection_, deadline)) {
    if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) break;
  }
  xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
  RoundTrip(connection_);
  return window;
}

void X11Client::Type(xcb_keysym_t keysym, const std::vector<xcb_keysym_t>& held) {
  const auto keycodeOf = [this](xcb_keysym_t sym) -> xcb_keycode_t {
    const auto codes = x11::KeycodesFor(connection_, sym);
    return codes.empty() ? 0 : codes.front();
  };
  const auto fake = [this](std::uint8_t type, xcb_keycode_t keycode) {
    xcb_test_fake_input(connection_, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  };
  for (xcb_keysym_t sym : held) fake(XCB_KEY_PRESS, keycodeOf(sym));
  fake(XCB_KEY_PRESS, keycodeOf(keysym));
  fake(XCB_KEY_RELEASE, keycodeOf(keysym));
  for (auto it = held.rbegin(); it != held.rend(); ++it) fake(XCB_KEY_RELEASE, keycodeOf(*it));
  RoundTrip(connection_);
}

std::optional<KeyPress> X11Client::NextKeyPress() {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (Event event = WaitForEvent(connection_, deadline)) {
    if ((event->response_type & 0x7F) == XCB_KEY_PRESS) {
      const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
      return KeyPress{key->detail, key->state};
    }
  }
  return std::nullopt;
}

std::vector<KeyPress> X11Client::DeliveredKeyPresses() {
  RoundTrip(connection_);
  std::vector<KeyPress> presses;
  while (Event event{xcb_poll_for_event(connection_)}) {
    if ((event->response_type & 0x7F) == XCB_KEY_PRESS) {
      const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
      presses.push_back({key->detail, key->state});
    }
  }
  return presses;
}

bool X11Client::WaitUntilKeyIsFree(xcb_keysym_t keysym) {
  const auto keycodes = x11::KeycodesFor(connection_, keysym);
  const auto modifiers = x11::LockVariants(0, x11::NumLockMask(connection_));
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  for (;;) {
    const auto grabs = x11::GrabKeys(connection_, root_, keycodes, modifiers);
    if (!grabs.empty()) {
      x11::UngrabKeys(connection_, root_, grabs);
      RoundTrip(connection_);
      return true;
    }
    if (std::chrono::steady_clock::now() > deadline) return false;
    // Let the server get on with closing the old connection.
    pollfd none{-1, 0, 0};
    poll(&none, 0, 10);
  }
}

void X11Client::RequestClose(xcb_window_t window) {
  xcb_client_message_event_t message;
  std::memset(&message, 0, sizeof message);
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = Atom(connection_, "WM_PROTOCOLS");
  message.data.data32[0] = Atom(connection_, "WM_DELETE_WINDOW");
  message.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection_);
}

}  // namespace quibo::test
