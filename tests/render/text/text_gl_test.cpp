// Text drawn with the installed Japanese font on the real OpenGL device offscreen: cells, line
// gaps, outline, vertical writing, bitmap fonts, and world text through the flat camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/font/font.h"
#include "platform/gl/gl_context.h"
#include "render/dg_manager.h"
#include "render/text/glyph_cache.h"
#include "render/text/text_renderer.h"
#include "tests/support/offscreen_gl_suite.h"
#include "text_fixture.h"

namespace {

constexpr int kW = 1280, kH = 720;

class TextGlTest : public v4test::OffscreenGlSuite<> {
 protected:
  void SetUp() override {
    ASSERT_NE(Context(), nullptr) << "no offscreen OpenGL context";
    mgr_ = new CDGManager();
    ASSERT_TRUE(mgr_->CreateDeviceWith([](int w, int h) { return plat::CreateGlDevice(w, h); }, true, kW, kH));
    mgr_->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0.0f, 1.0f, 200000.0f,
                              CDGManager::kOrthographic);
    mgr_->SetDefaultRenderStates(true);
    dev_ = mgr_->Device();
    dev_->Clear(true, true, 0xFF000000u, 1.0f);
  }
  void TearDown() override {
    for (CDGTextRenderer* r : renderers_) r->Release();
    TextTextureManagerInstance().ReleaseAll();
    if (mgr_) mgr_->Release();
  }

  // A screen-space renderer with downward lines, white text.
  CDGTextRenderer* Screen(float x, float y, const char* text, int lineSpacing = 0, const char* face = "") {
    auto* r = new CDGTextRenderer(mgr_, x, y, 0.5f, "", face, 24, lineSpacing, 0, 1, 0xFFFFFFFF);
    renderers_.push_back(r);
    r->SetDrawMode(CDGTextRenderer::kScreen, false);
    r->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0), false);
    EXPECT_TRUE(r->SetText(text, true));
    return r;
  }
  void DrawAll() {
    for (CDGTextRenderer* r : renderers_) r->Draw(false, false, false);
    dev_->Flush();
    ASSERT_TRUE(dev_->ReadBackBuffer(plat::Rect{0, 0, kW, kH}, &px_));
  }
  const uint8_t* At(int x, int y) const { return &px_[(static_cast<size_t>(y) * kW + x) * 4]; }
  bool Ink(int x, int y) const { return At(x, y)[0] > 40 || At(x, y)[1] > 40 || At(x, y)[2] > 40; }
  int InkIn(int x0, int y0, int x1, int y1) const {  // [x0, x1) x [y0, y1)
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += Ink(x, y);
    return n;
  }

  CDGManager* mgr_ = nullptr;
  plat::GfxDevice* dev_ = nullptr;
  std::vector<CDGTextRenderer*> renderers_;
  std::vector<uint8_t> px_;
};

TEST_F(TextGlTest, JapaneseAndLatinGlyphsLandOneInEachCellWithClearGapsBetweenLines) {
  auto font = plat::OpenFont(CDGTextRenderer::kDefaultFace, 24, false, false);
  ASSERT_NE(font, nullptr);
  const int cellH = font->Metrics().height + 1;  // texture height of every glyph
  const int x0 = 100, y0 = 100, gap = 8;
  Screen(x0, y0, "あいう漢字ABC\nあいう漢字ABC", gap);
  DrawAll();
  // A cell is a glyph texture: the advance plus one column, the cell height plus one row.
  const int advances[] = {25, 25, 25, 25, 25, 13, 13, 13};
  // Screen quads start half a pixel low, so the first row drawn is y0 + 1.
  for (int line = 0; line < 2; ++line) {
    const int top = y0 + 1 + line * (cellH + gap);
    int x = x0;
    for (int i = 0; i < 8; ++i) {
      const int adv = advances[i];
      EXPECT_GT(InkIn(x, top, x + adv, top + cellH), adv) << "line " << line << " glyph " << i;
      // One glyph per cell: the ink's horizontal centre lies in the middle half of the cell.
      long sum = 0, n = 0;
      for (int y = top; y < top + cellH; ++y)
        for (int xx = x; xx < x + adv; ++xx)
          if (Ink(xx, y)) sum += xx, ++n;
      ASSERT_GT(n, 0);
      const double centre = static_cast<double>(sum) / n;
      EXPECT_GT(centre, x + adv / 4.0) << "line " << line << " glyph " << i;
      EXPECT_LT(centre, x + adv * 3 / 4.0) << "line " << line << " glyph " << i;
      x += adv;
    }
  }
  const int width = 5 * 25 + 3 * 13;
  // Nothing in the line gap (the cell's padding row included), nothing outside the text.
  EXPECT_EQ(InkIn(x0 - 20, y0 + 1 + cellH - 1, x0 + width + 20, y0 + 1 + cellH + gap), 0);
  EXPECT_EQ(InkIn(x0 - 20, y0 - 20, x0 + width + 20, y0 + 1), 0);
  EXPECT_EQ(InkIn(x0 + width + 1, y0, x0 + width + 40, y0 + 2 * cellH + gap + 2), 0);
  EXPECT_EQ(InkIn(x0 - 20, y0 + 1 + 2 * cellH + gap, x0 + width, y0 + 2 * cellH + gap + 30), 0);
}

TEST_F(TextGlTest, OutlineColourSurroundsTheGlyph) {
  CDGTextRenderer* r = Screen(0, 0, "");
  r->SetOutline(2, 0xFFFF0000, false);
  r->SetPosition(300, 200, 0.5f, false);
  r->SetText("口", true);  // a box: straight outer edges
  DrawAll();
  auto white = [&](int x, int y) { return At(x, y)[0] > 200 && At(x, y)[1] > 200 && At(x, y)[2] > 200; };
  auto red = [&](int x, int y) { return At(x, y)[0] > 120 && At(x, y)[1] < 80 && At(x, y)[2] < 80; };
  int rows = 0;
  for (int y = 200; y < 240; ++y) {
    int left = -1, right = -1;
    for (int x = 290; x < 340; ++x)
      if (white(x, y)) {
        if (left < 0) left = x;
        right = x;
      }
    if (left < 0) continue;
    ++rows;
    EXPECT_TRUE(red(left - 1, y) || red(left - 2, y)) << "left of row " << y;
    EXPECT_TRUE(red(right + 1, y) || red(right + 2, y)) << "right of row " << y;
    EXPECT_FALSE(Ink(left - 6, y)) << "row " << y;
  }
  EXPECT_GT(rows, 10);
  // Above the top stroke and below the bottom one as well.
  int top = -1, bottom = -1;
  for (int y = 195; y < 240; ++y)
    if (white(312, y)) {
      if (top < 0) top = y;
      bottom = y;
    }
  ASSERT_GT(top, 0);
  EXPECT_TRUE(red(312, top - 1) || red(312, top - 2));
  EXPECT_TRUE(red(312, bottom + 1) || red(312, bottom + 2));
}

TEST_F(TextGlTest, WholeTextOutlineIsNotErasedByTheNextGlyph) {
  // Character spacing -8 pulls the blank after the box over its right stroke and outline; the
  // blank's empty texels must not erase them.
  auto* r = new CDGTextRenderer(mgr_, 300, 200, 0.5f, "", "", 24, 0, -8, 0, 0xFFFFFFFF);
  renderers_.push_back(r);
  r->SetDrawMode(CDGTextRenderer::kScreen, false);
  r->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0), false);
  r->SetOutline(2, 0xFFFF0000, false);
  r->SetText("口　", true);
  ASSERT_EQ(r->MainGlyphs().size(), 1u);
  DrawAll();
  auto white = [&](int x, int y) { return At(x, y)[0] > 200 && At(x, y)[1] > 200 && At(x, y)[2] > 200; };
  auto red = [&](int x, int y) { return At(x, y)[0] > 120 && At(x, y)[1] < 80 && At(x, y)[2] < 80; };
  int rows = 0;
  for (int y = 205; y < 222; ++y) {
    int right = -1;
    for (int x = 300; x < 340; ++x)
      if (white(x, y)) right = x;
    if (right < 0) continue;
    ++rows;
    EXPECT_GT(right, 318) << "the right stroke of row " << y;
    EXPECT_TRUE(red(right + 1, y) || red(right + 2, y)) << "outline right of row " << y;
  }
  EXPECT_GT(rows, 10);
}

TEST_F(TextGlTest, VerticalTextRunsDownwards) {
  CDGTextRenderer* r = Screen(0, 0, "");
  // Characters advance down the screen, lines to the left.
  r->SetAxes(Vector3(0, 1, 0), Vector3(-1, 0, 0), false);
  r->SetPosition(500, 100, 0.5f, false);
  r->SetText("あいう", true);
  DrawAll();
  // Each glyph's cell is its advance plus one (25) long.
  for (int i = 0; i < 3; ++i) EXPECT_GT(InkIn(460, 100 + 25 * i, 502, 100 + 25 * (i + 1)), 24) << "glyph " << i;
  EXPECT_EQ(InkIn(460, 100 + 75 + 2, 502, 220), 0);  // nothing after the third glyph
  EXPECT_EQ(InkIn(502, 90, 560, 220), 0);            // lines grow to the left only
  EXPECT_EQ(InkIn(400, 60, 560, 99), 0);
}

TEST_F(TextGlTest, BitmapFontStringDrawsItsCells) {
  v4test::TempModuleDir dir;
  dir.Write("Data/font/gl.png", v4test::PngOf(16, 8, [](int x, int) { return x < 8 ? 0xFF0000FFu : 0x00FF00FFu; }));
  dir.Write("Data/font/gl.fnt", MakeFnt("gl.png", {{"A", 0, 0, 8, 8}, {"B", 8, 0, 8, 8}}));
  const std::string face = dir.ProgramPath("Data/font/gl.fnt");
  Screen(300, 300, "ABA", 0, face.c_str());
  DrawAll();
  struct Cell {
    int x;
    bool red;
  } cells[] = {{300, true}, {308, false}, {316, true}};
  for (const Cell& c : cells)
    for (int y = 301; y < 309; ++y)
      for (int x = c.x; x < c.x + 8; ++x) {
        ASSERT_EQ(At(x, y)[0], c.red ? 255 : 0) << x << "," << y;
        ASSERT_EQ(At(x, y)[1], c.red ? 0 : 255) << x << "," << y;
      }
  EXPECT_EQ(InkIn(290, 290, 340, 301), 0);
  EXPECT_EQ(InkIn(324, 301, 340, 309), 0);
}

TEST_F(TextGlTest, WorldTextThroughTheFlatCameraLandsAtItsScreenPosition) {
  // Screen pixel (px, py) is world (640 - px, 360 - py); the axes are mirrored to match.
  auto* r = new CDGTextRenderer(mgr_, 640 - 400, 360 - 400, 0, "", "", 24, 0, 0, 1, 0xFFFFFFFF);
  renderers_.push_back(r);
  r->SetAxes(Vector3(-1, 0, 0), Vector3(0, -1, 0), false);
  r->SetText("漢", true);
  DrawAll();
  EXPECT_GT(InkIn(400, 400, 426, 428), 30);
  EXPECT_EQ(InkIn(370, 370, 400, 440), 0);
  EXPECT_EQ(InkIn(426, 370, 460, 440), 0);
  EXPECT_EQ(InkIn(370, 370, 460, 399), 0);
}

}  // namespace
