// Rendering pieces shared by the drawing, text and widget tests: a device manager on the recording
// null device, the flat default camera, and generated pictures.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gl/null_device.h"
#include "render/dg_manager.h"

namespace v4test {

// Whether a NullDeviceManager becomes the program's manager (SetDGManager) while it lives.
enum class ManagerScope { kProgram, kLocal };

// A manager on a fresh null device (1280 x 720) with the flat default camera and a clock that
// reads `now`. Not copyable: the clock and the factory refer to this object.
struct NullDeviceManager {
  explicit NullDeviceManager(ManagerScope scope = ManagerScope::kProgram);
  ~NullDeviceManager();
  NullDeviceManager(const NullDeviceManager&) = delete;
  NullDeviceManager& operator=(const NullDeviceManager&) = delete;

  CDGManager* mgr = nullptr;
  plat::NullDevice* dev = nullptr;  // owned by mgr
  uint32_t now = 1000;

 private:
  ManagerScope scope_;
};

// The program's flat default camera: orthographic, looking down -z from 100000.
bool SetDefaultCamera(CDGManager* mgr);

// A w x h RGBA image (4 bytes a texel, row by row) whose texel (x, y) is texel(x, y) as 0xRRGGBBAA.
std::vector<uint8_t> PixelsOf(int w, int h, const std::function<uint32_t(int x, int y)>& texel);
// The PNG file of a w x h RGBA image.
std::vector<uint8_t> EncodePng(int w, int h, const std::vector<uint8_t>& rgba);
// The PNG file of PixelsOf(w, h, texel).
std::vector<uint8_t> PngOf(int w, int h, const std::function<uint32_t(int x, int y)>& texel);
// A w x h PNG of one colour.
std::vector<uint8_t> SolidPng(int w, int h, uint32_t rgba);
// A strip of cells w x cellH stacked top to bottom, cell i of colour cellColours[i].
std::vector<uint8_t> StripPng(int w, int cellH, const std::vector<uint32_t>& cellColours);

}  // namespace v4test
