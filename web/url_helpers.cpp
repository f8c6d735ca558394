#include "web/url_helpers.h"

#include "text/primitives.h"

namespace quibo {
namespace {

// "#引号" in GBK: callers write it for a quotation mark inside a marker.
constexpr char kQuoteMarker[] = "#\xD2\xFD\xBA\xC5";

bool StartsWith(const Text& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

Text TextBetween(const Text& text, const Text& startMarker, const Text& endMarker,
                 Index startPosition, bool caseSensitive) {
  // Markers rarely hold the quote marker; most calls need no copy of them.
  const auto unquoted = [](const Text& marker) {
    return marker.find('#') == Text::npos ? marker : ReplaceText(marker, kQuoteMarker, "\"");
  };
  const Text start = unquoted(startMarker);
  const Text end = unquoted(endMarker);
  const Index p = FindText(text, start, startPosition < 1 ? 1 : startPosition, !caseSensitive);
  if (p == -1) return {};
  const Index q = p + TextLength(start);
  const Index e = FindText(text, end, q, !caseSensitive);
  if (e == -1) return {};
  return TextMid(text, q, e - q);
}

Text HeaderValue(const Text& line) {
  const Index colon = FindText(line, ":");
  if (colon == -1) return {};
  return TrimSpaces(TextRight(line, TextLength(line) - colon));
}

bool IsSecureUrl(const Text& url) {
  return LowerCase(TextLeft(url, 5)) == "https";
}

Text UrlHost(const Text& url, bool domainOnly, bool keepPort) {
  Text s = LowerCase(url);
  if (s.empty() || s.back() != '/') s += '/';
  if (StartsWith(s, "https://")) {
    s = TextBetween(s, "https://", "/");
  } else {
    if (FindText(s, "http://") == -1) s = "http://" + s;
    s = TextBetween(s, "http://", "/");
  }
  if (domainOnly) {
    const TextList labels = SplitText(s, ".");
    if (labels.size() >= 2) s = JoinText(labels[labels.size() - 2], ".", labels.back());
  }
  if (keepPort) return s;
  const Index colon = FindText(s, ":");
  return colon == -1 ? s : TextLeft(s, colon - 1);
}

int UrlPort(const Text& url) {
  const Text host = UrlHost(url, false, true);
  const Index colon = FindTextReverse(host, ":");
  if (colon != -1) return TextToInt(TextRight(host, TextLength(host) - colon));
  return IsSecureUrl(url) ? 443 : 80;
}

Text UrlPath(const Text& url) {
  const Text host = UrlHost(url);
  // The host is looked for after the scheme: a host that also occurs in the
  // scheme's own letters ("http://t/x") must not be found there.
  const Text lower = LowerCase(TextLeft(url, 8));
  const Index from = StartsWith(lower, "https://") ? 9 : StartsWith(lower, "http://") ? 8 : 1;
  const Index a = FindText(url, host, from, true);
  const Index b = FindText(url, "/", a);
  if (b == -1) return "/";
  return TextMid(url, b, TextLength(url) - b + 1);
}

}  // namespace quibo
