// RegisterHotkeyNotify on X11: a passive grab of the key on the root window
// of Qt's own xcb connection, and a native event filter that turns the
// grabbed presses into notifications of the target control.
#include "app/platform/hotkey.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QWidget>
#include <memory>
#include <vector>

#include "app/controls.h"
#include "app/platform/chat_window.h"
#include "app/platform/message_box.h"
#include "app/platform/ui_thread.h"
#include "app/platform/x11_keys.h"

namespace quibo {
namespace {

// Modifier flags of RegisterHotkeyNotify, as the callers know them.
constexpr int kModifierAlt = 0x1;
constexpr int kModifierControl = 0x2;
constexpr int kModifierShift = 0x4;
constexpr int kModifierWin = 0x8;
constexpr int kFirstHotkeyId = 33000;

struct Hotkey {
  int id;
  std::vector<x11::KeyGrab> grabs;
  std::uint16_t modifiers;  // X modifier bits that must be down, locks aside
};

class HotkeyFilter : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override;
};

// The hotkeys of the program, as the window procedure of the design keeps
// them: a counter of ids given out, one notification target for all, and
// the grabs that make up each registration. UI thread only.
struct Hotkeys {
  int counter = 0;
  int lastId = 0;
  WindowId target = 0;
  xcb_window_t root = 0;
  std::uint16_t numLock = 0;
  std::vector<Hotkey> registered;
  std::unique_ptr<HotkeyFilter> filter;
};

Hotkeys& TheHotkeys() {
  static Hotkeys hotkeys;
  return hotkeys;
}

xcb_connection_t* QtConnection() {
  auto* x11 =
      qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 != nullptr ? x11->connection() : nullptr;
}

std::uint16_t XModifiers(int modifiers) {
  std::uint16_t bits = 0;
  if (modifiers & kModifierAlt) bits |= XCB_MOD_MASK_1;
  if (modifiers & kModifierControl) bits |= XCB_MOD_MASK_CONTROL;
  if (modifiers & kModifierShift) bits |= XCB_MOD_MASK_SHIFT;
  if (modifiers & kModifierWin) bits |= XCB_MOD_MASK_4;
  return bits;
}

// The keysyms a virtual-key code stands for; Enter is both Return and the
// keypad's Enter. Empty for keys this program has no use for.
std::vector<xcb_keysym_t> KeysymsOf(int key) {
  if (key == 13) return {x11::kKeysymReturn, x11::kKeysymKeypadEnter};
  if (key == 27) return {x11::kKeysymEscape};
  if ((key >= '0' && key <= '9')) return {static_cast<xcb_keysym_t>(key)};
  if (key >= 'A' && key <= 'Z') return {static_cast<xcb_keysym_t>(key - 'A' + 'a')};
  if (key >= 0x70 && key <= 0x87) return {static_cast<xcb_keysym_t>(0xFFBE + (key - 0x70))};
  return {};
}

bool HotkeyFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  const std::uint8_t type = event->response_type & 0x7F;
  if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
  const auto* key = static_cast<const xcb_key_press_event_t*>(message);
  Hotkeys& hotkeys = TheHotkeys();
  if (key->event != hotkeys.root) return false;
  const std::uint16_t held = x11::SignificantModifiers(key->state, hotkeys.numLock);
  for (const Hotkey& hotkey : hotkeys.registered) {
    for (const x11::KeyGrab& grab : hotkey.grabs) {
      if (grab.keycode == key->detail && held == hotkey.modifiers) {
        if (type == XCB_KEY_PRESS) DeliverHotkey(hotkey.id);
        return true;  // the key reaches no window
      }
    }
  }
  return false;
}

}  // namespace

void DeliverHotkey(int id) {
  Hotkeys& hotkeys = TheHotkeys();
  if (id <= kFirstHotkeyId || id > hotkeys.lastId) return;
  if (CloseOpenMessageBox()) return;
  // Raised from the event loop rather than inside the X event's handling,
  // since the handler may open a modal message box.
  QWidget* target = QWidget::find(static_cast<WId>(hotkeys.target));
  if (auto* label = dynamic_cast<NotifyLabel*>(target)) {
    QPointer<NotifyLabel> guarded(label);
    QMetaObject::invokeMethod(
        label,
        [guarded, id] {
          if (guarded) guarded->Notify(id, 0);
        },
        Qt::QueuedConnection);
  }
}

int RegisterHotkeyNotify(WindowId window, WindowId target, int modifiers, int key) {
  (void)window;  // the grab is on the root window: the key is taken system-wide
  return OnUiThread([target, modifiers, key] {
    Hotkeys& hotkeys = TheHotkeys();
    hotkeys.target = target;
    const int id = kFirstHotkeyId + ++hotkeys.counter;
    hotkeys.lastId = id;
    xcb_connection_t* connection = QtConnection();
    if (connection == nullptr) return 0;  // not X11: the button alone sends
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (screen == nullptr) return 0;
    std::vector<xcb_keycode_t> keycodes;
    for (xcb_keysym_t keysym : KeysymsOf(key)) {
      for (xcb_keycode_t keycode : x11::KeycodesFor(connection, keysym)) {
        keycodes.push_back(keycode);
      }
    }
    if (keycodes.empty()) return 0;
    hotkeys.root = screen->root;
    hotkeys.numLock = x11::NumLockMask(connection);
    const std::uint16_t wanted = XModifiers(modifiers);
    std::vector<x11::KeyGrab> grabs = x11::GrabKeys(connection, hotkeys.root, keycodes,
                                                    x11::LockVariants(wanted, hotkeys.numLock));
    if (grabs.empty()) return 0;
    hotkeys.registered.push_back({id, std::move(grabs), wanted});
    if (!hotkeys.filter) {
      hotkeys.filter = std::make_unique<HotkeyFilter>();
      QCoreApplication::instance()->installNativeEventFilter(hotkeys.filter.get());
    }
    return id;
  });
}

}  // namespace quibo
