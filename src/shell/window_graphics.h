// The window's present step. Whatever renders the 1280 × 720 picture (the graphics device) draws it
// into the fitted picture rectangle of the window's drawable with the GL context current on the
// frame thread; then the window swaps. With no picture source the window shows black.
#pragma once

#include "core/display_layout.h"
#include "shell/device_state.h"
#include "core/frame_services.h"

namespace plat {
class Window;
}

struct WindowPictureSource {
  virtual ~WindowPictureSource() = default;
  // Draws into layout.picture* of a drawable of layout.displayW × layout.displayH (black outside).
  // False when the device failed.
  virtual bool DrawPicture(const DisplayLayout& layout) = 0;
  // Whether the last DrawPicture drew anything; an unchanged picture is not drawn again, and then
  // the window is not swapped (the window keeps showing it).
  virtual bool PictureDrawn() const { return true; }
  // The full-screen movie's picture instead of the scenes'.
  virtual bool DrawMovie(const DisplayLayout& layout) { return DrawPicture(layout); }
  // Forwarded from the frame (frame thread, context current).
  virtual void UpdateRenderers() {}
  virtual void SwapRenderQueues() {}

  // Makes the drawing device with the context current (start-up, main thread); false when it
  // cannot be made. The frame thread adopts it when the timer starts.
  virtual bool CreateDevice() { return true; }
  virtual void AdoptFrameThread() {}
  // Device recovery (frame thread, context current). The defaults describe a device that is
  // never lost.
  virtual bool HasDevice() { return true; }
  virtual DeviceCoop TestCooperativeLevel() { return DeviceCoop::kOk; }
  virtual bool ResetDevice() { return true; }
  // Replaces the device (or makes one when there is none); false leaves things as they were.
  virtual bool RecreateDevice() { return true; }
};

// The frame's device for the window: draw the picture, swap. The main thread's device recovery
// reaches the picture's device on the frame thread, which owns the GL context.
class WindowGraphics : public FrameGraphics, public DeviceControl {
 public:
  WindowGraphics(plat::Window* window, WindowPictureSource* source) : window_(window), source_(source) {}
  bool RenderFrame() override;
  bool RenderMovieFrame() override;
  bool LastFramePresented() override { return presented_; }
  void UpdateRenderers() override {
    if (source_) source_->UpdateRenderers();
  }
  void SwapRenderQueues() override {
    if (source_) source_->SwapRenderQueues();
  }

  bool HasDevice() override;
  DeviceCoop TestCooperativeLevel() override;
  bool ResetDevice() override;
  bool CreateDevice3D() override;

 private:
  plat::Window* window_;
  WindowPictureSource* source_;
  bool presented_ = false;
};
