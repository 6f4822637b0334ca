// Fixtures for layout and scene tests that build real widget trees: a temporary program folder
// with generated pictures and compiled layouts, and a graphics manager on the null device.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class CDGManager;

namespace layout_test {

// A fresh program folder (module directory) for the test's lifetime.
class TempGameDir {
 public:
  TempGameDir();
  ~TempGameDir();
  const std::string& Path() const { return path_; }
  void WriteFile(const std::string& rel, const std::vector<uint8_t>& bytes) const;
  // A w × h PNG of one colour (RGBA), at rel ('/' separators).
  void WritePng(const std::string& rel, int w, int h, uint32_t rgba = 0xFFFFFFFFu) const;
  // Compiles UTF-8 layout text with the layout compiler and stores it; false (with the messages
  // in *errors) when the compiler refuses it.
  bool WriteLayout(const std::string& rel, const std::string& utf8, std::vector<std::string>* errors = nullptr) const;

 private:
  std::string path_;
  std::string oldModuleDir_;
};

// A device manager on the null device with the flat camera, installed as the program's manager.
struct NullGraphics {
  NullGraphics();
  ~NullGraphics();
  CDGManager* mgr = nullptr;
};

}  // namespace layout_test
