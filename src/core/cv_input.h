// Polled input: the nine keys the screens use (double-buffered for press/release edges) and the
// mouse mapped into the 1280 × 720 back buffer. The physical state comes from an InputSource that
// the window layer (or a test's scripted input) provides.
#pragma once
#include <atomic>
#include <cstdint>

// Virtual-key codes the game polls.
enum : int {
  VK_LBUTTON = 0x01,
  VK_RBUTTON = 0x02,
  VK_RETURN = 0x0D,
  VK_CONTROL = 0x11,
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_LEFT = 0x25,
  VK_RIGHT = 0x27,
  VK_F1 = 0x70,
};

// Physical input now. Called on the frame thread; implementations publish thread-safely.
struct InputSource {
  virtual ~InputSource() = default;
  virtual bool IsKeyHeld(int vk) = 0;
  // The same without taking anything the source latched for IsKeyHeld (a tap between two reads),
  // for a reader that must not hide the key from the CVInput poll later in the step.
  virtual bool PeekKeyHeld(int vk) { return IsKeyHeld(vk); }
  // Pointer in drawable pixels of the window, possibly outside it.
  virtual void GetCursor(int32_t& x, int32_t& y) = 0;
};
// Null: every key up, pointer at (0, 0).
void SetInputSource(InputSource* source);
InputSource* GetInputSource();

// 1 while the window is active (written by the main thread). Inactive: keys read up, the pointer
// is published as (-1, -1) and the buttons as up.
extern std::atomic<bool> g_InputActive;

class CVInput {
 public:
  CVInput() = default;
  virtual ~CVInput() = default;
  // Polls the nine keys into the other table and makes it current.
  void Update();
  void Poll() { Update(); }
  bool IsDown(int vk) const;
  bool IsPressed(int vk) const;
  bool IsReleased(int vk) const;

 private:
  static bool Bit(const uint8_t* table, int vk) { return vk >= 0 && vk < 256 && (table[vk] & 0x80) != 0; }
  uint8_t tables_[2][256] = {};
  uint32_t current_ = 0;
};

// The mouse of the last logic step, held once (frame thread); UpdateMouseState writes it and
// every screen reads it, directly or through the functions below.
extern int32_t MousePointerX, MousePointerY;  // back-buffer pixels, may be outside the picture
extern int32_t MouseIdleFrames;               // logic steps since the pointer last moved
extern int32_t MouseLeftDown, MouseRightDown;
extern bool MouseWindowActive;  // g_InputActive as the step saw it

// What widgets and scenes read: the pointer with negative coordinates as 0 (not capped at the right
// or bottom: widgets hit-test), and the buttons; (-1, -1) and no buttons while the window is
// inactive.
int32_t PublishedMouseX();
int32_t PublishedMouseY();
bool PublishedMouseLeft();
bool PublishedMouseRight();
// The buttons as a mask (1 left, 2 right); 0 while the window is inactive.
int32_t MouseButtonMask();
// 1 while Ctrl is held and the window is active.
extern std::atomic<int32_t> g_CtrlKey;
// Last wheel message word: the delta × 120 in the high 16 bits (its sign is what readers test);
// cleared at the end of every logic step.
extern std::atomic<int32_t> g_WheelWord;

// Pointer in back-buffer pixels; the buttons come from the scene manager's CVInput. Inside the
// picture the buttons are copied; outside, a released button clears and a held one stays set (a
// drag may leave the picture). Note the scene manager polls its CVInput later in the step, so the
// buttons seen here are one logic step behind the keys: keep both in step if either changes.
void PollMouse(const CVInput& sceneInput, int32_t& x, int32_t& y);
// Once per logic step, from the frame.
void UpdateMouseState(const CVInput& sceneInput);
// Back to the start state (tests).
void ResetMouseState();
