// The OpenGL device on a real offscreen context (Mesa): coverage, blending, targets, present.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/gl/gfx_device.h"
#include "platform/gl/gl_context.h"
#include "tests/support/offscreen_gl_suite.h"

namespace {

using plat::BlendFactor;
using plat::ScreenVertex;

// The window's own framebuffer (bottom-up rows).
void glReadPixelsForTest(int w, int h, uint8_t* out) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, out);
}

class GlDeviceTest : public v4test::OffscreenGlSuite<320, 200> {
 protected:
  void SetUp() override {
    ASSERT_NE(Context(), nullptr) << "no offscreen OpenGL context";
    dev_ = plat::CreateGlDevice(256, 128);
    ASSERT_NE(dev_, nullptr);
    dev_->Clear(true, true, 0xFF000000u, 1.0f);
  }

  // Pixel (x, y) of the back buffer as RGBA.
  std::array<uint8_t, 4> Pixel(int x, int y) {
    std::vector<uint8_t> px;
    EXPECT_TRUE(dev_->ReadBackBuffer(plat::Rect{x, y, 1, 1}, &px));
    return {px[0], px[1], px[2], px[3]};
  }

  // A pre-transformed rectangle as the board renderer builds it (corners shifted by -0.5).
  void Quad(float x, float y, float w, float h, uint32_t argb, float z = 0.5f) {
    const ScreenVertex v[4] = {{x - 0.5f, y - 0.5f, z, 1, argb, 0, 0},
                               {x + w - 0.5f, y - 0.5f, z, 1, argb, 1, 0},
                               {x - 0.5f, y + h - 0.5f, z, 1, argb, 0, 1},
                               {x + w - 0.5f, y + h - 0.5f, z, 1, argb, 1, 1}};
    dev_->DrawScreenQuad(v);
  }

  std::unique_ptr<plat::GfxDevice> dev_;
};

TEST_F(GlDeviceTest, ScreenQuadCoversExactlyItsPixels) {
  dev_->SetZEnable(false);
  Quad(100, 50, 64, 32, 0xFFFFFFFFu);
  std::vector<uint8_t> all;
  ASSERT_TRUE(dev_->ReadBackBuffer(plat::Rect{0, 0, 256, 128}, &all));
  int outside = 0, inside = 0;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 256; ++x) {
      const bool lit = all[(y * 256 + x) * 4] == 255;
      const bool want = x >= 100 && x <= 163 && y >= 50 && y <= 81;
      if (want && lit) ++inside;
      if (lit != want) ++outside;
    }
  EXPECT_EQ(inside, 64 * 32);
  EXPECT_EQ(outside, 0);
}

TEST_F(GlDeviceTest, BlendFactorsGiveTheExpectedColours) {
  struct Case {
    const char* what;
    BlendFactor src, dst;
    uint32_t under, over;
    std::array<uint8_t, 3> want;
  };
  const Case cases[] = {
      // 50% red over blue: half of each.
      {"alpha", BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha, 0xFF0000FFu, 0x80FF0000u, {128, 0, 127}},
      // Additive: red scaled by its alpha added to the blue.
      {"additive", BlendFactor::SrcAlpha, BlendFactor::One, 0xFF0000FFu, 0x80FF0000u, {128, 0, 255}},
      // Pre-multiplied (overlay into a texture).
      {"one/inverse", BlendFactor::One, BlendFactor::InvSrcAlpha, 0xFF0000FFu, 0x80400000u, {64, 0, 127}},
  };
  int x = 0;
  for (const Case& c : cases) {
    dev_->SetZEnable(false);
    dev_->SetBlend(BlendFactor::One, BlendFactor::Zero);
    Quad(static_cast<float>(x), 0, 8, 8, c.under);
    dev_->SetBlend(c.src, c.dst);
    Quad(static_cast<float>(x), 0, 8, 8, c.over);
    const auto p = Pixel(x + 4, 4);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[i], c.want[i], 1) << c.what << " channel " << i;
    x += 10;
  }
}

TEST_F(GlDeviceTest, TextureModulatesVertexColourAndNoTextureReadsWhite) {
  const uint8_t texel[4] = {200, 100, 50, 255};
  const plat::TextureId t = dev_->CreateTexture(1, 1, texel);
  ASSERT_NE(t, 0u);
  dev_->SetZEnable(false);
  dev_->SetBlend(BlendFactor::One, BlendFactor::Zero);
  dev_->BindTexture(t);
  Quad(0, 0, 4, 4, 0xFF808080u);  // half grey: half the texel
  dev_->BindTexture(0);
  Quad(10, 0, 4, 4, 0xFF336699u);  // no texture: the vertex colour itself
  const auto a = Pixel(1, 1), b = Pixel(11, 1);
  EXPECT_NEAR(a[0], 100, 1);
  EXPECT_NEAR(a[1], 50, 1);
  EXPECT_NEAR(a[2], 25, 1);
  EXPECT_EQ(b[0], 0x33);
  EXPECT_EQ(b[1], 0x66);
  EXPECT_EQ(b[2], 0x99);
}

// The device leaves out blending for opaque pictures and drops clear ones blended over the
// target; neither may change a pixel. Each case draws a 2 x 2 picture over a blue background and
// checks the pixel against the blend worked by hand.
TEST_F(GlDeviceTest, OpaqueAndClearPicturesBlendAsAnyOther) {
  struct Case {
    const char* what;
    uint8_t alpha;  // of every texel
    BlendFactor src, dst;
    bool premultiplied;
    uint32_t vertex;
    std::array<uint8_t, 3> want;
  };
  const Case cases[] = {
      {"opaque over", 255, BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha, false, 0xFFFFFFFFu, {200, 100, 0}},
      {"opaque, translucent vertex",
       255,
       BlendFactor::SrcAlpha,
       BlendFactor::InvSrcAlpha,
       false,
       0x80FFFFFFu,
       {100, 50, 128}},
      {"opaque additive", 255, BlendFactor::SrcAlpha, BlendFactor::One, false, 0xFFFFFFFFu, {200, 100, 255}},
      {"clear over", 0, BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha, false, 0xFFFFFFFFu, {0, 0, 255}},
      {"clear additive", 0, BlendFactor::SrcAlpha, BlendFactor::One, false, 0xFFFFFFFFu, {0, 0, 255}},
      // A One source factor adds the colour of clear texels unless the output is premultiplied.
      {"clear, source One", 0, BlendFactor::One, BlendFactor::InvSrcAlpha, false, 0xFFFFFFFFu, {200, 100, 255}},
      {"clear, premultiplied", 0, BlendFactor::One, BlendFactor::InvSrcAlpha, true, 0xFFFFFFFFu, {0, 0, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint8_t texels[16] = {200, 100, 0, c.alpha, 200, 100, 0, c.alpha, 200, 100, 0, c.alpha, 200, 100, 0, c.alpha};
    const plat::TextureId t = dev_->CreateTexture(2, 2, texels);
    ASSERT_NE(t, 0u);
    dev_->SetZEnable(false);
    dev_->SetBlend(BlendFactor::One, BlendFactor::Zero);
    dev_->BindTexture(0);
    Quad(0, 0, 8, 8, 0xFF0000FFu);
    dev_->SetBlend(c.src, c.dst);
    dev_->SetPremultipliedOutput(c.premultiplied);
    dev_->BindTexture(t);
    Quad(0, 0, 8, 8, c.vertex);
    dev_->SetPremultipliedOutput(false);
    dev_->BindTexture(0);
    const auto p = Pixel(3, 3);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[i], c.want[i], 1) << "channel " << i;
    dev_->DestroyTexture(t);
  }
}

// A picture drawn one texel per pixel reads its texels exactly under linear filtering (the device
// samples such quads as nearest); drawn at twice its size, linear filtering still blends.
TEST_F(GlDeviceTest, LinearFilterOneTexelPerPixelKeepsTexelsAndStillBlendsWhenScaled) {
  const uint8_t texels[8] = {255, 0, 0, 255, 0, 0, 255, 255};  // red, blue
  const plat::TextureId t = dev_->CreateTexture(2, 1, texels);
  ASSERT_NE(t, 0u);
  dev_->SetZEnable(false);
  dev_->SetLinearFilter(true);
  dev_->SetBlend(BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha);
  dev_->BindTexture(t);
  Quad(10, 10, 2, 1, 0xFFFFFFFFu);
  Quad(20, 10, 4, 1, 0xFFFFFFFFu);
  dev_->BindTexture(0);
  EXPECT_EQ(Pixel(10, 10), (std::array<uint8_t, 4>{255, 0, 0, 255}));
  EXPECT_EQ(Pixel(11, 10), (std::array<uint8_t, 4>{0, 0, 255, 255}));
  // At twice the size the inner pixels fall between the texels.
  const auto mid = Pixel(21, 10);
  EXPECT_GT(mid[0], 100);
  EXPECT_GT(mid[2], 20);
}

TEST_F(GlDeviceTest, WrapRepeatsAndClampStretchesTheEdge) {
  const uint8_t texels[8] = {255, 0, 0, 255, 0, 0, 255, 255};  // red, blue
  const plat::TextureId t = dev_->CreateTexture(2, 1, texels);
  dev_->SetZEnable(false);
  dev_->SetBlend(BlendFactor::One, BlendFactor::Zero);
  dev_->BindTexture(t);
  // u from 0 to 2 over 8 pixels: wrap shows red, blue, red, blue; clamp red, blue, blue, blue.
  const auto quad = [&](float y) {
    const ScreenVertex v[4] = {{-0.5f, y - 0.5f, 0.5f, 1, 0xFFFFFFFFu, 0, 0},
                               {7.5f, y - 0.5f, 0.5f, 1, 0xFFFFFFFFu, 2, 0},
                               {-0.5f, y + 1.5f, 0.5f, 1, 0xFFFFFFFFu, 0, 1},
                               {7.5f, y + 1.5f, 0.5f, 1, 0xFFFFFFFFu, 2, 1}};
    dev_->DrawScreenQuad(v);
  };
  dev_->SetTextureWrap(true);
  quad(0);
  dev_->SetTextureWrap(false);
  quad(4);
  const int wrapRed[8] = {255, 255, 0, 0, 255, 255, 0, 0};
  const int clampRed[8] = {255, 255, 0, 0, 0, 0, 0, 0};
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(Pixel(x, 0)[0], wrapRed[x]) << "wrap " << x;
    EXPECT_EQ(Pixel(x, 4)[0], clampRed[x]) << "clamp " << x;
  }
}

TEST_F(GlDeviceTest, DepthTestIsLessOrEqualAndCanBeSwitchedOff) {
  dev_->SetBlend(BlendFactor::One, BlendFactor::Zero);
  dev_->SetZEnable(true);
  Quad(0, 0, 8, 8, 0xFFFF0000u, 0.5f);
  Quad(0, 0, 8, 8, 0xFF00FF00u, 0.5f);  // equal depth: drawn (less-or-equal)
  Quad(0, 0, 8, 8, 0xFF0000FFu, 0.7f);  // farther: hidden
  EXPECT_EQ(Pixel(4, 4)[1], 255);
  EXPECT_EQ(Pixel(4, 4)[2], 0);
  dev_->SetZEnable(false);
  Quad(0, 0, 8, 8, 0xFF0000FFu, 0.9f);
  EXPECT_EQ(Pixel(4, 4)[2], 255);
}

TEST_F(GlDeviceTest, FlatShadingTakesEachTrianglesFirstVertex) {
  dev_->SetZEnable(false);
  dev_->SetBlend(BlendFactor::One, BlendFactor::Zero);
  dev_->SetFlatShading(true);
  const ScreenVertex v[4] = {{-0.5f, -0.5f, 0.5f, 1, 0xFFFF0000u, 0, 0},
                             {31.5f, -0.5f, 0.5f, 1, 0xFF00FF00u, 1, 0},
                             {-0.5f, 31.5f, 0.5f, 1, 0xFF0000FFu, 0, 1},
                             {31.5f, 31.5f, 0.5f, 1, 0xFFFFFFFFu, 1, 1}};
  dev_->DrawScreenQuad(v);
  const auto upperLeft = Pixel(2, 2), lowerRight = Pixel(29, 29);
  EXPECT_EQ(upperLeft[0], 255);  // triangle 0,1,2: vertex 0's red
  EXPECT_EQ(upperLeft[1], 0);
  EXPECT_EQ(lowerRight[1], 255);  // triangle 1,3,2: vertex 1's green
  EXPECT_EQ(lowerRight[0], 0);
}

TEST_F(GlDeviceTest, RenderTargetKeepsOrientationWhenSampled) {
  const plat::TextureId target = dev_->CreateRenderTarget(16, 16);
  ASSERT_NE(target, 0u);
  dev_->SetZEnable(false);
  dev_->SetBlend(BlendFactor::One, BlendFactor::Zero);
  ASSERT_TRUE(dev_->SetRenderTarget(target));
  dev_->Clear(true, true, 0x00000000u, 1.0f);
  Quad(0, 0, 16, 4, 0xFFFF0000u);  // a red band along the top
  ASSERT_TRUE(dev_->SetRenderTarget(0));
  std::vector<uint8_t> tex;
  ASSERT_TRUE(dev_->ReadTexture(target, &tex));
  EXPECT_EQ(tex[0], 255);                // row 0 is the top
  EXPECT_EQ(tex[(15 * 16) * 4 + 3], 0);  // the bottom stays transparent
  dev_->BindTexture(target);
  Quad(40, 40, 16, 16, 0xFFFFFFFFu);
  dev_->BindTexture(0);
  EXPECT_EQ(Pixel(45, 41)[0], 255);
  EXPECT_EQ(Pixel(45, 54)[0], 0);
}

TEST_F(GlDeviceTest, UpdateAndCopyRespectBounds) {
  const plat::TextureId a = dev_->CreateTexture(8, 8, nullptr);
  const plat::TextureId b = dev_->CreateTexture(4, 4, nullptr);
  std::vector<uint8_t> red(4 * 4 * 4, 0);
  for (size_t i = 0; i < red.size(); i += 4) red[i] = red[i + 3] = 255;
  EXPECT_TRUE(dev_->UpdateTexture(a, plat::Rect{4, 4, 4, 4}, red.data(), 16));
  EXPECT_FALSE(dev_->UpdateTexture(a, plat::Rect{5, 5, 4, 4}, red.data(), 16));
  EXPECT_FALSE(dev_->UpdateTexture(a, plat::Rect{-1, 0, 4, 4}, red.data(), 16));
  EXPECT_TRUE(dev_->CopyTexture(a, plat::Rect{4, 4, 2, 2}, b, 1, 1));
  EXPECT_FALSE(dev_->CopyTexture(a, plat::Rect{6, 6, 4, 4}, b, 0, 0));
  std::vector<uint8_t> px;
  ASSERT_TRUE(dev_->ReadTexture(b, &px));
  EXPECT_EQ(px[(1 * 4 + 1) * 4], 255);
  EXPECT_EQ(px[0], 0);
}

TEST_F(GlDeviceTest, PresentLetterboxesIntoTheDestinationRectangle) {
  dev_->SetZEnable(false);
  Quad(0, 0, 256, 128, 0xFFFFFFFFu);
  const int dw = Context()->DrawableWidth(), dh = Context()->DrawableHeight();
  // Half size, offset by (10, 20) from the top-left; a negative offset must not fail.
  EXPECT_TRUE(dev_->Present(plat::Rect{0, 0, 256, 128}, plat::Rect{-8, -8, 128, 64}, dw, dh));
  ASSERT_TRUE(dev_->Present(plat::Rect{0, 0, 256, 128}, plat::Rect{10, 20, 128, 64}, dw, dh));
  // Read the window: bottom-up rows in GL.
  std::vector<uint8_t> win(static_cast<size_t>(dw) * dh * 4);
  glReadPixelsForTest(dw, dh, win.data());
  auto at = [&](int x, int y) { return win[((dh - 1 - y) * dw + x) * 4]; };
  EXPECT_EQ(at(10, 20), 255);
  EXPECT_EQ(at(137, 83), 255);
  EXPECT_EQ(at(9, 20), 0);
  EXPECT_EQ(at(138, 20), 0);
  EXPECT_EQ(at(10, 84), 0);
}

TEST_F(GlDeviceTest, ResetKeepsHandlesAndClearsTargets) {
  const plat::TextureId target = dev_->CreateRenderTarget(4, 4);
  const uint8_t px[4] = {1, 2, 3, 4};
  const plat::TextureId tex = dev_->CreateTexture(1, 1, px);
  ASSERT_TRUE(dev_->SetRenderTarget(target));
  dev_->Clear(true, false, 0xFFFFFFFFu, 1.0f);
  ASSERT_TRUE(dev_->SetRenderTarget(0));
  dev_->SimulateLoss();
  EXPECT_TRUE(dev_->IsLost());
  EXPECT_TRUE(dev_->Reset());
  EXPECT_FALSE(dev_->IsLost());
  std::vector<uint8_t> t, u;
  ASSERT_TRUE(dev_->ReadTexture(target, &t));
  ASSERT_TRUE(dev_->ReadTexture(tex, &u));
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(u[0], 1);
}

}  // namespace
