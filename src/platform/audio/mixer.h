// Software mixer: sample buffers played once or looping with volume (hundredths of a decibel), pan
// and position notifications, pulled as 44.1 kHz 16-bit stereo by an output (the SDL device, or the
// capture output of the tests). Thread-safe: every call may come from any thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace plat {

constexpr int kMixRate = 44100;
constexpr int kMixChannels = 2;
constexpr int kVolumeMin = -10000;  // silence
constexpr int kPanLeft = -10000, kPanRight = 10000;

struct PcmFormat {
  int channels = 2;        // 1 or 2
  int rate = kMixRate;     // any positive rate; resampled linearly
  int bitsPerSample = 16;  // 8 (unsigned) or 16 (signed)
  int BlockAlign() const { return channels * bitsPerSample / 8; }
};

class Mixer {
 public:
  // Called (outside the mixer's lock, on the pulling thread) with the index of each notification
  // position the play cursor reached during a pull, and when playing starts on such a position.
  using NotifyFn = std::function<void(int index)>;

  Mixer();
  ~Mixer();
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  // A silent buffer of `frames` sample frames; -1 for a format we cannot play or no frames.
  int CreateBuffer(const PcmFormat& fmt, size_t frames);
  void DestroyBuffer(int id);
  // Copies samples in the buffer's format to a byte offset; false when it does not fit.
  bool Write(int id, size_t byteOffset, const void* data, size_t bytes);
  size_t SizeBytes(int id) const;

  bool Play(int id, bool loop);
  void Stop(int id);
  bool IsPlaying(int id) const;
  void SetPosition(int id, size_t frame);
  size_t Position(int id) const;
  void SetVolume(int id, int hundredthsDb);  // kVolumeMin .. 0, clamped
  int Volume(int id) const;                  // kVolumeMin for an unknown buffer
  void SetPan(int id, int pan);              // kPanLeft .. kPanRight, clamped

  void SetNotifications(int id, std::vector<size_t> framePositions, NotifyFn fn);

  // Mixes `frames` frames of interleaved stereo into out.
  void Mix(int16_t* out, size_t frames);

  // Linear gain of a volume in hundredths of a decibel (0 for the minimum).
  static float GainOf(int hundredthsDb);

 private:
  struct Buffer;
  Buffer* Find(int id) const;  // caller holds mu_
  mutable std::mutex mu_;
  std::vector<std::unique_ptr<Buffer>> buffers_;
  std::vector<float> acc_;
};

// Output that pulls the mixer at a virtual rate: nothing plays in real time, tests read the samples.
class CaptureOutput {
 public:
  explicit CaptureOutput(Mixer& mixer, size_t chunkFrames = 1024) : mixer_(mixer), chunk_(chunkFrames) {}
  // Called before each chunk: tests let the stream workers catch up here, so a pull is deterministic.
  void SetSync(std::function<void()> sync) { sync_ = std::move(sync); }
  // Pulls `frames` frames (interleaved stereo) in chunks.
  std::vector<int16_t> Pull(size_t frames);

 private:
  Mixer& mixer_;
  size_t chunk_;
  std::function<void()> sync_;
};

// The real audio device (SDL). Open reports which set-up step failed.
enum class AudioOpenResult { kOk, kSubsystemFailed, kDeviceFailed };

class DeviceOutput {
 public:
  DeviceOutput() = default;
  ~DeviceOutput() { Close(); }
  DeviceOutput(const DeviceOutput&) = delete;
  DeviceOutput& operator=(const DeviceOutput&) = delete;
  AudioOpenResult Open(Mixer& mixer);
  void Close();
  bool IsOpen() const { return device_ != 0; }
  const char* DriverName() const;

 private:
  uint32_t device_ = 0;
  bool subsystem_ = false;
  Mixer* mixer_ = nullptr;
};

}  // namespace plat
