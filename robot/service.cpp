#include "robot/service.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>

#include "text/encodings.h"

namespace quibo::robot {
namespace {

constexpr const char* kPlainText = "text/plain; charset=utf-8";

using Clock = std::chrono::steady_clock;

// When the request now being served on this thread began. httplib gives no
// per-request hook before the body is read, so a connection's first request
// counts from the moment its thread takes the connection up, and routed
// requests from the moment they reach routing.
thread_local Clock::time_point requestStart = Clock::now();

// Each worker draws its own phrasing choices; no lock, no shared state.
std::uint64_t NextVariety() {
  thread_local std::mt19937_64 engine{std::random_device{}()};
  return engine();
}

// A thread pool that notes when a connection is taken up, for the log.
class TimedThreadPool : public httplib::ThreadPool {
 public:
  using ThreadPool::ThreadPool;
  void enqueue(std::function<void()> fn) override {
    ThreadPool::enqueue([fn = std::move(fn)] {
      requestStart = Clock::now();
      fn();
    });
  }
};

// The second's "YYYY-MM-DDTHH:MM:SSZ", formatted once a second per thread.
std::string_view UtcTimestamp() {
  thread_local std::time_t second = -1;
  thread_local char text[32];
  const std::time_t now = std::time(nullptr);
  if (now != second) {
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    second = now;
  }
  return text;
}

// Appends at most `limit` bytes of `text` to the line being built.
char* Put(char* out, std::string_view text, size_t limit = std::string_view::npos) {
  const size_t n = std::min(text.size(), limit);
  std::memcpy(out, text.data(), n);
  return out + n;
}

void LogRequest(const httplib::Request& req, const httplib::Response& res) {
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - requestStart).count();
  requestStart = Clock::now();
  // "2024-01-02T03:04:05Z 127.0.0.1:54321 POST /ajax.php 200 0.3ms"
  char line[512];
  char* out = Put(line, UtcTimestamp());
  *out++ = ' ';
  out = Put(out, req.remote_addr, 64);
  *out++ = ':';
  out = std::to_chars(out, out + 8, req.remote_port).ptr;
  *out++ = ' ';
  out = Put(out, req.method, 16);
  *out++ = ' ';
  out = Put(out, req.path, 200);
  *out++ = ' ';
  out = std::to_chars(out, out + 8, res.status).ptr;
  *out++ = ' ';
  out = std::to_chars(out, out + 32, ms, std::chars_format::fixed, 1).ptr;
  out = Put(out, "ms\n");
  // One write per line keeps lines from different threads whole, and
  // bypasses stdio's lock on stderr, which every worker would queue for.
  for (const char* next = line; next < out;) {
    const ssize_t written = write(STDERR_FILENO, next, static_cast<size_t>(out - next));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    next += written;
  }
}

// One accepted connection as httplib's request parser reads it. The socket's
// receive and send timeouts, which httplib sets when it accepts, bound every
// read and write, so there is no poll before each of them; reads come out of
// a buffer, as the parser takes the request line and headers a byte at a
// time; an answer's header and body leave in one send at Flush (or before
// the next read).
class Connection final : public httplib::Stream {
 public:
  Connection(int socket, const ListenAddress& local) : socket_(socket), local_(local) {}

  bool is_readable() const override { return true; }
  bool is_writable() const override { return true; }

  ssize_t read(char* ptr, size_t size) override {
    if (begin_ == end_) {
      // What was written goes out before waiting on the peer, which may be
      // waiting for it (an interim "100 Continue").
      if (!answer_.empty() && !Flush()) return -1;
      if (size >= sizeof buffer_) return Receive(ptr, size);
      const ssize_t n = Receive(buffer_, sizeof buffer_);
      if (n <= 0) return n;
      begin_ = 0;
      end_ = static_cast<size_t>(n);
    }
    const size_t n = std::min(size, end_ - begin_);
    std::memcpy(ptr, buffer_ + begin_, n);
    begin_ += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    answer_.append(ptr, size);
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    if (remotePort_ < 0) {
      sockaddr_storage address{};
      socklen_t size = sizeof address;
      char text[INET6_ADDRSTRLEN] = "";
      remotePort_ = 0;
      if (getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        if (address.ss_family == AF_INET) {
          const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
          inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
          remotePort_ = ntohs(v4.sin_port);
        } else if (address.ss_family == AF_INET6) {
          const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
          inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
          remotePort_ = ntohs(v6.sin6_port);
        }
      }
      remoteIp_ = text;
    }
    ip = remoteIp_;
    port = remotePort_;
  }

  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = local_.host;
    port = local_.port;
  }

  int socket() const override { return socket_; }

  // Sends what has been written since the last Flush; false when the peer
  // is gone or the send timeout ran out.
  bool Flush() {
    size_t sent = 0;
    while (sent < answer_.size()) {
      const ssize_t n = send(socket_, answer_.data() + sent, answer_.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    answer_.clear();
    return true;
  }

  // Whether the next request has begun to arrive within `patience`, looking
  // every so often whether the server is stopping.
  bool NextRequestArrives(std::chrono::milliseconds patience, const std::atomic<int>& listening) {
    if (begin_ != end_) return true;
    // A new connection's request has usually arrived by the time a worker
    // takes it up; only when it has not is there anything to wait for.
    const ssize_t n = recv(socket_, buffer_, sizeof buffer_, MSG_DONTWAIT);
    if (n > 0) {
      begin_ = 0;
      end_ = static_cast<size_t>(n);
      return true;
    }
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return false;
    constexpr int kSliceMs = 100;
    for (auto left = patience.count(); listening != INVALID_SOCKET && left > 0; left -= kSliceMs) {
      pollfd fd{socket_, POLLIN, 0};
      const int ready = poll(&fd, 1, static_cast<int>(std::min<long>(left, kSliceMs)));
      if (ready > 0) return true;
      if (ready < 0 && errno != EINTR) return false;
    }
    return false;
  }

 private:
  ssize_t Receive(char* ptr, size_t size) {
    for (;;) {
      const ssize_t n = recv(socket_, ptr, size, 0);
      if (n >= 0 || errno != EINTR) return n;
    }
  }

  int socket_;
  const ListenAddress& local_;
  char buffer_[4096];
  size_t begin_ = 0;
  size_t end_ = 0;
  std::string answer_;
  mutable std::string remoteIp_;
  mutable int remotePort_ = -1;
};

// httplib's server with its connections served by Connection.
class ChatServer final : public httplib::Server {
 public:
  ListenAddress local;  // set once bound, before any connection is served

 protected:
  bool process_and_close_socket(int socket) override {
    Connection connection(socket, local);
    const std::chrono::milliseconds patience(keep_alive_timeout_sec_ * 1000);
    bool served = false;
    for (size_t left = keep_alive_max_count_; left > 0; --left) {
      if (!connection.NextRequestArrives(patience, svr_sock_)) break;
      bool closed = false;
      served = process_request(connection, left == 1, closed, nullptr);
      served = connection.Flush() && served;
      if (!served || closed) break;
    }
    close(socket);
    return served;
  }
};

void Refuse(httplib::Response& res, int status, std::string_view reason) {
  res.status = status;
  res.set_content(std::string(reason), kPlainText);
}

}  // namespace

std::optional<ListenAddress> ParseListenAddress(std::string_view text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  const std::string_view digits = text.substr(colon + 1);
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  int port = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
  if (error != std::errc() || end != digits.data() + digits.size() || port > 65535) {
    return std::nullopt;
  }
  return ListenAddress{std::string(text.substr(0, colon)), port};
}

std::optional<std::string_view> FormField(std::string_view body, std::string_view name) {
  size_t start = 0;
  while (start <= body.size()) {
    size_t end = body.find('&', start);
    if (end == std::string_view::npos) end = body.size();
    const std::string_view field = body.substr(start, end - start);
    const size_t equals = field.find('=');
    if (field.substr(0, equals) == name) {
      return equals == std::string_view::npos ? std::string_view() : field.substr(equals + 1);
    }
    start = end + 1;
  }
  return std::nullopt;
}

HttpAnswer AnswerChatRequest(std::string_view body, const Moment& now, std::uint64_t variety,
                             const std::vector<Topic>& topics) {
  const auto para = FormField(body, "para");
  if (!para) return {400, "missing the form field \"para\""};
  const Text message = PercentDecode(Text(*para));
  const Reply reply = AnswerMessage(message, now, variety, topics);
  return {200, PercentEncode(reply.text)};
}

Moment LocalMoment() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_wday,        local.tm_hour,    local.tm_min};
}

ChatService::ChatService(std::vector<Topic> topics, ServiceLimits limits)
    : topics_(std::move(topics)), limits_(limits), server_(std::make_unique<ChatServer>()) {
  httplib::Server& server = *server_;
  const size_t threads = limits_.threads;
  // httplib takes ownership of the pool it is handed.
  server.new_task_queue = [threads] { return new TimedThreadPool(threads); };
  server.set_keep_alive_timeout(limits_.keepAliveSeconds);
  server.set_keep_alive_max_count(100);
  server.set_read_timeout(limits_.ioTimeoutSeconds);
  server.set_write_timeout(limits_.ioTimeoutSeconds);
  server.set_payload_max_length(kLargestBody);
  // SO_REUSEADDR alone: a restart may take over a port left in TIME_WAIT, but
  // a second robot may not share a port that one is listening on (which
  // httplib's default SO_REUSEPORT would allow).
  server.set_socket_options([this](int socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    listenSocket_ = socket;
  });
  server.set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
    requestStart = Clock::now();
    return httplib::Server::HandlerResponse::Unhandled;
  });

  const std::string path = R"(/ajax\.php)";
  // The body is read here rather than by httplib: a request that has neither
  // Content-Length nor chunked encoding has no body, where httplib would wait
  // for one until the read timeout.
  server.Post(path, [this](const httplib::Request& req, httplib::Response& res,
                           const httplib::ContentReader& read) {
    std::string body;
    if (req.has_header("Content-Length") || req.has_header("Transfer-Encoding")) {
      const bool whole = read([&body](const char* data, size_t length) {
        body.append(data, length);
        return true;
      });
      // httplib has set the status (413 past the size limit, 400 otherwise).
      if (!whole) return;
    }
    HttpAnswer answer = AnswerChatRequest(body, LocalMoment(), NextVariety(), topics_);
    res.status = answer.status;
    res.set_content(std::move(answer.body), kPlainText);
  });
  auto notAllowed = [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Allow", "POST");
    Refuse(res, 405, "only POST is allowed here");
  };
  server.Get(path, notAllowed);  // HEAD is routed here too
  server.Put(path, notAllowed);
  server.Patch(path, notAllowed);
  server.Delete(path, notAllowed);
  server.Options(path, notAllowed);

  server.set_error_handler(
      httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        switch (res.status) {
          case 404:
            Refuse(res, 404, "not found: the chat robot answers POST /ajax.php");
            break;
          case 413:
            Refuse(res, 413, "the request body is larger than 64 KiB");
            break;
          case 400:
            Refuse(res, 400, "malformed request");
            break;
          default:
            Refuse(res, res.status, "the request could not be served");
            break;
        }
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_logger(LogRequest);
}

ChatService::~ChatService() = default;

ChatService::BindResult ChatService::Bind(const ListenAddress& address) {
  errno = 0;
  int port = address.port;
  if (port == 0) {
    port = server_->bind_to_any_port(address.host);
  } else if (!server_->bind_to_port(address.host, port)) {
    port = -1;
  }
  if (port < 0) return {-1, errno};
  static_cast<ChatServer&>(*server_).local = {address.host, port};
  // httplib listens with a backlog of 5; a burst of clients needs more, and
  // listening again on the same socket only changes the backlog.
  listen(listenSocket_, limits_.backlog);
  return {port, 0};
}

bool ChatService::Serve() {
  return server_->listen_after_bind();
}

void ChatService::Stop() {
  server_->stop();
}

}  // namespace quibo::robot
