#include "shell/frame.h"

#include <time.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "core/app_state.h"
#include "core/cv_input.h"
#include "core/error_box.h"
#include "core/frame_wait.h"
#include "core/frame_services.h"
#include "platform/text/log.h"
#include "shell/app_main.h"
#include "shell/frame_record.h"

std::atomic<uint32_t> g_FrameTimerId{0};
std::atomic<bool> g_TickPending{false};
std::atomic<bool> g_FramePause{false};
std::atomic<bool> g_DisplayStop{false};
std::atomic<bool> g_FrameBusy{false};
std::atomic<uint32_t> g_LogicSteps{0};
std::atomic<bool> g_DrawBusy{false};
std::atomic<bool> g_DeviceLost{false};
std::atomic<bool> g_ForceReset{false};
std::atomic<bool> g_AfterReset{false};
std::atomic<int32_t> g_ImageStateView{0};

namespace {
FrameServices g_services;
FrameGameHooks g_noGame;

std::mutex g_workMutex;
std::condition_variable g_workDone;
const std::function<bool()>* g_work = nullptr;
bool g_workResult = false;

void ServiceFrameThreadWork() {
  std::lock_guard<std::mutex> lock(g_workMutex);
  if (!g_work) return;
  g_workResult = (*g_work)();
  g_work = nullptr;
  g_workDone.notify_all();
}
}  // namespace

bool RunOnFrameThread(const std::function<bool()>& work) {
  if (g_FrameTimerId.load() == 0) return work();
  std::unique_lock<std::mutex> lock(g_workMutex);
  g_work = &work;
  // The timer stops only on this (the main) thread, so a tick always comes.
  g_workDone.wait(lock, [] { return g_work == nullptr; });
  return g_workResult;
}

void SetFrameServices(const FrameServices& services) { g_services = services; }
const FrameServices& GetFrameServices() { return g_services; }

void SetFramePause(bool on) { g_FramePause.store(on); }
bool IsFramePaused() { return g_FramePause.load(); }
void SetDisplayStop(bool on) { g_DisplayStop.store(on); }
bool IsDisplayStopped() { return g_DisplayStop.load(); }

namespace {
int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
int64_t g_lastTickNs = 0;  // frame thread
int32_t g_lastScene = -1;  // frame thread
}  // namespace

void FrameTimerProc(uint32_t timerId) {
  if (timerId == 0 || timerId != g_FrameTimerId.load()) return;
  ServiceFrameThreadWork();
  g_TickPending.store(true);
  // Counts ticks, also while paused.
  CountDownFrameWait();
  const int64_t start = MonotonicNs();
  // The steps due since the tick before: more than one when ticks merged behind a long frame.
  uint32_t due = 1;
  const int64_t periodNs = static_cast<int64_t>(g_FramePeriodMs.load()) * 1000000;
  if (g_lastTickNs != 0 && periodNs > 0)
    due = static_cast<uint32_t>(std::max<int64_t>(1, (start - g_lastTickNs + periodNs / 2) / periodNs));
  g_lastTickNs = start;
  if (IsFramePaused()) return;
  g_FrameBusy.store(true);
  const uint32_t stepsBefore = g_LogicSteps.load();
  const int displayed = UpdateFrame();
  if (displayed == 1) DisplayFrame();
  const bool presented = displayed == 1 && g_services.graphics && g_services.graphics->LastFramePresented();
  const int32_t scene = g_services.scenes ? g_services.scenes->CurrentSceneId() : -1;
  if (scene != g_lastScene) {
    g_lastScene = scene;
    plat::Log("frame", "scene %s (%d)", FrameRecordSceneName(scene), scene);
  }
  GetFrameRecord().Add(scene, due, g_LogicSteps.load() != stepsBefore, presented,
                       static_cast<double>(MonotonicNs() - start) / 1e6);
  g_FrameBusy.store(false);
}

int RunFrame() {
  if (UpdateFrame() == 1) DisplayFrame();
  return 0;
}

int UpdateFrame() {
  if (g_QuitRequested.load() || g_ForceReset.load()) return 0;
  FrameSceneManager* scenes = g_services.scenes;
  FrameGameHooks* game = g_services.game ? g_services.game : &g_noGame;
  FrameGraphics* graphics = g_services.graphics;

  // After a device reset every scene re-creates its resources before anything else, once.
  if (g_AfterReset.exchange(false) && scenes) scenes->BroadcastDeviceReset();

  if (!g_TickPending.exchange(false)) return 0;
  game->UpdateSoundFades();

  // A strategy key or the debug image view: display only, no logic on this tick.
  if (game->PollSlgKey()) return 1;
  if (g_ImageStateView.load() != 0) return 1;

  // (The debug menu's "run the scenario" item is enabled here once a debug menu exists.)
  if (!scenes || !scenes->UpdateFrameTimer()) return 0;

  g_LogicSteps.fetch_add(1);
  UpdateMouseState(scenes->GetInput());
  if (graphics) graphics->UpdateRenderers();

  if (GameMode != game_mode::kSlg) {
    if (g_FrameWaitCounter.load() == 0) game->StepAdvScript();
    if (GameMode == game_mode::kSlg) {  // the script handed over to the strategy game
      game->ApplyGameSpeedSetting();
      game->RunTurnLoop();
    }
  } else {
    game->ApplyGameSpeedSetting();
    game->RunTurnLoop();
  }

  scenes->Update();
  scenes->Draw();
  game->UpdateMovies();
  if (graphics) graphics->SwapRenderQueues();
  game->ResetPickState();
  g_WheelWord.store(0);

  if (g_QuitRequested.load() || g_ForceReset.load()) return 0;
  return 1;
}

int DisplayFrame() {
  FrameGameHooks* game = g_services.game ? g_services.game : &g_noGame;
  if (IsDisplayStopped() || g_DeviceLost.load() || g_ForceReset.load()) return 0;
  FrameGraphics* graphics = g_services.graphics;
  if (game->MovieOwnsDisplay()) {
    if (!graphics) return 0;
    g_DrawBusy.store(true);
    g_DeviceLost.store(!graphics->RenderMovieFrame());
    g_DrawBusy.store(false);
    return 0;
  }
  if (!graphics) {
    ShowErrorBox("描画元フレームが見つかりませんでした。", "ERROR:in DisplayFrame()");
    return 0;
  }
  g_DrawBusy.store(true);
  bool ok = graphics->RenderFrame();
  g_DeviceLost.store(!ok);
  g_DrawBusy.store(false);
  return 0;
}

void ResetFrameState() {
  g_FrameTimerId = 0;
  g_TickPending = false;
  g_FramePause = false;
  g_DisplayStop = false;
  g_FrameBusy = false;
  g_LogicSteps = 0;
  g_DrawBusy = false;
  g_DeviceLost = false;
  g_ForceReset = false;
  g_AfterReset = false;
  g_ImageStateView = 0;
  g_FrameWaitCounter = 0;
  g_lastTickNs = 0;
  g_lastScene = -1;
}
