#include "robot/arithmetic.h"

#include <gtest/gtest.h>

#include "robot/utf8.h"

namespace quibo::robot {
namespace {

std::optional<Calculation> Find(std::string_view utf8) {
  return FindCalculation(FoldForMatching(DecodeUtf8(utf8).chars));
}

TEST(FindCalculation, WorksOutSymbolsAndWordsInBothLanguages) {
  const struct {
    const char* message;
    const char* expression;
    const char* result;
    bool wholeMessage;
  } cases[] = {
      {"3*(4+5)等于几", "3 * (4 + 5)", "27", false},
      {"what is 12 / 4", "12 / 4", "3", false},
      {"2+2", "2 + 2", "4", true},
      {"2+2=?", "2 + 2", "4", true},
      {"1 + 2 * 3", "1 + 2 * 3", "7", true},
      {"(1 + 2) * 3", "(1 + 2) * 3", "9", true},
      {"10 - 4 - 3", "10 - 4 - 3", "3", true},
      {"2^10", "2 ^ 10", "1024", true},
      {"-3 + 5", "-3 + 5", "2", true},
      {"7/2", "7 / 2", "3.5", true},
      {"0.1+0.2", "0.1 + 0.2", "0.3", true},
      {"1/3", "1 / 3", "0.3333333333", true},
      {"３×４", "3 * 4", "12", true},
      {"８÷２", "8 / 2", "4", true},
      {"3x4", "3 * 4", "12", true},
      {"what is twelve divided by four", "12 / 4", "3", false},
      {"seven times six", "7 * 6", "42", true},
      {"one hundred and five minus five", "105 - 5", "100", true},
      {"twenty one plus two thousand", "21 + 2000", "2021", true},
      {"三加五等于多少", "3 + 5", "8", false},
      {"一百二十乘以三", "120 * 3", "360", true},
      {"十二除以四", "12 / 4", "3", true},
      {"两万三千零五减去五", "23005 - 5", "23000", true},
      {"请问 100 减去 1 是多少", "100 - 1", "99", false},
  };
  for (const auto& c : cases) {
    const auto got = Find(c.message);
    ASSERT_TRUE(got.has_value()) << c.message;
    EXPECT_EQ(got->expression, c.expression) << c.message;
    EXPECT_EQ(got->problem, CalculationProblem::kNone) << c.message;
    EXPECT_EQ(FormatNumber(got->value), c.result) << c.message;
    EXPECT_EQ(got->wholeMessage, c.wholeMessage) << c.message;
  }
}

TEST(FindCalculation, NamesWhatCannotBeComputed) {
  const struct {
    const char* message;
    CalculationProblem problem;
  } cases[] = {
      {"1/0", CalculationProblem::kDivisionByZero},
      {"5 / (3 - 3)", CalculationProblem::kDivisionByZero},
      {"10^400", CalculationProblem::kTooLarge},
      {"99999999 * 99999999", CalculationProblem::kTooLarge},
  };
  for (const auto& c : cases) {
    const auto got = Find(c.message);
    ASSERT_TRUE(got.has_value()) << c.message;
    EXPECT_EQ(got->problem, c.problem) << c.message;
  }
}

TEST(FindCalculation, FindsNothingWithoutACompleteExpression) {
  for (const char* message : {"", "hello", "42", "我有3个苹果", "3+", "(1+2", "1+2)", "* 3",
                              "one of them", "现在几点", "+-", "3 4"}) {
    EXPECT_FALSE(Find(message).has_value()) << message;
  }
}

TEST(FindCalculation, SurvivesDeepNestingWithoutRunningOutOfStack) {
  const std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')') + "+1";
  EXPECT_FALSE(Find(deep).has_value());
  const std::string minuses = std::string(100000, '-') + "1+1";
  EXPECT_FALSE(Find(minuses).has_value());
  const std::string shallow = std::string(50, '(') + "1" + std::string(50, ')') + "+1";
  ASSERT_TRUE(Find(shallow).has_value());
  EXPECT_EQ(Find(shallow)->value, 2);
}

TEST(FormatNumber, WholeNumbersWithoutPointAndNoNegativeZero) {
  const struct {
    double value;
    const char* text;
  } cases[] = {{27, "27"}, {-4, "-4"}, {-0.0, "0"}, {2.5, "2.5"}, {1e14, "100000000000000"}};
  for (const auto& c : cases) EXPECT_EQ(FormatNumber(c.value), c.text) << c.value;
}

}  // namespace
}  // namespace quibo::robot
