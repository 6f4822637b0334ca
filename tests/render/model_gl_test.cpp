// The model renderer on the real OpenGL device offscreen: one golden picture of the animated
// fixture at a fixed time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/png/png_image.h"
#include "render/dg_manager.h"
#include "render/file_load.h"
#include "render/model/model_renderer.h"
#include "tests/support/null_graphics.h"
#include "tests/support/offscreen_gl_suite.h"
#include "tests/support/temp_module_dir.h"
#include "model_fixture.h"

namespace {

class ModelGlTest : public v4test::OffscreenGlSuite<> {
 protected:
  void SetUp() override {
    ASSERT_NE(Context(), nullptr) << "no offscreen OpenGL context";
    mgr = new CDGManager();
    ASSERT_TRUE(mgr->CreateDevice(nullptr, true, 1280, 720, 32));
    mgr->SetDefaultRenderStates(false);
    ASSERT_TRUE(v4test::SetDefaultCamera(mgr));
    SetDGManager(mgr);
  }
  void TearDown() override {
    SetDGManager(nullptr);
    if (mgr) mgr->Release();
  }
  v4test::TempModuleDir dir;
  CDGManager* mgr = nullptr;
};

// The fixture at 0.5 s, 100 times its size at the origin: the blue front of the body over its red
// back, the green arm turned by 45 degrees behind it. Set V4_UPDATE_GOLDEN=1 to rewrite the file.
TEST_F(ModelGlTest, AnimatedModelMatchesItsGoldenPicture) {
  dir.Write("Data/Model/red.png", v4test::SolidPng(4, 4, 0xFF0000FFu));
  const std::string text = kTwoFrameModel;
  dir.Write("Data/Model/wave.x", std::vector<uint8_t>(text.begin(), text.end()));
  auto* model = new CDGModelRenderer(mgr);
  auto* l = new CDGFileLoad_QZT(dir.ProgramPath("Data/Model/wave.x").c_str());
  model->LoadModel(l);
  l->Release();
  ASSERT_TRUE(model->HasModel());
  model->SetScale(Vector3(100, 100, 1));
  model->UpdateWorldMatrix();
  model->RestartAnimation(true);
  model->Update(500);
  model->Queue(true);
  mgr->SwapRenderQueues();
  ASSERT_TRUE(mgr->RenderFrame());
  std::vector<uint8_t> px;
  const plat::Rect crop{440, 160, 400, 400};
  ASSERT_TRUE(mgr->Device()->ReadBackBuffer(crop, &px));
  model->Release();

  const std::string golden = std::string(V4_TEST_SOURCE_DIR) + "/tests/render/golden/model_wave_500ms.png";
  if (std::getenv("V4_UPDATE_GOLDEN")) {
    std::vector<uint8_t> png;
    ASSERT_TRUE(plat::EncodePng(crop.w, crop.h, px, &png));
    std::ofstream(golden, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
  }
  std::ifstream in(golden, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  plat::RgbaImage want;
  ASSERT_TRUE(plat::DecodePng(bytes.data(), bytes.size(), &want)) << golden;
  ASSERT_EQ(want.width, crop.w);
  ASSERT_EQ(want.height, crop.h);
  int off = 0;
  for (size_t i = 0; i < px.size(); ++i)
    if (std::abs(int(px[i]) - int(want.pixels[i])) > 2) ++off;
  EXPECT_LE(off, 40) << "values that differ from the golden picture";
}

}  // namespace
