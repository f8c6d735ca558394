// Quibo's rule engine: one message in (UTF-8 bytes, possibly invalid), one
// reply out (valid UTF-8), in Chinese, or in English when spoken to in
// English. Pure: the clock reading and the random pick are inputs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "robot/topics.h"

namespace quibo::robot {

enum class Intent {
  kEmpty,       // nothing but blanks: a prompt to say something
  kUnreadable,  // not valid UTF-8: said so, the bytes are not echoed
  kArithmetic,  // "3*(4+5)等于几", "what is 12 / 4"
  kTime,        // "现在几点", "what time is it"
  kDate,        // "今天几号", "what day is it"
  kIdentity,    // "你是谁", "what's your name"
  kAbilities,   // "你会什么", "help"
  kThanks,
  kFarewell,
  kTopic,  // one of the data file's small-talk topics
  kGreeting,
  kReflection,  // "我觉得很累" -> "为什么你会觉得很累？"
  kQuestion,    // an open question the rules do not know
  kFallback,
};

enum class Language { kChinese, kEnglish };

// A local clock reading.
struct Moment {
  int year = 2000;
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int weekday = 0;  // 0 = Sunday
  int hour = 0;
  int minute = 0;
};

struct Reply {
  Intent intent;
  Language language;
  std::string text;  // UTF-8, never empty
};

// `variety` picks among the phrasings of an answer, so that the same
// question need not get the same reply twice; any value is fine.
[[nodiscard]] Reply AnswerMessage(std::string_view message, const Moment& now,
                                  std::uint64_t variety, const std::vector<Topic>& topics);

// English when the message has Latin letters and no CJK character.
[[nodiscard]] Language DetectLanguage(std::u32string_view chars);

[[nodiscard]] std::string_view IntentName(Intent intent);

}  // namespace quibo::robot
