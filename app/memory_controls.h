// An in-memory stand-in for the control operations of controls.h, so the
// chat routines run without a display. Every operation takes one lock, as the
// UI thread carries out one operation at a time. Threads started through
// StartThread are real threads, joined by JoinStartedThreads.
#pragma once

#include <functional>
#include <vector>

#include "app/controls.h"
#include "text/types.h"

namespace quibo::memory {

struct MessageBoxShown {
  Text text;
  Text caption;
};

struct HotkeyRegistration {
  WindowId window;
  WindowId target;
  int modifiers;
  int key;
};

// Every box empty, every control in its start-up visibility, nothing
// recorded, threads available and started at once. Joins leftover threads.
void ResetControls();

// False: StartThread fails as when the system cannot create a thread.
void SetThreadsAvailable(bool available);

// True: started threads wait at their start until ReleaseHeldThreads, as
// workers wait while the UI thread is busy with an event handler.
void SetHoldThreads(bool hold);
void ReleaseHeldThreads();

// Waits until every thread started so far has ended.
void JoinStartedThreads();

// Blocks until `condition` holds, testing it again after every change of
// the controls, or until a generous deadline passes; returns whether it holds.
[[nodiscard]] bool WaitUntil(const std::function<bool()>& condition);

// The state, each read under the lock.
[[nodiscard]] Text TextOf(Control box);
[[nodiscard]] bool IsVisible(Control control);
[[nodiscard]] int BusyCount();
[[nodiscard]] int ThreadsStarted();
[[nodiscard]] std::vector<MessageBoxShown> MessageBoxesShown();
[[nodiscard]] std::vector<HotkeyRegistration> HotkeyRegistrations();
// The schemes passed to EnableControlSkin, in order.
[[nodiscard]] std::vector<int> SkinSchemes();

}  // namespace quibo::memory
