// Movie decoding through FFmpeg: one video stream converted to RGBA, one audio stream resampled to
// 44.1 kHz stereo S16. Synchronous; MovieStream runs it on a decode thread.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

inline constexpr int kMovieAudioRate = 44100;
inline constexpr int kMovieAudioChannels = 2;

struct MovieInfo {
  int width = 0;  // 0 without a video stream
  int height = 0;
  double fps = 0;       // nominal frame rate (0 when unknown)
  double duration = 0;  // seconds; 0 when the container does not say
  bool hasVideo = false;
  bool hasAudio = false;
};

// One decoded picture: rows top-down, 4 bytes per pixel (R, G, B, A), pitch = width * 4.
struct MovieVideoFrame {
  double pts = 0;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
};

// Interleaved stereo samples starting at pts.
struct MovieAudioChunk {
  double pts = 0;
  std::vector<int16_t> samples;
  size_t Frames() const { return samples.size() / kMovieAudioChannels; }
  double End() const { return pts + static_cast<double>(Frames()) / kMovieAudioRate; }
};

enum class MovieDecodeStatus { kVideo, kAudio, kEnd };

class MovieDecoder {
 public:
  MovieDecoder();
  ~MovieDecoder();
  MovieDecoder(const MovieDecoder&) = delete;
  MovieDecoder& operator=(const MovieDecoder&) = delete;

  // Opens a local file (UTF-8 OS path; no other protocol is accepted). threads: decoder threads,
  // 0 lets FFmpeg choose. False with a reason in *error when it cannot be played.
  bool Open(const std::string& osPath, int threads = 0, std::string* error = nullptr);
  void Close();
  bool IsOpen() const;
  const MovieInfo& Info() const;

  // Produces the next decoded item in stream order. Damaged packets are skipped; a read error ends
  // the stream like the end of the file does.
  MovieDecodeStatus Next(MovieVideoFrame& video, MovieAudioChunk& audio);

  // Repositions so that the next items start at `seconds` (frames before it are dropped, the audio
  // chunk that straddles it is trimmed). False when the container refuses.
  bool Seek(double seconds);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plat
