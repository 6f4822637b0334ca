// CVSceneADV (scene 2): the scene in which story scripts are shown. It owns the message window
// (menu type 20, scene-menu id 0), registers itself with the script state while it runs, keeps the
// play modes of the story as flag bits (skip, auto, fast-forward, movie, window on,
// only-next-command) and decides each step whether the shown message is finished: by the player,
// by the auto timer or by skipping. The interpreter's presentation opcodes reach the window
// through its forwarding operations, which answer false (or 0) when there is no window.
//
// A saved window state handed over by a load (the script state's pending window state) is
// applied on the scene's next step, whether the scene is new or was already running; the
// window then shows no message, choice or wait, and the interpreter resumes at the restored
// message.
#pragma once
#include <cstdint>
#include <vector>

#include "scenario/adv_presenter.h"
#include "scenario/script/adv_script.h"
#include "screens/scenario/menu_adv.h"
#include "ui/scenes/cv_scene.h"

class CVSceneADV : public CVScene, public AdvScenePort, public AdvPresenter {
 public:
  enum : int {
    kModeSkip = 0,
    kModeAuto = 1,
    kModeFastForward = 2,
    kModeMovie = 3,
    kModeMovieEnded = 4,
    kModeWindowOn = 5,
    kModeOnlyNext = 6,
  };

  explicit CVSceneADV(int32_t sceneId = 2, AdvScript* script = nullptr);
  ~CVSceneADV() override;

  bool OnStart() override;
  bool OnStop() override;
  bool OnEnter() override;
  bool OnLeave() override;
  void OnDeviceReset() override;
  int32_t UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) override;

  // AdvScenePort
  bool SaveWindowState(std::vector<uint8_t>& out) override;
  bool IsChoiceOpen() const override { return window_ && window_->Bit(CVMenuADV::kWsChoice); }

  // --- modes (AdvPresenter) ---
  void SetSkip(bool on) override;
  bool IsSkip() const override { return Mode(kModeSkip); }
  void SetAuto(bool on) override;
  bool IsAuto() const override { return Mode(kModeAuto); }
  void SetFastForward(bool on) override;
  bool IsFastForward() const override { return Mode(kModeFastForward); }
  bool HasAdvanceInput() const override { return advanceInput_ != 0; }
  // Until the ended movie is closed (on the scene's next update): no other movie opens while a
  // full-screen one is open, so what follows it waits a frame.
  bool IsMoviePlaying() const override { return Mode(kModeMovie) || Mode(kModeMovieEnded); }
  void ShowWindow(bool on) override;
  bool IsWindowOn() const { return Mode(kModeWindowOn); }
  void SetWindowOnFlag(bool on) { SetMode(kModeWindowOn, on); }
  void SetOnlyNextCommand(bool on) override;
  void SetWaitAdvance(bool v) { waitAdvance_ = v ? 1 : 0; }
  bool WaitAdvance() const { return waitAdvance_ != 0; }
  bool PlayMovie(const char* path) override;

  // --- messages ---
  bool SetMessage(int32_t readId, const char* speaker, const std::vector<v4fmt::ScriptTextRecord>& records,
                  bool newPage) override;
  // When the message just shown waited for the player: clears the mark and gives its speaker and
  // page text (for the backlog).
  bool TakeFinishedMessage(std::string& speaker, std::string& text) override;
  void SetBacklogVoice(const char* name, int32_t number, int32_t param) override;
  void TalkClear() override;
  bool SetChoices(const std::vector<AdvChoice>& choices) override;
  int32_t GetChosenLabel() const override;
  bool IsMessageBusy() const override;
  bool IsPageSwapping() const override;
  bool IsCharMoving() const override;
  bool IsTransitionRunning() const override;
  bool IsZoomRunning() const override;
  bool IsSpriteAnimating() const override;
  bool SaveState(std::vector<uint8_t>& out) const;
  bool LoadState(const uint8_t* data, size_t size);
  void ApplyWindowAlpha();

  // --- pictures (false without a window) ---
  bool LoadChar(int32_t slot, const char* name, int32_t position) override;
  bool ShowChar(int32_t slot, int32_t x0, int32_t y0, int32_t x1, int32_t y1, float time) override;
  bool HideChar(int32_t slot, int32_t x, int32_t y, float time) override;
  bool MoveChar(int32_t slot, int32_t x, int32_t y, float time) override;
  bool LoadLayerImage(int32_t layer, const char* file, bool flag) override;
  bool SwapBgPage(int32_t time, const char* file) override;
  bool SwapBgPageRot(int32_t a, int32_t b, int32_t c) override;
  bool LoadEffectLayer(int32_t layer, const char* file, bool flag) override;
  bool EffectIn(int32_t layer, int32_t time, const char* pattern) override;
  bool EffectOut(int32_t layer, int32_t time, const char* pattern) override;
  bool LensFlare(int32_t x, int32_t y, int32_t a, int32_t b, int32_t c) override;
  // a: scale in percent, (b, c) the centre, d the time in ms; e is not used.
  bool Zoom(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) override;

  // --- sprites ---
  bool SetSprite(int32_t id, int32_t v) override;
  bool SetSpriteImg(const char* file) override;
  bool SetAddBlend(bool on) override;
  bool SetWaitCheck(bool on) override;
  bool StartSpriteMovie(bool on) override;
  bool SpriteAnimeClear(int32_t id, int32_t v) override;
  bool SpriteAnimeMove(AdvTweenVariant variant, int32_t id, float x, float y, float z, int32_t time,
                       int32_t flag) override;
  bool SpriteAnimeRot(AdvTweenVariant variant, int32_t id, float a, float b, float c, float d, int32_t time,
                      int32_t flag) override;
  bool SpriteAnimeScale(AdvTweenVariant variant, int32_t id, float x, float y, float z, int32_t time,
                        int32_t flag) override;
  bool SpriteAnimeColor(AdvTweenVariant variant, int32_t id, float c2, float c3, float c4, float c1, float c5,
                        int32_t time, int32_t flag) override;
  bool SpriteAnimeWait(int32_t id, float time, int32_t a, int32_t b) override;
  bool SpriteAnimeParts(int32_t id, int32_t a, float time, int32_t b, int32_t c) override;
  bool SpriteCut(int32_t id, int32_t a, float w, float h) override;
  bool SpriteAnimeStart(int32_t id) override;

  CVMenuADV* Window() const { return window_; }
  AdvScript& Script() const { return *script_; }

 private:
  bool Mode(int b) const { return (modeFlags_ >> b) & 1u; }
  void SetMode(int b, bool on) {
    modeFlags_ = on ? static_cast<uint16_t>(modeFlags_ | (1u << b)) : static_cast<uint16_t>(modeFlags_ & ~(1u << b));
  }
  void ApplyPendingState();
  bool PointerOverWidget() const;

  AdvScript* script_;
  uint16_t modeFlags_ = 0;
  CVMenuADV* window_ = nullptr;
  float autoTimer_ = 0.0f;
  uint8_t waitAdvance_ = 0;
  uint8_t messageFinished_ = 0;
  uint8_t skipLastFrame_ = 0;
  uint8_t stateRestored_ = 0;
  // A game saved at a choice was loaded: its page comes again up to the choice, read already.
  uint8_t resumeAtChoice_ = 0;
  AdvVoiceRecord backlogVoice_;
  uint8_t advanceInput_ = 0;
};

// The scene factory entry for id 2.
CVScene* CreateAdvScene(int32_t id);
// Scene 2 and menu type 20 registered with the scene manager and the menu factory.
void RegisterScenarioScenes(class CVSceneMgr& mgr);
