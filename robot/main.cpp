// quibo-robot: the local chat service the quibo window talks to by default.
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <csignal>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "robot/service.h"
#include "robot/topics.h"

namespace {

using namespace quibo::robot;

constexpr const char* kUsage =
    "usage: quibo-robot [--listen HOST:PORT] [--topics FILE]\n"
    "\n"
    "Answers chat messages over HTTP: POST /ajax.php with the form body\n"
    "para=<percent-encoded UTF-8>; the reply is percent-encoded UTF-8.\n"
    "\n"
    "  --listen HOST:PORT  where to listen (default 127.0.0.1:7780); port 0\n"
    "                      picks a free port. The line \"listening on HOST:PORT\"\n"
    "                      on stderr says that connections are accepted.\n"
    "  --topics FILE       the small-talk topics (default: the topics.txt that\n"
    "                      was built with the robot)\n"
    "  --help              this text\n"
    "\n"
    "One line per request goes to stderr. SIGINT or SIGTERM stops the robot.\n";

struct Arguments {
  ListenAddress address;
  std::string topicsPath = QUIBO_ROBOT_TOPICS_FILE;
  bool topicsGiven = false;
  bool help = false;
};

// Nothing when the command line is wrong; the reason is already printed.
std::optional<Arguments> ParseArguments(int argc, char** argv) {
  Arguments out;
  out.address = *ParseListenAddress(kDefaultListen);
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&](std::string_view option) -> std::optional<std::string_view> {
      if (arg.starts_with(std::string(option) + "=")) return arg.substr(option.size() + 1);
      if (arg == option && i + 1 < argc) return std::string_view(argv[++i]);
      return std::nullopt;
    };
    if (arg == "--help" || arg == "-h") {
      out.help = true;
    } else if (arg.starts_with("--listen")) {
      const auto text = value("--listen");
      const auto address = text ? ParseListenAddress(*text) : std::nullopt;
      if (!address) {
        std::fprintf(stderr, "quibo-robot: --listen needs HOST:PORT, e.g. 127.0.0.1:7780\n");
        return std::nullopt;
      }
      out.address = *address;
    } else if (arg.starts_with("--topics")) {
      const auto path = value("--topics");
      if (!path || path->empty()) {
        std::fprintf(stderr, "quibo-robot: --topics needs a file name\n");
        return std::nullopt;
      }
      out.topicsPath = std::string(*path);
      out.topicsGiven = true;
    } else {
      std::fprintf(stderr, "quibo-robot: unknown argument '%s' (see --help)\n", argv[i]);
      return std::nullopt;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const auto arguments = ParseArguments(argc, argv);
  if (!arguments) return 2;
  if (arguments->help) {
    std::fputs(kUsage, stdout);
    return 0;
  }

  std::vector<Topic> topics;
  if (const auto content = ReadWholeFile(arguments->topicsPath)) {
    TopicFile file = ParseTopics(*content);
    for (const auto& problem : file.problems) {
      std::fprintf(stderr, "quibo-robot: %s: %s\n", arguments->topicsPath.c_str(), problem.c_str());
    }
    topics = std::move(file.topics);
  } else if (arguments->topicsGiven) {
    std::fprintf(stderr, "quibo-robot: cannot read the topics file %s\n",
                 arguments->topicsPath.c_str());
    return 2;
  } else {
    std::fprintf(stderr, "quibo-robot: no topics file at %s; answering without topics\n",
                 arguments->topicsPath.c_str());
  }

  // A client that hangs up while its answer is being written must not end
  // the robot; SIGINT and SIGTERM are taken by one thread of our own, before
  // any other thread exists, so that they never interrupt a worker.
  std::signal(SIGPIPE, SIG_IGN);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  ChatService service(std::move(topics));
  const auto bound = service.Bind(arguments->address);
  const std::string& host = arguments->address.host;
  if (bound.port < 0) {
    const char* reason = bound.error == EADDRINUSE ? "the address is already in use"
                         : bound.error != 0        ? std::strerror(bound.error)
                                                   : "the address cannot be used";
    std::fprintf(stderr, "quibo-robot: cannot listen on %s:%d: %s\n", host.c_str(),
                 arguments->address.port, reason);
    return 1;
  }

  std::thread watcher([&service, stopSignals] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    std::fprintf(stderr, "quibo-robot: %s received, stopping\n",
                 signal == SIGINT ? "SIGINT" : "SIGTERM");
    service.Stop();
  });

  std::fprintf(stderr, "quibo-robot: listening on %s:%d\n", host.c_str(), bound.port);
  std::fflush(stderr);
  const bool served = service.Serve();
  if (!served) {
    std::fprintf(stderr, "quibo-robot: the server stopped unexpectedly\n");
    pthread_kill(watcher.native_handle(), SIGTERM);
  }
  watcher.join();
  return served ? 0 : 1;
}
