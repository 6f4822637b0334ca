// Game random numbers: one 32-bit generator state, saved with the game so that a loaded game
// continues the same sequence; plus the Shift-JIS lead-byte test.
#pragma once
#include <cstdint>
#include <functional>
#include <utility>

// state = state * 214013 + 2531011; returns bits 16..30 of the new state (0..32767).
int GameRand();
// 0 for n < 1 (the state does not advance); otherwise GameRand() % n.
int GameRandBelow(int n);
// state = the calendar time in seconds (at start-up, a new world, a loaded game).
void SeedGameRandFromTime();
// The clock SeedGameRandFromTime reads instead of the calendar, so that a replayed run (the
// automatic player) seeds the same way each time; an empty function restores the calendar.
void SetGameRandSeedClock(std::function<uint32_t()> clock);
uint32_t GetGameRandState();
void SetGameRandState(uint32_t value);

// Lead byte of a two-byte Shift-JIS character: 0x81..0x9F and 0xE0..0xFE.
bool IsSjisLeadByteToFE(unsigned char byte);

// Tests script the draws of rules that use random numbers: while a source is set, GameRand
// returns its values (masked to 0..32767) and the real state is neither read nor advanced.
// An empty function restores the generator.
void SetGameRandOverride(std::function<int()> source);

// Sets a source for one scope and restores the generator when it ends.
struct ScopedGameRandOverride {
  explicit ScopedGameRandOverride(std::function<int()> source) { SetGameRandOverride(std::move(source)); }
  ~ScopedGameRandOverride() { SetGameRandOverride(nullptr); }
  ScopedGameRandOverride(const ScopedGameRandOverride&) = delete;
  ScopedGameRandOverride& operator=(const ScopedGameRandOverride&) = delete;
};
