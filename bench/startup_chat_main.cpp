// The quibo program as the start-up benchmark runs it: the real start-up and
// the real events of the window, ended at the window's first paint.
#include "app/chat.h"
#include "app/platform/chat_window.h"
#include "app/platform/start_up.h"
#include "bench/startup_paint.h"

int main(int argc, char** argv) {
  quibo::RunChatProgram(
      argc, argv, {.created = &quibo::OnWindowCreated, .sendRequested = &quibo::OnSendRequested},
      [] {
        if (quibo::ChatWindow* window = quibo::CurrentChatWindow()) {
          quibo::bench::EndAtFirstPaint(*window);
        }
      });
}
