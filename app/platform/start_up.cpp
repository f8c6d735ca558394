#include "app/platform/start_up.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>

namespace quibo {

void RunChatProgram(int argc, char** argv, ChatEvents events, void (*shown)()) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quibo"));
  QApplication::setDesktopFileName(QStringLiteral("quibo"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/quibo/quibo.png")));
  ChatWindow window(events);
  CentreOnScreen(window);
  window.show();
  window.activateWindow();
  if (shown != nullptr) shown();
  const int exitCode = QApplication::exec();
  // Ends here, inside this scope: no destructor may run under a worker
  // that is still parked in a request or waiting for the UI thread.
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(exitCode);
}

}  // namespace quibo
