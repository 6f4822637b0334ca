#include "core/cv_flag.h"

#include <gtest/gtest.h>

namespace {

TEST(CVFlagTest, BitNumbersWrapAt32) {
  struct Case {
    int setBit;
    int testBit;
    uint32_t word;
  };
  const Case cases[] = {{0, 0, 0x1},  {1, 33, 0x2},          {33, 1, 0x2},         {31, 31, 0x80000000u},
                        {32, 0, 0x1}, {-1, 31, 0x80000000u}, {63, 31, 0x80000000u}};
  for (const Case& c : cases) {
    CVFlag f;
    EXPECT_EQ(f.bits, 0u);
    f.Set(c.setBit, 1);
    EXPECT_EQ(f.bits, c.word) << c.setBit;
    EXPECT_TRUE(f.Test(c.testBit)) << c.setBit;
    EXPECT_FALSE(f.Test(c.testBit + 1)) << c.setBit;
    f.Set(c.testBit, 0);
    EXPECT_EQ(f.bits, 0u) << c.setBit;
  }
}

TEST(CVFlagTest, AnyNonZeroSetsAndClearEmpties) {
  CVFlag f;
  f.Set(3, 7);
  f.Set(4, -1);
  f.Set(5, 0);
  EXPECT_EQ(f.bits, 0x18u);
  f.Clear();
  EXPECT_EQ(f.bits, 0u);
}

}  // namespace
