// Golden pictures: a drawn screen compared with a PNG committed under tests/goldens, so work on
// the drawing cannot change what the player sees unnoticed. V4_GOLDEN_UPDATE=1 records the
// pictures instead of comparing them; a failing comparison writes the actual picture and a diff
// (differing pixels in red over a dimmed copy) to $V4_GOLDEN_OUT (default: the build's
// tests/golden_out folder).
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace v4test {

struct GoldenTolerance {
  int channel = 8;             // a pixel differs when any channel differs by more than this
  double pixelShare = 0.0005;  // share of differing pixels allowed (llvmpipe rounding at edges)
};

// `rgba` is width * height * 4 bytes, top row first.
::testing::AssertionResult MatchesGolden(const std::string& name, int width, int height,
                                         const std::vector<uint8_t>& rgba, GoldenTolerance tolerance = {});

// Where the golden `name` lives.
std::string GoldenPath(const std::string& name);

}  // namespace v4test
