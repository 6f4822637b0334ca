#include "platform/audio/sound_formats.h"

#include <cstring>

#include "platform/text/cp932.h"
#include "platform/byte_order.h"

namespace plat {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

void Fail(std::string* error, const char* what) {
  if (error) *error = what;
}

}  // namespace

bool ParseVoiHeader(const uint8_t* data, size_t total, size_t& oggOffset) {
  if (!data || total < kVoiHeaderSize) return false;
  const int extra = int(int8_t(data[kVoiExtraOffset]));
  if (extra < 0) return false;
  const size_t base = kVoiHeaderSize + size_t(extra);
  if (base > total) return false;
  oggOffset = base;
  return true;
}

std::vector<uint8_t> BuildVoiFile(const std::vector<uint8_t>& ogg) {
  std::vector<uint8_t> v(kVoiHeaderSize, 0);
  std::memcpy(v.data(), "VOI1", 4);
  le::Put32(v.data() + 4, uint32_t(ogg.size()));
  v[kVoiExtraOffset] = 0;
  v.insert(v.end(), ogg.begin(), ogg.end());
  return v;
}

bool SjisEqualNoCase(const char* a, const char* b) {
  for (;;) {
    const unsigned char ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
    if (IsSjisLead(ca)) {
      if (ca != cb) return false;
      if (a[1] == 0 || b[1] == 0) return a[1] == b[1];
      if (a[1] != b[1]) return false;
      a += 2;
      b += 2;
      continue;
    }
    if (Lower(char(ca)) != Lower(char(cb))) return false;
    if (ca == 0) return true;
    ++a;
    ++b;
  }
}

bool ParseSoundPackIndex(const uint8_t* data, size_t size, uint64_t spdSize, std::vector<SoundPackEntry>& out,
                         std::string* error) {
  out.clear();
  if (!data || size < 32) return Fail(error, "index shorter than its 32-byte header"), false;
  const uint32_t blockSize = le::Get32(data + 12);
  if (size == 32) return true;  // no table at all: an empty pack
  if (size < 36) return Fail(error, "index table truncated"), false;
  const uint32_t first = le::Get32(data + 32);
  if (first < 32 || (first - 32) % 16 != 0 || first > size)
    return Fail(error, "first name offset outside the index"), false;
  const size_t n = (first - 32) / 16;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* e = data + 32 + 16 * i;
    const uint32_t nameOff = le::Get32(e), sz = le::Get32(e + 4), block = le::Get32(e + 8);
    if (nameOff < first || nameOff >= size) return Fail(error, "entry name outside the name area"), false;
    const void* nul = std::memchr(data + nameOff, 0, size - nameOff);
    if (!nul) return Fail(error, "entry name without a terminator"), false;
    SoundPackEntry ent;
    ent.name.assign(reinterpret_cast<const char*>(data + nameOff), static_cast<const uint8_t*>(nul) - (data + nameOff));
    ent.size = sz;
    ent.offset = uint64_t(block) * blockSize;
    if (sz > 0 && blockSize == 0 && block != 0) return Fail(error, "zero block size"), false;
    if (spdSize != UINT64_MAX && (ent.offset > spdSize || sz > spdSize - ent.offset))
      return Fail(error, "entry data outside the data file"), false;
    out.push_back(std::move(ent));
  }
  return true;
}

const SoundPackEntry* FindPackEntry(const std::vector<SoundPackEntry>& entries, const std::string& name) {
  // File-name part: after the last separator that is not a trail byte.
  size_t start = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsSjisLead(c) && i + 1 < name.size()) {
      ++i;
      continue;
    }
    if (c == '\\' || c == '/') start = i + 1;
  }
  const std::string file = name.substr(start);
  for (const SoundPackEntry& e : entries)
    if (SjisEqualNoCase(e.name.c_str(), file.c_str())) return &e;
  return nullptr;
}

void BuildSoundPack(const std::vector<SoundPackInput>& files, uint32_t blockSize, std::vector<uint8_t>& spl,
                    std::vector<uint8_t>& spd) {
  if (blockSize == 0) blockSize = 1;
  const size_t n = files.size();
  spl.assign(32 + 16 * n, 0);
  std::memcpy(spl.data(), "SPL1", 4);
  le::Put32(spl.data() + 4, uint32_t(n));
  le::Put32(spl.data() + 12, blockSize);
  spd.clear();
  if (n == 0) {
    // The first name offset of an empty table points right after the header.
    spl.resize(36);
    le::Put32(spl.data() + 32, 32);
    return;
  }
  for (size_t i = 0; i < n; ++i) {
    const uint32_t nameOff = uint32_t(spl.size());
    spl.insert(spl.end(), files[i].name.begin(), files[i].name.end());
    spl.push_back(0);
    // Data starts on a block boundary.
    const size_t pad = (blockSize - spd.size() % blockSize) % blockSize;
    spd.insert(spd.end(), pad, 0);
    const uint32_t block = uint32_t(spd.size() / blockSize);
    spd.insert(spd.end(), files[i].data.begin(), files[i].data.end());
    uint8_t* e = spl.data() + 32 + 16 * i;
    le::Put32(e, nameOff);
    le::Put32(e + 4, uint32_t(files[i].data.size()));
    le::Put32(e + 8, block);
    le::Put32(e + 12, 0);
  }
}

}  // namespace plat
