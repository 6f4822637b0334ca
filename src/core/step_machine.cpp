#include "core/step_machine.h"

#include <cstring>

#include "platform/text/log.h"
#include "platform/byte_order.h"

StepMachine g_StepMachine{};

namespace {

// Pushes refused because the stack was full; each is matched by the next pop, which then leaves
// the depth alone so the parent's level stays where it is.
int g_refusedPushes = 0;

// The current level, kept in range even if the depth word was written from outside.
uint32_t Level() { return g_StepMachine.depth < kStepLevels ? g_StepMachine.depth : kStepLevels - 1; }

void IdleDeeperLevels(uint32_t d) {
  for (uint32_t i = d + 1; i < kStepLevels; ++i) {
    g_StepMachine.state[i] = kStepStateIdle;
    g_StepMachine.step[i] = kStepIdle;
  }
}

}  // namespace

void StepReset() {
  g_StepMachine.depth = 0;
  for (uint32_t& s : g_StepMachine.step) s = kStepIdle;
  g_refusedPushes = 0;
}

bool StepPush() {
  const uint32_t d = Level();
  if (d + 1 >= kStepLevels) {
    ++g_refusedPushes;
    plat::Log("step", "push refused: the step machine is full (depth %u)", d);
    return false;
  }
  g_StepMachine.depth = d + 1;
  g_StepMachine.pushPending = 1;
  if (g_StepMachine.step[d + 1] == kStepIdle) {
    g_StepMachine.step[d + 1] = kStepPushed;
    g_StepMachine.state[d + 1] = kStepStatePushed;
  }
  return true;
}

bool StepPop() {
  if (g_refusedPushes > 0) {
    --g_refusedPushes;
    return false;
  }
  const uint32_t d = Level();
  if (d == 0) {
    plat::Log("step", "pop refused at depth 0");
    return false;
  }
  g_StepMachine.depth = d - 1;
  if (g_StepMachine.step[d] == kStepDone) {
    g_StepMachine.step[d] = kStepIdle;
    return true;
  }
  return false;
}

void StepSetDepth(uint32_t depth) {
  g_StepMachine.depth = depth < kStepLevels ? depth : kStepLevels - 1;
  g_refusedPushes = 0;
}

bool StepCheckDone() {
  const uint32_t d = Level();
  g_StepMachine.pushPending = 0;
  if (g_StepMachine.state[d] == kStepStatePushed) g_StepMachine.state[d] = kStepStateRunning;
  if (g_StepMachine.step[d] == kStepDoneWait) {
    g_StepMachine.step[d] = kStepDone;
    return true;
  }
  return false;
}

bool StepBegin() {
  const uint32_t d = Level();
  if (g_StepMachine.step[d] != kStepPushed) return false;
  g_StepMachine.step[d] = kStepFirst;
  g_StepMachine.subStep[d] = 0;
  return true;
}

uint32_t StepGet() { return g_StepMachine.step[Level()]; }

void StepNext() {
  const uint32_t d = Level();
  ++g_StepMachine.step[d];
  g_StepMachine.subStep[d] = 0;
}

void StepJump(uint32_t n) {
  const uint32_t d = Level();
  g_StepMachine.step[d] = n;
  g_StepMachine.subStep[d] = 0;
  IdleDeeperLevels(d);
}

void StepFinish() {
  const uint32_t d = Level();
  if (g_StepMachine.waitPending) {
    g_StepMachine.waitPending = 0;
    g_StepMachine.step[d] = kStepDoneWait;
  } else {
    g_StepMachine.step[d] = kStepDone;
  }
  IdleDeeperLevels(d);
}

uint32_t SubStepGet() { return g_StepMachine.subStep[Level()]; }
void SubStepSet(uint32_t n) { g_StepMachine.subStep[Level()] = n; }
void SubStepNext() { ++g_StepMachine.subStep[Level()]; }

void SetStepWaitPending(bool on) { g_StepMachine.waitPending = on ? 1 : 0; }

void StepMachineToBytes(uint8_t (&out)[kStepMachineBytes]) {
  const StepMachine& m = g_StepMachine;
  for (int i = 0; i < kStepLevels; ++i) le::Put32(out + offsetof(StepMachine, subStep) + 4 * i, m.subStep[i]);
  std::memcpy(out + offsetof(StepMachine, state), m.state, sizeof m.state);
  for (int i = 0; i < kStepLevels; ++i) le::Put32(out + offsetof(StepMachine, step) + 4 * i, m.step[i]);
  le::Put32(out + offsetof(StepMachine, depth), m.depth);
  le::Put32(out + offsetof(StepMachine, pushPending), m.pushPending);
  le::Put32(out + offsetof(StepMachine, waitPending), m.waitPending);
}

bool StepMachineFromBytes(const uint8_t* data, size_t size) {
  if (data == nullptr || size != kStepMachineBytes) return false;
  const uint32_t depth = le::Get32(data + offsetof(StepMachine, depth));
  if (depth >= kStepLevels) {
    plat::Log("step", "saved step machine rejected: depth %u", depth);
    return false;
  }
  StepMachine m{};
  for (int i = 0; i < kStepLevels; ++i) m.subStep[i] = le::Get32(data + offsetof(StepMachine, subStep) + 4 * i);
  std::memcpy(m.state, data + offsetof(StepMachine, state), sizeof m.state);
  for (int i = 0; i < kStepLevels; ++i) m.step[i] = le::Get32(data + offsetof(StepMachine, step) + 4 * i);
  m.depth = depth;
  m.pushPending = le::Get32(data + offsetof(StepMachine, pushPending));
  m.waitPending = le::Get32(data + offsetof(StepMachine, waitPending));
  g_StepMachine = m;
  g_refusedPushes = 0;
  return true;
}
