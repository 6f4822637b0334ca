// The executable's wiring: every start-up, frame and shutdown step is installed and runs in its
// place, once; the drawing device is made at start-up and recovered through the real manager.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/app_state.h"
#include "core/game_file.h"
#include "scenario/script/adv_script.h"
#include "core/frame_services.h"
#include "platform/gl/gl_context.h"
#include "platform/sdl/process.h"
#include "render/board_renderer.h"
#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "save/save_slot.h"
#include "world/turn/turn_loop.h"
#include "shell/app_main.h"
#include "shell/device_state.h"
#include "shell/frame.h"
#include "shell/game_graphics.h"
#include "shell/game_wiring.h"
#include "shell/main_window.h"
#include "shell/window_graphics.h"
#include "tests/support/offscreen_gl_suite.h"
#include "tests/support/temp_folder.h"
#include "world/world_misc.h"
#include "world/world_ports.h"

namespace fs = std::filesystem;

namespace {

StartupSteps g_real;
std::vector<std::string> g_calls;
bool g_deviceBeforeMenus = false;

// Forwards every frame hook to the installed one and counts the per-step hooks.
struct CountingHooks : FrameGameHooks {
  FrameGameHooks* real = nullptr;
  std::atomic<int> fades{0}, pick{0};
  std::atomic<bool> outOfOrder{false};
  int lastFades = 0;
  void UpdateSoundFades() override {
    ++fades;
    real->UpdateSoundFades();
  }
  bool PollSlgKey() override { return real->PollSlgKey(); }
  void StepAdvScript() override { real->StepAdvScript(); }
  void ApplyGameSpeedSetting() override { real->ApplyGameSpeedSetting(); }
  void RunTurnLoop() override { real->RunTurnLoop(); }
  void UpdateMovies() override { real->UpdateMovies(); }
  bool MovieOwnsDisplay() override { return real->MovieOwnsDisplay(); }
  void ResetPickState() override {
    // Once per logic step.
    if (pick.load() + 1 != static_cast<int>(g_LogicSteps.load())) outOfOrder = true;
    ++pick;
    real->ResetPickState();
  }
};
CountingHooks g_hooks;

#define V4_WRAP(field)         \
  s.field = [] {               \
    g_calls.push_back(#field); \
    return g_real.field();     \
  }

TEST(WiringTest, EveryStepIsInstalledAndRunsOnceInOrder) {
  v4test::TempFolder dir("v4wiring");
  ASSERT_TRUE(dir.Made());
  fs::create_directory_symlink(std::string(V4_TEST_GAME_DIR) + "/Data", dir.Path() + "/Data");

  InstallGameSubsystems();
  StartupSteps& s = GetStartupSteps();
  g_real = s;
  // Every step has its subsystem.
  EXPECT_NE(s.clearScriptWatchList, nullptr);
  EXPECT_NE(s.loadStartLabelList, nullptr);
  EXPECT_NE(s.initMovieManager, nullptr);
  EXPECT_NE(s.loadSystemData, nullptr);
  EXPECT_NE(s.initSound, nullptr);
  EXPECT_NE(s.applyRenderOptionSetting, nullptr);
  EXPECT_NE(s.startStreamPlayers, nullptr);
  EXPECT_NE(s.purgeTextures, nullptr);
  EXPECT_NE(s.loadLineAndBoardTables, nullptr);
  EXPECT_NE(s.initMenuManager, nullptr);
  EXPECT_NE(s.saveSystemFiles, nullptr);
  EXPECT_NE(s.stopStreamPlayers, nullptr);
  EXPECT_NE(s.shutdownMovieManager, nullptr);
  EXPECT_NE(s.deleteMenuRoots, nullptr);
  EXPECT_NE(s.endStreamThreads, nullptr);
  EXPECT_NE(s.releaseGraphics, nullptr);
  ASSERT_NE(s.gameHooks, nullptr);
  EXPECT_NE(s.sceneManager, nullptr);
  EXPECT_NE(s.pictureSource, nullptr);
  // The strategy rules reach the save slots.
  EXPECT_NE(dynamic_cast<TurnRulesPort*>(&SlgRules()), nullptr);
  if (HasFailure()) return;

  V4_WRAP(clearScriptWatchList);
  V4_WRAP(loadStartLabelList);
  V4_WRAP(initMovieManager);
  V4_WRAP(loadSystemData);
  V4_WRAP(initSound);
  V4_WRAP(applyRenderOptionSetting);
  V4_WRAP(startStreamPlayers);
  V4_WRAP(purgeTextures);
  V4_WRAP(loadLineAndBoardTables);
  V4_WRAP(saveSystemFiles);
  V4_WRAP(stopStreamPlayers);
  V4_WRAP(shutdownMovieManager);
  V4_WRAP(deleteMenuRoots);
  V4_WRAP(endStreamThreads);
  V4_WRAP(releaseGraphics);
  s.initMenuManager = [] {
    g_calls.push_back("initMenuManager");
    g_deviceBeforeMenus = GetDGManager() != nullptr;
    g_real.initMenuManager();
    // Ends the run after some frames, as a termination signal does.
    std::thread([] {
      for (int i = 0; i < 400 && g_LogicSteps.load() < 20; ++i) usleep(10 * 1000);
      raise(SIGTERM);
    }).detach();
  };
  g_hooks.real = s.gameHooks;
  s.gameHooks = &g_hooks;
  for (int32_t& w : SlgPickWords) w = 7;

  LaunchOptions o;
  o.executablePath = dir.Path() + "/vornakest4";
  o.hiddenWindow = true;
  std::vector<BoxRequest> boxes;
  o.boxShower = [&boxes](const BoxRequest& r) {
    boxes.push_back(r);
    return 1;
  };
  plat::ClearTerminationRequest();
  EXPECT_EQ(GameMain({"vornakest4"}, o), 0);
  plat::ClearTerminationRequest();
  SetSlgRulesPort(nullptr);

  const std::vector<std::string> expect = {"clearScriptWatchList", "loadStartLabelList", "initMovieManager",
                                           "loadSystemData",       "initSound",          "applyRenderOptionSetting",
                                           "startStreamPlayers",   "purgeTextures",      "loadLineAndBoardTables",
                                           "initMenuManager",      "saveSystemFiles",    "stopStreamPlayers",
                                           "shutdownMovieManager", "deleteMenuRoots",    "purgeTextures",
                                           "endStreamThreads",     "releaseGraphics"};
  EXPECT_EQ(g_calls, expect);
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
  EXPECT_TRUE(g_deviceBeforeMenus) << "the drawing device is made at start-up";
  EXPECT_EQ(GetDGManager(), nullptr) << "released at shutdown";
  // Every logic step reset the pick state once.
  const int steps = static_cast<int>(g_LogicSteps.load());
  EXPECT_GT(steps, 0);
  EXPECT_EQ(g_hooks.pick.load(), steps);
  EXPECT_FALSE(g_hooks.outOfOrder.load());
  for (int32_t w : SlgPickWords) EXPECT_EQ(w, -1);
  GetStartupSteps() = StartupSteps{};
  ResetFrameState();
}

// Shutdown writes the play record and the persistent script switches once each.
TEST(WiringTest, SystemFilesAreWrittenOnceEach) {
  v4test::TempFolder dir("v4switches");
  ASSERT_TRUE(dir.Made());
  fs::create_directory_symlink(std::string(V4_TEST_GAME_DIR) + "/Data", dir.Path() + "/Data");
  fs::create_directories(dir.Path() + "/SaveData/sys");
  const std::string moduleDir = GetModuleDir();
  ASSERT_TRUE(SetModuleDirFromHost(dir.Path()));
  ASSERT_TRUE(GetAdvScript().LoadScriptFiles(0));
  InstallGameSubsystems();
  const int fd = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_GE(inotify_add_watch(fd, (dir.Path() + "/SaveData/sys").c_str(), IN_MOVED_TO | IN_CLOSE_WRITE), 0);
  GetStartupSteps().saveSystemFiles();
  // Every write ends in the file's own name once (written in place, or moved there).
  int switches = 0, record = 0;
  alignas(inotify_event) char buf[8192];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) {
    for (char* p = buf; p < buf + n;) {
      auto* e = reinterpret_cast<inotify_event*>(p);
      const std::string name = e->len ? e->name : "";
      switches += name == "tksw00.dat";
      record += name == "plc.dat";
      p += sizeof(inotify_event) + e->len;
    }
  }
  close(fd);
  EXPECT_EQ(switches, 1);
  EXPECT_EQ(record, 1);
  GetStartupSteps() = StartupSteps{};
  SetSlgRulesPort(nullptr);
  SetModuleDir(moduleDir.c_str());
}

// The program's picture on the real manager, on an offscreen context: a lost device is reset, a
// failed driver re-created, and both keep every texture and renderer.
class GamePictureRecoveryTest : public v4test::OffscreenGlSuite<> {
 protected:
  void SetUp() override {
    ASSERT_NE(Context(), nullptr) << "no offscreen OpenGL context";
    ResetFrameState();
    ResetDeviceRecovery();
    ASSERT_TRUE(GetGamePicture().CreateDevice());
    mgr = GetDGManager();
    ASSERT_NE(mgr, nullptr);
    mgr->SetDefaultRenderStates(false);
    SetDeviceControl(&graphics);
  }
  void TearDown() override {
    SetDeviceControl(nullptr);
    if (board) board->Release();
    if (tex) tex->Release();
    ReleaseGamePicture();
    ResetFrameState();
  }
  // A green 2 x 2 texture on a 20 x 20 board at (50, 50).
  void MakeBoard() {
    tex = new CDGTexture(mgr);
    ASSERT_TRUE(tex->CreateEmpty(2, 2));
    const uint8_t green[16] = {0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255};  // B,G,R,A
    const DGRect all{0, 0, 2, 2};
    ASSERT_TRUE(tex->UpdateFromMemory(green, 8, 2, 2, nullptr, &all, kFmtA8R8G8B8));
    board = new CDGBoardRenderer(mgr);
    board->SetMode(CDGBoardRenderer::kScreen);
    board->SetPosition(50, 50, 0);
    board->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0));
    board->SetSize(20, 20);
    board->SetColors(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, true);
    board->SetTexture(tex);
    board->BuildVertices();
  }
  // Draws one frame through the picture and reads the green of pixel (55, 55).
  int GreenAt55() {
    board->Queue(true);
    mgr->SwapRenderQueues();
    DisplayLayout l{};
    l.displayW = 1280;
    l.displayH = 720;
    l.pictureW = 1280;
    l.pictureH = 720;
    if (!GetGamePicture().DrawPicture(l)) return -1;
    std::vector<uint8_t> px;
    if (!mgr->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px)) return -2;
    return px[(55u * 1280 + 55) * 4 + 1];
  }
  WindowGraphics graphics{nullptr, &GetGamePicture()};
  CDGManager* mgr = nullptr;
  CDGTexture* tex = nullptr;
  CDGBoardRenderer* board = nullptr;
};

TEST_F(GamePictureRecoveryTest, LostDeviceIsResetAndScenesRedraw) {
  MakeBoard();
  ASSERT_EQ(GreenAt55(), 255);
  mgr->Device()->SimulateLoss();
  g_DeviceLost = true;  // as a failed present marks it
  EXPECT_EQ(graphics.TestCooperativeLevel(), DeviceCoop::kNeedsReset);
  EXPECT_TRUE(CheckDeviceState());
  EXPECT_FALSE(g_DeviceLost.load());
  EXPECT_TRUE(g_AfterReset.load()) << "scenes re-create their resources on the next frame";
  EXPECT_FALSE(mgr->IsDeviceLost());
  EXPECT_EQ(GetDGManager(), mgr) << "the same manager: every pointer held stays valid";
  EXPECT_EQ(GreenAt55(), 255);
}

TEST_F(GamePictureRecoveryTest, RecreatedDeviceKeepsTexturesAndRenderers) {
  MakeBoard();
  plat::GfxDevice* before = mgr->Device();
  EXPECT_TRUE(graphics.CreateDevice3D());
  EXPECT_NE(mgr->Device(), before);
  EXPECT_TRUE(tex->HasTexture());
  EXPECT_EQ(GreenAt55(), 255);
}

TEST_F(GamePictureRecoveryTest, WindowModeSwitchGoesThroughTheRecovery) {
  struct Host : WindowModeHost {
    bool SetFullscreen(bool, int, int) override { return true; }
    void GetDrawableSize(int& w, int& h) override { w = 1280, h = 720; }
  } host;
  SetWindowModeHost(&host);
  MakeBoard();
  ASSERT_EQ(SetWindowMode(true), 1);
  EXPECT_TRUE(g_DeviceLost.load()) << "the switch must reset the device";
  EXPECT_TRUE(CheckDeviceState());
  EXPECT_TRUE(g_AfterReset.load());
  g_AfterReset = false;
  ASSERT_EQ(SetWindowMode(true), 1);  // no change of mode: nothing to recover
  EXPECT_FALSE(g_DeviceLost.load());
  ASSERT_EQ(SetWindowMode(false), 1);
  EXPECT_TRUE(CheckDeviceState());
  EXPECT_EQ(GreenAt55(), 255);
  SetWindowModeHost(nullptr);
}

}  // namespace
