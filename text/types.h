// The three value types every part of quibo passes around.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quibo {

// A string of bytes without a zero byte; GBK (realised as GB18030) unless a
// routine says it holds UTF-8. Lengths and positions count bytes, positions
// are 1-based and a search that finds nothing gives -1.
using Text = std::string;

// A byte buffer with an explicit length that may hold zero bytes. UTF-16 in a
// Bytes is little-endian 16-bit units.
using Bytes = std::vector<std::uint8_t>;

// An ordered list of Text that owns copies of its items.
using TextList = std::vector<Text>;

// A 1-based byte position or a length; -1 means "not found".
using Index = std::int64_t;

}  // namespace quibo
