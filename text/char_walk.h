// The character walk that every search, split, trim and case change shares.
//
// A text is read from its first byte as a sequence of characters: a byte
// below 0x80 is one character; a GB18030 four-byte sequence (81-FE, 30-39,
// 81-FE, 30-39) is one; any other byte of 0x80 or above takes the byte after
// it along. A lone lead byte at the very end is a character cut short.
// Matches are tried only where a character begins.
#pragma once

#include <cstddef>
#include <string_view>

namespace quibo::walk {

// Length in bytes of the character that starts at `pos` (1, 2 or 4; 1 for a
// lone lead byte at the end). `pos` must be < text.size().
[[nodiscard]] std::size_t CharLengthAt(std::string_view text, std::size_t pos);

// True when the character starting at `pos` is a lead byte with no byte after it.
[[nodiscard]] bool IsCutShortAt(std::string_view text, std::size_t pos);

// The nearest position at or below `pos` (and not below `floor`, itself a
// character start) that is certainly a character start, judged locally.
[[nodiscard]] std::size_t SyncPointAtOrBefore(std::string_view text, std::size_t pos,
                                              std::size_t floor);

// Answers "does a character begin at pos?" for positions asked in
// non-decreasing order, in linear total time over one text. It resynchronises
// locally (a byte below 0x80 that is not an ASCII digit, or two bytes below
// 0x80 in a row, always ends a character), so a search that finds few
// candidates never walks the whole text.
class StartTracker {
 public:
  explicit StartTracker(std::string_view text) : text_(text) {}
  [[nodiscard]] bool IsStart(std::size_t pos);

 private:
  std::string_view text_;
  std::size_t walked_ = 0;  // a character start; every start below it was passed
};

// First match of `needle` at a character start at or after byte offset
// `from` (0-based), comparing bytes exactly; npos when none. An empty needle
// matches at `from` when from < text.size().
[[nodiscard]] std::size_t FindAligned(std::string_view text, std::string_view needle,
                                      std::size_t from, StartTracker& starts);

// As FindAligned, ASCII letters folded byte by byte.
[[nodiscard]] std::size_t FindAlignedIgnoreCase(std::string_view text, std::string_view needle,
                                                std::size_t from, StartTracker& starts);

}  // namespace quibo::walk
