// The glyph texture cache on the null device with a fake glyph source: character splitting,
// coverage, cell sizes, sharing and forgetting, whole-text textures and the failure paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "render/dg_texture.h"
#include "render/text/glyph_cache.h"
#include "render/text/text_renderer.h"
#include "text_fixture.h"

namespace {

TEST(SjisSplit, LeadBytesStartTwoByteCharacters) {
  struct Case {
    std::string text;
    std::vector<std::string> chars;
  };
  const Case cases[] = {
      {"", {}},
      {"ab", {"a", "b"}},
      {"aあb", {"a", "あ", "b"}},
      {"ソ\\", {"ソ", "\\"}},                          // 0x83 0x5C: the trail byte is not a separator
      {"\xE0\x40\xFC\x40", {"\xE0\x40", "\xFC\x40"}},  // lead bytes of the upper range
      {"\x80\xA0\xB1\xDF\xFD", {"\x80", "\xA0", "\xB1", "\xDF", "\xFD"}},  // single bytes
      {"a\x82", {"a", "\x82"}},                                            // a lead byte at the end stands alone
      {"\n\x81\x40", {"\n", "\x81\x40"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitSjisChars(c.text), c.chars) << c.text;
  EXPECT_EQ(SjisCharCode("\x82\xA0"), 0x82A0);
  EXPECT_EQ(SjisCharCode("A"), 0x41);
  EXPECT_EQ(SjisCharCode("\xB1"), 0xB1);
}

TEST(GlyphCoverage, GreyLevelsBecomeAlpha) {
  const struct { uint8_t level, alpha; } cases[] = {{0, 0}, {1, 15}, {8, 127}, {15, 239}, {16, 255}, {40, 255}};
  for (const auto& c : cases) EXPECT_EQ(GrayLevelToAlpha(c.level), c.alpha) << int(c.level);
}

TEST(GlyphCoverage, BorderDilatesAndSaturates) {
  // Two texels side by side: levels 16 and 8.
  plat::GlyphImage g;
  g.width = 2;
  g.height = 1;
  g.levels = {16, 8};
  int w = 0, h = 0;
  std::vector<uint8_t> plain = GlyphCoverage(g, 0, &w, &h);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(plain, (std::vector<uint8_t>{255, 127}));
  std::vector<uint8_t> b1 = GlyphCoverage(g, 1, &w, &h);
  ASSERT_EQ(w, 4);
  ASSERT_EQ(h, 3);
  // Each source texel covers offsets 0..2 on both axes: columns 0..2 from the first, 1..3 from
  // the second; where both reach, 255 + 127 saturates.
  const std::vector<uint8_t> row = {255, 255, 255, 127};
  for (int y = 0; y < 3; ++y) EXPECT_EQ(std::vector<uint8_t>(b1.begin() + y * 4, b1.begin() + y * 4 + 4), row) << y;
  // A lone faint texel adds up where offsets overlap nothing: stays its own value.
  g.levels = {0, 1};
  b1 = GlyphCoverage(g, 1, &w, &h);
  EXPECT_EQ(b1[0], 0);
  EXPECT_EQ(b1[3], 15);
}

TEST(GlyphFontKeys, OrderAndIdentity) {
  const GlyphFontKey base{"F", 24, 0, 0, 0};
  struct Case {
    GlyphFontKey a, b;
    bool less;
  };
  const Case cases[] = {
      {{"Z", 12, 9, 1, 1}, base, true},                 // height first
      {{"Z", 24, -1, 1, 1}, base, true},                // then border (signed)
      {{"F", 24, 0, 1, 0}, base, true},                 // a set italic flag sorts first
      {{"F", 24, 0, 0, 7}, base, true},                 // bold: any non-zero value is set
      {{"E", 24, 0, 0, 0}, base, true},                 // then the face, byte-wise
      {{"F", 24, 0, 0, 0}, {"FF", 24, 0, 0, 0}, true},  // a prefix first
      {{"f", 24, 0, 0, 0}, base, false},                // case matters: "f" > "F"
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.a < c.b, c.less) << c.a.face;
    EXPECT_FALSE(c.less && c.b < c.a) << c.a.face;
  }
  const GlyphFontKey boldTwo{"F", 24, 0, 0, 2}, boldOne{"F", 24, 0, 0, 1};
  EXPECT_FALSE(boldTwo < boldOne);
  EXPECT_FALSE(boldOne < boldTwo);  // the same key
}

TEST(GlyphCoverage, DilationEqualsAddingEveryOffsetWithSaturation) {
  // Levels 0..16 in a pattern with gaps and full texels, dilated as described: every ink texel adds
  // its alpha at every offset 0..2b on both axes, saturating at 255.
  plat::GlyphImage g;
  g.width = 5;
  g.height = 4;
  for (int i = 0; i < g.width * g.height; ++i) g.levels.push_back(static_cast<uint8_t>((i * 7) % 17 * (i % 3 != 1)));
  for (int b : {1, 2, 3, 6}) {
    const int w = g.width + 2 * b, h = g.height + 2 * b;
    std::vector<int> want(static_cast<size_t>(w) * h, 0);
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x) {
        const int c = GrayLevelToAlpha(g.levels[static_cast<size_t>(y) * g.width + x]);
        if (c == 0) continue;
        for (int dy = 0; dy <= 2 * b; ++dy)
          for (int dx = 0; dx <= 2 * b; ++dx) {
            int& t = want[static_cast<size_t>(y + dy) * w + x + dx];
            t = std::min(255, t + c);
          }
      }
    int gw = 0, gh = 0;
    const std::vector<uint8_t> got = GlyphCoverage(g, b, &gw, &gh);
    ASSERT_EQ(gw, w);
    ASSERT_EQ(gh, h);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << "border " << b << " texel " << i;
  }
}

class GlyphCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { cache.SetGlyphSource(&src); }
  void TearDown() override {
    for (auto& list : held_) Drop(list);
  }

  std::vector<GlyphListEntry> List(std::string_view text, int border = 0, const std::string& face = "F") {
    std::vector<GlyphListEntry> out;
    cache.BuildGlyphList(&out, text, face, 24, 0, 0, border, env.mgr);
    return out;
  }
  // Releases a list as a holder does.
  void Drop(std::vector<GlyphListEntry>& list) {
    for (GlyphListEntry& e : list)
      if (e.texture && e.texture->Release()) cache.ForgetTexture(e.texture);
    list.clear();
  }
  // Held until the test ends.
  std::vector<GlyphListEntry>& Keep(std::vector<GlyphListEntry> list) {
    held_.push_back(std::move(list));
    return held_.back();
  }
  static std::pair<uint32_t, uint32_t> Size(CDGTexture* t) {
    uint32_t w = 0, h = 0;
    if (t) t->GetSurfaceSize(&w, &h);
    return {w, h};
  }
  static int InkTexels(CDGTexture* t) {
    auto [w, h] = Size(t);
    int n = 0;
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) n += AlphaAt(t, static_cast<int>(x), static_cast<int>(y)) != 0;
    return n;
  }

  v4test::NullDeviceManager env{v4test::ManagerScope::kLocal};
  FakeGlyphSource src;
  CDGTextTextureManager cache;

 private:
  std::deque<std::vector<GlyphListEntry>> held_;
};

TEST_F(GlyphCacheTest, CellsAreAdvancePlusOneByHeightPlusOneAndBordersAddTwiceTheBorder) {
  struct Case {
    const char* ch;
    int border;
    uint32_t w, h;
  } cases[] = {{"あ", 0, 25, 25}, {"あ", 2, 29, 29}, {"A", 0, 13, 25}, {"A", 3, 19, 31}};
  for (const Case& c : cases) {
    auto list = List(c.ch, c.border);
    ASSERT_EQ(list.size(), 1u);
    ASSERT_NE(list[0].texture, nullptr) << c.ch << c.border;
    EXPECT_EQ(Size(list[0].texture), std::make_pair(c.w, c.h)) << c.ch << c.border;
    Drop(list);
  }
  // Two keys, two textures.
  auto& plain = Keep(List("あ", 0));
  auto& bordered = Keep(List("あ", 2));
  EXPECT_NE(plain[0].texture, bordered[0].texture);
  EXPECT_EQ(cache.KeyCount(), 2u);
}

TEST_F(GlyphCacheTest, InkSitsOnTheBaselineAndTheBorderThickensIt) {
  auto& plain = Keep(List("あ", 0));
  auto& bordered = Keep(List("あ", 2));
  // Fake ink: 24 x 16 texels with its top at the ascent, i.e. texture rows 0..15.
  CDGTexture* p = plain[0].texture;
  EXPECT_EQ(AlphaAt(p, 0, 0), 255);
  EXPECT_EQ(AlphaAt(p, 23, 15), 255);
  EXPECT_EQ(AlphaAt(p, 24, 0), 0);
  EXPECT_EQ(AlphaAt(p, 0, 16), 0);
  EXPECT_EQ(InkTexels(p), 24 * 16);
  // Border 2: the ink grows to 28 x 20 from the same origin.
  CDGTexture* b = bordered[0].texture;
  EXPECT_EQ(AlphaAt(b, 27, 19), 255);
  EXPECT_EQ(AlphaAt(b, 28, 0), 0);
  EXPECT_EQ(AlphaAt(b, 0, 20), 0);
  EXPECT_EQ(InkTexels(b), 28 * 20);
}

TEST_F(GlyphCacheTest, BlankCharactersGetAnEmptyCell) {
  for (const char* ch : {"\t", "\n", " ", "\x81\x40"}) {
    auto list = List(ch);
    ASSERT_NE(list[0].texture, nullptr) << int(ch[0]);
    const uint32_t want = (ch[0] == '\x81') ? 25 : 13;
    EXPECT_EQ(Size(list[0].texture), std::make_pair(want, 25u)) << int(ch[0]);
    EXPECT_EQ(InkTexels(list[0].texture), 0) << int(ch[0]);
    EXPECT_EQ(list[0].lineFeed, ch[0] == '\n');
    Drop(list);
  }
}

TEST_F(GlyphCacheTest, OneRasterisationPerCharacterAndKeyWithOneReferencePerEntry) {
  auto& first = Keep(List("ああ"));
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].texture, first[1].texture);
  EXPECT_EQ(first[0].texture->RefCount(), 2);
  auto& second = Keep(List("あ"));
  EXPECT_EQ(second[0].texture, first[0].texture);
  EXPECT_EQ(first[0].texture->RefCount(), 3);
  EXPECT_EQ(src.renders, 1);
  EXPECT_EQ(cache.RasterizedCount(), 1u);
}

TEST_F(GlyphCacheTest, LastHolderForgetsTheGlyph) {
  const size_t before = env.dev->LiveTextures();
  auto a = List("xy"), b = List("x");
  EXPECT_EQ(cache.GlyphCount(GlyphFontKey{"F", 24, 0, 0, 0}), 2u);
  Drop(a);
  EXPECT_EQ(cache.GlyphCount(GlyphFontKey{"F", 24, 0, 0, 0}), 1u);  // "x" is still held
  Drop(b);
  EXPECT_EQ(cache.KeyCount(), 0u);
  EXPECT_EQ(env.dev->LiveTextures(), before);
}

TEST_F(GlyphCacheTest, ForgetTextureErasesEverySlotAndEmptyKeys) {
  auto& list = Keep(List("x"));
  CDGTexture* t = list[0].texture;
  const GlyphFontKey other{"G", 30, 1, 0, 0};
  cache.FindGlyphSlot("y", other) = t;
  cache.FindGlyphSlot("z", other) = nullptr;  // looked up, not made
  EXPECT_EQ(cache.KeyCount(), 2u);
  cache.ForgetTexture(t);
  EXPECT_EQ(cache.KeyCount(), 1u);  // the first key lost its only glyph
  EXPECT_EQ(cache.GlyphCount(other), 1u);
  EXPECT_EQ(cache.FindGlyphSlot("y", other), nullptr);
}

TEST_F(GlyphCacheTest, FaceNamesLongerThanThirtyBytesMakeNoGlyphs) {
  const std::string ok(30, 'f'), tooLong(31, 'f');
  auto& good = Keep(List("ab", 0, ok));
  EXPECT_NE(good[0].texture, nullptr);
  auto bad = List("ab", 0, tooLong);
  ASSERT_EQ(bad.size(), 2u);
  EXPECT_EQ(bad[0].texture, nullptr);
  EXPECT_EQ(bad[1].texture, nullptr);
  EXPECT_EQ(cache.RenderTextTexture("ab", tooLong, 24, 0, 0, 0, 0, 0, env.mgr), nullptr);
  EXPECT_EQ(cache.RenderTextTexture("ab", "", 24, 0, 0, 0, 0, 0, env.mgr), nullptr);
}

TEST_F(GlyphCacheTest, BordersBeyondTheLargestTextureMakeNoGlyph) {
  // An outline width from data: a cell wider than the device's largest texture (8192) fails like
  // a texture that cannot be made, before any image of that size exists.
  for (int32_t border : {4100, 100000, 0x40000000, 0x7FFFFFFF}) {
    auto list = List("aあ", border);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].texture, nullptr) << border;
    EXPECT_EQ(list[1].texture, nullptr) << border;
    EXPECT_EQ(cache.RenderTextTexture("a", "F", 24, 0, 0, border, 0, 0, env.mgr), nullptr) << border;
  }
  // A wide border that fits is made, its ink thickened by the border on every side.
  auto& wide = Keep(List("a", 500));
  ASSERT_NE(wide[0].texture, nullptr);
  EXPECT_EQ(Size(wide[0].texture), std::make_pair(12u + 1001u, 24u + 1001u));
  EXPECT_EQ(AlphaAt(wide[0].texture, 1011, 1015), 255);
  EXPECT_EQ(AlphaAt(wide[0].texture, 1012, 0), 0);
  EXPECT_EQ(AlphaAt(wide[0].texture, 0, 1016), 0);
}

TEST_F(GlyphCacheTest, FailedRasterisationGivesAnEmptyCellNotAGarbageSize) {
  struct Case {
    const char* what;
    std::function<void(uint16_t, plat::GlyphImage*)> shape;
    uint32_t w;
  } cases[] = {
      {"failure with huge sizes", [](uint16_t, plat::GlyphImage* g) { g->width = g->height = 0x7FFFFFFF; }, 13},
      {"failure with negative sizes", [](uint16_t, plat::GlyphImage* g) { g->width = -1; }, 13},
      {"failure with no bitmap", [](uint16_t, plat::GlyphImage* g) { g->levels.clear(); }, 13},
      {"failure with a garbage advance", [](uint16_t, plat::GlyphImage* g) { g->advance = -100000; }, 13},
  };
  src.fail = [](uint16_t code) { return code == 'Q'; };
  for (const Case& c : cases) {
    src.shape = c.shape;
    auto list = List("Q");
    ASSERT_NE(list[0].texture, nullptr) << c.what;
    EXPECT_EQ(Size(list[0].texture), std::make_pair(c.w, 25u)) << c.what;
    EXPECT_EQ(InkTexels(list[0].texture), 0) << c.what;
    Drop(list);
  }
  // An image whose bitmap does not match its size is not believed either, failed or not.
  src.fail = nullptr;
  src.shape = [](uint16_t, plat::GlyphImage* g) { g->levels.resize(3); };
  auto list = List("R");
  ASSERT_NE(list[0].texture, nullptr);
  EXPECT_EQ(InkTexels(list[0].texture), 0);
  Drop(list);
}

TEST_F(GlyphCacheTest, InkOverhangingTheCellIsClippedNotFailed) {
  // Ink from 3 texels left of the pen to 5 past the cell's right edge, and 3 rows above the top.
  src.shape = [](uint16_t, plat::GlyphImage* g) {
    g->originX = -3;
    g->originY = FakeGlyphSource::kAscent + 3;
    g->width = 21;
    g->height = 30;
    g->levels.assign(21 * 30, 16);
  };
  for (int border : {0, 2}) {
    auto list = List("W", border);
    CDGTexture* t = list[0].texture;
    ASSERT_NE(t, nullptr) << border;
    const uint32_t w = 13 + 2 * border, h = 25 + 2 * border;
    EXPECT_EQ(Size(t), std::make_pair(w, h));
    // Every texel the ink reaches inside the cell is inked: here, all of them.
    EXPECT_EQ(InkTexels(t), static_cast<int>(w * h)) << border;
    Drop(list);
  }
}

TEST_F(GlyphCacheTest, WholeTextTextureSizeFollowsCellsSpacingsAndBorder) {
  // "ab\nc": line 1 = two cells, the line feed's cell and three spacings; line 2 = one cell and
  // one spacing; height = two line heights and one line spacing; plus twice the border.
  struct Case {
    int border, charSpacing, lineSpacing;
    uint32_t w, h;
  } cases[] = {
      {0, 0, 0, 3 * 13, 2 * 25},
      {2, 1, 3, 3 * 13 + 3 * 1 + 4, 2 * 25 + 3 + 4},
      {1, -2, 0, 3 * 13 - 6 + 2, 2 * 25 + 2},
      {0, 10, 7, 3 * 13 + 30, 2 * 25 + 7},
  };
  for (const Case& c : cases) {
    CDGTexture* t = cache.RenderTextTexture("ab\nc", "F", 24, 0, 0, c.border, c.charSpacing, c.lineSpacing, env.mgr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(Size(t), std::make_pair(c.w, c.h)) << c.border << " " << c.charSpacing << " " << c.lineSpacing;
    EXPECT_EQ(t->RefCount(), 1);
    t->Release();
  }
}

TEST_F(GlyphCacheTest, WholeTextOutlineOfOneGlyphIsNotErasedByTheNext) {
  // 'a' with border 2: ink 16 wide (texels 0..15); the blank after it starts at 13 and its empty
  // margin covers 13..29. The outline there must stay.
  CDGTexture* t = cache.RenderTextTexture("a ", "F", 24, 0, 0, 2, 0, 0, env.mgr);
  ASSERT_NE(t, nullptr);
  for (int x = 0; x < 16; ++x) EXPECT_EQ(AlphaAt(t, x, 5), 255) << x;
  EXPECT_EQ(AlphaAt(t, 16, 5), 0);
  t->Release();
}

TEST_F(GlyphCacheTest, WholeTextTooWideForTheDeviceGivesNull) {
  // 700 cells of 13 texels exceed the device's largest texture (8192).
  EXPECT_EQ(cache.RenderTextTexture(std::string(700, 'a'), "F", 24, 0, 0, 0, 0, 0, env.mgr), nullptr);
  CDGTexture* fits = cache.RenderTextTexture(std::string(600, 'a'), "F", 24, 0, 0, 0, 0, 0, env.mgr);
  ASSERT_NE(fits, nullptr);
  fits->Release();
}

TEST_F(GlyphCacheTest, PreloadedAndWholeTextGlyphsStayWithTheCacheUntilReleaseAll) {
  const size_t before = env.dev->LiveTextures();
  EXPECT_TRUE(cache.PreloadText(env.mgr, "abc", "F", 24, 0, 0));
  EXPECT_EQ(src.renders, 3);
  auto list = List("ab");
  EXPECT_EQ(src.renders, 3);  // already made
  EXPECT_EQ(list[0].texture->RefCount(), 2);
  Drop(list);  // the cache's reference keeps them
  EXPECT_EQ(cache.GlyphCount(GlyphFontKey{"F", 24, 0, 0, 0}), 3u);
  auto held = List("c");
  cache.ReleaseAll();
  // The holder's reference survives ReleaseAll.
  ASSERT_NE(held[0].texture, nullptr);
  EXPECT_EQ(held[0].texture->RefCount(), 1);
  EXPECT_TRUE(held[0].texture->HasTexture());
  Drop(held);
  EXPECT_EQ(env.dev->LiveTextures(), before);
}

TEST_F(GlyphCacheTest, FaceNamesDifferingOnlyInCaseAreDifferentKeys) {
  auto& upper = Keep(List("a", 0, "Face"));
  auto& lower = Keep(List("a", 0, "face"));
  EXPECT_NE(upper[0].texture, lower[0].texture);
  EXPECT_EQ(cache.KeyCount(), 2u);
  EXPECT_EQ(src.renders, 2);
}

// The installed Japanese font through the system glyph source (null device: no GL needed).
TEST(GlyphCacheSystemFont, CellSizeFollowsTheFontsAdvanceAndHeight) {
  v4test::NullDeviceManager env{v4test::ManagerScope::kLocal};
  CDGTextTextureManager cache;
  auto font = plat::OpenFont(CDGTextRenderer::kDefaultFace, 24, false, false);
  ASSERT_NE(font, nullptr);
  const uint32_t cellH = static_cast<uint32_t>(font->Metrics().height) + 1;
  std::vector<GlyphListEntry> plain, bordered;
  cache.BuildGlyphList(&plain, "あA", CDGTextRenderer::kDefaultFace, 24, 0, 0, 0, env.mgr);
  cache.BuildGlyphList(&bordered, "あ", CDGTextRenderer::kDefaultFace, 24, 0, 0, 2, env.mgr);
  ASSERT_TRUE(plain[0].texture && plain[1].texture && bordered[0].texture);
  uint32_t w = 0, h = 0;
  plain[0].texture->GetSurfaceSize(&w, &h);
  EXPECT_EQ(w, 24u + 1);  // a fixed-pitch full-width advance, plus one
  EXPECT_EQ(h, cellH);
  plain[1].texture->GetSurfaceSize(&w, &h);
  EXPECT_EQ(w, 12u + 1);
  bordered[0].texture->GetSurfaceSize(&w, &h);
  EXPECT_EQ(w, 24u + 1 + 4);
  EXPECT_EQ(h, cellH + 4);
  // The bordered glyph covers every texel the plain one does (same origin, thickened ink), and more.
  int plainInk = 0, borderedInk = 0, lost = 0;
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const uint8_t a = AlphaAt(plain[0].texture, x, y), b = AlphaAt(bordered[0].texture, x + 2, y + 2);
      plainInk += a != 0;
      borderedInk += AlphaAt(bordered[0].texture, x, y) != 0;
      lost += a != 0 && b == 0;
    }
  EXPECT_GT(plainInk, 50);
  EXPECT_GT(borderedInk, plainInk * 3 / 2);
  EXPECT_EQ(lost, 0);
  for (auto* list : {&plain, &bordered})
    for (auto& e : *list)
      if (e.texture->Release()) cache.ForgetTexture(e.texture);
}

TEST(GlyphCacheDevice, GlyphsOfAManagerThatWentAwayAreMadeAgain) {
  FakeGlyphSource src;
  CDGTextTextureManager cache;
  cache.SetGlyphSource(&src);
  {
    v4test::NullDeviceManager first{v4test::ManagerScope::kLocal};
    cache.PreloadText(first.mgr, "a", "F", 24, 0, 0);
  }
  v4test::NullDeviceManager second{v4test::ManagerScope::kLocal};
  std::vector<GlyphListEntry> list;
  cache.BuildGlyphList(&list, "a", "F", 24, 0, 0, 0, second.mgr);
  ASSERT_NE(list[0].texture, nullptr);
  EXPECT_TRUE(list[0].texture->HasTexture());
  EXPECT_EQ(list[0].texture->GetManager(), second.mgr);
  EXPECT_EQ(src.renders, 2);
  if (list[0].texture->Release()) cache.ForgetTexture(list[0].texture);
}

}  // namespace
