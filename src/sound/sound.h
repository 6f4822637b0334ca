// Sound channels: two music streams, one voice and four effect channels on one mixer, with the
// game's volume scale, levels, fades and play-by-file-name entry points.
//
// Volume (`SoundVolume`) is 0..10000: the attenuation is (value - 10000) hundredths of a decibel,
// and values below 5000 count as silent. Paths are CP932 and relative to the program directory.
// Every call is a no-op while there is no audio device (the game then runs silent).
#pragma once
#include <cstdint>

namespace plat {
class CaptureOutput;
class Mixer;
}  // namespace plat
class SoundStream;

using SoundVolume = int32_t;
constexpr SoundVolume kSoundVolumeMax = 10000;
constexpr SoundVolume kSoundVolumeAudible = 5000;  // below this a channel counts as silent

// Channel numbers.
enum SoundChannelId : int32_t {
  kSoundChannelBgm = 0,      // current music
  kSoundChannelBgmPrev = 1,  // previous music, fading out after a change
  kSoundChannelVoice = 2,
  kSoundChannelSe0 = 3,  // effects 3..6
  kSoundChannelCount = 7,
};

constexpr int kSoundNameSize = 260;

// Per-channel volume and fade state. Before the settings are applied every channel but 1 is at
// level 4 (8500), the settings' default.
struct SoundChannelState {
  int32_t configured[kSoundChannelCount];  // 0 off, 1 (level 0) or a value of the level table
  int32_t current[kSoundChannelCount];     // last value set
  int32_t level[kSoundChannelCount];       // level 0..9 last applied
  int32_t fadeTarget[kSoundChannelCount];
  int32_t fadeSpeed[kSoundChannelCount];  // 0..4
};
extern SoundChannelState g_SoundChannelState;
// The configured volume of each channel (0 when switched off); the scenario engine restores
// channels to it.
extern int32_t (&ChannelActiveFlags)[kSoundChannelCount];

// What the save file's progress block keeps per channel.
struct SoundChannelRecord {
  uint32_t loop;
  char file[kSoundNameSize];
  char second[kSoundNameSize];
  uint32_t wasPlaying;
};
static_assert(sizeof(SoundChannelRecord) == 528, "7 records fill 3696 bytes of the progress block");
SoundChannelRecord& GetSoundChannelRecord(int channel);  // channel clamped to 0..6

// Level table (index 0..9); filled by the settings code, these are its defaults.
extern int32_t SoundVolumeTable[10];

// Sound options of the settings that these routines read.
struct SoundSettings {
  int32_t voiceMode = 1;   // 1: voices follow the voice level; 0: only when forced
  int32_t voiceLevel = 4;  // -1..9
  bool effectsOn = true;   // strategy effects
  bool voicesOn = true;    // strategy voices
};
void SetSoundSettings(const SoundSettings& settings);
const SoundSettings& GetSoundSettings();

// --- Start-up and shutdown (call in this order) ---
// Opens the audio device; on failure shows the messages and the game goes on silent. True when
// sound is ready.
bool InitSound();
// Tests: the same without a device; the mixer is pulled through the returned capture output.
plat::CaptureOutput* InitSoundCapture();
void StartSoundStreams();     // start both music stream players (after InitSound)
void StopSoundStreams();      // shutdown: stop both players
void ShutdownSoundStreams();  // shutdown: end the players' workers
void ReleaseSound();          // exit: free every slot, close the device, back to the defaults
plat::Mixer* GetSoundMixer();
SoundStream* GetChannelStream(int channel);  // 0 or 1; the players swap on each new track
// Tests: blocks until both stream workers have handled everything posted to them.
void WaitSoundStreamsIdle();

// --- Window activity ---
// Whether the window is active (inactive: new music starts at volume 1, fade-outs stop at once).
void SetSoundWindowActive(bool active);
bool IsSoundWindowActive();
// Window deactivated: channels fading out below 5000 stop at once, the others hold their fades,
// and every channel is set to volume 0. Frame thread.
void SilenceAllSound();
// Window activated: every channel back to its configured volume. Frame thread.
void RestoreAllSound();
// For the main thread: sets the flag now and queues Silence/Restore for the next UpdateSoundFades.
void RequestSoundActivation(bool active);
inline void RequestSoundSilence() { RequestSoundActivation(false); }
inline void RequestSoundRestore() { RequestSoundActivation(true); }

// --- Channel operations ---
void SetChannelVolume(int channel, SoundVolume volume);
SoundVolume GetChannelVolume(int channel);  // -1 from the device counts as 0
void StopChannel(int channel);
void SetChannelVolumeLevel(int channel, int level);  // -1 off, 0 inaudible, 1..9 table; clamped
void ApplyVoiceVolumeSetting(int force);
void ApplyBgmVolume();
// Movies follow the music volume; the movie code registers here.
void SetBgmVolumeListener(void (*listener)(SoundVolume volume));
bool IsChannelEnabled(int channel);
bool IsChannelFile(int channel, const char* name);
bool IsChannelPlaying(int channel);
void StopAllSound();
int SetChannelFade(int channel, int speed, int target);
void UpdateSoundFades();

// --- Play by file name ---
void PlaySoundFile(int channel, const char* file, const char* second, int loop, int fadeSpeed, int pan);
void PlaySound(int channel, const char* file, int loop, int fadeSpeed, int pan);
void PlaySoundFileUnrecorded(int channel, const char* file, const char* second, int loop, int fadeSpeed, int pan);
void PlaySoundUnrecorded(int channel, const char* file, int loop, int fadeSpeed, int pan);
bool LoadChannelSound(int channel, const char* file);
void StartChannelSound(int channel, int loop, int fadeSpeed, int pan);

// Starts music looping at once, e.g. PlayMusic("Data\bgm\M29_intro.voi", "Data\bgm\M29.voi"): the
// second file, when given, follows the first without a gap and is the part that repeats.
inline void PlayMusic(const char* file, const char* loopBody = nullptr) {
  PlaySoundFile(kSoundChannelBgm, file, loopBody, 1, 0, 0);
}
