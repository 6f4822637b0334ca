// The strategy scene's tables and bookkeeping, the command dialog base, the carry-over dialog's
// choice rules and the map screen's message typing and selection rules, on hand-built widgets
// (null device): no sample data needed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/error_box.h"
#include "screens/strategy/menu_slg_main.h"
#include "screens/strategy/scene_slg.h"
#include "screens/strategy/slg_dialogs.h"
#include "tests/support/recording_boxes.h"
#include "tests/support/ui_graphics.h"
#include "tests/world/world_fixture.h"
#include "ui/menus/menu_mgr.h"
#include "ui/widgets/menu_window.h"
#include "world/world_ports.h"

namespace {

class SlgSceneTest : public WorldTest {
 protected:
  v4test::NullUiGraphics gfx;
};

TEST_F(SlgSceneTest, SelectionModeMasks) {
  const uint16_t want[10] = {0xFE83, 0xFE87, 0xFE8F, 0xFEAF, 0xFECF, 0xFE8B, 0xFEC3, 0x0014, 0xFFD3, 0x0000};
  for (int mode = 0; mode < 10; ++mode) {
    bool valid = false;
    EXPECT_EQ(CVSceneSLG::SelModeMask(mode, &valid), want[mode]) << mode;
    EXPECT_TRUE(valid);
  }
  bool valid = true;
  CVSceneSLG::SelModeMask(10, &valid);
  EXPECT_FALSE(valid);

  // A refused mode keeps the mask and shows the scene's box.
  CVSceneSLG scene;
  scene.SetSelMode(4);  // no map menu: nothing to change, no crash
  EXPECT_FALSE(boxes.Has("CVSceneSLG::SetSelMode"));
  scene.SetSelMode(10);
  EXPECT_TRUE(boxes.Has("CVSceneSLG::SetSelMode"));
}

TEST_F(SlgSceneTest, DialogKindsAndGroups) {
  const int kind[24] = {1, 14, 1, 1, 1, 1, 1, 2, 5, 12, 3, 4, 15, 6, 2, 2, 7, 8, 9, 10, 11, 12, 13, 16};
  const int group[24] = {3, 0, 0, 4, 5, 1, 2, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (int id = 0; id < 24; ++id) {
    EXPECT_EQ(CVSceneSLG::GetDialogKind(id), kind[id]) << id;
    EXPECT_EQ(CVSceneSLG::GetDialogGroup(id), group[id]) << id;
  }
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(CVSceneSLG::GetDialogKind(24), 1);
  EXPECT_TRUE(boxes.Has("SceneSLG"));
  EXPECT_EQ(CVSceneSLG::GetDialogGroup(24), 0);
  EXPECT_EQ(CVSceneSLG::GetDialogGroup(-1), 0);
}

TEST_F(SlgSceneTest, SceneResultsByHitAndSubmenu) {
  const uint16_t kMain = 0, kSys = CVMenuSLGMain::kSystemMenu, kInfo = CVMenuSLGMain::kInfoMenu;
  struct Case {
    int hit, main, sys, info;
  } cases[] = {
      {10000, 3, 3, 3},    {10008, 11, 11, 11}, {10009, -1, -1, -1}, {10010, -1, -1, -1}, {10011, -1, -1, 12},
      {10013, -1, -1, 14}, {10014, 15, -1, -1}, {1, 2, 2, 2},        {2, 0, 0, 0},        {3, 1, 1, 1},
      {1000, 18, 18, 18},  {1001, 19, 19, 19},  {1100, 20, 20, 20},  {1101, 21, 21, 21},  {1107, 27, 27, 27},
      {1108, -1, -1, -1},  {12000, 16, 16, 16}, {12001, 17, 17, 17}, {-1, -1, -1, -1},    {500, -1, -1, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CVSceneSLG::ResultOfHit(c.hit, kMain), c.main) << c.hit;
    EXPECT_EQ(CVSceneSLG::ResultOfHit(c.hit, kSys), c.sys) << c.hit;
    EXPECT_EQ(CVSceneSLG::ResultOfHit(c.hit, kInfo), c.info) << c.hit;
  }
}

TEST_F(SlgSceneTest, WithoutMapMenuEveryOperationAnswersItsDefault) {
  CVSceneSLG scene;
  EXPECT_EQ(scene.GetSceneResult(), -1);
  EXPECT_EQ(scene.GetSelectedCastle(), 0xFFFF);
  EXPECT_EQ(scene.GetMarkedBusyo(), 0xFFFF);
  EXPECT_EQ(scene.CountMarkedBusyo(), 0);
  EXPECT_EQ(scene.GetSelectedKuni(), -1);
  EXPECT_FALSE(scene.IsKuniFocused());
  EXPECT_EQ(scene.GetStartClanChosen(), -1);
  EXPECT_EQ(scene.GetHoverScenario(), -1);
  EXPECT_EQ(scene.GetDialogResult(3), -1);
  EXPECT_TRUE(scene.IsNoDialog());
  std::vector<int32_t> marked{1, 2};
  scene.GetMarkedBusyoList(marked);
  EXPECT_TRUE(marked.empty());
  scene.ClearSelectedKuni();  // guarded like every other operation
  scene.FinishDialog();
  scene.SetDialogValues(1, 2);
  scene.ShowMessage("x", 0, true);
  scene.PlayCastleIconAnime(200, 8, 0);
  // A dialog kind without a menu is a failure, not an open dialog the caller would wait on.
  EXPECT_FALSE(scene.OpenDialog(17, 0, 0, 0));
  EXPECT_TRUE(scene.IsNoDialog());
  EXPECT_TRUE(boxes.Has("SceneSLG"));
  // The lists ignore the map: list A and B are the scene's own.
  scene.AddToListA(5);
  EXPECT_TRUE(scene.IsListANotEmpty());
  scene.ClearListA();
  EXPECT_FALSE(scene.IsListANotEmpty());
}

// A dialog with a frame window of the given size (none for 0).
CVMenuSLG_CmdBase* MakeDialog(CVSceneSLG& scene, int32_t sceneMenuId, float w, float h, float z) {
  auto* d = new CVMenuSLG_CmdBase();
  GetMenuMgr().RegisterRoot(d);
  if (w > 0) {
    SpriteWindowParams p;
    p.width = w;
    p.height = h;
    p.position = Vector3(0, 0, z);
    GetMenuMgr().CreateMenuSpriteWindow(d, p);
  }
  scene.AddMenu(d, sceneMenuId);
  d->scene = &scene;
  d->Close();
  return d;
}

TEST_F(SlgSceneTest, DialogBaseCentresBindsAndRestoresTheDepthBound) {
  CVSceneSLG scene;
  CVMenuSLG_CmdBase* d = MakeDialog(scene, 8, 400, 300, 3);
  GetMenuMgr().SetDepthBound(2);
  ASSERT_TRUE(scene.OpenDialog(17, 0, 0, 0));
  EXPECT_EQ(scene.DialogMenu(), d);
  EXPECT_EQ(d->GetDialogId(), 17);
  EXPECT_EQ(d->Group(), 0);
  EXPECT_EQ(d->cancelId, CVMenuSLG_CmdBase::kCancelId);
  CVMenuBase* frame = d->GetFrameWindow();
  ASSERT_NE(frame, nullptr);
  EXPECT_FLOAT_EQ(frame->position.x, 440.0f);
  EXPECT_FLOAT_EQ(frame->position.y, 210.0f);
  const int32_t raised = GetMenuMgr().GetDepthBound();
  EXPECT_EQ(raised, static_cast<int32_t>(frame->GetWorldZ() + 1.1920929e-07f));
  // A second dialog is refused while one is held; nothing changes.
  EXPECT_FALSE(scene.OpenDialog(18, 0, 0, 0));
  EXPECT_EQ(scene.DialogMenu(), d);
  // Open again: the first saved bound stays.
  d->Open(0, 0, 0);
  EXPECT_EQ(d->SavedDepthBound(), 2);
  scene.FinishDialog();
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 2);
  EXPECT_TRUE(scene.IsNoDialog());
  // A second close (and a close of a dialog never opened) leaves the bound alone.
  GetMenuMgr().SetDepthBound(7);
  d->Close();
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 7);
}

TEST_F(SlgSceneTest, LateCloseForgetsOnlyItsOwnDialog) {
  CVSceneSLG scene;
  CVMenuSLG_CmdBase* a = MakeDialog(scene, 8, 100, 100, 3);
  CVMenuSLG_CmdBase* b = MakeDialog(scene, 9, 100, 100, 3);
  ASSERT_TRUE(scene.OpenDialog(17, 0, 0, 0));
  scene.ForgetDialog();
  ASSERT_TRUE(scene.OpenDialog(18, 0, 0, 0));
  EXPECT_EQ(scene.DialogMenu(), b);
  a->Close();  // the earlier dialog closes late
  EXPECT_EQ(scene.DialogMenu(), b);
  b->Close();
  EXPECT_TRUE(scene.IsNoDialog());
}

TEST_F(SlgSceneTest, DialogWithoutFrameIsNotCentredAndBindsAtZero) {
  CVSceneSLG scene;
  MakeDialog(scene, 8, 0, 0, 0);
  GetMenuMgr().SetDepthBound(4);
  ASSERT_TRUE(scene.OpenDialog(17, 0, 0, 0));
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 0);
  scene.FinishDialog();
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 4);
}

TEST_F(SlgSceneTest, CarryOverChoiceRules) {
  WorldBuilder w;
  const int kuni = w.Kuni("甲");
  const int s0 = w.Siro(kuni, "一", 0);
  const int own = w.Busyo("自", s0);
  const int a = w.Busyo("甲", 0xFFFF);
  const int b = w.Busyo("乙", 0xFFFF);
  w.Clan("赤");
  w.Place();
  CVMenuSLG_StartHikitsugi d;
  d.Open(0, 0, 0);  // options form; no widgets
  d.Candidates()[b] = {5, 0};
  d.Candidates()[a] = {4, 0};
  d.Candidates()[own] = {1, 0};
  d.SetPointsLeft(5);
  EXPECT_FALSE(d.CanChoose(b, 5)) << "a cost equal to the points left is refused";
  EXPECT_TRUE(d.CanChoose(a, 4));
  EXPECT_EQ(GetBusyoDaimyo(own), 0);
  EXPECT_FALSE(d.CanChoose(own, 1)) << "the player's own clan is never chosen";
  EXPECT_EQ(d.GetResult(0), 1);
  EXPECT_TRUE(d.Toggle(b));
  d.AddCost(b, true);
  EXPECT_EQ(d.PointsLeft(), 0);
  EXPECT_FALSE(d.Toggle(b));  // unchoosing always works and gives the points back
  d.AddCost(b, false);
  EXPECT_EQ(d.PointsLeft(), 5);
  d.Toggle(b);
  d.Toggle(a);
  EXPECT_EQ(d.GetResult(1), 2);
  EXPECT_EQ(d.GetResult(2), std::min(a, b));
  EXPECT_EQ(d.GetResult(2), std::max(a, b));
  EXPECT_EQ(d.GetResult(2), -1);
  EXPECT_EQ(d.GetResult(1), 0);
  d.Close();
}

TEST_F(SlgSceneTest, MessageTypingStepsOverTwoByteCharactersAndStopsAtALoneLeadByte) {
  CVMenuSLGMain map;
  map.timeStep = 10.5f;
  const std::string text = "あい";  // two 2-byte characters
  map.ShowMessage(text.c_str(), 0);
  map.Update(-1, -1, 0);
  EXPECT_EQ(map.MessageShown(), 2u);
  map.Update(-1, -1, 0);
  EXPECT_EQ(map.MessageShown(), 4u);
  EXPECT_FALSE(map.StateFlags() & CVMenuSLGMain::kTyping);
  // A text ending in a lone lead byte ends at its end, never past it.
  const std::string broken = std::string("a") + '\x82';
  map.ShowMessage(broken.c_str(), 0);
  for (int i = 0; i < 4; ++i) map.Update(-1, -1, 0);
  EXPECT_EQ(map.MessageShown(), broken.size());
  // Mode 1: whole at once; mode 3: whole, then the player is asked to continue.
  map.ShowMessage(text.c_str(), 1);
  EXPECT_EQ(map.MessageShown(), text.size());
  map.ShowMessage(text.c_str(), 3);
  EXPECT_TRUE(map.StateFlags() & CVMenuSLGMain::kWaiting);
  map.ShowMessage(nullptr, 1);  // the next message ends the wait
  EXPECT_FALSE(map.StateFlags() & CVMenuSLGMain::kWaiting);
  EXPECT_EQ(map.MessageShown(), 0u);
  // A long frame catches up several characters.
  map.timeStep = 45.0f;
  map.ShowMessage("abcdefgh", 0);
  map.Update(-1, -1, 0);
  EXPECT_EQ(map.MessageShown(), 4u);
}

TEST_F(SlgSceneTest, GeneralSelectionRulesByMask) {
  WorldBuilder w;
  const int kuni = w.Kuni("甲");
  const int s0 = w.Siro(kuni, "一", 0), s1 = w.Siro(kuni, "二", 0);
  const int g0 = w.Busyo("甲", s0), g1 = w.Busyo("乙", s0), g2 = w.Busyo("丙", s1);
  w.Clan("赤");
  w.Place();
  CVMenuSLGMain map;
  struct Case {
    uint16_t mask;
    int marked;  // -1 none
    int g;
    bool want;
  } cases[] = {
      {0x0000, -1, g1, false},  // no pick allowed
      {0x0004, -1, g1, true},   // single pick, nobody marked
      {0x0004, g0, g1, false},  // single pick, one marked
      {0x000C, g0, g1, true},   // several of the first marked one's castle
      {0x000C, g0, g2, false},  // ... not of another castle
      {0x0100, g0, g2, true},   // several of any castle
      {0x0100, g0, g0, false},  // ... but not one already marked
  };
  for (const Case& c : cases) {
    map.ClearMarkedBusyo();
    if (c.marked >= 0) map.MarkBusyo(c.marked);
    map.SetSelMask(c.mask);
    EXPECT_EQ(map.IsBusyoSelectable(c.g), c.want) << std::hex << c.mask << " " << c.g;
  }
  // Ids outside the table are neither listed nor marked.
  map.ClearMarkedBusyo();
  map.MarkBusyo(2000);
  map.AddBusyoToList(2000);
  EXPECT_EQ(map.CountMarkedBusyo(), 0);
  EXPECT_EQ(map.BusyoList().Count(), 0);
  EXPECT_EQ(map.GetMarkedBusyo(), 0xFFFF);
}

TEST_F(SlgSceneTest, CommandTablesBySubPhaseAndSubmenu) {
  CVMenuSLGMain map;
  struct Case {
    int subPhase, stage;
    uint16_t flags;
    int table;
  } cases[] = {{1, 0, 0, 0},
               {2, 0, 0, 1},
               {3, 1, 0, 2},
               {3, 0, 0, 3},
               {0, 0, 0, -1},
               {4, 0, 0, -1},
               {2, 0, CVMenuSLGMain::kInfoMenu, 4},
               {2, 0, CVMenuSLGMain::kSystemMenu, 5}};
  for (const Case& c : cases) {
    TurnSubPhase = static_cast<uint8_t>(c.subPhase);
    UnificationStage = c.stage;
    map.SetStateFlags(c.flags);
    EXPECT_EQ(map.CurrentTable(), c.table) << c.subPhase << " " << c.flags;
  }
  TurnSubPhase = 0;
  UnificationStage = 0;
  // Row 5 of the military table is recruiting (command 1) and lands on button 10005: result 8.
  EXPECT_EQ(CVMenuSLGMain::TableRow(0, 5).command, 1);
  EXPECT_EQ(CVSceneSLG::ResultOfHit(10005, 0), 8);
  EXPECT_EQ(CVMenuSLGMain::TableRow(0, 13).command, 15);
  EXPECT_EQ(CVMenuSLGMain::TableRow(2, 5).command, 48);
  EXPECT_EQ(CVMenuSLGMain::TableRow(3, 5).command, -1);
  EXPECT_EQ(CVMenuSLGMain::TableRow(6, 0).command, -1);
  EXPECT_EQ(map.GetSortColumn(703), 7);
  EXPECT_EQ(map.GetSortColumn(706), 12);
  EXPECT_EQ(map.GetSortColumn(707), 0);
  EXPECT_EQ(CastleIconPicture(2, 25), 8);
  EXPECT_EQ(CastleIconPicture(1, 9), 1);
  EXPECT_EQ(CastleIconPicture(0, 99), 6);
}

}  // namespace
