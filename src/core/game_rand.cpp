#include "core/game_rand.h"

#include <ctime>

namespace {
uint32_t g_gameRandState = 0;
std::function<int()> g_gameRandOverride;
std::function<uint32_t()> g_seedClock;
}  // namespace

int GameRand() {
  if (g_gameRandOverride) return g_gameRandOverride() & 0x7FFF;
  g_gameRandState = g_gameRandState * 214013u + 2531011u;
  return static_cast<int>((g_gameRandState >> 16) & 0x7FFF);
}

int GameRandBelow(int n) {
  if (n < 1) return 0;
  return GameRand() % n;
}

void SeedGameRandFromTime() {
  g_gameRandState = g_seedClock ? g_seedClock() : static_cast<uint32_t>(std::time(nullptr));
}

uint32_t GetGameRandState() { return g_gameRandState; }
void SetGameRandState(uint32_t value) { g_gameRandState = value; }

bool IsSjisLeadByteToFE(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFE); }

void SetGameRandOverride(std::function<int()> source) { g_gameRandOverride = std::move(source); }

void SetGameRandSeedClock(std::function<uint32_t()> clock) { g_seedClock = std::move(clock); }
