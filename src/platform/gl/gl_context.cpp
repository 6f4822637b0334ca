#include "platform/gl/gl_context.h"

#include <SDL.h>

#include "platform/text/log.h"

namespace plat {

std::unique_ptr<OffscreenGlContext> OffscreenGlContext::Create(int width, int height) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    Log("gl", "SDL video: %s", SDL_GetError());
    return nullptr;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_Window* w = SDL_CreateWindow("v4 offscreen", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                                   SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!w) {
    Log("gl", "offscreen window: %s", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  SDL_GLContext c = SDL_GL_CreateContext(w);
  if (!c) {
    Log("gl", "OpenGL 3.3 core context: %s", SDL_GetError());
    SDL_DestroyWindow(w);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  std::unique_ptr<OffscreenGlContext> ctx(new OffscreenGlContext());
  ctx->window_ = w;
  ctx->context_ = c;
  ctx->MakeCurrent();
  return ctx;
}

OffscreenGlContext::~OffscreenGlContext() {
  SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), nullptr);
  SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
  SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void OffscreenGlContext::MakeCurrent() {
  SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), static_cast<SDL_GLContext>(context_));
}

int OffscreenGlContext::DrawableWidth() const {
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(window_), &w, &h);
  return w;
}

int OffscreenGlContext::DrawableHeight() const {
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(window_), &w, &h);
  return h;
}

}  // namespace plat
