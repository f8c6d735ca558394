#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace quibo::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  out_ = fds[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) close(out_);
}

bool ChildProcess::ReadSome(int timeoutMs) {
  pollfd fd{out_, POLLIN, 0};
  if (poll(&fd, 1, timeoutMs) <= 0) return true;  // nothing yet; still open
  char buf[4096];
  ssize_t n = read(out_, buf, sizeof buf);
  if (n <= 0) return false;  // the child closed its end
  pending_.append(buf, static_cast<std::size_t>(n));
  seen_.append(buf, static_cast<std::size_t>(n));
  for (std::size_t nl = pending_.find('\n'); nl != std::string::npos; nl = pending_.find('\n')) {
    lines_.push_back(pending_.substr(0, nl));
    pending_.erase(0, nl + 1);
  }
  return true;
}

std::optional<std::string> ChildProcess::WaitForLine(
    const std::function<bool(const std::string&)>& wanted, std::chrono::seconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    while (nextLine_ < lines_.size()) {
      const std::string& line = lines_[nextLine_++];
      if (wanted(line)) return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || out_ < 0) return std::nullopt;
    if (!ReadSome(static_cast<int>(left.count()))) {
      close(out_);
      out_ = -1;
    }
  }
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::seconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (pid_ > 0) {
    int status = 0;
    rusage usage{};
    pid_t done = wait4(pid_, &status, WNOHANG, &usage);
    if (done == pid_) {
      pid_ = -1;
      peakRssKib_ = usage.ru_maxrss;
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return std::nullopt;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    // Keep the pipe drained so the child never blocks on a full pipe.
    if (out_ >= 0 && !ReadSome(20)) {
      close(out_);
      out_ = -1;
    } else if (out_ < 0) {
      poll(nullptr, 0, 20);
    }
  }
  return std::nullopt;
}

bool ChildProcess::Signal(int signal) {
  return pid_ > 0 && kill(pid_, signal) == 0;
}

}  // namespace quibo::test
