#include "shell/adv_wiring.h"

#include "core/step_machine.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"
#include "save/slg_words.h"
#include "save/system_files.h"
#include "scenario/adv_presenter.h"
#include "scenario/interp/adv_services.h"
#include "scenario/interp/adv_step.h"
#include "shell/main_window.h"
#include "sound/busyo_voice.h"
#include "sound/sound.h"
#include "ui/scenes/cv_scene.h"
#include "ui/scenes/scene_mgr.h"
#include "world/world_ports.h"

namespace {

constexpr int32_t kAdvScene = 2;

// Every channel's fade stopped and its configured volume restored.
void RestoreChannels() {
  for (int ch = 0; ch < kSoundChannelCount; ++ch) {
    SetChannelFade(ch, 0, -1);
    SetChannelVolume(ch, ChannelActiveFlags[ch]);
  }
}

class GameAdvServices : public AdvServices {
 public:
  void PlayMusic(const char* file, const char* second, int32_t loop, int32_t fadeSpeed) override {
    PlaySoundFile(kSoundChannelBgm, file, second, loop, fadeSpeed, 0);
  }
  void PlayEffect(int32_t channel, const char* file, int32_t loop, int32_t fadeSpeed, int32_t level) override {
    PlaySound(channel, file, loop, fadeSpeed, level);
  }
  void FadeOutChannel(int32_t channel, int32_t speed) override { SetChannelFade(channel, speed, -1); }
  void ClearChannelFileName(int32_t channel) override {
    SoundChannelRecord& r = GetSoundChannelRecord(channel);
    r.file[0] = '\0';
    r.second[0] = '\0';
  }
  void StopAllSound() override { ::StopAllSound(); }
  bool IsChannelPlaying(int32_t channel) override { return ::IsChannelPlaying(channel); }
  void ApplyVoiceVolume(int32_t number) override { ApplyVoiceVolumeSetting(number); }
  void PlayVoice(const char* file, int32_t param) override { PlaySound(kSoundChannelVoice, file, 0, 0, param); }
  void ApplyStorySoundConfig() override {
    ApplySoundConfig();
    RestoreChannels();
  }
  void ApplySlgSoundConfig() override {
    ::ApplySlgSoundConfig();
    RestoreChannels();
  }
  void ClearLastVoiceName() override { ::ClearLastVoiceName(); }

  void UnlockOmakeSceneByLabel(int32_t label) override {
    ::UnlockOmakeSceneByLabel(label);
    SavePlcData();
  }
  void SetCgFlag(uint32_t word, uint32_t bit) override {
    if (word >= kPlcEventFlagBytes / 4) return;
    const uint32_t b = (bit - 1) & 31;
    PlayRecordBlock.eventFlags[word * 4 + b / 8] |= static_cast<uint8_t>(1u << (b % 8));
    SavePlcData();
  }
  void SetShareFlag(uint32_t index, uint32_t value) override {
    SetPlcWord(static_cast<int>(index), value);
    SavePlcData();
  }
  uint32_t GetShareFlag(uint32_t index) override { return GetPlcWord(static_cast<int>(index)); }
  void UnlockGalleryCategory(int32_t general, int32_t category) override {
    ::UnlockGalleryCategory(general, category);
    SavePlcData();
  }
  uint16_t GameClearedFlag() override { return PlayRecordBlock.clearCount; }
  void SetScenarioRoute(int32_t value) override { ScriptSavedWord = value; }
  void SetScenarioHero(uint16_t value) override { SlgSavedWord = value; }

  int32_t CurrentSceneId() override {
    CVScene* s = GetSceneMgr().GetCurrentScene();
    return s ? s->GetSceneId() : -1;
  }
  bool ChangeScene(int32_t id, int32_t push) override { return GetSceneMgr().ChangeScene(id, push); }
  void RequestSceneChange(int32_t id, int32_t push) override { GetSceneMgr().RequestChange(id, push); }
  bool HasSceneBeneath() override { return !GetSceneMgr().GetStack().empty(); }
  void ForceTitleMenuPhase() override {
    if (CVScene* s = GetSceneMgr().GetCurrentScene(); s && s->GetSceneId() == 1) s->SetPhase(2, 1, 0);
  }
  void ResetStepMachine() override { StepReset(); }
  bool ConfirmExit() override { return ::ConfirmExit(); }
  void OpenUrl(const char* url) override {
    plat::Log("script", "web link not opened (no desktop handler): %s", plat::Cp932ToUtf8(url).c_str());
  }
};

GameAdvServices g_services;

// The "ensure" rule: presentation opcodes make the scenario scene current when it is not.
void EnsureAdvScene() {
  CVSceneMgr& mgr = GetSceneMgr();
  CVScene* cur = mgr.GetCurrentScene();
  if (!cur || cur->GetSceneId() != kAdvScene) mgr.ChangeScene(kAdvScene, 0);
}

}  // namespace

void InstallScenarioEngine() {
  SetAdvServices(&g_services);
  SetAdvSceneEnsurer(&EnsureAdvScene);
  SetAdvPort(&GetScenarioAdvPort());
}
