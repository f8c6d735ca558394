// The chat routines: what happens when the window is created, when a send is
// asked for, and the exchange of one message with the chat service. They
// reach the window only through the control operations of controls.h.
#pragma once

#include "text/types.h"

namespace quibo {

// host[:port] of the chat service, fixed when the program is built. The
// program links the build-time value (chat_service_host.cpp); tests link a
// host of their own choosing.
[[nodiscard]] Text ChatServiceHost();

// "http://" + ChatServiceHost() + "/ajax.php".
[[nodiscard]] Text ChatServiceUrl();

// On the UI thread, once the window and its controls exist and before it is
// shown: the control skin (scheme 2) and Enter as the system-wide send key,
// notified to 标签1. A refused hotkey leaves the button as the only way to send.
void OnWindowCreated();

// On the UI thread, for the button's click and for the Enter hotkey: an empty
// input box gets the message box "说点什么吧！" (caption "提示"); any other
// input starts RunChatExchange on a worker thread.
void OnSendRequested();

// A worker thread's body: takes the input box's text (an exchange that finds
// the box already emptied by another ends at once), shows it in the
// transcript, posts it to the chat service and appends the decoded reply,
// with the busy picture shown meanwhile.
void RunChatExchange();

}  // namespace quibo
