// The SDL window on the offscreen driver: the usable client size and the windowed size it gives.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/sdl/window.h"

namespace {

TEST(WindowTest, UsableClientSizeFitsTheDesktopAndSizesTheWindow) {
  plat::Window::Options o;
  o.titleUtf8 = "window test";
  o.hidden = true;
  std::unique_ptr<plat::Window> w = plat::Window::Create(o);
  if (!w) GTEST_SKIP() << "no video driver";
  int desktopW = 0, desktopH = 0, usableW = 0, usableH = 0;
  ASSERT_TRUE(w->GetDesktopSize(desktopW, desktopH));
  ASSERT_TRUE(w->GetUsableClientSize(usableW, usableH));
  EXPECT_GT(usableW, 0);
  EXPECT_GT(usableH, 0);
  EXPECT_LE(usableW, desktopW);
  EXPECT_LE(usableH, desktopH);
  // A window of a smaller client size than it was made with gets exactly that drawable.
  const int cw = usableW / 2 / 16 * 16, ch = cw / 16 * 9;
  ASSERT_TRUE(w->SetFullscreenDesktop(false, cw, ch));
  int dw = 0, dh = 0;
  w->GetDrawableSize(dw, dh);
  EXPECT_EQ(dw, cw);
  EXPECT_EQ(dh, ch);
  EXPECT_FALSE(w->IsFullscreen());
}

// Boxes take the focus from the game: a full-screen game window must not be minimised for that.
TEST(WindowTest, FullScreenWindowIsNotMinimisedOnFocusLoss) {
  ASSERT_TRUE(plat::InitVideo());
  const char* hint = SDL_GetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS);
  ASSERT_NE(hint, nullptr);
  EXPECT_STREQ(hint, "0");
}

}  // namespace
