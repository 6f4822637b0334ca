#include "sound/sound_stream.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/audio/mixer.h"
#include "platform/fs/fs.h"
#include "platform/text/log.h"

namespace {

constexpr size_t kHalfFrames = SoundStream::kHalfBytes / 4;
constexpr int kReadChunk = 4096;

}  // namespace

struct SoundStream::NotifyLink {
  std::mutex mu;
  SoundStream* target = nullptr;
};

SoundStream::SoundStream() = default;

SoundStream::~SoundStream() { Shutdown(); }

int SoundStream::Start(plat::Mixer* mixer) {
  if (worker_.joinable() || buffer_ >= 0) return -1;
  if (!mixer) return -2;
  const int id = mixer->CreateBuffer(plat::PcmFormat{2, plat::kMixRate, 16}, kBufferBytes / 4);
  if (id < 0) return -2;
  mixer_ = mixer;
  buffer_ = id;
  auto link = std::make_shared<NotifyLink>();
  link->target = this;
  link_ = link;
  mixer_->SetNotifications(buffer_, {0, kHalfFrames}, [link](int index) {
    std::lock_guard lk(link->mu);
    if (link->target) link->target->OnCursor(index);
  });
  {
    std::lock_guard lk(evMu_);
    evCommand_ = evAt0_ = evAtHalf_ = false;
    busy_ = true;  // until the worker first waits
  }
  worker_ = std::thread([this] { Worker(); });
  return 0;
}

void SoundStream::Post(Command c) {
  std::lock_guard lk(evMu_);
  if (!worker_.joinable()) return;
  command_ = c;
  idle_ = 0;
  evCommand_ = true;
  evCv_.notify_one();
}

void SoundStream::OnCursor(int index) {
  std::lock_guard lk(evMu_);
  if (index == 0)
    evAt0_ = true;
  else
    evAtHalf_ = true;
  idle_ = 0;
  evCv_.notify_one();
}

void SoundStream::WaitIdle() {
  std::unique_lock lk(evMu_);
  if (!worker_.joinable()) return;
  idleCv_.wait(lk, [this] { return !busy_ && !evCommand_ && !evAt0_ && !evAtHalf_; });
}

void SoundStream::CloseDecoder() {
  decoder_.Close();
  fileOpen_ = false;
}

static bool OpenVoiByProgramPath(plat::VorbisFileStream& dec, const std::string& path, const char** why = nullptr) {
  std::string host;
  if (!plat::ResolvePath(path, host)) {
    if (why) *why = "music file not found";
    return false;
  }
  if (dec.OpenVoi(host)) return true;
  if (why) *why = "not a playable .voi (damaged header or Ogg Vorbis stream)";
  return false;
}

bool SoundStream::ReopenLoopFile() {
  decoder_.Close();
  fileOpen_ = OpenVoiByProgramPath(decoder_, reopenName_);
  return fileOpen_;
}

int SoundStream::Open(const char* path, const char* loopPath) {
  std::lock_guard lk(workMu_);
  // The worker is between passes while we hold workMu_, so closing the decoder is safe; whatever it
  // was asked to do for the old file no longer applies.
  if (mixer_ && buffer_ >= 0) mixer_->Stop(buffer_);
  playing_ = 0;
  countdown_ = 0;
  {
    std::lock_guard ek(evMu_);
    evCommand_ = evAt0_ = evAtHalf_ = false;
    idleCv_.notify_all();
  }
  CloseDecoder();
  decoded_ = 0;
  const char* why = "no music file named";
  if (!path || !OpenVoiByProgramPath(decoder_, path, &why)) {
    plat::LogRefusedFile("sound", path ? path : "(null)", why);
    return -1;
  }
  if (decoder_.Rate() != plat::kMixRate)
    plat::Log("sound", "music %s is %d Hz; streams play 44100 Hz", path, decoder_.Rate());
  reopenName_ = (loopPath && *loopPath) ? loopPath : path;
  fileOpen_ = true;
  return 0;
}

void SoundStream::Play(bool loop) {
  loop_ = loop ? 1 : 0;
  if (fileOpen_) Post(kPlay);
}

void SoundStream::Halt() {
  if (fileOpen_) Post(kHalt);
}

void SoundStream::Resume() { Post(kResume); }

void SoundStream::Stop() { Post(kStop); }

void SoundStream::Shutdown() {
  if (buffer_ < 0 && !worker_.joinable()) {
    std::lock_guard lk(workMu_);
    CloseDecoder();
    return;
  }
  playing_ = 0;
  if (worker_.joinable()) {
    Post(kQuit);
    worker_.join();
  }
  if (link_) {
    std::lock_guard l2(link_->mu);
    link_->target = nullptr;
  }
  link_.reset();
  if (mixer_ && buffer_ >= 0) {
    mixer_->Stop(buffer_);
    mixer_->DestroyBuffer(buffer_);
  }
  buffer_ = -1;
  mixer_ = nullptr;
  std::lock_guard lk(workMu_);
  CloseDecoder();
}

bool SoundStream::IsPlaying() const { return mixer_ && buffer_ >= 0 && mixer_->IsPlaying(buffer_); }

int SoundStream::GetVolume() const {
  if (!mixer_ || buffer_ < 0) return -1;
  return mixer_->Volume(buffer_) + 10000;
}

void SoundStream::SetVolume(int volume) {
  if (mixer_ && buffer_ >= 0) mixer_->SetVolume(buffer_, volume - 10000);
}

void SoundStream::Worker() {
  decodeBuf_.assign(kBufferBytes, 0);
  for (;;) {
    bool haveCommand = false;
    uint32_t command = 0, writeOffset = 0;
    {
      std::unique_lock lk(evMu_);
      busy_ = false;
      idle_ = 1;
      waiting_ = 1;
      idleCv_.notify_all();
      evCv_.wait(lk, [this] { return evCommand_ || evAt0_ || evAtHalf_; });
      waiting_ = 0;
      busy_ = true;
      // A command first; then the cursor: at 0 the second half is free, at the half the first.
      if (evCommand_) {
        evCommand_ = false;
        haveCommand = true;
        command = command_;
      } else if (evAt0_) {
        evAt0_ = false;
        writeOffset = kHalfBytes;
      } else {
        evAtHalf_ = false;
        writeOffset = 0;
      }
    }
    if (!Pass(haveCommand, command, writeOffset)) break;
  }
  decodeBuf_.clear();
  decodeBuf_.shrink_to_fit();
  std::lock_guard lk(evMu_);
  busy_ = false;
  waiting_ = 0;
  idleCv_.notify_all();
}

bool SoundStream::Pass(bool haveCommand, uint32_t command, uint32_t writeOffset) {
  std::lock_guard lk(workMu_);
  // A cursor event that was in flight while the track changed can arrive after the new track
  // started: it is recognised by the cursor being in the other half, and dropped (it would
  // overwrite the half being played).
  if (!haveCommand && mixer_->IsPlaying(buffer_)) {
    const bool cursorInSecondHalf = mixer_->Position(buffer_) >= kHalfFrames;
    if (cursorInSecondHalf != (writeOffset == 0)) return true;
  }
  // The end countdown runs on cursor events only: a command must never be swallowed by it.
  if (!haveCommand && countdown_ > 0) {
    if (--countdown_ == 0) {
      mixer_->Stop(buffer_);
      return true;
    }
  }
  bool started = false;
  if (haveCommand) {
    switch (command) {
      case kQuit:
        return false;
      case kPlay:
        countdown_ = 0;
        playing_ = 1;
        mixer_->Stop(buffer_);
        mixer_->SetPosition(buffer_, 0);
        writeOffset = 0;
        decoded_ = 0;
        started = true;
        break;
      case kHalt:
        if (playing_) mixer_->Stop(buffer_);
        return true;
      case kResume:
        playing_ = 1;
        mixer_->Play(buffer_, true);
        return true;
      case kStop:
        countdown_ = 0;
        playing_ = 0;
        mixer_->Stop(buffer_);
        return true;
      default:
        return true;
    }
  }

  char* d = decodeBuf_.data();
  if (!playing_) {
    static const std::vector<char> zeros(kHalfBytes, 0);
    mixer_->Write(buffer_, writeOffset, zeros.data(), kHalfBytes);
  } else {
    int errors = 0;
    bool dataSinceReopen = true;
    while (decoded_ < kHalfBytes) {
      const int want = int(std::min<uint32_t>(kReadChunk, kBufferBytes - decoded_));
      const long r = decoder_.IsOpen() ? decoder_.Read(d + decoded_, want) : 0;
      if (r > 0) {
        decoded_ += uint32_t(std::min<long>(r, long(kBufferBytes - decoded_)));
        errors = 0;
        dataSinceReopen = true;
        continue;
      }
      if (r < 0 && ++errors < kMaxDecodeErrors) continue;
      // End of the stream, or a decoder that keeps failing. Looping reopens the loop file, unless
      // the file just reopened gave nothing (an empty or broken loop file would spin for ever).
      if (loop_ && dataSinceReopen && ReopenLoopFile()) {
        dataSinceReopen = false;
        errors = 0;
        continue;
      }
      CloseDecoder();
      std::memset(d + decoded_, 0, kBufferBytes - decoded_);
      decoded_ = kHalfBytes;
      playing_ = 0;
      countdown_ = 2;
      break;
    }
    mixer_->Write(buffer_, writeOffset, d, kHalfBytes);
    const uint32_t surplus = decoded_ - kHalfBytes;
    if (surplus) std::memmove(d, d + kHalfBytes, surplus);
    decoded_ = surplus;
  }
  if (started) {
    mixer_->SetPosition(buffer_, 0);
    mixer_->Play(buffer_, true);  // reaching position 0 asks for the second half
  }
  return true;
}
