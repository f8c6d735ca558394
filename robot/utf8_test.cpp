#include "robot/utf8.h"

#include <gtest/gtest.h>

namespace quibo::robot {
namespace {

TEST(DecodeUtf8, ReadsWellFormedAndFlagsEveryMalformedShape) {
  const struct {
    const char* name;
    std::string bytes;
    std::u32string chars;
    bool valid;
  } cases[] = {
      {"ascii", "hi", U"hi", true},
      {"chinese", "\xE4\xBD\xA0\xE5\xA5\xBD", U"你好", true},
      {"four-byte", "\xF0\x9F\x98\x80", U"\U0001F600", true},
      {"lone continuation",
       "a\x80"
       "b",
       U"a\uFFFDb", false},
      {"cut short at end", "\xE4\xBD", U"\uFFFD\uFFFD", false},
      {"overlong slash", "\xC0\xAF", U"\uFFFD\uFFFD", false},
      {"overlong three-byte", "\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD", false},
      {"surrogate", "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD", false},
      {"past U+10FFFF", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD", false},
      {"GBK bytes", "\xC4\xE3\xBA\xC3", U"\uFFFD\uFFFD\uFFFD\uFFFD", false},
  };
  for (const auto& c : cases) {
    const DecodedText got = DecodeUtf8(c.bytes);
    EXPECT_EQ(got.chars, c.chars) << c.name;
    EXPECT_EQ(got.valid, c.valid) << c.name;
    if (c.valid) {
      EXPECT_EQ(EncodeUtf8(got.chars), c.bytes) << c.name;
    }
  }
}

TEST(EncodeUtf8, NeverWritesSurrogatesOrOutOfRangeValues) {
  const std::u32string bad = {0xD800, 0x110000};
  EXPECT_EQ(EncodeUtf8(bad), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(FoldForMatching, MakesFullWidthAndCaseAlikeOnePointForOne) {
  const std::u32string input = U"ＨＥＬＬＯ　Hi ３×４÷（２−１）’";
  const std::u32string folded = FoldForMatching(input);
  EXPECT_EQ(folded, U"hello hi 3*4/(2-1)'");
  EXPECT_EQ(folded.size(), input.size());
}

}  // namespace
}  // namespace quibo::robot
