// The system-wide hotkey on X11: a passive grab on the root window whose
// presses are routed to the notification target of RegisterHotkeyNotify.
#pragma once

namespace quibo {

// Delivers the hotkey `id` as the window procedure would: while the
// empty-input message box is open the press closes it, as its OK button
// would, and starts nothing; otherwise the notification target raises its
// notification event (id, 0) from the event loop. UI thread only.
void DeliverHotkey(int id);

}  // namespace quibo
