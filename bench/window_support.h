// What the window benchmarks share: the transcript entries they append, the
// arguments they take, and waiting for a window and reading memory.
#pragma once

#include <string_view>

#include "text/types.h"

class QWidget;

namespace quibo::bench {

// The n-th transcript entry as the chat writes it, in GBK: the user's label
// for even n, the robot's for odd n, 25 varied Chinese characters and the
// closing line break; 60 or 61 bytes.
[[nodiscard]] Text ChatEntry(long n);

// A message of about 20 bytes for the n-th exchange, in GBK.
[[nodiscard]] Text ExchangeMessage(long n);

// Shows `window` and runs the event loop until the X server has exposed it
// and its first paint is done; false when that does not happen in a minute.
[[nodiscard]] bool ShowAndWaitUntilExposed(QWidget& window);

// Runs the UI thread's pending events, and those they post, a few times over.
void SettleEvents();

// This process's resident set now, in KiB (/proc/self/statm).
[[nodiscard]] long ResidentKib();

// The value of "--name=VALUE" among the arguments: text, or a number
// (`fallback` when absent or not a number).
[[nodiscard]] std::string_view TextArgument(int argc, char** argv, std::string_view name);
[[nodiscard]] long LongArgument(int argc, char** argv, std::string_view name, long fallback);

}  // namespace quibo::bench
