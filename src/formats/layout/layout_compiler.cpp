#include "formats/layout/layout_compiler.h"

#include <set>

#include "formats/layout/layout_grammar.h"
#include "formats/scramble/scramble.h"
#include "platform/text/cp932.h"

namespace v4fmt {

namespace {

std::string At(uint32_t line, const std::string& what) { return "line " + std::to_string(line) + ": " + what; }

bool IsAscii(const std::string& s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

// "Root#<digits>" as the last piece of a joined name.
bool IsRootNode(const std::string& fullName) {
  const size_t slash = fullName.rfind('/');
  const std::string piece = slash == std::string::npos ? fullName : fullName.substr(slash + 1);
  if (piece.size() < 6 || piece.compare(0, 5, "Root#") != 0) return false;
  for (size_t i = 5; i < piece.size(); ++i) {
    if (piece[i] < '0' || piece[i] > '9') return false;
  }
  return true;
}

class CheckSink : public LayoutSink {
 public:
  explicit CheckSink(std::vector<std::string>& errors) : errors_(errors) {}

  void OnElement(LayoutElementData&& e) override {
    if (e.bareName || e.emptyValues)
      errors_.push_back(At(e.line, "element \"" + e.name + "\" has no value on its line"));
    if (!IsAscii(e.name)) errors_.push_back(At(e.line, "element name \"" + e.name + "\" must be ASCII"));
    names_.insert(e.name);
  }
  void OnBracket(const std::string& fullName, int depth, uint32_t line) override {
    if (!IsAscii(fullName)) errors_.push_back(At(line, "node name \"" + fullName + "\" must be ASCII"));
    if (IsRootNode(fullName)) roots_.push_back({fullName, line});
  }
  void OnIssue(LayoutIssue issue, uint32_t line) override {
    switch (issue) {
      case LayoutIssue::kLevelNameTruncated:
        Once(line, "a name is longer than 254 bytes");
        break;
      case LayoutIssue::kFullNameTruncated:
        Once(line, "an element's full name is longer than 511 bytes");
        break;
      case LayoutIssue::kTokenTruncated:
        Once(line, "a value is longer than 511 bytes");
        break;
      case LayoutIssue::kDepthClamped:
        Once(line, "nesting deeper than 14 levels");
        break;
      case LayoutIssue::kBlankInString:
        Once(line, "a string holds a blank (blanks are dropped)");
        break;
      case LayoutIssue::kUnterminatedString:
        Once(line, "a string has no closing quote (a comma, \"//\" or the line end cut it)");
        break;
      case LayoutIssue::kBytesAfterString:
        Once(line, "bytes after a string's closing quote (they are ignored)");
        break;
      case LayoutIssue::kOpenElementAtEnd:
        Once(line, "the last element has no line break after it");
        break;
    }
  }
  void Finish() {
    for (const auto& [name, line] : roots_) {
      if (!names_.count(name + "/pos"))
        errors_.push_back(At(line, "node \"" + name + "\" has no :pos element (it would build nothing)"));
    }
  }

 private:
  void Once(uint32_t line, const std::string& what) {
    const std::string msg = At(line, what);
    if (errors_.empty() || errors_.back() != msg) errors_.push_back(msg);
  }
  std::vector<std::string>& errors_;
  std::set<std::string> names_;
  std::vector<std::pair<std::string, uint32_t>> roots_;
};

}  // namespace

bool NormalizeLayoutText(std::string_view utf8, std::string& cp932, std::vector<std::string>& errors) {
  cp932.clear();
  if (utf8.size() >= 3 && utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  // Split into lines at CRLF, CR or LF.
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r' || utf8[i] == '\n') {
      lines.push_back(utf8.substr(start, i - start));
      if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < utf8.size()) lines.push_back(utf8.substr(start));
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  const size_t before = errors.size();
  for (size_t n = 0; n < lines.size(); ++n) {
    const uint32_t line = static_cast<uint32_t>(n + 1);
    if (lines[n].find('\0') != std::string_view::npos) errors.push_back(At(line, "NUL byte"));
    std::string converted;
    if (!plat::Utf8ToCp932Strict(lines[n], converted)) {
      errors.push_back(At(line, "text that CP932 cannot hold (or not UTF-8)"));
      continue;
    }
    cp932 += converted;
    cp932 += "\r\n";
  }
  return errors.size() == before;
}

bool CheckLayoutText(const std::string& cp932, std::vector<std::string>& errors) {
  const size_t before = errors.size();
  CheckSink sink(errors);
  ScanLayoutText(reinterpret_cast<const uint8_t*>(cp932.data()), cp932.size(), sink);
  sink.Finish();
  return errors.size() == before;
}

bool CompileLayout(std::string_view utf8, std::vector<uint8_t>& out, std::vector<std::string>& errors) {
  out.clear();
  std::string text;
  if (!NormalizeLayoutText(utf8, text, errors)) return false;
  if (!CheckLayoutText(text, errors)) return false;
  out.assign(text.begin(), text.end());
  ScrambleInPlace(out.data(), out.size(), kScrambleSeedCommon);
  return true;
}

}  // namespace v4fmt
