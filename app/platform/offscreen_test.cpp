// Off X11 (here Qt's offscreen platform) the hotkey cannot be registered:
// the program goes on with the button alone.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/controls.h"
#include "app/platform/chat_window.h"

namespace quibo {
namespace {

TEST(OffscreenTest, WithoutX11TheHotkeyIsRefusedAndTheWindowStillWorks) {
  int argc = 3;
  char name[] = "quibo-test";
  char option[] = "-platform";
  char platform[] = "offscreen";
  char* argv[] = {name, option, platform, nullptr};
  QApplication app(argc, argv);
  ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
  ChatWindow window(ChatEvents{});
  EXPECT_EQ(
      RegisterHotkeyNotify(WindowHandle(Control::ChatWindow), WindowHandle(Control::标签1), 0, 13),
      0);
  SetText(Control::编辑框输入, "hi");
  EXPECT_EQ(TakeText(Control::编辑框输入), "hi");
  EXPECT_EQ(ChangeBusyCount(Control::图片框1, +1), 1);
  EXPECT_FALSE(window.Widget(Control::图片框1)->isHidden());
  EXPECT_EQ(ChangeBusyCount(Control::图片框1, -1), 0);
  EXPECT_TRUE(window.Widget(Control::图片框1)->isHidden());
}

}  // namespace
}  // namespace quibo
