// The HTTP layer beneath WebRequest against hostile and unusual servers,
// TLS with a throwaway authority, a proxy, timeouts and the shared cookie
// store under concurrent requests. Each case ends with a sound result.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/loopback_server.h"
#include "tests/support/test_certificates.h"
#include "text/primitives.h"
#include "web/testing.h"
#include "web/web_request.h"

namespace quibo {
namespace {

using namespace std::chrono_literals;
using test::LoopbackServer;
using test::OkReply;
using test::ReplyInTurn;
using test::RequestHeaderLines;
using test::RequestLine;
using test::ServerReply;

Bytes B(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

// A header block of `lines` lines, each a cookie "c<n>=" with `valueBytes`
// bytes of value.
std::string CookieLines(int lines, size_t valueBytes) {
  std::string block;
  for (int i = 0; i < lines; ++i) {
    block +=
        "Set-Cookie: c" + std::to_string(i) + "=" + std::string(valueBytes, 'v') + "; path=/\r\n";
  }
  return block;
}

class HostileServerTest : public testing::Test {
 protected:
  void SetUp() override {
    ClearCookieStoreForTesting();
    // Short enough that a stalled server ends the request quickly.
    SetWebTimeoutsForTesting(5s, 1s);
  }
  void TearDown() override {
    SetWebTimeoutsForTesting(kDefaultConnectTimeout, kDefaultIdleTimeout);
  }
};

struct Outcome {
  Bytes body;
  Text rawHeaders;
  Text received;
};

Outcome Fetch(const LoopbackServer& server) {
  Outcome outcome;
  outcome.body =
      WebRequest(server.Url("/"), 0, "",
                 {.receivedCookies = &outcome.received, .rawHeaders = &outcome.rawHeaders});
  return outcome;
}

TEST_F(HostileServerTest, ResponsesThatEndTheRequestCleanly) {
  const std::string partial = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
  const struct {
    const char* name;
    ServerReply reply;
    Bytes body;
    Text rawHeaders;  // "" stands for the 5000 spaces of a failed send
  } cases[] = {
      {"stall before any byte", {.bytes = "", .after = ServerReply::After::kStall}, {}, ""},
      {"stall inside the header block",
       {.bytes = "HTTP/1.1 200 OK\r\nX: 1\r\n", .after = ServerReply::After::kStall},
       {},
       ""},
      {"stall mid-body keeps what was read",
       {.bytes = partial + "first part", .after = ServerReply::After::kStall},
       B("first part"),
       "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n"},
      {"reset mid-body keeps what was read",
       {.bytes = partial + "partial", .after = ServerReply::After::kReset},
       B("partial"),
       "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n"},
      {"close mid-body keeps what was read",
       {.bytes = partial + "cut"},
       B("cut"),
       "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n"},
      {"reset before the headers", {.bytes = "", .after = ServerReply::After::kReset}, {}, ""},
      {"garbage status line", {.bytes = "GARBAGE 200\r\n\r\nbody"}, {}, ""},
      {"HTTP/1.0 without length, ended by close",
       {.bytes = "HTTP/1.0 200 OK\r\n\r\nold body"},
       B("old body"),
       "HTTP/1.0 200 OK\r\n"},
      {"body with zero bytes",
       {.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n" + std::string("a\0b\0\0", 5)},
       Bytes{'a', 0, 'b', 0, 0},
       "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n"},
      {"interim 100 block is not the response's",
       {.bytes = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"},
       B("ok"),
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n"},
      {"bare LF line ends become CR LF",
       {.bytes = "HTTP/1.1 200 OK\nContent-Length: 2\n\nok"},
       B("ok"),
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n"},
      {"chunked body, trailer left out of the block",
       {.bytes = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\nX-T: "
                 "1\r\n\r\n"},
       B("ok"),
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n"},
      {"one header line above 100 KB",
       {.bytes = "HTTP/1.1 200 OK\r\nX-Big: " + std::string(110 * 1024, 'x') +
                 "\r\nContent-Length: 2\r\n\r\nok"},
       {},
       ""},
      {"1 MB header block",
       {.bytes = "HTTP/1.1 200 OK\r\n" + CookieLines(1024, 1000) + "\r\nok"},
       {},
       ""},
  };
  for (const auto& c : cases) {
    LoopbackServer server(ReplyInTurn({c.reply}));
    const Outcome outcome = Fetch(server);
    EXPECT_EQ(outcome.body, c.body) << c.name;
    EXPECT_EQ(outcome.rawHeaders, c.rawHeaders.empty() ? BlankText(5000) : c.rawHeaders) << c.name;
  }
}

TEST_F(HostileServerTest, LargeHeaderBlockIsDeliveredWholeWithItsCookies) {
  const std::string lines = CookieLines(1000, 40);  // about 64 KB
  ASSERT_GT(lines.size(), 64u * 1024);
  LoopbackServer server(ReplyInTurn({OkReply("body", lines)}));
  Text cookies = "";
  Text received, rawHeaders;
  const Bytes body =
      WebRequest(server.Url("/"), 0, "",
                 {.cookies = &cookies, .receivedCookies = &received, .rawHeaders = &rawHeaders});
  EXPECT_EQ(body, B("body"));
  EXPECT_EQ(rawHeaders, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n" + lines);
  const TextList merged = SplitText(cookies, "; ");
  ASSERT_EQ(merged.size(), 1000u);
  EXPECT_EQ(merged.front(), "c0=" + std::string(40, 'v'));
  EXPECT_EQ(merged.back(), "c999=" + std::string(40, 'v'));
}

TEST_F(HostileServerTest, FiftyMegabyteBodyArrivesWhole) {
  const size_t size = 50u * 1024 * 1024;
  std::string big(size, 'x');
  big[0] = 'a';
  big[size - 1] = 'z';
  LoopbackServer server(ReplyInTurn({OkReply(big)}));
  big.clear();
  const Bytes body = WebRequest(server.Url("/"));
  ASSERT_EQ(body.size(), size);
  EXPECT_EQ(body.front(), 'a');
  EXPECT_EQ(body.back(), 'z');
}

TEST_F(HostileServerTest, LargePostBodyIsSentWholeWithoutWaitingForContinue) {
  std::string big(3u * 1024 * 1024, 'p');
  big.back() = 'q';
  LoopbackServer server(ReplyInTurn({OkReply("got it")}));
  EXPECT_EQ(WebRequest(server.Url("/upload"), 1, big), B("got it"));
  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string request = server.Requests()[0];
  EXPECT_EQ(test::RequestBody(request), big);
  EXPECT_EQ(request.find("Expect:"), std::string::npos) << test::RequestHead(request);
}

TEST_F(HostileServerTest, ConcurrentRequestsShareOneCookieStore) {
  // "/set/<name>" sets the cookie <name>=1; anything else sets nothing.
  LoopbackServer server([](const std::string& request) {
    const std::string line = RequestLine(request);
    const size_t at = line.find("/set/");
    if (at == std::string::npos) return OkReply("");
    const std::string name = line.substr(at + 5, line.find(' ', at) - at - 5);
    return OkReply("", "Set-Cookie: " + name + "=1; Path=/\r\n");
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&server, t] {
      for (int i = 0; i < 4; ++i) {
        (void)WebRequest(server.Url("/set/t" + std::to_string(t) + "x" + std::to_string(i)));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  (void)WebRequest(server.Url("/show"));
  const std::string last = server.Requests().back();
  ASSERT_EQ(RequestLine(last), "GET /show HTTP/1.1");
  for (int t = 0; t < 8; ++t) {
    for (int i = 0; i < 4; ++i) {
      const std::string cookie = "t" + std::to_string(t) + "x" + std::to_string(i) + "=1";
      EXPECT_NE(last.find(cookie), std::string::npos) << cookie << " missing from\n" << last;
    }
  }
}

// One throwaway authority and server identity for every TLS case.
const test::TestCertificates& Certificates() {
  static const test::TestCertificates certificates = test::MakeTestCertificates();
  return certificates;
}

const std::string& AuthorityFile() {
  static const std::string path = test::WriteTemporaryFile(Certificates().authorityPem);
  return path;
}

class TlsTest : public HostileServerTest {
 protected:
  void TearDown() override {
    SetTrustedAuthorityFileForTesting("");
    HostileServerTest::TearDown();
  }
};

TEST_F(TlsTest, SecureUrlSucceedsOnlyWhenTheAuthorityIsTrusted) {
  LoopbackServer server(ReplyInTurn({OkReply("secret")}), Certificates().server);
  ASSERT_TRUE(server.Url("/").starts_with("https://127.0.0.1:"));
  Text rawHeaders;
  EXPECT_EQ(WebRequest(server.Url("/s"), 0, "", {.rawHeaders = &rawHeaders}), Bytes())
      << "the throwaway authority is not in the system's store";
  EXPECT_EQ(rawHeaders, BlankText(5000));
  EXPECT_TRUE(server.Requests().empty());

  SetTrustedAuthorityFileForTesting(AuthorityFile());
  EXPECT_EQ(WebRequest(server.Url("/s"), 0, "", {.rawHeaders = &rawHeaders}), B("secret"));
  EXPECT_EQ(rawHeaders, "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(RequestLine(server.Requests()[0]), "GET /s HTTP/1.1");
}

TEST_F(TlsTest, ProxyServesHttpUrlsOnly) {
  SetTrustedAuthorityFileForTesting(AuthorityFile());
  LoopbackServer secure(ReplyInTurn({OkReply("secure")}), Certificates().server);
  LoopbackServer origin(ReplyInTurn({OkReply("direct")}));
  LoopbackServer proxy(
      ReplyInTurn({OkReply("via proxy"),
                   {.bytes = "HTTP/1.1 302 Found\r\nLocation: " + secure.Url("/hop") +
                             "\r\nContent-Length: 0\r\n\r\n"}}));
  const Text proxyText = proxy.HostAndPort();

  EXPECT_EQ(WebRequest(origin.Url("/x?y=1"), 0, "", {.proxy = &proxyText}), B("via proxy"));
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(RequestLine(proxy.Requests()[0]), "GET " + origin.Url("/x?y=1") + " HTTP/1.1")
      << "a proxy is asked for the absolute url";
  EXPECT_TRUE(origin.Requests().empty());

  EXPECT_EQ(WebRequest(secure.Url("/direct"), 0, "", {.proxy = &proxyText}), B("secure"));
  EXPECT_EQ(proxy.Requests().size(), 1u) << "an https url goes direct";

  // The proxy answers the next http request with a redirect to https: the
  // https hop goes direct as well.
  EXPECT_EQ(WebRequest(origin.Url("/up"), 0, "", {.proxy = &proxyText}), B("secure"));
  EXPECT_EQ(proxy.Requests().size(), 2u);
  ASSERT_EQ(secure.Requests().size(), 2u);
  EXPECT_EQ(RequestLine(secure.Requests()[1]), "GET /hop HTTP/1.1");

  const Text noProxy = "";
  EXPECT_EQ(WebRequest(origin.Url("/"), 0, "", {.proxy = &noProxy}), B("direct"));
  EXPECT_EQ(proxy.Requests().size(), 2u) << "an empty proxy text means no proxy";
}

TEST_F(HostileServerTest, EnvironmentProxyIsNotUsed) {
  LoopbackServer origin(ReplyInTurn({OkReply("direct")}));
  LoopbackServer proxy(ReplyInTurn({OkReply("via proxy")}));
  const std::string proxyUrl = "http://" + proxy.HostAndPort();
  setenv("http_proxy", proxyUrl.c_str(), 1);
  setenv("HTTP_PROXY", proxyUrl.c_str(), 1);
  const Bytes body = WebRequest(origin.Url("/"));
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
  EXPECT_EQ(body, B("direct"));
  EXPECT_TRUE(proxy.Requests().empty());
}

}  // namespace
}  // namespace quibo
