// The model renderer on the recording null device: hierarchy, materials and textures, the static
// path's draw order, the animation clock and pose, effects per material, broken files, and the
// sample models made by the data tool.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/model/x_model.h"
#include "render/dg_manager.h"
#include "render/file_load.h"
#include "render/model/model_renderer.h"
#include "render/sprite.h"
#include "render/texture_holder.h"
#include "tests/support/null_graphics.h"
#include "tests/support/temp_module_dir.h"
#include "model_fixture.h"

namespace {

class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("Data/Model/red.png", v4test::SolidPng(4, 4, 0xFF0000FFu));
    dir.Write("Data/Model/near.png", v4test::SolidPng(4, 4, 0xFFFFFFFFu));
    dir.Write("Data/Model/far.png", v4test::SolidPng(4, 4, 0x000000FFu));
    model = new CDGModelRenderer(nm.mgr);
  }
  void TearDown() override { model->Release(); }
  // Writes the text as Data/Model/<name> and loads it into the model.
  void Load(const char* text, const char* name = "fixture.x") {
    dir.Write(std::string("Data/Model/") + name, std::vector<uint8_t>(text, text + std::strlen(text)));
    auto* l = new CDGFileLoad_QZT(dir.ProgramPath(std::string("Data/Model/") + name).c_str());
    model->LoadModel(l);
    l->Release();
  }
  ModelFrame* Find(const char* name) {
    std::vector<ModelFrame*> todo{model->RootFrame()};
    while (!todo.empty()) {
      ModelFrame* f = todo.back();
      todo.pop_back();
      for (; f; f = f->sibling) {
        if (f->name == name) return f;
        todo.push_back(f->firstChild);
      }
    }
    return nullptr;
  }

  v4test::TempModuleDir dir;
  v4test::NullDeviceManager nm;
  CDGModelRenderer* model = nullptr;
};

TEST_F(ModelTest, HierarchyMaterialsAndTextures) {
  Load(kTwoFrameModel);
  ASSERT_TRUE(model->HasModel());
  ModelFrame* body = model->RootFrame();
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(body->name, "Body");
  ASSERT_NE(body->firstChild, nullptr);
  EXPECT_EQ(body->firstChild->name, "Arm");
  EXPECT_FLOAT_EQ(body->firstChild->combined.m[3][0], 1.0f);
  EXPECT_FLOAT_EQ(body->firstChild->combined.m[3][2], -5.0f);
  // Materials in file order, their texture names as written.
  ASSERT_EQ(model->MaterialCount(), 3u);
  EXPECT_EQ(model->TextureNames(), (std::vector<std::string>{"red.png", "", "missing.png"}));
  EXPECT_FLOAT_EQ(model->StaticMaterials()[1].diffuse[2], 1.0f);
  EXPECT_FLOAT_EQ(model->StaticMaterials()[1].ambient[2], 1.0f);  // ambient = diffuse
  EXPECT_NE(model->MaterialTextures()[0], nullptr);               // found beside the model
  EXPECT_EQ(model->MaterialTextures()[1], nullptr);               // none named: untextured
  EXPECT_EQ(model->MaterialTextures()[2], nullptr);               // missing file: untextured
  // Each frame's material j with its own texture reference.
  ASSERT_EQ(body->meshContainer->subsets.size(), 2u);
  EXPECT_EQ(body->textures[0], model->MaterialTextures()[0]);
  EXPECT_EQ(body->textures[1], nullptr);
  // Draw list by minimum z: the arm (z -5) before the body (z 0..10).
  const auto& list = model->Stack().DrawList();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list.front()->name, "Arm");
  EXPECT_FLOAT_EQ(list.front()->minZ, -5.0f);
  EXPECT_FLOAT_EQ(list.back()->maxZ, 10.0f);
}

TEST_F(ModelTest, AnimationWrapsWhenLoopingAndStopsOtherwise) {
  Load(kTwoFrameModel);
  ASSERT_NE(model->Controller(), nullptr);
  EXPECT_DOUBLE_EQ(model->Controller()->Period(0), 2.0);
  struct Case {
    bool loop;
    float step;
    int steps;
    bool playing;
    float time;
  };
  const Case cases[] = {
      {true, 2500, 1, true, 500},   {false, 2500, 1, false, 0}, {true, 1000, 2, true, 0},
      {false, 1999, 1, true, 1999}, {true, 700, 5, true, 1500},
  };
  for (const Case& c : cases) {
    model->RestartAnimation(c.loop);
    for (int i = 0; i < c.steps; ++i) model->Update(c.step);
    EXPECT_EQ(model->IsPlaying(), c.playing) << c.loop << " " << c.step;
    EXPECT_FLOAT_EQ(model->AnimationTime(), c.time) << c.loop << " " << c.step;
  }
}

// The pose at 0.5 s is the arm turned by 45 degrees about z (keys interpolated), and the combined
// matrices follow it; every effect pass sees the same pose (the clock advances once a frame).
TEST_F(ModelTest, PoseFollowsTheAnimationOncePerFrame) {
  Load(kTwoFrameModel);
  model->RestartAnimation(true);
  model->Update(500);
  model->Render();
  ModelFrame* arm = Find("Arm");
  ASSERT_NE(arm, nullptr);
  const float c = std::cos(3.14159265f / 4), s = std::sin(3.14159265f / 4);
  EXPECT_NEAR(arm->transformation.m[0][0], c, 1e-4f);
  EXPECT_NEAR(arm->transformation.m[0][1], s, 1e-4f);
  EXPECT_NEAR(arm->transformation.m[1][0], -s, 1e-4f);
  EXPECT_NEAR(arm->combined.m[0][1], s, 1e-4f);
  EXPECT_NEAR(arm->combined.m[3][0], 1.0f, 1e-5f);
  EXPECT_NEAR(model->Controller()->Time(), 0.5, 1e-6);
  model->Render();  // no new time step: the pose stays
  EXPECT_NEAR(model->Controller()->Time(), 0.5, 1e-6);
  model->Update(1000);
  model->Render();
  EXPECT_NEAR(arm->transformation.m[0][1], s, 1e-4f);  // 1.5 s: back at 45 degrees
}

TEST_F(ModelTest, FramelessFileDrawsTheStaticMeshFarthestFirst) {
  Load(kStaticModel);
  ASSERT_TRUE(model->HasModel());
  EXPECT_EQ(model->RootFrame(), nullptr);
  std::vector<uint32_t> order;
  for (const MaterialOrderEntry& e : model->MaterialOrder()) order.push_back(e.index);
  EXPECT_EQ(order, (std::vector<uint32_t>{1, 0}));
  EXPECT_FLOAT_EQ(model->MaterialOrder().front().key, -8.0f);
  EXPECT_EQ(model->MaterialOrder().front().textureName, "far.png");
  EXPECT_NE(model->MaterialTextures()[1], nullptr);
}

class CountingEffect : public CDGEffect {};

TEST_F(ModelTest, ReplaceTextureHandsOutEffectsRoundRobin) {
  // Five materials named "t.png": effects 0, 1, 2, 0, 1.
  std::string text =
      "xof 0303txt 0032\n\nMesh M {\n  3;\n  0.0;0.0;0.0;,\n  1.0;0.0;0.0;,\n  0.0;1.0;0.0;;\n"
      "  1;\n  3;0,1,2;;\n  MeshMaterialList {\n    5;\n    1;\n    0;;\n";
  for (int i = 0; i < 5; ++i)
    text += "    Material M" + std::to_string(i) +
            " {\n      1.0;1.0;1.0;1.0;;\n      0.0;\n      0.0;0.0;0.0;;\n      0.0;0.0;0.0;;\n"
            "      TextureFilename {\n        \"t.png\";\n      }\n    }\n";
  text += "  }\n}\n";
  dir.Write("Data/Model/t.png", v4test::SolidPng(2, 2, 0xFFFFFFFFu));
  Load(text.c_str());
  ASSERT_EQ(model->MaterialCount(), 5u);
  std::vector<CDGEffect*> fx = {new CountingEffect(), new CountingEffect(), new CountingEffect()};
  CDGTexture* last = model->ReplaceTexture("t.png", fx);
  EXPECT_EQ(last, model->MaterialTextures()[4]);
  const int expected[5] = {0, 1, 2, 0, 1};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(model->MaterialEffects()[i], fx[expected[i]]) << i;
  EXPECT_EQ(fx[0]->RefCount(), 3);  // ours and two materials
  EXPECT_EQ(model->ReplaceTexture("other.png", fx), nullptr);
  model->ReleaseModel();
  for (CDGEffect* e : fx) {
    EXPECT_EQ(e->RefCount(), 1);
    e->Release();
  }
}

TEST_F(ModelTest, BrokenFilesLeaveNoModel) {
  const std::string full = kTwoFrameModel;
  const std::string cases[] = {
      "",
      "hello",
      "xof 0303txt 0032\n",
      full.substr(0, full.size() / 2),
      "xof 0303txt 0032\nFrame A { Mesh { 3; 0.0;0.0;;",
      "xof 0303txt 0032\nMesh M { 3; 1.0;2.0;3.0;; 1; 3;0,1,9;; }\n",
      std::string("xof 0303bin 0032") + std::string(40, '\xff'),
  };
  int i = 0;
  for (const std::string& c : cases) {
    Load(c.c_str(), "broken.x");
    EXPECT_FALSE(model->HasModel()) << i;
    model->RestartAnimation(true);
    model->Update(100);
    model->Render();  // nothing to draw, nothing breaks
    ++i;
  }
  // A good file afterwards loads as usual.
  Load(kTwoFrameModel);
  EXPECT_TRUE(model->HasModel());
}

// What the data tool writes is what the loader reads: a key at a frame's own rotation gives the
// frame's own matrix, for turns about every axis.
TEST_F(ModelTest, ToolKeysMatchFrameMatrices) {
  const float angles[][3] = {{0, 0, 90}, {90, 0, 0}, {0, 90, 0}, {30, -45, 60}, {-120, 10, 170}};
  for (const auto& a : angles) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "[%g,%g,%g]", a[0], a[1], a[2]);
    const std::string rot = buf;
    const std::string desc =
        R"({"materials":[{"name":"m"}],"frames":[{"name":"Root","children":[{"name":"J","rotate":)" + rot +
        R"(,"translate":[1,2,3],"shapes":[{"type":"box","material":0}]}]}],
      "animations":[{"name":"A","length":4800,"keys":[{"frame":"J","time":0},{"frame":"J","time":4800}]}]})";
    dir.Write("desc.json", std::vector<uint8_t>(desc.begin(), desc.end()));
    const std::string out = dir.Path() + "/model.x";
    const std::string cmd =
        std::string(V4_TEST_BINARY_DIR) + "/bin/v4data model build " + dir.Path() + "/desc.json " + out;
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    auto* l = new CDGFileLoad(out.c_str());
    model->LoadModel(l);
    l->Release();
    ModelFrame* j = Find("J");
    ASSERT_NE(j, nullptr);
    const Matrix44 bind = j->transformation;
    model->RestartAnimation(true);
    model->Update(250);
    model->Render();
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) EXPECT_NEAR(j->transformation.m[r][c], bind.m[r][c], 1e-4f) << rot << " " << r << c;
  }
}

// A sprite named like the board definition's texture shows the 3-D board model: scaled to the
// screen by the definition's percentages, turned half round about y, with the sprite's texture
// on every material; its animation flags run request -> playing -> stopped.
TEST_F(ModelTest, SpriteShowsTheThreeDimensionalBoard) {
  uint8_t def[64] = {};
  std::memcpy(def, "wave.x", 6);
  std::memcpy(def + 16, "Data\\Model\\wave.x", 17);
  def[48] = 50;   // width 50 %: sx = 2560
  def[52] = 100;  // height 100 %: sy = 720
  def[56] = 10;   // offset x 10 % of sx
  dir.Write("Data/Model/boarddef.bin", std::vector<uint8_t>(def, def + 64));
  const std::string text = kTwoFrameModel;
  dir.Write("Data/Model/wave.x", std::vector<uint8_t>(text.begin(), text.end()));
  LoadBoardDef();
  CVSprite s;
  s.Setup(dir.ProgramPath("Data/Model/red.png").c_str(), Vector3(), Color(255, 255, 255, 255), -1, -1, 1, 1, 0, 0, 0, 0,
          0, -1, -1, false, false, true);
  s.SetBoardModeByName("other.x", false);
  EXPECT_EQ(s.rendererKind, 0);
  s.SetBoardModeByName("wave.x", false);
  ASSERT_EQ(s.rendererKind, 1);
  ASSERT_NE(s.modelRenderer, nullptr);
  EXPECT_TRUE(s.modelRenderer->HasModel());
  EXPECT_EQ(s.GetRenderer(), s.modelRenderer);
  s.SetMatrix(MakeTranslationMatrix(100, 50, 3));
  EXPECT_TRUE(s.UpdateRenderer(false, false, true));
  const Matrix44& w = *s.modelRenderer->GetWorldMatrix();
  EXPECT_NEAR(w.m[0][0], -2560.0f, 0.05f);  // x scaled and turned half round
  EXPECT_NEAR(w.m[1][1], 720.0f, 0.01f);
  EXPECT_NEAR(w.m[3][0], 100.0f - 256.0f, 0.01f);
  EXPECT_NEAR(w.m[3][1], -50.0f, 0.01f);
  EXPECT_EQ(s.modelRenderer->MaterialTextures()[1], s.texture->GetTexture());
  EXPECT_EQ(s.modelRenderer->RootFrame()->textures[0], s.texture->GetTexture());
  // Animation: one run, not looping.
  s.RequestModelAnimation();
  s.UpdateAnimation(1, true);
  EXPECT_TRUE(s.flags.Test(CVSprite::kFlagAnimPlaying));
  s.modelRenderer->Update(2500);
  s.UpdateAnimation(1, true);
  EXPECT_FALSE(s.flags.Test(CVSprite::kFlagAnimPlaying));
  EXPECT_TRUE(s.flags.Test(CVSprite::kFlagAnimStopped));
  s.SetBoardMode(1);
  EXPECT_EQ(s.modelRenderer, nullptr);
  EXPECT_EQ(s.rendererKind, 0);
  std::memset(def, 0, sizeof def);
  dir.Write("Data/Model/boarddef.bin", std::vector<uint8_t>(def, def + 64));
  LoadBoardDef();
}

// The binary form of ".x": tokens (names, braces, lists of integers and floats) instead of text.
class BinaryX {
 public:
  BinaryX() { Raw("xof 0303bin 0032"); }
  BinaryX& Name(const std::string& n) {
    Word(1);
    Dword(static_cast<uint32_t>(n.size()));
    Raw(n);
    return *this;
  }
  BinaryX& Open() { return Word(10); }
  BinaryX& Close() { return Word(11); }
  BinaryX& Ints(const std::vector<uint32_t>& v) {
    Word(6);
    Dword(static_cast<uint32_t>(v.size()));
    for (uint32_t x : v) Dword(x);
    return *this;
  }
  BinaryX& Floats(const std::vector<float>& v) {
    Word(7);
    Dword(static_cast<uint32_t>(v.size()));
    for (float f : v) {
      uint32_t x;
      std::memcpy(&x, &f, 4);
      Dword(x);
    }
    return *this;
  }
  std::vector<uint8_t> bytes;

 private:
  BinaryX& Word(uint16_t w) {
    bytes.push_back(static_cast<uint8_t>(w)), bytes.push_back(static_cast<uint8_t>(w >> 8));
    return *this;
  }
  void Dword(uint32_t d) {
    for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<uint8_t>(d >> (8 * k)));
  }
  void Raw(const std::string& s) { bytes.insert(bytes.end(), s.begin(), s.end()); }
};

TEST_F(ModelTest, BinaryFilesLoadLikeText) {
  BinaryX x;
  x.Name("Frame").Name("Tri").Open();
  x.Name("FrameTransformMatrix").Open().Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 4, 5, 1}).Close();
  x.Name("Mesh").Name("TriMesh").Open();
  x.Ints({3}).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).Ints({1, 3, 0, 1, 2});
  x.Name("MeshMaterialList").Open().Ints({1, 1, 0});
  x.Name("Material").Name("Red").Open().Floats({1, 0, 0, 1, 5, 0, 0, 0, 0, 0, 0}).Close();
  x.Close().Close().Close();
  plat::XModel m;
  std::string error;
  ASSERT_TRUE(plat::LoadXModel(x.bytes.data(), x.bytes.size(), &m, &error)) << error;
  ASSERT_TRUE(m.hasFrames);
  EXPECT_EQ(m.frames[0].name, "Tri");
  EXPECT_FLOAT_EQ(m.frames[0].transform[12], 3.0f);
  ASSERT_EQ(m.frames[0].parts.size(), 1u);
  EXPECT_EQ(m.frames[0].parts[0].indices, (std::vector<uint16_t>{0, 1, 2}));
  EXPECT_FLOAT_EQ(m.frames[0].parts[0].vertices[1].x, 1.0f);
  ASSERT_EQ(m.materials.size(), 1u);
  EXPECT_FLOAT_EQ(m.materials[0].diffuse[0], 1.0f);
  EXPECT_FLOAT_EQ(m.materials[0].power, 5.0f);
  // Cut short, it is refused.
  std::vector<uint8_t> cut(x.bytes.begin(), x.bytes.begin() + x.bytes.size() / 2);
  EXPECT_FALSE(plat::LoadXModel(cut.data(), cut.size(), &m, &error));
}

// The sample models load with their frames and animation sets.
TEST(SampleModels, LoadWithTheirFramesAndAnimations) {
  namespace fs = std::filesystem;
  const fs::path dirPath = fs::path(V4_TEST_GAME_DIR) / "Data" / "Model";
  ASSERT_TRUE(fs::exists(dirPath / "board.x")) << "build the sample data first";
  struct Case {
    const char* file;
    size_t animations;
    double period;
    const char* frame;
  };
  const Case cases[] = {{"board.x", 0, 0, "Board"},
                        {"figure_walk.x", 1, 1.0, "LegL"},
                        {"figure_attack.x", 1, 0.8, "ArmR"},
                        {"castle.x", 0, 0, "Castle"},
                        {"castle_burning.x", 1, 0.5, "FlameA"}};
  for (const Case& c : cases) {
    std::ifstream in(dirPath / c.file, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    plat::XModel m;
    std::string error;
    ASSERT_TRUE(plat::LoadXModel(bytes.data(), bytes.size(), &m, &error)) << c.file << ": " << error;
    EXPECT_TRUE(m.hasFrames);
    ASSERT_EQ(m.animations.size(), c.animations) << c.file;
    if (c.animations) {
      EXPECT_DOUBLE_EQ(m.animations[0].durationTicks / m.animations[0].ticksPerSecond, c.period);
    }
    bool found = false;
    for (const plat::XFrame& f : m.frames) found = found || f.name == c.frame;
    EXPECT_TRUE(found) << c.file << " " << c.frame;
  }
}

}  // namespace
