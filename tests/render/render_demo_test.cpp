// The drawing demo on its pictures (Data/Demo.SZS made by the data tools beside the tests): every
// picture loads from the archive (PNG, "tig", "tds") and shows up on the offscreen device.
#include <gtest/gtest.h>

#include "core/game_file.h"
#include "platform/gl/gl_context.h"
#include "render/dg_manager.h"
#include "render_demo.h"

namespace {

TEST(RenderDemo, DrawsPicturesFromTheSampleArchive) {
  auto ctx = plat::OffscreenGlContext::Create(64, 64);
  ASSERT_NE(ctx, nullptr);
  const std::string oldDir = GetModuleDir();
  ASSERT_TRUE(SetModuleDirFromHost(V4_TEST_DEMO_DIR));
  auto* mgr = new CDGManager();
  ASSERT_TRUE(mgr->CreateDevice(nullptr, true, 1280, 720, 32));
  ASSERT_TRUE(mgr->SetCameraByDistance(100000.0f, Vector3(0, 0, -1), Vector3(0, 0, 0), 0, 1, 200000,
                                       CDGManager::kOrthographic));
  SetDGManager(mgr);
  {
    RenderDemo demo;
    ASSERT_TRUE(demo.Load());
    demo.Step();
    demo.Queue();
    mgr->SwapRenderQueues();
    ASSERT_TRUE(mgr->RenderFrame());
    std::vector<uint8_t> px;
    ASSERT_TRUE(mgr->Device()->ReadBackBuffer(plat::Rect{0, 0, 1280, 720}, &px));
    auto at = [&](int x, int y, int c) { return px[(static_cast<size_t>(y) * 1280 + x) * 4 + c]; };
    // Outside the panel: the cleared black.
    EXPECT_EQ(at(10, 10, 0), 0);
    EXPECT_EQ(at(10, 10, 2), 0);
    // The "tds" panel: its dark blue top, mostly opaque.
    EXPECT_NEAR(at(100, 45, 2), 0x60 * 0xE0 / 255, 3);
    EXPECT_GT(at(100, 45, 2), at(100, 45, 0));
    // The "tig" emblem, added in warm yellow at its centre.
    EXPECT_GT(at(576 + 64, 136 + 64, 0), 200);
    EXPECT_GT(at(576 + 64, 136 + 64, 1), 150);
    // Some sheet cells (opaque PNG): count pixels of the cell frames' white.
    int white = 0;
    for (int y = 330; y < 500; ++y)
      for (int x = 0; x < 1280; ++x) white += at(x, y, 0) == 255 && at(x, y, 1) == 255 && at(x, y, 2) == 255;
    EXPECT_GT(white, 8 * 60);
  }
  SetDGManager(nullptr);
  mgr->Release();
  SetModuleDir(oldDir.c_str());
}

}  // namespace
