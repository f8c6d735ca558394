// ChatWindow and its six controls as Qt widgets: a fixed 576 x 440 client
// area (the window manager adds the frame), the controls at their pixel
// positions, stacking and tab order as listed in controls.h, and the keys
// and focus of the window: Esc closes, the button has the focus at start.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <functional>

#include "app/controls.h"

namespace quibo {

// The routines the window's events run, bound when the window is created.
struct ChatEvents {
  void (*created)() = nullptr;        // once, before the window is first shown
  void (*sendRequested)() = nullptr;  // the button's click and the label's notification
};

// The hidden label 标签1: the Enter hotkey raises its notification event.
class NotifyLabel : public QLabel {
 public:
  explicit NotifyLabel(QWidget* parent) : QLabel(parent) {}
  void Notify(int id, int param) {
    if (notified) notified(id, param);
  }
  std::function<void(int, int)> notified;
};

// The busy picture 图片框1: the spinner stretched over a borderless white box;
// it animates only while shown.
class BusyPicture : public QLabel {
 public:
  explicit BusyPicture(QWidget* parent);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
};

class ChatWindow : public QWidget {
 public:
  static constexpr int kClientWidth = 576;
  static constexpr int kClientHeight = 440;
  // The window with its frame, as the screen position is worked out.
  static constexpr int kOuterWidth = 577;
  static constexpr int kOuterHeight = 468;

  // Creates the controls and binds `events` to them; the window becomes the
  // one the control operations act on until it is destroyed.
  explicit ChatWindow(ChatEvents events);
  ~ChatWindow() override;

  // The widget of a control; the window itself for Control::ChatWindow.
  [[nodiscard]] QWidget* Widget(Control control) const;

  QPointer<BusyPicture> picture;
  QPointer<QLineEdit> relay;
  QPointer<NotifyLabel> label;
  QPointer<QPlainTextEdit> transcript;
  QPointer<QPlainTextEdit> input;
  QPointer<QPushButton> button;
  int busyCount = 0;  // exchanges that show the busy picture

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// The window the control operations act on; null when none exists. UI thread only.
[[nodiscard]] ChatWindow* CurrentChatWindow();

// Places `window` so that its frame, at the outer size, is centred on its screen.
void CentreOnScreen(ChatWindow& window);

// The font of the edit boxes and the button: "微软雅黑" at a 14-pixel
// character height where installed, else an installed CJK sans-serif font.
[[nodiscard]] QFont ChatFont();

}  // namespace quibo
