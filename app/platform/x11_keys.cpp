#include "app/platform/x11_keys.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace quibo::x11 {
namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

constexpr std::uint16_t kLockMask = XCB_MOD_MASK_LOCK;
constexpr std::uint16_t kModifierBits = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_LOCK |
                                        XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_2 |
                                        XCB_MOD_MASK_3 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5;

}  // namespace

std::vector<xcb_keycode_t> KeycodesFor(xcb_connection_t* connection, xcb_keysym_t keysym) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const int first = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  Reply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
      connection,
      xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count)),
      nullptr));
  std::vector<xcb_keycode_t> keycodes;
  if (!mapping || mapping->keysyms_per_keycode == 0) return keycodes;
  const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
  const int perKeycode = mapping->keysyms_per_keycode;
  const int total = xcb_get_keyboard_mapping_keysyms_length(mapping.get());
  for (int i = 0; i < count && (i + 1) * perKeycode <= total; ++i) {
    const xcb_keysym_t* row = keysyms + i * perKeycode;
    if (std::find(row, row + perKeycode, keysym) != row + perKeycode) {
      keycodes.push_back(static_cast<xcb_keycode_t>(first + i));
    }
  }
  return keycodes;
}

std::uint16_t NumLockMask(xcb_connection_t* connection) {
  const std::vector<xcb_keycode_t> numLockKeys = KeycodesFor(connection, kKeysymNumLock);
  if (numLockKeys.empty()) return 0;
  Reply<xcb_get_modifier_mapping_reply_t> map(
      xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
  if (!map) return 0;
  const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(map.get());
  const int perModifier = map->keycodes_per_modifier;
  for (int modifier = 0; modifier < 8; ++modifier) {
    for (int k = 0; k < perModifier; ++k) {
      const xcb_keycode_t keycode = keycodes[modifier * perModifier + k];
      if (keycode != 0 &&
          std::find(numLockKeys.begin(), numLockKeys.end(), keycode) != numLockKeys.end()) {
        return static_cast<std::uint16_t>(1u << modifier);
      }
    }
  }
  return 0;
}

std::vector<std::uint16_t> LockVariants(std::uint16_t modifiers, std::uint16_t numLock) {
  std::vector<std::uint16_t> variants;
  for (std::uint16_t extra :
       {std::uint16_t{0}, kLockMask, numLock, static_cast<std::uint16_t>(kLockMask | numLock)}) {
    const auto set = static_cast<std::uint16_t>(modifiers | extra);
    if (std::find(variants.begin(), variants.end(), set) == variants.end()) {
      variants.push_back(set);
    }
  }
  return variants;
}

std::vector<KeyGrab> GrabKeys(xcb_connection_t* connection, xcb_window_t root,
                              const std::vector<xcb_keycode_t>& keycodes,
                              const std::vector<std::uint16_t>& modifierSets) {
  std::vector<KeyGrab> grabs;
  std::vector<xcb_void_cookie_t> cookies;
  for (xcb_keycode_t keycode : keycodes) {
    for (std::uint16_t modifiers : modifierSets) {
      grabs.push_back({keycode, modifiers});
      cookies.push_back(xcb_grab_key_checked(connection, 0, root, modifiers, keycode,
                                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
  }
  // Errors of X requests arrive later, so each grab's outcome is fetched here.
  bool refused = false;
  for (xcb_void_cookie_t cookie : cookies) {
    Reply<xcb_generic_error_t> error(xcb_request_check(connection, cookie));
    if (error) refused = true;
  }
  if (refused) {
    // Releasing a grab held by another client does nothing, so all may go.
    UngrabKeys(connection, root, grabs);
    return {};
  }
  return grabs;
}

void UngrabKeys(xcb_connection_t* connection, xcb_window_t root,
                const std::vector<KeyGrab>& grabs) {
  for (const KeyGrab& grab : grabs) {
    xcb_ungrab_key(connection, grab.keycode, root, grab.modifiers);
  }
  xcb_flush(connection);
}

std::uint16_t SignificantModifiers(std::uint16_t state, std::uint16_t numLock) {
  return static_cast<std::uint16_t>(state & kModifierBits & ~(kLockMask | numLock));
}

}  // namespace quibo::x11
