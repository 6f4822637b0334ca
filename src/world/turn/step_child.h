// Running a child step routine from a parent routine (core/step_machine.h).
#pragma once
#include "core/step_machine.h"

// Pushes a level, runs the child once and pops; true when the child finished on this step.
template <typename F>
inline bool RunChild(F&& child) {
  if (!StepPush()) return false;
  child();
  return StepPop();
}
