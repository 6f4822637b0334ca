// Standing-picture definitions ("Data\char\<name>.dat"): one 244-byte record of the body picture,
// its size and anchor, the face picture with its place, and eleven placement offsets. Read plain,
// exactly 244 bytes; the name fields are cut at their first NUL (or at 63 bytes). Definitions are
// cached by name, so a name is read once per run.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace adv {

struct CharDef {
  static constexpr size_t kBytes = 244;
  static constexpr int32_t kPositions = 11;
  std::string body;
  int32_t width = 0, height = 0, anchor = 0;
  std::string face;
  int32_t faceX = 0, faceY = 0, faceW = 0, faceH = 0;
  int32_t offsets[kPositions][2] = {};
};

// Parses one record; false (with a reason) for a wrong size, an empty body name, a negative or
// oversized picture size or face rectangle.
bool ParseCharDef(const uint8_t* data, size_t size, CharDef& out, std::string* why = nullptr);
// The 244 bytes of a definition (tools and tests).
std::vector<uint8_t> EncodeCharDef(const CharDef& def);

// Where a definition's picture stands on the 1280 x 720 screen: x = 640 - anchor, y = 720 -
// height, plus the offset pair of a position 0..10 (other positions add nothing).
void CharPlacement(const CharDef& def, int32_t position, float& x, float& y);

// A name accepted by #CharLoad: non-empty, at most 63 bytes, no path parts ("..", '/', '\', ':').
bool IsCharDefName(const std::string& name);

// At most kMaxEntries definitions are kept; a new name beyond that starts the cache afresh (the
// pointers it handed out before are then no longer valid).
class CharDefCache {
 public:
  static constexpr size_t kMaxEntries = 64;
  // Reads a file's bytes (program-relative name); false when it is missing.
  using Reader = std::function<bool(const std::string& path, std::vector<uint8_t>& out)>;
  explicit CharDefCache(Reader reader) : reader_(std::move(reader)) {}
  // The definition of name, read once ("Data\char\<name>.dat"); null when missing or malformed.
  const CharDef* Get(const std::string& name, std::string* why = nullptr);
  void Clear() { defs_.clear(); }
  size_t Reads() const { return reads_; }
  size_t Size() const { return defs_.size(); }

 private:
  Reader reader_;
  std::map<std::string, CharDef> defs_;
  size_t reads_ = 0;
};

}  // namespace adv
