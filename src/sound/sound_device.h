// The sound device: the mixer, its output, and the static buffer slots of the voice and effect
// channels (slots 2..6 of 40), filled from WAVE files or decoded ".voi" images.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/audio/mixer.h"
#include "platform/audio/wave.h"

class SoundDevice {
 public:
  static constexpr int kSlotCount = 40;

  SoundDevice();
  ~SoundDevice();

  // Opens the real device; false (after the messages) when it cannot.
  bool InitDevice();
  // No device: the mixer is pulled by the returned capture output.
  plat::CaptureOutput* InitCapture();
  void Release();

  plat::Mixer& Mixer() { return mixer_; }

  // Slots (channel = slot 2..6; other numbers are ignored).
  void FreeSlot(int slot);
  bool LoadWaveFile(int slot, const char* path);
  bool LoadVoiFile(int slot, const uint8_t* image, size_t size);
  void PlaySlot(int slot, bool loop, int volume);
  void StopSlot(int slot);
  void SetSlotVolume(int slot, int volume);
  int GetSlotVolume(int slot) const;   // -1 without data
  bool GetSlotStatus(int slot) const;  // playing; false without data
  void SetSlotPan(int slot, int pan);
  bool SlotHasData(int slot) const;

 private:
  struct Slot {
    std::vector<uint8_t> data;
    uint32_t size = 0;
    int buffer = -1;
    bool loop = false;
  };
  bool ValidSlot(int slot) const { return slot >= 2 && slot <= 6; }
  // Parses a WAVE image into the slot; `source` names it in messages.
  bool FillSlot(int slot, const uint8_t* image, size_t size, const char* source, const char* pcmTitle, bool fromFile);

  plat::Mixer mixer_;
  std::unique_ptr<plat::DeviceOutput> device_;
  std::unique_ptr<plat::CaptureOutput> capture_;
  Slot slots_[kSlotCount];
  plat::WaveInfo format_;
};

// The one device, or null while sound is not ready.
extern SoundDevice* SoundDeviceInstance;
