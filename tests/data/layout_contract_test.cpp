// Each sample layout, built by the program's own builder, gives its screen class every widget
// that class looks up (docs/layouts.md).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/game_file.h"
#include "screens/front/front_scenes.h"
#include "screens/front/scene_config.h"
#include "screens/front/scene_save.h"
#include "screens/front/scene_title.h"
#include "screens/front/scene_tutorial.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_list.h"
#include "screens/front/title_ports.h"
#include "render/dg_manager.h"
#include "ui/layout/layout_builder.h"
#include "ui/menus/menu_factory.h"
#include "ui/menus/menu_mgr.h"
#include "ui/menus/menu_root.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/widget_base.h"
#include "tests/support/ui_graphics.h"

namespace {

class LayoutContract : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ui_.Start(V4_TEST_GAME_DIR));
    // The title's start must not touch sound or movies here.
    TitlePorts& p = GetTitlePorts();
    p.stopMusic = [] {};
    p.setMovieVolume = [](int32_t) {};
    p.musicVolume = [] { return 0; };
    p.playFullScreenMovie = [](const char*) { return false; };
  }
  void TearDown() override {
    ui_.Stop();
    ResetTitlePorts();
    ShowOpeningFlag = 1;
  }
  static CVMenuSceneRoot* Build(const char* layout) {
    CVMenuSceneRoot* menu = CreateMenuScene(10, layout);
    EXPECT_NE(menu, nullptr) << layout;
    if (menu) {
      EXPECT_NE(menu->FirstChild(), nullptr) << layout << " built nothing";
    }
    return menu;
  }

  v4test::NullLayoutUi ui_;
};

bool HasButtons(CVMenuBase* w, int32_t first, int32_t last) {
  for (int32_t id = first; id <= last; ++id)
    if (!w || !w->FindButtonById(id)) return false;
  return true;
}

TEST_F(LayoutContract, TitleFindsEveryWidget) {
  CVMenuSceneRoot* menu = Build("Data\\layout\\title.lay");
  ASSERT_NE(menu, nullptr);
  ShowOpeningFlag = 1;
  CVSceneTitle title;
  title.AddMenu(menu, 0);
  title.Start();
  struct Lookup {
    const char* what;
    CVMenuBase* w;
    uint32_t type;
  };
  const Lookup lookups[] = {
      {"main panel", title.MainPanel(), kWidgetSprite},
      {"logo window", title.LogoWindow(), kWidgetSprite},
      {"main picture", title.MainPicture(), kWidgetSprite},
      {"button area", title.ButtonArea(), kWidgetWindow},
      {"after-button widget", title.AfterButton(), kWidgetWindow},
      {"third window", title.ThirdWindow(), kWidgetWindow},
  };
  for (const Lookup& l : lookups) {
    ASSERT_NE(l.w, nullptr) << l.what;
    EXPECT_EQ(l.w->widgetType, l.type) << l.what;
  }
  EXPECT_TRUE(HasButtons(title.ButtonArea(), 10000, 10007));
  EXPECT_TRUE(HasButtons(title.ThirdWindow(), 10100, 10105));
  EXPECT_FALSE(HasButtons(title.ThirdWindow(), 10000, 10000));
  // The main panel's opening animation decides when the buttons count; the logo window's animation
  // 1 decides how long the logo stays, and its animating child carries the running bit.
  EXPECT_EQ(title.MainPanel()->AnimeKeys().count(1), 1u);
  EXPECT_TRUE(title.MainPanel()->IsAnimeQueued());
  EXPECT_EQ(title.LogoWindow()->AnimeKeys().count(1), 1u);
  CVMenuBase* logoChild = title.LogoWindow()->FindChild(kWidgetWindow, 0);
  ASSERT_NE(logoChild, nullptr);
  EXPECT_TRUE(logoChild->TestFlag(kWfAnimRunning));
  EXPECT_EQ(logoChild->AnimeKeys().count(1), 1u);
  // Ordinary screens stay below z 100.
  std::vector<CVMenuBase*> all;
  title.CollectWidgets(all);
  for (CVMenuBase* w : all) EXPECT_LT(w->GetWorldZ(), 100.0f);
}

TEST_F(LayoutContract, DialogFindsThreePanelsWithKindWindowsAndAnswers) {
  CVMenuSceneRoot* menu = Build("Data\\layout\\dialog.lay");
  ASSERT_NE(menu, nullptr);
  CVSceneDlg dlg(10);
  dlg.AddMenu(menu, 0);
  dlg.Start();
  for (int i = 0; i < 3; ++i) {
    CVMenuBase* panel = dlg.GetPanel(i);
    ASSERT_NE(panel, nullptr) << "panel " << i;
    EXPECT_EQ(panel->widgetType, static_cast<uint32_t>(kWidgetSprite));
    EXPECT_FLOAT_EQ(panel->position.z, 900.0f) << "panel " << i << ": all panels share the dialog z";
    CVMenuBase* kind = panel->FindChild(kWidgetSprite, 0);
    ASSERT_NE(kind, nullptr) << "panel " << i;
    // One question per kind: the kind window takes every state 0..14.
    for (int k = 0; k < 15; ++k) {
      kind->SetState(k, 1);
      EXPECT_EQ(kind->GetState(), k) << "panel " << i;
    }
    EXPECT_TRUE(HasButtons(panel, 1, 2)) << "panel " << i;
  }
}

TEST_F(LayoutContract, FrontScreensFindTheirPanelsBlendMasksButtonsAndSliders) {
  RegisterFrontScenes(GetSceneMgr());
  // Settings: options panel = the panel's sixth Window, button box and slider box inside it.
  {
    CVSceneConfig scene;
    auto* menu = dynamic_cast<CVMenuConfig*>(CreateMenuScene(70, "Data\\layout\\config.lay"));
    ASSERT_NE(menu, nullptr);
    scene.AddMenu(menu, 0);
    menu->Open(0, 0, 0);
    ASSERT_NE(menu->Panel(), nullptr);
    ASSERT_NE(menu->Panel()->FindChild(kWidgetSprite, 3), nullptr) << "blend mask";
    ASSERT_NE(menu->OptionsPanel(), nullptr);
    EXPECT_EQ(menu->OptionsPanel(), menu->Panel()->FindChild(kWidgetSprite, 5));
    EXPECT_TRUE(HasButtons(menu->ButtonBox(), 10000, 10014));
    for (int i = 0; i < CVMenuConfig::kSliderCount; ++i) {
      ASSERT_NE(menu->Slider(i), nullptr) << "slider " << i;
      EXPECT_EQ(menu->Slider(i)->maximum, CVMenuConfig::kMaxLevel) << "slider " << i;
    }
    EXPECT_TRUE(HasButtons(menu, 1, 2));
  }
  // Save and load: heading with a look per mode, twelve tabs in the first Group, ten rows of texts.
  {
    CVSceneSAVE scene(5, 1);
    auto* menu = dynamic_cast<CVMenuSAVE*>(CreateMenuScene(60, "Data\\layout\\save.lay"));
    ASSERT_NE(menu, nullptr);
    scene.AddMenu(menu, 0);
    menu->Open(1, 0, 0);
    CVMenuBase* panel = menu->FindChild(kWidgetSprite, 0);
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(panel->FindChild(kWidgetSprite, 0), nullptr) << "heading";
    EXPECT_EQ(panel->FindChild(kWidgetSprite, 0)->GetState(), 1);
    ASSERT_NE(panel->FindChild(kWidgetSprite, 3), nullptr) << "blend mask";
    EXPECT_TRUE(HasButtons(menu->FindChild(kWidgetWindow, 0), 10000, 10011));
    for (int r = 0; r < CVMenuSAVE::kRows; ++r) {
      ASSERT_NE(menu->RowButton(r), nullptr) << "row " << r;
      EXPECT_NE(menu->RowButton(r)->FindChild(kWidgetText, 4), nullptr) << "row " << r;
    }
    EXPECT_TRUE(HasButtons(menu, 1, 1));
  }
  // Tutorial: panel, blend mask, nine chapters and the way back.
  {
    CVSceneTutorial scene;
    CVMenuSceneRoot* menu = Build("Data\\layout\\tutorial.lay");
    ASSERT_NE(menu, nullptr);
    scene.AddMenu(menu, 0);
    scene.OnStart();
    ASSERT_NE(scene.Panel(), nullptr);
    ASSERT_NE(scene.Panel()->FindChild(kWidgetSprite, 3), nullptr) << "blend mask";
    EXPECT_TRUE(HasButtons(menu, 10000, 10008));
    EXPECT_TRUE(HasButtons(menu, 1, 1));
  }
  GetSceneMgr().Reset();
}

}  // namespace
