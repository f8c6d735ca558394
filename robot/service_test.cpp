// The robot as the chat window meets it: the real quibo-robot executable,
// started on a free loopback port, spoken to over HTTP.
#include "robot/service.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <latch>
#include <memory>
#include <regex>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "robot/utf8.h"
#include "tests/support/child_process.h"
#include "text/encodings.h"

namespace quibo::robot {
namespace {

// Bounds for waiting on the child; reaching one is a failure, not a timing.
constexpr auto kPatience = std::chrono::seconds(60);

// quibo-robot as a child process, its output read line by line.
class RobotProcess {
 public:
  explicit RobotProcess(std::vector<std::string> arguments)
      : child_(WithExecutable(std::move(arguments))) {}

  // The next output line holding `text`; empty when the output ends first.
  std::string WaitForLine(std::string_view text) {
    const auto holds = [&](const std::string& line) {
      return line.find(text) != std::string::npos;
    };
    return child_.WaitForLine(holds, kPatience).value_or("");
  }

  // The port of the readiness line, or 0 when the robot never got ready.
  int WaitUntilListening() {
    const std::string line = WaitForLine("listening on 127.0.0.1:");
    const size_t colon = line.rfind(':');
    return colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
  }

  // Exit code after `signal` (0 sends none), or -1 when it did not exit
  // normally within the bound.
  int Finish(int signal = 0) {
    if (signal != 0) child_.Signal(signal);
    return child_.WaitForExit(kPatience).value_or(-1);
  }

  std::string Output() const { return child_.Transcript(); }

 private:
  static std::vector<std::string> WithExecutable(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), QUIBO_ROBOT_EXECUTABLE);
    return arguments;
  }

  test::ChildProcess child_;
};

httplib::Client ClientFor(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_keep_alive(false);
  client.set_connection_timeout(kPatience);
  client.set_read_timeout(kPatience);
  return client;
}

bool EveryByteEscaped(const std::string& body) {
  static const std::regex escapes("(%[0-9A-F]{2})+");
  return std::regex_match(body, escapes);
}

// The reply a message can get, whatever phrasing is picked.
std::set<std::string> PossibleReplies(std::string_view message) {
  std::set<std::string> replies;
  for (std::uint64_t variety = 0; variety < 60; ++variety) {
    replies.insert(AnswerMessage(message, {}, variety, {}).text);
  }
  return replies;
}

class RobotService : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    robot_ = std::make_unique<RobotProcess>(std::vector<std::string>{"--listen", "127.0.0.1:0"});
    port_ = robot_->WaitUntilListening();
  }
  static void TearDownTestSuite() {
    EXPECT_EQ(robot_->Finish(SIGTERM), 0) << robot_->Output();
    robot_.reset();
  }
  void SetUp() override { ASSERT_GT(port_, 0) << robot_->Output(); }

  static httplib::Result Chat(const std::string& body) {
    return ClientFor(port_).Post("/ajax.php", body, "application/x-www-form-urlencoded");
  }

  static inline std::unique_ptr<RobotProcess> robot_;
  static inline int port_ = 0;
};

TEST_F(RobotService, AnswersAChatMessageWithEveryByteOfUtf8Escaped) {
  const auto res = Chat("para=%E4%BD%A0%E5%A5%BD");  // 你好
  ASSERT_TRUE(res) << httplib::to_string(res.error());
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; charset=utf-8");
  EXPECT_TRUE(EveryByteEscaped(res->body)) << res->body;
  const Text reply = PercentDecode(res->body);
  EXPECT_FALSE(reply.empty());
  EXPECT_TRUE(DecodeUtf8(reply).valid) << reply;
}

TEST_F(RobotService, DecodesTheMessageAsTheClientEncodesIt) {
  const struct {
    const char* body;
    const char* message;  // what the robot must have read
  } cases[] = {
      {"para=", ""},
      {"para=%33%2B%34", "3+4"},
      {"para=3+4", "3+4"},  // a literal plus is a plus, not a space
      {"para=%33%2a%35", "3*5"},
      {"other=1&para=%32%2F%31", "2/1"},
      {"para=%E4%B8%80%E5%8A%A0%E4%B8%80%E7%AD%89%E4%BA%8E%E5%87%A0", "一加一等于几"},
  };
  for (const auto& c : cases) {
    const auto res = Chat(c.body);
    ASSERT_TRUE(res) << c.body;
    EXPECT_EQ(res->status, 200) << c.body;
    const std::set<std::string> expected = PossibleReplies(c.message);
    EXPECT_TRUE(expected.contains(PercentDecode(res->body)))
        << c.body << " -> " << PercentDecode(res->body);
  }
}

TEST_F(RobotService, BadBytesAreAnsweredNeverEchoed) {
  for (const char* body : {"para=%FF%FE%41", "para=%C4%E3%BA%C3", "para=%G1%1G%GG%", "para=%%41",
                           "para=%00%00", "para=%E4%BD"}) {
    const auto res = Chat(body);
    ASSERT_TRUE(res) << body;
    EXPECT_EQ(res->status, 200) << body;
    EXPECT_TRUE(EveryByteEscaped(res->body)) << body << " -> " << res->body;
    const Text reply = PercentDecode(res->body);
    EXPECT_FALSE(reply.empty()) << body;
    EXPECT_TRUE(DecodeUtf8(reply).valid) << body << " -> " << reply;
  }
}

TEST_F(RobotService, RefusesWhatIsNotAChatRequestWithItsStatus) {
  const std::string largest = "para=" + std::string(kLargestBody - 5, 'a');
  const std::string tooLarge = largest + "a";
  const struct {
    const char* name;
    std::function<httplib::Result(httplib::Client&)> send;
    int status;
  } cases[] = {
      {"largest body", [&](auto& c) { return c.Post("/ajax.php", largest, "text/plain"); }, 200},
      {"body over 64 KiB", [&](auto& c) { return c.Post("/ajax.php", tooLarge, "text/plain"); },
       413},
      {"other path", [](auto& c) { return c.Post("/chat.php", "para=%41", "text/plain"); }, 404},
      {"root", [](auto& c) { return c.Get("/"); }, 404},
      {"look-alike path", [](auto& c) { return c.Post("/ajaxXphp", "para=", "text/plain"); }, 404},
      {"GET", [](auto& c) { return c.Get("/ajax.php"); }, 405},
      {"HEAD", [](auto& c) { return c.Head("/ajax.php"); }, 405},
      {"PUT", [](auto& c) { return c.Put("/ajax.php", "para=", "text/plain"); }, 405},
      {"DELETE", [](auto& c) { return c.Delete("/ajax.php"); }, 405},
      {"no para", [](auto& c) { return c.Post("/ajax.php", "foo=bar", "text/plain"); }, 400},
      {"empty body", [](auto& c) { return c.Post("/ajax.php", "", "text/plain"); }, 400},
      {"para as a value", [](auto& c) { return c.Post("/ajax.php", "x=para", "text/plain"); }, 400},
  };
  for (const auto& c : cases) {
    httplib::Client client = ClientFor(port_);
    const auto res = c.send(client);
    ASSERT_TRUE(res) << c.name << ": " << httplib::to_string(res.error());
    EXPECT_EQ(res->status, c.status) << c.name;
    if (c.status == 405) {
      EXPECT_EQ(res->get_header_value("Allow"), "POST") << c.name;
    }
    if (c.status != 200 && c.status != 405 && std::string_view(c.name) != "HEAD") {
      EXPECT_FALSE(res->body.empty()) << c.name;
      EXPECT_EQ(res->body.find('\n'), std::string::npos) << c.name << ": " << res->body;
    }
  }
}

// What a client sees on a raw connection after sending `request`.
std::string RawExchange(int port, std::string_view request) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string response;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(request.size())) {
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) response.append(buffer, n);
  }
  close(fd);
  return response;
}

TEST_F(RobotService, APostWithoutLengthHasNoBodyAndIsNotWaitedFor) {
  // The connection stays open: only the robot's own judgement ends the wait.
  const std::string response =
      RawExchange(port_, "POST /ajax.php HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
  EXPECT_TRUE(response.starts_with("HTTP/1.1 400")) << response;
  EXPECT_TRUE(response.ends_with("missing the form field \"para\"")) << response;
}

TEST_F(RobotService, AcceptsAChunkedBody) {
  const std::string response = RawExchange(
      port_,
      "POST /ajax.php HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
      "Transfer-Encoding: chunked\r\n\r\n5\r\npara=\r\n6\r\n%33%2B\r\n3\r\n%34\r\n0\r\n\r\n");
  EXPECT_TRUE(response.starts_with("HTTP/1.1 200")) << response;
  const size_t body = response.find("\r\n\r\n");
  ASSERT_NE(body, std::string::npos) << response;
  EXPECT_TRUE(PossibleReplies("3+4").contains(PercentDecode(response.substr(body + 4))))
      << response;
}

// Raw sockets rather than httplib clients: many of those at once share the
// library's lazily built regular expressions, whose synchronisation inside the
// uninstrumented shared library ThreadSanitizer cannot see.
TEST_F(RobotService, AnswersTwoHundredConcurrentClients) {
  constexpr int kClients = 200;
  std::latch start(kClients);
  std::vector<std::string> responses(kClients);
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&, i] {
      const std::string body = "para=" + PercentEncode(std::to_string(i) + "+1");
      const std::string request =
          "POST /ajax.php HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
          "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
          std::to_string(body.size()) + "\r\n\r\n" + body;
      start.arrive_and_wait();
      responses[i] = RawExchange(port_, request);
    });
  }
  for (auto& t : clients) t.join();
  for (int i = 0; i < kClients; ++i) {
    const std::string& response = responses[i];
    const size_t body = response.find("\r\n\r\n");
    const std::string reply =
        body == std::string::npos ? "" : PercentDecode(response.substr(body + 4));
    EXPECT_TRUE(response.starts_with("HTTP/1.1 200 ") &&
                PossibleReplies(std::to_string(i) + "+1").contains(reply))
        << "client " << i << " got '" << response << "'";
  }
}

TEST_F(RobotService, LogsOneLinePerRequest) {
  httplib::Client client = ClientFor(port_);
  ASSERT_TRUE(client.Post("/log-probe-7f3a", "para=", "text/plain"));
  const std::string line = robot_->WaitForLine("/log-probe-7f3a");
  EXPECT_TRUE(std::regex_search(
      line,
      std::regex(
          R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ 127\.0\.0\.1:\d+ POST /log-probe-7f3a 404 \d+\.\dms$)")))
      << line;
}

TEST(RobotProcess, StopsCleanlyOnSigintAndSigterm) {
  for (int signal : {SIGINT, SIGTERM}) {
    RobotProcess robot({"--listen", "127.0.0.1:0"});
    const int port = robot.WaitUntilListening();
    ASSERT_GT(port, 0) << robot.Output();
    ASSERT_TRUE(ClientFor(port).Post("/ajax.php", "para=%41", "text/plain"));
    EXPECT_EQ(robot.Finish(signal), 0) << strsignal(signal) << "\n" << robot.Output();
  }
}

TEST(RobotProcess, SaysSoAndFailsWhenTheAddressIsInUse) {
  RobotProcess first({"--listen", "127.0.0.1:0"});
  const int port = first.WaitUntilListening();
  ASSERT_GT(port, 0) << first.Output();
  RobotProcess second({"--listen", "127.0.0.1:" + std::to_string(port)});
  EXPECT_NE(second.Finish(), 0);
  EXPECT_NE(second.Output().find("already in use"), std::string::npos) << second.Output();
  // The first robot still answers.
  const auto res = ClientFor(port).Post("/ajax.php", "para=%41", "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(first.Finish(SIGTERM), 0) << first.Output();
}

TEST(RobotProcess, CommandLine) {
  const struct {
    std::vector<std::string> arguments;
    int exitCode;
    const char* output;
  } cases[] = {
      {{"--help"}, 0, "usage: quibo-robot"},
      {{"--listen"}, 2, "--listen needs HOST:PORT"},
      {{"--listen", "127.0.0.1"}, 2, "--listen needs HOST:PORT"},
      {{"--listen", "127.0.0.1:65536"}, 2, "--listen needs HOST:PORT"},
      {{"--listen", ":80"}, 2, "--listen needs HOST:PORT"},
      {{"--topics", "/nonexistent/topics.txt"}, 2, "cannot read the topics file"},
      {{"--bogus"}, 2, "unknown argument '--bogus'"},
  };
  for (const auto& c : cases) {
    RobotProcess robot(c.arguments);
    EXPECT_EQ(robot.Finish(), c.exitCode) << c.arguments[0];
    EXPECT_NE(robot.Output().find(c.output), std::string::npos) << robot.Output();
  }
}

TEST(RobotProcess, TopicsComeFromTheDataFileItIsGiven) {
  const std::string path =
      testing::TempDir() + "quibo_robot_topics_" + std::to_string(getpid()) + ".txt";
  std::ofstream(path)
      << "[zebras]\nkeys: zebra, 斑马\nen: Stripes all the way down.\nzh: 斑马有条纹。\n";
  RobotProcess robot({"--listen=127.0.0.1:0", "--topics=" + path});
  const int port = robot.WaitUntilListening();
  ASSERT_GT(port, 0) << robot.Output();
  const struct {
    const char* message;
    const char* reply;
  } cases[] = {{"I saw a zebra", "Stripes all the way down."}, {"斑马", "斑马有条纹。"}};
  for (const auto& c : cases) {
    const auto res =
        ClientFor(port).Post("/ajax.php", "para=" + PercentEncode(c.message), "text/plain");
    ASSERT_TRUE(res) << c.message;
    EXPECT_EQ(PercentDecode(res->body), c.reply) << c.message;
  }
  EXPECT_EQ(robot.Finish(SIGTERM), 0) << robot.Output();
  std::remove(path.c_str());
}

}  // namespace
}  // namespace quibo::robot
