#include "text/char_walk.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quibo::walk {
namespace {

// Character starts found by walking from the first byte, one by one.
std::vector<bool> StartsByFullWalk(std::string_view t) {
  std::vector<bool> starts(t.size() + 1, false);
  for (std::size_t i = 0; i < t.size(); i += CharLengthAt(t, i)) starts[i] = true;
  starts[t.size()] = true;
  return starts;
}

TEST(CharWalk, CharacterLengths) {
  struct {
    const char* name;
    std::string text;
    std::vector<std::size_t> lengths;
  } cases[] = {
      {"ascii", "ab", {1, 1}},
      {"gbk pair",
       "\xC4\xE3"
       "a",
       {2, 1}},
      {"trail byte below 0x80",
       "\x81\x40"
       "x",
       {2, 1}},
      {"four-byte gb18030",
       "\x81\x30\x81\x30"
       "a",
       {4, 1}},
      {"four-byte cut short is a pair then a pair", "\x81\x30\x81", {2, 1}},
      {"lead then digit then ascii", "\x81\x30\x41\x30", {2, 1, 1}},
      {"lone lead at the end", "a\xB0", {1, 1}},
      {"0x80 takes the next byte",
       "\x80"
       "a",
       {2}},
  };
  for (const auto& c : cases) {
    std::vector<std::size_t> got;
    for (std::size_t i = 0; i < c.text.size(); i += CharLengthAt(c.text, i)) {
      got.push_back(CharLengthAt(c.text, i));
    }
    EXPECT_EQ(got, c.lengths) << c.name;
  }
}

// The tracker's local resynchronisation must agree with a walk from the start
// everywhere, on texts built to confuse it (digits after lead bytes, runs of
// high bytes, four-byte characters next to pairs).
TEST(CharWalk, TrackerAgreesWithFullWalk) {
  const unsigned char alphabet[] = {0x81, 0x30, 0x39, 0xA1, 0xB0, 0xFE, 0x80,
                                    0xFF, 'a',  ' ',  '0',  0x40, 0x7E};
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    std::string t;
    int len = static_cast<int>(rng() % 40);
    for (int i = 0; i < len; ++i) t.push_back(static_cast<char>(alphabet[rng() % sizeof alphabet]));
    std::vector<bool> expected = StartsByFullWalk(t);
    // Ask in increasing order with random gaps, as a search does.
    StartTracker tracker(t);
    for (std::size_t pos = rng() % 3; pos <= t.size(); pos += 1 + rng() % 3) {
      ASSERT_EQ(tracker.IsStart(pos), expected[pos]) << "round " << round << " pos " << pos;
    }
  }
}

TEST(CharWalk, FindAlignedSkipsMatchesInsideCharacters) {
  // "\xB0;" hides the ';' that follows the lead byte.
  std::string t = "\xB0;a;";
  StartTracker starts(t);
  EXPECT_EQ(FindAligned(t, ";", 0, starts), 3u);
  StartTracker again(t);
  EXPECT_EQ(FindAlignedIgnoreCase(t, "A;", 0, again), 2u);
}

}  // namespace
}  // namespace quibo::walk
