#include "robot/arithmetic.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace quibo::robot {
namespace {

enum class TokenKind { kNumber, kOperator, kOpen, kClose, kSoftBreak, kHardBreak };

struct Token {
  TokenKind kind;
  double value = 0;
  char op = 0;
};

constexpr double kLargest = 1e15;
constexpr int kDeepest = 100;

bool IsAsciiLetter(char32_t c) {
  return c >= U'a' && c <= U'z';
}
bool IsDigit(char32_t c) {
  return c >= U'0' && c <= U'9';
}

int ChineseDigit(char32_t c) {
  switch (c) {
    case U'零':
    case U'〇':
      return 0;
    case U'一':
      return 1;
    case U'二':
    case U'两':
      return 2;
    case U'三':
      return 3;
    case U'四':
      return 4;
    case U'五':
      return 5;
    case U'六':
      return 6;
    case U'七':
      return 7;
    case U'八':
      return 8;
    case U'九':
      return 9;
    default:
      return -1;
  }
}

double ChineseUnit(char32_t c) {
  switch (c) {
    case U'十':
      return 10;
    case U'百':
      return 100;
    case U'千':
      return 1000;
    case U'万':
      return 1e4;
    case U'亿':
      return 1e8;
    default:
      return 0;
  }
}

bool IsChineseNumeral(char32_t c) {
  return ChineseDigit(c) >= 0 || ChineseUnit(c) > 0;
}

// 三百零五 -> 305, 十二 -> 12, 两万三千 -> 23000; a run without units reads
// digit by digit (一二三 -> 123).
double ChineseNumber(std::u32string_view run) {
  bool hasUnit = false;
  for (char32_t c : run) hasUnit = hasUnit || ChineseUnit(c) > 0;
  double total = 0;
  if (!hasUnit) {
    for (char32_t c : run) total = total * 10 + ChineseDigit(c);
    return total;
  }
  double section = 0;  // below the current 万 or 亿
  double digit = -1;   // a digit waiting for its unit
  for (char32_t c : run) {
    const int d = ChineseDigit(c);
    const double unit = ChineseUnit(c);
    if (d >= 0) {
      digit = d;
    } else if (unit < 1e4) {
      section += (digit < 0 ? 1 : digit) * unit;
      digit = -1;
    } else {
      total = (total + section + (digit < 0 ? 0 : digit)) * unit;
      section = 0;
      digit = -1;
    }
  }
  return total + section + (digit < 0 ? 0 : digit);
}

std::optional<double> EnglishSmallNumber(std::u32string_view w) {
  static constexpr std::u32string_view kOnes[] = {
      U"zero",     U"one",     U"two",     U"three",     U"four",     U"five",    U"six",
      U"seven",    U"eight",   U"nine",    U"ten",       U"eleven",   U"twelve",  U"thirteen",
      U"fourteen", U"fifteen", U"sixteen", U"seventeen", U"eighteen", U"nineteen"};
  static constexpr std::u32string_view kTens[] = {U"twenty", U"thirty",  U"forty",  U"fifty",
                                                  U"sixty",  U"seventy", U"eighty", U"ninety"};
  for (size_t i = 0; i < std::size(kOnes); ++i) {
    if (w == kOnes[i]) return static_cast<double>(i);
  }
  for (size_t i = 0; i < std::size(kTens); ++i) {
    if (w == kTens[i]) return static_cast<double>(20 + 10 * i);
  }
  return std::nullopt;
}

double EnglishScale(std::u32string_view w) {
  if (w == U"hundred") return 100;
  if (w == U"thousand") return 1e3;
  if (w == U"million") return 1e6;
  return 0;
}

std::u32string_view WordAt(std::u32string_view text, size_t pos) {
  size_t end = pos;
  while (end < text.size() && IsAsciiLetter(text[end])) ++end;
  return text.substr(pos, end - pos);
}

// Reads the English words from `pos`: a number phrase ("twenty one",
// "three hundred and five"), an operator word, or a break. Returns the
// position after what was read.
size_t ReadEnglish(std::u32string_view text, size_t pos, std::vector<Token>& tokens) {
  auto skipBlanks = [&](size_t p) {
    while (p < text.size() && text[p] == U' ') ++p;
    return p;
  };
  std::u32string_view word = WordAt(text, pos);
  size_t next = pos + word.size();
  if (EnglishSmallNumber(word) || EnglishScale(word) > 0) {
    double total = 0;
    double current = 0;
    size_t end = next;
    std::u32string_view w = word;
    for (;;) {
      if (auto small = EnglishSmallNumber(w)) {
        current += *small;
      } else if (const double scale = EnglishScale(w); scale == 100) {
        current = (current == 0 ? 1 : current) * 100;
      } else {
        total += (current == 0 ? 1 : current) * scale;
        current = 0;
      }
      end = pos + w.size();
      size_t p = skipBlanks(end);
      std::u32string_view after = WordAt(text, p);
      if (after == U"and") {
        const size_t q = skipBlanks(p + after.size());
        std::u32string_view third = WordAt(text, q);
        if (!EnglishSmallNumber(third)) break;
        p = q;
        after = third;
      }
      if (after.empty() || (!EnglishSmallNumber(after) && EnglishScale(after) == 0)) break;
      pos = p;
      w = after;
    }
    tokens.push_back({TokenKind::kNumber, total + current});
    return end;
  }
  char op = 0;
  if (word == U"plus") op = '+';
  if (word == U"minus") op = '-';
  if (word == U"times" || word == U"x") op = '*';
  if (word == U"over") op = '/';
  if (word == U"multiplied" || word == U"divided") {
    op = word == U"multiplied" ? '*' : '/';
    const size_t p = skipBlanks(next);
    if (WordAt(text, p) == U"by") next = p + 2;
  }
  tokens.push_back(op != 0 ? Token{TokenKind::kOperator, 0, op} : Token{TokenKind::kHardBreak});
  return next;
}

std::vector<Token> Tokenize(std::u32string_view text) {
  static constexpr struct {
    std::u32string_view word;
    char op;
  } kChineseOperators[] = {{U"加上", '+'}, {U"减去", '-'}, {U"乘以", '*'}, {U"除以", '/'},
                           {U"加", '+'},   {U"减", '-'},   {U"乘", '*'}};
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < text.size()) {
    const char32_t c = text[i];
    if (c == U' ' || c == U'\t') {
      ++i;
    } else if (IsDigit(c) || (c == U'.' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
      double value = 0;
      while (i < text.size() && IsDigit(text[i])) value = value * 10 + (text[i++] - U'0');
      if (i + 1 < text.size() && text[i] == U'.' && IsDigit(text[i + 1])) {
        double scale = 0.1;
        for (++i; i < text.size() && IsDigit(text[i]); ++i, scale /= 10) {
          value += (text[i] - U'0') * scale;
        }
      }
      tokens.push_back({TokenKind::kNumber, value});
    } else if (IsChineseNumeral(c)) {
      const size_t start = i;
      while (i < text.size() && IsChineseNumeral(text[i])) ++i;
      tokens.push_back({TokenKind::kNumber, ChineseNumber(text.substr(start, i - start))});
    } else if (IsAsciiLetter(c)) {
      i = ReadEnglish(text, i, tokens);
    } else if (c == U'+' || c == U'-' || c == U'*' || c == U'/' || c == U'^') {
      tokens.push_back({TokenKind::kOperator, 0, static_cast<char>(c)});
      ++i;
    } else if (c == U'(' || c == U')') {
      tokens.push_back({c == U'(' ? TokenKind::kOpen : TokenKind::kClose});
      ++i;
    } else if (c == U'?' || c == U'=' || c == U'!' || c == U'.' || c == U'。') {
      tokens.push_back({TokenKind::kSoftBreak});
      ++i;
    } else {
      bool matched = false;
      for (const auto& [word, op] : kChineseOperators) {
        if (text.substr(i, word.size()) == word) {
          tokens.push_back({TokenKind::kOperator, 0, op});
          i += word.size();
          matched = true;
          break;
        }
      }
      if (!matched) {
        tokens.push_back({TokenKind::kHardBreak});
        ++i;
      }
    }
  }
  return tokens;
}

// Recursive descent over one stretch of tokens, computing as it goes:
//   sum     := product (("+" | "-") product)*
//   product := unary (("*" | "/") unary)*
//   unary   := ("+" | "-") unary | power
//   power   := primary ("^" unary)?
//   primary := number | "(" sum ")"
class Parser {
 public:
  explicit Parser(const std::vector<Token>& tokens) : tokens_(tokens) {}

  std::optional<Calculation> Run() {
    Calculation out;
    auto value = Sum(out.expression, 0);
    if (!value || pos_ != tokens_.size() || binaryOperators_ == 0) return std::nullopt;
    out.value = *value;
    if (divisionByZero_) {
      out.problem = CalculationProblem::kDivisionByZero;
    } else if (!std::isfinite(*value) || std::fabs(*value) >= kLargest) {
      out.problem = CalculationProblem::kTooLarge;
    }
    return out;
  }

 private:
  bool AtOperator(char op) const {
    return pos_ < tokens_.size() && tokens_[pos_].kind == TokenKind::kOperator &&
           tokens_[pos_].op == op;
  }

  std::optional<double> Sum(std::string& text, int depth) {
    auto value = Product(text, depth);
    while (value && (AtOperator('+') || AtOperator('-'))) {
      const char op = tokens_[pos_++].op;
      ++binaryOperators_;
      text += op == '+' ? " + " : " - ";
      const auto rhs = Product(text, depth);
      if (!rhs) return std::nullopt;
      *value = op == '+' ? *value + *rhs : *value - *rhs;
    }
    return value;
  }

  std::optional<double> Product(std::string& text, int depth) {
    auto value = Unary(text, depth);
    while (value && (AtOperator('*') || AtOperator('/'))) {
      const char op = tokens_[pos_++].op;
      ++binaryOperators_;
      text += op == '*' ? " * " : " / ";
      const auto rhs = Unary(text, depth);
      if (!rhs) return std::nullopt;
      if (op == '/' && *rhs == 0) divisionByZero_ = true;
      *value = op == '*' ? *value * *rhs : (*rhs == 0 ? 0 : *value / *rhs);
    }
    return value;
  }

  std::optional<double> Unary(std::string& text, int depth) {
    if (depth > kDeepest) return std::nullopt;
    if (AtOperator('-') || AtOperator('+')) {
      const char op = tokens_[pos_++].op;
      if (op == '-') text += '-';
      const auto value = Unary(text, depth + 1);
      if (!value) return std::nullopt;
      return op == '-' ? -*value : *value;
    }
    auto value = Primary(text, depth);
    if (value && AtOperator('^')) {
      ++pos_;
      ++binaryOperators_;
      text += " ^ ";
      const auto exponent = Unary(text, depth + 1);
      if (!exponent) return std::nullopt;
      *value = std::pow(*value, *exponent);
    }
    return value;
  }

  std::optional<double> Primary(std::string& text, int depth) {
    if (pos_ >= tokens_.size()) return std::nullopt;
    const Token& t = tokens_[pos_];
    if (t.kind == TokenKind::kNumber) {
      ++pos_;
      text += FormatNumber(t.value);
      return t.value;
    }
    if (t.kind != TokenKind::kOpen) return std::nullopt;
    ++pos_;
    text += '(';
    const auto value = Sum(text, depth + 1);
    if (!value || pos_ >= tokens_.size() || tokens_[pos_].kind != TokenKind::kClose) {
      return std::nullopt;
    }
    ++pos_;
    text += ')';
    return value;
  }

  const std::vector<Token>& tokens_;
  size_t pos_ = 0;
  int binaryOperators_ = 0;
  bool divisionByZero_ = false;
};

bool IsBreak(const Token& t) {
  return t.kind == TokenKind::kSoftBreak || t.kind == TokenKind::kHardBreak;
}

}  // namespace

std::optional<Calculation> FindCalculation(std::u32string_view folded) {
  const std::vector<Token> tokens = Tokenize(folded);
  bool anyHardBreak = false;
  int stretches = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    anyHardBreak = anyHardBreak || tokens[i].kind == TokenKind::kHardBreak;
    if (!IsBreak(tokens[i]) && (i == 0 || IsBreak(tokens[i - 1]))) ++stretches;
  }
  size_t start = 0;
  while (start < tokens.size()) {
    size_t end = start;
    while (end < tokens.size() && !IsBreak(tokens[end])) ++end;
    if (end > start) {
      const std::vector<Token> stretch(tokens.begin() + start, tokens.begin() + end);
      if (auto found = Parser(stretch).Run()) {
        found->wholeMessage = !anyHardBreak && stretches == 1;
        return found;
      }
    }
    start = end + 1;
  }
  return std::nullopt;
}

std::string FormatNumber(double value) {
  char buffer[64];
  if (std::isfinite(value) && std::fabs(value) < kLargest && value == std::floor(value)) {
    std::snprintf(buffer, sizeof buffer, "%.0f", value == 0 ? 0.0 : value);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.10g", value);
  }
  return buffer;
}

}  // namespace quibo::robot
