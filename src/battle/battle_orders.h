// The player's side of a battle fought by hand: which battle commands the command menu enables,
// the command sets and labels the menu shows, and the deployment and order questions, run as
// polled state machines over a small link to the battle scene (so they run headless in tests).
#pragma once

#include "battle/battle_screen_port.h"

// Battle command codes of the command menu (formations 10..14, orders 15..41, siege 50..51).
struct KassenCommandEntry {
  int picture;  // first picture number; the second is picture + 16
  int code;     // -1 hides the button
};
inline constexpr int kKassenCommandSets = 11;
inline constexpr int kKassenCommandButtons = 8;
// Entry i (0..7) of set k (0..10); a hidden entry for anything out of range.
KassenCommandEntry KassenCommandSet(int set, int i);
// The message-line label of a code; null for codes without a label of their own.
const char* KassenCommandLabel(int code);

// The hint line's text for a code: its label, for 51 with the siege cost and the clan's money
// formatted anew each time; empty for codes without a label.
void KassenCommandHint(int code, char* out, int outSize);

// A row of a side's skill list: the unit, its skill and the rounds left (-1: shown as a full
// gauge without a number).
struct KassenSkillRow {
  int unit;
  int skill;
  int value;
};
inline constexpr int kKassenSkillRows = 5;
// The first rows of a side's skill list, fewest rounds left first; the number of rows.
int KassenSkillList(int side, KassenSkillRow* out, int maxRows);
// The units still to act this round (side * 6 + unit), in order of action; the number written.
int KassenOrderQueue(int* out, int maxEntries);

// Whether the command menu enables the button of a code for the current actor.
bool IsBattleCommandEnabled(int code);

// What the order questions need of the battle scene.
class KassenSceneLink {
 public:
  virtual ~KassenSceneLink() = default;
  virtual void SetPhase(int phase) = 0;
  virtual void ShowMessage(const char* text) = 0;
  // The player's pick since the last call (-1 none, 1 back, command codes, 300 + unit index).
  virtual int TakeResult() = 0;
  // A yes/no question; QuestionAnswer gives -1 while it is open, 1 yes, 2 no.
  virtual void OpenQuestion(const char* text) = 0;
  virtual int QuestionAnswer() = 0;
  // The field changed (placement, formation, commander).
  virtual void Redraw() {}
};

// The player's deployment and orders. One instance serves one battle at a time; Reset before it.
class PlayerOrders {
 public:
  explicit PlayerOrders(KassenSceneLink& link) : link_(link) {}
  void Reset();
  // Deployment of side 0; true when finished (placed, or the side holds the castle or retreats).
  bool Deploy();
  // The order for the current unit; -1 while choosing.
  int UnitOrder(int side, int unit);
  // The beaten defender's choice, 40 or 41; -1 while choosing.
  int DefenderChoice();
  // The siege order, 41, 50 or 51; -1 while choosing.
  int SiegeOrder();

  // The reserve unit the player picked with his last swap (20) or detached-force (21) order, taken
  // once by the rules when they carry the order out; kOrderByAi when he picked none for that unit.
  int TakeSwapPick(int side, int unit);
  int TakeDetachedPick(int side);

  int Formation() const { return formation_; }
  int LaneCursor() const { return cursor_; }

 private:
  bool PlaceableUnit(int unit) const;
  bool AnyPlaceable() const;
  void UndoLane();
  void AskLane();
  void SetCommander(int unit);
  int SimpleQuestion(int phase, const char* text);
  bool ReservePick(int unit) const;
  void BackToOrderMenu();

  KassenSceneLink& link_;
  int stage_ = 0;
  int formation_ = -1;
  int cursor_ = 0;
  int commander_ = -1;
  bool autoCommander_ = false;
  int oldCommander_ = -1;
  int pendingCode_ = -1;
  int placed_[8] = {};
  // The pick of the last swap or detached order: the unit that gave it and the reserve unit.
  int pickOrder_ = -1;
  int pickSide_ = -1;
  int pickUnit_ = -1;
  int pick_ = -1;
};
