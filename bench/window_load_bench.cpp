// Responsiveness under load: the UI thread's longest stall, as the longest
// gap between the ticks of a 5 ms timer, while 200 exchanges are in flight
// against a chat service that answers each after 2 s and the transcript holds
// 100k entries, against the same window idle with the same timer.
//
// One run on the X server of $DISPLAY: an unrecorded load round (it warms
// every path and gives the round's length), then idle, load, idle, load, ...
// idle, each idle as long as the load round before it; the row compares the
// median of the load rounds' longest gaps with the median of the idle ones'.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "app/chat.h"
#include "app/controls.h"
#include "app/platform/chat_window.h"
#include "app/testing/chat_server.h"
#include "app/testing/test_chat_service.h"
#include "bench/report.h"
#include "bench/window_support.h"
#include "tests/support/loopback_server.h"

namespace quibo::bench {
namespace {

constexpr int kTickMs = 5;
constexpr qint64 kPhaseLimitMs = 120'000;

// The calling thread's time on a CPU and time waiting for one, in ns, from
// the scheduler's own accounting; zeros where it is not available.
struct CpuTimes {
  long long running = 0;
  long long waiting = 0;
};

CpuTimes ThreadCpuTimes() {
  CpuTimes times;
  if (std::FILE* stat = std::fopen("/proc/thread-self/schedstat", "r")) {
    if (std::fscanf(stat, "%lld %lld", &times.running, &times.waiting) != 2) times = {};
    std::fclose(stat);
  }
  return times;
}

// The longest gap between ticks of a precise 5 ms timer on the UI thread,
// over one phase that runs the event loop until `done` holds at a tick, and
// how the UI thread spent that gap: running (its own work) or waiting for a
// CPU (other threads and processes had them). A phase that outlives the
// limit gives a negative gap.
struct Phase {
  double longestGapMs = 0;
  double gapRunningMs = 0;
  double gapWaitingMs = 0;
  qint64 longestGapEndMs = 0;  // when the longest gap ended, from the phase's start
  qint64 lengthMs = 0;
};

Phase RunPhase(const std::function<void()>& start, const std::function<bool(qint64)>& done) {
  Phase phase;
  QEventLoop loop;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  tick.setInterval(kTickMs);
  QElapsedTimer clock;
  qint64 lastNs = 0;
  CpuTimes last = ThreadCpuTimes();
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    const CpuTimes cpu = ThreadCpuTimes();
    const double gapMs = static_cast<double>(now - lastNs) / 1e6;
    if (gapMs > phase.longestGapMs) {
      phase.longestGapMs = gapMs;
      phase.gapRunningMs = static_cast<double>(cpu.running - last.running) / 1e6;
      phase.gapWaitingMs = static_cast<double>(cpu.waiting - last.waiting) / 1e6;
      phase.longestGapEndMs = now / 1'000'000;
    }
    lastNs = now;
    last = cpu;
    const qint64 elapsedMs = now / 1'000'000;
    if (done(elapsedMs) || elapsedMs > kPhaseLimitMs) {
      if (elapsedMs > kPhaseLimitMs) phase.longestGapMs = -1;
      phase.lengthMs = elapsedMs;
      loop.quit();
    }
  });
  clock.start();
  tick.start();
  if (start) start();
  loop.exec();
  return phase;
}

// Fires `count` exchanges as a user would, one send after the other: each
// puts a message in the input box and asks for a send; the next follows
// once the exchange has taken its message from the box.
class Sender : public QObject {
 public:
  Sender(ChatWindow& window, long count, long firstMessage)
      : window_(window), count_(count), next_(firstMessage), end_(firstMessage + count) {
    connect(window_.input, &QPlainTextEdit::textChanged, this, [this] {
      if (window_.input->document()->isEmpty() && next_ < end_) {
        QTimer::singleShot(0, this, [this] { SendNext(); });
      }
    });
  }
  void SendNext() {
    if (next_ >= end_ || !window_.input->document()->isEmpty()) return;
    SetText(Control::编辑框输入, ExchangeMessage(next_++));
    OnSendRequested();
  }
  [[nodiscard]] bool AllSent() const { return next_ >= end_; }

 private:
  ChatWindow& window_;
  long count_;
  long next_;
  long end_;
};

}  // namespace
}  // namespace quibo::bench

int main(int argc, char** argv) {
  using namespace quibo;
  using namespace quibo::bench;
  const bool smoke = SmokeRun(argc, argv);
  const long exchanges = smoke ? 2 : LongArgument(argc, argv, "exchanges", 200);
  const long entries = smoke ? 100 : LongArgument(argc, argv, "entries", 100'000);
  const auto delay =
      std::chrono::milliseconds(smoke ? 100 : LongArgument(argc, argv, "delay-ms", 2000));

  // The slow chat service: every request is answered after `delay`, each on
  // its own connection thread, so all of them wait at once.
  std::atomic<long> answered{0};
  test::LoopbackServer server([&](const std::string& request) {
    std::this_thread::sleep_for(delay);
    answered.fetch_add(1);
    return test::EchoMessage(test::RequestBody(request));
  });
  test::SetChatServiceHost(server.HostAndPort());

  setenv("QT_QPA_PLATFORM", "xcb", 0);
  QApplication app(argc, argv);
  ChatWindow window({.created = &OnWindowCreated, .sendRequested = &OnSendRequested});
  CentreOnScreen(window);
  if (!ShowAndWaitUntilExposed(window)) return 2;
  for (long n = 0; n < entries; ++n) {
    AppendText(Control::编辑框显示, ChatEntry(n));
    if ((n + 1) % 500 == 0) QCoreApplication::processEvents();
  }
  SettleEvents();

  long messages = 0;
  // A round of load: from the first send until every reply is in the
  // transcript. The busy count returns to 0 only after each exchange's reply
  // has been appended, and every exchange has raised it before its request.
  // The most exchanges seen in flight at once during the last load round.
  int peakInFlight = 0;
  auto load = [&] {
    const long target = answered.load() + exchanges;
    Sender sender(window, exchanges, messages);
    messages += exchanges;
    peakInFlight = 0;
    return RunPhase([&] { sender.SendNext(); },
                    [&](qint64) {
                      peakInFlight = std::max(peakInFlight, window.busyCount);
                      return sender.AllSent() && answered.load() >= target && window.busyCount == 0;
                    });
  };
  auto idle = [&](qint64 lengthMs) {
    return RunPhase(nullptr, [lengthMs](qint64 elapsedMs) { return elapsedMs >= lengthMs; });
  };

  auto report = [&](const char* name, const Phase& phase) {
    std::printf(
        "%-12s %6lld ms long, longest gap between ticks %6.1f ms (running %5.1f, waiting for a "
        "CPU %5.1f), ending at %lld ms\n",
        name, static_cast<long long>(phase.lengthMs), phase.longestGapMs, phase.gapRunningMs,
        phase.gapWaitingMs, static_cast<long long>(phase.longestGapEndMs));
    std::fflush(stdout);
    return phase.longestGapMs >= 0;
  };
  const Phase warm = load();
  if (!report("warm-up load", warm)) return 2;
  // Each load round lies between two idle phases as long as it; a single
  // longest gap is at the mercy of the machine, so rounds are repeated and
  // the medians compared.
  const long rounds = smoke ? 1 : LongArgument(argc, argv, "rounds", 3);
  std::vector<double> loadGaps, idleGaps;
  const Phase firstIdle = idle(warm.lengthMs);
  report("idle", firstIdle);
  idleGaps.push_back(firstIdle.longestGapMs);
  for (long round = 0; round < rounds; ++round) {
    const Phase loaded = load();
    if (!report("load", loaded)) return 2;
    // The row speaks of all of them in flight together; a machine too busy
    // to start them within the service's delay has not measured that.
    if (peakInFlight < exchanges) {
      std::printf("only %d of %ld exchanges were in flight at once\n", peakInFlight, exchanges);
      return 2;
    }
    loadGaps.push_back(loaded.longestGapMs);
    const Phase quiet = idle(loaded.lengthMs);
    report("idle", quiet);
    idleGaps.push_back(quiet.longestGapMs);
  }
  if (smoke) std::_Exit(0);

  const double loadGap = Median(loadGaps), idleGap = Median(idleGaps);
  std::vector<Row> rows;
  rows.push_back({"UI longest stall, 200 exchanges, 100k entries", "ms", loadGap, idleGap,
                  "same window idle", idleGap > 0 ? loadGap / idleGap : 0, 1.5, Better::kLower});
  const int missed = Publish(rows, JsonPathArgument(argc, argv));
  // The window and the server are not torn down: nothing is left in flight,
  // and the end of the process is all that is needed.
  std::fflush(stdout);
  std::_Exit(missed == 0 ? 0 : 1);
}
