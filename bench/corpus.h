// Deterministic mixed Chinese/ASCII text for benchmarks, made at run time.
#pragma once

#include <cstddef>
#include <string>

namespace quibo::bench {

// About `bytes` bytes of GBK: common hanzi, ASCII words, spaces, full-width
// punctuation and a line break now and then, the mix of a chat transcript.
[[nodiscard]] std::string MixedGbk(std::size_t bytes, unsigned seed = 1);

}  // namespace quibo::bench
