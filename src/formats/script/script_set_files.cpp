#include "formats/script/script_set_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "formats/scramble/scramble.h"
#include "platform/text/cp932.h"
#include "platform/fs/fs.h"

namespace v4fmt {
namespace {

namespace fs = std::filesystem;

std::string HostRelative(std::string name) {
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

bool WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes, std::string* error) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (f) f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!f) {
    if (error) *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

}  // namespace

bool WriteScriptSetFiles(const std::string& root, const std::string& baseName,
                         const std::array<std::vector<uint8_t>, kScriptFileCount>& images, std::string* error) {
  if (baseName.empty()) {
    if (error) *error = "empty base name";
    return false;
  }
  for (int i = 0; i < kScriptFileCount; ++i) {
    if (images[i].size() > kScriptFiles[i].areaSize) {
      if (error) *error = std::string(kScriptFiles[i].extension) + " is larger than its area";
      return false;
    }
    std::vector<uint8_t> bytes = images[i];
    ScrambleInPlace(bytes.data(), bytes.size(), kScriptSeed);
    if (!WriteBytes(fs::path(root) / (HostRelative(baseName) + kScriptFiles[i].extension), bytes, error)) return false;
  }
  return true;
}

bool WriteScriptSetNameFile(const std::string& root, int setNumber, const std::string& baseName, std::string* error) {
  if (setNumber < 0 || setNumber > 1) {
    if (error) *error = "set number must be 0 or 1";
    return false;
  }
  std::string name;
  if (!plat::Utf8ToCp932Strict(baseName, name) || name.empty() || name.size() >= kSetNameMaxBytes) {
    if (error) *error = "base name is empty, too long or not encodable";
    return false;
  }
  for (char& c : name)
    if (c == '/') c = '\\';
  name += "\r\n";
  return WriteBytes(fs::path(root) / HostRelative(kScriptSetNameFile[setNumber]),
                    std::vector<uint8_t>(name.begin(), name.end()), error);
}

bool ReadScriptSetFiles(const std::string& root, const std::string& baseName,
                        std::array<std::vector<uint8_t>, kScriptFileCount>& images, std::string* error) {
  bool any = false;
  for (int i = 0; i < kScriptFileCount; ++i) {
    images[i].clear();
    const fs::path file = fs::path(root) / (HostRelative(baseName) + kScriptFiles[i].extension);
    std::error_code ec;
    if (!fs::exists(file, ec)) continue;  // a set may leave out files it does not use
    std::string why;
    if (!plat::ReadHostFile(file.string(), images[i], &why)) {
      if (error) *error = file.string() + ": " + why;
      for (auto& image : images) image.clear();
      return false;
    }
    if (images[i].size() > kScriptFiles[i].areaSize) images[i].resize(kScriptFiles[i].areaSize);
    DescrambleInPlace(images[i].data(), images[i].size(), kScriptSeed);
    any = true;
  }
  if (!any && error) *error = "no file of the set " + baseName + " under " + root;
  // The assembler's check of the bytecode, as the game's set loader verifies it.
  const std::vector<uint8_t>& lbn = images[kFileLbn];
  if (any && lbn.size() == kScriptFiles[kFileLbn].areaSize &&
      VerifyBytecodeCheck(lbn.data(), images[kFileSd].data(), images[kFileSd].size()) < 0) {
    if (error) *error = baseName + ".sd: its bytecode does not match the set's check value";
    for (auto& image : images) image.clear();
    return false;
  }
  return any;
}

}  // namespace v4fmt
