// The scene base: one-shot click, phases with delays in scaled time, step values, menus updated
// in order with the first decision winning, a stopped scene.
#include "ui/scenes/cv_scene.h"

#include <gtest/gtest.h>

#include "platform/text/log.h"
#include "scene_test_support.h"

using namespace scene_test;

namespace {

class PhaseScene : public CVScene {
 public:
  bool OnPhaseChange(int32_t old) override {
    changes.push_back({old, phase_});
    return true;
  }
  void OnPhaseLeave() override { ++leaves; }
  std::vector<std::pair<int32_t, int32_t>> changes;
  int leaves = 0;
};

class CVSceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetInputSource(&keys);
    GetSceneMgr().Reset();
  }
  void TearDown() override {
    GetSceneMgr().Reset();
    SetInputSource(nullptr);
  }
  // Sets the buttons and polls them into the manager's input, as a logic step does.
  void Buttons(bool left, bool right) {
    keys.SetKey(VK_LBUTTON, left);
    keys.SetKey(VK_RBUTTON, right);
    GetSceneMgr().GetInput().Update();
  }
  Keys keys;
};

TEST_F(CVSceneTest, ClickIsReportedOnceAfterTheRelease) {
  struct Frame {
    bool left, right;
    int32_t click;       // the scene's click state after the update
    uint32_t menuClick;  // what the screen menu saw as click state
    uint32_t mainClick;  // what the main menu saw
  };
  const Frame frames[] = {
      {false, false, 0, 0, 0}, {true, false, 0, 0, 0}, {true, false, 0, 0, 0},  {false, false, 1, 1, 1},
      {false, false, 0, 0, 0}, {false, true, 0, 0, 0}, {false, false, 2, 2, 0}, {false, false, 0, 0, 0},
  };
  PhaseScene scene;
  auto* menu = new StubMenu();
  auto* main = new StubMenu();
  scene.AddMenu(menu, 0);
  scene.SetMainMenu(main);
  main->flags.Set(kWfActive, 1);
  scene.Start();
  for (size_t i = 0; i < sizeof frames / sizeof frames[0]; ++i) {
    const Frame& f = frames[i];
    Buttons(f.left, f.right);
    scene.Update(16.0f);
    EXPECT_EQ(scene.GetClickState(), f.click) << i;
    EXPECT_EQ(menu->lastClickState, f.menuClick) << i;
    EXPECT_EQ(main->lastClickState, f.mainClick) << i;
    EXPECT_EQ(menu->lastClick, f.menuClick == 1 ? 1u : 0u) << i;
  }
}

TEST_F(CVSceneTest, PhasesAtOnceForcedAndDelayedInScaledTime) {
  PhaseScene s;
  s.Start();
  // A repeat of the requested phase does nothing; forced, it re-runs leave and change.
  s.SetPhase(2, 0, 0);
  s.SetPhase(2, 0, 0);
  EXPECT_EQ(s.changes.size(), 1u);
  s.SetPhase(2, 1, 0);
  EXPECT_EQ(s.changes, (std::vector<std::pair<int32_t, int32_t>>{{0, 2}, {2, 2}}));
  EXPECT_EQ(s.leaves, 2);

  struct Case {
    float speed;
    std::vector<float> dts;  // real ms per update
    int changedAfter;        // 1-based update at which the phase changed
  };
  const Case cases[] = {
      {1.0f, {40, 40, 19.9f, 0.5f, 30}, 5},  // truncated scaled times 40+40+19+0 < 100, then 30
      {5.0f, {10, 10, 10}, 2},               // 100 ms of scene time after 20 ms of real time
      {1.0f, {100}, 1},
  };
  for (const Case& c : cases) {
    PhaseScene p;
    p.Start();
    p.SetSpeed(c.speed);
    p.SetPhase(9, 1, 100);
    EXPECT_TRUE(p.IsPhaseChanging());
    int changed = 0;
    for (size_t i = 0; i < c.dts.size() && !changed; ++i) {
      p.Update(c.dts[i]);
      if (p.GetPhase() == 9) changed = static_cast<int>(i) + 1;
    }
    EXPECT_EQ(changed, c.changedAfter) << c.speed;
  }
  // ConfirmPhase cancels a pending change.
  PhaseScene q;
  q.Start();
  q.SetPhase(9, 1, 100);
  q.Update(50);
  EXPECT_EQ(q.ConfirmPhase(), 0);
  q.Update(100);
  EXPECT_EQ(q.GetPhase(), 0);
  EXPECT_FALSE(q.IsPhaseChanging());
}

TEST_F(CVSceneTest, StepValuesPerPhaseAndOutOfRangePhasesAreSafe) {
  PhaseScene s;
  s.Start();
  struct Case {
    int32_t phase;
    int32_t write;
    int32_t read;
  };
  const Case cases[] = {{0, 5, 5}, {255, 7, 7}, {256, 9, 0}, {-1, 4, 0}, {100000, 3, 0}, {1, 0, 0}};
  for (const Case& c : cases) {
    s.SetPhase(c.phase, 1, 0);
    s.SetStepValue(c.write);
    EXPECT_EQ(s.GetStepValue(), c.read) << c.phase;
  }
  // Values are kept per phase.
  s.SetPhase(0, 1, 0);
  EXPECT_EQ(s.GetStepValue(), 5);
  s.SetPhase(255, 1, 0);
  EXPECT_EQ(s.GetStepValue(), 7);
}

TEST_F(CVSceneTest, FirstDecidingMenuWinsAndReturnsOneUpdateLater) {
  CVScene s;
  auto* a = new StubMenu(11, 2);
  auto* b = new StubMenu(22, 2);
  auto* hidden = new StubMenu(33, 1);
  s.AddMenu(a, 0);
  s.AddMenu(hidden, 1);
  s.AddMenu(b, 2);
  hidden->flags.Set(kWfShown, 0);
  s.Start();  // opens the menus and updates once with dt 0
  EXPECT_EQ(a->updates, 1);
  EXPECT_EQ(s.Update(16), -1);  // a and b decide on their 2nd update: a wins, b is skipped
  EXPECT_EQ(s.GetLastHit(), 11);
  EXPECT_EQ(b->updates, 1);
  EXPECT_EQ(hidden->updates, 0);  // not shown: never updated
  EXPECT_EQ(s.Update(16), 11);    // the base returns the previous update's decision
  EXPECT_EQ(b->updates, 2);
  EXPECT_EQ(s.Update(16), 22);
}

TEST_F(CVSceneTest, StoppedSceneReturnsMinusOneAndLeavesItsMenus) {
  CVScene s;
  auto* m = new StubMenu(5, 1);
  s.AddMenu(m, 0);
  EXPECT_EQ(s.Update(16), -1);  // never started
  EXPECT_EQ(m->updates, 0);
  EXPECT_FALSE(s.Draw());
  s.Start();
  s.Stop();
  const int before = m->updates;
  EXPECT_EQ(s.Update(16), -1);
  EXPECT_EQ(m->updates, before);
  EXPECT_FALSE(s.Draw());
  EXPECT_FALSE(m->TestFlag(kWfActive));  // closed by Stop
  EXPECT_TRUE(s.Flags().Test(kSceneStopped));
}

TEST_F(CVSceneTest, MenusLeaveTheRootListAndTheSceneOwnsThem) {
  CVList roots;
  auto* m = new StubMenu();
  roots.Append(m);
  {
    CVScene s;
    EXPECT_FALSE(s.AddMenu(nullptr, 0));
    EXPECT_TRUE(s.AddMenu(m, 4));
    EXPECT_EQ(roots.count, 0);
    EXPECT_EQ(s.FindMenu(4), m);
    std::vector<CVMenuBase*> all;
    auto* child = new StubMenu();
    m->AddChild(child);
    s.CollectWidgets(all);
    EXPECT_EQ(all, (std::vector<CVMenuBase*>{m, child}));
  }  // deletes the menu
  EXPECT_EQ(roots.count, 0);
}

}  // namespace
