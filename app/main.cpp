// quibo: a desktop chat client. One window; each message goes to the chat
// service on a worker thread and the robot's answer joins the transcript.
#include "app/chat.h"
#include "app/platform/start_up.h"

int main(int argc, char** argv) {
  quibo::RunChatProgram(
      argc, argv, {.created = &quibo::OnWindowCreated, .sendRequested = &quibo::OnSendRequested});
}
