#include "core/file_io.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/game_file.h"
#include "formats/scramble/scramble.h"
#include "platform/fs/fs.h"

namespace {

// The bytes a block-list read put into each block, so that only those are descrambled.
int FillBlocks(FixedPath path, const SaveBlockList* list, uint8_t** rest, int32_t* restSize,
               std::vector<int32_t>* filled) {
  if (rest) *rest = nullptr;
  if (restSize) *restSize = 0;
  if (!list) return -1;
  // A block without memory would leave its bytes to the next block and shift everything after it.
  for (const SaveBlock& b : list->Blocks()) {
    if (b.size > 0 && !b.data) return -1;
  }
  uint8_t* file = nullptr;
  const int32_t size = ReadAllBytes(path, &file);
  if (size < 0) return -1;
  int counted = 0;
  int32_t offset = 0;
  for (const SaveBlock& b : list->Blocks()) {
    int32_t copied = 0;
    if (b.size <= 0) {
      ++counted;
    } else if (offset < size) {
      copied = std::min(b.size, size - offset);
      std::memcpy(b.data, file + offset, static_cast<size_t>(copied));
      offset += copied;
      ++counted;
    }
    if (filled) filled->push_back(copied);
  }
  if (rest && offset < size) {
    const int32_t n = size - offset;
    if (auto* r = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(n)))) {
      std::memcpy(r, file + offset, static_cast<size_t>(n));
      *rest = r;
      if (restSize) *restSize = n;
    }
  }
  FreeGameFile(file);
  return counted;
}

plat::WriteMode ToMode(FileWrite mode) {
  return mode == FileWrite::kAtomic ? plat::WriteMode::kAtomic : plat::WriteMode::kTruncate;
}

// The file image of a block list, each block scrambled by itself when scramble is set.
bool JoinBlocks(const SaveBlockList* list, bool scramble, uint32_t seed, std::vector<uint8_t>& out) {
  if (!list) return false;
  int64_t total = 0;
  for (const SaveBlock& b : list->Blocks()) {
    if (b.size < 0 || (b.size > 0 && !b.data)) return false;
    total += b.size;
  }
  if (total > INT32_MAX) return false;
  out.resize(static_cast<size_t>(total));
  size_t at = 0;
  for (const SaveBlock& b : list->Blocks()) {
    if (b.size == 0) continue;
    std::memcpy(out.data() + at, b.data, static_cast<size_t>(b.size));
    if (scramble) v4fmt::ScrambleInPlace(out.data() + at, static_cast<size_t>(b.size), seed);
    at += static_cast<size_t>(b.size);
  }
  return true;
}

}  // namespace

void FreeFileBuffer(void* buffer) { FreeGameFile(buffer); }

int32_t ReadWholeFile(const char* path, uint8_t** out) {
  if (!path || !out) return -1;
  int32_t size = 0;
  uint8_t* buffer = LoadGameFile(path, &size);
  if (!buffer) return -1;
  *out = buffer;
  return size;
}

int32_t ReadAllBytes(FixedPath path, uint8_t** out) {
  if (!path.IsValid()) return -1;
  return ReadWholeFile(path.CStr(), out);
}

int32_t ReadAllBytesDescrambled(FixedPath path, uint8_t** out, uint32_t seed) {
  const int32_t size = ReadAllBytes(path, out);
  if (size >= 0) DescrambleBytes(*out, size, seed);
  return size;
}

int32_t ReadFileInto(FixedPath path, void* buffer, int32_t maximum) {
  if (maximum < 0 || (!buffer && maximum > 0)) return -1;
  uint8_t* data = nullptr;
  const int32_t size = ReadAllBytes(path, &data);
  if (size < 0) return -1;
  const int32_t n = std::min(size, maximum);
  if (n > 0) std::memcpy(buffer, data, static_cast<size_t>(n));
  FreeGameFile(data);
  return n;
}

int32_t ReadFileDescrambled(FixedPath path, void* buffer, int32_t maximum, uint32_t seed) {
  const int32_t n = ReadFileInto(path, buffer, maximum);
  if (n > 0) DescrambleBytes(buffer, n, seed);
  return n;
}

bool WriteWholeFile(FixedPath path, const void* buffer, int32_t size, FileWrite mode) {
  if (!path.IsValid() || path.Length() == 0 || size < 0 || (size > 0 && !buffer)) return false;
  return plat::WriteWholeFile(path.CStr(), buffer, static_cast<size_t>(size), ToMode(mode));
}

bool WriteFileScrambled(FixedPath path, const void* buffer, int32_t size, uint32_t seed, FileWrite mode) {
  if (size < 0 || (size > 0 && !buffer)) return false;
  // Scramble a copy: the caller's memory may be read by another thread meanwhile.
  std::vector<uint8_t> copy(static_cast<const uint8_t*>(buffer), static_cast<const uint8_t*>(buffer) + size);
  v4fmt::ScrambleInPlace(copy.data(), copy.size(), seed);
  return WriteWholeFile(path, copy.data(), size, mode);
}

void ScrambleBytes(void* buffer, int32_t size, uint32_t seed) {
  if (size <= 0) return;
  v4fmt::ScrambleInPlace(static_cast<uint8_t*>(buffer), static_cast<size_t>(size), seed);
}

void DescrambleBytes(void* buffer, int32_t size, uint32_t seed) {
  if (size <= 0) return;
  v4fmt::DescrambleInPlace(static_cast<uint8_t*>(buffer), static_cast<size_t>(size), seed);
}

void DescrambleFixed(void* buffer, int32_t size) { DescrambleBytes(buffer, size, v4fmt::kScrambleSeedImage); }

bool FileExists(const char* path) {
  if (!path || !*path || std::strlen(path) > kMaxGamePath) return false;
  return plat::FileExists(path);
}

int64_t SaveBlockList::TotalSize() const {
  int64_t total = 0;
  for (const SaveBlock& b : blocks_) total += b.size > 0 ? b.size : 0;
  return total;
}

int ReadBlockList(FixedPath path, const SaveBlockList* list, uint8_t** rest, int32_t* restSize) {
  return FillBlocks(path, list, rest, restSize, nullptr);
}

int WriteBlockList(FixedPath path, const SaveBlockList* list, FileWrite mode) {
  std::vector<uint8_t> image;
  if (!JoinBlocks(list, false, 0, image)) return -1;
  if (!WriteWholeFile(path, image.data(), static_cast<int32_t>(image.size()), mode)) return -1;
  return static_cast<int>(list->Count());
}

void ScrambleBlocks(const SaveBlockList* list, uint32_t seed) {
  if (!list) return;
  for (const SaveBlock& b : list->Blocks()) ScrambleBytes(b.data, b.size, seed);
}

void DescrambleBlocks(const SaveBlockList* list, uint32_t seed) {
  if (!list) return;
  for (const SaveBlock& b : list->Blocks()) DescrambleBytes(b.data, b.size, seed);
}

int ReadBlockFile(FixedPath path, const SaveBlockList* list, uint32_t seed, uint8_t** rest, int32_t* restSize) {
  std::vector<int32_t> filled;
  int32_t restBytes = 0;
  const int counted = FillBlocks(path, list, rest, &restBytes, &filled);
  if (counted < 0) return -1;
  // Only the bytes that came from the file: blocks a short file did not reach keep their values.
  for (size_t i = 0; i < filled.size(); ++i) DescrambleBytes((*list)[i].data, filled[i], seed);
  if (rest && *rest) DescrambleBytes(*rest, restBytes, seed);
  if (restSize) *restSize = restBytes;
  return counted;
}

int WriteBlockFile(FixedPath path, const SaveBlockList* list, uint32_t seed, FileWrite mode) {
  std::vector<uint8_t> image;
  if (!JoinBlocks(list, true, seed, image)) return -1;
  if (!WriteWholeFile(path, image.data(), static_cast<int32_t>(image.size()), mode)) return -1;
  return static_cast<int>(list->Count());
}
