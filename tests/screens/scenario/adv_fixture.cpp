#include "adv_fixture.h"

#include <unistd.h>

#include <memory>

#include "core/app_state.h"
#include "core/game_clock.h"
#include "core/game_file.h"
#include "platform/gl/null_device.h"
#include "render/dg_manager.h"
#include "screens/scenario/adv_ports.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/widget_base.h"

namespace fs = std::filesystem;

namespace adv_test {

int32_t AdvSceneTest::Mouse::GetMouseButton() { return GetSceneMgr().GetMouseButton(); }

uint32_t AdvSceneTest::Clock(void* self) { return static_cast<AdvSceneTest*>(self)->now_; }

void AdvSceneTest::SetUp() {
  const fs::path data = fs::path(V4_TEST_GAME_DIR) / "Data";
  ASSERT_TRUE(fs::exists(data / "layout" / "adv.lay")) << "build the sample data first";
  ASSERT_TRUE(folder_.Ready()) << "no temporary game folder";

  SetGameClockOverride(&Clock, this);
  SetInputSource(&keys_);
  SetWidgetInput(&mouse_);
  ButtonClickLatch = 0;
  GetMenuMgr().SetDepthBound(0);
  dg_ = new CDGManager();
  dg_->SetClock([] { return 1000u; });
  dg_->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280, 720);
  SetDGManager(dg_);

  AdvPorts& p = GetAdvPorts();
  p.keyHeld = [this](int vk) { return log.keysHeld.count(vk) != 0; };
  p.keyPressed = [this](int vk) { return log.keysPressed.count(vk) != 0; };
  p.keyReleased = [this](int vk) { return log.keysReleased.count(vk) != 0; };
  p.wheel = [this] { return log.wheel; };
  p.voicePlaying = [this] { return log.voicePlaying; };
  p.fadeVoiceOut = [this] { ++log.voiceFades; };
  p.replayVoice = [this](const char* f, int32_t, int32_t) { log.voices.emplace_back(f); };
  p.stopMusic = [] {};
  p.playMovie = [this](const char* path) {
    log.movies.emplace_back(path);
    return true;
  };
  p.moviesFinished = [this] { return log.moviesFinished; };
  p.closeMovies = [this] { ++log.moviesClosed; };
  p.openDialog = [this](int32_t kind) {
    log.dialogs.push_back(kind);
    return true;
  };
  p.dialogResult = [this] { return log.dialogAnswer; };
  p.pushScreen = [this](int32_t id) {
    log.screens.push_back(id);
    return true;
  };
  p.quickSave = [this](int32_t mode) {
    log.quickSaves.push_back(mode);
    return true;
  };
  p.quickLoad = [this] {
    ++log.quickLoads;
    GameMode = log.gameModeAfterLoad;
    return true;
  };
  p.requestScene = [this](int32_t id, int32_t) { log.requested.push_back(id); };
  p.errorBox = [this](const char* text, const char*) { log.errors.emplace_back(text); };
  p.setting = [this](int i) { return i >= 0 && i < 32 ? log.settings[i] : 0; };
  p.messageRead = [this](int64_t id) { return log.read.count(id) != 0; };
  log.settings[0] = 9;  // text at once unless a test says otherwise
  log.settings[1] = 5;
  log.settings[2] = 9;
  log.settings[3] = 1;  // picture effects shown

  GetMenuMgr().Init(GetModuleDir());
  CVSceneMgr& mgr = GetSceneMgr();
  mgr.Reset();
  ASSERT_TRUE(InitSceneSystem());
  RegisterScenarioScenes(mgr);
  GameMode = 0;
}

void AdvSceneTest::TearDown() {
  GetSceneMgr().Reset();
  GetMenuMgr().DeleteAllRoots();
  GetMenuMgr().SetDepthBound(0);
  SetDGManager(nullptr);
  if (dg_) dg_->Release();
  ResetAdvPorts();
  SetWidgetInput(nullptr);
  SetInputSource(nullptr);
  SetGameClockOverride(nullptr, nullptr);
  ButtonClickLatch = 0;
  GameMode = 1;
  GetAdvScript().ClearBacklog();
  GetAdvScript().SetScene(nullptr);
}

CVSceneADV* AdvSceneTest::Enter() {
  GetSceneMgr().ChangeScene(2, 0);
  Step();
  return Adv();
}

CVSceneADV* AdvSceneTest::Adv() const { return dynamic_cast<CVSceneADV*>(GetSceneById(2)); }

CVMenuADV* AdvSceneTest::Win() const { return Adv() ? Adv()->Window() : nullptr; }

void AdvSceneTest::Step(uint32_t ms, bool left, bool right) {
  keys_.held[VK_LBUTTON] = left;
  keys_.held[VK_RBUTTON] = right;
  mouse_.wheel = log.wheel;
  now_ += ms;
  CVSceneMgr& mgr = GetSceneMgr();
  mgr.UpdateFrameTimer();
  mgr.Update();
  // Edges and the wheel last one step.
  log.keysPressed.clear();
  log.keysReleased.clear();
  log.wheel = 0;
}

void AdvSceneTest::Steps(int n, uint32_t ms) {
  for (int i = 0; i < n; ++i) Step(ms);
}

void AdvSceneTest::MoveTo(int32_t x, int32_t y) {
  keys_.px = x;
  keys_.py = y;
  MousePointerX = x;
  MousePointerY = y;
}

void AdvSceneTest::Click(int32_t x, int32_t y, bool right) {
  MoveTo(x, y);
  Step(17);
  Step(17, !right, right);
  Step(17);
  Steps(3);
}

void AdvSceneTest::ButtonAt(int32_t id, int32_t& x, int32_t& y) {
  // The sample layout: window at (40, 500), buttons 100 x 30 from x 100 every 104, at y 162.
  x = 40 + 100 + (id - 10000) * 104 + 50;
  y = 500 + 162 + 15;
}

void AdvSceneTest::ChoiceAt(int32_t index, int32_t count, int32_t& x, int32_t& y) {
  x = 360 + 280;
  y = 360 - count * 40 + index * 80 + 28;
}

std::vector<AdvTextRecord> AdvSceneTest::Records(const std::string& text, int32_t d) {
  AdvTextRecord r;
  r.text = text;
  r.d = d;
  return {r};
}

}  // namespace adv_test
