#include "platform/png/png_image.h"

#include <png.h>

#include <cstring>

namespace plat {

namespace {

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

bool SideInRange(png_uint_32 side) { return side > 0 && side <= static_cast<png_uint_32>(kPngMaxSide); }

// Starts a read of the header; on success the caller owns `img` and must free or finish it.
bool BeginRead(const uint8_t* data, size_t size, png_image* img, std::string* error) {
  std::memset(img, 0, sizeof *img);
  img->version = PNG_IMAGE_VERSION;
  if (!data || size < 8) {
    SetError(error, "not a png");
    return false;
  }
  if (!png_image_begin_read_from_memory(img, data, size)) {
    SetError(error, std::string("not a png: ") + img->message);
    return false;
  }
  if (!SideInRange(img->width) || !SideInRange(img->height)) {
    png_image_free(img);
    SetError(error, "png size out of range");
    return false;
  }
  return true;
}

}  // namespace

bool PngInfo(const uint8_t* data, size_t size, int* width, int* height) {
  png_image img;
  if (!BeginRead(data, size, &img, nullptr)) return false;
  if (width) *width = static_cast<int>(img.width);
  if (height) *height = static_cast<int>(img.height);
  png_image_free(&img);
  return true;
}

bool DecodePng(const uint8_t* data, size_t size, RgbaImage* out, std::string* error) {
  if (!out) return false;
  *out = RgbaImage{};
  png_image img;
  if (!BeginRead(data, size, &img, error)) return false;
  img.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, pixels.data(), 0, nullptr)) {
    SetError(error, std::string("damaged png: ") + img.message);
    png_image_free(&img);
    return false;
  }
  out->width = static_cast<int>(img.width);
  out->height = static_cast<int>(img.height);
  out->pixels = std::move(pixels);
  return true;
}

bool EncodePng(int width, int height, const std::vector<uint8_t>& pixels, std::vector<uint8_t>* out,
               std::string* error) {
  if (!out) return false;
  out->clear();
  if (width <= 0 || height <= 0) {
    SetError(error, "empty picture");
    return false;
  }
  if (width > kPngMaxSide || height > kPngMaxSide) {
    SetError(error, "picture too large for png");
    return false;
  }
  if (pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4) {
    SetError(error, "pixel data does not match the picture size");
    return false;
  }
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = static_cast<png_uint_32>(width);
  img.height = static_cast<png_uint_32>(height);
  img.format = PNG_FORMAT_RGBA;
  png_alloc_size_t bytes = 0;
  if (!png_image_write_get_memory_size(img, bytes, 0, pixels.data(), 0, nullptr)) {
    SetError(error, std::string("png encoding failed: ") + img.message);
    return false;
  }
  out->resize(bytes);
  if (!png_image_write_to_memory(&img, out->data(), &bytes, 0, pixels.data(), 0, nullptr)) {
    SetError(error, std::string("png encoding failed: ") + img.message);
    out->clear();
    return false;
  }
  out->resize(bytes);
  return true;
}

}  // namespace plat
