#include "web/request_rules.h"

#include <gtest/gtest.h>

#include "text/primitives.h"

namespace quibo {
namespace {

TEST(AgentFromHeadersTest, Cases) {
  const struct {
    const char* name;
    Text headers, agent;
  } cases[] = {
      {"no agent line: the default", "", kDefaultAgent},
      {"lower-case line with its break", "user-agent: Tester\r\n", "Tester"},
      {"line without a break", "User-Agent: Tester", "Tester"},
      {"among other lines", "X: 1\r\nUSER-AGENT:  Tester 2 \r\nY: 2", "Tester 2"},
      {"empty value without a break: the value after the first colon",
       "X: 1\r\nUser-Agent:", "1\r\nUser-Agent:"},
      {"empty value and nothing else: no agent", "User-Agent:", ""},
      {"empty value with a break falls back to the first colon", "User-Agent: \r\nX: y",
       "\r\nX: y"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AgentFromHeaders(c.headers), c.agent)
        << c.name << ": headers \"" << c.headers << "\"";
  }
}

TEST(WithDefaultHeaderLinesTest, Cases) {
  const Text url = "http://h/p";
  const Text defaults =
      "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
      "application/x-www-form-urlencoded";
  const struct {
    const char* name;
    Text headers, cookies, want;
  } cases[] = {
      {"empty text gets every line", "", "", "Referer: http://h/p" + defaults},
      {"agent line with break: an empty line stands before Referer", "user-agent: Tester\r\n", "",
       "user-agent: Tester\r\n\r\nReferer: http://h/p" + defaults},
      {"lower-case referer is no Referer line", "referer: x", "",
       "referer: x\r\nReferer: http://h/p" + defaults},
      {"present lines are not repeated",
       "Referer: r\r\nAccept: a\r\nAccept-Language: l\r\nContent-Type: c", "",
       "Referer: r\r\nAccept: a\r\nAccept-Language: l\r\nContent-Type: c"},
      {"found anywhere, even inside another name", "X-Content-Type: c\r\nMy-Accept: a", "",
       "X-Content-Type: c\r\nMy-Accept: a\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"},
      {"cookie line last", "", "a=1; b=2",
       "Referer: http://h/p" + defaults + "\r\nCookie: a=1; b=2"},
      {"cookie line even when one is there", "Cookie: z=0", "a=1",
       "Cookie: z=0\r\nReferer: http://h/p" + defaults + "\r\nCookie: a=1"},
      {"line breaks in the cookie text become spaces", "", "a=1\r\nX-Evil: 1\nb\r",
       "Referer: http://h/p" + defaults + "\r\nCookie: a=1  X-Evil: 1 b "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithDefaultHeaderLines(c.headers, url, c.cookies), c.want)
        << c.name << ": headers \"" << c.headers << "\" cookies \"" << c.cookies << "\"";
  }
}

TEST(HeaderLinesToSendTest, EmptyLinesStayOutAndLoneBreaksBecomeSpaces) {
  const struct {
    Text headers;
    TextList want;
  } cases[] = {
      {"", {}},
      {"A: 1\r\n\r\nB: 2\r\n", {"A: 1", "B: 2"}},
      {"A: 1\nB: 2\r\nC: 3\r", {"A: 1 B: 2", "C: 3 "}},
      {"\r\n\r\n", {}},
      {"A: x\r\r\nB: y", {"A: x ", "B: y"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HeaderLinesToSend(c.headers), c.want) << "headers \"" << c.headers << "\"";
  }
}

TEST(ReadResponseHeaderLinesTest, LocationAndCookies) {
  const struct {
    const char* name;
    Text raw;
    bool locationFound;
    Text location, cookies;
  } cases[] = {
      {"two cookie lines, the second without ;",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n", false, "", "a=1; ; "},
      {"Content-Location counts", "HTTP/1.1 200 OK\r\nContent-Location: /a\r\n", true, "/a", ""},
      {"later line wins", "HTTP/1.1 302 Found\r\nLocation: /1\r\nLocation: http://x:1/2\r\n", true,
       "http://x:1/2", ""},
      {"lower-case location does not count", "HTTP/1.1 302 Found\r\nlocation: /1\r\n", false, "",
       ""},
      {"empty Location value", "HTTP/1.1 302 Found\r\nLocation:\r\n", true, "", ""},
      {"set-cookie must be exact case", "HTTP/1.1 200 OK\r\nset-cookie: a=1;\r\n", false, "", ""},
      {"marker found ignoring case once the line counts",
       "HTTP/1.1 200 OK\r\nX-Set-Cookie-Info: SET-COOKIE: q=1;\r\n", false, "", "q=1; "},
      {"no header block", BlankText(5000), false, "", ""},
  };
  for (const auto& c : cases) {
    const ResponseHeaderFindings findings = ReadResponseHeaderLines(c.raw);
    EXPECT_EQ(findings.locationFound, c.locationFound) << c.name;
    EXPECT_EQ(findings.location, c.location) << c.name;
    EXPECT_EQ(findings.receivedCookies, c.cookies) << c.name;
  }
}

TEST(StatusRuleTest, OnlyHttp11MovedAs301Counts) {
  const struct {
    Text raw;
    bool moved;
  } cases[] = {
      {"HTTP/1.1 301 Moved Permanently\r\n", true},
      {"http/1.1 301 moved permanently\r\n", true},
      {"HTTP/1.1 302 Moved Temporarily\r\n", false},
      {"HTTP/1.0 301 Moved Permanently\r\n", false},
      {"HTTP/1.1 301 Permanent Redirect\r\n", false},
      {"HTTP/1.1 200 OK\r\nX: HTTP/1.1 301 Moved\r\n", false},
      {BlankText(5000), false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsMovedPermanently(c.raw), c.moved) << c.raw;
}

TEST(CharsetRuleTest, BodyPositionAndHeaderCase) {
  const auto bodyWithCharsetAt = [](Index position) {
    return TextToBytes(BlankText(position - 1) + "charset=utf-8");
  };
  const struct {
    const char* name;
    Bytes body;
    Text raw;
    bool convert;
  } cases[] = {
      {"starts at byte 1", bodyWithCharsetAt(1), "", true},
      {"starts at byte 499", bodyWithCharsetAt(499), "", true},
      {"starts at byte 500", bodyWithCharsetAt(500), "", false},
      {"at 500 but named in the headers", bodyWithCharsetAt(500),
       "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n", true},
      {"upper case in the headers does not count",
       {},
       "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\n",
       false},
      {"upper case in the body does not count", TextToBytes("charset=UTF-8"), "", false},
      {"nothing", TextToBytes("hello"), "HTTP/1.1 200 OK\r\n", false},
  };
  for (const auto& c : cases) EXPECT_EQ(NamesUtf8Charset(c.body, c.raw), c.convert) << c.name;
}

}  // namespace
}  // namespace quibo
