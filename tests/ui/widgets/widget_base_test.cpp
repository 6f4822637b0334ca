// Widget base on bare widgets: state rounding, transforms and pivots, effective alpha, the cancel
// press under the depth bound, path names, tree helpers, the factories' z rule, the menu factory
// and the safe name formatter.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "widget_fixture.h"
#include "ui/menus/menu_factory.h"
#include "ui/menus/menu_mgr.h"
#include "ui/menus/menu_root.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_model.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/safe_format.h"

namespace {

CVMenuSceneRoot* NewRoot() {
  auto* r = new CVMenuSceneRoot();
  GetMenuMgr().RegisterRoot(r);
  return r;
}

Vector3 Through(const Matrix44& m, float x, float y) {
  Vector3 out;
  m.TransformCoord(Vector3(x, y, 0), out);
  return out;
}

TEST(WidgetState, RoundsByNudgingAwayFromZeroInFloat) {
  struct Case {
    float stored;
    int32_t expected;
  } cases[] = {
      {2.9999999f, 3}, {2.99999976f, 3}, {-0.5f, 0}, {0.99999994f, 1}, {-0.99999994f, -1},
      {1.5f, 1},       {-1.5f, -1},      {1e-7f, 0}, {-1e-7f, 0},      {4.0f, 4},
  };
  CVMenuBase w;
  for (const Case& c : cases) {
    w.state = c.stored;
    EXPECT_EQ(w.GetState(), c.expected) << c.stored;
  }
  w.state = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(w.GetState(), 0);
}

TEST(WidgetState, SetStateStoresOnlyChangesUnlessForced) {
  CVMenuBase w;
  EXPECT_EQ(w.SetState(0, 0), 0);
  EXPECT_EQ(w.SetState(0, 1), 1);
  EXPECT_EQ(w.SetState(2, 0), 1);
  EXPECT_EQ(w.state, 2.0f);
}

TEST(WidgetTransform, EffectiveAlphaIsInheritedAndClamped) {
  struct Case {
    float parentAlpha, childAlpha, expected;
  } cases[] = {{128, 128, 64.25f}, {0, 255, 0}, {255, 300, 255}, {255, -20, 0}, {255, 255, 255}};
  WidgetEnv env;
  for (const Case& c : cases) {
    CVMenuBase* root = NewRoot();
    CVMenuWindow* child = GetMenuMgr().CreateMenuWindow(root, Vector3(0, 0, 0));
    root->alpha = c.parentAlpha;
    child->alpha = c.childAlpha;
    root->Open(0, 0, 0);
    root->UpdateTransform(true);
    EXPECT_NEAR(child->effectiveAlpha, c.expected, 0.01f) << c.parentAlpha << " " << c.childAlpha;
    delete root;
  }
}

TEST(WidgetTransform, ScaleAboutPivotKeepsThePivotFixed) {
  CVMenuBase w;
  w.size = Vector3(100, 100, 0);
  w.position = Vector3(200, 100, 0);
  w.SetScaleBase(50, 50);
  w.SetRotBase(50, 50);
  w.SetScale(2, 2, 1);
  w.UpdateTransform(false);
  const Vector3 centre = Through(w.worldMatrix, 50, 50);
  EXPECT_FLOAT_EQ(centre.x, 250);
  EXPECT_FLOAT_EQ(centre.y, 150);
  const Vector3 corner = Through(w.worldMatrix, 0, 0);
  EXPECT_FLOAT_EQ(corner.x, 150);
  EXPECT_FLOAT_EQ(corner.y, 50);
}

TEST(WidgetTransform, RotationInDegreesAboutTheRotationPivot) {
  // R = T(c - rp) Rz T(rp - c) with c the half size; row vectors, Rz(90) maps (x, y) to (-y, x).
  struct Case {
    float pivotX, pivotY, px, py, ex, ey;
  } cases[] = {
      {50, 50, 100, 0, 200, 200},  // pivot at the centre: a pure rotation, then the move
      {50, 50, 0, 0, 200, 100},
      {0, 0, 0, 0, 100, 100},  // (0,0) -> (50,50) -> (-50,50) -> (-100,0) -> + (200,100)
  };
  for (const Case& c : cases) {
    CVMenuBase w;
    w.size = Vector3(100, 100, 0);
    w.position = Vector3(200, 100, 0);
    w.SetRotBase(c.pivotX, c.pivotY);
    w.SetRotZ(90);
    w.UpdateTransform(false);
    const Vector3 p = Through(w.worldMatrix, c.px, c.py);
    EXPECT_NEAR(p.x, c.ex, 1e-3) << c.pivotX << " " << c.px;
    EXPECT_NEAR(p.y, c.ey, 1e-3) << c.pivotX << " " << c.py;
  }
}

TEST(WidgetTransform, WorldIsLocalTimesParentWorldAfterOneUpdate) {
  WidgetEnv env;
  CVMenuBase* root = NewRoot();
  CVMenuWindow* parent = GetMenuMgr().CreateMenuWindow(root, Vector3(100, 200, 0));
  CVMenuWindow* child = GetMenuMgr().CreateMenuWindow(parent, Vector3(10, 20, 0));
  CVMenuWindow* grandChild = GetMenuMgr().CreateMenuWindow(child, Vector3(1, 2, 0));
  parent->SetScale(2, 2, 1);
  root->Open(0, 0, 0);
  RunFrame(root, 0, 0, 0, 16);
  const Vector3 c = Through(child->worldMatrix, 0, 0);
  EXPECT_FLOAT_EQ(c.x, 120);
  EXPECT_FLOAT_EQ(c.y, 240);
  const Vector3 g = Through(grandChild->worldMatrix, 0, 0);
  EXPECT_FLOAT_EQ(g.x, 122);
  EXPECT_FLOAT_EQ(g.y, 244);
  // Offsets add to the position.
  child->SetOffset(5, 0, 0);
  RunFrame(root, 0, 0, 0, 16);
  EXPECT_FLOAT_EQ(Through(child->worldMatrix, 0, 0).x, 130);
}

TEST(WidgetFactories, ChildZRuleAndDefaultFlags) {
  WidgetEnv env;
  CVMenuMgr& mgr = GetMenuMgr();
  CVMenuWindow* root = mgr.CreateMenuWindow(nullptr, Vector3(0, 0, 0));
  EXPECT_EQ(root->position.z, 0.0f);
  EXPECT_EQ(mgr.Roots().last, root);
  struct Case {
    float z, expected;
  } cases[] = {{0.0f, 1.0f}, {1e-8f, 1.0f}, {0.5f, 0.5f}, {-3.0f, -3.0f}};
  for (const Case& c : cases) {
    CVMenuWindow* w = mgr.CreateMenuWindow(root, Vector3(0, 0, c.z));
    EXPECT_EQ(w->position.z, c.expected) << c.z;
    EXPECT_EQ(w->parent, root);
    EXPECT_TRUE(w->flags.Test(kWfEnabled) && w->flags.Test(kWfShown) && !w->flags.Test(kWfActive));
  }
  CVMenuModel* m = mgr.CreateMenuModel(root, "a.x", Vector3(0, 0, 0), Vector3(1, 1, 1), Vector3(0, 0, 0),
                                       Color(255, 255, 255, 255), 255);
  EXPECT_EQ(m->position.z, 0.0f);
  EXPECT_EQ(m->widgetType, kWidgetModel);
}

TEST(WidgetFactories, ZeroColumnsOrRowsCountAsOne) {
  WidgetEnv env;
  struct Case {
    int32_t cols, rows;
    float cellW, cellH;
  } cases[] = {{0, 0, 256, 64}, {-2, 4, 256, 16}, {4, 0, 64, 64}, {2, 2, 128, 32}};
  for (const Case& c : cases) {
    SpriteWindowParams p;
    p.width = 256;
    p.height = 64;
    p.columns = c.cols;
    p.rows = c.rows;
    p.source = FRect(0, 0, 256, 64);
    p.loadOnOpen = true;
    CVMenuWindow* w = GetMenuMgr().CreateMenuSpriteWindow(nullptr, p);
    EXPECT_FLOAT_EQ(w->size.x, c.cellW) << c.cols << "x" << c.rows;
    EXPECT_FLOAT_EQ(w->size.y, c.cellH) << c.cols << "x" << c.rows;
    EXPECT_TRUE(std::isfinite(w->vectorA.x) && std::isfinite(w->vectorA.y));
    EXPECT_FLOAT_EQ(w->vectorA.x, c.cellW);
    EXPECT_EQ(w->widgetType, kWidgetSprite);
    EXPECT_TRUE(w->flags.Test(kWfLoadOnOpen));
  }
}

TEST(WidgetTree, PathNamesCountSiblingsOfTheSameType) {
  WidgetEnv env;
  CVMenuMgr& mgr = GetMenuMgr();
  CVMenuBase* root = NewRoot();
  CVMenuWindow* win0 = mgr.CreateMenuSpriteWindow(root, Cells(0, 0, 10, 10));
  mgr.CreateMenuText(win0, TextParams{});
  CVMenuText* text1 = mgr.CreateMenuText(win0, TextParams{});
  CVMenuWindow* plain = mgr.CreateMenuWindow(root, Vector3(0, 0, 0));
  CVMenuWindow* win1 = mgr.CreateMenuSpriteWindow(root, Cells(0, 0, 10, 10));
  CVMenuBtn* btn = mgr.CreateMenuButton(win1, 1, -1, Cells(0, 0, 10, 10));
  std::string s;
  text1->GetPathName(s);
  EXPECT_EQ(s, "Root 0/Win 0/Text 1");
  plain->GetPathName(s);
  EXPECT_EQ(s, "Root 0/Base 0");
  btn->GetPathName(s);
  EXPECT_EQ(s, "Root 0/Win 1/Btn 0");
}

TEST(WidgetTree, FindChildButtonsAndOffsets) {
  WidgetEnv env;
  CVMenuMgr& mgr = GetMenuMgr();
  CVMenuBase* root = NewRoot();
  CVMenuWindow* w = mgr.CreateMenuSpriteWindow(root, Cells(0, 0, 10, 10));
  CVMenuBtn* a = mgr.CreateMenuButton(w, 5, -1, Cells(0, 0, 10, 10));
  CVMenuBtn* b = mgr.CreateMenuButton(root, 7, 5, Cells(0, 0, 10, 10));
  EXPECT_EQ(root->FindChild(kWidgetBtn, 0), b);
  EXPECT_EQ(root->FindChild(-1, 1), b);
  EXPECT_EQ(root->FindChild(kWidgetBtn, 1), nullptr);
  EXPECT_EQ(root->FindChild(-1, -1), nullptr);
  // Depth first, each child before its own subtree: a (inside w) comes before b.
  EXPECT_EQ(root->FindButtonById(5), a);
  EXPECT_EQ(root->FindButtonById(7), b);
  EXPECT_EQ(root->FindButtonById(99), nullptr);

  root->OffsetButtonIds(10);
  EXPECT_EQ(a->firstId, 15);
  EXPECT_EQ(a->secondId, -1);
  EXPECT_EQ(b->secondId, 15);
  w->state = 1;
  w->OffsetPatterns(3);
  EXPECT_EQ(w->GetState(), 4);
  // The subtree's patterns move with it; a pattern offset never touches ids.
  EXPECT_EQ(a->firstId, 15);
  EXPECT_EQ(a->statePatterns[0], 3);
  EXPECT_EQ(a->statePatterns[4], 7);
  b->OffsetPatterns(2);
  EXPECT_EQ(b->statePatterns[0], 2);
  EXPECT_EQ(b->statePatterns[4], 6);
  // Offsets from layout data stop at the int range instead of wrapping.
  b->OffsetButtonIds(INT32_MAX);
  EXPECT_EQ(b->firstId, INT32_MAX);
  b->firstId = -5;
  b->OffsetButtonIds(INT32_MIN);
  EXPECT_EQ(b->firstId, INT32_MIN);
  b->OffsetPatterns(INT32_MAX);
  EXPECT_EQ(b->statePatterns[4], INT32_MAX);
}

TEST(WidgetTree, OpenCloseAndFlagSetters) {
  WidgetEnv env;
  CVMenuMgr& mgr = GetMenuMgr();
  CVMenuBase* root = NewRoot();
  CVMenuWindow* w = mgr.CreateMenuWindow(root, Vector3(0, 0, 0));
  CVMenuText* t = mgr.CreateMenuText(w, TextParams{});
  root->Open(0, 0, 0);
  EXPECT_TRUE(t->flags.Test(kWfActive) && t->flags.Test(kWfOpened));
  RunFrame(root, 0, 0, 0, 16);
  EXPECT_FALSE(t->flags.Test(kWfOpened));
  root->SetFlagByType(kWidgetText, kWfNoHit, true);
  EXPECT_TRUE(t->flags.Test(kWfNoHit));
  EXPECT_FALSE(w->flags.Test(kWfNoHit));
  root->Close();
  EXPECT_FALSE(t->flags.Test(kWfActive));
  EXPECT_TRUE(t->flags.Test(kWfShown));
}

// Right-button release over a menu with a cancel id: the first eligible button with that id, at
// or above the depth bound, is pressed and decides a frame later.
TEST(WidgetCancel, PressesFirstEligibleButtonUnderTheDepthBound) {
  struct Case {
    const char* what;
    int32_t depthBound;
    bool noHitOnFirst;
    bool disableFirst;
    uint8_t latch;
    int expectedPressed;  // 0 none, 1 first, 2 second
  } cases[] = {
      {"plain", 0, false, false, 0, 1},
      {"bound at the panel", 900, false, false, 0, 1},
      {"bound above the panel", 2000, false, false, 0, 0},
      {"first not hittable", 0, true, false, 0, 2},
      {"first disabled", 0, false, true, 0, 2},
      {"latch held", 0, false, false, 1, 0},
  };
  for (const Case& c : cases) {
    WidgetEnv env;
    CVMenuMgr& mgr = GetMenuMgr();
    CVMenuBase* root = NewRoot();
    root->cancelId = 2;
    CVMenuWindow* panel = mgr.CreateMenuWindow(root, Vector3(0, 0, 900));
    CVMenuBtn* first = mgr.CreateMenuButton(panel, 1, 2, Cells(0, 0, 10, 10));
    CVMenuBtn* second = mgr.CreateMenuButton(panel, 2, -1, Cells(50, 0, 10, 10));
    root->Open(0, 0, 0);
    RunFrame(root, 500, 500, 0, 16);
    mgr.SetDepthBound(c.depthBound);
    first->flags.Set(kWfNoHit, c.noHitOnFirst);
    first->flags.Set(kWfEnabled, !c.disableFirst);
    ButtonClickLatch = c.latch;
    root->timeStep = 16;
    root->clickState = 2;
    root->Update(500, 500, 2);  // the pointer is elsewhere: the cancel press does not need it
    EXPECT_EQ(first->IsPressed(), c.expectedPressed == 1) << c.what;
    EXPECT_EQ(second->IsPressed(), c.expectedPressed == 2) << c.what;
    if (c.expectedPressed) {
      RunFrame(root, 500, 500, 0, 16);
      EXPECT_EQ(root->decidedId, 2) << c.what;
    }
  }
}

TEST(WidgetCancel, NoCancelWhenAButtonDecidedThisFrame) {
  WidgetEnv env;
  CVMenuMgr& mgr = GetMenuMgr();
  CVMenuBase* root = NewRoot();
  root->cancelId = 2;
  CVMenuBtn* ok = mgr.CreateMenuButton(root, 1, -1, Cells(0, 0, 10, 10));
  CVMenuBtn* cancel = mgr.CreateMenuButton(root, 2, -1, Cells(50, 0, 10, 10));
  root->Open(0, 0, 0);
  RunFrame(root, 500, 500, 0, 16);
  RunFrame(root, 5, 5, 1, 16);  // press "ok"
  ASSERT_TRUE(ok->IsPressed());
  RunFrame(root, 500, 500, 2, 16);  // "ok" decides in the frame the right button comes up
  EXPECT_EQ(root->decidedId, 1);
  EXPECT_FALSE(cancel->IsPressed());
}

TEST(WidgetTree, CollectShownAndLatchPressedButtons) {
  WidgetEnv env;
  CVMenuMgr& mgr = GetMenuMgr();
  CVMenuBase* root = NewRoot();
  CVMenuWindow* shown = mgr.CreateMenuSpriteWindow(root, Cells(0, 0, 10, 10));
  CVMenuWindow* hidden = mgr.CreateMenuSpriteWindow(root, Cells(0, 0, 10, 10));
  CVMenuBtn* inShown = mgr.CreateMenuButton(shown, 1, -1, Cells(0, 0, 10, 10));
  mgr.CreateMenuButton(hidden, 2, -1, Cells(0, 0, 10, 10));
  hidden->flags.Set(kWfShown, 0);
  std::vector<CVMenuBase*> out;
  root->CollectShownByType(kWidgetBtn, out);
  EXPECT_TRUE(out.empty());  // nothing is open yet
  root->Open(0, 0, 0);
  root->CollectShownByType(kWidgetBtn, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], inShown);
  out.clear();
  root->CollectShownByType(-1, out);
  EXPECT_EQ(out.size(), 3u);  // both windows (children of the shown root) and the shown button
  ButtonClickLatch = 0;
  root->LatchButtonsTree();
  EXPECT_EQ(ButtonClickLatch, 0);
  inShown->Press(1);
  ButtonClickLatch = 0;
  root->LatchButtonsTree();
  EXPECT_EQ(ButtonClickLatch, 2);
}

TEST(WidgetTree, OpenBuildsTheMatricesSoTheFirstFrameHitsTheRightPlace) {
  WidgetEnv env;
  CVMenuBase* root = NewRoot();
  CVMenuWindow* panel = GetMenuMgr().CreateMenuWindow(root, Vector3(300, 200, 0));
  CVMenuBtn* b = GetMenuMgr().CreateMenuButton(panel, 4, -1, Cells(100, 100, 50, 50));
  root->Open(0, 0, 0);
  EXPECT_FALSE(b->HitTest(10, 10));  // would be inside at the identity place
  EXPECT_TRUE(b->HitTest(410, 310));
  RunFrame(root, 10, 10, 1, 16);
  EXPECT_FALSE(b->IsPressed());
}

TEST(WidgetRefParams, IndicesOutsideTheTableAreIgnored) {
  CVMenuBase w;
  w.SetRefParam(1, 5.0f);
  w.SetRefParam(3, 9.0f);
  w.SetRefParam(-1, 9.0f);
  EXPECT_EQ(w.GetRefParam(1), 5.0f);
  EXPECT_EQ(w.GetRefParam(3), 0.0f);
  CVMenuBase v;
  v.CopyRefParamsFrom(&w);
  v.CopyRefParamsFrom(nullptr);
  EXPECT_EQ(v.GetRefParam(1), 5.0f);
}

TEST(WidgetShaders, WithoutTheRenderersFactoryNoWidgetHasEffects) {
  EXPECT_EQ(CreateWidgetShader(0), nullptr);
  EXPECT_EQ(CreateWidgetShader(1), nullptr);
  EXPECT_EQ(CreateMultiplyAlphaShader(), nullptr);
  CVMenuBase w;
  EXPECT_EQ(w.AddShader(CreateWidgetShader(0), false, 0), -1);
  EXPECT_TRUE(w.Shaders().empty());
}

TEST(WidgetShaders, KeysParamsAndCopies) {
  v4test::ParamOnlyWidgetShaders shaders;
  CVMenuBase w;
  EXPECT_EQ(w.AddShader(CreateWidgetShader(0), false, 0), 0);
  EXPECT_EQ(w.AddShader(CreateWidgetShader(1), false, 0), 1);
  EXPECT_EQ(w.AddShader(CreateWidgetShader(1), false, 7), 7);
  EXPECT_EQ(w.AddShader(CreateWidgetShader(0), false, 0), 8);
  EXPECT_EQ(CreateWidgetShader(2), nullptr);
  w.SetShaderParams(-1, 1, 2, 3);
  EXPECT_EQ(w.Shaders().at(7)->Param(2), 3.0f);
  w.SetShaderParams(1, 9, 9, 9);
  EXPECT_EQ(w.Shaders().at(1)->Param(0), 9.0f);
  EXPECT_EQ(w.Shaders().at(0)->Param(0), 1.0f);
  w.DisableShaders();
  EXPECT_FALSE(w.IsAnyShaderEnabled());
  w.effectId = 1;
  CVMenuBase copy;
  copy.CopyShadersFrom(&w);
  EXPECT_EQ(copy.Shaders().size(), 4u);
  EXPECT_EQ(copy.effectId, 1);
  CVMenuBase held;
  w.flags.Set(kWfLoadOnOpen, 1);
  held.CopyShadersFrom(&w);
  EXPECT_TRUE(held.Shaders().empty());
  EXPECT_EQ(held.effectId, 1);
  EXPECT_EQ(w.AddShader(CreateWidgetShader(0), true, 0), 0);
  EXPECT_EQ(w.Shaders().size(), 1u);
}

TEST(MenuFactory, TypesOutsideTheTableGiveNoMenu) {
  WidgetEnv env;
  for (int32_t type : {50, 85, 10001, 0, -1, 9, 121, 20, 30})
    EXPECT_EQ(CreateMenuScene(type, "x.lay"), nullptr) << type;
  for (int32_t type : {10, 80, 100, 120, 10000}) {
    CVMenuSceneRoot* m = CreateMenuScene(type, "Data\\layout\\none.lay");
    ASSERT_NE(m, nullptr) << type;
    // Registered as a root: type 1, shown and enabled, not open, in the manager's root list.
    EXPECT_EQ(m->widgetType, kWidgetRoot);
    EXPECT_TRUE(m->flags.Test(kWfShown) && m->flags.Test(kWfEnabled) && !m->flags.Test(kWfActive));
    EXPECT_EQ(GetMenuMgr().Roots().last, m);
  }
  // Later subsystems plug their screen classes in by type.
  RegisterMenuType(20, [](int32_t) { return new CVMenuSceneRoot(); });
  EXPECT_NE(CreateMenuScene(20, "adv.lay"), nullptr);
  RegisterMenuType(20, nullptr);
  EXPECT_EQ(CreateMenuScene(20, "adv.lay"), nullptr);
}

TEST(MenuFactory, LayoutLoaderIsCalledWithTheRootAsParent) {
  WidgetEnv env;
  static CVMenuBase* seenParent = nullptr;
  static std::string seenName;
  GetMenuMgr().SetDefinitionLoader([](CVMenuMgr&, const FixedPath& file, CVMenuBase* parent) {
    seenParent = parent;
    seenName = file.CStr();
    return true;
  });
  CVMenuSceneRoot* m = CreateMenuScene(10, "Data\\layout\\title.lay");
  GetMenuMgr().SetDefinitionLoader(nullptr);
  EXPECT_EQ(seenParent, m);
  EXPECT_EQ(seenName, "Data\\layout\\title.lay");
}

TEST(MenuMgr, ScenesTakeTheirMenusOutOfTheRootList) {
  WidgetEnv env;
  CVMenuSceneRoot* m = CreateMenuScene(10, "a.lay");
  ASSERT_NE(m, nullptr);
  const int32_t before = GetMenuMgr().Roots().count;
  CVList sceneMenus;
  sceneMenus.Append(m);  // what a scene's AddMenu does
  EXPECT_EQ(GetMenuMgr().Roots().count, before - 1);
  sceneMenus.DeleteAll(-1);
  GetMenuMgr().SetDepthBound(300);
  const int32_t saved = GetMenuMgr().GetDepthBound();
  GetMenuMgr().SetDepthBound(900);
  GetMenuMgr().SetDepthBound(saved);
  EXPECT_EQ(GetMenuMgr().GetDepthBound(), 300);
}

TEST(SafeFormat, OnlyIntegerConversionsTakeTheNumber) {
  struct Case {
    const char* pattern;
    int32_t value;
    const char* expected;
  } cases[] = {
      {"btn_%02d", 3, "btn_03"},
      {"Data\\Image\\a%d.png", -12, "Data\\Image\\a-12.png"},
      {"%s%n", 5, "%s%n"},
      {"100%%", 1, "100%"},
      {"%5x|%X|%o", 255, "   ff|FF|377"},
      {"%ld-%hu", 7, "7-7"},
      {"%+d", 4, "+4"},
      {"end%", 4, "end%"},
      {"%.3d", 5, "005"},
      {"%.*d", 5, "%.*d"},
      {"", 1, ""},
  };
  for (const Case& c : cases) {
    char out[64];
    SafeFormatInt(out, sizeof out, c.pattern, c.value);
    EXPECT_STREQ(out, c.expected) << c.pattern;
  }
  char small[6];
  EXPECT_EQ(SafeFormatInt(small, sizeof small, "abc%08d", 1), 5u);
  EXPECT_STREQ(small, "abc00");
  char wide[16];
  SafeFormatInt(wide, sizeof wide, "%99999d", 1);
  EXPECT_EQ(std::string(wide).size(), 15u);
}

}  // namespace
