#include "robot/rules.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>
#include <span>

#include "robot/arithmetic.h"
#include "robot/utf8.h"

namespace quibo::robot {
namespace {

using Phrases = std::initializer_list<std::string_view>;
using Keys = std::initializer_list<std::u32string_view>;

// How much of the user's own words a reflection repeats, in code points.
constexpr size_t kLongestReflection = 60;

std::string_view Pick(Phrases phrases, std::uint64_t variety) {
  return phrases.begin()[variety % phrases.size()];
}

// `pattern` with each "{x}" replaced by `x` and each "{v}" by `v`.
std::string Fill(std::string_view pattern, std::string_view x, std::string_view v = {}) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.substr(i, 3) == "{x}") {
      out += x;
      i += 2;
    } else if (pattern.substr(i, 3) == "{v}") {
      out += v;
      i += 2;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

bool ContainsAny(std::u32string_view folded, Keys keys) {
  for (auto key : keys) {
    if (ContainsKey(folded, key)) return true;
  }
  return false;
}

std::string TwoDigits(int n) {
  return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

std::string ClockText(const Moment& now) {
  return TwoDigits(now.hour) + ":" + TwoDigits(now.minute);
}

std::string DateText(const Moment& now, Language language) {
  static constexpr std::array<std::string_view, 7> kChineseDays = {"日", "一", "二", "三",
                                                                   "四", "五", "六"};
  static constexpr std::array<std::string_view, 7> kEnglishDays = {
      "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  static constexpr std::array<std::string_view, 12> kMonths = {
      "January", "February", "March",     "April",   "May",      "June",
      "July",    "August",   "September", "October", "November", "December"};
  const int weekday = ((now.weekday % 7) + 7) % 7;
  const int month = std::clamp(now.month, 1, 12) - 1;
  if (language == Language::kChinese) {
    return std::to_string(now.year) + "年" + std::to_string(now.month) + "月" +
           std::to_string(now.day) + "日，星期" + std::string(kChineseDays[weekday]);
  }
  return std::string(kEnglishDays[weekday]) + ", " + std::to_string(now.day) + " " +
         std::string(kMonths[month]) + " " + std::to_string(now.year);
}

Reply ArithmeticReply(const Calculation& c, Language language, std::uint64_t variety) {
  const bool zh = language == Language::kChinese;
  std::string text;
  switch (c.problem) {
    case CalculationProblem::kDivisionByZero:
      text =
          Fill(zh ? "除数不能是零，{x} 没有答案。" : "{x} has no answer: you can't divide by zero.",
               c.expression);
      break;
    case CalculationProblem::kTooLarge:
      text = Fill(zh ? "{x} 的结果太大了，我算不过来。" : "{x} is too big for me to work out.",
                  c.expression);
      break;
    case CalculationProblem::kNone:
      text = Fill(zh ? Pick({"{x} = {v}。", "算好了：{x} = {v}。", "答案是 {v}（{x}）。"}, variety)
                     : Pick({"{x} = {v}.", "That's {v} ({x}).", "Easy: {x} = {v}."}, variety),
                  c.expression, FormatNumber(c.value));
      break;
  }
  return {Intent::kArithmetic, language, text};
}

// The user's words after a reflection's opening, cut at the end of the
// sentence, with the speaker's pronouns turned round.
std::u32string ReflectChinese(std::u32string_view rest) {
  std::u32string out;
  for (char32_t c : rest) {
    if (c == U'。' || c == U'！' || c == U'？' || c == U'!' || c == U'?' || c == U'，' ||
        c == U',' || c == U'.' || c == U'~' || c == U'～' || c == U'\r' || c == U'\n') {
      break;
    }
    out.push_back(c == U'我' ? U'你' : (c == U'你' || c == U'您') ? U'我' : c);
  }
  return out;
}

std::u32string SwapEnglishWord(std::u32string_view lower, std::u32string_view original) {
  static constexpr struct {
    std::u32string_view from, to;
  } kSwaps[] = {{U"i", U"you"},       {U"me", U"you"},          {U"my", U"your"},
                {U"mine", U"yours"},  {U"myself", U"yourself"}, {U"am", U"are"},
                {U"i'm", U"you're"},  {U"you", U"me"},          {U"your", U"my"},
                {U"yours", U"mine"},  {U"yourself", U"myself"}, {U"you're", U"I'm"},
                {U"i've", U"you've"}, {U"you've", U"I've"},     {U"i'll", U"you'll"},
                {U"you'll", U"I'll"}};
  for (const auto& swap : kSwaps) {
    if (lower == swap.from) return std::u32string(swap.to);
  }
  return std::u32string(original);
}

std::u32string ReflectEnglish(std::u32string_view rest, std::u32string_view restFolded) {
  std::u32string out;
  size_t i = 0;
  while (i < rest.size()) {
    const char32_t c = restFolded[i];
    if (c == U'.' || c == U'!' || c == U'?' || c == U',' || c == U';' || c == U'\r' || c == U'\n' ||
        c == U'。' || c == U'！' || c == U'？') {
      break;
    }
    if ((c >= U'a' && c <= U'z') || c == U'\'') {
      size_t end = i;
      while (end < rest.size() &&
             ((restFolded[end] >= U'a' && restFolded[end] <= U'z') || restFolded[end] == U'\'')) {
        ++end;
      }
      out += SwapEnglishWord(restFolded.substr(i, end - i), rest.substr(i, end - i));
      i = end;
    } else {
      out.push_back(rest[i++]);
    }
  }
  return out;
}

std::string ShortFragment(std::u32string_view fragment) {
  fragment = TrimBlanks(fragment);
  if (fragment.size() <= kLongestReflection) return EncodeUtf8(fragment);
  return EncodeUtf8(fragment.substr(0, kLongestReflection)) + "…";
}

struct ReflectionRule {
  std::u32string_view opening;
  Phrases phrases;
};

std::optional<Reply> Reflection(std::u32string_view chars, std::u32string_view folded,
                                Language language, std::uint64_t variety) {
  static const ReflectionRule kChinese[] = {
      {U"我觉得", {"为什么你会觉得{x}？", "是什么让你觉得{x}呢？", "你真的觉得{x}吗？"}},
      {U"我认为", {"为什么你认为{x}？", "你这么认为，是有什么原因吗？（{x}）"}},
      {U"我喜欢", {"你喜欢{x}的哪一点？", "喜欢{x}多久了？", "说说看，{x}有什么吸引你的？"}},
      {U"我讨厌", {"为什么讨厌{x}？", "{x}怎么惹到你了？"}},
      {U"我想", {"为什么想{x}？", "如果真的{x}，你会怎么样？", "想{x}多久了？"}},
      {U"我要", {"为什么要{x}？", "{x}之后呢，你打算做什么？"}},
      {U"我很", {"你为什么很{x}？", "很{x}的时候，你一般会做什么？"}},
      {U"我是", {"你是{x}？能多说说吗？", "作为{x}，感觉怎么样？"}},
      {U"我有", {"你有{x}？说来听听。", "有{x}是什么感觉？"}},
      {U"我在", {"你在{x}？感觉怎么样？", "在{x}呀，顺利吗？"}},
  };
  static const ReflectionRule kEnglish[] = {
      {U"i feel",
       {"Why do you feel {x}?", "How long have you felt {x}?", "What makes you feel {x}?"}},
      {U"i think", {"Why do you think {x}?", "What makes you think {x}?"}},
      {U"i like", {"What do you like most about {x}?", "How did you get into {x}?"}},
      {U"i love", {"What do you love about {x}?", "How long have you loved {x}?"}},
      {U"i hate", {"What is it about {x} that bothers you?", "Why do you hate {x}?"}},
      {U"i want", {"Why do you want {x}?", "What would it mean to you to get {x}?"}},
      {U"i need", {"Why do you need {x}?", "What would change if you got {x}?"}},
      {U"i'm", {"How long have you been {x}?", "Why do you say you are {x}?"}},
      {U"i am", {"How long have you been {x}?", "Why do you say you are {x}?"}},
      {U"my", {"Your {x}? Tell me more.", "Really, your {x}? How so?"}},
  };
  const bool zh = language == Language::kChinese;
  const auto& rules =
      zh ? std::span<const ReflectionRule>(kChinese) : std::span<const ReflectionRule>(kEnglish);
  for (const auto& rule : rules) {
    for (size_t at = folded.find(rule.opening); at != std::u32string_view::npos;
         at = folded.find(rule.opening, at + 1)) {
      const size_t after = at + rule.opening.size();
      if (!zh && ((at > 0 && IsAsciiAlnum(folded[at - 1])) ||
                  (after < folded.size() && folded[after] != U' '))) {
        continue;
      }
      const std::u32string fragment =
          zh ? ReflectChinese(chars.substr(after))
             : ReflectEnglish(chars.substr(after), folded.substr(after));
      if (TrimBlanks(fragment).empty()) continue;
      return Reply{Intent::kReflection, language,
                   Fill(Pick(rule.phrases, variety), ShortFragment(fragment))};
    }
  }
  return std::nullopt;
}

bool LooksLikeQuestion(std::u32string_view folded) {
  folded = TrimBlanks(folded);
  if (folded.empty()) return false;
  const char32_t last = folded.back();
  if (last == U'?' || last == U'吗' || last == U'呢' || last == U'么') return true;
  for (std::u32string_view opener :
       {U"what", U"why", U"how", U"who", U"where", U"when", U"which", U"can", U"could", U"do",
        U"does", U"is", U"are", U"will", U"would", U"should"}) {
    if (folded.starts_with(opener) &&
        (folded.size() == opener.size() || !IsAsciiAlnum(folded[opener.size()]))) {
      return true;
    }
  }
  return false;
}

}  // namespace

Language DetectLanguage(std::u32string_view chars) {
  bool latin = false;
  for (char32_t c : chars) {
    if (IsCjk(c)) return Language::kChinese;
    latin = latin || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
  }
  return latin ? Language::kEnglish : Language::kChinese;
}

Reply AnswerMessage(std::string_view message, const Moment& now, std::uint64_t variety,
                    const std::vector<Topic>& topics) {
  const DecodedText decoded = DecodeUtf8(message);
  const std::u32string_view chars = TrimBlanks(decoded.chars);
  const std::u32string folded = FoldForMatching(chars);
  const Language language = DetectLanguage(chars);
  const bool zh = language == Language::kChinese;
  auto reply = [&](Intent intent, Phrases chinese, Phrases english) {
    return Reply{intent, language, std::string(Pick(zh ? chinese : english, variety))};
  };

  if (!decoded.valid) {
    return reply(Intent::kUnreadable,
                 {"这句话里有我读不懂的字节（不是有效的 UTF-8），能换个说法吗？",
                  "抱歉，这段文字的编码我读不懂，可以再说一遍吗？"},
                 {"Some of those bytes are not valid UTF-8, so I couldn't read them. Could you "
                  "say it again?",
                  "Sorry, part of that message isn't readable text. Could you rephrase it?"});
  }
  if (chars.empty()) {
    return Reply{Intent::kEmpty, Language::kChinese,
                 std::string(Pick({"说点什么吧，我在听呢。", "你好像什么都没说？随便聊点什么吧。",
                                   "我在这儿，想聊什么都可以，说点什么吧。"},
                                  variety))};
  }

  if (auto calculation = FindCalculation(folded)) {
    const bool asked =
        ContainsAny(folded, {U"等于", U"多少", U"几", U"算", U"?", U"=", U"what", U"how much",
                             U"calculate", U"compute", U"equal", U"equals", U"is"});
    if (calculation->wholeMessage || asked) return ArithmeticReply(*calculation, language, variety);
  }

  if (ContainsAny(folded, {U"几点", U"什么时间", U"现在时间", U"几时了", U"现在的时间",
                           U"what time", U"time is it", U"what's the time", U"current time",
                           U"time now", U"tell me the time"})) {
    const std::string clock = ClockText(now);
    return Reply{
        Intent::kTime, language,
        Fill(zh ? Pick({"现在是 {x}。", "我看了看钟：现在 {x}。", "{x}，时间过得真快呀。"}, variety)
                : Pick({"It's {x}.", "The clock says {x}.", "It is {x} right now."}, variety),
             clock)};
  }
  if (ContainsAny(folded, {U"几号", U"日期", U"星期几", U"礼拜几", U"周几", U"几月几日",
                           U"什么日子", U"what day", U"what's the date", U"what is the date",
                           U"today's date", U"what date", U"date today"})) {
    return Reply{Intent::kDate, language,
                 Fill(zh ? Pick({"今天是{x}。", "让我看看日历：今天是{x}。"}, variety)
                         : Pick({"Today is {x}.", "It's {x} today."}, variety),
                      DateText(now, language))};
  }
  if (ContainsAny(folded,
                  {U"你是谁", U"你叫什么", U"你的名字", U"你叫啥", U"什么名字", U"你是什么",
                   U"你是机器人", U"你是人", U"自我介绍", U"介绍一下你", U"您是谁", U"您叫什么",
                   U"your name", U"who are you", U"what are you", U"are you a robot",
                   U"are you a bot", U"are you human", U"introduce yourself"})) {
    return reply(Intent::kIdentity,
                 {"我是Quibo，一个住在你电脑里的聊天机器人。",
                  "我叫Quibo！一个小小的聊天机器人，会算数、报时，也爱闲聊。",
                  "我是聊天机器人Quibo，很高兴认识你。"},
                 {"I'm Quibo, a little chat robot living on your computer.",
                  "My name is Quibo. I'm a chat robot: I can do sums, tell the time and chat.",
                  "I'm Quibo, a chat robot. Nice to meet you!"});
  }
  if (ContainsAny(folded, {U"你会什么", U"你能做什么", U"你会干什么", U"你能干什么", U"你会做什么",
                           U"有什么功能", U"帮助", U"怎么用", U"what can you do", U"help",
                           U"what do you do", U"how do i use"})) {
    return reply(Intent::kAbilities,
                 {"我会打招呼、报时间和日期、做算术（比如“3*(4+5)等于几”），还能陪你聊天气、美食、"
                  "音乐、电影、运动……随便说点什么试试吧！"},
                 {"I can say hello, tell you the time and the date, do arithmetic (try \"what is "
                  "12 / 4\"), and chat about the weather, food, music, films, sport and more. "
                  "Just say something!"});
  }
  if (ContainsAny(folded, {U"谢谢", U"多谢", U"感谢", U"谢啦", U"谢了", U"3q", U"thanks",
                           U"thank you", U"thank", U"thx"})) {
    return reply(Intent::kThanks, {"不客气！", "不用谢，很高兴能帮到你。", "别客气，随时找我聊。"},
                 {"You're welcome!", "Any time!", "Glad I could help."});
  }
  if (ContainsAny(folded, {U"再见", U"拜拜", U"回头见", U"下次见", U"晚安", U"先走了", U"我走了",
                           U"bye", U"goodbye", U"good bye", U"see you", U"good night", U"farewell",
                           U"see ya", U"cya"})) {
    return reply(Intent::kFarewell, {"再见！随时回来聊天。", "拜拜，祝你今天愉快！", "下次见～"},
                 {"Goodbye! Come back any time.", "Bye, have a good one!", "See you soon!"});
  }
  if (auto match = MatchTopic(topics, folded)) {
    const Topic& topic = *match->topic;
    const auto& own = zh ? topic.chinese : topic.english;
    const auto& answers = own.empty() ? (zh ? topic.english : topic.chinese) : own;
    return Reply{Intent::kTopic, language, answers[variety % answers.size()]};
  }
  if (ContainsAny(folded, {U"你好",         U"您好",           U"嗨",           U"哈喽",
                           U"哈啰",         U"早上好",         U"早安",         U"上午好",
                           U"中午好",       U"下午好",         U"晚上好",       U"在吗",
                           U"喂",           U"大家好",         U"hello",        U"hi",
                           U"hey",          U"hiya",           U"howdy",        U"greetings",
                           U"good morning", U"good afternoon", U"good evening", U"yo"})) {
    // The first phrasing greets by the time of day on this machine.
    const int slot = now.hour < 5 ? 0 : now.hour < 12 ? 1 : now.hour < 18 ? 2 : 3;
    static constexpr std::array<std::string_view, 4> kChineseOpening = {
        "夜深了，还没睡呀？我是Quibo，想聊点什么？", "早上好！我是Quibo，今天想聊点什么？",
        "下午好！我是Quibo，想聊点什么？", "晚上好！我是Quibo，想聊点什么？"};
    static constexpr std::array<std::string_view, 4> kEnglishOpening = {
        "Hello! Up late? I'm Quibo. What shall we talk about?",
        "Good morning! I'm Quibo. What shall we talk about?",
        "Good afternoon! I'm Quibo. What shall we talk about?",
        "Good evening! I'm Quibo. What shall we talk about?"};
    return reply(
        Intent::kGreeting,
        {kChineseOpening[slot], "你好呀！今天过得怎么样？", "嗨！很高兴见到你。"},
        {kEnglishOpening[slot], "Hi there! How's your day going?", "Hey! Nice to see you."});
  }
  if (auto reflection = Reflection(chars, folded, language, variety)) return *reflection;
  if (LooksLikeQuestion(folded)) {
    return reply(
        Intent::kQuestion,
        {"这个问题有意思，我还在学习，你是怎么想的？", "嗯……这个我答不上来，不过很想听听你的看法。",
         "好问题！可惜我知道的还不多，换个问题试试？"},
        {"Good question. I'm still learning. What do you think?",
         "Hmm, I don't know that one yet. What's your take?",
         "That's a tricky one for a small robot. Could you ask me another way?"});
  }
  return reply(Intent::kFallback,
               {"原来如此，然后呢？", "嗯嗯，我在听，接着说。", "有意思！能多讲一点吗？",
                "是吗？说来听听。", "我想想……你平时都喜欢做些什么？"},
               {"I see. Tell me more.", "Interesting! Go on.", "Really? How so?",
                "Hmm, and then what happened?", "I'm listening. Tell me more."});
}

std::string_view IntentName(Intent intent) {
  switch (intent) {
    case Intent::kEmpty:
      return "empty";
    case Intent::kUnreadable:
      return "unreadable";
    case Intent::kArithmetic:
      return "arithmetic";
    case Intent::kTime:
      return "time";
    case Intent::kDate:
      return "date";
    case Intent::kIdentity:
      return "identity";
    case Intent::kAbilities:
      return "abilities";
    case Intent::kThanks:
      return "thanks";
    case Intent::kFarewell:
      return "farewell";
    case Intent::kTopic:
      return "topic";
    case Intent::kGreeting:
      return "greeting";
    case Intent::kReflection:
      return "reflection";
    case Intent::kQuestion:
      return "question";
    case Intent::kFallback:
      return "fallback";
  }
  return "?";
}

}  // namespace quibo::robot
