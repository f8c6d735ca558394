#include "bench/robot_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace quibo::bench {
namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting loop looks again; a poll interval, not a wait for time
// to pass: every loop ends as soon as its condition holds.
constexpr auto kLookAgain = std::chrono::milliseconds(10);

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const sockaddr_in address = Loopback(port);
  const bool connected =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

}  // namespace

ScratchDirectory::ScratchDirectory() {
  std::error_code error;
  std::string name =
      (std::filesystem::temp_directory_path(error) / "quibo-robot-bench-XXXXXX").string();
  if (!error && mkdtemp(name.data()) != nullptr) path_ = name;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code error;
  if (!path_.empty()) std::filesystem::remove_all(path_, error);
}

LoggedProcess::LoggedProcess(const std::vector<std::string>& argv,
                             const std::filesystem::path& logFile, int stopSignal)
    : stopSignal_(stopSignal), log_(logFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
}

LoggedProcess::~LoggedProcess() {
  Stop(std::chrono::seconds(10));
}

bool LoggedProcess::Running() {
  if (pid_ <= 0 || ended_) return false;
  if (waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
  return !ended_;
}

std::optional<int> LoggedProcess::Stop(std::chrono::seconds patience) {
  if (pid_ <= 0) return std::nullopt;
  if (Running()) {
    kill(pid_, stopSignal_);
    const auto deadline = Clock::now() + patience;
    while (Running() && Clock::now() < deadline) std::this_thread::sleep_for(kLookAgain);
    if (Running()) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status_, 0);
      ended_ = true;
      return std::nullopt;
    }
  }
  if (WIFEXITED(status_)) return WEXITSTATUS(status_);
  return std::nullopt;
}

std::string Tail(const std::filesystem::path& file, int lines) {
  std::ifstream in(file);
  std::deque<std::string> last;
  for (std::string line; std::getline(in, line);) {
    last.push_back(line);
    if (static_cast<int>(last.size()) > lines) last.pop_front();
  }
  std::string out;
  for (const std::string& line : last) out += line + "\n";
  return out;
}

std::string FindNginx() {
  std::vector<std::string> places = {"/usr/sbin/nginx"};
  if (const char* path = std::getenv("PATH")) {
    std::istringstream dirs(path);
    for (std::string dir; std::getline(dirs, dir, ':');) {
      if (!dir.empty()) places.push_back(dir + "/nginx");
    }
  }
  for (const std::string& place : places) {
    if (access(place.c_str(), X_OK) == 0) return place;
  }
  return {};
}

int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

bool WaitUntilAccepting(LoggedProcess& process, int port, std::chrono::seconds patience) {
  const auto deadline = Clock::now() + patience;
  while (Clock::now() < deadline) {
    if (!process.Running()) return false;
    if (Accepts(port)) return true;
    std::this_thread::sleep_for(kLookAgain);
  }
  return false;
}

std::optional<int> WaitForRobotPort(LoggedProcess& robot, std::chrono::seconds patience) {
  constexpr std::string_view kReady = "quibo-robot: listening on ";
  const auto deadline = Clock::now() + patience;
  while (Clock::now() < deadline) {
    std::ifstream in(robot.LogFile());
    for (std::string line; std::getline(in, line);) {
      if (!line.starts_with(kReady)) continue;
      const size_t colon = line.rfind(':');
      return std::atoi(line.c_str() + colon + 1);
    }
    if (!robot.Running()) return std::nullopt;
    std::this_thread::sleep_for(kLookAgain);
  }
  return std::nullopt;
}

std::string NginxConfig(const std::filesystem::path& prefix, int port) {
  const std::string dir = prefix.string();
  std::ostringstream out;
  // Debian's stock settings for a small server, with every path it writes
  // moved into `prefix`; the access log stays on, as it is on such servers.
  out << "worker_processes auto;\n"
      << "pid " << dir << "/nginx.pid;\n"
      << "error_log " << dir << "/error.log;\n"
      << "events { worker_connections 768; }\n"
      << "http {\n"
      << "  sendfile on;\n"
      << "  tcp_nopush on;\n"
      << "  default_type text/plain;\n"
      << "  access_log " << dir << "/access.log;\n"
      << "  client_body_temp_path " << dir << "/client_body;\n"
      << "  proxy_temp_path " << dir << "/proxy;\n"
      << "  fastcgi_temp_path " << dir << "/fastcgi;\n"
      << "  uwsgi_temp_path " << dir << "/uwsgi;\n"
      << "  scgi_temp_path " << dir << "/scgi;\n"
      << "  server {\n"
      << "    listen 127.0.0.1:" << port << ";\n"
      << "    location = /ajax.php { return 200 \"ok\"; }\n"
      << "  }\n"
      << "}\n";
  return out.str();
}

}  // namespace quibo::bench
