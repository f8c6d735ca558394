// Percent-encoding, code-page conversion and text primitives, each beside an
// anchor measured in the same run: libcurl's escaping, ICU and glibc iconv,
// and std::string_view routines that ignore the character walk.
#include <curl/curl.h>
#include <iconv.h>
#include <unicode/ucnv.h>
#include <valgrind/callgrind.h>

#include <string>
#include <string_view>
#include <vector>

#include "bench/callgrind.h"
#include "bench/corpus.h"
#include "bench/report.h"
#include "text/encodings.h"
#include "text/primitives.h"

namespace quibo::bench {
namespace {

constexpr std::size_t kMessage = 60;
constexpr std::size_t kBuffer = 64 * 1024;
constexpr std::size_t kCorpus = 50 * 1000 * 1000;

const std::string& Gbk(std::size_t size) {
  static std::map<std::size_t, std::string> cache;
  auto& s = cache[size];
  if (s.empty()) s = MixedGbk(size);
  return s;
}
const std::string& Utf8(std::size_t size) {
  static std::map<std::size_t, std::string> cache;
  auto& s = cache[size];
  if (s.empty()) s = GbkToUtf8(Gbk(size));
  return s;
}
const std::string& Escaped(std::size_t size) {
  static std::map<std::size_t, std::string> cache;
  auto& s = cache[size];
  if (s.empty()) s = PercentEncode(Gbk(size));
  return s;
}

void SetBytes(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// ---- percent-encoding --------------------------------------------------
void EncodeOurs(benchmark::State& state) {
  const Text& in = Gbk(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(PercentEncode(in));
  SetBytes(state, in.size());
}
void EncodeCurl(benchmark::State& state) {
  const std::string& in = Gbk(state.range(0));
  for (auto _ : state) {
    char* out = curl_easy_escape(nullptr, in.data(), static_cast<int>(in.size()));
    benchmark::DoNotOptimize(out);
    curl_free(out);
  }
  SetBytes(state, in.size());
}
void DecodeOurs(benchmark::State& state) {
  const Text& in = Escaped(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(PercentDecode(in));
  SetBytes(state, in.size());
}
void DecodeCurl(benchmark::State& state) {
  const std::string& in = Escaped(state.range(0));
  for (auto _ : state) {
    int length = 0;
    char* out = curl_easy_unescape(nullptr, in.data(), static_cast<int>(in.size()), &length);
    benchmark::DoNotOptimize(out);
    curl_free(out);
  }
  SetBytes(state, in.size());
}
BENCHMARK(EncodeOurs)->Arg(kMessage)->Arg(kBuffer);
BENCHMARK(EncodeCurl)->Arg(kMessage)->Arg(kBuffer);
BENCHMARK(DecodeOurs)->Arg(kMessage)->Arg(kBuffer);
BENCHMARK(DecodeCurl)->Arg(kMessage)->Arg(kBuffer);

// ---- code-page conversion ------------------------------------------------
// The anchors convert the same bytes between the same charsets, the way
// their users call them: one reused converter pair, one pass.
struct IcuPair {
  UConverter* from;
  UConverter* to;
  IcuPair(const char* f, const char* t) {
    UErrorCode status = U_ZERO_ERROR;
    from = ucnv_open(f, &status);
    to = ucnv_open(t, &status);
  }
  ~IcuPair() {
    ucnv_close(from);
    ucnv_close(to);
  }
  std::string Convert(const std::string& in, std::string& out) {
    out.resize(in.size() * 2 + 16);
    char* dst = out.data();
    const char* src = in.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_convertEx(to, from, &dst, out.data() + out.size(), &src, in.data() + in.size(), nullptr,
                   nullptr, nullptr, nullptr, true, true, &status);
    out.resize(static_cast<std::size_t>(dst - out.data()));
    return {};
  }
};

struct IconvPair {
  iconv_t cd;
  IconvPair(const char* f, const char* t) : cd(iconv_open(t, f)) {}
  ~IconvPair() { iconv_close(cd); }
  void Convert(const std::string& in, std::string& out) {
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.resize(out.size() - dstLeft);
  }
};

void GbkToUtf8Ours(benchmark::State& state) {
  const Text& in = Gbk(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(GbkToUtf8(in));
  SetBytes(state, in.size());
}
void GbkToUtf8Icu(benchmark::State& state) {
  const std::string& in = Gbk(state.range(0));
  IcuPair icu("GB18030", "UTF-8");
  std::string out;
  for (auto _ : state) {
    std::string fresh;  // ours returns a new value each call; so does the anchor
    icu.Convert(in, fresh);
    benchmark::DoNotOptimize(fresh);
  }
  SetBytes(state, in.size());
}
void GbkToUtf8Iconv(benchmark::State& state) {
  const std::string& in = Gbk(state.range(0));
  IconvPair ic("GB18030", "UTF-8");
  for (auto _ : state) {
    std::string fresh;
    ic.Convert(in, fresh);
    benchmark::DoNotOptimize(fresh);
  }
  SetBytes(state, in.size());
}
void Utf8ToGbkOurs(benchmark::State& state) {
  const Text& in = Utf8(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(Utf8ToGbk(in));
  SetBytes(state, in.size());
}
void Utf8ToGbkIcu(benchmark::State& state) {
  const std::string& in = Utf8(state.range(0));
  IcuPair icu("UTF-8", "GB18030");
  for (auto _ : state) {
    std::string fresh;
    icu.Convert(in, fresh);
    benchmark::DoNotOptimize(fresh);
  }
  SetBytes(state, in.size());
}
void Utf8ToGbkIconv(benchmark::State& state) {
  const std::string& in = Utf8(state.range(0));
  IconvPair ic("UTF-8", "GB18030");
  for (auto _ : state) {
    std::string fresh;
    ic.Convert(in, fresh);
    benchmark::DoNotOptimize(fresh);
  }
  SetBytes(state, in.size());
}
void Utf8BytesToGbkOurs(benchmark::State& state) {
  const std::string& text = Utf8(state.range(0));
  Bytes in(text.begin(), text.end());
  for (auto _ : state) benchmark::DoNotOptimize(Utf8BytesToGbk(in));
  SetBytes(state, in.size());
}
BENCHMARK(GbkToUtf8Ours)->Arg(kMessage)->Arg(kCorpus)->Unit(benchmark::kMicrosecond);
BENCHMARK(GbkToUtf8Icu)->Arg(kMessage)->Arg(kCorpus)->Unit(benchmark::kMicrosecond);
BENCHMARK(GbkToUtf8Iconv)->Arg(kMessage)->Arg(kCorpus)->Unit(benchmark::kMicrosecond);
BENCHMARK(Utf8ToGbkOurs)->Arg(kMessage)->Arg(kCorpus)->Unit(benchmark::kMicrosecond);
BENCHMARK(Utf8ToGbkIcu)->Arg(kMessage)->Arg(kCorpus)->Unit(benchmark::kMicrosecond);
BENCHMARK(Utf8ToGbkIconv)->Arg(kMessage)->Arg(kCorpus)->Unit(benchmark::kMicrosecond);
BENCHMARK(Utf8BytesToGbkOurs)->Arg(kMessage)->Arg(kCorpus)->Unit(benchmark::kMicrosecond);

// ---- text primitives -------------------------------------------------------
constexpr std::string_view kAbsent = "zq#9";
constexpr std::string_view kComma = "\xA3\xAC";

void FindOurs(benchmark::State& state) {
  const Text& in = Gbk(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(FindText(in, kAbsent));
  SetBytes(state, in.size());
}
void FindNaive(benchmark::State& state) {
  std::string_view in = Gbk(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(in.find(kAbsent));
  SetBytes(state, in.size());
}
void SplitOurs(benchmark::State& state) {
  const Text& in = Gbk(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(SplitText(in, kComma));
  SetBytes(state, in.size());
}
void SplitNaive(benchmark::State& state) {
  std::string_view in = Gbk(state.range(0));
  for (auto _ : state) {
    std::vector<std::string> items;
    std::size_t i = 0;
    for (std::size_t hit = in.find(kComma); hit != in.npos; hit = in.find(kComma, i)) {
      items.emplace_back(in.substr(i, hit - i));
      i = hit + kComma.size();
    }
    if (i < in.size()) items.emplace_back(in.substr(i));
    benchmark::DoNotOptimize(items);
  }
  SetBytes(state, in.size());
}
void ReplaceOurs(benchmark::State& state) {
  const Text& in = Gbk(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(ReplaceText(in, "ok", "OK!"));
  SetBytes(state, in.size());
}
void ReplaceNaive(benchmark::State& state) {
  std::string_view in = Gbk(state.range(0));
  for (auto _ : state) {
    std::string out;
    out.reserve(in.size());
    std::size_t i = 0;
    for (std::size_t hit = in.find("ok"); hit != in.npos; hit = in.find("ok", i)) {
      out.append(in.substr(i, hit - i)).append("OK!");
      i = hit + 2;
    }
    out.append(in.substr(i));
    benchmark::DoNotOptimize(out);
  }
  SetBytes(state, in.size());
}
std::string Padded(std::size_t size) {
  return "  \xA1\xA1 " + Gbk(size) + "  \xA1\xA1";
}
void TrimOurs(benchmark::State& state) {
  const Text in = Padded(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(TrimSpaces(in));
  SetBytes(state, in.size());
}
void TrimNaive(benchmark::State& state) {
  const std::string in = Padded(state.range(0));
  for (auto _ : state) {
    std::string_view v = in;
    while (!v.empty() && (v.front() == ' ' || v.substr(0, 2) == "\xA1\xA1")) {
      v.remove_prefix(v.front() == ' ' ? 1 : 2);
    }
    while (!v.empty() &&
           (v.back() == ' ' || (v.size() >= 2 && v.substr(v.size() - 2) == "\xA1\xA1"))) {
      v.remove_suffix(v.back() == ' ' ? 1 : 2);
    }
    benchmark::DoNotOptimize(std::string(v));
  }
  SetBytes(state, in.size());
}
void RemoveOurs(benchmark::State& state) {
  const Text& in = Gbk(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(RemoveSpaces(in));
  SetBytes(state, in.size());
}
void RemoveNaive(benchmark::State& state) {
  std::string_view in = Gbk(state.range(0));
  for (auto _ : state) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
      if (in[i] == ' ') continue;
      if (in[i] == '\xA1' && i + 1 < in.size() && in[i + 1] == '\xA1') {
        ++i;
        continue;
      }
      out.push_back(in[i]);
    }
    benchmark::DoNotOptimize(out);
  }
  SetBytes(state, in.size());
}

constexpr int64_t kSmall = 64 * 1000, kLarge = 16 * 1000 * 1000;
#define TEXT_BENCH(fn) BENCHMARK(fn)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMicrosecond)
TEXT_BENCH(FindOurs);
TEXT_BENCH(FindNaive);
TEXT_BENCH(SplitOurs);
TEXT_BENCH(SplitNaive);
TEXT_BENCH(ReplaceOurs);
TEXT_BENCH(ReplaceNaive);
TEXT_BENCH(TrimOurs);
TEXT_BENCH(TrimNaive);
TEXT_BENCH(RemoveOurs);
TEXT_BENCH(RemoveNaive);

// One run of a primitive on `size` bytes, counted by callgrind from the
// start of the call to its end: instructions do not grow with the cache
// misses that make a 16 MB text dearer per MB in time, so they show what the
// algorithm itself adds with the size.
int CountOnce(std::string_view fn, std::size_t size) {
  const Text padded = fn == "Trim" ? Padded(size) : Text();
  const Text& in = fn == "Trim" ? padded : Gbk(size);
  CALLGRIND_START_INSTRUMENTATION;
  if (fn == "Find") benchmark::DoNotOptimize(FindText(in, kAbsent));
  if (fn == "Split") benchmark::DoNotOptimize(SplitText(in, kComma));
  if (fn == "Replace") benchmark::DoNotOptimize(ReplaceText(in, "ok", "OK!"));
  if (fn == "Trim") benchmark::DoNotOptimize(TrimSpaces(in));
  if (fn == "Remove") benchmark::DoNotOptimize(RemoveSpaces(in));
  CALLGRIND_STOP_INSTRUMENTATION;
  return 0;
}

// Instructions per MB of one run of `fn` on `size` bytes; 0 when callgrind failed.
double InstructionsPerMb(const std::string& fn, std::size_t size) {
  const auto ir = CallgrindInstructions({OwnExecutable(), "--count", fn, std::to_string(size)},
                                        {"--instr-atstart=no"});
  return ir ? static_cast<double>(*ir) / (static_cast<double>(size) / 1e6) : 0;
}

}  // namespace
}  // namespace quibo::bench

int main(int argc, char** argv) {
  using namespace quibo::bench;
  if (argc == 4 && std::string_view(argv[1]) == "--count") {
    return CountOnce(argv[2], std::strtoull(argv[3], nullptr, 10));
  }
  curl_global_init(CURL_GLOBAL_ALL);
  const bool smoke = SmokeRun(argc, argv);
  std::map<std::string, Measured> m = RunAll(argc, argv);
  auto bps = [&](const std::string& name) { return m[name].bytesPerSecond / 1e6; };
  auto ns = [&](const std::string& name) { return m[name].nsPerIteration; };
  std::vector<Row> rows;
  auto higher = [&](std::string name, double ours, double anchor, std::string anchorName,
                    double budget) {
    rows.push_back({name, "MB/s", ours, anchor, anchorName, anchor > 0 ? ours / anchor : 0, budget,
                    Better::kHigher});
  };
  auto lower = [&](std::string name, std::string unit, double ours, double anchor,
                   std::string anchorName, double budget) {
    rows.push_back({name, unit, ours, anchor, anchorName, anchor > 0 ? ours / anchor : 0, budget,
                    Better::kLower});
  };
  const std::string msg = "/" + std::to_string(kMessage), buf = "/" + std::to_string(kBuffer);
  higher("PercentEncode 60 B", bps("EncodeOurs" + msg), bps("EncodeCurl" + msg), "curl_easy_escape",
         8);
  higher("PercentEncode 64 KiB", bps("EncodeOurs" + buf), bps("EncodeCurl" + buf),
         "curl_easy_escape", 8);
  higher("PercentDecode 60 B", bps("DecodeOurs" + msg), bps("DecodeCurl" + msg),
         "curl_easy_unescape", 3);
  higher("PercentDecode 64 KiB", bps("DecodeOurs" + buf), bps("DecodeCurl" + buf),
         "curl_easy_unescape", 3);

  const std::string big = "/" + std::to_string(kCorpus);
  for (const char* op : {"GbkToUtf8", "Utf8ToGbk", "Utf8BytesToGbk"}) {
    std::string o = op;
    std::string anchorOp = o == "Utf8BytesToGbk" ? "Utf8ToGbk" : o;
    double icu = bps(anchorOp + "Icu" + big), ic = bps(anchorOp + "Iconv" + big);
    higher(o + " 50 MB", bps(o + "Ours" + big), std::max(icu, ic),
           icu >= ic ? "ICU ucnv_convertEx" : "glibc iconv", 0.8);
    lower(o + " 60 B message", "ns", ns(o + "Ours" + msg), ns(anchorOp + "Icu" + msg),
          "ICU ucnv_convertEx", 2.0);
  }

  const std::string small = "/" + std::to_string(kSmall), large = "/" + std::to_string(kLarge);
  struct {
    const char* name;
    const char* fn;
    double budget;
  } prims[] = {{"FindText absent", "Find", 3},
               {"SplitText", "Split", 10},
               {"ReplaceText", "Replace", 10},
               {"TrimSpaces", "Trim", 10},
               {"RemoveSpaces", "Remove", 10}};
  for (const auto& p : prims) {
    std::string f = p.fn;
    lower(std::string(p.name) + " 16 MB", "ns", ns(f + "Ours" + large), ns(f + "Naive" + large),
          "string_view", p.budget);
    lower(std::string(p.name) + " per MB, 16 MB vs 64 KB", "Ir/MB",
          InstructionsPerMb(f, smoke ? kSmall : kLarge), InstructionsPerMb(f, kSmall),
          "itself at 64 KB", 1.2);
  }
  int missed = Publish(rows, JsonPathArgument(argc, argv));
  curl_global_cleanup();
  return missed == 0 ? 0 : 1;
}
