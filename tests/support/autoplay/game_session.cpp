#include "tests/support/autoplay/game_session.h"

#include <filesystem>

#include "core/app_state.h"
#include "core/error_box.h"
#include "core/frame_services.h"
#include "core/game_clock.h"
#include "core/game_rand.h"
#include "movie/movie_mgr.h"
#include "platform/audio/mixer.h"
#include "platform/gl/frame_hash_device.h"
#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "shell/app_main.h"
#include "shell/game_wiring.h"
#include "shell/main_window.h"
#include "sound/sound.h"
#include "tests/support/screen_run.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_mgr.h"

namespace fs = std::filesystem;

namespace v4play {

// The device's frame graphics with two duties of a long run. The null device records every draw it
// is given: only the last presented frame is kept, so a run of hours keeps the size of one frame.
// Sound is mixed by the virtual clock (the dummy driver would pull it in real time), so a voice
// ends and music advances at the same logic step in every replay of a seed.
class GameSession::Graphics : public v4test::DeviceFrameGraphics {
 public:
  explicit Graphics(CDGManager* dg) : DeviceFrameGraphics(dg), dg_(dg) {}
  void SetDriver(const FrameDriver* driver) { driver_ = driver; }
  void SetCapture(plat::CaptureOutput* capture) {
    capture_ = capture;
    startMs_ = driver_->NowMs();
    pulled_ = 0;
  }
  void UpdateRenderers() override {
    PullSound();
    DeviceFrameGraphics::UpdateRenderers();
  }
  bool RenderFrame() override {
    auto* device = dynamic_cast<plat::NullDevice*>(dg_->HashDevice() ? dg_->HashDevice()->Inner() : nullptr);
    if (!device) return DeviceFrameGraphics::RenderFrame();
    const size_t draws = device->draws.size(), clears = device->clears.size();
    const int presents = device->presents;
    const bool ok = DeviceFrameGraphics::RenderFrame();
    if (device->presents != presents) {
      device->draws.erase(device->draws.begin(), device->draws.begin() + static_cast<std::ptrdiff_t>(draws));
      device->clears.erase(device->clears.begin(), device->clears.begin() + static_cast<std::ptrdiff_t>(clears));
    }
    return ok;
  }

 private:
  void PullSound() {
    if (!capture_ || !driver_) return;
    const uint64_t due = static_cast<uint64_t>(driver_->NowMs() - startMs_) * plat::kMixRate / 1000u;
    if (due > pulled_) capture_->Pull(static_cast<size_t>(due - pulled_));
    pulled_ = due;
    // Music streams handle what this frame asked of them before the game reads their state.
    WaitSoundStreamsIdle();
  }
  CDGManager* dg_;
  const FrameDriver* driver_ = nullptr;
  plat::CaptureOutput* capture_ = nullptr;
  uint32_t startMs_ = 0;
  uint64_t pulled_ = 0;
};

GameSession::GameSession() = default;

bool GameSession::Start(const std::string& gameDir, uint32_t randSeed, uint32_t clockStartMs, std::string* error) {
  std::error_code ec;
  const fs::path data = fs::absolute(fs::path(gameDir) / "Data", ec);
  if (ec || !fs::is_directory(data)) {
    *error = "no Data folder in " + gameDir;
    return false;
  }
  folder_ = std::make_unique<v4test::TempModuleDir>("v4play");
  if (!folder_->Installed()) {
    *error = "cannot make a temporary game folder";
    return false;
  }
  folderPath_ = folder_->Path();
  fs::create_directory_symlink(data, fs::path(folderPath_) / "Data", ec);
  if (ec) {
    *error = "cannot link the Data folder: " + ec.message();
    return false;
  }

  // The executable's start-up, in its order, with the null device in place of the window's.
  SetMainThreadHere();
  InstallGameSubsystems();
  StartupSteps& s = GetStartupSteps();
  SetErrorBoxPresenter(&boxes_);
  SetBoxShower([this](const BoxRequest& r) {
    asked_.push_back(r.title + ": " + r.text);
    return 1;
  });
  if (s.clearScriptWatchList) s.clearScriptWatchList();
  if (s.loadStartLabelList && !s.loadStartLabelList()) {
    *error = "the script set does not match the program";
    return false;
  }
  dg_ = new CDGManager();
  if (!v4test::StartNullDevice(dg_)) {
    *error = "the null drawing device failed";
    return false;
  }
  // The virtual clock from here on: everything after reads the driver's time.
  FrameDriver::Options o;
  o.startMs = clockStartMs;
  graphics_ = std::make_unique<Graphics>(dg_);
  driver_ = std::make_unique<FrameDriver>(FrameServices{s.sceneManager, s.gameHooks, graphics_.get()}, o);
  graphics_->SetDriver(driver_.get());
  if (s.initMovieManager && !s.initMovieManager()) {
    *error = "the movie manager failed";
    return false;
  }
  // Movie frames wait for their decoder, so a run does not depend on the machine's speed.
  GetMovieMgr().SetWaitForDecoder(true);
  if (s.loadSystemData) s.loadSystemData();
  // The game seeds its generator from the calendar (here, at every new world and every load); a
  // run reads the seed plus the virtual clock's seconds instead, so the same seed plays the same.
  SetGameRandSeedClock([randSeed] { return randSeed + GetGameTimeMs() / 1000u; });
  SeedGameRandFromTime();
  // Sound on a capture output pulled by the virtual clock; the game's own set-up then finds it ready
  // and gives the movies their sink on its mixer.
  graphics_->SetCapture(InitSoundCapture());
  if (s.initSound) s.initSound();
  if (s.applyRenderOptionSetting) s.applyRenderOptionSetting();
  if (s.startStreamPlayers) s.startStreamPlayers();
  if (s.purgeTextures) s.purgeTextures();
  if (s.loadLineAndBoardTables) s.loadLineAndBoardTables();
  if (s.initMenuManager) s.initMenuManager();
  GameMode = game_mode::kIdle;
  started_ = true;
  return true;
}

GameSession::~GameSession() {
  StartupSteps& s = GetStartupSteps();
  if (started_) {
    if (s.stopStreamPlayers) s.stopStreamPlayers();
    if (s.shutdownMovieManager) s.shutdownMovieManager();
    if (FrameSceneManager* scenes = s.sceneManager) scenes->DeleteAllScenes();
    if (s.deleteMenuRoots) s.deleteMenuRoots();
    if (s.purgeTextures) s.purgeTextures();
    if (s.endStreamThreads) s.endStreamThreads();
  }
  driver_.reset();
  SetDGManager(nullptr);
  if (dg_) dg_->Release();
  dg_ = nullptr;
  SetErrorBoxPresenter(nullptr);
  SetBoxShower(nullptr);
  SetGameRandSeedClock(nullptr);
  GetStartupSteps() = StartupSteps{};
  folder_.reset();
}

}  // namespace v4play
