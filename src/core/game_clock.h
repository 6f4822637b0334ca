// The one millisecond clock that frame timing, scenes, renderers and movies read. Tests replace it
// with a virtual clock so frames are deterministic.
#pragma once
#include <cstdint>

// Milliseconds, wrapping like a 32-bit tick count.
uint32_t GetGameTimeMs();

// Replaces the clock (null restores the real monotonic clock).
using GameClockFn = uint32_t (*)(void* user);
void SetGameClockOverride(GameClockFn fn, void* user);
