// Code-page conversion of texts and byte buffers. The routines keep the
// results of a size-query-then-convert design (a terminating zero unit, and
// zero units up to the count that code page 0 gives), but no conversion is
// ever cut short to fit that count, and a chained conversion that throws its
// intermediate away makes a single pass.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "text/converter.h"
#include "text/encodings.h"

namespace quibo {
namespace {

using convert::Charset;

// A Text ends at its first zero byte, as a terminated string would.
std::string_view UpToZero(const Text& t) {
  std::string_view v(t);
  return v.substr(0, v.find('\0'));
}

std::string_view AsChars(const Bytes& b) {
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}

// Units as little-endian bytes, padded with zero units to `unitCount`.
Bytes UnitsToBytes(std::u16string_view units, std::size_t unitCount) {
  Bytes out(2 * std::max(unitCount, units.size()), 0);
  for (std::size_t i = 0; i < units.size(); ++i) {
    out[2 * i] = static_cast<std::uint8_t>(units[i] & 0xFF);
    out[2 * i + 1] = static_cast<std::uint8_t>(units[i] >> 8);
  }
  return out;
}

}  // namespace

Bytes MultiByteToUtf16(const Text& text, std::optional<int> codePage) {
  std::string_view source = UpToZero(text);
  if (source.empty()) return {};
  Charset from = convert::CharsetOf(codePage.value_or(kCodePageUtf8));
  std::u16string units = convert::ToUtf16(source, from);
  // The buffer holds as many units as code page 0 reads, terminator included.
  std::size_t systemCount = from == Charset::kGb18030
                                ? units.size() + 1
                                : convert::ToUtf16(source, Charset::kGb18030).size() + 1;
  return UnitsToBytes(units, std::max(systemCount, units.size() + 1));
}

Text Utf16ToMultiByte(const Bytes& units, std::optional<int> codePage) {
  std::u16string wide;
  wide.reserve(units.size() / 2);
  for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
    char16_t u = static_cast<char16_t>(units[i] | (units[i + 1] << 8));
    if (u == 0) break;
    wide.push_back(u);
  }
  return convert::FromUtf16(wide, convert::CharsetOf(codePage.value_or(kCodePageSystem)));
}

Text GbkToUtf8(const Text& gbk) {
  return convert::Convert(UpToZero(gbk), Charset::kGb18030, Charset::kUtf8);
}

Text Utf8ToGbk(const Text& utf8) {
  return convert::Convert(UpToZero(utf8), Charset::kUtf8, Charset::kGb18030);
}

Bytes Utf8BytesToUtf16(const Bytes& utf8) {
  std::u16string units = convert::ToUtf16(AsChars(utf8), Charset::kUtf8);
  return UnitsToBytes(units, units.size());
}

Bytes Utf8BytesToGbk(const Bytes& utf8) {
  return convert::Utf8ToGb18030ComposingMarks(AsChars(utf8));
}

}  // namespace quibo
