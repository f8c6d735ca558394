// quibo-robot-load: requests per second of a running quibo-robot, one fresh
// connection per request as the chat window makes them.
//   quibo-robot-load [--target 127.0.0.1:7780] [--clients 32] [--requests 20000]
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
  std::string host = "127.0.0.1";
  int port = 7780;
  int clients = 32;
  long requests = 20000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view option = argv[i];
    const std::string value = argv[i + 1];
    if (option == "--target") {
      const size_t colon = value.rfind(':');
      if (colon == std::string::npos) break;
      host = value.substr(0, colon);
      port = std::atoi(value.c_str() + colon + 1);
    } else if (option == "--clients") {
      clients = std::atoi(value.c_str());
    } else if (option == "--requests") {
      requests = std::atol(value.c_str());
    }
  }
  if (clients < 1 || clients > 1000 || requests < 1 || requests > 10000000 || port < 1) {
    std::fprintf(stderr,
                 "usage: quibo-robot-load [--target HOST:PORT] [--clients 1..1000] "
                 "[--requests N]\n");
    return 2;
  }

  // 你好，现在几点？ and 3*(4+5)等于几, alternately, every byte escaped.
  const std::string bodies[] = {
      "para=%E4%BD%A0%E5%A5%BD%EF%BC%8C%E7%8E%B0%E5%9C%A8%E5%87%A0%E7%82%B9%EF%BC%9F",
      "para=%33%2A%28%34%2B%35%29%E7%AD%89%E4%BA%8E%E5%87%A0"};
  std::atomic<long> next{0};
  std::atomic<long> answered{0};
  std::atomic<long> failed{0};
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&] {
      for (long n = next++; n < requests; n = next++) {
        httplib::Client client(host, port);
        client.set_keep_alive(false);
        const auto res =
            client.Post("/ajax.php", bodies[n % 2], "application/x-www-form-urlencoded");
        (res && res->status == 200 && !res->body.empty() ? answered : failed)++;
      }
    });
  }
  for (auto& t : threads) t.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%ld requests, %ld answered, %ld failed, %d clients, %.2f s: %.0f requests/s\n",
              requests, answered.load(), failed.load(), clients, seconds,
              static_cast<double>(answered.load()) / seconds);
  return failed.load() == 0 ? 0 : 1;
}
