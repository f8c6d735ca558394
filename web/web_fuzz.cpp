// Feeds arbitrary bytes to the header-line processing, TextBetween, the URL
// helpers and the cookie merge, and checks what must hold for every input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/primitives.h"
#include "web/cookies.h"
#include "web/request_rules.h"
#include "web/url_helpers.h"

namespace {

using quibo::Text;

void Require(bool condition) {
  if (!condition) std::abort();
}

// The input as up to four texts separated by 0x00 bytes (Text holds none).
struct Pieces {
  Text part[4];
};

Pieces Split(const uint8_t* data, size_t size) {
  Pieces pieces;
  int index = 0;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      if (index < 3) ++index;
      continue;
    }
    pieces.part[index] += char(data[i]);
  }
  return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Pieces p = Split(data, size);
  const Text& a = p.part[0];
  const Text& b = p.part[1];
  const Text& c = p.part[2];

  const Text between = quibo::TextBetween(a, b, c, quibo::Index(size % 7) - 2, size % 2 == 0);
  Require(between.size() <= a.size());
  Require(quibo::HeaderValue(a).size() <= a.size());

  Require(quibo::UrlHost(a).size() <= a.size());
  (void)quibo::UrlHost(a, true, true);
  (void)quibo::UrlPort(a);
  const Text path = quibo::UrlPath(a);
  Require(!path.empty() && path[0] == '/');

  const quibo::ResponseHeaderFindings findings = quibo::ReadResponseHeaderLines(a);
  Require(findings.location.size() <= a.size());
  (void)quibo::IsMovedPermanently(a);
  (void)quibo::NamesUtf8Charset(quibo::TextToBytes(b), a);

  for (const Text& line : quibo::HeaderLinesToSend(a)) {
    Require(!line.empty() && line.find_first_of("\r\n") == Text::npos);
  }
  const Text headers = quibo::WithDefaultHeaderLines(a, "http://h/", b);
  Require(headers.compare(0, a.size(), a) == 0);
  (void)quibo::AgentFromHeaders(a);

  Text cookies = b;
  Text received = c;
  const Text merged = quibo::MergeCookies(cookies, received);
  Require(merged == cookies);
  // A space is left only in the separators "; ", or hidden as the second
  // byte of a two-byte character.
  for (const Text* text : {&cookies, &received}) {
    for (size_t i = 0; i < text->size(); ++i) {
      if ((*text)[i] != ' ') continue;
      Require(i > 0 && ((*text)[i - 1] == ';' || uint8_t((*text)[i - 1]) >= 0x80));
      Require(text == &cookies || uint8_t((*text)[i - 1]) >= 0x80);
    }
  }
  return 0;
}
