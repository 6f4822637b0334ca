// A movie decoded ahead on its own thread into bounded queues of RGBA frames and PCM chunks. The
// consumer (the frame thread) takes what is due at its clock; nothing here touches the graphics or
// sound devices.
#pragma once
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/movie/movie_decoder.h"

namespace plat {

class MovieStream {
 public:
  // Decoded-ahead limits: pictures, and seconds of sound.
  static constexpr size_t kMaxQueuedFrames = 6;
  static constexpr double kMaxQueuedAudio = 3.0;

  MovieStream() = default;
  ~MovieStream();
  MovieStream(const MovieStream&) = delete;
  MovieStream& operator=(const MovieStream&) = delete;

  // Opens the file and starts decoding from the beginning. False (and no thread) when it cannot.
  bool Open(const std::string& osPath, int decoderThreads = 1, std::string* error = nullptr);
  // Stops the decode thread and releases everything.
  void Close();
  bool IsOpen() const { return open_; }
  const MovieInfo& Info() const { return info_; }

  // Headless runs: the Take calls wait until the decoder has produced what is due (or ended), so a
  // virtual clock sees every frame. Off by default: a live frame never waits for the decoder.
  void SetWaitForDecoder(bool on) { wait_ = on; }

  // Restarts decoding at `seconds`; queued items are dropped. Does not wait for the decoder.
  void Seek(double seconds);

  // Pops every picture due at `t`; the newest of them is moved into `out`. False when none was due.
  bool TakeVideoUpTo(double t, MovieVideoFrame& out);
  // Appends the sound that starts before `until` to `out`, dropping sound that ended before `from`
  // (after a stall). Returns the number of sample frames appended.
  size_t TakeAudio(double from, double until, std::vector<int16_t>& out);

  // The decoder has reached the end of the file and every queued item has been taken.
  bool Drained() const;
  // End time of the last item produced since the last seek (the length when the container does not
  // give one).
  double ProducedUntil() const;

 private:
  void Run();

  MovieDecoder decoder_;
  MovieInfo info_;
  bool open_ = false;
  bool wait_ = false;

  mutable std::mutex mu_;
  std::condition_variable producerCv_;
  std::condition_variable consumerCv_;
  std::deque<MovieVideoFrame> video_;
  std::deque<MovieAudioChunk> audio_;
  double queuedAudio_ = 0;
  double producedUntil_ = 0;
  bool ended_ = false;
  bool closing_ = false;
  bool seekPending_ = false;
  double seekTarget_ = 0;
  unsigned serial_ = 0;
  std::vector<std::vector<uint8_t>> spare_;  // picture buffers for reuse
  std::thread thread_;
};

}  // namespace plat
