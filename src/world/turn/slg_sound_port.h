// Music, sound effects and voices as the turn rules use them. The sound library implements the
// port (the shell installs it); the default does nothing, so headless runs are silent.
#pragma once

class SlgSoundPort {
 public:
  virtual ~SlgSoundPort() = default;
  // Plays a music file ("Data\bgm\M01.voi"); with onlyIfChanged nothing happens while it plays.
  virtual void PlaySlgBgm(const char* file, int onlyIfChanged) {}
  virtual void PlaySlgSe(int channel, int effect, int loop) {}
  virtual void PlayGeneralVoice(int channel, int busyo, int line) {}
  // Forgets the name of the music playing, so the next PlaySlgBgm starts it again.
  virtual void ForgetSlgBgm() {}
};

SlgSoundPort& SlgSound();
void SetSlgSoundPort(SlgSoundPort* port);  // null: the silent default
