#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace quibo::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  int fds[2];
  if (argv.empty() || pipe2(fds, O_CLOEXEC) != 0) return;
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
  reader_ = std::thread([this, fd = fds[0]] { ReadAll(fd); });
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  stopping_ = true;
  if (reader_.joinable()) reader_.join();
}

void ChildProcess::ReadAll(int fd) {
  std::string pending;
  char buffer[4096];
  for (;;) {
    // A grandchild may hold the pipe open after the child is gone; the
    // reader stops once the child has been reaped and nothing is waiting.
    pollfd readable{fd, POLLIN, 0};
    const int ready = poll(&readable, 1, 100);
    if (ready == 0 && !stopping_) continue;
    const ssize_t n = ready > 0 ? read(fd, buffer, sizeof buffer) : ready < 0 ? -1 : 0;
    if (n < 0 && errno == EINTR) continue;
    std::lock_guard lock(mutex_);
    if (n <= 0) {
      if (!pending.empty()) lines_.push_back(pending);
      ended_ = true;
      changed_.notify_all();
      break;
    }
    seen_.append(buffer, static_cast<std::size_t>(n));
    pending.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
      lines_.push_back(pending.substr(0, nl));
      pending.erase(0, nl + 1);
    }
    changed_.notify_all();
  }
  close(fd);
}

std::optional<std::string> ChildProcess::WaitForLine(
    const std::function<bool(const std::string&)>& wanted, std::chrono::seconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  std::unique_lock lock(mutex_);
  for (;;) {
    while (nextLine_ < lines_.size()) {
      const std::string& line = lines_[nextLine_++];
      if (wanted(line)) return line;
    }
    if (ended_) return std::nullopt;
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout &&
        nextLine_ == lines_.size()) {
      return std::nullopt;
    }
  }
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::seconds patience) {
  if (pid_ <= 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + patience;
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
  if (pidfd >= 0) {
    pollfd ready{pidfd, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(patience).count();
    while (poll(&ready, 1, static_cast<int>(left)) < 0 && errno == EINTR) {
    }
    close(pidfd);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid_, &status, WNOHANG, &usage) != pid_) return std::nullopt;
  pid_ = -1;
  peakRssKib_ = usage.ru_maxrss;
  {
    // Its last words may still be in the pipe.
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return ended_; });
  }
  if (!WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status);
}

bool ChildProcess::Signal(int signal) {
  return pid_ > 0 && kill(pid_, signal) == 0;
}

std::string ChildProcess::Transcript() const {
  std::lock_guard lock(mutex_);
  return seen_;
}

}  // namespace quibo::test
