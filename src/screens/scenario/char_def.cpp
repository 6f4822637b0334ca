#include "screens/scenario/char_def.h"

#include <cstring>

namespace adv {

namespace {
int32_t I32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}
void Put(std::vector<uint8_t>& b, size_t at, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(u >> (8 * i));
}
std::string Field(const uint8_t* p) {
  size_t n = 0;
  while (n < 63 && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}
bool Fail(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}
constexpr int32_t kMaxSide = 4096;
}  // namespace

bool ParseCharDef(const uint8_t* d, size_t size, CharDef& out, std::string* why) {
  if (!d || size != CharDef::kBytes) return Fail(why, "not a 244-byte definition");
  CharDef def;
  def.body = Field(d);
  def.width = I32(d + 64);
  def.height = I32(d + 68);
  def.anchor = I32(d + 72);
  def.face = Field(d + 76);
  def.faceX = I32(d + 140);
  def.faceY = I32(d + 144);
  def.faceW = I32(d + 148);
  def.faceH = I32(d + 152);
  for (int i = 0; i < CharDef::kPositions; ++i) {
    def.offsets[i][0] = I32(d + 156 + 8 * i);
    def.offsets[i][1] = I32(d + 160 + 8 * i);
  }
  if (def.body.empty()) return Fail(why, "no body picture");
  if (def.width <= 0 || def.height <= 0 || def.width > kMaxSide || def.height > kMaxSide)
    return Fail(why, "picture size out of range");
  if (def.anchor < -kMaxSide || def.anchor > kMaxSide) return Fail(why, "anchor out of range");
  if (!def.face.empty() && (def.faceW <= 0 || def.faceH <= 0 || def.faceX < 0 || def.faceY < 0 ||
                            def.faceX + def.faceW > def.width || def.faceY + def.faceH > def.height))
    return Fail(why, "face rectangle outside the picture");
  for (const auto& o : def.offsets)
    if (o[0] < -kMaxSide || o[0] > kMaxSide || o[1] < -kMaxSide || o[1] > kMaxSide)
      return Fail(why, "placement offset out of range");
  out = std::move(def);
  return true;
}

std::vector<uint8_t> EncodeCharDef(const CharDef& def) {
  std::vector<uint8_t> b(CharDef::kBytes, 0);
  std::memcpy(b.data(), def.body.data(), std::min<size_t>(def.body.size(), 63));
  Put(b, 64, def.width);
  Put(b, 68, def.height);
  Put(b, 72, def.anchor);
  std::memcpy(b.data() + 76, def.face.data(), std::min<size_t>(def.face.size(), 63));
  Put(b, 140, def.faceX);
  Put(b, 144, def.faceY);
  Put(b, 148, def.faceW);
  Put(b, 152, def.faceH);
  for (int i = 0; i < CharDef::kPositions; ++i) {
    Put(b, 156 + 8 * i, def.offsets[i][0]);
    Put(b, 160 + 8 * i, def.offsets[i][1]);
  }
  return b;
}

void CharPlacement(const CharDef& def, int32_t position, float& x, float& y) {
  x = static_cast<float>(640 - def.anchor);
  y = static_cast<float>(720 - def.height);
  if (position >= 0 && position < CharDef::kPositions) {
    x += static_cast<float>(def.offsets[position][0]);
    y += static_cast<float>(def.offsets[position][1]);
  }
}

bool IsCharDefName(const std::string& name) {
  if (name.empty() || name.size() > 63) return false;
  if (name.find("..") != std::string::npos) return false;
  return name.find_first_of("/\\:") == std::string::npos;
}

const CharDef* CharDefCache::Get(const std::string& name, std::string* why) {
  auto it = defs_.find(name);
  if (it != defs_.end()) return &it->second;
  if (!IsCharDefName(name)) {
    if (why) *why = "bad definition name";
    return nullptr;
  }
  std::vector<uint8_t> bytes;
  ++reads_;
  if (!reader_ || !reader_("Data\\char\\" + name + ".dat", bytes)) {
    if (why) *why = "missing";
    return nullptr;
  }
  CharDef def;
  if (!ParseCharDef(bytes.data(), bytes.size(), def, why)) return nullptr;
  if (defs_.size() >= kMaxEntries) defs_.clear();
  return &defs_.emplace(name, std::move(def)).first->second;
}

}  // namespace adv
