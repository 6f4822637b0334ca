// Sprites: cell rectangles, colour packing, change tracking, placement and ownership.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "render/board_renderer.h"
#include "render/model/model_renderer.h"
#include "render/sprite.h"
#include "render/texture_holder.h"
#include "render_fixture.h"

namespace {

TEST(SpriteCell, RectangleAndMirroring) {
  struct Case {
    const char* what;
    int cell, columns;
    float cw, ch, uvLeft, uvTop;
    bool fx, fy;
    SpriteCellRect want;
  };
  const Case cases[] = {
      {"columns 3, cell 4: column 1 of row 1", 4, 3, 4, 4, 0, 0, false, false, {4, 4, 4, 4}},
      {"flip x at u 128", 2, 4, 64, 32, 0, 0, true, false, {192, 0, -64, 32}},
      {"flip y", 5, 4, 64, 32, 0, 0, false, true, {64, 64, 64, -32}},
      {"origin offset truncated", 1, 2, 10.5f, 8, 3.7f, 2.2f, false, false, {14, 2, 10.5f, 8}},
      {"zero columns count as one", 3, 0, 16, 16, 0, 0, false, false, {0, 48, 16, 16}},
  };
  for (const Case& c : cases) {
    const SpriteCellRect r = SpriteCell(c.cell, c.columns, c.cw, c.ch, c.uvLeft, c.uvTop, c.fx, c.fy);
    EXPECT_FLOAT_EQ(r.left, c.want.left) << c.what;
    EXPECT_FLOAT_EQ(r.top, c.want.top) << c.what;
    EXPECT_FLOAT_EQ(r.width, c.want.width) << c.what;
    EXPECT_FLOAT_EQ(r.height, c.want.height) << c.what;
  }
}

TEST(SpriteColour, ComponentsAreClampedAndRounded) {
  struct Case {
    Color c;
    uint32_t want;
  };
  const Case cases[] = {{Color(300, -5, 127.6f, 255), 0xFFFF0080u},
                        {Color(0, 0, 0, 0), 0x00000000u},
                        {Color(1, 254.4f, 127.4f, 128), 0x8001FE7Fu}};
  for (const Case& c : cases) EXPECT_EQ(PackSpriteColor(c.c), c.want);
}

TEST(BoardDefinition, ScaleGuardsAgainstZeroPercentages) {
  struct Case {
    uint32_t w, h, ox, oy;
    float sx, sy, offX, offY;
  };
  const Case cases[] = {{100, 100, 0, 0, 1280, 720, 0, 0},
                        {50, 200, 10, 50, 2560, 360, 256, 180},
                        {0, 0, 0, 0, 1280, 720, 0, 0},  // a missing definition
                        {25, 100, 0, 0, 5120, 720, 0, 0}};
  for (const Case& c : cases) {
    BoardDef d{};
    d.widthPercent = c.w, d.heightPercent = c.h, d.offsetXPercent = c.ox, d.offsetYPercent = c.oy;
    float sx, sy, ox, oy;
    BoardModelScale(d, &sx, &sy, &ox, &oy);
    EXPECT_FLOAT_EQ(sx, c.sx);
    EXPECT_FLOAT_EQ(sy, c.sy);
    EXPECT_FLOAT_EQ(ox, c.offX);
    EXPECT_FLOAT_EQ(oy, c.offY);
  }
}

class SpriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("Data/Test/sheet.png", v4test::PngOf(128, 64, [](int, int) { return 0xFFFFFFFFu; }));
    sheet = std::string(GetModuleDir()) + "Data\\Test\\sheet.png";
  }
  v4test::TempModuleDir dir;
  v4test::NullDeviceManager nm;
  std::string sheet;
};

TEST_F(SpriteTest, SetupTakesNegativeSizesFromTheTexture) {
  struct Case {
    const char* what;
    float w, h, uvW, uvH;
    int cols, rows;
    float width, height, cellW, cellH;
    bool sizeFixed;
    bool flagged = false;
  };
  const Case cases[] = {
      {"all from the texture", -1, -1, -1, -1, 4, 2, 32, 32, 32, 32, false},
      {"all from the texture, flagged load", -1, -1, -1, -1, 4, 2, 32, 32, 32, 32, false, true},
      {"layout sizes kept", 40, 20, 64, 32, 2, 1, 20, 20, 32, 32, true},
      {"drawn size from the source size", -1, -1, 64, 32, 1, 1, 64, 32, 64, 32, false},
      {"-0.99 is not negative", -0.99f, 10, 10, 10, 1, 1, -0.99f, 10, 10, 10, true},
  };
  for (const Case& c : cases) {
    CVSprite s;
    s.Setup(sheet.c_str(), Vector3(1, 2, 3), Color(255, 255, 255, 255), c.w, c.h, c.cols, c.rows, 0, 0, 0, 0, 0, c.uvW,
            c.uvH, c.flagged, false, true);
    ASSERT_NE(s.texture, nullptr) << c.what;
    EXPECT_FLOAT_EQ(s.width, c.width) << c.what;
    EXPECT_FLOAT_EQ(s.height, c.height) << c.what;
    EXPECT_FLOAT_EQ(s.cellWidth, c.cellW) << c.what;
    EXPECT_FLOAT_EQ(s.cellHeight, c.cellH) << c.what;
    EXPECT_EQ(s.sizeFixed, c.sizeFixed) << c.what;
    EXPECT_TRUE(s.changed);
    EXPECT_FLOAT_EQ(s.scale.x, 1.0f);
  }
}

// After set-up, a size counts as negative (taken from the 128 x 64 texture) only when it is -1 or
// less after truncation, as in set-up itself.
TEST_F(SpriteTest, LaterTextureAndGridTakeOnlyNegativeSizesFromTheTexture) {
  struct Case {
    const char* what;
    float given;
    float width, cellWidth;      // after SetTexture with sizes fixed
    float gridCellW, gridCellH;  // after SetCellGrid(2, 1, given, given)
  };
  const Case cases[] = {
      {"-1 is negative", -1.0f, 128, 128, 64, 64},
      {"-0.5 is kept", -0.5f, -0.5f, -0.5f, -0.25f, -0.5f},
  };
  for (const Case& c : cases) {
    CVSprite s;
    s.Setup(sheet.c_str(), Vector3(), Color(255, 255, 255, 255), 40, 20, 1, 1, 0, 0, 0, 0, 0, 64, 32, false, false,
            true);
    ASSERT_TRUE(s.sizeFixed) << c.what;
    CVTexture* holder = s.texture;
    s.width = s.cellWidth = c.given;
    s.SetTexture(holder);
    EXPECT_FLOAT_EQ(s.width, c.width) << c.what;
    EXPECT_FLOAT_EQ(s.cellWidth, c.cellWidth) << c.what;
    EXPECT_FLOAT_EQ(s.height, 20) << c.what;  // fixed and not negative
    s.SetCellGrid(2, 1, c.given, c.given);
    EXPECT_FLOAT_EQ(s.cellWidth, c.gridCellW) << c.what;
    EXPECT_FLOAT_EQ(s.cellHeight, c.gridCellH) << c.what;
  }
}

TEST_F(SpriteTest, BlankTextureHasTheDrawnSizeAndImpossibleSizesMakeNone) {
  struct Case {
    const char* what;
    float w, h;
    bool made;
  };
  const Case cases[] = {
      {"layout size", 100.7f, 50, true},
      {"larger than any texture", 1e30f, 50, false},
      {"not a number", std::nanf(""), 50, false},
      {"negative", -3, 50, false},
  };
  for (const Case& c : cases) {
    CVSprite s;
    s.Setup("", Vector3(), Color(255, 255, 255, 255), c.w, c.h, 1, 1, 0, 0, 0, 0, 0, c.w, c.h, false, false, false);
    s.CreateBlankTexture();
    ASSERT_NE(s.texture, nullptr) << c.what;
    CDGTexture* t = s.texture->GetTexture();
    EXPECT_EQ(t != nullptr, c.made) << c.what;
    if (!t) continue;
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(t->GetSize(&w, &h));
    EXPECT_EQ(w, 100u);
    EXPECT_EQ(h, 50u);
    EXPECT_FLOAT_EQ(s.width, 100);  // then taken from the texture
  }
}

TEST_F(SpriteTest, UnchangedSpriteIsQueuedEveryFrameButRebuiltOnlyAfterAChange) {
  CVSprite s;
  s.Setup(sheet.c_str(), Vector3(), Color(255, 255, 255, 255), -1, -1, 1, 1, 0, 0, 0, 0, 0, -1, -1, false, false, true);
  ASSERT_NE(s.boardRenderer, nullptr);
  EXPECT_TRUE(s.UpdateRenderer(false, false, true));
  EXPECT_FALSE(s.IsChanged());
  // A value set to what it already is changes nothing.
  s.SetWidth(s.width);
  s.SetVertexColour(0, s.vertexColour[0]);
  s.SetFlag(CVSprite::kFlagAdditive, false);
  EXPECT_FALSE(s.IsChanged());
  s.boardRenderer->SetSize(1, 1);  // would show up if the sprite rebuilt
  EXPECT_TRUE(s.UpdateRenderer(false, false, true));
  EXPECT_EQ(nm.mgr->FillingQueue().size(), 2u);
  s.SetCell(0);
  EXPECT_FALSE(s.IsChanged());
  s.SetFlag(CVSprite::kFlagAdditive, true);
  EXPECT_TRUE(s.IsChanged());
  EXPECT_TRUE(s.UpdateRenderer(false, false, false));  // queueArg 0: updated, not queued
  EXPECT_EQ(nm.mgr->FillingQueue().size(), 2u);
  EXPECT_EQ(s.boardRenderer->additive, 1u);
  EXPECT_FALSE(s.IsChanged());
}

TEST_F(SpriteTest, FailedRebuildKeepsTheChangedFlag) {
  CVSprite s;
  s.Setup(sheet.c_str(), Vector3(), Color(), -1, -1, 1, 1, 0, 0, 0, 0, 0, -1, -1, false, false, true);
  ASSERT_NE(s.boardRenderer, nullptr);
  s.boardRenderer->OnManagerGone();  // the board can no longer build
  EXPECT_TRUE(s.UpdateRenderer(false, false, true));
  EXPECT_TRUE(s.IsChanged());
}

TEST_F(SpriteTest, PlacementInScreenCameraAndPixelSpace) {
  struct Case {
    const char* what;
    bool screen, camera;
    uint32_t mode;
    Vector3 pos, xAxis;
  };
  const Case cases[] = {
      {"flag 4: pixels", true, false, CDGBoardRenderer::kScreen, Vector3(100, 50, 2), Vector3(1, 0, 0)},
      {"flag 6: camera space", false, true, CDGBoardRenderer::kWorld, Vector3(100, 50, 2), Vector3(-1, 0, 0)},
      {"neither: pixels into the camera's space", false, false, CDGBoardRenderer::kWorld, Vector3(540, 310, 2),
       Vector3(-1, 0, 0)},
  };
  for (const Case& c : cases) {
    CVSprite s;
    s.Setup(sheet.c_str(), Vector3(), Color(255, 255, 255, 255), 64, 32, 1, 1, 0, 0, 0, 0, 0, 64, 32, false, false,
            true);
    s.SetMatrix(MakeTranslationMatrix(100, 50, 2));
    s.SetFlag(CVSprite::kFlagScreen, c.screen);
    s.SetFlag(CVSprite::kFlagCameraSpace, c.camera);
    ASSERT_TRUE(s.UpdateRenderer(false, false, true));
    CDGBoardRenderer* b = s.boardRenderer;
    EXPECT_EQ(b->GetMode(), c.mode) << c.what;
    nm.dev->draws.clear();
    b->Draw(false, false, false);
    ASSERT_EQ(nm.dev->draws.size(), 1u);
    const auto& d = nm.dev->draws[0];
    if (c.mode == CDGBoardRenderer::kScreen) {
      EXPECT_FLOAT_EQ(d.pixels[0].x, c.pos.x - 0.5f) << c.what;
      EXPECT_FLOAT_EQ(d.pixels[0].y, c.pos.y - 0.5f) << c.what;
      EXPECT_FLOAT_EQ(d.pixels[3].x - d.pixels[0].x, 64 * c.xAxis.x) << c.what;
    } else {
      EXPECT_FLOAT_EQ(d.world[0].x, c.pos.x) << c.what;
      EXPECT_FLOAT_EQ(d.world[0].y, c.pos.y) << c.what;
      EXPECT_FLOAT_EQ(d.world[0].z, c.pos.z) << c.what;
      EXPECT_FLOAT_EQ(d.world[1].x - d.world[0].x, 64 * c.xAxis.x) << c.what;
    }
  }
}

TEST_F(SpriteTest, BoardModeByName) {
  BoardDef& def = GetBoardDef();
  const BoardDef saved = def;
  std::memset(&def, 0, sizeof def);
  CVSprite s;
  s.SetBoardModeByName("", false);  // an empty name never matches a missing definition
  EXPECT_EQ(s.boardMode, 1);
  s.SetBoardModeByName("anything", true);
  EXPECT_EQ(s.boardMode, 0);
  s.SetBoardModeByName(nullptr, true);
  EXPECT_EQ(s.boardMode, 1);
  std::strcpy(def.textureName, "board");
  s.SetBoardModeByName("boards", false);
  EXPECT_EQ(s.boardMode, 1);
  s.SetBoardModeByName("board", false);
  EXPECT_EQ(s.boardMode, 0);
  // The definition names no model file: the model renderer has nothing to draw, nothing crashes.
  ASSERT_NE(s.modelRenderer, nullptr);
  EXPECT_EQ(s.GetRenderer(), s.modelRenderer);
  EXPECT_FALSE(s.modelRenderer->HasModel());
  EXPECT_TRUE(s.UpdateRenderer(false, false, true));
  def = saved;
}

TEST_F(SpriteTest, SharedHolderSurvivesUntilItsLastSprite) {
  auto* a = new CVSprite();
  auto* b = new CVSprite();
  a->Setup(sheet.c_str(), Vector3(), Color(), -1, -1, 1, 1, 0, 0, 0, 0, 0, -1, -1, false, true, true);
  b->Setup(sheet.c_str(), Vector3(), Color(), -1, -1, 1, 1, 0, 0, 0, 0, 0, -1, -1, false, true, true);
  ASSERT_EQ(a->texture, b->texture);
  CVTexture* shared = a->texture;
  EXPECT_EQ(shared->Users(), 2);
  delete a;  // the holder stays for b (address sanitizer would flag a double free)
  EXPECT_EQ(shared->Users(), 1);
  EXPECT_NE(b->texture->GetTexture(), nullptr);
  b->Release();
  EXPECT_EQ(b->texture, nullptr);
  delete b;
}

TEST_F(SpriteTest, LoadBoardDefReadsTheFileOrZeros) {
  std::vector<uint8_t> file(64, 0);
  std::memcpy(file.data(), "brd", 3);
  std::memcpy(file.data() + 16, "board.x", 7);
  file[48] = 50;
  dir.Write("Data/Model/boarddef.bin", file);
  LoadBoardDef();
  EXPECT_STREQ(GetBoardDef().textureName, "brd");
  EXPECT_STREQ(GetBoardDef().modelFile, "board.x");
  EXPECT_EQ(GetBoardDef().widthPercent, 50u);
  dir.Write("Data/Model/boarddef.bin", std::vector<uint8_t>(16, 'x'));  // short, unterminated
  LoadBoardDef();
  EXPECT_EQ(std::strlen(GetBoardDef().textureName), 15u);
  EXPECT_EQ(GetBoardDef().widthPercent, 0u);
  std::memset(&GetBoardDef(), 0, sizeof(BoardDef));
}

}  // namespace
