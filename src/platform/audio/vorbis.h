// Ogg Vorbis decoding (whole, from memory; streaming, from a ".voi" file) and encoding (tools).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

struct DecodedSound {
  int channels = 0;
  int rate = 0;
  int bitsPerSample = 16;  // 16: signed little-endian; 8: unsigned (as WAVE wants)
  std::vector<uint8_t> pcm;
};

// Decodes a whole Ogg Vorbis stream held in memory. bytesPerSample 1 gives unsigned 8-bit samples,
// 2 signed 16-bit. False (with a reason in `error`) on a stream without information, an unknown
// length or a decode error.
bool DecodeVorbisMemory(const uint8_t* ogg, size_t size, int bytesPerSample, DecodedSound& out,
                        std::string* error = nullptr);

// Whether the Ogg stream is whole: its pages follow each other to the end of the bytes and the
// last one ends the stream. A cut file still decodes (to its last whole page), so players accept
// it; the tools use this to refuse it.
bool IsOggStreamComplete(const uint8_t* ogg, size_t size);

// Streaming decoder over a file on disk whose Ogg stream begins at `offset`. Reads give signed 16-bit
// little-endian stereo; a mono stream is widened to stereo.
class VorbisFileStream {
 public:
  VorbisFileStream();
  ~VorbisFileStream();
  VorbisFileStream(const VorbisFileStream&) = delete;
  VorbisFileStream& operator=(const VorbisFileStream&) = delete;

  // osPath is a UTF-8 path of the host. False when the file cannot be opened or is not Ogg Vorbis.
  bool Open(const std::string& osPath, uint64_t offset);
  // Opens a ".voi" file: validates its header and decodes the stream behind it.
  bool OpenVoi(const std::string& osPath);
  void Close();
  bool IsOpen() const;
  int Rate() const;
  int SourceChannels() const;
  // Up to `bytes` bytes (a multiple of 4) of stereo 16-bit samples: > 0 bytes read, 0 end of stream,
  // < 0 a decoder error (the stream may go on).
  long Read(char* out, int bytes);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Encodes interleaved signed 16-bit samples (VBR, quality -0.1 .. 1.0).
bool EncodeVorbis(const int16_t* samples, size_t frames, int channels, int rate, float quality,
                  std::vector<uint8_t>& ogg, std::string* error = nullptr);

}  // namespace plat
