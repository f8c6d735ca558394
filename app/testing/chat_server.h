// A stand-in chat service on the loopback server fixture: it records each
// request, answers it from the test's reply function, and can hold answers
// back until the test releases them, so tests can keep exchanges in flight.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/loopback_server.h"

namespace quibo::test {

// Chooses the answer to a request from its body ("para=%68%69").
using ChatReplyFunction = std::function<ServerReply(const std::string& body)>;

// Answers every request with the request's own encoded message: "para=%68%69"
// gets the body "%68%69", which the client shows as "hi".
[[nodiscard]] ServerReply EchoMessage(const std::string& body);

class ChatServer {
 public:
  explicit ChatServer(ChatReplyFunction reply = EchoMessage);
  ~ChatServer();  // releases held answers, then stops the server
  ChatServer(const ChatServer&) = delete;
  ChatServer& operator=(const ChatServer&) = delete;

  // From now on each request waits for ReleaseReply before it is answered.
  void HoldReplies();
  // Lets the answer to the request that arrived `index`-th (from 0) go out.
  void ReleaseReply(std::size_t index);

  // Blocks until `count` requests have arrived or a generous deadline passes.
  [[nodiscard]] bool WaitForRequests(std::size_t count);

  [[nodiscard]] std::vector<std::string> Bodies() const;  // in order of arrival
  [[nodiscard]] std::vector<std::string> Requests() const;
  [[nodiscard]] std::string HostAndPort() const { return server_->HostAndPort(); }

 private:
  struct State {
    mutable std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> requests;
    std::vector<bool> released;
    bool hold = false;
    bool stopping = false;
  };
  std::shared_ptr<State> state_;
  std::unique_ptr<LoopbackServer> server_;
};

}  // namespace quibo::test
