#include "web/web_request.h"

#include <optional>

#include "text/encodings.h"
#include "text/primitives.h"
#include "web/cookies.h"
#include "web/http_client.h"
#include "web/request_rules.h"
#include "web/url_helpers.h"

namespace quibo {
namespace {

// How often a 301 is repeated before the request counts as a failure.
constexpr int kMaxMovedRepetitions = 20;
// What the header block reads when no response arrived.
constexpr Index kBlankHeaderLength = 5000;

// The caller's variables, or scratch ones for those not given.
struct Variables {
  bool cookiesGiven;
  Text& cookies;
  Text& receivedCookies;
  Text& headers;
  Text& location;
  Bytes& postBytes;
  std::optional<Text> proxy;
  Text& rawHeaders;
  bool noRedirect;
};

bool HasControlBytes(const Text& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

struct OneResult {
  bool opened = false;
  bool moved = false;
  Bytes body;
};

// One request and the processing of its response, up to the decision on the
// status 301.
OneResult RequestOnce(const Text& url, int method, const Text& postText, Variables& v) {
  // A url with control bytes could split the Referer line or the request
  // line; such a url cannot be requested, as one with an unusable host.
  if (HasControlBytes(url)) return {};
  HttpRequest request;
  request.secure = IsSecureUrl(url);
  request.host = UrlHost(url);
  request.port = UrlPort(url);
  request.target = UrlPath(url);
  request.verb = method == 1 ? "POST" : "GET";
  request.agent = AgentFromHeaders(v.headers);
  request.useCookieStore = !v.cookiesGiven;
  request.followRedirects = !v.noRedirect;
  if (v.proxy) request.httpProxy = *v.proxy;
  // What cannot be opened at all writes nothing.
  if (!CanOpenHttpRequest(request)) return {};

  v.headers = WithDefaultHeaderLines(v.headers, url, v.cookies);
  request.headerLines = HeaderLinesToSend(v.headers);
  if (method != 0) {
    if (v.postBytes.empty()) v.postBytes = TextToBytes(postText);
    request.body = v.postBytes;
  }
  HttpResponse response = PerformHttpRequest(request);
  if (response.outcome == HttpOutcome::kNotOpened) return {};

  OneResult result;
  result.opened = true;
  v.rawHeaders = response.outcome == HttpOutcome::kSendFailed ? BlankText(kBlankHeaderLength)
                                                              : std::move(response.rawHeaders);
  const ResponseHeaderFindings findings = ReadResponseHeaderLines(v.rawHeaders);
  if (findings.locationFound) v.location = findings.location;
  v.receivedCookies = findings.receivedCookies;
  if (v.cookiesGiven) MergeCookies(v.cookies, v.receivedCookies);
  if (v.location.empty()) v.location = v.rawHeaders;
  if (IsMovedPermanently(v.rawHeaders)) {
    result.moved = true;
    return result;
  }
  result.body = std::move(response.body);
  if (NamesUtf8Charset(result.body, v.rawHeaders)) result.body = Utf8BytesToGbk(result.body);
  return result;
}

}  // namespace

Bytes WebRequest(const Text& url, int method, const Text& postText, WebRequestIo io) {
  Text cookies, receivedCookies, headers, location, rawHeaders;
  Bytes postBytes;
  Variables v{
      .cookiesGiven = io.cookies != nullptr,
      .cookies = io.cookies ? *io.cookies : cookies,
      .receivedCookies = io.receivedCookies ? *io.receivedCookies : receivedCookies,
      .headers = io.headers ? *io.headers : headers,
      .location = io.location ? *io.location : location,
      .postBytes = io.postBytes ? *io.postBytes : postBytes,
      .proxy = io.proxy ? std::optional<Text>(*io.proxy) : std::nullopt,
      .rawHeaders = io.rawHeaders ? *io.rawHeaders : rawHeaders,
      .noRedirect = io.noRedirect,
  };
  Text currentUrl = url;
  for (int repetition = 0;; ++repetition) {
    OneResult result = RequestOnce(currentUrl, method, postText, v);
    if (!result.opened) return {};
    if (!result.moved) return std::move(result.body);
    // A server that keeps answering 301 ends the request as a failure; the
    // variables stay as this last answer left them.
    if (repetition == kMaxMovedRepetitions) return {};
    currentUrl = v.location + UrlPath(currentUrl);
    v.location.clear();
  }
}

}  // namespace quibo
