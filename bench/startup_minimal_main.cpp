// The start-up benchmark's anchor: the least a Qt window showing the same
// kind of content needs, a plain text edit holding a line of Chinese text in
// the chat's font and a button, in a window of the chat window's size,
// ended at its first paint.
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include "app/platform/chat_window.h"
#include "bench/startup_paint.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setFixedSize(quibo::ChatWindow::kClientWidth, quibo::ChatWindow::kClientHeight);
  QPlainTextEdit text(&window);
  text.setGeometry(8, 8, 560, 360);
  text.setFont(quibo::ChatFont());
  text.setPlainText(QString::fromUtf8("你好，这是一行中文，用来比较窗口的启动时间。"));
  QPushButton button(QStringLiteral("send"), &window);
  button.setGeometry(488, 376, 80, 56);
  button.setFont(quibo::ChatFont());
  window.show();
  quibo::bench::EndAtFirstPaint(window);
  return QApplication::exec();
}
