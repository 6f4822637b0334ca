// Fixture of the interpreter tests: a recording presenter and recording services writing into one
// call log, a virtual clock, recorded error boxes, and the program's script state loaded in memory
// from assembled source.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/script/script_builder.h"
#include "scenario/adv_presenter.h"
#include "scenario/interp/adv_services.h"
#include "tests/support/recording_boxes.h"

namespace v4test {

// Every presenter call as one log line, e.g. "ShowChar(0,1,2,3,4,5)"; strings in UTF-8.
class RecordingPresenter : public AdvPresenter {
 public:
  explicit RecordingPresenter(std::vector<std::string>& log) : log_(log) {}

  bool IsSkip() const override { return skip; }
  void SetSkip(bool on) override {
    Log("SetSkip(" + B(on) + ")");
    skip = on;
  }
  bool IsAuto() const override { return autoMode; }
  void SetAuto(bool on) override {
    Log("SetAuto(" + B(on) + ")");
    autoMode = on;
  }
  bool IsFastForward() const override { return fastForward; }
  void SetFastForward(bool on) override {
    Log("SetFastForward(" + B(on) + ")");
    fastForward = on && keepFastForward;
  }
  bool HasAdvanceInput() const override { return advanceInput; }
  bool SetMessage(int32_t readId, const char* speaker, const std::vector<v4fmt::ScriptTextRecord>& records,
                  bool newPage) override;
  void SetBacklogVoice(const char* name, int32_t number, int32_t param) override;
  bool TakeFinishedMessage(std::string& speaker, std::string& text) override;
  void TalkClear() override { Log("TalkClear()"); }
  void ShowWindow(bool on) override { Log("ShowWindow(" + B(on) + ")"); }
  void SetOnlyNextCommand(bool on) override { Log("SetOnlyNextCommand(" + B(on) + ")"); }
  bool SetChoices(const std::vector<AdvChoice>& choices) override;
  int32_t GetChosenLabel() const override { return chosenLabel; }
  bool IsMessageBusy() const override { return messageBusy; }
  bool IsPageSwapping() const override { return pageSwapping; }
  bool IsCharMoving() const override { return charMoving; }
  bool IsTransitionRunning() const override { return transition; }
  bool IsZoomRunning() const override { return zoom; }
  bool IsMoviePlaying() const override { return movie; }
  bool IsSpriteAnimating() const override { return spriteAnimating; }
  bool PlayMovie(const char* path) override;
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
  bool Zoom(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) override;
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

  bool skip = false, autoMode = false, fastForward = false, keepFastForward = false, advanceInput = false;
  bool messageBusy = false, pageSwapping = false, charMoving = false, transition = false, zoom = false;
  bool movie = false, spriteAnimating = false;
  int32_t chosenLabel = 0;
  bool finished = false;
  std::string speaker, text;

 private:
  static std::string B(bool on) { return on ? "1" : "0"; }
  void Log(const std::string& line) { log_.push_back(line); }
  std::vector<std::string>& log_;
};

class RecordingServices : public AdvServices {
 public:
  explicit RecordingServices(std::vector<std::string>& log) : log_(log) {}
  void PlayMusic(const char* file, const char* second, int32_t loop, int32_t fadeSpeed) override;
  void PlayEffect(int32_t channel, const char* file, int32_t loop, int32_t fadeSpeed, int32_t level) override;
  void FadeOutChannel(int32_t channel, int32_t speed) override;
  void ClearChannelFileName(int32_t channel) override;
  void StopAllSound() override { log_.push_back("StopAllSound()"); }
  void ApplyVoiceVolume(int32_t number) override;
  void PlayVoice(const char* file, int32_t param) override;
  void ApplyStorySoundConfig() override { log_.push_back("ApplyStorySoundConfig()"); }
  void ApplySlgSoundConfig() override { log_.push_back("ApplySlgSoundConfig()"); }
  void UnlockOmakeSceneByLabel(int32_t label) override;
  void SetCgFlag(uint32_t word, uint32_t bit) override;
  void SetShareFlag(uint32_t index, uint32_t value) override;
  uint32_t GetShareFlag(uint32_t index) override { return index * 100; }
  void UnlockGalleryCategory(int32_t general, int32_t category) override;
  void SetScenarioRoute(int32_t value) override;
  void SetScenarioHero(uint16_t value) override;
  int32_t BattleResultWord(int which) override { return which == 0 || which == 1 ? battleWords[which] : 0; }
  int32_t CurrentSceneId() override { return currentScene; }
  bool ChangeScene(int32_t id, int32_t push) override;
  void RequestSceneChange(int32_t id, int32_t push) override;
  void ForceTitleMenuPhase() override { log_.push_back("ForceTitleMenuPhase()"); }
  void ResetStepMachine() override { log_.push_back("ResetStepMachine()"); }
  void SetSlgStartRequest(int32_t value) override;
  bool ConfirmExit() override { return exitAnswer; }
  void OpenUrl(const char* url) override;
  bool DebugMode() override { return debug; }
  void ShowDebugBox(const char* text, const char* title) override;

  int32_t currentScene = 2;
  int32_t battleWords[2] = {0, 255};  // the last battle's outcome and enemy clan
  bool exitAnswer = false;
  bool debug = false;

 private:
  std::vector<std::string>& log_;
};

class InterpTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Assembles UTF-8 source (failing the test on errors) and loads it into the program's script
  // state in memory as set 0; the game mode is left as it was.
  v4fmt::CompiledScriptSet Load(const std::string& source);
  // Loads raw bytecode (labels and switches left zero).
  void LoadBytes(const std::vector<uint8_t>& code);
  // Runs the interpreter until the script ends or maxCalls calls were made, advancing the clock by
  // stepMs before each call. Returns the number of calls that answered "continue".
  int RunToEnd(int maxCalls = 50, uint32_t stepMs = 100);
  std::string Log() const;  // the call log joined by "; "
  uint32_t LabelOffset(const v4fmt::CompiledScriptSet& set, const std::string& name) const;

  std::vector<std::string> log_;
  RecordingPresenter presenter_{log_};
  RecordingServices services_{log_};
  RecordingBoxes boxes_;
  uint32_t clock_ = 1000;
};

// u8 literals as std::string.
inline std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

}  // namespace v4test
