// What the scenario scene and its message window use of input, sound, movies, dialogs, saves and
// files, gathered in one table so that unit tests can watch and steer it. The defaults call the
// real services (ResetAdvPorts restores them).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct AdvPorts {
  // Keys of this logic step (virtual-key codes of core/cv_input.h).
  std::function<bool(int vk)> keyHeld;
  std::function<bool(int vk)> keyPressed;
  std::function<bool(int vk)> keyReleased;
  // The wheel of this step: positive turned away from the player, negative towards.
  std::function<int32_t()> wheel;
  // Voice channel (2).
  std::function<bool()> voicePlaying;
  std::function<void()> fadeVoiceOut;
  // Replays a backlog entry's voice (story volume settings applied first).
  std::function<void(const char* file, int32_t number, int32_t param)> replayVoice;
  // Music channel 0 stopped (a full-screen movie takes over the sound).
  std::function<void()> stopMusic;
  // Full-screen movies (program paths).
  std::function<bool(const char* path)> playMovie;
  std::function<bool()> moviesFinished;
  std::function<void()> closeMovies;
  // The dialog scene (kept running beneath) and its answer (-1 until it has one).
  std::function<bool(int32_t kind)> openDialog;
  std::function<int32_t()> dialogResult;
  // A screen pushed over the story with the cover picture (4 save, 5 load, 6 settings).
  std::function<bool(int32_t sceneId)> pushScreen;
  // A deferred change to a scene (after this scene's update).
  std::function<void(int32_t sceneId, int32_t push)> requestScene;
  std::function<bool(int32_t gameMode)> quickSave;
  std::function<bool()> quickLoad;
  // A program-relative file's bytes; false when it is missing.
  std::function<bool(const std::string& path, std::vector<uint8_t>& out)> readFile;
  std::function<void(const char* text, const char* caption)> errorBox;
  // A settings value by index (text speed 0, auto speed 1, opacity 2, effects 3, skip unread 21).
  std::function<int32_t(int index)> setting;
  // The read-message flag of a message number.
  std::function<bool(int64_t readId)> messageRead;
};

AdvPorts& GetAdvPorts();
void ResetAdvPorts();
