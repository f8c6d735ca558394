#include <gtest/gtest.h>

#include <optional>

#include "text/encodings.h"
#include "text/primitives.h"

namespace quibo {
namespace {

const Text kNiHaoGbk = "\xC4\xE3\xBA\xC3";
const Text kNiHaoUtf8 = "\xE4\xBD\xA0\xE5\xA5\xBD";

Bytes B(std::initializer_list<int> v) {
  Bytes b;
  for (int x : v) b.push_back(static_cast<std::uint8_t>(x));
  return b;
}

TEST(MultiByteToUtf16, CodePagesAndPadding) {
  struct {
    const char* name;
    Text text;
    std::optional<int> codePage;
    Bytes want;
  } cases[] = {
      {"gbk with 936", kNiHaoGbk, 936, B({0x60, 0x4F, 0x7D, 0x59, 0, 0})},
      {"code page 0 is the system's gbk", kNiHaoGbk, 0, B({0x60, 0x4F, 0x7D, 0x59, 0, 0})},
      // Read in code page 0 the six bytes are three characters, so the
      // buffer holds four units: one more than the conversion fills.
      {"utf-8 when no code page is given", kNiHaoUtf8, std::nullopt,
       B({0x60, 0x4F, 0x7D, 0x59, 0, 0, 0, 0})},
      {"given 65001", "A", 65001, B({0x41, 0, 0, 0})},
      {"empty text", "", 936, B({})},
      {"four-byte gb18030 becomes a surrogate pair", "\x95\x32\x82\x36", 936,
       B({0x40, 0xD8, 0x00, 0xDC, 0, 0})},
  };
  for (const auto& c : cases) EXPECT_EQ(MultiByteToUtf16(c.text, c.codePage), c.want) << c.name;
}

TEST(MultiByteToUtf16, NeverCutShort) {
  // Invalid UTF-8 that code page 0 reads as fewer characters than UTF-8 does:
  // each stray byte is its own substitute in UTF-8, while pairs form GBK
  // characters. Every substitute must be there.
  Text stray = "\xB0\xB0\xB0\xB0";
  Bytes units = MultiByteToUtf16(stray);
  ASSERT_GE(units.size(), 10u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(units[2 * i] | (units[2 * i + 1] << 8), 0xFFFD) << "unit " << i;
  }
  EXPECT_EQ(units[8] | units[9], 0);
}

TEST(Utf16ToMultiByte, StopsAtZeroUnitAndHonoursCodePage) {
  struct {
    const char* name;
    Bytes units;
    std::optional<int> codePage;
    Text want;
  } cases[] = {
      {"stops at first zero unit", B({0x41, 0, 0, 0, 0x42, 0}), std::nullopt, "A"},
      {"no terminator read to the end", B({0x41, 0, 0x42, 0}), std::nullopt, "AB"},
      {"odd trailing byte ignored", B({0x41, 0, 0x42}), std::nullopt, "A"},
      {"empty", B({}), std::nullopt, ""},
      {"code page 0 is gbk", B({0x60, 0x4F, 0x7D, 0x59}), std::nullopt, kNiHaoGbk},
      {"to utf-8", B({0x60, 0x4F, 0x7D, 0x59}), 65001, kNiHaoUtf8},
      {"to 936", B({0x60, 0x4F}), 936, "\xC4\xE3"},
      {"emoji survives in gb18030", B({0x3D, 0xD8, 0x00, 0xDE}), 936, "\x94\x39\xFC\x36"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf16ToMultiByte(c.units, c.codePage), c.want) << c.name;
}

TEST(TextConversions, GbkAndUtf8) {
  EXPECT_EQ(GbkToUtf8(kNiHaoGbk), kNiHaoUtf8);
  EXPECT_EQ(Utf8ToGbk(kNiHaoUtf8), kNiHaoGbk);
  EXPECT_EQ(GbkToUtf8(""), "");
  EXPECT_EQ(Utf8ToGbk(""), "");
  EXPECT_EQ(GbkToUtf8("plain ascii"), "plain ascii");
  // Characters that GBK lacks survive the round trip through GB18030.
  for (Text utf8 : {Text("\xF0\x9F\x98\x80"), Text("\xF0\xA0\x80\x80"), Text("\xE2\x82\xAC"),
                    Text("a\xF0\x9F\x8E\x89"
                         "b")}) {
    EXPECT_EQ(GbkToUtf8(Utf8ToGbk(utf8)), utf8) << "utf-8 bytes: " << utf8;
  }
  // Invalid UTF-8 is replaced, not passed through, and does not stop the rest.
  Text gbk = Utf8ToGbk(
      "a\xFF"
      "b");
  EXPECT_EQ(TextLeft(gbk, 1), "a");
  EXPECT_EQ(TextRight(gbk, 1), "b");
  EXPECT_EQ(GbkToUtf8(gbk),
            "a\xEF\xBF\xBD"
            "b");
}

TEST(ByteConversions, Utf8BytesToUtf16AndGbk) {
  EXPECT_EQ(Utf8BytesToUtf16(B({0xE4, 0xBD, 0xA0})), B({0x60, 0x4F}));
  EXPECT_EQ(Utf8BytesToUtf16(B({})), B({}));
  EXPECT_EQ(Utf8BytesToUtf16(B({'a', 0, 'b'})), B({'a', 0, 0, 0, 'b', 0}));
  EXPECT_EQ(Utf8BytesToGbk(B({0xE4, 0xBD, 0xA0, 0xE5, 0xA5, 0xBD})), B({0xC4, 0xE3, 0xBA, 0xC3}));
  // A zero byte stays, and what follows it is converted too.
  EXPECT_EQ(Utf8BytesToGbk(B({'a', 0, 0xE4, 0xBD, 0xA0})), B({'a', 0, 0xC4, 0xE3}));
  EXPECT_EQ(Utf8BytesToGbk(B({})), B({}));
}

TEST(ByteConversions, CompositeCheckComposesMarksOnly) {
  auto gbkOf = [](const Text& utf8) { return BytesToText(Utf8BytesToGbk(TextToBytes(utf8))); };
  struct {
    const char* name;
    Text utf8;
    Text sameAsUtf8;  // the result must equal the GBK of this text
  } cases[] = {
      {"e + acute composes", "e\xCC\x81", "\xC3\xA9"},
      {"a + grave composes", "a\xCC\x80", "\xC3\xA0"},
      {"u + diaeresis + macron composes twice", "u\xCC\x88\xCC\x84", "\xC7\x96"},
      // No precomposed form: both stay.
      {"q + acute stays", "q\xCC\x81", "q\xCC\x81"},
      // U+F92C is in GBK (FD 9C); full normalisation would turn it into
      // U+90CE. It must stay itself.
      {"compatibility ideograph kept", "\xEF\xA4\xAC", "\xEF\xA4\xAC"},
      {"mark at the very start stays",
       "\xCC\x81"
       "e",
       "\xCC\x81"
       "e"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(gbkOf(c.utf8), Utf8ToGbk(c.sameAsUtf8)) << c.name;
  }
  EXPECT_EQ(gbkOf("\xEF\xA4\xAC"), "\xFD\x9C");
}

TEST(ByteConversions, LongInputComposesAcrossEveryOffset) {
  // Long bodies are converted piece by piece; a mark must find its base
  // wherever the pieces are cut, and nothing may be lost or doubled.
  for (std::size_t lead : {8190u, 8191u, 8192u, 8193u, 16383u, 16384u}) {
    Text padding(lead, 'a');
    Bytes got = Utf8BytesToGbk(TextToBytes(padding +
                                           "e\xCC\x81"
                                           "b" +
                                           kNiHaoUtf8));
    EXPECT_EQ(BytesToText(got), padding + Utf8ToGbk("\xC3\xA9") + "b" + kNiHaoGbk)
        << "lead " << lead;
  }
  Text big;
  for (int i = 0; i < 20000; ++i) big += kNiHaoUtf8 + "\xF0\x9F\x98\x80";
  EXPECT_EQ(BytesToText(Utf8BytesToGbk(TextToBytes(big))), Utf8ToGbk(big));
}

}  // namespace
}  // namespace quibo
