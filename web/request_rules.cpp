#include "web/request_rules.h"

#include "text/primitives.h"
#include "web/url_helpers.h"

namespace quibo {
namespace {

// A lone CR or LF turned into a space; "\r\n" pairs are not expected here.
Text WithoutLineBreaks(std::string_view text) {
  Text out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

}  // namespace

Text AgentFromHeaders(const Text& headers) {
  if (FindText(headers, "User-Agent:", 1, true) == -1) return kDefaultAgent;
  Text agent = TrimSpaces(TextBetween(headers, "User-Agent:", "\r\n"));
  if (agent.empty()) agent = HeaderValue(headers);
  return agent;
}

Text WithDefaultHeaderLines(const Text& headers, const Text& url, const Text& cookieText) {
  Text out = headers;
  if (FindText(out, "Referer:") == -1) {
    out += out.empty() ? "Referer: " : "\r\nReferer: ";
    out += url;
  }
  if (FindText(out, "Accept:") == -1) out += "\r\nAccept: */*";
  if (FindText(out, "Accept-Language:") == -1) out += "\r\nAccept-Language: zh-cn";
  if (FindText(out, "Content-Type:") == -1) {
    out += "\r\nContent-Type: application/x-www-form-urlencoded";
  }
  if (!cookieText.empty()) out += "\r\nCookie: " + WithoutLineBreaks(cookieText);
  return out;
}

TextList HeaderLinesToSend(const Text& headers) {
  TextList lines;
  std::string_view rest = headers;
  while (!rest.empty()) {
    const size_t end = rest.find("\r\n");
    const std::string_view line = rest.substr(0, end);
    if (!line.empty()) lines.push_back(WithoutLineBreaks(line));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 2);
  }
  return lines;
}

ResponseHeaderFindings ReadResponseHeaderLines(const Text& rawHeaders) {
  ResponseHeaderFindings findings;
  for (const Text& line : SplitText(rawHeaders, "\r\n")) {
    if (FindText(line, "Location:") != -1) {
      findings.locationFound = true;
      findings.location = HeaderValue(line);
    }
    if (FindText(line, "Set-Cookie") != -1) {
      findings.receivedCookies += TrimSpaces(TextBetween(line, "Set-Cookie:", ";"));
      findings.receivedCookies += "; ";
    }
  }
  return findings;
}

bool IsMovedPermanently(const Text& rawHeaders) {
  return TextBetween(rawHeaders, "HTTP/1.1 ", " Moved") == "301";
}

bool NamesUtf8Charset(const Bytes& body, const Text& rawHeaders) {
  const Index inBody = FindBytes(body, "charset=utf-8");
  if (inBody != -1 && inBody < 500) return true;
  return FindText(rawHeaders, "charset=utf-8") != -1;
}

}  // namespace quibo
