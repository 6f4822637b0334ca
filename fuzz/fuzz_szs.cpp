// SZS archive directories: the input is a whole archive file.
#include <cstdlib>
#include <vector>

#include "formats/szs/szs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<v4fmt::SzsDirEntry> entries;
  std::string error;
  if (!v4fmt::ParseSzsDirectory(data, size, size, entries, &error)) return 0;
  // An accepted directory only names data inside the file.
  for (const v4fmt::SzsDirEntry& e : entries) {
    if (e.offset > size || e.size > size - e.offset) std::abort();
    (void)v4fmt::NormalizeSzsName(e.name);
  }
  return 0;
}
