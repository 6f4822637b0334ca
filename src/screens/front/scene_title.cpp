#include "screens/front/scene_title.h"

#include <string>

#include "core/app_state.h"
#include "core/game_file.h"
#include "screens/front/title_ports.h"
#include "platform/text/log.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/widget_base.h"
#include "ui/widgets/widget_shader.h"

uint8_t ShowOpeningFlag = 1;

namespace {

constexpr const char* kTitleMusic = "Data\\bgm\\M29.voi";
constexpr const char* kOpeningMovie = "Data\\media\\op.mdm";
constexpr int kTitleMusicFade = 2;
constexpr int32_t kExtrasScene = 7;
constexpr int32_t kLoadScene = 5;
constexpr int32_t kSettingsScene = 6;
constexpr int32_t kTutorialScene = 12;
// The backdrop wipes in from the top over this many milliseconds when the menu appears.
constexpr const char* kBackdropWipePattern = "Data\\effect\\wipe.png";
constexpr float kBackdropWipeMs = 1200.0f;

// Hiding a widget hides its whole subtree: hidden buttons then take no pointer and hidden
// animations wait until their widget is shown again.
void Show(CVMenuBase* w, bool on) {
  if (w) w->SetFlagAll(kWfShown, on);
}

bool IsShownWidget(const CVMenuBase* w) { return w && w->TestFlag(kWfShown); }

}  // namespace

CVScene* CreateTitleScene(int32_t id) { return new CVSceneTitle(id); }

void CVSceneTitle::FindWidgets() {
  CVMenuBase* menu = FindMenu(0);
  mainPanel_ = menu ? menu->FindChild(kWidgetSprite, 0) : nullptr;
  logoWindow_ = mainPanel_ ? mainPanel_->NextSibling() : nullptr;
  mainPicture_ = mainPanel_ ? mainPanel_->FindChild(kWidgetSprite, 0) : nullptr;
  buttonArea_ = mainPanel_ ? mainPanel_->FindChild(kWidgetWindow, 0) : nullptr;
  afterButton_ = buttonArea_ ? buttonArea_->NextSibling() : nullptr;
  thirdWindow_ = mainPanel_ ? mainPanel_->FindChild(kWidgetWindow, 2) : nullptr;
  struct Need {
    const CVMenuBase* w;
    const char* what;
  };
  const Need needs[] = {{menu, "menu 0"},
                        {mainPanel_, "main panel"},
                        {logoWindow_, "logo window"},
                        {mainPicture_, "main picture"},
                        {buttonArea_, "button area"},
                        {afterButton_, "after-button widget"},
                        {thirdWindow_, "third window"}};
  for (const Need& n : needs)
    if (!n.w) plat::Log("title", "layout has no %s; that part of the title is left out", n.what);
}

bool CVSceneTitle::OnStart() {
  GameMode = game_mode::kScriptEnded;
  exitQuestionPending_ = -1;
  FindWidgets();
  lastX_ = lastY_ = -1;
  lastButtons_ = 0;
  musicStarted_ = 0;
  if (ShowOpeningFlag) {
    ShowOpeningFlag = 0;
    SetPhase(kPhaseLogo, 1, 0);
  } else {
    SetPhase(kPhaseMenu, 1, 0);
  }
  return true;
}

bool CVSceneTitle::OnEnter() {
  // Back from the extras the title is still in its extras sub-menu, which replaces the button
  // area: showing the area there would put both button sets on the screen at once.
  if (phase_ != kPhaseExtras) Show(buttonArea_, true);
  return CVScene::OnEnter();
}

bool CVSceneTitle::OnPhaseChange(int32_t oldPhase) {
  TitlePorts& ports = GetTitlePorts();
  switch (phase_) {
    case kPhaseLogo:
      ports.stopMusic();
      Show(mainPanel_, false);
      // OnEnter shows the button area again after this; it must not take clicks under the logo.
      if (buttonArea_) buttonArea_->SetFlagAll(kWfNoHit, true);
      if (logoWindow_) {
        Show(logoWindow_, true);
        // Animation 1 on the logo window, on its first plain-window child and on every widget
        // after that child.
        logoWindow_->ClearAnimeQueue();
        logoWindow_->PlayAnime(1);
        for (CVMenuBase* w = logoWindow_->FindChild(kWidgetWindow, 0); w; w = w->NextSibling()) {
          w->ClearAnimeQueue();
          w->PlayAnime(1);
        }
        logoWindow_->SetFlag(kWfAnimRunning, true);
      }
      ports.setMovieVolume(ports.musicVolume());
      break;
    case kPhaseMovie: {
      ports.stopMusic();
      Show(mainPanel_, false);
      Show(logoWindow_, false);
      if (buttonArea_) buttonArea_->SetFlagAll(kWfNoHit, true);
      const std::string path = std::string(GetModuleDir()) + kOpeningMovie;
      if (!ports.playFullScreenMovie(path.c_str())) plat::Log("title", "opening movie not shown");
      ports.setMovieVolume(ports.musicVolume());
      break;
    }
    case kPhaseMenu:
      if (oldPhase != kPhaseExtras) StartBackdropWipe();  // not when backing out of the extras
      Show(mainPanel_, true);
      Show(logoWindow_, false);
      Show(buttonArea_, true);
      if (buttonArea_) buttonArea_->SetFlagAll(kWfNoHit, true);
      Show(thirdWindow_, false);
      Show(afterButton_, false);
      if (mainPanel_) mainPanel_->cancelId = kExtrasBack;
      SetStepValue(0);
      break;
    case kPhaseExtras:
      Show(buttonArea_, false);
      Show(thirdWindow_, true);
      EnableExtrasButtons();
      SetStepValue(2);
      break;
    default:
      break;
  }
  return true;
}

void CVSceneTitle::StartBackdropWipe() {
  EndBackdropWipe(true);
  if (!mainPanel_) return;
  const std::string pattern = std::string(GetModuleDir()) + kBackdropWipePattern;
  auto* wipe = new CVShaderTransition(pattern.c_str(), kBackdropWipeMs, false);
  backdropWipe_ = mainPanel_->AddShader(new RenderWidgetShader(-1, wipe), false, 0);
}

// Once the wipe has run (or at once with `always`) the backdrop draws plain again.
void CVSceneTitle::EndBackdropWipe(bool always) {
  if (backdropWipe_ < 0 || !mainPanel_) return;
  auto it = mainPanel_->Shaders().find(backdropWipe_);
  if (!always && it != mainPanel_->Shaders().end() && it->second && it->second->IsEnabled()) return;
  mainPanel_->RemoveShader(backdropWipe_);
  backdropWipe_ = -1;
}

void CVSceneTitle::StartTitleMusic() {
  if (musicStarted_) return;
  musicStarted_ = 1;
  GetTitlePorts().playMusic(kTitleMusic, kTitleMusicFade);
}

int32_t CVSceneTitle::UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) {
  TitlePorts& ports = GetTitlePorts();
  if (exitQuestionPending_ == 0) {
    if (GetDialogResult() == 1) ports.requestQuit();
    exitQuestionPending_ = -1;
  }

  EndBackdropWipe(false);
  switch (phase_) {
    case kPhaseMovie:
      if (!ports.allMoviesFinished() && !leftClick) break;
      ports.closeAllMovies();
      SetPhase(kPhaseMenu, 0, 1);
      break;
    case kPhaseLogo:
      if (!logoWindow_ || (IsShownWidget(logoWindow_) && !logoWindow_->IsAnimeQueued())) {
        SetPhase(kPhaseMovie, 0, 1);
      } else if (leftClick && ports.startCounter() >= 2) {
        logoWindow_->FinishAnimeTree();
      }
      break;
    case kPhaseMenu:
      switch (GetStepValue()) {
        case 0:
          StartTitleMusic();
          SetStepValue(1);
          break;
        case 1:
          musicStarted_ = 0;
          if (!mainPanel_ || (IsShownWidget(mainPanel_) && !mainPanel_->IsAnimeQueued())) {
            SetStepValue(2);
            if (buttonArea_) buttonArea_->SetFlagAll(kWfNoHit, false);
          } else if (leftClick) {
            mainPanel_->FinishAnime();
            if (mainPicture_) mainPicture_->FinishAnimeTree();
            if (buttonArea_) buttonArea_->FinishAnimeTree();
            Show(afterButton_, false);
          }
          break;
        case 2:
          switch (lastHit) {
            case kStory:
            case kStorySecond:
              GameMode = game_mode::kMainScript;
              if (!ports.loadStoryScripts()) plat::Log("title", "story script set did not load");
              ports.setSwitch0(lastHit == kStory ? 0 : 1);
              break;
            case kStrategy:
              GameMode = game_mode::kStartSlg;
              break;
            case kQuit:
              if (OpenDialogScene(3, 0)) exitQuestionPending_ = 0;
              break;
            case kExtras:
              SetPhase(kPhaseExtras, 1, 0);
              break;
            case kTutorial:
              GetSceneMgr().RequestChangeWithCover(kTutorialScene, 1, -1.0f, -1.0f);
              break;
            case kLoad:
              GetSceneMgr().RequestChangeWithCover(kLoadScene, 1, -1.0f, -1.0f);
              break;
            case kSettings:
              GetSceneMgr().RequestChangeWithCover(kSettingsScene, 1, -1.0f, -1.0f);
              break;
            default:
              break;
          }
          break;
        default:
          break;
      }
      break;
    case kPhaseExtras:
      if (GetStepValue() != 2) break;
      StartTitleMusic();
      OmakeSelection = 65535;
      if (lastHit >= kExtrasFirst && lastHit < kExtrasBack) {
        musicStarted_ = 0;
        OmakeSelection = static_cast<uint16_t>(lastHit - kExtrasFirst + 1);
        GetSceneMgr().RequestChangeWithCover(kExtrasScene, 1, -1.0f, -1.0f);
      } else if (lastHit == kExtrasBack) {
        SetPhase(kPhaseMenu, 1, 0);
      }
      break;
    default:
      break;
  }

  lastX_ = x;
  lastY_ = y;
  lastButtons_ = GetSceneMgr().GetMouseButton();
  return CVScene::UpdateMainMenu(x, y, leftClick, lastHit);
}

bool CVSceneTitle::IsPointerIdle(int32_t x, int32_t y) const {
  return x == lastX_ && y == lastY_ && lastButtons_ == 0 && GetTitlePorts().windowActive() && x != -1 && y != -1;
}

void CVSceneTitle::EnableExtrasButtons() {
  if (!mainPanel_) return;
  for (int32_t id = kExtrasFirst; id <= kExtrasBack; ++id)
    if (CVMenuBtn* b = mainPanel_->FindButtonById(id)) b->SetFlag(kWfEnabled, true);
}
