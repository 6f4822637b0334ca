#include "world/turn/world_hash.h"

#include "core/game_rand.h"
#include "world/world_tables.h"

namespace {

struct Fnv {
  uint64_t h = 1469598103934665603ull;
  void Add(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
      h ^= p[i];
      h *= 1099511628211ull;
    }
  }
  template <typename T>
  void Value(const T& v) {
    Add(&v, sizeof v);
  }
};

}  // namespace

uint64_t WorldHash() {
  Fnv f;
  f.Add(KuniTable, sizeof KuniTable);
  f.Add(SiroTable, sizeof SiroTable);
  f.Add(DaimyoTable, sizeof DaimyoTable);
  f.Add(BusyoTable, sizeof BusyoTable);
  f.Add(DokuBusyoList, sizeof DokuBusyoList);
  f.Add(&ItemStock[1], kItemCount * sizeof ItemStock[0]);
  f.Value(TurnCounter);
  f.Value(GameYear);
  f.Value(SeasonIndex);
  f.Value(PlayerDaimyoId);
  f.Value(TurnSubPhase);
  f.Add(ClanOrderList, sizeof ClanOrderList);
  f.Add(MarchOrderList, sizeof MarchOrderList);
  f.Value(FirstTurnFlag);
  f.Value(CurrentKuniId);
  f.Value(UnificationStage);
  f.Value(static_cast<uint8_t>(UnificationDeclared));
  f.Value(GetGameRandState());
  return f.h;
}
