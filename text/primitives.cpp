#include "text/primitives.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "text/char_walk.h"

namespace quibo {
namespace {

constexpr auto npos = std::string_view::npos;

std::size_t Clamp(Index n, std::size_t limit) {
  if (n <= 0) return 0;
  return static_cast<std::uint64_t>(n) < limit ? static_cast<std::size_t>(n) : limit;
}

inline unsigned char Byte(std::string_view t, std::size_t i) {
  return static_cast<unsigned char>(t[i]);
}

// The full-width space, A1 A1.
constexpr std::string_view kWideSpace = "\xA1\xA1";

// Length of the space character at `pos` (a character start), 0 when none.
std::size_t SpaceLengthAt(std::string_view t, std::size_t pos) {
  if (t[pos] == ' ') return 1;
  if (t.substr(pos, 2) == kWideSpace) return 2;
  return 0;
}

Text ChangeCase(std::string_view t, bool upper) {
  Text out(t);
  for (std::size_t i = 0; i < out.size();) {
    std::size_t len = walk::CharLengthAt(out, i);
    if (len == 1) {
      unsigned char b = Byte(out, i);
      if (upper && b >= 'a' && b <= 'z') out[i] = static_cast<char>(b - 32);
      if (!upper && b >= 'A' && b <= 'Z') out[i] = static_cast<char>(b + 32);
    }
    i += len;
  }
  return out;
}

}  // namespace

Index TextLength(std::string_view t) {
  return static_cast<Index>(t.size());
}
Index BytesLength(const Bytes& b) {
  return static_cast<Index>(b.size());
}

Text TextLeft(std::string_view t, Index n) {
  return Text(t.substr(0, Clamp(n, t.size())));
}

Text TextRight(std::string_view t, Index n) {
  std::size_t k = Clamp(n, t.size());
  return Text(t.substr(t.size() - k));
}

Text TextMid(std::string_view t, Index pos, Index n) {
  if (pos < 1 || pos > TextLength(t) || n <= 0) return {};
  std::size_t from = static_cast<std::size_t>(pos - 1);
  return Text(t.substr(from, Clamp(n, t.size() - from)));
}

Index FindText(std::string_view t, std::string_view sub, Index start, bool ignoreCase) {
  if (start < 1) start = 1;
  if (start > TextLength(t)) return -1;
  if (sub.empty()) return 1;
  walk::StartTracker starts(t);
  std::size_t from = static_cast<std::size_t>(start - 1);
  std::size_t hit = ignoreCase ? walk::FindAlignedIgnoreCase(t, sub, from, starts)
                               : walk::FindAligned(t, sub, from, starts);
  return hit == npos ? -1 : static_cast<Index>(hit) + 1;
}

Index FindTextReverse(std::string_view t, std::string_view sub) {
  if (sub.empty()) return -1;
  walk::StartTracker starts(t);
  std::size_t last = npos;
  for (std::size_t hit = walk::FindAligned(t, sub, 0, starts); hit != npos;
       hit = walk::FindAligned(t, sub, hit + 1, starts)) {
    last = hit;
  }
  return last == npos ? -1 : static_cast<Index>(last) + 1;
}

Text UpperCase(std::string_view t) {
  return ChangeCase(t, true);
}
Text LowerCase(std::string_view t) {
  return ChangeCase(t, false);
}

int TextToInt(std::string_view t) {
  // Full-width forms first become ASCII, so "－１２" reads as -12.
  std::size_t i = 0;
  auto next = [&]() -> int {  // the next character as ASCII, or -1 for any other
    if (i >= t.size()) return -1;
    unsigned char b = Byte(t, i);
    if (b < 0x80) return b;
    if (i + 1 < t.size()) {
      unsigned char trail = Byte(t, i + 1);
      if (b == 0xA3 && trail >= 0xB0 && trail <= 0xB9) return '0' + (trail - 0xB0);
      if (b == 0xA3 && trail == 0xAB) return '+';
      if (b == 0xA3 && trail == 0xAD) return '-';
      if (b == 0xA1 && trail == 0xA1) return ' ';
    }
    return -1;
  };
  auto advance = [&] { i += walk::CharLengthAt(t, i); };
  int c = next();
  while (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
    advance();
    c = next();
  }
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = c == '-';
    advance();
    c = next();
  }
  long long value = 0;
  while (c >= '0' && c <= '9') {
    value = value * 10 + (c - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    advance();
    c = next();
  }
  if (negative) value = -value;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

Text TrimSpaces(std::string_view t) {
  // Leading spaces: walk from the front. A lead byte cut short at the end is
  // no character, so it never survives.
  std::size_t first = 0;
  while (first < t.size() && !walk::IsCutShortAt(t, first)) {
    std::size_t len = SpaceLengthAt(t, first);
    if (len == 0) break;
    first += len;
  }
  if (first >= t.size() || walk::IsCutShortAt(t, first)) return {};
  // Trailing spaces: walk forward from a sync point near the end, stepping
  // back to earlier sync points while the stretch holds only spaces.
  std::size_t limit = t.size();
  while (true) {
    std::size_t anchor = walk::SyncPointAtOrBefore(t, limit - 1, first);
    std::size_t end = 0;
    for (std::size_t i = anchor; i < limit;) {
      std::size_t len = walk::CharLengthAt(t, i);
      if (!walk::IsCutShortAt(t, i) && SpaceLengthAt(t, i) == 0) end = i + len;
      i += len;
    }
    if (end != 0) return Text(t.substr(first, end - first));
    limit = anchor;  // first is a non-space character, so this ends
  }
}

Text RemoveSpaces(std::string_view t) {
  Text out;
  out.reserve(t.size());
  walk::StartTracker starts(t);
  // The next ASCII and full-width space candidates, each found once.
  std::size_t ascii = t.find(' ');
  std::size_t wide = t.find(kWideSpace);
  std::size_t i = 0;
  while (true) {
    std::size_t cand = std::min(ascii, wide);
    if (cand == npos) break;
    std::size_t len = 0;
    if (cand >= i && starts.IsStart(cand)) len = SpaceLengthAt(t, cand);
    if (len != 0) {
      out.append(t.substr(i, cand - i));
      i = cand + len;
    }
    std::size_t from = std::max(i, cand + 1);
    if (ascii < from) ascii = t.find(' ', from);
    if (wide < from) wide = t.find(kWideSpace, from);
  }
  out.append(t.substr(i));
  if (!t.empty() && walk::IsCutShortAt(t, t.size() - 1) && i < t.size() &&
      starts.IsStart(t.size() - 1)) {
    out.pop_back();
  }
  return out;
}

Text ReplaceText(std::string_view t, std::string_view sub, std::string_view rep) {
  if (sub.empty()) return Text(t);
  Text out;
  out.reserve(t.size());
  walk::StartTracker starts(t);
  std::size_t i = 0;
  for (std::size_t hit = walk::FindAligned(t, sub, 0, starts); hit != npos;
       hit = walk::FindAligned(t, sub, i, starts)) {
    out.append(t.substr(i, hit - i));
    out.append(rep);
    i = hit + sub.size();
  }
  out.append(t.substr(std::min(i, t.size())));
  return out;
}

TextList SplitText(std::string_view t, std::string_view sep) {
  TextList items;
  if (t.empty()) return items;
  if (sep.empty()) return {Text(t)};
  walk::StartTracker starts(t);
  std::size_t i = 0;
  for (std::size_t hit = walk::FindAligned(t, sep, 0, starts); hit != npos;
       hit = walk::FindAligned(t, sep, i, starts)) {
    items.emplace_back(t.substr(i, hit - i));
    i = hit + sep.size();
  }
  if (i < t.size()) items.emplace_back(t.substr(i));
  return items;
}

Text JoinTextList(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (auto p : parts) total += p.size();
  Text out;
  out.reserve(total);
  for (auto p : parts) out.append(p);
  return out;
}

Bytes JoinBytesList(std::initializer_list<const Bytes*> parts) {
  std::size_t total = 0;
  for (auto* p : parts) total += p->size();
  Bytes out;
  out.reserve(total);
  for (auto* p : parts) out.insert(out.end(), p->begin(), p->end());
  return out;
}

bool TextEquals(std::string_view a, std::string_view b) {
  return a == b;
}
bool BytesEquals(const Bytes& a, const Bytes& b) {
  return a == b;
}

Text CharText(int code) {
  char c = static_cast<char>(code & 0xFF);
  return c == 0 ? Text() : Text(1, c);
}

Text HexText(std::uint64_t n) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char buf[16];
  std::size_t k = sizeof buf;
  do {
    buf[--k] = kDigits[n & 0xF];
    n >>= 4;
  } while (n != 0);
  return Text(buf + k, sizeof buf - k);
}

Bytes TextToBytes(std::string_view t) {
  return Bytes(t.begin(), t.end());
}

Text BytesToText(const Bytes& b) {
  auto zero = std::find(b.begin(), b.end(), 0);
  return Text(b.begin(), zero);
}

Text BlankText(Index n) {
  return n <= 0 ? Text() : Text(static_cast<std::size_t>(n), ' ');
}
Bytes BlankBytes(Index n) {
  return n <= 0 ? Bytes() : Bytes(static_cast<std::size_t>(n), 0);
}

Bytes BytesLeft(const Bytes& b, Index n) {
  return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(Clamp(n, b.size())));
}

Index FindBytes(const Bytes& b, std::string_view sub) {
  if (sub.empty()) return -1;
  std::string_view hay(reinterpret_cast<const char*>(b.data()), b.size());
  std::size_t hit = hay.find(sub);
  return hit == npos ? -1 : static_cast<Index>(hit) + 1;
}

Index ListSize(const TextList& l) {
  return static_cast<Index>(l.size());
}
void ListAppend(TextList& l, std::string_view t) {
  l.emplace_back(t);
}

}  // namespace quibo
