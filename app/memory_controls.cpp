#include "app/memory_controls.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace quibo {
namespace {

constexpr std::size_t kControls = static_cast<std::size_t>(Control::ChatWindow) + 1;
constexpr auto kPatience = std::chrono::seconds(60);

std::size_t Slot(Control control) {
  return static_cast<std::size_t>(control);
}

// The stand-in's window: one instance per test process, as a real program
// has one window.
struct Controls {
  std::mutex lock;
  std::condition_variable changed;
  std::uint64_t version = 0;
  std::array<Text, kControls> texts;
  std::array<bool, kControls> visible{};
  int busy = 0;
  std::vector<memory::MessageBoxShown> boxes;
  std::vector<memory::HotkeyRegistration> hotkeys;
  std::vector<int> skins;
  int hotkeyCounter = 0;
  int started = 0;
  bool threadsAvailable = true;
  bool holdThreads = false;
  std::vector<std::thread> threads;
};

Controls& State() {
  static Controls controls;
  return controls;
}

void StartUpVisibility(Controls& c) {
  c.visible.fill(false);
  c.visible[Slot(Control::编辑框显示)] = true;
  c.visible[Slot(Control::编辑框输入)] = true;
  c.visible[Slot(Control::按钮1)] = true;
  c.visible[Slot(Control::ChatWindow)] = true;
}

// Runs `change` under the lock and wakes every WaitUntil.
template <typename F>
auto Change(F change) {
  Controls& c = State();
  std::unique_lock guard(c.lock);
  ++c.version;
  c.changed.notify_all();
  return change(c);
}

template <typename F>
auto Read(F read) {
  Controls& c = State();
  std::lock_guard guard(c.lock);
  return read(c);
}

}  // namespace

Text GetText(Control box) {
  return Read([&](Controls& c) { return c.texts[Slot(box)]; });
}

Text TakeText(Control box) {
  return Change([&](Controls& c) { return std::exchange(c.texts[Slot(box)], Text()); });
}

void SetText(Control box, const Text& text) {
  Change([&](Controls& c) { c.texts[Slot(box)] = text; });
}

void SetVisible(Control control, bool visible) {
  Change([&](Controls& c) { c.visible[Slot(control)] = visible; });
}

void AppendText(Control box, const Text& text) {
  Change([&](Controls& c) { c.texts[Slot(box)] += text; });
}

int ChangeBusyCount(Control picture, int change) {
  return Change([&](Controls& c) {
    c.busy += change;
    c.visible[Slot(picture)] = c.busy > 0;
    return c.busy;
  });
}

WindowId WindowHandle(Control control) {
  return 0x100 + Slot(control);
}

void ShowMessageBox(const Text& text, const Text& caption) {
  Change([&](Controls& c) { c.boxes.push_back({text, caption}); });
}

bool StartThread(void (*routine)()) {
  Controls& c = State();
  std::lock_guard guard(c.lock);
  if (!c.threadsAvailable) return false;
  const bool hold = c.holdThreads;
  try {
    c.threads.emplace_back([routine, hold] {
      if (hold) {
        Controls& s = State();
        std::unique_lock wait(s.lock);
        s.changed.wait(wait, [&] { return !s.holdThreads; });
      }
      routine();
    });
  } catch (const std::system_error&) {
    return false;
  }
  ++c.started;
  ++c.version;
  c.changed.notify_all();
  return true;
}

int RegisterHotkeyNotify(WindowId window, WindowId target, int modifiers, int key) {
  return Change([&](Controls& c) {
    c.hotkeys.push_back({window, target, modifiers, key});
    ++c.hotkeyCounter;
    return 33000 + c.hotkeyCounter;
  });
}

void EnableControlSkin(int scheme) {
  Change([&](Controls& c) { c.skins.push_back(scheme); });
}

namespace memory {

void ResetControls() {
  ReleaseHeldThreads();
  JoinStartedThreads();
  Change([](Controls& c) {
    c.texts.fill(Text());
    StartUpVisibility(c);
    c.busy = 0;
    c.boxes.clear();
    c.hotkeys.clear();
    c.skins.clear();
    c.hotkeyCounter = 0;
    c.started = 0;
    c.threadsAvailable = true;
    c.holdThreads = false;
  });
}

void SetThreadsAvailable(bool available) {
  Change([&](Controls& c) { c.threadsAvailable = available; });
}

void SetHoldThreads(bool hold) {
  Change([&](Controls& c) { c.holdThreads = hold; });
}

void ReleaseHeldThreads() {
  SetHoldThreads(false);
}

void JoinStartedThreads() {
  std::vector<std::thread> threads;
  Change([&](Controls& c) { threads.swap(c.threads); });
  for (std::thread& t : threads) t.join();
}

bool WaitUntil(const std::function<bool()>& condition) {
  Controls& c = State();
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  for (;;) {
    std::uint64_t seen = 0;
    {
      std::lock_guard guard(c.lock);
      seen = c.version;
    }
    if (condition()) return true;
    std::unique_lock wait(c.lock);
    if (!c.changed.wait_until(wait, deadline, [&] { return c.version != seen; })) {
      wait.unlock();
      return condition();
    }
  }
}

Text TextOf(Control box) {
  return GetText(box);
}
bool IsVisible(Control control) {
  return Read([&](Controls& c) { return c.visible[Slot(control)]; });
}
int BusyCount() {
  return Read([](Controls& c) { return c.busy; });
}
int ThreadsStarted() {
  return Read([](Controls& c) { return c.started; });
}
std::vector<MessageBoxShown> MessageBoxesShown() {
  return Read([](Controls& c) { return c.boxes; });
}
std::vector<HotkeyRegistration> HotkeyRegistrations() {
  return Read([](Controls& c) { return c.hotkeys; });
}
std::vector<int> SkinSchemes() {
  return Read([](Controls& c) { return c.skins; });
}

}  // namespace memory
}  // namespace quibo
