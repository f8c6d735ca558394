#include "app/platform/skin.h"

namespace quibo {
namespace {

struct Scheme {
  QColor frame;    // frames of edit boxes, buttons and lists
  QColor face;     // button face
  QColor hover;    // button face under the pointer
  QColor pressed;  // button face while pressed
};

Scheme SchemeColours(int scheme) {
  switch (scheme) {
    case 1:  // blue-grey
      return {QColor(127, 157, 185), QColor(244, 247, 251), QColor(226, 236, 246),
              QColor(204, 219, 236)};
    case 3:  // warm grey
      return {QColor(185, 164, 127), QColor(251, 248, 243), QColor(243, 235, 222),
              QColor(229, 216, 194)};
    default:  // 2: green-grey
      return {QColor(164, 185, 127), QColor(247, 250, 242), QColor(235, 243, 222),
              QColor(216, 229, 194)};
  }
}

}  // namespace

QColor SkinFrameColour(int scheme) {
  return SchemeColours(scheme).frame;
}

QString SkinStyleSheet(int scheme) {
  const Scheme s = SchemeColours(scheme);
  const QString frame = s.frame.name();
  return QStringLiteral(
             "QPushButton { border: 1px solid %1; background: %2; color: black;"
             " padding: 3px 10px; min-width: 48px; }"
             "QPushButton:hover { background: %3; }"
             "QPushButton:pressed { background: %4; }"
             "QPushButton:focus { border: 2px solid %1; }"
             "QPushButton:disabled { color: gray; }"
             "QCheckBox::indicator, QRadioButton::indicator { width: 11px; height: 11px;"
             " border: 1px solid %1; background: white; }"
             "QRadioButton::indicator { border-radius: 6px; }"
             "QCheckBox::indicator:checked, QRadioButton::indicator:checked { background: %1; }"
             "QGroupBox { border: 1px solid %1; margin-top: 10px; padding-top: 4px; }"
             "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }"
             "QLineEdit, QPlainTextEdit, QTextEdit, QAbstractSpinBox, QComboBox {"
             " border: 1px solid %1; background: white; color: black; }"
             "QComboBox QAbstractItemView { border: 1px solid %1; background: white;"
             " selection-background-color: %3; selection-color: black; }")
      .arg(frame, s.face.name(), s.hover.name(), s.pressed.name());
}

}  // namespace quibo
