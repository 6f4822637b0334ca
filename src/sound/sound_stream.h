// Music stream player: one ".voi" file decoded ahead by a worker thread into a two-second looping
// buffer of the mixer, refilled half by half; it can continue with a second file (an intro followed
// by a looping body).
#pragma once
#include <atomic>
#include <memory>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/vorbis.h"

namespace plat {
class Mixer;
}

class SoundStream {
 public:
  enum Command : uint32_t { kPlay = 0, kHalt = 2, kResume = 3, kStop = 4, kQuit = 6 };
  static constexpr uint32_t kBufferBytes = 352800;  // two seconds of 44.1 kHz 16-bit stereo
  static constexpr uint32_t kHalfBytes = kBufferBytes / 2;
  // Consecutive decoder errors after which a stream counts as ended.
  static constexpr int kMaxDecodeErrors = 8;

  SoundStream();
  ~SoundStream();
  SoundStream(const SoundStream&) = delete;
  SoundStream& operator=(const SoundStream&) = delete;

  // 0; -1 when already started; -2 when there is no mixer (silent game) or the buffer cannot be made.
  int Start(plat::Mixer* mixer);
  // Opens `path` (CP932 program path); loopPath (or null) is the file to continue with at the end
  // of the first, else the file itself. 0, or -1 when the file cannot be opened or decoded.
  int Open(const char* path, const char* loopPath);
  void Play(bool loop);
  void Halt();
  void Resume();
  void Stop();
  // Ends the worker and releases the buffer.
  void Shutdown();

  bool IsPlaying() const;      // the buffer's playing bit
  int GetVolume() const;       // 0..10000, or -1 without a buffer
  void SetVolume(int volume);  // 0..10000; nothing without a buffer
  bool HasFile() const { return fileOpen_.load(); }

  // Blocks until the worker has handled every pending command and cursor event (tests pull the
  // mixer at a virtual rate and call this before each chunk).
  void WaitIdle();

  // Read by tests and the save code.
  uint32_t Waiting() const { return waiting_.load(); }

 private:
  void Worker();
  void Post(Command c);
  void OnCursor(int index);
  void CloseDecoder();
  bool ReopenLoopFile();
  // One pass for the given half; returns false when the worker should quit.
  bool Pass(bool haveCommand, uint32_t command, uint32_t writeOffset);

  plat::Mixer* mixer_ = nullptr;
  int buffer_ = -1;
  // Cursor notifications reach the player through this link, which shutdown cuts: the mixer may
  // still hold a copy of the callback for a moment after the player is gone.
  struct NotifyLink;
  std::shared_ptr<NotifyLink> link_;
  std::thread worker_;

  // Events (command, cursor at 0, cursor at the half), guarded by evMu_.
  std::mutex evMu_;
  std::condition_variable evCv_, idleCv_;
  bool evCommand_ = false, evAt0_ = false, evAtHalf_ = false;
  bool busy_ = false;
  std::atomic<uint32_t> command_{kPlay};
  std::atomic<uint32_t> idle_{1};
  std::atomic<uint32_t> waiting_{0};

  // Decoder state, guarded by workMu_ (held by the worker during a pass and by Open).
  std::mutex workMu_;
  plat::VorbisFileStream decoder_;
  std::string reopenName_;  // CP932 program path
  std::vector<char> decodeBuf_;
  uint32_t decoded_ = 0;
  int countdown_ = 0;
  std::atomic<uint32_t> playing_{0};
  std::atomic<uint32_t> loop_{0};
  std::atomic<bool> fileOpen_{false};
};
