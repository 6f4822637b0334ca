// The device manager's lists, camera maths, frame, reset and re-creation on the null device.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <functional>
#include <cmath>
#include <vector>

#include "render/board_renderer.h"
#include "render/dg_math.h"
#include "render_fixture.h"

namespace {

class SpyRenderer : public CDGRendererBase {
 public:
  SpyRenderer(CDGManager* m, float key, std::vector<int>* log, int id)
      : CDGRendererBase(m), key_(key), log_(log), id_(id) {}
  void Update(float ms) override { updates.push_back(ms); }
  void Draw(bool, bool, bool) override {
    if (log_) log_->push_back(id_);
  }
  float GetSortKey() override { return key_; }
  std::vector<float> updates;

 private:
  float key_;
  std::vector<int>* log_;
  int id_;
};

TEST(Manager, RendererMadeBeforeTheDeviceIsNeverUpdated) {
  auto* m = new CDGManager();
  auto* early = new SpyRenderer(m, 0, nullptr, 0);
  ASSERT_TRUE(
      m->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280, 720));
  auto* late = new SpyRenderer(m, 0, nullptr, 1);
  m->UpdateRenderers();
  EXPECT_TRUE(early->updates.empty());
  EXPECT_EQ(late->updates.size(), 1u);
  early->Release();
  late->Release();
  m->Release();
}

TEST(Manager, WithoutADeviceEverythingFailsCleanly) {
  CDGManager m;  // no OpenGL context on this thread
  EXPECT_FALSE(m.CreateDevice(nullptr, true, 1280, 720, 32));
  EXPECT_FALSE(m.IsReady());
  EXPECT_FALSE(m.CreateDeviceWith([](int, int) { return std::unique_ptr<plat::GfxDevice>(); }, true, 1280, 720));
  EXPECT_FALSE(m.RenderFrame());
  EXPECT_EQ(m.LoadTextureFromFile("Data\\x.png"), nullptr);
  EXPECT_EQ(m.CreateRenderTarget(4, 4), nullptr);
  EXPECT_EQ(m.RenderToTexture(4, 4), nullptr);
  EXPECT_FALSE(m.QueueRender(nullptr));
  EXPECT_FALSE(m.RecreateDevice());
}

TEST(Manager, ElapsedTimeWrapsAsUnsigned32BitsAndIsScaled) {
  v4test::NullDeviceManager nm;
  auto* r = new SpyRenderer(nm.mgr, 0, nullptr, 0);
  nm.now = 0xFFFFFFF0u;
  nm.mgr->SetClock([&nm] { return nm.now; });
  nm.now = 0x10u;  // wrapped: 0x20 ms later
  nm.mgr->UpdateRenderers();
  nm.mgr->SetTimeScale(0.5f);
  nm.now = 0x30u;
  nm.mgr->UpdateRenderers();
  ASSERT_EQ(r->updates.size(), 2u);
  EXPECT_FLOAT_EQ(r->updates[0], 32.0f);
  EXPECT_FLOAT_EQ(r->updates[1], 16.0f);
  r->Release();
}

// A renderer whose update changes the list: one taken out is skipped for the rest of the walk, one
// taken out and put back is updated, one made during the walk waits for the next.
TEST(Manager, RenderersLeavingDuringTheUpdateAreSkippedUnlessBack) {
  v4test::NullDeviceManager nm;
  struct Acting : CDGRendererBase {
    explicit Acting(CDGManager* m) : CDGRendererBase(m) {}
    void Update(float) override {
      ++updates;
      if (act) act();
    }
    void Draw(bool, bool, bool) override {}
    float GetSortKey() override { return 0; }
    std::function<void()> act;
    int updates = 0;
  };
  auto* first = new Acting(nm.mgr);
  auto* gone = new SpyRenderer(nm.mgr, 0, nullptr, 1);
  auto* back = new SpyRenderer(nm.mgr, 0, nullptr, 2);
  SpyRenderer* made = nullptr;
  first->act = [&] {
    nm.mgr->RemoveRenderer(gone);
    nm.mgr->RemoveRenderer(back);
    nm.mgr->AddToUpdateList(back);
    if (!made) made = new SpyRenderer(nm.mgr, 0, nullptr, 3);
  };
  nm.mgr->UpdateRenderers();
  EXPECT_EQ(first->updates, 1);
  EXPECT_TRUE(gone->updates.empty());
  EXPECT_EQ(back->updates.size(), 1u);
  ASSERT_NE(made, nullptr);
  EXPECT_TRUE(made->updates.empty());
  first->act = nullptr;
  nm.mgr->UpdateRenderers();
  EXPECT_TRUE(gone->updates.empty());
  EXPECT_EQ(back->updates.size(), 2u);
  EXPECT_EQ(made->updates.size(), 1u);
  first->Release();
  gone->Release();
  back->Release();
  made->Release();
}

TEST(Manager, QueuesAreDoubleBufferedAndSortedStablyByKey) {
  v4test::NullDeviceManager nm;
  std::vector<int> drawn;
  auto* a = new SpyRenderer(nm.mgr, 5.0f, &drawn, 1);
  auto* b = new SpyRenderer(nm.mgr, -1.0f, &drawn, 2);
  auto* c = new SpyRenderer(nm.mgr, 5.0f, &drawn, 3);
  auto* d = new SpyRenderer(nm.mgr, 0.0f, &drawn, 4);
  for (auto* r : {a, b, c, d}) r->Queue(true);
  b->Queue(false);  // disabled: not queued again
  EXPECT_EQ(nm.mgr->FillingQueue().size(), 4u);
  EXPECT_TRUE(nm.mgr->CurrentQueue().empty());
  ASSERT_TRUE(nm.mgr->RenderFrame());  // the queue being filled is not drawn
  EXPECT_TRUE(drawn.empty());
  nm.mgr->SwapRenderQueues();
  ASSERT_TRUE(nm.mgr->RenderFrame());
  EXPECT_EQ(drawn, (std::vector<int>{2, 4, 1, 3}));  // equal keys keep queueing order
  // Cleared to opaque black first, then presented.
  ASSERT_FALSE(nm.dev->clears.empty());
  EXPECT_EQ(nm.dev->clears.back().argb, 0xFF000000u);
  EXPECT_EQ(nm.dev->presents, 2);
  drawn.clear();
  nm.mgr->SwapRenderQueues();  // nothing queued this frame
  ASSERT_TRUE(nm.mgr->RenderFrame());
  EXPECT_TRUE(drawn.empty());
  for (auto* r : {a, b, c, d}) r->Release();
}

TEST(Manager, DestroyedRendererLeavesNoEntryEvenWhenQueuedTwice) {
  v4test::NullDeviceManager nm;
  std::vector<int> drawn;
  auto* keep = new SpyRenderer(nm.mgr, 0, &drawn, 1);
  auto* gone = new SpyRenderer(nm.mgr, 0, &drawn, 2);
  gone->Queue(true);
  gone->Queue(true);
  keep->Queue(true);
  nm.mgr->SwapRenderQueues();
  gone->Queue(true);
  nm.mgr->AddToOverlayList(gone);
  gone->Release();  // leaves the update list, both queues and the overlay list
  EXPECT_EQ(nm.mgr->UpdateList().size(), 1u);
  EXPECT_EQ(nm.mgr->CurrentQueue().size(), 1u);
  EXPECT_TRUE(nm.mgr->FillingQueue().empty());
  ASSERT_TRUE(nm.mgr->RenderFrame());
  EXPECT_EQ(drawn, std::vector<int>{1});
  keep->Release();
}

TEST(Manager, FailedPresentIsReportedAndPresentUsesTheViewRect) {
  v4test::NullDeviceManager nm;
  nm.mgr->SetDrawableSize(1920, 1200);
  nm.mgr->SetViewRect(0, 60, 1920, 1080);
  ASSERT_TRUE(nm.mgr->RenderFrame());
  EXPECT_EQ(nm.dev->lastPresentDest.y, 60);
  EXPECT_EQ(nm.dev->lastPresentDest.w, 1920);
  EXPECT_EQ(nm.dev->lastPresentSource.w, 1280);
  // Windowed with a smaller source: only that part of the back buffer.
  nm.mgr->SetPresentSource(0, 0, 640, 360);
  ASSERT_TRUE(nm.mgr->RenderFrame());
  EXPECT_EQ(nm.dev->lastPresentSource.w, 640);
  nm.dev->failPresent = true;
  EXPECT_FALSE(nm.mgr->RenderFrame());
}

TEST(Camera, NearAndFarPlanes) {
  struct Case {
    float nearIn, farIn, nearOut, farOut;
  };
  const Case cases[] = {{0, 100, 1.0f, 100.5f}, {200, 100, 100.0f, 100.5f}, {10, 50, 9.5f, 50.5f}};
  v4test::NullDeviceManager nm;
  for (const Case& c : cases) {
    nm.mgr->SetNearFar(c.nearIn, c.farIn);
    EXPECT_FLOAT_EQ(nm.mgr->NearPlane(), c.nearOut) << c.nearIn << "/" << c.farIn;
    EXPECT_FLOAT_EQ(nm.mgr->FarPlane(), c.farOut) << c.nearIn << "/" << c.farIn;
  }
}

TEST(Camera, UpVector) {
  struct Case {
    Vector3 dir;
    float roll;
    Vector3 want;
  };
  const Case cases[] = {
      {Vector3(0, -1, 0), 1.0f, Vector3(0, 0, 1)},  // straight down: fixed up, roll ignored
      {Vector3(0, 1, 0), 0.5f, Vector3(0, 0, 1)},
      {Vector3(0, 0, 1), 0.0f, Vector3(0, 1, 0)},
      {Vector3(0, 0, -1), 0.0f, Vector3(0, 1, 0)},
      {Vector3(0, 0, 1), 1.5707964f, Vector3(-1, 0, 0)},  // a quarter roll about +z
  };
  for (const Case& c : cases) {
    const Vector3 up = CDGManager::UpVector(c.dir, c.roll);
    EXPECT_NEAR(up.x, c.want.x, 1e-5f);
    EXPECT_NEAR(up.y, c.want.y, 1e-5f);
    EXPECT_NEAR(up.z, c.want.z, 1e-5f);
  }
}

TEST(Camera, DefaultCameraMapsWorldToScreenPixels) {
  v4test::NullDeviceManager nm;
  Matrix44 vp, all;
  nm.mgr->ViewMatrix().Multiply(nm.mgr->ProjectionMatrix(), vp);
  vp.Multiply(nm.mgr->ViewportMatrix(), all);
  const float pts[][3] = {{0, 0, 0}, {100, 50, 10}, {1279, 719, -20}, {640, 360, 0}};
  for (const auto& p : pts) {
    Vector3 out;
    all.TransformCoord(Vector3(640 - p[0], 360 - p[1], p[2]), out);
    EXPECT_NEAR(out.x, p[0], 1e-3f);
    EXPECT_NEAR(out.y, p[1], 1e-3f);
  }
  // A larger world z is nearer: smaller depth.
  Vector3 a, b;
  all.TransformCoord(Vector3(0, 0, 10), a);
  all.TransformCoord(Vector3(0, 0, 0), b);
  EXPECT_LT(a.z, b.z);
}

// The program-wide services the screens call: the flat camera back after a moved one, and the
// sampler's addressing; both do nothing without a manager.
TEST(Camera, DefaultCameraAndAddressingOnTheProgramsManager) {
  EXPECT_FALSE(SetDefaultCamera());
  SetTextureAddressClamp(0);
  v4test::NullDeviceManager nm(v4test::ManagerScope::kProgram);
  const Matrix44 view = nm.mgr->ViewMatrix(), projection = nm.mgr->ProjectionMatrix();
  ASSERT_TRUE(
      nm.mgr->SetCamera(Vector3(10, 20, -300), Vector3(0, 0, 0), 0.3f, 0.8f, 1, 5000, CDGManager::kPerspective));
  ASSERT_NE(std::memcmp(&view.m[0][0], &nm.mgr->ViewMatrix().m[0][0], sizeof view.m), 0);
  EXPECT_TRUE(SetDefaultCamera());
  EXPECT_EQ(std::memcmp(&view.m[0][0], &nm.mgr->ViewMatrix().m[0][0], sizeof view.m), 0);
  EXPECT_EQ(std::memcmp(&projection.m[0][0], &nm.mgr->ProjectionMatrix().m[0][0], sizeof projection.m), 0);
  struct Case {
    int flag;
    bool wrap;
  };
  for (const Case& c : {Case{0, true}, Case{1, false}, Case{0, true}, Case{-5, false}}) {
    SetTextureAddressClamp(c.flag);
    EXPECT_EQ(nm.dev->textureWrap, c.wrap) << c.flag;
  }
}

TEST(Camera, DistanceZeroFailsAndChangesNothing) {
  v4test::NullDeviceManager nm;
  const Matrix44 before = nm.mgr->ViewMatrix();
  EXPECT_FALSE(nm.mgr->SetCameraByDistance(0.0f, Vector3(0, 0, 1), Vector3(5, 5, 5), 0, 1, 100, 0));
  EXPECT_EQ(std::memcmp(&before.m[0][0], &nm.mgr->ViewMatrix().m[0][0], sizeof before.m), 0);
  EXPECT_FALSE(nm.mgr->SetProjection(2, 1.0f));
  CDGManager notReady;
  EXPECT_FALSE(notReady.SetCamera(Vector3(0, 0, -10), Vector3(0, 0, 0), 0, 1, 1, 100, 0));
}

TEST(Camera, FacingMatrixTurnsTheBoardTowardsTheCamera) {
  v4test::NullDeviceManager nm;
  for (const Vector3& eye : {Vector3(0, 0, -500), Vector3(300, 0, -300), Vector3(0, 200, -100)}) {
    ASSERT_TRUE(nm.mgr->SetCamera(eye, Vector3(0, 0, 0), 0, 0.8f, 1, 5000, CDGManager::kPerspective));
    // The facing matrix turns local +z towards the eye.
    const Vector3 n = TransformNormal(Vector3(0, 0, 1), nm.mgr->CameraFacingMatrix());
    Vector3 toEye;
    eye.Normalize(toEye);
    EXPECT_NEAR(Dot(n, toEye), 1.0f, 1e-4f);
  }
}

TEST(Manager, ResetKeepsObjectsAndEmptiesRenderTargets) {
  v4test::NullDeviceManager nm;
  CDGTexture* target = nm.mgr->CreateRenderTarget(8, 8);
  ASSERT_NE(target, nullptr);
  ASSERT_TRUE(nm.dev->SetRenderTarget(target->DeviceId()));
  nm.dev->Clear(true, false, 0xFFFFFFFFu, 1);
  nm.dev->SetRenderTarget(0);
  nm.dev->SimulateLoss();
  EXPECT_TRUE(nm.mgr->IsDeviceLost());
  EXPECT_FALSE(nm.mgr->RenderFrame());  // nothing is presented while lost
  EXPECT_EQ(nm.mgr->ResetDevice(true), 0);
  EXPECT_FALSE(nm.mgr->IsDeviceLost());
  EXPECT_TRUE(nm.mgr->RenderFrame());
  std::vector<uint8_t> px;
  ASSERT_TRUE(nm.dev->ReadTexture(target->DeviceId(), &px));
  EXPECT_EQ(px[0], 0);
  EXPECT_TRUE(target->HasTexture());
  target->Release();
  CDGManager none;
  EXPECT_EQ(static_cast<uint32_t>(none.ResetDevice(true)), 0x80004005u);
}

TEST(Manager, RecreatedDeviceKeepsEveryPointerValid) {
  v4test::NullDeviceManager nm;
  plat::NullDevice* first = nm.dev;
  auto* board = new CDGBoardRenderer(nm.mgr);
  auto* tex = new CDGTexture(nm.mgr);
  ASSERT_TRUE(tex->CreateEmpty(4, 2));
  CDGTexture* target = nm.mgr->CreateRenderTarget(16, 16);
  board->SetTexture(tex);
  board->SetSize(4, 2, true);
  ASSERT_TRUE(nm.mgr->RecreateDevice());
  EXPECT_NE(nm.dev, first);
  EXPECT_TRUE(tex->HasTexture());
  EXPECT_TRUE(target->HasTexture());
  int w = 0, h = 0;
  EXPECT_TRUE(nm.dev->TextureSize(tex->DeviceId(), &w, &h));
  EXPECT_EQ(w, 4);
  EXPECT_EQ(nm.dev->LiveTextures(), 2u);
  board->Queue(true);
  nm.mgr->SwapRenderQueues();
  ASSERT_TRUE(nm.mgr->RenderFrame());
  ASSERT_EQ(nm.dev->draws.size(), 1u);
  EXPECT_EQ(nm.dev->draws[0].texture, tex->DeviceId());
  target->Release();
  tex->Release();
  board->Release();
}

TEST(Manager, ReleasingTheManagerDetachesRenderersAndTextures) {
  auto* m = new CDGManager();
  ASSERT_TRUE(
      m->CreateDeviceWith([](int w, int h) { return std::make_unique<plat::NullDevice>(w, h); }, true, 1280, 720));
  auto* board = new CDGBoardRenderer(m);
  CDGTexture* target = m->CreateRenderTarget(4, 4);
  auto* tex = new CDGTexture(m);
  tex->CreateEmpty(2, 2);
  board->SetTexture(tex);
  board->Queue(true);
  m->Release();
  // Still valid objects that no longer reach a device.
  EXPECT_EQ(board->GetManager(), nullptr);
  EXPECT_FALSE(tex->HasTexture());
  EXPECT_FALSE(target->HasTexture());
  board->Queue(true);
  board->Draw(false, false, false);
  target->Release();
  tex->Release();
  board->Release();
}

}  // namespace
