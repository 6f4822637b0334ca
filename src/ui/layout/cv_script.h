// CVScript: a parsed layout script, a flat list of named elements, each with its numbers and its
// strings (counted separately). Lookups see the first element of a name. Names, tokens and depths
// beyond the format's limits are truncated at the limit with one log line per file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/layout/layout_grammar.h"

using CVScriptParam = v4fmt::LayoutNumber;

class CVScriptElement {
 public:
  CVScriptElement() = default;
  explicit CVScriptElement(v4fmt::LayoutElementData&& data);

  void SetName(const char* text) { name_ = text ? text : ""; }
  const std::string& GetName() const { return name_; }
  void AddParam(float value, uint8_t type) { params_.push_back({value, type}); }
  void AddString(const char* text) { strings_.emplace_back(text ? text : ""); }

  // The index-th number; the default when missing. *found := 1/0 when given; *type := the
  // number's type only when the number exists.
  float GetParam(int index, float def, uint8_t* type = nullptr, uint8_t* found = nullptr) const;
  // The index-th string, null when missing.
  const char* GetString(int index) const;
  size_t ParamCount() const { return params_.size(); }
  size_t StringCount() const { return strings_.size(); }

 private:
  std::string name_;
  std::vector<CVScriptParam> params_;
  std::vector<std::string> strings_;
};

class CVScript {
 public:
  // Reads and descrambles the file through the game file reader, then parses it. False (and the
  // current elements kept) when the file cannot be read; true whatever the text held.
  bool Load(const char* fileName);
  // 0 for null bytes, else 1. Elements are appended to the current ones.
  int Parse(const uint8_t* bytes, size_t size, const char* nameForLog = nullptr);
  void Clear();
  void AddElement(CVScriptElement element);

  const CVScriptElement* Find(const char* name) const;
  const std::vector<CVScriptElement>& Elements() const { return elements_; }
  size_t Count() const { return elements_.size(); }
  // Whether the last Parse truncated a name or token or clamped a depth.
  bool Truncated() const { return truncated_; }

 private:
  std::vector<CVScriptElement> elements_;
  std::unordered_map<std::string, size_t> first_;  // name -> index of its first element
  bool truncated_ = false;
};

// Blocks a layout text opens and never closes. Braces count only where the grammar reads them (not
// inside an element's values, a bracket name or a comment): a CP932 trail byte may be '{' or '}'.
int UnclosedLayoutBlocks(std::string_view cp932);
// Why descrambled layout text is not a whole layout, as the game's loader judges it (not text, a
// line the grammar refuses, cut short mid-line or inside a block); empty when it is sound. The data
// tool gives the same verdict.
std::string LayoutTextProblem(const std::string& cp932);

const CVScriptElement* FindScriptElement(const CVScript& script, const char* name);
float GetScriptParam(const CVScript& script, const char* name, int index, float def, uint8_t* type = nullptr,
                     uint8_t* found = nullptr);
const char* GetScriptString(const CVScript& script, const char* name, int index);
