// Carrying out a piece of work on the UI thread for a worker thread.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <future>
#include <type_traits>

namespace quibo {

// Runs `work` on the UI thread and returns its result. Called on the UI
// thread it runs at once; with no application object (so no window) it
// does nothing and gives the empty result;
// called from a worker it is queued to the UI thread's event loop and the
// worker waits until it is done, so the UI thread carries out one such call
// at a time. A worker that calls after the event loop has ended waits for
// good: the program ends at once when its loop ends, taking such workers
// with it. The wait is a std::promise so the hand-over is visible to
// ThreadSanitizer, which cannot see into Qt's own locks.
template <typename Work>
auto OnUiThread(Work work) -> std::invoke_result_t<Work> {
  using Result = std::invoke_result_t<Work>;
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return Result();
  if (QThread::currentThread() == app->thread()) return work();
  std::promise<Result> done;
  std::future<Result> result = done.get_future();
  QMetaObject::invokeMethod(
      app,
      [&work, &done] {
        if constexpr (std::is_void_v<Result>) {
          work();
          done.set_value();
        } else {
          done.set_value(work());
        }
      },
      Qt::QueuedConnection);
  return result.get();
}

}  // namespace quibo
