#include "core/cv_input.h"

#include <atomic>

#include "core/display_layout.h"

std::atomic<bool> g_InputActive{true};
int32_t MousePointerX = 0, MousePointerY = 0;
int32_t MouseIdleFrames = 0;
int32_t MouseLeftDown = 0, MouseRightDown = 0;
bool MouseWindowActive = true;
std::atomic<int32_t> g_CtrlKey{0};
std::atomic<int32_t> g_WheelWord{0};

namespace {
std::atomic<InputSource*> g_source{nullptr};
constexpr int kPolledKeys[] = {VK_CONTROL, VK_LEFT,    VK_RIGHT,   VK_SPACE, VK_RETURN,
                               VK_ESCAPE,  VK_LBUTTON, VK_RBUTTON, VK_F1};

bool Held(int vk) {
  if (!g_InputActive.load(std::memory_order_relaxed)) return false;
  InputSource* s = g_source.load(std::memory_order_acquire);
  return s && s->IsKeyHeld(vk);
}

bool PeekHeld(int vk) {
  if (!g_InputActive.load(std::memory_order_relaxed)) return false;
  InputSource* s = g_source.load(std::memory_order_acquire);
  return s && s->PeekKeyHeld(vk);
}
}  // namespace

void SetInputSource(InputSource* source) { g_source.store(source, std::memory_order_release); }
InputSource* GetInputSource() { return g_source.load(std::memory_order_acquire); }

void CVInput::Update() {
  uint32_t next = current_ ^ 1u;
  for (int vk : kPolledKeys) tables_[next][vk] = Held(vk) ? 0x80 : 0x00;
  current_ = next;
}

bool CVInput::IsDown(int vk) const { return Bit(tables_[current_], vk); }
bool CVInput::IsPressed(int vk) const { return Bit(tables_[current_], vk) && !Bit(tables_[current_ ^ 1u], vk); }
bool CVInput::IsReleased(int vk) const { return !Bit(tables_[current_], vk) && Bit(tables_[current_ ^ 1u], vk); }

void PollMouse(const CVInput& sceneInput, int32_t& x, int32_t& y) {
  // Peeked: the scene manager's CVInput polls Ctrl later in the same step and must see a tap too.
  g_CtrlKey.store(PeekHeld(VK_CONTROL) ? 1 : 0);
  int32_t cx = 0, cy = 0;
  if (InputSource* s = g_source.load(std::memory_order_acquire)) s->GetCursor(cx, cy);
  MapToBackBuffer(GetDisplayLayout(), cx, cy, x, y);
  bool inside = x >= 0 && x < kBackBufferW && y >= 0 && y < kBackBufferH;
  bool left = sceneInput.IsDown(VK_LBUTTON);
  bool right = sceneInput.IsDown(VK_RBUTTON);
  if (inside) {
    MouseLeftDown = left;
    MouseRightDown = right;
  } else {
    if (!left) MouseLeftDown = 0;
    if (!right) MouseRightDown = 0;
  }
}

void UpdateMouseState(const CVInput& sceneInput) {
  int32_t x = 0, y = 0;
  PollMouse(sceneInput, x, y);
  if (x != MousePointerX || y != MousePointerY) {
    MousePointerX = x;
    MousePointerY = y;
    MouseIdleFrames = 0;
  } else {
    ++MouseIdleFrames;
  }
  MouseWindowActive = g_InputActive.load(std::memory_order_relaxed);
}

int32_t PublishedMouseX() { return !MouseWindowActive ? -1 : MousePointerX < 0 ? 0 : MousePointerX; }
int32_t PublishedMouseY() { return !MouseWindowActive ? -1 : MousePointerY < 0 ? 0 : MousePointerY; }
bool PublishedMouseLeft() { return MouseWindowActive && MouseLeftDown != 0; }
bool PublishedMouseRight() { return MouseWindowActive && MouseRightDown != 0; }
int32_t MouseButtonMask() { return MouseWindowActive ? (MouseLeftDown ? 1 : 0) + (MouseRightDown ? 2 : 0) : 0; }

void ResetMouseState() {
  MousePointerX = MousePointerY = MouseIdleFrames = 0;
  MouseLeftDown = MouseRightDown = 0;
  MouseWindowActive = true;
  g_CtrlKey = 0;
  g_WheelWord = 0;
}
