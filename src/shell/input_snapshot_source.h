// The input source the frame reads: the main thread publishes a snapshot after every pump, the
// frame thread reads it. Every value is an atomic of its own. A key or button seen down in any
// snapshot reads as held at least once, so a quick click between two logic steps is not lost.
#pragma once
#include <atomic>
#include <cstdint>

#include "core/cv_input.h"
#include "platform/sdl/window.h"

class SnapshotInputSource : public InputSource {
 public:
  void Publish(const plat::InputSnapshot& s) {
    for (int i = 0; i < 256; ++i) {
      keys_[i].store(s.keys[i], std::memory_order_relaxed);
      if (s.keys[i]) seen_[i].store(1, std::memory_order_relaxed);
    }
    x_.store(s.cursorX, std::memory_order_relaxed);
    y_.store(s.cursorY, std::memory_order_relaxed);
  }
  bool IsKeyHeld(int vk) override {
    if (vk < 0 || vk >= 256) return false;
    bool seen = seen_[vk].exchange(0, std::memory_order_relaxed) != 0;
    return seen || keys_[vk].load(std::memory_order_relaxed) != 0;
  }
  bool PeekKeyHeld(int vk) override {
    if (vk < 0 || vk >= 256) return false;
    return seen_[vk].load(std::memory_order_relaxed) != 0 || keys_[vk].load(std::memory_order_relaxed) != 0;
  }
  void GetCursor(int32_t& x, int32_t& y) override {
    x = x_.load(std::memory_order_relaxed);
    y = y_.load(std::memory_order_relaxed);
  }

 private:
  std::atomic<uint8_t> keys_[256] = {};
  std::atomic<uint8_t> seen_[256] = {};  // down since the frame last read the key
  std::atomic<int32_t> x_{0}, y_{0};
};
