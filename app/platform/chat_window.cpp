#include "app/platform/chat_window.h"

#include "app/platform/ui_thread.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMovie>
#include <QScreen>
#include <limits>

namespace quibo {
namespace {

ChatWindow* g_current = nullptr;  // the one window of the program; UI thread only

// The window's caption, "Quibo聊天机器人，可以和他聊任何内容，点击send或敲回车键（需要网络！）".
const char16_t kCaption[] =
    u"Quibo\u804A\u5929\u673A\u5668\u4EBA\uFF0C\u53EF\u4EE5\u548C\u4ED6\u804A\u4EFB\u4F55"
    u"\u5185\u5BB9\uFF0C\u70B9\u51FBsend\u6216\u6572\u56DE\u8F66\u952E\uFF08\u9700\u8981"
    u"\u7F51\u7EDC\uFF01\uFF09";

// Selection shows only in the box that has the focus, as in the standard
// edit boxes of the desktop the window was first drawn for: the highlight
// takes the box's own colours while the focus is elsewhere.
class SelectionHider : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut) return false;
    auto* box = static_cast<QWidget*>(watched);
    const bool hide = event->type() == QEvent::FocusOut;
    QPalette palette = box->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
      palette.setColor(group, QPalette::Highlight,
                       hide ? palette.color(group, QPalette::Base)
                            : QApplication::palette().color(group, QPalette::Highlight));
      palette.setColor(group, QPalette::HighlightedText,
                       hide ? palette.color(group, QPalette::Text)
                            : QApplication::palette().color(group, QPalette::HighlightedText));
    }
    box->setPalette(palette);
    return false;
  }
};

void HideSelectionWithoutFocus(QWidget& box) {
  auto* hider = new SelectionHider(&box);
  box.installEventFilter(hider);
  QFocusEvent out(QEvent::FocusOut);
  hider->eventFilter(&box, &out);
}

void MakeBlackOnWhite(QWidget& box) {
  QPalette palette = box.palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, Qt::white);
    palette.setColor(group, QPalette::Text, Qt::black);
  }
  box.setPalette(palette);
}

QPlainTextEdit* MakeMultiLineBox(QWidget* parent, const QString& name, const QString& role) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(name);
  box->setAccessibleName(role);
  box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box->setFrameShape(QFrame::StyledPanel);
  box->setFrameShadow(QFrame::Sunken);
  box->setTabChangesFocus(true);
  box->setFocusPolicy(Qt::StrongFocus);
  box->setFont(ChatFont());
  box->setMaximumBlockCount(0);  // no length limit of the box's own
  MakeBlackOnWhite(*box);
  HideSelectionWithoutFocus(*box);
  return box;
}

}  // namespace

QFont ChatFont() {
  QFont font;
  font.setFamilies({QString::fromUtf16(u"\u5FAE\u8F6F\u96C5\u9ED1"),  // 微软雅黑
                    QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK SC"),
                    QStringLiteral("Source Han Sans SC"), QStringLiteral("WenQuanYi Micro Hei"),
                    QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("sans-serif")});
  font.setPixelSize(14);
  font.setWeight(QFont::Normal);
  return font;
}

BusyPicture::BusyPicture(QWidget* parent) : QLabel(parent) {
  setFrameShape(QFrame::NoFrame);
  setScaledContents(true);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);
  auto* movie = new QMovie(QStringLiteral(":/quibo/busy.gif"), QByteArray(), this);
  movie->setCacheMode(QMovie::CacheAll);
  setMovie(movie);
}

void BusyPicture::showEvent(QShowEvent* event) {
  QLabel::showEvent(event);
  if (movie() != nullptr) movie()->start();
}

void BusyPicture::hideEvent(QHideEvent* event) {
  if (movie() != nullptr) movie()->stop();
  QLabel::hideEvent(event);
}

ChatWindow::ChatWindow(ChatEvents events) : QWidget(nullptr) {
  StartUiThreadQueue();
  setObjectName(QStringLiteral("ChatWindow"));
  setWindowTitle(QString::fromUtf16(kCaption));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Button));
  setPalette(palette);
  setAutoFillBackground(true);

  // Created in the listed order; the raise() calls below put the first on top.
  picture = new BusyPicture(this);
  picture->setObjectName(QString::fromUtf16(u"\u56FE\u7247\u6846\u0031"));  // 图片框1
  picture->setAccessibleName(QString::fromUtf16(u"\u6B63\u5728\u7B49\u5F85\u56DE\u590D"));
  picture->setGeometry(234, 140, 94, 84);
  picture->hide();

  relay = new QLineEdit(this);
  relay->setObjectName(QString::fromUtf16(u"\u7F16\u8F91\u6846\u8F6C\u63A5"));  // 编辑框转接
  relay->setAccessibleName(QString::fromUtf16(u"\u6B63\u5728\u53D1\u9001\u7684\u6D88\u606F"));
  relay->setGeometry(208, 136, 160, 80);
  relay->setMaxLength(std::numeric_limits<int>::max());
  relay->setFocusPolicy(Qt::StrongFocus);
  MakeBlackOnWhite(*relay);
  HideSelectionWithoutFocus(*relay);
  relay->hide();

  label = new NotifyLabel(this);
  label->setObjectName(QString::fromUtf16(u"\u6807\u7B7E\u0031"));  // 标签1
  label->setAccessibleName(QString::fromUtf16(u"\u56DE\u8F66\u952E\u901A\u77E5"));
  label->setGeometry(432, 88, 80, 24);
  label->setAttribute(Qt::WA_NativeWindow);  // a handle the hotkey can be routed to
  label->hide();

  transcript = MakeMultiLineBox(this, QString::fromUtf16(u"\u7F16\u8F91\u6846\u663E\u793A"),
                                QString::fromUtf16(u"\u804A\u5929\u8BB0\u5F55"));
  transcript->setGeometry(8, 8, 560, 360);
  transcript->setReadOnly(true);
  transcript->setUndoRedoEnabled(false);
  transcript->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Read-only boxes still take the focus so their text can be selected and copied.
  transcript->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);

  input = MakeMultiLineBox(this, QString::fromUtf16(u"\u7F16\u8F91\u6846\u8F93\u5165"),
                           QString::fromUtf16(u"\u8F93\u5165\u6D88\u606F"));
  input->setGeometry(8, 376, 472, 56);

  button = new QPushButton(QStringLiteral("send"), this);
  button->setObjectName(QString::fromUtf16(u"\u6309\u94AE\u0031"));  // 按钮1
  button->setAccessibleName(QString::fromUtf16(u"\u53D1\u9001"));
  button->setGeometry(488, 376, 80, 56);
  button->setFont(ChatFont());
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setFocusPolicy(Qt::StrongFocus);

  for (QWidget* control : {static_cast<QWidget*>(button), static_cast<QWidget*>(input),
                           static_cast<QWidget*>(transcript), static_cast<QWidget*>(label),
                           static_cast<QWidget*>(relay), static_cast<QWidget*>(picture)}) {
    control->raise();
  }
  setTabOrder(relay, transcript);
  setTabOrder(transcript, input);
  setTabOrder(input, button);

  if (events.sendRequested != nullptr) {
    const auto send = events.sendRequested;
    connect(button, &QPushButton::clicked, this, [send] { send(); });
    label->notified = [send](int, int) { send(); };
  }
  // The last visible tab stop in the listed order has the focus at start.
  button->setFocus(Qt::OtherFocusReason);

  if (g_current == nullptr) g_current = this;
  if (events.created != nullptr) {
    // Handles exist before the window is first shown, as the created event expects.
    winId();
    events.created();
  }
}

ChatWindow::~ChatWindow() {
  if (g_current == this) g_current = nullptr;
}

QWidget* ChatWindow::Widget(Control control) const {
  switch (control) {
    case Control::图片框1:
      return picture;
    case Control::编辑框转接:
      return relay;
    case Control::标签1:
      return label;
    case Control::编辑框显示:
      return transcript;
    case Control::编辑框输入:
      return input;
    case Control::按钮1:
      return button;
    case Control::ChatWindow:
      return const_cast<ChatWindow*>(this);
  }
  return nullptr;
}

void ChatWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

ChatWindow* CurrentChatWindow() {
  return g_current;
}

void CentreOnScreen(ChatWindow& window) {
  const QScreen* screen = window.screen() != nullptr ? window.screen() : qGuiApp->primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  window.move(area.x() + (area.width() - ChatWindow::kOuterWidth) / 2,
              area.y() + (area.height() - ChatWindow::kOuterHeight) / 2);
}

}  // namespace quibo
