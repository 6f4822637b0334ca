#include "platform/image/png_file.h"

#include "platform/fs/fs.h"

#include <fstream>
#include <iterator>

#include "platform/png/png_image.h"

namespace plat {

// A canvas is exactly the codec's pixel layout (RGBA, straight alpha, row 0 = top); every PNG the
// codec accepts must fit in one.
static_assert(Canvas::kMaxSide >= kPngMaxSide);

namespace {
void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}
}  // namespace

bool EncodeCanvasPng(const Canvas& canvas, std::vector<uint8_t>* out, std::string* error) {
  return EncodePng(canvas.width(), canvas.height(), canvas.pixels(), out, error);
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
  RgbaImage image;
  if (!DecodePng(data, size, &image, error)) return false;
  Canvas canvas(image.width, image.height);
  canvas.pixels() = std::move(image.pixels);
  *out = std::move(canvas);
  return true;
}

bool ReadCanvasPng(const std::string& hostPath, Canvas* out, std::string* error) {
  std::vector<uint8_t> bytes;
  std::string why;
  if (!ReadHostFile(hostPath, bytes, &why)) {
    if (out) *out = Canvas();
    SetError(error, hostPath + ": " + why);
    return false;
  }
  return DecodeCanvasPng(bytes.data(), bytes.size(), out, error);
}

}  // namespace plat
