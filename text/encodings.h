// Conversions between the system's GBK text (realised as GB18030, so nothing
// a user types is lost), UTF-16LE, UTF-8 and percent-encoding. Code pages:
// 0 (the system's own code page, GB18030 here), 936 (GBK, GB18030 here) and
// 65001 (UTF-8). Invalid input never stops a routine; ICU's substitution
// stands in for what cannot be converted.
#pragma once

#include <optional>

#include "text/types.h"

namespace quibo {

inline constexpr int kCodePageSystem = 0;
inline constexpr int kCodePageGbk = 936;
inline constexpr int kCodePageUtf8 = 65001;

// UTF-16LE units of `text` read in `codePage` (65001 when not given; given as
// 0 it means code page 0), with a terminating zero unit and, where the text
// yields fewer units than its reading in code page 0, zero units up to that
// count. Empty text: empty Bytes.
[[nodiscard]] Bytes MultiByteToUtf16(const Text& text, std::optional<int> codePage = std::nullopt);

// The units up to the first zero unit (an odd trailing byte ignored) written
// in `codePage` (0 when not given).
[[nodiscard]] Text Utf16ToMultiByte(const Bytes& units, std::optional<int> codePage = std::nullopt);

[[nodiscard]] Text GbkToUtf8(const Text& gbk);
[[nodiscard]] Text Utf8ToGbk(const Text& utf8);

// UTF-8 bytes of known length (zero bytes included) as UTF-16LE units, with
// no terminator. E4 BD A0 -> 60 4F.
[[nodiscard]] Bytes Utf8BytesToUtf16(const Bytes& utf8);
// UTF-8 bytes as GBK bytes, a base character followed by combining marks
// composed where a precomposed character exists. Zero bytes stay zero bytes.
[[nodiscard]] Bytes Utf8BytesToGbk(const Bytes& utf8);

struct EncodeOptions {
  bool keepSafeBytes = false;  // keep - . 0-9 A-Z a-z as they are
  bool asUtf8 = false;         // encode the UTF-8 bytes of the (GBK) text
};
struct DecodeOptions {
  bool asUtf8 = false;  // the decoded bytes are UTF-8: convert them to GBK
};

// Every byte as "%" and two upper-case hex digits, safe bytes kept when asked.
// PercentEncode("ok") == "%6F%6B"; PercentEncode("Hi 1", {.keepSafeBytes = true}) == "Hi%201".
[[nodiscard]] Text PercentEncode(const Text& text, EncodeOptions options = {});
// Decodes "%" and the two bytes after it leniently (a byte that is no hex
// digit counts -2, one past the end 0); a decoded zero byte is dropped; "+"
// is an ordinary byte. PercentDecode("%41%42") == "AB".
[[nodiscard]] Text PercentDecode(const Text& text, DecodeOptions options = {});

}  // namespace quibo
