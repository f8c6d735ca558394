// A child process for tests and benchmarks. A reader thread drains its
// stdout and stderr (one pipe) line by line as they come, so a child that
// logs a line per request never blocks on a full pipe, and the caller waits
// for the lines it wants until a deadline.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quibo::test {

class ChildProcess {
 public:
  // Starts `argv[0]` (a path) with the given arguments; the environment is inherited.
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();  // a child still running is killed
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  [[nodiscard]] bool Started() const { return pid_ > 0; }

  // The next output line (stdout or stderr, after the lines earlier calls
  // returned or passed over) for which `wanted` holds; nothing when the
  // output ends or time runs out first.
  [[nodiscard]] std::optional<std::string> WaitForLine(
      const std::function<bool(const std::string&)>& wanted, std::chrono::seconds patience);

  // The exit code once the child ends within `patience` (its output read to
  // the end); nothing when it does not end or is killed by a signal.
  [[nodiscard]] std::optional<int> WaitForExit(std::chrono::seconds patience);

  // Sends `signal` to a child still running; false when there is none.
  bool Signal(int signal);

  // The child's peak resident set in KiB, known once WaitForExit saw it end.
  [[nodiscard]] long PeakRssKib() const { return peakRssKib_; }

  // Everything read so far, for failure messages.
  [[nodiscard]] std::string Transcript() const;

 private:
  void ReadAll(int fd);

  pid_t pid_ = -1;
  long peakRssKib_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread reader_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
  std::size_t nextLine_ = 0;
  std::string seen_;
  bool ended_ = false;  // the output is closed
};

}  // namespace quibo::test
