// A scripted strategy scene for the turn and command tests: the test queues what the player
// answers (scene results, values read back from the open dialog per slot, yes/no answers of the
// dialog scene); the scene records what the rules asked of it. Every getter answers "nothing"
// when its queue is empty.
#pragma once
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "world/world_ports.h"

struct ScriptedSlgScenePort : SlgScenePort {
  // What the player does.
  std::deque<int> sceneResults;                // one per GetSceneResult
  std::map<int, std::deque<int>> dialogSlots;  // per slot, one per GetDialogResult; the last value stays
  std::deque<int> dialogSceneAnswers;          // one per GetDialogSceneResult (1 yes, 2 no)
  std::vector<int32_t> marked;                 // marked generals
  uint16_t selectedCastle = 0xFFFF;
  int whenIdle = -1;  // GetSceneResult once sceneResults is empty

  // What the rules did.
  std::vector<std::string> messages;         // ShowMessage texts, "" for a clear
  std::vector<std::pair<int, int>> dialogs;  // (id, a) of every OpenDialog that opened
  std::vector<int> dialogScenes;             // kinds of OpenDialogScene
  std::vector<int> phases, selModes, listA;
  std::vector<std::pair<int, int>> dialogValues;  // (slot, value) of every SetDialogValues
  int openDialog = -1;
  int loadFlag = 0;
  int currentDaimyo = -1;

  bool HasScene() const override { return true; }
  void SetPhase(int phase) override { phases.push_back(phase); }
  void SetSelMode(int mode) override { selModes.push_back(mode); }
  void SetCurrentDaimyo(int clan) override { currentDaimyo = clan; }
  void ShowMessage(const char* text, int, bool) override { messages.push_back(text ? text : ""); }
  void ShowMessageMode2(const char* text, int, bool) override { messages.push_back(text ? text : ""); }
  int GetSceneResult() override { return sceneResults.empty() ? whenIdle : Pop(sceneResults); }
  bool OpenDialog(int id, int a, int, int) override {
    if (openDialog != -1) return false;
    openDialog = id;
    dialogs.emplace_back(id, a);
    return true;
  }
  bool IsNoDialog() const override { return openDialog == -1; }
  void FinishDialog() override { openDialog = -1; }
  void SetDialogValues(int slot, int value) override { dialogValues.emplace_back(slot, value); }
  int GetDialogResult(int slot) override {
    if (openDialog == -1) return -1;
    auto it = dialogSlots.find(slot);
    if (it == dialogSlots.end() || it->second.empty()) return -1;
    int v = it->second.front();
    if (it->second.size() > 1) it->second.pop_front();
    return v;
  }
  bool OpenDialogScene(int kind, int) override {
    dialogScenes.push_back(kind);
    return true;
  }
  int GetDialogSceneResult() override { return Pop(dialogSceneAnswers); }
  int GetLoadFlag() const override { return loadFlag; }
  void SetLoadFlag(int flag) override { loadFlag = flag; }
  void AddToListA(int busyo) override { listA.push_back(busyo); }
  bool IsListANotEmpty() const override { return !listA.empty(); }
  int CountMarkedBusyo() const override { return static_cast<int>(marked.size()); }
  void GetMarkedBusyoList(std::vector<int32_t>& out) const override { out = marked; }
  uint16_t GetSelectedCastle() const override { return selectedCastle; }

  bool SaidSomething(const std::string& text) const {
    for (const std::string& m : messages)
      if (m == text) return true;
    return false;
  }

 private:
  static int Pop(std::deque<int>& q) {
    if (q.empty()) return -1;
    int v = q.front();
    q.pop_front();
    return v;
  }
};
