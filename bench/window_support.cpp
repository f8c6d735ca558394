#include "bench/window_support.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QWidget>
#include <QWindow>
#include <charconv>
#include <cstdio>
#include <string>

#include "text/encodings.h"

namespace quibo::bench {
namespace {

// Common characters of everyday chat, each two bytes in GBK.
constexpr char kCharactersUtf8[] =
    "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过"
    "子说产种面而方后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两体制"
    "机当使点从业本去把性好应开它合还因由其些然前外天政四日那社义事平形相全表间样与关各重新线内数正"
    "心反你明看原又么利比或但质气第向道命此变条只没结解问意建月公无系军很情者最立代想已通并提直题党"
    "程展五果料象员革位入常文总次品式活设及管特件长求老头基资边流路级少图山统接知较将组见计别她手"
    "角";

constexpr char kUserLabel[] = "\r\n\x8C\xC5\xCB\xBF\xA3\xBA";  // "\r\n屌丝："
constexpr char kRobotLabel[] = "\r\nQuibo\xA3\xBA";            // "\r\nQuibo："
constexpr int kCharactersPerEntry = 25;

const Text& CharactersGbk() {
  static const Text characters = Utf8ToGbk(kCharactersUtf8);
  return characters;
}

}  // namespace

Text ChatEntry(long n) {
  const Text& pool = CharactersGbk();
  const std::size_t count = pool.size() / 2;
  Text entry = n % 2 == 0 ? kUserLabel : kRobotLabel;
  // A small linear congruential sequence: varied, and the same on every run.
  auto state = static_cast<std::uint64_t>(n) * 6364136223846793005ULL + 1442695040888963407ULL;
  for (int i = 0; i < kCharactersPerEntry; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const std::size_t at = static_cast<std::size_t>(state >> 33) % count;
    entry.append(pool, at * 2, 2);
  }
  entry += "\r\n";
  return entry;
}

Text ExchangeMessage(long n) {
  // "第<n>条消息，请回答"
  return Utf8ToGbk("\xE7\xAC\xAC" + std::to_string(n) +
                   "\xE6\x9D\xA1\xE6\xB6\x88\xE6\x81\xAF\xEF\xBC\x8C\xE8\xAF\xB7\xE5\x9B\x9E\xE7"
                   "\xAD\x94");
}

bool ShowAndWaitUntilExposed(QWidget& window) {
  window.show();
  QDeadlineTimer deadline(60'000);
  while (window.windowHandle() == nullptr || !window.windowHandle()->isExposed()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 100);
  }
  SettleEvents();
  return true;
}

void SettleEvents() {
  for (int round = 0; round < 4; ++round) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
}

long ResidentKib() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  long size = 0, resident = 0;
  const bool read = std::fscanf(statm, "%ld %ld", &size, &resident) == 2;
  std::fclose(statm);
  return read ? resident * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

std::string_view TextArgument(int argc, char** argv, std::string_view name) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.size() > name.size() + 3 && arg.substr(0, 2) == "--" &&
        arg.substr(2, name.size()) == name && arg[name.size() + 2] == '=') {
      return arg.substr(name.size() + 3);
    }
  }
  return {};
}

long LongArgument(int argc, char** argv, std::string_view name, long fallback) {
  const std::string_view text = TextArgument(argc, argv, name);
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty() ? value
                                                                                   : fallback;
}

}  // namespace quibo::bench
