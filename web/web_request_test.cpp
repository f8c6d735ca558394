// WebRequest against a loopback server: every case checks the bytes that
// crossed the wire and the caller's variables afterwards.
#include "web/web_request.h"

#include <gtest/gtest.h>

#include "tests/support/loopback_server.h"
#include "text/primitives.h"
#include "web/request_rules.h"
#include "web/testing.h"

namespace quibo {
namespace {

using test::LoopbackServer;
using test::OkReply;
using test::ReplyInTurn;
using test::RequestBody;
using test::RequestHead;
using test::RequestHeaderLines;
using test::RequestLine;
using test::ServerReply;

Bytes B(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

// The header lines whose name is `name`, case ignored.
std::vector<std::string> LinesNamed(const std::string& request, std::string_view name) {
  std::vector<std::string> found;
  for (const std::string& line : RequestHeaderLines(request)) {
    if (line.size() > name.size() && line[name.size()] == ':' &&
        LowerCase(line.substr(0, name.size())) == LowerCase(name)) {
      found.push_back(line);
    }
  }
  return found;
}

ServerReply Redirect(std::string_view statusLine, std::string_view location) {
  return {.bytes = std::string(statusLine) + "\r\nLocation: " + std::string(location) +
                   "\r\nContent-Length: 0\r\n\r\n"};
}

class WebRequestTest : public testing::Test {
 protected:
  void SetUp() override { ClearCookieStoreForTesting(); }
};

TEST_F(WebRequestTest, ChatCallSendsExactlyTheDefaultRequest) {
  LoopbackServer server(ReplyInTurn({OkReply("%E4%BD%A0")}));
  const Text url = server.Url("/ajax.php");
  const Text host = server.HostAndPort();
  Text headers;
  Bytes postBytes;
  const Bytes body =
      WebRequest(url, 1, "para=%41%42", {.headers = &headers, .postBytes = &postBytes});

  EXPECT_EQ(body, B("%E4%BD%A0"));
  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string expected =
      "POST /ajax.php HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: " + kDefaultAgent +
      "\r\nReferer: " + url +
      "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
      "application/x-www-form-urlencoded\r\nContent-Length: 11\r\n\r\npara=%41%42";
  EXPECT_EQ(server.Requests()[0], expected);
  EXPECT_EQ(headers, "Referer: " + url +
                         "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
                         "application/x-www-form-urlencoded");
  EXPECT_EQ(postBytes, B("para=%41%42"));

  // The plain call of the chat exchange sends the same bytes.
  EXPECT_EQ(WebRequest(url, 1, "para=%41%42"), B("%E4%BD%A0"));
  EXPECT_EQ(server.Requests().at(1), expected);
}

TEST_F(WebRequestTest, MethodChoosesVerbAndBody) {
  const struct {
    int method;
    std::string requestLine;
    bool hasBody;
  } cases[] = {{0, "GET /m HTTP/1.1", false},
               {1, "POST /m HTTP/1.1", true},
               {2, "GET /m HTTP/1.1", true},
               {-3, "GET /m HTTP/1.1", true}};
  for (const auto& c : cases) {
    LoopbackServer server(ReplyInTurn({OkReply("")}));
    Bytes postBytes;
    (void)WebRequest(server.Url("/m"), c.method, "k=v", {.postBytes = &postBytes});
    ASSERT_EQ(server.Requests().size(), 1u) << "method " << c.method;
    const std::string request = server.Requests()[0];
    EXPECT_EQ(RequestLine(request), c.requestLine) << "method " << c.method;
    EXPECT_EQ(RequestBody(request), c.hasBody ? "k=v" : "") << "method " << c.method;
    EXPECT_EQ(LinesNamed(request, "Content-Length").size(), c.hasBody ? 1u : 0u)
        << "method " << c.method;
    EXPECT_EQ(LinesNamed(request, "Content-Type"),
              std::vector<std::string>{"Content-Type: application/x-www-form-urlencoded"})
        << "method " << c.method;
    EXPECT_EQ(postBytes, c.hasBody ? B("k=v") : Bytes()) << "method " << c.method;
  }
}

TEST_F(WebRequestTest, PostBytesGivenWinOverPostText) {
  LoopbackServer server(ReplyInTurn({OkReply("")}));
  Bytes postBytes = {'a', 0, 'b'};
  (void)WebRequest(server.Url("/"), 1, "ignored", {.postBytes = &postBytes});
  EXPECT_EQ(RequestBody(server.Requests().at(0)), std::string("a\0b", 3));
  EXPECT_EQ(postBytes, (Bytes{'a', 0, 'b'}));
}

TEST_F(WebRequestTest, HeaderTextOnTheWire) {
  const struct {
    const char* name;
    Text headers;
    std::vector<std::string> agentLines;  // the User-Agent lines sent
    std::vector<std::string> mustSend;    // further lines that must be sent, in order
  } cases[] = {
      {"default agent", "", {std::string("User-Agent: ") + kDefaultAgent}, {}},
      {"caller's agent line in lower case, once",
       "user-agent: Tester\r\n",
       {"user-agent: Tester"},
       {}},
      {"agent line without a break", "User-Agent: Tester", {"User-Agent: Tester"}, {}},
      {"empty agent: no agent line", "X-User-Agent:", {}, {"X-User-Agent:"}},
      {"lower-case referer is sent beside the Referer line",
       "referer: x",
       {std::string("User-Agent: ") + kDefaultAgent},
       {"referer: x", "Referer: http://"}},
      {"empty line kept out, empty value sent as written",
       "A: 1\r\n\r\nX-Empty:\r\nB: 2",
       {std::string("User-Agent: ") + kDefaultAgent},
       {"A: 1", "X-Empty:", "B: 2"}},
      {"a lone LF cannot start a header",
       "A: 1\nX-Injected: 2",
       {std::string("User-Agent: ") + kDefaultAgent},
       {"A: 1 X-Injected: 2"}},
      {"a caller's Accept is the only one",
       "accept: text/plain",
       {std::string("User-Agent: ") + kDefaultAgent},
       {"accept: text/plain", "Accept: */*"}},
  };
  for (const auto& c : cases) {
    LoopbackServer server(ReplyInTurn({OkReply("")}));
    Text headers = c.headers;
    (void)WebRequest(server.Url("/"), 0, "", {.headers = &headers});
    ASSERT_EQ(server.Requests().size(), 1u) << c.name;
    const std::string request = server.Requests()[0];
    EXPECT_EQ(LinesNamed(request, "User-Agent"), c.agentLines) << c.name << "\n" << request;
    const std::vector<std::string> lines = RequestHeaderLines(request);
    size_t next = 0;
    for (const std::string& line : lines) {
      if (next < c.mustSend.size() && line.starts_with(c.mustSend[next])) ++next;
    }
    EXPECT_EQ(next, c.mustSend.size()) << c.name << ": missing \"" << c.mustSend[next] << "\" in\n"
                                       << request;
    EXPECT_TRUE(LinesNamed(request, "X-Injected").empty()) << c.name;
    EXPECT_TRUE(LinesNamed(request, "Expect").empty()) << c.name;
    EXPECT_EQ(LinesNamed(request, "Host").size(), 1u) << c.name;
    EXPECT_TRUE(headers.starts_with(c.headers)) << c.name << ": the caller's text is kept as is";
  }
}

TEST_F(WebRequestTest, NoHeaderOfTheClientLibraryJoinsTheCallersLines) {
  // The default lines are looked for anywhere in the text, so these texts get
  // no Accept or Content-Type line of their own; none may appear from below.
  const struct {
    const char* name;
    Text headers;
    int method;
    const char* absent;
  } cases[] = {
      {"Accept inside another name", "My-Accept: a", 0, "Accept"},
      {"Content-Type inside another name, with a body", "X-Content-Type: c", 1, "Content-Type"},
      {"no Expect line", "", 1, "Expect"},
      {"no Proxy-Connection line", "", 0, "Proxy-Connection"},
  };
  for (const auto& c : cases) {
    LoopbackServer server(ReplyInTurn({OkReply("")}));
    Text headers = c.headers;
    (void)WebRequest(server.Url("/"), c.method, "b=1", {.headers = &headers});
    const std::string request = server.Requests().at(0);
    EXPECT_TRUE(LinesNamed(request, c.absent).empty()) << c.name << "\n" << request;
    EXPECT_EQ(RequestBody(request), c.method == 0 ? "" : "b=1") << c.name;
  }
}

TEST_F(WebRequestTest, CookieLineFollowsRedirectsToTheSameOriginOnly) {
  LoopbackServer other(ReplyInTurn({OkReply("other")}));
  LoopbackServer crossing(ReplyInTurn({Redirect("HTTP/1.1 302 Found", other.Url("/o"))}));
  LoopbackServer same(ReplyInTurn({Redirect("HTTP/1.1 302 Found", "/next"), OkReply("same")}));
  Text cookies = "a=1";
  EXPECT_EQ(WebRequest(crossing.Url("/start"), 0, "", {.cookies = &cookies}), B("other"));
  EXPECT_EQ(LinesNamed(crossing.Requests().at(0), "Cookie"),
            std::vector<std::string>{"Cookie: a=1"});
  ASSERT_EQ(other.Requests().size(), 1u);
  EXPECT_TRUE(LinesNamed(other.Requests()[0], "Cookie").empty()) << other.Requests()[0];

  EXPECT_EQ(WebRequest(same.Url("/start"), 0, "", {.cookies = &cookies}), B("same"));
  ASSERT_EQ(same.Requests().size(), 2u);
  EXPECT_EQ(RequestLine(same.Requests()[1]), "GET /next HTTP/1.1");
  EXPECT_EQ(LinesNamed(same.Requests()[1], "Cookie"), std::vector<std::string>{"Cookie: a=1"});
}

TEST_F(WebRequestTest, LineBreaksInTheCookieTextStayInsideTheCookieLine) {
  LoopbackServer server(ReplyInTurn({OkReply("")}));
  Text cookies = "a=1\r\nX-Injected: 1";
  (void)WebRequest(server.Url("/"), 0, "", {.cookies = &cookies});
  const std::string request = server.Requests().at(0);
  EXPECT_EQ(LinesNamed(request, "Cookie"), std::vector<std::string>{"Cookie: a=1  X-Injected: 1"});
  EXPECT_TRUE(LinesNamed(request, "X-Injected").empty()) << request;
}

TEST_F(WebRequestTest, LocationRule) {
  const struct {
    const char* name;
    std::string reply;
    Text locationBefore;
    bool wantRawHeaders;  // location ends as the raw header block
    Text want;
  } cases[] = {
      {"Location line", "HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 0\r\n\r\n", "",
       false, "/next"},
      {"Content-Location line",
       "HTTP/1.1 200 OK\r\nContent-Location: /a\r\nContent-Length: 0\r\n\r\n", "", false, "/a"},
      {"no line, empty before: the raw headers", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", "",
       true, ""},
      {"no line, kept when given", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", "kept", false,
       "kept"},
  };
  for (const auto& c : cases) {
    LoopbackServer server(ReplyInTurn({{.bytes = c.reply}}));
    Text location = c.locationBefore;
    Text rawHeaders;
    (void)WebRequest(server.Url("/"), 0, "",
                     {.location = &location, .noRedirect = true, .rawHeaders = &rawHeaders});
    EXPECT_EQ(rawHeaders, c.reply.substr(0, c.reply.size() - 2)) << c.name;
    EXPECT_EQ(location, c.wantRawHeaders ? rawHeaders : c.want) << c.name;
  }
}

TEST_F(WebRequestTest, SetCookieLinesAreGathered) {
  LoopbackServer server(ReplyInTurn(
      {OkReply("", "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\nset-cookie: c=3;\r\n")}));
  Text received = "stale";
  (void)WebRequest(server.Url("/"), 0, "", {.receivedCookies = &received});
  EXPECT_EQ(received, "a=1; ; ");
}

TEST_F(WebRequestTest, GivenCookiesAreSentAndMerged) {
  LoopbackServer server(ReplyInTurn({OkReply("", "Set-Cookie: b=3; path=/\r\n")}));
  Text cookies = "old=1; b=2";
  Text received;
  (void)WebRequest(server.Url("/"), 0, "", {.cookies = &cookies, .receivedCookies = &received});
  EXPECT_EQ(LinesNamed(server.Requests().at(0), "Cookie"),
            std::vector<std::string>{"Cookie: old=1; b=2"});
  EXPECT_EQ(cookies, "b=3; old=1");
  EXPECT_EQ(received, "b=3;");
}

TEST_F(WebRequestTest, ProcessCookieStoreServesRequestsWithoutCookies) {
  LoopbackServer server(ReplyInTurn({OkReply("", "Set-Cookie: s=1; Path=/\r\n"), OkReply("")}));
  (void)WebRequest(server.Url("/set"));
  (void)WebRequest(server.Url("/again"));
  Text given = "";
  (void)WebRequest(server.Url("/given"), 0, "", {.cookies = &given});
  ASSERT_EQ(server.Requests().size(), 3u);
  EXPECT_TRUE(LinesNamed(server.Requests()[0], "Cookie").empty());
  EXPECT_EQ(LinesNamed(server.Requests()[1], "Cookie"), std::vector<std::string>{"Cookie: s=1"});
  EXPECT_TRUE(LinesNamed(server.Requests()[2], "Cookie").empty())
      << "a request with its own cookie text leaves the store out";
  EXPECT_EQ(given, "");
}

TEST_F(WebRequestTest, CookieStoreForgetsDeletedCookies) {
  LoopbackServer server(
      ReplyInTurn({OkReply("", "Set-Cookie: s=1; Path=/\r\n"),
                   OkReply("", "Set-Cookie: s=; Path=/; Max-Age=0\r\n"), OkReply("")}));
  (void)WebRequest(server.Url("/set"));
  (void)WebRequest(server.Url("/delete"));
  (void)WebRequest(server.Url("/after"));
  EXPECT_EQ(LinesNamed(server.Requests().at(1), "Cookie"), std::vector<std::string>{"Cookie: s=1"});
  EXPECT_TRUE(LinesNamed(server.Requests().at(2), "Cookie").empty()) << server.Requests()[2];
}

TEST_F(WebRequestTest, MovedPermanentlyIsRepeatedByTheRoutine) {
  const struct {
    const char* statusLine;
    bool repeated;
  } cases[] = {{"HTTP/1.1 301 Moved Permanently", true},
               {"http/1.1 301 moved permanently", true},
               {"HTTP/1.0 301 Moved Permanently", false},
               {"HTTP/1.1 302 Moved Temporarily", false}};
  for (const auto& c : cases) {
    LoopbackServer target(ReplyInTurn({OkReply("arrived")}));
    LoopbackServer server(ReplyInTurn({Redirect(c.statusLine, target.Url(""))}));
    Text location;
    Text headers;
    const Bytes body = WebRequest(server.Url("/p/q?x=1"), 0, "",
                                  {.headers = &headers, .location = &location, .noRedirect = true});
    ASSERT_EQ(server.Requests().size(), 1u) << c.statusLine;
    if (c.repeated) {
      EXPECT_EQ(body, B("arrived")) << c.statusLine;
      ASSERT_EQ(target.Requests().size(), 1u) << c.statusLine;
      EXPECT_EQ(RequestLine(target.Requests()[0]), "GET /p/q?x=1 HTTP/1.1") << c.statusLine;
      EXPECT_EQ(LinesNamed(target.Requests()[0], "Referer"),
                std::vector<std::string>{"Referer: " + server.Url("/p/q?x=1")})
          << "the repeated request keeps the first Referer line";
      EXPECT_TRUE(location.starts_with("HTTP/1.1 200 OK\r\n")) << c.statusLine;
    } else {
      EXPECT_TRUE(target.Requests().empty()) << c.statusLine;
      EXPECT_EQ(body, Bytes()) << c.statusLine;
      EXPECT_EQ(location, target.Url("")) << c.statusLine;
    }
  }
}

TEST_F(WebRequestTest, EndlessMovedPermanentlyFailsAfterTwentyRepetitions) {
  // The server answers every request with a 301 to itself.
  std::string selfUrl;
  LoopbackServer looping([&selfUrl](const std::string&) {
    return Redirect("HTTP/1.1 301 Moved Permanently", selfUrl);
  });
  selfUrl = looping.Url("");
  Text location, rawHeaders;
  const Bytes body =
      WebRequest(looping.Url("/x"), 0, "",
                 {.location = &location, .noRedirect = true, .rawHeaders = &rawHeaders});
  EXPECT_EQ(body, Bytes());
  EXPECT_EQ(looping.Requests().size(), 21u) << "the first request and 20 repetitions";
  EXPECT_EQ(location, selfUrl) << "as the last repetition left it";
  EXPECT_TRUE(rawHeaders.starts_with("HTTP/1.1 301 Moved Permanently\r\n"));
}

TEST_F(WebRequestTest, RedirectsAreFollowedByTheClientUnlessNoRedirect) {
  LoopbackServer target(ReplyInTurn({OkReply("final", "Set-Cookie: t=1; path=/\r\n")}));
  LoopbackServer server(
      ReplyInTurn({{.bytes = "HTTP/1.1 302 Found\r\nLocation: " + target.Url("/t?q") +
                             "\r\nSet-Cookie: first=1\r\nContent-Length: 0\r\n\r\n"}}));
  Text rawHeaders, received;
  const Bytes body = WebRequest(server.Url("/s"), 1, "x=1",
                                {.receivedCookies = &received, .rawHeaders = &rawHeaders});
  EXPECT_EQ(body, B("final"));
  ASSERT_EQ(target.Requests().size(), 1u);
  EXPECT_EQ(RequestLine(target.Requests()[0]), "GET /t?q HTTP/1.1")
      << "a POST answered by 302 continues as a GET";
  EXPECT_EQ(RequestBody(target.Requests()[0]), "");
  EXPECT_EQ(rawHeaders, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nSet-Cookie: t=1; path=/\r\n")
      << "only the final response's block";
  EXPECT_EQ(received, "t=1; ");
}

TEST_F(WebRequestTest, TemporaryRedirect307KeepsVerbAndBody) {
  LoopbackServer target(ReplyInTurn({OkReply("final")}));
  LoopbackServer server(
      ReplyInTurn({Redirect("HTTP/1.1 307 Temporary Redirect", target.Url("/t"))}));
  EXPECT_EQ(WebRequest(server.Url("/s"), 1, "x=1"), B("final"));
  ASSERT_EQ(target.Requests().size(), 1u);
  EXPECT_EQ(RequestLine(target.Requests()[0]), "POST /t HTTP/1.1");
  EXPECT_EQ(RequestBody(target.Requests()[0]), "x=1");
}

TEST_F(WebRequestTest, ClientRedirectLoopFailsAfterTwentyHops) {
  std::string selfUrl;
  LoopbackServer looping(
      [&selfUrl](const std::string&) { return Redirect("HTTP/1.1 302 Found", selfUrl); });
  selfUrl = looping.Url("/again");
  Text rawHeaders;
  EXPECT_EQ(WebRequest(looping.Url("/"), 0, "", {.rawHeaders = &rawHeaders}), Bytes());
  EXPECT_EQ(looping.Requests().size(), 21u);
  EXPECT_EQ(rawHeaders, BlankText(5000));
}

TEST_F(WebRequestTest, Utf8BodyIsConvertedWhenTheCharsetIsNamed) {
  const std::string utf8 = "\xE4\xBD\xA0\xE5\xA5\xBD";  // 你好
  const Bytes gbk = {0xC4, 0xE3, 0xBA, 0xC3};
  const struct {
    const char* name;
    std::string headerLines;
    Bytes want;
  } cases[] = {
      {"named in the headers", "Content-Type: text/plain; charset=utf-8\r\n", gbk},
      {"upper case does not count", "Content-Type: text/plain; charset=UTF-8\r\n", B(utf8)},
      {"not named", "", B(utf8)},
  };
  for (const auto& c : cases) {
    LoopbackServer server(ReplyInTurn({OkReply(utf8, c.headerLines)}));
    EXPECT_EQ(WebRequest(server.Url("/")), c.want) << c.name;
  }
}

TEST_F(WebRequestTest, RefusedConnectionIsTheSendFailsRow) {
  int closedPort = 0;
  {
    LoopbackServer gone(ReplyInTurn({}));
    closedPort = gone.Port();
  }
  const Text url = "http://127.0.0.1:" + std::to_string(closedPort) + "/x";
  Text location, received = "stale", headers, rawHeaders;
  Bytes postBytes;
  Text cookies = "a=1";
  const Bytes body = WebRequest(url, 1, "p=1",
                                {.cookies = &cookies,
                                 .receivedCookies = &received,
                                 .headers = &headers,
                                 .location = &location,
                                 .postBytes = &postBytes,
                                 .rawHeaders = &rawHeaders});
  EXPECT_EQ(body, Bytes());
  EXPECT_EQ(rawHeaders, BlankText(5000));
  EXPECT_EQ(location, BlankText(5000));
  EXPECT_EQ(received, "");
  EXPECT_EQ(cookies, "a=1");
  EXPECT_TRUE(headers.starts_with("Referer: " + url)) << headers;
  EXPECT_EQ(postBytes, B("p=1"));
}

TEST_F(WebRequestTest, UnusableUrlWritesNothing) {
  const Text urls[] = {"",
                       "http://a.b?x=1",
                       "http://a b/",
                       "http://127.0.0.1:70000/",
                       "http://127.0.0.1/x\r\nX-Injected: 1",
                       "http://127.0.0.1/x\ny"};
  for (const Text& url : urls) {
    Text location = "L", received = "R", headers = "H: 1", rawHeaders = "W";
    Bytes postBytes;
    EXPECT_EQ(WebRequest(url, 1, "p",
                         {.receivedCookies = &received,
                          .headers = &headers,
                          .location = &location,
                          .postBytes = &postBytes,
                          .rawHeaders = &rawHeaders}),
              Bytes())
        << "url \"" << url << "\"";
    EXPECT_EQ(location + received + headers + rawHeaders, "LRH: 1W") << "url \"" << url << "\"";
    EXPECT_TRUE(postBytes.empty()) << "url \"" << url << "\"";
  }
}

}  // namespace
}  // namespace quibo
