// Text substitution tables: double-byte character code replacement (scodeDef.bin) and the short
// line strings (lineDef.bin). Plain logic over bytes; the callers read the files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>

constexpr size_t kScodeDefRecords = 300;
constexpr size_t kScodeDefBytes = kScodeDefRecords * 8;
constexpr size_t kLineDefRecords = 50;
constexpr size_t kLineDefRecordBytes = 10;
constexpr size_t kLineDefBytes = kLineDefRecords * kLineDefRecordBytes;

// Source code -> replacement code; a code is lead byte * 256 + trail byte.
class CodeSubstTable {
 public:
  uint16_t Lookup(uint16_t code) const;
  void Clear() { map_.clear(); }
  // Keeps the first pair of a source code.
  void Insert(uint16_t from, uint16_t to) { map_.emplace(from, to); }
  size_t Size() const { return map_.size(); }

 private:
  std::map<uint16_t, uint16_t> map_;
};

using LineDefTable = std::set<std::string>;

// Fills the table from the file's bytes (null/0 = no file): a short file reads as zero-filled,
// a longer one is cut at 300 records.
void ParseCodeSubstTable(CodeSubstTable& table, const uint8_t* data, size_t size);
void ParseLineDefTable(LineDefTable& set, const uint8_t* data, size_t size);

// Replaces the double-byte characters of a text in place, within its first fieldSize bytes and
// before its terminator. A lead byte without a trail byte inside the text is left alone, so the
// terminator and the bytes after the field are never written.
void SubstituteSjisCodes(const CodeSubstTable& table, char* text, size_t fieldSize);
