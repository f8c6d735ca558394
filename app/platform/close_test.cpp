// Closing the window while exchanges are in flight ends the program at once
// with exit code 0: the program runs in a child process (close_probe), and
// the test closes its window as a window manager's close box would.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/testing/chat_server.h"
#include "app/testing/x11_client.h"

extern char** environ;

namespace quibo {
namespace {

constexpr int kExchanges = 20;

TEST(CloseTest, ClosingDuring20ExchangesExitsWith0) {
  test::ChatServer server;
  server.HoldReplies();
  test::X11Client x11;
  ASSERT_TRUE(x11.Connected());

  int out[2];
  ASSERT_EQ(pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const std::string host = server.HostAndPort();
  const std::string count = std::to_string(kExchanges);
  std::string program = QUIBO_CLOSE_PROBE;
  char* argv[] = {program.data(), const_cast<char*>(host.c_str()), const_cast<char*>(count.c_str()),
                  nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);

  // The window's id, printed once every exchange has taken its message.
  std::string line;
  char c = 0;
  while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
  close(out[0]);
  ASSERT_FALSE(line.empty()) << "the program ended before its window showed";
  ASSERT_TRUE(server.WaitForRequests(kExchanges));

  // Half the replies go out as the window closes, so some workers are busy
  // with the window while it goes; the others stay parked in their requests.
  for (int i = 0; i < kExchanges; i += 2) server.ReleaseReply(static_cast<std::size_t>(i));
  x11.RequestClose(static_cast<xcb_window_t>(std::stoul(line)));

  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace quibo
