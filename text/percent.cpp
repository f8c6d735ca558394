#include <array>
#include <cstring>

#include "text/encodings.h"

namespace quibo {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// "%XX" of every byte, with a fourth byte to spare, as one 4-byte word each.
struct Escape {
  char text[4];
};
constexpr std::array<Escape, 256> MakeEscapes() {
  std::array<Escape, 256> escapes{};
  for (int b = 0; b < 256; ++b) escapes[b] = {{'%', kHexDigits[b >> 4], kHexDigits[b & 0xF], 0}};
  return escapes;
}
constexpr std::array<Escape, 256> kEscapes = MakeEscapes();

constexpr bool IsSafe(unsigned b) {
  return b == '-' || b == '.' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
         (b >= 'a' && b <= 'z');
}

// A byte's digit value: its place in "0123456789ABCDEF" after upper-casing,
// and -2 for a byte that is not there. Lenient on purpose: servers send
// malformed escapes and the reply must still show.
constexpr std::array<int, 256> MakeDigitValues() {
  std::array<int, 256> v{};
  for (int b = 0; b < 256; ++b) {
    int up = (b >= 'a' && b <= 'z') ? b - 32 : b;
    v[b] = -2;
    for (int k = 0; k < 16; ++k) {
      if (kHexDigits[k] == up) v[b] = k;
    }
  }
  return v;
}
constexpr std::array<int, 256> kDigitValue = MakeDigitValues();

// The high digit's share, 16 times its value, so a byte decodes with one add.
constexpr std::array<int, 256> MakeHighShares() {
  std::array<int, 256> v{};
  for (int b = 0; b < 256; ++b) v[b] = 16 * kDigitValue[b];
  return v;
}
constexpr std::array<int, 256> kHighShare = MakeHighShares();

// The byte the escape at `at` stands for; both its digits are in the text.
unsigned char EscapedByte(const unsigned char* src, std::size_t at) {
  return static_cast<unsigned char>((kHighShare[src[at + 1]] + kDigitValue[src[at + 2]]) & 0xFF);
}

}  // namespace

Text PercentEncode(const Text& text, EncodeOptions options) {
  const Text utf8 = options.asUtf8 ? GbkToUtf8(text) : Text();
  const Text& source = options.asUtf8 ? utf8 : text;
  if (!options.keepSafeBytes) {
    // One 4-byte store an escape, each overwriting the spare byte the last
    // one left: the room for one more byte is trimmed at the end.
    Text out(source.size() * 3 + 1, '\0');
    char* dst = out.data();
    for (unsigned char b : source) {
      std::memcpy(dst, &kEscapes[b], 4);
      dst += 3;
    }
    out.pop_back();
    return out;
  }
  Text out(source.size() * 3, '\0');
  char* dst = out.data();
  for (unsigned char b : source) {
    if (IsSafe(b)) {
      *dst++ = static_cast<char>(b);
    } else {
      dst[0] = '%';
      dst[1] = kHexDigits[b >> 4];
      dst[2] = kHexDigits[b & 0xF];
      dst += 3;
    }
  }
  out.resize(static_cast<std::size_t>(dst - out.data()));
  return out;
}

Text PercentDecode(const Text& text, DecodeOptions options) {
  const std::size_t n = text.size();
  const auto* src = reinterpret_cast<const unsigned char*>(text.data());
  Text out(n, '\0');
  char* const begin = out.data();
  char* dst = begin;
  std::size_t i = 0;
  // While a whole escape fits, decode without bounds checks, keeping every
  // decoded byte so that no write waits on the table lookups. An escaped
  // zero byte must be dropped: the rare text that holds one is decoded
  // again, byte by byte.
  while (i + 2 < n) {
    // Escaped text comes in long runs of escapes: four at a time.
    while (i + 11 < n && src[i] == '%' && src[i + 3] == '%' && src[i + 6] == '%' &&
           src[i + 9] == '%') {
      dst[0] = static_cast<char>(EscapedByte(src, i));
      dst[1] = static_cast<char>(EscapedByte(src, i + 3));
      dst[2] = static_cast<char>(EscapedByte(src, i + 6));
      dst[3] = static_cast<char>(EscapedByte(src, i + 9));
      dst += 4;
      i += 12;
    }
    if (i + 2 >= n) break;
    if (src[i] == '%') {
      *dst++ = static_cast<char>(EscapedByte(src, i));
      i += 3;
    } else {
      *dst++ = static_cast<char>(src[i++]);
    }
  }
  if (std::memchr(begin, 0, static_cast<std::size_t>(dst - begin)) != nullptr) {
    dst = begin;
    i = 0;
    while (i + 2 < n) {
      if (src[i] == '%') {
        const unsigned char decoded = EscapedByte(src, i);
        *dst = static_cast<char>(decoded);
        dst += decoded != 0;
        i += 3;
      } else {
        *dst++ = static_cast<char>(src[i++]);
      }
    }
  }
  // The last one or two bytes: a digit past the end of the text counts as 0.
  while (i < n) {
    if (src[i] != '%') {
      *dst++ = static_cast<char>(src[i++]);
      continue;
    }
    int hi = i + 1 < n ? kHighShare[src[i + 1]] : 0;
    auto decoded = static_cast<unsigned char>(hi & 0xFF);
    if (decoded != 0) *dst++ = static_cast<char>(decoded);
    i += 3;
  }
  out.resize(static_cast<std::size_t>(dst - begin));
  if (options.asUtf8) return Utf8ToGbk(out);
  return out;
}

}  // namespace quibo
