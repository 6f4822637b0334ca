// The battle block of a save: the input is the block's bytes; an accepted block derives the rest
// of the battle state and writes back.
#include <cstdlib>
#include <fstream>
#include <string>

#include "battle/battle_state.h"

namespace {

// With V4_FUZZ_SEED_OUT set, the block of a fresh battle is written there as a seed.
bool WriteSeed() {
  if (const char* out = std::getenv("V4_FUZZ_SEED_OUT")) {
    uint8_t block[kBattleSaveBytes];
    BattleSaveToBytes(block);
    std::ofstream(std::string(out) + "/fresh.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(block), sizeof block);
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool seeded = WriteSeed();
  (void)seeded;
  if (!BattleSaveFromBytes(data, size)) return 0;
  RederiveBattleState();
  uint8_t out[kBattleSaveBytes];
  BattleSaveToBytes(out);
  return 0;
}
