// End to end: the real quibo window, built to talk to a fixed loopback port,
// and the real quibo-robot on that port, driven through XTest as a user
// would: click the input box, type 你好, press Enter, read the answer, Esc.
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "text/encodings.h"

namespace quibo::e2e {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;

constexpr xcb_keysym_t kReturn = 0xFF0D;
constexpr xcb_keysym_t kEscape = 0xFF1B;

// Keysym of a Unicode character, as X11 defines them for characters that
// have no legacy keysym.
constexpr xcb_keysym_t UnicodeKeysym(char32_t c) {
  return 0x01000000u | c;
}

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// Fake keyboard and mouse on the test's X server. Characters that the
// keymap lacks are put on spare keycodes, as on-screen keyboards do, and
// the spare keycodes are emptied again at the end.
class FakeInput {
 public:
  FakeInput() : c_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(c_)) return;
    const xcb_setup_t* setup = xcb_get_setup(c_);
    root_ = xcb_setup_roots_iterator(setup).data->root;
    min_ = setup->min_keycode;
    count_ = static_cast<int>(setup->max_keycode - setup->min_keycode + 1);
    std::unique_ptr<xcb_get_keyboard_mapping_reply_t, FreeDeleter> reply(
        xcb_get_keyboard_mapping_reply(
            c_, xcb_get_keyboard_mapping(c_, min_, static_cast<uint8_t>(count_)), nullptr));
    if (!reply) return;
    perKey_ = reply->keysyms_per_keycode;
    xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply.get());
    map_.assign(syms, syms + count_ * perKey_);
  }
  ~FakeInput() {
    for (xcb_keycode_t code : borrowed_) SetKeysym(code, 0);
    RoundTrip();
    xcb_disconnect(c_);
  }
  FakeInput(const FakeInput&) = delete;
  FakeInput& operator=(const FakeInput&) = delete;

  [[nodiscard]] bool Ready() const { return perKey_ > 0; }

  void Click(int x, int y) {
    xcb_test_fake_input(c_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, static_cast<int16_t>(x),
                        static_cast<int16_t>(y), 0);
    xcb_test_fake_input(c_, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(c_, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    RoundTrip();
  }

  // Presses and releases the key that gives `keysym`, borrowing a spare
  // keycode when the keymap has none.
  bool Type(xcb_keysym_t keysym) {
    xcb_keycode_t code = KeycodeOf(keysym);
    if (code == 0) code = Borrow(keysym);
    if (code == 0) return false;
    xcb_test_fake_input(c_, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, root_, 0, 0, 0);
    xcb_test_fake_input(c_, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, root_, 0, 0, 0);
    RoundTrip();
    return true;
  }

 private:
  void RoundTrip() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }
  xcb_keycode_t KeycodeOf(xcb_keysym_t keysym) const {
    for (int k = 0; k < count_; ++k) {
      if (map_[static_cast<std::size_t>(k * perKey_)] == keysym) {
        return static_cast<xcb_keycode_t>(min_ + k);
      }
    }
    return 0;
  }
  xcb_keycode_t Borrow(xcb_keysym_t keysym) {
    for (int k = count_ - 1; k >= 0; --k) {
      bool spare = true;
      for (int s = 0; s < perKey_; ++s)
        spare = spare && map_[static_cast<std::size_t>(k * perKey_ + s)] == 0;
      if (!spare) continue;
      auto code = static_cast<xcb_keycode_t>(min_ + k);
      SetKeysym(code, keysym);
      for (int s = 0; s < perKey_; ++s) map_[static_cast<std::size_t>(k * perKey_ + s)] = keysym;
      borrowed_.push_back(code);
      return code;
    }
    return 0;
  }
  void SetKeysym(xcb_keycode_t code, xcb_keysym_t keysym) {
    std::vector<xcb_keysym_t> syms(static_cast<std::size_t>(perKey_), keysym);
    xcb_change_keyboard_mapping(c_, 1, code, perKey_, syms.data());
  }

  xcb_connection_t* c_;
  xcb_window_t root_ = 0;
  xcb_keycode_t min_ = 0;
  int count_ = 0;
  uint8_t perKey_ = 0;
  std::vector<xcb_keysym_t> map_;
  std::vector<xcb_keycode_t> borrowed_;
};

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// The transcript a "transcript <percent-encoded UTF-8>" line reports.
std::string TranscriptOf(const std::string& line) {
  return PercentDecode(line.substr(std::string("transcript ").size()));
}

TEST(EndToEnd, TypedChineseIsAnsweredByTheRobotAndEscEnds) {
  const std::string address = "127.0.0.1:" + std::to_string(QUIBO_E2E_PORT);
  ChildProcess robot({QUIBO_ROBOT, "--listen", address});
  ASSERT_TRUE(robot.Started());
  ASSERT_TRUE(robot.WaitForLine(
      [](const std::string& l) { return l.find("listening on") != std::string::npos; }, 30s))
      << "the robot did not start:\n"
      << robot.Transcript();

  ChildProcess window({QUIBO_E2E_CLIENT});
  ASSERT_TRUE(window.Started());
  std::optional<std::string> where =
      window.WaitForLine([](const std::string& l) { return StartsWith(l, "input-box "); }, 60s);
  ASSERT_TRUE(where) << "the window did not come up:\n" << window.Transcript();
  int x = 0, y = 0;
  std::istringstream(where->substr(10)) >> x >> y;

  FakeInput input;
  ASSERT_TRUE(input.Ready());
  input.Click(x, y);
  ASSERT_TRUE(input.Type(UnicodeKeysym(U'你')));
  ASSERT_TRUE(input.Type(UnicodeKeysym(U'好')));
  ASSERT_TRUE(input.Type(kReturn));

  // The user's entry comes first, then the robot's, each opened and closed
  // by a line break.
  const std::string userEntry = "\r\n屌丝：你好\r\n";
  const std::string robotLabel = "\r\nQuibo：";
  std::optional<std::string> answered = window.WaitForLine(
      [&](const std::string& l) {
        return StartsWith(l, "transcript ") &&
               TranscriptOf(l).find(robotLabel) != std::string::npos;
      },
      60s);
  ASSERT_TRUE(answered) << "no answer reached the transcript:\n" << window.Transcript();
  const std::string transcript = TranscriptOf(*answered);
  RecordProperty("transcript", transcript);
  ASSERT_TRUE(StartsWith(transcript, userEntry + robotLabel)) << transcript;
  ASSERT_GE(transcript.size(), userEntry.size() + robotLabel.size() + 2);
  EXPECT_EQ(transcript.substr(transcript.size() - 2), "\r\n") << transcript;
  const std::string reply =
      transcript.substr(userEntry.size() + robotLabel.size(),
                        transcript.size() - userEntry.size() - robotLabel.size() - 2);
  EXPECT_FALSE(reply.empty()) << "the robot's entry is empty: " << transcript;
  EXPECT_EQ(reply.find("\r\n\r\nQuibo"), std::string::npos) << "one answer only: " << transcript;

  ASSERT_TRUE(input.Type(kEscape));
  EXPECT_EQ(window.WaitForExit(30s), std::optional<int>(0)) << window.Transcript();
}

}  // namespace
}  // namespace quibo::e2e
