// Channel operations, fades and play-by-file-name on top of the sound device and the two players.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "core/error_box.h"
#include "core/game_file.h"
#include "sound/sound.h"
#include "sound/sound_device.h"
#include "sound/sound_pack.h"
#include "sound/sound_stream.h"
#include "platform/audio/sound_formats.h"
#include "platform/text/log.h"

namespace {
// Until the settings are applied, channels follow the settings' defaults: music, voice and effects
// on at level 4; channel 1 (the previous music) is never configured.
constexpr SoundChannelState DefaultChannelState() {
  SoundChannelState s{};
  for (int ch = 0; ch < kSoundChannelCount; ++ch) {
    if (ch == kSoundChannelBgmPrev) continue;
    s.configured[ch] = 8500;
    s.level[ch] = 4;
  }
  return s;
}
}  // namespace

SoundChannelState g_SoundChannelState = DefaultChannelState();
int32_t (&ChannelActiveFlags)[kSoundChannelCount] = g_SoundChannelState.configured;
int32_t SoundVolumeTable[10] = {0, 7600, 7900, 8200, 8500, 8800, 9100, 9400, 9700, 10000};

namespace {

constexpr int kFadeStep[5] = {0, 50, 100, 200, 300};

SoundChannelRecord g_records[kSoundChannelCount];
SoundSettings g_settings;
SoundDevice g_device;
SoundStream g_players[2];
SoundStream* g_channelStream[2] = {&g_players[0], &g_players[1]};
bool g_ready = false;
std::atomic<bool> g_windowActive{true};
std::atomic<int> g_pendingActivation{0};  // 0 none, 1 silence, 2 restore
void (*g_bgmListener)(SoundVolume) = nullptr;

bool ValidChannel(int ch) { return ch >= 0 && ch < kSoundChannelCount; }

void CopyName(char (&dst)[kSoundNameSize], const char* src) {
  std::memset(dst, 0, sizeof dst);
  if (src) std::strncpy(dst, src, kSoundNameSize - 1);
}

std::string FullPath(const char* file) { return std::string(GetModuleDir()) + (file ? file : ""); }

bool EndsWithNoCase(const std::string& s, const char* ext3) {
  if (s.size() < 3) return false;
  return plat::SjisEqualNoCase(s.substr(s.size() - 3).c_str(), ext3);
}

void StartMusic(const char* file, const char* second, int loop, int fadeSpeed) {
  // The track that was playing becomes channel 1.
  std::swap(g_channelStream[0], g_channelStream[1]);
  std::swap(g_SoundChannelState.current[0], g_SoundChannelState.current[1]);
  SoundStream* s = g_channelStream[0];
  // A disabled music channel does not even open its file.
  if (IsChannelEnabled(0)) {
    const std::string path = FullPath(file);
    const std::string loopPath = (second && *second) ? FullPath(second) : std::string();
    s->Open(path.c_str(), loopPath.empty() ? nullptr : loopPath.c_str());
    if (!g_windowActive) {
      g_SoundChannelState.fadeTarget[0] = 1;
      g_SoundChannelState.fadeSpeed[0] = 0;
      SetChannelVolume(0, 1);
    } else if (fadeSpeed > 0) {
      SetChannelVolume(0, kSoundVolumeAudible);
      SetChannelFade(0, fadeSpeed, -1);
    } else {
      SetChannelVolume(0, ChannelActiveFlags[0]);
      SetChannelFade(0, 0, -1);
    }
    s->Play(loop != 0);
  }
  SetChannelFade(1, -fadeSpeed, -1);
}

void PlayByName(int channel, const char* file, const char* second, int loop, int fadeSpeed, int pan) {
  if (!g_ready || !ValidChannel(channel)) return;
  if (channel == 0) {
    StartMusic(file, second, loop, fadeSpeed);
    return;
  }
  if (channel == 1) return;  // only ever the previous music
  // A sound that cannot be loaded is not played: the slot would replay its old sound.
  if (LoadChannelSound(channel, file)) StartChannelSound(channel, loop, fadeSpeed, pan);
}

}  // namespace

SoundChannelRecord& GetSoundChannelRecord(int channel) {
  return g_records[std::clamp(channel, 0, kSoundChannelCount - 1)];
}

void SetSoundSettings(const SoundSettings& settings) { g_settings = settings; }
const SoundSettings& GetSoundSettings() { return g_settings; }

bool InitSound() {
  if (g_ready) return true;
  if (!g_device.InitDevice()) {
    ShowErrorMessageBox("DirectSound の初期化に失敗しました", "Error");
    return false;
  }
  SoundDeviceInstance = &g_device;
  g_ready = true;
  return true;
}

plat::CaptureOutput* InitSoundCapture() {
  if (g_ready) return nullptr;
  plat::CaptureOutput* c = g_device.InitCapture();
  SoundDeviceInstance = &g_device;
  g_ready = true;
  return c;
}

void StartSoundStreams() {
  for (SoundStream& p : g_players) p.Start(g_ready ? &g_device.Mixer() : nullptr);
}

void StopSoundStreams() {
  for (SoundStream& p : g_players) p.Stop();
}

void ShutdownSoundStreams() {
  for (SoundStream& p : g_players) p.Shutdown();
}

void ReleaseSound() {
  ShutdownSoundStreams();
  g_device.Release();
  SoundDeviceInstance = nullptr;
  g_ready = false;
  g_channelStream[0] = &g_players[0];
  g_channelStream[1] = &g_players[1];
  g_SoundChannelState = DefaultChannelState();
  for (auto& r : g_records) r = SoundChannelRecord{};
  g_windowActive = true;
  g_pendingActivation = 0;
}

plat::Mixer* GetSoundMixer() { return g_ready ? &g_device.Mixer() : nullptr; }
SoundStream* GetChannelStream(int channel) {
  return (channel == 0 || channel == 1) ? g_channelStream[channel] : nullptr;
}

void WaitSoundStreamsIdle() {
  for (SoundStream& p : g_players) p.WaitIdle();
}

// --- window activity ---

void SetSoundWindowActive(bool active) { g_windowActive = active; }
bool IsSoundWindowActive() { return g_windowActive; }

void SilenceAllSound() {
  g_windowActive = false;
  for (int ch = 0; ch < kSoundChannelCount; ++ch) {
    // Fading out towards silence (a pending speed-0 stop included): stop now.
    if (g_SoundChannelState.fadeTarget[ch] < kSoundVolumeAudible &&
        GetChannelVolume(ch) > g_SoundChannelState.fadeTarget[ch])
      StopChannel(ch);
    else
      SetChannelFade(ch, 0, 0);
    SetChannelVolume(ch, 0);
  }
}

void RestoreAllSound() {
  g_windowActive = true;
  for (int ch = 0; ch < kSoundChannelCount; ++ch) {
    SetChannelFade(ch, 0, -1);
    SetChannelVolume(ch, ChannelActiveFlags[ch]);
  }
}

void RequestSoundActivation(bool active) {
  g_windowActive = active;
  g_pendingActivation = active ? 2 : 1;
}

// --- channel operations ---

void SetChannelVolume(int channel, SoundVolume volume) {
  if (!ValidChannel(channel)) return;
  volume = std::clamp(volume, 0, kSoundVolumeMax);
  if (g_ready) {
    if (channel < 2)
      g_channelStream[channel]->SetVolume(volume);
    else
      g_device.SetSlotVolume(channel, volume);
  }
  g_SoundChannelState.current[channel] = volume;
}

SoundVolume GetChannelVolume(int channel) {
  if (!ValidChannel(channel) || !g_ready) return 0;
  const int v = channel < 2 ? g_channelStream[channel]->GetVolume() : g_device.GetSlotVolume(channel);
  return v < 0 ? 0 : v;
}

void StopChannel(int channel) {
  if (!ValidChannel(channel)) return;
  if (g_ready) {
    if (channel < 2)
      g_channelStream[channel]->Stop();
    else
      g_device.StopSlot(channel);
  }
  g_SoundChannelState.current[channel] = 0;
  g_SoundChannelState.fadeTarget[channel] = 0;
}

void SetChannelVolumeLevel(int channel, int level) {
  if (!ValidChannel(channel)) return;
  // Levels come from settings files and scripts: anything outside -1..9 is clamped.
  level = std::clamp(level, -1, 9);
  ChannelActiveFlags[channel] = level < 0 ? 0 : (level == 0 ? 1 : SoundVolumeTable[level]);
  g_SoundChannelState.level[channel] = level < 0 ? 0 : level;
}

void ApplyVoiceVolumeSetting(int force) {
  int level = -1;
  if (g_settings.voiceMode == 1 || (g_settings.voiceMode == 0 && force == 1)) level = g_settings.voiceLevel;
  SetChannelVolumeLevel(kSoundChannelVoice, level);
}

void SetBgmVolumeListener(void (*listener)(SoundVolume)) { g_bgmListener = listener; }

void ApplyBgmVolume() {
  SetChannelVolume(0, ChannelActiveFlags[0]);
  if (g_bgmListener) g_bgmListener(ChannelActiveFlags[0]);
}

bool IsChannelEnabled(int channel) {
  if (!ValidChannel(channel)) return false;
  if ((channel == 0 || channel == 2) && ChannelActiveFlags[channel] == 0) return false;
  return true;
}

bool IsChannelFile(int channel, const char* name) {
  if (!ValidChannel(channel) || !name) return false;
  return plat::SjisEqualNoCase(g_records[channel].file, name);
}

bool IsChannelPlaying(int channel) {
  if (!ValidChannel(channel) || !g_ready) return false;
  return channel < 2 ? g_channelStream[channel]->IsPlaying() : g_device.GetSlotStatus(channel);
}

void StopAllSound() {
  for (int ch = 0; ch < kSoundChannelCount; ++ch) {
    g_records[ch].wasPlaying = 0;
    if (!IsChannelPlaying(ch)) continue;
    g_records[ch].wasPlaying = 1;
    if (ch == 0)
      g_channelStream[0]->Halt();  // keeps the stream's playing state for a later resume
    else
      StopChannel(ch);
  }
}

int SetChannelFade(int channel, int speed, int target) {
  if (!ValidChannel(channel)) return 0;
  if (speed < -4 || speed > 4) speed = 0;
  if (speed < 0) {
    if (target == -1) target = 0;
    g_SoundChannelState.fadeTarget[channel] = target;
    g_SoundChannelState.fadeSpeed[channel] = -speed;
    if (!g_windowActive && target < kSoundVolumeAudible) StopChannel(channel);
    return -speed;
  }
  if (target == -1) target = ChannelActiveFlags[channel];
  g_SoundChannelState.fadeTarget[channel] = target;
  g_SoundChannelState.fadeSpeed[channel] = speed;
  return speed;
}

void UpdateSoundFades() {
  switch (g_pendingActivation.exchange(0)) {
    case 1:
      SilenceAllSound();
      break;
    case 2:
      RestoreAllSound();
      break;
    default:
      break;
  }
  for (int ch = 0; ch < kSoundChannelCount; ++ch) {
    const int current = GetChannelVolume(ch);
    const int target = g_SoundChannelState.fadeTarget[ch];
    int& speed = g_SoundChannelState.fadeSpeed[ch];
    const int step = kFadeStep[std::clamp(speed, 0, 4)];
    if (current == target) {
      speed = 0;
      continue;
    }
    if (current < target) {
      if (speed > 0 && current + step <= target) {
        SetChannelVolume(ch, current + step);
      } else {
        SetChannelVolume(ch, target);
        speed = 0;
      }
      continue;
    }
    int v = speed == 0 ? target : std::max(current - step, target);
    if (v < kSoundVolumeAudible) {
      SetChannelVolume(ch, 0);
      StopChannel(ch);
      speed = 0;
    } else if (v == kSoundVolumeAudible && target == kSoundVolumeAudible) {
      SetChannelVolume(ch, 0);
      speed = 0;
    } else {
      SetChannelVolume(ch, v);
    }
  }
}

// --- play by file name ---

void PlaySoundFile(int channel, const char* file, const char* second, int loop, int fadeSpeed, int pan) {
  if (!ValidChannel(channel)) return;
  SoundChannelRecord& r = g_records[channel];
  r.loop = uint32_t(loop);
  CopyName(r.file, file);
  CopyName(r.second, second);
  PlayByName(channel, file, second, loop, fadeSpeed, pan);
}

void PlaySound(int channel, const char* file, int loop, int fadeSpeed, int pan) {
  PlaySoundFile(channel, file, nullptr, loop, fadeSpeed, pan);
}

void PlaySoundFileUnrecorded(int channel, const char* file, const char* second, int loop, int fadeSpeed, int pan) {
  PlayByName(channel, file, second, loop, fadeSpeed, pan);
}

void PlaySoundUnrecorded(int channel, const char* file, int loop, int fadeSpeed, int pan) {
  PlayByName(channel, file, nullptr, loop, fadeSpeed, pan);
}

bool LoadChannelSound(int channel, const char* file) {
  if (!g_ready || channel < 2 || channel >= kSoundChannelCount) return false;
  const std::string path = FullPath(file);
  if (!IsChannelEnabled(channel)) return false;
  if (EndsWithNoCase(path, "wav")) return g_device.LoadWaveFile(channel, path.c_str());
  if (EndsWithNoCase(path, "voi")) {
    std::vector<uint8_t> image;
    if (LoadSoundPack(path.c_str(), 2, image) < 0) {
      g_device.FreeSlot(channel);
      return false;
    }
    return g_device.LoadVoiFile(channel, image.data(), image.size());
  }
  ShowErrorBox(path.c_str(), "サウンドファイルは.wavと.voiのみです");
  return false;
}

void StartChannelSound(int channel, int loop, int fadeSpeed, int pan) {
  if (!g_ready || channel < 2 || channel >= kSoundChannelCount) return;
  int volume;
  if (fadeSpeed > 0) {
    SetChannelFade(channel, fadeSpeed, -1);
    volume = kSoundVolumeAudible;
  } else {
    SetChannelFade(channel, 0, -1);
    volume = ChannelActiveFlags[channel];
  }
  g_device.PlaySlot(channel, loop != 0, volume);
  if (g_device.SlotHasData(channel)) g_SoundChannelState.current[channel] = volume;
  g_device.SetSlotPan(channel, pan);
}
