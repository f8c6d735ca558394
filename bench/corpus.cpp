#include "bench/corpus.h"

#include <random>

namespace quibo::bench {

std::string MixedGbk(std::size_t bytes, unsigned seed) {
  std::mt19937 rng(seed);
  std::string out;
  out.reserve(bytes + 16);
  static const char* const kWords[] = {"hello", "ok", "quibo", "2026", "http", "test", "cool"};
  while (out.size() < bytes) {
    unsigned pick = rng() % 100;
    if (pick < 70) {  // a hanzi from the first level of GB2312
      out.push_back(static_cast<char>(0xB0 + rng() % 40));
      out.push_back(static_cast<char>(0xA1 + rng() % 94));
    } else if (pick < 85) {
      out += kWords[rng() % 7];
    } else if (pick < 95) {
      out.push_back(' ');
    } else if (pick < 98) {
      out += "\xA3\xAC";  // full-width comma
    } else {
      out += "\r\n";
    }
  }
  return out;
}

}  // namespace quibo::bench
