#include "text/char_walk.h"

#include <algorithm>
#include <cstring>

namespace quibo::walk {
namespace {

inline unsigned char At(std::string_view t, std::size_t i) {
  return static_cast<unsigned char>(t[i]);
}
inline bool IsDigit(unsigned char b) {
  return b >= 0x30 && b <= 0x39;
}
inline bool IsFourByteLead(unsigned char b) {
  return b >= 0x81 && b <= 0xFE;
}

// True when `pos` is certainly a character start, judged from the two bytes
// around it alone. A byte below 0x80 ends a character unless it is the digit
// in the second place of a four-byte one, and that digit is always followed
// by a byte of 0x81 or above.
inline bool IsSyncPoint(std::string_view t, std::size_t pos) {
  if (pos == 0) return true;
  unsigned char before = At(t, pos - 1);
  if (before >= 0x80) return false;
  return !IsDigit(before) || pos >= t.size() || At(t, pos) < 0x80;
}

inline unsigned char FoldAscii(unsigned char b) {
  return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b;
}

}  // namespace

std::size_t CharLengthAt(std::string_view text, std::size_t pos) {
  unsigned char lead = At(text, pos);
  if (lead < 0x80) return 1;
  std::size_t left = text.size() - pos;
  if (left >= 4 && IsFourByteLead(lead) && IsDigit(At(text, pos + 1)) &&
      IsFourByteLead(At(text, pos + 2)) && IsDigit(At(text, pos + 3))) {
    return 4;
  }
  return left >= 2 ? 2 : 1;
}

bool IsCutShortAt(std::string_view text, std::size_t pos) {
  return pos + 1 == text.size() && At(text, pos) >= 0x80;
}

std::size_t SyncPointAtOrBefore(std::string_view text, std::size_t pos, std::size_t floor) {
  while (pos > floor && !IsSyncPoint(text, pos)) --pos;
  return pos;
}

bool StartTracker::IsStart(std::size_t pos) {
  if (pos < walked_) {
    // Only reached when asked out of order; walk again from the beginning.
    walked_ = 0;
  }
  if (pos > walked_) {
    // Resynchronise as close to pos as the bytes allow, never below walked_.
    walked_ = SyncPointAtOrBefore(text_, pos, walked_);
  }
  while (walked_ < pos) walked_ += CharLengthAt(text_, walked_);
  return walked_ == pos;
}

std::size_t FindAligned(std::string_view text, std::string_view needle, std::size_t from,
                        StartTracker& starts) {
  if (from >= text.size()) return std::string_view::npos;
  if (needle.empty()) return from;
  while (true) {
    std::size_t hit = text.find(needle, from);
    if (hit == std::string_view::npos) return hit;
    if (starts.IsStart(hit)) return hit;
    from = hit + 1;
  }
}

std::size_t FindAlignedIgnoreCase(std::string_view text, std::string_view needle, std::size_t from,
                                  StartTracker& starts) {
  if (from >= text.size()) return std::string_view::npos;
  if (needle.empty()) return from;
  if (needle.size() > text.size()) return std::string_view::npos;
  unsigned char first = FoldAscii(static_cast<unsigned char>(needle[0]));
  std::size_t last = text.size() - needle.size();
  for (std::size_t i = from; i <= last; ++i) {
    if (FoldAscii(At(text, i)) != first) continue;
    std::size_t k = 1;
    while (k < needle.size() &&
           FoldAscii(At(text, i + k)) == FoldAscii(static_cast<unsigned char>(needle[k]))) {
      ++k;
    }
    if (k == needle.size() && starts.IsStart(i)) return i;
  }
  return std::string_view::npos;
}

}  // namespace quibo::walk
