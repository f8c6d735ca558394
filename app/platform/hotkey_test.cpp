// The Enter hotkey through the X server: another X client has the keyboard
// focus and XTest presses the keys, as a user at the keyboard would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/chat.h"
#include "app/controls.h"
#include "app/platform/chat_window.h"
#include "app/platform/message_box.h"
#include "app/platform/x11_keys.h"
#include "app/testing/chat_server.h"
#include "app/testing/qt_app.h"
#include "app/testing/test_chat_service.h"
#include "app/testing/x11_client.h"

namespace quibo {
namespace {

using test::ProcessEventsUntil;
using test::X11Client;

constexpr xcb_keysym_t kShiftLeft = 0xFFE1;
constexpr xcb_keysym_t kAltLeft = 0xFFE9;
constexpr xcb_keysym_t kCapsLock = 0xFFE5;

class HotkeyTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(other_.Connected());
    ASSERT_TRUE(other_.WaitUntilKeyIsFree(x11::kKeysymReturn));
    ASSERT_TRUE(other_.WaitUntilKeyIsFree(x11::kKeysymKeypadEnter));
    test::SetChatServiceHost(server_.HostAndPort());
  }

  void TearDown() override {
    // Every exchange has let go of the window before it goes.
    EXPECT_TRUE(ProcessEventsUntil([&] { return window_ == nullptr || window_->busyCount == 0; }));
    window_.reset();
  }

  // The window, its created event run (skin and hotkey), shown.
  void OpenWindow() {
    window_ = std::make_unique<ChatWindow>(
        ChatEvents{.created = &OnWindowCreated, .sendRequested = &OnSendRequested});
    ASSERT_TRUE(test::ShowAndActivate(*window_));
  }

  // Types `keysym` with `held` keys in the other client's window and waits
  // until the exchange that `input` starts has reached the server.
  bool SendsWith(const Text& input, xcb_keysym_t keysym, std::vector<xcb_keysym_t> held = {}) {
    SetText(Control::编辑框输入, input);
    const std::size_t before = server_.Requests().size();
    other_.Type(keysym, held);
    return ProcessEventsUntil([&] { return server_.Requests().size() == before + 1; }) &&
           server_.Bodies().back() == "para=" + PercentOf(input);
  }

  static std::string PercentOf(const Text& ascii) {
    std::string out;
    for (unsigned char c : ascii) {
      static const char hex[] = "0123456789ABCDEF";
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
    return out;
  }

  test::ChatServer server_;
  X11Client other_;
  std::unique_ptr<ChatWindow> window_;
};

// First in this file: a program's grabs last as long as its X connection, so
// this needs a process that has grabbed nothing yet (ctest runs each case in
// a process of its own).
TEST_F(HotkeyTest, TheFirstRegistrationIs33001AndARefusedGrabGives0) {
  // Another client holds Enter: the program registers nothing and goes on.
  X11Client holder;
  ASSERT_TRUE(holder.Connected());
  const auto grabs = x11::GrabKeys(holder.Connection(), holder.Root(),
                                   x11::KeycodesFor(holder.Connection(), x11::kKeysymReturn),
                                   x11::LockVariants(0, x11::NumLockMask(holder.Connection())));
  ASSERT_FALSE(grabs.empty());
  window_ = std::make_unique<ChatWindow>(ChatEvents{.sendRequested = &OnSendRequested});
  EXPECT_EQ(
      RegisterHotkeyNotify(WindowHandle(Control::ChatWindow), WindowHandle(Control::标签1), 0, 13),
      0);
  x11::UngrabKeys(holder.Connection(), holder.Root(), grabs);
  // Ids count every registration: the refused one used 33001.
  EXPECT_EQ(
      RegisterHotkeyNotify(WindowHandle(Control::ChatWindow), WindowHandle(Control::标签1), 0, 13),
      33002);
}

TEST_F(HotkeyTest, EnterSendsWhileAnotherClientHasTheFocusAndReachesNoWindow) {
  OpenWindow();
  other_.CreateFocusedWindow();
  struct Case {
    const char* name;
    xcb_keysym_t key;
    std::vector<xcb_keysym_t> toggle;  // lock keys pressed once before and once after
  } cases[] = {
      {"return", x11::kKeysymReturn, {}},
      {"keypad enter", x11::kKeysymKeypadEnter, {}},
      {"return with caps lock on", x11::kKeysymReturn, {kCapsLock}},
      {"return with num lock on", x11::kKeysymReturn, {x11::kKeysymNumLock}},
      {"keypad enter with both locks on",
       x11::kKeysymKeypadEnter,
       {kCapsLock, x11::kKeysymNumLock}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (xcb_keysym_t lock : c.toggle) other_.Type(lock);
    (void)other_.DeliveredKeyPresses();  // the lock keys themselves
    EXPECT_TRUE(SendsWith(c.name, c.key));
    EXPECT_TRUE(other_.DeliveredKeyPresses().empty()) << "Enter reached the focused window";
    for (xcb_keysym_t lock : c.toggle) other_.Type(lock);
    (void)other_.DeliveredKeyPresses();
  }
  EXPECT_TRUE(ProcessEventsUntil([] { return !GetText(Control::编辑框显示).empty(); }));
}

TEST_F(HotkeyTest, EnterWithAModifierIsNoHotkey) {
  OpenWindow();
  other_.CreateFocusedWindow();
  const std::vector<xcb_keycode_t> returnKeys =
      x11::KeycodesFor(other_.Connection(), x11::kKeysymReturn);
  ASSERT_FALSE(returnKeys.empty());
  struct Case {
    const char* name;
    xcb_keysym_t modifier;
  } cases[] = {{"ctrl", x11::kKeysymControlLeft}, {"shift", kShiftLeft}, {"alt", kAltLeft}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetText(Control::编辑框输入, "held");
    other_.Type(x11::kKeysymReturn, {c.modifier});
    bool returnArrived = false;
    while (auto press = other_.NextKeyPress()) {
      if (press->keycode == returnKeys.front()) {
        returnArrived = true;
        break;
      }
    }
    EXPECT_TRUE(returnArrived) << "Enter with " << c.name << " never reached the focused window";
  }
  // A plain Enter after them sends once: the ones with a modifier sent nothing.
  EXPECT_TRUE(SendsWith("plain", x11::kKeysymReturn));
  EXPECT_EQ(server_.Requests().size(), 1u);
}

TEST_F(HotkeyTest, EnterWhileTheMessageBoxIsUpClosesItAndStartsNothing) {
  OpenWindow();
  other_.CreateFocusedWindow();
  int boxesSeen = 0;
  QMessageBox* first = nullptr;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QMessageBox* box = OpenMessageBox();
    if (box == nullptr || box == first || !box->isVisible()) return;
    ++boxesSeen;
    first = box;
    other_.Type(x11::kKeysymReturn);  // closes it
  });
  poll.start(10);
  QTest::mouseClick(window_->Widget(Control::按钮1), Qt::LeftButton);
  poll.stop();
  EXPECT_EQ(boxesSeen, 1);
  EXPECT_EQ(OpenMessageBox(), nullptr);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  // Enter now sends as usual, and nothing was sent before it.
  EXPECT_TRUE(SendsWith("after", x11::kKeysymReturn));
  EXPECT_EQ(server_.Requests().size(), 1u);
}

}  // namespace
}  // namespace quibo
