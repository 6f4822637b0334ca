// v4data movie shots: a movie of still pictures over music, and its refusals, run as a user runs it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run_command.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

int Tool(const std::vector<std::string>& args, std::string* out = nullptr) {
  std::string cmd = std::string("'") + V4DATA_EXE + "'";
  for (const std::string& a : args) cmd += " '" + a + "'";
  cmd += " 2>/dev/null";
  return v4test::RunCommand(cmd, out);
}

// A 16-bit stereo WAVE of `seconds` of a square wave at 44.1 kHz.
std::vector<uint8_t> Wave(double seconds) {
  const uint32_t frames = static_cast<uint32_t>(seconds * 44100), bytes = frames * 4;
  std::vector<uint8_t> w;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto u16 = [&](uint16_t v) { w.push_back(static_cast<uint8_t>(v)), w.push_back(static_cast<uint8_t>(v >> 8)); };
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(t[i]));
  };
  tag("RIFF"), u32(36 + bytes), tag("WAVE"), tag("fmt "), u32(16), u16(1), u16(2), u32(44100), u32(44100 * 4), u16(4),
      u16(16), tag("data"), u32(bytes);
  for (uint32_t i = 0; i < frames; ++i) {
    const uint16_t s = (i / 50) % 2 ? 8000 : static_cast<uint16_t>(-8000);
    u16(s), u16(s);
  }
  return w;
}

std::vector<uint8_t> Text(const std::string& s) { return {s.begin(), s.end()}; }

TEST(V4DataMovieShots, MakesAMovieOfThePicturesAndRefusesBadInput) {
  v4test::TempFolder dir("v4shots");
  ASSERT_TRUE(dir.Made());
  ASSERT_TRUE(dir.Write("art.json", Text(R"({"pictures": [
      {"file": "p/a.png", "width": 64, "height": 36, "shapes": [{"rect": [0, 0, 64, 36], "color": "#C02020"}]},
      {"file": "p/b.png", "width": 64, "height": 36, "shapes": [{"rect": [0, 0, 64, 36], "color": "#2040C0"}]}]})")));
  ASSERT_EQ(Tool({"art", dir.File("art.json"), dir.File("pics")}), 0);
  ASSERT_TRUE(dir.Write("music.wav", Wave(1.0)));
  ASSERT_TRUE(dir.Write("shots.json", Text(R"({"shots": [
      {"picture": "p/a.png", "seconds": 1, "fade_in": 0.5, "zoom": [1.0, 1.2]},
      {"picture": "p/b.png", "seconds": 1.5, "fade_out": 0.5}]})")));
  const std::string out = dir.File("op.mdm");
  ASSERT_EQ(Tool({"movie", "shots", "--size", "64x36", "--fps", "10", "--music", dir.File("music.wav"),
                  dir.File("shots.json"), dir.File("pics"), out}),
            0);
  std::string info;
  ASSERT_EQ(Tool({"movie", "info", out}, &info), 0);
  EXPECT_NE(info.find("video yes 64x36"), std::string::npos) << info;
  EXPECT_NE(info.find("audio yes"), std::string::npos) << info;
  const size_t at = info.find("duration ");
  ASSERT_NE(at, std::string::npos) << info;
  EXPECT_NEAR(std::atof(info.c_str() + at + 9), 2.5, 0.2) << info;

  ASSERT_TRUE(dir.Write("missing.json", Text(R"({"shots": [{"picture": "p/none.png", "seconds": 1}]})")));
  ASSERT_TRUE(dir.Write("broken.json", Text(R"({"shots": [{"picture": )")));
  ASSERT_TRUE(dir.Write("zero.json", Text(R"({"shots": [{"picture": "p/a.png", "seconds": 0}]})")));
  ASSERT_TRUE(dir.Write("empty.json", Text(R"({"shots": []})")));
  ASSERT_TRUE(dir.Write("bad.wav", Text("RIFF....WAVEjunk")));
  struct Case {
    const char* what;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {"a missing picture", {dir.File("missing.json"), dir.File("pics")}},
      {"broken shots", {dir.File("broken.json"), dir.File("pics")}},
      {"a shot of no length", {dir.File("zero.json"), dir.File("pics")}},
      {"no shots", {dir.File("empty.json"), dir.File("pics")}},
      {"damaged music", {"--music", dir.File("bad.wav"), dir.File("shots.json"), dir.File("pics")}},
      {"missing music", {"--music", dir.File("none.wav"), dir.File("shots.json"), dir.File("pics")}},
  };
  for (const Case& c : cases) {
    const std::string bad = dir.File("bad.mdm");
    std::vector<std::string> args = {"movie", "shots", "--size", "64x36"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back(bad);
    EXPECT_NE(Tool(args), 0) << c.what;
    EXPECT_FALSE(fs::exists(bad)) << c.what << ": a half-written movie was left behind";
  }
}

}  // namespace
