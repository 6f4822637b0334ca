#include "world/turn/unification.h"

#include "core/frame_wait.h"
#include "core/step_machine.h"
#include "world/turn/step_child.h"
#include "world/record_lists.h"
#include "world/turn/slg_sound_port.h"
#include "world/turn/turn_loop.h"
#include "world/turn/turn_state.h"
#include "world/world_ports.h"
#include "world/world_queries.h"
#include "world/world_tables.h"

int32_t StoryFlagA = 0;
int32_t UnificationAskWord = 0;

namespace {

constexpr int kCentralKuni = 33;

enum : uint32_t { kUnifyAllHeld = 2, kUnifyAsk = 3, kUnifyDeclined = 4, kUnifyEnding = 5 };

bool StoryEventsOn() { return StoryEventBlockFlag == 0; }

// Opens the ending dialog in a form; false when there is none to wait for.
bool OpenEndingDialog(int form, const char* bgm) {
  bool open = SlgScene().OpenDialog(23, form, 0, 0);
  SlgSound().PlaySlgBgm(bgm, 0);
  return open;
}

bool EndingDialogFinished() {
  SlgScenePort& scene = SlgScene();
  return scene.IsNoDialog() || scene.GetDialogResult(0) != -1;
}

int Finish(int r) {
  StepFinish();
  return r;
}

// The ending dialog is done: the game ends and the title comes back.
int EndToTitle() {
  SlgScene().FinishDialog();
  g_TurnWork.gameEnd = 1;
  Adv().RequestTitleScene();
  return Finish(kUnifyEnded);
}

}  // namespace

void ClearUnificationState() {
  UnificationDeclared = 0;
  UnificationStage = 0;
  StoryFlagA = 0;
  UnificationAskWord = 0;
}

void RecordClearOnce() {
  UnificationWork& w = g_TurnWork.unify;
  if (w.clearRecorded && w.clearRecordedRun == GameStartTime) return;
  w.clearRecorded = 1;
  w.clearRecordedRun = GameStartTime;
  MarkGameCleared();
}

void RecordTurnHistory() {
  const int year = static_cast<int>(GameYear) - kHistoryFirstYear;
  const int index = year * 4 + SeasonIndex;
  // Seasons outside the kept range are not recorded.
  if (year < 0 || year >= kHistoryYears || index < 0 || index >= kHistorySeasons) return;
  const uint8_t p = PlayerDaimyoId;
  TurnHistory& h = g_TurnHistory;
  for (int k = 0; k < kHistoryKuni; ++k) {
    int code = KuniTable[k].holder == p ? 2 : (KuniTable[k].playerShare > 0 ? 1 : 0);
    uint8_t& cell = h.kuni[year][k];
    const int shift = SeasonIndex * 2;
    cell = static_cast<uint8_t>((cell & ~(3 << shift)) | (code << shift));
  }
  const DaimyoRecord* d = p < kDaimyoInPlay ? &DaimyoTable[p] : nullptr;
  h.revenue[index] = d ? d->revenue : 0;
  h.head[index] = d ? d->head : kNoBusyo;
  int rank = 0;
  for (int c = 0; c < kDaimyoInPlay && d; ++c)
    if (CountDaimyoBusyo(c) > 0 && DaimyoTable[c].revenue >= d->revenue) ++rank;
  h.rank[index] = static_cast<uint8_t>(rank);
}

bool UnificationConditionHolds() {
  const uint8_t p = PlayerDaimyoId;
  if (p >= kDaimyoInPlay || KuniTable[kCentralKuni].holder != p) return false;
  const int revenue = DaimyoTable[p].revenue;
  const int prestige = DaimyoTable[p].prestige;
  if (StoryEventsOn()) return revenue >= 14000;
  return prestige >= 14 && revenue >= 12000 && (revenue - 12000) / 1000 + prestige >= 20;
}

int CheckUnification() {
  if (StepCheckDone()) return 1;
  SlgScenePort& scene = SlgScene();
  if (StepBegin()) {
    if (UnificationStage == 2) {
      scene.ShowMessage("天下統一の条件を満たしました！", 7, false);
      SetFrameWait(300);
      g_TurnWork.unify.askStage = 1;
      StepFinish();
      return 1;
    }
    scene.OpenDialogScene(10, 1);
    scene.ShowMessage("天下統一の条件を満たしました", 7, false);
    return kStepRunning;
  }
  switch (scene.GetDialogSceneResult()) {
    case 1:
      g_TurnWork.unify.askStage = 1;
      StepFinish();
      return 1;
    case 2:
      g_TurnWork.unify.askStage = 0;
      StepFinish();
      return 0;
    default:
      return kStepRunning;
  }
}

int RunUnificationDeclaration() {
  UnificationWork& w = g_TurnWork.unify;
  if (StepCheckDone()) return w.result;
  SlgScenePort& scene = SlgScene();
  if (StepBegin()) {
    w.result = kUnifyGoesOn;
    RecordTurnHistory();
    if (PlayerDaimyoId < kDaimyoInPlay && CountDaimyoKuni(PlayerDaimyoId) >= kKuniCount) {
      RecordClearOnce();
      if (!StoryEventsOn()) {
        w.result = kUnifyEnded;
        if (OpenEndingDialog(3, kBgmUnified)) {
          StepJump(kUnifyAllHeld);
          return kStepRunning;
        }
        return EndToTitle();
      }
      if (StoryFlagA > 0) {
        g_TurnWork.gameEnd = 1;  // the ending event takes over at once
        w.result = kUnifyEnded;
        Adv().StartAdvEvent(8, 3, nullptr, false);
        return Finish(w.result);
      }
    }
    if (UnificationAskWord) {
      UnificationStage = 2;
    } else if (UnificationDeclared == 0 && !UnificationConditionHolds()) {
      return Finish(kUnifyGoesOn);
    }
    if (StoryEventsOn() && (StoryFlagA <= 0 || UnificationStage == 1)) return Finish(kUnifyGoesOn);
    UnificationDeclared = 1;
    StepJump(kUnifyAsk);
  }
  switch (StepGet()) {
    case kUnifyAllHeld:
    case kUnifyEnding:
      if (!EndingDialogFinished()) return kStepRunning;
      return EndToTitle();
    case kUnifyAsk: {
      if (!RunChild(CheckUnification)) return kStepRunning;
      if (w.askStage == 0) {
        UnificationStage = 1;
        scene.ShowMessage("プレイを継続します。\n天下統一を宣言する時は『天下統一』コマンドを選択してください。", 7,
                          false);
        SetFrameWait(MessageTime());
        StepJump(kUnifyDeclined);
        return kStepRunning;
      }
      RecordClearOnce();
      w.result = kUnifyEnded;
      if (StoryEventsOn()) {
        g_TurnWork.gameEnd = 1;
        Adv().StartAdvEvent(8, 0, nullptr, false);
        return Finish(w.result);
      }
      if (!OpenEndingDialog(0, kBgmUnified)) return EndToTitle();
      StepJump(kUnifyEnding);
      return kStepRunning;
    }
    case kUnifyDeclined:
      RefreshSlgMainMap(1, -1, 0);
      SelectSlgKuni(CurrentKuniId == kNoKuni ? -1 : CurrentKuniId, true);
      return Finish(kUnifyGoesOn);
    default:
      return Finish(w.result);
  }
}

int CheckGameOverNoBusyo() {
  UnificationWork& w = g_TurnWork.unify;
  if (StepCheckDone()) return w.result;
  if (StepBegin()) {
    w.result = kUnifyGoesOn;
    const uint8_t p = PlayerDaimyoId;
    if (p >= kDaimyoInPlay || CountDaimyoBusyo(p) > 0) return Finish(kUnifyGoesOn);
    w.result = kUnifyEnded;
    if (StoryEventsOn()) {
      g_TurnWork.gameEnd = 1;
      Adv().StartAdvEvent(8, 1, nullptr, false);
      return Finish(w.result);
    }
    if (OpenEndingDialog(1, kBgmNoBusyo)) return kStepRunning;
    return EndToTitle();
  }
  if (!EndingDialogFinished()) return kStepRunning;
  return EndToTitle();
}
