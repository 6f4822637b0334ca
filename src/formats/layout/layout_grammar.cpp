#include "formats/layout/layout_grammar.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace v4fmt {

namespace {

constexpr float kNudge = 1.1920929e-07f;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

enum class State { kOutside, kComment, kBracket, kElementName, kValues };

class Scanner {
 public:
  explicit Scanner(LayoutSink& sink) : sink_(sink) {}

  void Run(const uint8_t* bytes, size_t size) {
    if (!bytes) return;
    for (size_t i = 0; i < size; ++i) {
      const char c = static_cast<char>(bytes[i]);
      Step(c);
      prev_ = c;
      if (c == '\n') ++line_;
      if (c == '\0') break;
    }
    if (state_ == State::kValues) sink_.OnIssue(LayoutIssue::kOpenElementAtEnd, element_.line);
  }

 private:
  static bool IsLineEnd(char c) { return c == '\r' || c == '\n' || c == '\0'; }
  static bool IsBlank(char c) { return c == ' ' || c == '\t'; }

  void Step(char c) {
    switch (state_) {
      case State::kOutside:
        if (c == '/' && prev_ == '/') {
          state_ = State::kComment;
        } else if (c == '[') {
          names_[depth_].clear();
          state_ = State::kBracket;
        } else if (c == ':') {
          names_[depth_].clear();
          element_ = LayoutElementData{};
          element_.line = line_;
          state_ = State::kElementName;
        } else if (c == '{') {
          if (depth_ < kLayoutMaxDepth) {
            ++depth_;
          } else {
            sink_.OnIssue(LayoutIssue::kDepthClamped, line_);
          }
        } else if (c == '}') {
          if (depth_ > 0) --depth_;
        }
        break;
      case State::kComment:
        if (IsLineEnd(c)) state_ = State::kOutside;
        break;
      case State::kBracket:
        if (c == ']') {
          sink_.OnBracket(JoinedName(), depth_, line_);
          state_ = State::kOutside;
        } else {
          AppendName(c);
        }
        break;
      case State::kElementName:
        if (IsBlank(c) || IsLineEnd(c)) {
          element_.name = JoinedName();
          element_.bareName = IsLineEnd(c);
          token_.clear();
          quoteClosed_ = false;
          lastWasSlash_ = false;
          valueBytes_ = 0;
          state_ = State::kValues;
        } else {
          AppendName(c);
        }
        break;
      case State::kValues:
        StepValue(c);
        break;
    }
  }

  void StepValue(char c) {
    if (c == '/' && prev_ == '/') {
      if (lastWasSlash_) {
        token_.pop_back();
        --valueBytes_;
      }
      EndToken();
      element_.emptyValues = valueBytes_ == 0;
      sink_.OnElement(std::move(element_));
      state_ = State::kComment;
      return;
    }
    if (IsLineEnd(c)) {
      EndToken();
      element_.emptyValues = valueBytes_ == 0;
      sink_.OnElement(std::move(element_));
      state_ = State::kOutside;
      return;
    }
    if (c == ',') {
      ++valueBytes_;
      EndToken();
      return;
    }
    if (IsBlank(c)) {
      if (!token_.empty() && token_[0] == '"' && !quoteClosed_) sink_.OnIssue(LayoutIssue::kBlankInString, line_);
      return;
    }
    ++valueBytes_;
    if (token_.size() >= kLayoutMaxToken) {
      if (!tokenTruncated_) sink_.OnIssue(LayoutIssue::kTokenTruncated, line_);
      tokenTruncated_ = true;
      lastWasSlash_ = false;
      return;
    }
    if (c == '"' && !token_.empty() && token_[0] == '"') quoteClosed_ = true;
    token_.push_back(c);
    lastWasSlash_ = (c == '/');
  }

  void EndToken() {
    if (!token_.empty() && token_[0] == '"') {
      const size_t close = token_.find('"', 1);
      if (close == std::string::npos) {
        sink_.OnIssue(LayoutIssue::kUnterminatedString, line_);
        element_.strings.push_back(token_.substr(1));
      } else {
        if (close + 1 < token_.size()) sink_.OnIssue(LayoutIssue::kBytesAfterString, line_);
        element_.strings.push_back(token_.substr(1, close - 1));
      }
    } else if (!token_.empty() && token_[0] == '%') {
      element_.numbers.push_back({ParseLayoutNumber(token_.data() + 1, token_.size() - 1), 1});
    } else {
      element_.numbers.push_back({ParseLayoutNumber(token_.data(), token_.size()), 0});
    }
    token_.clear();
    quoteClosed_ = false;
    lastWasSlash_ = false;
    tokenTruncated_ = false;
  }

  void AppendName(char c) {
    std::string& name = names_[depth_];
    if (name.size() >= kLayoutMaxLevelName) {
      sink_.OnIssue(LayoutIssue::kLevelNameTruncated, line_);
      return;
    }
    name.push_back(c);
  }

  std::string JoinedName() {
    std::string full;
    for (int d = 0; d <= depth_; ++d) {
      if (d > 0) full.push_back('/');
      full += names_[d];
    }
    if (full.size() > kLayoutMaxFullName) {
      sink_.OnIssue(LayoutIssue::kFullNameTruncated, line_);
      full.resize(kLayoutMaxFullName);
    }
    return full;
  }

  LayoutSink& sink_;
  State state_ = State::kOutside;
  int depth_ = 0;
  std::string names_[kLayoutMaxDepth + 1];
  char prev_ = ' ';
  uint32_t line_ = 1;
  LayoutElementData element_;
  std::string token_;
  bool quoteClosed_ = false;
  bool lastWasSlash_ = false;
  bool tokenTruncated_ = false;
  size_t valueBytes_ = 0;  // commas and bytes taken into tokens (a comment's first slash excepted)
};

}  // namespace

void ScanLayoutText(const uint8_t* bytes, size_t size, LayoutSink& sink) {
  Scanner scanner(sink);
  scanner.Run(bytes, size);
}

float ParseLayoutNumber(const char* text, size_t length) {
  if (!text) return 0.0f;
  size_t i = 0;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const size_t mantissaStart = i;
  size_t intDigits = 0, fracDigits = 0;
  while (i < length && IsDigit(text[i])) ++i, ++intDigits;
  if (i < length && text[i] == '.') {
    size_t j = i + 1;
    while (j < length && IsDigit(text[j])) ++j, ++fracDigits;
    if (intDigits > 0 || fracDigits > 0) i = j;
  }
  if (intDigits == 0 && fracDigits == 0) return 0.0f;
  const size_t mantissaEnd = i;
  // An exponent counts only with at least one digit.
  if (i < length && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < length && (text[j] == '+' || text[j] == '-')) ++j;
    const size_t digits = j;
    while (j < length && IsDigit(text[j])) ++j;
    if (j > digits) i = j;
  }
  // from_chars takes no '+' sign; the exponent's '+' is fine.
  std::string clean(text + mantissaStart, i - mantissaStart);
  double value = 0.0;
  const auto result = std::from_chars(clean.data(), clean.data() + clean.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: decide by the decimal magnitude.
    long exponent = 0;
    const size_t e = clean.find_first_of("eE");
    if (e != std::string::npos) {
      const char* p = clean.c_str() + e + 1;
      bool neg = *p == '-';
      if (*p == '+' || *p == '-') ++p;
      for (; *p; ++p) exponent = exponent > 100000 ? exponent : exponent * 10 + (*p - '0');
      if (neg) exponent = -exponent;
    }
    // Leading significant digit position relative to the point.
    const std::string mant = clean.substr(0, mantissaEnd - mantissaStart);
    long lead = 0;
    const size_t point = mant.find('.');
    const std::string ip = mant.substr(0, point);
    const size_t nz = ip.find_first_not_of('0');
    if (nz != std::string::npos) {
      lead = static_cast<long>(ip.size() - nz);
    } else if (point != std::string::npos) {
      const std::string fp = mant.substr(point + 1);
      const size_t fnz = fp.find_first_not_of('0');
      lead = fnz == std::string::npos ? -100000 : -static_cast<long>(fnz);
    }
    value = (lead + exponent > 0) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  const float f = static_cast<float>(value);
  return negative ? -f : f;
}

int32_t LayoutInt(float value) {
  if (std::isnan(value)) return 0;
  const float nudged = value > 0.0f ? value + kNudge : value - kNudge;
  if (nudged >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
  if (nudged <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(nudged);
}

bool LayoutNear(float value, float target) { return std::fabs(value - target) <= kNudge; }

}  // namespace v4fmt
