// v4data movie pattern [--size WxH] [--fps N] [--seconds S] [--tone HZ] [--quality Q] <out>
//   writes a test-pattern movie (colour bars, a moving white square, a binary frame counter and a
//   sine tone; --tone 0 leaves the sound out).
// v4data movie info <file>: prints what the game's decoder sees in a movie.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "command.h"
#include "platform/movie/movie_decoder.h"
#include "platform/movie/movie_encoder.h"

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
  if (x == std::string::npos || !ParseNumber(text.substr(0, x), 16, 4096, a) || !ParseNumber(text.substr(x + 1), 16, 4096, b))
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
  std::fprintf(stderr,
               "usage: v4data movie pattern [--size WxH] [--fps N] [--seconds S] [--tone HZ] [--quality Q] <out>\n"
               "       v4data movie info <file>\n");
  return 2;
}

const V4Command kCmd{"movie", "pattern [--size WxH] [--fps N] [--seconds S] [--tone HZ] [--quality Q] <out> | info <file>",
                     &RunMovie};

}  // namespace
