// The HTTP exchange beneath the web request, over libcurl. Nothing outside
// web/ sees libcurl. One call makes one request (and the hops of the
// redirects it follows), each on a fresh connection, and releases all it
// used before it returns.
#pragma once

#include <optional>

#include "text/types.h"

namespace quibo {

struct HttpRequest {
  bool secure = false;          // TLS with certificate and host-name checks
  Text host;                    // as UrlHost gives it
  int port = 0;                 // 0: the scheme's default
  Text target;                  // the request's object, sent exactly as it stands
  Text verb;                    // "GET" or "POST"
  std::optional<Bytes> body;    // none: no body and no Content-Length
  TextList headerLines;         // sent in this order, each once, as written
  Text agent;                   // empty: no User-Agent of our own
  bool useCookieStore = false;  // share the process-wide cookie store
  bool followRedirects = true;  // follow 301/302/303/307/308 (at most 20 hops)
  Text httpProxy;               // "host:port" for http hops; empty: direct
};

enum class HttpOutcome {
  kNotOpened,   // the request cannot be made at all (unusable host or port)
  kSendFailed,  // no complete response header block arrived
  kCompleted,   // the whole response arrived
  kBodyCut,     // the header block arrived; the body broke off part way
};

struct HttpResponse {
  HttpOutcome outcome = HttpOutcome::kNotOpened;
  Text rawHeaders;  // status line and header lines, each ended by "\r\n"
  Bytes body;       // what arrived of the body of the final response
};

// False when the request cannot be made at all: a host or port libcurl cannot
// use, or an object holding control bytes. PerformHttpRequest then gives
// kNotOpened.
[[nodiscard]] bool CanOpenHttpRequest(const HttpRequest& request);

// Makes the request. Never throws; failures are the outcome.
[[nodiscard]] HttpResponse PerformHttpRequest(const HttpRequest& request);

}  // namespace quibo
