// Collects Google Benchmark results and prints them as rows of
// "ours, anchor, ratio" against a budget, with a JSON copy for machines.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace quibo::bench {

// How a row's ratio is read.
enum class Better { kHigher, kLower };

struct Row {
  std::string name;  // what is measured, e.g. "PercentEncode 64KiB"
  std::string unit;  // unit of ours and anchor, e.g. "MB/s"
  double ours = 0;
  double anchor = 0;
  std::string anchorName;
  double ratio = 0;   // ours / anchor
  double budget = 0;  // the ratio the row must reach (kHigher) or stay under (kLower)
  Better better = Better::kHigher;
  [[nodiscard]] bool Met() const {
    return better == Better::kHigher ? ratio >= budget : ratio <= budget;
  }
};

// Runs every registered benchmark (arguments as Google Benchmark takes them;
// --json and --smoke are left out for it) and keeps each run's real time per
// iteration (ns) and bytes per second, by benchmark name.
struct Measured {
  double nsPerIteration = 0;
  double bytesPerSecond = 0;
};
[[nodiscard]] std::map<std::string, Measured> RunAll(int argc, char** argv);

// Prints the rows as a table to stdout and writes them as a JSON array to
// `jsonPath` (when not empty). Returns the number of rows that missed.
int Publish(const std::vector<Row>& rows, const std::string& jsonPath);

// The table Publish prints, one row a line under a heading.
void PrintTable(const std::vector<Row>& rows);

// The rows as a JSON array, one row a line, as Publish writes them.
[[nodiscard]] std::string RowsJson(const std::vector<Row>& rows);

// The rows of a file Publish wrote; nothing when it cannot be read.
[[nodiscard]] std::vector<Row> ReadRows(const std::string& jsonPath);

// The middle value (the mean of the two middle ones for an even count); 0
// for none.
[[nodiscard]] double Median(std::vector<double> values);

// Whether "--smoke" is among the arguments: one quick pass that proves the
// benchmark runs, sizes cut down, budgets not checked.
[[nodiscard]] bool SmokeRun(int argc, char** argv);

// The value of "--json=PATH" among the arguments, or empty.
[[nodiscard]] std::string JsonPathArgument(int argc, char** argv);

}  // namespace quibo::bench
