// The chat routines against the in-memory controls and a loopback chat service.
#include "app/chat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/memory_controls.h"
#include "app/testing/chat_server.h"
#include "app/testing/test_chat_service.h"
#include "text/encodings.h"

namespace quibo {
namespace {

using test::ChatServer;
using test::ServerReply;

// GBK text from UTF-8 source text, through the real converter.
Text Gbk(const std::string& utf8) {
  return Utf8ToGbk(utf8);
}

Text UserEntry(const Text& message) {
  return Gbk("\r\n屌丝：") + message + "\r\n";
}
Text RobotEntry(const Text& reply) {
  return Gbk("\r\nQuibo：") + reply + "\r\n";
}

int Count(const Text& haystack, const Text& needle) {
  int count = 0;
  for (auto at = haystack.find(needle); at != Text::npos; at = haystack.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

class ChatExchangeTest : public testing::Test {
 protected:
  void SetUp() override { memory::ResetControls(); }
  void TearDown() override { memory::ResetControls(); }

  // Points the exchange at `server` and asks for one send of `input`.
  static void Send(const ChatServer& server, const Text& input) {
    test::SetChatServiceHost(server.HostAndPort());
    SetText(Control::编辑框输入, input);
    OnSendRequested();
  }
};

TEST_F(ChatExchangeTest, OneExchangeSendsTheMessageAndAppendsTheReply) {
  struct Case {
    const char* name;
    Text input;
    std::string expectedBody;
    std::string replyBody;
    Text expectedReply;
  } cases[] = {
      {"ascii", "hi", "para=%68%69", "%68%69", "hi"},
      {"chinese", "\xC4\xE3\xBA\xC3", "para=%E4%BD%A0%E5%A5%BD", "%E4%BD%A0%E5%A5%BD",
       "\xC4\xE3\xBA\xC3"},
      {"spaces around", "  hi  ", "para=%68%69", "ok", "ok"},
      {"full-width spaces around", "\xA1\xA1hi\xA1\xA1", "para=%68%69", "ok", "ok"},
      {"spaces only", "   ", "para=", "", ""},
      {"line break in reply", "hi", "para=%68%69", "a%0D%0Ab", "a\r\nb"},
      {"reply not encoded", "hi", "para=%68%69", "plain words", "plain words"},
      {"zero byte ends reply", "hi", "para=%68%69", std::string("%41\0%42", 7), "A"},
      {"four-byte character", "\x81\x30\x81\x30", "para=%C2%80", "%C2%80", "\x81\x30\x81\x30"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    memory::ResetControls();
    ChatServer server([&](const std::string&) { return test::OkReply(c.replyBody); });
    Send(server, c.input);
    memory::JoinStartedThreads();

    ASSERT_EQ(server.Bodies().size(), 1u) << "input: " << c.input;
    EXPECT_EQ(server.Bodies()[0], c.expectedBody) << "input: " << c.input;
    EXPECT_EQ(server.Requests()[0].rfind("POST /ajax.php HTTP/1.1\r\n", 0), 0u)
        << server.Requests()[0];
    // The transcript opens with an empty line and holds the message as typed.
    EXPECT_EQ(memory::TextOf(Control::编辑框显示), UserEntry(c.input) + RobotEntry(c.expectedReply))
        << "input: " << c.input;
    EXPECT_EQ(memory::TextOf(Control::编辑框输入), "") << "input: " << c.input;
    EXPECT_EQ(memory::TextOf(Control::编辑框转接), c.input) << "input: " << c.input;
    EXPECT_FALSE(memory::IsVisible(Control::图片框1)) << "input: " << c.input;
    EXPECT_TRUE(memory::MessageBoxesShown().empty()) << "input: " << c.input;
  }
}

TEST_F(ChatExchangeTest, TheTranscriptLabelsAreTheSystemsOwnGbkBytes) {
  ChatServer server([](const std::string&) { return test::OkReply("%6F%6B"); });
  Send(server, "hi");
  memory::JoinStartedThreads();
  EXPECT_EQ(memory::TextOf(Control::编辑框显示),
            "\r\n\x8C\xC5\xCB\xBF\xA3\xBAhi\r\n\r\nQuibo\xA3\xBAok\r\n");
}

TEST_F(ChatExchangeTest, AFailedRequestAppendsAnEmptyReplyAndHidesThePicture) {
  struct Case {
    const char* name;
    ServerReply reply;
  } cases[] = {
      {"connection reset", {.bytes = "", .after = ServerReply::After::kReset}},
      {"garbage instead of http", {.bytes = "no http here\r\n\r\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    memory::ResetControls();
    ChatServer server([&](const std::string&) { return c.reply; });
    Send(server, "hi");
    memory::JoinStartedThreads();
    EXPECT_EQ(memory::TextOf(Control::编辑框显示), UserEntry("hi") + RobotEntry(""));
    EXPECT_EQ(memory::TextOf(Control::编辑框输入), "");
    EXPECT_FALSE(memory::IsVisible(Control::图片框1));
    EXPECT_EQ(memory::BusyCount(), 0);
  }
}

TEST_F(ChatExchangeTest, NoServiceListeningGivesAnEmptyReply) {
  Text host;
  {
    ChatServer gone;  // a port that was just free and is closed again
    host = gone.HostAndPort();
  }
  test::SetChatServiceHost(host);
  SetText(Control::编辑框输入, "hi");
  OnSendRequested();
  memory::JoinStartedThreads();
  EXPECT_EQ(memory::TextOf(Control::编辑框显示), UserEntry("hi") + RobotEntry(""));
}

TEST_F(ChatExchangeTest, AnEmptyInputShowsTheMessageBoxAndChangesNothing) {
  ChatServer server;
  Send(server, "");
  memory::JoinStartedThreads();
  const auto boxes = memory::MessageBoxesShown();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Gbk("说点什么吧！"));
  EXPECT_EQ(boxes[0].caption, Gbk("提示"));
  EXPECT_EQ(memory::ThreadsStarted(), 0);
  EXPECT_EQ(memory::TextOf(Control::编辑框显示), "");
  EXPECT_FALSE(memory::IsVisible(Control::图片框1));
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(ChatExchangeTest, TwoSendsOfOneMessageSendItOnce) {
  // Enter pressed twice before the first worker could take the text: both
  // handlers see it, both start a worker, only one may send it.
  ChatServer server;
  memory::SetHoldThreads(true);
  Send(server, "hi");
  OnSendRequested();
  ASSERT_EQ(memory::ThreadsStarted(), 2);
  memory::ReleaseHeldThreads();
  memory::JoinStartedThreads();

  EXPECT_EQ(server.Bodies(), std::vector<std::string>{"para=%68%69"});
  EXPECT_EQ(memory::TextOf(Control::编辑框显示), UserEntry("hi") + RobotEntry("hi"));
  EXPECT_FALSE(memory::IsVisible(Control::图片框1));
  EXPECT_TRUE(memory::MessageBoxesShown().empty());
}

TEST_F(ChatExchangeTest, OverlappingExchangesEachSendAndShowTheirOwnMessage) {
  ChatServer server;
  server.HoldReplies();
  Send(server, "one");
  ASSERT_TRUE(server.WaitForRequests(1));
  Send(server, "two");
  ASSERT_TRUE(server.WaitForRequests(2));
  server.ReleaseReply(1);
  server.ReleaseReply(0);
  memory::JoinStartedThreads();

  std::vector<std::string> bodies = server.Bodies();
  EXPECT_EQ(bodies, (std::vector<std::string>{"para=%6F%6E%65", "para=%74%77%6F"}));
  const Text transcript = memory::TextOf(Control::编辑框显示);
  EXPECT_EQ(Count(transcript, UserEntry("one")), 1) << transcript;
  EXPECT_EQ(Count(transcript, UserEntry("two")), 1) << transcript;
  EXPECT_EQ(Count(transcript, RobotEntry("one")), 1) << transcript;
  EXPECT_EQ(Count(transcript, RobotEntry("two")), 1) << transcript;
  EXPECT_EQ(memory::TextOf(Control::编辑框输入), "");
}

TEST_F(ChatExchangeTest, TheBusyPictureShowsUntilTheLastExchangeEnds) {
  ChatServer server;
  server.HoldReplies();
  Send(server, "one");
  ASSERT_TRUE(server.WaitForRequests(1));
  EXPECT_TRUE(memory::IsVisible(Control::图片框1));
  Send(server, "two");
  ASSERT_TRUE(server.WaitForRequests(2));

  server.ReleaseReply(0);
  // The first exchange has ended (its reply is in and it has let go of the
  // picture); the second is still out.
  ASSERT_TRUE(memory::WaitUntil([] {
    return Count(memory::TextOf(Control::编辑框显示), RobotEntry("one")) == 1 &&
           memory::BusyCount() == 1;
  }));
  EXPECT_TRUE(memory::IsVisible(Control::图片框1));

  server.ReleaseReply(1);
  memory::JoinStartedThreads();
  EXPECT_FALSE(memory::IsVisible(Control::图片框1));
  EXPECT_EQ(memory::BusyCount(), 0);
}

TEST_F(ChatExchangeTest, WhenNoThreadCanStartNothingChanges) {
  ChatServer server;
  memory::SetThreadsAvailable(false);
  Send(server, "hi");
  EXPECT_EQ(memory::TextOf(Control::编辑框输入), "hi");
  EXPECT_EQ(memory::TextOf(Control::编辑框显示), "");
  EXPECT_FALSE(memory::IsVisible(Control::图片框1));
  EXPECT_TRUE(memory::MessageBoxesShown().empty());
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(ChatExchangeTest, WindowCreationSkinsAndRegistersEnterForTheLabel) {
  OnWindowCreated();
  EXPECT_EQ(memory::SkinSchemes(), std::vector<int>{2});
  const auto hotkeys = memory::HotkeyRegistrations();
  ASSERT_EQ(hotkeys.size(), 1u);
  EXPECT_EQ(hotkeys[0].window, WindowHandle(Control::ChatWindow));
  EXPECT_EQ(hotkeys[0].target, WindowHandle(Control::标签1));
  EXPECT_EQ(hotkeys[0].modifiers, 0);
  EXPECT_EQ(hotkeys[0].key, 13);
}

TEST_F(ChatExchangeTest, TheUrlIsTheHostsAjaxPage) {
  test::SetChatServiceHost("127.0.0.1:4321");
  EXPECT_EQ(ChatServiceUrl(), "http://127.0.0.1:4321/ajax.php");
}

}  // namespace
}  // namespace quibo
