// The converter layer over ICU that stands in for a code-page converter.
// Code pages 0 and 936 are GB18030, 65001 is UTF-8. Converters are opened
// once per thread and reused; substitution replaces what cannot be converted.
#pragma once

#include <string>
#include <string_view>

#include "text/types.h"

namespace quibo::convert {

enum class Charset { kGb18030, kUtf8 };

// The charset that stands for a code-page number (anything but 65001 is GB18030).
[[nodiscard]] Charset CharsetOf(int codePage);

// Bytes in `from` as UTF-16 code units; a zero byte gives a zero unit.
[[nodiscard]] std::u16string ToUtf16(std::string_view bytes, Charset from);
// UTF-16 units written in `to`; a zero unit gives a zero byte.
[[nodiscard]] std::string FromUtf16(std::u16string_view units, Charset to);
// One pass from one charset to the other, through ICU's pivot.
[[nodiscard]] std::string Convert(std::string_view bytes, Charset from, Charset to);

// True when some unit is a non-spacing mark (a candidate for ComposeMarks).
[[nodiscard]] bool HasMarks(std::u16string_view units);
// A base character followed by non-spacing marks becomes the precomposed
// character where canonical composition has one; nothing else changes.
[[nodiscard]] std::u16string ComposeMarks(std::u16string_view units);

// UTF-8 bytes as GB18030 bytes, composing marks as ComposeMarks does, in
// one streaming pass (zero bytes stay zero bytes).
[[nodiscard]] Bytes Utf8ToGb18030ComposingMarks(std::string_view utf8);

}  // namespace quibo::convert
