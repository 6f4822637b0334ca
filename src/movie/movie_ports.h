// What the movie players hand their output to. Both are called on the frame thread only, from
// MovieMgr's per-frame update, so an implementation may touch the graphics or sound device directly.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// Receives each new picture of a movie: rows top-down, R G B A bytes, `pitch` bytes per row.
// A texture movie's target uploads it into its texture; the full-screen target draws it fitted.
class MovieFrameTarget {
 public:
  virtual ~MovieFrameTarget() = default;
  virtual void OnMovieFrame(const uint8_t* rgba, int width, int height, int pitch) = 0;
};

// Receives a movie's sound: interleaved stereo S16 at 44.1 kHz, queued ahead of the picture by a
// fraction of a second; the sink plays it in order as it arrives.
class MovieAudioSink {
 public:
  virtual ~MovieAudioSink() = default;
  virtual void QueueMovieAudio(const int16_t* samples, size_t frames) = 0;
  // Drops what is queued (a seek or a stop).
  virtual void FlushMovieAudio() = 0;
  // Attenuation in hundredths of a decibel: 0 is full volume, -10000 silent.
  virtual void SetMovieAttenuation(int32_t hundredthsDb) = 0;
  // Pauses or resumes output without dropping what is queued.
  virtual void SetMovieAudioRunning(bool running) = 0;
};

// Makes one sink per movie that has sound; may return null (the movie then plays silent).
using MovieAudioSinkFactory = std::function<std::unique_ptr<MovieAudioSink>()>;

// Where a picture of videoW x videoH goes inside an area: the largest rectangle of the same aspect
// ratio, centred (letterboxed or pillarboxed). Zero-sized input gives the whole area.
struct MovieRect {
  int x = 0, y = 0, width = 0, height = 0;
};
MovieRect FitMovieRect(int videoW, int videoH, int areaX, int areaY, int areaW, int areaH);
