// Voices and sound effects of the strategy game and the battles: a general's spoken line, numbered
// effects and strategy music that is not restarted while it plays.
#pragma once
#include <cstddef>
#include <cstdint>

// Name of the last music started through these routines (empty after a load or a script).
extern char LastVoiceName[260];
void ClearLastVoiceName();

// "Data\slg_v\%03d\%03d<letters>.voi" for a voice number and line; out gets at least 32 bytes.
// Lines 0..25 give one letter, 26..701 two, from 702 on the one-letter form again.
void FormatGeneralVoicePath(char* out, size_t outSize, int voice, int line);
// "Data\slg_se\slg_se%03d.voi" with the effect number + 1.
void FormatSlgSePath(char* out, size_t outSize, int effect);

void PlayGeneralVoice(int channel, int voice, int line);
void PlaySlgSound(int channel, const char* file, int loop);
void PlaySlgSe(int channel, int effect, int loop);
int PlaySlgBgm(const char* file, int onlyIfChanged);
