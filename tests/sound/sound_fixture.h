// Shared fixture of the sound tests: a fresh game folder with sounds made by our own writers, the
// sound system on the capture output (no device), and a recorder of error boxes.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/error_box.h"
#include "core/game_file.h"
#include "sound/sound.h"
#include "platform/audio/mixer.h"
#include "platform/audio/sound_formats.h"
#include "platform/audio/vorbis.h"
#include "platform/audio/wave.h"
#include "platform/fs/fs.h"
#include "tests/support/recording_boxes.h"
#include "tests/support/temp_folder.h"

namespace soundtest {

// Interleaved stereo: a slow ramp on the left and a tone on the right, different per `seed`, so a
// misplaced or repeated block of samples shows.
inline std::vector<int16_t> Signal(size_t frames, int seed) {
  std::vector<int16_t> s(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    s[2 * i] = int16_t(8000 * std::sin(2 * M_PI * (110.0 + 30 * seed) * double(i) / 44100.0));
    s[2 * i + 1] = int16_t(6000 * std::sin(2 * M_PI * (330.0 + 50 * seed) * double(i) / 44100.0 + seed));
  }
  return s;
}

inline std::vector<uint8_t> VoiOf(const std::vector<int16_t>& stereo) {
  std::vector<uint8_t> ogg;
  EXPECT_TRUE(plat::EncodeVorbis(stereo.data(), stereo.size() / 2, 2, 44100, 0.4f, ogg));
  return plat::BuildVoiFile(ogg);
}

// What the decoder makes of a .voi (the reference for sample-exact comparisons).
inline std::vector<int16_t> DecodeVoi(const std::vector<uint8_t>& voi) {
  size_t base = 0;
  EXPECT_TRUE(plat::ParseVoiHeader(voi.data(), voi.size(), base));
  plat::DecodedSound d;
  EXPECT_TRUE(plat::DecodeVorbisMemory(voi.data() + base, voi.size() - base, 2, d));
  const auto* p = reinterpret_cast<const int16_t*>(d.pcm.data());
  return std::vector<int16_t>(p, p + d.pcm.size() / 2);
}

inline std::vector<uint8_t> Wave16(const std::vector<int16_t>& interleaved, int channels, int rate) {
  return plat::BuildWaveImage(channels, rate, 16, interleaved.data(), interleaved.size() * 2);
}

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Made());
    dir_ = temp_.Path();
    std::filesystem::create_directories(dir_ / "Data");
    ASSERT_TRUE(SetModuleDirFromHost(dir_.string() + "/"));
    plat::InvalidateDirectoryCache();
    SetErrorBoxPresenter(&boxes_);
    capture_ = InitSoundCapture();
    ASSERT_NE(capture_, nullptr);
    StartSoundStreams();
    capture_->SetSync([] { WaitSoundStreamsIdle(); });
    for (int ch = 0; ch < kSoundChannelCount; ++ch) SetChannelVolumeLevel(ch, 4);  // 8500
    SetChannelVolumeLevel(1, -1);  // the previous-music channel is never configured
    SetSoundWindowActive(true);
  }
  void TearDown() override {
    ReleaseSound();
    SetErrorBoxPresenter(nullptr);
  }

  void Write(const std::string& rel, const std::vector<uint8_t>& bytes) {
    const auto p = dir_ / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    plat::InvalidateDirectoryCache();
  }

  std::vector<int16_t> Pull(size_t frames) {
    auto s = capture_->Pull(frames);
    WaitSoundStreamsIdle();
    return s;
  }

  v4test::TempFolder temp_{"v4_sound"};
  std::filesystem::path dir_;
  v4test::RecordingBoxes boxes_;
  plat::CaptureOutput* capture_ = nullptr;
};

}  // namespace soundtest
