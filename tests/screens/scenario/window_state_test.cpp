// The saved window state: a round trip, and a table of damaged buffers that must be refused whole.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "screens/scenario/adv_window_state.h"

namespace {

using adv::LayerKind;
using adv::LayerRecord;
using adv::WindowStateData;

WindowStateData Sample() {
  WindowStateData s;
  s.shownPage = 1;
  s.currentKind = LayerKind::kSprite;
  s.currentNumber = 3;
  LayerRecord c;
  c.kind = LayerKind::kChar;
  c.number = 0;
  c.image = "Data\\char\\hana_body.png";
  c.face = "Data\\char\\hana_face.png";
  c.faceRect[0] = 120;
  c.faceRect[2] = 160;
  c.position[0] = 540;
  c.position[1] = 120;
  c.position[2] = 20;
  c.size[0] = 400;
  c.size[1] = 600;
  s.layers.push_back(c);
  LayerRecord bg;
  bg.kind = LayerKind::kPage;
  bg.number = 1;
  bg.image = "Data\\Image\\adv\\bg_castle.png";
  s.layers.push_back(bg);
  LayerRecord sp;
  sp.kind = LayerKind::kSprite;
  sp.number = 3;
  sp.image = "Data\\Image\\adv\\sprite.png";
  sp.colour[3] = 128;
  sp.waitCheck = 1;
  AnimeKey k;
  k.kind = kAnimeMove;
  k.p[0] = 100;
  k.duration = 500;
  k.next = 2;
  sp.keys.emplace_back(1, k);
  k.kind = kAnimeColor;
  k.next = 0;
  sp.keys.emplace_back(2, k);
  AnimeRequest q;
  q.number = 1;
  q.elapsed = 120;
  q.flags = kAnimeReqRunning;
  sp.queue.push_back(q);
  s.layers.push_back(sp);
  return s;
}

TEST(WindowState, RoundTrip) {
  const WindowStateData s = Sample();
  const std::vector<uint8_t> bytes = adv::EncodeWindowState(s);
  WindowStateData back;
  std::string why;
  ASSERT_TRUE(adv::DecodeWindowState(bytes.data(), bytes.size(), back, &why)) << why;
  EXPECT_EQ(adv::EncodeWindowState(back), bytes);
  ASSERT_EQ(back.layers.size(), 3u);
  EXPECT_EQ(back.shownPage, 1);
  EXPECT_EQ(back.currentNumber, 3);
  EXPECT_EQ(back.layers[0].face, "Data\\char\\hana_face.png");
  EXPECT_FLOAT_EQ(back.layers[0].position[0], 540.0f);
  ASSERT_EQ(back.layers[2].keys.size(), 2u);
  EXPECT_EQ(back.layers[2].keys[0].second.next, 2);
  ASSERT_EQ(back.layers[2].queue.size(), 1u);
  EXPECT_FLOAT_EQ(back.layers[2].queue[0].elapsed, 120.0f);
  // An empty window is a valid state too.
  const std::vector<uint8_t> empty = adv::EncodeWindowState(WindowStateData{});
  EXPECT_TRUE(adv::DecodeWindowState(empty.data(), empty.size(), back));
  EXPECT_TRUE(back.layers.empty());
}

TEST(WindowState, DamagedBuffersAreRefused) {
  const std::vector<uint8_t> good = adv::EncodeWindowState(Sample());
  // Offsets into the sample's bytes: header 4+2+2+1+1+4+4 = 18, then the first layer.
  constexpr size_t kFirstLayer = 18;
  auto poke32 = [&](size_t at, uint32_t v) {
    std::vector<uint8_t> b = good;
    std::memcpy(b.data() + at, &v, 4);
    return b;
  };
  auto poke8 = [&](size_t at, uint8_t v) {
    std::vector<uint8_t> b = good;
    b[at] = v;
    return b;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  uint32_t nanBits;
  std::memcpy(&nanBits, &nan, 4);
  const size_t nameLen = std::strlen("Data\\char\\hana_body.png");
  const size_t afterNames = kFirstLayer + 5 + 2 + nameLen + 2 + std::strlen("Data\\char\\hana_face.png");
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"bad magic", poke8(0, 'X')},
      {"version 2", poke8(4, 2)},
      {"reserved set", poke8(6, 1)},
      {"shown page 2", poke8(8, 2)},
      {"current kind 9", poke8(9, 9)},
      {"current number 5000", poke32(10, 5000)},
      {"layer count 1e9", poke32(14, 1000000000u)},
      {"layer kind 7", poke8(kFirstLayer, 7)},
      {"layer number -1", poke32(kFirstLayer + 1, 0xFFFFFFFFu)},
      {"page number 2",
       [&] {
         auto b = good;
         b[kFirstLayer] = static_cast<uint8_t>(LayerKind::kPage);
         b[kFirstLayer + 1] = 2;
         return b;
       }()},
      {"name longer than the buffer", poke8(kFirstLayer + 5, 0xFF)},
      {"NUL inside a name", poke8(kFirstLayer + 7 + 3, 0)},
      {"NaN face x", poke32(afterNames, nanBits)},
      {"colour 300",
       [&] {
         auto b = good;
         const float v = 300.0f;
         std::memcpy(b.data() + afterNames + 4 * 13, &v, 4);
         return b;
       }()},
      {"trailing byte",
       [&] {
         auto b = good;
         b.push_back(0);
         return b;
       }()},
      {"duplicate layer",
       [&] {
         // Layer 3 (sprite 3) renumbered as layer 1's kind and number.
         WindowStateData s = Sample();
         s.layers[2].kind = LayerKind::kPage;
         s.layers[2].number = 1;
         return adv::EncodeWindowState(s);
       }()},
      {"key kind 99",
       [&] {
         WindowStateData s = Sample();
         s.layers[2].keys[0].second.kind = 99;
         return adv::EncodeWindowState(s);
       }()},
      {"negative elapsed",
       [&] {
         WindowStateData s = Sample();
         s.layers[2].queue[0].elapsed = -1;
         return adv::EncodeWindowState(s);
       }()},
  };
  for (const Case& c : cases) {
    WindowStateData out;
    out.currentNumber = 77;
    std::string why;
    EXPECT_FALSE(adv::DecodeWindowState(c.bytes.data(), c.bytes.size(), out, &why)) << c.what;
    EXPECT_FALSE(why.empty()) << c.what;
    EXPECT_EQ(out.currentNumber, 77) << c.what << ": nothing is applied from a refused buffer";
  }
  // Every truncation of the valid buffer is refused.
  for (size_t n = 0; n < good.size(); ++n) {
    WindowStateData out;
    EXPECT_FALSE(adv::DecodeWindowState(good.data(), n, out)) << "cut at " << n;
  }
  WindowStateData out;
  EXPECT_FALSE(adv::DecodeWindowState(nullptr, 0, out));
}

}  // namespace
