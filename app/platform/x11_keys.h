// Key grabs on an X11 root window through xcb, for the system-wide hotkey.
// Knows nothing of Qt: the tests use it as another X client would.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

namespace quibo::x11 {

inline constexpr xcb_keysym_t kKeysymReturn = 0xFF0D;
inline constexpr xcb_keysym_t kKeysymKeypadEnter = 0xFF8D;
inline constexpr xcb_keysym_t kKeysymNumLock = 0xFF7F;
inline constexpr xcb_keysym_t kKeysymControlLeft = 0xFFE3;
inline constexpr xcb_keysym_t kKeysymEscape = 0xFF1B;

// Every keycode whose mapping holds `keysym` in any column, in ascending order.
[[nodiscard]] std::vector<xcb_keycode_t> KeycodesFor(xcb_connection_t* connection,
                                                     xcb_keysym_t keysym);

// The modifier bit that Num Lock sets, read from the keyboard's modifier
// map; 0 when Num Lock is on no modifier.
[[nodiscard]] std::uint16_t NumLockMask(xcb_connection_t* connection);

// The modifier sets to grab so that `modifiers` match whatever the state of
// Caps Lock and Num Lock: {m, m|Lock, m|NumLock, m|Lock|NumLock}, without repeats.
[[nodiscard]] std::vector<std::uint16_t> LockVariants(std::uint16_t modifiers,
                                                      std::uint16_t numLock);

struct KeyGrab {
  xcb_keycode_t keycode;
  std::uint16_t modifiers;
};

// Passive grabs of every keycode under every modifier set on `root`, pointer
// and keyboard left running. Each grab is a checked request: when the server
// refuses one (another client holds it) the grabs made so far are released
// and the result is empty.
[[nodiscard]] std::vector<KeyGrab> GrabKeys(xcb_connection_t* connection, xcb_window_t root,
                                            const std::vector<xcb_keycode_t>& keycodes,
                                            const std::vector<std::uint16_t>& modifierSets);

void UngrabKeys(xcb_connection_t* connection, xcb_window_t root, const std::vector<KeyGrab>& grabs);

// The modifier bits that decide whether a key press matches a grab: Shift,
// Control and Mod1..Mod5, without Caps Lock and Num Lock.
[[nodiscard]] std::uint16_t SignificantModifiers(std::uint16_t state, std::uint16_t numLock);

}  // namespace quibo::x11
