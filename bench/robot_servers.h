// The two servers of the robot benchmark, each a child process with its
// output in a file of a private directory, stopped cleanly however the
// benchmark ends.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quibo::bench {

// A fresh directory under the system's temporary one, removed with
// everything in it when the owner goes.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  [[nodiscard]] bool Made() const { return !path_.empty(); }
  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A child whose stdout and stderr go to `logFile`, so a server that logs a
// line per request never blocks on a reader. The owner's end stops it with
// `stopSignal` and waits; one that does not stop within a while is killed.
class LoggedProcess {
 public:
  LoggedProcess(const std::vector<std::string>& argv, const std::filesystem::path& logFile,
                int stopSignal);
  ~LoggedProcess();
  LoggedProcess(const LoggedProcess&) = delete;
  LoggedProcess& operator=(const LoggedProcess&) = delete;

  [[nodiscard]] bool Running();
  // Sends the stop signal and waits up to `patience`; the exit code, or
  // nothing when it had to be killed or ended by a signal.
  std::optional<int> Stop(std::chrono::seconds patience);
  [[nodiscard]] const std::filesystem::path& LogFile() const { return log_; }

 private:
  pid_t pid_ = -1;
  int status_ = 0;
  bool ended_ = false;
  int stopSignal_;
  std::filesystem::path log_;
};

// The last `lines` lines of a file, for failure messages.
[[nodiscard]] std::string Tail(const std::filesystem::path& file, int lines);

// The nginx program: /usr/sbin/nginx or one on PATH; empty when there is none.
[[nodiscard]] std::string FindNginx();

// A loopback port nothing listens on at the moment of asking; 0 when none.
[[nodiscard]] int FreeLoopbackPort();

// Waits until `process` accepts a TCP connection on 127.0.0.1:`port`; false
// when it ends or `patience` runs out first.
[[nodiscard]] bool WaitUntilAccepting(LoggedProcess& process, int port,
                                      std::chrono::seconds patience);

// The port in quibo-robot's line "quibo-robot: listening on HOST:PORT" once
// it is in the process's log; nothing when it ends or `patience` runs out.
[[nodiscard]] std::optional<int> WaitForRobotPort(LoggedProcess& robot,
                                                  std::chrono::seconds patience);

// The configuration of an nginx that answers POST /ajax.php on
// 127.0.0.1:`port` with 200 "ok", everything it writes kept inside `prefix`.
[[nodiscard]] std::string NginxConfig(const std::filesystem::path& prefix, int port);

}  // namespace quibo::bench
