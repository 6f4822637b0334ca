#include "platform/sdl/gl_canvas.h"

#include <epoxy/gl.h>

#include <algorithm>

namespace plat {

void GlClearAll(int drawableW, int drawableH, float r, float g, float b) {
  glDisable(GL_SCISSOR_TEST);
  glViewport(0, 0, drawableW, drawableH);
  glClearColor(r, g, b, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void GlFillRect(int drawableW, int drawableH, int x, int y, int w, int h, float r, float g, float b) {
  if (w <= 0 || h <= 0) return;
  glEnable(GL_SCISSOR_TEST);
  glScissor(x, drawableH - (y + h), w, h);
  glClearColor(r, g, b, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  (void)drawableW;
}

bool GlReadPixels(int drawableW, int drawableH, int x, int y, int w, int h, std::vector<uint8_t>& rgba) {
  if (w <= 0 || h <= 0) return false;
  std::vector<uint8_t> raw(static_cast<size_t>(w) * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, drawableH - (y + h), w, h, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
  if (glGetError() != GL_NO_ERROR) return false;
  rgba.resize(raw.size());
  size_t row = static_cast<size_t>(w) * 4;
  for (int r = 0; r < h; ++r) {
    std::copy(raw.begin() + (h - 1 - r) * row, raw.begin() + (h - r) * row, rgba.begin() + r * row);
  }
  (void)drawableW;
  return true;
}

bool GlTakeError() {
  bool any = false;
  while (glGetError() != GL_NO_ERROR) any = true;
  return any;
}

void GlFinish() { glFinish(); }

}  // namespace plat
