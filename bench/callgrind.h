// Instruction counts from valgrind's callgrind: repeatable for the same
// binary and input whatever else the machine is doing, so a benchmark can
// compare them where wall-clock times are too noisy.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quibo::bench {

// Runs `command` (argv, the program by path) under callgrind and returns the
// instructions it executed while collection was on; nothing when valgrind or
// the program fails. `valgrindOptions` go before the program, e.g.
// {"--instr-atstart=no"} for a program that brackets its measured part with
// CALLGRIND_START_INSTRUMENTATION / CALLGRIND_STOP_INSTRUMENTATION.
[[nodiscard]] std::optional<std::uint64_t> CallgrindInstructions(
    const std::vector<std::string>& command, const std::vector<std::string>& valgrindOptions = {});

// The instructions per unit of work, from two runs that differ only in the
// amount of work: (Ir(more) - Ir(fewer)) / (more - fewer), which cancels the
// start-up and set-up both runs share. `command(n)` builds the argv for n units.
[[nodiscard]] std::optional<double> CallgrindInstructionsPerUnit(
    const std::function<std::vector<std::string>(long units)>& command, long fewer, long more,
    const std::vector<std::string>& valgrindOptions = {});

// The path of the program running this code, for benchmarks that run a
// part of themselves under callgrind.
[[nodiscard]] std::string OwnExecutable();

}  // namespace quibo::bench
