#include "platform/audio/wave.h"

#include <algorithm>
#include <cstring>
#include "platform/byte_order.h"

namespace plat {
namespace {

void WrTag(std::vector<uint8_t>& v, const char* t) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(t[i]));
}

}  // namespace

WaveError ParseWave(const uint8_t* data, size_t size, WaveInfo& out) {
  out = WaveInfo{};
  if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
    return WaveError::kNotRiff;
  bool haveFmt = false;
  size_t pos = 12;
  while (pos + 8 <= size) {
    const uint8_t* ck = data + pos;
    const uint32_t len = le::Get32(ck + 4);
    const size_t body = pos + 8;
    if (std::memcmp(ck, "fmt ", 4) == 0 && !haveFmt) {
      if (len < 16 || body + 16 > size) return WaveError::kNoFormat;
      uint8_t fmt[18] = {};
      const size_t take = std::min<size_t>({len, 18, size - body});
      std::memcpy(fmt, data + body, take);
      out.formatTag = le::Get16(fmt);
      out.channels = le::Get16(fmt + 2);
      out.rate = le::Get32(fmt + 4);
      out.byteRate = le::Get32(fmt + 8);
      out.blockAlign = le::Get16(fmt + 12);
      out.bits = le::Get16(fmt + 14);
      out.cbSize = le::Get16(fmt + 16);
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
    case WaveError::kNone:
      return "ok";
    case WaveError::kNotRiff:
      return "not a RIFF WAVE file";
    case WaveError::kNoFormat:
      return "missing or short fmt chunk";
    case WaveError::kNotPcm:
      return "not PCM";
    case WaveError::kBadFormat:
      return "unsupported channels, bits or rate";
    case WaveError::kNoData:
      return "missing data chunk";
    case WaveError::kTruncated:
      return "data chunk runs past the end of the file";
  }
  return "?";
}

std::vector<uint8_t> BuildWaveImage(int channels, int rate, int bitsPerSample, const void* pcm, size_t bytes) {
  std::vector<uint8_t> v;
  v.reserve(46 + bytes);
  const int bps = bitsPerSample / 8;
  WrTag(v, "RIFF");
  le::Append32(v, uint32_t(bytes + 38));
  WrTag(v, "WAVE");
  WrTag(v, "fmt ");
  le::Append32(v, 18);
  le::Append16(v, 1);
  le::Append16(v, uint16_t(channels));
  le::Append32(v, uint32_t(rate));
  le::Append32(v, uint32_t(rate * channels * bps));
  le::Append16(v, uint16_t(channels * bps));
  le::Append16(v, uint16_t(bitsPerSample));
  le::Append16(v, 0);
  WrTag(v, "data");
  le::Append32(v, uint32_t(bytes));
  const auto* p = static_cast<const uint8_t*>(pcm);
  if (bytes) v.insert(v.end(), p, p + bytes);
  return v;
}

}  // namespace plat
