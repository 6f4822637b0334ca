#include "render/dds_image.h"

#include <cstring>
#include "platform/byte_order.h"

namespace {

constexpr size_t kHeaderSize = 128;  // magic + 124-byte header
constexpr int kMaxSide = 8192;       // larger than any picture the game uses; bounds a damaged header
constexpr uint32_t kPfAlphaPixels = 0x1, kPfFourCC = 0x4, kPfRgb = 0x40;

constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(a) | (static_cast<uint32_t>(b) << 8) | (static_cast<uint32_t>(c) << 16) |
         (static_cast<uint32_t>(d) << 24);
}

struct Header {
  int width = 0, height = 0;
  uint32_t pfFlags = 0, fourCC = 0, bits = 0, masks[4] = {0, 0, 0, 0};
};

bool ReadHeader(const uint8_t* d, size_t size, Header* h) {
  if (!d || size < kHeaderSize || std::memcmp(d, "DDS ", 4) != 0 || le::Get32(d + 4) != 124) return false;
  const uint32_t height = le::Get32(d + 12), width = le::Get32(d + 16);
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return false;
  h->width = static_cast<int>(width);
  h->height = static_cast<int>(height);
  h->pfFlags = le::Get32(d + 80);
  h->fourCC = le::Get32(d + 84);
  h->bits = le::Get32(d + 88);
  for (int i = 0; i < 4; ++i) h->masks[i] = le::Get32(d + 92 + 4 * i);
  return true;
}

// Value of a masked channel scaled to 0..255.
uint8_t Channel(uint32_t px, uint32_t mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const uint32_t max = mask >> shift;
  const uint32_t v = (px & mask) >> shift;
  return static_cast<uint8_t>((v * 255 + max / 2) / max);
}

void Expand565(uint16_t c, uint8_t out[3]) {
  const uint8_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  out[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
  out[1] = static_cast<uint8_t>((g << 2) | (g >> 4));
  out[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
}

// Colour block (8 bytes) into 16 RGBA texels; alpha 255 except DXT1's transparent index.
void ColourBlock(const uint8_t* b, bool allowTransparent, uint8_t out[16][4]) {
  const uint16_t c0 = le::Get16(b), c1 = le::Get16(b + 2);
  uint8_t pal[4][4];
  Expand565(c0, pal[0]);
  Expand565(c1, pal[1]);
  pal[0][3] = pal[1][3] = 255;
  if (c0 > c1 || !allowTransparent) {
    for (int i = 0; i < 3; ++i) {
      pal[2][i] = static_cast<uint8_t>((2 * pal[0][i] + pal[1][i]) / 3);
      pal[3][i] = static_cast<uint8_t>((pal[0][i] + 2 * pal[1][i]) / 3);
    }
    pal[2][3] = pal[3][3] = 255;
  } else {
    for (int i = 0; i < 3; ++i) {
      pal[2][i] = static_cast<uint8_t>((pal[0][i] + pal[1][i]) / 2);
      pal[3][i] = 0;
    }
    pal[2][3] = 255;
    pal[3][3] = 0;
  }
  const uint32_t idx = le::Get32(b + 4);
  for (int t = 0; t < 16; ++t) std::memcpy(out[t], pal[(idx >> (2 * t)) & 3], 4);
}

void AlphaBlockDxt5(const uint8_t* b, uint8_t alpha[16]) {
  const uint8_t a0 = b[0], a1 = b[1];
  uint8_t pal[8];
  pal[0] = a0;
  pal[1] = a1;
  if (a0 > a1) {
    for (int i = 1; i <= 6; ++i) pal[i + 1] = static_cast<uint8_t>(((7 - i) * a0 + i * a1) / 7);
  } else {
    for (int i = 1; i <= 4; ++i) pal[i + 1] = static_cast<uint8_t>(((5 - i) * a0 + i * a1) / 5);
    pal[6] = 0;
    pal[7] = 255;
  }
  uint64_t bits = 0;
  for (int i = 0; i < 6; ++i) bits |= static_cast<uint64_t>(b[2 + i]) << (8 * i);
  for (int t = 0; t < 16; ++t) alpha[t] = pal[(bits >> (3 * t)) & 7];
}

}  // namespace

bool DdsInfo(const uint8_t* data, size_t size, int* width, int* height) {
  Header h;
  if (!ReadHeader(data, size, &h)) return false;
  if (width) *width = h.width;
  if (height) *height = h.height;
  return true;
}

bool DecodeDds(const uint8_t* data, size_t size, int* width, int* height, std::vector<uint8_t>* rgba) {
  Header h;
  if (!rgba || !ReadHeader(data, size, &h)) return false;
  const size_t w = static_cast<size_t>(h.width), ht = static_cast<size_t>(h.height);
  const uint8_t* src = data + kHeaderSize;
  const size_t avail = size - kHeaderSize;
  std::vector<uint8_t> out;  // sized only once the file is known to hold the whole level

  if (h.pfFlags & kPfFourCC) {
    size_t blockBytes;
    if (h.fourCC == FourCC('D', 'X', 'T', '1'))
      blockBytes = 8;
    else if (h.fourCC == FourCC('D', 'X', 'T', '3') || h.fourCC == FourCC('D', 'X', 'T', '5'))
      blockBytes = 16;
    else
      return false;
    const size_t bw = (w + 3) / 4, bh = (ht + 3) / 4;
    if (avail / blockBytes < bw * bh) return false;
    out.resize(w * ht * 4);
    for (size_t by = 0; by < bh; ++by)
      for (size_t bx = 0; bx < bw; ++bx) {
        const uint8_t* b = src + (by * bw + bx) * blockBytes;
        uint8_t texels[16][4];
        if (blockBytes == 8) {
          ColourBlock(b, true, texels);
        } else {
          ColourBlock(b + 8, false, texels);
          uint8_t alpha[16];
          if (h.fourCC == FourCC('D', 'X', 'T', '3')) {
            for (int t = 0; t < 16; ++t) {
              const uint8_t nib = (b[t / 2] >> ((t & 1) * 4)) & 15;
              alpha[t] = static_cast<uint8_t>(nib * 17);
            }
          } else {
            AlphaBlockDxt5(b, alpha);
          }
          for (int t = 0; t < 16; ++t) texels[t][3] = alpha[t];
        }
        for (int t = 0; t < 16; ++t) {
          const size_t x = bx * 4 + t % 4, y = by * 4 + t / 4;
          if (x < w && y < ht) std::memcpy(&out[(y * w + x) * 4], texels[t], 4);
        }
      }
  } else if (h.pfFlags & kPfRgb) {
    if (h.bits != 16 && h.bits != 24 && h.bits != 32) return false;
    const size_t bpp = h.bits / 8;
    const size_t pitch = w * bpp;  // rows are packed; the pitch field is not trusted
    if (avail / pitch < ht) return false;
    out.resize(w * ht * 4);
    const bool hasAlpha = (h.pfFlags & kPfAlphaPixels) && h.masks[3];
    for (size_t y = 0; y < ht; ++y)
      for (size_t x = 0; x < w; ++x) {
        const uint8_t* p = src + y * pitch + x * bpp;
        uint32_t px = p[0] | (p[1] << 8);
        if (bpp >= 3) px |= static_cast<uint32_t>(p[2]) << 16;
        if (bpp == 4) px |= static_cast<uint32_t>(p[3]) << 24;
        uint8_t* o = &out[(y * w + x) * 4];
        o[0] = Channel(px, h.masks[0]);
        o[1] = Channel(px, h.masks[1]);
        o[2] = Channel(px, h.masks[2]);
        o[3] = hasAlpha ? Channel(px, h.masks[3]) : 255;
      }
  } else {
    return false;
  }
  if (width) *width = h.width;
  if (height) *height = h.height;
  *rgba = std::move(out);
  return true;
}

std::vector<uint8_t> EncodeDdsArgb(int width, int height, const std::vector<uint8_t>& rgba) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4) return {};
  std::vector<uint8_t> f(kHeaderSize + rgba.size(), 0);
  std::memcpy(f.data(), "DDS ", 4);
  le::Put32(&f[4], 124);
  le::Put32(&f[8], 0x1 | 0x2 | 0x4 | 0x8 | 0x1000);  // caps, height, width, pitch, pixel format
  le::Put32(&f[12], static_cast<uint32_t>(height));
  le::Put32(&f[16], static_cast<uint32_t>(width));
  le::Put32(&f[20], static_cast<uint32_t>(width) * 4);
  le::Put32(&f[76], 32);
  le::Put32(&f[80], kPfRgb | kPfAlphaPixels);
  le::Put32(&f[88], 32);
  le::Put32(&f[92], 0x00FF0000);
  le::Put32(&f[96], 0x0000FF00);
  le::Put32(&f[100], 0x000000FF);
  le::Put32(&f[104], 0xFF000000);
  le::Put32(&f[108], 0x1000);  // texture
  for (size_t i = 0; i < rgba.size(); i += 4) {
    uint8_t* o = &f[kHeaderSize + i];
    o[0] = rgba[i + 2];
    o[1] = rgba[i + 1];
    o[2] = rgba[i];
    o[3] = rgba[i + 3];
  }
  return f;
}
