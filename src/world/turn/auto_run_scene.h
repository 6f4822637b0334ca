// A strategy scene with no screen that answers as auto-run does, for headless runs of the real
// turn loop: it starts a free game with a given clan (its home country; that clan from the start
// dialog; no start bonus; nobody carried over), says yes to every question, closes every dialog at
// once, and when the player's clan must dismiss generals it names the last vassal who is not the
// head.
#pragma once
#include <deque>

#include "world/world_ports.h"

class AutoRunSlgScene : public SlgScenePort {
 public:
  explicit AutoRunSlgScene(int clan) : clan_(clan) {}
  bool HasScene() const override { return true; }
  int GetSceneResult() override;
  int GetStartRegionChosen() override;
  bool OpenDialog(int id, int a, int b, int c) override;
  bool IsNoDialog() const override { return openDialog_ == -1; }
  void FinishDialog() override { openDialog_ = -1; }
  int GetDialogResult(int slot) override;
  bool OpenDialogScene(int kind, int flags) override { return true; }
  int GetDialogSceneResult() override { return 1; }
  int GetLoadFlag() const override { return loadFlag_; }
  void SetLoadFlag(int flag) override { loadFlag_ = flag; }

 private:
  int clan_;
  int openDialog_ = -1;
  int loadFlag_ = 0;
  // The new game's answers in order: free start, yes to the clan, no start bonus.
  std::deque<int> startAnswers_{16, 0, 21};
};
