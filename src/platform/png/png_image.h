// PNG to and from 8-bit RGBA pixels (straight alpha, row 0 = top), the project's only PNG codec.
// Images without alpha read as opaque; palette and grey images are expanded to RGBA.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// Largest side read or written; bounds what a damaged header can make us allocate.
inline constexpr int kPngMaxSide = 8192;

struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4
};

// Reads only the header: false when the data is not a readable PNG within kPngMaxSide.
bool PngInfo(const uint8_t* data, size_t size, int* width, int* height);

// False, an empty image and (when `error` is given) a message for anything that is not a
// complete, readable PNG within kPngMaxSide.
bool DecodePng(const uint8_t* data, size_t size, RgbaImage* out, std::string* error = nullptr);

// False, an empty `out` and a message for a size outside 1..kPngMaxSide or a pixel buffer that
// does not hold exactly width * height * 4 bytes.
bool EncodePng(int width, int height, const std::vector<uint8_t>& pixels, std::vector<uint8_t>* out,
               std::string* error = nullptr);
inline bool EncodePng(const RgbaImage& image, std::vector<uint8_t>* out, std::string* error = nullptr) {
  return EncodePng(image.width, image.height, image.pixels, out, error);
}

}  // namespace plat
