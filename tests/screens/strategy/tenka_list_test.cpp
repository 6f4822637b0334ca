// Record lists: every general column orders three generals that differ only in its field, stable
// descending sorts reverse equal keys, filters narrow and restore, items sort and filter by class.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

#include "screens/strategy/tenka_list.h"
#include "tests/world/world_fixture.h"

namespace {

using slgui::CTenkaList_Busyo;
using slgui::CTenkaList_Item;

class TenkaListTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    kuni = w.Kuni("甲");
    siroA = w.Siro(kuni, "一", 0);
    siroB = w.Siro(kuni, "二", 1);
    w.Clan("赤");
    w.Clan("青");
    for (int i = 0; i < 3; ++i) g[i] = w.Busyo("某", siroA);
    w.Place();
  }
  std::vector<int32_t> Sorted(CTenkaList_Busyo& l, int column, bool desc) {
    l.StableSort(column, desc);
    return l.Items();
  }
  WorldBuilder w;
  int kuni = 0, siroA = 0, siroB = 0;
  int g[3] = {};
};

TEST_F(TenkaListTest, EveryColumnOrdersByItsField) {
  // Each setter gives general i a key that grows with rank r (0 smallest).
  using Setter = std::function<void(int id, int r)>;
  struct Case {
    int column;
    Setter set;
  };
  const Case cases[] = {
      {1, [](int id, int r) { BusyoTable[id].listValue = static_cast<int16_t>(-5 + r * 3); }},
      {2,
       [](int id, int r) {
         SetFieldString(BusyoTable[id].name, kBusyoNameLen, r == 0 ? "あ" : r == 1 ? "い" : "う");
       }},
      {3, [](int id, int r) { BusyoTable[id].siro = static_cast<uint16_t>(10 + r); }},
      {4,
       [](int id, int r) {
         BusyoTable[id].marchFlag = r < 2;
         BusyoTable[id].siro2 = static_cast<uint16_t>(r);
       }},
      {5,
       [](int id, int r) {
         BusyoTable[id].stage = 1;
         BusyoTable[id].progress = static_cast<uint16_t>(r);
       }},
      {6, [](int id, int r) { BusyoTable[id].kind = static_cast<uint16_t>(r); }},
      {7, [](int id, int r) { BusyoTable[id].soldiers = static_cast<uint8_t>(5 + r); }},
      {8, [](int id, int r) { BusyoTable[id].guns = static_cast<uint8_t>(r); }},
      {9, [](int id, int r) { BusyoTable[id].cur.stat[0] = static_cast<uint8_t>(20 + r); }},
      {10, [](int id, int r) { BusyoTable[id].cur.stat[1] = static_cast<uint8_t>(20 + r); }},
      {11, [](int id, int r) { BusyoTable[id].cur.stat[2] = static_cast<uint8_t>(20 + r); }},
      // Fixed loyalty (bonded) orders after every other general.
      {12,
       [](int id, int r) {
         BusyoTable[id].loyalty = static_cast<uint8_t>(r == 2 ? 1 : 5 + r);
         BusyoTable[id].kizuna = r == 2;
       }},
      {13, [](int id, int r) { BusyoTable[id].cur.stat[3] = static_cast<uint8_t>(20 + r); }},
      {14,
       [](int id, int r) {
         BusyoTable[id].cmdFlags = static_cast<uint8_t>(r == 2 ? 1 : 0);
         BusyoTable[id].listValue = static_cast<int16_t>(r);
       }},
      {16, [](int id, int r) { BusyoTable[id].items[0] = static_cast<uint16_t>(r); }},
      {18, [](int id, int r) { BusyoTable[id].trainingChoice = static_cast<uint16_t>(r == 0 ? 0xFFFF : r); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    // Ranks 2, 0, 1 for g0, g1, g2: ascending is g1, g2, g0.
    const int rank[3] = {2, 0, 1};
    for (int i = 0; i < 3; ++i) c.set(g[i], rank[i]);
    CTenkaList_Busyo l;
    for (int i = 0; i < 3; ++i) l.Add(g[i]);
    if (c.column == 14) {  // only the bit orders: the two clear ones keep their order
      EXPECT_EQ(Sorted(l, c.column, false), (std::vector<int32_t>{g[1], g[2], g[0]}));
    } else {
      EXPECT_EQ(Sorted(l, c.column, false), (std::vector<int32_t>{g[1], g[2], g[0]}));
      EXPECT_EQ(Sorted(l, c.column, true), (std::vector<int32_t>{g[0], g[2], g[1]}));
    }
    w = WorldBuilder();
    SetUp();
  }
}

TEST_F(TenkaListTest, PlayerGeneralsFirstAndIdsOutsideTheTableLast) {
  BusyoTable[g[1]].siro = static_cast<uint16_t>(siroB);
  w.Place();
  PlayerDaimyoId = 1;
  CTenkaList_Busyo l;
  l.Add(2500);
  l.Add(g[0]);
  l.Add(g[1]);
  EXPECT_EQ(Sorted(l, 17, false), (std::vector<int32_t>{g[1], g[0], 2500}));
  EXPECT_EQ(Sorted(l, 3, false).back(), 2500);
}

TEST_F(TenkaListTest, StableDescendingReversesEqualKeys) {
  CTenkaList_Busyo l;
  for (int i = 0; i < 3; ++i) l.Add(g[i]);  // equal stage and progress
  EXPECT_EQ(Sorted(l, 5, true), (std::vector<int32_t>{g[2], g[1], g[0]}));
  EXPECT_EQ(Sorted(l, 0, false), (std::vector<int32_t>{g[0], g[1], g[2]}));  // column 0: id order
}

TEST_F(TenkaListTest, FiltersNarrowAndResetRestores) {
  BusyoTable[g[1]].siro = static_cast<uint16_t>(siroB);
  w.Place();
  DaimyoTable[0].allies[0] = 1;  // allies
  CTenkaList_Busyo l;
  for (int i = 0; i < 3; ++i) l.Add(g[i]);
  l.SetListMark(1);
  // Filter 5 removes generals of the marked clan or its allies: with clan 1 allied to clan 0
  // nobody stays; without the alliance the clan-0 generals stay.
  ASSERT_NE(l.Filter(5, true), 0);
  const int32_t afterAlly = l.Count();
  EXPECT_EQ(l.Saved().size(), 3u);
  l.ResetView();
  EXPECT_EQ(l.Count(), 3);
  l.ResetView();  // a second reset does nothing
  EXPECT_EQ(l.Count(), 3);
  EXPECT_EQ(afterAlly, 0);
  // Filter 6 keeps the generals of the marked clan; narrowing from the view.
  l.SetListMark(0);
  ASSERT_NE(l.Filter(6, false), 0);
  EXPECT_EQ(l.Items(), (std::vector<int32_t>{g[0], g[2]}));
  ASSERT_NE(l.Filter(3, false), 0);  // progress 0 for all: nothing removed
  EXPECT_EQ(l.Count(), 2);
  // A filter without a test changes nothing, including the empty saved array.
  CTenkaList_Busyo m;
  m.Add(g[0]);
  EXPECT_EQ(m.Filter(10, true), 0);
  EXPECT_TRUE(m.Saved().empty());
  EXPECT_EQ(m.Count(), 1);
}

TEST_F(TenkaListTest, IndexAccessAndMarks) {
  CTenkaList_Busyo l;
  l.Add(g[0]);
  l.Add(65535);
  l.Add(3000);
  EXPECT_EQ(l.IndexOf(g[0]), 0);
  EXPECT_EQ(l.IndexOf(1234), l.Count());
  EXPECT_THROW(l.At(l.Count()), std::out_of_range);
  l.SetListMark(7);  // ids outside the table are skipped, never written
  EXPECT_EQ(BusyoTable[g[0]].trainingChoice, 7);
  l.InsertAt(0, g[1]);
  EXPECT_EQ(l.At(0), g[1]);
  l.EraseAt(0);
  EXPECT_EQ(l.At(0), g[0]);
}

TEST_F(TenkaListTest, ItemsSortAndFilterByClass) {
  SetFieldString(ItemTable[0].name, 32, "刀");
  ItemTable[0].cls = 1, ItemTable[0].bonus = 5;
  SetFieldString(ItemTable[1].name, 32, "弓");
  ItemTable[1].cls = 2, ItemTable[1].bonus = 2;
  CTenkaList_Item l;
  l.Add({1, 3, 0, 0});
  l.Add({2, 9, 0, 0});
  l.Add({200, 1, 0, 0});   // no record
  l.StableSort(2, false);  // a missing record counts as bonus 0 when it is the first
  EXPECT_EQ(l.At(0).item, 200);
  EXPECT_EQ(l.At(1).item, 2);
  EXPECT_EQ(l.At(2).item, 1);
  l.StableSort(3, true);
  EXPECT_EQ(l.At(0).item, 2);
  ASSERT_NE(l.Filter(0, true), 0);  // class 1 only; the missing record goes
  ASSERT_EQ(l.Count(), 1);
  EXPECT_EQ(l.At(0).item, 1);
  EXPECT_EQ(l.Filter(6, true), 0);
  EXPECT_EQ(l.IndexOf(1), 0);
}

}  // namespace
