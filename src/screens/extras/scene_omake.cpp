#include "screens/extras/scene_omake.h"

#include "core/app_state.h"
#include "platform/text/log.h"
#include "save/omake_tables.h"
#include "screens/extras/menu_omake_bgm.h"
#include "screens/extras/menu_omake_cg.h"
#include "screens/extras/menu_omake_ikki.h"
#include "screens/extras/menu_omake_scene.h"
#include "screens/extras/omake_ports.h"
#include "ui/menus/menu_factory.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/widget_base.h"

namespace {

constexpr const char* kOmakeMusic = "Data\\bgm\\M07.voi";
constexpr const char* kOmakeEventMusic = "Data\\bgm\\M11.voi";
constexpr int kOmakeMusicFade = 2;
constexpr int32_t kTitleScene = 1;

CVMenuSceneRoot* MakeCgMenu(int32_t) { return new CVMenuOmake_CG(); }
CVMenuSceneRoot* MakeSceneMenu(int32_t) { return new CVMenuOmake_Scene(); }
CVMenuSceneRoot* MakeLinesMenu(int32_t) { return new CVMenuOmake_Ikki(); }
CVMenuSceneRoot* MakeBgmMenu(int32_t) { return new CVMenuOmake_BGM(); }

}  // namespace

int32_t OmakeMenuOfPhase(int32_t phase) {
  switch (phase) {
    case CVSceneOmake::kPhaseTop:
      return 0;
    case CVSceneOmake::kPhaseCg:
    case CVSceneOmake::kPhaseEvents:
      return 1;
    case CVSceneOmake::kPhaseReplay:
      return 2;
    case CVSceneOmake::kPhaseLines:
      return 3;
    case CVSceneOmake::kPhaseMusic:
      return 4;
    default:
      return -1;
  }
}

const char* OmakeMusicOfPhase(int32_t phase) {
  return phase == CVSceneOmake::kPhaseEvents ? kOmakeEventMusic : kOmakeMusic;
}

CVScene* CreateOmakeScene(int32_t id) { return new CVSceneOmake(id); }

void RegisterOmakeScenes(CVSceneMgr& mgr) {
  RegisterMenuType(81, &MakeCgMenu);
  RegisterMenuType(82, &MakeSceneMenu);
  RegisterMenuType(83, &MakeLinesMenu);
  RegisterMenuType(84, &MakeBgmMenu);
  mgr.SetSceneFactory(7, &CreateOmakeScene);
}

const uint8_t* CVSceneOmake::GetCgTable() const { return OmakeCgTable; }
const uint8_t* CVSceneOmake::GetEventTable() const { return OmakeEventTable; }
const uint8_t* CVSceneOmake::GetBgmTable() const { return OmakeBgmTable; }
const uint8_t* CVSceneOmake::GetBattleTable() const { return OmakeSoundTable; }
const uint8_t* CVSceneOmake::GetBattleScriptTable() const { return OmakeSoundScriptTable; }

bool CVSceneOmake::OnStart() {
  for (int32_t i = 0; i < 5; ++i) menus_[i] = FindMenu(i);
  openMenu_ = nullptr;
  LoadOmakeTables();
  // Without a chosen extra the top menu opens: a scene with no menu would leave the player
  // without a way back.
  int32_t first = (OmakeSelection >= 1 && OmakeSelection <= 5) ? OmakeSelection : kPhaseTop;
  // An extra whose menu this build or data lacks opens the top menu instead.
  if (!menus_[OmakeMenuOfPhase(first)]) {
    plat::Log("omake", "extras menu %d is missing", OmakeMenuOfPhase(first));
    first = kPhaseTop;
  }
  // The title's music must not carry over into the extras; the music player starts silent.
  if (first != kPhaseMusic) GetOmakePorts().playMusicUnrecorded(OmakeMusicOfPhase(first), 1, kOmakeMusicFade);
  SetPhase(first, 1, 0);
  return false;
}

bool CVSceneOmake::OnEnter() {
  savedGameMode_ = GameMode;
  GameMode = game_mode::kFrontScreen;
  return CVScene::OnEnter();
}

bool CVSceneOmake::OnStop() {
  GameMode = savedGameMode_;
  return CVScene::OnStop();
}

bool CVSceneOmake::OnPhaseChange(int32_t oldPhase) {
  OmakePorts& ports = GetOmakePorts();
  if (openMenu_) openMenu_->Close();
  openMenu_ = nullptr;
  // The gallery picks its mode from the selection: keep it in step with the phase, so that the
  // event gallery opens in event mode whichever way it was reached.
  if (phase_ >= kPhaseCg && phase_ <= kPhaseMusic) OmakeSelection = static_cast<uint16_t>(phase_);
  const int32_t id = OmakeMenuOfPhase(phase_);
  if (id < 0) return true;
  if (phase_ == kPhaseMusic) {
    ports.fadeOutMusic();
  } else if (oldPhase == kPhaseMusic) {
    ports.playMusicUnrecorded(OmakeMusicOfPhase(phase_), 1, kOmakeMusicFade);
  }
  CVMenuBase* menu = menus_[id];
  // The lines gallery names the generals of scenario 0's world: it is loaded before the menu opens.
  if (phase_ == kPhaseLines && menu) ports.resetWorld();
  if (!menu) {
    plat::Log("omake", "extras menu %d is missing", id);
    return true;
  }
  menu->Open(0, 0, 0);
  menu->cancelId = kBack;
  openMenu_ = menu;
  return true;
}

int32_t CVSceneOmake::UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) {
  if (lastHit == kBack) {
    RequestSceneChange(kTitleScene, 0);
  } else if (lastHit >= kChooseFirst && lastHit <= kChooseFirst + 4) {
    // A choice without its menu keeps the current one open.
    const int32_t phase = lastHit - kChooseFirst + 1;
    if (menus_[OmakeMenuOfPhase(phase)]) SetPhase(phase, 1, 0);
  }
  return CVScene::UpdateMainMenu(x, y, leftClick, lastHit);
}
