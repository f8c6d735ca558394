#include "text/primitives.h"

#include <gtest/gtest.h>

#include <climits>

namespace quibo {
namespace {

// GBK bytes used throughout: 你 C4 E3, 好 BA C3, full-width space A1 A1.
const Text kNi = "\xC4\xE3";
const Text kHao = "\xBA\xC3";
const Text kWide = "\xA1\xA1";

TEST(Slicing, LeftRightMid) {
  EXPECT_EQ(TextLeft("abc", 2), "ab");
  EXPECT_EQ(TextLeft("abc", 9), "abc");
  EXPECT_EQ(TextLeft("abc", 0), "");
  EXPECT_EQ(TextLeft("abc", -1), "");
  EXPECT_EQ(TextRight("abc", 2), "bc");
  EXPECT_EQ(TextRight("abc", 9), "abc");
  EXPECT_EQ(TextRight("abc", -3), "");
  struct {
    Index pos, n;
    const char* want;
  } mids[] = {{2, 3, "bcd"}, {5, 9, "ef"}, {1, 6, "abcdef"}, {0, 2, ""},
              {7, 1, ""},    {6, 1, "f"},  {3, 0, ""},       {3, -2, ""}};
  for (const auto& m : mids) {
    EXPECT_EQ(TextMid("abcdef", m.pos, m.n), m.want) << "pos " << m.pos << " n " << m.n;
  }
}

TEST(FindText, PositionsAndEdges) {
  struct {
    const char* name;
    Text text, sub;
    Index start;
    bool ignoreCase;
    Index want;
  } cases[] = {
      {"first match", "abcabc", "bc", 1, false, 2},
      {"from a start", "abcabc", "bc", 3, false, 5},
      {"start below 1 counts as 1", "abcabc", "a", -5, false, 1},
      {"start past the end", "abc", "a", 4, false, -1},
      {"missing", "abc", "x", 1, false, -1},
      {"case matters", "abc", "B", 1, false, -1},
      {"case ignored", "aBc", "bC", 1, true, 2},
      {"empty sub", "abc", "", 1, false, 1},
      {"empty sub past the end", "abc", "", 4, false, -1},
      {"empty text", "", "a", 1, false, -1},
      {"match at a character start", "a" + kNi + kHao, kHao, 1, false, 4},
      // E3 BA is the tail of 你 and the head of 好: never a match.
      {"no match across characters", kNi + kHao, "\xE3\xBA", 1, false, -1},
      {"trail byte hides an ascii match",
       "\x81"
       "a"
       "a",
       "a", 1, false, 3},
      {"ignore case keeps the walk",
       "\x81"
       "A"
       "a",
       "a", 1, true, 3},
      {"sub longer than text", "ab", "abc", 1, false, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindText(c.text, c.sub, c.start, c.ignoreCase), c.want) << c.name;
  }
}

TEST(FindText, ReverseFindsLastAlignedMatch) {
  EXPECT_EQ(FindTextReverse("a:b:c", ":"), 4);
  EXPECT_EQ(FindTextReverse("abc", ":"), -1);
  EXPECT_EQ(FindTextReverse("abc", ""), -1);
  // The last ':' hides behind a lead byte.
  EXPECT_EQ(FindTextReverse("a:b\xB0:", ":"), 2);
}

TEST(CaseChange, AsciiOnlyAndPairsKept) {
  // 0x81 0x61 is one character whose trail byte looks like 'a'.
  EXPECT_EQ(UpperCase("ab\x81"
                      "aZ" +
                      kNi),
            "AB\x81"
            "aZ" +
                kNi);
  EXPECT_EQ(LowerCase("AB\x81"
                      "Az"),
            "ab\x81"
            "Az");
  EXPECT_EQ(UpperCase(""), "");
}

TEST(TextToInt, Readings) {
  struct {
    Text text;
    int want;
  } cases[] = {
      {"42", 42},
      {"  -17x", -17},
      {"+8", 8},
      {"\t\r\n 5", 5},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {"12 34", 12},
      {"\xA3\xB1\xA3\xB2", 12},           // full-width 12
      {"\xA1\xA1\xA3\xAD\xA3\xB3", -3},   // full-width space, minus, 3
      {"99999999999999999999", INT_MAX},  // saturates
      {"-99999999999999999999", INT_MIN},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"8443/x", 8443},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToInt(c.text), c.want) << "text: " << c.text;
}

TEST(Spaces, TrimAndRemove) {
  struct {
    const char* name;
    Text text, trimmed, removed;
  } cases[] = {
      {"ascii", "  hi  ", "hi", "hi"},
      {"inner spaces kept by trim", " a b ", "a b", "ab"},
      {"full-width", kWide + "x" + kWide, "x", "x"},
      {"only spaces", " " + kWide + " ", "", ""},
      {"tab and newline are no spaces", "\thi\n", "\thi\n", "\thi\n"},
      {"empty", "", "", ""},
      // B0 20 is one character: the space is hidden, not trimmed or removed.
      {"lead byte hides a space", "a\xB0 ", "a\xB0 ", "a\xB0 "},
      {"lone lead byte at the end dropped", "a \xB0", "a", "a"},
      {"only a lone lead byte", "\xB0", "", ""},
      {"A1 A1 inside two characters is no space", "\xB0\xA1\xA1\xB0", "\xB0\xA1\xA1\xB0",
       "\xB0\xA1\xA1\xB0"},
      {"chinese with spaces", " " + kNi + " " + kHao + kWide, kNi + " " + kHao, kNi + kHao},
      {"four-byte character kept", " \x81\x30\x81\x30 ", "\x81\x30\x81\x30", "\x81\x30\x81\x30"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TrimSpaces(c.text), c.trimmed) << c.name;
    EXPECT_EQ(RemoveSpaces(c.text), c.removed) << c.name;
  }
}

TEST(ReplaceText, LeftToRightWithoutOverlap) {
  struct {
    Text text, sub, rep, want;
  } cases[] = {
      {"aaa", "aa", "b", "ba"},
      {"a#引号b", "#引号", "\"", "a\"b"},
      {"abc", "", "x", "abc"},
      {"abc", "c", "", "ab"},
      {"xyz", "q", "r", "xyz"},
      {"\xB0"
       "a"
       "a",
       "a", "b",
       "\xB0"
       "ab"},                       // the first 'a' is a trail byte
      {"aXa", "a", "aa", "aaXaa"},  // replacement is not scanned again
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceText(c.text, c.sub, c.rep), c.want) << "text: " << c.text;
  }
}

TEST(SplitText, PiecesBetweenSeparators) {
  struct {
    const char* name;
    Text text, sep;
    TextList want;
  } cases[] = {
      {"plain", "a;b;c", ";", {"a", "b", "c"}},
      {"empty text", "", ";", {}},
      {"no separator", "abc", ";", {"abc"}},
      {"leading separator", ";a", ";", {"", "a"}},
      {"doubled separator", "a;;b", ";", {"a", "", "b"}},
      {"trailing separator", "a;b;", ";", {"a", "b"}},
      {"only a separator", ";", ";", {""}},
      {"multi-byte separator", "a\r\nb\r\n\r\nc", "\r\n", {"a", "b", "", "c"}},
      {"lead byte hides separator", "a\xB0;b;c", ";", {"a\xB0;b", "c"}},
      {"case matters", "aXbxc", "x", {"aXb", "c"}},
      {"empty separator", "ab", "", {"ab"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitText(c.text, c.sep), c.want) << c.name;
}

TEST(Values, JoinEqualsCharHex) {
  EXPECT_EQ(JoinText("a", Text("b"), "", "c"), "abc");
  EXPECT_EQ(JoinBytes(Bytes{1, 0}, Bytes{}, Bytes{2}), (Bytes{1, 0, 2}));
  EXPECT_TRUE(TextEquals("ab", "ab"));
  EXPECT_FALSE(TextEquals("ab", "AB"));
  EXPECT_TRUE(BytesEquals(Bytes{0, 1}, Bytes{0, 1}));
  EXPECT_FALSE(BytesEquals(Bytes{0}, Bytes{}));
  EXPECT_EQ(CharText(65), "A");
  EXPECT_EQ(CharText(0), "");
  EXPECT_EQ(CharText(0x1C4), "\xC4");
  struct {
    std::uint64_t n;
    const char* want;
  } hex[] = {{0, "0"}, {10, "A"}, {255, "FF"}, {256, "100"}, {0xDEADBEEF, "DEADBEEF"}};
  for (const auto& h : hex) EXPECT_EQ(HexText(h.n), h.want) << h.n;
}

TEST(Values, BytesAndText) {
  EXPECT_EQ(TextToBytes("ab"), (Bytes{'a', 'b'}));
  EXPECT_EQ(BytesToText(Bytes{'a', 0, 'b'}), "a");
  EXPECT_EQ(BytesToText(Bytes{'a', 'b'}), "ab");
  EXPECT_EQ(BytesToText(Bytes{}), "");
  EXPECT_EQ(BlankText(3), "   ");
  EXPECT_EQ(BlankText(-1), "");
  EXPECT_EQ(BlankBytes(2), (Bytes{0, 0}));
  EXPECT_EQ(BlankBytes(0), Bytes{});
  EXPECT_EQ(BytesLeft(Bytes{1, 2, 3}, 2), (Bytes{1, 2}));
  EXPECT_EQ(BytesLeft(Bytes{1, 2, 3}, 7), (Bytes{1, 2, 3}));
  EXPECT_EQ(BytesLeft(Bytes{1, 2, 3}, -1), Bytes{});
  Bytes body = {'x', 0, 'c', 'h', 'a', 'r'};
  EXPECT_EQ(FindBytes(body, "char"), 3);
  EXPECT_EQ(FindBytes(body, ""), -1);
  EXPECT_EQ(FindBytes(body, "chars"), -1);
  // No character walk: a match after a lead byte counts.
  EXPECT_EQ(FindBytes(Bytes{0xB0, ';'}, ";"), 2);
}

TEST(Values, Lists) {
  TextList l;
  EXPECT_EQ(ListSize(l), 0);
  Text item = "a";
  ListAppend(l, item);
  item = "changed";
  ListAppend(l, "b");
  EXPECT_EQ(l, (TextList{"a", "b"}));  // the list owns copies
  EXPECT_EQ(ListSize(l), 2);
}

}  // namespace
}  // namespace quibo
