// Unchanged frames left undrawn: the device's frame fingerprint and the manager's skipping, on the
// recording null device.
#include <gtest/gtest.h>

#include <vector>

#include "render/board_renderer.h"
#include "render_fixture.h"

namespace {

struct SkipFixture {
  v4test::NullDeviceManager nm;
  CDGBoardRenderer* board = nullptr;
  CDGTexture* tex = nullptr;
  SkipFixture() {
    nm.mgr->SetSkipUnchangedFrames(true);
    tex = new CDGTexture(nm.mgr);
    tex->CreateEmpty(4, 4);
    board = new CDGBoardRenderer(nm.mgr);
    board->SetMode(CDGBoardRenderer::kScreen);
    board->SetTexture(tex);
    board->SetPosition(100, 100, 10);
    board->SetAxes(Vector3(1, 0, 0), Vector3(0, 1, 0));
    board->SetSize(64, 32);
  }
  ~SkipFixture() {
    board->Release();
    tex->Release();
  }
  // One frame: queued, swapped, rendered; whether it was drawn (presented).
  bool Frame() {
    nm.now += 18;
    board->Queue(true);
    nm.mgr->SwapRenderQueues();
    EXPECT_TRUE(nm.mgr->RenderFrame());
    return nm.mgr->LastFrameDrawn();
  }
};

// The first frames are drawn until two drawn in a row matched (the device state each starts from
// settles after the first), then the frames are only fingerprinted.
TEST(FrameSkip, AnUnchangedFrameIsDrawnUntilTwoMatchedThenLeftUndrawn) {
  SkipFixture f;
  int drawn = 0;
  while (drawn < 5 && f.Frame()) ++drawn;
  EXPECT_GE(drawn, 2);
  EXPECT_LE(drawn, 3);
  const int presents = f.nm.dev->presents;
  const size_t draws = f.nm.dev->draws.size();
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(f.Frame()) << i;
  EXPECT_EQ(f.nm.dev->presents, presents);
  EXPECT_EQ(f.nm.dev->draws.size(), draws) << "a dry frame reaches the device behind with nothing";
  EXPECT_EQ(f.nm.mgr->GetFrameStats().skipped, 11u);
}

// Whatever changes the picture makes the next frame drawn.
TEST(FrameSkip, EveryChangeOfThePictureIsDrawn) {
  struct Case {
    const char* what;
    void (*change)(SkipFixture&);
  } cases[] = {
      {"moved", [](SkipFixture& f) { f.board->SetPosition(101, 100, 10, true); }},
      {"recoloured",
       [](SkipFixture& f) { f.board->SetColors(0xFF102030u, 0xFF102030u, 0xFF102030u, 0xFF102030u, true); }},
      {"texture contents",
       [](SkipFixture& f) {
         std::vector<uint8_t> px(4 * 4 * 4, 0x7F);
         f.nm.mgr->Device()->UpdateTexture(f.tex->DeviceId(), plat::Rect{0, 0, 4, 4}, px.data(), 16);
       }},
      {"forced", [](SkipFixture& f) { f.nm.mgr->ForceRedraw(); }},
      {"a second passed", [](SkipFixture& f) { f.nm.now += CDGManager::kKeepAliveMs; }},
      {"window moved", [](SkipFixture& f) { f.nm.mgr->SetViewRect(10, 0, 1280, 720); }},
      {"reset", [](SkipFixture& f) { f.nm.mgr->ResetDevice(true); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SkipFixture f;
    for (int i = 0; i < 4 && f.Frame(); ++i) {}
    ASSERT_FALSE(f.Frame());
    c.change(f);
    const int presents = f.nm.dev->presents;
    EXPECT_TRUE(f.Frame());
    EXPECT_EQ(f.nm.dev->presents, presents + 1);
  }
}

TEST(FrameSkip, WithoutSkippingEveryFrameIsDrawn) {
  SkipFixture f;
  f.nm.mgr->SetSkipUnchangedFrames(false);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(f.Frame());
  EXPECT_EQ(f.nm.dev->presents, 5);
}

// A dry frame changes nothing behind the front: the state it set is answered to the frame's own
// getters and forgotten afterwards.
TEST(FrameSkip, ADryFrameLeavesTheDeviceBehindAsItWas) {
  v4test::NullDeviceManager nm;
  plat::FrameHashDevice* front = nm.mgr->HashDevice();
  front->SetZEnable(true);
  front->SetBlend(plat::BlendFactor::SrcAlpha, plat::BlendFactor::InvSrcAlpha);
  front->BeginFrame(true);
  front->SetZEnable(false);
  front->SetBlend(plat::BlendFactor::One, plat::BlendFactor::Zero);
  EXPECT_FALSE(front->GetZEnable());
  plat::BlendFactor s, d;
  front->GetBlend(&s, &d);
  EXPECT_EQ(s, plat::BlendFactor::One);
  EXPECT_TRUE(nm.dev->GetZEnable());
  const uint64_t dry = front->EndFrame();
  EXPECT_TRUE(front->GetZEnable());
  // The same calls drawn for real give the same fingerprint.
  front->BeginFrame(false);
  front->SetZEnable(false);
  front->SetBlend(plat::BlendFactor::One, plat::BlendFactor::Zero);
  EXPECT_EQ(front->EndFrame(), dry);
  EXPECT_FALSE(nm.dev->GetZEnable());
}

TEST(FrameSkip, ADryFrameThatReadsPixelsIsSpoiled) {
  v4test::NullDeviceManager nm;
  plat::FrameHashDevice* front = nm.mgr->HashDevice();
  std::vector<uint8_t> px;
  front->BeginFrame(true);
  front->ReadBackBuffer(plat::Rect{0, 0, 1, 1}, &px);
  front->EndFrame();
  EXPECT_TRUE(front->Spoiled());
}

}  // namespace
