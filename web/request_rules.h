// The rules the web request applies around the bare HTTP exchange: which
// agent it names, which default header lines it adds, which header lines
// reach the wire, what it reads from the response's header block, and when
// it follows a 301 itself or converts the body to GBK.
#pragma once

#include "text/types.h"

namespace quibo {

// Used when the header text names no agent.
inline constexpr char kDefaultAgent[] =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; ZK4WP; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";

// The agent the header text names: the value of its "User-Agent:" line (case
// ignored) up to "\r\n", or failing that the value after the text's first
// colon; the default agent when no such line exists. Empty means no agent.
// AgentFromHeaders("user-agent: Tester\r\n") == "Tester".
[[nodiscard]] Text AgentFromHeaders(const Text& headers);

// `headers` with "Referer: <url>", "Accept: */*", "Accept-Language: zh-cn"
// and "Content-Type: application/x-www-form-urlencoded" appended where the
// text lacks "Referer:", "Accept:", … (exact case, anywhere), each after
// "\r\n" unless the text is empty; then "\r\nCookie: <cookieText>" when the
// cookie text is not empty. Line breaks inside the cookie text become spaces.
[[nodiscard]] Text WithDefaultHeaderLines(const Text& headers, const Text& url,
                                          const Text& cookieText);

// The header lines that go on the wire: `headers` split at "\r\n", empty
// lines left out, and every lone CR or LF inside a line turned into a space
// so that no line can smuggle another header in.
[[nodiscard]] TextList HeaderLinesToSend(const Text& headers);

// What the header lines of a response block tell: the value of the last line
// holding "Location:" (exact case, anywhere, so Content-Location counts) and
// the cookies of the lines holding "Set-Cookie", each followed by "; ".
struct ResponseHeaderFindings {
  bool locationFound = false;
  Text location;
  Text receivedCookies;
};
[[nodiscard]] ResponseHeaderFindings ReadResponseHeaderLines(const Text& rawHeaders);

// True when the block's status reads "HTTP/1.1 301 Moved" (case ignored).
[[nodiscard]] bool IsMovedPermanently(const Text& rawHeaders);

// True when "charset=utf-8" starts within the body's first 499 bytes, or
// occurs in the header block with exact case.
[[nodiscard]] bool NamesUtf8Charset(const Bytes& body, const Text& rawHeaders);

}  // namespace quibo
