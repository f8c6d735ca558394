#include "bench/callgrind.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/support/child_process.h"

namespace quibo::bench {

std::optional<std::uint64_t> CallgrindInstructions(
    const std::vector<std::string>& command, const std::vector<std::string>& valgrindOptions) {
  std::string name = (std::filesystem::temp_directory_path() / "quibo-callgrind-XXXXXX").string();
  const int fd = mkstemp(name.data());
  if (fd < 0) return std::nullopt;
  close(fd);
  const std::filesystem::path out = name;
  std::vector<std::string> argv = {"/usr/bin/valgrind", "--tool=callgrind", "--quiet",
                                   "--callgrind-out-file=" + out.string()};
  argv.insert(argv.end(), valgrindOptions.begin(), valgrindOptions.end());
  argv.insert(argv.end(), command.begin(), command.end());
  test::ChildProcess child(argv);
  const std::optional<int> exit = child.WaitForExit(std::chrono::hours(1));
  if (exit != 0) {
    std::fprintf(stderr, "callgrind run failed (exit %d):\n%s\n", exit.value_or(-1),
                 child.Transcript().c_str());
    std::filesystem::remove(out);
    return std::nullopt;
  }
  // "totals: N" (or "summary: N" from older versions) holds the whole run's Ir.
  std::ifstream in(out);
  std::optional<std::uint64_t> total;
  for (std::string line; std::getline(in, line);) {
    for (const char* key : {"totals: ", "summary: "}) {
      if (line.rfind(key, 0) == 0) total = std::stoull(line.substr(std::string(key).size()));
    }
  }
  std::filesystem::remove(out);
  return total;
}

std::optional<double> CallgrindInstructionsPerUnit(
    const std::function<std::vector<std::string>(long units)>& command, long fewer, long more,
    const std::vector<std::string>& valgrindOptions) {
  const auto low = CallgrindInstructions(command(fewer), valgrindOptions);
  const auto high = CallgrindInstructions(command(more), valgrindOptions);
  if (!low || !high || more <= fewer) return std::nullopt;
  return (static_cast<double>(*high) - static_cast<double>(*low)) /
         static_cast<double>(more - fewer);
}

std::string OwnExecutable() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

}  // namespace quibo::bench
