// Diplomacy commands of the politics menu: proposing an alliance and poaching an enemy general.
#include <algorithm>

#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "screens/strategy/commands/player_commands.h"
#include "world/commands/strategy_rules.h"
#include "world/placement.h"
#include "world/slg_util.h"
#include "world/turn/command_check.h"
#include "world/turn/slg_sound_port.h"
#include "world/turn/turn_loop.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

constexpr int kStepEnd = 9;
constexpr int kStepCancel = 10;
constexpr const char* kAskBusyo = "どの武将にしますか？";
// Refusal codes of the country choice: the player's own clan, a clan already allied.
constexpr int kReasonOwnClan = 37;
constexpr int kReasonAllied = 38;
constexpr int kReasonNoClanKuni = 33;

struct DiplomacyWork {
  uint16_t busyo = kNoBusyo;
  uint16_t target = kNoBusyo;
  int kuni = -1;
  uint8_t clan = kNoDaimyo;
  uint8_t startKuni = 255;
  bool won = false;
  bool confirmed = false;
};
DiplomacyWork dw;

DaimyoRecord& P() { return DaimyoTable[PlayerDaimyoId]; }

void RaisePrestige(int draw, int limit) {
  DaimyoRecord& p = P();
  if (draw < limit && p.prestige < 20) ++p.prestige;
}

}  // namespace

int CmdDiplomacy() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  if (StepBegin()) {
    dw = DiplomacyWork{};
    s.SetPanelDaimyo(kCmdAlliance);
    s.RememberKuniFocus();
    dw.startKuni = CurrentKuniId;
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::RefuseAndJump(kCmdAlliance, kRefusalWait, kStepEnd)) return kStepRunning;
      dw.busyo = kNoBusyo;
      dw.kuni = -1;
      StepNext();
      return kStepRunning;
    case 2: {
      if (SubStepGet() == 0) {
        s.ResetMapMenu();
        s.FocusKuni(dw.startKuni, 1);
      }
      const int c = cmd::ChooseBusyo(kCmdAlliance, 1, kAskBusyo);
      if (c < 0) StepJump(kStepEnd);
      if (c <= 0) return kStepRunning;
      dw.busyo = g_CommandWork.busyo;
      cmd::Voice(dw.busyo, 1);
      StepNext();
      return kStepRunning;
    }
    case 3: {
      if (cmd::FirstPass()) {
        s.FinishDialog();
        s.ClearSelectedKuni();
        s.BeginKuniPick();
        s.ShowMessage("どの国にしますか？", 7, false);
        return kStepRunning;
      }
      if (s.GetSceneResult() == kResultBack) {
        StepJump(2);
        return kStepRunning;
      }
      const int k = s.GetSelectedKuni();
      if (k < 0 || k >= kKuniCount) return kStepRunning;
      // The clan holding the whole country is the one asked; a country several clans share names none.
      if (KuniTable[k].holder == kNoDaimyo) {
        s.ShowMessage(CommandRefusalReason(kReasonNoClanKuni), 7, false);
        s.ClearSelectedKuni();
        return kStepRunning;
      }
      const uint8_t t = KuniTable[k].holder;
      // No alliance with oneself, and none twice with the same clan.
      if (t == PlayerDaimyoId || IsAllied(PlayerDaimyoId, t) || t >= kDaimyoInPlay) {
        s.ShowMessage(CommandRefusalReason(t == PlayerDaimyoId ? kReasonOwnClan : kReasonAllied), 7, false);
        s.ClearSelectedKuni();
        return kStepRunning;
      }
      dw.kuni = k;
      dw.clan = t;
      StepNext();
      return kStepRunning;
    }
    case 4: {
      if (cmd::FirstPass()) {
        s.ShowMessage("", 7, false);
        if (s.OpenDialog(10, 0, 0, 0)) {
          s.SetDialogValues(0, 1);
          s.SetDialogValues(1, kDiplomacyCost);
          s.SetDialogValues(2, dw.busyo);
          s.SetDialogValues(3, dw.clan);
        }
        s.ShowMessage("これでよろしいですか？", 7, false);
        return kStepRunning;
      }
      const int r = s.GetSceneResult();
      if (r == kResultDialogBack) {
        s.FinishDialog();
        StepJump(3);
      } else if (r == kResultConfirm) {
        StepNext();
      }
      return kStepRunning;
    }
    case 5: {
      // Checked again at the moment of paying: never spent into a wrap.
      if (CheckCommandAvailable(kCmdAlliance, kNoBusyo, kNoSiro, PlayerDaimyoId, 0xFFFF)) {
        cmd::ShowRefusal(GetCommandReasonText());
        s.FinishDialog();
        StepJump(kStepEnd);
        return kStepRunning;
      }
      const uint16_t g = dw.busyo;
      DecayBusyoLoyalty(g);
      cmd::SpendCp(1);
      cmd::SpendMoney(kDiplomacyCost);
      RefreshSlgMainMap(1, -1, 1);
      BusyoTable[g].cmdFlags |= 1;
      DaimyoTable[dw.clan].turnFlags |= 1;
      if (DiplomacySucceeds(dw.clan, g)) {
        cmd::Voice(g, HasSkillEffect(g, 29) ? 2 : 3);
        const int d = SlgRandom(150) % 15 + 1;
        if (d > P().prestige && P().prestige < 20) ++P().prestige;
        FormAlliance(PlayerDaimyoId, dw.clan);
        s.ShowMessage("同盟交渉に成功しました", 7, false);
        SlgSound().PlaySlgSe(3, 5, 0);
        Battle().BusyoGainExperience2(g);
      } else {
        cmd::Voice(g, 4);
        AddDaimyoMoney(PlayerDaimyoId, kDiplomacyCost / 2);
        s.ShowMessage("同盟交渉に失敗しました", 7, false);
        SlgSound().PlaySlgSe(3, 6, 0);
        Battle().BusyoGainExperience3(g);
      }
      RefreshCommandMenus(2);
      SetFrameWait(kResultWait);
      s.FinishDialog();
      StepJump(1);
      return kStepRunning;
    }
    case kStepEnd:
      SelectSlgKuni(dw.startKuni, true);
      s.ResetMapMenu();
      // The current country is selected again only after the focus came back (FinishCommand's
      // reselect would come before it).
      cmd::LeaveCommand(false);
      SelectSlgKuni(CurrentKuniId, true);
      StepFinish();
      return 0;
  }
  return kStepRunning;
}

int CmdPoach() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  if (StepBegin()) {
    dw = DiplomacyWork{};
    cmd::BeginOnCurrentKuni(kCmdPoach);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::RefuseAndJump(kCmdPoach, kRefusalWait, kStepCancel)) return kStepRunning;
      StepNext();
      return kStepRunning;
    case 2: {
      if (SubStepGet() == 0) dw.busyo = dw.target = kNoBusyo;
      const int c = cmd::ChooseBusyo(kCmdPoach, 1, kAskBusyo);
      if (c < 0) StepJump(kStepCancel);
      if (c <= 0) return kStepRunning;
      dw.busyo = g_CommandWork.busyo;
      cmd::Voice(dw.busyo, 1);
      StepNext();
      return kStepRunning;
    }
    case 3: {
      if (cmd::FirstPass()) {
        if (s.OpenDialog(11, PlayerDaimyoId, CurrentKuniId, 0)) {
          s.SetDialogValues(0, 3);
          s.SetDialogValues(1, kPoachCost);
          s.SetDialogValues(2, 200);
        }
        s.SetDialogKey("引き抜く武将を選択してください");
        return kStepRunning;
      }
      if (s.GetDialogResult(6) == 0) {
        // Nothing to choose in this country: the dialog closes itself.
        PushSlgKeyFromScene(0);
        StepJump(1);
        return kStepRunning;
      }
      dw.confirmed = false;
      StepNext();
      return kStepRunning;
    }
    case 4: {
      const int r = s.GetSceneResult();
      if (r == kResultDialogBack) {
        s.FinishDialog();
        StepJump(2);
        return kStepRunning;
      }
      if (r == kResultConfirm) dw.confirmed = true;
      if (!dw.confirmed) return kStepRunning;
      const int t = s.GetDialogResult(7);
      if (t < 0 || t >= kBusyoCount) return kStepRunning;
      // Only a general the rules allow (another clan's or an independent, not yet targeted).
      if (GetBusyoDaimyo(static_cast<uint32_t>(t)) == PlayerDaimyoId ||
          CheckCommandAvailable(kCmdPoach, dw.busyo, kNoSiro, PlayerDaimyoId, static_cast<uint16_t>(t))) {
        cmd::ShowRefusal(GetCommandReasonText());
        dw.confirmed = false;
        return kStepRunning;
      }
      dw.target = static_cast<uint16_t>(t);
      s.SetDialogValues(5, 0);
      StepNext();
      return kStepRunning;
    }
    case 5: {
      const uint16_t g = dw.busyo;
      const uint16_t t = dw.target;
      switch (SubStepGet()) {
        case 0:
          s.SetDialogKey("");
          SubStepSet(1);
          return kStepRunning;
        case 1:
          DecayBusyoLoyalty(g);
          cmd::SpendCp(kPoachCp);
          cmd::SpendMoney(kPoachCost);
          BusyoTable[g].cmdFlags |= 1;
          BusyoTable[t].cmdFlags |= 1;
          RefreshCommandMenus(2);
          SubStepSet(2);
          return kStepRunning;
        case 2:
          dw.won = PoachSucceeds(GetBusyoDaimyo(t), t, g);
          s.SetDialogValues(4, 0);
          SubStepSet(3);
          return kStepRunning;
        default:
          break;
      }
      // The dialog's gauge has run (value 8); a closed dialog does not hold the command.
      if (s.GetDialogResult(8) == 0) return kStepRunning;
      if (dw.won) {
        cmd::Voice(g, 3);
        BusyoRecord& b = BusyoTable[t];
        const int cut = std::max(0, b.soldiers * (50 - GetBusyoStat1(t) / 5 * 3) / 100);
        b.soldiers = static_cast<uint8_t>(std::max(0, b.soldiers - cut));
        if (b.guns != 1) b.guns = static_cast<uint8_t>(b.guns / 2);
        b.loyalty = kPoachedLoyalty;
        b.marchFlag = 0;
        b.siro2 = kNoSiro;
        TransferBusyoToDaimyo(t, PlayerDaimyoId);
        RaisePrestige(SlgRandom(100), 18 - P().prestige);
        s.RefreshMapMenu();
        RefreshCommandMenus(2);
        Battle().BusyoGainExperience2(g);
        s.ShowMessage("武将の引抜きに成功しました", 7, false);
      } else {
        cmd::Voice(g, 4);
        RefreshCommandMenus(2);
        Battle().BusyoGainExperience3(g);
        s.ShowMessage("武将の引抜きに失敗しました", 7, false);
      }
      RecalcDaimyoTotals(0);
      RefreshSlgMainMap(1, -1, 1);
      SetFrameWait(kResultWait);
      StepJump(1);
      return kStepRunning;
    }
    case kStepCancel:
      return cmd::FinishCommand(false);
  }
  return kStepRunning;
}
