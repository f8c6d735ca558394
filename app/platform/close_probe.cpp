// The program as the close test runs it: the real start-up and event loop,
// aimed at the test's chat service (argv[1], "127.0.0.1:<port>"), starting
// argv[2] exchanges one after another once the window shows, and printing
// the window's X id when the last has taken its message.
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/chat.h"
#include "app/controls.h"
#include "app/platform/start_up.h"
#include "app/testing/test_chat_service.h"

namespace {

int g_exchanges = 0;  // still to start; set once from argv before the loop runs

void StartNextExchange() {
  if (g_exchanges == 0) {
    std::printf("%lu\n",
                static_cast<unsigned long>(quibo::WindowHandle(quibo::Control::ChatWindow)));
    std::fflush(stdout);
    return;
  }
  // Each exchange takes the input box's text on the UI thread; the next one
  // is asked for once the box is empty again.
  if (!quibo::GetText(quibo::Control::编辑框输入).empty()) {
    QTimer::singleShot(1, &StartNextExchange);
    return;
  }
  --g_exchanges;
  quibo::SetText(quibo::Control::编辑框输入, "m" + std::to_string(g_exchanges));
  quibo::OnSendRequested();
  QTimer::singleShot(1, &StartNextExchange);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: close_probe HOST:PORT EXCHANGES\n");
    return 2;
  }
  quibo::test::SetChatServiceHost(argv[1]);
  g_exchanges = std::atoi(argv[2]);
  quibo::RunChatProgram(
      1, argv, {.created = &quibo::OnWindowCreated, .sendRequested = &quibo::OnSendRequested},
      [] { QTimer::singleShot(0, &StartNextExchange); });
}
