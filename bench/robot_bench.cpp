// The robot beside nginx on loopback: requests per second from clients that
// open a fresh connection for every request, as the chat window does, and
// the 99th percentile of the requests' latencies. Both servers get the same
// load program (quibo-robot-load) in alternating runs within one process
// run, so both see the same machine; nginx answers `return 200 "ok"`.
//
//   robot_bench [--json=PATH] [--smoke] [--clients N]
//
// Exit 0: every budget met (or, with --smoke, everything ran); 1: a budget
// missed; 2: could not measure.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/report.h"
#include "bench/robot_servers.h"
#include "tests/support/child_process.h"

namespace quibo::bench {
namespace {

// The headline concurrency: a handful of windows talking at once, enough to
// keep both cores of the machine busy with either server.
constexpr int kClients = 8;
constexpr int kRounds = 7;            // each: one run against each server
constexpr long kRequests = 20000;     // per run
constexpr long kWarmRequests = 2000;  // one run each before the rounds, not counted
constexpr double kRateBudget = 0.8;
// p99 is shown beside nginx's with a loose bound: at this concurrency it
// moves with the machine's other work, so it only catches gross stalls
// (a connection waiting out a timeout, a lock held across a request).
constexpr double kP99Budget = 3.0;

struct LoadRun {
  double rate = 0;  // answered requests per second
  double p50 = 0;   // ms
  double p99 = 0;   // ms
};

// One run of the load program against 127.0.0.1:`port`; nothing (with the
// reason printed) when it failed or a request went unanswered.
std::optional<LoadRun> Load(int port, int clients, long requests) {
  test::ChildProcess load({QUIBO_ROBOT_LOAD_EXECUTABLE, "--target",
                           "127.0.0.1:" + std::to_string(port), "--clients",
                           std::to_string(clients), "--requests", std::to_string(requests)});
  const std::optional<int> exit = load.WaitForExit(std::chrono::minutes(5));
  LoadRun run;
  long asked = 0, answered = 0, failed = 0;
  int threads = 0;
  double seconds = 0;
  const std::string& out = load.Transcript();
  const bool parsed =
      std::sscanf(out.c_str(),
                  "%ld requests, %ld answered, %ld failed, %d clients, %lf s: %lf requests/s, "
                  "p50 %lf ms, p99 %lf ms",
                  &asked, &answered, &failed, &threads, &seconds, &run.rate, &run.p50,
                  &run.p99) == 8;
  if (exit != 0 || !parsed || answered != requests) {
    std::fprintf(stderr, "robot_bench: the load on port %d failed (exit %d):\n%s\n", port,
                 exit.value_or(-1), out.c_str());
    return std::nullopt;
  }
  return run;
}

struct Server {
  std::string name;
  std::unique_ptr<LoggedProcess> process;
  int port = 0;
  std::vector<LoadRun> runs;
};

// quibo-robot on a port it picks, its request log in `dir`.
std::optional<Server> StartRobot(const std::filesystem::path& dir) {
  Server robot{"quibo-robot", nullptr, 0, {}};
  robot.process = std::make_unique<LoggedProcess>(
      std::vector<std::string>{QUIBO_ROBOT_EXECUTABLE, "--listen", "127.0.0.1:0"},
      dir / "robot.log", SIGTERM);
  const auto port = WaitForRobotPort(*robot.process, std::chrono::seconds(30));
  if (!port) {
    std::fprintf(stderr, "robot_bench: quibo-robot did not start:\n%s\n",
                 Tail(robot.process->LogFile(), 20).c_str());
    return std::nullopt;
  }
  robot.port = *port;
  return robot;
}

// nginx with its own configuration, pid, logs and temporary files in `dir`,
// on a free loopback port; SIGQUIT lets its master finish and stop the workers.
std::optional<Server> StartNginx(const std::string& nginx, const std::filesystem::path& dir) {
  // Another program may take the free port before nginx binds it; try again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    Server server{"nginx", nullptr, FreeLoopbackPort(), {}};
    const std::filesystem::path config = dir / "nginx.conf";
    std::ofstream(config) << NginxConfig(dir, server.port);
    server.process = std::make_unique<LoggedProcess>(
        std::vector<std::string>{nginx, "-p", dir.string() + "/", "-c", config.string(), "-e",
                                 (dir / "error.log").string(), "-g", "daemon off;"},
        dir / "nginx.out", SIGQUIT);
    if (WaitUntilAccepting(*server.process, server.port, std::chrono::seconds(30))) return server;
    server.process->Stop(std::chrono::seconds(10));
    std::fprintf(stderr, "robot_bench: nginx did not start on port %d:\n%s%s", server.port,
                 Tail(dir / "nginx.out", 10).c_str(), Tail(dir / "error.log", 10).c_str());
  }
  return std::nullopt;
}

int Measure(int argc, char** argv, bool smoke, int clients) {
  ScratchDirectory dir;
  if (!dir.Made()) {
    std::fprintf(stderr, "robot_bench: cannot make a temporary directory\n");
    return 2;
  }
  std::vector<Server> servers;
  if (auto robot = StartRobot(dir.Path())) {
    servers.push_back(std::move(*robot));
  } else {
    return 2;
  }
  const std::string nginx = FindNginx();
  if (nginx.empty()) {
    if (!smoke) {
      std::fprintf(stderr, "robot_bench: nginx not found; tools/install-deps bench installs it\n");
      return 2;
    }
    std::printf("robot_bench: nginx not found, the anchor is skipped in this smoke run\n");
  } else if (auto server = StartNginx(nginx, dir.Path())) {
    servers.push_back(std::move(*server));
  } else {
    return 2;
  }

  const int rounds = smoke ? 1 : kRounds;
  const long requests = smoke ? 20 : kRequests;
  if (!smoke) {
    for (Server& server : servers) {
      if (!Load(server.port, clients, kWarmRequests)) return 2;
    }
  }
  // Alternate which server goes first, so that a drift in the machine's
  // load during a round falls on both alike.
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t i = 0; i < servers.size(); ++i) {
      Server& server = servers[round % 2 == 0 ? i : servers.size() - 1 - i];
      const auto run = Load(server.port, clients, requests);
      if (!run) {
        std::fprintf(stderr, "robot_bench: %s's log ends:\n%s\n", server.name.c_str(),
                     Tail(server.process->LogFile(), 10).c_str());
        return 2;
      }
      server.runs.push_back(*run);
      std::printf("round %d  %-12s %8.0f requests/s  p50 %6.3f ms  p99 %6.3f ms\n", round + 1,
                  server.name.c_str(), run->rate, run->p50, run->p99);
    }
  }
  for (Server& server : servers) {
    const std::optional<int> exit = server.process->Stop(std::chrono::seconds(30));
    if (exit != 0) {
      std::fprintf(stderr, "robot_bench: %s did not stop cleanly (exit %d)\n", server.name.c_str(),
                   exit.value_or(-1));
      return 2;
    }
  }
  if (smoke) {
    std::printf("measured %d round(s) of %ld requests against %zu server(s)\n", rounds, requests,
                servers.size());
    return 0;
  }

  auto median = [](const Server& server, double LoadRun::*field) {
    std::vector<double> values;
    for (const LoadRun& run : server.runs) values.push_back(run.*field);
    return Median(values);
  };
  const Server& robot = servers[0];
  const Server& anchor = servers[1];
  const double oursRate = median(robot, &LoadRun::rate),
               anchorRate = median(anchor, &LoadRun::rate);
  const double oursP99 = median(robot, &LoadRun::p99), anchorP99 = median(anchor, &LoadRun::p99);
  const std::string who = "nginx return 200";
  const std::string load =
      std::to_string(clients) + (clients == 1 ? " client" : " clients") + ", fresh connections";
  std::vector<Row> rows = {
      {"Robot requests, " + load, "req/s", oursRate, anchorRate, who, oursRate / anchorRate,
       kRateBudget, Better::kHigher},
      {"Robot p99 latency, " + load, "ms", oursP99, anchorP99, who, oursP99 / anchorP99, kP99Budget,
       Better::kLower},
  };
  std::printf("medians of %d alternated runs of %ld requests each\n", kRounds, kRequests);
  return Publish(rows, JsonPathArgument(argc, argv)) == 0 ? 0 : 1;
}

}  // namespace
}  // namespace quibo::bench

int main(int argc, char** argv) {
  bool smoke = false;
  int clients = quibo::bench::kClients;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--smoke") {
      smoke = true;
    } else if (arg.starts_with("--clients=")) {
      clients = std::atoi(argv[i] + std::strlen("--clients="));
    } else if (!arg.starts_with("--json=")) {
      std::fprintf(stderr, "usage: robot_bench [--json=PATH] [--smoke] [--clients=N]\n");
      return 2;
    }
  }
  if (clients < 1 || clients > 1000) {
    std::fprintf(stderr, "robot_bench: --clients takes 1..1000\n");
    return 2;
  }
  return quibo::bench::Measure(argc, argv, smoke, clients);
}
