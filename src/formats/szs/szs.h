// SZS image archives: a 16-byte header (bytes 0..11 unused and written as zero, a signed 32-bit
// little-endian entry count at 12), count directory records of 272 bytes, then the entries' data.
// Record: name[256] (CP932, zero-terminated, relative to the archive, '\' separators),
// u64 offset of the data from the start of the file (only its low 32 bits are read), u64 size.
// Data bytes are XORed with 0xB7.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/fs.h"

namespace v4fmt {

inline constexpr size_t kSzsHeaderSize = 16;
inline constexpr size_t kSzsCountOffset = 12;
inline constexpr size_t kSzsRecordSize = 272;
inline constexpr size_t kSzsNameSize = 256;  // including the terminator
inline constexpr uint8_t kSzsKey = 0xB7;

struct SzsDirEntry {
  std::string name;  // CP932, as stored
  uint64_t offset = 0;
  uint64_t size = 0;
};

// XORs every byte with the archive key (the operation is its own inverse).
void XorSzsData(uint8_t* data, size_t size);

// Lower-cases ASCII letters (never the trail byte of a two-byte character) and turns ';' and '/'
// into '\'. The in-place form stops at the terminator.
void NormalizeSzsName(char* text);
std::string NormalizeSzsName(std::string_view text);

// Validates and parses the directory of an archive whose file is fileSize bytes long.
// header holds the file's first bytes: at least kSzsHeaderSize, and the whole directory when the
// count is positive (use SzsDirectoryBytes to know how much). A count of zero means no entries.
// False, with a reason, when the count is negative or does not fit the file, a record lies outside
// the file, or a name is empty or not terminated.
bool ParseSzsDirectory(const uint8_t* header, size_t headerSize, uint64_t fileSize, std::vector<SzsDirEntry>& out,
                       std::string* error = nullptr);

// How many leading bytes ParseSzsDirectory needs for a file whose header says count; 0 when the
// count is negative or cannot fit a file of fileSize bytes.
size_t SzsDirectoryBytes(int32_t count, uint64_t fileSize);

// Reads and validates the directory of an open archive file.
bool ReadSzsDirectory(const plat::ReadFile& file, std::vector<SzsDirEntry>& out, std::string* error = nullptr);

// Reads and validates the directory of an archive file (program path).
bool ReadSzsDirectoryFile(std::string_view path, std::vector<SzsDirEntry>& out, std::string* error = nullptr);

// Reads one entry's data from an archive file and removes the XOR; false on any read error.
bool ReadSzsEntryData(std::string_view path, const SzsDirEntry& entry, std::vector<uint8_t>& out);

struct SzsSourceEntry {
  std::string name;           // CP932, '\' separators, at most 255 bytes
  std::vector<uint8_t> data;  // plain bytes
};

// Builds a whole archive image: header, directory in the given order, data XORed.
// False when a name is empty or too long, or the count does not fit.
bool BuildSzsArchive(const std::vector<SzsSourceEntry>& entries, std::vector<uint8_t>& out,
                     std::string* error = nullptr);

}  // namespace v4fmt
