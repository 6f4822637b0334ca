// A fresh folder under /tmp for one test's files, removed with everything in it at destruction.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace v4test {

class TempFolder {
 public:
  // prefix names the folder ("/tmp/<prefix>_XXXXXX") so a left-over shows whose it was.
  explicit TempFolder(const char* prefix = "v4test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Whether the folder was made; when not, Path() is empty and nothing is ever removed.
  bool Made() const { return !path_.empty(); }
  // Host path of the folder (UTF-8, no trailing separator).
  const std::string& Path() const { return path_; }
  // Host path of rel ('/' separators) under the folder.
  std::string File(const std::string& rel) const { return path_ + "/" + rel; }
  // Writes bytes to rel under the folder, creating folders; false on failure.
  bool Write(const std::string& rel, const std::vector<uint8_t>& bytes) const;
  // The bytes of rel under the folder; empty when it cannot be read.
  std::vector<uint8_t> Read(const std::string& rel) const;

 private:
  std::string path_;
};

}  // namespace v4test
