#include "world/turn/save_register.h"

int32_t SaveRegisterMode = kSaveRegisterNone;
SaveBlockList* SaveRegisterList = nullptr;

void RegisterSaveField(void* address, int32_t size) {
  if (SaveRegisterList) SaveRegisterList->Append(address, size);
}
