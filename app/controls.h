// The control and platform operations through which the chat routines reach
// the window. Two implementations exist: the Qt/X11 one (app/platform/) that
// the program links, and an in-memory one (app/memory_controls.h) that lets
// the exchange run without a display.
//
// Text crosses this boundary as GBK (GB18030) bytes with "\r\n" as the line
// break. GetText, TakeText, SetText, SetVisible, AppendText and
// ChangeBusyCount may be called from any thread: a call from a worker is
// carried out on the UI thread, one call at a time, and returns only when it
// is done.
#pragma once

#include <cstdint>

#include "text/types.h"

namespace quibo {

// The window and its six controls, in stacking order (the first on top).
enum class Control {
  图片框1,     // the busy picture
  编辑框转接,  // the hidden relay box: holds the message being sent
  标签1,       // hidden; receives the Enter hotkey's notification
  编辑框显示,  // the read-only transcript
  编辑框输入,  // the user's input
  按钮1,       // the button "send"
  ChatWindow,  // the window itself
};

// A native window handle (an X11 window id); 0 means none.
using WindowId = std::uintptr_t;

// The current text of an edit box. GetText(Control::编辑框输入) == "hi".
[[nodiscard]] Text GetText(Control box);

// The text of an edit box, which is left empty, in one step: two callers
// racing for the same box never both get its text.
[[nodiscard]] Text TakeText(Control box);

// Replaces the text of an edit box.
void SetText(Control box, const Text& text);

// Shows or hides a control.
void SetVisible(Control control, bool visible);

// Inserts `text` after the box's current text and scrolls it into view; not
// undoable. AppendText(box, "\r\nhi\r\n") adds exactly those bytes to GetText(box).
void AppendText(Control box, const Text& text);

// Adds `change` (+1 when an exchange starts showing the picture, -1 when it
// ends) to the count of exchanges that show the picture; the picture is
// visible exactly while the count is above 0. Returns the new count.
int ChangeBusyCount(Control picture, int change);

// The native handle of the window or a control; 0 when it has none.
[[nodiscard]] WindowId WindowHandle(Control control);

// A message box with `text`, `caption` and one OK button, no icon, modal for
// the whole application; returns when it is dismissed. While one is open no
// second one opens.
void ShowMessageBox(const Text& text, const Text& caption);

// Runs `routine` on a new thread that nothing waits for. False when no thread
// could be created; then nothing else has happened.
[[nodiscard]] bool StartThread(void (*routine)());

// Registers `key` (13: Enter) with `modifiers` (0: none) as a system-wide
// hotkey of `window`; its presses raise the notification event of `target`.
// Returns the hotkey's id (33001 for the first registration), or 0 when the
// platform refuses.
int RegisterHotkeyNotify(WindowId window, WindowId target, int modifiers, int key);

// Puts a flat skin in colour scheme 1, 2 or 3 over the current and future
// standard controls of the UI thread, replacing a skin already in place.
void EnableControlSkin(int scheme);

}  // namespace quibo
