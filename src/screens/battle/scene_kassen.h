// CVSceneKassen (scene 8): the battle the player commands. The battle rules reach it through
// KassenScreenPort; it shows the battle's messages, the command set of each phase (buttons
// 300..307, back 200), side 0's unit panels (2000..2005, a pick gives 300 + unit) and side 1's
// units, and turns the player's clicks into the picks the order questions poll.
#pragma once
#include <cstdint>
#include <memory>

#include "battle/battle_orders.h"
#include "battle/battle_screen_port.h"
#include "ui/scenes/cv_scene.h"

class CVSceneMgr;
class CVMenuBase;
class KassenField3D;

class CVSceneKassen : public CVScene, public KassenSceneLink {
 public:
  explicit CVSceneKassen(int32_t sceneId = 8);
  ~CVSceneKassen() override;
  bool OnStart() override;
  int32_t Update(float dt) override;
  bool DrawMain() override;
  int32_t UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) override;
  bool OnPhaseChange(int32_t oldPhase) override;

  // KassenSceneLink
  void SetPhase(int phase) override { CVScene::SetPhase(phase, 0, 0); }
  void ShowMessage(const char* text) override;
  int TakeResult() override;
  void OpenQuestion(const char* text) override;
  int QuestionAnswer() override;
  void Redraw() override { RefreshPanels(); }

  // Shows command set 0..10 (-1 hides the buttons).
  void ShowCommandSet(int set);
  void RefreshPanels();
  // The 3-D field follows the board (units on their lanes and columns, attacks, the siege).
  void PlaceFieldUnits();
  KassenField3D* Field() const { return field_.get(); }
  // The field is still presenting (camera move, attack, figures): the battle may wait on it.
  bool IsActionPlaying() const;
  // The figure widget of a side's unit, or null.
  CVMenuBase* FieldFigure(int side, int unit) const;
  // The pick a hit id stands for in the current phase (-1 none).
  int ResultOfHit(int hit) const;
  const char* Message() const;

 private:
  CVMenuBase* menu_ = nullptr;
  int result_ = -1;
  int commands_[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  bool questionOpen_ = false;
  std::unique_ptr<KassenField3D> field_;
  bool clicked_ = false;
};

// The battle rules' screen port while the game runs: player battles open scene 8 and are fought
// through PlayerOrders; without the scene the battle AI answers for the player.
class KassenScreenPort : public BattleScreenPort {
 public:
  bool FightsByHand() const override { return true; }
  void EnterBattleScene(int mode) override;
  void LeaveBattleScene(int mode) override;
  void ShowMessage(const char* text) override;
  bool PlayerDeploy(int side) override;
  int PlayerUnitOrder(int side, int unit) override;
  int PlayerDefenderChoice() override;
  int PlayerSiegeOrder() override;
  CVSceneKassen* Scene() const;
};

void RegisterBattleScenes(CVSceneMgr& mgr);
KassenScreenPort& GetKassenScreenPort();
