#include "render/file_load.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/file_io.h"
#include "core/game_file.h"
#include "platform/fs/fs.h"

void CDGFileLoad::Free() {
  std::free(data_);
  data_ = nullptr;
  size_ = 0;
  path_.clear();
}

void CDGFileLoad::Take(uint8_t* data, uint32_t size, const char* path) {
  data_ = data;
  size_ = size;
  path_ = path;
}

// A program path ('\' or '/' separators, letter case ignored), mapped to the host by the file
// layer, as every other file the program opens.
int32_t CDGFileLoad::Load(const char* path) {
  Free();
  if (!path || !*path) return -1;
  std::vector<uint8_t> bytes;
  if (!plat::ReadWholeFile(path, bytes) || bytes.size() > static_cast<size_t>(INT32_MAX)) return -1;
  uint8_t* buf = static_cast<uint8_t*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
  if (!buf) return -1;
  if (!bytes.empty()) std::memcpy(buf, bytes.data(), bytes.size());
  Take(buf, static_cast<uint32_t>(bytes.size()), path);
  return static_cast<int32_t>(bytes.size());
}

int32_t CDGFileLoad_QZT::Load(const char* path) {
  Free();
  if (!path) return -1;
  char name[kMaxGamePath + 1];
  if (std::strlen(path) > kMaxGamePath) return -1;
  std::strcpy(name, path);  // the reader may rewrite its argument
  int32_t size = 0;
  uint8_t* data = LoadGameFile(name, &size);
  if (!data || size < 0) {
    if (data) FreeGameFile(data);
    return -1;
  }
  // The reader's buffer is malloc'd: adopt it as it is.
  Take(data, static_cast<uint32_t>(size), path);
  if (IsScrambledImageName(path)) DescrambleFixed(data, size);
  return size;
}

bool IsScrambledImageName(const char* path) {
  if (!path) return false;
  const char* dot = std::strrchr(path, '.');
  if (!dot) return false;
  const char* ext = dot + 1;
  if (std::strlen(ext) != 3) return false;
  char low[4];
  for (int i = 0; i < 3; ++i) low[i] = static_cast<char>(ext[i] >= 'A' && ext[i] <= 'Z' ? ext[i] + 32 : ext[i]);
  low[3] = 0;
  return std::strcmp(low, "tig") == 0 || std::strcmp(low, "tds") == 0;
}
