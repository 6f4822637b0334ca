#include "save/slg_words.h"

#include "world/world_tables.h"

int32_t ScriptSavedWord = 0;
uint16_t SlgSavedWord = 0;
// SlgCommandCode lives with the command work (world/commands/command_work.cpp).
uint8_t RunClearedFlag = 0;
int32_t& RunId = GameStartTime;

namespace {
int32_t g_clearedRun = 0;  // RunId that RunClearedFlag was set for
}

void SetRunCleared(uint8_t cleared) {
  RunClearedFlag = cleared;
  g_clearedRun = RunId;
}

uint8_t CurrentRunCleared() {
  if (g_clearedRun != RunId) SetRunCleared(0);
  return RunClearedFlag;
}
