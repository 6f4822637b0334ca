// Fixture of the command tests: the scripted scene with marked generals, a selected castle and
// country, list B and the values the rules passed to the open dialog; a rules port that writes
// real auto-saves and counts them; helpers that answer the scene and run the real turn loop.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "save/save_slot.h"
#include "screens/strategy/commands/player_turn.h"
#include "tests/world/turn/turn_fixture.h"
#include "world/commands/command_costs.h"
#include "screens/strategy/commands/player_commands.h"
#include "world/turn/command_check.h"

struct CommandScene : ScriptedSlgScenePort {
  std::map<int, int> given;  // SetDialogValues of the open dialog, last value per slot
  std::vector<int32_t> listB;
  int selectedKuni = -1;
  int panel = -2;
  bool focused = false;

  void ClearMarkedBusyo() override { marked.clear(); }
  void MarkBusyo(int busyo) override { marked.push_back(busyo); }
  int GetMarkedBusyo() const override { return marked.empty() ? 0xFFFF : marked.front(); }
  void SetSelectedCastle(uint16_t siro) override { selectedCastle = siro; }
  int GetSelectedKuni() const override { return selectedKuni; }
  void ClearSelectedKuni() override { selectedKuni = -1; }
  std::vector<int32_t> GetListB() const override { return listB; }
  void SetDialogValues(int slot, int value) override { given[slot] = value; }
  void SetPanelDaimyo(int value) override { panel = value; }
  void FocusKuni(int, int) override { focused = true; }
  void ClearKuniFocus() override { focused = false; }
  bool IsKuniFocused() const override { return focused; }
  bool OpenDialog(int id, int a, int b, int c) override {
    if (!ScriptedSlgScenePort::OpenDialog(id, a, b, c)) return false;
    given.clear();
    return true;
  }
  bool MessageContains(const std::string& part) const {
    for (const std::string& m : messages)
      if (m.find(part) != std::string::npos) return true;
    return false;
  }
};

struct SavingRules : TurnRulesPort {
  int autoSaves = 0;
  bool AutoSave(int gameMode) override {
    ++autoSaves;
    return ::AutoSave(gameMode);
  }
};

class CommandTest : public TurnTest {
 protected:
  void SetUp() override {
    TurnTest::SetUp();
    SetSlgScenePort(&cs);
    SetSlgRulesPort(&saving);
    SetPlayerTurnPort(&PlayerCommandFlows());
    cs.whenIdle = -1;
    BuildSmallWorld();
    ResetCommandWork();
    SlgCommandCode = 255;
    DaimyoTable[player].money = 1000;
    DaimyoTable[player].cp = 20;
    DaimyoTable[player].rank = 2;
    DaimyoTable[player].gunRate = 5;
    DaimyoTable[player].gunsPerPurchase = 10;
    DaimyoTable[player].revenue = 2000;
    KuniTable[kuniA].holder = static_cast<uint8_t>(player);
    KuniTable[kuniA].playerShare = 100;
    KuniTable[kuniB].holder = static_cast<uint8_t>(enemy);
    for (int s = 0; s < 4; ++s) SiroTable[s].maxLevel = 10;
    for (int b : {pHead, pGen}) {
      BusyoTable[b].cur.stat[2] = 50;  // third stat
      BusyoTable[b].loyalty = 10;
    }
  }
  void TearDown() override {
    SetSlgRulesPort(nullptr);
    TurnTest::TearDown();
  }
  // Runs the turn loop into the player's phase of the given sub-phase (1 military, 2 politics).
  void EnterPhase(uint8_t subPhase) {
    StartAtTurn(subPhase);
    ASSERT_TRUE(RunUntil([&] { return !cs.phases.empty() && cs.phases.back() == subPhase; }, 200));
    for (int i = 0; i < 5; ++i) Frame();
  }
  // The player's answer on the map or in a dialog, then frames until the rules have read it.
  // Frames until the turn has left the given sub-phase (the other clans take their turns).
  bool LeavesPhase(uint8_t subPhase) {
    return RunUntil([&] { return TurnSubPhase != subPhase; }, 2000);
  }
  void Answer(int result, int settle = 6) {
    cs.sceneResults.push_back(result);
    RunUntil([&] { return cs.sceneResults.empty(); }, 100);
    for (int i = 0; i < settle; ++i) Frame();
  }
  void Mark(std::vector<int32_t> generals) {
    cs.marked = std::move(generals);
    for (int i = 0; i < 6; ++i) Frame();
  }
  // The phase is still in the dispatcher (no command running, waiting for a menu choice).
  bool InPhase() const { return cs.phases.size() > 0 && SlgCommandCode != 15; }

  CommandScene cs;
  SavingRules saving;
};
