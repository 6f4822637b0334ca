// v4data movie pattern [--size WxH] [--fps N] [--seconds S] [--tone HZ] [--quality Q] <out>
//   writes a test-pattern movie (colour bars, a moving white square, a binary frame counter and a
//   sine tone; --tone 0 leaves the sound out).
// v4data movie shots [--size WxH] [--fps N] [--quality Q] [--music a.wav ...] <shots.json> <pictures> <out>
//   writes a movie of still pictures (PNG under <pictures>) shown one after another, each for its
//   seconds with a fade from and to black and a slow zoom, over the music (16-bit WAVE files
//   played in turn, faded out at the end). shots.json: {"shots": [{"picture": "opening/a.png",
//   "seconds": 4, "fade_in": 1, "fade_out": 1, "zoom": [1.0, 1.06]}, ...]}.
// v4data movie info <file>: prints what the game's decoder sees in a movie.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "command.h"
#include "platform/audio/wave.h"
#include "platform/fs/fs.h"
#include "platform/movie/movie_decoder.h"
#include "platform/movie/movie_encoder.h"
#include "platform/png/png_image.h"

namespace {

bool ParseNumber(const std::string& text, double lo, double hi, double& out) {
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(v >= lo && v <= hi)) return false;
  out = v;
  return true;
}

bool ParseSize(const std::string& text, int& w, int& h) {
  size_t x = text.find('x');
  double a = 0, b = 0;
  if (x == std::string::npos || !ParseNumber(text.substr(0, x), 16, 4096, a) ||
      !ParseNumber(text.substr(x + 1), 16, 4096, b))
    return false;
  w = static_cast<int>(a);
  h = static_cast<int>(b);
  return w == a && h == b;
}

int Pattern(const std::vector<std::string>& args) {
  plat::TestPatternParams p;
  std::string out;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    double v = 0;
    if (a == "--size" && hasValue && ParseSize(args[i + 1], p.width, p.height)) {
      ++i;
    } else if (a == "--fps" && hasValue && ParseNumber(args[i + 1], 1, 120, v) && v == static_cast<int>(v)) {
      p.fps = static_cast<int>(v);
      ++i;
    } else if (a == "--seconds" && hasValue && ParseNumber(args[i + 1], 0.1, 600, v)) {
      p.seconds = v;
      ++i;
    } else if (a == "--tone" && hasValue && ParseNumber(args[i + 1], 0, 20000, v)) {
      p.toneHz = v;
      ++i;
    } else if (a == "--quality" && hasValue && ParseNumber(args[i + 1], 1, 31, v) && v == static_cast<int>(v)) {
      p.quality = static_cast<int>(v);
      ++i;
    } else if (out.empty() && !a.empty() && a[0] != '-') {
      out = a;
    } else {
      std::fprintf(stderr, "movie pattern: bad argument '%s'\n", a.c_str());
      return 2;
    }
  }
  if (out.empty()) {
    std::fprintf(stderr, "movie pattern: no output file\n");
    return 2;
  }
  std::string error;
  if (!plat::WriteTestPatternMovie(out, p, &error)) {
    std::fprintf(stderr, "movie pattern: %s\n", error.c_str());
    std::error_code ec;
    std::filesystem::remove(out, ec);  // never leave a half-written movie behind
    return 1;
  }
  return 0;
}

struct Shot {
  plat::RgbaImage picture;
  double seconds = 3, fadeIn = 0, fadeOut = 0, zoomFrom = 1, zoomTo = 1;
};

// One frame of a shot: the picture scaled about its centre (bilinear), darkened towards black.
void DrawShotFrame(const Shot& shot, double t, int width, int height, std::vector<uint8_t>& out) {
  const plat::RgbaImage& pic = shot.picture;
  const double u = shot.seconds > 0 ? std::clamp(t / shot.seconds, 0.0, 1.0) : 0.0;
  const double zoom = shot.zoomFrom + (shot.zoomTo - shot.zoomFrom) * u;
  double light = 1.0;
  if (shot.fadeIn > 0 && t < shot.fadeIn) light = t / shot.fadeIn;
  if (shot.fadeOut > 0 && shot.seconds - t < shot.fadeOut) light = std::min(light, (shot.seconds - t) / shot.fadeOut);
  light = std::clamp(light, 0.0, 1.0);
  const double sx = static_cast<double>(pic.width) / width / zoom, sy = static_cast<double>(pic.height) / height / zoom;
  const double cx = pic.width / 2.0, cy = pic.height / 2.0;
  for (int y = 0; y < height; ++y) {
    const double py = std::clamp(cy + (y + 0.5 - height / 2.0) * sy - 0.5, 0.0, pic.height - 1.0);
    const int y0 = static_cast<int>(py), y1 = std::min(y0 + 1, pic.height - 1);
    const double fy = py - y0;
    for (int x = 0; x < width; ++x) {
      const double px = std::clamp(cx + (x + 0.5 - width / 2.0) * sx - 0.5, 0.0, pic.width - 1.0);
      const int x0 = static_cast<int>(px), x1 = std::min(x0 + 1, pic.width - 1);
      const double fx = px - x0;
      const uint8_t* a = &pic.pixels[(static_cast<size_t>(y0) * pic.width + x0) * 4];
      const uint8_t* b = &pic.pixels[(static_cast<size_t>(y0) * pic.width + x1) * 4];
      const uint8_t* c = &pic.pixels[(static_cast<size_t>(y1) * pic.width + x0) * 4];
      const uint8_t* d = &pic.pixels[(static_cast<size_t>(y1) * pic.width + x1) * 4];
      uint8_t* o = &out[(static_cast<size_t>(y) * width + x) * 4];
      for (int k = 0; k < 3; ++k) {
        // Transparent parts of a picture show black.
        auto at = [&](const uint8_t* p) { return p[k] * (p[3] / 255.0); };
        const double v = (at(a) * (1 - fx) + at(b) * fx) * (1 - fy) + (at(c) * (1 - fx) + at(d) * fx) * fy;
        o[k] = static_cast<uint8_t>(std::lround(std::clamp(v * light, 0.0, 255.0)));
      }
      o[3] = 255;
    }
  }
}

// 16-bit samples of WAVE files played in turn, all of one rate and channel count.
bool ReadMusic(const std::vector<std::string>& files, std::vector<int16_t>& pcm, int& rate, int& channels,
               std::string& error) {
  for (const std::string& f : files) {
    std::vector<uint8_t> bytes;
    if (!plat::ReadWholeFile(f, bytes)) {
      error = "cannot read " + f;
      return false;
    }
    plat::WaveInfo w;
    const plat::WaveError e = plat::ParseWave(bytes.data(), bytes.size(), w);
    if (e != plat::WaveError::kNone) {
      error = f + ": " + plat::WaveErrorText(e);
      return false;
    }
    if (w.bits != 16) {
      error = f + ": only 16-bit music is taken";
      return false;
    }
    if (pcm.empty()) {
      rate = static_cast<int>(w.rate);
      channels = w.channels;
    } else if (rate != static_cast<int>(w.rate) || channels != w.channels) {
      error = f + ": rate or channels differ from the first file";
      return false;
    }
    const size_t n = w.dataSize / 2;
    const size_t at = pcm.size();
    pcm.resize(at + n);
    std::memcpy(pcm.data() + at, bytes.data() + w.dataOffset, n * 2);
  }
  return true;
}

int Shots(const std::vector<std::string>& args) {
  plat::MovieEncodeParams p;
  p.width = 1280;
  p.height = 720;
  p.fps = 30;
  p.quality = 4;
  std::vector<std::string> music, files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    double v = 0;
    if (a == "--size" && hasValue && ParseSize(args[i + 1], p.width, p.height) && p.width % 2 == 0 &&
        p.height % 2 == 0) {
      ++i;
    } else if (a == "--fps" && hasValue && ParseNumber(args[i + 1], 1, 120, v) && v == static_cast<int>(v)) {
      p.fps = static_cast<int>(v);
      ++i;
    } else if (a == "--quality" && hasValue && ParseNumber(args[i + 1], 1, 31, v) && v == static_cast<int>(v)) {
      p.quality = static_cast<int>(v);
      ++i;
    } else if (a == "--music" && hasValue) {
      music.push_back(args[++i]);
    } else if (!a.empty() && a[0] != '-') {
      files.push_back(a);
    } else {
      std::fprintf(stderr, "movie shots: bad argument '%s'\n", a.c_str());
      return 2;
    }
  }
  if (files.size() != 3) {
    std::fprintf(stderr, "movie shots: give <shots.json> <pictures> <out>\n");
    return 2;
  }
  const std::string& out = files[2];
  std::string error;
  auto fail = [&](const std::string& why) {
    std::fprintf(stderr, "movie shots: %s\n", why.c_str());
    std::error_code ec;
    std::filesystem::remove(out, ec);  // never leave a half-written movie behind
    return 1;
  };
  std::vector<Shot> shots;
  try {
    std::ifstream in(files[0], std::ios::binary);
    if (!in) return fail("cannot open " + files[0]);
    const nlohmann::json j = nlohmann::json::parse(in);
    for (const nlohmann::json& s : j.at("shots")) {
      Shot shot;
      const std::string picture = files[1] + "/" + s.at("picture").get<std::string>();
      std::vector<uint8_t> bytes;
      if (!plat::ReadWholeFile(picture, bytes) || !plat::DecodePng(bytes.data(), bytes.size(), &shot.picture, &error))
        return fail("cannot read the picture " + picture + (error.empty() ? "" : ": " + error));
      shot.seconds = s.value("seconds", 3.0);
      shot.fadeIn = s.value("fade_in", 0.0);
      shot.fadeOut = s.value("fade_out", 0.0);
      if (s.contains("zoom")) {
        shot.zoomFrom = s.at("zoom").at(0).get<double>();
        shot.zoomTo = s.at("zoom").at(1).get<double>();
      }
      if (!(shot.seconds > 0 && shot.seconds <= 600) || !(shot.zoomFrom >= 0.1 && shot.zoomTo >= 0.1))
        return fail("a shot of " + picture + " has a bad length or zoom");
      shots.push_back(std::move(shot));
    }
  } catch (const std::exception& e) {
    return fail(files[0] + ": " + e.what());
  }
  if (shots.empty()) return fail("no shots");
  std::vector<int16_t> pcm;
  int rate = 44100, channels = 2;
  if (!ReadMusic(music, pcm, rate, channels, error)) return fail(error);
  p.audio = !pcm.empty();
  p.audioRate = rate;
  p.audioChannels = channels;

  plat::MovieEncoder enc;
  if (!enc.Create(out, p, &error)) return fail(error);
  double total = 0;
  for (const Shot& s : shots) total += s.seconds;
  const int64_t totalFrames = static_cast<int64_t>(std::lround(total * p.fps));
  const int64_t totalSamples = static_cast<int64_t>(total * rate);
  const int64_t fadeSamples = rate;  // the music fades out over the last second
  std::vector<uint8_t> frame(static_cast<size_t>(p.width) * p.height * 4);
  std::vector<int16_t> chunk;
  int64_t sent = 0;
  size_t shotIndex = 0;
  double shotStart = 0;
  for (int64_t f = 0; f < totalFrames; ++f) {
    const double t = static_cast<double>(f) / p.fps;
    while (shotIndex + 1 < shots.size() && t >= shotStart + shots[shotIndex].seconds)
      shotStart += shots[shotIndex++].seconds;
    DrawShotFrame(shots[shotIndex], t - shotStart, p.width, p.height, frame);
    if (!enc.AddVideoFrame(frame.data(), p.width * 4)) return fail("video encoding failed");
    if (p.audio) {
      // Music up to the end of this frame, so both streams stay interleaved; silence past its end.
      const int64_t until = std::min<int64_t>(totalSamples, (f + 1) * rate / p.fps);
      chunk.clear();
      for (; sent < until; ++sent) {
        const double gain =
            sent > totalSamples - fadeSamples ? static_cast<double>(totalSamples - sent) / fadeSamples : 1.0;
        for (int c = 0; c < channels; ++c) {
          const size_t k = static_cast<size_t>(sent) * channels + c;
          chunk.push_back(k < pcm.size() ? static_cast<int16_t>(pcm[k] * gain) : 0);
        }
      }
      if (!chunk.empty() && !enc.AddAudio(chunk.data(), chunk.size() / channels)) return fail("audio encoding failed");
    }
  }
  if (!enc.Finish()) return fail("the movie could not be finished");
  return 0;
}

int Info(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: v4data movie info <file>\n");
    return 2;
  }
  // The decoder reads whatever it is given as it arrives (the game plays from a thread that may
  // wait); the tool wants a whole file and must not block on a pipe.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(args[0], ec)) {
    std::fprintf(stderr, "movie info: %s: not a regular file\n", args[0].c_str());
    return 1;
  }
  plat::MovieDecoder dec;
  std::string error;
  if (!dec.Open(args[0], 0, &error)) {
    std::fprintf(stderr, "movie info: %s: %s\n", args[0].c_str(), error.c_str());
    return 1;
  }
  const plat::MovieInfo i = dec.Info();
  // The container's stated length is only a claim: decode everything and report what plays.
  plat::MovieVideoFrame video;
  plat::MovieAudioChunk audio;
  int frames = 0;
  double videoEnd = 0, audioEnd = 0;
  for (;;) {
    const plat::MovieDecodeStatus st = dec.Next(video, audio);
    if (st == plat::MovieDecodeStatus::kEnd) break;
    if (st == plat::MovieDecodeStatus::kVideo) {
      ++frames;
      videoEnd = video.pts + (i.fps > 0 ? 1.0 / i.fps : 0.0);
    } else {
      audioEnd = std::max(audioEnd, audio.End());
    }
  }
  const double played = std::max(videoEnd, audioEnd);
  std::printf("video %s %dx%d %.3f fps, %d frames decoded\naudio %s\nduration %.3f s (stated %.3f s)\n",
              i.hasVideo ? "yes" : "no", i.width, i.height, i.fps, frames, i.hasAudio ? "yes" : "no", played,
              i.duration);
  // A stated length that the streams fall short of by more than half a second means a cut file.
  if ((i.hasVideo && frames == 0) || (i.duration > 0 && played + 0.5 < i.duration)) {
    std::fprintf(stderr, "movie info: %s: the streams end at %.3f s of a stated %.3f s: cut short or damaged\n",
                 args[0].c_str(), played, i.duration);
    return 1;
  }
  return 0;
}

int RunMovie(const std::vector<std::string>& args) {
  if (!args.empty() && args[0] == "pattern") return Pattern({args.begin() + 1, args.end()});
  if (!args.empty() && args[0] == "info") return Info({args.begin() + 1, args.end()});
  if (!args.empty() && args[0] == "shots") return Shots({args.begin() + 1, args.end()});
  std::fprintf(stderr,
               "usage: v4data movie pattern [--size WxH] [--fps N] [--seconds S] [--tone HZ] [--quality Q] <out>\n"
               "       v4data movie shots [--size WxH] [--fps N] [--quality Q] [--music a.wav ...] <shots.json> "
               "<pictures> <out>\n"
               "       v4data movie info <file>\n");
  return 2;
}

const V4Command kCmd{
    "movie",
    "pattern [--size WxH] [--fps N] [--seconds S] [--tone HZ] [--quality Q] <out> | shots [--size WxH] "
    "[--fps N] [--quality Q] [--music a.wav ...] <shots.json> <pictures> <out> | info <file>",
    &RunMovie};

}  // namespace
