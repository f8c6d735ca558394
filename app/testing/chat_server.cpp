#include "app/testing/chat_server.h"

#include <chrono>

namespace quibo::test {
namespace {

constexpr auto kPatience = std::chrono::seconds(60);

}  // namespace

ServerReply EchoMessage(const std::string& body) {
  const std::string prefix = "para=";
  return OkReply(body.rfind(prefix, 0) == 0 ? body.substr(prefix.size()) : body,
                 "Content-Type: text/html\r\n");
}

ChatServer::ChatServer(ChatReplyFunction reply) : state_(std::make_shared<State>()) {
  server_ = std::make_unique<LoopbackServer>(
      [state = state_, reply = std::move(reply)](const std::string& request) {
        std::unique_lock guard(state->lock);
        const std::size_t index = state->requests.size();
        state->requests.push_back(request);
        state->released.push_back(!state->hold);
        state->changed.notify_all();
        state->changed.wait(guard, [&] { return state->released[index] || state->stopping; });
        guard.unlock();
        return reply(RequestBody(request));
      });
}

ChatServer::~ChatServer() {
  {
    std::lock_guard guard(state_->lock);
    state_->stopping = true;
    state_->changed.notify_all();
  }
  server_.reset();
}

void ChatServer::HoldReplies() {
  std::lock_guard guard(state_->lock);
  state_->hold = true;
}

void ChatServer::ReleaseReply(std::size_t index) {
  std::lock_guard guard(state_->lock);
  if (index < state_->released.size()) state_->released[index] = true;
  state_->changed.notify_all();
}

bool ChatServer::WaitForRequests(std::size_t count) {
  std::unique_lock guard(state_->lock);
  return state_->changed.wait_for(guard, kPatience,
                                  [&] { return state_->requests.size() >= count; });
}

std::vector<std::string> ChatServer::Bodies() const {
  std::lock_guard guard(state_->lock);
  std::vector<std::string> bodies;
  for (const std::string& request : state_->requests) bodies.push_back(RequestBody(request));
  return bodies;
}

std::vector<std::string> ChatServer::Requests() const {
  std::lock_guard guard(state_->lock);
  return state_->requests;
}

}  // namespace quibo::test
