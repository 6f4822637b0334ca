// The player's strategy phase: its menu, dispatcher and the four strategy commands (declaration
// of unification, attack orders, plots, secret contact).
#include <algorithm>
#include <vector>

#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "screens/strategy/commands/player_commands.h"
#include "world/commands/strategy_rules.h"
#include "world/slg_util.h"
#include "world/turn/command_check.h"
#include "screens/strategy/commands/player_turn.h"
#include "world/turn/slg_sound_port.h"
#include "world/turn/step_child.h"
#include "world/turn/turn_loop.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

constexpr int kGameModeSlg = 11;
constexpr int kStepCancel = 10;
constexpr const char* kAskBusyo = "どの武将にしますか？";
constexpr const char* kAskOk = "これでよろしいですか？";
constexpr const char* kAskAlly = "同盟が破棄されますがよろしいですか？";

// Choices of the running strategy command (none outlives it).
struct StrategyWork {
  uint16_t busyo = kNoBusyo;
  uint16_t target = kNoBusyo;
  uint16_t source = kNoSiro;
  uint16_t siro = kNoSiro;
  int costSum = 0;
  int marked = 0;
  bool ally = false;
  bool focused = false;
  std::vector<int32_t> accepted;  // attack: the marks last accepted
};
StrategyWork sw;

DaimyoRecord& P() { return DaimyoTable[PlayerDaimyoId]; }
uint16_t SiroOf(uint16_t b) { return b < kBusyoCount ? BusyoTable[b].siro : kNoSiro; }
bool OwnerIsAlly(uint16_t siro) {
  return siro < kSiroSlots && SiroTable[siro].owner != kNoDaimyo && IsAllied(PlayerDaimyoId, SiroTable[siro].owner);
}

void BeginCommand(int id) {
  sw = StrategyWork{};
  cmd::BeginOnCurrentKuni(id);
}

// Attacking (or plotting against) an ally: the alliance ends, the clan loses prestige and every
// unbonded vassal 1 to 3 loyalty (never below 1).
void BetrayAlly(uint16_t siro) {
  if (siro >= kSiroSlots) return;
  BreakAlliance(SiroTable[siro].owner);
  DaimyoRecord& p = P();
  p.prestige = static_cast<uint8_t>(std::max(0, p.prestige - 3));
  for (int i = 0; i < kVassalScan; ++i) {
    const uint16_t b = p.vassals[i];
    if (b >= kBusyoCount || BusyoTable[b].loyalty == kBondedLoyalty) continue;
    AddBusyoLoyalty(b, -(SlgRandom(100) % 3 + 1));
  }
}

// The marked generals the availability check accepts for an attack; a refused one is unmarked
// and the reason shown.
std::vector<int32_t> AcceptedAttackers() {
  SlgScenePort& s = SlgScene();
  std::vector<int32_t> marked;
  s.GetMarkedBusyoList(marked);
  if (!marked.empty() && marked == sw.accepted) return marked;
  // The marks are taken again in order: each general is checked against the ones accepted before
  // him (the check adds his cost to theirs), so the money refuses the later ones.
  std::vector<int32_t> ok;
  s.ClearMarkedBusyo();
  for (int32_t g : marked) {
    const bool accepted = g >= 0 && g < kBusyoCount && GetBusyoDaimyo(static_cast<uint32_t>(g)) == PlayerDaimyoId &&
                          (ok.empty() || BusyoTable[g].siro == BusyoTable[ok.front()].siro) &&
                          !CheckCommandAvailable(kCmdInvade, static_cast<uint16_t>(g), kNoSiro, PlayerDaimyoId, 0xFFFF);
    if (accepted) {
      s.MarkBusyo(g);
      ok.push_back(g);
      continue;
    }
    cmd::ShowRefusal(GetCommandReasonText());
  }
  sw.accepted = ok;
  return ok;
}

int SumInvadeCost(const std::vector<int32_t>& generals) {
  int sum = 0;
  for (int32_t g : generals) sum += InvadeCostPerBusyo(static_cast<uint16_t>(g));
  return sum;
}

// A target castle the command may take for the chosen general, or the refusal shown.
bool TargetAccepted(int command, uint16_t busyo, uint16_t siro) {
  if (!CheckCommandAvailable(command, busyo, siro, PlayerDaimyoId, 0xFFFF)) return true;
  cmd::ShowRefusal(GetCommandReasonText());
  return false;
}

constexpr cmd::MenuEntry kStrategyMenu[] = {
    {8, CmdDeclareUnification}, {9, CmdInvade},          {10, CmdPlot},       {11, CmdSecretContact},
    {12, CmdBusyoInfo},         {13, CmdSelectKuniInfo}, {14, CmdDaimyoInfo},
};

}  // namespace

// ---- The phase ----

void BeginStrategyCommandPhase() {
  if (ActingSideFlag == 1) {
    for (BusyoRecord& b : BusyoTable) b.cmdFlags &= static_cast<uint8_t>(~3);
    for (int s = 0; s < kSiroCount; ++s) SiroTable[s].turnFlags &= static_cast<uint8_t>(~1);
    ClearAllKuniFlag8();
    for (DaimyoRecord& d : DaimyoTable) d.turnFlags &= static_cast<uint8_t>(~2);
    SlgCommandCode = 255;
    SlgRules().AutoSave(kGameModeSlg);
  }
  ActingSideFlag = 1;
  RefreshCommandMenus(3);
  cmd::SetUpPhaseScene(3, true, true);
  RefreshSlgMainMap(1, -1, 0);
}

int StrategyCommandDispatch() { return cmd::DispatchMenu(3, kStrategyMenu, nullptr); }

int PlayerStrategyMenu() {
  if (StepCheckDone()) return 0;
  if (StepBegin()) {
    BeginStrategyCommandPhase();
    return kStepRunning;
  }
  if (ActingSideFlag != 1) {
    BeginStrategyCommandPhase();
    ActingSideFlag = 1;
  }
  if (!RunChild(StrategyCommandDispatch)) return kStepRunning;
  EndCommandPhaseDisplay();
  StepFinish();
  return 0;
}

// ---- Declaration of unification ----

int CmdDeclareUnification() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  if (StepBegin()) {
    s.SetPanelDaimyo(kCmdDeclareUnification);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      // The menu greys the declaration unless it is allowed; a stale choice is refused.
      if (cmd::RefuseAndJump(kCmdDeclareUnification, kRefusalWait, 3)) return kStepRunning;
      StepNext();
      return kStepRunning;
    case 2:
      UnificationStage = 2;
      s.ShowMessage("次ターンで天下統一を宣言します", 7, false);
      SetFrameWait(MessageTime());
      RefreshCommandMenus(3);
      StepNext();
      return kStepRunning;
    default:
      s.ShowMessage("", 7, false);
      s.SetPanelDaimyo(-1);
      StepFinish();
      return 0;
  }
}

// ---- Attack orders ----

int CmdInvade() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  if (StepBegin()) {
    BeginCommand(kCmdInvade);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::RefuseAndJump(kCmdInvade, kRefusalWait, kStepCancel)) return kStepRunning;
      sw.source = sw.siro = kNoSiro;
      sw.costSum = sw.marked = 0;
      sw.ally = false;
      StepNext();
      return kStepRunning;
    case 2: {
      if (cmd::FirstPass()) {
        s.FinishDialog();
        s.ClearMarkedBusyo();
        s.SetSelMode(2);
        s.ShowMessage(kAskBusyo, 0, false);
        sw.accepted.clear();
        return kStepRunning;
      }
      if (s.GetSceneResult() == kResultBack) {
        StepJump(kStepCancel);
        return kStepRunning;
      }
      const std::vector<int32_t> ok = AcceptedAttackers();
      if (ok.empty()) return kStepRunning;
      sw.source = SiroOf(static_cast<uint16_t>(ok.front()));
      sw.marked = 1;
      sw.costSum = SumInvadeCost(ok);
      StepNext();
      return kStepRunning;
    }
    case 3: {
      if (cmd::FirstPass()) {
        s.SetSelMode(4);
        s.SetSelectedCastle(sw.source);
        s.ShowMessage("どの武将、または\nどの城にしますか？", 0, false);
        return kStepRunning;
      }
      if (s.GetSceneResult() == kResultBack) {
        StepJump(kStepCancel);
        return kStepRunning;
      }
      const std::vector<int32_t> ok = AcceptedAttackers();
      if (ok.empty()) {
        StepJump(2);
        return kStepRunning;
      }
      if (static_cast<int>(ok.size()) != sw.marked) {
        sw.marked = static_cast<int>(ok.size());
        sw.costSum = SumInvadeCost(ok);
        for (int32_t g : ok) s.SetDialogValues(2, g);
      }
      const uint16_t siro = s.GetSelectedCastle();
      if (siro == kNoSiro || siro == sw.source || siro >= kSiroSlots) return kStepRunning;
      if (!TargetAccepted(kCmdInvade, static_cast<uint16_t>(ok.front()), siro)) {
        s.SetSelectedCastle(sw.source);
        return kStepRunning;
      }
      sw.siro = siro;
      sw.ally = OwnerIsAlly(siro);
      StepNext();
      return kStepRunning;
    }
    case 4: {
      std::vector<int32_t> marked;
      s.GetMarkedBusyoList(marked);
      if (cmd::FirstPass()) {
        sw.costSum = SumInvadeCost(marked);
        if (s.OpenDialog(13, sw.source, sw.siro, 0)) {
          for (int32_t g : marked) s.SetDialogValues(2, g);
          s.SetDialogValues(0, 0);
          s.SetDialogValues(1, sw.costSum);
          s.SetDialogValues(3, 0);
        }
        s.ShowMessage(sw.ally ? kAskAlly : kAskOk, 7, false);
        s.SetSelectedCastle(sw.source);
        return kStepRunning;
      }
      if (!cmd::DialogConfirmed(3)) return kStepRunning;
      // The cost is what the dialog showed, charged once; more than the money left is refused.
      const int cost = SumInvadeCost(marked);
      if (cost > P().money) {
        s.ShowMessage(CommandRefusalReason(43), 7, false);
        s.FinishDialog();
        StepJump(3);
        return kStepRunning;
      }
      for (int32_t g : marked) {
        if (g < 0 || g >= kBusyoCount) continue;
        DecayBusyoLoyalty(static_cast<uint32_t>(g));
        BusyoTable[g].cmdFlags |= 1;
        BusyoTable[g].marchFlag = 1;
        BusyoTable[g].siro2 = sw.siro;
      }
      cmd::SpendMoney(cost);
      if (sw.ally) BetrayAlly(sw.siro);
      s.FinishDialog();
      s.ClearMarkedBusyo();
      SelectSlgKuni(CurrentKuniId, true);
      RefreshSlgMainMap(1, -1, 1);
      RefreshCommandMenus(3);
      s.SetSelectedCastle(kNoSiro);
      StepJump(1);
      return kStepRunning;
    }
    case kStepCancel:
      return cmd::FinishCommand(false);
  }
  return kStepRunning;
}

// ---- Plots ----

int CmdPlot() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  if (StepBegin()) {
    BeginCommand(kCmdPlot);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::RefuseAndJump(kCmdPlot, kRefusalWait, kStepCancel)) return kStepRunning;
      sw.busyo = kNoBusyo;
      sw.source = sw.siro = kNoSiro;
      sw.ally = false;
      StepNext();
      return kStepRunning;
    case 2: {
      const int c = cmd::ChooseBusyo(kCmdPlot, 1, kAskBusyo);
      if (c < 0) StepJump(kStepCancel);
      if (c <= 0) return kStepRunning;
      sw.busyo = g_CommandWork.busyo;
      cmd::Voice(sw.busyo, 1);
      sw.source = SiroOf(sw.busyo);
      StepNext();
      return kStepRunning;
    }
    case 3: {
      if (cmd::FirstPass()) {
        s.SetSelectedCastle(kNoSiro);
        s.SetSelMode(6);
        s.ShowMessage("どの城にしますか？", 0, false);
        return kStepRunning;
      }
      if (s.GetSceneResult() == kResultBack) {
        StepJump(2);
        return kStepRunning;
      }
      const uint16_t siro = s.GetSelectedCastle();
      if (siro == kNoSiro || siro == sw.source || siro >= kSiroSlots) return kStepRunning;
      if (!TargetAccepted(kCmdPlot, sw.busyo, siro)) {
        s.SetSelectedCastle(kNoSiro);
        return kStepRunning;
      }
      sw.siro = siro;
      sw.ally = OwnerIsAlly(siro);
      StepNext();
      return kStepRunning;
    }
    case 4: {
      if (cmd::FirstPass()) {
        s.SetSelectedCastle(sw.source);
        s.OpenDialog(14, 3, kPoachCost, 0);
        s.ShowMessage(sw.ally ? kAskAlly : kAskOk, 7, false);
        return kStepRunning;
      }
      if (!cmd::DialogConfirmed(2)) return kStepRunning;
      const uint16_t g = sw.busyo;
      BusyoRecord& b = BusyoTable[g];
      DecayBusyoLoyalty(g);
      b.cmdFlags |= 1;
      if (b.soldiers > 1) --b.soldiers;
      b.guns = std::min(b.guns, b.soldiers);
      SiroRecord& t = SiroTable[sw.siro];
      t.turnFlags |= 1;
      cmd::SpendMoney(PlotCost(g));
      cmd::SpendCp(kPlotCp);
      if (sw.ally) BetrayAlly(sw.siro);
      bool taken = false;
      if (PlotSucceeds(GetBusyoStat2(g) / 5)) {
        const int level = t.level;
        const int next = PlotNewLevel(level, GetSkillEffectValue(g, 34));
        t.level = static_cast<uint8_t>(level > next ? next : 1);
        if (DebugPlotSwitch || t.level == 0) {
          t.level = 1;
          t.owner = PlayerDaimyoId;
          t.lord = PlayerDaimyoId;
          taken = true;
        }
        RecalcDaimyoTotals(0);
        cmd::Voice(g, HasSkillEffect(g, 34) ? 2 : 3);
        Battle().BusyoGainExperience2(g);
        SelectSlgKuni(CurrentKuniId, true);
        RefreshSlgMainMap(1, -1, 1);
        s.ShowMessage("計略に成功しました", 7, false);
        s.RefreshMapMenu();
        sw.marked = SiroTable[sw.siro].kuni == CurrentKuniId ? 1 : 0;
      } else {
        cmd::Voice(g, 4);
        Battle().BusyoGainExperience3(g);
        SelectSlgKuni(CurrentKuniId, true);
        RefreshSlgMainMap(1, -1, 1);
        s.ShowMessage("計略に失敗しました", 7, false);
        sw.marked = 0;
      }
      (void)taken;
      SetFrameWait(kResultWait);
      RefreshCommandMenus(3);
      s.FinishDialog();
      s.SetSelectedCastle(sw.source);
      s.SetSelMode(1);
      StepNext();
      return kStepRunning;
    }
    case 5:
      if (sw.marked == 0) {
        SetFrameWait(MessageTime());
        StepJump(1);
        return kStepRunning;
      }
      // The plotted castle's own icon marker (the province highlights take provinces, not castles).
      if (cmd::FirstPass()) {
        SlgSound().PlaySlgSe(3, 29, 0);
        s.LockMapButtons(true);
        s.ShowIconMarker(sw.siro, 2);
        return kStepRunning;
      }
      if (s.IsIconMarkerAnimating(sw.siro)) return kStepRunning;
      s.HideIconMarker(sw.siro);
      s.LockMapButtons(false);
      StepJump(1);
      return kStepRunning;
    case kStepCancel:
      return cmd::FinishCommand(false);
  }
  return kStepRunning;
}

// ---- Secret contact ----

int CmdSecretContact() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  if (StepBegin()) {
    BeginCommand(kCmdSecretContact);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::RefuseAndJump(kCmdSecretContact, kRefusalWait, kStepCancel)) return kStepRunning;
      sw.busyo = sw.target = kNoBusyo;
      sw.source = sw.siro = kNoSiro;
      StepNext();
      return kStepRunning;
    case 2: {
      if (SubStepGet() == 0) s.SetPanelDaimyo(kCmdSecretContact);
      const int c = cmd::ChooseBusyo(kCmdSecretContact, 1, kAskBusyo);
      if (c < 0) StepJump(kStepCancel);
      if (c <= 0) return kStepRunning;
      sw.busyo = g_CommandWork.busyo;
      cmd::Voice(sw.busyo, 1);
      sw.source = SiroOf(sw.busyo);
      StepNext();
      return kStepRunning;
    }
    case 3: {
      if (cmd::FirstPass()) {
        s.SetPanelDaimyo(kCmdContactChosen);
        s.ClearMarkedBusyo();
        s.MarkBusyo(sw.busyo);
        s.SetSelectedCastle(kNoSiro);
        s.SetSelMode(8);
        s.ShowMessage(kAskBusyo, 0, false);
        return kStepRunning;
      }
      std::vector<int32_t> marked;
      s.GetMarkedBusyoList(marked);
      int t = -1;
      for (int32_t g : marked)
        if (g != sw.busyo && g >= 0 && g < kBusyoCount) {
          t = g;
          break;
        }
      if (t < 0) {
        if (s.GetSceneResult() == kResultBack) StepJump(kStepCancel);
        return kStepRunning;
      }
      // The target's own rules (same clan, contacted already, a clan head) and his castle's (a
      // neighbour of the general's castle, not the player's).
      if (CheckCommandAvailable(kCmdContactChosen, static_cast<uint16_t>(t), kNoSiro, PlayerDaimyoId, sw.busyo) ||
          CheckCommandAvailable(kCmdSecretContact, sw.busyo, SiroOf(static_cast<uint16_t>(t)), PlayerDaimyoId,
                                0xFFFF)) {
        cmd::ShowRefusal(GetCommandReasonText());
        s.ClearMarkedBusyo();
        s.MarkBusyo(sw.busyo);
        return kStepRunning;
      }
      sw.target = static_cast<uint16_t>(t);
      sw.siro = SiroOf(sw.target);
      StepJump(5);
      return kStepRunning;
    }
    case 5:
      s.SetSelectedCastle(sw.siro);
      // The dialog shows its three numbers (command points, money, none); a value set on it would
      // overwrite the third number or, with selector 3, lock the dialog against its confirmation.
      s.OpenDialog(15, 1, kSecretContactCost, 0);
      StepNext();
      return kStepRunning;
    case 6: {
      if (cmd::FirstPass()) {
        s.ShowMessage(OwnerIsAlly(sw.siro) ? kAskAlly : kAskOk, 0, false);
        return kStepRunning;
      }
      cmd::AwaitConfirm(sw.source, 2);
      return kStepRunning;
    }
    case 7: {
      const bool won = TrySecretContact(sw.busyo, sw.target);
      s.ShowMessage(won ? "良い感触を得ました" : "内通に応じませんでした", 7, false);
      cmd::Voice(sw.busyo, won ? 5 : 6);
      SelectSlgKuni(CurrentKuniId, true);
      RefreshSlgMainMap(1, -1, 1);
      RefreshCommandMenus(3);
      s.FinishDialog();
      s.ClearMarkedBusyo();
      s.SetSelectedCastle(sw.source);
      s.SetSelMode(1);
      SetFrameWait(MessageTime());
      StepJump(1);
      return kStepRunning;
    }
    case kStepCancel:
      return cmd::FinishCommand(false);
  }
  return kStepRunning;
}
