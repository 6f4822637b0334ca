// Headless frame driver: runs the program's own frame routine from the test thread with a virtual
// millisecond clock and scripted input; no timer thread, no window. A test that wants pixels asks
// for a real GL context on a hidden offscreen window (SDL_VIDEODRIVER=offscreen).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/cv_input.h"
#include "core/frame_services.h"
#include "tests/support/scripted_input.h"

namespace plat {
class Window;
}

// A device that records presents and can be told to fail them.
class RecordingGraphics : public FrameGraphics {
 public:
  void UpdateRenderers() override { ++updates; }
  void SwapRenderQueues() override { ++swaps; }
  bool RenderFrame() override {
    ++presents;
    if (failNext) {
      failNext = false;
      return false;
    }
    return true;
  }
  int updates = 0, swaps = 0, presents = 0;
  bool failNext = false;
};

// A point of the back buffer (1280 x 720), where a scripted pointer goes.
struct ScreenPoint {
  int x, y;
};

// The ticks after each step of a scripted click: the pointer's move, the press and the release.
struct ClickTicks {
  int rest = 2, held = 2, after = 6;
};

class FrameDriver {
 public:
  struct Options {
    int periodMs = 18;
    uint32_t startMs = 100000;
  };
  // Installs the services, the virtual clock and the scripted input, and resets every shared
  // frame byte, the quit flag, the mouse state and GameMode (to 1). The destructor undoes it.
  explicit FrameDriver(const FrameServices& services);
  FrameDriver(const FrameServices& services, Options options);
  FrameDriver(FrameSceneManager* scenes, FrameGameHooks* game, FrameGraphics* graphics)
      : FrameDriver(FrameServices{scenes, game, graphics}) {}
  ~FrameDriver();
  FrameDriver(const FrameDriver&) = delete;
  FrameDriver& operator=(const FrameDriver&) = delete;

  // One timer period: the clock advances by the period, then the timer callback runs.
  void Tick();
  void Ticks(int n);
  // Ticks until done() holds, at most `budget` of them; whether it holds then.
  bool TicksUntil(int budget, const std::function<bool()>& done);
  // The callback with another timer's id (it must be ignored).
  void ForeignTick();
  void AdvanceMs(uint32_t ms) { nowMs_ += ms; }
  uint32_t NowMs() const { return nowMs_; }

  ScriptedInput& Input() { return input_; }
  void SetKey(int vk, bool held) { input_.SetKey(vk, held); }
  void SetPointer(int32_t x, int32_t y) { input_.SetPointer(x, y); }
  void SetButton(int vk, bool held) { input_.SetKey(vk, held); }
  // A click as a player makes it: the pointer rests on the point, the button is held, then let go,
  // with the given ticks after each step.
  void Click(ScreenPoint p, bool right = false, ClickTicks ticks = {});
  // The wheel word as the window layer stores it for a wheel message of n notches.
  void Wheel(int notches);
  void SetActive(bool active);

  // Real GL on a hidden offscreen window of the given size, current on this thread, and the
  // display layout fitted into it (full screen when the size is not 1280 × 720). False when no
  // GL 3.3 core context can be made.
  bool CreateOffscreenGl(int width = 1280, int height = 720);
  plat::Window* GlWindow() { return window_.get(); }
  // RGBA, rows top first, from the current back buffer.
  bool ReadPixels(int x, int y, int w, int h, std::vector<uint8_t>& rgba);

  static constexpr uint32_t kTimerId = 0x7E57;

 private:
  static uint32_t Clock(void* self);
  Options options_;
  uint32_t nowMs_;
  ScriptedInput input_;
  std::unique_ptr<plat::Window> window_;
};
