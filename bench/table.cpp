// bench_table: the rows of every benchmark program as one table.
//   bench_table --date=D --machine=M --json=OUT.json --markdown=OUT.md IN.json...
// Prints the table, writes it as JSON (date, machine, rows) and as a
// Markdown table for the README; exits 1 when a row missed its budget.
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/report.h"

namespace {

std::string Option(int argc, char** argv, std::string_view name) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] == '=')
      return std::string(arg.substr(name.size() + 1));
  }
  return {};
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, value >= 100 ? "%.0f" : "%.2f", value);
  return text;
}

std::string Markdown(const std::vector<quibo::bench::Row>& rows) {
  std::string md =
      "| measure | ours | anchor | anchor is | ratio | budget | |\n"
      "|---|---:|---:|---|---:|---:|---|\n";
  for (const auto& r : rows) {
    md += "| " + r.name + " | " + Number(r.ours) + " " + r.unit + " | " + Number(r.anchor) + " " +
          r.unit + " | " + r.anchorName + " | " + Number(r.ratio) + " | " +
          (r.better == quibo::bench::Better::kHigher ? "≥ " : "≤ ") + Number(r.budget) + " | " +
          (r.Met() ? "met" : "**missed**") + " |\n";
  }
  return md;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quibo::bench;
  std::vector<Row> rows;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') continue;
    std::vector<Row> more = ReadRows(argv[i]);
    if (more.empty()) std::fprintf(stderr, "bench_table: no rows in %s\n", argv[i]);
    rows.insert(rows.end(), more.begin(), more.end());
  }
  const std::string date = Option(argc, argv, "--date"), machine = Option(argc, argv, "--machine");
  std::printf("\nquibo benchmarks, %s, %s\n", date.c_str(), machine.c_str());
  PrintTable(rows);
  int missed = 0;
  for (const Row& r : rows) missed += r.Met() ? 0 : 1;
  std::printf("\n%zu rows, %d missed\n", rows.size(), missed);

  auto quoted = [](const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    return out + "\"";
  };
  if (const std::string json = Option(argc, argv, "--json"); !json.empty()) {
    std::ofstream(json) << "{\"date\": " << quoted(date) << ", \"machine\": " << quoted(machine)
                        << ", \"rows\": " << RowsJson(rows) << "}\n";
  }
  if (const std::string md = Option(argc, argv, "--markdown"); !md.empty()) {
    std::ofstream(md) << Markdown(rows);
  }
  return missed == 0 ? 0 : 1;
}
