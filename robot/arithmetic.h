// Arithmetic found in a chat message, in symbols or in words, English or
// Chinese: "3*(4+5)等于几", "what is twelve divided by four", "三加五".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quibo::robot {

enum class CalculationProblem { kNone, kDivisionByZero, kTooLarge };

struct Calculation {
  std::string expression;  // canonical ASCII form, e.g. "3 * (4 + 5)"
  double value = 0;        // meaningful only without a problem
  CalculationProblem problem = CalculationProblem::kNone;
  // True when nothing but the expression and closing punctuation (? = ! .)
  // is in the message: "2+2" or "2+2=?".
  bool wholeMessage = false;
};

// The first stretch of `folded` (see FoldForMatching) that reads as a complete
// expression with at least one binary operator; nothing when there is none.
// Operators: + - * / ^ and parentheses; plus, minus, times, multiplied by,
// divided by, over, x between numbers; 加(上) 减(去) 乘(以) 除以. Numbers:
// decimals, English number words up to the millions, Chinese numerals.
[[nodiscard]] std::optional<Calculation> FindCalculation(std::u32string_view folded);

// Whole numbers without a decimal point, others with up to 10 significant
// digits: 27 -> "27", 2.5 -> "2.5", 1.0/3 -> "0.3333333333".
[[nodiscard]] std::string FormatNumber(double value);

}  // namespace quibo::robot
