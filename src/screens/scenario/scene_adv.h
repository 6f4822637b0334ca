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

#include "scenario/script/adv_script.h"
#include "screens/scenario/menu_adv.h"
#include "ui/scenes/cv_scene.h"

class CVSceneADV : public CVScene, public AdvScenePort {
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
  void OnDeviceReset() override;
  int32_t UpdateMainMenu(int32_t x, int32_t y, int32_t leftClick, int32_t lastHit) override;

  // AdvScenePort
  bool SaveWindowState(std::vector<uint8_t>& out) override;

  // --- modes ---
  void SetSkip(bool on);
  bool IsSkip() const { return Mode(kModeSkip); }
  void SetAuto(bool on);
  bool IsAuto() const { return Mode(kModeAuto); }
  void SetFastForward(bool on);
  bool IsFastForward() const { return Mode(kModeFastForward); }
  bool IsMoviePlaying() const { return Mode(kModeMovie); }
  void ShowWindow(bool on);
  bool IsWindowOn() const { return Mode(kModeWindowOn); }
  void SetWindowOnFlag(bool on) { SetMode(kModeWindowOn, on); }
  void SetOnlyNextCommand(bool on);
  void SetWaitAdvance(bool v) { waitAdvance_ = v ? 1 : 0; }
  bool WaitAdvance() const { return waitAdvance_ != 0; }
  bool PlayMovie(const char* path);

  // --- messages ---
  bool SetMessage(int32_t readId, const char* speaker, const std::vector<AdvTextRecord>& records, bool newPage);
  // When the message just shown waited for the player: clears the mark and gives its speaker.
  bool TakeFinishedMessage(char speaker[21]);
  // Adds the finished message to the backlog with the voice remembered for it (#TalkEnd).
  bool AddFinishedToBacklog();
  void SetBacklogVoice(const char* name, int32_t number, int32_t param);
  bool TalkClear();
  bool SetChoices(const std::vector<AdvChoice>& choices);
  int32_t GetChosenLabel() const;
  bool IsMessageBusy() const;
  bool IsPageSwapping() const;
  bool IsCharMoving() const;
  bool IsTransitionRunning() const;
  bool IsZoomRunning() const;
  bool IsSpriteAnimating() const;
  bool SaveState(std::vector<uint8_t>& out) const;
  bool LoadState(const uint8_t* data, size_t size);
  void ApplyWindowAlpha();

  // --- picture forwarders (false without a window) ---
  bool LoadChar(int32_t slot, const char* name, int32_t position);
  bool ShowChar(int32_t slot, float x0, float y0, float x1, float y1, float timeMs);
  bool HideChar(int32_t slot, float x, float y, float timeMs);
  bool MoveChar(int32_t slot, float x, float y, float timeMs);
  bool LoadLayerImage(int32_t layer, const char* file, int32_t flag);
  bool SwapBgPage(float timeMs, const char* file);
  bool SwapBgPageRot(float a, float b, float c, const char* file);
  bool LoadEffectLayer(int32_t layer, const char* file);
  bool EffectIn(int32_t layer, float timeMs, const char* pattern);
  bool EffectOut(int32_t layer, float timeMs, const char* pattern);
  bool SetSprite(int32_t id, const char* file);
  bool TweenCurrent(uint16_t kind, const float v[4], float timeMs, int32_t flag);
  bool StartSpriteAnime(int32_t id);
  bool ClearSpriteAnime(int32_t id);
  bool LensFlare(float x, float y, float a, float b, float c);
  bool Zoom(float a, float b, float c, float d, float e);

  CVMenuADV* Window() const { return window_; }
  uint16_t ModeFlags() const { return modeFlags_; }
  float AutoTimer() const { return autoTimer_; }
  bool StateRestored() const { return stateRestored_ != 0; }
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
  AdvVoiceRecord backlogVoice_;
};

// The scene factory entry for id 2.
CVScene* CreateAdvScene(int32_t id);
// Scene 2 and menu type 20 registered with the scene manager and the menu factory.
void RegisterScenarioScenes(class CVSceneMgr& mgr);
