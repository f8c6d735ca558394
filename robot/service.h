// The robot's HTTP face: POST /ajax.php with the form body "para=" followed by
// the message's UTF-8 bytes, every byte percent-encoded; the answer is the
// reply's UTF-8 bytes encoded the same way, as text/plain; charset=utf-8.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "robot/rules.h"
#include "robot/topics.h"

namespace httplib {
class Server;
}

namespace quibo::robot {

inline constexpr std::string_view kDefaultListen = "127.0.0.1:7780";
inline constexpr size_t kLargestBody = 64 * 1024;

struct ListenAddress {
  std::string host;
  int port = 0;  // 0: any free port
};

// "HOST:PORT" with a port of 0..65535 in decimal; nothing when malformed.
// ParseListenAddress("127.0.0.1:0") == ListenAddress{"127.0.0.1", 0}.
[[nodiscard]] std::optional<ListenAddress> ParseListenAddress(std::string_view text);

// The raw (still encoded) value of the first field `name` of a form body;
// "name" without "=" has the empty value; nothing when the field is absent.
// FormField("a=1&para=%41", "para") == "%41".
[[nodiscard]] std::optional<std::string_view> FormField(std::string_view body,
                                                        std::string_view name);

struct HttpAnswer {
  int status = 200;
  std::string body;
};

// The answer to one chat request's body: 200 with the encoded reply, or 400
// with a one-line reason when the field "para" is missing. "+" in the value
// is a plus, not a space; malformed escapes decode leniently.
[[nodiscard]] HttpAnswer AnswerChatRequest(std::string_view body, const Moment& now,
                                           std::uint64_t variety, const std::vector<Topic>& topics);

// The local clock, for the time and date answers.
[[nodiscard]] Moment LocalMoment();

struct ServiceLimits {
  size_t threads = 64;  // connections served at once; more wait, accepted, in a queue
  int backlog = 1024;   // connections the kernel holds before they are accepted
  int keepAliveSeconds = 2;
  int ioTimeoutSeconds = 10;
};

// Owns the HTTP server. Bind, then Serve on one thread; Stop from any other.
class ChatService {
 public:
  ChatService(std::vector<Topic> topics, ServiceLimits limits = {});
  ~ChatService();
  ChatService(const ChatService&) = delete;
  ChatService& operator=(const ChatService&) = delete;

  struct BindResult {
    int port = -1;  // the port now accepting connections; -1 on failure
    int error = 0;  // errno of the failure when known
  };
  // Once this succeeds, connections are accepted (and held) until Serve runs.
  [[nodiscard]] BindResult Bind(const ListenAddress& address);
  // Answers requests until Stop; false when it could not serve at all.
  bool Serve();
  // Stops accepting; requests in progress are finished before Serve returns.
  void Stop();

 private:
  std::vector<Topic> topics_;
  ServiceLimits limits_;
  int listenSocket_ = -1;
  std::unique_ptr<httplib::Server> server_;
};

}  // namespace quibo::robot
