// Helpers for the tests of the computer clans, independents and events: scripted draws and a
// driver that runs a step routine to its end.
#pragma once
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/game_rand.h"
#include "core/step_machine.h"
#include "tests/world/scripted_scene.h"
#include "tests/world/world_fixture.h"

// The draws a test scripts: the listed values first, then `rest` for every further draw. A value
// v gives v % n for a draw of 0 .. n-1.
class ScriptedDraws {
 public:
  explicit ScriptedDraws(std::vector<int> first, int rest = 0)
      : values_(std::make_shared<std::deque<int>>(first.begin(), first.end())),
        count_(std::make_shared<int>(0)),
        scope_([v = values_, c = count_, rest] {
          ++*c;
          if (v->empty()) return rest;
          int x = v->front();
          v->pop_front();
          return x;
        }) {}
  int Count() const { return *count_; }
  size_t Left() const { return values_->size(); }

 private:
  std::shared_ptr<std::deque<int>> values_;
  std::shared_ptr<int> count_;
  ScopedGameRandOverride scope_;
};

// Runs a step routine as the child of level 0 until it finishes; the frames it took, or -1 when it
// did not finish within the bound.
template <typename F>
int RunSteps(F&& routine, int maxFrames = 200000) {
  StepReset();
  for (int i = 0; i < maxFrames; ++i) {
    StepPush();
    routine();
    if (StepPop()) return i + 1;
  }
  return -1;
}

// Stations a new vassal of the clan in the castle (first free vassal slot).
inline int AddVassal(WorldBuilder& w, int clan, int siro, int soldiers, const char* name = "雲井 広成") {
  int g = w.Busyo(name, siro);
  BusyoTable[g].soldiers = static_cast<uint8_t>(soldiers);
  int slot = 0;
  while (DaimyoTable[clan].vassals[slot] != kNoBusyo) ++slot;
  DaimyoTable[clan].vassals[slot] = static_cast<uint16_t>(g);
  if (siro >= 0 && siro < kSiroSlots) {
    SiroTable[siro].list1[kSiroListLen - 1] = {static_cast<uint8_t>(clan), static_cast<uint8_t>(slot)};
    SortSiroSlots(siro);
  }
  return g;
}
