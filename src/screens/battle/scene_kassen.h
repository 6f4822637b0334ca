// CVSceneKassen (scene 8): the battle the player commands. The battle rules reach it through
// KassenScreenPort; it shows the battle's messages, the command set of each phase (buttons
// 300..307, back 200), side 0's unit panels (2000..2005, a pick gives 300 + unit) and side 1's
// units, the order of action and, while browsing (402, phase 21), the skill lists, and turns the
// player's clicks into the picks the order questions poll.
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
  // Unit panels (face, kind, morale gauge, figures; dimmed when not a pick of the phase), side 1's
  // list, the order icons and the round counter.
  void RefreshPanels();
  // The row of units still to act this round, in order.
  void ShowOrderIcons();
  // The skill lists of both sides (shown while browsing the units).
  void ShowSkillLists(bool show);
  // Whether side 0's unit can be picked in the current phase.
  bool PanelSelectable(int unit) const;
  // The phase left at the last phase change; browsing returns there.
  int PreviousPhase() const { return previousPhase_; }
  void ReturnToPreviousPhase();
  // The 3-D field follows the board (units on their lanes and columns, attacks, the siege).
  void PlaceFieldUnits();
  // The view toggles' looks (attack presentation, overview camera: on or off) and the close-up label.
  void RefreshViewButtons();
  KassenField3D* Field() const { return field_.get(); }
  // The field is still presenting (camera move, attack, figures): the battle may wait on it.
  bool IsActionPlaying() const;
  // The figure widget of a side's unit, or null.
  CVMenuBase* FieldFigure(int side, int unit) const;
  // The pick a hit id stands for in the current phase (-1 none).
  int ResultOfHit(int hit) const;
  const char* Message() const;

 private:
  void ShowUnitDetail(int unit);
  void UpdateHint();

  CVMenuBase* menu_ = nullptr;
  int result_ = -1;
  int previousPhase_ = -1;
  int hintCode_ = -2;
  char savedMessage_[256] = {};
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
  int PlayerSwapPick(int side, int unit) override;
  int PlayerDetachedPick(int side) override;
  // Fight by hand or automatically: the dialog scene's question 13 over the map.
  int AskFightByHand() override;
  void PlayMusic(const char* file) override;
  void PlaySoundEffect(int n) override;
  // The field's running flag while the battle scene is the one on top (a scene over it, such as a
  // question, stops the field's clock, so the rules must not wait on it then).
  bool IsActionPlaying() const override;
  CVSceneKassen* Scene() const;

 private:
  bool asking_ = false;
};

void RegisterBattleScenes(CVSceneMgr& mgr);
KassenScreenPort& GetKassenScreenPort();
