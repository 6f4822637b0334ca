#include "movie/movie_player.h"

#include <algorithm>
#include <limits>

double LoopOvershootPosition(double elapsed, double duration, double lastPosition) {
  return elapsed - (duration - lastPosition);
}

bool MoviePlayer::Open(const std::string& osPath, MovieFrameTarget* target, const MovieAudioSinkFactory& sinks,
                       bool waitForDecoder, std::string* error) {
  Close();
  target_ = target;
  stream_.SetWaitForDecoder(waitForDecoder);
  // One decoding thread per movie: the stream's own. The sample movies decode many times faster
  // than real time on one core, and several movies may play at once.
  if (!stream_.Open(osPath, 1, error)) return false;
  if (stream_.Info().hasAudio && sinks) sink_ = sinks();
  if (sink_) sink_->SetMovieAudioRunning(false);
  open_ = true;
  running_ = false;
  ended_ = false;
  lastPosition_ = 0;
  return true;
}

void MoviePlayer::Close() {
  stream_.Close();
  if (sink_) sink_->FlushMovieAudio();
  sink_.reset();
  open_ = running_ = ended_ = haveFrame_ = false;
  current_ = plat::MovieVideoFrame{};
  lastPosition_ = 0;
}

double MoviePlayer::Duration() const {
  if (!open_) return 0;
  double d = stream_.Info().duration;
  if (d > 0) return d;
  // The container gave no length: the movie ends where the decoder ran out.
  return stream_.Drained() ? stream_.ProducedUntil() : std::numeric_limits<double>::infinity();
}

bool MoviePlayer::Play() {
  if (!open_) return false;
  running_ = true;
  ended_ = false;
  if (sink_) sink_->SetMovieAudioRunning(true);
  return true;
}

void MoviePlayer::SeekAndRun(double position) {
  if (!open_) return;
  const double duration = Duration();
  if (!(position >= 0 && position <= duration)) position = 0;
  stream_.Seek(position);
  if (sink_) sink_->FlushMovieAudio();
  lastPosition_ = position;
  Play();
}

bool MoviePlayer::Advance(double elapsed) {
  if (!open_) return false;
  const double duration = Duration();
  if (!running_) return !ended_ && lastPosition_ < duration;
  const double position = lastPosition_ + std::max(0.0, elapsed);
  if (position < duration) {
    lastPosition_ = position;
    Deliver(position);
    return true;
  }
  if (!loop) {
    Deliver(duration);
    lastPosition_ = duration;
    ended_ = true;
    running_ = false;
    // A movie left open at its end must fall silent: its looping sound buffer would otherwise come
    // round again with the sound it already played.
    if (sink_) {
      sink_->SetMovieAudioRunning(false);
      sink_->FlushMovieAudio();
    }
    return false;
  }
  SeekAndRun(LoopOvershootPosition(elapsed, duration, lastPosition_));
  Deliver(lastPosition_);
  return true;
}

bool MoviePlayer::IsFinished() const { return !open_ || !running_ || ended_; }

void MoviePlayer::SetVolume(int32_t volume) {
  volume = std::clamp<int32_t>(volume, 0, 10000);
  if (sink_) sink_->SetMovieAttenuation(volume - 10000);
}

void MoviePlayer::SetTarget(MovieFrameTarget* target) {
  target_ = target;
  if (target_ && haveFrame_)
    target_->OnMovieFrame(current_.rgba.data(), current_.width, current_.height, current_.width * 4);
}

void MoviePlayer::GetVideoSize(uint32_t* width, uint32_t* height) const {
  const plat::MovieInfo& info = stream_.Info();
  if (width) *width = open_ ? static_cast<uint32_t>(info.width) : 0;
  if (height) *height = open_ ? static_cast<uint32_t>(info.height) : 0;
}

void MoviePlayer::Deliver(double position) {
  if (stream_.TakeVideoUpTo(position, current_)) {
    haveFrame_ = true;
    if (target_) target_->OnMovieFrame(current_.rgba.data(), current_.width, current_.height, current_.width * 4);
  }
  if (sink_) {
    audioScratch_.clear();
    size_t frames = stream_.TakeAudio(position, position + kMovieAudioLead, audioScratch_);
    if (frames > 0) sink_->QueueMovieAudio(audioScratch_.data(), frames);
  }
}

MovieRect FitMovieRect(int videoW, int videoH, int areaX, int areaY, int areaW, int areaH) {
  MovieRect r{areaX, areaY, std::max(0, areaW), std::max(0, areaH)};
  if (videoW <= 0 || videoH <= 0 || areaW <= 0 || areaH <= 0) return r;
  // Compare aspect ratios in 64-bit integers so the result is exact and symmetric.
  const int64_t lhs = static_cast<int64_t>(videoW) * areaH;
  const int64_t rhs = static_cast<int64_t>(areaW) * videoH;
  if (lhs > rhs) {
    r.height = static_cast<int>(static_cast<int64_t>(areaW) * videoH / videoW);
    r.y = areaY + (areaH - r.height) / 2;
  } else if (lhs < rhs) {
    r.width = static_cast<int>(static_cast<int64_t>(areaH) * videoW / videoH);
    r.x = areaX + (areaW - r.width) / 2;
  }
  return r;
}
