// Faults the automatic player found, each replayed by a few scripted clicks through the whole
// program as GameSession starts it (the executable's wiring, the null device, the virtual clock).
#include <gtest/gtest.h>

#include "core/app_state.h"
#include "save/save_slot.h"
#include "save/system_files.h"
#include "screens/front/scene_title.h"
#include "screens/scenario/menu_adv.h"
#include "screens/scenario/scene_adv.h"
#include "screens/front/scene_save.h"
#include "screens/strategy/menu_slg_main.h"
#include "screens/strategy/scene_slg.h"
#include "screens/strategy/slg_dialogs.h"
#include "world/world_tables.h"
#include "tests/support/autoplay/game_session.h"
#include "tests/support/screen_run.h"
#include "ui/scenes/scene_mgr.h"

namespace {

class AutoplayFindings : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(session_.Start(V4_TEST_GAME_DIR, 7, 100000, &error)) << error;
  }
  FrameDriver& Driver() { return session_.Driver(); }
  void Click(int32_t sceneId, int32_t id) {
    CVScene* s = GetSceneMgr().GetScene(sceneId);
    const ScreenPoint p = v4test::ButtonCentre(s ? s->FindMenu(0) : nullptr, id);
    ASSERT_GE(p.x, 0) << "button " << id << " of scene " << sceneId;
    Driver().Click(p);
  }
  static bool TitleReady() {
    auto* t = dynamic_cast<CVSceneTitle*>(GetSceneMgr().GetCurrentScene());
    return t && t->GetPhase() == CVSceneTitle::kPhaseMenu && t->GetStepValue() == 2;
  }
  // The logo and the opening movie give way to a click.
  void ToTitleMenu() {
    for (int i = 0; i < 200 && !TitleReady(); ++i) Driver().Click({640, 200});
    ASSERT_TRUE(TitleReady());
  }
  static CVMenuSLGMain* Map() {
    auto* s = dynamic_cast<CVSceneSLG*>(GetSceneMgr().GetScene(3));
    return s ? s->MapMenu() : nullptr;
  }
  static bool PlayerCommandsOpen() {
    return GetSceneMgr().GetCurrentSceneId() == 3 && Map() && TurnSubPhase == 1 &&
           (Map()->StateFlags() & CVMenuSLGMain::kCommandMenu);
  }
  // The map's own button (not a scene menu's first).
  void ClickMap(int32_t id) {
    const ScreenPoint p = v4test::ButtonCentre(Map(), id);
    ASSERT_GE(p.x, 0) << "map button " << id;
    Driver().Click(p);
  }
  // Title -> story button -> the first message waiting for a click.
  void PlayToFirstMessage() {
    ASSERT_NO_FATAL_FAILURE(ToTitleMenu());
    ASSERT_NO_FATAL_FAILURE(Click(1, CVSceneTitle::kStory));
    ASSERT_TRUE(Driver().TicksUntil(2000, [] {
      auto* a = dynamic_cast<CVSceneADV*>(GetSceneMgr().GetCurrentScene());
      return a && a->WaitAdvance();
    }));
  }

  v4play::GameSession session_;
};

// The message window's quick save asks first; the answer arrives while the question is still
// closing, and the slot must keep the story's game mode, not the question's: a slot holding the
// question's mode loads into a game where nothing runs (the map's quick load then locks the game).
TEST_F(AutoplayFindings, StoryQuickSaveKeepsTheStoryModeNotTheQuestions) {
  ASSERT_NO_FATAL_FAILURE(PlayToFirstMessage());
  ASSERT_EQ(GameMode, game_mode::kMainScript);
  ASSERT_NO_FATAL_FAILURE(Click(2, CVMenuADV::kBtnQuickSave));
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 10) << "the question is open";
  ASSERT_NO_FATAL_FAILURE(Click(10, 1));
  Driver().TicksUntil(60, [] { return GetSceneMgr().GetCurrentSceneId() == 2; });
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 2);
  const int slot = kQuickSlotBase + PlayRecordBlock.lastQuick;
  SlotHeader h;
  ASSERT_TRUE(ReadSlotHeader(slot, h)) << "the quick save was written";
  EXPECT_EQ(h.subPhase, 255) << "a story save";
  GameMode = -1;
  ASSERT_TRUE(LoadPrgData(slot));
  EXPECT_EQ(GameMode, game_mode::kMainScript);
}

// A strategy game saved, the game left for the title, a new game begun and left at its clan
// choice (right click, back to the title), then the save loaded from the title's load screen: the
// loaded game must go on on its map, not stay on the abandoned clan choice.
TEST_F(AutoplayFindings, LoadFromTheTitleAfterAnAbandonedClanChoiceGoesOnWithTheLoadedGame) {
  ASSERT_NO_FATAL_FAILURE(ToTitleMenu());
  ASSERT_NO_FATAL_FAILURE(Click(1, CVSceneTitle::kStrategy));
  Driver().Ticks(3);
  ASSERT_TRUE(Map() && Map()->MapState() == 1) << "the clan choice";
  ASSERT_NO_FATAL_FAILURE(ClickMap(12500));
  ASSERT_TRUE(Driver().TicksUntil(100, [] { return (Map()->StateFlags() & CVMenuSLGMain::kWaiting) != 0; }));
  ASSERT_NO_FATAL_FAILURE(ClickMap(2));
  Driver().Ticks(4);
  auto* scene = dynamic_cast<CVSceneSLG*>(GetSceneMgr().GetScene(3));
  ASSERT_TRUE(scene && scene->DialogMenu());
  const ScreenPoint bonus = v4test::ButtonCentre(scene->DialogMenu(), 1100);
  ASSERT_GE(bonus.x, 0);
  Driver().Click(bonus);
  for (int i = 0; i < 600 && !PlayerCommandsOpen(); ++i) Driver().Click({60, 580});
  ASSERT_TRUE(PlayerCommandsOpen());
  const uint8_t clan = PlayerDaimyoId;
  // Quick save (asked), then the system menu's title button (asked).
  ASSERT_NO_FATAL_FAILURE(ClickMap(10011));
  ASSERT_NO_FATAL_FAILURE(Click(10, 1));
  Driver().Ticks(6);
  ASSERT_NO_FATAL_FAILURE(ClickMap(10013));
  ASSERT_NO_FATAL_FAILURE(ClickMap(10013));
  ASSERT_NO_FATAL_FAILURE(Click(10, 1));
  ASSERT_NO_FATAL_FAILURE(ToTitleMenu());
  // A new game, left at its clan choice by a right click.
  ASSERT_NO_FATAL_FAILURE(Click(1, CVSceneTitle::kStrategy));
  Driver().Ticks(3);
  ASSERT_TRUE(Map() && Map()->MapState() == 1);
  Driver().Click({60, 580}, true);
  ASSERT_NO_FATAL_FAILURE(ToTitleMenu());
  // The load screen's quick tab, its first row.
  ASSERT_NO_FATAL_FAILURE(Click(1, CVSceneTitle::kLoad));
  Driver().TicksUntil(30, [] { return GetSceneMgr().GetCurrentSceneId() == 5; });
  ASSERT_NO_FATAL_FAILURE(Click(5, CVMenuSAVE::kFirstTab + CVMenuSAVE::kQuickPage));
  ASSERT_NO_FATAL_FAILURE(Click(5, CVMenuSAVE::kFirstRow));
  for (int i = 0; i < 600 && !PlayerCommandsOpen(); ++i) Driver().Click({60, 580});
  EXPECT_TRUE(PlayerCommandsOpen()) << "the loaded game's commands";
  EXPECT_EQ(PlayerDaimyoId, clan);
  ASSERT_NE(Map(), nullptr);
  EXPECT_EQ(Map()->MapState(), 0) << "the map, not the clan choice";
  EXPECT_TRUE(session_.Boxes().empty());
}

}  // namespace
