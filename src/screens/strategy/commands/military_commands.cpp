// Military commands (recruit, train, reward, guns) and the information commands shared by the
// menus, with the visit of the politics menu.
#include <algorithm>
#include <cstdio>

#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "world/commands/command_costs.h"
#include "screens/strategy/commands/player_commands.h"
#include "world/placement.h"
#include "world/record_lists.h"
#include "world/slg_util.h"
#include "world/turn/command_check.h"
#include "world/turn/season_turn.h"
#include "world/turn/turn_loop.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

constexpr const char* kAskBusyo = "どの武将にしますか？";
constexpr int kStepLeave = 10;

DaimyoRecord& P() { return DaimyoTable[PlayerDaimyoId]; }
CommandWork& W() { return g_CommandWork; }

void Say(const char* fmt, unsigned a, unsigned b) {
  char text[128];
  std::snprintf(text, sizeof text, fmt, a, b);
  SlgScene().ShowMessage(text, 7, false);
}

// The common way out with the current country selected again after the focus comes back, then
// the routine's end.
int LeaveMilitary() {
  cmd::LeaveCommand(false);
  SelectSlgKuni(CurrentKuniId, true);
  RefreshSlgMainMap(1, -1, 1);
  StepFinish();
  return 0;
}

// Start of a military command: panel subject, focus on the current country.
void BeginMilitary(int id) {
  cmd::BeginOnCurrentKuni(id);
  W().busyo = kNoBusyo;
}

// The yes/no question before the turn's first purchase (recruits in a country, the clan's guns):
// true once answered yes with `cp` CP at hand (the caller pays). A no, or too few CP (the refusal
// shown), jumps to the way out.
bool ConfirmPurchase(int scene, const char* question, int cp) {
  SlgScenePort& s = SlgScene();
  if (cmd::FirstPass()) {
    s.OpenDialogScene(scene, 1);
    s.ShowMessage(question, 7, false);
    return false;
  }
  const int a = s.GetDialogSceneResult();
  if (a == 2) StepJump(kStepLeave);
  if (a != 1) return false;
  if (P().cp < cp) {
    s.ShowMessage(CommandRefusalReason(1), 7, false);
    StepJump(kStepLeave);
    return false;
  }
  return true;
}

}  // namespace

int CmdRecruitSoldiers() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  CommandWork& w = W();
  if (StepBegin()) {
    BeginMilitary(kCmdRecruit);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::Refused(kCmdRecruit)) {
        s.LockMapButtons(true);
        SetFrameWait(kRefusalWait);
        StepJump(kStepLeave);
        return kStepRunning;
      }
      w.hireLimit = GetHireLimit(PlayerDaimyoId);
      w.kuni = CurrentKuniId;
      StepNext();
      return kStepRunning;
    case 2: {
      KuniRecord& k = KuniTable[w.kuni];
      if (k.applicants == 255) {
        // The first recruitment in a country costs 1 CP.
        if (!ConfirmPurchase(3, "この国で兵を募集しますか？", 1)) return kStepRunning;
        uint16_t skilled = kNoBusyo;
        k.applicants = static_cast<uint8_t>(GetKuniApplicants(w.kuni, &skilled));
        if (skilled != kNoBusyo) cmd::Voice(skilled, 2);
        cmd::SpendCp(1);
        RefreshSlgMainMap(1, -1, 1);
        SelectSlgKuni(w.kuni, true);
        RefreshCommandMenus(1);
        Say("応募兵は(%2u)、\n我が家の規模で(%2u)雇えます", k.applicants, static_cast<unsigned>(w.hireLimit));
        SubStepSet(0);
        return kStepRunning;
      }
      Say("残り応募兵は(%2u)、\n我が家の規模で(%2u)雇えます", k.applicants, static_cast<unsigned>(w.hireLimit));
      s.SetSelMode(1);
      StepNext();
      return kStepRunning;
    }
    case 3: {
      if (cmd::FirstPass()) {
        s.ClearMarkedBusyo();
        return kStepRunning;
      }
      switch (cmd::TakeMarkedBusyo(kCmdRecruit)) {
        case cmd::Pick::kBack:
          StepJump(kStepLeave);
          break;
        case cmd::Pick::kNone:
          // Another country chosen on the map while no general is marked: start over there.
          if (CurrentKuniId != w.kuni) {
            RefreshCommandMenus(1);
            StepJump(1);
          }
          break;
        case cmd::Pick::kRefused:
          break;
        case cmd::Pick::kChosen:
          StepNext();
          break;
      }
      return kStepRunning;
    }
    case 4: {
      w.count = std::min<int>(KuniTable[w.kuni].applicants, w.hireLimit);
      const int room = 50 - BusyoTable[w.busyo].soldiers;
      if (w.count > room) {
        w.count = std::max(room, 0);
        Say("武将たちは兵( %3u)を\n管理するので精一杯です", 50, 0);
        SetFrameWait(kResultWait);
      }
      StepNext();
      return kStepRunning;
    }
    case 5:
      if (P().money < w.count) {
        KuniTable[w.kuni].applicants = static_cast<uint8_t>(std::min<int>(P().money, 254));
        w.count = P().money;
        Say("この予算で兵は(%2d)で最大、\nどう割り振りますか？", static_cast<unsigned>(w.count), 0);
        SetFrameWait(kResultWait);
      }
      StepNext();
      return kStepRunning;
    case 6: {
      if (cmd::FirstPass()) {
        if (s.OpenDialog(0, w.busyo, 0, 0)) {
          s.SetDialogValues(0, 1);
          s.SetDialogValues(1, w.count);
          s.SetDialogValues(2, w.count);
          s.SetDialogValues(3, w.count);
        }
        return kStepRunning;
      }
      const int chosen = s.GetDialogResult(3);
      if (!cmd::DialogConfirmed(3)) return kStepRunning;
      // The number never passes the offered count, so soldiers, applicants and money stay in range.
      const int v = std::clamp(chosen < 0 ? w.count : chosen, 0, w.count);
      KuniRecord& k = KuniTable[w.kuni];
      SetBusyoSoldiers(w.busyo, BusyoTable[w.busyo].soldiers + v);
      k.applicants = static_cast<uint8_t>(std::max(k.applicants - v, 0));
      P().soldiers = static_cast<uint16_t>(std::min(P().soldiers + v, 0xFFFF));
      cmd::SpendMoney(v);
      k.mood = static_cast<uint8_t>(std::max(k.mood - RecruitMoodDrop(k.mood, v, k.land), 1));
      k.land = static_cast<uint16_t>(std::max(k.land - v, 0));
      RecalcDaimyoTotals(0);
      RefreshSlgMainMap(1, -1, 1);
      s.FinishDialog();
      StepJump(1);
      return kStepRunning;
    }
    case kStepLeave:
      s.LockMapButtons(false);
      return LeaveMilitary();
  }
  return kStepRunning;
}

int CmdDistributeGuns() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  CommandWork& w = W();
  if (StepBegin()) {
    BeginMilitary(kCmdGuns);
    return kStepRunning;
  }
  DaimyoRecord& p = P();
  switch (StepGet()) {
    case 1:
      if (cmd::RefuseAndJump(kCmdGuns, kRefusalWait, kStepLeave)) return kStepRunning;
      s.ClearMarkedBusyo();
      StepNext();
      return kStepRunning;
    case 2:
      if (p.gunsLeft == 255) {
        if (!ConfirmPurchase(14, "", p.gunRate)) return kStepRunning;
        cmd::SpendCp(p.gunRate);
        p.gunsLeft = std::min<uint8_t>(p.gunsPerPurchase, 254);
        RefreshSlgMainMap(1, -1, 1);
        Say("入手鉄砲数は(%2d)です、\nどの武将に割り振りますか？", p.gunsLeft, 0);
      } else {
        Say("残り入手鉄砲数は(%2d)です", p.gunsLeft, 0);
      }
      s.FocusKuni(CurrentKuniId, 1);
      s.SetSelMode(1);
      StepNext();
      return kStepRunning;
    case 3: {
      if (cmd::FirstPass()) {
        s.ClearMarkedBusyo();
        return kStepRunning;
      }
      const cmd::Pick pick = cmd::TakeMarkedBusyo(kCmdGuns);
      if (pick == cmd::Pick::kBack) StepJump(kStepLeave);
      if (pick == cmd::Pick::kChosen) StepNext();
      return kStepRunning;
    }
    case 4: {
      w.count = p.gunsLeft;
      const int room = std::max(BusyoTable[w.busyo].soldiers - BusyoTable[w.busyo].guns, 0);
      if (room < w.count) {
        w.count = room;
        s.ShowMessage("殆どの兵が鉄砲を持っています", 7, false);
        SetFrameWait(30);
      }
      StepNext();
      return kStepRunning;
    }
    case 5: {
      const int price = GetGunPrice(CurrentKuniId);
      if (p.money < price * w.count) {
        p.gunsLeft = static_cast<uint8_t>(std::min(p.money / price, 254));
        w.count = p.gunsLeft;
        Say("この予算で鉄砲数は(%2d)で最大、\nどう割り振りますか？", static_cast<unsigned>(w.count), 0);
        SetFrameWait(30);
      }
      StepNext();
      return kStepRunning;
    }
    case 6: {
      const int price = GetGunPrice(CurrentKuniId);
      if (cmd::FirstPass()) {
        if (s.OpenDialog(3, w.busyo, 0, 0)) {
          s.SetDialogValues(0, p.gunRate);
          s.SetDialogValues(1, price);
          s.SetDialogValues(2, w.count);
          s.SetDialogValues(3, w.count);
        }
        return kStepRunning;
      }
      const int chosen = s.GetDialogResult(3);
      if (!cmd::DialogConfirmed(3)) return kStepRunning;
      int v = std::clamp(chosen < 0 ? w.count : chosen, 0, w.count);
      v = std::min(v, p.money / price);
      SetBusyoGuns(w.busyo, BusyoTable[w.busyo].guns + v);
      cmd::SpendMoney(price * v);
      p.gunsLeft = static_cast<uint8_t>(std::max(p.gunsLeft - v, 0));
      RefreshSlgMainMap(1, -1, 1);
      s.FinishDialog();
      StepJump(1);
      return kStepRunning;
    }
    case kStepLeave:
      return LeaveMilitary();
  }
  return kStepRunning;
}

int CmdReward() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  CommandWork& w = W();
  if (StepBegin()) {
    BeginMilitary(kCmdReward);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::RefuseAndJump(kCmdReward, 30, kStepLeave)) return kStepRunning;
      StepNext();
      return kStepRunning;
    case 2: {
      if (cmd::FirstPass()) {
        s.SetPanelDaimyo(0);
        s.FinishDialog();
        s.ClearMarkedBusyo();
        s.SetSelMode(1);
        s.ShowMessage(kAskBusyo, 0, false);
        return kStepRunning;
      }
      if (s.GetSceneResult() == kResultBack) {
        StepJump(kStepLeave);
        return kStepRunning;
      }
      const int g = s.GetMarkedBusyo();
      if (g < 0 || g >= kBusyoCount) return kStepRunning;
      const char* refusal = nullptr;
      if (IsBusyoLoyaltyFixed(static_cast<uint32_t>(g)))
        refusal = "絆の武将には使用できません";
      else if (BusyoTable[g].loyalty >= 16)
        refusal = "この武将の忠誠は最大です";
      else if (GetBusyoDaimyo(static_cast<uint32_t>(g)) != PlayerDaimyoId ||
               CheckCommandAvailable(kCmdReward, static_cast<uint16_t>(g), kNoSiro, PlayerDaimyoId, 0xFFFF))
        refusal = GetCommandReasonText() ? GetCommandReasonText() : "これ以上はできません";
      if (refusal) {
        s.ShowMessage(refusal, 7, false);
        SetFrameWait(30);
        StepJump(2);
        return kStepRunning;
      }
      w.busyo = static_cast<uint16_t>(g);
      StepNext();
      return kStepRunning;
    }
    case 3: {
      if (cmd::FirstPass()) {
        if (s.OpenDialog(2, w.busyo, 0, 0)) {
          s.SetDialogValues(0, 0);
          s.SetDialogValues(1, GetRewardMinChoice());
          s.SetDialogValues(2, 2);
          s.SetDialogValues(3, P().money < 15 ? 1 : 2);
          s.SetDialogValues(6, 1);
        }
        return kStepRunning;
      }
      // The bar's chosen value: 1 the small reward, 2 the large one.
      const int choice = s.GetDialogResult(3);
      if (!cmd::DialogConfirmed(1)) return kStepRunning;
      const bool large = choice == 2 && P().money >= 15;
      const int cost = large ? 15 : 5;
      if (P().money < cost) {
        s.ShowMessage(CommandRefusalReason(5), 7, false);
        s.FinishDialog();
        StepJump(1);
        return kStepRunning;
      }
      cmd::Voice(w.busyo, 7);
      BusyoTable[w.busyo].cmdFlags |= 1;
      const int rise = large ? SlgRandom(5) + 3 : SlgRandom(3) + 1;
      SetBusyoLoyalty(w.busyo, BusyoTable[w.busyo].loyalty + rise);
      cmd::SpendMoney(cost);
      RecalcDaimyoTotals(0);
      RefreshSlgMainMap(1, -1, 1);
      s.FinishDialog();
      RefreshCommandMenus(1);
      StepJump(1);
      return kStepRunning;
    }
    case kStepLeave:
      return LeaveMilitary();
  }
  return kStepRunning;
}

int CmdTrain() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  CommandWork& w = W();
  if (StepBegin()) {
    BeginMilitary(kCmdTraining);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::RefuseAndJump(kCmdTraining, kRefusalWait, kStepLeave)) return kStepRunning;
      StepNext();
      return kStepRunning;
    case 2: {
      if (cmd::FirstPass()) {
        if (s.OpenDialog(1, PlayerDaimyoId, 0, 0)) s.SetDialogState(0);
        w.trainedCount = 0;
        return kStepRunning;
      }
      const int n = std::max(s.GetDialogResult(2), 0);
      const int r = s.GetSceneResult();
      if (r == kResultDialogBack) {
        StepJump(kStepLeave);
        return kStepRunning;
      }
      if (r == kResultConfirm && n > 0) {
        // One CP per trained general: never more generals than CP (nor than the list holds).
        const int most = std::min<int>({n, P().cp, 10});
        w.trainedCount = 0;
        for (int i = 0; i < most; ++i) {
          const int g = s.GetDialogResult(3 + i);
          if (g >= 0 && g < kBusyoCount && GetBusyoDaimyo(static_cast<uint32_t>(g)) == PlayerDaimyoId)
            w.trained[w.trainedCount++] = g;
        }
        if (w.trainedCount == 0) return kStepRunning;
        StepNext();
        return kStepRunning;
      }
      if (n != w.count) {
        w.count = n;
        s.SetDialogValues(0, n);
      }
      return kStepRunning;
    }
    case 3: {
      SelectSlgKuni(CurrentKuniId, true);
      RefreshSlgMainMap(1, -1, 1);
      P().turnFlags |= 4;
      const int n = w.trainedCount;
      for (int i = 0; i < n; ++i) {
        const int gain = Battle().BusyoGainExperience4(w.trained[i], n > 1 ? 1 : 0, n);
        s.SetDialogValues(13 + i, gain);
      }
      cmd::SpendCp(n);
      w.speaker = n > 1 ? SlgRandom(static_cast<uint8_t>(n - 1)) : 0;
      RefreshCommandMenus(3);
      RefreshCommandMenus(1);
      StepNext();
      return kStepRunning;
    }
    case 4: {
      const int speaker = w.trained[w.speaker];
      switch (SubStepGet()) {
        case 0:
          s.SetDialogState(1);
          cmd::Voice(static_cast<uint16_t>(speaker), 24);
          SubStepNext();
          break;
        case 1:
          if (s.GetDialogResult(1) <= 0) break;
          cmd::Voice(static_cast<uint16_t>(speaker), 25);
          SubStepNext();
          break;
        case 2:
          s.SetDialogState(2);
          SubStepNext();
          break;
        case 3:
          if (s.GetDialogResult(1) > 0) SubStepNext();
          break;
        case 4:
          for (int i = 0; i < w.trainedCount; ++i)
            if (StageUpBusyo(static_cast<uint32_t>(w.trained[i]))) BusyoTable[w.trained[i]].growthMark = 0;
          s.SetDialogState(3);
          SubStepNext();
          break;
        case 5:
          if (s.GetDialogResult(1) == -1 || s.IsNoDialog()) SubStepNext();
          break;
        default:
          for (int i = 0; i < w.trainedCount; ++i) BusyoTable[w.trained[i]].growthMark = 0;
          StepJump(kStepLeave);
          break;
      }
      return kStepRunning;
    }
    case kStepLeave:
      return LeaveMilitary();
  }
  return kStepRunning;
}

int CmdBusyoInfo() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  CommandWork& w = W();
  if (StepBegin()) {
    s.OpenDialog(21, PlayerDaimyoId, 0, 0);
    StepJump(2);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 2: {
      if (s.GetSceneResult() == kResultDialogBack) {
        StepJump(5);
        return kStepRunning;
      }
      const int show = s.GetDialogResult(3);
      if (show >= 0 && show < kBusyoCount) {
        w.busyo = static_cast<uint16_t>(show);
        StepJump(4);
        return kStepRunning;
      }
      if (cmd::DismissalAsked()) StepJump(3);
      return kStepRunning;
    }
    case 3:
      // The clan's head is never dismissed.
      if (cmd::DismissalAnswered([](uint16_t b) { return GetBusyoDaimyo(b) == PlayerDaimyoId && P().head != b; }))
        StepJump(2);
      return kStepRunning;
    case 4: {
      const int kuni = GetBusyoKuni(w.busyo);
      if (kuni >= 0 && kuni < kKuniCount) {
        CurrentKuniId = static_cast<uint8_t>(kuni);
        s.FocusKuni(kuni, 1);
      }
      s.SetSelectedCastle(BusyoTable[w.busyo].siro);
      StepJump(5);
      return kStepRunning;
    }
    case 5:
      s.SetSelMode(0);
      s.FinishDialog();
      RecalcDaimyoTotals(0);
      SelectSlgKuni(CurrentKuniId, true);
      RefreshSlgMainMap(1, -1, 1);
      StepFinish();
      return 0;
  }
  return kStepRunning;
}

int CmdSelectKuniInfo() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  CommandWork& w = W();
  if (StepBegin()) {
    s.SetPanelDaimyo(kCmdKuniInfo);
    for (int k = 0; k < kKuniCount; ++k)
      if (DaimyoHasSiroInKuni(static_cast<uint32_t>(k), PlayerDaimyoId)) SetKuniFlag8(static_cast<uint32_t>(k), true);
    w.chosenKuni = 255;
    s.BeginKuniPick();
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::RefuseAndJump(kCmdKuniInfo, kRefusalWait, kStepLeave)) return kStepRunning;
      w.chosenKuni = 255;
      s.ClearKuniFocus();
      s.SetSelMode(1);
      s.ShowMessage("情報を見たい国を選んでください", 7, false);
      StepNext();
      return kStepRunning;
    case 2: {
      if (cmd::FirstPass()) {
        s.ClearSelectedKuni();
        return kStepRunning;
      }
      if (s.GetSceneResult() == kResultBack) {
        StepJump(kStepLeave);
        return kStepRunning;
      }
      const int k = s.GetSelectedKuni();
      if (k < 0 || k >= kKuniCount) return kStepRunning;
      w.chosenKuni = static_cast<uint8_t>(k);
      if (KuniTable[k].doneFlags & 8) {
        StepJump(4);
        return kStepRunning;
      }
      if (s.OpenDialog(7, 1, GetInfoCost(P().rank), 0)) {
        s.SetDialogValues(0, 1);
        s.SetDialogValues(1, GetInfoCost(P().rank));
      }
      StepNext();
      return kStepRunning;
    }
    case 3: {
      const int r = s.GetSceneResult();
      if (r == kResultDialogBack) {
        s.FinishDialog();
        StepJump(1);
      } else if (r == kResultConfirm) {
        // Each cost is taken only where it suffices; the information is shown in any case.
        if (P().cp >= 1) cmd::SpendCp(1);
        const int cost = GetInfoCost(P().rank);
        if (P().money >= cost) cmd::SpendMoney(cost);
        s.FinishDialog();
        RefreshSlgMainMap(1, -1, 1);
        SetKuniFlag8(w.chosenKuni, true);
        RefreshCommandMenus(5);
        StepNext();
      }
      return kStepRunning;
    }
    case 4: {
      if (cmd::FirstPass()) {
        s.FocusKuni(w.chosenKuni, 1);
        return kStepRunning;
      }
      if (s.GetSceneResult() == kResultBack || !s.IsKuniFocused()) {
        s.FinishDialog();
        StepJump(1);
      }
      return kStepRunning;
    }
    case kStepLeave:
      s.ShowMapNormal();
      return LeaveMilitary();
  }
  return kStepRunning;
}

int CmdDaimyoInfo() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  CommandWork& w = W();
  if (StepBegin()) {
    StepJump(9);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 9:
      StepJump(1);
      return kStepRunning;
    case 1:
      switch (SubStepGet()) {
        case 0:
          if (s.OpenDialog(22, PlayerDaimyoId, 0, 0)) {
            s.SetDialogValues(5, -1);
            s.SetDialogValues(6, 0);
          }
          SubStepSet(1);
          return kStepRunning;
        case 1:
          if (IsCommandGreyed(kCmdClanInfo)) {
            s.SetDialogValues(6, 1);
            s.SetDialogKey("これ以上はできません");
            SubStepSet(2);
          } else {
            SubStepSet(3);
          }
          return kStepRunning;
        case 2:
          s.FinishDialog();
          StepFinish();
          return 0;
        default: {
          if (s.GetSceneResult() == kResultDialogBack) {
            s.FinishDialog();
            StepFinish();
            return 0;
          }
          const int c = s.GetDialogResult(0);
          if (c >= 0 && c < kDaimyoInPlay) {
            w.chosenClan = static_cast<uint8_t>(c);
            StepJump(2);
          }
          return kStepRunning;
        }
      }
    case 2: {
      const bool bought = DaimyoTable[w.chosenClan].turnFlags & 2;
      const int cost = GetInfoCost(P().rank);
      // Unbought information the clan cannot pay for is refused instead of spent into a wrap.
      const bool payable = P().cp >= 1 && P().money >= cost;
      if (cmd::FirstPass()) {
        s.SetDialogValues(2, bought ? 0 : 1);
        s.SetDialogValues(3, bought ? 0 : cost);
        s.SetDialogValues(4, 0);
        s.SetDialogState(1);
        if (!bought && !payable) s.SetDialogKey(CommandRefusalReason(P().cp < 1 ? 1 : 5));
        return kStepRunning;
      }
      // The question's answer as the clan list took it from the dialog scene (-1 until answered).
      const int a = s.GetDialogResult(1);
      if (a == 2 || (a == 1 && !bought && !payable)) {
        // Back to the clan list with nothing picked, or the same pick would ask again at once.
        s.SetDialogValues(5, -1);
        StepJump(1);
        SubStepSet(3);
      } else if (a == 1) {
        StepNext();
      }
      return kStepRunning;
    }
    case 3: {
      if (cmd::FirstPass()) {
        if (!(DaimyoTable[w.chosenClan].turnFlags & 2)) {
          cmd::SpendMoney(GetInfoCost(P().rank));
          cmd::SpendCp(1);
        }
        DaimyoTable[w.chosenClan].turnFlags |= 2;
        s.FinishDialog();
        s.ShowDaimyoOnMap(w.chosenClan);
        RefreshSlgMainMap(1, w.chosenClan, 1);
        RefreshCommandMenus(5);
        return kStepRunning;
      }
      const int a = s.GetSceneResult();
      if (a == 1 || a == 2) {
        s.ShowOwnDaimyoOnMap();
        RefreshSlgMainMap(1, -1, 1);
        StepJump(9);
      }
      return kStepRunning;
    }
  }
  return kStepRunning;
}

int CmdVisitBusyo() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  CommandWork& w = W();
  if (StepBegin()) {
    s.SetPanelDaimyo(kCmdVisit);
    w.focused = s.IsKuniFocused();
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::RefuseAndJump(kCmdVisit, kRefusalWait, kStepLeave)) return kStepRunning;
      w.target = 0xFFFF;
      StepNext();
      return kStepRunning;
    case 2: {
      if (cmd::FirstPass()) {
        if (s.OpenDialog(12, 0, 0, 0)) {
          s.SetDialogValues(3, P().cp);
          s.SetDialogState(0);
        }
        w.value = -1;
        return kStepRunning;
      }
      const int entry = s.GetDialogResult(0);
      if (entry != w.value && entry >= 0) {
        w.value = entry;
        auto it = SlgEventMap.find(static_cast<uint32_t>(entry));
        s.SetDialogValues(1, it != SlgEventMap.end() ? (it->second.flags & 1) : 0);
        s.SetDialogState(1);
      }
      const int r = s.GetSceneResult();
      if (r == kResultDialogBack) StepJump(kStepLeave);
      if (r == kResultConfirm && entry >= 0) {
        w.target = static_cast<uint16_t>(entry);
        StepNext();
      }
      return kStepRunning;
    }
    case 3: {
      auto it = SlgEventMap.find(w.target);
      if (it != SlgEventMap.end()) {
        const int cost = GetVisitCpCost(it->second.flags & 1);
        if (P().cp < cost) {
          s.ShowMessage(CommandRefusalReason(1), 7, false);
          StepJump(kStepLeave);
          return kStepRunning;
        }
        cmd::SpendCp(cost);
        s.FinishDialog();
        Adv().StartAdvEvent(4, 0, it->second.name, false);
        it->second.flags |= 4;
        RefreshCommandMenus(2);
      }
      StepNext();
      return kStepRunning;
    }
    case 4:
      SelectSlgKuni(CurrentKuniId, true);
      RefreshSlgMainMap(1, -1, 1);
      if (w.focused)
        s.RestoreKuniFocus();
      else
        s.ClearKuniFocus();
      StepJump(1);
      return kStepRunning;
    case kStepLeave:
      for (const auto& [key, e] : SlgEventMap)
        if (e.key < kBusyoCount) BusyoFlagTable[e.key] |= 1;
      return LeaveMilitary();
  }
  return kStepRunning;
}
