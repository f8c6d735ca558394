#include "app/testing/test_chat_service.h"

#include <mutex>

#include "app/chat.h"

namespace quibo {
namespace {

struct TestHost {
  std::mutex lock;
  Text host = "127.0.0.1:1";
};

TestHost& Host() {
  static TestHost host;
  return host;
}

}  // namespace

Text ChatServiceHost() {
  std::lock_guard guard(Host().lock);
  return Host().host;
}

void test::SetChatServiceHost(const Text& host) {
  std::lock_guard guard(Host().lock);
  Host().host = host;
}

}  // namespace quibo
