// Faults the automatic player found, each replayed by a few scripted clicks through the whole
// program as GameSession starts it (the executable's wiring, the null device, the virtual clock).
#include <gtest/gtest.h>

#include "core/app_state.h"
#include "save/save_slot.h"
#include "save/system_files.h"
#include "screens/front/scene_title.h"
#include "screens/scenario/menu_adv.h"
#include "screens/scenario/scene_adv.h"
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
  // Title -> story button -> the first message waiting for a click.
  void PlayToFirstMessage() {
    // The logo and the opening movie give way to a click.
    auto ready = [] {
      auto* t = dynamic_cast<CVSceneTitle*>(GetSceneMgr().GetCurrentScene());
      return t && t->GetPhase() == CVSceneTitle::kPhaseMenu && t->GetStepValue() == 2;
    };
    for (int i = 0; i < 200 && !ready(); ++i) Driver().Click({640, 200});
    ASSERT_TRUE(ready());
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

}  // namespace
