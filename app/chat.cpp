#include "app/chat.h"

#include "app/controls.h"
#include "text/encodings.h"
#include "text/primitives.h"
#include "web/web_request.h"

namespace quibo {
namespace {

// Enter (VK_RETURN) without a modifier key.
constexpr int kKeyEnter = 13;
constexpr int kNoModifiers = 0;
constexpr int kSkinScheme = 2;

// The system's texts, held in GBK.
constexpr char kUserLabel[] = "\r\n\x8C\xC5\xCB\xBF\xA3\xBA";  // "\r\n屌丝："
constexpr char kRobotLabel[] = "\r\nQuibo\xA3\xBA";            // "\r\nQuibo："
constexpr char kEmptyInputText[] =
    "\xCB\xB5\xB5\xE3\xCA\xB2\xC3\xB4\xB0\xC9\xA3\xA1";    // "说点什么吧！"
constexpr char kEmptyInputCaption[] = "\xCC\xE1\xCA\xBE";  // "提示"

}  // namespace

Text ChatServiceUrl() {
  return JoinText("http://", ChatServiceHost(), "/ajax.php");
}

void OnWindowCreated() {
  EnableControlSkin(kSkinScheme);
  const WindowId window = WindowHandle(Control::ChatWindow);
  const WindowId label = WindowHandle(Control::标签1);
  RegisterHotkeyNotify(window, label, kNoModifiers, kKeyEnter);
}

void OnSendRequested() {
  const Text t = GetText(Control::编辑框输入);
  if (TextEquals(t, "")) {
    ShowMessageBox(kEmptyInputText, kEmptyInputCaption);
    return;
  }
  // When no thread can be created nothing has happened: the input box keeps
  // its text and the user may simply try again.
  (void)StartThread(&RunChatExchange);
}

void RunChatExchange() {
  // Each exchange works on its own copy of its message, so overlapping
  // exchanges can neither send one message twice nor show it under another
  // exchange's reply. An empty box means an exchange started a moment
  // earlier took the text (Enter pressed twice quickly): nothing to send.
  const Text message = TakeText(Control::编辑框输入);
  if (message.empty()) return;
  SetText(Control::编辑框转接, message);
  ChangeBusyCount(Control::图片框1, +1);
  AppendText(Control::编辑框显示, JoinText(kUserLabel, message, "\r\n"));

  const Text body = JoinText("para=", PercentEncode(TrimSpaces(message), {.asUtf8 = true}));
  const Bytes reply = WebRequest(ChatServiceUrl(), 1, body);
  const Text answer = PercentDecode(BytesToText(reply), {.asUtf8 = true});

  AppendText(Control::编辑框显示, JoinText(kRobotLabel, answer, "\r\n"));
  ChangeBusyCount(Control::图片框1, -1);
}

}  // namespace quibo
