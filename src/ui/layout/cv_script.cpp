#include "ui/layout/cv_script.h"

#include <algorithm>

#include <string>
#include <vector>

#include "core/file_io.h"
#include "formats/layout/layout_compiler.h"
#include "formats/scramble/scramble.h"
#include "platform/text/log.h"

CVScriptElement::CVScriptElement(v4fmt::LayoutElementData&& data)
    : name_(std::move(data.name)), params_(std::move(data.numbers)), strings_(std::move(data.strings)) {}

float CVScriptElement::GetParam(int index, float def, uint8_t* type, uint8_t* found) const {
  if (index < 0 || static_cast<size_t>(index) >= params_.size()) {
    if (found) *found = 0;
    return def;
  }
  if (found) *found = 1;
  if (type) *type = params_[index].type;
  return params_[index].value;
}

const char* CVScriptElement::GetString(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= strings_.size()) return nullptr;
  return strings_[index].c_str();
}

namespace {

class ScriptSink : public v4fmt::LayoutSink {
 public:
  explicit ScriptSink(CVScript& script) : script_(script) {}
  void OnElement(v4fmt::LayoutElementData&& element) override {
    script_.AddElement(CVScriptElement(std::move(element)));
  }
  void OnIssue(v4fmt::LayoutIssue issue, uint32_t line) override {
    switch (issue) {
      case v4fmt::LayoutIssue::kLevelNameTruncated:
      case v4fmt::LayoutIssue::kFullNameTruncated:
      case v4fmt::LayoutIssue::kTokenTruncated:
      case v4fmt::LayoutIssue::kDepthClamped:
        if (!limited) firstLine = line;
        limited = true;
        break;
      default:
        break;
    }
  }
  bool limited = false;
  uint32_t firstLine = 0;

 private:
  CVScript& script_;
};

}  // namespace

int UnclosedLayoutBlocks(std::string_view cp932) {
  int depth = 0;
  size_t i = 0;
  const auto skipTo = [&](char end) {
    while (i < cp932.size() && cp932[i] != end && cp932[i] != '\n') ++i;
  };
  for (; i < cp932.size(); ++i) {
    const char c = cp932[i];
    if (c == ':' || (c == '/' && i + 1 < cp932.size() && cp932[i + 1] == '/')) {
      skipTo('\n');  // an element's values or a comment run to the line end
    } else if (c == '[') {
      skipTo(']');
    } else if (c == '{') {
      ++depth;
    } else if (c == '}' && depth > 0) {
      --depth;
    }
  }
  return depth;
}

std::string LayoutTextProblem(const std::string& cp932) {
  std::vector<std::string> errors;
  if (cp932.find('\0') != std::string::npos) return "not layout text (damaged or scrambled with another key)";
  if (!v4fmt::CheckLayoutText(cp932, errors) && !errors.empty()) return errors.front();
  // Every line of a layout ends with its line break; a file ending mid-line was cut short.
  if (!cp932.empty() && cp932.back() != '\n') return "ends in the middle of a line: cut short?";
  // Every block a layout opens it closes again; a file ending inside one was cut short.
  if (UnclosedLayoutBlocks(cp932) != 0) return "ends inside an open block: cut short?";
  return {};
}

bool CVScript::Load(const char* fileName) {
  uint8_t* bytes = nullptr;
  const int32_t size = ReadAllBytesDescrambled(FixedPath(fileName), &bytes, v4fmt::kScrambleSeedCommon);
  if (size < 0) {
    plat::Log("layout", "%s cannot be read", fileName);
    return false;
  }
  Clear();
  // The reader takes any bytes; what is not layout text is said, so a damaged file is not silent.
  const std::string text(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
  const std::string problem = LayoutTextProblem(text);
  if (!problem.empty()) plat::Log("layout", "%s: %s", fileName, problem.c_str());
  Parse(bytes, static_cast<size_t>(size), fileName);
  FreeFileBuffer(bytes);
  if (elements_.empty()) plat::Log("layout", "%s holds no layout element", fileName);
  return true;
}

int CVScript::Parse(const uint8_t* bytes, size_t size, const char* nameForLog) {
  if (!bytes) return 0;
  ScriptSink sink(*this);
  v4fmt::ScanLayoutText(bytes, size, sink);
  truncated_ = sink.limited;
  if (sink.limited) {
    plat::Log("layout", "%s: a name, value or nesting beyond the format's limits was cut (first at line %u)",
              nameForLog ? nameForLog : "(layout)", static_cast<unsigned>(sink.firstLine));
  }
  return 1;
}

void CVScript::Clear() {
  elements_.clear();
  first_.clear();
  truncated_ = false;
}

void CVScript::AddElement(CVScriptElement element) {
  first_.emplace(element.GetName(), elements_.size());
  elements_.push_back(std::move(element));
}

const CVScriptElement* CVScript::Find(const char* name) const {
  if (!name) return nullptr;
  auto it = first_.find(name);
  return it == first_.end() ? nullptr : &elements_[it->second];
}

const CVScriptElement* FindScriptElement(const CVScript& script, const char* name) { return script.Find(name); }

float GetScriptParam(const CVScript& script, const char* name, int index, float def, uint8_t* type, uint8_t* found) {
  const CVScriptElement* e = script.Find(name);
  if (!e) {
    if (found) *found = 0;
    return def;
  }
  return e->GetParam(index, def, type, found);
}

const char* GetScriptString(const CVScript& script, const char* name, int index) {
  const CVScriptElement* e = script.Find(name);
  return e ? e->GetString(index) : nullptr;
}
