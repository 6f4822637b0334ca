// Sound files: the input is read as a .voi file (header, then the Ogg stream decoded), as a WAVE
// image and as a sound pack index (.SPL) over a 16 MiB data file.
#include <cstdlib>
#include <vector>

#include "platform/audio/sound_formats.h"
#include "platform/audio/vorbis.h"
#include "platform/audio/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t ogg = 0;
  if (plat::ParseVoiHeader(data, size, ogg)) {
    if (ogg > size) std::abort();
    plat::DecodedSound sound;
    plat::DecodeVorbisMemory(data + ogg, size - ogg, 2, sound);
    (void)plat::IsOggStreamComplete(data + ogg, size - ogg);
  }
  plat::WaveInfo wave;
  if (plat::ParseWave(data, size, wave) == plat::WaveError::kNone) {
    if (wave.dataOffset > size || wave.dataSize > size - wave.dataOffset) std::abort();
  }
  std::vector<plat::SoundPackEntry> entries;
  constexpr uint64_t kSpdSize = uint64_t{1} << 24;
  if (plat::ParseSoundPackIndex(data, size, kSpdSize, entries)) {
    for (const plat::SoundPackEntry& e : entries) {
      if (e.offset > kSpdSize || e.size > kSpdSize - e.offset) std::abort();
    }
    (void)plat::FindPackEntry(entries, "a\\b.wav");
  }
  return 0;
}
