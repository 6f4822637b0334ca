// Decoding and converting a 1280x720, 30 fps, 10 s movie (with sound) on one decoder thread.
// Target: under a quarter of the movie's length, i.e. the counter "share_of_duration" < 0.25.
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/movie/movie_decoder.h"
#include "platform/movie/movie_encoder.h"

namespace {

constexpr double kSeconds = 10;

// The movie is written once per run into a temporary folder.
const std::string& BenchMovie() {
  static std::string path = [] {
    std::string dir = (std::filesystem::temp_directory_path() / "v4movie-bench-XXXXXX").string();
    if (!mkdtemp(dir.data())) std::abort();
    std::string p = dir + "/bench.mdm";
    plat::TestPatternParams tp;
    tp.width = 1280;
    tp.height = 720;
    tp.fps = 30;
    tp.seconds = kSeconds;
    tp.toneHz = 440;
    tp.quality = 4;
    std::string error;
    if (!plat::WriteTestPatternMovie(p, tp, &error)) {
      std::fprintf(stderr, "cannot write the bench movie: %s\n", error.c_str());
      std::abort();
    }
    std::atexit([] { std::filesystem::remove_all(std::filesystem::path(BenchMovie()).parent_path()); });
    return p;
  }();
  return path;
}

void BM_DecodeConvert720p30(benchmark::State& state) {
  const std::string& path = BenchMovie();
  int64_t frames = 0;
  for (auto _ : state) {
    plat::MovieDecoder dec;
    if (!dec.Open(path, 1)) {
      state.SkipWithError("open failed");
      return;
    }
    plat::MovieVideoFrame v;
    plat::MovieAudioChunk a;
    for (plat::MovieDecodeStatus s; (s = dec.Next(v, a)) != plat::MovieDecodeStatus::kEnd;) {
      if (s == plat::MovieDecodeStatus::kVideo) {
        ++frames;
        benchmark::DoNotOptimize(v.rgba.data());
      }
    }
  }
  state.counters["frames"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kAvgIterations);
  // Wall time per pass divided by the movie's length.
  state.counters["share_of_duration"] = benchmark::Counter(static_cast<double>(state.iterations()) * kSeconds,
                                                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DecodeConvert720p30)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
V4_BENCH_COUNTER_TARGET(BM_DecodeConvert720p30, "share_of_duration", 0.25);

}  // namespace
