#include "screens/strategy/kuni_pos.h"

#include <cstring>

#include "core/game_file.h"

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The whole file through the archive-aware reader; empty when it is found nowhere.
std::vector<uint8_t> ReadWhole(const char* path) {
  int32_t size = 0;
  uint8_t* data = LoadGameFile(path, &size);
  std::vector<uint8_t> out;
  if (!data) return out;
  out.assign(data, data + size);
  FreeGameFile(data);
  return out;
}

}  // namespace

KuniPosTable::KuniPosTable(int kind) {
  if (kind == kSmallMap) {
    x_ = 13, y_ = 325, w_ = 296, h_ = 130;
  } else {
    x_ = 55, y_ = 109, w_ = 1172, h_ = 482;
  }
}

bool KuniPosTable::LoadKuniPos(const char* path) {
  std::vector<uint8_t> bytes = ReadWhole(path);
  return LoadKuniPosBytes(bytes.data(), bytes.size());
}

bool KuniPosTable::LoadKuniPosBytes(const uint8_t* data, size_t size) {
  const size_t maskBytes = static_cast<size_t>(w_) * static_cast<size_t>(h_);
  if (!data || size <= maskBytes) return false;
  mask_.assign(data, data + maskBytes);
  rects_.clear();
  for (size_t off = maskBytes; off + 10 <= size; off += 10) {
    const uint8_t key = data[off];
    Rect r{Le16(data + off + 2), Le16(data + off + 4), Le16(data + off + 6), Le16(data + off + 8)};
    rects_.emplace(key, r);  // the first record of an id stays
  }
  return true;
}

int32_t KuniPosTable::MaskLookup(int32_t x, int32_t y) const {
  const int32_t dx = x - x_, dy = y - y_;
  if (dx < 0 || dx >= w_ || dy < 0 || dy >= h_ || mask_.empty()) return -1;
  const uint8_t b = mask_[static_cast<size_t>(dy) * static_cast<size_t>(w_) + static_cast<size_t>(dx)];
  return b == 255 ? -1 : b;
}

bool KuniPosTable::GetKuniRect(int32_t kuni, int32_t out[4]) const {
  if (!out || kuni < 0 || kuni > 255) return false;
  auto it = rects_.find(static_cast<uint8_t>(kuni));
  if (it == rects_.end()) return false;
  out[0] = it->second.left;
  out[1] = it->second.top;
  out[2] = it->second.right;
  out[3] = it->second.bottom;
  return true;
}

ShiroPosTable::ShiroPosTable() { std::memset(slots_, 0xFF, sizeof slots_); }

bool ShiroPosTable::LoadShiroPos(const char* path) {
  std::vector<uint8_t> bytes = ReadWhole(path);
  if (bytes.empty()) return false;
  LoadShiroPosBytes(bytes.data(), bytes.size());
  return true;
}

void ShiroPosTable::LoadShiroPosBytes(const uint8_t* data, size_t size) {
  std::memset(slots_, 0xFF, sizeof slots_);
  if (!data) return;
  const size_t n = size < kBytes ? size : kBytes;
  uint8_t* dst = reinterpret_cast<uint8_t*>(slots_);
  // The file is little-endian; assemble each 16-bit value so the host order does not matter.
  for (size_t i = 0; i + 1 < n; i += 2) {
    const uint16_t v = Le16(data + i);
    std::memcpy(dst + i, &v, 2);
  }
  if (n % 2) dst[n - 1] = data[n - 1];
}

const ShiroPosTable::Slot* ShiroPosTable::At(int32_t kuni, int32_t slot) const {
  if (kuni < 0 || kuni >= kKuni || slot < 0 || slot >= kSlots) return nullptr;
  return &slots_[kuni][slot];
}

int32_t ShiroPosTable::GetShiroSlotId(int32_t kuni, int32_t slot) const {
  const Slot* s = slot < kCastleSlots ? At(kuni, slot) : nullptr;
  return s ? s->id : -1;
}

int32_t ShiroPosTable::GetShiroSlotX(int32_t kuni, int32_t slot) const {
  const Slot* s = slot < kCastleSlots ? At(kuni, slot) : nullptr;
  return s && s->id != -1 ? s->x : -1;
}

int32_t ShiroPosTable::GetShiroSlotY(int32_t kuni, int32_t slot) const {
  const Slot* s = slot < kCastleSlots ? At(kuni, slot) : nullptr;
  return s && s->id != -1 ? s->y : -1;
}

int32_t ShiroPosTable::FindContactSlot(int32_t kuni, int32_t siro) const {
  if (kuni < 0 || kuni >= kKuni || siro < 0 || siro > 0x7FFF) return -1;
  for (int n = 0; n < kContactSlots; ++n)
    if (slots_[kuni][kCastleSlots + n].id == static_cast<int16_t>(siro)) return n;
  return -1;
}

int32_t ShiroPosTable::GetContactSlotX(int32_t kuni, int32_t n) const {
  const Slot* s = n >= 0 && n < kContactSlots ? At(kuni, kCastleSlots + n) : nullptr;
  return s && s->id != -1 ? s->x : -1;
}

int32_t ShiroPosTable::GetContactSlotY(int32_t kuni, int32_t n) const {
  const Slot* s = n >= 0 && n < kContactSlots ? At(kuni, kCastleSlots + n) : nullptr;
  return s && s->id != -1 ? s->y : -1;
}
