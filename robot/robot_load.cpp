// quibo-robot-load: requests per second of a running quibo-robot, one fresh
// connection per request as the chat window makes them, with the spread of
// the requests' latencies.
//   quibo-robot-load [--target 127.0.0.1:7780] [--clients 32] [--requests 20000]
//                    [--path /ajax.php]
// It prints one line:
//   N requests, A answered, F failed, C clients, S s: R requests/s, p50 X ms, p99 Y ms
// and exits 0 when every request was answered with a 200 and a body.
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The value at `fraction` (0..1) of the sorted order; 0 for no values.
double Percentile(std::vector<double>& values, double fraction) {
  if (values.empty()) return 0;
  const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
  return values[at];
}

}  // namespace

int main(int argc, char** argv) {
  std::string host = "127.0.0.1";
  int port = 7780;
  int clients = 32;
  long requests = 20000;
  std::string path = "/ajax.php";
  bool understood = argc % 2 == 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view option = argv[i];
    const std::string value = argv[i + 1];
    if (option == "--target") {
      const size_t colon = value.rfind(':');
      if (colon == std::string::npos) {
        understood = false;
        break;
      }
      host = value.substr(0, colon);
      port = std::atoi(value.c_str() + colon + 1);
    } else if (option == "--clients") {
      clients = std::atoi(value.c_str());
    } else if (option == "--requests") {
      requests = std::atol(value.c_str());
    } else if (option == "--path") {
      path = value;
    } else {
      understood = false;
    }
  }
  if (!understood || clients < 1 || clients > 1000 || requests < 1 || requests > 10000000 ||
      port < 1 || !path.starts_with('/')) {
    std::fprintf(stderr,
                 "usage: quibo-robot-load [--target HOST:PORT] [--clients 1..1000] "
                 "[--requests N] [--path /PATH]\n");
    return 2;
  }

  // 你好，现在几点？ and 3*(4+5)等于几, alternately, every byte escaped.
  const std::string bodies[] = {
      "para=%E4%BD%A0%E5%A5%BD%EF%BC%8C%E7%8E%B0%E5%9C%A8%E5%87%A0%E7%82%B9%EF%BC%9F",
      "para=%33%2A%28%34%2B%35%29%E7%AD%89%E4%BA%8E%E5%87%A0"};
  std::atomic<long> next{0};
  std::atomic<long> answered{0};
  std::atomic<long> failed{0};
  // Each client keeps its own latencies (ms); they are pooled once all are done.
  std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (auto& mine : latencies) {
    threads.emplace_back([&] {
      mine.reserve(static_cast<std::size_t>(requests / clients + 1));
      for (long n = next++; n < requests; n = next++) {
        const auto sent = Clock::now();
        httplib::Client client(host, port);
        client.set_keep_alive(false);
        const auto res = client.Post(path, bodies[n % 2], "application/x-www-form-urlencoded");
        mine.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        (res && res->status == 200 && !res->body.empty() ? answered : failed)++;
      }
    });
  }
  for (auto& t : threads) t.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> all;
  for (const auto& mine : latencies) all.insert(all.end(), mine.begin(), mine.end());
  const double p50 = Percentile(all, 0.50), p99 = Percentile(all, 0.99);
  std::printf(
      "%ld requests, %ld answered, %ld failed, %d clients, %.2f s: %.0f requests/s, "
      "p50 %.3f ms, p99 %.3f ms\n",
      requests, answered.load(), failed.load(), clients, seconds,
      static_cast<double>(answered.load()) / seconds, p50, p99);
  return failed.load() == 0 ? 0 : 1;
}
