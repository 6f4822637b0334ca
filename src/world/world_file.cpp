#include "world/world_file.h"

#include "core/file_io.h"
#include "core/game_file.h"
#include "platform/fs/fs.h"

std::string WorldDataPath(const char* relative) { return std::string(GetModuleDir()) + relative; }

bool ReadWorldFile(const char* path, std::vector<uint8_t>& out, bool descramble) {
  out.clear();
  int32_t size = 0;
  uint8_t* data = LoadGameFile(path, &size);
  if (!data) return false;
  out.assign(data, data + size);
  FreeGameFile(data);
  if (descramble && size > 0) DescrambleBytes(out.data(), size, kWorldTableSeed);
  return true;
}

bool ReadDiskFile(const char* path, std::vector<uint8_t>& out) {
  out.clear();
  return plat::ReadWholeFile(path, out);
}
