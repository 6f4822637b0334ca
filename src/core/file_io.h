// Whole-file and block-list reading and writing, and the byte scramblers. Reads go through the
// game file reader (loose files and archives); writes go straight to disk, truncating, creating
// missing folders, and, when asked, through a temporary file renamed into place. Sizes are byte
// counts; paths longer than the path buffer fail the operation. Nothing here shows a message.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/fixed_path.h"

// Buffers returned by the reads are owned by the caller: free them with FreeFileBuffer.
void FreeFileBuffer(void* buffer);

// Size, or -1 when found neither loose nor in an archive; *out is set only on success.
int32_t ReadWholeFile(const char* path, uint8_t** out);
int32_t ReadAllBytes(FixedPath path, uint8_t** out);
int32_t ReadAllBytesDescrambled(FixedPath path, uint8_t** out, uint32_t seed);
// Copies min(size, maximum) bytes into buffer; bytes copied or -1.
int32_t ReadFileInto(FixedPath path, void* buffer, int32_t maximum);
int32_t ReadFileDescrambled(FixedPath path, void* buffer, int32_t maximum, uint32_t seed);

// How a write reaches the disk. Atomic writes leave either the old or the new file, never a mix.
enum class FileWrite { kTruncate, kAtomic };

// Replaces the file's content; false when it cannot be created or not every byte was written.
bool WriteWholeFile(FixedPath path, const void* buffer, int32_t size, FileWrite mode = FileWrite::kTruncate);
inline bool WriteWholeFileAtomic(FixedPath path, const void* buffer, int32_t size) {
  return WriteWholeFile(path, buffer, size, FileWrite::kAtomic);
}
// Writes the scrambled bytes; the caller's buffer is never modified.
bool WriteFileScrambled(FixedPath path, const void* buffer, int32_t size, uint32_t seed,
                        FileWrite mode = FileWrite::kTruncate);

// Add / subtract the seeded stream (restarted at the seed on every call); nothing for null.
void ScrambleBytes(void* buffer, int32_t size, uint32_t seed);
void DescrambleBytes(void* buffer, int32_t size, uint32_t seed);
// DescrambleBytes with the image seed 0x5C3A91E7 ("tig" and "tds").
void DescrambleFixed(void* buffer, int32_t size);

// True when path names a file that can be opened for reading. A relative path is taken from the
// working directory; a path under GetModuleDir() is absolute.
bool FileExists(const char* path);

// One block of a block file: the file is the concatenation of the blocks, nothing else.
struct SaveBlock {
  void* data;
  int32_t size;
};

class SaveBlockList {
 public:
  // Appends a block; a count of 0 is allowed (it occupies no bytes).
  void Append(void* data, int32_t size) { blocks_.push_back({data, size}); }
  void Clear() { blocks_.clear(); }
  size_t Count() const { return blocks_.size(); }
  const SaveBlock& operator[](size_t i) const { return blocks_[i]; }
  const std::vector<SaveBlock>& Blocks() const { return blocks_; }
  // Sum of the block sizes.
  int64_t TotalSize() const;

 private:
  std::vector<SaveBlock> blocks_;
};

// Fills the blocks in order from the file: a 0-count block is counted and skipped, otherwise
// min(count, bytes left) are copied and the block counts when at least one byte was copied; a
// short file leaves the later blocks untouched. Bytes after the last block go to a new buffer in
// *rest (when rest is given and bytes remain; free with FreeFileBuffer). Blocks counted, or -1
// (also when a block of non-zero count has no memory; nothing is read then).
int ReadBlockList(FixedPath path, const SaveBlockList* list, uint8_t** rest = nullptr, int32_t* restSize = nullptr);
// Writes the blocks in order as the whole file; blocks written, or -1.
int WriteBlockList(FixedPath path, const SaveBlockList* list, FileWrite mode = FileWrite::kTruncate);
// Scramble / descramble each block by itself (the stream restarts for every block).
void ScrambleBlocks(const SaveBlockList* list, uint32_t seed);
void DescrambleBlocks(const SaveBlockList* list, uint32_t seed);
// ReadBlockList, then descramble each block and (when returned) the rest, each from the seed.
int ReadBlockFile(FixedPath path, const SaveBlockList* list, uint32_t seed, uint8_t** rest = nullptr,
                  int32_t* restSize = nullptr);
// Writes each block scrambled by itself; the blocks in memory are never modified.
int WriteBlockFile(FixedPath path, const SaveBlockList* list, uint32_t seed, FileWrite mode = FileWrite::kTruncate);
