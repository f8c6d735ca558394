// The general web request: one HTTP or HTTPS request with the system's own
// rules around it (default agent and header lines, cookie bookkeeping, the
// raw response header block, its own follow-up of a 301, and the conversion
// of UTF-8 bodies to GBK). The chat exchange calls WebRequest(url, 1, body).
#pragma once

#include "text/types.h"

namespace quibo {

// The caller's variables that a request reads and writes; a null pointer is
// "not given". Each is written only as its comment says; nothing is written
// when the request cannot be made at all (an unusable url).
struct WebRequestIo {
  // Cookie text sent as a Cookie line; given (non-null, an empty text counts)
  // it keeps the process-wide cookie store out and receives the merge of the
  // cookies the response set (MergeCookies).
  Text* cookies = nullptr;
  // Written: the cookies the response set, each followed by "; " (after the
  // merge's removal of spaces when `cookies` is given).
  Text* receivedCookies = nullptr;
  // Read and written: extra request header lines separated by "\r\n"; the
  // default lines are appended to it.
  Text* headers = nullptr;
  // Read and written: the value of the response's last line holding
  // "Location:"; when empty afterwards, it becomes the raw header block.
  Text* location = nullptr;
  // True: redirects are not followed by the HTTP client (a 301 still is, by
  // the routine's own rule).
  bool noRedirect = false;
  // Read and written: the body bytes; when empty and a body is sent, it is
  // filled with the bytes of `postText`.
  Bytes* postBytes = nullptr;
  // Proxy "host:port" for http urls (https goes direct); the empty text means
  // no proxy.
  const Text* proxy = nullptr;
  // Written: the response's header block, status line and header lines each
  // ended by "\r\n"; 5000 spaces when no response arrived.
  Text* rawHeaders = nullptr;
};

// Sends the request and returns the response body, converted from UTF-8 to
// GBK when "charset=utf-8" starts within its first 499 bytes or occurs in the
// header block. `method` 1 sends POST; any other value GET, with a body when
// it is not 0. A 301 ("HTTP/1.1 301 Moved") is repeated at its Location
// followed by the current url's path, at most 20 times. Every failure gives
// empty Bytes.
[[nodiscard]] Bytes WebRequest(const Text& url, int method = 0, const Text& postText = {},
                               WebRequestIo io = {});

}  // namespace quibo
