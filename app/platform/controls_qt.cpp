// The control operations on the Qt widgets of ChatWindow.
#include <QApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QMessageBox>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <system_error>
#include <thread>

#include "app/controls.h"
#include "app/platform/chat_window.h"
#include "app/platform/display_text.h"
#include "app/platform/message_box.h"
#include "app/platform/skin.h"
#include "app/platform/ui_thread.h"

namespace quibo {
namespace {

QPointer<QMessageBox> g_openMessageBox;  // the empty-input box while it is up; UI thread only

QWidget* WidgetOf(Control control) {
  ChatWindow* window = CurrentChatWindow();
  return window != nullptr ? window->Widget(control) : nullptr;
}

// A composition still open in an input method is committed before the box is
// read: Enter never reaches the input method while it is the send key, and
// half-composed text must be sent, not lost.
void CommitComposition(QPlainTextEdit& box) {
  if (box.hasFocus()) QGuiApplication::inputMethod()->commit();
  const QTextLayout* layout = box.textCursor().block().layout();
  if (layout == nullptr || layout->preeditAreaText().isEmpty()) return;
  // No input method took the commit (none running, or it lost track).
  QInputMethodEvent commit;
  commit.setCommitString(layout->preeditAreaText());
  QCoreApplication::sendEvent(&box, &commit);
  QGuiApplication::inputMethod()->reset();
}

QString DisplayTextOf(QWidget* widget) {
  if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) {
    if (!box->isReadOnly()) CommitComposition(*box);
    return box->document()->toRawText();
  }
  if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text();
  return {};
}

void SetDisplayText(QWidget* widget, const QString& text) {
  if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) {
    box->setPlainText(text);
  } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
    line->setText(text);
  }
}

// Qt keeps a layout for every paragraph of an edit box, some 500 bytes. A
// transcript entry, "\r\n...\r\n", stays one paragraph when its closing break
// is a line separator, which shows, reads back and copies as the same break;
// an entry then costs about 60% of the memory. Only an entry that opens with
// a break gets it, so a paragraph never holds more than two appends.
QString AsOneParagraph(QString display) {
  if (display.size() >= 2 && display.front() == u'\n' && display.back() == u'\n') {
    display.back() = QChar::LineSeparator;
  }
  return display;
}

}  // namespace

Text GetText(Control box) {
  return FromDisplayText(OnUiThread([box] { return DisplayTextOf(WidgetOf(box)); }));
}

Text TakeText(Control box) {
  return FromDisplayText(OnUiThread([box] {
    QWidget* widget = WidgetOf(box);
    QString text = DisplayTextOf(widget);
    if (!text.isEmpty()) SetDisplayText(widget, QString());
    return text;
  }));
}

void SetText(Control box, const Text& text) {
  const QString display = ToDisplayText(text);
  OnUiThread([box, &display] { SetDisplayText(WidgetOf(box), display); });
}

void SetVisible(Control control, bool visible) {
  OnUiThread([control, visible] {
    if (QWidget* widget = WidgetOf(control)) widget->setVisible(visible);
  });
}

void AppendText(Control box, const Text& text) {
  const QString display = ToDisplayText(text);
  OnUiThread([box, &display] {
    QWidget* widget = WidgetOf(box);
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
      QTextCursor end(edit->document());
      end.movePosition(QTextCursor::End);
      edit->setTextCursor(end);
      edit->ensureCursorVisible();
      // The transcript keeps no undo history; any other box would record
      // this insertion only if undo were on for it.
      end.insertText(AsOneParagraph(display));
      edit->setTextCursor(end);
      edit->ensureCursorVisible();
      // The caret sits on the last line; show that line's foot too.
      edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
      line->end(false);
      line->insert(display);
    }
  });
}

int ChangeBusyCount(Control picture, int change) {
  return OnUiThread([picture, change] {
    ChatWindow* window = CurrentChatWindow();
    if (window == nullptr) return 0;
    window->busyCount += change;
    if (QWidget* widget = window->Widget(picture)) widget->setVisible(window->busyCount > 0);
    return window->busyCount;
  });
}

WindowId WindowHandle(Control control) {
  return OnUiThread([control]() -> WindowId {
    QWidget* widget = WidgetOf(control);
    return widget != nullptr ? static_cast<WindowId>(widget->internalWinId()) : 0;
  });
}

void ShowMessageBox(const Text& text, const Text& caption) {
  const QString shownText = ToDisplayText(text);
  const QString shownCaption = ToDisplayText(caption);
  OnUiThread([&] {
    if (g_openMessageBox) return;  // never one box over another
    QMessageBox box(QMessageBox::NoIcon, shownCaption, shownText, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setWindowModality(Qt::ApplicationModal);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    g_openMessageBox = &box;
    box.exec();
    g_openMessageBox = nullptr;
  });
}

bool StartThread(void (*routine)()) {
  try {
    std::thread(routine).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

void EnableControlSkin(int scheme) {
  OnUiThread([scheme] {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
      app->setStyleSheet(SkinStyleSheet(scheme));
    }
  });
}

QMessageBox* OpenMessageBox() {
  return g_openMessageBox;
}

bool CloseOpenMessageBox() {
  if (!g_openMessageBox) return false;
  if (QAbstractButton* ok = g_openMessageBox->button(QMessageBox::Ok)) {
    ok->click();
  } else {
    g_openMessageBox->done(QMessageBox::Ok);
  }
  return true;
}

}  // namespace quibo
