#include "web/url_helpers.h"

#include <gtest/gtest.h>

namespace quibo {
namespace {

// "#引号" in GBK.
const Text kQuote = "#\xD2\xFD\xBA\xC5";

TEST(TextBetweenTest, Cases) {
  const struct {
    const char* name;
    Text text, start, end;
    Index from;
    bool caseSensitive;
    Text want;
  } cases[] = {
      {"value keeps its leading space", "Set-Cookie: a=1; path=/", "Set-Cookie:", ";", 0, false,
       " a=1"},
      {"markers ignore case by default", "set-cookie: a=1; x", "SET-COOKIE:", ";", 0, false,
       " a=1"},
      {"case-sensitive search misses", "set-cookie: a=1; x", "SET-COOKIE:", ";", 0, true, ""},
      {"missing start marker", "abc", "x", "c", 0, false, ""},
      {"missing end marker after start", "a;b=c", "b=", ";", 0, false, ""},
      {"end marker before start does not count", ";a=1", "a=", ";", 0, false, ""},
      {"empty end marker", "abc", "a", "", 0, false, ""},
      {"empty start marker found at the first byte", "k: v\r\nx", "", ":", 0, false, "k"},
      {"quote marker stands for a quotation mark", "x=\"val\" y", "=" + kQuote, kQuote, 0, false,
       "val"},
      {"quote marker in UTF-8 is no marker", "x=\"val\" y", "=#引号", "#引号", 0, false, ""},
      {"start position skips an earlier match", "a=1;a=2;", "a=", ";", 3, false, "2"},
      {"start position below 1 searches from the first byte", "a=1;", "a=", ";", -5, false, "1"},
      {"start position past the end", "a=1;", "a=", ";", 99, false, ""},
      {"end marker searched after the start marker", "<<x>>", "<", ">", 0, false, "<x"},
      {"empty text", "", "a", "b", 0, false, ""},
      {"a trail byte is no marker", "\x81:a;b:c;", ":", ";", 0, false, "c"},
      {"two-byte characters kept whole", "\xC3\xFB:\xD6\xB5;", "\xC3\xFB:", ";", 0, false,
       "\xD6\xB5"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextBetween(c.text, c.start, c.end, c.from, c.caseSensitive), c.want)
        << c.name << ": text \"" << c.text << "\" markers \"" << c.start << "\" \"" << c.end
        << "\" from " << c.from;
  }
}

TEST(HeaderValueTest, Cases) {
  const struct {
    Text line, want;
  } cases[] = {
      {"Location: http://a.b:81/x?y=1", "http://a.b:81/x?y=1"},
      {"Location:   spaced   ", "spaced"},
      {"no colon here", ""},
      {"ends with its only colon:", ""},
      {"", ""},
      {":", ""},
      {"X:\xA1\xA1value\xA1\xA1", "value"},
  };
  for (const auto& c : cases) EXPECT_EQ(HeaderValue(c.line), c.want) << "line \"" << c.line << "\"";
}

TEST(UrlPartsTest, Cases) {
  const struct {
    Text url;
    Text host, hostWithPort, domain;
    int port;
    Text path;
  } cases[] = {
      {"HTTPS://P.Q.R:8443/x", "p.q.r", "p.q.r:8443", "q.r", 8443, "/x"},
      {"a.b", "a.b", "a.b", "a.b", 80, "/"},
      {"", "", "", "", 80, "/"},
      {"http://a.b?x=1", "a.b?x=1", "a.b?x=1", "a.b?x=1", 80, "/"},
      {"https://a.b/", "a.b", "a.b", "a.b", 443, "/"},
      {"http://a.b:8080/x", "a.b", "a.b:8080", "a.b", 8080, "/x"},
      {"http://a.b:x/", "a.b", "a.b:x", "a.b", 0, "/"},
      {"http://a.b/P/q?x=1", "a.b", "a.b", "a.b", 80, "/P/q?x=1"},
      {"http://a.b", "a.b", "a.b", "a.b", 80, "/"},
      {"http://127.0.0.1:7780/ajax.php", "127.0.0.1", "127.0.0.1:7780", "0.1", 7780, "/ajax.php"},
      {"http://a.b/x#frag ment", "a.b", "a.b", "a.b", 80, "/x#frag ment"},
      {"Http://Www.A.B/Path", "www.a.b", "www.a.b", "a.b", 80, "/Path"},
      // A host whose letters also occur in the scheme is found after it.
      {"http://t/x", "t", "t", "t", 80, "/x"},
      {"https://s:444/q", "s", "s:444", "s", 444, "/q"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlHost(c.url), c.host) << "url \"" << c.url << "\"";
    EXPECT_EQ(UrlHost(c.url, false, true), c.hostWithPort) << "keepPort, url \"" << c.url << "\"";
    EXPECT_EQ(UrlHost(c.url, true, false), c.domain) << "domainOnly, url \"" << c.url << "\"";
    EXPECT_EQ(UrlPort(c.url), c.port) << "url \"" << c.url << "\"";
    EXPECT_EQ(UrlPath(c.url), c.path) << "url \"" << c.url << "\"";
  }
}

TEST(UrlPartsTest, SecureUrlIsDecidedByTheFirstFiveBytes) {
  const struct {
    Text url;
    bool secure;
  } cases[] = {{"https://a", true}, {"HTTPS://a", true}, {"http://a", false},
               {"https", true},     {"a.b", false},      {"", false}};
  for (const auto& c : cases) EXPECT_EQ(IsSecureUrl(c.url), c.secure) << "url \"" << c.url << "\"";
}

}  // namespace
}  // namespace quibo
