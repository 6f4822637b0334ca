// Sound data: "voi encode|decode", "spl pack" and "synth" (audio from a readable description).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "command.h"
#include "tool_io.h"
#include "platform/audio/sound_formats.h"
#include "platform/audio/vorbis.h"
#include "platform/audio/wave.h"
#include "platform/text/cp932.h"
#include "platform/byte_order.h"

namespace fs = std::filesystem;

namespace {

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out) { return ReadToolInput("voi", path, out); }

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  return bool(f);
}

// WAVE samples to 44.1 kHz signed 16-bit stereo (linear interpolation for other rates).
std::vector<int16_t> ToStereo44k(const plat::WaveInfo& info, const uint8_t* pcm) {
  // The frame size follows from channels and sample width; the stored block alignment may be damaged.
  const size_t frames = info.dataSize / (size_t(info.channels) * (info.bits / 8));
  std::vector<float> l(frames), r(frames);
  for (size_t i = 0; i < frames; ++i) {
    float s[2] = {0.0f, 0.0f};
    for (int c = 0; c < info.channels; ++c) {
      if (info.bits == 8) {
        s[c] = (int(pcm[i * info.channels + c]) - 128) * 256.0f;
      } else {
        const uint8_t* p = pcm + 2 * (i * info.channels + c);
        s[c] = float(int16_t(le::Get16(p)));
      }
    }
    l[i] = s[0];
    r[i] = info.channels == 2 ? s[1] : s[0];
  }
  const double ratio = double(info.rate) / 44100.0;
  const size_t outFrames = info.rate == 44100 ? frames : size_t(double(frames) / ratio);
  std::vector<int16_t> out(outFrames * 2);
  for (size_t i = 0; i < outFrames; ++i) {
    float a, b;
    if (info.rate == 44100) {
      a = l[i];
      b = r[i];
    } else {
      const double x = double(i) * ratio;
      const size_t i0 = std::min(size_t(x), frames - 1), i1 = std::min(i0 + 1, frames - 1);
      const float t = float(x - double(i0));
      a = l[i0] + (l[i1] - l[i0]) * t;
      b = r[i0] + (r[i1] - r[i0]) * t;
    }
    out[2 * i] = int16_t(std::clamp(a, -32768.0f, 32767.0f));
    out[2 * i + 1] = int16_t(std::clamp(b, -32768.0f, 32767.0f));
  }
  return out;
}

int VoiEncode(const std::string& in, const std::string& out) {
  std::vector<uint8_t> wav;
  if (!ReadFileBytes(in, wav)) {
    std::fprintf(stderr, "voi: cannot read %s\n", in.c_str());
    return 1;
  }
  plat::WaveInfo info;
  const plat::WaveError err = plat::ParseWave(wav.data(), wav.size(), info);
  if (err != plat::WaveError::kNone) {
    std::fprintf(stderr, "voi: %s: %s\n", in.c_str(), plat::WaveErrorText(err));
    return 1;
  }
  const std::vector<int16_t> pcm = ToStereo44k(info, wav.data() + info.dataOffset);
  std::vector<uint8_t> ogg;
  std::string why;
  if (!plat::EncodeVorbis(pcm.data(), pcm.size() / 2, 2, 44100, 0.4f, ogg, &why)) {
    std::fprintf(stderr, "voi: encoding failed: %s\n", why.c_str());
    return 1;
  }
  if (!WriteFileBytes(out, plat::BuildVoiFile(ogg))) {
    std::fprintf(stderr, "voi: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

int VoiDecode(const std::string& in, const std::string& out) {
  std::vector<uint8_t> voi;
  size_t base = 0;
  if (!ReadFileBytes(in, voi) || !plat::ParseVoiHeader(voi.data(), voi.size(), base)) {
    std::fprintf(stderr, "voi: %s is not a readable .voi file\n", in.c_str());
    return 1;
  }
  if (!plat::IsOggStreamComplete(voi.data() + base, voi.size() - base)) {
    std::fprintf(stderr, "voi: %s: the sound stream is cut short or damaged\n", in.c_str());
    return 1;
  }
  plat::DecodedSound snd;
  std::string why;
  if (!plat::DecodeVorbisMemory(voi.data() + base, voi.size() - base, 2, snd, &why)) {
    std::fprintf(stderr, "voi: %s: %s\n", in.c_str(), why.c_str());
    return 1;
  }
  return WriteFileBytes(out, plat::BuildWaveImage(snd.channels, snd.rate, 16, snd.pcm.data(), snd.pcm.size())) ? 0 : 1;
}

int RunVoi(const std::vector<std::string>& args) {
  if (args.size() == 3 && args[0] == "encode") return VoiEncode(args[1], args[2]);
  if (args.size() == 3 && args[0] == "decode") return VoiDecode(args[1], args[2]);
  std::fprintf(stderr, "usage: v4data voi encode <in.wav> <out.voi> | decode <in.voi> <out.wav>\n");
  return 2;
}

int RunSpl(const std::vector<std::string>& args) {
  if (args.size() != 3 || args[0] != "pack") {
    std::fprintf(stderr, "usage: v4data spl pack <dir> <out-base>\n");
    return 2;
  }
  std::error_code ec;
  std::vector<fs::path> files;
  for (fs::recursive_directory_iterator it(args[1], ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    std::string ext = it->path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == ".voi") files.push_back(it->path());
  }
  if (ec) {
    std::fprintf(stderr, "spl: cannot list %s\n", args[1].c_str());
    return 1;
  }
  std::sort(files.begin(), files.end());
  std::vector<plat::SoundPackInput> inputs;
  for (const fs::path& p : files) {
    plat::SoundPackInput in;
    std::string name;
    // Lookups use the file name only; names are stored in CP932.
    if (!plat::Utf8ToCp932Strict(p.filename().string(), name)) {
      std::fprintf(stderr, "spl: %s: name has no CP932 form\n", p.c_str());
      return 1;
    }
    for (const auto& prev : inputs) {
      if (plat::SjisEqualNoCase(prev.name.c_str(), name.c_str())) {
        std::fprintf(stderr, "spl: duplicate file name %s\n", p.filename().c_str());
        return 1;
      }
    }
    in.name = name;
    if (!ReadFileBytes(p.string(), in.data)) {
      std::fprintf(stderr, "spl: cannot read %s\n", p.c_str());
      return 1;
    }
    inputs.push_back(std::move(in));
  }
  std::vector<uint8_t> spl, spd;
  plat::BuildSoundPack(inputs, 2048, spl, spd);
  if (!WriteFileBytes(args[2] + ".SPL", spl) || !WriteFileBytes(args[2] + ".SPD", spd)) {
    std::fprintf(stderr, "spl: cannot write %s.SPL/.SPD\n", args[2].c_str());
    return 1;
  }
  std::printf("%zu sounds\n", inputs.size());
  return 0;
}

// --- synth: notes, tones and envelopes from JSON ---

double NoteFrequency(const nlohmann::json& n) {
  if (n.is_number()) return 440.0 * std::pow(2.0, (n.get<double>() - 69.0) / 12.0);
  const std::string s = n.get<std::string>();  // e.g. "A4", "C#5", "Eb3"
  static const std::map<char, int> base{{'C', 0}, {'D', 2}, {'E', 4}, {'F', 5}, {'G', 7}, {'A', 9}, {'B', 11}};
  if (s.empty() || !base.count(char(std::toupper(s[0])))) throw std::runtime_error("bad note " + s);
  int semis = base.at(char(std::toupper(s[0])));
  size_t i = 1;
  if (i < s.size() && s[i] == '#')
    semis++, i++;
  else if (i < s.size() && s[i] == 'b')
    semis--, i++;
  const int octave = std::stoi(s.substr(i));
  const int midi = (octave + 1) * 12 + semis;
  return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0);
}

double Osc(const std::string& wave, double phase, uint32_t& noise) {
  const double p = phase - std::floor(phase);
  if (wave == "square") return p < 0.5 ? 1.0 : -1.0;
  if (wave == "triangle") return 4.0 * std::fabs(p - 0.5) - 1.0;
  if (wave == "saw") return 2.0 * p - 1.0;
  if (wave == "noise") {
    noise = noise * 1664525u + 1013904223u;
    return double(noise >> 8) / double(1u << 23) - 1.0;
  }
  return std::sin(2.0 * M_PI * p);
}

int RunSynth(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: v4data synth <description.json> <out.wav>\n");
    return 2;
  }
  nlohmann::json d;
  try {
    if (!ReadToolJson("synth", args[0], d)) return 1;
    const int rate = d.value("rate", 44100);
    const int channels = d.value("channels", 2);
    const double tempo = d.value("tempo", 120.0);  // beats per minute
    const double beat = 60.0 / tempo;
    // A looping track: its length is exact and tails that run past the end continue at its start.
    const bool wrap = d.value("loop", false);
    const double seconds = d.contains("beats") ? d["beats"].get<double>() * beat : d.value("seconds", 1.0);
    const size_t frames = size_t(std::llround(seconds * rate));
    if (rate <= 0 || (channels != 1 && channels != 2) || frames == 0 || frames > size_t(rate) * 600)
      throw std::runtime_error("bad rate, channels or length");
    std::vector<double> mix(frames * size_t(channels), 0.0);
    uint32_t noise = 12345;
    for (const auto& v : d.at("voices")) {
      const std::string wave = v.value("wave", "sine");
      const double gain = v.value("gain", 0.3), pan = v.value("pan", 0.0);
      const double a = v.value("attack", 0.005), dc = v.value("decay", 0.05), s = v.value("sustain", 0.8),
                   r = v.value("release", 0.05);
      const double sweep = v.value("sweep", 0.0);  // frequency change per second (octaves)
      const double gl = gain * std::min(1.0, 1.0 - pan), gr = gain * std::min(1.0, 1.0 + pan);
      for (const auto& n : v.at("notes")) {
        // [start beat, length in beats, pitch]
        const double start = n.at(0).get<double>() * beat, len = n.at(1).get<double>() * beat;
        const double f0 = NoteFrequency(n.at(2));
        const size_t s0 = size_t(std::llround(start * rate));
        const size_t count = size_t((len + r) * rate);
        double phase = 0.0;
        for (size_t k = 0; k < count; ++k) {
          const double t = double(k) / rate;
          double env;
          if (t < a)
            env = t / a;
          else if (t < a + dc)
            env = 1.0 - (1.0 - s) * (t - a) / dc;
          else if (t < len)
            env = s;
          else
            env = s * std::max(0.0, 1.0 - (t - len) / r);
          const double x = Osc(wave, phase, noise) * env;
          phase += f0 * std::pow(2.0, sweep * t) / rate;
          size_t idx = s0 + k;
          if (idx >= frames) {
            if (!wrap) break;
            idx %= frames;
          }
          if (channels == 2) {
            mix[2 * idx] += x * gl;
            mix[2 * idx + 1] += x * gr;
          } else {
            mix[idx] += x * gain;
          }
        }
      }
    }
    std::vector<int16_t> pcm(mix.size());
    for (size_t i = 0; i < mix.size(); ++i) pcm[i] = int16_t(std::clamp(mix[i], -1.0, 32767.0 / 32768.0) * 32768.0);
    std::vector<uint8_t> bytes(pcm.size() * 2);
    for (size_t i = 0; i < pcm.size(); ++i) {
      bytes[2 * i] = uint8_t(pcm[i] & 0xFF);
      bytes[2 * i + 1] = uint8_t((pcm[i] >> 8) & 0xFF);
    }
    if (!WriteFileBytes(args[1], plat::BuildWaveImage(channels, rate, 16, bytes.data(), bytes.size())))
      throw std::runtime_error("cannot write " + args[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "synth: %s: %s\n", args[0].c_str(), e.what());
    return 1;
  }
  return 0;
}

const V4Command kVoi{"voi", "encode <in.wav> <out.voi> | decode <in.voi> <out.wav>", &RunVoi};
const V4Command kSpl{"spl", "pack <dir> <out-base>   (every .voi under dir into <out-base>.SPL/.SPD)", &RunSpl};
const V4Command kSynth{"synth", "<description.json> <out.wav>   (notes, tones and envelopes)", &RunSynth};

}  // namespace
