#include "save/war_save_registry.h"

#include <cstring>

namespace {

WarStateRegistrar g_registrar = nullptr;

// Widths of the war-phase statics in registration order.
constexpr int32_t kStandInWidths[] = {
    1, 1, 2, 4,     // ResolveMarches: order index, country, general, march mode
    1, 1, 2, 2, 2,  // RunIndependentMarch: reserved, list index, general, his castle, target
    1, 1, 2, 2, 2,  // RunGarrisonMarch: loop index, work byte, general, his castle, target
    1, 1,           // RunClanMarches: order position, clan
    1, 2, 2, 2, 2,  // RunDaimyoMarches: vassal slot, general, his castle, target, battle castle
    kBattleRunStateBytes,
};

constexpr int32_t SumWidths() {
  int32_t sum = 0;
  for (int32_t w : kStandInWidths) sum += w;
  return sum;
}
static_assert(SumWidths() == kWarStateBytes);

uint8_t g_standIn[kWarStateBytes];

void RegisterStandIn() {
  // Zero before every registration: a save writes zeros, a load lands here and is dropped.
  std::memset(g_standIn, 0, sizeof g_standIn);
  uint8_t* at = g_standIn;
  for (int32_t w : kStandInWidths) {
    RegisterSaveField(at, w);
    at += w;
  }
}

void RegisterWith(int32_t mode, SaveBlockList* list) {
  SaveRegisterMode = mode;
  SaveRegisterList = list;
  RegisterWarStateFields();
  SaveRegisterMode = kSaveRegisterNone;
}

}  // namespace

void SetWarStateRegistrar(WarStateRegistrar registrar) { g_registrar = registrar; }

void RegisterWarStateFields() {
  if (g_registrar) {
    g_registrar();
  } else {
    RegisterStandIn();
  }
}

void RegisterWarStateForLoad(SaveBlockList* list) { RegisterWith(kSaveRegisterLoad, list); }
void RegisterWarStateForSave(SaveBlockList* list) { RegisterWith(kSaveRegisterSave, list); }
