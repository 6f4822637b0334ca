#include "sound/busyo_voice.h"

#include <cstdio>
#include <cstring>

#include "sound/sound.h"
#include "platform/audio/sound_formats.h"

char LastVoiceName[260] = {};

void ClearLastVoiceName() { LastVoiceName[0] = 0; }

void FormatGeneralVoicePath(char* out, size_t outSize, int voice, int line) {
  if (!out || outSize == 0) return;
  if (line < 0) line = 0;
  if (line >= 26 && line <= 701)
    std::snprintf(out, outSize, "Data\\slg_v\\%03d\\%03d%c%c.voi", voice, voice, char('a' + (line / 26 - 1)),
                  char('a' + line % 26));
  else
    std::snprintf(out, outSize, "Data\\slg_v\\%03d\\%03d%c.voi", voice, voice, char('a' + line % 26));
}

void FormatSlgSePath(char* out, size_t outSize, int effect) {
  if (out && outSize) std::snprintf(out, outSize, "Data\\slg_se\\slg_se%03d.voi", effect + 1);
}

void PlayGeneralVoice(int channel, int voice, int line) {
  if (!GetSoundSettings().voicesOn) return;
  char path[64];
  FormatGeneralVoicePath(path, sizeof path, voice, line);
  PlaySound(channel, path, 0, 0, 0);
}

void PlaySlgSound(int channel, const char* file, int loop) {
  const SoundSettings& s = GetSoundSettings();
  if (channel >= 3 && !s.effectsOn) return;
  if (channel == 2 && !s.voicesOn) return;
  if (channel == 0) {
    std::snprintf(LastVoiceName, sizeof LastVoiceName, "%s", file ? file : "");
    PlaySound(0, file, loop, 1, 0);
    return;
  }
  PlaySound(channel, file, loop, 0, 0);
}

void PlaySlgSe(int channel, int effect, int loop) {
  char path[64];
  FormatSlgSePath(path, sizeof path, effect);
  PlaySlgSound(channel, path, loop);
}

int PlaySlgBgm(const char* file, int onlyIfChanged) {
  if (onlyIfChanged && file && plat::SjisEqualNoCase(LastVoiceName, file)) return 0;
  PlaySlgSound(0, file, 1);
  return 0;
}
