// The program's window on SDL2: creation, full screen, the OpenGL context, the event pump, the
// input snapshot and message boxes. Plain C++ types only; nothing of SDL leaks out.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

// Starts the SDL video subsystem once per process (idempotent). False when no video driver works.
bool InitVideo();

// What the main thread learns from one pump of the event queue.
struct WindowEvent {
  enum Kind {
    kCloseRequested,  // the window's close button (or the desktop asking the window to close)
    kFocusGained,
    kFocusLost,
    kMinimized,
    kRestored,  // shown again after being minimised or hidden
    kExposed,
    kResized,  // the drawable size changed
    kWheel,    // wheel = notches, positive away from the user
  };
  Kind kind;
  int wheel = 0;
};

// Keys and pointer as the frame reads them. keys[] is indexed by the virtual-key codes the game
// uses (0x01 left button, 0x02 right button, 0x0D Enter, 0x11 Ctrl, 0x1B Esc, 0x20 Space,
// 0x25 Left, 0x27 Right, 0x70 F1); 1 = held. Pointer in window client pixels, possibly outside.
struct InputSnapshot {
  uint8_t keys[256] = {};
  int cursorX = 0;
  int cursorY = 0;
};

// Whether windows can be shown. SDL falls back to an invisible offscreen driver when there is no
// display; that counts as no display unless it was asked for by name (SDL_VIDEODRIVER, as the
// tests do). False with the reason in `why`.
bool DisplayAvailable(std::string* why);
// The same decision from its inputs: the driver SDL chose (null when video did not start) and the
// SDL_VIDEODRIVER setting (null or empty when unset).
bool DisplayUsable(const char* chosenDriver, const char* requestedDriver);

constexpr int kBoxNotShown = -1;
constexpr int kBoxDismissed = -2;

class Window {
 public:
  struct Options {
    std::string titleUtf8 = "Window";
    int width = 1280;
    int height = 720;
    bool hidden = false;
  };
  // Creates the window (not yet with a GL context). Null when SDL cannot make it.
  static std::unique_ptr<Window> Create(const Options& options);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Desktop full screen (the screen keeps its mode) or a window with the given client size,
  // centred on the desktop.
  bool SetFullscreenDesktop(bool on, int windowWidth, int windowHeight);
  bool IsFullscreen() const;
  void GetDrawableSize(int& w, int& h) const;
  // Size of the display the window is on; false when unknown.
  bool GetDesktopSize(int& w, int& h) const;
  // The largest client size a window can have on that display: its usable area (without panels)
  // less the window's decorations; false when unknown.
  bool GetUsableClientSize(int& w, int& h) const;

  // OpenGL 3.3 core context. CreateGlContext leaves it current on the calling thread;
  // MakeCurrent/ReleaseCurrent move it between threads.
  bool CreateGlContext();
  bool HasGlContext() const;
  bool MakeCurrent();
  void ReleaseCurrent();
  void DestroyGlContext();
  void SwapBuffers();

  // Main thread only. Drains the queue into events; with waitMs > 0 first waits up to that long
  // for an event (used while the window is hidden).
  void PumpEvents(std::vector<WindowEvent>& events, int waitMs = 0);
  // Main thread only: physical key and pointer state now.
  InputSnapshot TakeInputSnapshot() const;

  // Message box owned by this window; buttons left to right; returns the chosen index,
  // kBoxNotShown when the box could not be shown (no display support), or kBoxDismissed when the
  // player closed it without choosing a button.
  int ShowMessageBox(const std::string& titleUtf8, const std::string& textUtf8,
                     const std::vector<std::string>& buttonsUtf8, bool errorIcon, int defaultButton,
                     int escapeButton) const;

 private:
  Window() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Message box without an owner window (start-up failures before the window exists).
int ShowStandaloneMessageBox(const std::string& titleUtf8, const std::string& textUtf8, bool errorIcon);

// Events of other windows (the debug window) that the game window's pump takes from the queue
// are handed to this sink (an SDL_Event*); null: dropped.
using ForeignEventSink = void (*)(const void* sdlEvent, void* context);
void SetForeignEventSink(ForeignEventSink sink, void* context);

}  // namespace plat
