// What the extras use of sound, movies, the script engine and the play record, gathered in one
// table so that unit tests can watch and steer it. The defaults call the real services.
#pragma once
#include <cstdint>
#include <functional>

struct OmakePorts {
  // Music channel 0 without becoming the recorded current music (looping with a fade speed).
  std::function<void(const char* file, int loop, int fadeSpeed)> playMusicUnrecorded;
  // Channel 0 fades out with its default speed.
  std::function<void()> fadeOutMusic;
  // Channel 0's configured level (0..9) and a fade at speed 2 to that level's volume.
  std::function<void(int32_t level)> setMusicLevel;
  // The configured music level of the settings (0..9).
  std::function<int32_t()> configuredMusicLevel;
  // The sound settings applied again.
  std::function<void()> applySoundConfig;
  // A movie (program path) full screen, not looped; false when it cannot open.
  std::function<bool(const char* path)> playMovie;
  std::function<bool()> movieFinished;
  std::function<void()> restartMovie;
  std::function<void()> closeMovies;
  // The story's script set loaded from the start, then a jump to a label by name; false when the
  // label is unknown.
  std::function<bool(const char* label)> gotoLabel;
  // Play record: CG seen word of number n (1..512); extras scene seen byte; all-unlocked flag.
  std::function<uint32_t(int32_t number)> cgSeenWord;
  std::function<bool(int32_t scene)> sceneSeen;
  std::function<bool()> allUnlocked;
  // The scene replay: the script switches kept and the story's script set loaded once on open.
  std::function<void()> prepareReplayScript;
  // The lines gallery: a seen item of a general's gallery record, a voice on the voice channel
  // (once), and the strategy world of scenario 0 loaded for the generals' names and faces.
  std::function<bool(int32_t general, int32_t category, int32_t item)> galleryItemSeen;
  std::function<void(const char* file)> playVoice;
  std::function<void()> resetWorld;
};

OmakePorts& GetOmakePorts();
void ResetOmakePorts();
