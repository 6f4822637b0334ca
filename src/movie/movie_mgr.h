// The movie manager: every open movie under an integer id (the full-screen movie is -1), guarded by
// one mutex. All calls come from the frame thread; the per-frame update and the finished queries
// only try the mutex and skip (or answer false) when it is busy.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "movie/movie_player.h"
#include "movie/movie_ports.h"

class MovieMgr {
 public:
  static constexpr int32_t kFullScreenId = -1;

  MovieMgr();
  ~MovieMgr();
  MovieMgr(const MovieMgr&) = delete;
  MovieMgr& operator=(const MovieMgr&) = delete;

  // Stores the current time as the last update time; always succeeds.
  bool Init();
  void Shutdown() { CloseAll(); }

  // Closes every movie, then opens `file` (a program path) full screen and starts it. False, with
  // nothing stored, when it cannot be opened.
  bool PlayFullScreen(const char* file, bool loop, bool closeWhenFinished);
  // -1 while a full-screen movie is open; otherwise the id it is stored under (also when the file
  // could not be opened: that player counts as finished).
  int32_t OpenTextureMovie(int32_t requestedId, const char* file, MovieFrameTarget* texture);
  // The requested id when it is not -1 and free; else 0 for an empty table, else the largest id + 1.
  int32_t AllocId(int32_t requestedId) const;

  bool Play(int32_t id, bool loop);
  bool PlayFromStart(int32_t id, bool loop);
  bool IsFinished(int32_t id);
  bool IsAllFinished();
  void GetVideoSize(int32_t id, uint32_t* width, uint32_t* height);
  void SetTargetTexture(int32_t id, MovieFrameTarget* texture);
  // Every open movie (0..10000, clamped); movies opened later still get the stored volume.
  void SetVolumeAll(int32_t volume);
  void Close(int32_t id);
  void CloseAll();
  // Set by PlayFullScreen and cleared only by CloseAll: the frame then shows the full-screen
  // movie's picture (through the full-screen target) instead of the scenes.
  bool BlocksDisplay() const { return fullScreen_.load(std::memory_order_acquire); }

  // Once per frame: advances every movie by the time since the last update, delivers pictures and
  // sound, loops, and removes ended movies marked close-when-finished.
  void UpdateMovies();

  // Wiring, set up once by the application (and by tests).
  // The full-screen movie's pictures go here (the frame draws them fitted into its picture area).
  void SetFullScreenTarget(MovieFrameTarget* target);
  void SetAudioSinkFactory(MovieAudioSinkFactory factory);
  // Headless runs: players wait for their decoder so a virtual clock sees every picture.
  void SetWaitForDecoder(bool on) { waitForDecoder_ = on; }
  size_t OpenCount();

 private:
  std::unique_ptr<MoviePlayer> OpenPlayer(const char* file, MovieFrameTarget* target, bool* opened);
  void CloseAllLocked();
  MoviePlayer* Find(int32_t id);

  std::mutex mu_;
  uint32_t lastUpdate_ = 0;
  std::atomic<bool> fullScreen_{false};
  std::map<int32_t, std::unique_ptr<MoviePlayer>> players_;
  int32_t volume_ = 10000;
  MovieFrameTarget* fullScreenTarget_ = nullptr;
  MovieAudioSinkFactory sinkFactory_;
  bool waitForDecoder_ = false;
};

// The program's one manager, built before start-up and destroyed at exit.
MovieMgr& GetMovieMgr();
// The frame's per-frame step: GetMovieMgr().UpdateMovies().
void UpdateMovies();
