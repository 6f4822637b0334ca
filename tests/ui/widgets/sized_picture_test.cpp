// Pictures drawn per size on the null device with pictures made in a temporary program folder: the
// copy's name, the window picking the copy of its drawn size (or the picture itself when the data
// has none), and the cell following the picture shown, so neither is cut nor stretched.
#include <gtest/gtest.h>

#include <string>

#include "render/sprite.h"
#include "render/texture_holder.h"
#include "ui/menus/menu_root.h"
#include "ui/widgets/menu_window.h"
#include "ui/widgets/sized_picture.h"
#include "widget_fixture.h"

namespace {

TEST(SizedPicture, CopyNameCarriesTheSizeBeforeTheExtension) {
  struct Case {
    const char* name;
    int32_t w, h;
    const char* want;
  } cases[] = {
      {"Data\\Image\\face\\f%02d.png", 48, 48, "Data\\Image\\face\\f%02d_48x48.png"},
      {"Data\\Image\\kassen\\face%03d.png", 48, 36, "Data\\Image\\kassen\\face%03d_48x36.png"},
      {"a.b\\face.tig", 180, 180, "a.b\\face_180x180.tig"},
      {"Data\\v1.2\\face", 48, 48, ""},  // the only dot is a folder's
      {"Data\\Image\\face\\.png", 48, 48, ""},
      {"noext", 48, 48, ""},
      {"f.png", 0, 48, ""},
      {"f.png", 48, -1, ""},
      {nullptr, 48, 48, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(SizedPictureName(c.name, c.w, c.h), c.want) << (c.name ? c.name : "null");
}

struct FaceWorld {
  WidgetEnv env;
  v4test::TempModuleDir dir;
  v4test::NullUiGraphics gfx;
  CVMenuSceneRoot* root = nullptr;
  FaceWorld() {
    ForgetSizedPictures();
    dir.Write("Data/img/f00.png", v4test::SolidPng(64, 64, 0xFF0000FF));
    dir.Write("Data/img/f01.png", v4test::SolidPng(64, 64, 0x00FF00FF));
    dir.Write("Data/img/f00_48x48.png", v4test::SolidPng(48, 48, 0x0000FFFF));  // f01 has no copy
    root = new CVMenuSceneRoot();
    GetMenuMgr().RegisterRoot(root);
  }
  ~FaceWorld() { ForgetSizedPictures(); }
  // A face window as a layout makes it: a 64-pixel definition drawn at side x side.
  CVMenuWindow* Window(float side) {
    SpriteWindowParams p;
    p.pictureName = "Data\\img\\f00.png";
    p.width = p.height = side;
    p.source = FRect(0, 0, 64, 64);
    return GetMenuMgr().CreateMenuSpriteWindow(root, p);
  }
};

int32_t TexW(const CVMenuWindow* w) { return w->sprite && w->sprite->texture ? w->sprite->texture->GetWidth() : 0; }

TEST(SizedPicture, WindowShowsTheCopyOfItsSizeAndFallsBackToThePicture) {
  FaceWorld w;
  CVMenuWindow* small = w.Window(48);
  struct Step {
    int32_t n;
    const char* shown;
    int32_t textureWidth;
    float cell;
  } steps[] = {
      {0, "Data\\img\\f00_48x48.png", 48, 48},  // drawn at its size
      {1, "Data\\img\\f01.png", 64, 64},        // no copy: the picture reduced, whole
      {0, "Data\\img\\f00_48x48.png", 48, 48},  // and back
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.n);
    ShowPictureAtSize(small, "Data\\img\\f%02d.png", s.n);
    EXPECT_STREQ(small->pictureName.CStr(), s.shown);
    EXPECT_EQ(TexW(small), s.textureWidth);
    EXPECT_FLOAT_EQ(small->sprite->cellWidth, s.cell);
    EXPECT_FLOAT_EQ(small->sprite->cellHeight, s.cell);
    EXPECT_FLOAT_EQ(small->sprite->width, 48.0f);  // the layout's drawn size stays
    EXPECT_FLOAT_EQ(small->sprite->height, 48.0f);
  }
  // A window of the definition's own size shows the picture itself.
  CVMenuWindow* full = w.Window(64);
  ShowPictureAtSize(full, "Data\\img\\f%02d.png", 0);
  EXPECT_STREQ(full->pictureName.CStr(), "Data\\img\\f00.png");
  EXPECT_FLOAT_EQ(full->sprite->cellWidth, 64.0f);
}

TEST(SizedPicture, PatternForSizeLooksForTheNumberedCopy) {
  FaceWorld w;
  EXPECT_EQ(PatternForSize("Data\\img\\f%02d.png", 0, 48, 48), "Data\\img\\f%02d_48x48.png");
  EXPECT_EQ(PatternForSize("Data\\img\\f%02d.png", 1, 48, 48), "Data\\img\\f%02d.png");
  EXPECT_EQ(PatternForSize("Data\\img\\f%02d.png", 0, 36, 36), "Data\\img\\f%02d.png");
  EXPECT_EQ(PatternForSize("Data\\img\\f%02d", 0, 48, 48), "Data\\img\\f%02d");  // no extension
  EXPECT_EQ(PatternForSize(nullptr, 0, 48, 48), "");
  // Nothing to show in: no change, no crash.
  EXPECT_FALSE(ShowPictureAtSize(nullptr, "Data\\img\\f%02d.png", 0));
  EXPECT_FALSE(ShowPictureAtSize(w.Window(48), nullptr, 0));
}

}  // namespace
