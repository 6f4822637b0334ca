// Input as a test scripts it, and a guard that installs an input source for one scope and puts
// the shared input state (source and active flag) back as it was, whatever the test's outcome.
#pragma once
#include <cstdint>

#include "core/cv_input.h"

// Keys by virtual-key code, pointer in drawable pixels.
class ScriptedInput : public InputSource {
 public:
  bool IsKeyHeld(int vk) override { return vk >= 0 && vk < 256 && keys_[vk]; }
  void GetCursor(int32_t& x, int32_t& y) override {
    x = x_;
    y = y_;
  }
  void SetKey(int vk, bool held) {
    if (vk >= 0 && vk < 256) keys_[vk] = held;
  }
  void SetPointer(int32_t x, int32_t y) {
    x_ = x;
    y_ = y;
  }

 private:
  bool keys_[256] = {};
  int32_t x_ = 0, y_ = 0;
};

class ScopedInputSource {
 public:
  explicit ScopedInputSource(InputSource* source, bool active = true)
      : oldSource_(GetInputSource()), oldActive_(g_InputActive.load()) {
    SetInputSource(source);
    g_InputActive = active;
  }
  ~ScopedInputSource() {
    SetInputSource(oldSource_);
    g_InputActive = oldActive_;
  }
  ScopedInputSource(const ScopedInputSource&) = delete;
  ScopedInputSource& operator=(const ScopedInputSource&) = delete;

 private:
  InputSource* oldSource_;
  bool oldActive_;
};
