// Pictures: the input is decoded as PNG, as DDS and through the texture loader's decoder, both as
// it stands (png, dds) and descrambled as a "tig"/"tds" file is before decoding.
#include <cstdlib>
#include <vector>

#include "core/file_io.h"
#include "platform/png/png_image.h"
#include "render/dds_image.h"
#include "render/dg_texture.h"

namespace {

void Decode(const uint8_t* data, size_t size) {
  plat::RgbaImage png;
  if (plat::DecodePng(data, size, &png)) {
    if (png.pixels.size() != static_cast<size_t>(png.width) * png.height * 4) std::abort();
  }
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  if (DecodeDds(data, size, &w, &h, &rgba)) {
    if (rgba.size() != static_cast<size_t>(w) * h * 4) std::abort();
  }
  DGDecodedImage image;
  if (DecodeImage(data, size, &image)) {
    if (image.pixels.size() != static_cast<size_t>(image.width) * image.height * 4) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Decode(data, size);
  std::vector<uint8_t> plain(data, data + size);
  DescrambleFixed(plain.data(), static_cast<int32_t>(plain.size()));
  Decode(plain.data(), plain.size());
  return 0;
}
