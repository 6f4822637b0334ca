// The dialog scene end to end through the application frame (headless frame driver): the real
// scene manager on a scene table and layouts made by our tools, real widgets on the null device,
// scripted mouse input. Scene 1 (the idle game mode's title) shows one button; scene 10 is the
// resident dialog with three panels at z 900.
#include "ui/scenes/scene_dlg.h"

#include <gtest/gtest.h>

#include "core/app_state.h"
#include "formats/scene/scene_table.h"
#include "layout_fixture.h"
#include "platform/text/log.h"
#include "tests/support/frame_driver.h"
#include "ui/menus/menu_mgr.h"
#include "ui/menus/menu_root.h"
#include "ui/scenes/scene_frame_adapter.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_window.h"
#include "render/sprite.h"

using namespace layout_test;

namespace {

// A button on sheet `sheet` (five cells, one a state), with no sound effects.
std::string Button(int index, int x, int y, int id, int sheet) {
  const auto n = [](int v) { return std::to_string(v); };
  return "[Btn#" + n(index) + R"(]
{
:pos )" + n(x) +
         "," + n(y) + R"(,0
:id )" + n(id) +
         R"(,-1
:sprite 0,)" +
         n(sheet) + R"(
:state 0,1,2,3,4
:SE -1,-1,-1,-1,-1
}
)";
}

// Panel `index`: 400 × 200 at z 900; its kind window holds the 15 question pictures and
// kindChildren; buttons 100 × 40 with ids 1 (left, at 50,120) and 2 (right, at 250,120).
std::string Panel(int index, const std::string& kindChildren) {
  return "[Window#" + std::to_string(index) + R"(]
{
:pos 0,0,900
:sprite 0,0
[Window#0]
{
:pos 50,10,0
:sprite 0,1
)" + kindChildren +
         "}\n" + Button(0, 50, 120, 1, 2) + Button(1, 250, 120, 2, 2) + "}\n";
}

// Three panels; panel 1's kind window holds the two extra widgets of kind 12.
std::string DialogLayout() {
  return R"(// dialog panels
[SpriteLocal]
{
:#0 "Data\Image\dlg\panel.png",400,200,1,1
:#1 "Data\Image\dlg\kinds.png",300,1500,1,15
:#2 "Data\Image\dlg\btn.png",100,200,1,5
}
)" + Panel(0, "") +
         Panel(1, R"([WinGroup#0]
{
:pos 0,0,0
}
[WinGroup#1]
{
:pos 0,30,0
}
)") + Panel(2, "");
}

// The title's screen: one button with id 7 at 100,100.
std::string ScreenLayout() {
  return R"([SpriteLocal]
{
:#0 "Data\Image\dlg\btn.png",100,200,1,5
}
)" + Button(0, 100, 100, 7, 0);
}

// A plain scene that counts its updates and draws while its own phase timer runs.
class CountingScene : public CVScene {
 public:
  explicit CountingScene(int32_t id) : CVScene(-1, id) {}
  bool OnStart() override {
    GameMode = 2;  // like the title: leave the idle mode
    return true;
  }
  int32_t Update(float dt) override {
    ++updates;
    return CVScene::Update(dt);
  }
  bool Draw() override {
    ++draws;
    return CVScene::Draw();
  }
  int updates = 0;
  int draws = 0;
};
CVScene* MakeScene(int32_t id) { return id == 10 ? static_cast<CVScene*>(new CVSceneDlg(id)) : new CountingScene(id); }

class DialogSceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetLogEnabled(false);
    dir.Write("Data/Image/dlg/panel.png", v4test::SolidPng(400, 200, 0xFFFFFFFFu));
    dir.Write("Data/Image/dlg/kinds.png", v4test::SolidPng(300, 1500, 0xFFFFFFFFu));
    dir.Write("Data/Image/dlg/btn.png", v4test::SolidPng(100, 200, 0xFFFFFFFFu));
    ASSERT_TRUE(WriteLayout(dir, "Data/layout/dialog.lay", DialogLayout()));
    ASSERT_TRUE(WriteLayout(dir, "Data/layout/screen.lay", ScreenLayout()));
    std::vector<v4fmt::SceneSource> scenes = {
        {1, false, {{0, 10, "Data\\layout\\screen.lay"}}, {{7, 100, 1}}},
        {10, true, {{0, 10, "Data\\layout\\dialog.lay"}}, {{1, -1, 0}, {2, -1, 0}}},
        {100, false, {{0, 10, "Data\\layout\\screen.lay"}}, {}},
    };
    v4fmt::SceneFlowTable table;
    std::string error;
    ASSERT_TRUE(v4fmt::BuildSceneTable(scenes, table, error)) << error;
    dir.Write("Data/sys/scene.bin", v4fmt::WriteSceneTable(table));

    GetMenuMgr().DeleteAllRoots();
    GetMenuMgr().SetDepthBound(0);
    CVSceneMgr& mgr = GetSceneMgr();
    mgr.Reset();
    ASSERT_TRUE(InitSceneSystem());
    mgr.SetSceneFactory(1, &MakeScene);
    mgr.SetSceneFactory(10, &MakeScene);
    mgr.SetSceneFactory(100, &MakeScene);
    services.scenes = &adapter;
    driver = std::make_unique<FrameDriver>(services);
    driver->Ticks(3);  // idle: the title (scene 1) comes up
    ASSERT_EQ(mgr.GetCurrentSceneId(), 1);
  }
  void TearDown() override {
    driver.reset();
    GetSceneMgr().Reset();
    GetMenuMgr().DeleteAllRoots();
    GetMenuMgr().SetDepthBound(0);
    plat::SetLogEnabled(true);
  }
  CVSceneDlg* Dialog() { return dynamic_cast<CVSceneDlg*>(GetSceneMgr().GetScene(10)); }
  // Screen point inside a widget (the origin of its world transform plus two pixels).
  void PointAt(CVMenuBase* w) {
    Vector3 p;
    w->worldMatrix.TransformCoord(Vector3(0, 0, 0), p);
    driver->SetPointer(static_cast<int32_t>(p.x) + 2, static_cast<int32_t>(p.y) + 2);
  }
  void Click(int vk) {
    driver->SetButton(vk, true);
    driver->Tick();
    driver->SetButton(vk, false);
    driver->Tick();
  }
  // Points at w, lets a frame see the pointer there, then clicks the left button.
  void ClickOn(CVMenuBase* w) {
    PointAt(w);
    driver->Tick();
    Click(VK_LBUTTON);
  }
  // Ticks until the dialog's answer is readable (at most n ticks); the ticks taken, or -1.
  int TicksUntilAnswer(int n) {
    for (int i = 1; i <= n; ++i) {
      driver->Tick();
      if (GetDialogResult() != -1) return i;
    }
    return -1;
  }

  v4test::TempModuleDir dir;
  v4test::NullUiGraphics graphics;
  SceneFrameAdapter adapter;
  FrameServices services;
  std::unique_ptr<FrameDriver> driver;
};

// A screen beneath a question that answers it by changing the game mode: set through the
// question, the new mode is what the close hands back; set directly (a load), it stands.
TEST_F(DialogSceneTest, GameModeSetBeneathAnOpenQuestionSurvivesItsClose) {
  struct Case {
    const char* name;
    bool throughQuestion;
  };
  for (const Case c : {Case{"through the question", true}, Case{"directly", false}}) {
    SCOPED_TRACE(c.name);
    GameMode = 0;
    EXPECT_EQ(GameModeBeneathDialog(), 0);
    ASSERT_TRUE(OpenDialogScene(8, 1));
    ASSERT_EQ(GameMode, 13);
    EXPECT_EQ(GameModeBeneathDialog(), 0);
    if (c.throughQuestion)
      SetGameModeBeneathDialog(1);
    else
      GameMode = 1;
    ClickOn(Dialog()->GetPanel(0)->FindChild(kWidgetBtn, 0));
    for (int i = 0; i < 40 && GetSceneMgr().GetCurrentSceneId() == 10; ++i) driver->Tick();
    ASSERT_NE(GetSceneMgr().GetCurrentSceneId(), 10);
    EXPECT_EQ(GameMode, 1);
    // With no question open the mode is set at once.
    SetGameModeBeneathDialog(2);
    EXPECT_EQ(GameMode, 2);
  }
}

TEST_F(DialogSceneTest, AskClickAnswerAndReadItAfterThePop) {
  GameMode = 11;
  ASSERT_TRUE(OpenDialogScene(20, 0));  // outside 0..14: kind 3
  CVSceneDlg* dlg = Dialog();
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(GameMode, 13);
  EXPECT_EQ(dlg->GetPhase(), 3);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 10);
  CVMenuBase* panel = dlg->GetPanel(0);
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->TestFlag(kWfShown));
  EXPECT_FALSE(dlg->GetPanel(1)->TestFlag(kWfShown));
  EXPECT_EQ(dlg->GetKindWindow()->GetState(), 3);
  EXPECT_EQ(panel->cancelId, 2);
  EXPECT_FLOAT_EQ(panel->position.x, 440.0f);  // centred: (1280 - 400) / 2
  EXPECT_FLOAT_EQ(panel->position.y, 260.0f);
  // A second question while one is open is refused.
  EXPECT_FALSE(OpenDialogScene(4, 0));
  EXPECT_EQ(dlg->GetPhase(), 3);

  driver->Tick();
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 900);
  EXPECT_EQ(GetDialogResult(), -1);

  CVMenuBase* no = panel->FindChild(kWidgetBtn, 1);
  ASSERT_NE(no, nullptr);
  ClickOn(no);
  // Closing: the answer is stored but not readable for 100 ms of scene time.
  int closingTicks = 0;
  while (dlg->GetPhase() != CVSceneDlg::kPhaseClosing && closingTicks < 20) {
    driver->Tick();
    ++closingTicks;
  }
  ASSERT_EQ(dlg->GetPhase(), CVSceneDlg::kPhaseClosing);
  EXPECT_EQ(dlg->GetAnswer(), 2);
  EXPECT_EQ(GetDialogResult(), -1);
  EXPECT_TRUE(panel->TestFlag(kWfNoHit));
  const int ticks = TicksUntilAnswer(20);
  ASSERT_GT(ticks, 0);
  EXPECT_GE(ticks * 18, 100 - 18);  // 100 ms of 18 ms steps, counting the step that started it
  EXPECT_EQ(GetDialogResult(), 2);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 10);  // the logic reads it before the pop
  driver->Tick();
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
  EXPECT_EQ(GameMode, 11);
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 0);
  ASSERT_NE(Dialog(), nullptr);  // resident
  EXPECT_EQ(GetDialogResult(), 2);
  // The next question starts without an answer.
  ASSERT_TRUE(OpenDialogScene(0, 0));
  EXPECT_EQ(GetDialogResult(), -1);
}

TEST_F(DialogSceneTest, RightClickPressesTheCancelIdOfTheKind) {
  struct Case {
    int32_t kind;
    int panel;
    int32_t answer;  // -1: no answer within the ticks
  };
  const Case cases[] = {{3, 0, 2}, {11, 1, 1}, {12, 1, 1}, {13, 2, -1}, {14, 0, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    ASSERT_TRUE(OpenDialogScene(c.kind, 0));
    CVSceneDlg* dlg = Dialog();
    ASSERT_NE(dlg->GetPanel(c.panel), nullptr);
    EXPECT_TRUE(dlg->GetPanel(c.panel)->TestFlag(kWfShown));
    // Kind 12 shows the two extra widgets of panel 2's kind window; kind 11 hides them.
    if (c.panel == 1) {
      CVMenuBase* extra = dlg->GetKindWindow()->FindChild(kWidgetGroup, 0);
      ASSERT_NE(extra, nullptr);
      EXPECT_EQ(extra->TestFlag(kWfShown), c.kind == 12);
      EXPECT_EQ(extra->NextSibling()->TestFlag(kWfShown), c.kind == 12);
    }
    driver->SetPointer(5, 5);  // over no button
    driver->Tick();
    Click(VK_RBUTTON);
    EXPECT_EQ(TicksUntilAnswer(20) > 0 ? GetDialogResult() : -1, c.answer);
    // Leave the dialog before the next case (kind 13 has no cancel: answer it with its button).
    if (GetSceneMgr().GetCurrentSceneId() == 10 && GetDialogResult() == -1) {
      ClickOn(dlg->GetPanel(c.panel)->FindChild(kWidgetBtn, 0));
      EXPECT_GT(TicksUntilAnswer(20), 0);
      EXPECT_EQ(GetDialogResult(), 1);
    }
    driver->Ticks(2);
    EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
  }
}

TEST_F(DialogSceneTest, SceneBeneathRunsOnlyWhenAskedTo) {
  for (int keep : {1, 0}) {
    SCOPED_TRACE(keep);
    auto* below = static_cast<CountingScene*>(GetSceneMgr().GetScene(1));
    below->SetPhase(6, 1, 100);
    ASSERT_TRUE(OpenDialogScene(3, keep));
    const int before = below->updates, drawsBefore = below->draws;
    driver->Ticks(8);  // 144 ms
    EXPECT_EQ(below->updates - before, keep ? 8 : 0);
    EXPECT_EQ(below->draws - drawsBefore, 8) << "the question shows over the scene beneath, frozen or not";
    EXPECT_EQ(below->GetPhase(), keep ? 6 : 0);
    // Answer with the left button to close it.
    ClickOn(Dialog()->GetPanel(0)->FindChild(kWidgetBtn, 0));
    ASSERT_GT(TicksUntilAnswer(20), 0);
    EXPECT_EQ(GetDialogResult(), 1);
    driver->Ticks(2);
    ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
    below->SetPhase(0, 1, 0);
  }
}

// The first question creates scene 10, and its start runs one update before the push: that
// update must not reach the scene on top of the stack, which is not the one beneath the question.
TEST_F(DialogSceneTest, CreatingTheDialogUpdatesNoStackedScene) {
  ASSERT_TRUE(GetSceneMgr().ChangeScene(100, 1));  // stack [1], current 100
  ASSERT_EQ(Dialog(), nullptr);
  auto* title = static_cast<CountingScene*>(GetSceneMgr().GetScene(1));
  auto* current = static_cast<CountingScene*>(GetSceneMgr().GetScene(100));
  const int titleBefore = title->updates, currentBefore = current->updates;
  ASSERT_TRUE(OpenDialogScene(3, 1));
  EXPECT_EQ(title->updates, titleBefore);
  EXPECT_EQ(current->updates, currentBefore);
  driver->Tick();  // from now on the scene beneath (100) runs, the stacked title does not
  EXPECT_EQ(current->updates, currentBefore + 1);
  EXPECT_EQ(title->updates, titleBefore);
}

// A dialog gives back the depth bound it found, also when it is left before its first update
// (a change carried out in the step that opened it); with an update between, after raising it.
TEST_F(DialogSceneTest, LeavingRestoresTheDepthBoundFound) {
  for (int ticks : {0, 1}) {
    SCOPED_TRACE(ticks);
    GetMenuMgr().SetDepthBound(300);  // a modal panel beneath the question
    ASSERT_TRUE(OpenDialogScene(3, 0));
    driver->Ticks(ticks);
    EXPECT_EQ(GetMenuMgr().GetDepthBound(), ticks ? 900 : 300);
    ASSERT_TRUE(GetSceneMgr().PopScene());
    EXPECT_EQ(GetMenuMgr().GetDepthBound(), 300);
    GetMenuMgr().SetDepthBound(0);
  }
}

TEST_F(DialogSceneTest, ButtonsBeneathTheDialogCannotBeHit) {
  auto* below = GetSceneMgr().GetScene(1);
  CVMenuBase* btn = below->FindMenu(0)->FindChild(kWidgetBtn, 0);
  ASSERT_NE(btn, nullptr);
  ASSERT_TRUE(OpenDialogScene(3, 1));
  driver->Tick();
  ClickOn(btn);  // (100, 100): outside the centred panel
  driver->Ticks(5);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 10);
  EXPECT_NE(btn->GetState(), 2);
  // Without the dialog the same click decides 7, whose transition pushes scene 100.
  Click(VK_RBUTTON);  // cancel: answer 2
  ASSERT_GT(TicksUntilAnswer(20), 0);
  driver->Ticks(2);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 1);
  Click(VK_LBUTTON);
  driver->Ticks(5);
  EXPECT_EQ(GetSceneMgr().GetCurrentSceneId(), 100);
}

}  // namespace

namespace {

TEST_F(DialogSceneTest, ScreenMenusKnowTheirSceneAndTheCoverCapturesTheScreen) {
  CVScene* title = GetSceneMgr().GetScene(1);
  auto* menu = dynamic_cast<CVMenuSceneRoot*>(title->FindMenu(0));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->scene, title);
  EXPECT_EQ(menu->sceneMenuId, 0);
  // The scene's menu left the menu manager's root list: the scene owns it.
  for (CVListBase* n = GetMenuMgr().Roots().first; n; n = n->next) EXPECT_NE(n, menu);
  // The real cover on the null device: a window of the screen's size showing the old screen.
  GetSceneMgr().RequestChangeWithCover(100, 1, -1, -1);
  driver->Tick();
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 100);
  CVMenuBase* cover = GetSceneMgr().GetScene(100)->GetMainMenu();
  ASSERT_NE(cover, nullptr);
  EXPECT_EQ(cover->widgetType, static_cast<uint32_t>(kWidgetSprite));
  EXPECT_FLOAT_EQ(cover->size.x, 1280.0f);
  EXPECT_FLOAT_EQ(cover->size.y, 720.0f);
  EXPECT_TRUE(cover->TestFlag(kWfActive));
}

}  // namespace
