#include "bench/report.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace quibo::bench {
namespace {

class Collector : public benchmark::ConsoleReporter {
 public:
  explicit Collector(std::map<std::string, Measured>& out) : out_(out) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      Measured m;
      m.nsPerIteration = run.GetAdjustedRealTime();  // in the run's time unit
      if (run.time_unit == benchmark::kMicrosecond) m.nsPerIteration *= 1e3;
      if (run.time_unit == benchmark::kMillisecond) m.nsPerIteration *= 1e6;
      auto bytes = run.counters.find("bytes_per_second");
      if (bytes != run.counters.end()) m.bytesPerSecond = bytes->second;
      out_[run.benchmark_name()] = m;
    }
    ConsoleReporter::ReportRuns(runs);
  }

 private:
  std::map<std::string, Measured>& out_;
};

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

// The value of `"key": "..."` in one line RowsJson wrote.
std::string StringField(const std::string& line, const std::string& key) {
  const std::size_t at = line.find("\"" + key + "\": \"");
  if (at == std::string::npos) return {};
  std::string value;
  for (std::size_t i = at + key.size() + 5; i < line.size() && line[i] != '"'; ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) ++i;
    value.push_back(line[i]);
  }
  return value;
}

// The value of `"key": 1.5` in one line RowsJson wrote.
double NumberField(const std::string& line, const std::string& key) {
  const std::size_t at = line.find("\"" + key + "\": ");
  if (at == std::string::npos) return 0;
  return std::strtod(line.c_str() + at + key.size() + 4, nullptr);
}

}  // namespace

std::map<std::string, Measured> RunAll(int argc, char** argv) {
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--json=", 7) != 0 && std::strcmp(argv[i], "--smoke") != 0) {
      args.push_back(argv[i]);
    }
  }
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  std::map<std::string, Measured> results;
  Collector collector(results);
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  return results;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

bool SmokeRun(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--smoke") == 0) return true;
  }
  return false;
}

std::string JsonPathArgument(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--json=", 7) == 0) return argv[i] + 7;
  }
  return {};
}

void PrintTable(const std::vector<Row>& rows) {
  std::printf("\n%-44s %14s %14s  %-22s %8s %10s  %s\n", "measure", "ours", "anchor", "anchor is",
              "ratio", "budget", "");
  for (const Row& r : rows) {
    std::printf("%-44s %14.2f %14.2f  %-22s %8.2f %3s %6.2f  %s %s\n", r.name.c_str(), r.ours,
                r.anchor, r.anchorName.c_str(), r.ratio,
                r.better == Better::kHigher ? ">=" : "<=", r.budget, r.unit.c_str(),
                r.Met() ? "met" : "MISSED");
  }
}

std::string RowsJson(const std::vector<Row>& rows) {
  std::ostringstream json;
  json << "[\n";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    json << "  {\"name\": \"" << Escape(r.name) << "\", \"unit\": \"" << Escape(r.unit)
         << "\", \"ours\": " << r.ours << ", \"anchor\": " << r.anchor << ", \"anchor_name\": \""
         << Escape(r.anchorName) << "\", \"ratio\": " << r.ratio << ", \"budget\": " << r.budget
         << ", \"better\": \"" << (r.better == Better::kHigher ? "higher" : "lower")
         << "\", \"met\": " << (r.Met() ? "true" : "false") << "}"
         << (i + 1 < rows.size() ? ",\n" : "\n");
  }
  json << "]\n";
  return json.str();
}

int Publish(const std::vector<Row>& rows, const std::string& jsonPath) {
  PrintTable(rows);
  if (!jsonPath.empty()) std::ofstream(jsonPath) << RowsJson(rows);
  int missed = 0;
  for (const Row& r : rows) missed += r.Met() ? 0 : 1;
  return missed;
}

std::vector<Row> ReadRows(const std::string& jsonPath) {
  std::vector<Row> rows;
  std::ifstream in(jsonPath);
  for (std::string line; std::getline(in, line);) {
    if (line.find("\"name\"") == std::string::npos) continue;
    Row r;
    r.name = StringField(line, "name");
    r.unit = StringField(line, "unit");
    r.ours = NumberField(line, "ours");
    r.anchor = NumberField(line, "anchor");
    r.anchorName = StringField(line, "anchor_name");
    r.ratio = NumberField(line, "ratio");
    r.budget = NumberField(line, "budget");
    r.better = StringField(line, "better") == "lower" ? Better::kLower : Better::kHigher;
    rows.push_back(r);
  }
  return rows;
}

}  // namespace quibo::bench
