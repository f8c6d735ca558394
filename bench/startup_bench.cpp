// Window start-up: from process start to the first paint of ChatWindow, and
// the peak resident set, against a minimal Qt window started the same way.
// The two programs are started alternately, one at a time, on the X server
// of $DISPLAY; each prints its paint time and ends, and the medians are compared.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/report.h"
#include "bench/window_support.h"
#include "tests/support/child_process.h"

namespace quibo::bench {
namespace {

using namespace std::chrono_literals;

struct Sample {
  double ms = 0;      // spawn to first paint
  double rssMib = 0;  // peak resident set
};

long long MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

// Starts `program`, waits for its "painted <ns>" line and its end; nothing
// when it does not paint or end cleanly.
std::optional<Sample> StartOnce(const std::string& program) {
  const long long spawned = MonotonicNs();
  test::ChildProcess child({program});
  if (!child.Started()) return std::nullopt;
  const std::optional<std::string> line =
      child.WaitForLine([](const std::string& l) { return l.rfind("painted ", 0) == 0; }, 60s);
  const std::optional<int> exit = child.WaitForExit(60s);
  if (!line || exit != 0) {
    std::fprintf(stderr, "%s did not paint and end:\n%s\n", program.c_str(),
                 child.Transcript().c_str());
    return std::nullopt;
  }
  const long long painted = std::stoll(line->substr(8));
  return Sample{static_cast<double>(painted - spawned) / 1e6,
                static_cast<double>(child.PeakRssKib()) / 1024.0};
}

}  // namespace
}  // namespace quibo::bench

int main(int argc, char** argv) {
  using namespace quibo::bench;
  const bool smoke = SmokeRun(argc, argv);
  const long runs = smoke ? 1 : LongArgument(argc, argv, "runs", 15);
  // Both programs get the platform the chat program would choose for itself.
  setenv("QT_QPA_PLATFORM", "xcb", 0);

  const std::string programs[2] = {QUIBO_STARTUP_CHAT, QUIBO_STARTUP_MINIMAL};
  std::vector<double> ms[2], rss[2];
  // One unrecorded start of each first (file and font caches), then pairs
  // whose order alternates, so neither program always follows the other.
  for (long run = smoke ? 0 : -1; run < runs; ++run) {
    const int first = run % 2 == 0 ? 0 : 1;
    for (int k : {first, 1 - first}) {
      const std::optional<Sample> sample = StartOnce(programs[k]);
      if (!sample) return 2;
      if (run < 0) continue;
      ms[k].push_back(sample->ms);
      rss[k].push_back(sample->rssMib);
      std::printf("%-8s start-up %8.1f ms  peak RSS %7.1f MiB\n", k == 0 ? "ChatWindow" : "minimal",
                  sample->ms, sample->rssMib);
    }
  }
  if (smoke) return 0;

  std::vector<Row> rows;
  auto lower = [&](std::string name, std::string unit, double ours, double anchor, double budget) {
    rows.push_back({std::move(name), std::move(unit), ours, anchor, "minimal Qt window",
                    anchor > 0 ? ours / anchor : 0, budget, Better::kLower});
  };
  lower("Window start-up to first paint (median)", "ms", Median(ms[0]), Median(ms[1]), 1.3);
  lower("Window start-up peak RSS (median)", "MiB", Median(rss[0]), Median(rss[1]), 1.3);
  return Publish(rows, JsonPathArgument(argc, argv)) == 0 ? 0 : 1;
}
