#include "platform/audio/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plat {

struct Mixer::Buffer {
  PcmFormat fmt;
  size_t frames = 0;
  std::vector<int16_t> samples;  // frames x channels, converted to signed 16-bit on write
  uint64_t pos = 0;              // 32.32 fixed point, in source frames
  uint64_t step = 0;             // source frames per output frame, 32.32
  bool playing = false;
  bool loop = false;
  int volume = 0;
  int pan = 0;
  float gainL = 1.0f, gainR = 1.0f;
  std::vector<size_t> notify;
  NotifyFn notifyFn;

  void UpdateGains() {
    const float g = Mixer::GainOf(volume);
    gainL = g * (pan > 0 ? Mixer::GainOf(-pan) : 1.0f);
    gainR = g * (pan < 0 ? Mixer::GainOf(pan) : 1.0f);
  }
};

Mixer::Mixer() = default;
Mixer::~Mixer() = default;

float Mixer::GainOf(int hundredthsDb) {
  if (hundredthsDb <= kVolumeMin) return 0.0f;
  if (hundredthsDb >= 0) return 1.0f;
  return std::pow(10.0f, float(hundredthsDb) / 2000.0f);
}

int Mixer::CreateBuffer(const PcmFormat& fmt, size_t frames) {
  if ((fmt.channels != 1 && fmt.channels != 2) || (fmt.bitsPerSample != 8 && fmt.bitsPerSample != 16) ||
      fmt.rate <= 0 || frames == 0 || frames > (size_t(1) << 28))
    return -1;
  auto b = std::make_unique<Buffer>();
  b->fmt = fmt;
  b->frames = frames;
  b->samples.assign(frames * size_t(fmt.channels), 0);
  b->step = (uint64_t(fmt.rate) << 32) / kMixRate;
  std::lock_guard lk(mu_);
  for (size_t i = 0; i < buffers_.size(); ++i) {
    if (!buffers_[i]) {
      buffers_[i] = std::move(b);
      return int(i);
    }
  }
  buffers_.push_back(std::move(b));
  return int(buffers_.size() - 1);
}

void Mixer::DestroyBuffer(int id) {
  std::unique_ptr<Buffer> dead;
  std::lock_guard lk(mu_);
  if (id >= 0 && size_t(id) < buffers_.size()) dead = std::move(buffers_[size_t(id)]);
}

Mixer::Buffer* Mixer::Find(int id) const {
  return (id >= 0 && size_t(id) < buffers_.size()) ? buffers_[size_t(id)].get() : nullptr;
}

bool Mixer::Write(int id, size_t byteOffset, const void* data, size_t bytes) {
  std::lock_guard lk(mu_);
  Buffer* b = Find(id);
  if (!b) return false;
  const size_t align = size_t(b->fmt.BlockAlign());
  const size_t total = b->frames * align;
  if (byteOffset > total || bytes > total - byteOffset || byteOffset % align || bytes % align) return false;
  const size_t first = byteOffset / (b->fmt.bitsPerSample / 8);
  const size_t count = bytes / (b->fmt.bitsPerSample / 8);
  if (b->fmt.bitsPerSample == 16) {
    std::memcpy(b->samples.data() + first, data, bytes);
  } else {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < count; ++i) b->samples[first + i] = int16_t((int(p[i]) - 128) << 8);
  }
  return true;
}

size_t Mixer::SizeBytes(int id) const {
  std::lock_guard lk(mu_);
  const Buffer* b = Find(id);
  return b ? b->frames * size_t(b->fmt.BlockAlign()) : 0;
}

bool Mixer::Play(int id, bool loop) {
  NotifyFn fn;
  int hit = -1;
  {
    std::lock_guard lk(mu_);
    Buffer* b = Find(id);
    if (!b) return false;
    b->loop = loop;
    if (!b->playing) {
      b->playing = true;
      // Starting on a notification position counts as reaching it.
      const size_t at = size_t(b->pos >> 32);
      for (size_t i = 0; i < b->notify.size(); ++i)
        if (b->notify[i] == at && (b->pos & 0xFFFFFFFFu) == 0) hit = int(i);
      fn = b->notifyFn;
    }
  }
  if (hit >= 0 && fn) fn(hit);
  return true;
}

void Mixer::Stop(int id) {
  std::lock_guard lk(mu_);
  if (Buffer* b = Find(id)) b->playing = false;
}

bool Mixer::IsPlaying(int id) const {
  std::lock_guard lk(mu_);
  const Buffer* b = Find(id);
  return b && b->playing;
}

void Mixer::SetPosition(int id, size_t frame) {
  std::lock_guard lk(mu_);
  if (Buffer* b = Find(id)) b->pos = uint64_t(std::min(frame, b->frames - 1)) << 32;
}

size_t Mixer::Position(int id) const {
  std::lock_guard lk(mu_);
  const Buffer* b = Find(id);
  return b ? size_t(b->pos >> 32) : 0;
}

void Mixer::SetVolume(int id, int v) {
  std::lock_guard lk(mu_);
  if (Buffer* b = Find(id)) {
    b->volume = std::clamp(v, kVolumeMin, 0);
    b->UpdateGains();
  }
}

int Mixer::Volume(int id) const {
  std::lock_guard lk(mu_);
  const Buffer* b = Find(id);
  return b ? b->volume : kVolumeMin;
}

void Mixer::SetPan(int id, int pan) {
  std::lock_guard lk(mu_);
  if (Buffer* b = Find(id)) {
    b->pan = std::clamp(pan, kPanLeft, kPanRight);
    b->UpdateGains();
  }
}

void Mixer::SetNotifications(int id, std::vector<size_t> framePositions, NotifyFn fn) {
  std::lock_guard lk(mu_);
  if (Buffer* b = Find(id)) {
    b->notify = std::move(framePositions);
    b->notifyFn = std::move(fn);
  }
}

void Mixer::Mix(int16_t* out, size_t frames) {
  struct Fired {
    NotifyFn fn;
    int index;
  };
  std::vector<Fired> fired;
  {
    std::lock_guard lk(mu_);
    acc_.assign(frames * 2, 0.0f);
    float* acc = acc_.data();
    for (auto& bp : buffers_) {
      Buffer* b = bp.get();
      if (!b || !b->playing) continue;
      const uint64_t len = uint64_t(b->frames) << 32;
      const uint64_t start = b->pos;
      const int16_t* s = b->samples.data();
      const bool stereo = b->fmt.channels == 2;
      const bool exact = b->step == (uint64_t(1) << 32);
      const float gl = b->gainL * (1.0f / 32768.0f), gr = b->gainR * (1.0f / 32768.0f);
      const bool audible = gl > 0.0f || gr > 0.0f;
      uint64_t pos = b->pos;
      uint64_t advanced = 0;  // unwrapped, in 32.32
      size_t i = 0;
      while (i < frames) {
        if (pos >= len) {
          if (!b->loop) {
            b->playing = false;
            pos = 0;
            break;
          }
          pos -= len;
        }
        // Frames until the end of the buffer at this step.
        size_t n = size_t((len - pos + b->step - 1) / b->step);
        n = std::min(n, frames - i);
        if (audible) {
          float* a = acc + 2 * i;
          if (exact) {
            const size_t f0 = size_t(pos >> 32);
            if (stereo) {
              const int16_t* p = s + 2 * f0;
              for (size_t k = 0; k < n; ++k) {
                a[2 * k] += p[2 * k] * gl;
                a[2 * k + 1] += p[2 * k + 1] * gr;
              }
            } else {
              const int16_t* p = s + f0;
              for (size_t k = 0; k < n; ++k) {
                a[2 * k] += p[k] * gl;
                a[2 * k + 1] += p[k] * gr;
              }
            }
          } else {
            uint64_t q = pos;
            for (size_t k = 0; k < n; ++k, q += b->step) {
              const size_t f0 = size_t(q >> 32);
              size_t f1 = f0 + 1;
              if (f1 >= b->frames) f1 = b->loop ? 0 : f0;
              const float t = float(q & 0xFFFFFFFFu) * (1.0f / 4294967296.0f);
              if (stereo) {
                const float l = s[2 * f0] + (s[2 * f1] - s[2 * f0]) * t;
                const float r = s[2 * f0 + 1] + (s[2 * f1 + 1] - s[2 * f0 + 1]) * t;
                a[2 * k] += l * gl;
                a[2 * k + 1] += r * gr;
              } else {
                const float m = s[f0] + (s[f1] - s[f0]) * t;
                a[2 * k] += m * gl;
                a[2 * k + 1] += m * gr;
              }
            }
          }
        }
        pos += b->step * n;
        advanced += b->step * n;
        i += n;
      }
      if (b->playing && pos >= len) {
        if (b->loop) {
          pos -= len;
        } else {
          b->playing = false;
          pos = 0;
        }
      }
      b->pos = pos;
      // Notification positions reached in (start, start + advanced], counted on the unwrapped line.
      if (!b->notify.empty() && b->notifyFn) {
        const uint64_t from = start >> 32, to = (start + advanced) >> 32;
        const uint64_t L = b->frames;
        for (size_t k = 0; k < b->notify.size(); ++k) {
          const uint64_t qn = b->notify[k];
          // Smallest q + m*L above from.
          uint64_t first = qn;
          if (first <= from) first += ((from - qn) / L + 1) * L;
          if (first <= to && (b->loop || first < L)) fired.push_back({b->notifyFn, int(k)});
        }
      }
    }
    for (size_t k = 0; k < frames * 2; ++k) {
      const float v = acc[k] * 32768.0f;
      out[k] = int16_t(std::lrint(std::clamp(v, -32768.0f, 32767.0f)));
    }
  }
  // Notifications in the order the cursor reached them are not needed: each wakes a worker.
  for (auto& f : fired) f.fn(f.index);
}

std::vector<int16_t> CaptureOutput::Pull(size_t frames) {
  std::vector<int16_t> out(frames * 2);
  size_t done = 0;
  while (done < frames) {
    if (sync_) sync_();
    const size_t n = std::min(chunk_, frames - done);
    mixer_.Mix(out.data() + 2 * done, n);
    done += n;
  }
  return out;
}

}  // namespace plat
