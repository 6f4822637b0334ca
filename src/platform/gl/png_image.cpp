#include "platform/gl/png_image.h"

#include <png.h>

#include <cstring>

namespace plat {

namespace {
constexpr int kMaxSide = 8192;  // larger than any picture the game uses; bounds a damaged header
}

bool PngInfo(const uint8_t* data, size_t size, int* width, int* height) {
  if (!data || size < 8) return false;
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, data, size)) return false;
  const bool ok = img.width > 0 && img.height > 0 && img.width <= kMaxSide && img.height <= kMaxSide;
  if (ok) {
    if (width) *width = static_cast<int>(img.width);
    if (height) *height = static_cast<int>(img.height);
  }
  png_image_free(&img);
  return ok;
}

bool DecodePng(const uint8_t* data, size_t size, RgbaImage* out) {
  if (!out) return false;
  *out = RgbaImage{};
  if (!data || size < 8) return false;
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, data, size)) return false;
  if (img.width == 0 || img.height == 0 || img.width > kMaxSide || img.height > kMaxSide) {
    png_image_free(&img);
    return false;
  }
  img.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&img);
    return false;
  }
  out->width = static_cast<int>(img.width);
  out->height = static_cast<int>(img.height);
  out->pixels = std::move(pixels);
  return true;
}

bool EncodePng(const RgbaImage& image, std::vector<uint8_t>* out) {
  if (!out || image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height * 4)
    return false;
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = static_cast<png_uint_32>(image.width);
  img.height = static_cast<png_uint_32>(image.height);
  img.format = PNG_FORMAT_RGBA;
  png_alloc_size_t bytes = 0;
  if (!png_image_write_get_memory_size(img, bytes, 0, image.pixels.data(), 0, nullptr)) return false;
  out->resize(bytes);
  if (!png_image_write_to_memory(&img, out->data(), &bytes, 0, image.pixels.data(), 0, nullptr)) return false;
  out->resize(bytes);
  return true;
}

}  // namespace plat
