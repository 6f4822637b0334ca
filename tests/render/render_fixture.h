// Shared helpers of the rendering tests: a temporary program folder, generated images, the
// image scramble written out independently of the program's own, and a manager on a device.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/core/game_file.h"
#include "platform/gl/null_device.h"
#include "render/dg_manager.h"

// A fresh folder used as the program directory for the test's lifetime.
class TempProgramDir {
 public:
  TempProgramDir();
  ~TempProgramDir();
  const std::string& Path() const { return path_; }
  // Writes a file relative to the folder ('/' separators), creating folders.
  void Write(const std::string& rel, const std::vector<uint8_t>& bytes) const;

 private:
  std::string path_;
  std::string oldModuleDir_;
};

// A w x h RGBA image whose every texel is given by f(x, y).
std::vector<uint8_t> MakePixels(int w, int h, uint32_t (*f)(int x, int y));
std::vector<uint8_t> MakePng(int w, int h, const std::vector<uint8_t>& rgba);
// The "tig"/"tds" scramble computed from its definition: state = state * 214013 + 2531011,
// stream byte = bits 16..23 of the new state, added to each data byte; seed 0x5C3A91E7.
std::vector<uint8_t> ReferenceImageStream(size_t n);
std::vector<uint8_t> ReferenceScramble(std::vector<uint8_t> data);

// A manager on a fresh null device (1280 x 720) with the flat default camera, installed as the
// program's manager for the test.
struct NullManager {
  NullManager();
  ~NullManager();
  CDGManager* mgr = nullptr;
  plat::NullDevice* dev = nullptr;  // owned by mgr
  uint32_t now = 1000;
};

// The program's flat default camera.
bool SetDefaultCamera(CDGManager* mgr);
