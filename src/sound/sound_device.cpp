#include "sound/sound_device.h"

#include <cstdio>

#include "core/error_box.h"
#include "platform/fs/fs.h"
#include "platform/text/log.h"

SoundDevice* SoundDeviceInstance = nullptr;

SoundDevice::SoundDevice() = default;
SoundDevice::~SoundDevice() { Release(); }

bool SoundDevice::InitDevice() {
  device_ = std::make_unique<plat::DeviceOutput>();
  switch (device_->Open(mixer_)) {
    case plat::AudioOpenResult::kOk:
      return true;
    case plat::AudioOpenResult::kSubsystemFailed:
      ShowErrorMessageBox("デバイスの検索に失敗しました", "Error");
      break;
    case plat::AudioOpenResult::kDeviceFailed:
      ShowErrorMessageBox("DirectSound オブジェクトの作成に失敗しました", "Error");
      break;
  }
  device_.reset();
  return false;
}

plat::CaptureOutput* SoundDevice::InitCapture() {
  capture_ = std::make_unique<plat::CaptureOutput>(mixer_);
  return capture_.get();
}

void SoundDevice::Release() {
  for (int i = 0; i < kSlotCount; ++i) FreeSlot(i);
  if (device_) device_->Close();
  device_.reset();
  capture_.reset();
}

void SoundDevice::FreeSlot(int slot) {
  if (slot < 0 || slot >= kSlotCount) return;
  Slot& s = slots_[slot];
  if (s.buffer >= 0) {
    mixer_.Stop(s.buffer);
    mixer_.DestroyBuffer(s.buffer);
  }
  s = Slot{};
}

bool SoundDevice::SlotHasData(int slot) const { return ValidSlot(slot) && slots_[slot].buffer >= 0; }

bool SoundDevice::FillSlot(int slot, const uint8_t* image, size_t size, const char* source, const char* pcmTitle,
                           bool fromFile) {
  plat::WaveInfo info;
  const plat::WaveError err = plat::ParseWave(image, size, info);
  if (err == plat::WaveError::kNotPcm) {
    if (fromFile)
      ShowErrorBox(source, "WAVEファイルはPCMフォーマットではありません");
    else
      ShowErrorBox("WAVEファイルはPCMフォーマットではありません", pcmTitle);
    return false;
  }
  if (err != plat::WaveError::kNone) {
    plat::Log("sound", "%s: %s", source, plat::WaveErrorText(err));
    return false;
  }
  format_ = info;
  const plat::PcmFormat fmt{info.channels, int(info.rate), info.bits};
  const size_t frames = info.dataSize / size_t(fmt.BlockAlign());
  if (frames == 0) {
    plat::Log("sound", "%s: no samples", source);
    return false;
  }
  Slot& s = slots_[slot];
  s.data.assign(image + info.dataOffset, image + info.dataOffset + info.dataSize);
  s.size = uint32_t(info.dataSize);
  s.buffer = mixer_.CreateBuffer(fmt, frames);
  if (s.buffer < 0 || !mixer_.Write(s.buffer, 0, s.data.data(), s.data.size())) {
    FreeSlot(slot);
    return false;
  }
  return true;
}

bool SoundDevice::LoadWaveFile(int slot, const char* path) {
  if (!ValidSlot(slot)) return false;
  FreeSlot(slot);
  std::vector<uint8_t> bytes;
  if (!path || !plat::ReadWholeFile(path, bytes)) {
    ShowErrorBox(path ? path : "", "FILE LOAD ERROR");
    return false;
  }
  return FillSlot(slot, bytes.data(), bytes.size(), path, nullptr, true);
}

bool SoundDevice::LoadVoiFile(int slot, const uint8_t* image, size_t size) {
  if (!ValidSlot(slot)) return false;
  FreeSlot(slot);
  if (!image || size < 12) {
    ShowErrorBox("from mem", "FILE LOAD ERROR");
    return false;
  }
  return FillSlot(slot, image, size, "from mem", "VOI ERROR", false);
}

void SoundDevice::PlaySlot(int slot, bool loop, int volume) {
  if (!ValidSlot(slot)) return;
  Slot& s = slots_[slot];
  if (s.buffer < 0) {
    char text[64];
    std::snprintf(text, sizeof text, "SEバッファ%dはデータがありません。", slot - 2);
    ShowErrorBox(text, "SEエラー");
    return;
  }
  mixer_.Stop(s.buffer);
  mixer_.SetPosition(s.buffer, 0);
  s.loop = loop;
  mixer_.SetVolume(s.buffer, volume - 10000);
  mixer_.Play(s.buffer, loop);
}

void SoundDevice::StopSlot(int slot) {
  if (SlotHasData(slot)) mixer_.Stop(slots_[slot].buffer);
}

void SoundDevice::SetSlotVolume(int slot, int volume) {
  if (SlotHasData(slot)) mixer_.SetVolume(slots_[slot].buffer, volume - 10000);
}

int SoundDevice::GetSlotVolume(int slot) const {
  return SlotHasData(slot) ? mixer_.Volume(slots_[slot].buffer) + 10000 : -1;
}

bool SoundDevice::GetSlotStatus(int slot) const { return SlotHasData(slot) && mixer_.IsPlaying(slots_[slot].buffer); }

void SoundDevice::SetSlotPan(int slot, int pan) {
  if (SlotHasData(slot)) mixer_.SetPan(slots_[slot].buffer, pan);
}
