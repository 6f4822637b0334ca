// One open movie: the decode stream, its clock (driven by the frame's elapsed time), looping, and
// delivery of pictures and sound to its target and sink.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "movie/movie_ports.h"
#include "platform/movie/movie_stream.h"

// Where a looping movie continues after passing its end: the time elapsed beyond the end, measured
// from the start. `lastPosition` is the position stored at the previous update.
double LoopOvershootPosition(double elapsed, double duration, double lastPosition);

// Sound is handed to the sink this far ahead of the picture.
inline constexpr double kMovieAudioLead = 0.25;

class MoviePlayer {
 public:
  MoviePlayer() = default;
  ~MoviePlayer() { Close(); }
  MoviePlayer(const MoviePlayer&) = delete;
  MoviePlayer& operator=(const MoviePlayer&) = delete;

  // Opens `osPath` for output to `target` (may be null and set later). False leaves the player
  // closed, which counts as finished.
  bool Open(const std::string& osPath, MovieFrameTarget* target, const MovieAudioSinkFactory& sinks,
            bool waitForDecoder, std::string* error = nullptr);
  void Close();
  bool IsOpen() const { return open_; }

  // Runs from the current position. Never waits for the decoder.
  bool Play();
  // A position outside 0..duration becomes 0; then runs from there.
  void SeekAndRun(double position);
  // Moves the clock on by `elapsed` seconds and delivers what is due. False once the movie is at
  // its end without looping (and for a closed player).
  bool Advance(double elapsed);
  bool IsFinished() const;

  void SetVolume(int32_t volume);  // 0..10000, clamped
  void SetTarget(MovieFrameTarget* target);
  void GetVideoSize(uint32_t* width, uint32_t* height) const;

  double Position() const { return lastPosition_; }
  double Duration() const;

  bool loop = false;
  bool closeWhenFinished = false;

 private:
  void Deliver(double position);

  plat::MovieStream stream_;
  std::unique_ptr<MovieAudioSink> sink_;
  MovieFrameTarget* target_ = nullptr;
  plat::MovieVideoFrame current_;
  bool haveFrame_ = false;
  bool open_ = false;
  bool running_ = false;
  bool ended_ = false;
  double lastPosition_ = 0;
  std::vector<int16_t> audioScratch_;
};
