// Byte formats of the sound files: the ".voi" header and the ".SPL" pack index (".SPD" holds the
// data). Plain C++ so the program, the tools and the tests share one reader and one writer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

constexpr size_t kVoiHeaderSize = 32;
constexpr size_t kVoiExtraOffset = 30;  // signed byte: extra header bytes after the 32

// Offset of the Ogg stream inside a ".voi" image of `total` bytes: 32 + the extra byte. False when
// the image is shorter than its header, the extra length is negative or the base lies past the end.
bool ParseVoiHeader(const uint8_t* data, size_t total, size_t& oggOffset);

// A ".voi" image: our 32-byte header ("VOI1", extra 0) followed by the Ogg stream.
std::vector<uint8_t> BuildVoiFile(const std::vector<uint8_t>& ogg);

struct SoundPackEntry {
  std::string name;  // bytes as stored (CP932), without the terminator
  uint32_t size = 0;
  uint64_t offset = 0;  // block index x block size, in the ".SPD"
};

// Reads an ".SPL" index. Every field is checked: the table size against the index size, each name
// offset inside the name area and terminated before the end, the block size non-zero when an entry
// has data. When spdSize is given (not UINT64_MAX) every entry must lie inside the data file.
// False on any inconsistency (`error` says which).
bool ParseSoundPackIndex(const uint8_t* data, size_t size, uint64_t spdSize, std::vector<SoundPackEntry>& out,
                         std::string* error = nullptr);

// Case-insensitive (ASCII letters, outside double-byte characters) search for the file-name part of
// `name` (after its last '\' or '/'); the first match in table order wins.
const SoundPackEntry* FindPackEntry(const std::vector<SoundPackEntry>& entries, const std::string& name);

// Writes an index and its data for the given files (name + bytes) with the given block size.
struct SoundPackInput {
  std::string name;
  std::vector<uint8_t> data;
};
void BuildSoundPack(const std::vector<SoundPackInput>& files, uint32_t blockSize, std::vector<uint8_t>& spl,
                    std::vector<uint8_t>& spd);

// Case-insensitive equality of two CP932 strings (ASCII letters only; trail bytes compared exactly).
bool SjisEqualNoCase(const char* a, const char* b);

}  // namespace plat
