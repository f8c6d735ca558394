// Carrying out a piece of work on the UI thread for a worker thread.
#pragma once

#include <functional>
#include <future>
#include <type_traits>

namespace quibo {

// Makes the calling thread (the UI thread, which runs the event loop) the
// one that carries out OnUiThread's work. Called when a window is created;
// calling it again does nothing until the application object changes.
void StartUiThreadQueue();

// True on the thread that called StartUiThreadQueue.
[[nodiscard]] bool OnTheUiThread();

// Queues `task` for the UI thread; false when no UI thread takes work.
[[nodiscard]] bool PostToUiThread(std::function<void()> task);

// Runs `work` on the UI thread and returns its result. Called on the UI
// thread it runs at once; with no UI thread (no window) it does nothing
// and gives the empty result; called from a worker it is queued and the
// worker waits until it is done, so the UI thread carries out one such call
// at a time. A worker that calls after the event loop has ended waits for
// good: the program ends at once when its loop ends, taking such workers
// with it. The queue is a mutex and an eventfd rather than Qt's own posted
// events, so ThreadSanitizer sees every hand-over between the threads.
template <typename Work>
auto OnUiThread(Work work) -> std::invoke_result_t<Work> {
  using Result = std::invoke_result_t<Work>;
  if (OnTheUiThread()) return work();
  std::promise<Result> done;
  std::future<Result> result = done.get_future();
  const bool queued = PostToUiThread([&work, &done] {
    if constexpr (std::is_void_v<Result>) {
      work();
      done.set_value();
    } else {
      done.set_value(work());
    }
  });
  if (!queued) return Result();
  return result.get();
}

}  // namespace quibo
