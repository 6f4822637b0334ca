// The SDL audio device under the mixer: 44.1 kHz, signed 16-bit stereo, pulled by SDL's callback.
#include <SDL2/SDL.h>

#include "platform/audio/mixer.h"
#include "platform/text/log.h"

namespace plat {
namespace {

void Callback(void* user, Uint8* stream, int len) {
  auto* mixer = static_cast<Mixer*>(user);
  mixer->Mix(reinterpret_cast<int16_t*>(stream), size_t(len) / 4);
}

}  // namespace

AudioOpenResult DeviceOutput::Open(Mixer& mixer) {
  Close();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    Log("sound", "audio subsystem: %s", SDL_GetError());
    return AudioOpenResult::kSubsystemFailed;
  }
  subsystem_ = true;
  SDL_AudioSpec want{}, have{};
  want.freq = kMixRate;
  want.format = AUDIO_S16SYS;
  want.channels = kMixChannels;
  want.samples = 1024;
  want.callback = &Callback;
  want.userdata = &mixer;
  // No allowed changes: SDL converts for us when the hardware differs.
  const SDL_AudioDeviceID dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (dev == 0) {
    Log("sound", "audio device: %s", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ = false;
    return AudioOpenResult::kDeviceFailed;
  }
  device_ = dev;
  mixer_ = &mixer;
  SDL_PauseAudioDevice(dev, 0);
  Log("sound", "audio device open (%s)", SDL_GetCurrentAudioDriver() ? SDL_GetCurrentAudioDriver() : "?");
  return AudioOpenResult::kOk;
}

void DeviceOutput::Close() {
  if (device_ != 0) {
    SDL_CloseAudioDevice(device_);
    device_ = 0;
  }
  if (subsystem_) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ = false;
  }
  mixer_ = nullptr;
}

const char* DeviceOutput::DriverName() const {
  const char* d = SDL_GetCurrentAudioDriver();
  return d ? d : "";
}

}  // namespace plat
