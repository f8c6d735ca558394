// Any request body: the chat answer is produced without a fault and, for a
// 200, decodes to valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "robot/service.h"
#include "robot/utf8.h"
#include "text/encodings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quibo::robot;
  static const std::vector<Topic> topics =
      ParseTopics("[t]\nkeys: 天气, hot, a\nzh: 天气{x}\nen: hot\n").topics;
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const Moment now{2026, 12, 11, 5, 4, 30};
  const HttpAnswer answer = AnswerChatRequest(body, now, size, topics);
  if (answer.status == 200) {
    const quibo::Text reply = quibo::PercentDecode(answer.body);
    if (reply.empty() || !DecodeUtf8(reply).valid) std::abort();
  }
  // The topics parser meets the same bytes as a data file.
  (void)ParseTopics(body);
  return 0;
}
