// What the world rules need of the screens, the scenario engine and the battles. The upper
// libraries implement these ports; tests install scripted fakes. Every operation of the default
// (null) port does nothing and answers "nothing there", as the strategy scene does while it has
// no map menu or no open dialog.
#pragma once
#include <cstdint>
#include <vector>

// The strategy scene (scene 3) with its map menu and command dialogs.
class SlgScenePort {
 public:
  virtual ~SlgScenePort() = default;
  // Scene and map.
  virtual bool HasScene() const { return false; }
  virtual void SetPhase(int phase) {}
  virtual void SetCurrentDaimyo(int clan) {}
  virtual void SetSelMode(int mode) {}
  virtual void SetSelectedKuni(int kuni) {}
  virtual void ResetMapMenu() {}
  virtual void RefreshMapMenu(int clan, int flag) {}
  virtual void RefreshMapMenu() {}
  virtual void CloseSidePanel() {}
  virtual void ShowMapNormal() {}
  virtual void ShowDaimyoOnMap(int clan) {}
  virtual void ShowOwnDaimyoOnMap() {}
  virtual void BeginKuniPick() {}
  virtual void FocusKuni(int kuni, int flag) {}
  virtual void ClearKuniFocus() {}
  virtual void RememberKuniFocus() {}
  virtual void RestoreKuniFocus() {}
  virtual bool IsKuniFocused() const { return false; }
  virtual void PlayCastleIconAnime(int icon, int anime, int restart) {}
  // The marker on a castle's icon of the province view (mode 2 a plot's), and whether it still
  // plays; a castle without an icon there shows none.
  virtual void ShowIconMarker(int siro, int mode) {}
  virtual void HideIconMarker(int siro) {}
  virtual bool IsIconMarkerAnimating(int siro) { return false; }
  virtual void ShowPointer(int marker) {}
  virtual void LockMapButtons(bool on) {}
  virtual int GetLoadFlag() const { return 0; }
  virtual void SetLoadFlag(int flag) {}
  // Map colours of the countries (new-game colouring and event effects).
  virtual void SetKuniColor(int kuni, int color) {}
  virtual void ResetKuniColors() {}
  // Messages: kind is not read; immediate shows the text at once.
  virtual void ShowMessage(const char* text, int kind, bool immediate) {}
  virtual void ShowMessageMode2(const char* text, int kind, bool immediate) {}
  // Result code of the last menu hit, -1 none.
  virtual int GetSceneResult() { return -1; }
  // Panel.
  virtual void SetPanelDaimyo(int value) {}
  virtual void ShowInfoPanel() {}
  virtual void HideInfoPanel() {}
  // Dialogs.
  virtual bool OpenDialog(int id, int a, int b, int c) { return false; }
  virtual bool IsNoDialog() const { return true; }
  virtual void SetDialogValues(int slot, int value) {}
  virtual void SetDialogState(int state) {}
  virtual void SetDialogKey(const char* text) {}
  virtual int GetDialogResult(int slot) { return -1; }
  virtual void FinishDialog() {}
  // Marked generals and castles.
  virtual void ClearMarkedBusyo() {}
  virtual void MarkBusyo(int busyo) {}
  virtual int GetMarkedBusyo() const { return 0xFFFF; }
  virtual int CountMarkedBusyo() const { return 0; }
  virtual void GetMarkedBusyoList(std::vector<int32_t>& out) const { out.clear(); }
  virtual uint16_t GetSelectedCastle() const { return 0xFFFF; }
  virtual void SetSelectedCastle(uint16_t siro) {}
  virtual int GetSelectedKuni() const { return -1; }
  virtual void ClearSelectedKuni() {}
  virtual void AddToListA(int busyo) {}
  virtual bool IsListANotEmpty() const { return false; }
  // New-game side panel; each getter -1 when nothing is chosen or under the cursor.
  virtual void OpenSidePanel() {}
  virtual void ShowSidePanelButton(bool on) {}
  virtual int GetStartClanChosen() { return -1; }
  virtual int GetStartClanHover() { return -1; }
  virtual int GetStartRegionChosen() { return -1; }
  virtual int GetStartRegionHover() { return -1; }
  virtual int GetStartScenario() { return -1; }
  virtual int GetHoverScenario() { return -1; }
  // The dialog scene (scene 10) pushed over the strategy scene with a question of the given kind
  // (9 dismissing a general, 10 the unification question); false when it cannot open.
  virtual bool OpenDialogScene(int kind, int flags) { return false; }
  // Its answer: -1 while unanswered or absent, 1 yes, 2 no.
  virtual int GetDialogSceneResult() { return -1; }
  // List B: the reserve generals ticked in the reserve dialog.
  virtual std::vector<int32_t> GetListB() const { return {}; }
};

// The scenario engine as the strategy rules see it.
class AdvPort {
 public:
  virtual ~AdvPort() = default;
  virtual void StartAdvScript(int event) {}
  virtual void StartAdvEvent(int event, int mode, const char* label, bool toScenarioScene) {}
  virtual bool ReturnToSlgScene() { return false; }
  virtual void RequestTitleScene() {}
};

// The battles: shared battle state and experience gains.
class BattlePort {
 public:
  virtual ~BattlePort() = default;
  virtual bool IsBusyoInRosterA(int busyo) const { return false; }
  virtual bool IsBusyoInRosterB(int busyo) const { return false; }
  // A removed general counted as a battle loss (second = his castle's second list had room).
  virtual void AddBattleLoss(bool second) {}
  virtual void SetRosterChanged() {}
  virtual int BusyoGainExperience2(int busyo) { return 0; }
  virtual int BusyoGainExperience3(int busyo) { return 0; }
  virtual int BusyoGainExperience4(int busyo, int several, int count) { return 0; }
  // The battle at a castle between its garrison (first list) and the generals who marched on it
  // (second list). A step routine (core/step_machine.h): the war phase pushes it and calls it every
  // logic step until it returns something other than kStepRunning; it writes the result back to
  // the world and leaves no general in the castle's second list. While IsSaveRegistering()
  // (world/turn/save_register.h) it only registers its statics, in this order and these widths,
  // with RegisterSaveField: mode byte 1, castle 2, castle level 1, three state bytes 1 each,
  // a 1032-byte and a 32-byte block (1071 bytes), and returns 0 without touching the step machine.
  // The default body is the interim resolver (world/turn/interim_battle.h), used until the battles
  // land.
  virtual int BattleRun(int castle);
  // One line naming what resolves the battles (the game runner prints it).
  virtual const char* BattleResolverName() const;
};

// Turn rules built elsewhere that the new game calls (totals, shares, revenues, turn reset).
class SlgRulesPort {
 public:
  virtual ~SlgRulesPort() = default;
  virtual void RecalcDaimyoTotals(int flag) {}
  virtual void RecalcPlayerShares() {}
  virtual void RecalcAllRevenues() {}
  // Reloads the scenario through the turn reset; the default starts a new game directly.
  virtual void ResetSlgTurnState();
  // Loads a save slot; false when it cannot.
  virtual bool LoadGameSlot(int slot) { return false; }
  // The play record's clear count and the run's cleared mark (after cbl.dat is updated).
  virtual void RecordGameCleared() {}
  // A quick save exists (the quick-load command needs one).
  virtual bool HasQuickSave() { return false; }
  // Writes the next auto-save of the running game (game mode as the save slots take it).
  virtual bool AutoSave(int gameMode) { return false; }
  // Whether the player clan's money covers raising the castle's works to the level (the value
  // dialog asks before it lets the player confirm); without rules nothing stops the player.
  virtual bool IsSiroWorkCostAffordable(int siro, int level) { return true; }
};

// Installed ports (never null: a null argument restores the default port).
SlgScenePort& SlgScene();
AdvPort& Adv();
BattlePort& Battle();
SlgRulesPort& SlgRules();
void SetSlgScenePort(SlgScenePort* port);
void SetAdvPort(AdvPort* port);
void SetBattlePort(BattlePort* port);
void SetSlgRulesPort(SlgRulesPort* port);
