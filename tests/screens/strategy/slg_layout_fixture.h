// Strategy dialogs and pages on their built layouts: a null device, the menu manager on the sample
// data and the strategy menu types, over a hand-made world (WorldTest).
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/game_file.h"
#include "render/dg_manager.h"
#include "screens/strategy/scene_slg.h"
#include "tests/support/ui_graphics.h"
#include "tests/world/world_fixture.h"
#include "ui/layout/layout_builder.h"
#include "ui/menus/menu_factory.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_mgr.h"

class SlgLayoutTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    ASSERT_TRUE(ui_.Start(V4_TEST_GAME_DIR));
    CVSceneMgr dummy;
    RegisterStrategyScenes(dummy, false);
  }
  void TearDown() override {
    ui_.Stop();
    WorldTest::TearDown();
  }

  // The menu of type 30 + kind built from `file`, added to `scene` as its menu `kind` and closed.
  static void AddClosedMenu(CVScene& scene, int kind, const char* file) {
    CVMenuSceneRoot* m = CreateMenuScene(30 + kind, file);
    ASSERT_NE(m, nullptr) << file;
    scene.AddMenu(m, kind);
    m->scene = &scene;
    m->Close();
  }

  // Opens a dialog through the scene and checks the depth bound it raised.
  template <class D>
  static D* OpenOn(CVSceneSLG& scene, int id, int a, int b, int c) {
    GetMenuMgr().SetDepthBound(2);
    EXPECT_TRUE(scene.OpenDialog(id, a, b, c)) << id;
    auto* d = dynamic_cast<D*>(scene.DialogMenu());
    EXPECT_NE(d, nullptr) << id;
    EXPECT_GT(GetMenuMgr().GetDepthBound(), 8) << id;
    return d;
  }
  // Closes the open dialog and checks the depth bound came back down.
  static void ExpectFinishedOn(CVSceneSLG& scene, int id) {
    scene.FinishDialog();
    EXPECT_TRUE(scene.IsNoDialog()) << id;
    EXPECT_EQ(GetMenuMgr().GetDepthBound(), 2) << id;
  }

  v4test::NullLayoutUi ui_;
};
