// CVSceneSLG (scene 3): the scene in which the strategy game is played, and the strategy-scene
// interface of the rules (SlgScenePort). It owns the map screen (menu 0) and the command dialogs
// (menu k for dialog kind k); the rules drive the screen only through its operations. The scene
// adds the selection modes, the one-open-dialog bookkeeping, the dialog id -> menu mapping, the
// menu result -> scene result mapping, fast-forward and the information-detail push.
#pragma once
#include <cstdint>
#include <vector>

#include "screens/strategy/tenka_list.h"
#include "ui/scenes/cv_scene.h"
#include "world/world_ports.h"

class CVMenuSLGMain;
class CVMenuSLG_CmdBase;

class CVSceneSLG : public CVScene, public SlgScenePort {
 public:
  explicit CVSceneSLG(int32_t sceneId = 3);
  ~CVSceneSLG() override;

  // --- scene slots ---
  bool OnStart() override;
  int32_t UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) override;
  bool OnEnter() override;
  bool OnPhaseChange(int32_t oldPhase) override;

  // --- tables (no object needed) ---
  static uint16_t SelModeMask(int32_t mode, bool* valid);
  static int32_t GetDialogKind(int32_t dialogId);
  static int32_t GetDialogGroup(int32_t dialogId);
  // The result code of a hit id given the map's state flags.
  static int32_t ResultOfHit(int32_t hit, uint16_t mapFlags);

  // --- SlgScenePort (the rules' view of the scene) ---
  bool HasScene() const override { return true; }
  void SetPhase(int phase) override { CVScene::SetPhase(phase, 1, 0); }
  void SetCurrentDaimyo(int clan) override;
  void SetSelMode(int mode) override;
  void SetSelectedKuni(int kuni) override;
  void ResetMapMenu() override;
  void RefreshMapMenu(int clan, int flag) override { ShowClanPanel(clan, flag != 0); }
  void RefreshMapMenu() override { RefreshMap(); }
  void CloseSidePanel() override { SetMapStateNormal(); }
  void ShowMapNormal() override { SetMapStateNormal(); }
  void ShowDaimyoOnMap(int clan) override { SetMapStateClan(clan); }
  void ShowOwnDaimyoOnMap() override { ResetMapToCurrent(); }
  void BeginKuniPick() override { SetMapStatePlayer(); }
  void FocusKuni(int kuni, int flag) override;
  void ClearKuniFocus() override;
  void RememberKuniFocus() override;
  void RestoreKuniFocus() override;
  bool IsKuniFocused() const override;
  void PlayCastleIconAnime(int icon, int anime, int restart) override;
  void ShowPointer(int marker) override;
  void LockMapButtons(bool on) override;
  int GetLoadFlag() const override { return loadFlag_; }
  void SetLoadFlag(int flag) override { loadFlag_ = static_cast<uint8_t>(flag); }
  void SetKuniColor(int kuni, int color) override;
  void ResetKuniColors() override;
  void ShowMessage(const char* text, int kind, bool immediate) override;
  void ShowMessageMode2(const char* text, int kind, bool immediate) override;
  int GetSceneResult() override;
  void SetPanelDaimyo(int value) override;
  void ShowInfoPanel() override;
  void HideInfoPanel() override;
  bool OpenDialog(int id, int a, int b, int c) override;
  bool IsNoDialog() const override { return dialog_ == nullptr; }
  void SetDialogValues(int slot, int value) override;
  void SetDialogState(int state) override;
  void SetDialogKey(const char* text) override;
  int GetDialogResult(int slot) override;
  void FinishDialog() override;
  void ClearMarkedBusyo() override;
  void MarkBusyo(int busyo) override;
  int GetMarkedBusyo() const override;
  int CountMarkedBusyo() const override;
  void GetMarkedBusyoList(std::vector<int32_t>& out) const override;
  uint16_t GetSelectedCastle() const override;
  void SetSelectedCastle(uint16_t siro) override;
  int GetSelectedKuni() const override;
  void ClearSelectedKuni() override;
  void AddToListA(int busyo) override { listA_.Add(busyo); }
  bool IsListANotEmpty() const override { return listA_.Count() > 0; }
  void OpenSidePanel() override;
  void ShowSidePanelButton(bool on) override;
  int GetStartClanChosen() override { return Choice(0); }
  int GetStartClanHover() override { return Choice(1); }
  int GetStartRegionChosen() override { return Choice(2); }
  int GetStartRegionHover() override { return Choice(3); }
  int GetStartScenario() override { return Choice(4); }
  int GetHoverScenario() override { return Choice(5); }
  // The question over the strategy scene (scene 10) and its answer, read after it has closed.
  bool OpenDialogScene(int kind, int flags) override;
  int GetDialogSceneResult() override;
  // The generals the reserve dialog handed over.
  std::vector<int32_t> GetListB() const override { return listB_.Items(); }

  // --- the scene's own operations ---
  void RefreshMap();
  void ShowClanPanel(int32_t clan, bool animate);
  void HideClanPanel();
  void ShowMapMenu(bool on);
  void SetMapStateNormal();
  void SetMapStateClan(int32_t clan);
  void ResetMapToCurrent();
  void SetMapStatePlayer();
  void SetMapStateTarget();
  void SetMapStateNormalMenu();
  void ClearBusyoList();
  void AddBusyoToList(int32_t busyo);
  void ForgetDialog() { dialog_ = nullptr; }
  void ForgetDialogIf(const CVMenuSLG_CmdBase* menu) {
    if (dialog_ == menu) dialog_ = nullptr;
  }
  void OpenInfoDetail(int32_t busyo, int32_t ownClan, const slgui::CTenkaList_Busyo* list);
  // The battle scene: 8 when the player fights (battle mode 2), else 9.
  bool IsBattleSceneReady(bool request, int32_t battleMode);
  bool IsFastForward() const;
  void ShowIconMarker(int32_t siro, int32_t mode) override;
  void HideIconMarker(int32_t siro) override;
  bool IsIconMarkerAnimating(int32_t siro) override;
  void ClearListA() { listA_.Clear(); }
  void AddToListB(int32_t busyo) { listB_.Add(busyo); }
  void ClearListB() { listB_.Clear(); }
  bool IsListBNotEmpty() const { return listB_.Count() > 0; }
  slgui::CTenkaList_Busyo* GetListA() { return &listA_; }
  slgui::CTenkaList_Busyo* GetListB() { return &listB_; }

  CVMenuSLGMain* MapMenu() const { return map_; }
  CVMenuSLG_CmdBase* DialogMenu() const { return dialog_; }
  int32_t CurrentDaimyo() const { return currentDaimyo_; }

 private:
  int Choice(int i) const;

  CVMenuSLGMain* map_ = nullptr;
  CVMenuSLG_CmdBase* dialog_ = nullptr;
  int32_t currentDaimyo_ = 0;
  slgui::CTenkaList_Busyo listA_;
  slgui::CTenkaList_Busyo listB_;
  uint8_t loadFlag_ = 0;
};

// Registers scene 3 and the menu types of the strategy screens (30, 38, 39). With installPort the
// scene, while it exists, is the strategy-scene port of the rules, and the player's command flows
// are the turn's player port from now on.
class CVSceneMgr;
void RegisterStrategyScenes(CVSceneMgr& mgr, bool installPort);
