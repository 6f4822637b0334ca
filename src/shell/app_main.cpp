#include "shell/app_main.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/app_state.h"
#include "core/cv_input.h"
#include "core/debug_words.h"
#include "core/display_layout.h"
#include "core/error_box.h"
#include "core/game_clock.h"
#include "core/game_file.h"
#include "core/game_rand.h"
#include "shell/device_state.h"
#include "shell/frame.h"
#include "shell/frame_record.h"
#include "shell/input_snapshot_source.h"
#include "shell/main_window.h"
#include "shell/window_graphics.h"
#include "platform/fs/fs.h"
#include "platform/sdl/instance_lock.h"
#include "platform/sdl/periodic_timer.h"
#include "platform/sdl/process.h"
#include "platform/sdl/window.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"

int32_t g_DebugFlag = 0;
std::atomic<int32_t> g_FramePeriodMs{0};

namespace {

constexpr size_t kBoxTextBytes = 2031;
static_assert(kBoxChoiceDismissed == plat::kBoxDismissed && plat::kBoxNotShown != plat::kBoxDismissed);

// Everything the running program holds, released in ShutdownGame.
struct App {
  std::unique_ptr<plat::Window> window;
  plat::InstanceLock lock;
  plat::PeriodicTimer timer;
  SnapshotInputSource input;
  std::unique_ptr<WindowGraphics> graphics;
};

int ShowBoxOnWindow(const plat::Window* window, const BoxRequest& r) {
  BoxUtf8 b = MakeBoxUtf8(r);
  plat::Log("box", "%s: %s", r.title.c_str(), BoundedBoxText(r.text.c_str(), kBoxTextBytes).c_str());
  int chosen = window ? window->ShowMessageBox(b.title, b.text, b.buttons, r.errorIcon, b.enterButton, b.escapeButton)
                      : plat::ShowStandaloneMessageBox(b.title, b.text, r.errorIcon);
  // A box that cannot be shown (no display support) gets its default answer; the text is logged.
  // One closed by its frame answers as Escape: closing the close question cancels it.
  return BoxAnswerForChoice(r.kind, b, chosen);
}

class SdlWindowModeHost : public WindowModeHost {
 public:
  explicit SdlWindowModeHost(plat::Window* w) : window_(w) {}
  bool SetFullscreen(bool on, int clientW, int clientH) override {
    return window_->SetFullscreenDesktop(on, clientW, clientH);
  }
  void GetDrawableSize(int& w, int& h) override { window_->GetDrawableSize(w, h); }
  bool GetUsableClientSize(int& w, int& h) override { return window_->GetUsableClientSize(w, h); }

 private:
  plat::Window* window_;
};
std::unique_ptr<SdlWindowModeHost> g_modeHost;

void StartupFailureBox(const char* text, const char* title = "") {
  BoxRequest r;
  r.kind = BoxRequest::kMessage;
  r.title = title;
  r.text = text;
  r.errorIcon = true;
  AskBox(r);
}

std::string HostDirOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

bool DebugMarkerExists() {
  const char* marker = "デバッグ\\deb_str.bin";
  if (plat::FileExists(marker)) return true;
  return plat::FileExists(std::string(GetModuleDir()) + marker);
}

constexpr int kNoDisplay = -2;

// Single instance, window, debug flag. 1 = made, 0 = a copy already runs, -1 = failed,
// kNoDisplay = no display to show it on (said on the standard error stream).
int CreateMainWindow(App& app, const std::string& exePath, bool hidden, const BoxShower& testShower) {
  std::string lockPath = HostDirOf(exePath) + "SaveData/Vornakest4.lock";
  if (app.lock.Acquire(lockPath) == plat::InstanceLock::Result::kHeldElsewhere) return 0;
  // Without a display the game would run unseen: say so and fail instead.
  std::string why;
  if (!plat::DisplayAvailable(&why)) {
    std::fprintf(stderr, "Vornakest 4: %s. Start it from a desktop session (DISPLAY or WAYLAND_DISPLAY set).\n",
                 why.c_str());
    app.lock.Release();
    return kNoDisplay;
  }
  // A lock that cannot be made (read-only install) does not stop the game.
  g_DebugFlag = DebugMarkerExists() ? 1 : 0;
  GetDebugWords().debugMode = static_cast<uint8_t>(g_DebugFlag);
  plat::Window::Options o;
  o.titleUtf8 = "Vornakest 4";
  o.width = kBackBufferW;
  o.height = kBackBufferH;
  o.hidden = hidden;
  app.window = plat::Window::Create(o);
  if (!app.window) return -1;
  plat::Window* w = app.window.get();
  if (testShower) {
    SetBoxShower(testShower);
  } else {
    SetBoxShower([w](const BoxRequest& r) { return ShowBoxOnWindow(w, r); });
  }
  SetErrorBoxPresenter(&GetShellErrorBoxPresenter());
  g_modeHost = std::make_unique<SdlWindowModeHost>(w);
  SetWindowModeHost(g_modeHost.get());
  UpdateDisplayLayoutFromWindow();
  return 1;
}

// The window's GL 3.3 core context and the drawing device are made here, so a failure is reported
// in start-up order. The context stays current on the main thread for the rest of start-up (which
// may load pictures) and goes to the frame thread when the timer starts.
bool InitGraphics(App& app) {
  if (!app.window->CreateGlContext()) return false;
  StartupSteps& s = GetStartupSteps();
  if (!app.window->MakeCurrent()) return false;
  return !s.pictureSource || s.pictureSource->CreateDevice();
}

void InitGame(App& app, int selector) {
  StartupSteps& s = GetStartupSteps();
  if (s.loadSystemData) s.loadSystemData();
  SeedGameRandFromTime();
  if (s.initSound) s.initSound();
  ApplyWindowModeSetting(true);
  if (s.applyRenderOptionSetting) s.applyRenderOptionSetting();
  if (s.startStreamPlayers) s.startStreamPlayers();
  if (s.purgeTextures) s.purgeTextures();
  if (s.loadLineAndBoardTables) s.loadLineAndBoardTables();
  if (s.initMenuManager) s.initMenuManager();
  // The scene manager with its table and the picture the wiring installed.
  FrameSceneManager* sceneManager = s.sceneManager;
  WindowPictureSource* picture = s.pictureSource;
  app.graphics = std::make_unique<WindowGraphics>(app.window.get(), picture);
  FrameServices services;
  services.scenes = sceneManager;
  services.graphics = app.graphics.get();
  services.game = s.gameHooks;
  SetFrameServices(services);
  SetDeviceControl(app.graphics.get());
  SetInputSource(&app.input);
  GameMode = game_mode::kIdle;

  plat::Window* w = app.window.get();
  w->ReleaseCurrent();
  uint32_t id = app.timer.Start(
      FramePeriodMs(selector),
      [w, picture] {
        w->MakeCurrent();
        if (picture) picture->AdoptFrameThread();
      },
      [](uint32_t timerId) { FrameTimerProc(timerId); }, [w] { w->ReleaseCurrent(); });
  g_FrameTimerId.store(id);
  g_FramePeriodMs = id ? FramePeriodMs(selector) : 0;
  if (id) plat::Log("frame", "timer started (%d ms)", g_FramePeriodMs.load());
}

void RunMessageLoop(App& app) {
  std::vector<plat::WindowEvent> events;
  for (;;) {
    events.clear();
    app.window->PumpEvents(events, g_WindowShown.load() ? 0 : 50);
    bool leave = false;
    for (const plat::WindowEvent& e : events) {
      switch (e.kind) {
        case plat::WindowEvent::kCloseRequested:
          if (!leave && OnCloseRequested()) leave = true;
          break;
        case plat::WindowEvent::kFocusGained:
          OnActivateApp(true, false);
          break;
        case plat::WindowEvent::kFocusLost:
          OnActivateApp(false, false);
          break;
        case plat::WindowEvent::kMinimized:
          g_WindowShown.store(false);
          OnActivateApp(false, true);
          break;
        case plat::WindowEvent::kRestored:
          g_WindowShown.store(true);
          OnActivateApp(true, false);
          break;
        case plat::WindowEvent::kResized:
          UpdateDisplayLayoutFromWindow();
          break;
        case plat::WindowEvent::kWheel:
          g_WheelWord.store(MakeWheelWord(e.wheel));
          break;
        case plat::WindowEvent::kExposed:
          break;  // the frame thread presents on its next tick; the main thread never draws
      }
    }
    ServiceBoxRequests();
    app.input.Publish(app.window->TakeInputSnapshot());
    // A termination signal ends the program as the close question's OK does, without asking.
    if (leave || g_QuitRequested.load() || plat::TerminationRequested()) break;
    CheckDeviceState();
    if (g_DebugFlag && GetStartupSteps().debugWindowPass) GetStartupSteps().debugWindowPass();
    plat::SleepMs(5);
  }
}

// Pause and stop drawing, stop the timer and wait for the frame, then save, then release: the
// system files are never written while a frame may still change them.
void ShutdownGame(App& app) {
  StartupSteps& s = GetStartupSteps();
  if (s.closeDebugWindow) s.closeDebugWindow();
  ShutdownBoxes(true);
  SetFramePause(true);
  SetDisplayStop(true);
  app.timer.Stop();
  g_FrameTimerId.store(0);
  g_FramePeriodMs = 0;
  while (g_FrameBusy.load() || g_DrawBusy.load()) plat::SleepMs(10);
  plat::Log("frame", "ran %u logic steps", g_LogicSteps.load());
  for (const std::string& line : GetFrameRecord().Lines()) plat::Log("frame", "%s", line.c_str());
  if (s.saveSystemFiles) s.saveSystemFiles();
  if (s.stopStreamPlayers) s.stopStreamPlayers();
  if (s.shutdownMovieManager) s.shutdownMovieManager();
  // Scenes, menus and textures free device objects: the frame has given the context up, so the
  // main thread holds it while they go.
  bool current = app.window && app.window->MakeCurrent();
  if (FrameSceneManager* scenes = GetFrameServices().scenes) scenes->DeleteAllScenes();
  if (s.deleteMenuRoots) s.deleteMenuRoots();
  if (s.purgeTextures) s.purgeTextures();
  if (s.endStreamThreads) s.endStreamThreads();
  if (s.releaseGraphics && current) s.releaseGraphics();
  if (current) app.window->ReleaseCurrent();
  SetFrameServices(FrameServices{});
  SetDeviceControl(nullptr);
  SetInputSource(nullptr);
  SetErrorBoxPresenter(nullptr);
  SetBoxShower(nullptr);
  SetWindowModeHost(nullptr);
  g_modeHost.reset();
  app.graphics.reset();
  if (app.window) app.window->DestroyGlContext();
  app.window.reset();
  app.lock.Release();
  ShutdownBoxes(false);
}

// A start-up failure saves nothing (nothing was loaded); only the window and the lock go.
void ReleaseAfterFailedStart(App& app) {
  // A device made before the failure goes with its context.
  StartupSteps& s = GetStartupSteps();
  if (app.window && app.window->HasGlContext() && s.releaseGraphics && app.window->MakeCurrent()) {
    s.releaseGraphics();
    app.window->ReleaseCurrent();
  }
  SetErrorBoxPresenter(nullptr);
  SetBoxShower(nullptr);
  SetWindowModeHost(nullptr);
  g_modeHost.reset();
  if (app.window) app.window->DestroyGlContext();
  app.window.reset();
  app.lock.Release();
}

}  // namespace

StartupSteps& GetStartupSteps() {
  static StartupSteps steps;
  return steps;
}

int ParseFramePeriodSelector(const char* commandLine) {
  if (!commandLine) return 0;
  if (std::strncmp(commandLine, "-f30", 4) == 0) return 1;
  if (std::strncmp(commandLine, "-f15", 4) == 0) return 2;
  return 0;
}

int FramePeriodMs(int selector) {
  switch (selector) {
    case 1:
      return 35;
    case 2:
      return 68;
    default:
      return 18;
  }
}

std::string CutModuleDir(const std::string& path) {
  size_t cut = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (plat::IsSjisLead(c) && i + 1 < path.size()) {
      ++i;  // a trail byte 0x5C is not a separator
      continue;
    }
    if ((c == '\\' || c == '/') && i > 0) cut = i;
  }
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

int GameMain(const std::vector<std::string>& args, const LaunchOptions& options) {
  SetMainThreadHere();
  plat::InstallTerminationHandlers();
  StartupSteps& s = GetStartupSteps();

  // 1. The script watch list.
  if (s.clearScriptWatchList) s.clearScriptWatchList();

  // 2. The module directory: the executable's path cut after its last separator.
  std::string exePath = options.executablePath.empty() ? plat::ExecutablePath() : options.executablePath;
  std::string programPath = plat::Utf8ToCp932(exePath);
  for (char& c : programPath) {
    if (c == '/') c = '\\';  // '/' is never a CP932 trail byte
  }
  std::string moduleDir = CutModuleDir(programPath);
  if (!moduleDir.empty() && !SetModuleDir(moduleDir.c_str())) {
    plat::Log("frame", "module directory does not fit: %s", moduleDir.c_str());
    return 1;
  }

  // 3. The run-time library's generator.
  std::srand(GetGameTimeMs());

  // 4. Single instance and the main window. A second copy and a failed window end silently.
  App app;
  int made = CreateMainWindow(app, exePath, options.hiddenWindow, options.boxShower);
  if (made == kNoDisplay) return 1;
  if (made <= 0) return made == 0 ? 0 : 1;  // a second copy ends quietly and successfully

  // 5. The script set's label list.
  if (s.loadStartLabelList && !s.loadStartLabelList()) {
    // The box names the file and what was expected of it (the reason is also in the log).
    std::string text = "ゲームバージョンが異なります。";
    const char* why = s.startLabelListFailure ? s.startLabelListFailure() : nullptr;
    if (why && *why) text += std::string("\n") + why;
    StartupFailureBox(text.c_str(), "Vornakest 4");
    ReleaseAfterFailedStart(app);
    return 1;
  }
  // 6. The graphics device.
  if (!InitGraphics(app)) {
    StartupFailureBox("DirectGraphics初期化に失敗しました. 終了します. ");
    ReleaseAfterFailedStart(app);
    return 1;
  }
  // 7. The movie manager.
  if (s.initMovieManager && !s.initMovieManager()) {
    StartupFailureBox("COMの初期化に失敗しました。終了します。");
    ReleaseAfterFailedStart(app);
    return 1;
  }
  // 8. The frame period.
  std::string commandLine;
  for (size_t i = 1; i < args.size(); ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += args[i];
  }
  int selector = ParseFramePeriodSelector(commandLine.c_str());

  // 9. Everything else, then the timer; the message loop until the window goes; shutdown.
  InitGame(app, selector);
  if (g_DebugFlag && GetStartupSteps().openDebugWindow) GetStartupSteps().openDebugWindow();
  RunMessageLoop(app);
  ShutdownGame(app);
  return 0;
}
