// The title scene: logo -> movie -> menu on the first title of a run, clicks that skip, buttons
// that count only once the menu's opening animation is over, the quit question, the extras
// sub-menu, a later title that starts at the menu, and a layout missing every widget.
#include "screens/front/scene_title.h"

#include <gtest/gtest.h>

#include "core/app_state.h"
#include "title_fixture.h"
#include "ui/scenes/scene_dlg.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/widget_base.h"

using namespace title_test;

namespace {

bool Shown(const CVMenuBase* w) { return w && w->TestFlag(kWfShown); }

// Runs steps until the title is at (phase, step) or the budget ends.
bool RunUntil(TitleTest& t, int32_t phase, int32_t step = -1, int budget = 400) {
  for (int i = 0; i < budget; ++i) {
    CVSceneTitle* title = t.Title();
    if (title && title->GetPhase() == phase && (step < 0 || title->GetStepValue() == step)) return true;
    t.Step();
  }
  return false;
}

// A later title of the run (no logo, no movie), run until its menu takes buttons.
bool StartAtMenu(TitleTest& t) {
  ShowOpeningFlag = 0;
  t.StartTitle();
  return RunUntil(t, CVSceneTitle::kPhaseMenu, 2);
}

TEST(TitleScene, FirstRunShowsLogoThenMovieThenMenu) {
  TitleTest t;
  t.StartTitle();
  CVSceneTitle* title = t.Title();
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(ShowOpeningFlag, 0);
  EXPECT_EQ(GameMode, 2);
  EXPECT_EQ(title->GetPhase(), CVSceneTitle::kPhaseLogo);
  EXPECT_EQ(t.log.musicStops, 1);
  EXPECT_FALSE(Shown(title->MainPanel()));
  EXPECT_TRUE(Shown(title->LogoWindow()));
  EXPECT_TRUE(title->LogoWindow()->TestFlag(kWfAnimRunning));
  ASSERT_EQ(t.log.movieVolumes.size(), 1u);
  EXPECT_EQ(t.log.movieVolumes[0], 8500);

  // The logo stays for its animation (1000 ms here), then the movie starts.
  t.Steps(50);
  EXPECT_EQ(title->GetPhase(), CVSceneTitle::kPhaseLogo);
  ASSERT_TRUE(RunUntil(t, CVSceneTitle::kPhaseMovie, -1, 60));
  ASSERT_EQ(t.log.movies.size(), 1u);
  const std::string& movie = t.log.movies[0];
  EXPECT_EQ(movie.substr(movie.size() - 17), "Data\\media\\op.mdm");
  EXPECT_EQ(t.log.musicStops, 2);
  EXPECT_FALSE(Shown(title->LogoWindow()));
  EXPECT_FALSE(Shown(title->MainPanel()));
  EXPECT_TRUE(t.log.music.empty());

  // While the movie plays nothing happens; when it ends the menu follows.
  t.Steps(20);
  EXPECT_EQ(title->GetPhase(), CVSceneTitle::kPhaseMovie);
  t.log.movieFinished = true;
  ASSERT_TRUE(RunUntil(t, CVSceneTitle::kPhaseMenu, -1, 3));
  EXPECT_EQ(t.log.moviesClosed, 1);
  EXPECT_TRUE(Shown(title->MainPanel()));
  EXPECT_FALSE(Shown(title->LogoWindow()));
  EXPECT_FALSE(Shown(title->ThirdWindow()));
  EXPECT_FALSE(Shown(title->AfterButton()));
  EXPECT_TRUE(title->ButtonArea()->TestFlag(kWfNoHit));
  EXPECT_EQ(title->MainPanel()->cancelId, CVSceneTitle::kExtrasBack);

  // Step 0 starts the title music once, step 1 waits for the panel's animation, step 2 takes buttons.
  ASSERT_TRUE(RunUntil(t, CVSceneTitle::kPhaseMenu, 1, 3));
  ASSERT_EQ(t.log.music.size(), 1u);
  EXPECT_EQ(t.log.music[0].first, "Data\\bgm\\M29.voi");
  EXPECT_EQ(t.log.music[0].second, 2);
  ASSERT_TRUE(RunUntil(t, CVSceneTitle::kPhaseMenu, 2, 60));
  EXPECT_FALSE(title->ButtonArea()->TestFlag(kWfNoHit));
  EXPECT_FALSE(title->ButtonArea()->FindChild(kWidgetBtn, 0)->TestFlag(kWfNoHit));
  EXPECT_EQ(t.log.music.size(), 1u);
}

TEST(TitleScene, ClickDuringLogoSkipsItOnlyFromTheSecondStart) {
  struct Case {
    uint32_t startCounter;
    bool skipped;
  };
  for (const Case c : {Case{1, false}, Case{2, true}, Case{7, true}}) {
    TitleTest t;
    t.log.startCounter = c.startCounter;
    t.StartTitle();
    ASSERT_NE(t.Title(), nullptr) << "start counter " << c.startCounter;
    t.Steps(3);
    ASSERT_NE(t.Title(), nullptr) << "start counter " << c.startCounter;
    // Where the first title button will be: hidden buttons under the logo take no click.
    t.Click(TitleButton(CVSceneTitle::kStory));
    t.Steps(2);  // with the click, far less than the logo's 1000 ms
    ASSERT_EQ(t.CurrentScene(), 1);
    EXPECT_EQ(GameMode, 2);
    EXPECT_EQ(t.Title()->GetPhase() == CVSceneTitle::kPhaseMovie, c.skipped) << "start counter " << c.startCounter;
  }
}

TEST(TitleScene, ClickDuringMovieEndsItAndShowsTheMenuOneMillisecondLater) {
  TitleTest t;
  t.StartTitle();
  ASSERT_TRUE(RunUntil(t, CVSceneTitle::kPhaseMovie));
  t.Steps(5);
  EXPECT_EQ(t.log.moviesClosed, 0);
  t.Step(17, true);
  EXPECT_EQ(t.Title()->GetPhase(), CVSceneTitle::kPhaseMovie);
  // The click is reported on the next update; the 1 ms delay runs out within that 17 ms step.
  t.Step(17, false);
  EXPECT_EQ(t.log.moviesClosed, 1);
  EXPECT_EQ(t.Title()->GetPhase(), CVSceneTitle::kPhaseMenu);
}

TEST(TitleScene, AMovieThatCannotOpenGoesStraightToTheMenu) {
  TitleTest t;
  GetTitlePorts().playFullScreenMovie = [](const char*) { return false; };
  t.log.movieFinished = true;  // nothing open: every movie counts as finished
  t.StartTitle();
  ASSERT_TRUE(RunUntil(t, CVSceneTitle::kPhaseMovie));
  t.Steps(2);
  EXPECT_EQ(t.Title()->GetPhase(), CVSceneTitle::kPhaseMenu);
}

TEST(TitleScene, LaterTitleOfTheRunStartsAtTheMenu) {
  TitleTest t;
  ShowOpeningFlag = 0;
  t.StartTitle();
  EXPECT_EQ(t.Title()->GetPhase(), CVSceneTitle::kPhaseMenu);
  ASSERT_TRUE(RunUntil(t, CVSceneTitle::kPhaseMenu, 2));
  EXPECT_TRUE(t.log.movies.empty());
  EXPECT_EQ(t.log.musicStops, 0);
  EXPECT_EQ(t.log.music.size(), 1u);
}

TEST(TitleScene, ButtonDuringTheOpeningAnimationOnlyFinishesIt) {
  TitleTest t;
  ShowOpeningFlag = 0;
  t.StartTitle();
  ASSERT_TRUE(RunUntil(t, CVSceneTitle::kPhaseMenu, 1));
  t.Click(TitleButton(CVSceneTitle::kStrategy));
  EXPECT_EQ(GameMode, 2);
  EXPECT_EQ(t.CurrentScene(), 1);
  EXPECT_EQ(t.Title()->GetStepValue(), 2);  // the click finished the animation
  EXPECT_FALSE(Shown(t.Title()->AfterButton()));
  t.Click(TitleButton(CVSceneTitle::kStrategy));
  EXPECT_EQ(GameMode, 7);
}

TEST(TitleScene, MenuButtonsSetTheGameModeAndLeadToTheirScene) {
  struct Case {
    int32_t id;
    int32_t gameMode;
    int scriptLoads;
    int32_t switch0;  // -1: not written
    int32_t scene;
  };
  const Case cases[] = {
      {CVSceneTitle::kStory, 0, 1, 0, 2},
      {CVSceneTitle::kStorySecond, 0, 1, 1, 2},
      {CVSceneTitle::kStrategy, 7, 0, -1, 3},
  };
  for (const Case& c : cases) {
    TitleTest t;
    ASSERT_TRUE(StartAtMenu(t));
    t.Click(TitleButton(c.id));
    EXPECT_EQ(GameMode, c.gameMode) << c.id;
    EXPECT_EQ(t.log.scriptLoads, c.scriptLoads) << c.id;
    if (c.switch0 < 0) {
      EXPECT_TRUE(t.log.switch0.empty()) << c.id;
    } else {
      EXPECT_EQ(t.log.switch0, std::vector<int32_t>{c.switch0}) << c.id;
    }
    EXPECT_EQ(t.CurrentScene(), c.scene) << c.id;
  }
}

TEST(TitleScene, QuitQuestionAnsweredNoStaysAnsweredYesQuits) {
  for (int32_t answer : {2, 1}) {
    TitleTest t;
    ASSERT_TRUE(StartAtMenu(t));
    t.Click(TitleButton(CVSceneTitle::kQuit));
    ASSERT_EQ(t.CurrentScene(), 10) << answer;
    auto* dlg = dynamic_cast<CVSceneDlg*>(GetSceneById(10));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->GetKind(), 3);
    EXPECT_EQ(dlg->GetFreezeBelow() & 1u, 1u);  // the title is frozen beneath
    EXPECT_EQ(t.Title()->ExitQuestionPending(), 0);
    t.Click(DialogButton(answer));
    t.Steps(12);  // the dialog closes after 100 ms and pops
    EXPECT_EQ(t.CurrentScene(), 1) << answer;
    EXPECT_EQ(t.Title()->ExitQuestionPending(), -1);
    EXPECT_EQ(t.log.quits, answer == 1 ? 1 : 0) << answer;
    EXPECT_EQ(t.Title()->GetPhase(), CVSceneTitle::kPhaseMenu);
    EXPECT_EQ(t.Title()->GetStepValue(), 2);
    if (answer == 2) {
      // Still answering buttons.
      t.Click(TitleButton(CVSceneTitle::kStrategy));
      EXPECT_EQ(GameMode, 7);
    }
  }
}

TEST(TitleScene, ExtrasSubMenuOpensSelectsAndReturns) {
  TitleTest t;
  ASSERT_TRUE(StartAtMenu(t));
  t.Click(TitleButton(CVSceneTitle::kExtras));
  CVSceneTitle* title = t.Title();
  ASSERT_EQ(title->GetPhase(), CVSceneTitle::kPhaseExtras);
  EXPECT_EQ(title->GetStepValue(), 2);
  EXPECT_FALSE(Shown(title->ButtonArea()));
  EXPECT_TRUE(Shown(title->ThirdWindow()));
  EXPECT_EQ(t.CurrentScene(), 1);  // no scene-table transition for the extras button
  EXPECT_EQ(OmakeSelection, 65535);

  // 10102 asks for extra 3: the extras scene is pushed over the title.
  t.Click(TitleButton(10102));
  EXPECT_EQ(OmakeSelection, 3);
  EXPECT_EQ(t.CurrentScene(), 7);
  ASSERT_EQ(GetSceneMgr().GetStack().size(), 1u);
  EXPECT_EQ(GetSceneMgr().GetStack().back(), 1);
  EXPECT_FALSE(title->MusicStarted());
  // Back from the extras: still the extras sub-menu, and only it.
  ASSERT_TRUE(GetSceneMgr().ChangeScene(1, 0));
  ASSERT_EQ(t.CurrentScene(), 1);
  EXPECT_EQ(title->GetPhase(), CVSceneTitle::kPhaseExtras);
  EXPECT_FALSE(Shown(title->ButtonArea()));
  EXPECT_TRUE(Shown(title->ThirdWindow()));

  // The back button, and the right click on the main panel, return to the menu.
  t.Click(TitleButton(CVSceneTitle::kExtrasBack));
  EXPECT_EQ(title->GetPhase(), CVSceneTitle::kPhaseMenu);
  EXPECT_TRUE(Shown(title->ButtonArea()));
  EXPECT_FALSE(Shown(title->ThirdWindow()));
  ASSERT_TRUE(RunUntil(t, CVSceneTitle::kPhaseMenu, 2));
  t.Click(TitleButton(CVSceneTitle::kExtras));
  ASSERT_EQ(title->GetPhase(), CVSceneTitle::kPhaseExtras);
  t.Click({20, 20}, true);
  EXPECT_EQ(title->GetPhase(), CVSceneTitle::kPhaseMenu);
}

TEST(TitleScene, PointerIdleNeedsTheSamePlaceNoButtonAndAnActiveWindow) {
  TitleTest t;
  ShowOpeningFlag = 0;
  t.StartTitle();
  t.MoveTo({100, 200});
  t.Step();
  CVSceneTitle* title = t.Title();
  EXPECT_TRUE(title->IsPointerIdle(100, 200));
  EXPECT_FALSE(title->IsPointerIdle(101, 200));
  t.log.windowActive = false;
  EXPECT_FALSE(title->IsPointerIdle(100, 200));
  t.log.windowActive = true;
  t.Step(17, true);
  EXPECT_FALSE(title->IsPointerIdle(100, 200));  // a button was held at that update
  t.MoveTo({-1, -1});
  t.Step();
  EXPECT_FALSE(title->IsPointerIdle(-1, -1));
}

TEST(TitleScene, LayoutWithoutWidgetsStillReachesTheMenu) {
  TitleTest::emptyTitleLayout = true;
  TitleTest t;
  t.log.movieFinished = true;
  t.StartTitle();
  CVSceneTitle* title = t.Title();
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->MainPanel(), nullptr);
  EXPECT_EQ(title->LogoWindow(), nullptr);
  ASSERT_TRUE(RunUntil(t, CVSceneTitle::kPhaseMenu, 2, 20));
  EXPECT_EQ(t.log.movies.size(), 1u);
  title->EnableExtrasButtons();  // nothing to enable, nothing breaks
  t.Click({640, 400});
  EXPECT_EQ(t.CurrentScene(), 1);
}

}  // namespace
