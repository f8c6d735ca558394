// Small-talk topics, read from a plain data file so that the robot can learn
// new ones without a rebuild. The format, one statement a line:
//
//   # a comment
//   [music]                       starts a topic
//   keys: 音乐, 歌, music, song    words that call it up, comma-separated (, or ，)
//   zh: 你平时听什么歌？           an answer in Chinese (as many as you like)
//   en: What do you listen to?    an answer in English (as many as you like)
//
// Keys match case-blind; an ASCII key matches whole words only. A topic
// without answers in one language answers in the other.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quibo::robot {

struct Topic {
  std::string name;
  std::vector<std::u32string> keys;  // folded for matching
  std::vector<std::string> chinese;  // UTF-8
  std::vector<std::string> english;  // UTF-8
};

struct TopicFile {
  std::vector<Topic> topics;
  std::vector<std::string> problems;  // "line 7: ...", one per rejected line or topic
};

// Every well-formed topic of `content`; what is rejected is named in
// `problems` and the rest is still read.
[[nodiscard]] TopicFile ParseTopics(std::string_view content);

// The file's content, or nothing when it cannot be read.
[[nodiscard]] std::optional<std::string> ReadWholeFile(const std::string& path);

struct TopicMatch {
  const Topic* topic = nullptr;
  size_t keyLength = 0;  // in code points; the longest key wins, then the first topic
};

// The topic whose longest matching key in `folded` is longest; nothing when
// no key matches.
[[nodiscard]] std::optional<TopicMatch> MatchTopic(const std::vector<Topic>& topics,
                                                   std::u32string_view folded);

// Whether `key` occurs in `folded`; an ASCII-only key only as a whole word
// ("hi" is not in "this").
[[nodiscard]] bool ContainsKey(std::u32string_view folded, std::u32string_view key);

}  // namespace quibo::robot
