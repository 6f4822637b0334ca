// Effect files and shader parameter rules, without a GPU: the parser's error path, and every
// shader kind's parameters recorded by a fake effect.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "render/dg_manager.h"
#include "render/dg_texture.h"
#include "render/effect/effect_file.h"
#include "render/effect/shader.h"
#include "render/texture_holder.h"
#include "tests/support/null_graphics.h"
#include "tests/support/temp_module_dir.h"

namespace {

// Stores what the shader sets: floats (raw values as floats), textures, vectors.
class RecordingEffect : public CDGEffect {
 public:
  bool SetVector(const char* name, const float v[4]) override {
    values[name].assign(v, v + 4);
    return true;
  }
  bool SetFloat(const char* name, float v) override {
    values[name] = {v};
    return true;
  }
  bool SetValue(const char* name, const void* data, uint32_t bytes) override {
    std::vector<float> f(bytes / 4);
    std::memcpy(f.data(), data, bytes);
    values[name] = f;
    raw[name].assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + bytes);
    return true;
  }
  bool SetTexture(const char* name, CDGTexture* t) override {
    textures[name] = t;
    return true;
  }
  std::map<std::string, std::vector<float>> values;
  std::map<std::string, std::vector<uint8_t>> raw;
  std::map<std::string, CDGTexture*> textures;
};

class FakeOwner : public ShaderOwner {
 public:
  float ShaderTimeStep() const override { return step; }
  CDGTexture* ShaderSourceTexture() const override { return texture; }
  void ShaderColor(float* r, float* g, float* b, float* a) const override {
    *r = color[0], *g = color[1], *b = color[2], *a = color[3];
  }
  float step = 10;
  CDGTexture* texture = nullptr;
  float color[4] = {255, 255, 255, 255};
};

class ShaderParamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source = new CDGTexture(nm.mgr);
    ASSERT_TRUE(source->CreateEmpty(256, 128));
    owner.texture = source;
    dir.Write("Data/Test/pattern.png", v4test::SolidPng(64, 32, 0x808080FFu));
  }
  void TearDown() override { source->Release(); }
  // Hands the shader its owner and a fresh recording effect.
  RecordingEffect* Attach(CVShader& s) {
    auto* e = new RecordingEffect();
    s.SetUserData(&owner);
    s.SetEffect(e);
    e->Release();  // the shader holds it now
    return e;
  }
  std::string Pattern() const { return dir.ProgramPath("Data/Test/pattern.png"); }

  v4test::TempModuleDir dir;
  v4test::NullDeviceManager nm;
  CDGTexture* source = nullptr;
  FakeOwner owner;
};

TEST_F(ShaderParamTest, GaussWeightsAndTapOffsets) {
  CVShaderGaussFilter g;
  g.SetParam(0, 0.0f);
  for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(g.Weights()[i], 0.0625f);
  g.SetDispersion(0.01f);
  float sum = 0;
  for (int i = 0; i < 8; ++i) sum += g.Weights()[i];
  EXPECT_NEAR(sum, 0.5f, 1e-6f);
  EXPECT_GT(g.Weights()[0], g.Weights()[7]);
  RecordingEffect* e = Attach(g);
  g.SetParams();
  EXPECT_EQ(e->values["weight"].size(), 8u);
  EXPECT_EQ(e->values["offsetX"], (std::vector<float>{16.0f / 256, 0}));
  EXPECT_EQ(e->values["offsetY"], (std::vector<float>{0, 16.0f / 128}));
  const float k[8] = {1, -1, -3, -5, -7, -9, -11, -13};
  ASSERT_EQ(e->values["TexDPosX"].size(), 16u);
  for (int i = 0; i < 8; ++i) {
    EXPECT_FLOAT_EQ(e->values["TexDPosX"][2 * i], k[i] / 256);
    EXPECT_FLOAT_EQ(e->values["TexDPosY"][2 * i + 1], k[i] / 128);
  }
}

TEST_F(ShaderParamTest, HsvWrapsClampsAndDisablesWhenNeutral) {
  struct Case {
    float h, s, v;
    float dH, dS, dV;
    bool enabled;
  };
  const float inf = std::numeric_limits<float>::infinity();
  const Case cases[] = {
      {1.5f, 0, 0, -3.0f, 0, 0, true},        {-1.0f, 0, 0, 6.0f, 0, 0, true}, {0, 0, 0, 0, 0, 0, false},
      {0, 2.0f, -3.0f, 0, 1.0f, -1.0f, true}, {inf, 0, 0, 0, 0, 0, false},     {-inf, 0, 0, 0, 0, 0, false},
      {1e30f, 0, 0, 6.0f, 0, 0, true},        {3.0f, 0, 0, 6.0f, 0, 0, true},
  };
  for (const Case& c : cases) {
    CVShaderHSV s;
    RecordingEffect* e = Attach(s);
    s.SetParam(0, c.h);
    s.SetParam(1, c.s);
    s.SetParam(2, c.v);
    EXPECT_FLOAT_EQ(e->values["dH"][0], c.dH) << c.h;
    EXPECT_FLOAT_EQ(e->values["dS"][0], c.dS);
    EXPECT_FLOAT_EQ(e->values["dV"][0], c.dV);
    EXPECT_EQ(s.IsActive(), c.enabled) << c.h;
    EXPECT_EQ(e->IsEnabled(), c.enabled);
  }
}

TEST_F(ShaderParamTest, CloudClocksAndTheTriangleWave) {
  {
    CVShaderKsnCloud c(100.0f, 100.0f, 2, nullptr);
    RecordingEffect* e = Attach(c);
    owner.step = 25;
    c.SetParams();
    EXPECT_FLOAT_EQ(e->values["dA"][0], 0.5f);  // timeB 25
    owner.step = 50;
    c.SetParams();
    EXPECT_FLOAT_EQ(e->values["dA"][0], 0.5f);  // timeB 75
    EXPECT_EQ(e->textures["MeshTex"], source);
  }
  {
    // A period below 1 has no wave (no division by zero).
    CVShaderKsnCloud c(100.0f, 0.5f, 2, nullptr);
    RecordingEffect* e = Attach(c);
    owner.step = 10;
    c.SetParams();
    EXPECT_FLOAT_EQ(e->values["dA"][0], 0.0f);
  }
  {
    CVShaderKsnCloud c(40.0f, 0, nullptr);
    RecordingEffect* e = Attach(c);
    owner.step = 30;
    c.SetParams();
    EXPECT_FLOAT_EQ(e->values["d"][0], 0.75f);
    c.SetParams();  // 60 wraps once to 20
    EXPECT_FLOAT_EQ(e->values["d"][0], 0.5f);
  }
  {
    CVShaderKsnCloud c(40.0f, 3, Pattern().c_str());
    RecordingEffect* e = Attach(c);
    c.SetParams();
    EXPECT_EQ(e->values["whRate"], (std::vector<float>{4.0f, 4.0f}));
    EXPECT_NE(e->textures["PatternTex"], nullptr);
  }
}

TEST_F(ShaderParamTest, TransitionRunsToOneAndThenFinishes) {
  for (bool reverse : {false, true}) {
    CVShaderTransition t(Pattern().c_str(), 30.0f, reverse);
    RecordingEffect* e = Attach(t);
    owner.step = 10;
    const float expected[3] = {1.0f / 3, 2.0f / 3, 1.0f};
    for (float x : expected) {
      t.SetParams();
      EXPECT_TRUE(t.IsActive());
      EXPECT_FLOAT_EQ(e->values["T"][0], reverse ? 1.0f - x : x);
    }
    EXPECT_FLOAT_EQ(e->values["widthRate"][0], 4.0f);
    EXPECT_FLOAT_EQ(e->values["heightRate"][0], 4.0f);
    t.SetParams();
    EXPECT_FALSE(t.IsActive());
  }
}

TEST_F(ShaderParamTest, CutinSkipJumpsToTheEndAndResetRewinds) {
  CVShaderKsnCutin c(Pattern().c_str(), 100.0f, false);
  RecordingEffect* e = Attach(c);
  c.Enable();
  owner.step = 10;
  c.SetParams();
  EXPECT_FLOAT_EQ(e->values["T"][0], 0.1f);
  c.Start();
  c.SetParams();
  EXPECT_FLOAT_EQ(e->values["T"][0], 1.0f);
  EXPECT_TRUE(c.IsActive());
  c.SetParams();
  EXPECT_FALSE(c.IsActive());
  c.Reset();
  EXPECT_TRUE(c.IsActive());
  c.SetParams();
  EXPECT_FLOAT_EQ(e->values["T"][0], 0.1f);
}

TEST_F(ShaderParamTest, FireFlipbookFramesAndDegeneratePeriods) {
  struct Case {
    float period, start, step;
    float u, v;
  };
  const Case cases[] = {
      {800, 0, 400, 0.0f, 0.5f},     // phase 0.5: frame 8
      {800, 0, 450, 0.25f, 0.5f},    // 16 * 0.5625: frame 9
      {800, 700, 1700, 0.0f, 0.0f},  // 2400 wraps to 0
      {0, 0, 10, 0.0f, 0.0f},        // no period: frame 0, and the update returns
      {0.5f, 0, 1e30f, 0.0f, 0.0f}, {800, 0, std::numeric_limits<float>::infinity(), 0.0f, 0.0f},
  };
  int i = 0;
  for (const Case& c : cases) {
    CVShaderKsnFire f(4, 4, c.period, c.start);
    RecordingEffect* e = Attach(f);
    owner.step = c.step;
    f.SetParams();
    ASSERT_EQ(e->values["dUV"].size(), 2u);
    EXPECT_FLOAT_EQ(e->values["dUV"][0], c.u) << i;
    EXPECT_FLOAT_EQ(e->values["dUV"][1], c.v) << i;
    ++i;
  }
}

TEST_F(ShaderParamTest, CursorSepiaBlendAndAddColour) {
  {
    CVShaderKuniCursor k(Pattern().c_str());  // a 64 x 32 mask
    RecordingEffect* e = Attach(k);
    k.SetCursor(42, 16, 8, 32, 16);
    k.SetParams();
    EXPECT_EQ(e->raw["No"], (std::vector<uint8_t>{42, 0, 0, 0}));
    EXPECT_EQ(e->values["startUV"], (std::vector<float>{0.25f, 0.25f}));
    EXPECT_EQ(e->values["whUV"], (std::vector<float>{0.5f, 0.5f}));
  }
  for (int mode : {0, 1}) {
    CVShaderSepia s(mode);
    RecordingEffect* e = Attach(s);
    s.SetParams();
    EXPECT_FLOAT_EQ(e->values["I"][0], mode == 0 ? 0.1f : 0.0f);
    EXPECT_FLOAT_EQ(e->values["Q"][0], 0.0f);
  }
  {
    CVShaderTexBlendBy b(Pattern().c_str());
    RecordingEffect* e = Attach(b);
    b.SetParams();
    EXPECT_EQ(e->values["whRate"], (std::vector<float>{4.0f, 4.0f}));
    EXPECT_EQ(e->textures.count("MeshTex"), 0u);
  }
  {
    CVShaderVerAddCol v;
    RecordingEffect* e = Attach(v);
    owner.color[0] = 300, owner.color[1] = -5, owner.color[2] = 51, owner.color[3] = 255;
    v.SetParams();
    EXPECT_EQ(e->values["verCol"], (std::vector<float>{1.0f, 0.0f, 0.2f, 1.0f}));
  }
}

TEST(ShaderMgr, CreatesOnlyKindsZeroAndOne) {
  CVShaderMgr& m = *GetShaderMgr();
  CVShader* a = m.CreateShader(0);
  CVShader* b = m.CreateShader(1);
  EXPECT_NE(dynamic_cast<CVShaderVerAddCol*>(a), nullptr);
  EXPECT_NE(dynamic_cast<CVShaderHSV*>(b), nullptr);
  EXPECT_EQ(b->GetId(), 1);
  EXPECT_EQ(m.CreateShader(2), nullptr);
  CVShader* c = m.CloneShader(b);
  EXPECT_NE(dynamic_cast<CVShaderHSV*>(c), nullptr);
  EXPECT_EQ(m.CloneShader(nullptr), nullptr);
  delete a;
  delete b;
  delete c;
}

// The movie stops before its texture is freed.
TEST(MovieTransition, ClosesTheMovieBeforeFreeingItsTexture) {
  v4test::NullDeviceManager nm;
  struct Port : ShaderMoviePort {
    int32_t Open(const char*, CVTexture* t) override {
      target = t;
      return 7;
    }
    bool IsFinished(int32_t) override { return finished; }
    void Close(int32_t id) override {
      closed = id;
      textureAliveAtClose = target && target->GetTexture() != nullptr;
    }
    CVTexture* target = nullptr;
    bool finished = false, textureAliveAtClose = false;
    int32_t closed = -1;
  } port;
  SetShaderMoviePort(&port);
  {
    CVShaderMovieTransition m("Data\\movie\\wipe.mdm");
    EXPECT_EQ(m.MovieTexture()->GetWidth(), 640);
    EXPECT_EQ(m.MovieTexture()->GetHeight(), 360);
    EXPECT_TRUE(m.IsActive());
  }
  EXPECT_EQ(port.closed, 7);
  EXPECT_TRUE(port.textureAliveAtClose);
  SetShaderMoviePort(nullptr);
}

TEST(EffectFile, BrokenFilesGiveAnErrorNamingTheLine) {
  struct Case {
    const char* text;
    const char* fragment;
  };
  const Case cases[] = {
      {"", "empty"},
      {"cfx 2\n", "line 1"},
      {"cfx 1\nparam float3 x\n", "unknown type"},
      {"cfx 1\nparam float x\nparam float x\n", "twice"},
      {"cfx 1\nparam float w[0]\n", "array size"},
      {"cfx 1\ntechnique T\npass P\nfragment <<<\nvoid main(){}\n", "unterminated"},
      {"cfx 1\ntechnique T\n", "no pass"},
      {"cfx 1\ntechnique T\npass P\nblend one\n", "blend"},
      {"cfx 1\ntechnique T\npass P\nsampler Nope point clamp\n", "not a texture"},
      {"cfx 1\npass P\n", "outside"},
      {"cfx 1\ntechnique T\npass P\nzenable on\n", "no fragment"},
      {"cfx 1\ntechnique T\npass P\nwobble\n", "unknown keyword"},
  };
  for (const Case& c : cases) {
    EffectDesc d;
    std::string err;
    EXPECT_FALSE(ParseEffectFile(c.text, std::strlen(c.text), &d, &err)) << c.text;
    EXPECT_NE(err.find(c.fragment), std::string::npos) << err;
  }
  const char* good =
      "cfx 1\nparam float2 p[8] // pairs\nparam texture A\ntechnique T\npass P0\n  blend one invsrcalpha\n"
      "  sampler A linear wrap\n  fragment <<<\n  void main() { oColor = texture(A, vUv); }\n  >>>\n";
  EffectDesc d;
  std::string err;
  ASSERT_TRUE(ParseEffectFile(good, std::strlen(good), &d, &err)) << err;
  EXPECT_EQ(d.FindParam("p")->Slots(), 16);
  EXPECT_TRUE(d.techniques[0].passes[0].setsBlend);
  EXPECT_NE(BuildFragmentSource(d, d.techniques[0].passes[0]).find("uniform vec2 p[8];"), std::string::npos);
}

// Without a compiled effect every setter fails and a renderer gets no passes.
TEST(Effect, EmptyEffectRefusesEverything) {
  v4test::NullDeviceManager nm;
  auto* e = new CDGEffect(nm.mgr);
  EXPECT_TRUE(nm.mgr->EffectManager().Contains(e));
  const float v[4] = {1, 2, 3, 4};
  EXPECT_FALSE(e->SetVector("x", v));
  EXPECT_FALSE(e->SetFloat("x", 1));
  EXPECT_FALSE(e->SetValue("x", v, 16));
  EXPECT_FALSE(e->SetTechnique("T"));
  EXPECT_FALSE(e->SetTexture("x", nullptr));
  EXPECT_EQ(e->Begin(), 0);
  e->AddRef();
  EXPECT_FALSE(nm.mgr->EffectManager().ReleaseEffect(e));  // still held elsewhere
  EXPECT_TRUE(nm.mgr->EffectManager().Contains(e));
  EXPECT_TRUE(nm.mgr->EffectManager().ReleaseEffect(e));
  EXPECT_EQ(nm.mgr->EffectManager().Count(), 0u);
}

}  // namespace
