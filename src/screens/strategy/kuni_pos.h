// Where things stand on the strategy map: for the country map and the small map of the province
// view, a byte mask that names the province under each pixel and each province's rectangle; for
// the province view, the icon position of every castle and contact slot. Read once when the map
// screen opens, never written.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

class KuniPosTable {
 public:
  static constexpr int kCountryMap = 0;
  static constexpr int kSmallMap = 1;

  // Kind 1 is the small map; any other kind the country map.
  explicit KuniPosTable(int kind);

  // Loads mask and rectangles from a program path; a missing file or one no larger than the mask
  // leaves the table as it was. False in that case.
  bool LoadKuniPos(const char* path);
  // The same from bytes in memory.
  bool LoadKuniPosBytes(const uint8_t* data, size_t size);

  // The raw mask byte under a screen point (255 becomes -1); -1 outside the map or without mask.
  int32_t MaskLookup(int32_t x, int32_t y) const;
  // left, top, right, bottom of the province; out untouched (false) when it has no record.
  bool GetKuniRect(int32_t kuni, int32_t out[4]) const;

  int32_t X() const { return x_; }
  int32_t Y() const { return y_; }
  int32_t Width() const { return w_; }
  int32_t Height() const { return h_; }
  bool HasMask() const { return !mask_.empty(); }
  size_t RectCount() const { return rects_.size(); }

 private:
  struct Rect {
    uint16_t left, top, right, bottom;
  };
  int32_t x_, y_, w_, h_;
  std::vector<uint8_t> mask_;
  std::map<uint8_t, Rect> rects_;
};

class ShiroPosTable {
 public:
  static constexpr int kKuni = 67;
  static constexpr int kSlots = 18;
  static constexpr int kCastleSlots = 8;
  static constexpr int kContactSlots = 10;
  static constexpr size_t kBytes = kKuni * kSlots * 6;  // 7,236

  ShiroPosTable();  // every slot empty
  // Copies at most kBytes of the file over the table; a short file leaves the rest empty.
  bool LoadShiroPos(const char* path);
  void LoadShiroPosBytes(const uint8_t* data, size_t size);

  // Castle slots 0..7 of provinces 0..66; -1 for anything else (X and Y also for an empty slot).
  int32_t GetShiroSlotId(int32_t kuni, int32_t slot) const;
  int32_t GetShiroSlotX(int32_t kuni, int32_t slot) const;
  int32_t GetShiroSlotY(int32_t kuni, int32_t slot) const;
  // The first contact slot n (0..9) whose id is the castle; -1 when none.
  int32_t FindContactSlot(int32_t kuni, int32_t siro) const;
  int32_t GetContactSlotX(int32_t kuni, int32_t n) const;
  int32_t GetContactSlotY(int32_t kuni, int32_t n) const;

 private:
  struct Slot {
    int16_t id, x, y;
  };
  const Slot* At(int32_t kuni, int32_t slot) const;
  Slot slots_[kKuni][kSlots];
};
