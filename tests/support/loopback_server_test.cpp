#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace quibo::test {
namespace {

using namespace std::string_literals;

// Sends `request` over a plain socket and returns everything the server sent
// back before it closed the connection.
std::string Exchange(int port, const std::string& request) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL), ssize_t(request.size()));
  std::string answer;
  char buffer[4096];
  for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, size_t(n));
  close(fd);
  return answer;
}

TEST(LoopbackServerTest, RecordsEachRequestWholeAndAnswersInTurn) {
  LoopbackServer server(ReplyInTurn({{.bytes = "first"}, {.bytes = "second"}}));
  const std::string post = "POST /a HTTP/1.1\r\ncontent-length: 5\r\nX: y\r\n\r\n\0\r\nzz"s;
  const std::string get = "GET /b HTTP/1.1\r\n\r\n";
  EXPECT_EQ(Exchange(server.Port(), post), "first");
  EXPECT_EQ(Exchange(server.Port(), get), "second");
  EXPECT_EQ(Exchange(server.Port(), get), "second") << "the last reply repeats";
  ASSERT_EQ(server.Requests().size(), 3u);
  EXPECT_EQ(server.Requests()[0], post);
  EXPECT_EQ(RequestBody(server.Requests()[0]), std::string("\0\r\nzz", 5));
  EXPECT_EQ(RequestHead(server.Requests()[0]), "POST /a HTTP/1.1\r\ncontent-length: 5\r\nX: y\r\n");
  EXPECT_EQ(RequestHeaderLines(server.Requests()[0]),
            (std::vector<std::string>{"content-length: 5", "X: y"}));
  EXPECT_EQ(server.Requests()[1], get);
}

TEST(LoopbackServerTest, OkReplyIsACompleteResponse) {
  LoopbackServer server(ReplyInTurn({OkReply("hi", "Set-Cookie: a=1\r\n")}));
  EXPECT_EQ(Exchange(server.Port(), "GET / HTTP/1.1\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nSet-Cookie: a=1\r\n\r\nhi");
  EXPECT_EQ(server.Url("/x"), "http://127.0.0.1:" + std::to_string(server.Port()) + "/x");
}

}  // namespace
}  // namespace quibo::test
