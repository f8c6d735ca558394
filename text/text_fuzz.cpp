// Feeds arbitrary bytes to the text routines and checks the properties that
// must hold for any input: bounds, round trips and consistency.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/encodings.h"
#include "text/primitives.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Strict UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    std::size_t len = b < 0x80                   ? 1
                      : (b >= 0xC2 && b <= 0xDF) ? 2
                      : (b >= 0xE0 && b <= 0xEF) ? 3
                      : (b >= 0xF0 && b <= 0xF4) ? 4
                                                 : 0;
    if (len == 0 || i + len > s.size()) return false;
    uint32_t cp = len == 1 ? b : b & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
      auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
      return false;
    }
    i += len;
  }
  return true;
}

// A hex digit's value after upper-casing; -2 for any other byte.
int DigitValue(char c) {
  const char up = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  if (up >= '0' && up <= '9') return up - '0';
  if (up >= 'A' && up <= 'F') return up - 'A' + 10;
  return -2;
}

// Percent-decoding one byte at a time, as plainly as the rules read: a digit
// past the end counts as 0 and a decoded zero byte is dropped.
std::string ReferenceDecode(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] != '%') {
      out.push_back(s[i++]);
      continue;
    }
    const int high = i + 1 < s.size() ? DigitValue(s[i + 1]) : 0;
    const int low = i + 2 < s.size() ? DigitValue(s[i + 2]) : 0;
    const auto decoded = static_cast<unsigned char>((16 * high + low) & 0xFF);
    if (decoded != 0) out.push_back(static_cast<char>(decoded));
    i += 3;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quibo;
  if (size == 0) return 0;
  // The first byte splits the rest into a text and a needle.
  std::string all(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::size_t cut = all.empty() ? 0 : data[0] % (all.size() + 1);
  Text text = all.substr(0, cut);
  Text needle = all.substr(cut, 4);
  Text noZero;
  for (char c : text) {
    if (c != '\0') noZero.push_back(c);
  }

  Check(PercentDecode(PercentEncode(text)) == noZero);
  Check(PercentDecode(PercentEncode(text, {.keepSafeBytes = true})) == noZero);
  Check(PercentDecode(text) == ReferenceDecode(text));
  (void)PercentDecode(text, {.asUtf8 = true});

  if (IsValidUtf8(noZero)) Check(GbkToUtf8(Utf8ToGbk(noZero)) == noZero);
  Bytes units = MultiByteToUtf16(noZero);
  Check(units.size() % 2 == 0);
  Check(noZero.empty() || units.size() >= 2);
  (void)Utf16ToMultiByte(TextToBytes(text), 65001);
  (void)Utf8BytesToGbk(TextToBytes(text));
  Check(Utf8BytesToUtf16(TextToBytes(text)).size() % 2 == 0);

  Index start = static_cast<Index>(data[0] % 8) - 2;
  Index at = FindText(noZero, needle, start);
  if (at != -1 && !needle.empty()) {
    Check(at >= 1 && at >= start && TextMid(noZero, at, TextLength(needle)) == needle);
  }
  Index last = FindTextReverse(noZero, needle);
  Check(last == -1 || TextMid(noZero, last, TextLength(needle)) == needle);
  Check(needle.empty() || at == -1 || start > 1 || last >= at);

  if (!needle.empty()) {
    TextList items = SplitText(noZero, needle);
    Text joined;
    for (std::size_t i = 0; i < items.size(); ++i) {
      joined += (i ? needle : Text()) + items[i];
    }
    Check(joined == noZero || joined + needle == noZero);
    Check(ReplaceText(noZero, needle, needle) == noZero);
  }
  Text trimmed = TrimSpaces(noZero);
  Check(noZero.find(trimmed) != std::string::npos);
  Check(RemoveSpaces(noZero).size() <= noZero.size());
  Check(RemoveSpaces(trimmed) == RemoveSpaces(noZero) ||
        RemoveSpaces(noZero).size() == RemoveSpaces(trimmed).size() + 1);
  return 0;
}
