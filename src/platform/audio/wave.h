// RIFF WAVE images: our own reader (PCM only) and the 46-byte-header writer used for decoded sounds.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat {

struct WaveInfo {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint32_t byteRate = 0;
  uint16_t blockAlign = 0;
  uint16_t bits = 0;
  uint16_t cbSize = 0;    // 0 when the fmt chunk is the short 16-byte form
  size_t dataOffset = 0;  // from the start of the image
  size_t dataSize = 0;
};

enum class WaveError {
  kNone,
  kNotRiff,    // no "RIFF"/"WAVE" form
  kNoFormat,   // no "fmt " chunk, or one shorter than 16 bytes
  kNotPcm,     // format tag other than 1
  kBadFormat,  // channels, bits or rate we cannot play
  kNoData,     // no "data" chunk
  kTruncated,  // the data chunk runs past the end of the image
};

// Parses a whole WAVE image. Chunks are walked with their even padding; a "fmt " chunk of 16 bytes
// leaves cbSize 0 (only min(chunk, 18) bytes are read). Supported PCM: 1 or 2 channels, 8-bit
// unsigned or 16-bit signed, any positive rate.
WaveError ParseWave(const uint8_t* data, size_t size, WaveInfo& out);
const char* WaveErrorText(WaveError e);

// A WAVE image with an 18-byte fmt chunk (cbSize 0): 46 header bytes, then the samples.
std::vector<uint8_t> BuildWaveImage(int channels, int rate, int bitsPerSample, const void* pcm, size_t bytes);

}  // namespace plat
