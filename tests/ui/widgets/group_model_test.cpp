// Window groups (display modes, references, glide, bounds) and model widgets (one-frame start and
// end flags, loading on open) with a scripted model renderer.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "ui/menus/menu_root.h"
#include "ui/widgets/menu_model.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/menu_window_group.h"
#include "widget_fixture.h"

namespace {

struct GroupScreen {
  WidgetEnv env;
  CVMenuSceneRoot* root = nullptr;
  CVMenuWindowGroup* group = nullptr;
  std::vector<CVMenuWindow*> digits;
  GroupScreen(uint16_t mode, int windows, int digitCount) {
    root = new CVMenuSceneRoot();
    GetMenuMgr().RegisterRoot(root);
    group = GetMenuMgr().CreateMenuWindowGroup(root, Vector3(0, 0, 0));
    GetMenuMgr().CreateMenuWindow(group, Vector3(0, 0, 0));  // not a digit window (type 0)
    for (int i = 0; i < windows; ++i)
      digits.push_back(GetMenuMgr().CreateMenuSpriteWindow(group, Cells(20.0f * i, 0, 20, 30, 12)));
    // Digit d shows pattern 100 + d; minus is 110, the mark 111.
    for (int i = 0; i < 12; ++i) group->SetPatternEntry(i, 100 + i);
    group->SetMode(mode);
    group->SetDigitCount(digitCount, false);
  }
  // "-" hidden, else the shown state.
  std::string Shown() const {
    std::string s;
    for (CVMenuWindow* w : digits) {
      if (!s.empty()) s += ' ';
      s += w->flags.Test(kWfShown) ? std::to_string(w->GetState()) : "-";
    }
    return s;
  }
};

TEST(WindowGroup, DisplayModes) {
  struct Case {
    uint16_t mode;
    int windows;
    int32_t value;
    const char* shown;
  } cases[] = {
      {kGroupFixed, 3, 7, "0 0 7"},
      {kGroupFixed, 3, 1234, "2 3 4"},
      {kGroupIcons, 5, 2, "0 0 - - -"},
      {kGroupIcons, 5, 9, "0 0 0 0 0"},
      {kGroupIcons, 5, -3, "- - - - -"},
      {kGroupNonZero, 3, 105, "1 - 5"},
      {kGroupRight, 4, 42, "- - 104 102"},
      {kGroupRight, 4, -42, "- 110 104 102"},
      {kGroupRight, 2, 12345, "104 105"},
      {kGroupZeroFill, 4, 42, "100 100 104 102"},
      {kGroupZeroFill, 4, -42, "110 100 104 102"},
      {kGroupLeft, 5, 42, "104 102 111 - -"},
      {kGroupLeft, 5, -42, "110 104 102 111 -"},
      {kGroupLeft, 2, -42, "110 104"},
      {kGroupCentre, 6, 7, "- - 107 111 - -"},
      {kGroupCentre, 5, 7, "- 107 111 - -"},
      {kGroupRight, 3, 0, "- - 100"},
      {kGroupFixed, 10, INT_MIN, "2 1 4 7 4 8 3 6 4 8"},
      {kGroupRight, 11, INT_MIN, "110 102 101 104 107 104 108 103 106 104 108"},
  };
  for (const Case& c : cases) {
    GroupScreen s(c.mode, c.windows, c.windows);
    s.group->Display(c.value);
    EXPECT_EQ(s.Shown(), c.shown) << "mode " << c.mode << " value " << c.value;
    EXPECT_EQ(s.group->shownValue, c.value);
  }
}

TEST(WindowGroup, DigitCountBeyondTheWindowsIsBounded) {
  GroupScreen s(kGroupFixed, 3, 40);
  s.group->Display(98765);
  EXPECT_EQ(s.Shown(), "7 6 5");
  s.group->SetDigitState(4, 0);
  EXPECT_EQ(s.digits[2]->GetState(), 4);
  s.group->SetDigitAlpha(10);
  EXPECT_EQ(s.digits[0]->alpha, 10.0f);
  // Only the first digit-count windows are used.
  GroupScreen t(kGroupIcons, 4, 2);
  t.group->Display(4);
  EXPECT_EQ(t.Shown(), "0 0 0 0");
  EXPECT_EQ(t.group->DigitWindows().size(), 2u);
}

TEST(WindowGroup, ReferencesAreResolvedOnEachOpen) {
  GroupScreen s(kGroupIcons, 5, 0);
  s.group->SetDigitCount(1, true);  // digit count from reference parameter 1
  s.group->SetValue(2, true);       // value from reference parameter 2
  s.group->SetRefParams(0, 3.0f, 5.0f);
  for (CVMenuWindow* w : s.digits) w->SetFlag(kWfShown, false);
  s.root->Open(0, 0, 0);
  EXPECT_EQ(s.group->digitCount, 3);
  EXPECT_EQ(s.group->value, 5);
  EXPECT_EQ(s.Shown(), "0 0 0 - -");
  // Opened again after the parameters changed: it reads them afresh.
  s.group->SetRefParams(0, 4.0f, 2.0f);
  s.root->Open(0, 0, 0);
  EXPECT_EQ(s.group->digitCount, 4);
  EXPECT_EQ(s.group->value, 2);
  EXPECT_EQ(s.Shown(), "0 0 - - -");
  s.group->SetRefParams(0, 3.0f, 5.0f);
  s.root->Open(0, 0, 0);
  // Showing the group touches only its own bit: the display owns the digits' visibility.
  s.group->SetFlagAll(kWfShown, false);
  EXPECT_TRUE(s.digits[0]->flags.Test(kWfShown));
  s.group->SetFlagAllEx(kWfShown, true, true);
  EXPECT_TRUE(s.digits[4]->flags.Test(kWfShown));
  CVMenuWindowGroup other;
  s.group->CopySettingsTo(&other);
  EXPECT_EQ(other.digitCount, 3);
  EXPECT_EQ(other.GetPatternEntry(11), 111);
  EXPECT_EQ(other.GetPatternEntry(12), -1);
}

TEST(WindowGroup, GlidesLikeTheProgressBar) {
  GroupScreen s(kGroupFixed, 3, 3);
  s.root->Open(0, 0, 0);
  s.group->Display(10);
  s.group->SetTarget(50, 500);
  const int32_t expected[] = {18, 26, 34, 42, 50, 50};
  for (int32_t e : expected) {
    RunFrame(s.root, 0, 0, 0, 100);
    EXPECT_EQ(s.group->shownValue, e);
  }
  EXPECT_FALSE(s.group->IsGliding());
  EXPECT_EQ(s.Shown(), "0 5 0");
}

// A model renderer whose playing flag the test scripts.
class ScriptedModel : public MenuModelRenderer {
 public:
  static inline int loads = 0;
  static inline bool playing = false;
  bool LoadModel(const uint8_t*, int32_t size) override {
    ++loads;
    return size > 0;
  }
  bool IsPlaying() const override { return playing; }
  void RestartAnimation(int32_t n) override { restarted = n; }
  void ReplaceTexture(const char*, const std::vector<std::string>& t) override { textures = t; }
  void SetTransform(const Vector3& p, const Vector3&, const Vector3&) override { placed = p; }
  bool IsDrawable(float, float, float, float, uint32_t) override { return true; }
  int32_t restarted = -1;
  std::vector<std::string> textures;
  Vector3 placed{0, 0, 0};
};

TEST(Model, StartAndEndFlagsLastOneFrame) {
  WidgetEnv env;
  v4test::TempModuleDir dir;
  dir.Write("Data/Model/cube.x", v4test::SolidPng(2, 2, 0xFFFFFFFF));  // any bytes: the scripted renderer reads none
  SetMenuModelRendererFactory([]() -> MenuModelRenderer* { return new ScriptedModel(); });
  ScriptedModel::loads = 0;
  ScriptedModel::playing = false;
  auto* root = new CVMenuSceneRoot();
  GetMenuMgr().RegisterRoot(root);
  CVMenuModel* m = GetMenuMgr().CreateMenuModel(root, "Data\\Model\\cube.x", Vector3(10, 20, 0), Vector3(1, 1, 1),
                                                Vector3(0, 0, 0), Color(255, 255, 255, 255), 255);
  root->Open(0, 0, 0);
  EXPECT_EQ(ScriptedModel::loads, 1);
  const struct {
    bool playing;
    uint16_t flags;
  } frames[] = {{false, 0}, {true, 3}, {true, 1}, {false, 4}, {false, 0}, {true, 3}};
  for (const auto& f : frames) {
    ScriptedModel::playing = f.playing;
    RunFrame(root, 0, 0, 0, 16);
    EXPECT_EQ(m->modelFlags, f.flags);
  }
  root->Draw(0);
  EXPECT_FLOAT_EQ(static_cast<ScriptedModel*>(m->Renderer())->placed.x, 10);
  m->SetAnimation(2);
  EXPECT_EQ(static_cast<ScriptedModel*>(m->Renderer())->restarted, 2);
  root->Close();
  EXPECT_EQ(m->Renderer(), nullptr);
  root->Open(0, 0, 0);
  EXPECT_EQ(ScriptedModel::loads, 2);
  m->LoadModelOne("Data\\Model\\cube.x", "a.png", nullptr);
  EXPECT_EQ(static_cast<ScriptedModel*>(m->Renderer())->textures, std::vector<std::string>{"a.png"});
  m->namePattern.Assign("Data\\Model\\%s%d.x");
  EXPECT_FALSE(m->SetModelF(1));  // "%s" stays literal: no such file
  EXPECT_STREQ(m->modelName.CStr(), "Data\\Model\\%s1.x");
  SetMenuModelRendererFactory(nullptr);
}

TEST(Model, WithoutAModelRendererNothingLoads) {
  WidgetEnv env;
  auto* root = new CVMenuSceneRoot();
  GetMenuMgr().RegisterRoot(root);
  CVMenuModel* m = GetMenuMgr().CreateMenuModel(root, "Data\\Model\\cube.x", Vector3(0, 0, 0), Vector3(1, 1, 1),
                                                Vector3(0, 0, 0), Color(255, 255, 255, 255), 255);
  root->Open(0, 0, 0);
  RunFrame(root, 0, 0, 0, 16);
  EXPECT_EQ(m->Renderer(), nullptr);
  EXPECT_EQ(m->modelFlags, 0);
  EXPECT_FALSE(m->IsDrawable(0));
}

}  // namespace
