// Reference counts, effect attachment and the draw flags of a renderer.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "render/dg_base.h"

namespace {

class CountedObject : public CDGReferenceObject {
 public:
  explicit CountedObject(int* deleted) : deleted_(deleted) {}

 protected:
  ~CountedObject() override { ++*deleted_; }

 private:
  int* deleted_;
};

class FakeEffect : public CDGEffect {
 public:
  FakeEffect(int passes, bool enabled) : passes_(passes) { enabled_ = enabled; }
  int Begin() override { return passes_; }

 private:
  int passes_;
};

using Flags = std::tuple<bool, bool, bool>;

class SpyRenderer : public CDGRendererBase {
 public:
  SpyRenderer() : CDGRendererBase(nullptr) {}
  void Update(float) override {}
  void Draw(bool a, bool b, bool c) override { draws.emplace_back(a, b, c); }
  float GetSortKey() override { return 0; }
  void OnMultiPass() override { ++multi; }
  void OnSinglePass() override { ++single; }
  std::vector<Flags> draws;
  int multi = 0, single = 0;
};

TEST(ReferenceObject, ReleaseDeletesAtZeroOrBelow) {
  int deleted = 0;
  auto* o = new CountedObject(&deleted);
  o->AddRef();
  EXPECT_FALSE(o->Release());
  EXPECT_EQ(deleted, 0);
  EXPECT_TRUE(o->Release());
  EXPECT_EQ(deleted, 1);
  CDGReferenceObject::Destroy(nullptr);  // ignored
  auto* p = new CountedObject(&deleted);
  p->AddRef();
  CDGReferenceObject::Destroy(p);  // whatever the count
  EXPECT_EQ(deleted, 2);
}

struct DrawCase {
  const char* what;
  std::vector<std::pair<int, bool>> effects;  // passes, enabled
  std::vector<Flags> want;
};

class RenderFlags : public ::testing::TestWithParam<DrawCase> {};

TEST_P(RenderFlags, DrawReceivesFirstAndLastFromEnabledPasses) {
  const DrawCase& c = GetParam();
  auto* r = new SpyRenderer();
  std::vector<FakeEffect*> fx;
  for (auto [passes, enabled] : c.effects) {
    fx.push_back(new FakeEffect(passes, enabled));
    r->AttachResource(fx.back(), false, false);
  }
  r->Render();
  EXPECT_EQ(r->draws, c.want) << c.what;
  r->Release();
  for (FakeEffect* e : fx) {
    EXPECT_EQ(e->RefCount(), 1) << c.what;
    e->Release();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderFlags,
    ::testing::Values(DrawCase{"no effect: one plain draw", {}, {Flags{false, false, false}}},
                      DrawCase{"one single-pass effect", {{1, true}}, {Flags{true, false, false}}},
                      DrawCase{
                          "one two-pass effect", {{2, true}}, {Flags{true, false, true}, Flags{false, true, false}}},
                      // A disabled effect is skipped: it neither draws a plain copy nor hides the last pass.
                      DrawCase{"enabled, disabled, enabled",
                               {{2, true}, {3, false}, {1, true}},
                               {Flags{true, false, true}, Flags{false, true, true}, Flags{false, true, false}}},
                      DrawCase{"only disabled effects: one plain draw", {{2, false}}, {Flags{false, false, false}}}));

TEST(RendererEffects, AttachTwiceDetachReleasesBothReferences) {
  auto* r = new SpyRenderer();
  auto* e = new FakeEffect(1, true);
  r->AttachResource(e, false, false);
  r->AttachResource(e, false, false);
  EXPECT_EQ(e->RefCount(), 3);
  EXPECT_EQ(r->Effects().size(), 2u);
  r->DetachResource(e);
  EXPECT_EQ(r->Effects().size(), 0u);
  EXPECT_EQ(e->RefCount(), 1);  // no reference leaked
  r->AttachResource(e, false, false);
  r->AttachResource(nullptr, true, false);  // clear first with a null effect only clears
  EXPECT_EQ(r->Effects().size(), 0u);
  EXPECT_EQ(e->RefCount(), 1);
  e->Release();
  r->Release();
}

TEST(RendererEffects, MultiAndSinglePassAreAnnouncedWhenTheTotalCrossesOne) {
  auto* r = new SpyRenderer();
  auto* one = new FakeEffect(1, true);
  auto* two = new FakeEffect(2, true);
  r->AttachResource(one, false, false);
  EXPECT_EQ(r->TotalPasses(), 1);
  EXPECT_EQ(r->multi, 0);
  EXPECT_EQ(r->single, 1);
  r->AttachResource(two, false, false);
  EXPECT_EQ(r->TotalPasses(), 3);
  EXPECT_EQ(r->multi, 1);               // announced once, though the total passed 1 only once
  r->AttachResource(one, false, true);  // deferred: no recount
  EXPECT_EQ(r->TotalPasses(), 3);
  r->DetachResource(two);
  EXPECT_EQ(r->TotalPasses(), 2);
  EXPECT_EQ(r->multi, 2);
  r->ReleaseResources();
  EXPECT_EQ(r->TotalPasses(), 0);
  EXPECT_EQ(r->single, 2);
  EXPECT_EQ(one->RefCount(), 1);
  one->Release();
  two->Release();
  r->Release();
}

}  // namespace
