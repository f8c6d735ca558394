#include "robot/topics.h"

#include <fstream>
#include <sstream>

#include "robot/utf8.h"

namespace quibo::robot {
namespace {

std::string_view TrimAscii(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

std::vector<std::u32string> SplitKeys(std::string_view list) {
  std::u32string all = FoldForMatching(DecodeUtf8(list).chars);
  for (char32_t& c : all) {
    if (c == U'，' || c == U'、') c = U',';
  }
  std::vector<std::u32string> keys;
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find(U',', start);
    if (end == std::u32string::npos) end = all.size();
    std::u32string_view key = TrimBlanks(std::u32string_view(all).substr(start, end - start));
    if (!key.empty()) keys.emplace_back(key);
    start = end + 1;
  }
  return keys;
}

bool IsAsciiOnly(std::u32string_view s) {
  for (char32_t c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

void FinishTopic(std::optional<Topic>& current, int line, TopicFile& out) {
  if (!current) return;
  if (current->keys.empty() || (current->chinese.empty() && current->english.empty())) {
    out.problems.push_back("topic [" + current->name + "] before line " + std::to_string(line) +
                           " needs keys and at least one answer");
  } else {
    out.topics.push_back(std::move(*current));
  }
  current.reset();
}

}  // namespace

TopicFile ParseTopics(std::string_view content) {
  TopicFile out;
  std::optional<Topic> current;
  int lineNumber = 0;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    const std::string_view line = TrimAscii(content.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    auto problem = [&](const std::string& what) {
      out.problems.push_back("line " + std::to_string(lineNumber) + ": " + what);
    };
    if (line.empty() || line.front() == '#') continue;
    if (!DecodeUtf8(line).valid) {
      problem("not UTF-8");
      continue;
    }
    if (line.front() == '[') {
      FinishTopic(current, lineNumber, out);
      if (line.back() != ']' || line.size() < 3) {
        problem("a topic name is written [name]");
        continue;
      }
      current = Topic{std::string(line.substr(1, line.size() - 2)), {}, {}, {}};
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      problem("expected keys:, zh: or en:");
      continue;
    }
    const std::string_view field = TrimAscii(line.substr(0, colon));
    const std::string_view value = TrimAscii(line.substr(colon + 1));
    if (!current) {
      problem("comes before any [topic]");
      continue;
    }
    if (value.empty()) {
      problem("empty value");
    } else if (field == "keys") {
      for (auto& key : SplitKeys(value)) current->keys.push_back(std::move(key));
    } else if (field == "zh") {
      current->chinese.emplace_back(value);
    } else if (field == "en") {
      current->english.emplace_back(value);
    } else {
      problem("unknown field '" + std::string(field) + "'");
    }
  }
  FinishTopic(current, lineNumber + 1, out);
  return out;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(content).str();
}

bool ContainsKey(std::u32string_view folded, std::u32string_view key) {
  if (key.empty()) return false;
  const bool wholeWord = IsAsciiOnly(key);
  for (size_t at = folded.find(key); at != std::u32string_view::npos;
       at = folded.find(key, at + 1)) {
    if (!wholeWord) return true;
    const size_t after = at + key.size();
    const bool startOk = at == 0 || !IsAsciiAlnum(folded[at - 1]);
    const bool endOk = after == folded.size() || !IsAsciiAlnum(folded[after]);
    if (startOk && endOk) return true;
  }
  return false;
}

std::optional<TopicMatch> MatchTopic(const std::vector<Topic>& topics, std::u32string_view folded) {
  std::optional<TopicMatch> best;
  for (const Topic& topic : topics) {
    for (const auto& key : topic.keys) {
      if ((!best || key.size() > best->keyLength) && ContainsKey(folded, key)) {
        best = TopicMatch{&topic, key.size()};
      }
    }
  }
  return best;
}

}  // namespace quibo::robot
