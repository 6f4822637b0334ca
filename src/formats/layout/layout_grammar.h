// The layout-script text grammar: one byte-wise pass that turns text into named value lists.
// Shared by the program's reader (CVScript) and the layout compiler, so the compiler checks text
// against exactly the rules the game reads it with. Bytes are not decoded as Shift-JIS: a trail
// byte equal to a special character acts as that character outside value lists.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace v4fmt {

// Limits of the format. Longer input is truncated at the limit (and reported).
inline constexpr int kLayoutMaxDepth = 14;          // depths 0..14
inline constexpr size_t kLayoutMaxLevelName = 254;  // bytes of one level's name
inline constexpr size_t kLayoutMaxFullName = 511;   // bytes of an element's joined name
inline constexpr size_t kLayoutMaxToken = 511;      // bytes of one value token (blanks removed)

struct LayoutNumber {
  float value = 0.0f;
  uint8_t type = 0;  // 1: written with a leading '%' (a reference)
};

struct LayoutElementData {
  std::string name;
  std::vector<LayoutNumber> numbers;
  std::vector<std::string> strings;
  uint32_t line = 0;        // 1-based line of the element's name
  bool bareName = false;    // the name ended at a line break or NUL, not at a blank
  bool emptyValues = true;  // no byte other than blanks before the list ended
};

// What the scanner silently does to text that an author probably did not mean.
enum class LayoutIssue {
  kLevelNameTruncated,
  kFullNameTruncated,
  kTokenTruncated,
  kDepthClamped,        // '{' at depth 14 ignored
  kBlankInString,       // a blank inside quotes (dropped)
  kUnterminatedString,  // no closing quote before the token ended (a comma, "//" or line end)
  kBytesAfterString,    // bytes after the closing quote of a string (ignored)
  kOpenElementAtEnd,    // the text ended inside an element's value list (it is dropped)
};

class LayoutSink {
 public:
  virtual ~LayoutSink() = default;
  virtual void OnElement(LayoutElementData&& element) = 0;
  // A completed bracket name: the joined names of depths 0..depth with the new one.
  virtual void OnBracket(const std::string& fullName, int depth, uint32_t line) {}
  virtual void OnIssue(LayoutIssue issue, uint32_t line) {}
};

// Scans up to size bytes or the first NUL (which is processed as a line end, then the scan stops).
void ScanLayoutText(const uint8_t* bytes, size_t size, LayoutSink& sink);

// The decimal conversion of a token: the longest prefix [+-]? (digits [. digits?] | . digits)
// ([eE] [+-]? digits)?, converted exactly (locale-free) and stored as a float; 0.0 when there is
// no such prefix. Hex, "inf" and "nan" read as 0.
float ParseLayoutNumber(const char* text, size_t length);

// A layout float used as an integer: moved 1.1920929e-07 away from zero and truncated; values
// outside the int range (and NaN) are clamped (NaN gives 0), never undefined.
int32_t LayoutInt(float value);
// Within 1.1920929e-07 of target, bounds included.
bool LayoutNear(float value, float target);

}  // namespace v4fmt
