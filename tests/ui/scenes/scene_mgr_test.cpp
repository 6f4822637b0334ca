// The scene manager: table reading, creation, push/pop/replace with resident scenes, deferred
// requests, transitions, the logic-step clock and the deferred destruction of a scene that removes
// itself during its own update.
#include "ui/scenes/scene_mgr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "core/app_state.h"
#include "platform/text/log.h"
#include "scene_test_support.h"
#include "ui/scenes/scene_dlg.h"

using namespace scene_test;

namespace {

class SceneMgrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetInputSource(&keys);
    plat::SetLogEnabled(false);
  }
  void TearDown() override {
    GetSceneMgr().Reset();
    SetInputSource(nullptr);
    plat::SetLogEnabled(true);
  }
  // Runs one manager step with a 16.67 ms frame.
  void Step() { mgr().Update(); }
  static CVSceneMgr& mgr() { return GetSceneMgr(); }
  static LoggingScene* Scene(int id) { return static_cast<LoggingScene*>(mgr().GetScene(id)); }
  static std::vector<int> Stack() { return {mgr().GetStack().begin(), mgr().GetStack().end()}; }
  Keys keys;
  Clock clock;
};

const std::vector<SceneDef> kPlainScenes = {{1, false, {}}, {2, false, {}}, {3, true, {}},
                                            {5, false, {}}, {10, true, {}}, {100, false, {}}};

TEST(SceneTable, RecordBytesAsStored) {
  // Scene 10's record, worked out from the record layout: id, resident, menu 0 of type 10 with its
  // layout name, results 1 and 2 popping, the other six transitions unused (result -1).
  v4fmt::SceneSource dlg{10, true, {{0, 10, "Data\\layout\\dialog.lay"}}, {{1, -1, 0}, {2, -1, 0}}};
  SceneFlowTable table;
  std::string error;
  ASSERT_TRUE(v4fmt::BuildSceneTable({dlg}, table, error)) << error;
  const std::vector<uint8_t> bytes = v4fmt::WriteSceneTable(table);
  ASSERT_EQ(bytes.size(), 151904u);
  const uint8_t* r = bytes.data() + 0x3AC0;
  const uint8_t head[] = {0x0A, 0x00, 0x01, 0x00, 0x0A, 0x00};
  EXPECT_EQ(std::memcmp(r, head, 6), 0);
  EXPECT_EQ(std::memcmp(r + 6, "Data\\layout\\dialog.lay", 23), 0);  // with its terminator
  for (int i = 6 + 23; i < 1456; ++i) ASSERT_EQ(r[i], 0) << i;
  const uint8_t t[] = {0x01, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00, 0xFF, 0xFF, 0x00, 0x00};
  EXPECT_EQ(std::memcmp(r + 1456, t, sizeof t), 0);
  for (int k = 2; k < 8; ++k) {
    const uint8_t unused[] = {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(r + 1456 + 6 * k, unused, 6), 0) << k;
  }
  // Slot 0 is empty; slot s holds scene s.
  for (int i = 0; i < 1504; ++i) ASSERT_EQ(bytes[i], 0);
}

TEST(SceneTable, UnterminatedNamesAreCutAtTheirField) {
  std::vector<uint8_t> image(v4fmt::kSceneTableBytes, 0);
  image[0] = 100;
  image[4] = 10;
  std::memset(image.data() + 6, 'a', 64);  // no terminator in the field
  SceneFlowTable t;
  ASSERT_TRUE(v4fmt::ReadSceneTable(image.data(), image.size(), t));
  EXPECT_EQ(t[0].sceneId, 100);
  EXPECT_EQ(std::strlen(t[0].menus[0].layoutName), 63u);
  for (int r = 1; r < 101; ++r) ASSERT_EQ(t[r].sceneId, 0);
}

// A damaged table is refused whole (nothing half-read is kept): the game logs it, the tool fails.
TEST(SceneTable, DamagedImagesAreRefused) {
  std::vector<uint8_t> good(v4fmt::kSceneTableBytes, 0);
  good[0] = 5;
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
  } cases[] = {
      {"empty", [](std::vector<uint8_t>& b) { b.clear(); }},
      {"cut to one record", [](std::vector<uint8_t>& b) { b.resize(1504); }},
      {"cut inside a record", [](std::vector<uint8_t>& b) { b.resize(3); }},
      {"a byte too many", [](std::vector<uint8_t>& b) { b.push_back(0); }},
      {"scene id out of range", [](std::vector<uint8_t>& b) { b[1504 * 7] = 200; }},
      {"negative scene id", [](std::vector<uint8_t>& b) { b[1504 * 7 + 1] = 0x80; }},
      {"transition to scene 300",
       [](std::vector<uint8_t>& b) {
         b[1456] = 1;  // result 1 is used
         b[1456 + 2] = 300 & 0xFF;
         b[1456 + 3] = 300 >> 8;
       }},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = good;
    c.damage(bytes);
    SceneFlowTable t;
    std::string error;
    EXPECT_FALSE(v4fmt::ReadSceneTable(bytes.data(), bytes.size(), t, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_EQ(t[0].sceneId, 0) << c.what;
  }
  SceneFlowTable t;
  EXPECT_TRUE(v4fmt::ReadSceneTable(good.data(), good.size(), t));
  EXPECT_EQ(t[0].sceneId, 5);
}

TEST(SceneTable, BuildRefusesBadSources) {
  struct Case {
    const char* what;
    std::vector<v4fmt::SceneSource> scenes;
  };
  const std::string name63 = std::string(59, 'a') + ".lay";
  const std::string name64 = std::string(60, 'a') + ".lay";
  const Case cases[] = {
      {"duplicate id", {{3, false, {}, {}}, {3, true, {}, {}}}},
      {"id 0", {{0, false, {}, {}}}},
      {"id 101", {{101, false, {}, {}}}},
      {"unknown menu type", {{1, false, {{0, 50, "a.lay"}}, {}}}},
      {"type above 10000", {{1, false, {{0, 10001, "a.lay"}}, {}}}},
      {"layout name of 64 bytes", {{1, false, {{0, 10, name64}}, {}}}},
      {"layout name without extension", {{1, false, {{0, 10, "layout"}}, {}}}},
      {"menu entry 22", {{1, false, {{22, 10, "a.lay"}}, {}}}},
      {"menu entry twice", {{1, false, {{0, 10, "a.lay"}, {0, 20, "b.lay"}}, {}}}},
      {"nine transitions", {{1, false, {}, std::vector<v4fmt::SceneTransitionSource>(9, {1, 2, 0})}}},
      {"result over 16 bits", {{1, false, {}, {{40000, 2, 0}}}}},
  };
  for (const Case& c : cases) {
    SceneFlowTable t;
    std::string error;
    EXPECT_FALSE(v4fmt::BuildSceneTable(c.scenes, t, error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
  SceneFlowTable t;
  std::string error;
  EXPECT_TRUE(v4fmt::BuildSceneTable({{1, false, {{0, 10, name63}, {21, 46, "x.lay"}}, {}}}, t, error)) << error;
}

TEST_F(SceneMgrTest, MissingTableMakesEveryCreationFail) {
  ResetManager({});
  EXPECT_FALSE(mgr().LoadSceneTable("no\\such\\scene.bin"));
  for (int id : {1, 3, 10, 100}) EXPECT_FALSE(mgr().CreateScene(id, nullptr)) << id;
  EXPECT_FALSE(mgr().ChangeScene(1, 0));
  EXPECT_EQ(mgr().GetCurrentSceneId(), -1);
  EXPECT_FALSE(mgr().Update());
}

TEST_F(SceneMgrTest, CreationByIdAndMenusFromTheRecord) {
  ResetManager(
      {{1, false, {}, {{0, 10, "a.lay"}, {3, 10, "b.lay"}, {5, 20, "c.lay"}}}, {13, false, {}}, {100, false, {}}});
  // A type the factory does not know (the table tool refuses it, an old file may hold it).
  SceneFlowTable table = mgr().GetSceneTable();
  table[1].menus[3].menuType = 50;
  mgr().SetSceneTable(table);
  // Ids without a class or a record, or outside 1..100, fail.
  for (int id : {0, -1, 2, 13, 99, 101, 1000}) EXPECT_FALSE(mgr().CreateScene(id, nullptr)) << id;
  ASSERT_TRUE(mgr().CreateScene(1, nullptr));
  EXPECT_EQ(Log(), (std::vector<std::string>{"new1", "start1"}));
  // Entries 0 and 5 made; type 50 is unknown and left out.
  const auto& menus = Scene(1)->Menus();
  ASSERT_EQ(menus.size(), 2u);
  EXPECT_EQ(menus[0].sceneMenuId, 0);
  EXPECT_EQ(menus[1].sceneMenuId, 5);
  EXPECT_EQ(Scene(1)->FindMenu(5), menus[1].widget);
  EXPECT_EQ(Scene(1)->FindMenu(3), nullptr);
  EXPECT_TRUE(menus[0].widget->TestFlag(kWfActive));  // opened by Start
  // Creating it again neither rebuilds nor restarts it.
  Log().clear();
  EXPECT_TRUE(mgr().CreateScene(1, nullptr));
  EXPECT_TRUE(Log().empty());
  // The default registry: 10 is the dialog scene, 100 a plain scene.
  EXPECT_NE(dynamic_cast<LoggingScene*>(mgr().GetScene(1)), nullptr);
  EXPECT_EQ(GetSceneById(1), mgr().GetScene(1));
  EXPECT_EQ(GetSceneById(0), nullptr);
}

TEST_F(SceneMgrTest, DefaultRegistryMakesTheDialogAndPlainScenes) {
  CVSceneMgr& m = mgr();
  m.Reset();
  m.SetSceneTable(MakeTable({{10, true, {}}, {100, false, {}}, {7, false, {}}, {1, false, {}}}));
  ASSERT_TRUE(m.CreateScene(10, nullptr));
  EXPECT_NE(dynamic_cast<CVSceneDlg*>(m.GetScene(10)), nullptr);
  ASSERT_TRUE(m.CreateScene(100, nullptr));
  EXPECT_EQ(dynamic_cast<CVSceneDlg*>(m.GetScene(100)), nullptr);
  EXPECT_TRUE(m.CreateScene(7, nullptr));
  // The title comes only from the front screens: the registry has nothing standing in for it.
  EXPECT_FALSE(m.CreateScene(1, nullptr));
}

TEST_F(SceneMgrTest, PushPopAndReplaceOrderWithResidentScenes) {
  ResetManager(kPlainScenes);
  ASSERT_TRUE(mgr().ChangeScene(1, 0));
  ASSERT_TRUE(mgr().ChangeScene(5, 1));  // push 5 over 1
  EXPECT_EQ(Stack(), std::vector<int>{1});
  ASSERT_TRUE(mgr().ChangeScene(3, 1));  // push 3 (resident) over 5
  EXPECT_EQ(Stack(), (std::vector<int>{1, 5}));
  Scene(3)->SetPhase(7, 0, 0);
  ASSERT_TRUE(mgr().ChangeScene(10, 1));
  ASSERT_TRUE(mgr().PopScene());  // 10 is resident: kept
  EXPECT_NE(mgr().GetScene(10), nullptr);
  EXPECT_EQ(Scene(3)->GetPhase(), 7);
  EXPECT_EQ(Log(), (std::vector<std::string>{"new1", "start1", "enter1",            // first change
                                             "new5", "start5", "leave1", "enter5",  // push 5
                                             "new3", "start3", "leave5", "enter3",  // push 3
                                             "new10", "start10", "leave3", "enter10", "leave10", "enter3"}));
  // Pop 3 back to 5: resident 3 survives; pop 5 back to 1: 5 is deleted (stopped first).
  Log().clear();
  ASSERT_TRUE(mgr().PopScene());
  ASSERT_TRUE(mgr().PopScene());
  EXPECT_EQ(Log(), (std::vector<std::string>{"leave3", "enter5", "leave5", "enter1", "stop5", "delete5"}));
  EXPECT_NE(mgr().GetScene(3), nullptr);
  EXPECT_FALSE(mgr().PopScene());  // empty stack
  EXPECT_EQ(mgr().GetCurrentSceneId(), 1);
}

TEST_F(SceneMgrTest, ReplacingUnwindsTheStackButKeepsTheTarget) {
  ResetManager({{1, false, {}}, {3, false, {}}, {5, false, {}}});
  mgr().ChangeScene(1, 0);
  mgr().ChangeScene(3, 1);
  mgr().ChangeScene(5, 1);
  ASSERT_EQ(Stack(), (std::vector<int>{1, 3}));
  Log().clear();
  ASSERT_TRUE(mgr().ChangeScene(3, 0));
  EXPECT_EQ(Log(), (std::vector<std::string>{"leave5", "enter3", "stop5", "delete5", "stop1", "delete1"}));
  EXPECT_TRUE(Stack().empty());
  EXPECT_EQ(mgr().GetCurrentSceneId(), 3);
  EXPECT_EQ(mgr().GetScene(1), nullptr);
  // A failed change changes nothing.
  Log().clear();
  EXPECT_FALSE(mgr().ChangeScene(2, 1));
  EXPECT_EQ(mgr().GetCurrentSceneId(), 3);
  EXPECT_TRUE(Log().empty());
}

TEST_F(SceneMgrTest, TransitionsTriedInOrderUntilOneSucceeds) {
  struct Case {
    const char* what;
    int32_t result;
    int expectCurrent;
  };
  // Scene 1: 7 -> 13 (no class) then 7 -> 2 then 7 -> 3; 0 -> 5; -25536 (40000 as 16 bits) -> 3.
  const std::vector<SceneDef> defs = {{1, false, {{7, 13, 0}, {7, 2, 0}, {7, 3, 0}, {0, 5, 1}, {-25536, 3, 0}}},
                                      {2, false, {}},
                                      {3, false, {}},
                                      {5, false, {}},
                                      {13, false, {}}};
  const Case cases[] = {
      {"first succeeding transition wins", 7, 2},      {"result 0 has its transition", 0, 5}, {"-1 never moves", -1, 1},
      {"40000 never matches a 16-bit code", 40000, 1}, {"no transition for the code", 8, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetManager(defs);
    ASSERT_TRUE(mgr().ChangeScene(1, 0));
    Scene(1)->results = {c.result};
    Step();
    EXPECT_EQ(mgr().GetCurrentSceneId(), c.expectCurrent);
  }
}

TEST_F(SceneMgrTest, RequestsAreCarriedOutAfterTheUpdateAndTheLastWins) {
  ResetManager(kPlainScenes);
  mgr().ChangeScene(1, 0);
  mgr().RequestChange(2, 0);
  mgr().RequestChange(5, 1);
  EXPECT_EQ(mgr().GetRequest().target, 5);
  Log().clear();
  Step();
  // A pending request blocks the scene's update for that step.
  EXPECT_EQ(Log(), (std::vector<std::string>{"new5", "start5", "leave1", "enter5"}));
  EXPECT_EQ(mgr().GetCurrentSceneId(), 5);
  EXPECT_EQ(mgr().GetScene(2), nullptr);
  EXPECT_EQ(mgr().GetRequest().target, 0);
  // A pop request returns to the stack top at the next step; 5 is deleted.
  RequestSceneChange(-1, 0);
  Log().clear();
  Step();
  EXPECT_EQ(Log(), (std::vector<std::string>{"leave5", "enter1", "stop5", "delete5"}));
  EXPECT_EQ(mgr().GetCurrentSceneId(), 1);
}

TEST_F(SceneMgrTest, ARequestThatCannotSucceedIsDroppedNotKeptForever) {
  struct Case {
    const char* what;
    int32_t target;
  };
  const Case cases[] = {{"pop with an empty stack", -1},
                        {"id without a record", 6},
                        {"id without a class", 50},
                        {"id outside 1..100", 300}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetManager(kPlainScenes);
    mgr().ChangeScene(1, 0);
    mgr().RequestChange(c.target, 0);
    const int before = Scene(1)->updates;
    Step();  // tried once, failed, dropped
    EXPECT_EQ(mgr().GetRequest().target, 0);
    EXPECT_EQ(Scene(1)->updates, before);
    Step();  // the scene runs again
    EXPECT_EQ(Scene(1)->updates, before + 1);
    EXPECT_EQ(mgr().GetCurrentSceneId(), 1);
  }
}

TEST_F(SceneMgrTest, ASceneThatRemovesItselfIsDestroyedAfterTheUpdate) {
  struct Case {
    const char* what;
    void (*hook)(LoggingScene*);
  };
  const Case cases[] = {
      {"pop from its own update", [](LoggingScene*) { ReturnToPreviousScene(); }},
      {"replace from its own update", [](LoggingScene*) { GetSceneMgr().ChangeScene(2, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetManager(kPlainScenes);
    mgr().ChangeScene(1, 0);
    mgr().ChangeScene(5, 1);
    Scene(5)->onUpdate = c.hook;
    Log().clear();
    Step();
    // The scene finished its update before it was stopped and deleted.
    const std::vector<std::string>& log = Log();
    auto pos = [&](const std::string& s) { return std::find(log.begin(), log.end(), s) - log.begin(); };
    ASSERT_LT(pos("updated5"), static_cast<long>(log.size()));
    EXPECT_LT(pos("updated5"), pos("stop5"));
    EXPECT_LT(pos("stop5"), pos("delete5"));
    EXPECT_EQ(mgr().GetScene(5), nullptr);
  }
}

TEST_F(SceneMgrTest, LogicStepClockAndRatio) {
  ResetManager(kPlainScenes);
  struct Tick {
    uint32_t now;
    bool due;
    float ratio;
  };
  // The first call is always due; then due at 17 ms or more after the last due step.
  const uint32_t base = 0xFFFFFFF0u;
  const Tick ticks[] = {
      {base, true, 1.0f},
      {base + 16, false, 16.0f / 16.666669845581055f},
      {base + 17, true, 17.0f / 16.666669845581055f},  // wraps to 1: the difference is still 17
      {base + 17 + 50, true, 50.0f / 16.666669845581055f},
  };
  for (const Tick& s : ticks) {
    clock.now = s.now;
    EXPECT_EQ(mgr().UpdateFrameTimer(), s.due) << s.now;
    EXPECT_FLOAT_EQ(mgr().GetFrameRatio(), s.ratio) << s.now;
  }
  // The scene gets the real elapsed milliseconds, scaled by its speed.
  mgr().ChangeScene(1, 0);
  Scene(1)->SetSpeed(2.0f);
  Scene(1)->SetPhase(4, 0, 100);
  Step();  // 50 ms × 2
  EXPECT_EQ(Scene(1)->GetPhase(), 4);
}

TEST_F(SceneMgrTest, MouseButtonsComeFromTheManagersInput) {
  ResetManager(kPlainScenes);
  struct Case {
    bool left, right;
    int32_t button;
  };
  const Case cases[] = {{false, false, 0}, {true, false, 1}, {false, true, 2}, {true, true, 1}};
  for (const Case& c : cases) {
    keys.SetKey(VK_LBUTTON, c.left);
    keys.SetKey(VK_RBUTTON, c.right);
    keys.SetKey(VK_RETURN, c.left);
    mgr().Update();  // polls the input even without a scene
    EXPECT_EQ(mgr().GetMouseButton(), c.button);
    EXPECT_EQ(mgr().IsKeyDown(VK_RETURN), c.left);
  }
  keys.SetKey(VK_RETURN, false);
  mgr().Update();
  EXPECT_TRUE(mgr().IsKeyReleased(VK_RETURN));
}

TEST_F(SceneMgrTest, DeviceResetAndShutdown) {
  ResetManager(kPlainScenes);
  mgr().ChangeScene(1, 0);
  mgr().ChangeScene(3, 1);
  Log().clear();
  mgr().DeleteAllScenes();  // resident or not, without Stop
  EXPECT_EQ(Log(), (std::vector<std::string>{"delete1", "delete3"}));
  EXPECT_TRUE(Stack().empty());
}

TEST_F(SceneMgrTest, OpenDialogSceneFailsCleanlyWithoutSceneTen) {
  ResetManager({{1, false, {}}});
  mgr().ChangeScene(1, 0);
  GameMode = 11;
  EXPECT_FALSE(OpenDialogScene(3, 0));
  EXPECT_EQ(mgr().GetCurrentSceneId(), 1);
  EXPECT_EQ(GameMode, 11);
  EXPECT_EQ(GetDialogResult(), -1);
}

}  // namespace

namespace {

int g_coversAlive = 0;
std::vector<CVMenuBase*> g_coverWidgets;
float g_coverW = 0, g_coverH = 0;

class CoverMenu : public StubMenu {
 public:
  CoverMenu() { ++g_coversAlive; }
  ~CoverMenu() override { --g_coversAlive; }
};

CVMenuBase* FakeCover(const std::vector<CVMenuBase*>& widgets, float w, float h) {
  g_coverWidgets = widgets;
  g_coverW = w;
  g_coverH = h;
  return new CoverMenu();
}
CVMenuBase* FailingCover(const std::vector<CVMenuBase*>&, float, float) { return nullptr; }

TEST_F(SceneMgrTest, ChangeWithCoverHandsTheOldScreenToTheNewScene) {
  struct Case {
    const char* what;
    CVSceneMgr::CoverBuilder builder;
    int target;
    bool targetExists;
    bool changes;
    bool coverKept;
  };
  const Case cases[] = {
      {"new scene takes the cover", &FakeCover, 5, false, true, true},
      {"failed capture: change without a cover", &FailingCover, 5, false, true, false},
      {"existing scene: cover dropped", &FakeCover, 3, true, true, false},
      {"failed creation: cover dropped, no change", &FakeCover, 6, false, false, false},
  };
  const std::vector<SceneDef> defs = {
      {1, false, {}, {{0, 10, "a.lay"}}}, {3, true, {}}, {5, false, {}}, {100, false, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetManager(defs);
    mgr().SetCoverBuilder(c.builder);
    mgr().ChangeScene(1, 0);
    if (c.targetExists) {
      mgr().ChangeScene(c.target, 1);
      mgr().PopScene();
    }
    g_coverWidgets.clear();
    mgr().RequestChangeWithCover(c.target, 1, -1.0f, 300.0f);
    Step();
    EXPECT_EQ(mgr().GetCurrentSceneId(), c.changes ? c.target : 1);
    EXPECT_EQ(g_coversAlive, c.coverKept ? 1 : 0);
    if (c.coverKept) {
      EXPECT_NE(dynamic_cast<CoverMenu*>(mgr().GetScene(c.target)->GetMainMenu()), nullptr);
      // The old scene's widgets (its one menu) were captured, at 1280 for a negative width.
      EXPECT_EQ(g_coverWidgets.size(), 1u);
      EXPECT_EQ(g_coverWidgets[0], mgr().GetScene(1)->FindMenu(0));
      EXPECT_FLOAT_EQ(g_coverW, 1280.0f);
      EXPECT_FLOAT_EQ(g_coverH, 300.0f);
      mgr().GetScene(c.target)->DeleteMainMenu();
      EXPECT_EQ(g_coversAlive, 0);
    }
  }
  // A pop with a cover pops without one.
  ResetManager(kPlainScenes);
  mgr().SetCoverBuilder(&FakeCover);
  mgr().ChangeScene(1, 0);
  mgr().ChangeScene(5, 1);
  EXPECT_TRUE(mgr().ChangeSceneWithCover(-1, 0, 10, 10));
  EXPECT_EQ(mgr().GetCurrentSceneId(), 1);
  EXPECT_EQ(g_coversAlive, 0);
}

}  // namespace
