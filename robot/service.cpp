#include "robot/service.h"

#include <httplib.h>
#include <sys/socket.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
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

std::string UtcTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return buffer;
}

void LogRequest(const httplib::Request& req, const httplib::Response& res) {
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - requestStart).count();
  requestStart = Clock::now();
  char line[512];
  std::snprintf(line, sizeof line, "%s %s:%d %.16s %.200s %d %.1fms\n", UtcTimestamp().c_str(),
                req.remote_addr.c_str(), req.remote_port, req.method.c_str(), req.path.c_str(),
                res.status, ms);
  // One write per line keeps lines from different threads whole.
  std::fputs(line, stderr);
}

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
    : topics_(std::move(topics)), limits_(limits), server_(std::make_unique<httplib::Server>()) {
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
