// An OpenGL 3.3 core context on a hidden window, for tests, benchmarks and the headless frame
// driver. Works without a display through SDL's offscreen driver (EGL on Mesa).
#pragma once
#include <memory>

namespace plat {

class OffscreenGlContext {
 public:
  // Creates the context and makes it current on this thread; null on failure (logged).
  static std::unique_ptr<OffscreenGlContext> Create(int width = 64, int height = 64);
  ~OffscreenGlContext();
  OffscreenGlContext(const OffscreenGlContext&) = delete;
  OffscreenGlContext& operator=(const OffscreenGlContext&) = delete;

  void MakeCurrent();
  // The window's drawable size (what Present draws into).
  int DrawableWidth() const;
  int DrawableHeight() const;

 private:
  OffscreenGlContext() = default;
  void* window_ = nullptr;
  void* context_ = nullptr;
};

}  // namespace plat
