// Whole-file loaders: the plain one reads a file from disk; the game one reads through the game
// file reader (loose under the program directory or inside an archive) and undoes the image
// scrambling of "tig" and "tds" files.
#pragma once
#include <cstdint>
#include <string>

#include "render/dg_base.h"

class CDGFileLoad : public CDGReferenceObject {
 public:
  CDGFileLoad() = default;
  explicit CDGFileLoad(const char* path) { CDGFileLoad::Load(path); }
  // Bytes read, or -1 (the loader is then empty). An empty file gives 0.
  virtual int32_t Load(const char* path);
  void Free();

  const uint8_t* Data() const { return data_; }
  uint32_t Size() const { return size_; }
  const std::string& Path() const { return path_; }

 protected:
  ~CDGFileLoad() override { Free(); }
  void Take(uint8_t* data, uint32_t size, const char* path);

 private:
  std::string path_;
  uint8_t* data_ = nullptr;  // malloc'd
  uint32_t size_ = 0;
};

class CDGFileLoad_QZT : public CDGFileLoad {
 public:
  CDGFileLoad_QZT() = default;
  explicit CDGFileLoad_QZT(const char* path) { CDGFileLoad_QZT::Load(path); }
  int32_t Load(const char* path) override;

 protected:
  ~CDGFileLoad_QZT() override = default;
};

// True when the text after the path's last '.' is "tig" or "tds" in any letter case.
bool IsScrambledImageName(const char* path);
