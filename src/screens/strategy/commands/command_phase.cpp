// The player's military and politics phases, their dispatchers and the pieces the commands share.
#include <cstddef>
#include <cstring>
#include <algorithm>

#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "screens/strategy/commands/player_commands.h"
#include "world/placement.h"
#include "world/record_lists.h"
#include "world/turn/command_check.h"
#include "screens/strategy/commands/player_turn.h"
#include "world/turn/step_child.h"
#include "world/turn/turn_loop.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"
#include "world/turn/slg_sound_port.h"

namespace {

constexpr int kGameModeSlg = 11;

uint8_t NextCode() {
  const int r = SlgScene().GetSceneResult();
  return r >= 0 && r <= 255 ? static_cast<uint8_t>(r) : 255;
}

constexpr cmd::MenuEntry kMilitaryMenu[] = {
    {8, CmdRecruitSoldiers}, {9, CmdTrain},           {10, CmdReward},     {11, CmdDistributeGuns},
    {12, CmdBusyoInfo},      {13, CmdSelectKuniInfo}, {14, CmdDaimyoInfo},
};
constexpr cmd::MenuEntry kPoliticsMenu[] = {
    {3, CmdExtendCastle}, {4, CmdFloodControl}, {5, CmdFreeMarket},      {6, CmdLevy},
    {7, CmdMoveBusyo},    {8, CmdStationBusyo}, {9, CmdDiplomacy},       {10, CmdPoach},
    {11, CmdVisitBusyo},  {12, CmdBusyoInfo},   {13, CmdSelectKuniInfo}, {14, CmdDaimyoInfo},
};

}  // namespace

// ---- Shared pieces ----
namespace cmd {

bool FirstPass() {
  if (SubStepGet() != 0) return false;
  SubStepSet(1);
  return true;
}

bool Refused(int command) {
  if (!IsCommandGreyed(command)) return false;
  ShowRefusal(nullptr);
  return true;
}

bool RefuseAndJump(int command, int wait, int step) {
  if (!Refused(command)) return false;
  SetFrameWait(wait);
  StepJump(step);
  return true;
}

void ShowRefusal(const char* why) { SlgScene().ShowMessage(why ? why : "これ以上はできません", 7, false); }

bool DialogConfirmed(int backStep) {
  SlgScenePort& s = SlgScene();
  const int r = s.GetSceneResult();
  if (r == kResultDialogBack) {
    s.FinishDialog();
    StepJump(backStep);
    return false;
  }
  return r == kResultConfirm;
}

void LeaveCommand(bool reselect) {
  SlgScenePort& s = SlgScene();
  s.ClearMarkedBusyo();
  s.SetSelMode(0);
  s.FinishDialog();
  s.ShowMessage("", 7, false);
  s.SetPanelDaimyo(-1);
  if (reselect) SelectSlgKuni(CurrentKuniId, true);
  s.RestoreKuniFocus();
}

Pick TakeMarkedBusyo(int command) {
  SlgScenePort& s = SlgScene();
  if (s.GetSceneResult() == kResultBack) return Pick::kBack;
  const int g = s.GetMarkedBusyo();
  if (g < 0 || g >= kBusyoCount) return Pick::kNone;
  if (GetBusyoDaimyo(static_cast<uint32_t>(g)) != PlayerDaimyoId ||
      CheckCommandAvailable(command, static_cast<uint16_t>(g), kNoSiro, PlayerDaimyoId, 0xFFFF)) {
    ShowRefusal(GetCommandReasonText());
    s.ClearMarkedBusyo();
    return Pick::kRefused;
  }
  g_CommandWork.busyo = static_cast<uint16_t>(g);
  return Pick::kChosen;
}

int FinishCommand(bool reselect) {
  LeaveCommand(reselect);
  StepFinish();
  return 0;
}

int ChooseBusyo(int command, int selMode, const char* prompt) {
  SlgScenePort& s = SlgScene();
  if (FirstPass()) {
    s.FinishDialog();
    s.ClearMarkedBusyo();
    s.SetSelMode(selMode);
    s.ShowMessage(prompt, 0, false);
    return 0;
  }
  switch (TakeMarkedBusyo(command)) {
    case Pick::kBack:
      return -1;
    case Pick::kChosen:
      return 1;
    default:
      return 0;
  }
}

void BeginOnCurrentKuni(int id) {
  SlgScenePort& s = SlgScene();
  s.SetPanelDaimyo(id);
  s.RememberKuniFocus();
  s.FocusKuni(CurrentKuniId, 1);
}

void AwaitConfirm(uint16_t backCastle, int backStep) {
  SlgScenePort& s = SlgScene();
  const int r = s.GetSceneResult();
  if (r == kResultDialogBack) {
    s.FinishDialog();
    s.SetSelectedCastle(backCastle);
    StepJump(backStep);
  } else if (r == kResultConfirm) {
    StepNext();
  }
}

bool DismissalAsked() {
  const int dismiss = SlgScene().GetDialogResult(4);
  if (dismiss < 0 || dismiss >= kBusyoCount) return false;
  g_CommandWork.target = static_cast<uint16_t>(dismiss);
  return true;
}

bool DismissalAnswered(bool (*mayDismiss)(uint16_t busyo)) {
  SlgScenePort& s = SlgScene();
  if (FirstPass()) {
    s.OpenDialogScene(9, 1);
    return false;
  }
  const int a = s.GetDialogSceneResult();
  if (a != 1 && a != 2) return false;
  const uint16_t target = g_CommandWork.target;
  if (a == 1 && mayDismiss(target)) {
    RemoveBusyoFromCastle(target);
    s.SetDialogValues(2, PlayerDaimyoId);
  }
  s.SetDialogValues(0, 0xFFFF);
  return true;
}

void SetUpPhaseScene(int phase, bool clearFocus, bool clearPanel) {
  SlgScenePort& s = SlgScene();
  s.SetCurrentDaimyo(PlayerDaimyoId);
  if (clearFocus) s.ClearKuniFocus();
  if (!DaimyoHasSiroInKuni(CurrentKuniId, PlayerDaimyoId)) SelectSlgKuni(GetDaimyoHomeKuni(PlayerDaimyoId), true);
  s.SetPhase(phase);
  s.SetSelMode(0);
  if (clearPanel) s.SetPanelDaimyo(-1);
  s.ShowInfoPanel();
  s.ShowMessage("", 7, false);
}

int DispatchMenu(int menu, std::span<const MenuEntry> entries, void (*afterCommand)(uint8_t code)) {
  if (StepCheckDone()) return 0;
  if (StepBegin()) {
    SlgScene().SetSelMode(0);
    RefreshCommandMenus(menu);
    StepNext();
    return kStepRunning;
  }
  const uint8_t code = SlgCommandCode;
  const auto entry =
      std::find_if(entries.begin(), entries.end(), [code](const MenuEntry& e) { return e.code == code; });
  if (entry != entries.end()) {
    if (!RunChild(entry->routine)) return kStepRunning;
    if (afterCommand) afterCommand(code);
    SlgCommandCode = NextCode();
    return kStepRunning;
  }
  if (code == 15) {
    StepFinish();
    SlgCommandCode = 255;
    SlgScene().ShowMapNormal();
    return 0;
  }
  SlgCommandCode = NextCode();
  return kStepRunning;
}

void Voice(uint16_t busyo, int line) {
  if (busyo < kBusyoCount) SlgSound().PlayGeneralVoice(2, busyo, line);
}

// The availability check refuses what the clan cannot pay; spending saturates in any case.
void SpendMoney(int amount) { AddDaimyoMoney(PlayerDaimyoId, -amount); }
void SpendCp(int amount) { AddDaimyoCP(PlayerDaimyoId, -amount); }

}  // namespace cmd

// ---- Military phase ----

void ResetPlayerTurnMarks() {
  if (ActingSideFlag == 1 && PlayerDaimyoId < kDaimyoInPlay) {
    DaimyoRecord& p = DaimyoTable[PlayerDaimyoId];
    p.gunsLeft = 255;
    for (int k = 0; k < kKuniSlots; ++k) KuniTable[k].applicants = 255;
    for (uint16_t b : p.vassals)
      if (b < kBusyoCount) BusyoTable[b].cmdFlags &= static_cast<uint8_t>(~3);
    for (DaimyoRecord& d : DaimyoTable) d.turnFlags &= static_cast<uint8_t>(~4);
    ClearAllKuniFlag8();
    for (DaimyoRecord& d : DaimyoTable) d.turnFlags &= static_cast<uint8_t>(~2);
    SlgRules().AutoSave(kGameModeSlg);
  }
  ActingSideFlag = 1;
  RefreshCommandMenus(1);
}

void EnterMilitaryMenu() {
  ResetPlayerTurnMarks();
  RefreshCommandMenus(1);
  cmd::SetUpPhaseScene(1, true, true);
  RefreshSlgMainMap(1, -1, 0);
}

void LeaveMilitaryMenu() {
  ClearSlgEventMap();
  EndCommandPhaseDisplay();
}

int RunMilitaryCommand() { return cmd::DispatchMenu(1, kMilitaryMenu, nullptr); }

int PlayerMilitaryPhase() {
  if (StepCheckDone()) return 0;
  if (StepBegin()) {
    EnterMilitaryMenu();
    return kStepRunning;
  }
  if (StepGet() == 1) {
    if (ActingSideFlag != 1) {
      EnterMilitaryMenu();
      ActingSideFlag = 1;
    }
    if (!RunChild(RunMilitaryCommand)) return kStepRunning;
    StepNext();
  }
  LeaveMilitaryMenu();
  StepFinish();
  return 0;
}

// ---- Politics phase ----

void ResetPoliticsCommandMarks() {
  if (ActingSideFlag == 1) {
    for (int s = 0; s < kSiroCount; ++s) SiroTable[s].turnFlags &= static_cast<uint8_t>(~1);
    if (PlayerDaimyoId < kDaimyoInPlay)
      for (int i = 0; i < kVassalScan; ++i) {
        const uint16_t b = DaimyoTable[PlayerDaimyoId].vassals[i];
        if (b >= kBusyoCount) continue;
        BusyoTable[b].siro2 = kNoSiro;
        BusyoTable[b].cmdFlags &= static_cast<uint8_t>(~3);
      }
    for (BusyoRecord& b : BusyoTable) b.cmdFlags &= static_cast<uint8_t>(~3);
    for (int k = 0; k < kKuniCount; ++k) KuniTable[k].doneFlags &= static_cast<uint8_t>(~7);
    for (int c = 0; c < kDaimyoInPlay; ++c) DaimyoTable[c].turnFlags &= static_cast<uint8_t>(~1);
    for (KuniRecord& k : KuniTable) k.doneFlags &= static_cast<uint8_t>(~8);
    for (DaimyoRecord& d : DaimyoTable) d.turnFlags &= static_cast<uint8_t>(~2);
    SlgCommandCode = 255;
    Adv().StartAdvScript(4);
    ClearSlgEventMap();
  }
  ActingSideFlag = 1;
  RefreshCommandMenus(2);
}

void BeginPoliticsCommandPhase() {
  ResetPoliticsCommandMarks();
  RefreshCommandMenus(2);
}

void EndCommandPhaseDisplay() {
  SlgScene().SetSelMode(9);
  SlgScene().HideInfoPanel();
  ResetKuniColors();
}

int DomesticCommandDispatch() {
  // Moving and stationing generals leave no menu word behind.
  return cmd::DispatchMenu(2, kPoliticsMenu, [](uint8_t code) {
    if (code == 7 || code == 8) CommandMenuWord = 0;
  });
}

int PlayerCommandPhase() {
  if (StepCheckDone()) return 0;
  if (StepBegin()) {
    BeginPoliticsCommandPhase();
    return kStepRunning;
  }
  if (StepGet() == 1) {
    cmd::SetUpPhaseScene(2, false, true);
    RefreshSlgMainMap(1, -1, 1);
    // The step moves on before the auto-save, so that loading it resumes in the dispatcher.
    StepNext();
    SlgRules().AutoSave(kGameModeSlg);
    return kStepRunning;
  }
  if (StepGet() == 2) {
    if (ActingSideFlag != 1) {
      BeginPoliticsCommandPhase();
      // After a load the map may still show a command of the game before: no command is running.
      cmd::SetUpPhaseScene(2, true, true);
      RefreshSlgMainMap(1, -1, 0);
      ActingSideFlag = 1;
    }
    if (!RunChild(DomesticCommandDispatch)) return kStepRunning;
    EndCommandPhaseDisplay();
    StepFinish();
    return 0;
  }
  return kStepRunning;
}
