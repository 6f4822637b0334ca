#include "platform/movie/movie_stream.h"

#include <algorithm>

#include "platform/text/log.h"

namespace plat {

MovieStream::~MovieStream() { Close(); }

bool MovieStream::Open(const std::string& osPath, int decoderThreads, std::string* error) {
  Close();
  if (!decoder_.Open(osPath, decoderThreads, error)) return false;
  info_ = decoder_.Info();
  {
    std::lock_guard<std::mutex> lock(mu_);
    video_.clear();
    audio_.clear();
    queuedAudio_ = 0;
    producedUntil_ = 0;
    ended_ = closing_ = seekPending_ = false;
    serial_ = 0;
  }
  open_ = true;
  thread_ = std::thread(&MovieStream::Run, this);
  return true;
}

void MovieStream::Close() {
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      closing_ = true;
    }
    producerCv_.notify_all();
    consumerCv_.notify_all();
    thread_.join();
  }
  decoder_.Close();
  std::lock_guard<std::mutex> lock(mu_);
  video_.clear();
  audio_.clear();
  spare_.clear();
  queuedAudio_ = 0;
  open_ = false;
  info_ = MovieInfo{};
}

void MovieStream::Seek(double seconds) {
  if (!open_) return;
  {
    std::lock_guard<std::mutex> lock(mu_);
    ++serial_;
    seekPending_ = true;
    seekTarget_ = seconds;
    for (auto& f : video_) spare_.push_back(std::move(f.rgba));
    video_.clear();
    audio_.clear();
    queuedAudio_ = 0;
    producedUntil_ = seconds;
    ended_ = false;
  }
  producerCv_.notify_all();
}

void MovieStream::Run() {
  MovieVideoFrame video;
  MovieAudioChunk audio;
  const double frameLength = info_.fps > 0 ? 1.0 / info_.fps : 0;
  std::unique_lock<std::mutex> lock(mu_);
  unsigned serial = serial_;
  while (!closing_) {
    if (seekPending_) {
      seekPending_ = false;
      serial = serial_;
      double target = seekTarget_;
      lock.unlock();
      bool ok = decoder_.Seek(target);
      lock.lock();
      if (!ok && serial == serial_) {
        ended_ = true;
        consumerCv_.notify_all();
      }
      continue;
    }
    if (ended_) {
      producerCv_.wait(lock, [&] { return closing_ || seekPending_; });
      continue;
    }
    if (!spare_.empty() && video.rgba.capacity() == 0) {
      video.rgba = std::move(spare_.back());
      spare_.pop_back();
    }
    lock.unlock();
    MovieDecodeStatus status = decoder_.Next(video, audio);
    lock.lock();
    if (closing_) break;
    if (serial != serial_) continue;  // a seek overtook this item
    switch (status) {
      case MovieDecodeStatus::kVideo:
        producerCv_.wait(lock, [&] { return closing_ || serial != serial_ || video_.size() < kMaxQueuedFrames; });
        if (closing_ || serial != serial_) break;
        producedUntil_ = std::max(producedUntil_, video.pts + frameLength);
        video_.push_back(std::move(video));
        video = MovieVideoFrame{};
        consumerCv_.notify_all();
        break;
      case MovieDecodeStatus::kAudio:
        // Sound at its limit waits only while pictures are queued (taking them frees both); with
        // no picture queued the decoder must go on to reach the next one, so the two queues never
        // block each other.
        if (!wait_) {
          producerCv_.wait(lock, [&] {
            return closing_ || serial != serial_ || queuedAudio_ < kMaxQueuedAudio ||
                   (video_.empty() && info_.hasVideo);
          });
        }
        if (closing_ || serial != serial_) break;
        producedUntil_ = std::max(producedUntil_, audio.End());
        queuedAudio_ += static_cast<double>(audio.Frames()) / kMovieAudioRate;
        audio_.push_back(std::move(audio));
        audio = MovieAudioChunk{};
        consumerCv_.notify_all();
        break;
      case MovieDecodeStatus::kEnd:
        ended_ = true;
        consumerCv_.notify_all();
        break;
    }
  }
}

bool MovieStream::TakeVideoUpTo(double t, MovieVideoFrame& out) {
  if (!open_) return false;
  std::unique_lock<std::mutex> lock(mu_);
  bool got = false;
  for (;;) {
    while (!video_.empty() && video_.front().pts <= t + 1e-9) {
      if (out.rgba.capacity() > 0 && spare_.size() < kMaxQueuedFrames) spare_.push_back(std::move(out.rgba));
      out = std::move(video_.front());
      video_.pop_front();
      got = true;
    }
    producerCv_.notify_all();
    if (!wait_ || ended_ || closing_ || !video_.empty() || !info_.hasVideo) break;
    consumerCv_.wait(lock, [&] { return ended_ || closing_ || !video_.empty(); });
  }
  return got;
}

size_t MovieStream::TakeAudio(double from, double until, std::vector<int16_t>& out) {
  if (!open_) return 0;
  std::unique_lock<std::mutex> lock(mu_);
  size_t frames = 0;
  for (;;) {
    while (!audio_.empty() && audio_.front().pts < until) {
      MovieAudioChunk& c = audio_.front();
      queuedAudio_ -= static_cast<double>(c.Frames()) / kMovieAudioRate;
      if (c.End() > from) {
        out.insert(out.end(), c.samples.begin(), c.samples.end());
        frames += c.Frames();
      }
      audio_.pop_front();
    }
    if (audio_.empty() || queuedAudio_ < 0) queuedAudio_ = 0;  // no rounding drift
    producerCv_.notify_all();
    if (!wait_ || ended_ || closing_ || !audio_.empty() || !info_.hasAudio) break;
    // Headless: wait for the decoder unless it is held up by a full picture queue.
    if (video_.size() >= kMaxQueuedFrames) break;
    consumerCv_.wait(lock, [&] { return ended_ || closing_ || !audio_.empty() || video_.size() >= kMaxQueuedFrames; });
  }
  return frames;
}

bool MovieStream::Drained() const {
  if (!open_) return true;
  std::lock_guard<std::mutex> lock(mu_);
  return ended_ && !seekPending_ && video_.empty() && audio_.empty();
}

double MovieStream::ProducedUntil() const {
  std::lock_guard<std::mutex> lock(mu_);
  return producedUntil_;
}

}  // namespace plat
