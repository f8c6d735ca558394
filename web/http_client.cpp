#include "web/http_client.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>

#include "web/cookie_store.h"
#include "web/testing.h"

namespace quibo {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxRedirectHops = 20;
// libcurl refuses one header line above 100 KB itself; the whole block is
// bounded here so that a hostile server cannot make a response's headers
// grow without limit.
constexpr size_t kMaxHeaderBlockBytes = 300 * 1024;

struct Settings {
  std::atomic<long> connectMs{long(kDefaultConnectTimeout.count())};
  std::atomic<long> idleMs{long(kDefaultIdleTimeout.count())};
  std::mutex mutex;
  Text authorityFile;  // empty: the system's store
};

Settings& TheSettings() {
  static Settings settings;
  return settings;
}

void EnsureCurlInitialised() {
  // The first request initialises libcurl once, whatever thread it runs on;
  // it stays initialised for the rest of the run.
  static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
  (void)initialised;
}

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

struct CurlFree {
  void operator()(char* text) const { curl_free(text); }
};

// Owns a curl_slist.
class HeaderList {
 public:
  HeaderList() = default;
  HeaderList(HeaderList&& other) noexcept : list_(std::exchange(other.list_, nullptr)) {}
  HeaderList& operator=(HeaderList&& other) noexcept {
    std::swap(list_, other.list_);
    return *this;
  }
  HeaderList(const HeaderList&) = delete;
  HeaderList& operator=(const HeaderList&) = delete;
  ~HeaderList() { curl_slist_free_all(list_); }

  [[nodiscard]] bool Append(const Text& line) {
    curl_slist* grown = curl_slist_append(list_, line.c_str());
    if (!grown) return false;
    list_ = grown;
    return true;
  }
  [[nodiscard]] curl_slist* get() const { return list_; }

 private:
  curl_slist* list_ = nullptr;
};

bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t';
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// The name before a line's colon, as libcurl reads it; empty when the line
// has no colon or begins with one.
std::string_view HeaderName(std::string_view line) {
  const size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
}

bool NameIs(std::string_view name, std::string_view wanted) {
  if (name.size() != wanted.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (AsciiLower(name[i]) != AsciiLower(wanted[i])) return false;
  }
  return true;
}

bool HasLineNamed(const TextList& lines, std::string_view name) {
  for (const Text& line : lines) {
    if (NameIs(HeaderName(line), name)) return true;
  }
  return false;
}

bool HasControlBytes(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

// The caller's lines as libcurl must be told them so that each reaches the
// wire as written, followed by the lines that keep libcurl's own defaults
// out. A line without a name is no header line and is not sent.
HeaderList CurlHeaderLines(const TextList& lines, bool hasBody, bool* ok) {
  HeaderList list;
  *ok = true;
  for (const Text& line : lines) {
    const std::string_view name = HeaderName(line);
    if (name.empty()) continue;
    std::string_view value = std::string_view(line).substr(name.size() + 1);
    while (!value.empty() && IsAsciiSpace(value.front())) value.remove_prefix(1);
    // libcurl reads "Name:" with nothing after it as "remove Name"; "Name;"
    // sends "Name:" with its empty value.
    *ok &= list.Append(value.empty() ? Text(name) + ";" : line);
  }
  if (!HasLineNamed(lines, "Accept")) *ok &= list.Append("Accept:");
  if (hasBody && !HasLineNamed(lines, "Content-Type")) *ok &= list.Append("Content-Type:");
  if (!HasLineNamed(lines, "Expect")) *ok &= list.Append("Expect:");
  if (!HasLineNamed(lines, "Proxy-Connection")) *ok &= list.Append("Proxy-Connection:");
  return list;
}

// What arrives during one hop.
struct HopState {
  Text block;                // the header block being received
  bool blockEnded = false;   // its empty line has arrived
  bool headersDone = false;  // the final (non-1xx) block is complete
  bool headersTooLarge = false;
  Bytes body;
  Clock::time_point lastActivity = Clock::now();
  curl_off_t lastDown = 0;
  curl_off_t lastUp = 0;
  std::chrono::milliseconds idle{};
};

bool IsInterimStatus(std::string_view statusLine) {
  const size_t space = statusLine.find(' ');
  return space != std::string_view::npos && space + 1 < statusLine.size() &&
         statusLine[space + 1] == '1';
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user) {
  auto& hop = *static_cast<HopState*>(user);
  const size_t length = size * count;
  hop.lastActivity = Clock::now();
  if (hop.headersDone) return length;  // trailers after a chunked body
  std::string_view line(data, length);
  if (line == "\r\n" || line == "\n") {
    hop.blockEnded = true;
    // An interim 1xx block is not the response's: the next block replaces it.
    if (IsInterimStatus(hop.block)) return length;
    hop.headersDone = true;
    return length;
  }
  if (hop.blockEnded) {
    hop.block.clear();
    hop.blockEnded = false;
  }
  if (hop.block.size() + length > kMaxHeaderBlockBytes) {
    hop.headersTooLarge = true;
    return 0;  // aborts the transfer
  }
  // Text holds no zero byte; each line ends with "\r\n" even when the server
  // ended it with a bare LF.
  if (line.ends_with("\r\n")) line.remove_suffix(2);
  if (line.ends_with('\n')) line.remove_suffix(1);
  for (char c : line) {
    if (c != '\0') hop.block += c;
  }
  hop.block += "\r\n";
  return length;
}

size_t OnBodyBytes(char* data, size_t size, size_t count, void* user) {
  auto& hop = *static_cast<HopState*>(user);
  const size_t length = size * count;
  hop.lastActivity = Clock::now();
  hop.body.insert(hop.body.end(), data, data + length);
  return length;
}

int OnProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  auto& hop = *static_cast<HopState*>(user);
  const Clock::time_point now = Clock::now();
  if (down != hop.lastDown || up != hop.lastUp) {
    hop.lastDown = down;
    hop.lastUp = up;
    hop.lastActivity = now;
  }
  return now - hop.lastActivity > hop.idle ? 1 : 0;  // non-zero aborts
}

// One request on the wire.
struct Hop {
  Text url;     // where to connect
  Text target;  // the object as given; empty: libcurl's own from `url`
  Text verb;
  const Bytes* body = nullptr;
  TextList lines;
  bool secure = false;
};

// A host name of letters, digits, dots, hyphens and underscores: libcurl
// takes it as it stands and gives it back unchanged in a url.
bool IsPlainHostName(std::string_view host) {
  for (char c : host) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '-' || c == '_';
    if (!plain) return false;
  }
  return !host.empty();
}

// The url libcurl connects to for the first hop; empty when the host or port
// cannot be used.
Text FirstHopUrl(const HttpRequest& request) {
  if (request.host.empty() || HasControlBytes(request.host)) return {};
  if (request.port < 0 || request.port > 65535) return {};
  const Text port = std::to_string(request.port);
  const Text scheme = request.secure ? "https" : "http";
  // The common case is built here: libcurl's url parser and formatter cost
  // more than the rest of our side of a loopback request together.
  if (IsPlainHostName(request.host)) {
    return scheme + "://" + request.host + (request.port != 0 ? ":" + port : Text()) + "/";
  }
  std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_SCHEME, scheme.c_str(), 0) ||
      curl_url_set(url.get(), CURLUPART_HOST, request.host.c_str(), 0) ||
      (request.port != 0 && curl_url_set(url.get(), CURLUPART_PORT, port.c_str(), 0)) ||
      curl_url_set(url.get(), CURLUPART_PATH, "/", 0)) {
    return {};
  }
  char* text = nullptr;
  if (curl_url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK) return {};
  std::unique_ptr<char, CurlFree> owned(text);
  return Text(owned.get());
}

// "http" or "https" and the host and port, lower case, of a url libcurl made.
struct Origin {
  Text scheme, host, port;
  bool operator==(const Origin&) const = default;
};

std::optional<Origin> OriginOf(const char* url) {
  std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url, 0) != CURLUE_OK) return {};
  Origin origin;
  for (auto [part, out] :
       {std::pair{CURLUPART_SCHEME, &origin.scheme}, std::pair{CURLUPART_HOST, &origin.host},
        std::pair{CURLUPART_PORT, &origin.port}}) {
    char* text = nullptr;
    if (curl_url_get(parsed.get(), part, &text, CURLU_DEFAULT_PORT) != CURLUE_OK) return {};
    std::unique_ptr<char, CurlFree> owned(text);
    for (const char* c = owned.get(); *c; ++c) *out += AsciiLower(*c);
  }
  return origin;
}

bool IsFollowedRedirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Sets everything one hop needs on the handle; false when libcurl refuses.
bool PrepareHop(CURL* handle, const Hop& hop, const HttpRequest& request, HopState& state,
                HeaderList& headers) {
  bool ok = true;
  headers = CurlHeaderLines(hop.lines, hop.body != nullptr, &ok);
  const auto set = [&](CURLoption option, auto value) {
    ok &= curl_easy_setopt(handle, option, value) == CURLE_OK;
  };
  set(CURLOPT_URL, hop.url.c_str());
  set(CURLOPT_REQUEST_TARGET, hop.target.empty() ? nullptr : hop.target.c_str());
  set(CURLOPT_HTTPHEADER, headers.get());
  if (hop.body) {
    set(CURLOPT_POST, 1L);
    set(CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(hop.body->size()));
    set(CURLOPT_POSTFIELDS,
        hop.body->empty() ? "" : reinterpret_cast<const char*>(hop.body->data()));
    set(CURLOPT_CUSTOMREQUEST, hop.verb == "POST" ? nullptr : hop.verb.c_str());
  } else {
    set(CURLOPT_HTTPGET, 1L);
    set(CURLOPT_CUSTOMREQUEST, hop.verb == "GET" ? nullptr : hop.verb.c_str());
  }
  // The proxy serves the http scheme only; the empty text keeps libcurl from
  // taking a proxy from the environment.
  set(CURLOPT_PROXY, !hop.secure && !request.httpProxy.empty() ? request.httpProxy.c_str() : "");
  set(CURLOPT_HEADERDATA, &state);
  set(CURLOPT_WRITEDATA, &state);
  set(CURLOPT_XFERINFODATA, &state);
  return ok;
}

bool PrepareHandle(CURL* handle, const Text& authorityFile) {
  bool ok = true;
  const auto set = [&](CURLoption option, auto value) {
    ok &= curl_easy_setopt(handle, option, value) == CURLE_OK;
  };
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
  set(CURLOPT_FOLLOWLOCATION, 0L);  // hops are followed below, one by one
  set(CURLOPT_FRESH_CONNECT, 1L);
  set(CURLOPT_FORBID_REUSE, 1L);
  set(CURLOPT_HTTP_CONTENT_DECODING, 0L);
  set(CURLOPT_SSL_VERIFYPEER, 1L);
  set(CURLOPT_SSL_VERIFYHOST, 2L);
  if (!authorityFile.empty()) set(CURLOPT_CAINFO, authorityFile.c_str());
  set(CURLOPT_CONNECTTIMEOUT_MS, TheSettings().connectMs.load());
  set(CURLOPT_HEADERFUNCTION, OnHeaderLine);
  set(CURLOPT_WRITEFUNCTION, OnBodyBytes);
  set(CURLOPT_NOPROGRESS, 0L);
  set(CURLOPT_XFERINFOFUNCTION, OnProgress);
  return ok;
}

TextList CookieEngineLines(CURL* handle) {
  curl_slist* list = nullptr;
  TextList lines;
  if (curl_easy_getinfo(handle, CURLINFO_COOKIELIST, &list) != CURLE_OK) return lines;
  for (curl_slist* item = list; item; item = item->next) lines.emplace_back(item->data);
  curl_slist_free_all(list);
  return lines;
}

// Drops the lines that must not follow the request to another origin.
TextList LinesForOtherOrigin(const TextList& lines) {
  TextList kept;
  for (const Text& line : lines) {
    const std::string_view name = HeaderName(line);
    if (!NameIs(name, "Cookie") && !NameIs(name, "Authorization") && !NameIs(name, "Host")) {
      kept.push_back(line);
    }
  }
  return kept;
}

}  // namespace

bool CanOpenHttpRequest(const HttpRequest& request) {
  return !request.target.empty() && !HasControlBytes(request.target) &&
         !FirstHopUrl(request).empty();
}

HttpResponse PerformHttpRequest(const HttpRequest& request) {
  HttpResponse response;
  if (request.target.empty() || HasControlBytes(request.target)) return response;
  Hop hop;
  hop.url = FirstHopUrl(request);
  if (hop.url.empty()) return response;
  EnsureCurlInitialised();
  EasyHandle handle(curl_easy_init());
  Text authorityFile;
  {
    Settings& settings = TheSettings();
    std::lock_guard lock(settings.mutex);
    authorityFile = settings.authorityFile;
  }
  if (!handle || !PrepareHandle(handle.get(), authorityFile)) return response;
  if (!request.agent.empty())
    curl_easy_setopt(handle.get(), CURLOPT_USERAGENT, request.agent.c_str());

  TextList seeded;
  if (request.useCookieStore) {
    curl_easy_setopt(handle.get(), CURLOPT_COOKIEFILE, "");
    // A Cookie line of the caller's own is sent alone, not beside the store's.
    if (!HasLineNamed(request.headerLines, "Cookie")) seeded = CookieStoreLines();
    for (const Text& line : seeded)
      curl_easy_setopt(handle.get(), CURLOPT_COOKIELIST, line.c_str());
  }

  hop.secure = request.secure;
  hop.verb = request.verb;
  hop.body = request.body ? &*request.body : nullptr;
  hop.lines = request.headerLines;
  hop.target = request.target;
  if (!request.secure && !request.httpProxy.empty()) {
    // A proxy is asked for the absolute url.
    const bool defaultPort = request.port == 0 || request.port == 80;
    hop.target = "http://" + request.host +
                 (defaultPort ? Text() : ":" + std::to_string(request.port)) + request.target;
  }

  const std::chrono::milliseconds idle(TheSettings().idleMs.load());
  for (int hops = 0;; ++hops) {
    response.outcome = HttpOutcome::kSendFailed;
    HopState state;
    state.idle = idle;
    HeaderList headers;
    if (!PrepareHop(handle.get(), hop, request, state, headers)) break;
    const CURLcode result = curl_easy_perform(handle.get());
    if (!state.headersDone || state.headersTooLarge) break;
    response.rawHeaders = std::move(state.block);
    response.body = std::move(state.body);
    response.outcome = result == CURLE_OK ? HttpOutcome::kCompleted : HttpOutcome::kBodyCut;

    long status = 0;
    char* location = nullptr;
    curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(handle.get(), CURLINFO_REDIRECT_URL, &location);
    if (result != CURLE_OK || !request.followRedirects || !IsFollowedRedirect(status) ||
        !location) {
      break;
    }
    const std::optional<Origin> next = OriginOf(location);
    if (!next || (next->scheme != "http" && next->scheme != "https")) break;
    if (hops == kMaxRedirectHops) {  // a redirect loop is a failure
      response.outcome = HttpOutcome::kSendFailed;
      break;
    }
    char* current = nullptr;
    curl_easy_getinfo(handle.get(), CURLINFO_EFFECTIVE_URL, &current);
    if (!current || OriginOf(current) != next) hop.lines = LinesForOtherOrigin(hop.lines);
    hop.url = location;
    hop.target.clear();
    hop.secure = next->scheme == "https";
    // As browsers do: 303, and 301/302 after anything but GET, become a GET
    // without body; 307 and 308 repeat the request as it was.
    if (status == 303 || ((status == 301 || status == 302) && (hop.body || hop.verb != "GET"))) {
      hop.verb = "GET";
      hop.body = nullptr;
    }
  }
  if (response.outcome == HttpOutcome::kSendFailed) {
    response.rawHeaders.clear();
    response.body.clear();
  }
  if (request.useCookieStore) MergeIntoCookieStore(seeded, CookieEngineLines(handle.get()));
  return response;
}

void SetWebTimeoutsForTesting(std::chrono::milliseconds connect, std::chrono::milliseconds idle) {
  TheSettings().connectMs = long(connect.count());
  TheSettings().idleMs = long(idle.count());
}

void SetTrustedAuthorityFileForTesting(const Text& pemFilePath) {
  Settings& settings = TheSettings();
  std::lock_guard lock(settings.mutex);
  settings.authorityFile = pemFilePath;
}

}  // namespace quibo
