#include "render/file_load.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/core/file_io.h"
#include "app/core/game_file.h"

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

int32_t CDGFileLoad::Load(const char* path) {
  Free();
  if (!path || !*path) return -1;
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return -1;
  long size = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
  if (size < 0 || size > INT32_MAX || std::fseek(f, 0, SEEK_SET) != 0) {
    std::fclose(f);
    return -1;
  }
  uint8_t* buf = static_cast<uint8_t*>(std::malloc(size > 0 ? static_cast<size_t>(size) : 1));
  if (!buf) {
    std::fclose(f);
    return -1;
  }
  const size_t got = std::fread(buf, 1, static_cast<size_t>(size), f);
  std::fclose(f);
  if (got != static_cast<size_t>(size)) {
    std::free(buf);
    return -1;
  }
  Take(buf, static_cast<uint32_t>(size), path);
  return static_cast<int32_t>(size);
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
