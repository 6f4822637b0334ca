#include "platform/image/png_file.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace plat {

namespace {
void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}
}  // namespace

bool EncodeCanvasPng(const Canvas& canvas, std::vector<uint8_t>* out, std::string* error) {
  if (!out) return false;
  out->clear();
  if (canvas.empty()) {
    SetError(error, "empty picture");
    return false;
  }
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = static_cast<png_uint_32>(canvas.width());
  img.height = static_cast<png_uint_32>(canvas.height());
  img.format = PNG_FORMAT_RGBA;
  png_alloc_size_t bytes = 0;
  if (!png_image_write_get_memory_size(img, bytes, 0, canvas.pixels().data(), 0, nullptr)) {
    SetError(error, std::string("png encoding failed: ") + img.message);
    return false;
  }
  out->resize(bytes);
  if (!png_image_write_to_memory(&img, out->data(), &bytes, 0, canvas.pixels().data(), 0, nullptr)) {
    SetError(error, std::string("png encoding failed: ") + img.message);
    out->clear();
    return false;
  }
  out->resize(bytes);
  return true;
}

bool WriteCanvasPng(const std::string& hostPath, const Canvas& canvas, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!EncodeCanvasPng(canvas, &bytes, error)) return false;
  std::ofstream f(hostPath, std::ios::binary | std::ios::trunc);
  if (!f) {
    SetError(error, "cannot create " + hostPath);
    return false;
  }
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  f.close();
  if (!f) {
    SetError(error, "cannot write " + hostPath);
    return false;
  }
  return true;
}

bool DecodeCanvasPng(const uint8_t* data, size_t size, Canvas* out, std::string* error) {
  if (!out) return false;
  *out = Canvas();
  if (!data || size < 8) {
    SetError(error, "not a png");
    return false;
  }
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, data, size)) {
    SetError(error, std::string("not a png: ") + img.message);
    return false;
  }
  if (img.width == 0 || img.height == 0 || img.width > Canvas::kMaxSide || img.height > Canvas::kMaxSide) {
    png_image_free(&img);
    SetError(error, "png size out of range");
    return false;
  }
  img.format = PNG_FORMAT_RGBA;
  Canvas canvas(static_cast<int>(img.width), static_cast<int>(img.height));
  if (!png_image_finish_read(&img, nullptr, canvas.pixels().data(), 0, nullptr)) {
    SetError(error, std::string("damaged png: ") + img.message);
    png_image_free(&img);
    return false;
  }
  *out = std::move(canvas);
  return true;
}

bool ReadCanvasPng(const std::string& hostPath, Canvas* out, std::string* error) {
  std::ifstream f(hostPath, std::ios::binary);
  if (!f) {
    if (out) *out = Canvas();
    SetError(error, "cannot open " + hostPath);
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  return DecodeCanvasPng(bytes.data(), bytes.size(), out, error);
}

}  // namespace plat
