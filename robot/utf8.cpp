#include "robot/utf8.h"

namespace quibo::robot {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

// Length and first-continuation bounds of a lead byte, per the table of
// well-formed sequences: the bounds on the second byte rule out overlong
// forms, surrogates and code points past U+10FFFF.
struct Lead {
  int length;
  unsigned char low;
  unsigned char high;
};

Lead LeadOf(unsigned char b) {
  if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
  if (b == 0xE0) return {3, 0xA0, 0xBF};
  if (b == 0xED) return {3, 0x80, 0x9F};
  if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF};
  if (b == 0xF0) return {4, 0x90, 0xBF};
  if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
  if (b == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

}  // namespace

DecodedText DecodeUtf8(std::string_view bytes) {
  DecodedText out;
  out.chars.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out.chars.push_back(b);
      ++i;
      continue;
    }
    const Lead lead = LeadOf(b);
    bool ok = lead.length > 0 && i + lead.length <= bytes.size();
    if (ok) {
      const auto second = static_cast<unsigned char>(bytes[i + 1]);
      ok = second >= lead.low && second <= lead.high;
      for (int k = 2; ok && k < lead.length; ++k) {
        ok = IsContinuation(static_cast<unsigned char>(bytes[i + k]));
      }
    }
    if (!ok) {
      out.chars.push_back(kReplacement);
      out.valid = false;
      ++i;
      continue;
    }
    char32_t c = b & (0xFF >> (lead.length + 1));
    for (int k = 1; k < lead.length; ++k) {
      c = (c << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
    }
    out.chars.push_back(c);
    i += lead.length;
  }
  return out;
}

std::string EncodeUtf8(std::u32string_view chars) {
  std::string out;
  out.reserve(chars.size());
  for (char32_t c : chars) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::u32string FoldForMatching(std::u32string_view chars) {
  std::u32string out(chars);
  for (char32_t& c : out) {
    if (c >= U'A' && c <= U'Z') {
      c = c - U'A' + U'a';
    } else if (c >= 0xFF01 && c <= 0xFF5E) {
      c = c - 0xFF01 + 0x21;
      if (c >= U'A' && c <= U'Z') c = c - U'A' + U'a';
    } else if (c == 0x3000) {
      c = U' ';
    } else if (c == U'×') {
      c = U'*';
    } else if (c == U'÷') {
      c = U'/';
    } else if (c == 0x2212) {
      c = U'-';
    } else if (c == 0x2018 || c == 0x2019) {
      c = U'\'';
    }
  }
  return out;
}

std::u32string_view TrimBlanks(std::u32string_view chars) {
  auto blank = [](char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == U'\v' || c == U'\f' ||
           c == 0x3000;
  };
  while (!chars.empty() && blank(chars.front())) chars.remove_prefix(1);
  while (!chars.empty() && blank(chars.back())) chars.remove_suffix(1);
  return chars;
}

bool IsAsciiAlnum(char32_t c) {
  return (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

bool IsCjk(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
         (c >= 0x20000 && c <= 0x3FFFF);
}

}  // namespace quibo::robot
