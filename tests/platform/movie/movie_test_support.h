// Builds small movies for the movie tests with the same encoder the data tool uses.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/movie/movie_encoder.h"
#include "tests/support/temp_folder.h"

namespace movietest {

struct Rgb {
  uint8_t r, g, b;
};

// Ten frames, one solid colour each, far apart from each other in every channel combination.
inline const std::vector<Rgb>& FrameColours() {
  static const std::vector<Rgb> k = {{255, 0, 0},   {0, 255, 0},     {0, 0, 255}, {255, 255, 0}, {0, 255, 255},
                                     {255, 0, 255}, {255, 255, 255}, {0, 0, 0},   {160, 80, 32}, {32, 128, 208}};
  return k;
}

// Writes FrameColours() as a 64x36 movie at `fps`, optionally with a sine tone for the same length.
inline bool WriteColourMovie(const std::string& path, int fps, double toneHz, std::string* error) {
  plat::MovieEncodeParams p;
  p.width = 64;
  p.height = 36;
  p.fps = fps;
  p.quality = 2;
  p.audio = toneHz > 0;
  plat::MovieEncoder enc;
  if (!enc.Create(path, p, error)) return false;
  std::vector<uint8_t> picture(64 * 36 * 4);
  const auto& colours = FrameColours();
  int64_t sample = 0;
  for (size_t i = 0; i < colours.size(); ++i) {
    for (size_t px = 0; px < 64 * 36; ++px) {
      picture[px * 4 + 0] = colours[i].r;
      picture[px * 4 + 1] = colours[i].g;
      picture[px * 4 + 2] = colours[i].b;
      picture[px * 4 + 3] = 255;
    }
    if (!enc.AddVideoFrame(picture.data(), 64 * 4)) return false;
    if (p.audio) {
      std::vector<int16_t> pcm;
      const int64_t until = static_cast<int64_t>(i + 1) * 44100 / fps;
      for (; sample < until; ++sample) {
        auto v = static_cast<int16_t>(8192 * std::sin(2 * M_PI * toneHz * static_cast<double>(sample) / 44100));
        pcm.push_back(v);
        pcm.push_back(v);
      }
      if (!enc.AddAudio(pcm.data(), pcm.size() / 2)) return false;
    }
  }
  return enc.Finish();
}

// Index of the FrameColours() entry nearest to the pixel, or -1 when none is within `tolerance`.
inline int MatchColour(const uint8_t* rgba, int tolerance = 24) {
  const auto& colours = FrameColours();
  for (size_t i = 0; i < colours.size(); ++i) {
    if (std::abs(rgba[0] - colours[i].r) <= tolerance && std::abs(rgba[1] - colours[i].g) <= tolerance &&
        std::abs(rgba[2] - colours[i].b) <= tolerance)
      return static_cast<int>(i);
  }
  return -1;
}

// Frequency of a tone estimated from rising zero crossings of the left channel, over the middle
// 80% of the sound (a coded tone's abrupt end adds noise around zero).
inline double ToneFrequency(const std::vector<int16_t>& stereo, int rate = 44100) {
  const size_t frames = stereo.size() / 2;
  const size_t begin = std::max<size_t>(1, frames / 10), end = frames - frames / 10;
  size_t crossings = 0, first = 0, last = 0;
  for (size_t i = begin; i < end; ++i) {
    if (stereo[(i - 1) * 2] < 0 && stereo[i * 2] >= 0) {
      if (crossings == 0) first = i;
      last = i;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return static_cast<double>(crossings - 1) * rate / static_cast<double>(last - first);
}

// Root mean square of the left channel.
inline double Rms(const std::vector<int16_t>& stereo) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = 0; i < stereo.size(); i += 2, ++n) sum += static_cast<double>(stereo[i]) * stereo[i];
  return n ? std::sqrt(sum / static_cast<double>(n)) : 0;
}

}  // namespace movietest
