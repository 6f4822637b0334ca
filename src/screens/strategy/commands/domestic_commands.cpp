// Domestic commands of the politics menu: flood control, free markets, levy, castle works, moving
// generals and stationing reserve generals.
#include <algorithm>
#include <cstdio>

#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "world/commands/command_costs.h"
#include "screens/strategy/commands/player_commands.h"
#include "world/placement.h"
#include "world/slg_util.h"
#include "world/turn/command_check.h"
#include "world/turn/turn_loop.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

namespace {

constexpr const char* kAskBusyo = "どの武将にしますか？";
constexpr const char* kNoEffect = "効果がなかったようです";
constexpr const char* kConfirm = "これでよろしいですか？";
constexpr int kStepLeave = 10;

DaimyoRecord& P() { return DaimyoTable[PlayerDaimyoId]; }
CommandWork& W() { return g_CommandWork; }

enum class KuniCmd { kFlood, kMarket, kLevy };

int CommandIdOf(KuniCmd k) {
  return k == KuniCmd::kFlood ? kCmdFloodControl : (k == KuniCmd::kMarket ? kCmdFreeMarket : kCmdLevy);
}

void CarryOutFlood(uint16_t g, uint8_t kuni) {
  KuniRecord& k = KuniTable[kuni];
  DecayBusyoLoyalty(g);
  cmd::SpendCp(kFloodControlCp);
  cmd::SpendMoney(FloodControlCost());
  const int b = GetSkillEffectValue(g, 30);
  const int r = SlgRandom(2);
  int gain = FloodControlGain(GetBusyoStat3(g), r, b);
  gain = std::min(gain, std::max(0, k.landLimit - k.land));
  k.land = static_cast<uint16_t>(k.land + gain);
  const int t = gain * (SlgRandom(201) + 100);
  if (k.mood <= 100 - t / 1000)
    k.mood = static_cast<uint8_t>(k.mood + t / 1000);
  else
    k.mood = 100;
  DaimyoRecord& p = P();
  if (SlgRandom(100) < (20 - p.prestige) / 2 && p.prestige < 20) ++p.prestige;
  RecalcDaimyoTotals(0);
  BusyoTable[g].cmdFlags |= 1;
  k.doneFlags |= 1;
  RefreshSlgMainMap(1, -1, 1);
  SelectSlgKuni(kuni, true);
  if (gain > 0) SlgScene().SetDialogValues(4, k.land);
  SlgScene().SetDialogValues(5, 0);
  if (gain == 0) {
    SlgScene().ShowMessage(kNoEffect, 7, false);
    cmd::Voice(g, 4);
    return;
  }
  char text[96];
  std::snprintf(text, sizeof text, "この国の石高が(%2u)千石上がりました", static_cast<unsigned>(gain));
  SlgScene().ShowMessage(text, 7, false);
  Battle().BusyoGainExperience2(g);
  cmd::Voice(g, b > 0 ? 2 : 3);
}

void CarryOutMarket(uint16_t g, uint8_t kuni) {
  KuniRecord& k = KuniTable[kuni];
  DecayBusyoLoyalty(g);
  cmd::SpendCp(kFreeMarketCp);
  cmd::SpendMoney(FreeMarketCost());
  const int skill = GetSkillEffectValue(g, 31);
  const int r = SlgRandom(2);
  int gain = FreeMarketGain(GetBusyoStat3(g), k.town, r, skill);
  gain = std::min(gain, std::max(0, k.townLimit - k.town));
  k.town = static_cast<uint16_t>(k.town + gain);
  const int rise = SlgRandom(50) % 5 + 1;
  if (k.mood > 100 - rise)
    k.mood = 100;
  else
    k.mood = static_cast<uint8_t>(k.mood + rise);
  k.doneFlags |= 2;
  BusyoTable[g].cmdFlags |= 1;
  RecalcDaimyoTotals(0);
  RefreshSlgMainMap(1, -1, 1);
  SelectSlgKuni(kuni, true);
  if (gain > 0) SlgScene().SetDialogValues(4, k.town);
  SlgScene().SetDialogValues(5, 0);
  if (gain == 0) {
    SlgScene().ShowMessage(kNoEffect, 7, false);
    cmd::Voice(g, 4);
    return;
  }
  char text[96];
  std::snprintf(text, sizeof text, "この国の町の規模が(%2u.%1u)上がりました", static_cast<unsigned>(gain / 10),
                static_cast<unsigned>(gain % 10));
  SlgScene().ShowMessage(text, 7, false);
  Battle().BusyoGainExperience2(g);
  cmd::Voice(g, skill > 0 ? 2 : 3);
}

void CarryOutLevy(uint16_t g, uint8_t kuni) {
  KuniRecord& k = KuniTable[kuni];
  DaimyoRecord& p = P();
  DecayBusyoLoyalty(g);
  cmd::SpendCp(kLevyCp);
  const int amount = LevyAmount(k.land, k.town, SlgRandom(201));
  AddDaimyoMoney(PlayerDaimyoId, amount);
  const int x = std::min(GetBusyoStat3(g) / 5, 16);
  k.land = static_cast<uint16_t>((x + 80) * k.land / 100);
  k.town = static_cast<uint16_t>((x + 80) * k.town / 100);
  RecalcDaimyoTotals(0);
  const int skill = GetSkillEffectValue(g, 28);
  const int drop = LevyMoodDrop(x, SlgRandom(100), skill);
  k.mood = k.mood > drop ? static_cast<uint8_t>(k.mood - drop) : 1;
  const int d = SlgRandom(120) % 30 + 1;
  if (d < p.prestige && p.prestige > 0) --p.prestige;
  BusyoTable[g].cmdFlags |= 1;
  k.doneFlags |= 4;
  RefreshSlgMainMap(1, -1, 1);
  SelectSlgKuni(kuni, true);
  SlgScene().FinishDialog();
  if (amount == 0) {
    SlgScene().ShowMessage(kNoEffect, 7, false);
    cmd::Voice(g, 4);
    return;
  }
  char text[96];
  std::snprintf(text, sizeof text, "この国で(%4u)徴税できました", static_cast<unsigned>(amount));
  SlgScene().ShowMessage(text, 7, false);
  cmd::Voice(g, skill > 0 ? 2 : 3);
}

void OpenKuniDialog(KuniCmd kind, uint8_t kuni) {
  SlgScenePort& s = SlgScene();
  const KuniRecord& k = KuniTable[kuni];
  switch (kind) {
    case KuniCmd::kFlood:
      if (!s.OpenDialog(5, 0, 0, 0)) return;
      s.SetDialogValues(0, 2);
      s.SetDialogValues(1, FloodControlCost());
      s.SetDialogValues(2, k.landLimit);
      s.SetDialogValues(3, k.land);
      break;
    case KuniCmd::kMarket:
      if (!s.OpenDialog(6, 0, 0, 0)) return;
      s.SetDialogValues(0, 1);
      s.SetDialogValues(1, FreeMarketCost());
      s.SetDialogValues(2, k.townLimit);
      s.SetDialogValues(3, k.town);
      break;
    case KuniCmd::kLevy:
      s.OpenDialog(7, 2, 0, 0);
      break;
  }
}

int RunKuniCommand(KuniCmd kind) {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  CommandWork& w = W();
  const int id = CommandIdOf(kind);
  if (StepBegin()) {
    cmd::BeginOnCurrentKuni(id);
    w.busyo = kNoBusyo;
    w.kuni = CurrentKuniId;
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::RefuseAndJump(id, kRefusalWait, kStepLeave)) return kStepRunning;
      s.ShowMessage(kAskBusyo, 7, false);
      s.ClearMarkedBusyo();
      StepNext();
      return kStepRunning;
    case 2: {
      const int r = cmd::ChooseBusyo(id, 1, kAskBusyo);
      if (r < 0) StepJump(kStepLeave);
      if (r > 0) {
        cmd::Voice(w.busyo, 1);
        StepNext();
      }
      return kStepRunning;
    }
    case 3: {
      if (cmd::FirstPass()) {
        OpenKuniDialog(kind, w.kuni);
        return kStepRunning;
      }
      const int r = s.GetSceneResult();
      if (r == kResultDialogBack) {
        StepJump(2);
        return kStepRunning;
      }
      if (r != kResultConfirm) return kStepRunning;
      // The general or the country may have become unavailable while the dialog was open.
      if (CheckCommandAvailable(id, w.busyo, kNoSiro, PlayerDaimyoId, 0xFFFF)) {
        if (const char* why = GetCommandReasonText()) s.ShowMessage(why, 7, false);
        StepJump(2);
        return kStepRunning;
      }
      if (kind == KuniCmd::kFlood) CarryOutFlood(w.busyo, w.kuni);
      if (kind == KuniCmd::kMarket) CarryOutMarket(w.busyo, w.kuni);
      if (kind == KuniCmd::kLevy) CarryOutLevy(w.busyo, w.kuni);
      RefreshCommandMenus(2);
      SetFrameWait(kResultWait);
      StepJump(1);
      return kStepRunning;
    }
    case kStepLeave:
      return cmd::FinishCommand(true);
  }
  return kStepRunning;
}

// A choice on the map: its first pass closes the dialog, clears the marks and sets the prompt and
// the selection mode; backing out leaves the command. True while there is no choice to read.
bool MapChoicePending(const char* prompt, int selMode) {
  SlgScenePort& s = SlgScene();
  if (cmd::FirstPass()) {
    s.FinishDialog();
    s.ClearMarkedBusyo();
    s.ShowMessage(prompt, 0, false);
    s.SetSelMode(selMode);
    return true;
  }
  if (s.GetSceneResult() == kResultBack) {
    StepJump(kStepLeave);
    return true;
  }
  return false;
}

// Castle works: how many levels may be offered for the chosen general's castle, with the message
// that explains a smaller offer.
void OfferCastleLevels() {
  CommandWork& w = W();
  const SiroRecord& c = SiroTable[w.siro];
  char text[96];
  w.levels = 3;
  if (c.maxLevel - c.level < 3) {
    w.levels = std::max(c.maxLevel - c.level, 0);
    std::snprintf(text, sizeof text, "この城は(%2d)より\n増築できません", c.maxLevel);
    SlgScene().ShowMessage(text, 7, false);
    SetFrameWait(kResultWait);
    return;
  }
  const int cap = GetSiroLevelCap(PlayerDaimyoId, w.siro);
  if (cap - c.level < 3) {
    w.levels = std::max(cap - c.level, 0);
    std::snprintf(text, sizeof text, "現在の我が家の規模での増築は\n(%2u)までです", static_cast<unsigned>(cap));
    SlgScene().ShowMessage(text, 7, false);
    SetFrameWait(kResultWait);
  }
}

}  // namespace

int CmdFloodControl() { return RunKuniCommand(KuniCmd::kFlood); }
int CmdFreeMarket() { return RunKuniCommand(KuniCmd::kMarket); }
int CmdLevy() { return RunKuniCommand(KuniCmd::kLevy); }

int CmdExtendCastle() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  CommandWork& w = W();
  if (StepBegin()) {
    cmd::BeginOnCurrentKuni(kCmdCastleWorks);
    w.busyo = kNoBusyo;
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::RefuseAndJump(kCmdCastleWorks, kRefusalWait, kStepLeave)) return kStepRunning;
      StepNext();
      return kStepRunning;
    case 2: {
      const int r = cmd::ChooseBusyo(kCmdCastleWorks, 1, kAskBusyo);
      if (r < 0) {
        w.kuni = 255;  // backing out of the choice does not reselect the country
        StepJump(kStepLeave);
      }
      if (r > 0) {
        w.kuni = CurrentKuniId;
        w.siro = BusyoTable[w.busyo].siro;
        cmd::Voice(w.busyo, 1);
        OfferCastleLevels();
        StepNext();
      }
      return kStepRunning;
    }
    case 3: {
      bool lowered = false;
      while (w.levels > 1 && SiroWorkCost(w.busyo, w.levels) > P().money) {
        --w.levels;
        lowered = true;
      }
      if (lowered) {
        char text[96];
        std::snprintf(text, sizeof text, "この予算で普請可能レベルは\n(%2d)で最大です", w.levels);
        s.ShowMessage(text, 7, false);
        SetFrameWait(kResultWait);
      }
      w.count = w.levels;  // the most the dialog may give back
      StepNext();
      return kStepRunning;
    }
    case 4: {
      if (SubStepGet() == 0) {
        s.ShowMessage("", 7, false);
        SubStepSet(1);
        return kStepRunning;
      }
      if (SubStepGet() == 1) {
        if (s.OpenDialog(0, w.busyo, 0, 0)) {
          s.SetDialogValues(0, 1);
          s.SetDialogValues(1, SiroWorkCost(w.busyo, w.levels));
          s.SetDialogValues(2, w.levels);
          s.SetDialogValues(3, w.levels);
          s.SetDialogValues(6, 1);
        }
        SubStepSet(2);
        return kStepRunning;
      }
      // The dialog's chosen count, kept within what was offered.
      const int chosen = s.GetDialogResult(3);
      if (chosen >= 0) {
        const int v = std::clamp(chosen, 1, std::max(w.count, 1));
        if (v != w.levels) {
          w.levels = v;
          s.SetDialogValues(1, SiroWorkCost(w.busyo, w.levels));
        }
      }
      if (!cmd::DialogConfirmed(2)) return kStepRunning;
      SiroRecord& c = SiroTable[w.siro];
      const int cost = SiroWorkCost(w.busyo, w.levels);
      if (w.levels < 1 || cost > P().money || P().cp < kCastleWorksCp) {
        s.ShowMessage("これ以上はできません", 7, false);
        s.FinishDialog();
        StepJump(2);
        return kStepRunning;
      }
      cmd::Voice(w.busyo, HasSkillEffect(w.busyo, 27) ? 2 : 3);
      Battle().BusyoGainExperience2(w.busyo);
      DecayBusyoLoyalty(w.busyo);
      cmd::SpendCp(kCastleWorksCp);
      cmd::SpendMoney(cost);
      BusyoTable[w.busyo].cmdFlags |= 1;
      c.level = static_cast<uint8_t>(std::min<int>(c.level + w.levels, c.maxLevel));
      c.turnFlags |= 1;
      RecalcDaimyoTotals(0);
      SelectSlgKuni(CurrentKuniId, true);
      RefreshSlgMainMap(1, -1, 1);
      RefreshCommandMenus(2);
      s.FinishDialog();
      s.RefreshMapMenu();
      StepJump(1);
      return kStepRunning;
    }
    case kStepLeave:
      return cmd::FinishCommand(w.kuni != 255);
  }
  return kStepRunning;
}

int CmdMoveBusyo() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  CommandWork& w = W();
  if (StepBegin()) {
    cmd::BeginOnCurrentKuni(kCmdMove);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::Refused(kCmdMove)) {
        StepJump(kStepLeave);
        return kStepRunning;
      }
      w.siro = kNoSiro;
      w.target = kNoSiro;
      w.count = 0;
      StepNext();
      return kStepRunning;
    case 2: {
      if (MapChoicePending(kAskBusyo, 2)) return kStepRunning;
      const int g = s.GetMarkedBusyo();
      if (g < 0 || g >= kBusyoCount) return kStepRunning;
      if (CheckCommandAvailable(kCmdMove, static_cast<uint16_t>(g), kNoSiro, PlayerDaimyoId, 0xFFFF)) {
        if (const char* why = GetCommandReasonText()) s.ShowMessage(why, 7, false);
        s.ClearMarkedBusyo();
        return kStepRunning;
      }
      w.siro = BusyoTable[g].siro;
      w.count = 1;
      StepNext();
      return kStepRunning;
    }
    case 3: {
      if (cmd::FirstPass()) {
        s.SetSelMode(3);
        s.FinishDialog();
        s.ShowMessage("どの武将、または\nどの城にしますか？", 0, false);
        return kStepRunning;
      }
      const int n = s.CountMarkedBusyo();
      if (n == 0) {
        StepJump(2);
        return kStepRunning;
      }
      if (n != w.count) {
        w.count = n;
        s.RefreshMapMenu();
      }
      const uint16_t dest = s.GetSelectedCastle();
      const int r = s.GetSceneResult();
      if (dest != kNoSiro && dest != w.siro) {
        w.target = dest;
        StepNext();
        return kStepRunning;
      }
      if (r == kResultBack) StepJump(kStepLeave);
      return kStepRunning;
    }
    case 4: {
      if (cmd::FirstPass()) {
        // Every marked general, and the destination, must pass the check before the price is shown.
        std::vector<int32_t> marked;
        s.GetMarkedBusyoList(marked);
        const int price = MoveCostPerBusyo(P().rank) * static_cast<int>(marked.size());
        bool refused = marked.empty() || price > P().money || P().cp < kMoveCp ||
                       CountSiroBusyo(w.target) + static_cast<int>(marked.size()) > kSiroListLen;
        for (int32_t g : marked)
          if (!refused && (g < 0 || g >= kBusyoCount || BusyoTable[g].siro != w.siro ||
                           CheckCommandAvailable(kCmdMove, static_cast<uint16_t>(g), w.target, PlayerDaimyoId, 0xFFFF)))
            refused = true;
        if (refused) {
          cmd::ShowRefusal(GetCommandReasonText());
          s.SetSelectedCastle(w.siro);
          StepJump(3);
          return kStepRunning;
        }
        if (s.OpenDialog(8, w.siro, w.target, 0)) {
          for (int32_t g : marked) s.SetDialogValues(2, g);
          s.SetDialogValues(0, 1);
          s.SetDialogValues(1, price);
          s.SetDialogValues(3, 0);
        }
        s.ShowMessage(kConfirm, 7, false);
        return kStepRunning;
      }
      cmd::AwaitConfirm(w.siro, 3);
      return kStepRunning;
    }
    case 5: {
      std::vector<int32_t> marked;
      s.GetMarkedBusyoList(marked);
      const int each = MoveCostPerBusyo(P().rank);
      for (int32_t g : marked) {
        if (g < 0 || g >= kBusyoCount || BusyoTable[g].siro != w.siro) continue;
        if (P().money < each || CountSiroBusyo(w.target) >= kSiroListLen) break;
        DecayBusyoLoyalty(static_cast<uint32_t>(g));
        const uint8_t c = GetBusyoDaimyo(static_cast<uint32_t>(g));
        const uint16_t slot = FindForceSlot(c, static_cast<uint32_t>(g));
        if (slot >= kVassalSlots) continue;
        MoveSiroBusyo(w.siro, w.target, c, static_cast<uint8_t>(slot), 0);
        BusyoTable[g].siro = w.target;
        cmd::SpendMoney(each);
        BusyoTable[g].cmdFlags |= 1;
      }
      cmd::SpendCp(kMoveCp);
      s.FinishDialog();
      SelectSlgKuni(CurrentKuniId, true);
      RefreshSlgMainMap(1, -1, 1);
      RefreshCommandMenus(2);
      s.SetSelectedCastle(w.target);
      StepJump(1);
      return kStepRunning;
    }
    case kStepLeave:
      return cmd::FinishCommand(false);
  }
  return kStepRunning;
}

int CmdStationBusyo() {
  if (StepCheckDone()) return 0;
  SlgScenePort& s = SlgScene();
  CommandWork& w = W();
  if (StepBegin()) {
    cmd::BeginOnCurrentKuni(kCmdReserve);
    return kStepRunning;
  }
  switch (StepGet()) {
    case 1:
      if (cmd::Refused(kCmdReserve)) {
        StepJump(kStepLeave);
        return kStepRunning;
      }
      w.siro = kNoSiro;
      w.target = kNoBusyo;
      w.levels = 0;
      StepNext();
      return kStepRunning;
    case 2: {
      if (MapChoicePending("どの城にしますか？", 5)) return kStepRunning;
      const uint16_t c = s.GetSelectedCastle();
      if (c == kNoSiro) return kStepRunning;
      if (c >= kSiroSlots || CheckCommandAvailable(kCmdReserve, kNoBusyo, c, PlayerDaimyoId, 0xFFFF) ||
          CountSiroBusyo(c) >= kSiroListLen) {
        if (const char* why = GetCommandReasonText()) s.ShowMessage(why, 7, false);
        s.ClearMarkedBusyo();
        s.SetSelectedCastle(kNoSiro);
        return kStepRunning;
      }
      w.siro = c;
      w.levels = kSiroListLen - CountSiroBusyo(c);
      StepNext();
      return kStepRunning;
    }
    case 3: {
      if (cmd::FirstPass()) {
        if (s.OpenDialog(21, PlayerDaimyoId, 1, w.levels)) s.SetDialogValues(1, w.siro);
        return kStepRunning;
      }
      if (s.GetSceneResult() == kResultDialogBack) {
        StepJump(kStepLeave);
        return kStepRunning;
      }
      const int confirmed = s.GetDialogResult(3);
      if (confirmed != 0xFFFF && confirmed >= 0) {
        StepJump(5);
        return kStepRunning;
      }
      if (cmd::DismissalAsked()) StepJump(4);
      return kStepRunning;
    }
    case 4:
      // Only the player's reserve generals are dismissed from here.
      if (cmd::DismissalAnswered(
              [](uint16_t b) { return IsBusyoInKakuuSiro(b) && GetBusyoDaimyo(b) == PlayerDaimyoId; })) {
        w.target = kNoBusyo;
        StepJump(3);
        SubStepSet(1);  // the reserve dialog stays open
      }
      return kStepRunning;
    case 5: {
      if (SubStepGet() == 0) {
        s.FinishDialog();
        SubStepSet(1);
      }
      if (SubStepGet() == 1) {
        if (!s.IsNoDialog()) return kStepRunning;
        if (s.OpenDialog(8, 513, w.siro, 0)) {
          for (int32_t g : s.GetListB()) s.SetDialogValues(2, g);
          s.SetDialogValues(0, 0);
          s.SetDialogValues(1, 0);
          s.SetDialogValues(3, 0);
        }
        s.ShowMessage(kConfirm, 7, false);
        SubStepSet(2);
        return kStepRunning;
      }
      cmd::AwaitConfirm(w.siro, 1);
      return kStepRunning;
    }
    case 6: {
      for (int32_t g : s.GetListB()) {
        if (g < 0 || g >= kBusyoCount || !IsBusyoInKakuuSiro(static_cast<uint32_t>(g)) ||
            GetBusyoDaimyo(static_cast<uint32_t>(g)) != PlayerDaimyoId)
          continue;
        if (CountSiroBusyo(w.siro) >= kSiroListLen) break;
        if (MoveVassalToSiro(static_cast<uint32_t>(g), PlayerDaimyoId, w.siro)) BusyoTable[g].cmdFlags |= 1;
      }
      s.FinishDialog();
      SelectSlgKuni(CurrentKuniId, true);
      RefreshSlgMainMap(1, -1, 1);
      RefreshCommandMenus(2);
      StepJump(CountDaimyoKakuuBusyo(PlayerDaimyoId) > 0 ? 1 : kStepLeave);
      return kStepRunning;
    }
    case kStepLeave:
      return cmd::FinishCommand(false);
  }
  return kStepRunning;
}
