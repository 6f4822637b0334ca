#include "world/turn/turn_loop.h"

#include <atomic>
#include <cstring>

#include "core/app_state.h"
#include "core/cv_input.h"
#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "world/turn/step_child.h"
#include "world/new_game.h"
#include "world/placement.h"
#include "world/record_lists.h"
#include "world/scenario_tables.h"
#include "world/slg_util.h"
#include "world/turn/turn_ports.h"
#include "world/turn/command_check.h"
#include "world/turn/phase_loops.h"
#include "world/turn/season_turn.h"
#include "world/turn/slg_sound_port.h"
#include "world/turn/turn_state.h"
#include "world/turn/unification.h"
#include "world/turn/war_phase.h"
#include "world/world_misc.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

bool LeftSlg() { return GameMode != game_mode::kSlg; }

bool MouseHeld() { return MouseButtonMask() != 0; }

// Clears the season word (or the military-phase word) of every general.
void ClearBusyoWords(uint16_t BusyoRecord::*word) {
  for (BusyoRecord& b : BusyoTable) b.*word = 0;
}

// The country in which the head of the player's clan stands; 255 when he is in the fictional
// castle, unplaced or missing.
uint8_t PlayerHeadKuni() {
  const DaimyoRecord* d = DaimyoPtr(PlayerDaimyoId);
  if (!d || PlayerDaimyoId >= kDaimyoInPlay) return kNoKuni;
  const BusyoRecord* head = BusyoPtr(d->head);
  if (!head || d->head == NullBusyoId) return kNoKuni;
  const SiroRecord* s = SiroPtr(head->siro);
  return s ? s->kuni : kNoKuni;
}

// End of a turn: once the player holds the whole country of his head's castle the prologue ends.
void CheckHomeKuniHeld() {
  if (!FirstTurnFlag) return;
  uint8_t kuni = PlayerHeadKuni();
  if (kuni >= kKuniCount) return;
  if (!DaimyoOwnsWholeKuni(kuni, PlayerDaimyoId)) return;
  FirstTurnFlag = 0;
  Adv().StartAdvScript(3);
}

// Dismissal of excess generals through the general list (dialog 21) and the yes/no question.
void RunDismissal() {
  DismissWork& w = g_TurnWork.dismiss;
  SlgScenePort& scene = SlgScene();
  const uint8_t p = PlayerDaimyoId;
  switch (w.state) {
    case 0:
      scene.OpenDialog(21, p, 2, 0);
      scene.ShowMessage("", 7, true);
      w.listOpen = 1;
      w.chosen = 0xFFFF;
      w.state = 1;
      return;
    case 1: {
      int g = scene.GetDialogResult(4);
      if (g < 0 || g >= kBusyoCount || GetBusyoDaimyo(static_cast<uint32_t>(g)) != p) return;
      if (p < kDaimyoInPlay && DaimyoTable[p].head == g) {
        // The head cannot leave his own clan.
        SetCommandReason(kReasonNotHead);
        scene.ShowMessage(GetCommandReasonText(), 7, true);
        return;
      }
      w.chosen = g;
      scene.OpenDialogScene(9, 1);
      w.state = 2;
      return;
    }
    case 2: {
      int answer = scene.GetDialogSceneResult();
      if (answer == -1) return;
      if (answer == 1) {
        RemoveBusyoFromCastle(w.chosen);
        scene.SetDialogValues(2, p);  // the list without him
      }
      // The pick is spent either way: a "no" must not ask about the same general again at once.
      scene.SetDialogValues(0, 0xFFFF);
      w.chosen = 0xFFFF;
      if (CountDaimyoBusyo(p) > kMaxPlayerBusyo) {
        w.state = 1;
        return;
      }
      scene.FinishDialog();
      w.listOpen = 0;
      w.state = 0;
      RecalcDaimyoTotals(0);
      SelectSlgKuni(CurrentKuniId == kNoKuni ? -1 : CurrentKuniId, true);
      RefreshSlgMainMap(1, -1, 0);
      return;
    }
    default:
      w.state = 0;
      return;
  }
}

void StepSeason() {
  switch (SubStepGet()) {
    case 0:
      HandOverExtinctClans();
      SlgSound().PlaySlgBgm(kBgmTurn, 1);
      SlgSound().PlaySlgSe(3, 28, 0);
      SubStepSet(1);
      return;
    case 1:
      if (RunChild(RunSeasonTurn)) SubStepSet(2);
      return;
    case 2:
      ClearBusyoWords(&BusyoRecord::seasonWord);
      SubStepSet(3);
      // The turn-start event runs first; the turn goes on from sub-step 3 when it hands back.
      Adv().StartAdvEvent(1, 0, nullptr, false);
      return;
    case 3:
      if (RunChild(RunUnificationDeclaration)) SubStepSet(4);
      return;
    case 4:
      if (IsGameEnded()) return;
      if (RunChild([] { AiTurn().RunSuccession(); })) {
        TurnSubPhase = 1;
        SubStepSet(0);
      }
      return;
    default:
      SubStepSet(0);
      return;
  }
}

// One command phase: music and the castle check once, then the phase routine until it finishes.
bool StepPhase(const char* bgm, int (*phase)()) {
  if (SubStepGet() == 0) {
    SlgSound().PlaySlgBgm(bgm, 1);
    CheckSiroData();
    SubStepSet(1);
  }
  if (!RunChild(phase)) return false;
  SubStepSet(0);
  return true;
}

void StepTurn() {
  // The castle check runs each time the turn enters a new part (a sub-phase or a season
  // sub-step); inside a phase the routines check at their own points. Checking on every logic
  // step would cost more than the rest of the turn together.
  SlgMainWork& m = g_TurnWork.main;
  const int32_t part = TurnSubPhase << 8 | static_cast<int32_t>(SubStepGet() & 0xFF);
  if (part != m.checkedPart) {
    m.checkedPart = part;
    CheckSiroData();
  }
  if (SlgScene().GetLoadFlag()) {
    RunDismissal();
    return;
  }
  switch (TurnSubPhase) {
    case 0:
      StepSeason();
      return;
    case 1:
      if (!StepPhase(kBgmTurn, MilitaryPhase) || IsGameEnded()) return;
      TurnSubPhase = 2;
      ClearBusyoWords(&BusyoRecord::militaryWord);
      return;
    case 2:
      if (!StepPhase(kBgmTurn, PoliticsPhase) || IsGameEnded()) return;
      TurnSubPhase = 3;
      return;
    case 3:
      if (!StepPhase(kBgmWar, StrategyPhase) || IsGameEnded()) return;
      TurnSubPhase = 4;
      StepNext();
      return;
    default:
      // After the strategy phase (a game saved there resumes with the independents).
      StepNext();
      return;
  }
}

void StepGameOver() {
  SlgMainWork& m = g_TurnWork.main;
  if (SubStepGet() == 0) {
    if (PlayerDaimyoId == 254) {
      PlayerDaimyoId = m.parkedId;
      m.parkedId = 253;
    }
    SubStepSet(1);
  }
  if (!RunChild(CheckGameOverNoBusyo)) return;
  if (IsGameEnded()) return;
  if (m.parkedId == 253) {
    m.parkedId = PlayerDaimyoId;
    PlayerDaimyoId = 254;
  }
  TurnSubPhase = 0;
  ++m.turnsCompleted;
  StepJump(kSlgStepTurn);
  CheckHomeKuniHeld();
}

}  // namespace

int MessageTime() { return GameSpeedParams[4]; }

void RunTurnLoop() {
  StepSetDepth(0);
  if (!StepPush()) return;
  SlgMainStep();
  if (!LeftSlg()) StepPop();
}

int SlgMainStep() {
  SlgMainWork& m = g_TurnWork.main;
  if (StepCheckDone()) return 0;
  ++m.frames;
  if (PollSlgKey()) return kStepRunning;
  if (g_FrameWaitCounter.load() > 0) {
    // A press and release of the button ends the wait early.
    if (MouseHeld()) {
      m.pressLatch = 1;
    } else if (m.pressLatch) {
      m.pressLatch = 0;
      g_FrameWaitCounter.store(0);
    }
    return kStepRunning;
  }
  m.pressLatch = 0;
  // An ending has run: the chain stays where it stopped until the game leaves for the title or
  // the ending script. A chain started afresh (a new game from the title) runs its reset, which
  // clears the mark.
  if (IsGameEnded() && StepGet() != kStepPushed && StepGet() != kSlgStepReset) return kStepRunning;
  if (StepBegin()) m.started = 1;
  Adv().ReturnToSlgScene();
  switch (StepGet()) {
    case kSlgStepReset:
      ResetSlgTurnState();
      StepNext();
      return kStepRunning;
    case kSlgStepNewGame:
      if (ActingSideFlag == 1) {
        if (SubStepGet() == 0) {
          SlgSound().PlaySlgBgm(kBgmTurn, 1);
          ClearUnificationState();  // a new game starts with no declaration, stage or story flag
          SubStepSet(1);
        }
        if (!RunChild(NewGameStart)) return kStepRunning;
        if (!StoryEventBlockFlag) Adv().StartAdvEvent(2, 0, nullptr, false);
      }
      StepNext();
      return kStepRunning;
    case kSlgStepTurn:
      StepTurn();
      return kStepRunning;
    case kSlgStepIndependents:
      if (SubStepGet() == 0) {
        CheckSiroData();
        SubStepSet(1);
      }
      if (RunChild([] { AiTurn().IndependentForcesThink(); })) StepNext();
      return kStepRunning;
    case kSlgStepWar:
      if (RunChild(WarPhase)) StepNext();
      return kStepRunning;
    case kSlgStepGameOver:
      StepGameOver();
      return kStepRunning;
    default:
      StepJump(kSlgStepTurn);
      return kStepRunning;
  }
}

void ResetSlgTurnState() {
  if (IsAutoRun()) SetAutoRun(false);
  SlgSound().ForgetSlgBgm();
  TurnWork& t = g_TurnWork;
  std::memset(t.battleWords, 0, sizeof t.battleWords);
  t.forcedWeather = 255;
  for (int i = 0; i < 64; ++i) ClanOrderList[i] = static_cast<uint8_t>(i);
  for (int i = 0; i < kDokuSlots; ++i) MarchOrderList[i] = static_cast<uint8_t>(i);
  t.gameEnd = 0;
  std::memset(t.turnBytes, 0, sizeof t.turnBytes);
  std::memset(t.selection, 254, sizeof t.selection);
  BeginGameOrLoad();
  AiTurn().ResolveKuniNameTables();
}

void RecalcDaimyoTotals(int flag) {
  const uint8_t p = PlayerDaimyoId;
  DaimyoRecord* d = p < kDaimyoInPlay ? &DaimyoTable[p] : nullptr;
  int revenue = 0;
  for (int k = 0; k < kKuniCount; ++k) {
    int share = d ? GetDaimyoKuniShare(k, p) : 0;
    KuniTable[k].playerShare = static_cast<uint8_t>(share);
    revenue += KuniTable[k].land * share / 100;
  }
  if (d) d->revenue = static_cast<uint16_t>(revenue > 0xFFFF ? 0xFFFF : revenue);
  for (int k = 0; k < kKuniCount; ++k) {
    int total = KuniTable[k].land + KuniTable[k].town * 4 / 10;
    KuniTable[k].total = static_cast<uint16_t>(total > 0xFFFF ? 0xFFFF : total);
  }
  if (flag) {
    for (int k = 0; k < kKuniCount; ++k) {
      KuniTable[k].holder = kNoDaimyo;
      if (d && KuniTable[k].playerShare >= 80) KuniTable[k].holder = p;
    }
    if (d) {
      int homeShare = d->homeKuni < kKuniCount ? GetDaimyoKuniShare(d->homeKuni, p) : 0;
      if (d->rank == 0 && homeShare >= 50) d->rank = 1;
      if (d->rank == 1 && homeShare >= 80) {
        d->rank = 2;
        if (d->prestige < 20) ++d->prestige;
      }
      if (d->rank == 2 && d->revenue >= 1000) {
        d->rank = 3;
        if (d->prestige < 20) ++d->prestige;
      }
      d->cp = static_cast<uint8_t>(BaseCommandPoints(p));
    }
  }
  if (d) {
    int soldiers = 0;
    for (int i = 0; i < kVassalScan; ++i)
      if (const BusyoRecord* b = BusyoPtr(d->vassals[i])) soldiers += b->soldiers;
    d->soldiers = static_cast<uint16_t>(soldiers);
    SlgScene().SetLoadFlag(!flag && CountDaimyoBusyo(p) > kMaxPlayerBusyo ? 1 : 0);
  }
}

void HandOverExtinctClans() {
  for (int c = 0; c < kDaimyoInPlay; ++c) {
    const DaimyoRecord& d = DaimyoTable[c];
    if (d.head == kNoBusyo) continue;
    bool dead = d.head == NullBusyoId || d.head >= kBusyoCount || BusyoTable[d.head].siro == kNoSiro;
    if (!dead) continue;
    bool empty = true;
    for (uint16_t v : d.vassals) empty &= v == kNoBusyo;
    if (!empty || d.successor == c) continue;
    for (int s = 0; s < kSiroSlots; ++s) {
      if (!IsSiroInUse(s) || SiroTable[s].owner != c) continue;
      SiroTable[s].owner = d.successor;
      SiroTable[s].lord = d.successor;
    }
  }
}

void PushSlgKey(uint32_t key) {
  uint32_t code = key;
  switch (key) {
    case 0:
      code = 3;
      break;
    case 1:
      code = 1;
      break;
    case 2:
      code = 2;
      break;
    case 4:
      code = 5;
      break;
    case 5:
      code = 4;
      break;
    default:
      break;
  }
  SlgKeyRing& r = g_TurnWork.keys;
  r.keys[r.write % kSlgKeyRingSize] = code;
  r.write = (r.write + 1) % kSlgKeyRingSize;
}

void PushSlgKeyFromScene(uint32_t key) {
  PushSlgKey(key);
  g_TurnWork.keys.framePending = 1;
}

int PollSlgKey() {
  SlgKeyRing& r = g_TurnWork.keys;
  if (r.read == r.write) return 0;
  const bool held = MouseHeld();
  const uint32_t key = r.keys[r.read % kSlgKeyRingSize];
  bool applies = key == 5 || (key == 3 && held) || ((key == 1 || key == 2 || key == 4) && !held);
  if (applies) r.read = (r.read + 1) % kSlgKeyRingSize;
  return 1;
}

void StartEventListScript() {
  Adv().StartAdvScript(4);
  ClearSlgEventMap();
}

void TurnRulesPort::RecalcDaimyoTotals(int flag) { ::RecalcDaimyoTotals(flag); }
void TurnRulesPort::RecalcPlayerShares() { ::RecalcPlayerShares(); }
void TurnRulesPort::RecalcAllRevenues() { ::RecalcAllRevenues(); }
void TurnRulesPort::ResetSlgTurnState() { ::ResetSlgTurnState(); }

const char* CheckLoadedTurnWords(const LoadedTurnWords& w) {
  if (w.season > 3) return "season out of range";
  if (w.year < 1500 || w.year > 1500 + 254) return "year out of range";
  if (w.subPhase > 4) return "turn sub-phase out of range";
  if (w.player >= kDaimyoInPlay && w.player != 254 && w.player != 255) return "player clan out of range";
  if (w.firstTurn != 0 && w.firstTurn != 1) return "first-turn flag out of range";
  if (w.currentKuni >= kKuniCount && w.currentKuni != kNoKuni) return "current country out of range";
  if (w.unificationStage < 0 || w.unificationStage > 2) return "unification stage out of range";
  if (w.declared > 1) return "unification declared byte out of range";
  if (w.phaseIndex > kDaimyoInPlay) return "phase clan position out of range";
  if (!w.clanOrder || !w.marchOrder) return "orders missing";
  bool seen[kDokuSlots] = {};
  for (int i = 0; i < kDaimyoInPlay; ++i) {
    const uint8_t c = w.clanOrder[i];
    if (c >= kDaimyoInPlay || seen[c]) return "clan order is not a permutation";
    seen[c] = true;
  }
  std::memset(seen, 0, sizeof seen);
  for (int i = 0; i < kDokuSlots; ++i) {
    const uint8_t m = w.marchOrder[i];
    if (m >= kDokuSlots || seen[m]) return "march order is not a permutation";
    seen[m] = true;
  }
  return nullptr;
}

const char* CheckLoadedTurnSteps(int32_t gameMode, const uint32_t* steps, int levels) {
  if (gameMode != game_mode::kSlg || !steps || levels < 2) return nullptr;
  const uint32_t s = steps[1];
  const bool ok = s == kStepIdle || (s >= kSlgStepReset && s <= kSlgStepGameOver) || s == kStepPushed ||
                  s == kStepDone || s == kStepDoneWait;
  return ok ? nullptr : "main strategy step out of range";
}

void SettleLoadedPhaseIndex() {
  if (GameMode != game_mode::kSlg || g_StepMachine.step[1] != kSlgStepTurn) return;
  if (SlgPhaseIndex != 0 || TurnSubPhase < 1 || TurnSubPhase > 3 || IsAutoRun()) return;
  for (int i = 0; i < kDaimyoInPlay; ++i) {
    if (ClanOrderList[i] == PlayerDaimyoId) {
      SlgPhaseIndex = static_cast<uint8_t>(i);
      return;
    }
  }
}
