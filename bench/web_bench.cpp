// WebRequest on loopback beside a bare libcurl request: the same 40-byte
// POST to the same server, a fresh handle and connection each time, as the
// chat exchange makes it. Median latency from alternated requests, and
// instructions per request from callgrind runs of this program's client.
//
//   web_bench [--json=PATH] [--smoke]
//   web_bench --serve                           answers every request "ok"
//   web_bench --client ours|bare|same URL REQUESTS   one client alone, for callgrind
#include <curl/curl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/callgrind.h"
#include "bench/report.h"
#include "tests/support/child_process.h"
#include "tests/support/loopback_server.h"
#include "web/request_rules.h"
#include "web/web_request.h"

namespace quibo::bench {
namespace {

// 40 bytes, a short chat message: "hello你好，在吗" in GBK, escaped.
constexpr char kBody[] = "para=hello%C4%E3%BA%C3%A3%AC%D4%DA%C2%F0";
static_assert(sizeof kBody - 1 == 40);

bool OursRequest(const std::string& url) {
  return !WebRequest(url, 1, kBody).empty();
}

std::size_t Keep(char* data, std::size_t size, std::size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// How libcurl's users make a one-off POST; with `sameLines`, it sends the
// header lines WebRequest sends, byte for byte, so the two differ only in
// what our layer does around libcurl.
bool BareRequest(const std::string& url, bool sameLines) {
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return false;
  std::string body;
  curl_slist* lines = nullptr;
  if (sameLines) {
    const std::string referer = "Referer: " + url;
    for (const char* line : {referer.c_str(), "Accept: */*", "Accept-Language: zh-cn",
                             "Content-Type: application/x-www-form-urlencoded"}) {
      lines = curl_slist_append(lines, line);
    }
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kDefaultAgent);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, lines);
  }
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, kBody);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Keep);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  const bool ok = curl_easy_perform(curl) == CURLE_OK && !body.empty();
  curl_easy_cleanup(curl);
  curl_slist_free_all(lines);
  return ok;
}

int Serve() {
  test::LoopbackServer server(test::ReplyInTurn({test::OkReply("ok")}));
  std::printf("port %d\n", server.Port());
  std::fflush(stdout);
  // Serves until the benchmark ends us.
  for (;;) pause();
}

bool Request(const std::string& who, const std::string& url) {
  if (who == "ours") return OursRequest(url);
  return BareRequest(url, who == "same");
}

int Client(const std::string& who, const std::string& url, long requests) {
  for (long i = 0; i < requests; ++i) {
    if (!Request(who, url)) return 1;
  }
  return 0;
}

int Measure(int argc, char** argv, bool smoke) {
  const std::string self = OwnExecutable();
  test::ChildProcess server({self, "--serve"});
  const auto ready = server.WaitForLine(
      [](const std::string& l) { return l.rfind("port ", 0) == 0; }, std::chrono::seconds(30));
  if (!ready) {
    std::fprintf(stderr, "web_bench: the server did not start\n%s\n", server.Transcript().c_str());
    return 2;
  }
  const std::string url = "http://127.0.0.1:" + ready->substr(5) + "/ajax.php";

  // Alternate the two clients request by request, so both see the same
  // machine load; the first rounds warm caches and are not counted.
  const int warm = smoke ? 1 : 100, rounds = smoke ? 3 : 3000;
  const char* clients[] = {"ours", "bare", "same"};
  std::vector<double> latencies[3];
  for (int i = 0; i < warm + rounds; ++i) {
    for (int who = 0; who < 3; ++who) {
      const auto start = std::chrono::steady_clock::now();
      const bool ok = Request(clients[who], url);
      const double us =
          std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
              .count();
      if (!ok) {
        std::fprintf(stderr, "web_bench: a request failed\n");
        return 2;
      }
      if (i >= warm) latencies[who].push_back(us);
    }
  }

  // The client alone under callgrind: the difference between two runs that
  // differ only in the number of requests cancels start-up and first-use costs.
  const long fewer = smoke ? 1 : 20, more = smoke ? 2 : 120;
  auto instructions = [&](const std::string& who) {
    return CallgrindInstructionsPerUnit(
        [&](long n) {
          return std::vector<std::string>{self, "--client", who, url, std::to_string(n)};
        },
        fewer, more);
  };
  const auto oursIr = instructions("ours"), bareIr = instructions("bare"),
             sameIr = instructions("same");
  if (!oursIr || !bareIr || !sameIr) return 2;
  if (smoke) {
    std::printf("measured %zu requests each and ran the clients under callgrind\n",
                latencies[0].size());
    return 0;
  }

  const double oursMedian = Median(latencies[0]), bareMedian = Median(latencies[1]),
               sameMedian = Median(latencies[2]);
  const std::string bare = "libcurl, fresh handle", same = "libcurl, same lines";
  std::vector<Row> rows = {
      {"WebRequest POST 40 B, median latency", "us", oursMedian, bareMedian, bare,
       oursMedian / bareMedian, 1.15, Better::kLower},
      {"WebRequest POST 40 B, instructions", "Ir/req", *oursIr, *bareIr, bare, *oursIr / *bareIr,
       1.2, Better::kLower},
      // The request's own header lines (agent, Referer, Accept-Language...)
      // cost libcurl's formatter about 80 instructions a byte; this row
      // shows what our layer adds beside that.
      {"WebRequest POST 40 B, median latency", "us", oursMedian, sameMedian, same,
       oursMedian / sameMedian, 1.15, Better::kLower},
      {"WebRequest POST 40 B, instructions", "Ir/req", *oursIr, *sameIr, same, *oursIr / *sameIr,
       1.2, Better::kLower},
  };
  return Publish(rows, JsonPathArgument(argc, argv)) == 0 ? 0 : 1;
}

}  // namespace
}  // namespace quibo::bench

int main(int argc, char** argv) {
  using namespace quibo::bench;
  curl_global_init(CURL_GLOBAL_ALL);
  int result = 2;
  if (argc == 2 && std::strcmp(argv[1], "--serve") == 0) {
    result = Serve();
  } else if (argc == 5 && std::strcmp(argv[1], "--client") == 0) {
    result = Client(argv[2], argv[3], std::atol(argv[4]));
  } else {
    bool smoke = false;
    for (int i = 1; i < argc; ++i) smoke = smoke || std::strcmp(argv[i], "--smoke") == 0;
    result = Measure(argc, argv, smoke);
  }
  curl_global_cleanup();
  return result;
}
