// Movie writing for the data tools and the tests: Matroska with MPEG-4 (simple profile) video and
// MPEG-1 Layer II audio, which this system's FFmpeg both writes and reads back.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace plat {

struct MovieEncodeParams {
  int width = 0;    // even, 16..4096
  int height = 0;   // even, 16..4096
  int fps = 30;     // 1..120
  int quality = 3;  // quantiser 1 (best) .. 31
  bool audio = true;
  int audioRate = 44100;  // one of 16000, 22050, 24000, 32000, 44100, 48000
  int audioChannels = 2;  // 1 or 2
  int audioBitrate = 128000;
};

class MovieEncoder {
 public:
  MovieEncoder();
  ~MovieEncoder();
  MovieEncoder(const MovieEncoder&) = delete;
  MovieEncoder& operator=(const MovieEncoder&) = delete;

  bool Create(const std::string& osPath, const MovieEncodeParams& params, std::string* error = nullptr);
  // One picture, rows top-down, RGBA; frames are timed 1/fps apart.
  bool AddVideoFrame(const uint8_t* rgba, int pitch);
  // Interleaved S16 in the parameters' rate and channels; buffered into the codec's frame size.
  bool AddAudio(const int16_t* samples, size_t frames);
  // Flushes the encoders and writes the trailer. The file is only complete after this.
  bool Finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

struct TestPatternParams {
  int width = 1280;
  int height = 720;
  int fps = 30;
  double seconds = 4;
  double toneHz = 440;  // 0: no audio stream
  int quality = 4;
};

// Colour bars with a white square moving left to right (one pass per movie) and a frame counter
// in binary along the bottom, plus a sine tone at a quarter of full scale.
bool WriteTestPatternMovie(const std::string& osPath, const TestPatternParams& params, std::string* error = nullptr);

// The pattern's picture for frame `index` of `count` (RGBA, pitch width * 4), for checks.
void DrawTestPatternFrame(uint8_t* rgba, int width, int height, int index, int count);

}  // namespace plat
