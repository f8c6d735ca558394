// A child process for end-to-end tests and benchmarks, with its stdout and
// stderr read line by line until a deadline.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quibo::test {

class ChildProcess {
 public:
  // Starts `argv[0]` with the given arguments; the environment is inherited.
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();  // a child still running is killed
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  [[nodiscard]] bool Started() const { return pid_ > 0; }

  // The first line (stdout or stderr) for which `wanted` holds, reading until
  // the deadline; nothing when the child ends or time runs out first.
  [[nodiscard]] std::optional<std::string> WaitForLine(
      const std::function<bool(const std::string&)>& wanted, std::chrono::seconds patience);

  // The exit code once the child ends within `patience`; nothing when it
  // does not end or is killed by a signal.
  [[nodiscard]] std::optional<int> WaitForExit(std::chrono::seconds patience);

  // Sends `signal` to a child still running; false when there is none.
  bool Signal(int signal);

  // The child's peak resident set in KiB, known once WaitForExit saw it end.
  [[nodiscard]] long PeakRssKib() const { return peakRssKib_; }

  // Everything read so far, for failure messages.
  [[nodiscard]] const std::string& Transcript() const { return seen_; }

 private:
  bool ReadSome(int timeoutMs);

  pid_t pid_ = -1;
  int out_ = -1;  // stdout and stderr share one pipe
  std::string pending_;
  std::string seen_;
  std::vector<std::string> lines_;
  std::size_t nextLine_ = 0;
  long peakRssKib_ = 0;
};

}  // namespace quibo::test
