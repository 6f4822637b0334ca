#include "platform/audio/wave.h"

#include <algorithm>
#include <cstring>

namespace plat {
namespace {

uint32_t Rd32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t Rd16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
void Wr32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}
void Wr16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}
void WrTag(std::vector<uint8_t>& v, const char* t) { v.insert(v.end(), t, t + 4); }

}  // namespace

WaveError ParseWave(const uint8_t* data, size_t size, WaveInfo& out) {
  out = WaveInfo{};
  if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
    return WaveError::kNotRiff;
  bool haveFmt = false;
  size_t pos = 12;
  while (pos + 8 <= size) {
    const uint8_t* ck = data + pos;
    const uint32_t len = Rd32(ck + 4);
    const size_t body = pos + 8;
    if (std::memcmp(ck, "fmt ", 4) == 0 && !haveFmt) {
      if (len < 16 || body + 16 > size) return WaveError::kNoFormat;
      uint8_t fmt[18] = {};
      const size_t take = std::min<size_t>({len, 18, size - body});
      std::memcpy(fmt, data + body, take);
      out.formatTag = Rd16(fmt);
      out.channels = Rd16(fmt + 2);
      out.rate = Rd32(fmt + 4);
      out.byteRate = Rd32(fmt + 8);
      out.blockAlign = Rd16(fmt + 12);
      out.bits = Rd16(fmt + 14);
      out.cbSize = Rd16(fmt + 16);
      haveFmt = true;
      if (out.formatTag != 1) return WaveError::kNotPcm;
      if ((out.channels != 1 && out.channels != 2) || (out.bits != 8 && out.bits != 16) || out.rate == 0 ||
          out.rate > 384000)
        return WaveError::kBadFormat;
    } else if (std::memcmp(ck, "data", 4) == 0) {
      if (!haveFmt) return WaveError::kNoFormat;
      if (len > size - body) return WaveError::kTruncated;
      out.dataOffset = body;
      out.dataSize = len;
      // Keep whole sample frames only.
      const size_t frame = size_t(out.channels) * (out.bits / 8);
      out.dataSize -= out.dataSize % frame;
      return WaveError::kNone;
    }
    const uint64_t next = uint64_t(body) + len + (len & 1);
    if (next > size) break;
    pos = size_t(next);
  }
  return haveFmt ? WaveError::kNoData : WaveError::kNoFormat;
}

const char* WaveErrorText(WaveError e) {
  switch (e) {
    case WaveError::kNone: return "ok";
    case WaveError::kNotRiff: return "not a RIFF WAVE file";
    case WaveError::kNoFormat: return "missing or short fmt chunk";
    case WaveError::kNotPcm: return "not PCM";
    case WaveError::kBadFormat: return "unsupported channels, bits or rate";
    case WaveError::kNoData: return "missing data chunk";
    case WaveError::kTruncated: return "data chunk runs past the end of the file";
  }
  return "?";
}

std::vector<uint8_t> BuildWaveImage(int channels, int rate, int bitsPerSample, const void* pcm,
                                    size_t bytes) {
  std::vector<uint8_t> v;
  v.reserve(46 + bytes);
  const int bps = bitsPerSample / 8;
  WrTag(v, "RIFF");
  Wr32(v, uint32_t(bytes + 38));
  WrTag(v, "WAVE");
  WrTag(v, "fmt ");
  Wr32(v, 18);
  Wr16(v, 1);
  Wr16(v, uint16_t(channels));
  Wr32(v, uint32_t(rate));
  Wr32(v, uint32_t(rate * channels * bps));
  Wr16(v, uint16_t(channels * bps));
  Wr16(v, uint16_t(bitsPerSample));
  Wr16(v, 0);
  WrTag(v, "data");
  Wr32(v, uint32_t(bytes));
  const auto* p = static_cast<const uint8_t*>(pcm);
  if (bytes) v.insert(v.end(), p, p + bytes);
  return v;
}

}  // namespace plat
