#include "tests/support/null_graphics.h"

#include <memory>

#include "platform/png/png_image.h"

namespace v4test {

NullDeviceManager::NullDeviceManager(ManagerScope scope) : scope_(scope) {
  mgr = new CDGManager();
  mgr->SetClock([this] { return now; });
  mgr->CreateDeviceWith(
      [this](int w, int h) {
        auto d = std::make_unique<plat::NullDevice>(w, h);
        dev = d.get();
        return d;
      },
      true, 1280, 720);
  SetDefaultCamera(mgr);
  if (scope_ == ManagerScope::kProgram) SetDGManager(mgr);
}

NullDeviceManager::~NullDeviceManager() {
  if (scope_ == ManagerScope::kProgram) SetDGManager(nullptr);
  mgr->Release();
}

bool SetDefaultCamera(CDGManager* mgr) {
  return mgr->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0.0f, 1.0f, 200000.0f,
                                  CDGManager::kOrthographic);
}

std::vector<uint8_t> PixelsOf(int w, int h, const std::function<uint32_t(int x, int y)>& texel) {
  std::vector<uint8_t> px;
  px.reserve(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t rgba = texel(x, y);
      px.push_back(static_cast<uint8_t>(rgba >> 24));
      px.push_back(static_cast<uint8_t>(rgba >> 16));
      px.push_back(static_cast<uint8_t>(rgba >> 8));
      px.push_back(static_cast<uint8_t>(rgba));
    }
  return px;
}

std::vector<uint8_t> EncodePng(int w, int h, const std::vector<uint8_t>& rgba) {
  plat::RgbaImage img;
  img.width = w;
  img.height = h;
  img.pixels = rgba;
  std::vector<uint8_t> out;
  plat::EncodePng(img, &out);
  return out;
}

std::vector<uint8_t> PngOf(int w, int h, const std::function<uint32_t(int x, int y)>& texel) {
  return EncodePng(w, h, PixelsOf(w, h, texel));
}

std::vector<uint8_t> SolidPng(int w, int h, uint32_t rgba) {
  return PngOf(w, h, [rgba](int, int) { return rgba; });
}

std::vector<uint8_t> StripPng(int w, int cellH, const std::vector<uint32_t>& cellColours) {
  const int h = cellH * static_cast<int>(cellColours.size());
  return PngOf(w, h, [&](int, int y) { return cellColours[static_cast<size_t>(y / cellH)]; });
}

}  // namespace v4test
