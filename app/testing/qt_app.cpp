#include "app/testing/qt_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <memory>

namespace quibo::test {
namespace {

class QtEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "xcb");
    app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "quibo-test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] testing::Environment* const g_environment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

bool ProcessEventsUntil(const std::function<bool()>& condition) {
  QDeadlineTimer deadline(60'000);
  // Wakes the loop now and then, so a condition on state outside Qt (a
  // server's requests) is seen even when no event arrives.
  QTimer tick;
  tick.start(20);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 100);
  }
  return true;
}

bool ShowAndActivate(QWidget& window) {
  window.show();
  if (!ProcessEventsUntil(
          [&] { return window.windowHandle() != nullptr && window.windowHandle()->isExposed(); })) {
    return false;
  }
  window.activateWindow();
  return ProcessEventsUntil([&] { return window.isActiveWindow(); });
}

}  // namespace quibo::test
