#include "shell/window_graphics.h"

#include "platform/sdl/gl_canvas.h"
#include "platform/sdl/window.h"

bool TestCardPicture::DrawPicture(const DisplayLayout& layout) {
  DrawTestCard(scene_ ? scene_->DrawnCard() : TestCard{}, layout.displayW, layout.displayH);
  return !plat::GlTakeError();
}

bool WindowGraphics::RenderMovieFrame() {
  bool ok = source_ ? source_->DrawMovie(GetDisplayLayout()) : true;
  window_->SwapBuffers();
  return ok;
}

bool WindowGraphics::RenderFrame() {
  bool ok = source_ ? source_->DrawPicture(GetDisplayLayout()) : true;
  if (!source_) {
    DisplayLayout l = GetDisplayLayout();
    plat::GlClearAll(l.displayW, l.displayH, 0.0f, 0.0f, 0.0f);
  }
  window_->SwapBuffers();
  return ok;
}
