// What the interpreter and the script start need of the layers above the scenario engine: sound,
// the play record, the scene manager, the words kept by the save files, and the shell (exit
// question, web links). The program's wiring installs the real services; every default does
// nothing and answers "nothing there", which is what a headless run and the unit tests start from.
#pragma once
#include <cstdint>

class AdvServices {
 public:
  virtual ~AdvServices() = default;

  // --- Sound (channel 0 music, 2 voice, 3..6 effects) --------------------------------------------
  virtual void PlayMusic(const char* file, const char* second, int32_t loop, int32_t fadeSpeed) {}
  virtual void PlayEffect(int32_t channel, const char* file, int32_t loop, int32_t fadeSpeed, int32_t level) {}
  // speed -1..-4: fade to silence and stop.
  virtual void FadeOutChannel(int32_t channel, int32_t speed) {}
  virtual void ClearChannelFileName(int32_t channel) {}
  virtual void StopAllSound() {}
  virtual bool IsChannelPlaying(int32_t channel) { return false; }
  // The voice channel's volume from the settings for a voice of this number.
  virtual void ApplyVoiceVolume(int32_t number) {}
  virtual void PlayVoice(const char* file, int32_t param) {}
  // The story's (or the strategy game's) volume settings; every channel's fade is stopped and its
  // volume restored.
  virtual void ApplyStorySoundConfig() {}
  virtual void ApplySlgSoundConfig() {}
  virtual void ClearLastVoiceName() {}

  // --- Play record (each change is written at once) ----------------------------------------------
  virtual void UnlockOmakeSceneByLabel(int32_t label) {}
  // Bit (bit - 1) & 31 of CG word `word`; words outside the record are ignored.
  virtual void SetCgFlag(uint32_t word, uint32_t bit) {}
  virtual void SetShareFlag(uint32_t index, uint32_t value) {}
  virtual uint32_t GetShareFlag(uint32_t index) { return 0; }
  virtual void UnlockGalleryCategory(int32_t general, int32_t category) {}
  virtual uint16_t GameClearedFlag() { return 0; }

  // --- Words of the strategy game kept by its save file -----------------------------------------
  virtual void SetScenarioRoute(int32_t value) {}
  virtual void SetScenarioHero(uint16_t value) {}
  virtual void SetEndingFlag() {}
  // The last battle's result words (script functions 14 and 18).
  virtual int32_t BattleResultWord(int which) { return 0; }
  // The strategy scene phase a return from a script restores.
  virtual int32_t SlgReturnPhase() { return 0; }

  // --- Scenes ------------------------------------------------------------------------------------
  virtual int32_t CurrentSceneId() { return -1; }
  virtual bool ChangeScene(int32_t id, int32_t push) { return false; }
  // Carried out after the scene update of this step; id -1 returns to the previous scene.
  virtual void RequestSceneChange(int32_t id, int32_t push) {}
  // Whether a scene lies beneath the current one for a return (-1) to go to.
  virtual bool HasSceneBeneath() { return true; }
  // The title scene, entered with its menu shown at once (back from a tutorial chapter).
  virtual void ForceTitleMenuPhase() {}
  virtual void ResetStepMachine() {}
  // The strategy scene's start request (7: the strategy game starts directly from the title).
  virtual void SetSlgStartRequest(int32_t value) {}

  // --- Shell -------------------------------------------------------------------------------------
  // The exit question; true when the player confirmed.
  virtual bool ConfirmExit() { return true; }
  virtual void OpenUrl(const char* url) {}
  virtual bool DebugMode() { return false; }
  // A "#BreakSw" box (debug mode only).
  virtual void ShowDebugBox(const char* text, const char* title) {}
};

// Installed services (never null: a null argument restores the do-nothing default).
AdvServices& AdvSvc();
void SetAdvServices(AdvServices* services);
