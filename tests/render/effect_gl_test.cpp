// Effects on the real OpenGL device offscreen: the sample effect files compile, and what their
// passes put on which pixel.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <fstream>
#include <iterator>

#include "render/board_renderer.h"
#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "render/effect/shader.h"
#include "render/file_load.h"
#include "tests/support/null_graphics.h"
#include "tests/support/offscreen_gl_suite.h"
#include "tests/support/temp_module_dir.h"

namespace {

using Rgba = std::array<uint8_t, 4>;

const char* const kEffectFiles[] = {"HSV.cfx",          "YIQ.cfx",         "gaussFilter.cfx",     "ksn_cloud.cfx",
                                    "ksn_cutin.cfx",    "ksn_koj_awa.cfx", "ksn_koj_fire.cfx",    "ksn_koj_wave.cfx",
                                    "ksn_riv_wave.cfx", "kuni_cursor.cfx", "movieTransition.cfx", "multiplealpha.cfx",
                                    "texBlend_By.cfx",  "transition.cfx",  "vertexAddCol.cfx"};

std::vector<uint8_t> ReadSource(const std::string& name) {
  std::ifstream in(std::string(V4_TEST_SOURCE_DIR) + "/data/effect/" + name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class Owner : public ShaderOwner {
 public:
  float ShaderTimeStep() const override { return step; }
  CDGTexture* ShaderSourceTexture() const override { return texture; }
  void ShaderColor(float* r, float* g, float* b, float* a) const override { *r = *g = *b = *a = 255; }
  float step = 0;
  CDGTexture* texture = nullptr;
};

class EffectGlTest : public v4test::OffscreenGlSuite<> {
 protected:
  void SetUp() override {
    ASSERT_NE(Context(), nullptr) << "no offscreen OpenGL context";
    mgr = new CDGManager();
    ASSERT_TRUE(mgr->CreateDevice(nullptr, true, 1280, 720, 32));
    mgr->SetDefaultRenderStates(false);
    ASSERT_TRUE(v4test::SetDefaultCamera(mgr));
    SetDGManager(mgr);
    for (const char* f : kEffectFiles) dir.Write(std::string("Data/effect/") + f, ReadSource(f));
  }
  void TearDown() override {
    SetDGManager(nullptr);
    if (mgr) mgr->Release();
  }
  void Frame() {
    mgr->SwapRenderQueues();
    ASSERT_TRUE(mgr->RenderFrame());
    ASSERT_TRUE(mgr->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &frame));
  }
  Rgba At(int x, int y) const {
    const uint8_t* p = &frame[(static_cast<size_t>(y) * 1280 + x) * 4];
    return {p[0], p[1], p[2], p[3]};
  }
  CDGTexture* Texture(int w, int h, const std::function<uint32_t(int, int)>& texel) {
    auto* t = new CDGTexture(mgr);
    const std::vector<uint8_t> png = v4test::PngOf(w, h, texel);
    EXPECT_TRUE(t->LoadFromMemory(png.data(), png.size(), 1));
    return t;
  }
  // A screen-space board of the texture's size at (x, y).
  CDGBoardRenderer* Board(CDGTexture* t, int x, int y, int w, int h) {
    auto* b = new CDGBoardRenderer(mgr);
    b->SetMode(CDGBoardRenderer::kScreen);
    b->SetTexture(t);
    b->SetPosition(static_cast<float>(x), static_cast<float>(y), 0);
    b->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0));
    b->SetSize(static_cast<float>(w), static_cast<float>(h));
    b->SetColors(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, true);
    return b;
  }
  CDGEffect* Compile(const char* text) {
    auto* e = new CDGEffect(mgr);
    auto* l = new CDGFileLoad_QZT();
    const std::string path = dir.ProgramPath("Data/effect/inline.cfx");
    dir.Write("Data/effect/inline.cfx", std::vector<uint8_t>(text, text + std::strlen(text)));
    l->Load(path.c_str());
    e->Create(l);
    l->Release();
    return e;
  }

  v4test::TempModuleDir dir;
  CDGManager* mgr = nullptr;
  std::vector<uint8_t> frame;
};

TEST_F(EffectGlTest, EverySampleEffectCompilesWithItsTechnique) {
  const char* techniques[] = {"HSV",       "YIQ",           "GAUSS_FILTER", "KSNCLOUD",   "KSN_CUTIN",
                              "KSNKOJAWA", "KSNRIVFIRE",    "KSNKOJWAVE",   "KSNRIVWAVE", "KUNI_CURSOR",
                              "MVTRANSIT", "MULTIPLEALPHA", "TEXBLEND_BY",  "TRANSIT",    "VERTEXADDCOL"};
  for (size_t i = 0; i < std::size(kEffectFiles); ++i) {
    auto* e = new CDGEffect(mgr);
    auto* l = new CDGFileLoad_QZT(dir.ProgramPath(std::string("Data/effect/") + kEffectFiles[i]).c_str());
    EXPECT_TRUE(e->Create(l)) << kEffectFiles[i] << ": " << e->LastError();
    EXPECT_TRUE(e->SetTechnique(techniques[i])) << kEffectFiles[i];
    EXPECT_FALSE(e->SetFloat("NoSuchParameter", 1.0f));
    l->Release();
    e->Release();
  }
  // Each file is compiled once however many effects use it.
  auto* a = new CDGEffect(mgr);
  auto* b = new CDGEffect(mgr);
  auto* l = new CDGFileLoad_QZT(dir.ProgramPath("Data/effect/HSV.cfx").c_str());
  a->Create(l);
  const size_t cached = mgr->EffectManager().CachedCount();
  b->Create(l);
  EXPECT_EQ(mgr->EffectManager().CachedCount(), cached);
  l->Release();
  a->Release();
  b->Release();
}

// A left-to-right gradient pattern at T = 0.5: the left half shows, the right half does not.
TEST_F(EffectGlTest, TransitionAtHalfTimeShowsTheLowerHalfOfThePattern) {
  dir.Write("Data/Test/wipe.png", v4test::PngOf(256, 1, [](int x, int) -> uint32_t {
              const uint32_t g = static_cast<uint32_t>(x);
              return g << 24 | g << 16 | g << 8 | 0xFFu;
            }));
  CDGTexture* red = Texture(256, 64, [](int, int) { return 0xFF0000FFu; });
  CDGBoardRenderer* b = Board(red, 100, 100, 256, 64);
  Owner owner;
  owner.texture = red;
  owner.step = 15;
  CVShaderTransition t(dir.ProgramPath("Data/Test/wipe.png").c_str(), 30.0f, false);
  t.SetUserData(&owner);
  t.Load();
  t.Enable();
  ASSERT_NE(t.GetEffect(), nullptr);
  ASSERT_TRUE(t.GetEffect()->HasEffect()) << t.GetEffect()->LastError();
  b->AttachResource(t.GetEffect(), false, false);
  t.SetParams();
  EXPECT_FLOAT_EQ(t.Time(), 15.0f);
  b->Queue(true);
  Frame();
  EXPECT_EQ(At(100 + 60, 120), (Rgba{255, 0, 0, 255}));  // pattern 60/255: shown
  EXPECT_EQ(At(100 + 200, 120), (Rgba{0, 0, 0, 255}));   // pattern 200/255: hidden
  EXPECT_EQ(At(100 + 100, 130)[0], 255);
  EXPECT_EQ(At(100 + 150, 130)[0], 0);
  // The edge lies at the middle of the pattern.
  int firstHidden = -1;
  for (int x = 0; x < 256 && firstHidden < 0; ++x)
    if (At(100 + x, 120)[0] < 128) firstHidden = x;
  EXPECT_NEAR(firstHidden, 128, 2);
  b->Release();
  red->Release();
}

// Two passes (horizontal then vertical, through the board's own target): a single white texel
// spreads symmetrically over a square, and the total brightness is kept.
TEST_F(EffectGlTest, GaussFilterSpreadsAPointEvenlyInTwoPasses) {
  CDGTexture* dot = Texture(64, 64, [](int x, int y) { return x == 32 && y == 32 ? 0xFFFFFFFFu : 0x000000FFu; });
  CDGBoardRenderer* b = Board(dot, 200, 200, 64, 64);
  Owner owner;
  owner.texture = dot;
  CVShaderGaussFilter g;
  g.SetUserData(&owner);
  g.Load();
  g.Enable();
  ASSERT_TRUE(g.GetEffect()->HasEffect()) << g.GetEffect()->LastError();
  g.SetDispersion(0.05f);
  b->AttachResource(g.GetEffect(), false, false);
  EXPECT_EQ(b->TotalPasses(), 2);
  g.SetParams();
  b->Queue(true);
  Frame();
  const int cx = 232, cy = 232;
  const int centre = At(cx, cy)[0];
  EXPECT_GT(centre, 0);
  EXPECT_LT(centre, 255);
  for (int d : {2, 4}) {
    const int v = At(cx + d, cy)[0];
    EXPECT_GT(v, 0) << d;
    EXPECT_LE(v, centre);
    EXPECT_NEAR(At(cx - d, cy)[0], v, 1);
    EXPECT_NEAR(At(cx, cy + d)[0], v, 1);
    EXPECT_NEAR(At(cx, cy - d)[0], v, 1);
  }
  EXPECT_EQ(At(cx + 1, cy)[0], 0);  // taps lie an even number of texels apart
  long sum = 0;
  for (int y = 200; y < 264; ++y)
    for (int x = 200; x < 264; ++x) sum += At(x, y)[0];
  EXPECT_NEAR(sum, 255, 40);
  b->Release();
  dot->Release();
}

// A blurred picture that stands still is blurred once into the board's target and kept; a new
// picture or new blur weights are blurred again, frame by frame as drawn afresh.
TEST_F(EffectGlTest, GaussFilterKeepsItsFirstPassOnlyWhileNothingChanged) {
  CDGTexture* dot = Texture(64, 64, [](int x, int y) { return x == 32 && y == 32 ? 0xFFFFFFFFu : 0x000000FFu; });
  CDGBoardRenderer* b = Board(dot, 200, 200, 64, 64);
  Owner owner;
  owner.texture = dot;
  CVShaderGaussFilter g;
  g.SetUserData(&owner);
  g.Load();
  g.Enable();
  ASSERT_TRUE(g.GetEffect()->HasEffect()) << g.GetEffect()->LastError();
  g.SetDispersion(0.05f);
  b->AttachResource(g.GetEffect(), false, false);
  plat::FrameHashDevice* dev = mgr->HashDevice();
  // One frame; the quads it drew.
  auto frameQuads = [&] {
    g.SetParams();
    b->Queue(true);
    const uint64_t before = dev->GetCounts().quads;
    Frame();
    return dev->GetCounts().quads - before;
  };
  EXPECT_EQ(frameQuads(), 2u);
  const std::vector<uint8_t> first = frame;
  EXPECT_EQ(frameQuads(), 1u) << "the first pass is kept";
  EXPECT_EQ(frame, first);
  // The dot moves: blurred afresh, where it now is.
  std::vector<uint8_t> px(64 * 64 * 4, 0);
  for (size_t i = 3; i < px.size(); i += 4) px[i] = 255;
  for (int c = 0; c < 4; ++c) px[(10 * 64 + 10) * 4 + c] = 255;
  ASSERT_TRUE(dev->UpdateTexture(dot->DeviceId(), plat::Rect{0, 0, 64, 64}, px.data(), 64 * 4));
  EXPECT_EQ(frameQuads(), 2u);
  EXPECT_GT(At(210, 210)[0], 0);
  EXPECT_EQ(At(232, 232)[0], 0);
  const std::vector<uint8_t> moved = frame;
  // Wider weights: blurred afresh too.
  g.SetDispersion(0.2f);
  EXPECT_EQ(frameQuads(), 2u);
  EXPECT_NE(frame, moved);
  b->Release();
  dot->Release();
}

// The cursor shows only texels whose mask code equals the province code, read from the part of
// the mask that SetCursor names.
TEST_F(EffectGlTest, ProvinceCursorShowsOnlyItsProvince) {
  // Mask 128 x 64: code 5 on the left half, code 300 (red 44, green 1) on the right half.
  dir.Write("Data/Test/mask.png",
            v4test::PngOf(128, 64, [](int x, int) -> uint32_t { return x < 64 ? 0x050000FFu : 0x2C0100FFu; }));
  CDGTexture* map = Texture(64, 32, [](int, int) { return 0x00FF00FFu; });
  Owner owner;
  owner.texture = map;
  for (uint16_t code : {uint16_t{5}, uint16_t{300}, uint16_t{7}}) {
    CDGBoardRenderer* b = Board(map, 0, 0, 64, 32);
    CVShaderKuniCursor k(dir.ProgramPath("Data/Test/mask.png").c_str());
    k.SetUserData(&owner);
    k.Load();
    k.Enable();
    ASSERT_TRUE(k.GetEffect()->HasEffect()) << k.GetEffect()->LastError();
    k.SetCursor(code, 32, 0, 64, 64);  // the picture covers mask columns 32..95
    k.SetParams();
    b->AttachResource(k.GetEffect(), false, false);
    b->Queue(true);
    Frame();
    const bool left = At(8, 10)[1] == 255, right = At(56, 10)[1] == 255;
    EXPECT_EQ(left, code == 5) << code;
    EXPECT_EQ(right, code == 300) << code;
    b->Release();
  }
  map->Release();
}

// A pass that draws additively and without depth test leaves nothing behind after End.
TEST_F(EffectGlTest, StateIsRestoredAfterEnd) {
  CDGEffect* add = Compile(
      "cfx 1\nparam texture Pat\ntechnique T\npass P\n  blend srcalpha one\n  zenable off\n"
      "  sampler Tex0 linear wrap\n  fragment <<<\n  void main() { oColor = texture(Tex0, vUv) * vColor "
      "* texture(Pat, vUv); }\n  >>>\n");
  ASSERT_TRUE(add->HasEffect()) << add->LastError();
  plat::GfxDevice* dev = mgr->Device();
  dev->SetBlend(plat::BlendFactor::SrcAlpha, plat::BlendFactor::InvSrcAlpha);
  dev->SetZEnable(true);
  ASSERT_EQ(add->Begin(), 1);
  add->BeginPass(0);
  plat::BlendFactor s, d;
  dev->GetBlend(&s, &d);
  EXPECT_EQ(d, plat::BlendFactor::One);
  EXPECT_FALSE(dev->GetZEnable());
  EXPECT_TRUE(dev->GetLinearFilter());
  EXPECT_NE(dev->CurrentProgram(), 0u);
  add->EndPass();
  add->End();
  dev->GetBlend(&s, &d);
  EXPECT_EQ(s, plat::BlendFactor::SrcAlpha);
  EXPECT_EQ(d, plat::BlendFactor::InvSrcAlpha);
  EXPECT_TRUE(dev->GetZEnable());
  EXPECT_FALSE(dev->GetLinearFilter());
  EXPECT_FALSE(dev->GetTextureWrap());
  EXPECT_EQ(dev->CurrentProgram(), 0u);

  // In pixels: blue under half-red drawn through the effect, then half-red drawn plain.
  CDGTexture* white = Texture(8, 8, [](int, int) { return 0xFFFFFFFFu; });
  CDGBoardRenderer* under = Board(white, 0, 0, 40, 20);
  under->SetColors(0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu, true);
  CDGBoardRenderer* withEffect = Board(white, 0, 0, 20, 20);
  withEffect->SetColors(0x80FF0000u, 0x80FF0000u, 0x80FF0000u, 0x80FF0000u, true);
  withEffect->SetPosition(0, 0, 0.1f, true);
  withEffect->AttachResource(add, false, false);
  CDGBoardRenderer* plain = Board(white, 20, 0, 20, 20);
  plain->SetColors(0x80FF0000u, 0x80FF0000u, 0x80FF0000u, 0x80FF0000u, true);
  plain->SetPosition(20, 0, 0.2f, true);
  for (auto* b : {under, withEffect, plain}) b->Queue(true);
  Frame();
  EXPECT_EQ(At(10, 10)[2], 255);       // additive: the blue stays
  EXPECT_NEAR(At(30, 10)[2], 127, 1);  // plain alpha blend again
  for (auto* b : {under, withEffect, plain}) b->Release();
  white->Release();
  add->Release();
}

// A broken effect file compiles to nothing: setters fail, and the board draws plain.
TEST_F(EffectGlTest, BrokenEffectDrawsPlain) {
  const char* broken[] = {
      "cfx 1\ntechnique T\npass P\n  fragment <<<\n  void main() { oColor = undefinedThing; }\n  >>>\n",
      "cfx 1\nparam float x\ntechnique T\npass P\n",
      "not an effect at all",
  };
  for (const char* text : broken) {
    CDGEffect* e = Compile(text);
    EXPECT_FALSE(e->HasEffect()) << text;
    EXPECT_FALSE(e->LastError().empty());
    EXPECT_FALSE(e->SetFloat("x", 1.0f));
    CDGTexture* white = Texture(8, 8, [](int, int) { return 0xFFFFFFFFu; });
    CDGBoardRenderer* b = Board(white, 10, 10, 16, 16);
    b->AttachResource(e, false, false);
    b->Queue(true);
    Frame();
    EXPECT_EQ(At(15, 15), (Rgba{255, 255, 255, 255}));
    b->Release();
    white->Release();
    e->Release();
  }
}

// Re-creating the device compiles the effects again on the new one.
TEST_F(EffectGlTest, EffectsSurviveADeviceRecreate) {
  CDGEffect* e =
      Compile("cfx 1\nparam float4 c\ntechnique T\npass P\n  fragment <<<\n  void main() { oColor = c; }\n  >>>\n");
  ASSERT_TRUE(e->HasEffect());
  const float green[4] = {0, 1, 0, 1};
  ASSERT_TRUE(e->SetVector("c", green));
  ASSERT_TRUE(mgr->RecreateDevice());
  EXPECT_TRUE(e->HasEffect());
  CDGTexture* white = Texture(8, 8, [](int, int) { return 0xFFFFFFFFu; });
  CDGBoardRenderer* b = Board(white, 10, 10, 16, 16);
  b->AttachResource(e, false, false);
  b->Queue(true);
  Frame();
  EXPECT_EQ(At(15, 15), (Rgba{0, 255, 0, 255}));
  b->Release();
  white->Release();
  e->Release();
}

}  // namespace
