#include <gtest/gtest.h>

#include "text/encodings.h"

namespace quibo {
namespace {

TEST(PercentEncode, Cases) {
  struct {
    const char* name;
    Text text;
    EncodeOptions options;
    Text want;
  } cases[] = {
      {"letters escaped too", "ok", {}, "%6F%6B"},
      {"every byte escaped", "Hi 1", {}, "%48%69%20%31"},
      {"safe bytes kept", "Hi 1", {.keepSafeBytes = true}, "Hi%201"},
      {"slash underscore tilde are not safe",
       "a/b_c~d-e.9",
       {.keepSafeBytes = true},
       "a%2Fb%5Fc%7Ed-e.9"},
      {"leading zero", "\n", {}, "%0A"},
      {"gbk bytes", "\xC4\xE3\xBA\xC3", {}, "%C4%E3%BA%C3"},
      {"as utf-8", "\xC4\xE3\xBA\xC3", {.asUtf8 = true}, "%E4%BD%A0%E5%A5%BD"},
      {"as utf-8, safe kept",
       "\xC4\xE3\xBA\xC3",
       {.keepSafeBytes = true, .asUtf8 = true},
       "%E4%BD%A0%E5%A5%BD"},
      {"plus escaped", "a+b", {.keepSafeBytes = true}, "a%2Bb"},
      {"empty", "", {}, ""},
      {"high bytes never safe", "\xFF\x80", {.keepSafeBytes = true}, "%FF%80"},
  };
  for (const auto& c : cases) EXPECT_EQ(PercentEncode(c.text, c.options), c.want) << c.name;
}

TEST(PercentDecode, Cases) {
  struct {
    const char* name;
    Text text;
    Text want;
  } cases[] = {
      {"two escapes", "%41%42", "AB"},
      {"lower-case digit", "%4a", "J"},
      {"plus stays", "a+b", "a+b"},
      {"not scanned again", "%2541", "%41"},
      {"lone percent at the end", "100%", "100"},
      {"missing second digit counts 0", "x%4", "x\x40"},
      {"decoded zero dropped", "a%00b", "ab"},
      {"non-digit high", "%G1", "\xE1"},
      {"non-digit low", "%1G", "\x0E"},
      {"both non-digits", "%GG", "\xDE"},
      {"percent as a digit", "%%41",
       "\xE4"
       "1"},
      {"empty", "", ""},
      {"plain text", "hello", "hello"},
      {"crlf", "a%0D%0Ab", "a\r\nb"},
      // Runs of four escapes and more take a faster path than lone ones.
      {"run of escapes", "%41%42%43%44%45%46%47%48%49", "ABCDEFGHI"},
      {"zero inside a run", "%41%42%00%44%45%46", "ABDEF"},
      {"zero at the end of a run", "%41%42%43%44%45%00", "ABCDE"},
      {"high byte in a run", "%41%42%43%F0%45",
       "ABC\xF0"
       "E"},
      {"text between runs", "%41%42%43%44x%45%46%47%48", "ABCDxEFGH"},
      {"malformed escape inside a run", "%41%42%4%43%44", "AB>43D"},
      {"literal zero byte kept", Text("%41%42%43%44\0%45%00", 19), Text("ABCD\0E", 6)},
  };
  for (const auto& c : cases) EXPECT_EQ(PercentDecode(c.text), c.want) << c.name;
}

TEST(PercentDecode, AsUtf8GivesGbk) {
  EXPECT_EQ(PercentDecode("%E4%BD%A0%E5%A5%BD", {.asUtf8 = true}), "\xC4\xE3\xBA\xC3");
  EXPECT_EQ(PercentDecode("", {.asUtf8 = true}), "");
  // An emoji crosses intact: GB18030 holds it.
  EXPECT_EQ(PercentEncode(PercentDecode("%F0%9F%98%80", {.asUtf8 = true}), {.asUtf8 = true}),
            "%F0%9F%98%80");
}

TEST(Percent, RoundTripOfEveryByte) {
  Text all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(PercentDecode(PercentEncode(all)), all);
  EXPECT_EQ(PercentDecode(PercentEncode(all, {.keepSafeBytes = true})), all);
}

}  // namespace
}  // namespace quibo
