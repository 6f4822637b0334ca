// The scenario scene and its message window on the sample layout: the widget contract, the reveal,
// advance, skip and auto rules, the buttons and questions, choices, pictures, the backlog and the
// saved window state through adv.dat.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "adv_fixture.h"
#include "core/app_state.h"
#include "core/cv_input.h"
#include "core/fixed_path.h"
#include "core/game_file.h"
#include "ui/menus/menu_mgr.h"
#include "ui/scenes/scene_mgr.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"

namespace {

using adv::LayerKind;
using adv_test::AdvSceneTest;

std::string Line(CVMenuADV* w, int i) {
  CVMenuText* t = w->LineText(i);
  return t && t->Text() ? t->Text() : "";
}

TEST_F(AdvSceneTest, SampleLayoutMeetsTheWindowContract) {
  CVSceneADV* s = Enter();
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(GetSceneMgr().GetCurrentSceneId(), 2);
  CVMenuADV* w = Win();
  ASSERT_NE(w, nullptr) << "menu 0 of scene 2 is the message window (type 20)";
  EXPECT_NE(w->LayerRoot(), nullptr);
  ASSERT_NE(w->MessageWindow(), nullptr);
  EXPECT_NE(w->NameText(), nullptr);
  for (int i = 0; i < CVMenuADV::kPageLines; ++i) EXPECT_NE(w->LineText(i), nullptr) << "line " << i;
  for (int32_t id = 10000; id <= 10009; ++id) EXPECT_NE(w->MessageWindow()->FindButtonById(id), nullptr) << id;
  ASSERT_NE(w->ChoicePanel(), nullptr);
  for (int32_t id = 10100; id <= 10103; ++id) EXPECT_NE(w->ChoicePanel()->FindButtonById(id), nullptr) << id;
  ASSERT_NE(w->BacklogPanel(), nullptr);
  EXPECT_NE(w->BacklogPanel()->FindButtonById(10200), nullptr);
  for (int32_t id = 10210; id <= 10213; ++id) EXPECT_NE(w->BacklogPanel()->FindButtonById(id), nullptr) << id;
  EXPECT_NE(w->BacklogPanel()->FindChild(kWidgetSBar, 0), nullptr);
  EXPECT_NE(w->FindChild(kWidgetWindow, 4), nullptr) << "lens-flare holder";
  // The panels stand above the layers, the backlog above the window.
  EXPECT_LT(w->LayerRoot()->GetWorldZ() + 55.0f, w->MessageWindow()->GetWorldZ());
  EXPECT_LT(w->MessageWindow()->GetWorldZ(), w->BacklogPanel()->GetWorldZ());
  EXPECT_EQ(&GetAdvScript(), &s->Script());
  EXPECT_EQ(GetAdvScript().GetScene(), s) << "the scene registers with the script state";
  EXPECT_EQ(GetAdvPresenter(), s) << "and is the interpreter's presenter while it runs";
  // A changed scene leaves the script state without a scene.
  ASSERT_TRUE(GetSceneMgr().ChangeScene(3, 0));
  EXPECT_EQ(GetAdvScript().GetScene(), nullptr);
  EXPECT_EQ(GetAdvPresenter(), nullptr);
}

TEST_F(AdvSceneTest, RevealAtTheTextSpeedThenAdvanceOnClick) {
  log.settings[0] = 0;  // 63 ms per character
  CVSceneADV* s = Enter();
  CVMenuADV* w = Win();
  ASSERT_TRUE(s->SetMessage(7, "花",
                            Records("ab\x82\xa0"
                                    "cd"),
                            true));
  EXPECT_TRUE(s->IsMessageBusy());
  EXPECT_TRUE(w->IsMessageBusy());
  EXPECT_TRUE(s->WaitAdvance());
  EXPECT_STREQ(w->NameText()->Text(), "花");
  Step(63);
  EXPECT_EQ(w->Reveal().ShownChars(), 1u);
  EXPECT_EQ(Line(w, 0), "a");
  Step(126);
  EXPECT_EQ(Line(w, 0), "ab\x82\xa0") << "the double-byte character counts as one";
  // A click on empty screen shows the rest; the next one advances.
  ClickEmpty();
  EXPECT_EQ(Line(w, 0),
            "ab\x82\xa0"
            "cd");
  EXPECT_FALSE(w->IsMessageBusy());
  EXPECT_TRUE(s->WaitAdvance()) << "the click that completes the page does not also advance it";
  ClickEmpty();
  EXPECT_FALSE(s->WaitAdvance());
  EXPECT_FALSE(s->IsMessageBusy());
  // Enter advances too; a message that does not wait is never waited on.
  log.settings[0] = 9;
  s->SetMessage(8, "", Records("x"), true);
  Steps(2);
  log.keysPressed.insert(VK_RETURN);
  Step();
  EXPECT_FALSE(s->WaitAdvance());
  s->SetMessage(9, "", Records("y", 0), true);
  EXPECT_FALSE(s->WaitAdvance());
  std::string speaker, text;
  EXPECT_FALSE(s->TakeFinishedMessage(speaker, text)) << "not put into the backlog";
  // Lines: '\n' starts the next line widget, and long lines wrap.
  s->SetMessage(10, "", Records("one\ntwo"), true);
  Step();
  EXPECT_EQ(Line(w, 0), "one");
  EXPECT_EQ(Line(w, 1), "two");
  EXPECT_FALSE(s->SetMessage(11, nullptr, Records("z"), true));
  EXPECT_EQ(w->ReadId(), 10);
}

// Enter is an advance input of its own, as the click is: over a page being revealed it shows the
// whole page, and the next Enter advances it.
TEST_F(AdvSceneTest, EnterCompletesTheRevealThenAdvances) {
  log.settings[0] = 0;  // 63 ms per character
  CVSceneADV* s = Enter();
  CVMenuADV* w = Win();
  ASSERT_TRUE(s->SetMessage(7, "", Records("abcdef"), true));
  Step(63);
  ASSERT_TRUE(w->IsMessageBusy());
  log.keysPressed.insert(VK_RETURN);
  Step();
  log.keysPressed.clear();
  EXPECT_FALSE(w->IsMessageBusy()) << "the whole page shows";
  EXPECT_EQ(Line(w, 0), "abcdef");
  EXPECT_TRUE(s->WaitAdvance()) << "the Enter that completes the page does not also advance it";
  Step();
  log.keysPressed.insert(VK_RETURN);
  Step();
  log.keysPressed.clear();
  EXPECT_FALSE(s->WaitAdvance());
}

TEST_F(AdvSceneTest, SkipAndCtrlSkipOnlyReadMessagesUnlessAllowed) {
  CVSceneADV* s = Enter();
  struct Case {
    bool read;
    int32_t skipUnread;
    bool ctrl;
    bool skipMode;
    bool advances;
  } cases[] = {
      {true, 0, true, false, true},    // Ctrl over a read message skips (and turns skip on)
      {false, 0, true, false, false},  // ... not over an unread one
      {false, 1, true, false, true},   // unless the settings allow it
      {true, 0, false, true, true},    // skip mode
      {false, 0, false, true, false}, {true, 0, false, false, false},  // nothing pressed
  };
  int32_t id = 100;
  for (const Case& c : cases) {
    log.read.clear();
    if (c.read) log.read.insert(id);
    log.settings[21] = c.skipUnread;
    s->SetSkip(c.skipMode);
    s->SetMessage(id, "", Records("text"), true);
    if (c.ctrl) log.keysHeld.insert(VK_CONTROL);
    Steps(3);
    log.keysHeld.clear();
    EXPECT_EQ(!s->WaitAdvance(), c.advances) << "read " << c.read << " ctrl " << c.ctrl << " skip " << c.skipMode;
    if (c.ctrl && c.advances) {
      EXPECT_TRUE(s->IsSkip());
    }
    // Releasing Ctrl (or a click) ends the skip.
    log.keysReleased.insert(VK_CONTROL);
    Step();
    s->SetSkip(false);
    ++id;
  }
  // Skip mode ends with a click.
  log.read.insert(500);
  s->SetSkip(true);
  s->SetMessage(500, "", Records("text"), true);
  Step();
  EXPECT_TRUE(s->IsSkip());
  ClickEmpty();
  EXPECT_FALSE(s->IsSkip());
}

TEST_F(AdvSceneTest, AutoWaitsItsTimeAndForTheVoice) {
  log.settings[1] = 5;
  CVSceneADV* s = Enter();
  s->SetAuto(true);
  s->SetMessage(1, "", Records(std::string(40, 'a')), true);  // 5 x 160 x 5 = 4000 ms
  Step();
  EXPECT_FLOAT_EQ(Win()->CalcAutoWait(), 4000.0f);
  log.voicePlaying = true;
  for (int i = 0; i < 40; ++i) Step(100);
  EXPECT_TRUE(s->WaitAdvance()) << "no advance while the voice plays";
  EXPECT_TRUE(s->IsAuto());
  log.voicePlaying = false;
  for (int i = 0; i < 39 && s->WaitAdvance(); ++i) Step(100);
  EXPECT_TRUE(s->WaitAdvance()) << "the wait starts again in full";
  Steps(3, 100);
  EXPECT_FALSE(s->WaitAdvance());
  EXPECT_TRUE(s->IsAuto());
  // A click ends auto mode.
  ClickEmpty();
  EXPECT_FALSE(s->IsAuto());
}

TEST_F(AdvSceneTest, ButtonsQuestionsAndOnlyNextCommand) {
  CVSceneADV* s = Enter();
  s->SetMessage(1, "", Records("text"), true);
  Steps(2);
  int32_t x, y;
  // Skip and auto toggle.
  ButtonAt(CVMenuADV::kBtnAuto, x, y);
  Click(x, y);
  EXPECT_TRUE(s->IsAuto());
  Click(x, y);
  EXPECT_FALSE(s->IsAuto());
  // Return to the title: dialog kind 8 (kind 2 in a replay); no keeps the game, yes goes.
  ButtonAt(CVMenuADV::kBtnTitle, x, y);
  Click(x, y);
  ASSERT_EQ(log.dialogs.size(), 1u);
  EXPECT_EQ(log.dialogs.back(), 8);
  EXPECT_EQ(Win()->pendingQuestion, 0);
  log.dialogAnswer = 2;
  Step();
  EXPECT_EQ(Win()->pendingQuestion, -1);
  EXPECT_EQ(GameMode, 0);
  log.dialogAnswer = -1;
  GameMode = 14;
  Click(x, y);
  log.dialogAnswer = 1;
  Step();
  EXPECT_EQ(GameMode, 48);
  GameMode = 10;
  log.dialogAnswer = -1;
  Click(x, y);
  EXPECT_EQ(log.dialogs.back(), 2);
  log.dialogAnswer = 1;
  Step();
  EXPECT_EQ(GameMode, 1);
  GameMode = 0;
  // Skip ahead (yes: fast-forward), quick save and quick load (kind 3 each).
  struct Q {
    int32_t button;
    int32_t question;
  } qs[] = {{CVMenuADV::kBtnSkipAhead, 1}, {CVMenuADV::kBtnQuickSave, 2}, {CVMenuADV::kBtnQuickLoad, 3}};
  for (const Q& q : qs) {
    log.dialogAnswer = -1;
    ButtonAt(q.button, x, y);
    Click(x, y);
    EXPECT_EQ(log.dialogs.back(), 3);
    EXPECT_EQ(Win()->pendingQuestion, q.question);
    log.dialogAnswer = 1;
    Step();
  }
  EXPECT_TRUE(s->IsFastForward());
  s->SetFastForward(false);
  EXPECT_EQ(log.quickSaves.size(), 1u);
  EXPECT_EQ(log.quickLoads, 1);
  EXPECT_TRUE(log.requested.empty()) << "a story save stays in the story";
  // A quick save made on the strategy map goes back to the strategy scene.
  log.gameModeAfterLoad = 11;
  log.dialogAnswer = -1;
  ButtonAt(CVMenuADV::kBtnQuickLoad, x, y);
  Click(x, y);
  log.dialogAnswer = 1;
  Step();
  EXPECT_EQ(log.requested, (std::vector<int32_t>{3}));
  GameMode = 0;
  log.dialogAnswer = -1;
  // Save, load and settings push their screens.
  for (int32_t b : {CVMenuADV::kBtnSave, CVMenuADV::kBtnLoad, CVMenuADV::kBtnSettings}) {
    ButtonAt(b, x, y);
    Click(x, y);
  }
  EXPECT_EQ(log.screens, (std::vector<int32_t>{4, 5, 6}));

  // Only-next-command mode: buttons, the hide toggle and the wheel do nothing; advancing works.
  s->SetOnlyNextCommand(true);
  const size_t asked = log.dialogs.size();
  ButtonAt(CVMenuADV::kBtnTitle, x, y);
  Click(x, y);
  EXPECT_EQ(log.dialogs.size(), asked);
  log.keysPressed.insert(VK_SPACE);
  Step();
  EXPECT_FALSE(Win()->Bit(CVMenuADV::kWsHidden));
  log.wheel = 120;
  Step();
  EXPECT_FALSE(Win()->Bit(CVMenuADV::kWsBacklog));
  s->SetMessage(2, "", Records("more"), true);
  Step();
  EXPECT_TRUE(s->WaitAdvance());
  ClickEmpty();
  EXPECT_FALSE(s->WaitAdvance());
  s->SetOnlyNextCommand(false);

  // The hide toggle: Space or a right click; never while skipping.
  s->SetMessage(3, "", Records("more"), true);
  log.keysPressed.insert(VK_SPACE);
  Step();
  EXPECT_TRUE(Win()->Bit(CVMenuADV::kWsHidden));
  EXPECT_FALSE(Win()->MessageWindow()->TestFlag(kWfShown));
  Click(640, 200, true);
  EXPECT_FALSE(Win()->Bit(CVMenuADV::kWsHidden));
  log.read.insert(4);
  s->SetMessage(4, "", Records("read before"), true);
  s->SetSkip(true);
  log.keysPressed.insert(VK_SPACE);
  Step();
  EXPECT_TRUE(s->IsSkip());
  EXPECT_FALSE(Win()->Bit(CVMenuADV::kWsHidden));
}

TEST_F(AdvSceneTest, ChoicesShowAtMostFourAndStoreTheClickedLabel) {
  CVSceneADV* s = Enter();
  std::vector<AdvChoice> five = {{11, "一"}, {12, "二"}, {13, "三"}, {14, "四"}, {15, "五"}};
  ASSERT_TRUE(s->SetChoices(five));
  CVMenuADV* w = Win();
  EXPECT_EQ(w->ChoiceCount(), 4);
  EXPECT_TRUE(s->IsMessageBusy()) << "an open choice list keeps the interpreter waiting";
  Steps(3);
  int32_t x, y;
  ChoiceAt(2, 4, x, y);
  Click(x, y);
  EXPECT_EQ(s->GetChosenLabel(), 13);
  EXPECT_FALSE(w->Bit(CVMenuADV::kWsChoice));
  EXPECT_FALSE(w->ChoicePanel()->TestFlag(kWfShown));

  // One pair: the two-choice layout, the other buttons hidden.
  ASSERT_TRUE(s->SetChoices({{21, "ひとつ"}}));
  Steps(3);
  EXPECT_TRUE(w->ChoicePanel()->FindButtonById(10100)->TestFlag(kWfShown));
  EXPECT_FALSE(w->ChoicePanel()->FindButtonById(10101)->TestFlag(kWfShown));
  EXPECT_FLOAT_EQ(w->ChoicePanel()->FindButtonById(10100)->position.y, 360.0f - 2 * 40.0f);
  ChoiceAt(0, 2, x, y);
  Click(x, y);
  EXPECT_EQ(s->GetChosenLabel(), 21);
  EXPECT_FALSE(s->SetChoices({}));
}

TEST_F(AdvSceneTest, CharactersPlaceFadeAndHide) {
  CVSceneADV* s = Enter();
  CVMenuADV* w = Win();
  // The sample definition: 400 x 600, anchor 200; position 1 adds (-320, 0).
  ASSERT_TRUE(s->LoadChar(0, "hana", 1));
  CVMenuWindow* c = w->Layer(LayerKind::kChar, 0);
  ASSERT_NE(c, nullptr);
  EXPECT_FLOAT_EQ(c->position.x, 640 - 200 - 320);
  EXPECT_FLOAT_EQ(c->position.y, 120);
  EXPECT_NE(c->FindChild(kWidgetSprite, 0), nullptr) << "the face layer";
  ASSERT_TRUE(s->LoadChar(1, "hana", 11));
  EXPECT_FLOAT_EQ(w->Layer(LayerKind::kChar, 1)->position.x, 440) << "position 11 adds no offset";
  EXPECT_EQ(w->CharDefs().Reads(), 1u) << "a definition is read once";

  // A missing definition: the message, nothing loaded, and the story goes on.
  EXPECT_FALSE(s->LoadChar(2, "nobody", 0));
  ASSERT_EQ(log.errors.size(), 1u);
  EXPECT_NE(log.errors[0].find("nobody"), std::string::npos);
  EXPECT_EQ(w->Layer(LayerKind::kChar, 2), nullptr);
  EXPECT_FALSE(s->LoadChar(3, "..\\sys\\scene", 0));

  // In over 300 ms: the move and fade set bit 3 until they end.
  ASSERT_TRUE(s->ShowChar(0, 0, 120, 120, 120, 300));
  EXPECT_TRUE(s->IsCharMoving());
  Steps(10, 20);
  EXPECT_TRUE(s->IsCharMoving());
  Steps(12, 20);
  EXPECT_FALSE(s->IsCharMoving());
  EXPECT_FLOAT_EQ(c->position.x, 120);
  Color col;
  c->GetColour(col);
  EXPECT_FLOAT_EQ(col.a, 255);
  // Out over 200 ms: removed at the end.
  ASSERT_TRUE(s->HideChar(0, 200, 120, 200));
  Step(100);
  EXPECT_NE(w->Layer(LayerKind::kChar, 0), nullptr);
  EXPECT_TRUE(s->IsCharMoving());
  for (int i = 0; i < 30 && s->IsCharMoving(); ++i) Step(20);
  EXPECT_EQ(w->Layer(LayerKind::kChar, 0), nullptr);
  EXPECT_FALSE(s->IsCharMoving());
  EXPECT_FALSE(s->HideChar(0, 0, 0, 10)) << "no such layer";

  // Effects off (or fast-forward): everything at once.
  log.settings[3] = 0;
  ASSERT_TRUE(s->ShowChar(1, 0, 0, 300, 120, 500));
  EXPECT_FALSE(s->IsCharMoving());
  EXPECT_FLOAT_EQ(w->Layer(LayerKind::kChar, 1)->position.x, 300);
  ASSERT_TRUE(s->HideChar(1, 0, 0, 500));
  EXPECT_EQ(w->Layer(LayerKind::kChar, 1), nullptr);
}

TEST_F(AdvSceneTest, BackgroundPagesEffectsSpritesZoomAndFlare) {
  CVSceneADV* s = Enter();
  CVMenuADV* w = Win();
  // A picture loaded before any page: it stands on the (empty) shown page and goes with it.
  ASSERT_TRUE(s->LoadLayerImage(0, "Data\\Image\\adv\\bg_night.png", true));
  CVMenuWindow* picture = w->Layer(LayerKind::kPicture, 0);
  ASSERT_NE(picture, nullptr);
  ASSERT_NE(w->Layer(LayerKind::kPage, 0), nullptr);
  EXPECT_EQ(picture->GetParent(), w->Layer(LayerKind::kPage, 0));
  ASSERT_TRUE(s->SwapBgPage(200, "Data\\Image\\adv\\bg_castle.png"));
  EXPECT_GT(w->Layer(LayerKind::kPage, 1)->position.z, picture->position.z + w->Layer(LayerKind::kPage, 0)->position.z)
      << "the incoming page fades in above the shown page's pictures";
  EXPECT_TRUE(s->IsPageSwapping());
  Steps(14, 17);
  EXPECT_FALSE(s->IsPageSwapping());
  EXPECT_EQ(w->ShownPage(), 1);
  EXPECT_EQ(w->Layer(LayerKind::kPicture, 0), nullptr) << "cleared with its page";
  ASSERT_TRUE(s->SwapBgPage(200, "Data\\Image\\adv\\bg_field.png"));
  Steps(14, 17);
  EXPECT_EQ(w->ShownPage(), 0);
  EXPECT_EQ(w->Layer(LayerKind::kPage, 1), nullptr) << "the old page is cleared";
  CVMenuWindow* page = w->Layer(LayerKind::kPage, 0);
  ASSERT_NE(page, nullptr);
  EXPECT_FLOAT_EQ(page->size.x, 1280.0f);

  // Effect layer in through the pattern wipe (its own test below).
  ASSERT_TRUE(s->LoadEffectLayer(0, "Data\\Image\\adv\\effect.png", false));
  ASSERT_TRUE(s->EffectIn(0, 100, "Data\\Image\\adv\\pattern.tig"));
  EXPECT_TRUE(s->IsTransitionRunning());
  Steps(8, 17);
  EXPECT_FALSE(s->IsTransitionRunning());
  EXPECT_FALSE(s->EffectIn(5, 100, "x.tig"));

  // A sprite tween: two keys one after the other, waited on with WaitCheck.
  ASSERT_TRUE(s->SetSprite(3, 0));
  ASSERT_TRUE(s->SetSpriteImg("Data\\Image\\adv\\sprite.png"));
  ASSERT_TRUE(s->SpriteCut(3, 1, 64, 64));
  ASSERT_TRUE(s->SpriteAnimeMove(AdvTweenVariant::kPlain, 3, 500, 300, 0, 100, 0));
  ASSERT_TRUE(s->SpriteAnimeColor(AdvTweenVariant::kPlain, 3, 255, 255, 255, 128, 0, 100, 0));
  ASSERT_TRUE(s->SetWaitCheck(true));
  ASSERT_TRUE(s->SpriteAnimeStart(3));
  EXPECT_TRUE(s->IsSpriteAnimating());
  Steps(15, 17);
  EXPECT_FALSE(s->IsSpriteAnimating());
  CVMenuWindow* sp = w->Layer(LayerKind::kSprite, 3);
  EXPECT_FLOAT_EQ(sp->position.x, 500);
  EXPECT_FLOAT_EQ(sp->size.x, 64);
  Color col;
  sp->GetColour(col);
  EXPECT_NEAR(col.a, 128, 0.5);
  // Keys started with the previous one (flag 1) run together: a move and a turn in 100 ms.
  ASSERT_TRUE(s->SpriteAnimeClear(3, 0));
  ASSERT_TRUE(s->SpriteAnimeMove(AdvTweenVariant::kPlain, 3, 100, 100, 0, 100, 0));
  ASSERT_TRUE(s->SpriteAnimeRot(AdvTweenVariant::kPlain, 3, 0, 0, 90, 0, 100, 1));
  ASSERT_TRUE(s->SpriteAnimeStart(3));
  Steps(8, 17);
  EXPECT_FLOAT_EQ(sp->position.x, 100);
  EXPECT_FLOAT_EQ(sp->rotation.z, 90);
  EXPECT_FALSE(s->SpriteAnimeStart(9)) << "no such sprite";
  ASSERT_TRUE(s->SpriteAnimeClear(3, 0));
  EXPECT_NE(w->Layer(LayerKind::kSprite, 3), nullptr);
  ASSERT_TRUE(s->SetSprite(4, 0));
  ASSERT_TRUE(s->SpriteAnimeClear(4, 1));
  EXPECT_EQ(w->Layer(LayerKind::kSprite, 4), nullptr);
  EXPECT_FALSE(s->SetSpriteImg("Data\\Image\\adv\\sprite.png")) << "no current sprite after its removal";
  EXPECT_FALSE(s->SpriteAnimeMove(AdvTweenVariant::kPlain, 9, 0, 0, 0, 10, 0));

  // The page turn (its own test below): the other page turns in and is the shown one; a flip
  // then gives it a picture again.
  ASSERT_TRUE(s->SwapBgPageRot(200, 0, 0));
  EXPECT_TRUE(s->IsPageSwapping());
  for (int i = 0; i < 30 && s->IsPageSwapping(); ++i) Step(17);
  EXPECT_FALSE(s->IsPageSwapping());
  EXPECT_EQ(w->ShownPage(), 1);
  ASSERT_TRUE(s->SwapBgPage(0, "Data\\Image\\adv\\bg_field.png"));
  Step();
  page = w->Layer(LayerKind::kPage, w->ShownPage());
  ASSERT_NE(page, nullptr);
  EXPECT_FLOAT_EQ(page->rotation.x, 0);

  // Zoom and the lens flare (placed at (x - 496, y - 342)); the flare does nothing in fast-forward.
  ASSERT_TRUE(s->Zoom(150, 640, 360, 100, 0));
  EXPECT_TRUE(s->IsZoomRunning());
  Steps(8, 17);
  EXPECT_FALSE(s->IsZoomRunning());
  ASSERT_TRUE(s->LensFlare(700, 400, 50, 50, 50));
  EXPECT_TRUE(w->Bit(CVMenuADV::kWsFlare));
  CVMenuBase* flare = w->FindChild(kWidgetWindow, 4)->FindChild(kWidgetSprite, 0);
  EXPECT_FLOAT_EQ(flare->position.x, 204);
  EXPECT_FLOAT_EQ(flare->position.y, 58);
  Steps(15, 17);
  EXPECT_FALSE(w->Bit(CVMenuADV::kWsFlare));
  s->SetFastForward(true);
  Step();
  ASSERT_TRUE(s->LensFlare(100, 100, 50, 50, 50));
  EXPECT_FALSE(w->Bit(CVMenuADV::kWsFlare));
  s->SetFastForward(false);

  // A device reset reloads every layer's picture in place.
  const Vector3 before = page->position;
  s->OnDeviceReset();
  EXPECT_FLOAT_EQ(page->position.x, before.x);
  EXPECT_STREQ(page->pictureName.CStr(), "Data\\Image\\adv\\bg_field.png");
}

// #FlipRot swaps the pages as #Flip does: the shown page turns away as a card (bit 1), the other
// page turns in (bit 2) and becomes the shown one; the old page goes with its pictures. With
// effects off or in fast-forward the pages change over at once.
TEST_F(AdvSceneTest, PageTurnMakesTheOtherPageTheShownOne) {
  CVSceneADV* s = Enter();
  CVMenuADV* w = Win();
  struct Case {
    const char* name;
    int32_t effects;
    bool fastForward;
    bool animated;
  } cases[] = {{"turning", 1, false, true}, {"effects off", 0, false, false}, {"fast-forward", 1, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log.settings[3] = 1;
    s->SetFastForward(false);
    ASSERT_TRUE(s->SwapBgPage(0, "Data\\Image\\adv\\bg_castle.png"));
    Step();
    ASSERT_TRUE(s->LoadLayerImage(2, "Data\\Image\\adv\\bg_night.png", true));
    const int32_t before = w->ShownPage();
    CVMenuWindow* old = w->Layer(LayerKind::kPage, before);
    ASSERT_NE(old, nullptr);
    log.settings[3] = c.effects;
    if (c.fastForward) {
      s->SetFastForward(true);
      Step();
    }
    ASSERT_TRUE(s->SwapBgPageRot(200, 100, 0));
    bool away = false, in = false;
    for (int i = 0; i < 40 && s->IsPageSwapping(); ++i) {
      if (w->Bit(CVMenuADV::kWsPageSwap2)) {
        in = true;
        EXPECT_GT(w->Layer(LayerKind::kPage, 1 - before)->position.z, 2.0f) << "it turns in above the old page";
      } else if (w->Layer(LayerKind::kPage, before) && w->Layer(LayerKind::kPage, before)->rotation.x > 0.0f) {
        away = true;
      }
      Step(17);
    }
    EXPECT_FALSE(s->IsPageSwapping());
    EXPECT_EQ(away, c.animated);
    EXPECT_EQ(in, c.animated);
    EXPECT_EQ(w->ShownPage(), 1 - before);
    EXPECT_EQ(w->Layer(LayerKind::kPage, before), nullptr) << "the old page is cleared";
    EXPECT_EQ(w->Layer(LayerKind::kPicture, 2), nullptr) << "with its pictures";
    CVMenuWindow* shown = w->Layer(LayerKind::kPage, w->ShownPage());
    ASSERT_NE(shown, nullptr);
    EXPECT_FLOAT_EQ(shown->rotation.x, 0);
    EXPECT_FLOAT_EQ(shown->rotation.y, 0);
    EXPECT_FLOAT_EQ(shown->position.z, 2.0f) << "the shown page stands at the back";
    EXPECT_TRUE(shown->IsShown());
  }
  s->SetFastForward(false);
}

// Effect-layer transitions: a pattern picture wipes through the pattern shader, a movie through
// the movie shader, and nothing (or a pattern that cannot be loaded) fades; each holds bit 4 until
// it ends, the layer then shown (in) or hidden (out).
TEST_F(AdvSceneTest, EffectTransitionsRunThroughTheirShaders) {
  CVSceneADV* s = Enter();
  CVMenuADV* w = Win();
  using Kind = CVMenuADV::TransitionKind;
  struct Case {
    const char* pattern;
    bool in;
    Kind kind;
  } cases[] = {
      {"Data\\Image\\adv\\pattern.tig", true, Kind::kPattern}, {"Data\\Image\\adv\\pattern.tig", false, Kind::kPattern},
      {"Data\\effect\\wipe.png", true, Kind::kPattern},        {"", true, Kind::kFade},
      {"Data\\Image\\adv\\missing.tig", false, Kind::kFade},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + (c.in ? " in" : " out"));
    ASSERT_TRUE(s->LoadEffectLayer(1, "Data\\Image\\adv\\effect.png", false));
    ASSERT_TRUE(c.in ? s->EffectIn(1, 200, c.pattern) : s->EffectOut(1, 200, c.pattern));
    CVMenuWindow* l = w->Layer(LayerKind::kEffect, 1);
    EXPECT_EQ(w->LayerTransition(1), c.kind);
    EXPECT_EQ(l->Shaders().size(), c.kind == Kind::kPattern ? 1u : 0u);
    EXPECT_TRUE(s->IsTransitionRunning());
    for (int i = 0; i < 60 && s->IsTransitionRunning(); ++i) Step(17);
    EXPECT_FALSE(s->IsTransitionRunning());
    EXPECT_EQ(w->LayerTransition(1), Kind::kNone);
    EXPECT_TRUE(l->Shaders().empty()) << "the shader goes when it has run";
    EXPECT_EQ(l->IsShown(), c.in);
  }
  // A picture loaded into the layer ends its running transition; it waits hidden for the next.
  ASSERT_TRUE(s->EffectIn(1, 200, "Data\\Image\\adv\\pattern.tig"));
  ASSERT_TRUE(s->LoadEffectLayer(1, "Data\\Image\\adv\\effect.png", false));
  EXPECT_EQ(w->LayerTransition(1), Kind::kNone);
  EXPECT_TRUE(w->Layer(LayerKind::kEffect, 1)->Shaders().empty());
  EXPECT_FALSE(w->Layer(LayerKind::kEffect, 1)->IsShown());
  Step();
  EXPECT_FALSE(s->IsTransitionRunning());
  // Effects off: at once, no shader.
  log.settings[3] = 0;
  ASSERT_TRUE(s->EffectIn(1, 200, "Data\\Image\\adv\\pattern.tig"));
  EXPECT_FALSE(s->IsTransitionRunning());
  EXPECT_TRUE(w->Layer(LayerKind::kEffect, 1)->Shaders().empty());
  EXPECT_TRUE(w->Layer(LayerKind::kEffect, 1)->IsShown());
}

TEST_F(AdvSceneTest, BacklogListsReadMessagesAndReplaysTheirVoices) {
  CVSceneADV* s = Enter();
  CVMenuADV* w = Win();
  // Two voiced messages that waited, one that did not; the interpreter adds what the scene gives
  // at #TalkEnd.
  auto talkEnd = [&](const char* voice) {
    std::string speaker, text;
    if (!s->TakeFinishedMessage(speaker, text)) return false;
    GetAdvScript().AddBacklogEntry(speaker.c_str(), text.c_str(), voice, 3, 0);
    return true;
  };
  s->SetMessage(1, "花", Records("一つ目"), true);
  EXPECT_TRUE(talkEnd("Data\\voice\\hana_001.voi"));
  EXPECT_FALSE(talkEnd("x")) << "once per message";
  s->SetMessage(2, "影", Records("続く", 0), true);
  EXPECT_FALSE(talkEnd("x"));
  s->SetMessage(3, "影", Records("二つ目"), true);
  EXPECT_TRUE(talkEnd("Data\\voice\\kage_001.voi"));
  ASSERT_EQ(GetAdvScript().GetBacklogCount(), 2u);
  EXPECT_STREQ(GetAdvScript().GetBacklogEntry(0)->text, "二つ目");
  EXPECT_STREQ(GetAdvScript().GetBacklogEntry(0)->speaker, "影");

  // The wheel turned away from the player opens it; fewer than four entries: range 0.
  const int32_t bound = GetMenuMgr().GetDepthBound();
  log.wheel = 120;
  Step();
  ASSERT_TRUE(w->Bit(CVMenuADV::kWsBacklog));
  EXPECT_EQ(w->BacklogTop(), 0);
  auto* bar = dynamic_cast<CVMenuSBar*>(w->BacklogPanel()->FindChild(kWidgetSBar, 0));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->maximum, 0);
  EXPECT_GT(GetMenuMgr().GetDepthBound(), bound);
  CVMenuBtn* row0 = w->BacklogPanel()->FindButtonById(10210);
  CVMenuBtn* row2 = w->BacklogPanel()->FindButtonById(10212);
  EXPECT_TRUE(row0->TestFlag(kWfShown));
  EXPECT_FALSE(row2->TestFlag(kWfShown));
  EXPECT_STREQ(dynamic_cast<CVMenuText*>(row0->FindChild(kWidgetText, 1))->Text(), "一つ目") << "oldest on top";
  Steps(20);
  // A row replays its voice; the close button closes and restores the depth bound.
  Click(170 + 30 + 440, 80 + 70 + 116 * 1 + 50);
  ASSERT_EQ(log.voices.size(), 1u);
  EXPECT_EQ(log.voices[0], "Data\\voice\\kage_001.voi");
  Click(140 + 936 + 24, 80 + 16 + 24);
  EXPECT_FALSE(w->Bit(CVMenuADV::kWsBacklog));
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), bound);
  EXPECT_TRUE(w->MessageWindow()->TestFlag(kWfShown));

  // With more than four: the newest four in view.
  for (int i = 0; i < 8; ++i) GetAdvScript().AddBacklogEntry("x", std::to_string(i).c_str(), "", 0, 0);
  w->OpenBacklog();
  EXPECT_EQ(w->BacklogTop(), 10 - 4);
  EXPECT_EQ(bar->maximum, 6);
  EXPECT_STREQ(dynamic_cast<CVMenuText*>(w->BacklogPanel()->FindButtonById(10213)->FindChild(kWidgetText, 1))->Text(),
               "7");
  w->CloseBacklog();
}

TEST_F(AdvSceneTest, QuickSaveMidMessageAndLoadShowTheSamePictures) {
  ASSERT_TRUE(GetAdvScript().LoadScriptFiles(0));
  CVSceneADV* s = Enter();
  CVMenuADV* w = Win();
  s->SwapBgPage(0, "Data\\Image\\adv\\bg_night.png");
  s->LoadChar(0, "hana", 5);
  s->ShowChar(0, 0, 0, 280, 120, 0);
  s->LoadChar(1, "kage", 6);
  s->ShowChar(1, 0, 0, 600, 120, 0);
  s->SetSprite(2, 0);
  s->SetSpriteImg("Data\\Image\\adv\\sprite.png");
  s->SpriteAnimeMove(AdvTweenVariant::kPlain, 2, 900, 200, 0, 5000, 0);
  s->SpriteAnimeStart(2);
  Steps(5);
  s->SetMessage(4, "花", Records("途中の台詞"), true);
  Step();
  const std::vector<uint8_t> saved = w->SaveState();
  const FixedPath path((std::string(GetModuleDir()) + "SaveData\\01\\adv.dat").c_str());
  ASSERT_TRUE(GetAdvScript().SaveAdvData(path));

  // The story goes on and changes everything, then the load.
  w->ResetPictures();
  s->LoadChar(5, "kage", 0);
  s->SetChoices({{1, "a"}, {2, "b"}});
  ASSERT_TRUE(GetAdvScript().LoadAdvData(path));
  EXPECT_TRUE(GetAdvScript().HasPendingWindowState());
  Step();
  EXPECT_FALSE(GetAdvScript().HasPendingWindowState());
  EXPECT_EQ(w->SaveState(), saved) << "the same layers, places, pictures and keys";
  EXPECT_NE(w->Layer(LayerKind::kChar, 0), nullptr);
  EXPECT_NE(w->Layer(LayerKind::kChar, 1), nullptr);
  EXPECT_EQ(w->Layer(LayerKind::kChar, 5), nullptr);
  EXPECT_FLOAT_EQ(w->Layer(LayerKind::kChar, 1)->position.x, 600);
  EXPECT_NE(w->Layer(LayerKind::kChar, 0)->FindChild(kWidgetSprite, 0), nullptr) << "face layer restored";
  EXPECT_TRUE(w->Layer(LayerKind::kSprite, 2)->IsAnimeQueued()) << "the sprite's tween goes on";
  EXPECT_FALSE(s->IsMessageBusy()) << "no message, choice or wait is left from before the load";
  EXPECT_FALSE(w->Bit(CVMenuADV::kWsChoice));

  // A damaged state is refused and changes nothing.
  std::vector<uint8_t> bad = saved;
  bad[0] = 'Z';
  EXPECT_FALSE(s->LoadState(bad.data(), bad.size()));
  EXPECT_FALSE(s->LoadState(saved.data(), saved.size() - 3));
  EXPECT_EQ(w->SaveState(), saved);

  // The interpreter steps before the scene: the restored message it shows first finds the
  // pictures already restored, and it waits.
  ASSERT_TRUE(GetAdvScript().LoadAdvData(path));
  s->SetMessage(4, "花", Records("途中の台詞"), true);
  EXPECT_FALSE(GetAdvScript().HasPendingWindowState());
  EXPECT_TRUE(s->WaitAdvance());
  Step();
  EXPECT_TRUE(s->WaitAdvance());
  EXPECT_EQ(w->ReadId(), 4);
  EXPECT_EQ(w->SaveState(), saved);

  // A new scene takes the pending state when it starts.
  ASSERT_TRUE(GetAdvScript().LoadAdvData(path));
  ASSERT_TRUE(GetSceneMgr().ChangeScene(3, 0));
  ASSERT_EQ(GetSceneById(2), nullptr);
  Enter();
  EXPECT_EQ(Win()->SaveState(), saved);
}

TEST_F(AdvSceneTest, MovieHidesTheWindowAndAClickEndsIt) {
  CVSceneADV* s = Enter();
  s->LoadChar(0, "hana", 0);
  s->SetMessage(1, "花", Records("text"), true);
  ASSERT_TRUE(s->PlayMovie("Data\\media\\op.mdm"));
  EXPECT_TRUE(s->IsMoviePlaying());
  EXPECT_FALSE(Win()->MessageWindow()->TestFlag(kWfShown));
  EXPECT_EQ(Win()->LayerCount(), 0u);
  Steps(3);
  EXPECT_TRUE(s->IsMoviePlaying());
  ClickEmpty();
  EXPECT_FALSE(s->IsMoviePlaying());
  EXPECT_EQ(log.moviesClosed, 1) << "closed on the frame after the click";
}

}  // namespace
