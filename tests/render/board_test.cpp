// The board renderer on the null device: vertices, texture coordinates, keys, blending, depth,
// the multi-pass path and the hit test.
#include <gtest/gtest.h>

#include "render/board_renderer.h"
#include "render_fixture.h"

namespace {

class PassEffect : public CDGEffect {
 public:
  explicit PassEffect(int passes) : passes_(passes) {}
  int Begin() override { return passes_; }

 private:
  int passes_;
};

class BoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    board = new CDGBoardRenderer(nm.mgr);
    tex = new CDGTexture(nm.mgr);
    ASSERT_TRUE(tex->CreateEmpty(256, 128));
  }
  void TearDown() override {
    board->Release();
    tex->Release();
  }
  // Draws the board as one frame and returns the recorded draws.
  std::vector<plat::NullDevice::Draw> Frame() {
    nm.dev->draws.clear();
    board->Queue(true);
    nm.mgr->SwapRenderQueues();
    EXPECT_TRUE(nm.mgr->RenderFrame());
    return nm.dev->draws;
  }
  v4test::NullDeviceManager nm;
  CDGBoardRenderer* board = nullptr;
  CDGTexture* tex = nullptr;
};

TEST_F(BoardTest, TextureCoordinatesFromTheSourceRectangle) {
  struct Case {
    const char* what;
    float left, top, w, h;
    float u0, u1, v0, v1;
  };
  const Case cases[] = {
      {"default: whole texture", -1, -1, 0, 0, 0, 1, 0, 1},
      {"negative left, whatever the width", -0.6f, 32, 50, 32, 0, 1, 0.25f, 0.5f},
      {"a cell", 64, 32, 64, 32, 0.25f, 0.5f, 0.25f, 0.5f},
      {"mirrored cell", 128, 32, -64, 32, 0.5f, 0.25f, 0.25f, 0.5f},
      {"left rounds to 0", -0.4f, 0, 128, 64, -0.4f / 256, 127.6f / 256, 0, 0.5f},
  };
  board->SetTexture(tex);
  board->SetSize(64, 32);
  for (const Case& c : cases) {
    board->SetSourceRect(c.left, c.top, c.w, c.h);
    ASSERT_TRUE(board->BuildVertices());
    const plat::WorldVertex* q = board->WorldQuad();
    EXPECT_FLOAT_EQ(q[0].u, c.u0) << c.what;
    EXPECT_FLOAT_EQ(q[1].u, c.u1) << c.what;
    EXPECT_FLOAT_EQ(q[0].v, c.v0) << c.what;
    EXPECT_FLOAT_EQ(q[2].v, c.v1) << c.what;
  }
}

TEST_F(BoardTest, ScreenModeVerticesSitHalfAPixelBackAndModeChangesRebuild) {
  board->SetPosition(100, 50, 7);
  board->SetSize(64, 32);
  board->SetColors(1, 2, 3, 4);
  board->SetMode(CDGBoardRenderer::kScreen, true);
  EXPECT_EQ(board->BuiltMode(), static_cast<uint32_t>(CDGBoardRenderer::kScreen));
  const plat::ScreenVertex* s = board->ScreenQuad();
  EXPECT_FLOAT_EQ(s[0].x, 99.5f);
  EXPECT_FLOAT_EQ(s[0].y, 49.5f);
  EXPECT_FLOAT_EQ(s[3].x, 163.5f);
  EXPECT_FLOAT_EQ(s[3].y, 17.5f);  // default y axis (0, -1, 0)
  EXPECT_FLOAT_EQ(s[0].z, 0.5f);
  EXPECT_EQ(s[2].argb, 3u);
  EXPECT_FLOAT_EQ(board->GetSortKey(), 7.0f);
  board->SetMode(CDGBoardRenderer::kWorld);
  EXPECT_EQ(board->BuiltMode(), static_cast<uint32_t>(CDGBoardRenderer::kScreen));  // not until the rebuild
  ASSERT_TRUE(board->BuildVertices());
  EXPECT_EQ(board->BuiltMode(), static_cast<uint32_t>(CDGBoardRenderer::kWorld));
  auto draws = Frame();
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_FALSE(draws[0].screen);
  EXPECT_FLOAT_EQ(draws[0].world[0].x, 100.0f);  // placed by the world matrix
  EXPECT_FLOAT_EQ(draws[0].world[3].x, 164.0f);
}

TEST_F(BoardTest, NearerBoardsGetLargerKeys) {
  CDGBoardRenderer* other = new CDGBoardRenderer(nm.mgr);
  board->SetPosition(0, 0, 10, true);
  other->SetPosition(0, 0, 5, true);
  EXPECT_GT(board->GetSortKey(), other->GetSortKey());
  other->Release();
}

TEST_F(BoardTest, BlendAndDepthSwitches) {
  struct Case {
    uint32_t mode;
    uint32_t additive;
    uint8_t depthKept;
    plat::BlendFactor dst;
    bool z;
  };
  const Case cases[] = {{CDGBoardRenderer::kWorld, 0, 1, plat::BlendFactor::InvSrcAlpha, true},
                        {CDGBoardRenderer::kWorld, 1, 1, plat::BlendFactor::One, true},
                        {CDGBoardRenderer::kWorld, 0, 0, plat::BlendFactor::InvSrcAlpha, false},
                        {CDGBoardRenderer::kScreen, 1, 1, plat::BlendFactor::One, false}};
  board->SetSize(8, 8);
  for (const Case& c : cases) {
    board->SetMode(c.mode, true);
    board->additive = c.additive;
    board->depthTestKept = c.depthKept;
    auto draws = Frame();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].dst, c.dst);
    EXPECT_EQ(draws[0].zEnable, c.z);
    EXPECT_TRUE(nm.dev->GetZEnable());  // put back after drawing
  }
}

TEST_F(BoardTest, MultiPassPingPongsAndNeverSamplesTheTargetItDraws) {
  board->SetTexture(tex);
  board->SetSize(64, 32);
  board->SetSourceRect(128, 0, -64, 32, true);  // mirrored: the target is still 64 x 32
  auto* fx = new PassEffect(4);
  board->AttachResource(fx, false, false);
  ASSERT_NE(board->RenderTarget(0), nullptr);
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(board->RenderTarget(0)->GetSurfaceSize(&w, &h));
  EXPECT_EQ(w, 64u);
  EXPECT_EQ(h, 32u);
  auto draws = Frame();
  ASSERT_EQ(draws.size(), 4u);
  for (const auto& d : draws) EXPECT_NE(d.texture, d.target) << "a pass read the target it was drawing";
  const plat::TextureId a = board->RenderTarget(0)->DeviceId();
  ASSERT_NE(board->RenderTarget(1), nullptr);
  const plat::TextureId b = board->RenderTarget(1)->DeviceId();
  EXPECT_EQ(draws[0].target, a);
  EXPECT_EQ(draws[0].texture, tex->DeviceId());
  EXPECT_EQ(draws[1].target, b);
  EXPECT_EQ(draws[1].texture, a);
  EXPECT_EQ(draws[2].target, a);
  EXPECT_EQ(draws[2].texture, b);
  EXPECT_EQ(draws[3].target, 0u);  // the last pass shows the result
  EXPECT_EQ(draws[3].texture, a);
  // Disabling the effect leaves one plain draw of the board's own texture.
  fx->SetEnabled(false);
  draws = Frame();
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0].texture, tex->DeviceId());
  EXPECT_EQ(draws[0].target, 0u);
  board->DetachResource(fx);
  EXPECT_EQ(board->RenderTarget(0), nullptr);
  fx->Release();
}

TEST_F(BoardTest, DefaultSourceRectangleSizesTheTargetFromTheTexture) {
  board->SetTexture(tex);
  board->SetSize(10, 10, true);
  auto* fx = new PassEffect(2);
  board->AttachResource(fx, false, false);
  ASSERT_NE(board->RenderTarget(0), nullptr);
  uint32_t w = 0, h = 0;
  ASSERT_TRUE(board->RenderTarget(0)->GetSurfaceSize(&w, &h));
  EXPECT_EQ(w, 256u);
  EXPECT_EQ(h, 128u);
  board->ReleaseResources();
  fx->Release();
}

TEST_F(BoardTest, HitTestCoversTheDrawnPixelsInBothModes) {
  struct Point {
    float x, y;
    bool hit;
  };
  const Point points[] = {{100, 50, true},  {163, 81, true},  {130, 60, true},  {99, 50, false},
                          {164, 50, false}, {100, 49, false}, {100, 82, false}, {163, 82, false}};
  // Screen mode: 64 x 32 at (100, 50), y axis downwards.
  board->SetMode(CDGBoardRenderer::kScreen);
  board->SetPosition(100, 50, 0);
  board->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0));
  board->SetSize(64, 32, true);
  for (const Point& p : points) EXPECT_EQ(board->HitTest(p.x, p.y), p.hit) << "screen " << p.x << "," << p.y;
  // World mode through the default camera, as a sprite places it (axes' x and y negated).
  board->SetMode(CDGBoardRenderer::kWorld);
  board->SetPosition(540, 310, 0);
  board->SetAxes(Vector3(-1, 0, 0), Vector3(0, -1, 0));
  board->SetSize(64, 32, true);
  for (const Point& p : points) EXPECT_EQ(board->HitTest(p.x, p.y), p.hit) << "world " << p.x << "," << p.y;
  // The default axes (1,0,0)/(0,-1,0) give corners that a box probe would need sorted.
  board->SetPosition(540, 310, 0);
  board->SetAxes(Vector3(1, 0, 0), Vector3(0, -1, 0));
  board->SetSize(64, 32, true);
  EXPECT_TRUE(board->HitTest(70, 60));    // world (570, 300)
  EXPECT_FALSE(board->HitTest(110, 60));  // world (530, 300)
}

TEST_F(BoardTest, PixelHitTestSkipsTransparentTexels) {
  // Left half opaque, right half transparent.
  std::vector<uint8_t> px(256 * 128 * 4, 0);
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) px[(y * 256 + x) * 4 + 3] = 255;
  std::vector<uint8_t> bgra = px;
  const DGRect all{0, 0, 256, 128};
  ASSERT_TRUE(tex->UpdateFromMemory(bgra.data(), 256 * 4, 256, 128, nullptr, &all, kFmtA8R8G8B8));
  board->SetTexture(tex);
  board->SetMode(CDGBoardRenderer::kScreen);
  board->SetPosition(0, 0, 0);
  board->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0));
  board->SetSize(256, 128, true);
  EXPECT_TRUE(board->HitTestPixel(10, 10));
  EXPECT_TRUE(board->HitTestPixel(127, 10));
  EXPECT_FALSE(board->HitTestPixel(128, 10));
  EXPECT_TRUE(board->HitTest(128, 10));  // the geometric test alone still hits
  // Mirrored: the transparent half is now on the left.
  board->SetSourceRect(256, 0, -256, 128, true);
  EXPECT_FALSE(board->HitTestPixel(10, 10));
  EXPECT_TRUE(board->HitTestPixel(200, 10));
}

}  // namespace
