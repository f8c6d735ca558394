// UTF-8 as the robot reads and writes it: code points in, code points out,
// with every invalid byte reported rather than passed through.
#pragma once

#include <string>
#include <string_view>

namespace quibo::robot {

struct DecodedText {
  std::u32string chars;  // each invalid byte stands as U+FFFD
  bool valid = true;     // false when any byte was not well-formed UTF-8
};

// Strict decoding: overlong forms, surrogates and values past U+10FFFF are
// invalid. DecodeUtf8("\xE4\xBD\xA0") == {U"你", true}.
[[nodiscard]] DecodedText DecodeUtf8(std::string_view bytes);
[[nodiscard]] std::string EncodeUtf8(std::u32string_view chars);

// The form used for matching: ASCII letters lowered, full-width ASCII forms
// (U+FF01..U+FF5E) and the ideographic space made ASCII, a few look-alike
// operators (× ÷ −) and curly apostrophes made ASCII. One code point in, one code point out, so
// positions in the folded text are positions in the original.
[[nodiscard]] std::u32string FoldForMatching(std::u32string_view chars);

// Without leading and trailing white space (ASCII blanks, CR, LF, U+3000).
[[nodiscard]] std::u32string_view TrimBlanks(std::u32string_view chars);

[[nodiscard]] bool IsAsciiAlnum(char32_t c);
// CJK ideographs, kana, hangul, CJK punctuation and full-width forms.
[[nodiscard]] bool IsCjk(char32_t c);

}  // namespace quibo::robot
