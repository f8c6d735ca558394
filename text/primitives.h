// Operations on Text, Bytes and TextList. Each returns a new value and leaves
// its arguments alone (ListAppend alone adds to its list). Searching,
// replacing, splitting, trimming and case changes walk a Text by characters
// (char_walk.h): a byte >= 0x80 hides the byte after it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "text/types.h"

namespace quibo {

[[nodiscard]] Index TextLength(std::string_view t);
[[nodiscard]] Index BytesLength(const Bytes& b);

// First / last min(n, length) bytes; n <= 0 gives the empty text.
[[nodiscard]] Text TextLeft(std::string_view t, Index n);
[[nodiscard]] Text TextRight(std::string_view t, Index n);
// n bytes from the 1-based `pos`, cut at the end; pos < 1, pos > length or
// n <= 0 give the empty text. TextMid("abcdef", 2, 3) == "bcd".
[[nodiscard]] Text TextMid(std::string_view t, Index pos, Index n);

// 1-based position of the first match of `sub` at or after `start` (below 1
// counts as 1), or -1. A start past the end gives -1; an empty `sub` gives 1
// unless nothing is left to search. `ignoreCase` folds ASCII letters.
[[nodiscard]] Index FindText(std::string_view t, std::string_view sub, Index start = 1,
                             bool ignoreCase = false);
// Position of the last match in t, exact case; -1 when none or `sub` is empty.
[[nodiscard]] Index FindTextReverse(std::string_view t, std::string_view sub);

// ASCII letters changed; letters inside two-byte characters are kept.
[[nodiscard]] Text UpperCase(std::string_view t);
[[nodiscard]] Text LowerCase(std::string_view t);

// Leading white space skipped, optional sign, decimal digits up to the first
// other byte; full-width digits, signs and spaces count as their ASCII forms.
// No digits: 0. Saturates at the int range. TextToInt("  -１２x") == -12.
[[nodiscard]] int TextToInt(std::string_view t);

// A space is 0x20 or the full-width A1 A1; tab, CR and LF are not spaces.
// A lead byte cut short at the end is dropped by both.
[[nodiscard]] Text TrimSpaces(std::string_view t);
[[nodiscard]] Text RemoveSpaces(std::string_view t);

// Every occurrence of `sub`, left to right and not overlapping, replaced by
// `rep`; exact case. An empty `sub` changes nothing.
[[nodiscard]] Text ReplaceText(std::string_view t, std::string_view sub, std::string_view rep);

// The pieces between separators, exact case. Empty t: no items; a leading or
// doubled separator gives an empty item, a trailing one none; no separator
// (or an empty one): the single item t. SplitText("a;;b;", ";") == {"a", "", "b"}.
[[nodiscard]] TextList SplitText(std::string_view t, std::string_view sep);

// Concatenation. JoinText("a", b, "c").
[[nodiscard]] Text JoinTextList(std::initializer_list<std::string_view> parts);
template <typename... Parts>
[[nodiscard]] Text JoinText(const Parts&... parts) {
  return JoinTextList({std::string_view(parts)...});
}
[[nodiscard]] Bytes JoinBytesList(std::initializer_list<const Bytes*> parts);
template <typename... Parts>
[[nodiscard]] Bytes JoinBytes(const Parts&... parts) {
  return JoinBytesList({&parts...});
}

[[nodiscard]] bool TextEquals(std::string_view a, std::string_view b);
[[nodiscard]] bool BytesEquals(const Bytes& a, const Bytes& b);

// The one-byte text of `code` (its low 8 bits); 0 gives the empty text.
[[nodiscard]] Text CharText(int code);
// Upper-case hexadecimal without leading zeros: 255 -> "FF", 0 -> "0".
[[nodiscard]] Text HexText(std::uint64_t n);

// The bytes of t, no terminator.
[[nodiscard]] Bytes TextToBytes(std::string_view t);
// The bytes before the first zero byte, or all of them.
[[nodiscard]] Text BytesToText(const Bytes& b);

// n spaces / n zero bytes; n <= 0 gives the empty value.
[[nodiscard]] Text BlankText(Index n);
[[nodiscard]] Bytes BlankBytes(Index n);
// The first n bytes, n kept within 0..length.
[[nodiscard]] Bytes BytesLeft(const Bytes& b, Index n);
// 1-based position of the first exact match, no character walk; empty sub: -1.
[[nodiscard]] Index FindBytes(const Bytes& b, std::string_view sub);

[[nodiscard]] Index ListSize(const TextList& l);
void ListAppend(TextList& l, std::string_view t);

}  // namespace quibo
