// ChatWindow with the real widgets on the test's X server (Xvfb, no window
// manager: the client area is what is checked, and focus is given explicitly).
#include "app/platform/chat_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QInputMethodEvent>
#include <QMessageBox>
#include <QMovie>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/chat.h"
#include "app/controls.h"
#include "app/platform/message_box.h"
#include "app/platform/skin.h"
#include "app/testing/chat_server.h"
#include "app/testing/qt_app.h"
#include "app/testing/test_chat_service.h"
#include "text/encodings.h"

namespace quibo {
namespace {

using test::ProcessEventsUntil;

Text Gbk(const std::string& utf8) {
  return Utf8ToGbk(utf8);
}

class ChatWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    test::SetChatServiceHost(server_.HostAndPort());
    window_ = std::make_unique<ChatWindow>(
        ChatEvents{.created = &OnWindowCreated, .sendRequested = &OnSendRequested});
    CentreOnScreen(*window_);
    ASSERT_TRUE(test::ShowAndActivate(*window_)) << "the window never became active";
  }
  void TearDown() override {
    // Every exchange has let go of the window before it goes.
    EXPECT_TRUE(ProcessEventsUntil([&] { return window_ == nullptr || window_->busyCount == 0; }));
    window_.reset();
    qApp->setStyleSheet(QString());
  }

  // The reply to "hi" shown in the transcript, once the exchange is over.
  bool WaitForTranscript(const Text& expected) {
    return ProcessEventsUntil([&] { return GetText(Control::编辑框显示) == expected; });
  }

  test::ChatServer server_;
  std::unique_ptr<ChatWindow> window_;
};

TEST_F(ChatWindowTest, ControlsHaveTheirNamesPlacesAndVisibility) {
  struct Case {
    Control control;
    const char16_t* name;
    const char* className;
    QRect geometry;
    bool visible;
  } cases[] = {
      {Control::图片框1, u"图片框1", "quibo::BusyPicture", {234, 140, 94, 84}, false},
      {Control::编辑框转接, u"编辑框转接", "QLineEdit", {208, 136, 160, 80}, false},
      {Control::标签1, u"标签1", "quibo::NotifyLabel", {432, 88, 80, 24}, false},
      {Control::编辑框显示, u"编辑框显示", "QPlainTextEdit", {8, 8, 560, 360}, true},
      {Control::编辑框输入, u"编辑框输入", "QPlainTextEdit", {8, 376, 472, 56}, true},
      {Control::按钮1, u"按钮1", "QPushButton", {488, 376, 80, 56}, true},
  };
  for (const Case& c : cases) {
    const QString name = QString::fromUtf16(c.name);
    SCOPED_TRACE(name.toStdString());
    QWidget* widget = window_->findChild<QWidget*>(name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget, window_->Widget(c.control));
    EXPECT_EQ(widget->parentWidget(), window_.get());
    if (std::string(c.className).rfind("quibo::", 0) != 0) {
      EXPECT_STREQ(widget->metaObject()->className(), c.className);
    }
    EXPECT_EQ(widget->geometry(), c.geometry);
    EXPECT_EQ(widget->isVisible(), c.visible);
    EXPECT_TRUE(widget->isEnabled());
    EXPECT_FALSE(widget->accessibleName().isEmpty());
  }
  EXPECT_NE(dynamic_cast<BusyPicture*>(window_->Widget(Control::图片框1)), nullptr);
  EXPECT_NE(dynamic_cast<NotifyLabel*>(window_->Widget(Control::标签1)), nullptr);
}

TEST_F(ChatWindowTest, TheWindowIsFixedCentredAndCaptioned) {
  EXPECT_EQ(
      window_->windowTitle(),
      QString::fromUtf16(u"Quibo聊天机器人，可以和他聊任何内容，点击send或敲回车键（需要网络！）"));
  EXPECT_EQ(window_->size(), QSize(576, 440));
  EXPECT_EQ(window_->minimumSize(), QSize(576, 440));
  EXPECT_EQ(window_->maximumSize(), QSize(576, 440));
  const Qt::WindowFlags flags = window_->windowFlags();
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_EQ(window_->windowType(), Qt::Window);  // in the taskbar, no owner
  EXPECT_EQ(window_->parentWidget(), nullptr);
  const QRect screen = window_->screen()->geometry();
  EXPECT_EQ(window_->frameGeometry().topLeft(),
            QPoint((screen.width() - 577) / 2, (screen.height() - 468) / 2));
  EXPECT_EQ(window_->palette().color(QPalette::Window),
            QApplication::palette().color(QPalette::Button));
}

TEST_F(ChatWindowTest, StackingPutsThePictureOverTheTranscriptAndTabOrderFollowsTheList) {
  SetVisible(Control::图片框1, true);
  const QRect picture = window_->Widget(Control::图片框1)->geometry();
  EXPECT_EQ(window_->childAt(picture.center()), window_->Widget(Control::图片框1));
  SetVisible(Control::图片框1, false);
  EXPECT_EQ(window_->childAt(picture.center())->parentWidget(),  // the transcript's viewport
            window_->Widget(Control::编辑框显示));

  // The controls in the focus chain, from the relay box on.
  std::vector<QWidget*> chain;
  QWidget* start = window_->Widget(Control::编辑框转接);
  QWidget* at = start;
  do {
    for (Control c :
         {Control::编辑框转接, Control::编辑框显示, Control::编辑框输入, Control::按钮1}) {
      if (at == window_->Widget(c)) chain.push_back(at);
    }
    at = at->nextInFocusChain();
  } while (at != start && at != nullptr);
  EXPECT_EQ(chain, (std::vector<QWidget*>{start, window_->Widget(Control::编辑框显示),
                                          window_->Widget(Control::编辑框输入),
                                          window_->Widget(Control::按钮1)}));
  for (Control c : {Control::编辑框显示, Control::编辑框输入, Control::按钮1}) {
    EXPECT_EQ(window_->Widget(c)->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
  }
}

TEST_F(ChatWindowTest, EditBoxesAndButtonShowChineseIn14PixelCjkFont) {
  for (Control c : {Control::编辑框显示, Control::编辑框输入, Control::按钮1}) {
    QWidget* widget = window_->Widget(c);
    SCOPED_TRACE(widget->objectName().toStdString());
    EXPECT_EQ(widget->font().pixelSize(), 14);
    EXPECT_EQ(widget->font().weight(), QFont::Normal);
    const QFontInfo info(widget->font());
    // The resolved font holds the Chinese the program shows, so it never
    // draws boxes in their place.
    EXPECT_TRUE(QFontMetrics(widget->font()).inFont(QChar(0x4F60))) << info.family().toStdString();
    EXPECT_TRUE(QFontMetrics(widget->font()).inFont(QChar(0x5C4C))) << info.family().toStdString();
    EXPECT_TRUE(
        QFontDatabase::writingSystems(info.family()).contains(QFontDatabase::SimplifiedChinese))
        << info.family().toStdString();
  }
  auto* transcript = static_cast<QPlainTextEdit*>(window_->Widget(Control::编辑框显示));
  auto* input = static_cast<QPlainTextEdit*>(window_->Widget(Control::编辑框输入));
  auto* relay = static_cast<QLineEdit*>(window_->Widget(Control::编辑框转接));
  EXPECT_TRUE(transcript->isReadOnly());
  EXPECT_FALSE(input->isReadOnly());
  EXPECT_FALSE(relay->isReadOnly());
  EXPECT_EQ(transcript->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(transcript->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(input->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_FALSE(transcript->isUndoRedoEnabled());
}

TEST_F(ChatWindowTest, TextCrossesTheWidgetsByteForByte) {
  struct Case {
    const char* name;
    Control box;
    Text text;
  } cases[] = {
      {"ascii in the input", Control::编辑框输入, "hi there"},
      {"gbk in the input", Control::编辑框输入, "\xC4\xE3\xBA\xC3"},
      {"lines in the input", Control::编辑框输入, "one\r\ntwo\r\n\r\nthree"},
      {"no-break space (four bytes)", Control::编辑框输入,
       "a\x81\x30\x84\x32"
       "b"},
      {"emoji (four bytes)", Control::编辑框输入, "\x94\x39\xFC\x36"},
      {"full-width spaces", Control::编辑框输入, "\xA1\xA1x\xA1\xA1"},
      {"tab", Control::编辑框输入, "a\tb"},
      {"relay box", Control::编辑框转接, "\xC4\xE3 hi"},
      {"relay box longer than 32767", Control::编辑框转接, Text(40000, 'x') + "end"},
      {"relay box lines", Control::编辑框转接, "a\r\nb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetText(c.box, c.text);
    EXPECT_EQ(GetText(c.box), c.text);
    EXPECT_EQ(TakeText(c.box), c.text);
    EXPECT_EQ(GetText(c.box), "");
  }
}

TEST_F(ChatWindowTest, AppendedTextReadsBackExactlyAndScrollsIntoView) {
  Text expected;
  for (int i = 0; i < 60; ++i) {
    const Text entry = "\r\n" + Gbk("第") + std::to_string(i) + "\x81\x30\x84\x36\r\n";
    AppendText(Control::编辑框显示, entry);
    expected += entry;
  }
  EXPECT_EQ(GetText(Control::编辑框显示), expected);
  auto* transcript = static_cast<QPlainTextEdit*>(window_->Widget(Control::编辑框显示));
  QScrollBar* bar = transcript->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
}

// Qt keeps a layout per paragraph; an entry that opens and closes with a
// break stays one paragraph, and still reads and copies with plain breaks.
TEST_F(ChatWindowTest, EachTranscriptEntryIsOneParagraph) {
  struct Case {
    const char* name;
    std::vector<Text> appends;
    int paragraphs;
    QString copied;
  } cases[] = {
      {"two entries", {"\r\na\r\n", "\r\nb\r\n"}, 3, "\na\n\nb\n"},
      {"appends without an opening break", {"a\r\n", "b\r\n"}, 3, "a\nb\n"},
      {"a message of two lines", {"\r\na\r\nb\r\n"}, 3, "\na\nb\n"},
      {"an entry, then text", {"\r\na\r\n", "b"}, 2, "\na\nb"},
      {"a lone break", {"\r\n"}, 2, "\n"},
  };
  auto* transcript = static_cast<QPlainTextEdit*>(window_->Widget(Control::编辑框显示));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetText(Control::编辑框显示, "");
    Text expected;
    for (const Text& text : c.appends) {
      AppendText(Control::编辑框显示, text);
      expected += text;
    }
    EXPECT_EQ(GetText(Control::编辑框显示), expected);
    EXPECT_EQ(transcript->document()->blockCount(), c.paragraphs);
    EXPECT_EQ(transcript->toPlainText(), c.copied);
  }
}

TEST_F(ChatWindowTest, TheButtonHasTheFocusAtStartAndFocusComesBack) {
  EXPECT_EQ(QApplication::focusWidget(), window_->Widget(Control::按钮1));

  window_->Widget(Control::编辑框输入)->setFocus();
  QWidget other;
  other.setGeometry(10, 10, 100, 100);
  ASSERT_TRUE(test::ShowAndActivate(other));
  window_->activateWindow();
  ASSERT_TRUE(ProcessEventsUntil([&] { return window_->isActiveWindow(); }));
  EXPECT_EQ(QApplication::focusWidget(), window_->Widget(Control::编辑框输入));
}

TEST_F(ChatWindowTest, EscClosesTheWindowWhicheverControlHasTheFocus) {
  for (Control c : {Control::编辑框显示, Control::编辑框输入, Control::按钮1}) {
    window_.reset();
    window_ = std::make_unique<ChatWindow>(ChatEvents{});
    ASSERT_TRUE(test::ShowAndActivate(*window_));
    QWidget* focused = window_->Widget(c);
    focused->setFocus();
    ASSERT_TRUE(ProcessEventsUntil([&] { return focused->hasFocus(); }));
    SCOPED_TRACE(focused->objectName().toStdString());
    QTest::keyClick(focused, Qt::Key_Escape);
    EXPECT_TRUE(ProcessEventsUntil([&] { return !window_->isVisible(); }));
  }
}

// Runs `inspect` on the message box once it is up, then closes it.
void WhenMessageBoxShows(const std::function<void(QMessageBox&)>& inspect) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect] {
    QMessageBox* box = OpenMessageBox();
    if (box == nullptr || !box->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    inspect(*box);
  });
  poll->start(10);
}

TEST_F(ChatWindowTest, AnEmptyInputShowsTheMessageBox) {
  bool seen = false;
  WhenMessageBoxShows([&](QMessageBox& box) {
    seen = true;
    EXPECT_EQ(box.text(), QString::fromUtf16(u"说点什么吧！"));
    EXPECT_EQ(box.windowTitle(), QString::fromUtf16(u"提示"));
    EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box.windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(box.parentWidget(), nullptr);
    ASSERT_EQ(box.buttons().size(), 1);
    EXPECT_EQ(box.standardButton(box.buttons()[0]), QMessageBox::Ok);
    EXPECT_EQ(QApplication::activeModalWidget(), &box);
    // The skin reaches the box's button: its frame has the scheme's colour.
    QAbstractButton* ok = box.buttons()[0];
    const QImage shot = ok->grab().toImage();
    EXPECT_EQ(shot.pixelColor(0, shot.height() / 2), SkinFrameColour(2));
    ok->click();
  });
  QTest::mouseClick(window_->Widget(Control::按钮1), Qt::LeftButton);
  EXPECT_TRUE(seen);
  EXPECT_EQ(OpenMessageBox(), nullptr);
  EXPECT_EQ(GetText(Control::编辑框显示), "");
  EXPECT_FALSE(window_->Widget(Control::图片框1)->isVisible());
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(ChatWindowTest, AClickSendsTheMessageAndTheReplyJoinsTheTranscript) {
  server_.HoldReplies();
  SetText(Control::编辑框输入, Gbk("你好 hi"));
  QTest::mouseClick(window_->Widget(Control::按钮1), Qt::LeftButton);
  ASSERT_TRUE(ProcessEventsUntil([&] { return server_.Requests().size() == 1; }));
  EXPECT_EQ(server_.Bodies()[0], "para=%E4%BD%A0%E5%A5%BD%20%68%69");

  // While the request is out the busy picture shows and animates.
  auto* picture = static_cast<BusyPicture*>(window_->Widget(Control::图片框1));
  ASSERT_TRUE(ProcessEventsUntil([&] { return picture->isVisible(); }));
  ASSERT_NE(picture->movie(), nullptr);
  EXPECT_EQ(picture->movie()->state(), QMovie::Running);
  const int firstFrame = picture->movie()->currentFrameNumber();
  EXPECT_TRUE(
      ProcessEventsUntil([&] { return picture->movie()->currentFrameNumber() != firstFrame; }));
  EXPECT_EQ(GetText(Control::编辑框输入), "");

  server_.ReleaseReply(0);
  const Text message = Gbk("你好 hi");
  EXPECT_TRUE(WaitForTranscript(Gbk("\r\n屌丝：") + message + "\r\n" + Gbk("\r\nQuibo：") +
                                message + "\r\n"))
      << GetText(Control::编辑框显示);
  EXPECT_TRUE(ProcessEventsUntil([&] { return !picture->isVisible(); }));
  EXPECT_EQ(picture->movie()->state(), QMovie::NotRunning);
}

TEST_F(ChatWindowTest, AnOpenCompositionIsCommittedAndSent) {
  QWidget* input = window_->Widget(Control::编辑框输入);
  input->setFocus();
  ASSERT_TRUE(ProcessEventsUntil([&] { return input->hasFocus(); }));
  QInputMethodEvent typed;
  typed.setCommitString(QStringLiteral("a"));
  QCoreApplication::sendEvent(input, &typed);
  QInputMethodEvent composing(QString::fromUtf16(u"你"), {});
  QCoreApplication::sendEvent(input, &composing);

  OnSendRequested();
  ASSERT_TRUE(ProcessEventsUntil([&] { return server_.Requests().size() == 1; }));
  EXPECT_EQ(server_.Bodies()[0], "para=%61%E4%BD%A0");
}

TEST_F(ChatWindowTest, TheSkinFramesEditBoxesAndASecondCallReplacesIt) {
  struct Case {
    int scheme;
    QColor frame;
  } cases[] = {{2, QColor(164, 185, 127)}, {1, SkinFrameColour(1)}, {3, SkinFrameColour(3)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scheme);
    EnableControlSkin(c.scheme);
    for (Control box : {Control::编辑框显示, Control::编辑框输入}) {
      const QImage shot = window_->Widget(box)->grab().toImage();
      EXPECT_EQ(shot.pixelColor(0, shot.height() / 2), c.frame);
      EXPECT_EQ(shot.pixelColor(shot.width() / 2, 0), c.frame);
    }
  }
  // The picture box keeps its own look: white to its edge, no frame.
  auto* picture = window_->Widget(Control::图片框1);
  static_cast<QLabel*>(picture)->movie()->stop();
  const QImage shot = picture->grab().toImage();
  EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::white));
  EXPECT_EQ(shot.pixelColor(0, shot.height() / 2), QColor(Qt::white));
}

TEST_F(ChatWindowTest, SelectionShowsOnlyInTheFocusedBox) {
  auto* transcript = static_cast<QPlainTextEdit*>(window_->Widget(Control::编辑框显示));
  AppendText(Control::编辑框显示, Text(200, 'W'));
  transcript->selectAll();
  const QColor highlight = QApplication::palette().color(QPalette::Active, QPalette::Highlight);
  const auto highlighted = [&] {
    const QImage shot = transcript->viewport()->grab().toImage();
    int count = 0;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) count += shot.pixelColor(x, y) == highlight;
    }
    return count;
  };
  transcript->setFocus();
  ASSERT_TRUE(ProcessEventsUntil([&] { return transcript->hasFocus(); }));
  EXPECT_GT(highlighted(), 100);
  window_->Widget(Control::按钮1)->setFocus();
  ASSERT_TRUE(ProcessEventsUntil([&] { return !transcript->hasFocus(); }));
  EXPECT_EQ(highlighted(), 0);
}

}  // namespace
}  // namespace quibo

namespace quibo {
namespace {

// Saves the window as drawn to app/artifacts/ in the build tree, for a person
// to look at; checks what a glance would: the spinner over the transcript.
TEST_F(ChatWindowTest, TheWindowAsDrawnShowsTheSpinnerOverTheTranscript) {
  server_.HoldReplies();
  SetText(Control::编辑框输入, Gbk("今天天气怎么样？ hello"));
  QTest::mouseClick(window_->Widget(Control::按钮1), Qt::LeftButton);
  ASSERT_TRUE(ProcessEventsUntil([&] { return server_.Requests().size() == 1; }));
  SetText(Control::编辑框输入, Gbk("下一句"));
  QWidget* picture = window_->Widget(Control::图片框1);
  ASSERT_TRUE(ProcessEventsUntil([&] { return picture->isVisible(); }));

  const QImage shot = window_->grab().toImage();
  const QString folder = QStringLiteral(QT_TESTCASE_BUILDDIR "/artifacts");
  QDir().mkpath(folder);
  EXPECT_TRUE(shot.save(folder + QStringLiteral("/chat_window.png")));

  int grey = 0;
  const QRect area = picture->geometry();
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      grey += c.red() == c.green() && c.green() == c.blue() && c.red() < 230;
    }
  }
  EXPECT_GT(grey, 300) << "no spinner drawn in the busy picture";
  server_.ReleaseReply(0);
  EXPECT_TRUE(ProcessEventsUntil([&] { return !picture->isVisible(); }));
}

}  // namespace
}  // namespace quibo
