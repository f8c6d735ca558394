// The quibo program as the end-to-end test runs it: the real window and chat
// routines, built against the test's chat-service port, plus one line on
// stdout whenever the transcript changes and one giving where the input box
// sits on the screen, so the test can click it and read the result.
#include <QApplication>
#include <QPlainTextEdit>
#include <QWidget>
#include <cstdio>

#include "app/chat.h"
#include "app/controls.h"
#include "app/platform/start_up.h"
#include "text/encodings.h"

namespace {

void Report() {
  QWidget* window = QApplication::activeWindow();
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->findChild<QWidget*>(QStringLiteral("编辑框输入")) != nullptr) window = top;
  }
  if (window == nullptr) return;
  auto* input = window->findChild<QWidget*>(QStringLiteral("编辑框输入"));
  auto* transcript = window->findChild<QPlainTextEdit*>(QStringLiteral("编辑框显示"));
  if (input == nullptr || transcript == nullptr) return;
  const QPoint centre = input->mapToGlobal(input->rect().center());
  std::printf("input-box %d %d\n", centre.x(), centre.y());
  std::fflush(stdout);
  QObject::connect(transcript, &QPlainTextEdit::textChanged, [] {
    // Percent-encoded UTF-8 keeps the whole transcript on one line.
    const quibo::Text utf8 = quibo::GbkToUtf8(quibo::GetText(quibo::Control::编辑框显示));
    std::printf("transcript %s\n", quibo::PercentEncode(utf8).c_str());
    std::fflush(stdout);
  });
}

}  // namespace

int main(int argc, char** argv) {
  quibo::RunChatProgram(
      argc, argv, {.created = &quibo::OnWindowCreated, .sendRequested = &quibo::OnSendRequested},
      &Report);
}
