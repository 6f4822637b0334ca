// A strategy scene for tests: the test sets what the player points at, chooses and answers;
// the scene records what the rules asked of it.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "world/world_ports.h"

struct ScriptedSlgScene : SlgScenePort {
  // What the player does (set by the test before a frame).
  int hoverClan = -1, chosenClan = -1, hoverRegion = -1, chosenRegion = -1;
  int startScenario = -1, hoverScenario = -1;
  std::deque<int> results;  // scene results, one per read
  int dialogCursor = -1, dialogChosen = -1, dialogListCount = 0;
  std::deque<int> handedOut;  // generals the carry-over dialog hands out

  // What the rules did.
  std::vector<std::string> messages, questions;
  std::vector<int> openedDialogs, dialogClans;
  int openDialog = -1, currentDaimyo = -1, selectedKuni = -2;
  bool sidePanel = false;

  bool HasScene() const override { return true; }
  int GetSceneResult() override {
    if (results.empty()) return -1;
    int r = results.front();
    results.pop_front();
    return r;
  }
  int GetStartClanChosen() override { return chosenClan; }
  int GetStartClanHover() override { return hoverClan; }
  int GetStartRegionChosen() override { return chosenRegion; }
  int GetStartRegionHover() override { return hoverRegion; }
  int GetStartScenario() override { return startScenario; }
  int GetHoverScenario() override { return hoverScenario; }
  void OpenSidePanel() override { sidePanel = true; }
  void CloseSidePanel() override { sidePanel = false; }
  void ShowMessage(const char* text, int, bool) override { messages.push_back(text ? text : ""); }
  void ShowMessageMode2(const char* text, int, bool) override { questions.push_back(text ? text : ""); }
  bool OpenDialog(int id, int a, int, int) override {
    if (openDialog != -1) return false;
    openDialog = id;
    openedDialogs.push_back(id * 10 + a);
    return true;
  }
  bool IsNoDialog() const override { return openDialog == -1; }
  void FinishDialog() override { openDialog = -1; }
  void SetDialogValues(int slot, int value) override {
    if (slot == 1) dialogClans.push_back(value);
  }
  int GetDialogResult(int slot) override {
    if (openDialog == -1) return -1;
    switch (slot) {
      case 0:
        return dialogListCount;
      case 1:
        return handedOut.empty() ? 0 : 1;
      case 2: {
        if (handedOut.empty()) return 0xFFFF;
        int g = handedOut.front();
        handedOut.pop_front();
        return g;
      }
      case 3:
        return dialogChosen;
      case 4:
        return dialogCursor;
      default:
        return -1;
    }
  }
  void SetCurrentDaimyo(int clan) override { currentDaimyo = clan; }
  void SetSelectedKuni(int kuni) override { selectedKuni = kuni; }
};
