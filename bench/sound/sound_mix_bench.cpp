// Cost of one minute of game audio: all seven channels busy, both music streams decoding Vorbis on
// their workers, the mixer pulled through the capture output. Target: under 2% of the audio's
// duration on one core (the "fraction" counter; process CPU time over all threads).
#include <benchmark/benchmark.h>

#include "bench/support/bench_target.h"

#include <unistd.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/game_file.h"
#include "sound/sound.h"
#include "platform/audio/mixer.h"
#include "platform/audio/sound_formats.h"
#include "platform/audio/vorbis.h"
#include "platform/audio/wave.h"
#include "platform/fs/fs.h"

namespace {

std::vector<int16_t> Music(size_t frames, double base) {
  std::vector<int16_t> s(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    const double t = double(i) / 44100.0;
    const double v = 0.3 * std::sin(2 * M_PI * base * t) + 0.2 * std::sin(2 * M_PI * base * 1.5 * t) +
                     0.1 * std::sin(2 * M_PI * base * 4.02 * t) * std::sin(2 * M_PI * 0.5 * t);
    s[2 * i] = int16_t(20000 * v);
    s[2 * i + 1] = int16_t(18000 * v);
  }
  return s;
}

void WriteFile(const std::filesystem::path& p, const std::vector<uint8_t>& b) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), long(b.size()));
}

void BM_MixOneMinuteAllChannels(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() / ("v4_sound_bench_" + std::to_string(getpid()));
  for (int k = 0; k < 2; ++k) {
    std::vector<uint8_t> ogg;
    const auto pcm = Music(44100 * 10, 110.0 * (k + 1));
    plat::EncodeVorbis(pcm.data(), pcm.size() / 2, 2, 44100, 0.4f, ogg);
    WriteFile(dir / "Data" / "bgm" / (k ? "B.voi" : "A.voi"), plat::BuildVoiFile(ogg));
  }
  const auto fx = Music(44100, 660.0);
  WriteFile(dir / "Data" / "se" / "fx.wav", plat::BuildWaveImage(2, 44100, 16, fx.data(), fx.size() * 2));
  const auto fx22 = Music(22050, 440.0);
  WriteFile(dir / "Data" / "se" / "fx22.wav", plat::BuildWaveImage(2, 22050, 16, fx22.data(), fx22.size() * 2));
  SetModuleDirFromHost(dir.string() + "/");
  plat::InvalidateDirectoryCache();

  plat::CaptureOutput* out = InitSoundCapture();
  StartSoundStreams();
  out->SetSync([] { WaitSoundStreamsIdle(); });
  for (int ch = 0; ch < kSoundChannelCount; ++ch) SetChannelVolumeLevel(ch, 4);
  PlaySound(0, "Data\\bgm\\A.voi", 1, 0, 0);
  PlaySound(0, "Data\\bgm\\B.voi", 1, 0, 0);  // A moves to channel 1 and keeps playing (no fade steps)
  for (int ch = 2; ch < kSoundChannelCount; ++ch)
    PlaySound(ch, ch % 2 ? "Data\\se\\fx.wav" : "Data\\se\\fx22.wav", 1, 0, ch * 1000 - 4000);
  WaitSoundStreamsIdle();

  const size_t frames = 44100 * 60;
  const std::clock_t c0 = std::clock();  // process CPU time: the mixer and both workers
  for (auto _ : state) {
    auto s = out->Pull(frames);
    benchmark::DoNotOptimize(s.data());
  }
  const double cpu = double(std::clock() - c0) / CLOCKS_PER_SEC;
  state.counters["fraction_pct"] = 100.0 * cpu / (60.0 * double(state.iterations()));
  state.counters["channels_playing"] = [] {
    int n = 0;
    for (int ch = 0; ch < kSoundChannelCount; ++ch) n += IsChannelPlaying(ch);
    return n;
  }();
  ReleaseSound();
  std::filesystem::remove_all(dir);
}

BENCHMARK(BM_MixOneMinuteAllChannels)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);
V4_BENCH_COUNTER_TARGET(BM_MixOneMinuteAllChannels, "fraction_pct", 2.0);

}  // namespace
