// Text widget with a renderer that reports a laid-out size of (characters x font size, font
// size) and counts its layouts and look changes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/text/cp932.h"
#include "render/text/text_renderer.h"
#include "ui/menus/menu_root.h"
#include "ui/widgets/menu_text.h"
#include "widget_fixture.h"

namespace {

int g_layouts = 0;
int g_colours = 0;

class CountingText : public CDGTextRenderer {
 public:
  CountingText(CDGManager* m, std::string_view face, int32_t height, int32_t ls, int32_t cs, uint8_t perGlyph,
               uint32_t argb)
      : CDGTextRenderer(m, 0, 0, 0, "", face, height, ls, cs, perGlyph, argb) {}
  bool Relayout() override {
    ++g_layouts;
    int chars = 0;
    const std::string& t = Text();
    for (size_t i = 0; i < t.size(); ++i, ++chars)
      if (plat::IsSjisLead(static_cast<unsigned char>(t[i])) && i + 1 < t.size()) ++i;
    size_[0] = static_cast<float>(chars * Height());
    size_[1] = static_cast<float>(Height());
    return true;
  }
  bool SetColor(uint32_t argb, bool relayout) override {
    ++g_colours;
    return CDGTextRenderer::SetColor(argb, relayout);
  }
  const float* GetTextSize() const override { return size_; }

 private:
  float size_[3] = {0, 0, 0};
};

CDGTextRenderer* MakeCounting(CDGManager* m, float, float, float, std::string_view text, std::string_view face,
                              int32_t height, int32_t ls, int32_t cs, uint8_t perGlyph, uint32_t argb) {
  auto* r = new CountingText(m, face, height, ls, cs, perGlyph, argb);
  r->Setup(text, face, height, true);  // the real renderer lays out on construction
  return r;
}

struct TextScreen {
  WidgetEnv env;
  CVMenuSceneRoot* root = nullptr;
  TextScreen() {
    SetTextRendererFactory(&MakeCounting);
    g_layouts = g_colours = 0;
    root = new CVMenuSceneRoot();
    GetMenuMgr().RegisterRoot(root);
  }
  ~TextScreen() {
    GetMenuMgr().DeleteAllRoots();
    SetTextRendererFactory(nullptr);
  }
  CVMenuText* Text(float areaW, float areaH, int32_t h, int32_t v, bool vertical = false) {
    TextParams p;
    p.fontSize = 20;
    p.width = areaW;
    p.height = areaH;
    p.alignH = h;
    p.alignV = v;
    p.vertical = vertical;
    return GetMenuMgr().CreateMenuText(root, p);
  }
};

TEST(Text, AlignmentSetsTheOffsetInsideTheArea) {
  struct Case {
    int32_t h, v;
    bool vertical;
    float ox, oy;
  } cases[] = {
      {0, 0, false, 0, 0},    {1, 0, false, 100, 0}, {2, 0, false, 200, 0}, {1, 1, false, 100, 20},
      {2, 2, false, 200, 40}, {7, 9, false, 0, 0},   {1, 2, true, 40, 100},
  };
  for (const Case& c : cases) {
    TextScreen s;
    CVMenuText* t = s.Text(300, 60, c.h, c.v, c.vertical);
    t->SetText("abcde", true);  // 5 characters of 20: 100 wide, 20 high
    EXPECT_FLOAT_EQ(t->offset.x, c.ox) << c.h << "," << c.v << (c.vertical ? " vertical" : "");
    EXPECT_FLOAT_EQ(t->offset.y, c.oy) << c.h << "," << c.v << (c.vertical ? " vertical" : "");
  }
}

TEST(Text, VerticalTextsAndPerGlyphDrawingReachTheRenderer) {
  for (bool vertical : {false, true}) {
    TextScreen s;
    CVMenuText* t = s.Text(300, 60, 0, 0, vertical);
    t->layoutValues[2] = 1;
    t->SetText("abc", true);
    auto* r = static_cast<CDGTextRenderer*>(t->GetRenderer());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->IsVertical(), vertical);
    EXPECT_EQ(r->PerGlyph(), 1);
  }
}

TEST(Text, LaysOutOnlyWhenTheTextChanges) {
  TextScreen s;
  CVMenuText* t = s.Text(300, 60, 1, 0);
  t->SetText("abc", true);
  const int afterFirst = g_layouts;
  t->SetText("abc", true);
  EXPECT_EQ(g_layouts, afterFirst);
  t->SetText("abcd", true);
  EXPECT_EQ(g_layouts, afterFirst + 1);
  // Without apply, the layout waits for the next draw.
  t->SetText("xy", false);
  EXPECT_EQ(g_layouts, afterFirst + 1);
  EXPECT_EQ(t->textDirty, 1);
  s.root->Open(0, 0, 0);
  RunFrame(s.root, 0, 0, 0, 16);
  s.root->Draw(0);
  EXPECT_EQ(g_layouts, afterFirst + 2);
  EXPECT_EQ(t->textDirty, 0);
  EXPECT_FLOAT_EQ(t->offset.x, 130);
  // A colour change passes the look again without a new layout.
  const int colours = g_colours;
  t->SetColour(Color(255, 0, 0, 255));
  s.root->Draw(0);
  EXPECT_EQ(g_layouts, afterFirst + 2);
  EXPECT_EQ(g_colours, colours + 1);
  s.root->Draw(0);  // nothing changed: nothing passed
  EXPECT_EQ(g_colours, colours + 1);
}

TEST(Text, NullAndEmptyTexts) {
  TextScreen s;
  CVMenuText* t = s.Text(300, 60, 0, 0);
  t->SetText(nullptr, true);
  EXPECT_EQ(t->Renderer(), nullptr);
  EXPECT_STREQ(t->Text(), "");
  t->SetText("a\nb\nc", true);
  EXPECT_EQ(t->lineBreaks, 2);
  t->SetText(nullptr, true);
  EXPECT_STREQ(t->Text(), "");
  s.root->Open(0, 0, 0);
  EXPECT_FALSE(t->IsDrawable(0));  // an empty text draws nothing
}

TEST(Text, NumbersByWidthKind) {
  struct Case {
    int32_t value, kind;
    const char* expected;
  } cases[] = {{7, 3, "  7"},           {7, 0, "7"},   {-42, 1, "-42"}, {123, 6, "   123"},
               {1234567, 2, "1234567"}, {5, 7, "old"}, {5, -1, "old"}};
  for (const Case& c : cases) {
    TextScreen s;
    CVMenuText* t = s.Text(300, 60, 0, 0);
    t->SetText("old", false);
    t->SetNumber(c.value, c.kind);
    EXPECT_STREQ(t->Text(), c.expected) << c.value << " kind " << c.kind;
  }
}

TEST(Text, LongTextsAreCutAtACharacterBoundary) {
  TextScreen s;
  CVMenuText* t = s.Text(300, 60, 0, 0);
  std::string text = "a";
  for (int i = 0; i < 400; ++i) text += "あ";  // 2 bytes each in CP932
  t->SetText(text.c_str(), false);
  const std::string kept = t->Text();
  EXPECT_EQ(kept.size(), 519u);
  EXPECT_EQ(kept.substr(0, 3), text.substr(0, 3));
  // The last byte is a whole character's end, not a lone lead byte.
  EXPECT_EQ(kept.back(), text[2]);
}

TEST(Text, ShownCharacterCountLimitsTheRenderedText) {
  TextScreen s;
  CVMenuText* t = s.Text(300, 60, 2, 0);
  t->shownChars = 2;
  t->SetText("漢字テスト", true);
  EXPECT_EQ(t->ShownText(), std::string("漢字"));
  EXPECT_FLOAT_EQ(t->offset.x, 260);
}

TEST(Text, ScreenAndSceneTextsReachTheRendererDifferently) {
  TextScreen s;
  CVMenuText* t = s.Text(300, 60, 0, 0);
  t->position = Vector3(100, 50, 3);
  t->SetText("ab", true);
  s.root->Open(0, 0, 0);
  RunFrame(s.root, 0, 0, 0, 16);
  s.root->Draw(0);
  EXPECT_EQ(t->Renderer()->DrawModeValue(), 0);
  t->SetFlag(kWfScreen, true);
  EXPECT_EQ(t->lookDirty, 1);
  s.root->Draw(0);
  EXPECT_EQ(t->Renderer()->DrawModeValue(), 1);
  Vector3 o;
  t->GetTextOffset(o);
  EXPECT_TRUE(std::isfinite(o.x));
}

}  // namespace
