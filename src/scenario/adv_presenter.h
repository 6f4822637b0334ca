// What the interpreter shows through the scenario scene and its message window. The scenario
// scene implements this class and installs itself while it runs (SetAdvPresenter in its start,
// SetAdvPresenter(nullptr) in its stop); the interpreter reaches it only through GetAdvPresenter.
// Every operation has a do-nothing default, so a scene without a message window, or a test fake
// that records only what it cares about, answers "nothing there" (false, 0, not busy).
//
// Numbers arrive as the script wrote them: times in milliseconds (as floats where a tween takes
// them), positions in screen pixels, the sprite scale already divided by 100.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "formats/script/script_code.h"

// One entry of a #Select: the label to jump to and the choice's text (CP932).
struct AdvChoice {
  int32_t label = 0;
  std::string text;
};

// The three key kinds of one sprite track (#SpriteAnimeMove, ...MoveD, ...MoveDA and alike).
enum class AdvTweenVariant : int { kPlain = 0, kD = 1, kDA = 2 };

class AdvPresenter {
 public:
  virtual ~AdvPresenter() = default;

  // --- Play modes of the scene -----------------------------------------------------------------
  virtual bool IsSkip() const { return false; }
  virtual void SetSkip(bool on) {}
  virtual bool IsAuto() const { return false; }
  virtual void SetAuto(bool on) {}
  // Fast-forward runs the script to its next real stop within one frame.
  virtual bool IsFastForward() const { return false; }
  virtual void SetFastForward(bool on) {}
  // The player gave the advance input this frame (a click outside every widget, Enter, or the
  // wheel turned towards the player); read by #Wait_InputJump.
  virtual bool HasAdvanceInput() const { return false; }

  // --- Messages ----------------------------------------------------------------------------------
  // #TalkStart (newPage true) and #TalkStartAdd_ (false). readId is the read-message number.
  virtual bool SetMessage(int32_t readId, const char* speaker, const std::vector<v4fmt::ScriptTextRecord>& records,
                          bool newPage) {
    return false;
  }
  // The voice played with the shown message, kept for the backlog.
  virtual void SetBacklogVoice(const char* name, int32_t number, int32_t param) {}
  // At #TalkEnd: true once for a message that waited for the player; gives its speaker and page
  // text for the backlog.
  virtual bool TakeFinishedMessage(std::string& speaker, std::string& text) { return false; }
  virtual void TalkClear() {}                  // #TalkClear
  virtual void ShowWindow(bool on) {}          // #MessageOFF (false)
  virtual void SetOnlyNextCommand(bool on) {}  // #OnlyNextCom

  // --- Choices -----------------------------------------------------------------------------------
  virtual bool SetChoices(const std::vector<AdvChoice>& choices) { return false; }
  // Label of the chosen item; 0 when nothing was chosen or there is no window.
  virtual int32_t GetChosenLabel() const { return 0; }

  // --- What the wait checks read -----------------------------------------------------------------
  // A message is being shown, a choice list is open, or the scene waits for the player to advance.
  virtual bool IsMessageBusy() const { return false; }
  virtual bool IsPageSwapping() const { return false; }       // #Flip / #FlipRot running
  virtual bool IsCharMoving() const { return false; }         // a standing picture moves or fades out
  virtual bool IsTransitionRunning() const { return false; }  // a layer transition runs
  virtual bool IsZoomRunning() const { return false; }
  virtual bool IsMoviePlaying() const { return false; }
  virtual bool IsSpriteAnimating() const { return false; }  // sprites marked for #WaitDrawAnime

  // --- Movie -------------------------------------------------------------------------------------
  // Full screen, no loop, with sound; path is the program directory plus the script's file.
  virtual bool PlayMovie(const char* path) { return false; }

  // --- Standing pictures, backgrounds, layers ----------------------------------------------------
  virtual bool LoadChar(int32_t slot, const char* name, int32_t position) { return false; }
  virtual bool ShowChar(int32_t slot, int32_t x0, int32_t y0, int32_t x1, int32_t y1, float time) { return false; }
  virtual bool HideChar(int32_t slot, int32_t x, int32_t y, float time) { return false; }
  virtual bool MoveChar(int32_t slot, int32_t x, int32_t y, float time) { return false; }
  virtual bool LoadLayerImage(int32_t layer, const char* file, bool flag) { return false; }   // #BGLoad
  virtual bool SwapBgPage(int32_t time, const char* file) { return false; }                   // #Flip
  virtual bool SwapBgPageRot(int32_t a, int32_t b, int32_t c) { return false; }               // #FlipRot
  virtual bool LoadEffectLayer(int32_t layer, const char* file, bool flag) { return false; }  // #EffectLoad
  virtual bool EffectIn(int32_t layer, int32_t time, const char* pattern) { return false; }
  virtual bool EffectOut(int32_t layer, int32_t time, const char* pattern) { return false; }
  virtual bool LensFlare(int32_t x, int32_t y, int32_t a, int32_t b, int32_t c) { return false; }
  virtual bool Zoom(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) { return false; }

  // --- Sprites -----------------------------------------------------------------------------------
  virtual bool SetSprite(int32_t id, int32_t v) { return false; }
  virtual bool SetSpriteImg(const char* file) { return false; }  // image of the current sprite
  virtual bool SetAddBlend(bool on) { return false; }            // #SetSpriteFlg "AddBlend"
  virtual bool SetWaitCheck(bool on) { return false; }           // #SetSpriteFlg "WaitCheck"
  virtual bool StartSpriteMovie(bool on) { return false; }
  virtual bool SpriteAnimeClear(int32_t id, int32_t v) { return false; }
  virtual bool SpriteAnimeMove(AdvTweenVariant variant, int32_t id, float x, float y, float z, int32_t time,
                               int32_t flag) {
    return false;
  }
  virtual bool SpriteAnimeRot(AdvTweenVariant variant, int32_t id, float a, float b, float c, float d, int32_t time,
                              int32_t flag) {
    return false;
  }
  // x and y are the script's percentages divided by 100.
  virtual bool SpriteAnimeScale(AdvTweenVariant variant, int32_t id, float x, float y, float z, int32_t time,
                                int32_t flag) {
    return false;
  }
  // The script's (c1..c5) arrive as (c2, c3, c4, c1, c5).
  virtual bool SpriteAnimeColor(AdvTweenVariant variant, int32_t id, float c2, float c3, float c4, float c1, float c5,
                                int32_t time, int32_t flag) {
    return false;
  }
  virtual bool SpriteAnimeWait(int32_t id, float time, int32_t a, int32_t b) { return false; }
  virtual bool SpriteAnimeParts(int32_t id, int32_t a, float time, int32_t b, int32_t c) { return false; }
  virtual bool SpriteCut(int32_t id, int32_t a, float w, float h) { return false; }
  virtual bool SpriteAnimeStart(int32_t id) { return false; }
};

// The scenario scene while it runs; null when there is none. Header-only, so that the scene's
// library and the interpreter's meet here without linking each other.
namespace adv_presenter_detail {
inline AdvPresenter*& Slot() {
  static AdvPresenter* presenter = nullptr;
  return presenter;
}
using Ensurer = void (*)();
inline Ensurer& EnsurerSlot() {
  static Ensurer ensurer = nullptr;
  return ensurer;
}
}  // namespace adv_presenter_detail

inline AdvPresenter* GetAdvPresenter() { return adv_presenter_detail::Slot(); }
inline void SetAdvPresenter(AdvPresenter* presenter) { adv_presenter_detail::Slot() = presenter; }

// Makes the scenario scene (scene 2) the current scene when it is not: the "ensure" rule of the
// presentation opcodes. The program's wiring installs it; without one nothing is created.
using AdvSceneEnsurer = void (*)();
inline void SetAdvSceneEnsurer(AdvSceneEnsurer ensurer) { adv_presenter_detail::EnsurerSlot() = ensurer; }
// The presenter, after creating the scene when there is none; null when it cannot be made.
inline AdvPresenter* EnsureAdvPresenter() {
  if (AdvPresenter* p = GetAdvPresenter()) return p;
  if (AdvSceneEnsurer e = adv_presenter_detail::EnsurerSlot()) e();
  return GetAdvPresenter();
}
