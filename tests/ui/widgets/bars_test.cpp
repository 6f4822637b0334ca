// Scroll bar, list and progress bar: track clicks, hold-to-repeat timing, the wheel, knob
// placement, maximum 0, glides and slider clicks.
#include <gtest/gtest.h>

#include <cmath>

#include "render/sprite.h"
#include "ui/menus/menu_root.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_list.h"
#include "ui/widgets/menu_pbar.h"
#include "widget_fixture.h"

namespace {

// A vertical bar at (500, 100): up button 0..20, down button at y 120..140, a 20-high knob; the
// derived track is the 100-pixel strip between the buttons (y 20..120 in the bar).
struct BarScreen {
  WidgetEnv env;
  CVMenuSceneRoot* root = nullptr;
  CVMenuSBar* bar = nullptr;
  CVMenuBtn* up = nullptr;
  CVMenuBtn* down = nullptr;
  CVMenuWindow* knob = nullptr;
  explicit BarScreen(int32_t maximum, int32_t upId = 11) {
    root = new CVMenuSceneRoot();
    GetMenuMgr().RegisterRoot(root);
    CVMenuMgr& m = GetMenuMgr();
    bar = m.CreateMenuSBar(root, Vector3(500, 100, 0), 0, FRect(-1, 0, 0, 0), maximum, 0);
    up = m.CreateMenuButton(bar, upId, -1, Cells(0, 0, 20, 20));
    down = m.CreateMenuButton(bar, 12, -1, Cells(0, 120, 20, 20));
    knob = m.CreateMenuSpriteWindow(bar, Cells(0, 0, 20, 20));
    root->Open(0, 0, 0);
  }
  void Frame(int32_t x, int32_t y, bool held, float dt = 10) {
    env.input.button = held ? 1 : 0;
    RunFrame(root, x, y, held ? 1 : 0, dt);
  }
};

TEST(ScrollBar, TrackIsDerivedBetweenTheButtons) {
  BarScreen s(4);
  float r[4];
  s.bar->GetTrackRect(r);
  EXPECT_FLOAT_EQ(r[0], 0);
  EXPECT_FLOAT_EQ(r[1], 20);
  EXPECT_FLOAT_EQ(r[2], 20);
  EXPECT_FLOAT_EQ(r[3], 100);
}

TEST(ScrollBar, HorizontalTrackLiesBetweenLeftAndRightButtons) {
  WidgetEnv env;
  auto* root = new CVMenuSceneRoot();
  GetMenuMgr().RegisterRoot(root);
  CVMenuSBar* bar = GetMenuMgr().CreateMenuSBar(root, Vector3(0, 0, 0), 1, FRect(-1, 0, 0, 0), 4, 1);
  GetMenuMgr().CreateMenuButton(bar, 1, -1, Cells(0, 5, 20, 10));
  GetMenuMgr().CreateMenuButton(bar, 2, -1, Cells(120, 0, 20, 20));
  root->Open(0, 0, 0);
  float r[4];
  bar->GetTrackRect(r);
  EXPECT_FLOAT_EQ(r[0], 20);
  EXPECT_FLOAT_EQ(r[1], 0);
  EXPECT_FLOAT_EQ(r[2], 100);
  EXPECT_FLOAT_EQ(r[3], 20);  // from the smaller top (0) to the larger bottom (20)
  EXPECT_EQ(bar->wheelNeedsPointer, 0);
  EXPECT_EQ(bar->TrackValueAt(20 + 40), 2);  // horizontal bars measure along x
  // Without both buttons there is no track.
  CVMenuSBar* lone = GetMenuMgr().CreateMenuSBar(root, Vector3(0, 0, 0), 0, FRect(-1, 0, 0, 0), 4, 0);
  GetMenuMgr().CreateMenuButton(lone, 1, -1, Cells(0, 0, 20, 20));
  lone->Open(0, 0, 0);
  lone->GetTrackRect(r);
  EXPECT_FLOAT_EQ(r[2], 0);
  EXPECT_FLOAT_EQ(r[3], 0);
}

TEST(ScrollBar, TrackClickSetsTheValueProportionally) {
  // maximum 4 on a 100-pixel track: half-step 12.5, cells of 25.
  struct Case {
    float along;
    int32_t value;
  } cases[] = {{0, 0}, {12, 0}, {13, 1}, {40, 2}, {100, 4}, {-30, 0}, {500, 4}};
  BarScreen s(4);
  s.bar->SetArea(FRect(0, 0, 20, 100));
  for (const Case& c : cases) EXPECT_EQ(s.bar->TrackValueAt(c.along), c.value) << c.along;
  // Through the pointer: the track starts at bar y 20 after derivation.
  BarScreen t(4);
  t.Frame(505, 100 + 20 + 40, true);
  EXPECT_EQ(t.bar->value, 2);
  // With maximum 0 the click leaves the value at 0 (and divides by nothing).
  BarScreen z(0);
  z.Frame(505, 160, true);
  EXPECT_EQ(z.bar->value, 0);
  EXPECT_EQ(z.bar->TrackValueAt(50), 0);
  // The largest maximum a layout's /num can give: the ends of the track still reach 0 and it.
  BarScreen big(0);
  big.bar->SetMax(INT32_MAX);
  big.bar->SetArea(FRect(0, 0, 20, 100));
  EXPECT_EQ(big.bar->TrackValueAt(0), 0);
  EXPECT_EQ(big.bar->TrackValueAt(100), INT32_MAX);
}

TEST(ScrollBar, HoldingAStepButtonRepeats) {
  BarScreen s(30);
  // Frame 1 presses the button (its id becomes the bar's selected id); the bar reads it from
  // the next frame on: one step at once, the next after 500 ms, then every 50 ms.
  s.Frame(505, 230, true, 10);
  EXPECT_EQ(s.bar->value, 0);
  s.Frame(505, 230, true, 10);
  EXPECT_EQ(s.bar->value, 1);
  int steps = 0;
  for (int t = 0; t < 490; t += 10) s.Frame(505, 230, true, 10), steps = s.bar->value;
  EXPECT_EQ(steps, 1);
  s.Frame(505, 230, true, 10);  // 500 ms after the first step
  EXPECT_EQ(s.bar->value, 2);
  for (int i = 0; i < 5; ++i) s.Frame(505, 230, true, 10);
  EXPECT_EQ(s.bar->value, 3);
  for (int i = 0; i < 500; ++i) s.Frame(505, 230, true, 10);
  EXPECT_EQ(s.bar->value, 30);  // stops at the maximum
  EXPECT_FALSE(s.down->flags.Test(kWfEnabled));
  s.Frame(505, 230, false);
  EXPECT_EQ(s.bar->repeating, 0);
}

TEST(ScrollBar, StepButtonWithoutIdNeverMatchesNothingUnderThePointer) {
  BarScreen s(10, -1);  // an up button whose id is -1
  s.bar->SetValue(5);
  for (int i = 0; i < 100; ++i) s.Frame(900, 600, true, 10);  // held far away from the bar
  EXPECT_EQ(s.bar->value, 5);
}

TEST(ScrollBar, WheelMaxAndKnob) {
  BarScreen s(3);
  s.env.input.wheel = -120;
  s.Frame(505, 150, false);
  EXPECT_EQ(s.bar->value, 1);
  s.Frame(900, 600, false);  // the wheel needs the pointer over the track
  EXPECT_EQ(s.bar->value, 1);
  s.bar->wheelNeedsPointer = 0;
  s.Frame(900, 600, false);
  s.Frame(900, 600, false);
  s.Frame(900, 600, false);
  EXPECT_EQ(s.bar->value, 3);
  // Knob: (100 - 20) * 3 / 3 + trunc(20 + 10) - 10 = 100.
  EXPECT_FLOAT_EQ(s.knob->position.y, 100);
  s.env.input.wheel = 120;
  s.Frame(900, 600, false);
  EXPECT_EQ(s.bar->value, 2);
  EXPECT_FLOAT_EQ(s.knob->position.y, 20 * 0 + 80.0f * 2 / 3 + 20);
  s.bar->SetMax(-3);
  EXPECT_EQ(s.bar->maximum, 0);
  EXPECT_EQ(s.bar->value, 0);
  s.env.input.wheel = 0;
  s.Frame(900, 600, false);
  EXPECT_FALSE(s.knob->flags.Test(kWfShown));
  EXPECT_FALSE(s.up->flags.Test(kWfEnabled));
  EXPECT_FALSE(s.down->flags.Test(kWfEnabled));
  s.bar->SetValue(-4);
  EXPECT_EQ(s.bar->value, 0);
}

TEST(List, ItemCountRowsAndItsScrollBar) {
  WidgetEnv env;
  auto* root = new CVMenuSceneRoot();
  GetMenuMgr().RegisterRoot(root);
  CVMenuList* list = GetMenuMgr().CreateMenuList(root, Vector3(0, 0, 0), 0, 6);
  CVMenuSBar* bar = GetMenuMgr().CreateMenuSBar(list, Vector3(0, 0, 0), 0, FRect(0, 0, 10, 60), 10, 0);
  list->SetItemCount(30, 6);
  EXPECT_TRUE(list->flags.Test(kWfAltLoader));
  EXPECT_EQ(bar->maximum, 30);
  for (int i = 0; i < 4; ++i) list->AddRow()->sortKey = static_cast<float>(10 - i);
  list->SortRows();
  EXPECT_EQ(static_cast<CVListBase*>(list->rows.first)->sortKey, 7.0f);
  root->Open(0, 0, 0);
  RunFrame(root, 0, 0, 0, 16);
  EXPECT_EQ(bar->maximum, 0);  // four rows fit on a page of six
  for (int i = 0; i < 6; ++i) list->AddRow();
  bar->SetValue(3);
  RunFrame(root, 0, 0, 0, 16);
  EXPECT_EQ(bar->maximum, 4);
  RunFrame(root, 0, 0, 0, 16);
  EXPECT_EQ(list->topRow, 3);
  list->SetItemCount(5, 6);
  EXPECT_FALSE(list->flags.Test(kWfAltLoader));
  EXPECT_EQ(list->rows.count, 0);
}

// A horizontal bar 100 long at (200, 300) with increase (id 21) and decrease (id 22) buttons.
struct PBarScreen {
  WidgetEnv env;
  CVMenuSceneRoot* root = nullptr;
  CVMenuPBar* pbar = nullptr;
  CVMenuWindow* barWin = nullptr;
  PBarScreen(int32_t direction, int32_t maximum, bool buttons = true) {
    root = new CVMenuSceneRoot();
    GetMenuMgr().RegisterRoot(root);
    CVMenuMgr& m = GetMenuMgr();
    pbar = m.CreateMenuPBar(root, Vector3(200, 300, 0), direction, 0, 2);
    barWin = m.CreateMenuSpriteWindow(pbar, Cells(0, 0, 100, 10));
    if (buttons) {
      m.CreateMenuButton(pbar, 21, -1, Cells(120, 0, 10, 10));
      m.CreateMenuButton(pbar, 22, -1, Cells(-20, 0, 10, 10));
    }
    pbar->maximum = maximum;
    pbar->value = 0;
    root->Open(0, 0, 0);
    RunFrame(root, 0, 0, 0, 16);
  }
};

TEST(ProgressBar, GlidesToTheTarget) {
  PBarScreen s(0, 100);
  s.pbar->value = 10;
  s.pbar->SetTarget(50, 500);
  const int32_t expected[] = {18, 26, 34, 42, 50};
  for (int32_t e : expected) {
    RunFrame(s.root, 0, 0, 0, 100);
    EXPECT_EQ(s.pbar->value, e);
    EXPECT_TRUE(s.pbar->IsGliding());
  }
  RunFrame(s.root, 0, 0, 0, 100);
  EXPECT_FALSE(s.pbar->IsGliding());
  EXPECT_EQ(s.pbar->value, 50);
  // Closing mid-glide leaves the value at the target.
  s.pbar->SetTarget(90, 1000);
  RunFrame(s.root, 0, 0, 0, 100);
  s.root->Close();
  EXPECT_EQ(s.pbar->value, 90);
  EXPECT_FALSE(s.pbar->IsGliding());
}

TEST(ProgressBar, ClickOnTheBarAndDirection) {
  struct Case {
    int32_t direction, x, expected;
  } cases[] = {{0, 299, 10}, {1, 299, 0}, {0, 200, 0}, {1, 200, 10}, {0, 250, 5}};
  for (const Case& c : cases) {
    PBarScreen s(c.direction, 10);
    RunFrame(s.root, c.x, 305, 1, 16);
    EXPECT_EQ(s.pbar->value, c.expected) << c.direction << " " << c.x;
  }
}

TEST(ProgressBar, DrawnWidthAndOffset) {
  PBarScreen s(1, 10);
  s.pbar->value = 4;
  RunFrame(s.root, 0, 0, 0, 16);
  EXPECT_FLOAT_EQ(s.barWin->sprite->width, 40);
  EXPECT_FLOAT_EQ(s.barWin->offset.x, 60);
  PBarScreen z(0, 0);
  z.pbar->value = 3;
  RunFrame(z.root, 0, 0, 0, 16);
  EXPECT_FLOAT_EQ(z.barWin->sprite->width, 0);
  EXPECT_TRUE(std::isfinite(z.barWin->offset.x));
  EXPECT_EQ(CVMenuPBar::BarWidth(5, 0, 100), 0.0f);
  EXPECT_EQ(CVMenuPBar::BarWidth(5, -2, 100), 0.0f);
}

TEST(ProgressBar, WheelStepsAndStopsAtTheEnds) {
  PBarScreen s(0, 10);
  s.pbar->value = 5;
  s.env.input.wheel = -120;  // raises by the wheel step (2)
  RunFrame(s.root, 250, 305, 0, 16);
  EXPECT_EQ(s.pbar->value, 7);
  for (int i = 0; i < 5; ++i) RunFrame(s.root, 250, 305, 0, 16);
  EXPECT_EQ(s.pbar->value, 10);
  s.env.input.wheel = 120;
  for (int i = 0; i < 9; ++i) RunFrame(s.root, 250, 305, 0, 16);
  EXPECT_EQ(s.pbar->value, 0);
  RunFrame(s.root, 900, 700, 0, 16);  // away from the bar: no effect
  EXPECT_EQ(s.pbar->value, 0);
}

TEST(ProgressBar, StepButtonsActOnTheSelectedId) {
  PBarScreen s(0, 3);
  s.pbar->value = 2;
  RunFrame(s.root, 325, 305, 1, 16);  // presses the increase button; the bar sees it next frame
  RunFrame(s.root, 325, 305, 1, 16);
  EXPECT_EQ(s.pbar->value, 3);
  RunFrame(s.root, 325, 305, 1, 16);
  EXPECT_EQ(s.pbar->value, 3);
}

}  // namespace
