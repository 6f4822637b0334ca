#include "tests/support/frame_driver.h"

#include "core/app_state.h"
#include "core/display_layout.h"
#include "core/game_clock.h"
#include "shell/frame.h"
#include "shell/main_window.h"
#include "platform/sdl/gl_canvas.h"
#include "platform/sdl/window.h"

FrameDriver::FrameDriver(const FrameServices& services) : FrameDriver(services, Options{}) {}

FrameDriver::FrameDriver(const FrameServices& services, Options options) : options_(options), nowMs_(options.startMs) {
  ResetFrameState();
  ResetMouseState();
  g_QuitRequested = false;
  g_InputActive = true;
  GameMode = 1;
  SetDisplayLayout(ComputeDisplayLayout(false, kBackBufferW, kBackBufferH));
  SetGameClockOverride(&FrameDriver::Clock, this);
  SetInputSource(&input_);
  SetFrameServices(services);
  g_FrameTimerId = kTimerId;
}

FrameDriver::~FrameDriver() {
  SetFrameServices(FrameServices{});
  SetInputSource(nullptr);
  SetGameClockOverride(nullptr, nullptr);
  ResetFrameState();
  ResetMouseState();
  g_QuitRequested = false;
  g_InputActive = true;
  SetDisplayLayout(DisplayLayout{});
  if (window_) window_->ReleaseCurrent();
  window_.reset();
}

uint32_t FrameDriver::Clock(void* self) { return static_cast<FrameDriver*>(self)->nowMs_; }

void FrameDriver::Tick() {
  nowMs_ += static_cast<uint32_t>(options_.periodMs);
  FrameTimerProc(kTimerId);
}

void FrameDriver::Ticks(int n) {
  for (int i = 0; i < n; ++i) Tick();
}

bool FrameDriver::TicksUntil(int budget, const std::function<bool()>& done) {
  for (int i = 0; i < budget && !done(); ++i) Tick();
  return done();
}

void FrameDriver::Click(ScreenPoint p, bool right, ClickTicks ticks) {
  const int vk = right ? VK_RBUTTON : VK_LBUTTON;
  SetPointer(p.x, p.y);
  Ticks(ticks.rest);
  SetButton(vk, true);
  Ticks(ticks.held);
  SetButton(vk, false);
  Ticks(ticks.after);
}

void FrameDriver::ForeignTick() {
  nowMs_ += static_cast<uint32_t>(options_.periodMs);
  FrameTimerProc(kTimerId + 1);
}

void FrameDriver::Wheel(int notches) { g_WheelWord = MakeWheelWord(notches); }

void FrameDriver::SetActive(bool active) { OnActivateApp(active, false); }

bool FrameDriver::CreateOffscreenGl(int width, int height) {
  plat::Window::Options o;
  o.titleUtf8 = "frame driver";
  o.width = width;
  o.height = height;
  o.hidden = true;
  window_ = plat::Window::Create(o);
  if (!window_ || !window_->CreateGlContext() || !window_->MakeCurrent()) {
    window_.reset();
    return false;
  }
  int w = width, h = height;
  window_->GetDrawableSize(w, h);
  SetDisplayLayout(ComputeDisplayLayout(!(w == kBackBufferW && h == kBackBufferH), w, h));
  return true;
}

bool FrameDriver::ReadPixels(int x, int y, int w, int h, std::vector<uint8_t>& rgba) {
  if (!window_) return false;
  DisplayLayout l = GetDisplayLayout();
  return plat::GlReadPixels(l.displayW, l.displayH, x, y, w, h, rgba);
}
