#include "shell/window_graphics.h"

#include "shell/frame.h"
#include "platform/sdl/gl_canvas.h"
#include "platform/sdl/window.h"

bool WindowGraphics::RenderMovieFrame() {
  bool ok = source_ ? source_->DrawMovie(GetDisplayLayout()) : true;
  window_->SwapBuffers();
  presented_ = true;
  return ok;
}

bool WindowGraphics::RenderFrame() {
  bool ok = source_ ? source_->DrawPicture(GetDisplayLayout()) : true;
  if (!source_) {
    DisplayLayout l = GetDisplayLayout();
    plat::GlClearAll(l.displayW, l.displayH, 0.0f, 0.0f, 0.0f);
  }
  presented_ = !source_ || source_->PictureDrawn();
  if (presented_) window_->SwapBuffers();
  return ok;
}

bool WindowGraphics::HasDevice() {
  return !source_ || RunOnFrameThread([this] { return source_->HasDevice(); });
}

DeviceCoop WindowGraphics::TestCooperativeLevel() {
  if (!source_) return DeviceCoop::kOk;
  DeviceCoop coop = DeviceCoop::kOk;
  RunOnFrameThread([this, &coop] {
    coop = source_->TestCooperativeLevel();
    return true;
  });
  return coop;
}

bool WindowGraphics::ResetDevice() {
  return !source_ || RunOnFrameThread([this] { return source_->ResetDevice(); });
}

bool WindowGraphics::CreateDevice3D() {
  return !source_ || RunOnFrameThread([this] { return source_->RecreateDevice(); });
}
