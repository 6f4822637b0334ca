// PNG to and from 8-bit RGBA pixels (row 0 = top). Images without alpha read as opaque.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat {

struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4
};

// Reads only the header: false when the data is not a readable PNG.
bool PngInfo(const uint8_t* data, size_t size, int* width, int* height);
// False (and an empty image) for anything that is not a complete, readable PNG.
bool DecodePng(const uint8_t* data, size_t size, RgbaImage* out);
bool EncodePng(const RgbaImage& image, std::vector<uint8_t>* out);

}  // namespace plat
