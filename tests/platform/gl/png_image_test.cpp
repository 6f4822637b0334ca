#include "platform/gl/png_image.h"

#include <gtest/gtest.h>

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

TEST(PngImage, RoundTripKeepsEveryPixelAndTheRowOrder) {
  const plat::RgbaImage src = Gradient(13, 5);
  std::vector<uint8_t> file;
  ASSERT_TRUE(plat::EncodePng(src, &file));
  int w = 0, h = 0;
  ASSERT_TRUE(plat::PngInfo(file.data(), file.size(), &w, &h));
  EXPECT_EQ(w, 13);
  EXPECT_EQ(h, 5);
  plat::RgbaImage back;
  ASSERT_TRUE(plat::DecodePng(file.data(), file.size(), &back));
  EXPECT_EQ(back.pixels, src.pixels);
}

TEST(PngImage, DamagedDataFailsCleanly) {
  std::vector<uint8_t> file;
  ASSERT_TRUE(plat::EncodePng(Gradient(8, 8), &file));
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<uint8_t> flipped = file;
  flipped[file.size() / 2] ^= 0xFF;
  const Case cases[] = {
      {"empty", {}},
      {"signature only", std::vector<uint8_t>(file.begin(), file.begin() + 8)},
      {"cut in half", std::vector<uint8_t>(file.begin(), file.begin() + file.size() / 2)},
      {"not a png", std::vector<uint8_t>(64, 0x41)},
      {"corrupt data", flipped},
  };
  for (const Case& c : cases) {
    plat::RgbaImage out;
    EXPECT_FALSE(plat::DecodePng(c.bytes.data(), c.bytes.size(), &out)) << c.what;
    EXPECT_TRUE(out.pixels.empty()) << c.what;
  }
}

}  // namespace
