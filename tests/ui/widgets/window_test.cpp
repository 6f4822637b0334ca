// Window widget on the null device with pictures made in a temporary program folder: loading by
// extension, name patterns, hold and load-on-open bookkeeping, movies through a fake port, hit
// test edges, drawing values and the capture into a texture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/error_box.h"
#include "render/sprite.h"
#include "render/texture_holder.h"
#include "tests/support/recording_boxes.h"
#include "ui/menus/menu_root.h"
#include "ui/widgets/menu_window.h"
#include "widget_fixture.h"

namespace {

struct WindowWorld {
  WidgetEnv env;
  v4test::TempModuleDir dir;
  v4test::NullUiGraphics gfx;
  CVMenuSceneRoot* root = nullptr;
  WindowWorld() {
    dir.Write("Data/img/a.PNG", v4test::SolidPng(64, 32, 0xFF0000FF));
    dir.Write("Data/img/n03.png", v4test::SolidPng(16, 8, 0x00FF00FF));
    dir.Write("Data/img/b.png", v4test::SolidPng(40, 20, 0x0000FFFF));
    root = new CVMenuSceneRoot();
    GetMenuMgr().RegisterRoot(root);
  }
  CVMenuWindow* Window(const char* name, bool loadOnOpen, float x = 0, float y = 0) {
    SpriteWindowParams p;
    p.pictureName = name;
    p.position = Vector3(x, y, 0);
    p.width = p.height = -1;  // from the picture
    p.source = FRect(0, 0, -1, -1);
    p.loadOnOpen = loadOnOpen;
    return GetMenuMgr().CreateMenuSpriteWindow(root, p);
  }
};

// Width of the shown picture, 0 when none.
int32_t TexW(const CVMenuWindow* w) { return w->sprite && w->sprite->texture ? w->sprite->texture->GetWidth() : 0; }

class FakeMovies : public WidgetMoviePort {
 public:
  int32_t Open(const char* path) override {
    opened.emplace_back(path);
    return fail ? -1 : 3;
  }
  void GetVideoSize(int32_t, uint32_t* w, uint32_t* h) override {
    *w = 320;
    *h = 180;
  }
  void SetTarget(int32_t, CVTexture* t) override { target = t; }
  void Play(int32_t id, bool loop) override { played.emplace_back(id, loop); }
  bool IsFinished(int32_t) override { return finished; }
  void Close(int32_t id) override { closed.push_back(id); }
  bool fail = false, finished = false;
  CVTexture* target = nullptr;
  std::vector<std::string> opened;
  std::vector<std::pair<int32_t, bool>> played;
  std::vector<int32_t> closed;
};

TEST(Window, LoadImageFileDispatchesByExtension) {
  WindowWorld w;
  FakeMovies movies;
  SetWidgetMoviePort(&movies);
  CVMenuWindow* win = w.Window("", false);
  struct Case {
    const char* name;
    bool texture, movie;
  } cases[] = {{"Data\\img\\a.PNG", true, false},
               {"Data\\img\\b.png", true, false},
               {"Data\\media\\op.MDM", false, true},
               {"Data\\media\\x.bmp", false, false},
               {"noextension", false, false}};
  for (const Case& c : cases) {
    const size_t opens = movies.opened.size();
    const FixedPath before = win->pictureName;
    win->LoadImageFile(c.name, false);
    EXPECT_EQ(movies.opened.size(), opens + (c.movie ? 1 : 0)) << c.name;
    if (c.texture || c.movie) {
      EXPECT_STREQ(win->pictureName.CStr(), c.name);
    } else {
      EXPECT_STREQ(win->pictureName.CStr(), before.CStr()) << c.name;
    }
  }
  ASSERT_NE(win->sprite->texture, nullptr);
  // The movie took the video's size, one cell, a blank target texture.
  EXPECT_EQ(win->movieId, 3);
  EXPECT_FLOAT_EQ(win->sprite->width, 320);
  EXPECT_EQ(movies.target, win->sprite->texture);
  EXPECT_NE(movies.opened.back().find("op.MDM"), std::string::npos);
  win->SetMovieLoop(true);
  EXPECT_EQ(movies.played.back(), std::make_pair(3, true));
  EXPECT_FALSE(win->IsMovieStopped());
  movies.finished = true;
  EXPECT_TRUE(win->IsMovieStopped());
  win->LoadImageFile("Data\\img\\a.PNG", false);  // a new picture closes the movie
  EXPECT_EQ(movies.closed, std::vector<int32_t>{3});
  EXPECT_EQ(win->movieId, -1);
  SetWidgetMoviePort(nullptr);
}

TEST(Window, MovieThatDoesNotOpenShowsTheBoxAndKeepsTheName) {
  WindowWorld w;
  FakeMovies movies;
  movies.fail = true;
  v4test::RecordingBoxes boxes;
  SetWidgetMoviePort(&movies);
  SetErrorBoxPresenter(&boxes);
  CVMenuWindow* win = w.Window("", false);
  win->SetTexture("Data\\img\\b.png", false);
  win->SetMovie("Data\\media\\gone.mdm", false);
  SetErrorBoxPresenter(nullptr);
  SetWidgetMoviePort(nullptr);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, std::string("Data\\media\\gone.mdm\nの読み込みに失敗しました。"));
  EXPECT_EQ(boxes.boxes[0].title, std::string("ファイルロードエラー"));
  EXPECT_STREQ(win->pictureName.CStr(), "Data\\img\\b.png");
  EXPECT_EQ(win->movieId, -1);
}

TEST(Window, SetTextureSameNameNeedsForce) {
  WindowWorld w;
  CVMenuWindow* win = w.Window("", false);
  EXPECT_TRUE(win->SetTexture("Data\\img\\b.png", false));
  ASSERT_NE(win->sprite->texture, nullptr);
  EXPECT_EQ(win->sprite->texture->GetWidth(), 40);
  EXPECT_FALSE(win->SetTexture("Data\\img\\b.png", false));
  EXPECT_TRUE(win->SetTexture("Data\\img\\b.png", true));
  EXPECT_NE(win->sprite->texture, nullptr);
  CVMenuWindow* bare = GetMenuMgr().CreateMenuWindow(w.root, Vector3(0, 0, 0));
  EXPECT_FALSE(bare->SetTexture("Data\\img\\b.png", true));
}

TEST(Window, NamePatternFormatsOnlyIntegers) {
  WindowWorld w;
  CVMenuWindow* win = w.Window("", false);
  EXPECT_FALSE(win->SetTextureF(3, false));  // no pattern
  win->SetNamePattern("Data\\img\\n%02d.png");
  EXPECT_TRUE(win->SetTextureF(3, false));
  EXPECT_STREQ(win->pictureName.CStr(), "Data\\img\\n03.png");
  ASSERT_NE(win->sprite->texture, nullptr);
  EXPECT_EQ(win->sprite->texture->GetWidth(), 16);
  win->SetNamePattern("Data\\img\\%s%n.png");
  EXPECT_TRUE(win->SetTextureF(3, false));
  EXPECT_STREQ(win->pictureName.CStr(), "Data\\img\\%s%n.png");
}

TEST(Window, LoadOnOpenReleasesOnCloseAndReloadsOnOpen) {
  WindowWorld w;
  CVMenuWindow* win = w.Window("Data\\img\\a.PNG", true);
  EXPECT_EQ(win->sprite->texture, nullptr);  // nothing loaded at creation
  for (int round = 0; round < 2; ++round) {
    win->SetState(1, 0);
    w.root->Open(0, 0, 0);
    ASSERT_NE(win->sprite->texture, nullptr) << round;
    EXPECT_EQ(win->sprite->texture->GetWidth(), 64);
    EXPECT_FLOAT_EQ(win->sprite->width, 64);
    EXPECT_EQ(win->sprite->cell, 1);
    // The bar length follows the picture once it is known.
    EXPECT_FLOAT_EQ(win->vectorA.x, 64);
    EXPECT_FLOAT_EQ(win->halfExtent.x, win->size.x / 2);
    w.root->Close();
    EXPECT_EQ(win->sprite->texture, nullptr) << round;
  }
  // Without bit 2 the picture stays for the window's life.
  CVMenuWindow* kept = w.Window("Data\\img\\b.png", false);
  ASSERT_NE(kept->sprite->texture, nullptr);
  w.root->Open(0, 0, 0);
  w.root->Close();
  EXPECT_NE(kept->sprite->texture, nullptr);
}

TEST(Window, HoldBitDefersAndReloads) {
  WindowWorld w;
  CVMenuWindow* win = w.Window("", false);
  win->SetFlagAll(kWfHold, true);
  win->SetTexture("Data\\img\\b.png", false);
  EXPECT_EQ(TexW(win), 0);
  EXPECT_STREQ(win->pictureName.CStr(), "Data\\img\\b.png");
  w.root->SetFlagAll(kWfHold, false);  // clearing through the tree reloads
  ASSERT_NE(win->sprite->texture, nullptr);
  EXPECT_EQ(win->sprite->texture->GetWidth(), 40);
  // Setting it with SetFlag reloads too: with bit 2 that releases the picture while held.
  win->flags.Set(kWfLoadOnOpen, 1);
  win->SetFlag(kWfHold, true);
  EXPECT_EQ(TexW(win), 0);
  EXPECT_STREQ(win->pictureName.CStr(), "Data\\img\\b.png");
  win->SetFlagByType(kWidgetSprite, kWfHold, false);
  EXPECT_NE(win->sprite->texture, nullptr);
}

TEST(Window, HitTestEdges) {
  struct Case {
    float posX;
    int32_t x;
    bool inside;
  } cases[] = {
      {100.5f, 100, true},                                                // local -0.5: -0.501 truncates to 0
      {100.999f, 100, false},                                             // local -0.999: -1.0
      {100.0f, 100, true},    {100.0f, 139, true}, {100.0f, 140, false},  // the right edge
      {100.0f, 99, false},
  };
  for (const Case& c : cases) {
    WindowWorld w;
    CVMenuWindow* win = w.Window("Data\\img\\b.png", false, c.posX, 50);
    w.root->Open(0, 0, 0);
    EXPECT_EQ(win->HitTest(c.x, 55), c.inside) << c.posX << " " << c.x;
  }
  WindowWorld w;
  CVMenuWindow* win = w.Window("Data\\img\\b.png", false, 100, 50);
  w.root->Open(0, 0, 0);
  EXPECT_TRUE(win->HitTest(110, 55));
  win->flags.Set(kWfNoHit, 1);
  EXPECT_FALSE(win->HitTest(110, 55));
  win->flags.Set(kWfNoHit, 0);
  GetMenuMgr().SetDepthBound(50);
  EXPECT_FALSE(win->HitTest(110, 55));
}

TEST(Window, DrawPassesColourAlphaAndFlags) {
  WindowWorld w;
  CVMenuWindow* win = w.Window("Data\\img\\b.png", false, 10, 20);
  win->colour = Color(10, 20, 30, 255);
  w.root->alpha = 128;
  w.root->Open(0, 0, 0);
  EXPECT_FALSE(win->IsDrawable(1));  // opened this frame
  RunFrame(w.root, 0, 0, 0, 16);
  win->flags.Set(kWfMirrorX, 1);
  win->flags.Set(kWfScreen, 1);
  EXPECT_TRUE(win->IsDrawable(1));
  EXPECT_FLOAT_EQ(win->sprite->vertexColour[2].g, 20);
  EXPECT_FLOAT_EQ(win->sprite->vertexColour[0].a, 128);
  EXPECT_TRUE(win->sprite->flags.Test(CVSprite::kFlagScreen));
  Vector3 t;
  win->sprite->matrix.GetTranslation(t);
  EXPECT_FLOAT_EQ(t.x, 10);
  win->colour.a = 0;  // a colour without alpha draws transparent
  win->IsDrawable(0);
  EXPECT_FLOAT_EQ(win->sprite->vertexColour[0].a, 0);
  w.root->SetFlag(kWfShown, 0);
  EXPECT_FALSE(win->IsDrawable(0) && w.root->IsShown());
  CVMenuWindow* noPicture = w.Window("", false);
  EXPECT_FALSE(noPicture->IsDrawable(0));
}

TEST(Window, RendersWidgetsIntoItsOwnTexture) {
  WindowWorld w;
  CVMenuWindow* a = w.Window("Data\\img\\a.PNG", false);
  CVMenuWindow* b = w.Window("Data\\img\\b.png", false, 5, 5);
  CVMenuWindow* cover = GetMenuMgr().CreateMenuSpriteWindow(nullptr, Cells(0, 0, 128, 72));
  w.root->Open(0, 0, 0);
  cover->Open(0, 0, 0);
  RunFrame(w.root, 0, 0, 0, 16);
  EXPECT_TRUE(cover->RenderWidgetsToTexture({a, b}));
  ASSERT_NE(cover->sprite->texture, nullptr);
  EXPECT_EQ(cover->sprite->texture->GetWidth(), 128);
  EXPECT_EQ(cover->sprite->texture->GetHeight(), 72);
  // The multiply-alpha shaders were taken off again.
  EXPECT_TRUE(a->Shaders().empty());
  EXPECT_TRUE(b->Shaders().empty());
}

}  // namespace
