// The layout builder on a fixture with every node kind: the golden tree (sibling order by kind,
// numbering gaps, Root inlining, Copy and CopyS, the three selector cases, pattern formatting,
// /size over a grid, a missing definition, a missing copy source, animation keys), then the
// pieces a listing does not show.
#include "ui/layout/layout_builder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "layout_fixture.h"
#include "platform/text/log.h"
#include "render/sprite.h"
#include "render/texture_holder.h"
#include "ui/layout/cv_script.h"
#include "ui/layout/layout_dump.h"
#include "ui/menus/menu_mgr.h"
#include "ui/menus/menu_root.h"
#include "ui/widgets/menu_button.h"
#include "ui/widgets/menu_model.h"
#include "ui/widgets/menu_text.h"
#include "ui/widgets/menu_window.h"

using namespace layout_test;

namespace {

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

const char8_t kFixture[] =
    u8R"(// every node kind
[SpriteLocal]
{
:#0 "Data\Image\t\bg.png",1280,720,1,1
:#1 "Data\Image\t\btn_%02d.png",240,300,1,5
}
[SpriteGlobal]
{
:#0 "Data\Image\t\glob.png",256,64,4,1
:#2 "Data\Image\t\other.png",100,50,1,2
:#7 "Data\model\cube.x",0
}
[Window#0]
{
  :pos 10,20,0
  :sprite 0,0,0,-1
  [Group#0]
  {
    :pos 0,0,0.5
    :scale 2,2
  }
  [Root#0]
  {
    :pos 0,0,0
    [Text#0]
    {
      :pos 1,2,3
      :area 300,40
      :text "テスト"
    }
  }
  [Btn#0]
  {
    :pos 5,6,0
    :id 7,-1
    :sprite 0,1,2,3
    :state 0,1,2,3,4
    :SE -1,-1,-1,-1,-1
    :AnimeMove#0 5,%1,10,0,500
    :AnimeMove#2 6,1,1,1,100
    :AnimeWait#0 5,200
    :AnimeScale#0 8,50,200
    :AnimeState 5,-1,8,-1,-1
  }
  [Btn#2]
  {
    :pos 0,0,0
  }
  [Text#0]
  {
    :pos 0,40,0
    :area 1280,48
    :size 32,0,0,1
    :text "デモ",2
    :AnimeColor#0 3,255,255,255,0,100
    :AnimeStart 3
    [Btn#0]
    {
      :pos 0,0,0
      :id 50,51
    }
  }
  :Copy#0 2,0,100,0
  :Copy#1 2,0,200,0,,,,10
  :Copy#2 2,0,300,0
}
[Window#1]
{
  :pos 100,0,0
  :sprite 1,0,0,-1
  :size 512,-1
  [Window#0]
  {
    :pos 0,0,0
    :sprite 2,2,1,-1
  }
  [List#0]
  {
    :pos 0,0,0
    :size_y 4
    :data_max 9
    [SBar#0]
    {
      :pos 0,0,0
      :type 1
      :num 20
    }
  }
  [PBar#0]
  {
    :pos 0,0,0
    :wheel 1,5
  }
  [WinGroup#0]
  {
    :pos 0,0,0
    :num 3,42
  }
  [Model#0]
  {
    :sprite 2,7,0,-1
    :pos 0,0,0
    :rot 0,90,0
  }
  :CopyS#0 0,10,0,0,2,0,-1
  :Copy#0 9
}
[Window#2]
{
  :pos 0,0,0
  :sprite 1,9
}
)";

// Worked out from the builder's rules (see the test's header comment); keys print as
// number:kind(p0,p1,p2,p3 duration with next mask), kinds Scale 6, Color 9, Wait 14. Bit 13 of a
// list is its overflow flag (9 items over 4 rows).
const char8_t kGolden[] =
    u8R"(Root 0 t=1 pos=0,0,0 size=0,0 bits=--- st=0
Root 0/Win 0 t=2 pos=10,20,1 size=1280,720 pic=Data\Image\t\bg.png bits=2-- st=0
Root 0/Win 0/Base 0 t=0 pos=0,0,0.5 size=0,0 bits=--- st=0
Root 0/Win 0/Text 0 t=4 pos=1,2,3 size=300,40 text=テスト bits=--- st=0
Root 0/Win 0/Btn 0 t=3 id=7,-1 pos=5,6,1 size=240,60 pic=Data\Image\t\btn_03.png pat=Data\Image\t\btn_%02d.png bits=2-- st=2 keys=5:14(0,0,0,0 d200 w0 n0 m0);8:6(0.5,2,1,0 d0 w0 n0 m0) sa=5,-1,8,-1,-1
Root 0/Win 0/Text 1 t=4 pos=0,40,1 size=1280,48 text=デモ bits=--A st=0 keys=3:9(255,255,255,0 d100 w0 n0 m0)
Root 0/Win 0/Text 1/Btn 0 t=3 id=50,51 pos=0,0,1 size=0,0 pic= bits=2-- st=0
Root 0/Win 0/Btn 1 t=3 id=8,-1 pos=5,106,1 size=240,60 pic=Data\Image\t\btn_03.png pat=Data\Image\t\btn_%02d.png bits=2-- st=2 keys=5:14(0,0,0,0 d200 w0 n0 m0);8:6(0.5,2,1,0 d0 w0 n0 m0) sa=5,-1,8,-1,-1
Root 0/Win 0/Btn 2 t=3 id=17,-1 pos=5,206,1 size=240,60 pic=Data\Image\t\btn_03.png pat=Data\Image\t\btn_%02d.png bits=2-- st=2 keys=5:14(0,0,0,0 d200 w0 n0 m0);8:6(0.5,2,1,0 d0 w0 n0 m0) sa=5,-1,8,-1,-1
Root 0/Win 0/Btn 3 t=3 id=10,-1 pos=5,306,1 size=240,60 pic=Data\Image\t\btn_03.png pat=Data\Image\t\btn_%02d.png bits=2-- st=2 keys=5:14(0,0,0,0 d200 w0 n0 m0);8:6(0.5,2,1,0 d0 w0 n0 m0) sa=5,-1,8,-1,-1
Root 0/Win 1 t=2 pos=100,0,1 size=512,64 pic=Data\Image\t\glob.png bits=--- st=0
Root 0/Win 1/Win 0 t=2 pos=0,0,1 size=100,25 pic=Data\Image\t\other.png bits=--- st=1
Root 0/Win 1/List 0 t=5 pos=0,0,1 size=0,0 bits=-D- st=0
Root 0/Win 1/List 0/ScrB 0 t=6 pos=0,0,1 size=0,0 bits=--- st=0
Root 0/Win 1/ParB 0 t=7 pos=0,0,1 size=0,0 bits=--- st=0
Root 0/Win 1/ 0 t=8 pos=0,0,1 size=0,0 bits=--- st=0
Root 0/Win 1/ 0 t=9 pos=0,0,0 size=0,0 pic=Data\model\cube.x rot=0,1.5708,0 bits=--- st=0
Root 0/Win 1/Win 1 t=2 pos=10,0,1 size=64,64 pic=Data\Image\t\glob.png bits=--- st=1
Root 0/Win 2 t=2 pos=0,0,1 size=0,0 pic= bits=--- st=0
)";

class LayoutBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetLogEnabled(false);
    GetMenuMgr().DeleteAllRoots();
    GetMenuMgr().SetDepthBound(0);
    InstallLayoutBuilder();
    dir.Write("Data/Image/t/glob.png", v4test::SolidPng(256, 64, 0xFFFFFFFFu));
    dir.Write("Data/Image/t/other.png", v4test::SolidPng(100, 50, 0xFFFFFFFFu));
  }
  void TearDown() override {
    GetMenuMgr().DeleteAllRoots();
    plat::SetLogEnabled(true);
  }
  CVMenuSceneRoot* Build(const std::string& utf8) {
    std::vector<std::string> errors;
    EXPECT_TRUE(WriteLayout(dir, "Data/layout/t.lay", utf8, &errors)) << (errors.empty() ? "" : errors[0]);
    auto* root = new CVMenuSceneRoot();
    EXPECT_TRUE(root->Load("Data\\layout\\t.lay"));
    return root;
  }
  v4test::TempModuleDir dir;
  v4test::NullUiGraphics graphics;
};

TEST_F(LayoutBuilderTest, GoldenTreeOfEveryNodeKind) {
  CVMenuSceneRoot* root = Build(U8(kFixture));
  const std::string got = DumpWidgetTree(root, false);
  // Line by line, so a difference names its widget.
  std::istringstream g(got), e(U8(kGolden));
  std::string gl, el;
  int line = 0;
  while (std::getline(e, el)) {
    ++line;
    ASSERT_TRUE(static_cast<bool>(std::getline(g, gl))) << "missing line " << line << ": " << el;
    EXPECT_EQ(gl, el) << "line " << line;
  }
  EXPECT_FALSE(static_cast<bool>(std::getline(g, gl))) << "extra line: " << gl;
}

TEST_F(LayoutBuilderTest, WhatTheListingDoesNotShow) {
  CVMenuSceneRoot* root = Build(U8(kFixture));
  auto* win0 = static_cast<CVMenuWindow*>(root->FindChild(kWidgetSprite, 0));
  auto* win1 = static_cast<CVMenuWindow*>(root->FindChild(kWidgetSprite, 1));
  auto* win2 = static_cast<CVMenuWindow*>(root->FindChild(kWidgetSprite, 2));
  ASSERT_TRUE(win0 && win1 && win2);
  // Selector 0: nothing loaded until Open; selector 1: loaded now; selector 2: never by itself.
  EXPECT_EQ(win0->GetSprite()->texture, nullptr);
  ASSERT_NE(win1->GetSprite()->texture, nullptr);
  EXPECT_EQ(win1->GetSprite()->texture->GetWidth(), 256);
  auto* inner = static_cast<CVMenuWindow*>(win1->FindChild(kWidgetSprite, 0));
  const CVTexture* innerTexture = inner->GetSprite()->texture;
  EXPECT_TRUE(innerTexture == nullptr || innerTexture->GetWidth() == 0);
  // "/size" 512 over a 4-column definition: one column 512 wide.
  EXPECT_EQ(win1->GetSprite()->columns, 1);
  // A missing definition: colour alpha 0, widget alpha 255.
  EXPECT_FLOAT_EQ(win2->colour.a, 0.0f);
  EXPECT_FLOAT_EQ(win2->alpha, 255.0f);
  EXPECT_FLOAT_EQ(win0->colour.a, 255.0f);
  // Group scale, Model rotation in radians, a text's shown count and size values.
  CVMenuBase* group = win0->FindChild(kWidgetWindow, 0);
  EXPECT_FLOAT_EQ(group->scale.x, 2.0f);
  EXPECT_FLOAT_EQ(group->scale.z, 1.0f);
  auto* model = static_cast<CVMenuModel*>(win1->FindChild(kWidgetModel, 0));
  ASSERT_NE(model, nullptr);
  EXPECT_FLOAT_EQ(model->rotation.y, 1.5707964f);
  auto* text = static_cast<CVMenuText*>(win0->FindChild(kWidgetText, 1));
  EXPECT_EQ(text->fontSize, 32);
  EXPECT_EQ(text->shownChars, 2);
  // A fourth size number selects per-glyph drawing.
  EXPECT_EQ(text->layoutValues[2], 1);
  // The button's patterns, silenced sounds and the key's reference mask from "%1".
  auto* btn = static_cast<CVMenuBtn*>(win0->FindChild(kWidgetBtn, 0));
  EXPECT_EQ(btn->statePatterns[4], 4);
  for (int s : btn->stateSounds) EXPECT_EQ(s, -1);
  // Copy#1 gave its three reference parameters (empty tokens read 0).
  auto* copy1 = static_cast<CVMenuBtn*>(win0->FindChild(kWidgetBtn, 2));
  EXPECT_FLOAT_EQ(copy1->GetRefParam(0), 0.0f);
}

TEST_F(LayoutBuilderTest, DefaultsOfABareButtonAndWindow) {
  CVMenuSceneRoot* root = Build(":Btn#0/pos 1,2,3\n:Window#0/pos\t0\n:Window#0/col 1,2,3\n");
  auto* btn = static_cast<CVMenuBtn*>(root->FindChild(kWidgetBtn, 0));
  ASSERT_NE(btn, nullptr);
  EXPECT_EQ(btn->firstId, 0);
  EXPECT_EQ(btn->secondId, -1);
  // Every state shows pattern 0; hover plays sound 0 (file 1).
  for (int p : btn->statePatterns) EXPECT_EQ(p, 0);
  EXPECT_EQ(btn->stateSounds[0], -1);
  EXPECT_EQ(btn->stateSounds[1], 0);
  EXPECT_TRUE(btn->TestFlag(kWfLoadOnOpen));
  auto* win = static_cast<CVMenuWindow*>(root->FindChild(kWidgetSprite, 0));
  ASSERT_NE(win, nullptr);
  EXPECT_FLOAT_EQ(win->colour.r, 1.0f);
  EXPECT_FLOAT_EQ(win->colour.a, 0.0f);
  // Default pivots: the centre of the size right after creation.
  EXPECT_FLOAT_EQ(btn->scalePivot.x, btn->size.x * 0.5f);
}

TEST_F(LayoutBuilderTest, NamesFromDataAreFormattedSafely) {
  // A pattern with %s or %n must not be used as a printf format.
  CVMenuSceneRoot* root =
      Build("[SpriteGlobal]\n{\n:#0 \"a%s%n%d%%.png\",10,10\n}\n[Window#0]\n{\n:pos 0,0,0\n:sprite 2,0,0,7\n}\n");
  auto* win = static_cast<CVMenuWindow*>(root->FindChild(kWidgetSprite, 0));
  ASSERT_NE(win, nullptr);
  EXPECT_STREQ(win->pictureName.CStr(), "a%s%n7%.png");
  EXPECT_STREQ(win->namePattern.CStr(), "a%s%n%d%%.png");
}

TEST_F(LayoutBuilderTest, MissingFileBuildsNothing) {
  auto* root = new CVMenuSceneRoot();
  EXPECT_FALSE(root->Load("Data\\layout\\none.lay"));
  EXPECT_EQ(root->children.count, 0);
  // An empty layout is valid and builds nothing.
  dir.Write("Data/layout/empty.lay", {});
  auto* empty = new CVMenuSceneRoot();
  EXPECT_TRUE(empty->Load("Data\\layout\\empty.lay"));
  EXPECT_EQ(empty->children.count, 0);
}

}  // namespace

namespace {

struct KeyCase {
  const char* what;
  const char* lines;  // element lines of Group#0 (after its :pos)
  uint32_t number;    // the key expected under this number (0: no key at all)
  uint16_t kind;
  float p[4];
  float duration;
  uint16_t with, next;
  uint8_t mask;
};

// From the animation rules: kind order, running numbers, reference masks, percent scales.
const KeyCase kKeyCases[] = {
    {"references set mask bits 0, 2 and 4",
     ":AnimeMove#0 4,%1,2,%3,%100\n",
     4,
     kAnimeMove,
     {1, 2, 3, 0},
     100,
     0,
     0,
     21},
    {"number 0 ends the kind", ":AnimeMove#0 0,1,2,3\n:AnimeMove#1 7,1,1,1\n", 0, 0, {}, 0, 0, 0, 0},
    {"a gap ends the kind", ":AnimeRotD#1 7,1,1,1\n", 0, 0, {}, 0, 0, 0, 0},
    {"percent scale, reference too", ":AnimeScaleD#0 2,%100\n", 2, kAnimeScaleD, {1, 1, 1, 0}, 0, 0, 0, 1},
    {"colour with a negative duration",
     ":AnimeColorDA#0 3,1,2,3,%4,-50,1,2\n",
     3,
     kAnimeColorDA,
     {1, 2, 3, 4},
     -50,
     1,
     2,
     8},
    {"pattern", ":AnimePattern#0 6,%4,300,0,9\n", 6, kAnimePattern, {4, 0, 0, 0}, 300, 0, 9, 1},
    {"wait with a referenced duration", ":AnimeWait#0 8,%2,0,3\n", 8, kAnimeWait, {0, 0, 0, 0}, 2, 0, 3, 16},
    {"shader", ":AnimeShader#0 5,0.5,1,2,40\n", 5, kAnimeShader, {0.5f, 1, 2, 0}, 40, 0, 0, 0},
    {"close", ":AnimeClose#0 9,1,2\n", 9, kAnimeClose, {0, 0, 0, 0}, 0, 0, 0, 0},
    {"a later kind replaces the same number",
     ":AnimeMove#0 5,1\n:AnimeRot#0 5,2\n",
     5,
     kAnimeRot,
     {2, 0, 0, 0},
     0,
     0,
     0,
     0},
};

TEST_F(LayoutBuilderTest, AnimationKeysFromTheLayout) {
  for (const KeyCase& c : kKeyCases) {
    SCOPED_TRACE(c.what);
    GetMenuMgr().DeleteAllRoots();
    CVMenuSceneRoot* root = Build(std::string("[Group#0]\n{\n:pos 0,0,0\n") + c.lines + "}\n");
    CVMenuBase* g = root->FindChild(kWidgetWindow, 0);
    ASSERT_NE(g, nullptr);
    if (c.number == 0) {
      EXPECT_TRUE(g->AnimeKeys().empty());
      continue;
    }
    ASSERT_EQ(g->AnimeKeys().size(), 1u);
    ASSERT_EQ(g->AnimeKeys().count(c.number), 1u);
    const AnimeKey& k = g->AnimeKeys().at(c.number);
    EXPECT_EQ(k.kind, c.kind);
    if (c.kind != kAnimeClose) {
      for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(k.p[i], c.p[i]) << i;
      EXPECT_FLOAT_EQ(k.duration, c.duration);
      EXPECT_EQ(k.with, c.with);
      EXPECT_EQ(k.next, c.next);
      EXPECT_EQ(k.refMask, c.mask);
    }
    EXPECT_TRUE(g->AnimeQueue().empty());  // nothing runs by itself
  }
}

TEST_F(LayoutBuilderTest, PivotsReferenceParametersAndStateAnimations) {
  CVMenuSceneRoot* root = Build(
      "[SpriteGlobal]\n{\n:#0 \"x.png\",100,60,1,1\n}\n"
      "[Window#0]\n{\n:pos 0,0,0\n:sprite 2,0\n:AnimeRBase 5,6\n:RefParam 1,2,3\n:AnimeState 1,2\n}\n"
      "[Window#1]\n{\n:pos 0,0,0\n:sprite 2,0\n:AnimeSBase 0,0,0\n}\n");
  CVMenuBase* a = root->FindChild(kWidgetSprite, 0);
  CVMenuBase* b = root->FindChild(kWidgetSprite, 1);
  ASSERT_TRUE(a && b);
  // Default pivot: the centre of the size; given ones as written.
  EXPECT_FLOAT_EQ(a->scalePivot.x, 50.0f);
  EXPECT_FLOAT_EQ(a->scalePivot.y, 30.0f);
  EXPECT_FLOAT_EQ(a->rotPivot.x, 5.0f);
  EXPECT_FLOAT_EQ(a->rotPivot.y, 6.0f);
  EXPECT_FLOAT_EQ(b->scalePivot.x, 0.0f);
  EXPECT_FLOAT_EQ(b->rotPivot.y, 30.0f);
  EXPECT_FLOAT_EQ(a->GetRefParam(2), 3.0f);
  const int32_t expectStates[5] = {1, 2, -1, -1, -1};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(a->stateAnimes[i], expectStates[i]) << i;
    EXPECT_EQ(b->stateAnimes[i], -1) << i;
  }
  EXPECT_FALSE(b->TestFlag(kWfAnimRunning));
}

}  // namespace
