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

// The duel panels' pair: the player's unit always in the first panel. Units are flat numbers
// (side * 6 + unit), -1 none; direction 0 when the first panel's unit acts, 1 when the second's.
struct KassenDuel {
  int first = -1;
  int second = -1;
  int direction = 0;
};
KassenDuel KassenDuelOf(int actor, int target, bool actorIsPlayers);
// The lane a hovered target command points at: lane - facing for the left wing (27, 30, 33, 36),
// lane + facing for the right (29, 32, 35, 38), else the actor's own lane.
int KassenHoverLane(int actorLane, int command, int facing);
// A duel panel's entry animation: 1 (in from its outer edge) for the acting unit's panel, 2 (up
// from below) for the other.
inline int KassenDuelEntryAnime(int direction, int panel) { return panel == direction ? 1 : 2; }

// The screen's display mode (0 formation, 1 and 4 battle, 2 the attack presentation, 3 the siege)
// and its change. A change to 1, 2 or 3 goes through the cover in three stages, one check per
// frame: the cover closes in (its animation 1), the new mode's panels are built under it, the cover
// opens out (animation 2) and goes. Modes 0 and 4 apply at once. A request while a change runs
// waits for it (the latest request wins); nothing skips a change.
class KassenDisplayModes {
 public:
  enum Action { kNothing, kApply, kOpenCover, kBuild, kCloseCover };
  // Mode m (0..4; above 4 refused). The same mode again does nothing unless forced.
  Action Request(int m, bool force = false);
  // The frame's one check; coverPlaying: the cover's current animation still runs.
  Action Step(bool coverPlaying);
  int Mode() const { return mode_; }
  int Previous() const { return previous_; }
  // The mode the screen is heading for (queued, changing to, or shown).
  int Wanted() const { return queued_ >= 0 ? queued_ : stage_ != 0 ? target_ : mode_; }
  // A change is under way or waiting: the battle waits on it like on any presentation.
  bool Pending() const { return stage_ != 0 || queued_ >= 0; }
  int Stage() const { return stage_; }

 private:
  int mode_ = -1, previous_ = -1, target_ = -1, queued_ = -1, queuedForce_ = 0;
  int stage_ = 0;  // 0 none, 1 cover closing in, 2 cover opening out
};

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
  // Every question enters its phase anew, even the one already shown: the order menu of the next
  // unit is built for that unit (its command set and what the enable table allows it).
  void SetPhase(int phase) override { CVScene::SetPhase(phase, 1, 0); }
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
  // The round's skill lists: at a round's skill phase they stand over the field for
  // kRoundListsMs (a click ends it; the battle waits on them like on any presentation), unless no
  // unit has a running skill.
  static constexpr float kRoundListsMs = 1500.0f;
  void SetRoundSkillLists(bool show);
  bool RoundSkillListsShown() const { return roundListsMs_ > 0; }
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
  // The field is still presenting (camera move, attack, figures) or the display mode is changing:
  // the battle may wait on it.
  bool IsActionPlaying() const;
  // The duel panels: actor (-1 the current actor) against target (kFacingTarget: the opposite
  // unit in the actor's lane; -1 none), the player's unit first.
  static constexpr int kFacingTarget = -2;
  void ShowDuel(int actor, int target);
  void FocusCurrentActor();
  // Fills the two duel panels (flat unit numbers, -1 none) and keeps them for the panel refresh;
  // a panel whose unit changed plays its entry animation.
  void ShowDuelPanels(int first, int second, int direction);
  const KassenDuel& Duel() const { return duel_; }
  CVMenuBase* DuelPanel(int i) const;
  // The siege view: both sides' first commanders in the duel panels, then the siege mode.
  void ShowSiegeView();
  // The siege panels (shown in display mode 3 once the castle is named): the castle's name, its
  // strength as number and gauge, and what besieging costs against the attacking clan's money.
  void ShowSiegeCastle(const char* name, int value, int maximum);
  // The gauge to a new strength, over 200 ms when countUp is set.
  void ShowSiegeGauge(int value, int maximum, bool countUp);
  CVMenuBase* SiegePanel() const;
  int DisplayMode() const { return modes_.Mode(); }
  const KassenDisplayModes& DisplayModes() const { return modes_; }
  void RequestDisplayMode(int mode, bool force = false);
  // Unit n (0..11): the information page with the side's own generals (generic units left out);
  // without the page, the unit's details in the message line.
  void OpenUnitInfo(int n);
  // A unit that stands for another's general (a copy made to fill a lane) shows the generic
  // picture of its kind.
  static bool IsGenericUnit(int side, int unit);
  // The name a unit's panels show: its general's, or for a copy "<family>分隊"; with familyOnly
  // the family name alone (and "分隊" for a copy).
  static const char* UnitName(int side, int unit, bool familyOnly = false);
  // The face picture pattern and number a unit's panels show.
  static void UnitFace(int side, int unit, const char*& pattern, int& number);
  // The figure widget of a side's unit, or null.
  CVMenuBase* FieldFigure(int side, int unit) const;
  // The pick a hit id stands for in the current phase (-1 none).
  int ResultOfHit(int hit) const;
  const char* Message() const;

 private:
  void ShowUnitDetail(int unit);
  void UpdateHint();
  int HoveredCommand() const;
  void ApplyDisplayMode(KassenDisplayModes::Action a);
  void StepDisplayMode();
  void FollowField();
  void RefreshSiegeCost();

  CVMenuBase* menu_ = nullptr;
  int result_ = -1;
  int previousPhase_ = -1;
  int hintCode_ = -2;
  char savedMessage_[256] = {};
  int commands_[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  bool questionOpen_ = false;
  std::unique_ptr<KassenField3D> field_;
  bool clicked_ = false;
  KassenDisplayModes modes_;
  KassenDuel duel_;
  int duelShown_[2] = {-1, -1};
  float duelHome_[2][2] = {};
  bool duelHomeKept_ = false;
  bool redrawPanels_ = false;
  int lastHoverCommand_ = -3;
  int lastActor_ = -1;
  int lastFieldStep_ = 0;
  bool siegeNamed_ = false;
  float roundListsMs_ = 0;
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
  void ShowSiegeCastle(const char* name, int value, int maximum) override;
  void ShowSiegeGauge(int value, int maximum, bool countUp) override;
  void ShowSiegePanels() override;
  void ShakeSiegeGate() override;
  void OpenSiegeGate() override;
  void PlayAction(int side, int unit, int kind, int value, int a, int b, int c) override;
  void PlayVoice(int busyo, int line) override;
  void ShowSkillLists(bool show) override;
  void ShowSurrender() override;
  void FadeOutMusic() override;
  bool MusicPlaying() const override;
  bool SoundEffectPlaying() const override;
  // Fight by hand or automatically: the dialog scene's question 13 over the map.
  int AskFightByHand() override;
  bool ConfirmPressed() override;
  void PlayMusic(const char* file) override;
  void PlaySoundEffect(int n) override;
  // The field's running flag while the battle scene is the one on top (a scene over it, such as a
  // question, stops the field's clock, so the rules must not wait on it then).
  bool IsActionPlaying() const override;
  CVSceneKassen* Scene() const;

 private:
  bool asking_ = false;
  // Polls left before a fade or an effect that never ends stops holding the battle.
  mutable int musicPolls_ = 0, effectPolls_ = 0;
};

void RegisterBattleScenes(CVSceneMgr& mgr);
KassenScreenPort& GetKassenScreenPort();
