// Start-up and the end of the program.
#pragma once

#include "app/platform/chat_window.h"

namespace quibo {

// Creates the application and ChatWindow (its created event runs), shows the
// window centred, calls `shown` (when given) and runs the event loop until
// the window is closed. Then the process ends at once with the loop's exit
// code (0): exchanges still running, parked in a request or waiting for the
// UI thread, end with it and never touch a destroyed control.
// Selects the xcb platform when none is chosen, so the Enter hotkey works
// under XWayland as far as it allows.
[[noreturn]] void RunChatProgram(int argc, char** argv, ChatEvents events,
                                 void (*shown)() = nullptr);

}  // namespace quibo
