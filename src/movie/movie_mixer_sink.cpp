#include "movie/movie_mixer_sink.h"

#include <algorithm>
#include <vector>

#include "platform/audio/mixer.h"

namespace {

class MixerMovieAudioSink final : public MovieAudioSink {
 public:
  // Two seconds: far more than the lead plus a slow frame, so the writer never laps the cursor.
  static constexpr size_t kRingFrames = plat::kMixRate * 2;
  // Silence kept written beyond the data, so a late frame plays quiet rather than old sound.
  static constexpr size_t kGuardFrames = plat::kMixRate / 2;

  explicit MixerMovieAudioSink(plat::Mixer& mixer) : mixer_(mixer) {
    plat::PcmFormat fmt;
    id_ = mixer_.CreateBuffer(fmt, kRingFrames);
  }
  ~MixerMovieAudioSink() override {
    if (id_ >= 0) mixer_.DestroyBuffer(id_);
  }

  void QueueMovieAudio(const int16_t* samples, size_t frames) override {
    if (id_ < 0 || frames == 0) return;
    CatchUp();
    if (written_ < played_) written_ = played_;  // ran dry: continue right at the cursor
    const size_t room = kRingFrames - kGuardFrames - static_cast<size_t>(written_ - played_);
    frames = std::min(frames, room);
    WriteRing(written_, samples, frames);
    written_ += frames;
    ZeroRing(written_, kGuardFrames);
  }

  void FlushMovieAudio() override {
    if (id_ < 0) return;
    CatchUp();
    written_ = played_;
    ZeroRing(played_, kRingFrames);
  }

  void SetMovieAttenuation(int32_t hundredthsDb) override {
    if (id_ >= 0) mixer_.SetVolume(id_, hundredthsDb);
  }

  void SetMovieAudioRunning(bool running) override {
    if (id_ < 0) return;
    CatchUp();
    if (running) {
      mixer_.Play(id_, true);
    } else {
      mixer_.Stop(id_);
    }
  }

 private:
  // Counts what the mixer played since the last call from its cursor movement.
  void CatchUp() {
    const size_t pos = mixer_.Position(id_);
    played_ += (pos + kRingFrames - lastCursor_) % kRingFrames;
    lastCursor_ = pos;
  }

  void WriteRing(uint64_t at, const int16_t* samples, size_t frames) {
    while (frames > 0) {
      const size_t offset = static_cast<size_t>(at % kRingFrames);
      const size_t n = std::min(frames, kRingFrames - offset);
      mixer_.Write(id_, offset * 4, samples, n * 4);
      samples += n * 2;
      frames -= n;
      at += n;
    }
  }

  void ZeroRing(uint64_t at, size_t frames) {
    if (zeros_.size() < frames * 2) zeros_.assign(frames * 2, 0);
    WriteRing(at, zeros_.data(), frames);
  }

  plat::Mixer& mixer_;
  int id_ = -1;
  uint64_t written_ = 0;  // frames written since creation
  uint64_t played_ = 0;   // frames the mixer has played since creation
  size_t lastCursor_ = 0;
  std::vector<int16_t> zeros_;
};

}  // namespace

MovieAudioSinkFactory MakeMixerMovieAudioSinkFactory(plat::Mixer& mixer) {
  plat::Mixer* m = &mixer;
  return [m]() -> std::unique_ptr<MovieAudioSink> { return std::make_unique<MixerMovieAudioSink>(*m); };
}
