// The parts of a URL that a request needs, and the pieces of header text the
// web request reads. All positions are 1-based; searches that ignore case
// fold ASCII letters only.
#pragma once

#include "text/types.h"

namespace quibo {

// The text between the first `startMarker` at or after `startPosition` (1 or
// less: from the first byte) and the next `endMarker` after it; empty when
// either is missing. In both markers "#引号" (GBK) stands for a quotation
// mark: TextBetween("a=\"x\"", "=#引号", "#引号") == "x". An empty start marker is
// found at the search's start: TextBetween("k: v", "", ":") == "k".
[[nodiscard]] Text TextBetween(const Text& text, const Text& startMarker, const Text& endMarker,
                               Index startPosition = 0, bool caseSensitive = false);

// The value after the first ":", spaces at both ends removed; no ":" gives
// the empty text. HeaderValue("Location: http://a/b") == "http://a/b".
[[nodiscard]] Text HeaderValue(const Text& line);

// True when the first five bytes, lower-cased, are "https".
[[nodiscard]] bool IsSecureUrl(const Text& url);

// The host of `url`, lower-cased: "HTTPS://P.Q.R:8443/x" gives "p.q.r";
// `keepPort` keeps ":8443"; `domainOnly` keeps the last two labels ("q.r").
// Whatever stands before the first "/" after the scheme counts as the host:
// "http://a.b?x=1" gives "a.b?x=1".
[[nodiscard]] Text UrlHost(const Text& url, bool domainOnly = false, bool keepPort = false);

// The port written after the host's last ":" (no digits: 0), else 443 for a
// secure url and 80 for any other. UrlPort("http://a.b:8080/x") == 8080.
[[nodiscard]] int UrlPort(const Text& url);

// The url from the first "/" after its host to its end, in the url's own case
// (path, query and fragment); "/" when there is none.
// UrlPath("http://a.b/P/q?x=1") == "/P/q?x=1"; UrlPath("http://a.b?x=1") == "/".
[[nodiscard]] Text UrlPath(const Text& url);

}  // namespace quibo
