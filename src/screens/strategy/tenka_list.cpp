#include "screens/strategy/tenka_list.h"

#include <cstring>

#include "world/slg_util.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace slgui {
namespace {

// A general id that indexes the table; anything else is an empty record that orders last.
const BusyoRecord* Rec(int32_t id) { return id >= 0 && id < kBusyoCount ? &BusyoTable[id] : nullptr; }

template <typename Key>
bool ByKey(int32_t a, int32_t b, Key key) {
  const BusyoRecord* ra = Rec(a);
  const BusyoRecord* rb = Rec(b);
  if (!ra) return false;
  if (!rb) return true;
  return key(a, *ra) < key(b, *rb);
}

// Byte-wise over unsigned Shift-JIS bytes up to the first zero, within the name field.
int CompareNames(const char* a, size_t na, const char* b, size_t nb) {
  for (size_t i = 0;; ++i) {
    const unsigned ca = i < na ? static_cast<unsigned char>(a[i]) : 0u;
    const unsigned cb = i < nb ? static_cast<unsigned char>(b[i]) : 0u;
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

bool Col1(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t, const BusyoRecord& r) { return r.listValue; });
}
bool Col2(const int32_t& a, const int32_t& b) {
  const BusyoRecord* ra = Rec(a);
  const BusyoRecord* rb = Rec(b);
  if (!ra) return false;
  if (!rb) return true;
  return CompareNames(ra->name, sizeof ra->name, rb->name, sizeof rb->name) < 0;
}
bool Col3(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t, const BusyoRecord& r) { return r.siro; });
}
bool Col4(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t, const BusyoRecord& r) { return r.marchFlag ? r.siro2 : uint16_t{65535}; });
}
bool Col5(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t, const BusyoRecord& r) { return (uint32_t{r.stage} << 16) | r.progress; });
}
bool Col6(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t, const BusyoRecord& r) { return r.kind; });
}
bool Col7(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t g, const BusyoRecord&) { return GetBusyoSoldiers(g); });
}
bool Col8(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t g, const BusyoRecord&) { return GetBusyoGuns(g); });
}
bool Col9(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t g, const BusyoRecord&) { return GetBusyoStat1(g); });
}
bool Col10(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t g, const BusyoRecord&) { return GetBusyoStat2(g); });
}
bool Col11(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t g, const BusyoRecord&) { return GetBusyoStat3(g); });
}
bool Col12(const int32_t& a, const int32_t& b) {
  if (!Rec(a)) return false;
  if (!Rec(b)) return true;
  if (IsBusyoLoyaltyFixed(a)) return false;
  if (IsBusyoLoyaltyFixed(b)) return true;
  return GetBusyoLoyalty(a) < GetBusyoLoyalty(b);
}
bool Col13(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t g, const BusyoRecord&) { return GetBusyoStat4(g); });
}
bool Col14(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t, const BusyoRecord& r) { return r.cmdFlags & 1; });
}
bool Col15(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t g, const BusyoRecord&) { return GetBusyoDaimyo(g); });
}
bool Col16(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t, const BusyoRecord& r) { return r.items[0]; });
}
bool Col17(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t g, const BusyoRecord&) { return GetBusyoDaimyo(g) == PlayerDaimyoId ? 0 : 1; });
}
bool Col18(const int32_t& a, const int32_t& b) {
  return ByKey(a, b, [](int32_t, const BusyoRecord& r) { return static_cast<int16_t>(r.trainingChoice); });
}

// Filters: true removes the general.
bool F0(const int32_t& g) { return !IsBusyoInvalid(g); }
bool F1(const int32_t& g) { return !IsBusyoInKakuuSiro(g); }
bool F2(const int32_t& g) { return IsBusyoInKakuuSiro(g); }
bool F3(const int32_t& g) { return !Rec(g) || Rec(g)->progress != 0; }
bool F4(const int32_t& g) { return !IsBusyoEnemyTarget(g); }
bool F5(const int32_t& g) {
  if (!Rec(g)) return true;
  const uint8_t clan = GetBusyoDaimyo(g);
  const uint8_t mark = static_cast<uint8_t>(Rec(g)->trainingChoice & 0xFF);
  return clan == mark || (clan != kNoDaimyo && AreDaimyoAllied(clan, mark));
}
bool F6(const int32_t& g) {
  return !Rec(g) || GetBusyoDaimyo(g) != static_cast<uint8_t>(Rec(g)->trainingChoice & 0xFF);
}
bool F7(const int32_t& g) { return !Rec(g) || Rec(g)->carryWord != Rec(g)->trainingChoice; }
bool F8(const int32_t& g) { return !Rec(g) || Rec(g)->stage >= 3; }

const ItemRecord* Item(int32_t id) { return GetItemRecord(static_cast<uint32_t>(id)); }

bool ICol1(const ItemListRecord& a, const ItemListRecord& b) {
  const ItemRecord* ra = Item(a.item);
  const ItemRecord* rb = Item(b.item);
  return CompareNames(ra ? ra->name : "", ra ? sizeof ra->name : 0, rb ? rb->name : "", rb ? sizeof rb->name : 0) < 0;
}
bool ICol2(const ItemListRecord& a, const ItemListRecord& b) {
  const ItemRecord* ra = Item(a.item);
  const ItemRecord* rb = Item(b.item);
  if (!rb) return false;
  return (ra ? ra->bonus : 0) < rb->bonus;
}
bool ICol3(const ItemListRecord& a, const ItemListRecord& b) { return a.stock < b.stock; }

template <int Cls>
bool IFilter(const ItemListRecord& e) {
  const ItemRecord* r = Item(e.item);
  return !r || r->cls != Cls;
}

}  // namespace

CTenkaList_Busyo::SortFunc CTenkaList_Busyo::GetSortFunc(int32_t column) const {
  static const SortFunc kColumns[19] = {nullptr, Col1,  Col2,  Col3,  Col4,  Col5,  Col6,  Col7,  Col8, Col9,
                                        Col10,   Col11, Col12, Col13, Col14, Col15, Col16, Col17, Col18};
  return column >= 0 && column < 19 ? kColumns[column] : nullptr;
}

CTenkaList_Busyo::FilterFunc CTenkaList_Busyo::GetFilterFunc(int32_t filter) const {
  static const FilterFunc kFilters[9] = {F0, F1, F2, F3, F4, F5, F6, F7, F8};
  return filter >= 0 && filter < 9 ? kFilters[filter] : nullptr;
}

void CTenkaList_Busyo::SetListMark(uint16_t value) {
  for (int32_t g : items_)
    if (g >= 0 && g < kBusyoCount) BusyoTable[g].trainingChoice = value;
}

CTenkaList_Item::SortFunc CTenkaList_Item::GetSortFunc(int32_t column) const {
  switch (column) {
    case 1:
      return ICol1;
    case 2:
      return ICol2;
    case 3:
      return ICol3;
    default:
      return nullptr;
  }
}

CTenkaList_Item::FilterFunc CTenkaList_Item::GetFilterFunc(int32_t filter) const {
  static const FilterFunc kFilters[6] = {IFilter<1>, IFilter<2>, IFilter<3>, IFilter<4>, IFilter<5>, IFilter<6>};
  return filter >= 0 && filter < 6 ? kFilters[filter] : nullptr;
}

}  // namespace slgui
