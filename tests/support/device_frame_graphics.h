// The frame's graphics on a device manager: the renderers' update, the queue swap and the frame of
// whatever device it holds (the null device, or the real one on an offscreen GL context). Movies
// draw nothing of their own here.
#pragma once
#include "core/frame_services.h"
#include "render/dg_manager.h"

namespace v4test {

class DeviceFrameGraphics : public FrameGraphics {
 public:
  explicit DeviceFrameGraphics(CDGManager* mgr) : mgr_(mgr) {}
  void UpdateRenderers() override { mgr_->UpdateRenderers(); }
  void SwapRenderQueues() override { mgr_->SwapRenderQueues(); }
  bool RenderFrame() override { return mgr_->RenderFrame(); }

 private:
  CDGManager* mgr_;
};

}  // namespace v4test
