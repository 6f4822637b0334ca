#include "screens/front/scene_tutorial.h"

#include "core/app_state.h"
#include "platform/text/log.h"
#include "screens/front/cover_backdrop.h"
#include "screens/front/front_ports.h"
#include "ui/widgets/widget_base.h"

namespace {
constexpr const char* kTitleMusic = "Data\\bgm\\M29.voi";
constexpr int kMusicFade = 2;
constexpr int32_t kScenarioScene = 2;
}  // namespace

CVScene* CreateTutorialScene(int32_t id) { return new CVSceneTutorial(id); }

bool CVSceneTutorial::OnStart() {
  CVMenuBase* menu = FindMenu(0);
  panel_ = menu ? menu->FindChild(kWidgetSprite, 0) : nullptr;
  if (!panel_) plat::Log("tutorial", "tutorial layout has no panel");
  if (menu) menu->Open(0, 0, 0);
  BuildBackdrop();
  if (menu) menu->cancelId = kBack;
  return false;
}

void CVSceneTutorial::BuildBackdrop() {
  // The blend widget is hidden even without a cover: it is a mask, not a picture.
  BuildCoverBackdrop(*this, panel_, panel_ ? panel_->FindChild(kWidgetSprite, 3) : nullptr);
}

bool CVSceneTutorial::OnEnter() {
  FrontPorts& ports = GetFrontPorts();
  if (!ports.isMusicPlaying(kTitleMusic)) ports.playMusic(kTitleMusic, kMusicFade);
  return CVScene::OnEnter();
}

bool CVSceneTutorial::StartChapter(int32_t chapter) {
  FrontPorts& ports = GetFrontPorts();
  ports.snapshotSwitches();
  if (!ports.loadTutorialScripts()) {
    plat::Log("tutorial", "tutorial script set did not load; chapter %d not started", chapter);
    return false;
  }
  ports.setSwitch0(chapter);
  GameMode = game_mode::kOtherScript;
  RequestSceneChange(kScenarioScene, 1);
  return true;
}

int32_t CVSceneTutorial::UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) {
  if (lastHit >= kFirstChapter && lastHit < kFirstChapter + kChapterCount) StartChapter(lastHit - kFirstChapter);
  return CVScene::UpdateMainMenu(x, y, leftClick, lastHit);
}
