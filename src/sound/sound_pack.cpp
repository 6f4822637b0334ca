#include "sound/sound_pack.h"

#include <cstring>

#include "core/game_file.h"
#include "platform/audio/sound_formats.h"
#include "platform/audio/vorbis.h"
#include "platform/audio/wave.h"
#include "platform/fs/fs.h"
#include "platform/text/cp932.h"
#include "platform/text/log.h"

namespace {

// Index of the last '\' or '/' that is not a trail byte; npos when none.
size_t LastSeparator(const std::string& s) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (plat::IsSjisLead(c) && i + 1 < s.size()) {
      ++i;
      continue;
    }
    if (c == '\\' || c == '/') last = i;
  }
  return last;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (s.size() < n) return false;
  return plat::SjisEqualNoCase(s.substr(0, n).c_str(), prefix);
}

// Reads the entry of `path` from its folder's pack.
bool ReadFromPack(const char* path, std::vector<uint8_t>& bytes) {
  std::string spl, spd;
  if (!SoundPackNames(path, spl, spd)) return false;
  std::vector<uint8_t> index;
  if (!plat::ReadWholeFile(spl, index)) {
    plat::Log("sound", "%s: not found (no loose file, no pack %s)", path, spl.c_str());
    return false;
  }
  plat::ReadFile data;
  plat::FileInfo info;
  if (!data.Open(spd) || !data.Info(info)) {
    plat::Log("sound", "%s: pack data %s missing", path, spd.c_str());
    return false;
  }
  uint64_t pos = 0;
  uint32_t size = 0;
  if (!FindSoundPackEntry(path, index.data(), index.size(), info.size, &pos, &size)) {
    plat::Log("sound", "%s: not in pack %s", path, spl.c_str());
    return false;
  }
  if (size == 0) return false;
  bytes.resize(size);
  return data.ReadAt(pos, bytes.data(), size);
}

}  // namespace

bool SoundPackNames(const char* path, std::string& splPath, std::string& spdPath) {
  std::string p = path ? path : "";
  const char* dir = GetModuleDir();
  // The folder relative to the program directory, then placed back under it: packs never depend on
  // the working directory.
  std::string rel = StartsWithNoCase(p, dir) ? p.substr(std::strlen(dir)) : p;
  const size_t cut = LastSeparator(rel);
  if (cut == std::string::npos || cut == 0) return false;
  rel.resize(cut);
  const std::string base = (StartsWithNoCase(p, dir) ? std::string(dir) : std::string()) + rel;
  splPath = base + ".SPL";
  spdPath = base + ".SPD";
  return true;
}

bool FindSoundPackEntry(const char* name, const uint8_t* index, size_t indexSize, uint64_t spdSize, uint64_t* position,
                        uint32_t* size) {
  std::vector<plat::SoundPackEntry> entries;
  std::string why;
  if (!name || !plat::ParseSoundPackIndex(index, indexSize, spdSize, entries, &why)) {
    if (!why.empty()) plat::Log("sound", "damaged sound pack index: %s", why.c_str());
    return false;
  }
  const plat::SoundPackEntry* e = plat::FindPackEntry(entries, name);
  if (!e) return false;
  if (position) *position = e->offset;
  if (size) *size = e->size;
  return true;
}

int32_t LoadSoundPack(const char* path, int bytesPerSample, std::vector<uint8_t>& image) {
  image.clear();
  if (bytesPerSample != 1 && bytesPerSample != 2) {
    plat::Log("sound", "word is error");
    return -1;
  }
  if (!path) return -1;
  std::vector<uint8_t> bytes;
  if (!plat::ReadWholeFile(path, bytes) && !ReadFromPack(path, bytes)) return -1;
  size_t base = 0;
  if (!plat::ParseVoiHeader(bytes.data(), bytes.size(), base)) {
    plat::LogRefusedFile("sound", path, "damaged .voi header");
    return -1;
  }
  plat::DecodedSound snd;
  std::string why;
  if (!plat::DecodeVorbisMemory(bytes.data() + base, bytes.size() - base, bytesPerSample, snd, &why)) {
    plat::LogRefusedFile("sound", path, why.c_str());
    return -1;
  }
  if (snd.pcm.size() > size_t(INT32_MAX) - 46) {
    plat::LogRefusedFile("sound", path, "decoded sound too long");
    return -1;
  }
  image = plat::BuildWaveImage(snd.channels, snd.rate, snd.bitsPerSample, snd.pcm.data(), snd.pcm.size());
  return int32_t(image.size());
}
