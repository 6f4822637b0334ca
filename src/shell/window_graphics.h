// The window's present step. Whatever renders the 1280 × 720 picture (the graphics device, or the
// placeholder test card until it lands) draws it into the fitted picture rectangle of the window's
// drawable with the GL context current on the frame thread; then the window swaps.
#pragma once

#include "core/display_layout.h"
#include "shell/device_state.h"
#include "core/frame_services.h"
#include "shell/placeholder_scene.h"

namespace plat {
class Window;
}

struct WindowPictureSource {
  virtual ~WindowPictureSource() = default;
  // Draws into layout.picture* of a drawable of layout.displayW × layout.displayH (black outside).
  // False when the device failed.
  virtual bool DrawPicture(const DisplayLayout& layout) = 0;
  // The full-screen movie's picture instead of the scenes'.
  virtual bool DrawMovie(const DisplayLayout& layout) { return DrawPicture(layout); }
  // Forwarded from the frame (frame thread, context current).
  virtual void UpdateRenderers() {}
  virtual void SwapRenderQueues() {}
};

// The placeholder scene's test card as the picture.
class TestCardPicture : public WindowPictureSource {
 public:
  explicit TestCardPicture(const PlaceholderSceneMgr* scene) : scene_(scene) {}
  bool DrawPicture(const DisplayLayout& layout) override;

 private:
  const PlaceholderSceneMgr* scene_;
};

// The frame's device for the window: draw the picture, swap. The GL context cannot be lost in
// practice, so the device-state answers are "usable" (the recovery path is exercised by tests).
class WindowGraphics : public FrameGraphics, public DeviceControl {
 public:
  WindowGraphics(plat::Window* window, WindowPictureSource* source) : window_(window), source_(source) {}
  bool RenderFrame() override;
  bool RenderMovieFrame() override;
  void UpdateRenderers() override {
    if (source_) source_->UpdateRenderers();
  }
  void SwapRenderQueues() override {
    if (source_) source_->SwapRenderQueues();
  }

  bool HasDevice() override { return true; }
  DeviceCoop TestCooperativeLevel() override { return DeviceCoop::kOk; }
  bool ResetDevice() override { return true; }
  bool CreateDevice3D() override { return true; }

 private:
  plat::Window* window_;
  WindowPictureSource* source_;
};
