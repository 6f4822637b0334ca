#include "tests/support/golden.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/png/png_image.h"

namespace fs = std::filesystem;

namespace v4test {
namespace {

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool WritePng(const fs::path& path, int w, int h, const std::vector<uint8_t>& rgba) {
  std::vector<uint8_t> png;
  return plat::EncodePng(w, h, rgba, &png) && WriteFile(path, png);
}

fs::path OutFolder() {
  if (const char* out = std::getenv("V4_GOLDEN_OUT"); out && *out) return out;
  return fs::path(V4_TEST_BINARY_DIR) / "tests" / "golden_out";
}

bool Updating() {
  const char* v = std::getenv("V4_GOLDEN_UPDATE");
  return v && *v && std::string(v) != "0";
}

}  // namespace

std::string GoldenPath(const std::string& name) {
  return (fs::path(V4_TEST_SOURCE_DIR) / "tests" / "goldens" / (name + ".png")).string();
}

::testing::AssertionResult MatchesGolden(const std::string& name, int width, int height,
                                         const std::vector<uint8_t>& rgba, GoldenTolerance tolerance) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4)
    return ::testing::AssertionFailure() << name << ": the picture is not " << width << "x" << height << " RGBA";
  // Alpha is not compared: what the player sees is the opaque back buffer.
  std::vector<uint8_t> actual = rgba;
  for (size_t i = 3; i < actual.size(); i += 4) actual[i] = 255;
  const fs::path golden = GoldenPath(name);
  if (Updating()) {
    if (!WritePng(golden, width, height, actual)) return ::testing::AssertionFailure() << "could not record " << golden;
    return ::testing::AssertionSuccess() << "recorded " << golden;
  }
  std::ifstream in(golden, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  plat::RgbaImage expected;
  std::string error;
  const fs::path actualPath = OutFolder() / (name + ".actual.png");
  if (bytes.empty() || !plat::DecodePng(bytes.data(), bytes.size(), &expected, &error)) {
    WritePng(actualPath, width, height, actual);
    return ::testing::AssertionFailure() << "no readable golden " << golden << " (" << error << "); actual in "
                                         << actualPath << "; record with V4_GOLDEN_UPDATE=1";
  }
  if (expected.width != width || expected.height != height) {
    WritePng(actualPath, width, height, actual);
    return ::testing::AssertionFailure() << name << ": golden is " << expected.width << "x" << expected.height
                                         << ", the picture " << width << "x" << height;
  }
  size_t differing = 0;
  int worst = 0;
  std::vector<uint8_t> diff(actual.size());
  for (size_t p = 0; p < actual.size(); p += 4) {
    int d = 0;
    for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(int{actual[p + c]} - int{expected.pixels[p + c]}));
    worst = std::max(worst, d);
    const bool differs = d > tolerance.channel;
    differing += differs;
    const uint8_t grey = static_cast<uint8_t>((actual[p] + actual[p + 1] + actual[p + 2]) / 12);
    diff[p] = differs ? 255 : grey;
    diff[p + 1] = differs ? 0 : grey;
    diff[p + 2] = differs ? 0 : grey;
    diff[p + 3] = 255;
  }
  const size_t allowed = static_cast<size_t>(tolerance.pixelShare * static_cast<double>(width) * height);
  if (differing <= allowed) return ::testing::AssertionSuccess();
  const fs::path diffPath = OutFolder() / (name + ".diff.png");
  WritePng(actualPath, width, height, actual);
  WritePng(diffPath, width, height, diff);
  return ::testing::AssertionFailure() << name << ": " << differing << " pixels differ by more than "
                                       << tolerance.channel << " (allowed " << allowed << ", worst " << worst
                                       << "); actual " << actualPath << ", diff " << diffPath
                                       << "; re-record with V4_GOLDEN_UPDATE=1 if the change is meant";
}

}  // namespace v4test
