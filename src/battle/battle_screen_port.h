// What the battle rules need of the battle scene. The scene is built elsewhere; until it is
// installed the default port shows nothing and lets the battle AI command every unit, so hidden
// battles and tests run without screens.
#pragma once

class BattleScreenPort {
 public:
  virtual ~BattleScreenPort() = default;
  // True when the player's side is commanded by hand through this screen.
  virtual bool FightsByHand() const { return false; }
  virtual void EnterBattleScene(int mode) {}
  virtual void LeaveBattleScene(int mode) {}
  virtual void ShowMessage(const char* text) {}
  // Fight by hand (2) or let it run automatically (1); -1 while the player has not answered.
  virtual int AskFightByHand() { return 2; }
  // The confirm input after the castle marker; true once pressed.
  virtual bool ConfirmPressed() { return true; }
  // The player's deployment of a side: true when done (the rules then use the slots it set).
  virtual bool PlayerDeploy(int side) { return true; }
  // The player's order for a unit (-1 while choosing).
  virtual int PlayerUnitOrder(int side, int unit) { return kOrderByAi; }
  // The reserve unit the player picked to swap in for the unit about to swap (kOrderByAi lets the
  // rules choose as the AI would).
  virtual int PlayerSwapPick(int side, int unit) { return kOrderByAi; }
  // The reserve unit the player picked for the detached force; -1 sends none (kOrderByAi lets the
  // rules choose).
  virtual int PlayerDetachedPick(int side) { return kOrderByAi; }
  // The beaten defender's choice, 40 hold or 41 retreat (-1 while choosing).
  virtual int PlayerDefenderChoice() { return 40; }
  // The player's siege order: 41 withdraw, 50 storm, 51 besiege (-1 while choosing).
  virtual int PlayerSiegeOrder() { return kOrderByAi; }
  // Whether the player takes a general who surrendered to him into his clan: 18 accept,
  // 19 refuse (he takes his life), -1 while the player decides.
  virtual int AcceptSurrender(int busyo) { return 18; }
  // The castle's marker on the strategy map while a battle opens and after it.
  virtual void ShowCastleMarker(int siro, bool on) {}
  // Music and effects.
  virtual void PlayMusic(const char* file) {}
  virtual void PlaySoundEffect(int n) {}
  // True while the battle scene still presents what the rules did (camera, attack, figures,
  // cut-in): the rules of a hand-fought battle do not take their next step until it ends. Asked
  // every logic step, so the screen must answer from its current state (a click skips).
  virtual bool IsActionPlaying() const { return false; }
  // The siege of a hand-fought battle. The castle panel: the castle's name (with its suffix), its
  // strength and the gauge's full value (the strength the siege began with).
  virtual void ShowSiegeCastle(const char* name, int value, int maximum) {}
  // The castle gauge to a new strength: counting to it over 200 ms when countUp is set, else at once.
  virtual void ShowSiegeGauge(int value, int maximum, bool countUp) {}
  // The siege view with its panels (the castle panel and the siege cost).
  virtual void ShowSiegePanels() {}
  // The gate's two halves: shaken under a storm, swung open when the castle falls.
  virtual void ShakeSiegeGate() {}
  virtual void OpenSiegeGate() {}
  // What the rules did, for the scene to present (a hand-fought battle only): the unit (side,
  // unit 0..5) acting, the action's kind and its values. Kinds: 1 front, 4 lane + facing, 5 lane -
  // facing attack; 8, 9, 10 the same for a charge (and the detached unit's strike, which starts
  // from its commander's lane); 7 a gun volley (a = -morale lost, b = -soldiers lost of the
  // target, c = -morale the actor paid); 3 a figure at the unit (value); 11 a skill's cut-in
  // (value = skill); 12 a skill's effect at the unit (value = skill).
  virtual void PlayAction(int side, int unit, int kind, int value, int a, int b, int c) {}
  // A general speaks his voice line (1 detached force, 8 named commander, 9 placed in a lane,
  // 17 his side broke, 19 storm or besiege, 20 the castle opens, 21 / 22 a skill in the field /
  // the siege).
  virtual void PlayVoice(int busyo, int line) {}
  // The skill lists of both sides: closed at every round's start, shown after its skill phase.
  virtual void ShowSkillLists(bool show) {}
  // The siege's surrender: the defenders give up the castle.
  virtual void ShowSurrender() {}
  // The music fades out before the battle scene opens; the rules poll until it is silent.
  virtual void FadeOutMusic() {}
  virtual bool MusicPlaying() const { return false; }
  // An effect of the battle still sounds on its channel.
  virtual bool SoundEffectPlaying() const { return false; }
  // Answer of the hooks above that hands the decision to the battle AI.
  static constexpr int kOrderByAi = -2;
};

BattleScreenPort& BattleScreen();
void SetBattleScreenPort(BattleScreenPort* port);  // null restores the default
