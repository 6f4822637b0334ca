// What the frame calls of the subsystems above and beside it. The shell's wiring fills these in
// with the scene manager, the scenario engine, the strategy turn loop, sound, movies and the
// graphics device; a seam left empty is skipped.
#pragma once
#include <cstdint>

class CVInput;

// The scene manager as the frame drives it.
struct FrameSceneManager {
  virtual ~FrameSceneManager() = default;
  // Due when at least 16.667 ms passed since the last logic step (it keeps the elapsed ratio).
  virtual bool UpdateFrameTimer() = 0;
  virtual void Update() = 0;
  virtual void Draw() = 0;
  // Every scene re-creates its device resources (once after a device reset).
  virtual void BroadcastDeviceReset() = 0;
  virtual void DeleteAllScenes() = 0;
  // The manager's own CVInput, which it polls in Update; the mouse reads its buttons.
  virtual const CVInput& GetInput() const = 0;
  // The scene being shown (the frame record's rows); -1 when unknown.
  virtual int32_t CurrentSceneId() const { return -1; }
};

// Game logic and media steps of one frame. Every member has a do-nothing default.
struct FrameGameHooks {
  virtual ~FrameGameHooks() = default;
  virtual void UpdateSoundFades() {}
  // Handles one key of the strategy key ring; true when it held one.
  virtual bool PollSlgKey() { return false; }
  virtual void StepAdvScript() {}
  virtual void ApplyGameSpeedSetting() {}
  virtual void RunTurnLoop() {}
  virtual void UpdateMovies() {}
  virtual bool MovieOwnsDisplay() { return false; }
  virtual void ResetPickState() {}
};

// The graphics device as the frame uses it.
struct FrameGraphics {
  virtual ~FrameGraphics() = default;
  virtual void UpdateRenderers() {}
  virtual void SwapRenderQueues() {}
  // Sort, clear to black, draw, present into the window's fitted picture. False when the device
  // failed (it is then treated as lost).
  virtual bool RenderFrame() = 0;
  // While a full-screen movie owns the display: its current picture fitted into the window's
  // picture instead of the scenes. False when the device failed.
  virtual bool RenderMovieFrame() { return true; }
  // Whether the last frame presented a picture (an unchanged one is not presented again).
  virtual bool LastFramePresented() { return true; }
};

struct FrameServices {
  FrameSceneManager* scenes = nullptr;
  FrameGameHooks* game = nullptr;
  FrameGraphics* graphics = nullptr;  // null: no device (nothing is drawn)
};

// Installed before the timer starts and removed after it stopped.
void SetFrameServices(const FrameServices& services);
const FrameServices& GetFrameServices();
