// Buttons: looks by pointer and bits, decision timing with the pressed animation, the shared
// latch, right clicks, disabled clicks and state sounds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sound/busyo_voice.h"
#include "render/sprite.h"
#include "widget_fixture.h"
#include "ui/menus/menu_root.h"
#include "ui/widgets/menu_button.h"

namespace {

struct ButtonScreen {
  WidgetEnv env;
  CVMenuSceneRoot* root = nullptr;
  CVMenuBtn* a = nullptr;
  CVMenuBtn* b = nullptr;
  ButtonScreen(float bx = 400) {
    root = new CVMenuSceneRoot();
    GetMenuMgr().RegisterRoot(root);
    a = GetMenuMgr().CreateMenuButton(root, 7, 8, Cells(100, 100, 100, 50, 5));
    b = GetMenuMgr().CreateMenuButton(root, 9, -1, Cells(bx, 100, 100, 50, 5));
    root->Open(0, 0, 0);
    Frame(0, 0, 0);  // transforms built
  }
  void Frame(int32_t x, int32_t y, uint32_t click, float dt = 100) { RunFrame(root, x, y, click, dt); }
};

TEST(Button, DecisionWaitsForThePressedAnimation) {
  struct Case {
    float animMs;
    int decideFrame;  // frame after the click frame (1-based) whose update reports the id
  } cases[] = {{0, 1}, {300, 3}, {250, 3}, {301, 4}};
  for (const Case& c : cases) {
    ButtonScreen s;
    if (c.animMs > 0) {
      s.a->AddAnimeWait(20, c.animMs, 0, 0, 0);
      s.a->ClearAnimeQueue();
      s.a->SetStateAnimes(-1, -1, 20, -1, -1);
    }
    s.Frame(120, 110, 1);
    EXPECT_EQ(s.a->GetState(), kBtnPressed);
    EXPECT_TRUE(s.a->IsPressed());
    EXPECT_EQ(s.root->decidedId, -1);
    EXPECT_EQ(s.root->selectedId, 7);
    for (int f = 1; f <= 5; ++f) {
      s.Frame(120, 110, 0);
      EXPECT_EQ(s.root->decidedId, f == c.decideFrame ? 7 : -1) << c.animMs << " frame " << f;
    }
  }
}

TEST(Button, LooksFollowThePointerAndBits) {
  struct Case {
    const char* what;
    bool over, enabled, rest4, rest1;
    int32_t look;
  } cases[] = {
      {"idle", false, true, false, false, kBtnIdle},
      {"over", true, true, false, false, kBtnOver},
      {"rest 1", false, true, false, true, kBtnOver},
      {"rest 4 idle", false, true, true, false, kBtnRest},
      {"rest 4 over", true, true, true, false, kBtnRest},
      {"disabled", true, false, false, false, kBtnDisabled},
      {"disabled away", false, false, true, false, kBtnDisabled},
  };
  for (const Case& c : cases) {
    ButtonScreen s;
    s.a->flags.Set(kWfEnabled, c.enabled);
    s.a->flags.Set(kWfRest4, c.rest4);
    s.a->flags.Set(kWfRest1, c.rest1);
    s.Frame(c.over ? 150 : 10, c.over ? 120 : 10, 0);
    EXPECT_EQ(s.a->GetState(), c.look) << c.what;
    EXPECT_EQ(s.a->GetSprite()->cell, s.a->statePatterns[c.look]) << c.what;
    EXPECT_EQ(s.a->flags.Test(kWfPointerOver), c.over && c.enabled) << c.what;
  }
}

TEST(Button, EdgesOfThePictureAndTheDepthBound) {
  struct Case {
    int32_t x, y, bound;
    bool over;
  } cases[] = {{100, 100, 0, true}, {199, 149, 0, true}, {200, 120, 0, false}, {150, 150, 0, false},
               {99, 120, 0, false}, {150, 120, 2, true}, {150, 120, 3, false}};
  for (const Case& c : cases) {
    ButtonScreen s;
    GetMenuMgr().SetDepthBound(c.bound);  // the button's z is 1; its depth z is 2
    s.Frame(c.x, c.y, 0);
    EXPECT_EQ(s.a->GetState() == kBtnOver, c.over) << c.x << "," << c.y << " bound " << c.bound;
  }
}

TEST(Button, OverlappingButtonsFirstTakesThePress) {
  ButtonScreen s(150);  // b overlaps a at x 150..199
  s.Frame(170, 120, 1);
  EXPECT_TRUE(s.a->IsPressed());
  EXPECT_FALSE(s.b->IsPressed());
  EXPECT_EQ(s.b->GetState(), kBtnOver);
}

TEST(Button, RightClickUsesTheSecondId) {
  ButtonScreen s;
  s.Frame(420, 120, 2);  // b has no second id
  EXPECT_FALSE(s.b->IsPressed());
  EXPECT_EQ(s.b->GetState(), kBtnOver);
  s.Frame(420, 120, 1);
  EXPECT_TRUE(s.b->IsPressed());
  s.Frame(420, 120, 0);
  EXPECT_EQ(s.root->decidedId, 9);
  s.Frame(120, 120, 0);
  s.Frame(120, 120, 0);
  s.Frame(120, 120, 2);
  EXPECT_EQ(s.a->pressedId, 8);
  s.Frame(120, 120, 0);
  EXPECT_EQ(s.root->decidedId, 8);
}

TEST(Button, DisabledClickIsReportedAndTheLookStays) {
  ButtonScreen s;
  s.a->flags.Set(kWfEnabled, 0);
  s.Frame(120, 120, 1);
  EXPECT_EQ(s.root->disabledClickId, 7);
  EXPECT_EQ(s.root->decidedId, -1);
  EXPECT_EQ(s.a->GetState(), kBtnDisabled);
  s.Frame(120, 120, 0);
  EXPECT_EQ(s.root->disabledClickId, -1);
  EXPECT_EQ(s.a->GetState(), kBtnDisabled);
}

TEST(Button, LatchBlocksOtherButtonsForTheDecisionFrameAndTheNext) {
  ButtonScreen s;
  s.Frame(120, 120, 1);  // a pressed
  s.Frame(420, 120, 1);  // a decides; b is blocked
  EXPECT_EQ(s.root->decidedId, 7);
  EXPECT_FALSE(s.b->IsPressed());
  s.Frame(420, 120, 1);  // the frame after the decision: still blocked
  EXPECT_FALSE(s.b->IsPressed());
  s.Frame(420, 120, 1);  // released
  EXPECT_TRUE(s.b->IsPressed());
}

TEST(Button, HidingOrClosingCancelsAPendingPress) {
  for (int how = 0; how < 2; ++how) {
    ButtonScreen s;
    s.Frame(120, 120, 1);
    ASSERT_TRUE(s.a->IsPressed());
    if (how == 0)
      s.a->SetFlag(kWfShown, false);
    else
      s.a->Close();
    s.Frame(120, 120, 0);
    EXPECT_FALSE(s.a->IsPressed()) << how;
    EXPECT_EQ(s.root->decidedId, -1) << how;
    EXPECT_TRUE(ButtonClickLatch & 2) << how;
  }
}

TEST(Button, StateSoundsPlayOnEnteringAState) {
  struct Case {
    const char* what;
    int32_t sound;
    bool fromReference;
    float ref;
    std::vector<std::pair<int32_t, int32_t>> expected;
  } cases[] = {
      {"plain number", 5, false, 0, {{6, 5}}},
      {"reference", 1, true, 4.0f, {{6, 4}}},
      {"negative reference is silent", 2, true, -1.0f, {}},
      {"none", -1, false, 0, {}},
  };
  for (const Case& c : cases) {
    ButtonScreen s;
    s.a->SetRefParam(c.sound >= 0 ? c.sound : 0, c.ref);
    s.a->SetStateSound(kBtnOver, c.sound, c.fromReference);
    s.env.sound.played.clear();
    s.Frame(120, 120, 0);
    s.Frame(120, 120, 0);  // staying in the state plays nothing more
    EXPECT_EQ(s.env.sound.played, c.expected) << c.what;
  }
  // The player adds one to the number: sound 5 is file 6.
  char path[64];
  FormatSlgSePath(path, sizeof path, 5);
  EXPECT_NE(std::string(path).find("slg_se006.voi"), std::string::npos) << path;
}

TEST(Button, CaptionAndPatterns) {
  ButtonScreen s;
  EXPECT_EQ(s.a->SetCaption("OK"), 1);
  EXPECT_EQ(s.a->SetCaption("OK"), 0);
  EXPECT_EQ(s.a->SetCaption(nullptr), 1);
  EXPECT_EQ(s.a->caption.CStr(), nullptr);
  s.a->SetStatePatterns(10, 11, 12, 13, 14);
  s.Frame(150, 120, 0);
  EXPECT_EQ(s.a->GetSprite()->cell, 11);
  s.a->SetNeverDecide(true);
  s.Frame(150, 120, 1);
  EXPECT_FALSE(s.a->IsPressed());
  EXPECT_EQ(s.root->selectedId, 7);
}

// A look's pattern holds while the state is set again unchanged frame after frame (the pointer
// resting on the button): a one-cell picture keeps showing its cell 0 instead of a cell past it.
TEST(Button, PatternHoldsWhileTheLookRepeats) {
  const int32_t patterns[][5] = {{0, 0, 0, 0, 0}, {10, 11, 12, 13, 14}, {4, 3, 2, 1, 0}};
  for (const auto& p : patterns) {
    ButtonScreen s;
    s.a->SetStatePatterns(p[0], p[1], p[2], p[3], p[4]);
    for (int f = 0; f < 4; ++f) {
      s.Frame(150, 120, 0);
      ASSERT_EQ(s.a->GetState(), kBtnOver);
      EXPECT_EQ(s.a->GetSprite()->cell, p[kBtnOver]) << p[kBtnOver] << " frame " << f;
    }
    s.Frame(10, 10, 0);
    EXPECT_EQ(s.a->GetSprite()->cell, p[kBtnIdle]) << p[kBtnIdle];
    // A state outside the five looks shows its own cell.
    s.a->SetState(7, 0);
    EXPECT_EQ(s.a->GetSprite()->cell, 7);
  }
}

}  // namespace
