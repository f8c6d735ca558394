#include "robot/rules.h"

#include <gtest/gtest.h>

#include <set>

#include "robot/utf8.h"

namespace quibo::robot {
namespace {

// Friday 11 December 2026, 14:05.
constexpr Moment kAfternoon{2026, 12, 11, 5, 14, 5};

const std::vector<Topic>& ShippedTopics() {
  static const std::vector<Topic> topics = [] {
    const auto content = ReadWholeFile(QUIBO_ROBOT_TOPICS_FILE);
    return content ? ParseTopics(*content).topics : std::vector<Topic>{};
  }();
  return topics;
}

Reply Answer(std::string_view message, std::uint64_t variety = 0, Moment now = kAfternoon) {
  return AnswerMessage(message, now, variety, ShippedTopics());
}

TEST(AnswerMessage, EachIntentGetsItsKindOfAnswerInTheSpeakersLanguage) {
  ASSERT_FALSE(ShippedTopics().empty());
  const struct {
    const char* message;
    Intent intent;
    Language language;
  } cases[] = {
      {"", Intent::kEmpty, Language::kChinese},
      {"   \t ", Intent::kEmpty, Language::kChinese},
      {"\xE3\x80\x80", Intent::kEmpty, Language::kChinese},           // ideographic space
      {"\xC4\xE3\xBA\xC3", Intent::kUnreadable, Language::kChinese},  // GBK, not UTF-8
      {"hello \xFF", Intent::kUnreadable, Language::kEnglish},
      {"3*(4+5)等于几", Intent::kArithmetic, Language::kChinese},
      {"what is 12 / 4", Intent::kArithmetic, Language::kEnglish},
      {"2+2", Intent::kArithmetic, Language::kChinese},
      {"现在几点了？", Intent::kTime, Language::kChinese},
      {"What time is it?", Intent::kTime, Language::kEnglish},
      {"今天星期几", Intent::kDate, Language::kChinese},
      {"what day is it today", Intent::kDate, Language::kEnglish},
      {"你叫什么名字？", Intent::kIdentity, Language::kChinese},
      {"Who are you?", Intent::kIdentity, Language::kEnglish},
      {"你会什么", Intent::kAbilities, Language::kChinese},
      {"help", Intent::kAbilities, Language::kEnglish},
      {"谢谢你", Intent::kThanks, Language::kChinese},
      {"Thanks a lot!", Intent::kThanks, Language::kEnglish},
      {"拜拜", Intent::kFarewell, Language::kChinese},
      {"Goodbye", Intent::kFarewell, Language::kEnglish},
      {"你好", Intent::kGreeting, Language::kChinese},
      {"ｈｅｌｌｏ", Intent::kGreeting, Language::kChinese},  // full-width is CJK input
      {"Hi!", Intent::kGreeting, Language::kEnglish},
      {"HELLO", Intent::kGreeting, Language::kEnglish},
      {"今天天气怎么样", Intent::kTopic, Language::kChinese},
      {"tell me a joke", Intent::kTopic, Language::kEnglish},
      {"你好吗", Intent::kTopic, Language::kChinese},
      {"我觉得有点无聊", Intent::kReflection, Language::kChinese},
      {"I feel a bit lost", Intent::kReflection, Language::kEnglish},
      {"为什么天空是蓝的？", Intent::kQuestion, Language::kChinese},
      {"Why is the sky blue?", Intent::kQuestion, Language::kEnglish},
      {"嗯", Intent::kFallback, Language::kChinese},
      {"this is fine", Intent::kFallback, Language::kEnglish},
      {"我有3个苹果", Intent::kReflection, Language::kChinese},
  };
  for (const auto& c : cases) {
    const Reply reply = Answer(c.message);
    EXPECT_EQ(IntentName(reply.intent), IntentName(c.intent)) << c.message;
    EXPECT_EQ(reply.language, c.language) << c.message;
    EXPECT_FALSE(reply.text.empty()) << c.message;
    EXPECT_TRUE(DecodeUtf8(reply.text).valid) << c.message;
  }
}

TEST(AnswerMessage, ArithmeticAnswersCarryTheSumAndItsResult) {
  const struct {
    const char* message;
    const char* expression;
    const char* result;
  } cases[] = {
      {"3*(4+5)等于几", "3 * (4 + 5)", "27"},   {"what is 12 / 4", "12 / 4", "3"},
      {"一加一等于几", "1 + 1", "2"},           {"7/2=?", "7 / 2", "3.5"},
      {"1/0等于多少", "1 / 0", "除数不能是零"}, {"what is 1/0", "1 / 0", "divide by zero"},
  };
  for (const auto& c : cases) {
    for (std::uint64_t variety = 0; variety < 3; ++variety) {
      const Reply reply = Answer(c.message, variety);
      EXPECT_EQ(reply.intent, Intent::kArithmetic) << c.message;
      EXPECT_NE(reply.text.find(c.expression), std::string::npos)
          << c.message << " -> " << reply.text;
      EXPECT_NE(reply.text.find(c.result), std::string::npos) << c.message << " -> " << reply.text;
    }
  }
}

TEST(AnswerMessage, TimeAndDateAnswersNameTheClockReading) {
  const struct {
    const char* message;
    Moment now;
    const char* mustContain;
  } cases[] = {
      {"现在几点", kAfternoon, "14:05"},
      {"what time is it", {2026, 1, 2, 5, 9, 7}, "09:07"},
      {"what time is it", {2026, 1, 2, 5, 0, 0}, "00:00"},
      {"今天几号", kAfternoon, "2026年12月11日，星期五"},
      {"what's the date", kAfternoon, "Friday, 11 December 2026"},
      {"今天星期几", {2026, 12, 13, 0, 8, 0}, "星期日"},
  };
  for (const auto& c : cases) {
    for (std::uint64_t variety = 0; variety < 3; ++variety) {
      const std::string text = Answer(c.message, variety, c.now).text;
      EXPECT_NE(text.find(c.mustContain), std::string::npos) << c.message << " -> " << text;
    }
  }
}

TEST(AnswerMessage, GreetingsFitTheTimeOfDay) {
  const struct {
    const char* message;
    int hour;
    const char* greeting;
  } cases[] = {
      {"你好", 3, "夜深了"},
      {"你好", 5, "早上好"},
      {"你好", 12, "下午好"},
      {"你好", 23, "晚上好"},
      {"good morning", 4, "Hello! Up late?"},
      {"hello", 9, "Good morning"},
      {"hey", 17, "Good afternoon"},
      {"hi", 18, "Good evening"},
  };
  for (const auto& c : cases) {
    Moment now = kAfternoon;
    now.hour = c.hour;
    const Reply reply = Answer(c.message, 0, now);
    EXPECT_EQ(reply.intent, Intent::kGreeting) << c.message;
    EXPECT_TRUE(reply.text.starts_with(c.greeting))
        << c.message << " at " << c.hour << ":00 -> " << reply.text;
  }
}

TEST(AnswerMessage, ReflectionsTurnTheSpeakersWordsRound) {
  const struct {
    const char* message;
    const char* mustContain;
    const char* mustNotContain;
  } cases[] = {
      {"我觉得你很聪明。", "我很聪明", "你很聪明"},
      {"我想和你做朋友", "和我做朋友", "和你做朋友"},
      {"I feel like nobody listens to me", "like nobody listens to you", "to me"},
      {"My Uncle is called Tom.", "our Uncle is called Tom", "My"},
      {"I'm puzzled by my neighbour", "puzzled by your neighbour", "my neighbour"},
  };
  for (const auto& c : cases) {
    for (std::uint64_t variety = 0; variety < 3; ++variety) {
      const Reply reply = Answer(c.message, variety);
      EXPECT_EQ(reply.intent, Intent::kReflection) << c.message;
      EXPECT_NE(reply.text.find(c.mustContain), std::string::npos)
          << c.message << " -> " << reply.text;
      EXPECT_EQ(reply.text.find(c.mustNotContain), std::string::npos)
          << c.message << " -> " << reply.text;
    }
  }
}

TEST(AnswerMessage, LongWordsAreNotRepeatedAtLength) {
  const std::string longTail(100000, 'a');
  const Reply reply = Answer("I feel " + longTail);
  EXPECT_EQ(reply.intent, Intent::kReflection);
  EXPECT_LT(reply.text.size(), 200u);
}

TEST(AnswerMessage, TheSameQuestionNeedNotGetTheSameAnswer) {
  for (const char* message : {"你好", "hello", "嗯", "this is fine", "为什么", "现在几点",
                              "讲个笑话", "我觉得有点累", "3+4"}) {
    std::set<std::string> answers;
    for (std::uint64_t variety = 0; variety < 8; ++variety) {
      answers.insert(Answer(message, variety).text);
    }
    EXPECT_GE(answers.size(), 2u) << message;
  }
}

TEST(AnswerMessage, NamesItselfQuibo) {
  for (const char* message : {"你是谁", "what's your name?", "你叫什么"}) {
    for (std::uint64_t variety = 0; variety < 3; ++variety) {
      EXPECT_NE(Answer(message, variety).text.find("Quibo"), std::string::npos) << message;
    }
  }
}

TEST(AnswerMessage, NeverEchoesInvalidBytes) {
  const std::string message = "我觉得\xFF\xFE\xC0\xAF很好";
  const Reply reply = Answer(message);
  EXPECT_EQ(reply.intent, Intent::kUnreadable);
  EXPECT_TRUE(DecodeUtf8(reply.text).valid);
}

}  // namespace
}  // namespace quibo::robot
