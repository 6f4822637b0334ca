#include "platform/png/png_image.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

plat::RgbaImage Gradient(int w, int h) {
  plat::RgbaImage img;
  img.width = w;
  img.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      img.pixels.insert(img.pixels.end(), {static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 11),
                                           static_cast<uint8_t>(x ^ y), static_cast<uint8_t>(255 - x)});
  return img;
}

std::vector<uint8_t> Encode(const plat::RgbaImage& img) {
  std::vector<uint8_t> file;
  std::string error;
  EXPECT_TRUE(plat::EncodePng(img, &file, &error)) << error;
  return file;
}

// The chunk CRC of the PNG format (CRC-32, reflected polynomial 0xEDB88320).
uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return c ^ 0xFFFFFFFFu;
}

void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

// A valid file whose header (IHDR, the first chunk) claims another size, with a correct CRC so
// only the size itself can be what is refused.
std::vector<uint8_t> WithHeaderSize(std::vector<uint8_t> file, uint32_t w, uint32_t h) {
  EXPECT_EQ(std::memcmp(&file[12], "IHDR", 4), 0);
  PutBe32(&file[16], w);
  PutBe32(&file[20], h);
  PutBe32(&file[29], Crc32(&file[12], 17));
  return file;
}

TEST(PngImage, RoundTripKeepsEveryPixelAndTheRowOrder) {
  const plat::RgbaImage src = Gradient(13, 5);
  const std::vector<uint8_t> file = Encode(src);
  ASSERT_GT(file.size(), 8u);
  EXPECT_EQ(std::memcmp(file.data(), "\x89PNG\r\n\x1a\n", 8), 0);
  int w = 0, h = 0;
  ASSERT_TRUE(plat::PngInfo(file.data(), file.size(), &w, &h));
  EXPECT_EQ(w, 13);
  EXPECT_EQ(h, 5);
  plat::RgbaImage back;
  std::string error;
  ASSERT_TRUE(plat::DecodePng(file.data(), file.size(), &back, &error)) << error;
  EXPECT_EQ(back.width, 13);
  EXPECT_EQ(back.height, 5);
  EXPECT_EQ(back.pixels, src.pixels);
}

TEST(PngImage, PicturesWithoutAlphaReadAsOpaqueRgba) {
  struct Case {
    const char* what;
    png_uint_32 format;
    std::vector<uint8_t> stored;  // two pixels in `format`
    std::vector<uint8_t> rgba;    // what they read as
  };
  const Case cases[] = {
      {"rgb", PNG_FORMAT_RGB, {10, 20, 30, 200, 100, 0}, {10, 20, 30, 255, 200, 100, 0, 255}},
      {"grey", PNG_FORMAT_GRAY, {0, 255}, {0, 0, 0, 255, 255, 255, 255, 255}},
  };
  for (const Case& c : cases) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    img.width = 2;
    img.height = 1;
    img.format = c.format;
    std::vector<uint8_t> file(1024);
    png_alloc_size_t bytes = file.size();
    ASSERT_TRUE(png_image_write_to_memory(&img, file.data(), &bytes, 0, c.stored.data(), 0, nullptr)) << c.what;
    file.resize(bytes);
    plat::RgbaImage out;
    ASSERT_TRUE(plat::DecodePng(file.data(), file.size(), &out)) << c.what;
    EXPECT_EQ(out.pixels, c.rgba) << c.what;
  }
}

TEST(PngImage, DamagedDataFailsCleanlyWithAMessage) {
  const std::vector<uint8_t> file = Encode(Gradient(8, 8));
  ASSERT_GT(file.size(), 90u);  // half of it lies past the header and the start of the pixel data
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool headerReadable;
  };
  std::vector<uint8_t> flipped = file;
  flipped[file.size() / 2] ^= 0xFF;  // inside the pixel data, past the header
  const Case cases[] = {
      {"empty", {}, false},
      {"signature cut short", {0x89, 'P', 'N', 'G'}, false},
      {"signature only", std::vector<uint8_t>(file.begin(), file.begin() + 8), false},
      {"cut in half", std::vector<uint8_t>(file.begin(), file.begin() + file.size() / 2), true},
      {"not a png", std::vector<uint8_t>(64, 0x41), false},
      {"corrupt data", flipped, true},
  };
  for (const Case& c : cases) {
    plat::RgbaImage out = Gradient(2, 2);
    std::string error;
    EXPECT_FALSE(plat::DecodePng(c.bytes.data(), c.bytes.size(), &out, &error)) << c.what;
    EXPECT_TRUE(out.pixels.empty()) << c.what;
    EXPECT_EQ(out.width, 0) << c.what;
    EXPECT_EQ(out.height, 0) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_EQ(plat::PngInfo(c.bytes.data(), c.bytes.size(), nullptr, nullptr), c.headerReadable) << c.what;
  }
  plat::RgbaImage out;
  EXPECT_FALSE(plat::DecodePng(nullptr, 100, &out));
  EXPECT_FALSE(plat::PngInfo(nullptr, 100, nullptr, nullptr));
}

TEST(PngImage, HeaderSizesBeyondTheLimitAreRefusedBeforeAnyPixelIsRead) {
  const std::vector<uint8_t> file = Encode(Gradient(4, 4));
  const uint32_t max = static_cast<uint32_t>(plat::kPngMaxSide);
  struct Case {
    uint32_t w, h;
    bool accepted;
  };
  const Case cases[] = {
      {max, 1, true}, {1, max, true}, {max + 1, 1, false}, {1, max + 1, false}, {0, 4, false}, {0x7FFFFFFF, 4, false},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> bytes = WithHeaderSize(file, c.w, c.h);
    int w = -1, h = -1;
    EXPECT_EQ(plat::PngInfo(bytes.data(), bytes.size(), &w, &h), c.accepted) << c.w << "x" << c.h;
    if (c.accepted) {
      EXPECT_EQ(w, static_cast<int>(c.w));
      EXPECT_EQ(h, static_cast<int>(c.h));
    } else {
      EXPECT_EQ(w, -1);  // outputs untouched on failure
    }
    // The pixel data is still that of a 4 x 4 picture: never a readable image of the claimed size.
    plat::RgbaImage out;
    std::string error;
    EXPECT_FALSE(plat::DecodePng(bytes.data(), bytes.size(), &out, &error)) << c.w << "x" << c.h;
    EXPECT_TRUE(out.pixels.empty());
    EXPECT_FALSE(error.empty());
  }
}

TEST(PngImage, EncodingRefusesSizesOutsideTheLimitAndMismatchedPixels) {
  const int max = plat::kPngMaxSide;
  struct Case {
    int w, h;
    size_t bytes;
    bool accepted;
  };
  const Case cases[] = {
      {0, 1, 0, false},
      {1, 0, 0, false},
      {-1, -4, 16, false},
      {max + 1, 1, static_cast<size_t>(max + 1) * 4, false},
      {1, max + 1, static_cast<size_t>(max + 1) * 4, false},
      {2, 2, 15, false},
      {2, 2, 17, false},
      {max, 1, static_cast<size_t>(max) * 4, true},
      {1, max, static_cast<size_t>(max) * 4, true},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> pixels(c.bytes, 0x5A);
    std::vector<uint8_t> out(3, 0xEE);  // left over from before: must not survive a failure
    std::string error;
    EXPECT_EQ(plat::EncodePng(c.w, c.h, pixels, &out, &error), c.accepted) << c.w << "x" << c.h << " " << c.bytes;
    if (!c.accepted) {
      EXPECT_TRUE(out.empty());
      EXPECT_FALSE(error.empty());
      continue;
    }
    // What may be written may be read back.
    plat::RgbaImage back;
    ASSERT_TRUE(plat::DecodePng(out.data(), out.size(), &back, &error)) << error;
    EXPECT_EQ(back.width, c.w);
    EXPECT_EQ(back.height, c.h);
    EXPECT_EQ(back.pixels, pixels);
  }
}

}  // namespace
