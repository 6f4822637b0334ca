#include "screens/scenario/scene_adv.h"

#include <cstring>

#include "core/cv_input.h"
#include "platform/text/log.h"
#include "screens/scenario/adv_ports.h"
#include "ui/menus/menu_factory.h"
#include "ui/scenes/scene_mgr.h"

namespace {
constexpr int32_t kAdvMenuType = 20;
}  // namespace

CVScene* CreateAdvScene(int32_t id) { return new CVSceneADV(id); }

void RegisterScenarioScenes(CVSceneMgr& mgr) {
  RegisterMenuType(kAdvMenuType, &CreateAdvMenu);
  mgr.SetSceneFactory(2, &CreateAdvScene);
}

CVSceneADV::CVSceneADV(int32_t sceneId, AdvScript* script)
    : CVScene(-1, sceneId), script_(script ? script : &GetAdvScript()) {}

CVSceneADV::~CVSceneADV() {
  if (script_->GetScene() == this) script_->SetScene(nullptr);
  if (GetAdvPresenter() == this) SetAdvPresenter(nullptr);
}

bool CVSceneADV::OnStart() {
  script_->SetScene(this);
  SetAdvPresenter(this);
  window_ = dynamic_cast<CVMenuADV*>(FindMenu(0));
  if (!window_) plat::Log("adv", "scene 2 has no message window (menu type 20)");
  if (window_) window_->SetScene(this);
  SetMode(kModeSkip, false);
  SetMode(kModeAuto, false);
  SetMode(kModeFastForward, false);
  if (stateRestored_) {
    stateRestored_ = 0;
    return false;
  }
  return true;
}

bool CVSceneADV::OnStop() {
  advanceInput_ = 0;
  if (window_) window_->StopWindow();
  if (script_->GetScene() == this) script_->SetScene(nullptr);
  if (GetAdvPresenter() == this) SetAdvPresenter(nullptr);
  AdvPorts& p = GetAdvPorts();
  if (Mode(kModeMovieEnded) || Mode(kModeMovie)) {
    if (p.closeMovies) p.closeMovies();
    SetMode(kModeMovieEnded, false);
    SetMode(kModeMovie, false);
  }
  if (p.fadeVoiceOut) p.fadeVoiceOut();
  return true;
}

bool CVSceneADV::OnEnter() {
  if (window_) {
    // Back from a screen pushed over the story (save, load, settings), a choice the script waits on
    // stays: hidden, it would answer "no label" and send the script to its start.
    if (window_->Bit(CVMenuADV::kWsBacklog)) window_->CloseBacklog();
    window_->RefreshModeButtons();
    window_->ApplyWindowAlpha();
  }
  return CVScene::OnEnter();
}

bool CVSceneADV::OnLeave() {
  // A screen pushed over the story: the last advance input does not stay readable beneath it.
  advanceInput_ = 0;
  return CVScene::OnLeave();
}

void CVSceneADV::OnDeviceReset() {
  if (window_) window_->ReloadLayerImages();
}

bool CVSceneADV::SaveWindowState(std::vector<uint8_t>& out) {
  if (!window_) return false;
  out = window_->SaveState();
  return true;
}

// --- modes ------------------------------------------------------------------------------------

void CVSceneADV::SetSkip(bool on) {
  SetMode(kModeSkip, on);
  if (window_) window_->RefreshModeButtons();
  skipLastFrame_ = on ? 1 : 0;
}

void CVSceneADV::SetAuto(bool on) {
  SetMode(kModeAuto, on);
  if (!on) autoTimer_ = 0.0f;
  if (window_) window_->RefreshModeButtons();
}

void CVSceneADV::SetFastForward(bool on) {
  SetMode(kModeFastForward, on);
  AdvStepInput in;
  in.fastForward = on;
  if (window_) window_->SetStepInput(in);
  if (on) {
    AdvPorts& p = GetAdvPorts();
    if (p.fadeVoiceOut) p.fadeVoiceOut();
  }
  waitAdvance_ = 0;
}

void CVSceneADV::ShowWindow(bool on) {
  if (window_) window_->ShowWindow(on);
  SetMode(kModeWindowOn, on);
}

void CVSceneADV::SetOnlyNextCommand(bool on) {
  if (window_) window_->SetOnlyNextCommand(on);
  SetMode(kModeOnlyNext, on);
}

bool CVSceneADV::PlayMovie(const char* path) {
  AdvPorts& p = GetAdvPorts();
  if (!path || !p.playMovie || !p.playMovie(path)) return false;
  SetMode(kModeMovie, true);
  if (window_) window_->OnMovieStart();
  if (p.stopMusic) p.stopMusic();
  return true;
}

// --- messages ---------------------------------------------------------------------------------

bool CVSceneADV::SetMessage(int32_t readId, const char* speaker, const std::vector<v4fmt::ScriptTextRecord>& records,
                            bool newPage) {
  // A load hands its pictures over before the interpreter shows the restored message again (it
  // steps before the scene's update).
  ApplyPendingState();
  if (!speaker) return false;
  // An empty record list still makes a page that waits (shown empty) rather than a wait on nothing.
  if (records.empty() || records.back().d < 0) {
    waitAdvance_ = 1;
    messageFinished_ = 1;
  } else if (newPage) {
    waitAdvance_ = 0;
    messageFinished_ = 0;
  }
  if (!window_) return false;
  // Past the page's first message a new page means the choice it was saved at is not coming.
  if (resumeAtChoice_ && newPage && resumeAtChoice_++ > 1) resumeAtChoice_ = 0;
  const bool shown = window_->SetMessage(readId, speaker, records, newPage);
  if (resumeAtChoice_) {
    // The player had read this page to its choice before saving: shown whole, no wait.
    waitAdvance_ = 0;
    window_->RevealAll();
  }
  return shown;
}

bool CVSceneADV::TakeFinishedMessage(std::string& speaker, std::string& text) {
  if (!messageFinished_ || !window_) return false;
  messageFinished_ = 0;
  char name[21];
  window_->GetSpeakerName(name);
  speaker = name;
  text = window_->PageText();
  return true;
}

void CVSceneADV::SetBacklogVoice(const char* name, int32_t number, int32_t param) {
  adv::SjisCopy(backlogVoice_.fileName, sizeof backlogVoice_.fileName, name ? name : "");
  backlogVoice_.number = number;
  backlogVoice_.param = param;
}

void CVSceneADV::TalkClear() {
  if (window_) window_->TalkClear();
}

bool CVSceneADV::SetChoices(const std::vector<AdvChoice>& choices) {
  ApplyPendingState();
  resumeAtChoice_ = 0;
  return window_ && window_->SetChoices(choices);
}

int32_t CVSceneADV::GetChosenLabel() const { return window_ ? window_->GetChosenLabel() : 0; }

bool CVSceneADV::IsMessageBusy() const {
  if (waitAdvance_) return true;
  return window_ && (window_->IsMessageBusy() || window_->Bit(CVMenuADV::kWsChoice));
}

bool CVSceneADV::IsPageSwapping() const {
  return window_ && (window_->Bit(CVMenuADV::kWsPageSwap) || window_->Bit(CVMenuADV::kWsPageSwap2));
}
bool CVSceneADV::IsCharMoving() const { return window_ && window_->Bit(CVMenuADV::kWsCharMove); }
bool CVSceneADV::IsTransitionRunning() const { return window_ && window_->Bit(CVMenuADV::kWsTransition); }
bool CVSceneADV::IsZoomRunning() const { return window_ && window_->Bit(CVMenuADV::kWsZoom); }
bool CVSceneADV::IsSpriteAnimating() const { return window_ && window_->IsSpriteAnimating(); }

bool CVSceneADV::SaveState(std::vector<uint8_t>& out) const {
  if (!window_) return false;
  out = window_->SaveState();
  return true;
}

bool CVSceneADV::LoadState(const uint8_t* data, size_t size) {
  if (!window_ || !window_->LoadState(data, size)) return false;
  stateRestored_ = 1;
  // The restored message is shown again by the interpreter: nothing waits on the old page.
  waitAdvance_ = 0;
  messageFinished_ = 0;
  autoTimer_ = 0.0f;
  return true;
}

void CVSceneADV::ApplyWindowAlpha() {
  if (window_) window_->ApplyWindowAlpha();
}

void CVSceneADV::ApplyPendingState() {
  if (!script_->HasPendingWindowState()) return;
  std::vector<uint8_t> state;
  script_->TakePendingWindowState(state);
  resumeAtChoice_ = script_->SavedAtChoice() ? 1 : 0;
  if (state.empty()) {
    if (window_) {
      window_->ResetPictures();
      window_->TalkClear();
    }
    return;
  }
  if (!LoadState(state.data(), state.size())) plat::Log("adv", "loaded game's pictures could not be restored");
  stateRestored_ = 0;
}

// --- forwarders -------------------------------------------------------------------------------

bool CVSceneADV::LoadChar(int32_t slot, const char* name, int32_t position) {
  ApplyPendingState();
  return window_ && window_->LoadChar(slot, name, position);
}
bool CVSceneADV::ShowChar(int32_t slot, int32_t x0, int32_t y0, int32_t x1, int32_t y1, float t) {
  return window_ && window_->ShowChar(slot, static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1),
                                      static_cast<float>(y1), t);
}
bool CVSceneADV::HideChar(int32_t slot, int32_t x, int32_t y, float t) {
  return window_ && window_->HideChar(slot, static_cast<float>(x), static_cast<float>(y), t);
}
bool CVSceneADV::MoveChar(int32_t slot, int32_t x, int32_t y, float t) {
  return window_ && window_->MoveChar(slot, static_cast<float>(x), static_cast<float>(y), t);
}
bool CVSceneADV::LoadLayerImage(int32_t layer, const char* file, bool flag) {
  ApplyPendingState();
  return window_ && window_->LoadLayerImage(layer, file, flag ? 1 : 0);
}
bool CVSceneADV::SwapBgPage(int32_t t, const char* file) {
  ApplyPendingState();
  return window_ && window_->SwapBgPage(static_cast<float>(t), file);
}
bool CVSceneADV::SwapBgPageRot(int32_t a, int32_t b, int32_t c) {
  return window_ && window_->SwapBgPageRot(static_cast<float>(a), static_cast<float>(b), static_cast<float>(c));
}
bool CVSceneADV::LoadEffectLayer(int32_t layer, const char* file, bool) {
  return window_ && window_->LoadEffectLayer(layer, file);
}
bool CVSceneADV::EffectIn(int32_t layer, int32_t t, const char* pattern) {
  return window_ && window_->SetLayerTransition(layer, static_cast<float>(t), pattern, true);
}
bool CVSceneADV::EffectOut(int32_t layer, int32_t t, const char* pattern) {
  return window_ && window_->SetLayerTransition(layer, static_cast<float>(t), pattern, false);
}
bool CVSceneADV::LensFlare(int32_t x, int32_t y, int32_t a, int32_t b, int32_t c) {
  return window_ && window_->LensFlare(static_cast<float>(x), static_cast<float>(y), static_cast<float>(a),
                                       static_cast<float>(b), static_cast<float>(c));
}
bool CVSceneADV::Zoom(int32_t a, int32_t b, int32_t c, int32_t d, int32_t) {
  return window_ && window_->Zoom(static_cast<float>(a) / 100.0f, static_cast<float>(b), static_cast<float>(c),
                                  static_cast<float>(d));
}

namespace {
uint16_t KindOf(AdvTweenVariant v, uint16_t plain) {
  const int off = static_cast<int>(v);
  return static_cast<uint16_t>(plain + (off >= 0 && off <= 2 ? off : 0));
}
}  // namespace

bool CVSceneADV::SetSprite(int32_t id, int32_t) {
  ApplyPendingState();
  return window_ && window_->SetSprite(id);
}
bool CVSceneADV::SetSpriteImg(const char* file) { return window_ && window_->SetSpriteImage(file); }
bool CVSceneADV::SetAddBlend(bool on) { return window_ && window_->SetSpriteAddBlend(on); }
bool CVSceneADV::SetWaitCheck(bool on) { return window_ && window_->SetSpriteWaitCheck(on); }
bool CVSceneADV::StartSpriteMovie(bool) {
  // Sprite pictures that are movies start with their picture; nothing more to start.
  return window_ && window_->HasCurrentSprite();
}
bool CVSceneADV::SpriteAnimeClear(int32_t id, int32_t v) {
  // v 0: the keys go, the sprite stays where they left it; any other v removes the sprite too.
  if (!window_) return false;
  return v == 0 ? window_->ClearSpriteAnime(id) : window_->RemoveSprite(id);
}
bool CVSceneADV::SpriteAnimeMove(AdvTweenVariant v, int32_t id, float x, float y, float z, int32_t t, int32_t flag) {
  const float p[4] = {x, y, z, 0};
  return window_ && window_->TweenSprite(id, KindOf(v, kAnimeMove), p, static_cast<float>(t), flag);
}
bool CVSceneADV::SpriteAnimeRot(AdvTweenVariant v, int32_t id, float a, float b, float c, float, int32_t t,
                                int32_t flag) {
  const float p[4] = {a, b, c, 0};
  return window_ && window_->TweenSprite(id, KindOf(v, kAnimeRot), p, static_cast<float>(t), flag);
}
bool CVSceneADV::SpriteAnimeScale(AdvTweenVariant v, int32_t id, float x, float y, float z, int32_t t, int32_t flag) {
  const float p[4] = {x, y, z == 0.0f ? 1.0f : z, 0};
  return window_ && window_->TweenSprite(id, KindOf(v, kAnimeScale), p, static_cast<float>(t), flag);
}
bool CVSceneADV::SpriteAnimeColor(AdvTweenVariant v, int32_t id, float c2, float c3, float c4, float c1, float,
                                  int32_t t, int32_t flag) {
  // (c2, c3, c4) are red, green and blue, c1 the alpha.
  const float p[4] = {c2, c3, c4, c1};
  return window_ && window_->TweenSprite(id, KindOf(v, kAnimeColor), p, static_cast<float>(t), flag);
}
bool CVSceneADV::SpriteAnimeWait(int32_t id, float t, int32_t, int32_t flag) {
  const float p[4] = {0, 0, 0, 0};
  return window_ && window_->TweenSprite(id, kAnimeWait, p, t, flag);
}
bool CVSceneADV::SpriteAnimeParts(int32_t id, int32_t a, float t, int32_t b, int32_t flag) {
  return window_ && window_->SpriteParts(id, a, t, b, flag);
}
bool CVSceneADV::SpriteCut(int32_t id, int32_t a, float w, float h) {
  return window_ && window_->SpriteCut(id, a, w, h);
}
bool CVSceneADV::SpriteAnimeStart(int32_t id) { return window_ && window_->StartSpriteAnime(id); }

// --- the per-frame driver ---------------------------------------------------------------------

namespace {
// A shown button under the pointer in the subtree (the pointer flag their update keeps); hidden
// subtrees are skipped whole.
bool ButtonUnderPointer(CVMenuBase* w) {
  if (!w->IsShown()) return false;
  if (w->widgetType == kWidgetBtn && w->TestFlag(kWfPointerOver)) return true;
  bool over = false;
  ForEachChild(w, [&](CVMenuBase* c) { over = over || ButtonUnderPointer(c); });
  return over;
}
}  // namespace

bool CVSceneADV::PointerOverWidget() const {
  for (const SceneMenu& m : menus_)
    if (ButtonUnderPointer(m.widget)) return true;
  return false;
}

int32_t CVSceneADV::UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) {
  AdvPorts& p = GetAdvPorts();
  ApplyPendingState();
  // Beneath a question (the dialog scene runs this scene under it) the player's clicks, keys and
  // wheel answer the question: none of them reaches the story.
  const bool input = GetSceneMgr().GetCurrentScene() == this;
  if (!input) leftClick = 0;
  auto pressed = [&](int vk) { return input && p.keyPressed && p.keyPressed(vk); };
  const bool click = leftClick != 0 && !PointerOverWidget();
  const int32_t wheel = input && p.wheel ? p.wheel() : 0;
  AdvStepInput in;
  in.click = click;
  in.rightClick = input && GetClickState() == 2;
  in.enter = pressed(VK_RETURN);
  in.space = pressed(VK_SPACE);
  in.wheel = wheel;
  in.fastForward = IsFastForward();
  in.dt = frameTime_;
  advanceInput_ = (click || in.enter || wheel < 0) ? 1 : 0;

  // 1-2. Full-screen movie: ends when every movie has finished or on a click; closed next frame.
  if (Mode(kModeMovie)) {
    if ((p.moviesFinished && p.moviesFinished()) || leftClick) {
      SetMode(kModeMovie, false);
      SetMode(kModeMovieEnded, true);
    }
    in.moviePlaying = true;
    if (window_) window_->SetStepInput(in);
    return CVScene::UpdateMainMenu(x, y, leftClick, lastHit);
  }
  if (Mode(kModeMovieEnded)) {
    if (p.closeMovies) p.closeMovies();
    SetMode(kModeMovieEnded, false);
  }

  const bool backlogOpen = window_ && window_->Bit(CVMenuADV::kWsBacklog);
  const bool choiceOpen = window_ && window_->Bit(CVMenuADV::kWsChoice);
  const bool onlyNext = Mode(kModeOnlyNext);
  const bool ctrl = input && p.keyHeld && p.keyHeld(VK_CONTROL);

  // 3. Skip this frame: skip mode or Ctrl over a message the player may skip.
  const bool mayskip = window_ && window_->IsMessageRead() && !backlogOpen && !choiceOpen && !onlyNext;
  const bool skipNow = (IsSkip() || ctrl) && mayskip;
  if (ctrl && skipNow && !IsSkip()) SetSkip(true);
  in.skipActive = skipNow;

  // 4. Animations run five times as fast while skipping.
  SetSpeed(skipNow ? 5.0f : 1.0f);

  const bool textComplete = !window_ || !window_->IsMessageBusy();
  const bool voice = p.voicePlaying && p.voicePlaying();

  // 5. Auto mode.
  bool autoAdvance = false;
  if (IsAuto()) {
    if (autoTimer_ <= 0.0f) {
      autoTimer_ = window_ ? window_->CalcAutoWait() : 0.0f;
    } else {
      autoTimer_ -= frameTime_;
      if (autoTimer_ <= 0.0f) {
        if (!voice && textComplete) autoAdvance = true;
        autoTimer_ = 0.0f;
      }
    }
  }

  // 6. Advance.
  if (textComplete && !backlogOpen) {
    const bool advanceInput = click || in.enter || wheel < 0;
    if (advanceInput || skipNow || autoAdvance) {
      if (waitAdvance_ && (advanceInput || skipNow || autoAdvance)) {
        waitAdvance_ = 0;
        if (voice && p.fadeVoiceOut) p.fadeVoiceOut();
        autoTimer_ = 0.0f;
      }
    }
  }

  // 7. Ending skip and auto.
  const bool ctrlReleased = input && p.keyReleased && p.keyReleased(VK_CONTROL);
  const bool stop = click || wheel < 0 || backlogOpen || ctrlReleased;
  if (!skipNow && skipLastFrame_) {
    SetSkip(false);
  } else if (skipNow && stop) {
    SetSkip(false);
    ResetHit();
  }
  if (IsAuto() && (stop || skipNow)) {
    SetAuto(false);
    ResetHit();
  }

  // 8.
  skipLastFrame_ = skipNow ? 1 : 0;
  in.skipActive = skipNow;
  if (window_) window_->SetStepInput(in);
  return CVScene::UpdateMainMenu(x, y, leftClick, lastHit);
}
