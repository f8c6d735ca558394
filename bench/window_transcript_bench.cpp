// Transcript growth: what one AppendText of a ~60-byte chat entry costs at
// 0, 10k and 100k entries (callgrind instructions, alone and with a
// synchronous repaint of the transcript), and what each entry keeps resident,
// beside what Qt's own plain text edit keeps for the same text.
//
// The program runs parts of itself ("--child=KIND") on the X server of
// $DISPLAY: under callgrind with instrumentation off while the transcript is
// filled, and on only around the measured batch of appends.
#include <valgrind/callgrind.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/chat.h"
#include "app/controls.h"
#include "app/platform/chat_window.h"
#include "app/platform/display_text.h"
#include "bench/callgrind.h"
#include "bench/report.h"
#include "bench/window_support.h"
#include "tests/support/child_process.h"

namespace quibo::bench {
namespace {

using namespace std::chrono_literals;

// A live window runs its event loop between appends; the fill lets it run
// this often, so queued layout and paint work does not pile up unlike life.
constexpr long kEventsEvery = 500;

// Appends entries 0 .. count-1 through `append`; returns their total bytes.
double Fill(long count, const std::function<void(const Text&)>& append) {
  double bytes = 0;
  for (long n = 0; n < count; ++n) {
    const Text entry = ChatEntry(n);
    bytes += static_cast<double>(entry.size());
    append(entry);
    if ((n + 1) % kEventsEvery == 0) QCoreApplication::processEvents();
  }
  SettleEvents();
  return bytes;
}

void AppendToTranscript(const Text& entry) {
  AppendText(Control::编辑框显示, entry);
}

// Shapes and draws `entries` once in the chat's font, off screen, so that no
// level pays the first use of a character's glyph inside its measured batch.
void DrawOnce(const std::vector<Text>& entries) {
  QImage image(ChatWindow::kClientWidth, ChatWindow::kClientHeight,
               QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  painter.setFont(ChatFont());
  for (const Text& entry : entries) {
    painter.drawText(image.rect(), Qt::TextWordWrap, ToDisplayText(entry));
  }
}

// Prints "memory <resident bytes per entry> <entry bytes>" after `count`
// entries went through `append` into a shown window.
int ReportMemory(QWidget& window, long count, const std::function<void(const Text&)>& append) {
  if (!ShowAndWaitUntilExposed(window)) return 2;
  const long before = ResidentKib();
  const double bytes = Fill(count, append);
  const long after = ResidentKib();
  std::printf("memory %.1f %.1f\n", static_cast<double>(after - before) * 1024.0 / count,
              bytes / count);
  std::fflush(stdout);
  return 0;
}

// One measured part, in a process of its own:
//   append / repaint  fill `entries`, then `batch` appends (each followed by a
//                     synchronous repaint of the transcript) with callgrind on;
//   memory            resident growth per entry of the chat window's transcript;
//   memory-bare       the same for a bare QPlainTextEdit fed the same text.
int RunChild(int argc, char** argv) {
  const std::string kind(TextArgument(argc, argv, "child"));
  const long entries = LongArgument(argc, argv, "entries", 0);
  const long batch = LongArgument(argc, argv, "batch", 1);
  setenv("QT_QPA_PLATFORM", "xcb", 0);
  QApplication app(argc, argv);

  if (kind == "memory-bare") {
    QPlainTextEdit bare;
    bare.setFixedSize(560, 360);
    bare.setFont(ChatFont());
    bare.setReadOnly(true);
    bare.setUndoRedoEnabled(false);
    const int code = ReportMemory(bare, entries, [&bare](const Text& entry) {
      QTextCursor end(bare.document());
      end.movePosition(QTextCursor::End);
      end.insertText(ToDisplayText(entry));
    });
    std::_Exit(code);
  }

  ChatWindow window({.created = &OnWindowCreated, .sendRequested = &OnSendRequested});
  CentreOnScreen(window);
  if (kind == "memory") std::_Exit(ReportMemory(window, entries, &AppendToTranscript));
  if (kind != "append" && kind != "repaint") return 2;
  if (!ShowAndWaitUntilExposed(window)) return 2;
  Fill(entries, &AppendToTranscript);
  std::vector<Text> measured;
  for (long n = entries; n < entries + batch; ++n) measured.push_back(ChatEntry(n));
  DrawOnce(measured);
  const bool repaint = kind == "repaint";
  CALLGRIND_START_INSTRUMENTATION;
  for (const Text& entry : measured) {
    AppendText(Control::编辑框显示, entry);
    if (repaint) window.transcript->repaint();
  }
  CALLGRIND_STOP_INSTRUMENTATION;
  std::printf("appended %ld\n", batch);
  std::fflush(stdout);
  // Tearing the window down is not measured and not needed.
  std::_Exit(0);
}

// Instructions per append of `kind` at `entries`, from a callgrind run.
std::optional<double> InstructionsPerAppend(const std::string& kind, long entries, long batch) {
  const std::optional<std::uint64_t> total = CallgrindInstructions(
      {OwnExecutable(), "--child=" + kind, "--entries=" + std::to_string(entries),
       "--batch=" + std::to_string(batch)},
      {"--instr-atstart=no"});
  if (!total) return std::nullopt;
  const double perAppend = static_cast<double>(*total) / static_cast<double>(batch);
  std::printf("%-8s at %6ld entries: %12.0f instructions per append\n", kind.c_str(), entries,
              perAppend);
  std::fflush(stdout);
  return perAppend;
}

struct Memory {
  double perEntry = 0;    // resident bytes per entry
  double entryBytes = 0;  // GBK bytes per entry
};

std::optional<Memory> MemoryPerEntry(const std::string& kind, long entries) {
  test::ChildProcess child(
      {OwnExecutable(), "--child=" + kind, "--entries=" + std::to_string(entries)});
  const std::optional<std::string> line =
      child.WaitForLine([](const std::string& l) { return l.rfind("memory ", 0) == 0; }, 600s);
  if (!line || child.WaitForExit(60s) != 0) {
    std::fprintf(stderr, "%s run failed:\n%s\n", kind.c_str(), child.Transcript().c_str());
    return std::nullopt;
  }
  Memory memory;
  if (std::sscanf(line->c_str(), "memory %lf %lf", &memory.perEntry, &memory.entryBytes) != 2) {
    return std::nullopt;
  }
  std::printf("%-11s %6ld entries: %8.1f resident bytes per %.1f-byte entry\n", kind.c_str(),
              entries, memory.perEntry, memory.entryBytes);
  std::fflush(stdout);
  return memory;
}

}  // namespace
}  // namespace quibo::bench

int main(int argc, char** argv) {
  using namespace quibo::bench;
  if (!TextArgument(argc, argv, "child").empty()) return RunChild(argc, argv);

  const bool smoke = SmokeRun(argc, argv);
  // A smoke run counts one append of each kind on an empty transcript and
  // fills 20 entries for the memory runs: a few seconds.
  const long levels[3] = {0, 10'000, smoke ? 20 : 100'000};
  const int measuredLevels = smoke ? 1 : 3;
  const long batch = smoke ? 1 : LongArgument(argc, argv, "batch", 200);
  const long repaintBatch = smoke ? 1 : LongArgument(argc, argv, "repaint-batch", 50);

  std::optional<double> append[3], repaint[3];
  for (int i = 0; i < measuredLevels; ++i) {
    append[i] = InstructionsPerAppend("append", levels[i], batch);
    repaint[i] = InstructionsPerAppend("repaint", levels[i], repaintBatch);
    if (!append[i] || !repaint[i]) return 2;
  }
  const std::optional<Memory> ours = MemoryPerEntry("memory", levels[2]);
  const std::optional<Memory> bare = MemoryPerEntry("memory-bare", levels[2]);
  if (!ours || !bare) return 2;
  if (smoke) return 0;

  std::vector<Row> rows;
  auto lower = [&](std::string name, std::string unit, double value, double anchor,
                   std::string anchorName, double budget) {
    rows.push_back({std::move(name), std::move(unit), value, anchor, std::move(anchorName),
                    anchor > 0 ? value / anchor : 0, budget, Better::kLower});
  };
  lower("AppendText at 10k entries", "instr", *append[1], *append[0], "itself at 0 entries", 1.2);
  lower("AppendText at 100k entries", "instr", *append[2], *append[0], "itself at 0 entries", 1.2);
  lower("AppendText + repaint at 10k entries", "instr", *repaint[1], *repaint[0],
        "itself at 0 entries", 1.2);
  lower("AppendText + repaint at 100k entries", "instr", *repaint[2], *repaint[0],
        "itself at 0 entries", 1.2);
  lower("Transcript resident bytes per entry", "B", ours->perEntry, ours->entryBytes,
        "the entry's GBK bytes", 16);
  // For reading the row above: Qt's own cost for the same text. No budget.
  rows.push_back({"Bare QPlainTextEdit bytes per entry (info)", "B", bare->perEntry,
                  bare->entryBytes, "the entry's GBK bytes",
                  bare->entryBytes > 0 ? bare->perEntry / bare->entryBytes : 0, 0,
                  Better::kHigher});
  return Publish(rows, JsonPathArgument(argc, argv)) == 0 ? 0 : 1;
}
