// Text layout on the null device with fake glyphs (cells 13 x 25 for one byte, 25 x 25 for two):
// pen, line feeds, spacings, axes, decorations, fades, draw modes and glyph references.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "render/dg_texture.h"
#include "render/text/glyph_cache.h"
#include "render/text/glyph_sheet.h"
#include "render/text/text_renderer.h"
#include "text_fixture.h"

namespace {

constexpr float kX = 100, kY = 200, kZ = 5;
constexpr int kLineSpacing = 4, kCharSpacing = 2;

class TextRendererTest : public ::testing::Test {
 protected:
  void SetUp() override { cache.SetGlyphSource(&src); }
  void TearDown() override {
    if (r) r->Release();
  }
  // A per-glyph (or whole-texture) renderer on the test's cache with the text laid out.
  CDGTextRenderer* Make(const char* text, uint8_t perGlyph = 1, uint32_t color = 0xFF102030) {
    r = new CDGTextRenderer(env.mgr, kX, kY, kZ, "", "F", 24, kLineSpacing, kCharSpacing, perGlyph, color);
    r->SetGlyphCache(&cache);
    EXPECT_TRUE(r->SetText(text, true));
    return r;
  }
  static plat::WorldVertex Corner(const GlyphQuad& q, int k = 0) { return q.world[k]; }

  v4test::NullDeviceManager env{v4test::ManagerScope::kLocal};
  FakeGlyphSource src;
  CDGTextTextureManager cache;
  CDGTextRenderer* r = nullptr;
};

void ExpectCorner(const plat::WorldVertex& v, float x, float y, float z, const char* what) {
  EXPECT_FLOAT_EQ(v.x, x) << what;
  EXPECT_FLOAT_EQ(v.y, y) << what;
  EXPECT_FLOAT_EQ(v.z, z) << what;
}

TEST_F(TextRendererTest, EmptyTextLaysOutNothing) {
  Make("");
  EXPECT_TRUE(r->MainGlyphs().empty());
  const float* size = r->GetTextSize();
  EXPECT_EQ(size[0], 0);
  EXPECT_EQ(size[1], 0);
  EXPECT_EQ(size[2], 0);
  r->Draw(false, false, false);
  EXPECT_TRUE(env.dev->draws.empty());
}

TEST_F(TextRendererTest, LineFeedStartsTheNextLineOneLineHeightAndSpacingLower) {
  Make("ab\nc");
  const auto& q = r->MainGlyphs();
  ASSERT_EQ(q.size(), 4u);
  // Every corner is moved by (-0.5, +0.5, +0.5) from the pen.
  const float step = 13 + kCharSpacing;
  ExpectCorner(Corner(q[0]), kX - 0.5f, kY + 0.5f, kZ + 0.5f, "a");
  ExpectCorner(Corner(q[1]), kX + step - 0.5f, kY + 0.5f, kZ + 0.5f, "b");
  ExpectCorner(Corner(q[2]), kX + 2 * step - 0.5f, kY + 0.5f, kZ + 0.5f, "line feed on line 1");
  EXPECT_EQ(q[2].lineFeed, 1);
  ExpectCorner(Corner(q[3]), kX - 0.5f, kY - (kLineSpacing + 25) + 0.5f, kZ + 0.5f, "c");
  // The quad spans its texture: 13 along x, 25 along the y axis (downwards).
  ExpectCorner(Corner(q[0], 3), kX + 13 - 0.5f, kY - 25 + 0.5f, kZ + 0.5f, "a, far corner");
  // Its texture coordinates cover exactly the glyph's 13 x 25 texels on the renderer's sheet.
  CDGTexture* sheet = r->SheetTexture();
  ASSERT_NE(sheet, nullptr);
  uint32_t sw = 0, sh = 0;
  sheet->GetSurfaceSize(&sw, &sh);
  EXPECT_FLOAT_EQ((q[0].world[1].u - q[0].world[0].u) * sw, 13);
  EXPECT_FLOAT_EQ((q[0].world[2].v - q[0].world[0].v) * sh, 25);
  // Offset: where the next character would go; size: widest pen reach and the lines' height.
  EXPECT_FLOAT_EQ(r->GetTextOffset()[0], step);
  EXPECT_FLOAT_EQ(r->GetTextOffset()[1], -(kLineSpacing + 25));
  EXPECT_FLOAT_EQ(r->GetTextSize()[0], 2 * step);
  EXPECT_FLOAT_EQ(r->GetTextSize()[1], 2 * (25 + kLineSpacing));
}

TEST_F(TextRendererTest, AxesTurnTheLayoutForVerticalWriting) {
  // Characters run down the world (-y), lines move left (-x).
  Make("");
  r->SetAxes(Vector3(0, -2, 0), Vector3(-1, 0, 0), false);
  r->SetText("ab\nc", true);
  const auto& q = r->MainGlyphs();
  ASSERT_EQ(q.size(), 4u);
  const float step = 13 + kCharSpacing;
  ExpectCorner(Corner(q[0]), kX - 0.5f, kY + 0.5f, kZ + 0.5f, "a");
  ExpectCorner(Corner(q[1]), kX - 0.5f, kY - step + 0.5f, kZ + 0.5f, "b below a");
  ExpectCorner(Corner(q[3]), kX - (kLineSpacing + 25) - 0.5f, kY + 0.5f, kZ + 0.5f, "c on the next line, left");
  // The glyph's width runs along the (normalised) x axis.
  ExpectCorner(Corner(q[0], 1), kX - 0.5f, kY - 13 + 0.5f, kZ + 0.5f, "a, x edge");
}

TEST_F(TextRendererTest, VerticalWritingKeepsGlyphsUprightInColumnsFromTheRight) {
  Make("");
  r->SetVertical(true, false);
  r->SetText("ab\nc", true);
  const auto& q = r->MainGlyphs();
  ASSERT_EQ(q.size(), 4u);
  const float column = kLineSpacing + 24;  // line spacing + font height
  const float down = kCharSpacing + 25;    // character spacing + glyph height
  ExpectCorner(Corner(q[0]), kX + column - 0.5f, kY + 0.5f, kZ + 0.5f, "a at the top of the right column");
  ExpectCorner(Corner(q[1]), kX + column - 0.5f, kY - down + 0.5f, kZ + 0.5f, "b below a");
  ExpectCorner(Corner(q[3]), kX - 0.5f, kY + 0.5f, kZ + 0.5f, "c heads the next column, to the left");
  // Upright: the glyph's width still runs along x.
  ExpectCorner(Corner(q[0], 1), kX + column + 13 - 0.5f, kY + 0.5f, kZ + 0.5f, "a, x edge");
  // Size along the columns, then across them.
  EXPECT_FLOAT_EQ(r->GetTextSize()[0], 2 * down);
  EXPECT_FLOAT_EQ(r->GetTextSize()[1], 2 * column);
  // Back to lines.
  r->SetVertical(false, true);
  ExpectCorner(Corner(r->MainGlyphs()[1]), kX + 13 + kCharSpacing - 0.5f, kY + 0.5f, kZ + 0.5f, "b after a");
}

TEST_F(TextRendererTest, OutlineQuadsAreLargerAndBehindWithTheSamePen) {
  Make("");
  r->SetOutline(2, 0xFF000000, false);
  r->SetText("ab", true);
  const auto& main = r->MainGlyphs();
  const auto& deco = r->DecorationGlyphs();
  ASSERT_EQ(deco.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    const plat::WorldVertex m0 = Corner(main[i]), d0 = Corner(deco[i]), d3 = Corner(deco[i], 3);
    ExpectCorner(d0, m0.x - 2, m0.y + 2, m0.z - 0.1f, "2 px up-left, 0.1 lower");
    EXPECT_FLOAT_EQ(d3.x - d0.x, 13 + 4);
    EXPECT_FLOAT_EQ(d0.y - d3.y, 25 + 4);
    EXPECT_EQ(deco[i].world[0].argb, 0xFF000000u);
    EXPECT_EQ(main[i].world[0].argb, 0xFF102030u);
  }
}

TEST_F(TextRendererTest, ShadowIsMovedByItsDirectionAndDistance) {
  Make("");
  r->SetShadow(Vector3(3, 4, 0), 10, 0x80000000, false);
  r->SetText("ab", true);
  const auto& main = r->MainGlyphs();
  const auto& deco = r->DecorationGlyphs();
  ASSERT_EQ(deco.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    // Direction (0.6, 0.8) along the text axes: 6 along x (+x), 8 along y (world -y).
    ExpectCorner(Corner(deco[i]), Corner(main[i]).x + 6, Corner(main[i]).y - 8, Corner(main[i]).z - 0.1f, "shadow");
    EXPECT_EQ(deco[i].texture, main[i].texture);
  }
  EXPECT_EQ(main[0].texture->RefCount(), 3);  // one for each array, one for the glyph sheet
}

TEST_F(TextRendererTest, SettersSwitchBetweenShadowAndOutline) {
  Make("");
  r->SetShadow(Vector3(1, 0, 0), 1, 1, false);
  EXPECT_TRUE(r->HasShadow());
  r->SetOutline(3, 1, false);
  EXPECT_TRUE(r->HasOutline());
  EXPECT_FALSE(r->HasShadow());
  r->SetShadow(Vector3(1, 0, 0), 1e-8f, 1, false);
  EXPECT_FALSE(r->HasShadow());
  EXPECT_FALSE(r->HasOutline());
  r->SetOutline(3, 1, false);
  r->ClearDecoration(false);
  EXPECT_FALSE(r->HasOutline());
}

TEST_F(TextRendererTest, AppendedCharactersFadeAloneAndOldOnesKeepTheirColour) {
  struct Case {
    const char* what;
    uint32_t from, to;
    float duration, after;
    uint32_t want;
  } cases[] = {
      {"alpha half way", 0x00FFFFFF, 0xFFFFFFFF, 500, 250, 0x7FFFFFFF},
      {"ended", 0x00FFFFFF, 0xFFFFFFFF, 500, 900, 0xFFFFFFFF},
      {"under 1 ms: the text colour", 0x00FFFFFF, 0xFFFFFFFF, 0.5f, 0, 0xFF102030},
      {"from 0 means the text colour", 0, 0xFFFFFFFF, 500, 250, 0xFF878F97},
      {"to 0 means the text colour", 0x00FFFFFF, 0, 500, 250, 0x7F889098},
  };
  for (const Case& c : cases) {
    Make("ab");
    ASSERT_TRUE(r->AppendText("cd", c.from, c.to, c.duration, false));
    r->Update(c.after);
    const auto& q = r->MainGlyphs();
    ASSERT_EQ(q.size(), 4u);
    EXPECT_EQ(q[0].world[0].argb, 0xFF102030u) << c.what;
    EXPECT_EQ(q[1].world[3].argb, 0xFF102030u) << c.what;
    EXPECT_EQ(q[2].world[0].argb, c.want) << c.what;
    EXPECT_EQ(q[3].world[3].argb, c.want) << c.what;
    EXPECT_EQ(r->Text(), "abcd");
    r->Release();
    r = nullptr;
  }
}

TEST_F(TextRendererTest, DecorationFadesOnlyItsAlpha) {
  Make("");
  r->SetOutline(1, 0xFF0000FF, false);
  r->SetText("a", true);
  r->AppendText("b", 0x00FFFFFF, 0xFFFFFFFF, 100, false);
  r->Update(50);
  const auto& deco = r->DecorationGlyphs();
  ASSERT_EQ(deco.size(), 2u);
  EXPECT_EQ(deco[0].world[0].argb, 0xFF0000FFu);
  EXPECT_EQ(deco[1].world[0].argb, 0x7F0000FFu);
  r->FinishFades();
  EXPECT_EQ(r->MainGlyphs()[1].world[0].argb, 0xFFFFFFFFu);
  EXPECT_EQ(r->DecorationGlyphs()[1].world[0].argb, 0xFF0000FFu);
}

TEST_F(TextRendererTest, WholeTextModeShowsAppendedTextOnlyAfterARelayout) {
  Make("ab", 0);
  ASSERT_EQ(r->MainGlyphs().size(), 1u);
  CDGTexture* before = r->MainGlyphs()[0].texture;
  ASSERT_NE(before, nullptr);
  uint32_t w = 0, h = 0;
  before->GetSurfaceSize(&w, &h);
  EXPECT_EQ(w, 2 * 13 + 2 * kCharSpacing);
  EXPECT_EQ(h, 25u);
  ASSERT_TRUE(r->AppendText("cd", 0, 0, 0, false));
  EXPECT_EQ(r->MainGlyphs()[0].texture, before);
  ASSERT_TRUE(r->AppendText("", 0, 0, 0, true));
  r->MainGlyphs()[0].texture->GetSurfaceSize(&w, &h);
  EXPECT_EQ(w, 4 * 13 + 4 * kCharSpacing);
  EXPECT_FALSE(r->AppendText(nullptr, 0, 0, 0, true));
}

TEST_F(TextRendererTest, ScreenModeDrawsScreenQuadsWithoutTheDepthTest) {
  Make("ab");
  r->Draw(false, false, false);
  ASSERT_EQ(env.dev->draws.size(), 2u);
  EXPECT_FALSE(env.dev->draws[0].screen);
  EXPECT_TRUE(env.dev->draws[0].zEnable);
  env.dev->draws.clear();
  // The switch alone (no relayout) is enough: stale vertices are never drawn.
  r->SetDrawMode(CDGTextRenderer::kScreen, false);
  r->Draw(false, false, false);
  ASSERT_EQ(env.dev->draws.size(), 2u);
  EXPECT_EQ(r->BuiltMode(), CDGTextRenderer::kScreen);
  for (const auto& d : env.dev->draws) {
    EXPECT_TRUE(d.screen);
    EXPECT_FALSE(d.zEnable);
    EXPECT_NE(d.texture, 0u);
  }
  EXPECT_FLOAT_EQ(env.dev->draws[0].pixels[0].x, kX - 0.5f);
  EXPECT_FLOAT_EQ(env.dev->draws[0].pixels[0].y, kY + 0.5f);
  EXPECT_FLOAT_EQ(env.dev->draws[0].pixels[0].z, 0.5f);
  EXPECT_FLOAT_EQ(env.dev->draws[1].pixels[0].x, kX + 13 + kCharSpacing - 0.5f);
  EXPECT_TRUE(env.dev->GetZEnable());  // restored
}

TEST_F(TextRendererTest, DecorationIsDrawnBeforeTheText) {
  Make("");
  r->SetOutline(1, 0xFF000000, false);
  r->SetText("a", true);
  r->Draw(false, false, false);
  ASSERT_EQ(env.dev->draws.size(), 2u);
  EXPECT_EQ(env.dev->draws[0].world[0].argb, 0xFF000000u);
  EXPECT_EQ(env.dev->draws[1].world[0].argb, 0xFF102030u);
}

TEST_F(TextRendererTest, GlyphsThatCannotBeMadeAreHeightSquaresWithoutTexture) {
  r = new CDGTextRenderer(env.mgr, kX, kY, kZ, "", std::string(31, 'f'), 24, 0, 0, 1, 0xFFFFFFFF);
  r->SetGlyphCache(&cache);
  r->SetText("a", true);
  const auto& q = r->MainGlyphs();
  ASSERT_EQ(q.size(), 1u);
  EXPECT_EQ(q[0].texture, nullptr);
  EXPECT_FLOAT_EQ(q[0].world[3].x - q[0].world[0].x, 24);
  EXPECT_FLOAT_EQ(q[0].world[0].y - q[0].world[3].y, 24);
}

// A glyph that cannot be made keeps its place and draws nothing (no blank square).
TEST_F(TextRendererTest, GlyphsThatCannotBeMadeAreNotDrawn) {
  for (uint8_t perGlyph : {1, 0}) {
    env.dev->draws.clear();
    r = new CDGTextRenderer(env.mgr, kX, kY, kZ, "", std::string(31, 'f'), 24, 0, 0, perGlyph, 0xFFFFFFFF);
    r->SetGlyphCache(&cache);
    r->SetText("ab", true);
    ASSERT_FALSE(r->MainGlyphs().empty()) << "per-glyph " << int(perGlyph);
    r->Draw(false, false, false);
    EXPECT_TRUE(env.dev->draws.empty()) << "per-glyph " << int(perGlyph);
    r->Release();
    r = nullptr;
  }
}

TEST_F(TextRendererTest, ReleasingTheRendererReleasesAndForgetsItsGlyphs) {
  const size_t before = env.dev->LiveTextures();
  Make("");
  r->SetOutline(2, 0xFF000000, false);
  r->SetText("abあ", true);
  EXPECT_EQ(cache.KeyCount(), 2u);
  EXPECT_GT(env.dev->LiveTextures(), before);
  r->Release();
  r = nullptr;
  EXPECT_EQ(cache.KeyCount(), 0u);
  EXPECT_EQ(env.dev->LiveTextures(), before);
}

TEST_F(TextRendererTest, SortKeyIsDepthOnScreenAndViewDistanceInTheWorld) {
  Make("a");
  r->SetDrawMode(CDGTextRenderer::kScreen, false);
  r->Update(0);
  EXPECT_FLOAT_EQ(r->GetSortKey(), kZ);
  r->SetDrawMode(CDGTextRenderer::kWorld, false);
  r->SetPosition(0, 0, 50, false);
  r->Update(0);
  // The flat camera looks down -z from z = 100000: a point at z 50 is 99950 away.
  EXPECT_NEAR(r->GetSortKey(), -99950.0f, 0.5f);
}

TEST_F(TextRendererTest, WholeTextDrawsFromOneSheetHoldingTheGlyphs) {
  Make("");
  r->SetOutline(1, 0xFF000000, false);
  r->SetText("abあ\nba", true);
  CDGTexture* sheet = r->SheetTexture();
  ASSERT_NE(sheet, nullptr);
  r->Draw(false, false, false);
  ASSERT_EQ(env.dev->draws.size(), 12u);
  for (const auto& d : env.dev->draws) EXPECT_EQ(d.texture, sheet->DeviceId());
  // Every quad's texels on the sheet are its glyph's texels.
  uint32_t sw = 0, sh = 0;
  sheet->GetSurfaceSize(&sw, &sh);
  for (const auto* quads : {&r->MainGlyphs(), &r->DecorationGlyphs()})
    for (const GlyphQuad& q : *quads) {
      uint32_t w = 0, h = 0;
      ASSERT_TRUE(q.texture->GetSurfaceSize(&w, &h));
      const int x0 = static_cast<int>(q.u0 * sw + 0.5f), y0 = static_cast<int>(q.v0 * sh + 0.5f);
      int differing = 0;
      for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) differing += AlphaAt(q.texture, x, y) != AlphaAt(sheet, x0 + x, y0 + y);
      EXPECT_EQ(differing, 0);
    }
}

TEST_F(TextRendererTest, RelayoutOfTheSameTextKeepsItsGlyphs) {
  Make("abc");
  const int renders = src.renders;
  r->Relayout();
  r->SetText("cab", true);
  EXPECT_EQ(src.renders, renders);
  r->AppendText("d", 0, 0, 0, false);
  EXPECT_EQ(src.renders, renders + 1);
  EXPECT_TRUE(r->MainGlyphs()[3].inSheet);
}

TEST_F(TextRendererTest, GlyphsWithoutPixelsDrawFromTheirOwnTextures) {
  // A texture without a CPU copy (a render target) cannot be copied onto the sheet.
  CDGTexture* target = env.mgr->CreateRenderTarget(8, 8);
  ASSERT_NE(target, nullptr);
  cache.FindGlyphSlot("z", GlyphFontKey{"F", 24, 0, 0, 0}) = target;
  Make("az");
  EXPECT_EQ(r->SheetTexture(), nullptr);
  r->Draw(false, false, false);
  ASSERT_EQ(env.dev->draws.size(), 2u);
  EXPECT_EQ(env.dev->draws[1].texture, target->DeviceId());
  EXPECT_FLOAT_EQ(r->MainGlyphs()[1].world[3].u, 1);
  r->Release();
  r = nullptr;
  EXPECT_TRUE(target->Release());
  cache.ForgetTexture(target);
}

TEST(GlyphSheetPacking, FullSheetIsRebuiltWithOnlyTheGlyphsInUse) {
  v4test::NullDeviceManager env{v4test::ManagerScope::kLocal};
  FakeGlyphSource src;
  CDGTextTextureManager cache;
  cache.SetGlyphSource(&src);
  std::vector<GlyphListEntry> first, many;
  cache.BuildGlyphList(&first, "ab", "F", 24, 0, 0, 0, env.mgr);
  std::string text;
  for (int i = 0; i < 200; ++i) text += std::string{'\x88', static_cast<char>(0x9F + i % 90)} + (i >= 90 ? "x" : "");
  cache.BuildGlyphList(&many, text, "F", 24, 0, 0, 0, env.mgr);
  GlyphSheet sheet;
  ASSERT_TRUE(sheet.Place(env.mgr, {first[0].texture, first[1].texture, nullptr, first[0].texture}, cache));
  EXPECT_EQ(sheet.GlyphCount(), 2u);
  EXPECT_EQ(first[0].texture->RefCount(), 2);
  std::vector<CDGTexture*> all;
  for (auto& e : many) all.push_back(e.texture);
  ASSERT_TRUE(sheet.Place(env.mgr, all, cache));
  EXPECT_EQ(sheet.GlyphCount(), 91u);  // 90 kanji and "x"; "a" and "b" are gone
  EXPECT_EQ(first[0].texture->RefCount(), 1);
  float uv[4];
  EXPECT_FALSE(sheet.Find(first[0].texture, uv));
  EXPECT_TRUE(sheet.Find(all[0], uv));
  sheet.Release(cache);
  for (auto* list : {&first, &many})
    for (auto& e : *list)
      if (e.texture->Release()) cache.ForgetTexture(e.texture);
  EXPECT_EQ(cache.KeyCount(), 0u);
}

TEST_F(TextRendererTest, AlignmentOffsetsPlaceTheLaidOutSizeInABox) {
  // Two lines, the longer one three cells: 3 x (13 + 2) wide, 2 x (25 + 4) high.
  Make("abc\nd");
  const float w = r->GetTextSize()[0], h = r->GetTextSize()[1];
  ASSERT_FLOAT_EQ(w, 45);
  ASSERT_FLOAT_EQ(h, 58);
  struct Case {
    int32_t align;
    float box, size, want;
  } cases[] = {
      {0, 200, w, 0},  {1, 200, w, 77.5f}, {2, 200, w, 155},  {7, 200, w, 0},
      {1, 100, h, 21}, {2, 100, h, 42},    {1, 30, w, -7.5f},  // a text wider than its box overhangs both sides
  };
  for (const Case& c : cases)
    EXPECT_FLOAT_EQ(TextAlignOffset(c.align, c.box, c.size), c.want) << c.align << " " << c.box;
}

TEST_F(TextRendererTest, DefaultFaceWhenNoneIsGiven) {
  Make("");
  r->SetFont("", 30, false);
  EXPECT_EQ(r->Face(), "ＭＳ ゴシック");
  EXPECT_EQ(r->Height(), 30);
}

}  // namespace
