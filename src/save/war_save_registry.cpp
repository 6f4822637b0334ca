#include "save/war_save_registry.h"

#include <cstring>

#include "world/turn/turn_state.h"
#include "world/turn/war_phase.h"

namespace {

// A replacement registrar (tests); null: the war phase and the battle register their statics.
WarStateRegistrar g_registrar = nullptr;

static_assert(sizeof(WarWork) == kWarFieldBytes);

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
    RegisterWarPhaseFields();
  }
}

bool UsesWarPhaseRegistrar() { return g_registrar == nullptr; }

void RegisterWarStateForLoad(SaveBlockList* list) { RegisterWith(kSaveRegisterLoad, list); }
void RegisterWarStateForSave(SaveBlockList* list) { RegisterWith(kSaveRegisterSave, list); }
