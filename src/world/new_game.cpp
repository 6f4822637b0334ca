#include "world/new_game.h"

#include <cstdio>
#include <ctime>

#include "core/app_state.h"
#include "core/error_box.h"
#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "world/placement.h"
#include "world/scenario_tables.h"
#include "world/slg_util.h"
#include "world/world_ports.h"
#include "world/world_queries.h"

NewGameWork g_NewGameWork;

namespace {

enum : uint32_t {
  kStepFirstFrame = 1,
  kStepStory = 2,
  kStepFree = 3,
  kStepConfirm = 7,
  kStepOptions = 8,
  kStepStart = 9
};

void ReloadScenario(int scenario, int preferredClan) {
  PreferredStartDaimyo = preferredClan;
  ScenarioNumber = scenario;
  SlgRules().ResetSlgTurnState();
}

void ShowAsPlayer(int clan) {
  PlayerDaimyoId = static_cast<uint8_t>(clan);
  SlgRules().RecalcDaimyoTotals(1);
  SlgScene().ShowDaimyoOnMap(clan);
}

void ResetChoice(NewGameWork& w) {
  w.chosenClan = -1;
  w.chosenKuni = -1;
  w.chosenScenario = -1;
  w.hoverClan = -1;
  w.hoverRegion = -1;
  w.dialogCursor = -1;
}

std::string StartText(const char* pattern, int kuni, int clan) {
  char text[160];
  std::string kuniName = GetKuniName(kuni < 0 ? kNoKuni : static_cast<uint32_t>(kuni));
  std::snprintf(text, sizeof text, pattern, kuniName.c_str(), GetDaimyoName(static_cast<uint32_t>(clan), true));
  return text;
}

void StepStory(NewGameWork& w) {
  SlgScenePort& scene = SlgScene();
  if (SubStepGet() == 0) {
    ResetKuniColors();
    ResetChoice(w);
    scene.ShowSidePanelButton(false);
    w.modeByte = 0;
    SubStepSet(1);
  }
  int hover = scene.GetStartClanHover();
  if (hover != w.hoverClan) {
    w.hoverClan = hover;
    int hs = scene.GetHoverScenario();
    if (hs != -1 && hs != ScenarioNumber) ReloadScenario(hs, hover);
    RefreshSlgMainMap(1, -1, 0);
    if (hover >= 0 && hover < kDaimyoInPlay) {
      ShowAsPlayer(hover);
      ColorDaimyoKuni(static_cast<uint32_t>(hover), 9);
    }
  }
  int chosen = scene.GetStartClanChosen();
  if (chosen >= 0 && chosen < kDaimyoInPlay) {
    w.chosenClan = chosen;
    w.chosenScenario = scene.GetStartScenario();
    StepJump(kStepConfirm);
    return;
  }
  switch (scene.GetSceneResult()) {
    case 16:
    case 17:
      w.chosenScenario = scene.GetStartScenario();
      StepJump(kStepFree);
      break;
    case 2:
      // Back to the title: the choice closes, or a game loaded later would find the map still in it.
      scene.CloseSidePanel();
      GameMode = game_mode::kIdle;
      break;
    default:
      break;
  }
}

void StepFree(NewGameWork& w) {
  SlgScenePort& scene = SlgScene();
  switch (SubStepGet()) {
    case 0: {
      if (w.chosenScenario != -1 && w.chosenScenario != ScenarioNumber)
        ReloadScenario(w.chosenScenario, PlayerDaimyoId);
      ResetKuniColors();
      ColorKuniByDaimyoCount(true);
      int scenario = w.chosenScenario;
      ResetChoice(w);
      w.chosenScenario = scenario;
      scene.ShowSidePanelButton(true);
      w.modeByte = 1;
      SubStepSet(1);
      [[fallthrough]];
    }
    case 1: {
      int hr = scene.GetStartRegionHover();
      if (hr != w.hoverRegion) {
        w.hoverRegion = hr;
        RefreshSlgMainMap(1, -1, 0);
        ColorKuniByDaimyoCount(false);
        if (hr >= 0 && hr < kKuniCount) {
          if (KuniDaimyoCount[hr] == 1) ShowAsPlayer(KuniDaimyoSet[hr][0]);
          scene.SetKuniColor(hr, 9);
        }
      }
      int chosen = scene.GetStartRegionChosen();
      if (chosen >= 0 && chosen < kKuniCount && KuniDaimyoCount[chosen] > 0) {
        w.chosenKuni = chosen;
        if (KuniDaimyoCount[chosen] == 1) {
          w.chosenClan = KuniDaimyoSet[chosen][0];
          StepJump(kStepConfirm);
          return;
        }
        scene.OpenDialog(17, 0, 0, 0);
        scene.SetDialogValues(0, 0xFFFF);
        for (uint8_t clan : KuniDaimyoSet[chosen])
          if (clan != kNoDaimyo) scene.SetDialogValues(1, clan);
        w.dialogCursor = -1;
        SubStepSet(2);
        return;
      }
      switch (scene.GetSceneResult()) {
        case 16:
        case 17:
          w.chosenScenario = scene.GetStartScenario();
          SubStepSet(0);
          break;
        case 2:
          w.modeByte = 0;
          StepJump(kStepStory);
          break;
        default:
          break;
      }
      return;
    }
    case 2: {
      int cursor = scene.GetDialogResult(4);
      if (cursor != w.dialogCursor) {
        w.dialogCursor = cursor;
        if (cursor >= 0 && cursor < kDaimyoInPlay) ShowAsPlayer(cursor);
      }
      int chosen = scene.GetDialogResult(3);
      if (chosen >= 0 && chosen < kDaimyoInPlay) {
        scene.FinishDialog();
        w.chosenClan = chosen;
        StepJump(kStepConfirm);
        return;
      }
      if (scene.GetSceneResult() == 19) {
        scene.FinishDialog();
        w.hoverRegion = -1;
        SubStepSet(1);
      }
      return;
    }
    default:
      SubStepSet(0);
      return;
  }
}

void StepConfirm(NewGameWork& w) {
  SlgScenePort& scene = SlgScene();
  if (SubStepGet() == 0) {
    w.chosenKuni = GetDaimyoHomeKuni(static_cast<uint32_t>(w.chosenClan));
    ShowAsPlayer(w.chosenClan);
    scene.ShowMessageMode2(StartText("%s国の%sで始めますか？", w.chosenKuni, w.chosenClan).c_str(), 7, false);
    SubStepSet(1);
    return;
  }
  switch (scene.GetSceneResult()) {
    case 0:
      StepJump(kStepOptions);
      break;
    case 1:
      scene.ShowMessage(nullptr, 0, true);
      StepJump(kStepStory);
      break;
    default:
      break;
  }
}

void StepOptions(NewGameWork& w) {
  SlgScenePort& scene = SlgScene();
  switch (SubStepGet()) {
    case 0:
      scene.ShowMessage(nullptr, 0, true);
      scene.OpenDialog(18, 0, 0, 0);
      SubStepSet(1);
      return;
    case 1:
      switch (scene.GetSceneResult()) {
        case 20:
          w.startBonus = 1;
          SubStepSet(2);
          break;
        case 21:
          w.startBonus = 0;
          SubStepSet(2);
          break;
        case 19:
          scene.FinishDialog();
          StepJump(kStepStory);
          break;
        default:
          break;
      }
      return;
    case 2:
      scene.FinishDialog();
      scene.OpenDialog(18, 1, w.chosenClan, 0);
      SubStepSet(3);
      return;
    case 3:
      if (scene.GetDialogResult(0) <= 0) {
        scene.FinishDialog();
        StepJump(kStepStart);
        return;
      }
      switch (scene.GetSceneResult()) {
        case 18:
          SubStepSet(4);
          break;
        case 19:
          scene.FinishDialog();
          SubStepSet(0);
          return;
        default:
          return;
      }
      [[fallthrough]];
    case 4: {
      PlayerDaimyoId = static_cast<uint8_t>(w.chosenClan);
      // The dialog hands out the chosen generals one at a time; bounded by the table size.
      for (int guard = 0; guard < kBusyoCount && scene.GetDialogResult(1) > 0; ++guard) {
        int g = scene.GetDialogResult(2);
        if (!RecruitBusyoToPlayer(g)) {
          char msg[160];
          std::snprintf(msg, sizeof msg, "武将の引継ぎに失敗しました。\n%s", GetBusyoName(static_cast<uint32_t>(g)));
          ShowErrorBox(msg, "武将引継ぎエラー");
        } else if (w.modeByte == 1) {
          SetBusyoKizuna(static_cast<uint32_t>(g), true);
        }
      }
      scene.FinishDialog();
      StepJump(kStepStart);
      return;
    }
    default:
      SubStepSet(0);
      return;
  }
}

void FinishNewGame(NewGameWork& w) {
  ApplySystemStartBonus(w.startBonus != 0);
  int year = ScenarioStartYear(ScenarioNumber);
  if (year > 0) GameYear = static_cast<uint16_t>(year);
  SeasonIndex = 3;
  StoryEventBlockFlag = w.modeByte;
  GameStartTime = static_cast<int32_t>(std::time(nullptr));
  CurrentKuniId = w.chosenKuni < 0 ? kNoKuni : static_cast<uint8_t>(w.chosenKuni);
  SlgScene().SetCurrentDaimyo(PlayerDaimyoId);
  RefreshSlgMainMap(1, -1, 0);
  SelectSlgKuni(w.chosenKuni, true);
  for (int s = 0; s < kSiroCount; ++s)
    if (SiroTable[s].kuni != kNoKuni) SiroTable[s].allyMark = IsSiroOfAlly(s, PlayerDaimyoId) ? 1 : 0;
  w.startBonus = 1;
}

}  // namespace

int NewGameStart() {
  static int result = 0;
  if (StepCheckDone()) return result;
  NewGameWork& w = g_NewGameWork;
  if (StepBegin()) {
    w = NewGameWork{};
  }
  switch (StepGet()) {
    case kStepFirstFrame:
      GameYear = 1551;
      TurnCounter = 0;
      TurnSubPhase = 0;
      SeasonIndex = 3;
      SlgRules().RecalcPlayerShares();
      SlgRules().RecalcAllRevenues();
      CurrentKuniId = kNoKuni;
      UnificationDeclared = 0;
      FirstTurnFlag = 0;
      w.modeByte = 0;
      w.startBonus = 0;
      SlgScene().OpenSidePanel();
      ResetKuniColors();
      StepJump(kStepStory);
      return kStepRunning;
    case kStepStory:
      StepStory(w);
      return kStepRunning;
    case kStepFree:
      StepFree(w);
      return kStepRunning;
    case kStepConfirm:
      StepConfirm(w);
      return kStepRunning;
    case kStepOptions:
      StepOptions(w);
      return kStepRunning;
    case kStepStart:
      if (SubStepGet() == 0) {
        SlgScene().ShowMessage(StartText("%s国の%sで始めます", w.chosenKuni, PlayerDaimyoId).c_str(), 7, false);
        SlgScene().CloseSidePanel();
        SetFrameWait(100);
        SubStepSet(1);
        return kStepRunning;
      }
      if (w.chosenScenario != -1 && w.chosenScenario != ScenarioNumber)
        ReloadScenario(w.chosenScenario, PlayerDaimyoId);
      FinishNewGame(w);
      result = 0;
      StepFinish();
      return result;
    default:
      return kStepRunning;
  }
}
