#include "tests/support/temp_folder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace v4test {

TempFolder::TempFolder(const char* prefix) {
  std::string tmpl = std::string("/tmp/") + prefix + "_XXXXXX";
  if (mkdtemp(tmpl.data())) path_ = tmpl;
}

TempFolder::~TempFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
}

bool TempFolder::Write(const std::string& rel, const std::vector<uint8_t>& bytes) const {
  if (path_.empty()) return false;
  const fs::path p = fs::path(path_) / rel;
  std::error_code ec;
  fs::create_directories(p.parent_path(), ec);
  std::FILE* f = std::fopen(p.c_str(), "wb");
  if (!f) return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> TempFolder::Read(const std::string& rel) const {
  if (path_.empty()) return {};
  std::ifstream in(File(rel), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace v4test
