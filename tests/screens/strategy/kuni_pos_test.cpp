// Position tables: mask lookups at the edges of the map rectangle, the loader's cases, and the
// castle and contact slot accessors, on files made in the test.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "screens/strategy/kuni_pos.h"

namespace {

void Put16(std::vector<uint8_t>& v, int x) {
  v.push_back(static_cast<uint8_t>(x & 0xFF));
  v.push_back(static_cast<uint8_t>((x >> 8) & 0xFF));
}

// A small-map file: mask filled with fill, then the records.
std::vector<uint8_t> SmallMapFile(uint8_t fill, const std::vector<std::vector<int>>& records) {
  std::vector<uint8_t> f(296 * 130, fill);
  for (const auto& r : records)
    for (int v : r) Put16(f, v);
  return f;
}

TEST(KuniPosTable, MaskLookupEdges) {
  KuniPosTable t(KuniPosTable::kSmallMap);
  std::vector<uint8_t> f = SmallMapFile(7, {{7, 1, 2, 3, 4}});
  f[0] = 66;              // (13, 325)
  f[1] = 255;             // (14, 325)
  f[296 * 130 - 1] = 70;  // bottom right: a byte past the provinces comes back raw
  ASSERT_TRUE(t.LoadKuniPosBytes(f.data(), f.size()));
  struct Case {
    int x, y, want;
  } cases[] = {{13, 325, 66},       {14, 325, -1},       {12, 325, -1}, {13, 324, -1},
               {13 + 296, 330, -1}, {20, 325 + 130, -1}, {100, 400, 7}, {13 + 295, 325 + 129, 70}};
  for (const Case& c : cases) EXPECT_EQ(t.MaskLookup(c.x, c.y), c.want) << c.x << "," << c.y;
}

TEST(KuniPosTable, WithoutMaskEveryPointIsNone) {
  KuniPosTable t(0);
  EXPECT_EQ(t.MaskLookup(55, 109), -1);
  EXPECT_EQ(t.MaskLookup(600, 300), -1);
  // A file of exactly the mask size loads nothing.
  std::vector<uint8_t> exact(1172 * 482, 3);
  EXPECT_FALSE(t.LoadKuniPosBytes(exact.data(), exact.size()));
  EXPECT_FALSE(t.HasMask());
  EXPECT_EQ(t.MaskLookup(600, 300), -1);
  EXPECT_FALSE(t.LoadKuniPos("/no/such/kunipos.bin"));
}

TEST(KuniPosTable, LoaderRecords) {
  KuniPosTable t(KuniPosTable::kSmallMap);
  // A duplicate id keeps the first; 0x0142 is stored under 0x42; a short tail is ignored.
  std::vector<uint8_t> f = SmallMapFile(255, {{5, 10, 20, 30, 40}, {5, 1, 1, 1, 1}, {0x0142, 7, 8, 9, 10}});
  f.push_back(1), f.push_back(2), f.push_back(3);
  ASSERT_TRUE(t.LoadKuniPosBytes(f.data(), f.size()));
  EXPECT_EQ(t.RectCount(), 2u);
  int32_t r[4] = {-9, -9, -9, -9};
  ASSERT_TRUE(t.GetKuniRect(5, r));
  EXPECT_EQ(std::vector<int32_t>(r, r + 4), (std::vector<int32_t>{10, 20, 30, 40}));
  ASSERT_TRUE(t.GetKuniRect(0x42, r));
  EXPECT_EQ(r[0], 7);
  int32_t untouched[4] = {-9, -9, -9, -9};
  EXPECT_FALSE(t.GetKuniRect(6, untouched));
  EXPECT_EQ(untouched[0], -9);
  EXPECT_FALSE(t.GetKuniRect(5, nullptr));
}

TEST(ShiroPosTable, SlotAccessors) {
  std::vector<uint8_t> f(ShiroPosTable::kBytes, 0);
  auto slot = [&](int k, int s, int id, int x, int y) {
    size_t o = static_cast<size_t>(k) * 108 + s * 6;
    const int v[3] = {id, x, y};
    for (int i = 0; i < 3; ++i)
      f[o + 2 * i] = static_cast<uint8_t>(v[i] & 0xFF), f[o + 2 * i + 1] = static_cast<uint8_t>(v[i] >> 8);
  };
  for (int k = 0; k < 67; ++k)
    for (int s = 0; s < 18; ++s) slot(k, s, -1, -1, -1);
  slot(66, 7, 399, 0x1234, 500);  // the slot starts at byte 7,170; its x is at 7,172
  slot(3, 0, 12, 400, 150);
  slot(3, 8 + 2, 40, 900, 120);  // contact slot 2 names castle 40
  ShiroPosTable t;
  t.LoadShiroPosBytes(f.data(), f.size());
  EXPECT_EQ(f[7172] | (f[7173] << 8), 0x1234);
  EXPECT_EQ(t.GetShiroSlotX(66, 7), 0x1234);
  EXPECT_EQ(t.GetShiroSlotId(66, 7), 399);
  EXPECT_EQ(t.GetShiroSlotX(67, 0), -1);
  EXPECT_EQ(t.GetShiroSlotX(3, 8), -1);  // slot 8 is a contact slot
  EXPECT_EQ(t.GetShiroSlotY(3, 1), -1);  // empty slot
  EXPECT_EQ(t.FindContactSlot(3, 40), 2);
  EXPECT_EQ(t.FindContactSlot(3, 41), -1);
  EXPECT_EQ(t.FindContactSlot(3, -1), -1);  // an empty slot never matches "none"
  EXPECT_EQ(t.FindContactSlot(67, 40), -1);
  EXPECT_EQ(t.GetContactSlotX(3, 2), 900);
  EXPECT_EQ(t.GetContactSlotX(3, 10), -1);
  EXPECT_EQ(t.GetContactSlotY(3, 3), -1);

  // A short file leaves the rest empty.
  ShiroPosTable s;
  s.LoadShiroPosBytes(f.data(), 3 * 108 + 6);
  EXPECT_EQ(s.GetShiroSlotX(3, 0), 400);
  EXPECT_EQ(s.GetShiroSlotId(66, 7), -1);
  EXPECT_FALSE(s.LoadShiroPos("/no/such/shiropos.bin"));
}

}  // namespace
