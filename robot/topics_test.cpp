#include "robot/topics.h"

#include <gtest/gtest.h>

#include "robot/utf8.h"

namespace quibo::robot {
namespace {

std::u32string Folded(std::string_view utf8) {
  return FoldForMatching(DecodeUtf8(utf8).chars);
}

TEST(ParseTopics, ReadsBlocksAndNamesEveryRejectedLine) {
  const TopicFile file = ParseTopics(
      "# comment\n"
      "stray: before any topic\n"
      "[weather]\r\n"
      "keys: 天气，下雨, Weather ,, rain\n"
      "zh: 你那边天气怎么样？\n"
      "en: How's the weather?\n"
      "en: Rain again?\n"
      "colour: blue\n"
      "no colon here\n"
      "[empty]\n"
      "keys: nothing\n"
      "[broken\n"
      "[english-only]\n"
      "keys: cat\n"
      "en: Meow.\n"
      "zh:\n"
      "\xC4\xE3: gbk line\n");
  ASSERT_EQ(file.topics.size(), 2u);
  const Topic& weather = file.topics[0];
  EXPECT_EQ(weather.name, "weather");
  EXPECT_EQ(weather.keys, (std::vector<std::u32string>{U"天气", U"下雨", U"weather", U"rain"}));
  EXPECT_EQ(weather.chinese, std::vector<std::string>{"你那边天气怎么样？"});
  EXPECT_EQ(weather.english, (std::vector<std::string>{"How's the weather?", "Rain again?"}));
  EXPECT_EQ(file.topics[1].name, "english-only");
  EXPECT_TRUE(file.topics[1].chinese.empty());

  const std::vector<std::string> problems = {
      "line 2: comes before any [topic]",
      "line 8: unknown field 'colour'",
      "line 9: expected keys:, zh: or en:",
      "topic [empty] before line 12 needs keys and at least one answer",
      "line 12: a topic name is written [name]",
      "line 16: empty value",
      "line 17: not UTF-8",
  };
  EXPECT_EQ(file.problems, problems);
}

TEST(ContainsKey, AsciiKeysMatchWholeWordsOnlyOthersAnywhere) {
  const struct {
    const char* text;
    const char* key;
    bool found;
  } cases[] = {
      {"hi there", "hi", true},
      {"this", "hi", false},
      {"oh, hi!", "hi", true},
      {"hi2u", "hi", false},
      {"how are you?", "how are you", true},
      {"今天天气不错", "天气", true},
      {"天", "天气", false},
      {"", "hi", false},
      {"anything", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ContainsKey(Folded(c.text), Folded(c.key)), c.found)
        << "'" << c.key << "' in '" << c.text << "'";
  }
}

TEST(MatchTopic, LongestMatchingKeyWins) {
  const TopicFile file = ParseTopics(
      "[love]\nkeys: love\nen: love\n"
      "[food]\nkeys: pizza, eat\nen: food\n"
      "[joke]\nkeys: 笑话, tell me a joke\nen: joke\n");
  ASSERT_EQ(file.topics.size(), 3u);
  const struct {
    const char* text;
    const char* topic;  // nullptr: none
  } cases[] = {
      {"I love pizza", "food"}, {"i love you", "love"},    {"Tell me a joke about pizza", "joke"},
      {"讲个笑话", "joke"},     {"nothing here", nullptr},
  };
  for (const auto& c : cases) {
    const auto match = MatchTopic(file.topics, Folded(c.text));
    if (c.topic == nullptr) {
      EXPECT_FALSE(match.has_value()) << c.text;
    } else {
      ASSERT_TRUE(match.has_value()) << c.text;
      EXPECT_EQ(match->topic->name, c.topic) << c.text;
    }
  }
}

TEST(TopicsFile, TheShippedFileReadsCleanlyWithAnswersInBothLanguages) {
  const auto content = ReadWholeFile(QUIBO_ROBOT_TOPICS_FILE);
  ASSERT_TRUE(content.has_value()) << QUIBO_ROBOT_TOPICS_FILE;
  const TopicFile file = ParseTopics(*content);
  EXPECT_TRUE(file.problems.empty()) << file.problems.front();
  EXPECT_GE(file.topics.size(), 15u);
  for (const Topic& topic : file.topics) {
    EXPECT_FALSE(topic.chinese.empty()) << topic.name;
    EXPECT_FALSE(topic.english.empty()) << topic.name;
  }
}

TEST(ReadWholeFile, NothingForAMissingFile) {
  EXPECT_FALSE(ReadWholeFile("/nonexistent/quibo/topics.txt").has_value());
}

}  // namespace
}  // namespace quibo::robot
