// The renderers on the real OpenGL device, offscreen: what lands on which pixel.
#include <gtest/gtest.h>

#include <array>

#include "platform/gl/gl_context.h"
#include "render/board_renderer.h"
#include "render/sprite.h"
#include "render/texture_holder.h"
#include "tests/support/offscreen_gl_suite.h"
#include "render_fixture.h"

namespace {

using Rgba = std::array<uint8_t, 4>;

class RenderGlTest : public v4test::OffscreenGlSuite<> {
 protected:
  void SetUp() override {
    ASSERT_NE(Context(), nullptr) << "no offscreen OpenGL context";
    mgr = new CDGManager();
    ASSERT_TRUE(mgr->CreateDevice(nullptr, true, 1280, 720, 32));
    mgr->SetDefaultRenderStates(false);  // point filtering, flat shading
    ASSERT_TRUE(v4test::SetDefaultCamera(mgr));
    SetDGManager(mgr);
  }
  void TearDown() override {
    SetDGManager(nullptr);
    if (mgr) mgr->Release();
  }

  // One frame of the queued renderers; the back buffer stays readable afterwards.
  void Frame() {
    mgr->SwapRenderQueues();
    ASSERT_TRUE(mgr->RenderFrame());
    ASSERT_TRUE(mgr->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &frame));
  }
  Rgba At(int x, int y) const {
    const uint8_t* p = &frame[(static_cast<size_t>(y) * 1280 + x) * 4];
    return {p[0], p[1], p[2], p[3]};
  }
  // Pixels of the frame whose red channel is above 128, as a bounding box and a count.
  struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1, count = 0;
  };
  Box Lit(int channel = 0) const {
    Box b;
    for (int y = 0; y < 720; ++y)
      for (int x = 0; x < 1280; ++x)
        if (frame[(static_cast<size_t>(y) * 1280 + x) * 4 + channel] > 128) {
          b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y), b.x1 = std::max(b.x1, x), b.y1 = std::max(b.y1, y);
          ++b.count;
        }
    return b;
  }
  CDGBoardRenderer* Board(float x, float y, float z, float w, float h, uint32_t argb, bool screen) {
    auto* b = new CDGBoardRenderer(mgr);
    b->SetMode(screen ? CDGBoardRenderer::kScreen : CDGBoardRenderer::kWorld);
    if (screen) {
      b->SetPosition(x, y, z);
      b->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0));
    } else {
      b->SetPosition(640 - x, 360 - y, z);
      b->SetAxes(Vector3(-1, 0, 0), Vector3(0, -1, 0));
    }
    b->SetSize(w, h);
    b->SetColors(argb, argb, argb, argb, true);
    return b;
  }

  CDGManager* mgr = nullptr;
  std::vector<uint8_t> frame;
};

TEST_F(RenderGlTest, BoardCoversExactlyItsPixelsInScreenAndWorldMode) {
  for (bool screen : {true, false}) {
    CDGBoardRenderer* b = Board(100, 50, 0, 64, 32, 0xFFFFFFFFu, screen);
    b->Queue(true);
    Frame();
    const Box box = Lit();
    EXPECT_EQ(box.x0, 100) << (screen ? "screen" : "world");
    EXPECT_EQ(box.y0, 50);
    EXPECT_EQ(box.x1, 163);
    EXPECT_EQ(box.y1, 81);
    EXPECT_EQ(box.count, 64 * 32);
    EXPECT_EQ(At(10, 10), (Rgba{0, 0, 0, 255}));  // cleared to opaque black
    b->Release();
  }
}

TEST_F(RenderGlTest, AlphaAndAdditiveBlending) {
  CDGBoardRenderer* under = Board(0, 0, 0, 40, 20, 0xFF0000FFu, false);  // blue
  CDGBoardRenderer* alpha = Board(0, 0, 1, 20, 20, 0x80FF0000u, false);  // half red
  CDGBoardRenderer* add = Board(20, 0, 1, 20, 20, 0x80FF0000u, false);
  add->additive = 1;
  for (auto* b : {under, alpha, add}) b->Queue(true);
  Frame();
  const Rgba a = At(10, 10), d = At(30, 10);
  EXPECT_NEAR(a[0], 128, 1);
  EXPECT_NEAR(a[2], 127, 1);
  EXPECT_NEAR(d[0], 128, 1);
  EXPECT_EQ(d[2], 255);
  for (auto* b : {under, alpha, add}) b->Release();
}

TEST_F(RenderGlTest, LargerZDrawsOnTop) {
  CDGBoardRenderer* nearer = Board(10, 10, 5, 30, 30, 0xFFFF0000u, false);
  CDGBoardRenderer* farther = Board(20, 20, 1, 30, 30, 0xFF00FF00u, false);
  nearer->Queue(true);  // queued first, still drawn last
  farther->Queue(true);
  Frame();
  EXPECT_EQ(At(25, 25)[0], 255);
  EXPECT_EQ(At(25, 25)[1], 0);
  EXPECT_EQ(At(45, 45)[1], 255);
  nearer->Release();
  farther->Release();
}

TEST_F(RenderGlTest, OneCellOfASpriteSheetLandsWhereItShould) {
  v4test::TempModuleDir dir;
  // 4 x 2 cells of 32 x 32; cell i has red = 16 * (i + 1), green marks the cell's top-left texel.
  auto texel = [](int x, int y) -> uint32_t {
    const int cell = (y / 32) * 4 + x / 32;
    const uint32_t g = (x % 32 == 0 && y % 32 == 0) ? 255u : 0u;
    return static_cast<uint32_t>(16 * (cell + 1)) << 24 | g << 16 | 0xFFu;
  };
  dir.Write("Data/Test/sheet.png", v4test::PngOf(128, 64, texel));
  const std::string sheet = std::string(GetModuleDir()) + "Data\\Test\\sheet.png";
  for (bool mirrored : {false, true}) {
    CVSprite s;
    s.Setup(sheet.c_str(), Vector3(), Color(255, 255, 255, 255), -1, -1, 4, 2, 0, 0, 0, 0, 0, -1, -1, false, false,
            true);
    ASSERT_NE(s.texture, nullptr);
    EXPECT_FLOAT_EQ(s.width, 32.0f);
    s.SetCell(5);  // column 1 of row 1
    s.SetMatrix(MakeTranslationMatrix(200, 100, 0));
    // Mirroring is checked in screen space, where texels fall on pixel centres; through the flat
    // camera pixel centres sit on texel edges (the device's pixel-centre convention), which is
    // exact only for unmirrored cells.
    s.SetFlag(CVSprite::kFlagScreen, mirrored);
    ASSERT_TRUE(s.UpdateRenderer(mirrored, false, true));
    Frame();
    EXPECT_EQ(At(200, 100)[0] == 96 || At(231, 100)[0] == 96, true);
    int inside = 0;
    for (int y = 100; y < 132; ++y)
      for (int x = 200; x < 232; ++x) inside += At(x, y)[0] == 96;
    EXPECT_EQ(inside, 32 * 32);
    EXPECT_EQ(At(199, 100)[0], 0);
    EXPECT_EQ(At(232, 131)[0], 0);
    EXPECT_EQ(At(200, 132)[0], 0);
    // The cell's top-left texel: left without mirroring, right with it.
    EXPECT_EQ(At(mirrored ? 231 : 200, 100)[1], 255) << (mirrored ? "mirrored" : "plain");
    EXPECT_EQ(At(mirrored ? 200 : 231, 100)[1], 0);
  }
}

TEST_F(RenderGlTest, RenderToTextureKeepsOrientation) {
  // Overlays draw through the camera into a picture-sized target: a red band along the top.
  CDGBoardRenderer* band = Board(0, 0, 0, 64, 8, 0xFFFF0000u, false);
  mgr->UpdateRenderers();
  mgr->AddToOverlayList(band);
  CDGTexture* tex = mgr->RenderToTexture(1280, 720);
  ASSERT_NE(tex, nullptr);
  std::vector<uint8_t> px;
  ASSERT_TRUE(mgr->Device()->ReadTexture(tex->DeviceId(), &px));
  EXPECT_EQ(px[0], 255);  // top-left red
  EXPECT_EQ(px[(7 * 1280 + 63) * 4], 255);
  EXPECT_EQ(px[(8 * 1280) * 4 + 3], 0);  // transparent below the band
  EXPECT_EQ(px[(719 * 1280) * 4 + 3], 0);
  // Shown at a tenth of its size: the band is the top row of the board.
  CDGBoardRenderer* show = Board(300, 300, 0, 128, 72, 0xFFFFFFFFu, true);
  show->SetTexture(tex);
  show->BuildVertices();
  show->Queue(true);
  Frame();
  EXPECT_EQ(At(302, 300)[0], 255);
  EXPECT_EQ(At(302, 301)[0], 0);
  EXPECT_EQ(At(302, 371)[0], 0);
  tex->Release();
  show->Release();
  band->Release();
}

// The picture holds premultiplied colour: half-transparent white is 128 in it, as on the screen,
// alone and over an opaque black part.
TEST_F(RenderGlTest, RenderToTextureHoldsPremultipliedColour) {
  CDGBoardRenderer* black = Board(0, 0, 0, 32, 16, 0xFF000000u, false);
  CDGBoardRenderer* half = Board(0, 0, 0.5f, 64, 8, 0x80FFFFFFu, false);  // drawn after the black
  mgr->UpdateRenderers();
  mgr->AddToOverlayList(black);
  mgr->AddToOverlayList(half);
  CDGTexture* tex = mgr->RenderToTexture(1280, 720);
  ASSERT_NE(tex, nullptr);
  std::vector<uint8_t> px;
  ASSERT_TRUE(mgr->Device()->ReadTexture(tex->DeviceId(), &px));
  auto at = [&](int x, int y) {
    return Rgba{px[(y * 1280 + x) * 4], px[(y * 1280 + x) * 4 + 1], px[(y * 1280 + x) * 4 + 2],
                px[(y * 1280 + x) * 4 + 3]};
  };
  // Over black (x < 32): white at alpha 128 gives 128 and an opaque pixel.
  EXPECT_NEAR(at(4, 4)[0], 128, 1);
  EXPECT_NEAR(at(4, 4)[1], 128, 1);
  EXPECT_EQ(at(4, 4)[3], 255);
  // Alone (x >= 32): colour 128 premultiplied, alpha 128.
  EXPECT_NEAR(at(40, 4)[0], 128, 1);
  EXPECT_NEAR(at(40, 4)[3], 128, 1);
  // The black part below the white band stays opaque black; outside everything is empty.
  EXPECT_EQ(at(4, 12)[0], 0);
  EXPECT_EQ(at(4, 12)[3], 255);
  EXPECT_EQ(at(100, 100)[3], 0);
  // Drawing on the screen afterwards is not premultiplied.
  mgr->ClearOverlayList();
  CDGBoardRenderer* show = Board(300, 300, 0, 10, 10, 0x80FFFFFFu, true);
  show->Queue(true);
  Frame();
  EXPECT_NEAR(At(305, 305)[0], 128, 1);
  tex->Release();
  show->Release();
  half->Release();
  black->Release();
}

TEST_F(RenderGlTest, RecreatedDeviceDrawsTheSameTextures) {
  auto* tex = new CDGTexture(mgr);
  ASSERT_TRUE(tex->CreateEmpty(2, 2));
  const uint8_t green[4 * 4] = {0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255};  // B,G,R,A
  const DGRect all{0, 0, 2, 2};
  ASSERT_TRUE(tex->UpdateFromMemory(green, 8, 2, 2, nullptr, &all, kFmtA8R8G8B8));
  CDGBoardRenderer* b = Board(50, 50, 0, 20, 20, 0xFFFFFFFFu, true);
  b->SetTexture(tex);
  b->BuildVertices();
  ASSERT_TRUE(mgr->RecreateDevice());
  b->Queue(true);
  Frame();
  EXPECT_EQ(At(55, 55)[1], 255);
  EXPECT_EQ(At(55, 55)[0], 0);
  b->Release();
  tex->Release();
}

}  // namespace
