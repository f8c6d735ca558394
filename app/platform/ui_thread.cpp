#include "app/platform/ui_thread.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <cstdint>
#include <deque>
#include <mutex>

namespace quibo {
namespace {

// Work for the UI thread, and the eventfd that wakes its event loop.
struct UiQueue {
  std::mutex lock;
  std::deque<std::function<void()>> tasks;
  QThread* uiThread = nullptr;         // guarded by lock
  int wake = -1;                       // eventfd, open for the whole run
  QPointer<QSocketNotifier> notifier;  // UI thread only
  QPointer<QCoreApplication> app;      // UI thread only
};

// Never destroyed: workers that are still running when the program ends
// may post to it until the very end.
UiQueue& Queue() {
  static UiQueue* const queue = new UiQueue();
  return *queue;
}

// Carries out queued work one piece at a time, on the UI thread.
void RunQueuedWork() {
  UiQueue& queue = Queue();
  std::uint64_t count = 0;
  (void)!read(queue.wake, &count, sizeof count);
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard guard(queue.lock);
      if (queue.tasks.empty()) return;
      task = std::move(queue.tasks.front());
      queue.tasks.pop_front();
    }
    task();
  }
}

}  // namespace

void StartUiThreadQueue() {
  UiQueue& queue = Queue();
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || (queue.app == app && queue.notifier)) return;
  if (queue.wake < 0) queue.wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (queue.wake < 0) return;
  queue.app = app;
  queue.notifier = new QSocketNotifier(queue.wake, QSocketNotifier::Read, app);
  QObject::connect(queue.notifier, &QSocketNotifier::activated, queue.notifier,
                   [] { RunQueuedWork(); });
  std::lock_guard guard(queue.lock);
  queue.uiThread = QThread::currentThread();
}

bool OnTheUiThread() {
  UiQueue& queue = Queue();
  std::lock_guard guard(queue.lock);
  return queue.uiThread == QThread::currentThread();
}

bool PostToUiThread(std::function<void()> task) {
  UiQueue& queue = Queue();
  {
    std::lock_guard guard(queue.lock);
    if (queue.uiThread == nullptr || queue.wake < 0) return false;
    queue.tasks.push_back(std::move(task));
  }
  const std::uint64_t one = 1;
  return write(queue.wake, &one, sizeof one) == sizeof one;
}

}  // namespace quibo
