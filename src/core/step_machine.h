// Step machine: the global stack of levels on which every frame-driven routine keeps its place.
//
// A routine is called again on every logic step until it finishes. The pattern:
//   static int result;
//   if (StepCheckDone()) return result;          // a frame-wait finish seen one entry later
//   if (StepBegin()) { ...init...; }             // first entry after the parent's push
//   switch (StepGet()) { ... }                   // own steps 1..10 and 14..; return kStepRunning
//   StepPush(); Child(); if (StepPop()) ...      // the child finished (its result is its static)
//   result = r; StepFinish(); return result;     // end
// Used only on the frame thread.
#pragma once
#include <cstddef>
#include <cstdint>

inline constexpr int kStepLevels = 20;

// Step codes.
inline constexpr uint32_t kStepIdle = 0;       // no routine on this level
inline constexpr uint32_t kStepFirst = 1;      // first step of a begun routine
inline constexpr uint32_t kStepPushed = 11;    // pushed, not yet begun
inline constexpr uint32_t kStepDone = 12;      // finished
inline constexpr uint32_t kStepDoneWait = 13;  // finished after a frame wait (12 on the next entry)
// What a routine returns while it still runs, by convention.
inline constexpr int kStepRunning = 99;

// Level states.
inline constexpr uint8_t kStepStateIdle = 0;
inline constexpr uint8_t kStepStatePushed = 1;
inline constexpr uint8_t kStepStateRunning = 2;

// The machine, in the order and sizes that the save code copies (192 bytes, no padding).
struct StepMachine {
  uint32_t subStep[kStepLevels];
  uint8_t state[kStepLevels];
  uint32_t step[kStepLevels];
  uint32_t depth;        // current level, 0..19
  uint32_t pushPending;  // 1 from a push until the child's first StepCheckDone
  uint32_t waitPending;  // set by SetFrameWait: the next finish is a delayed finish
};
static_assert(offsetof(StepMachine, subStep) == 0);
static_assert(offsetof(StepMachine, state) == 80);
static_assert(offsetof(StepMachine, step) == 100);
static_assert(offsetof(StepMachine, depth) == 180);
static_assert(offsetof(StepMachine, pushPending) == 184);
static_assert(offsetof(StepMachine, waitPending) == 188);
inline constexpr size_t kStepMachineBytes = 192;
static_assert(sizeof(StepMachine) == kStepMachineBytes);

// The one instance. Code may read it and write whole arrays (save/load); prefer the operations.
extern StepMachine g_StepMachine;

// All operations act on the current level d = depth.
void StepReset();  // depth 0, every step 0 (sub-steps and states stay)
bool StepPush();   // false (and logged) when the stack is full; depth stays <= 19
bool StepPop();    // true when the child finished (its step was 12); a pop that
                   // matches a refused push leaves the depth alone
// Sets the depth (kept within 0..19) and forgets refused pushes; the turn loop starts at 0.
void StepSetDepth(uint32_t depth);
bool StepCheckDone();  // first call of every routine; true = return the kept result
bool StepBegin();      // true on the first entry after a push (step 11 -> 1)
uint32_t StepGet();
void StepNext();            // step + 1, sub-step 0
void StepJump(uint32_t n);  // step n, sub-step 0; deeper levels idle (sub-steps stay)
void StepFinish();          // step 12, or 13 when a frame wait is pending; deeper levels idle
uint32_t SubStepGet();
void SubStepSet(uint32_t n);
void SubStepNext();

// The frame's SetFrameWait raises this; the next StepFinish consumes it.
void SetStepWaitPending(bool on);

// Whole-machine copy in memory order (little-endian words), for saves and tests.
void StepMachineToBytes(uint8_t (&out)[kStepMachineBytes]);
// Replaces the machine; false (machine unchanged) when size is wrong or the depth is out of range.
bool StepMachineFromBytes(const uint8_t* data, size_t size);
